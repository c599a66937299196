# Third-party code comes from Debian, never from the repository:
#  - zlib and minizip: from Debian's zlib source package at the version and checksums pinned in
#    cmake/pins.cmake, downloaded once into the build folder with apt-get source, unpacked by
#    dpkg-source with Debian's patches, and reused by later configures. Of zlib the installer
#    builds only what the ZIP reader links (inflate, crc32, adler32), for size;
#  - the static mingw build of libz-mingw-w64-dev (ZLIB::ZLIB) stays available to the tests;
#  - GoogleTest: Debian's sources in /usr/src/googletest, built with this toolchain.

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

include("${CMAKE_CURRENT_LIST_DIR}/pins.cmake")

# memotack_zlib_source_mismatches(DIR OUT_VAR): one line for each pinned file that DIR lacks or
# whose SHA-256 differs from its pin; empty when DIR holds the pinned package.
function(memotack_zlib_source_mismatches dir out_var)
    set(lines "")
    foreach(entry IN LISTS MEMOTACK_ZLIB_PINNED_SHA256)
        string(REGEX REPLACE "=.*" "" name "${entry}")
        string(REGEX REPLACE ".*=" "" pinned "${entry}")
        if(NOT EXISTS "${dir}/${name}")
            list(APPEND lines "  ${name}: missing")
        else()
            file(SHA256 "${dir}/${name}" actual)
            if(NOT actual STREQUAL pinned)
                list(APPEND lines "  ${name}: SHA-256 ${actual}, pinned ${pinned}")
            endif()
        endif()
    endforeach()
    set(${out_var} "${lines}" PARENT_SCOPE)
endfunction()

# memotack_zlib_sums(DIR OUT_VAR): "name=SHA-256" lines, ready for cmake/pins.cmake, of DIR's files.
function(memotack_zlib_sums dir out_var)
    file(GLOB fetched RELATIVE "${dir}" "${dir}/zlib_*")
    set(found "")
    foreach(name IN LISTS fetched)
        file(SHA256 "${dir}/${name}" sum)
        string(APPEND found "        \"${name}=${sum}\"\n")
    endforeach()
    set(${out_var} "${found}" PARENT_SCOPE)
endfunction()

