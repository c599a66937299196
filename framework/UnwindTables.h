#pragma once
// The three entry points through which the compiler's start-up code and the C++ exception
// unwinder reach the executable's unwind tables (its .eh_frame section). Linked into the
// installer in place of the run-time's own versions; defined in UnwindTables.cpp.

// What the unwinder needs beside an entry: the bases that relative addresses in it refer to.
struct DwarfEhBases {
    void* tbase;
    void* dbase;
    void* func;  // the start of the function the entry describes
};

extern "C" {
// begin: the first entry of a section, ended by a zero length; object: storage of at least two
// pointers, owned by the caller until it deregisters begin. An empty section is not registered.
void __register_frame_info(const void* begin, void* object);
// Returns the object given for begin, or null when begin was not registered.
void* __deregister_frame_info(const void* begin);
// Returns the frame description entry covering the code address pc and fills *bases, or null.
const void* _Unwind_Find_FDE(void* pc, DwarfEhBases* bases);
}
