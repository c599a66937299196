// Each thread's C++ exception state (the exceptions it is handling and the count of those thrown
// but not yet caught), kept in a thread-local slot of the system's.
//
// The run-time's own version keeps it in a compiler-emulated thread-local variable, and that
// emulation and its locking are some 2 KB of this executable. The state is a small zeroed block,
// made on a thread's first use and not freed when the thread ends: only the installer's main
// thread throws.
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
}  // namespace __cxxabiv1