# memotack_fetch_newer_zlib_revision(DIR DSC_VAR): when the pinned revision has left Debian's
# archive (a point release or security update replaced it), the archive's current zlib source is
# taken if it is built from the pinned upstream tarball, byte for byte; its own revision's files are
# reported so that they can be pinned. Anything else stops the configure step.
function(memotack_fetch_newer_zlib_revision dir dsc_var)
    list(FILTER MEMOTACK_ZLIB_PINNED_SHA256 INCLUDE REGEX "\\.orig\\.tar")
    string(REGEX REPLACE "=.*" "" orig "${MEMOTACK_ZLIB_PINNED_SHA256}")
    string(REGEX REPLACE ".*=" "" orig_sum "${MEMOTACK_ZLIB_PINNED_SHA256}")
    file(REMOVE_RECURSE "${dir}")
    file(MAKE_DIRECTORY "${dir}")
    execute_process(COMMAND apt-get source --download-only zlib WORKING_DIRECTORY "${dir}"
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    file(GLOB dsc "${dir}/zlib_*.dsc")
    if(NOT rc EQUAL 0 OR NOT dsc)
        message(FATAL_ERROR "apt-get source could not download zlib ${MEMOTACK_ZLIB_PINNED_VERSION}, the pin in "
                            "cmake/pins.cmake, nor any other revision of it (${rc}): ${err}\n"
                            "Run tools/setup.sh first: it adds the deb-src entry apt needs.")
    endif()
    file(STRINGS "${dsc}" version REGEX "^Version: ")
    string(REGEX REPLACE "^Version: " "" version "${version}")
    memotack_zlib_sums("${dir}" found)
    set(orig_found "missing")
    if(EXISTS "${dir}/${orig}")
        file(SHA256 "${dir}/${orig}" orig_found)
    endif()
    if(NOT orig_found STREQUAL orig_sum)
        message(FATAL_ERROR "zlib ${MEMOTACK_ZLIB_PINNED_VERSION}, the pin in cmake/pins.cmake, is no longer in "
                            "Debian's archive, and its zlib ${version} is not built from the pinned upstream "
                            "source:\n  ${orig}: SHA-256 ${orig_found}, pinned ${orig_sum}\n"
                            "The package apt-get downloaded into ${dir} holds:\n${found}"
                            "A new upstream version is a change to review: move the pin as cmake/pins.cmake says.")
    endif()
    message(WARNING "zlib ${MEMOTACK_ZLIB_PINNED_VERSION}, the pin in cmake/pins.cmake, is no longer in Debian's "
                    "archive: using its revision ${version}, built from the pinned upstream source "
                    "(${orig} matches its SHA-256), with that revision's patches. To pin it, write "
                    "${version} into MEMOTACK_ZLIB_PINNED_VERSION and these lines into MEMOTACK_ZLIB_PINNED_SHA256:\n"
                    "${found}")
    set(${dsc_var} "${dsc}" PARENT_SCOPE)
endfunction()

# memotack_fetch_zlib_source(DIR DSC_VAR): downloads the requested source package into DIR (a
# folder of its own per version) and stops the configure step unless every pinned file is there and
# matches; DSC_VAR names the .dsc to unpack.
function(memotack_fetch_zlib_source dir dsc_var)
    # Files of a version with an epoch ("1:") are named without it.
    string(REGEX REPLACE "^[0-9]+:" "" file_version "${MEMOTACK_ZLIB_SOURCE_VERSION}")
    set(${dsc_var} "${dir}/zlib_${file_version}.dsc" PARENT_SCOPE)
    set(pin_text "the pin in cmake/pins.cmake is zlib ${MEMOTACK_ZLIB_PINNED_VERSION}")
    if(NOT MEMOTACK_ZLIB_SOURCE_VERSION STREQUAL MEMOTACK_ZLIB_PINNED_VERSION)
        string(APPEND pin_text "; -DMEMOTACK_ZLIB_SOURCE_VERSION asked for another, and "
                               "cmake -U MEMOTACK_ZLIB_SOURCE_VERSION returns to the pin")
    endif()
    memotack_zlib_source_mismatches("${dir}" mismatches)
    if(NOT mismatches)
        return()
    endif()
    file(MAKE_DIRECTORY "${dir}")
    message(STATUS "Downloading Debian's zlib source package ${MEMOTACK_ZLIB_SOURCE_VERSION} for minizip")
    execute_process(COMMAND apt-get source --download-only "zlib=${MEMOTACK_ZLIB_SOURCE_VERSION}"
                    WORKING_DIRECTORY "${dir}" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 AND MEMOTACK_ZLIB_SOURCE_VERSION STREQUAL MEMOTACK_ZLIB_PINNED_VERSION)
        memotack_fetch_newer_zlib_revision("${dir}-newer" dsc)
        set(${dsc_var} "${dsc}" PARENT_SCOPE)
        return()
    elseif(NOT rc EQUAL 0)
        message(FATAL_ERROR "apt-get source could not download zlib=${MEMOTACK_ZLIB_SOURCE_VERSION} "
                            "(${pin_text}) (${rc}): ${err}\n"
                            "Run tools/setup.sh first: it adds the deb-src entry apt needs. If Debian's "
                            "archive no longer offers this version, move the pin as cmake/pins.cmake says.")
    endif()
    memotack_zlib_source_mismatches("${dir}" mismatches)
    if(mismatches)
        memotack_zlib_sums("${dir}" found)
        list(JOIN mismatches "\n" mismatch_text)
        message(FATAL_ERROR "Debian's zlib source package ${MEMOTACK_ZLIB_SOURCE_VERSION} does not match "
                            "the pinned one (${pin_text}):\n${mismatch_text}\n"
                            "The package apt-get downloaded into ${dir} holds:\n${found}"
                            "To move the pin to this package, write its version into MEMOTACK_ZLIB_PINNED_VERSION "
                            "and these lines into MEMOTACK_ZLIB_PINNED_SHA256 in cmake/pins.cmake, then run the "
                            "payload tests.")
    endif()
endfunction()

# The unpacked tree carries the pin it was unpacked from: a tree from any other package, or one
# unpacked without Debian's patches, has no such stamp and is unpacked again. A requested version
# other than the pinned one always goes to apt, and stops the configure step there.
set(MEMOTACK_ZLIB_SOURCE_DIR "${CMAKE_BINARY_DIR}/_deps/zlib-source")
set(MINIZIP_DIR "${MEMOTACK_ZLIB_SOURCE_DIR}/contrib/minizip")
string(JOIN "\n" zlib_pin "${MEMOTACK_ZLIB_PINNED_VERSION}" ${MEMOTACK_ZLIB_PINNED_SHA256})
set(zlib_stamp "${MEMOTACK_ZLIB_SOURCE_DIR}/.memotack-pin")
set(zlib_stamped "")
if(EXISTS "${zlib_stamp}")
    file(READ "${zlib_stamp}" zlib_stamped)
endif()
if(NOT zlib_stamped STREQUAL zlib_pin OR NOT MEMOTACK_ZLIB_SOURCE_VERSION STREQUAL MEMOTACK_ZLIB_PINNED_VERSION)
    string(REGEX REPLACE "^[0-9]+:" "" zlib_file_version "${MEMOTACK_ZLIB_SOURCE_VERSION}")
    memotack_fetch_zlib_source("${CMAKE_BINARY_DIR}/_deps/zlib-download/${zlib_file_version}" zlib_dsc)
    file(REMOVE_RECURSE "${MEMOTACK_ZLIB_SOURCE_DIR}")
    execute_process(COMMAND dpkg-source -x "${zlib_dsc}" "${MEMOTACK_ZLIB_SOURCE_DIR}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT EXISTS "${MINIZIP_DIR}/unzip.c")
        message(FATAL_ERROR "dpkg-source could not unpack zlib ${MEMOTACK_ZLIB_SOURCE_VERSION} (${rc}):\n${out}${err}")
    endif()
    file(WRITE "${zlib_stamp}" "${zlib_pin}")
endif()

# zlib's decompressing half, compiled for size (-Os comes with MinSizeRel). Tables are computed
# into zero-filled memory on first use instead of being carried in the executable: crc32's 10 KB
# by DYNAMIC_CRC_TABLE (once, guarded by C11 atomics), inflate's 2 KB of fixed codes by BUILDFIXED
# (unguarded: the installer, like the tests, inflates on one thread only). NO_GZIP leaves out the
# gzip wrapper; minizip inflates raw deflate. The CRC-32 of every extracted byte is checked, so
# crc32.c alone is built for speed: at -Os its braided loops stay rolled and run at about a third
# of the speed, for 1.5 KB less.
set(zlib_reader_sources inflate.c inffast.c inftrees.c crc32.c adler32.c zutil.c)
list(TRANSFORM zlib_reader_sources PREPEND "${MEMOTACK_ZLIB_SOURCE_DIR}/")
add_library(memotack_zlib STATIC ${zlib_reader_sources})
target_include_directories(memotack_zlib SYSTEM PUBLIC "${MEMOTACK_ZLIB_SOURCE_DIR}")
target_compile_definitions(memotack_zlib PRIVATE DYNAMIC_CRC_TABLE NO_GZIP BUILDFIXED)
set_source_files_properties("${MEMOTACK_ZLIB_SOURCE_DIR}/crc32.c" PROPERTIES COMPILE_OPTIONS "-O2;-fpeel-loops")

# minizip warns under the project's strict flags; it is built with plain -Wall only. It reads an
# entry's compressed data in chunks of UNZ_BUFSIZE and inflates and checksums each chunk's output
# before the next: 256 KiB chunks (instead of 16 KiB) make a whole-entry extraction a few long
# inflate calls with the CRC-32 of output that is still in the cache, and stay below the size at
# which the heap takes fresh pages from the system for every block. USE_FILE32API builds minizip's
# own stdio file functions, which only an archive opened by file name uses (the reader always
# passes its own, payload/ArchiveStream.cpp), on plain fopen and fseek: the 64-bit ones would
# bring their own run-time code and imports.
add_library(minizip STATIC "${MINIZIP_DIR}/unzip.c" "${MINIZIP_DIR}/ioapi.c")
target_include_directories(minizip SYSTEM PUBLIC "${MINIZIP_DIR}")
target_compile_definitions(minizip PRIVATE NOCRYPT NOUNCRYPT UNZ_BUFSIZE=262144 USE_FILE32API)

# zlib and minizip call nothing that throws (minizip's stream callbacks are ours and do not throw),
# so no C++ exception ever passes their frames and they need no unwind tables. Each function in
# its own section lets the linker drop what the reader never calls. Not -fdata-sections: the
# linker would place their zero-filled tables (.bss.*) in .data, and so in the file.
foreach(library memotack_zlib minizip)
    target_compile_options(${library} PRIVATE -ffunction-sections -fno-asynchronous-unwind-tables)
endforeach()
target_link_libraries(minizip PUBLIC memotack_zlib)

if(MEMOTACK_BUILD_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
