#include "ui/InstallerDlg.h"

namespace {

const wchar_t kAppWindowTitle[] = L"PelmoSoftwareMemotackMain";

// How long the running copy may take over WM_CLOSE. A copy that has not handled it by then (hung,
// or stuck in a prompt) is given up on at once: waiting longer would hold the whole install.
const UINT kCloseSendTimeoutMs = 5000;

const wchar_t* const kOldUninstallKeys[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 4.0a",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 4.5a",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 4.5b",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 5.0a",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 5.1a",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 5.2a",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 5.2b",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 6.0a",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 6.0b",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 6.0c",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 6.5a",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Memotack 6.7a",
};

}  // namespace

// True when no window of the application is left; false when one still is after the wait, or when
// the running copy did not take the close request in time. On false the reason is in m_strError,
// for the log only: the row itself has no text.
bool CInstallerDlg::CloseRunningApp() {
    HWND app = ::FindWindowW(nullptr, kAppWindowTitle);
    if (!app) return true;
    DWORD_PTR ignored = 0;
    if (!::SendMessageTimeoutW(app, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kCloseSendTimeoutMs, &ignored)) {
        const DWORD error = ::GetLastError();
        // The window may have gone while the request was on its way; that is a success.
        return (!::IsWindow(app) && !::FindWindowW(nullptr, kAppWindowTitle)) ||
               SetError(L"the running Memotack did not take the request to close", error);
    }
    ::Sleep(2000);
    for (int check = 0; check < 3; ++check) {
        if (!::FindWindowW(nullptr, kAppWindowTitle)) return true;
        ::Sleep(1000);
    }
    return SetError(L"Memotack is still running 5 seconds after the request to close", 0);
}

// Ignores each result: an absent key, or one that cannot be deleted, changes nothing.
LONG CInstallerDlg::DeleteOldUninstallKeys() {
    LONG status = ERROR_SUCCESS;
    for (const wchar_t* key : kOldUninstallKeys) status = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    return status;
}
