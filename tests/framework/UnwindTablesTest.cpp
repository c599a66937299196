// The installer's own unwind table lookup, per-thread exception state and thrown-object memory.
// This test program is linked with them, so every exception its other tests throw goes through
// them as well.
#include "framework/ExceptionRuntime.h"
#include "framework/UnwindTables.h"

#include <cxxabi.h>
#include <gtest/gtest.h>
#include <unwind.h>
#include <windows.h>

#include <string>

#include <exception>
#include <stdexcept>

namespace {
// An unwind section as the compiler lays it out: for each object file a common entry (CIE) and
// then its frame entries (FDEs), the section ending with a zero length. Here two such groups, each
// with entries for [base, base + 0x10) and [base + 0x1000, base + 0x1100): the first CIE has
// augmentation "zPLR" (an indirect personality pointer, absolute addresses), the second "zR" with
// addresses relative to where they are stored, 4 bytes signed.
struct Section {
    alignas(4) unsigned char bytes[160];
    int length = 0;
    void Put(uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[length++] = static_cast<unsigned char>(value >> (8 * i));
    }
    void Byte(unsigned char value) { bytes[length++] = value; }
};

// Appends one group to s in place (the pc-relative addresses depend on where its bytes are) and
// returns the offset of its first FDE; the second follows 16 bytes later.
int AppendGroup(bool pcRelative, uint32_t base, Section& s) {
    int cie = s.length;
    s.Put(0);   // length, filled below
    s.Put(0);   // CIE id
    s.Byte(1);  // version
    const char* augmentation = pcRelative ? "zR" : "zPLR";
    for (const char* c = augmentation; *c; ++c) s.Byte(static_cast<unsigned char>(*c));
    s.Byte(0);
    s.Byte(1);     // code alignment
    s.Byte(0x7c);  // data alignment -4
    s.Byte(8);     // return address register
    if (pcRelative) {
        s.Byte(1);     // augmentation data length
        s.Byte(0x1b);  // pc-relative, signed 4 bytes
    } else {
        s.Byte(7);  // augmentation data length
        s.Byte(0x80);
        s.Put(0x12345678);  // the personality's pointer, stepped over
        s.Byte(0);          // language-specific data pointers: absolute
        s.Byte(0);          // addresses: absolute
    }
    while ((s.length - cie) % 4) s.Byte(0);
    uint32_t cieLength = s.length - cie - 4;
    memcpy(s.bytes + cie, &cieLength, 4);
    int first = s.length;
    const uint32_t starts[] = {base, base + 0x1000}, ranges[] = {0x10, 0x100};
    for (int i = 0; i < 2; ++i) {
        int fde = s.length;
        s.Put(12);              // length
        s.Put(s.length - cie);  // back to the CIE
        uintptr_t field = reinterpret_cast<uintptr_t>(s.bytes + s.length);
        s.Put(pcRelative ? static_cast<uint32_t>(starts[i] - field) : starts[i]);
        s.Put(ranges[i]);
        EXPECT_EQ(16, s.length - fde);
    }
    return first;
}

const void* Find(uintptr_t pc, void** func = nullptr) {
    DwarfEhBases bases = {};
    const void* entry = _Unwind_Find_FDE(reinterpret_cast<void*>(pc), &bases);
    if (func) *func = bases.func;
    return entry;
}

int g_destroyed = 0;
int g_uncaughtWhileDestroyed = 0;
struct Counted {
    ~Counted() {
        ++g_destroyed;
        g_uncaughtWhileDestroyed = std::uncaught_exceptions();
    }
};

// Returns 2 when this thread, which handles nothing yet, throws and catches a 2 of its own.
DWORD WINAPI ThrowAndCatchTwo(void*) {
    if (abi::__cxa_current_exception_type()) return 0;
    try {
        throw 2;
    } catch (int theirs) {
        return abi::__cxa_current_exception_type() == &typeid(int) ? static_cast<DWORD>(theirs) : 0;
    }
}

[[gnu::noinline]] void ThrowFrom(int depth) {
    Counted counted;
    if (depth == 0) throw std::runtime_error("deep");
    ThrowFrom(depth - 1);
}
}  // namespace

