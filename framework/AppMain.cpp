// The process entry point: hands control to the one global application object.
#include "framework/CWinApp.h"

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    CWinApp* app = AfxGetApp();
    return app ? app->Run(instance, commandLine) : 1;
}
