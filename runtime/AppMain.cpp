// The installer's wWinMain, called by the C run-time's start-up once it has set up the process and
// run the global constructors: restricts the DLL search, then hands over to the one application
// object. Nothing before this loads a DLL: the start-up's own pieces do not, and the global
// constructors here must not either. tools/check_startup.py fails when anything but the
// toolchain's own files puts thread-local storage callbacks or initialisers into that start-up.
#include "framework/CWinApp.h"
#include "runtime/SystemDllSearch.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    RestrictDllSearchToSystem();
    CWinApp* app = AfxGetApp();
    return app ? app->Run(instance, commandLine) : 1;
}