TEST(UnwindTables, FindsTheEntryCoveringAnAddressInEachEncoding) {
    Section section;
    const int absolute = AppendGroup(false, 0x1000, section);
    const int pcRelative = AppendGroup(true, 0x3000, section);
    section.Put(0);
    void* object[8] = {};
    __register_frame_info(section.bytes, object);
    const struct {
        uintptr_t pc;
        int entry;  // offset of the entry expected, -1 for none
        uintptr_t func;
    } cases[] = {
        {0x1000, absolute, 0x1000},
        {0x20ff, absolute + 16, 0x2000},
        {0x3000, pcRelative, 0x3000},
        {0x400f, pcRelative + 16, 0x4000},
        {0x1010, -1, 0},
        {0xfff, -1, 0},
        {0x3010, -1, 0},
        {0x4100, -1, 0},
    };
    for (const auto& c : cases) {
        void* func = nullptr;
        EXPECT_EQ(c.entry < 0 ? nullptr : section.bytes + c.entry, Find(c.pc, &func)) << std::hex << c.pc;
        if (c.entry >= 0) EXPECT_EQ(reinterpret_cast<void*>(c.func), func) << std::hex << c.pc;
    }
    EXPECT_EQ(object, __deregister_frame_info(section.bytes));
    EXPECT_EQ(nullptr, Find(0x1000));
    EXPECT_EQ(nullptr, __deregister_frame_info(section.bytes));
    // An empty section is not registered at all.
    unsigned char empty[4] = {};
    void* emptyObject[8] = {};
    __register_frame_info(empty, emptyObject);
    EXPECT_EQ(nullptr, __deregister_frame_info(empty));
}

TEST(UnwindTables, ExceptionsPassSeveralFramesRunningTheirDestructors) {
    g_destroyed = 0;
    void* func = nullptr;
    // This program's own code is covered by the tables the start-up code registered.
    EXPECT_NE(nullptr, Find(reinterpret_cast<uintptr_t>(&ThrowFrom) + 1, &func));
    EXPECT_EQ(reinterpret_cast<void*>(&ThrowFrom), func);
    try {
        ThrowFrom(3);
        FAIL() << "nothing thrown";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ("deep", error.what());
        EXPECT_EQ(0, std::uncaught_exceptions());
    }
    EXPECT_EQ(4, g_destroyed);
    EXPECT_EQ(1, g_uncaughtWhileDestroyed);
}

TEST(ExceptionGlobals, EachThreadHandlesItsOwnException) {
    // While this thread is inside a handler, another throws and catches its own exception.
    try {
        throw 1;
    } catch (int mine) {
        HANDLE thread = ::CreateThread(nullptr, 0, ThrowAndCatchTwo, nullptr, 0, nullptr);
        ASSERT_NE(nullptr, thread);
        ::WaitForSingleObject(thread, INFINITE);
        DWORD code = 0;
        ::GetExitCodeThread(thread, &code);
        ::CloseHandle(thread);
        EXPECT_EQ(2u, code);
        // Still this thread's own exception.
        try {
            throw;
        } catch (int again) {
            EXPECT_EQ(1, again);
            EXPECT_EQ(mine, again);
        }
    }
    EXPECT_EQ(nullptr, abi::__cxa_current_exception_type());
}

TEST(ExceptionRuntime, KeepsRoomForTheRunTimesRecordInFrontOfEachThrownObject) {
    struct Payload {
        char bytes[300];
    };
    try {
        Payload thrown;
        memset(thrown.bytes, 'x', sizeof thrown.bytes);
        throw thrown;
    } catch (Payload& caught) {
        // The thread's state begins with the header of the exception being handled, which ends
        // where the object starts; the run-time's reference count comes in front of it, aligned as
        // the header is.
        const char* header = *reinterpret_cast<char**>(abi::__cxa_get_globals());
        size_t record = reinterpret_cast<const char*>(&caught) - header;
        EXPECT_GE(kThrownObjectHeader, alignof(_Unwind_Exception) + record);
        EXPECT_EQ(std::string(300, 'x'), std::string(caught.bytes, sizeof caught.bytes));
    }
}
