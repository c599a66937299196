# What keeps the installer's own code small, kept apart from the targets' definitions.

# memotack_link_time_optimised(EXECUTABLE LIBRARY...): the C libraries (zlib's reader, minizip)
# are optimised together at link time. The C++ units stay out: with them the link warns (the COM
# identifiers of framework/ComIds.cpp lose the sections the linker looks for them in).
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
