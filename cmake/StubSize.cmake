# What keeps the installer's own code small, kept apart from the targets' definitions.

# The units an exception may pass, declared here: the file classes, which throw CFileException*,
# and the units that call them and catch it (std::bad_alloc from new is caught nowhere). Every other
# C++ unit of the installer and its libraries is built with -fno-exceptions and without unwind
# tables: a try, catch or throw there stops the build ("exception handling disabled"), and an
# exception that reached one of its frames would end the process (std::terminate), as any uncaught
# exception here does. A unit that comes to call a function that can throw joins this list.
set(MEMOTACK_EXCEPTION_UNITS framework/CFile.cpp framework/CFileException.cpp framework/CStdioFile.cpp
                             install/UninstallEntry.cpp payload/PayloadExtraction.cpp)

# memotack_units_without_exceptions(TARGET...): applies the rule above to each C++ source of TARGET.
function(memotack_units_without_exceptions)
    list(TRANSFORM MEMOTACK_EXCEPTION_UNITS PREPEND "${PROJECT_SOURCE_DIR}/" OUTPUT_VARIABLE with_exceptions)
    foreach(target IN LISTS ARGN)
        get_target_property(sources ${target} SOURCES)
        get_target_property(source_dir ${target} SOURCE_DIR)
        foreach(source IN LISTS sources)
            cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${source_dir}" OUTPUT_VARIABLE path)
            if(path MATCHES "\\.cpp$" AND NOT path IN_LIST with_exceptions)
                set_property(SOURCE "${path}" TARGET_DIRECTORY ${target} APPEND PROPERTY COMPILE_OPTIONS
                             -fno-exceptions -fno-asynchronous-unwind-tables)
            endif()
        endforeach()
    endforeach()
endfunction()

# memotack_link_time_optimised(EXECUTABLE LIBRARY...): the C libraries (zlib's reader, minizip)
# are optimised together at link time. The C++ units stay out: optimising them with the ones
# that have exceptions gives every function unwind tables again (4.5 KB more than it saves), and
# optimising only those without exceptions makes the linker see inline functions defined twice.
# The objects are fat (machine code beside the optimiser's form), so any link can use them.
function(memotack_link_time_optimised executable)
    foreach(library IN LISTS ARGN)
        target_compile_options(${library} PRIVATE -flto -ffat-lto-objects)
    endforeach()
    target_link_options(${executable} PRIVATE -flto)
endfunction()

# 32-bit Windows promises only 4-byte stack alignment, and nothing here needs more; without the
# compiler's default 16-byte padding of call frames the code is smaller.
function(memotack_small_frames)
    foreach(target IN LISTS ARGN)
        target_compile_options(${target} PRIVATE -mpreferred-stack-boundary=2)
    endforeach()
endfunction()

# memotack_small_code(TARGET...): the C++ code of TARGET is optimised for size alone (-Oz: none
# of it is where the installer spends its time; zlib and minizip, which are, keep -Os) and carries
# no run-time type information, which nothing here asks for (the types that are thrown and caught
# get theirs all the same).
function(memotack_small_code)
    foreach(target IN LISTS ARGN)
        target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>
                               $<$<AND:$<CONFIG:MinSizeRel>,$<COMPILE_LANGUAGE:CXX>>:-Oz>)
    endforeach()
endfunction()

# memotack_own_startup(EXECUTABLE): EXECUTABLE starts in its own wWinMainCRTStartup
# (runtime/AppMain.cpp) instead of the C run-time's start-up object: runtime/own-startup.gcc tells
# the compiler driver to link crtbegin.o alone at the start; its other start and end objects (the
# unwind tables' registration) stay. That start-up code applied the
# pseudo-relocations a data import from a DLL needs; without it the link refuses such an import.
function(memotack_own_startup executable)
    target_link_options(${executable} PRIVATE "-specs=${PROJECT_SOURCE_DIR}/runtime/own-startup.gcc"
                        -Wl,-e,_wWinMainCRTStartup -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc)
    set_property(TARGET ${executable} APPEND PROPERTY LINK_DEPENDS "${PROJECT_SOURCE_DIR}/runtime/own-startup.gcc")
endfunction()
