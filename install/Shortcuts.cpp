#include "framework/Handles.h"
#include "install/UninstallerScript.h"
#include "ui/InstallerDlg.h"

#include <errno.h>
#include <shlobj.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

const wchar_t kShortcutName[] = L"\\Memotack.lnk";
const wchar_t kFixedStartupShortcut[] = L"C:\\windows\\Start Menu\\Programs\\Startup\\Memotack.lnk";

// The shell folder csidl into folder. On false folder is left untouched: the shell may leave its
// buffer unfilled when the lookup fails, so that buffer is never used.
bool LookUpShellFolder(int csidl, CString& folder) {
    wchar_t buffer[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE) || buffer[0] == L'\0') return false;
    folder = buffer;
    return true;
}

}  // namespace

// Writes the step's shortcut and marks its row by the result.
void CInstallerDlg::CreateShortcutRow(int row, const CString& shortcut) {
    const HRESULT result =
        CreateShortcut(m_strInstallPath + L"\\memotack.exe", L"Memotack", shortcut, m_strInstallPath);
    if (result == S_OK)
        SetStepStatus(row, StepDone);
    else
        FailStep(row, L"Can't create at: " + shortcut, static_cast<DWORD>(result));
}

HRESULT CInstallerDlg::CreateShortcut(const CString& target,
                                      const CString& description,
                                      const CString& shortcutPath,
                                      const CString& workingFolder) {
    if (::GetFileAttributesW(shortcutPath) != INVALID_FILE_ATTRIBUTES) ::DeleteFileW(shortcutPath);

    wchar_t fullTarget[MAX_PATH];
    DWORD length = ::GetFullPathNameW(target, MAX_PATH, fullTarget, nullptr);
    if (length == 0) {
        const DWORD error = ::GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    // A result of MAX_PATH or more is the size the path would need: it did not fit.
    if (length >= MAX_PATH) return E_FAIL;

    ComPtr<IShellLinkW> link;
    HRESULT hr =
        ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
    if (FAILED(hr)) return hr;

    hr = link->SetPath(fullTarget);
    if (SUCCEEDED(hr)) hr = link->SetDescription(description);
    if (SUCCEEDED(hr)) hr = link->SetWorkingDirectory(workingFolder);
    if (FAILED(hr)) return hr;

    if (shortcutPath.GetLength() >= MAX_PATH) return E_FAIL;
    wchar_t savePath[MAX_PATH];
    wcscpy(savePath, shortcutPath);
    return file->Save(savePath, TRUE);
}

void CInstallerDlg::CreateStartMenuItems(int row, bool allUsers, CString& script) {
    row = AddStepRow(row, L"Create Start Menu items");

    CString programs;
    if (!LookUpShellFolder(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, programs)) {
        // Without the programs folder there is nowhere sound to put the folder: the step fails
        // rather than create one relative to the current drive.
        FailStep(row,
                 CString(L"Can't create directory at: ") +
                     (allUsers ? L"Start Menu\\Programs (all users)" : L"Start Menu\\Programs") + L"\\Memotack",
                 ::GetLastError());
        return;
    }
    CString folder = programs + L"\\Memotack";
    CString shortcut = folder + kShortcutName;

    if (::_wmkdir(folder) != 0 && errno != EEXIST) {
        // The run-time keeps the system's code behind errno.
        FailStep(row, L"Can't create directory at: " + folder, static_cast<DWORD>(_doserrno));
        return;
    }
    CreateShortcutRow(row, shortcut);
    script += L"del " + QuotedScriptPath(shortcut) + L"\n";
    script += L"rd " + QuotedScriptPath(folder) + L"\n";
}

void CInstallerDlg::CreateStartupShortcut(int row, bool allUsers, CString& script) {
    row = AddStepRow(row, L"Create Startup shortcut");

    // A failed lookup falls back to the fixed path the program uses on systems without shell
    // folders: the step then fails there (or succeeds) with a path the user can read.
    CString shortcut = kFixedStartupShortcut;
    CString startup;
    if (m_bShellFolders && LookUpShellFolder(allUsers ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP, startup))
        shortcut = startup + kShortcutName;

    CreateShortcutRow(row, shortcut);
    script += L"del " + QuotedScriptPath(shortcut) + L"\n";
}
