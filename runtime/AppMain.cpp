// The process entry point: hands control to the one global application object.
//
// The program starts here, not in the compiler's C run-time start-up code, which would parse the
// command line into argc/argv, set up native thread-local storage, apply pseudo-relocations and
// install floating-point and crash handlers: none of it is used here, and it is some 8 KB of the
// executable. msvcrt.dll sets itself up when it is loaded. What this program needs of the start-up
// is below: its global constructors run, exit() runs what atexit() registered.
// tools/check_startup.py, run by ctest on the built installer, fails when the executable comes to
// need any of the rest (thread-local storage, C initialisers, pseudo-relocations).
#include "framework/CWinApp.h"
#include "runtime/SystemDllSearch.h"

#include <stdlib.h>

extern "C" {
// Runs the global constructors, the one that registers the unwind tables among them (gccmain.c).
void __main();
// Tells msvcrt.dll that this is a windowed program, so that its own error reports (abort's among
// them) come as message boxes rather than as console text nobody sees.
void __cdecl __set_app_type(int type);
}

namespace {
constexpr int kGuiApp = 2;

// The command line after the program's name, as the run-time would pass it to wWinMain: the name
// ends at the first blank outside double quotes, and the blanks after it are skipped.
LPWSTR ArgumentsAfterProgramName(LPWSTR commandLine) {
    bool quoted = false;
    while (*commandLine > L' ' || (*commandLine && quoted)) {
        if (*commandLine == L'"') quoted = !quoted;
        ++commandLine;
    }
    while (*commandLine && *commandLine <= L' ') ++commandLine;
    return commandLine;
}
}  // namespace

extern "C" void wWinMainCRTStartup() {
    RestrictDllSearchToSystem();
    __set_app_type(kGuiApp);
    __main();
    CWinApp* app = AfxGetApp();
    exit(app ? app->Run(::GetModuleHandleW(nullptr), ArgumentsAfterProgramName(::GetCommandLineW())) : 1);
}

// Global destructors and the unwind tables' release are registered here; msvcrt.dll keeps them in
// its own list, which its exit() runs, last registered first.
extern "C" int __cdecl atexit(void(__cdecl* function)()) {
    return _onexit(reinterpret_cast<_onexit_t>(function)) ? 0 : -1;
}
