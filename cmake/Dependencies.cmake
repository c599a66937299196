# Third-party code comes from Debian, never from the repository:
#  - zlib: the static mingw build of libz-mingw-w64-dev;
#  - minizip: unzip.c and ioapi.c from Debian's zlib source package, downloaded once into the
#    build folder with apt-get source and reused by later configures;
#  - GoogleTest: Debian's sources in /usr/src/googletest, built with this toolchain.

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

set(MEMOTACK_ZLIB_SOURCE_DIR "${CMAKE_BINARY_DIR}/_deps/zlib-source")
set(MINIZIP_DIR "${MEMOTACK_ZLIB_SOURCE_DIR}/contrib/minizip")
if(NOT EXISTS "${MINIZIP_DIR}/unzip.c")
    set(download_dir "${CMAKE_BINARY_DIR}/_deps/zlib-download")
    file(MAKE_DIRECTORY "${download_dir}")
    file(GLOB orig_tarballs "${download_dir}/zlib_*.orig.tar.*")
    if(NOT orig_tarballs)
        message(STATUS "Downloading Debian's zlib source package for minizip")
        execute_process(COMMAND apt-get source --download-only zlib
                        WORKING_DIRECTORY "${download_dir}"
                        RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
        file(GLOB orig_tarballs "${download_dir}/zlib_*.orig.tar.*")
        if(NOT orig_tarballs)
            message(FATAL_ERROR "apt-get source zlib failed (${rc}): ${err}\n"
                                "Run tools/setup.sh first: it adds the deb-src entry apt needs.")
        endif()
    endif()
    list(GET orig_tarballs 0 tarball)
    file(REMOVE_RECURSE "${download_dir}/unpacked")
    file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${download_dir}/unpacked")
    file(GLOB unpacked_root "${download_dir}/unpacked/*")
    file(REMOVE_RECURSE "${MEMOTACK_ZLIB_SOURCE_DIR}")
    file(RENAME "${unpacked_root}" "${MEMOTACK_ZLIB_SOURCE_DIR}")
endif()

# minizip warns under the project's strict flags; it is built with plain -Wall only.
add_library(minizip STATIC "${MINIZIP_DIR}/unzip.c" "${MINIZIP_DIR}/ioapi.c")
target_include_directories(minizip SYSTEM PUBLIC "${MINIZIP_DIR}")
target_compile_definitions(minizip PRIVATE NOCRYPT NOUNCRYPT)
target_link_libraries(minizip PUBLIC ZLIB::ZLIB)

if(MEMOTACK_BUILD_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
