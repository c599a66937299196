/* A broken in-process COM server: install_faults.sh registers it in place of the shell's link
 * object, so that the installer's shortcut step loads it into the installer and asks it for a class
 * factory. It answers with a fatal error: the C run-time's abort(). */
#include <windows.h>

#include <stdlib.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)self, (void)reason, (void)reserved;
    return TRUE;
}

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    (void)clsid, (void)iid, (void)object;
    abort();
}
