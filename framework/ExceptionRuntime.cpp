// Two pieces of the C++ exception run-time, in place of the run-time's own:
//
// Each thread's exception state (the exceptions it is handling and the count of those thrown but
// not yet caught), kept in a thread-local slot of the system's. The run-time's version keeps it in
// a compiler-emulated thread-local variable, some 1 KB with that emulation. The state is a small
// zeroed block, made on a thread's first use and not freed when the thread ends: only the
// installer's main thread throws.
//
// The memory of a thrown object and the run-time's record in front of it, taken from the heap.
// The run-time's version also keeps an emergency pool, with a lock and the threading layer that
// lock needs, some 3 KB, for throwing while the heap is exhausted; here that ends the process, as
// an exception that nothing here handles does.
#include "framework/ExceptionRuntime.h"

#include <windows.h>

#include <stdlib.h>

namespace {
// Larger than the run-time's state (two words here, three on some targets).
constexpr size_t kStateSize = 4 * sizeof(void*);

DWORD AllocatedSlot() {
    static volatile LONG slot = static_cast<LONG>(TLS_OUT_OF_INDEXES);
    if (slot == static_cast<LONG>(TLS_OUT_OF_INDEXES)) {
        DWORD fresh = ::TlsAlloc();
        if (fresh == TLS_OUT_OF_INDEXES) abort();
        // Two threads may both get here first: one slot is kept, the other given back.
        if (::InterlockedCompareExchange(&slot, static_cast<LONG>(fresh), static_cast<LONG>(TLS_OUT_OF_INDEXES)) !=
            static_cast<LONG>(TLS_OUT_OF_INDEXES)) {
            ::TlsFree(fresh);
        }
    }
    return static_cast<DWORD>(slot);
}
}  // namespace

namespace __cxxabiv1 {
struct __cxa_eh_globals;

extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept {
    DWORD slot = AllocatedSlot();
    DWORD lastError = ::GetLastError();  // asked for while a system error may still be read
    void* state = ::TlsGetValue(slot);
    if (!state) {
        state = calloc(1, kStateSize);
        if (!state || !::TlsSetValue(slot, state)) abort();
    }
    ::SetLastError(lastError);
    return static_cast<__cxa_eh_globals*>(state);
}

extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept { return __cxa_get_globals(); }

extern "C" void* __cxa_allocate_exception(size_t thrownSize) noexcept {
    // Zeroed, as the run-time expects its record to start.
    void* block = calloc(1, kThrownObjectHeader + thrownSize);
    if (!block) abort();
    return static_cast<char*>(block) + kThrownObjectHeader;
}

extern "C" void __cxa_free_exception(void* thrownObject) noexcept {
    free(static_cast<char*>(thrownObject) - kThrownObjectHeader);
}
}  // namespace __cxxabiv1
