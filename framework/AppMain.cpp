// The process entry point: hands control to the one global application object.
#include "framework/CWinApp.h"
#include "framework/SystemDllSearch.h"

#include <stdlib.h>

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    RestrictDllSearchToSystem();
    CWinApp* app = AfxGetApp();
    return app ? app->Run(instance, commandLine) : 1;
}

namespace __gnu_cxx {
// Replaces the C++ run-time's default handler for an exception that nobody catches. That one
// prints the exception's demangled type name to a console this GUI program does not have, and the
// demangler alone is some 45 KB of the executable. Ending the process is all either does here.
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx
