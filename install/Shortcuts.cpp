#include "framework/Handles.h"
#include "install/InstalledFiles.h"
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

// The Startup folder's shortcut. A failed lookup falls back to the fixed path the program uses on
// systems without shell folders: the step then fails there (or succeeds) with a path the user can
// read.
CString StartupShortcut(bool shellFolders, bool allUsers) {
    CString startup;
    if (shellFolders && LookUpShellFolder(allUsers ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP, startup))
        return startup + kShortcutName;
    return kFixedStartupShortcut;
}

}  // namespace

// A shortcut to the program, started in the install folder.
bool CInstallerDlg::WriteShortcut(const InstalledFiles& files, const CString& shortcut) {
    const HRESULT result = CreateShortcut(files.exe, L"Memotack", shortcut, files.folder);
    return result == S_OK || SetError(L"Can't create at: " + shortcut, static_cast<DWORD>(result));
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

void CInstallerDlg::CreateStartMenuItems(int row, bool allUsers, const InstalledFiles& files, CString& script) {
    row = AddStepRow(row, L"Create Start Menu items");
    CString folder;
    EndStep(row, WriteStartMenuItems(allUsers, files, folder));
    // Once the folder exists, the uninstaller removes it and its shortcut, also when the shortcut failed.
    if (folder.IsEmpty()) return;
    script += L"del " + QuotedScriptPath(folder + kShortcutName) + L"\n";
    script += L"rd " + QuotedScriptPath(folder) + L"\n";
}

bool CInstallerDlg::WriteStartMenuItems(bool allUsers, const InstalledFiles& files, CString& folder) {
    CString programs;
    if (!LookUpShellFolder(allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, programs)) {
        // Without the programs folder there is nowhere sound to put the folder: the step fails
        // rather than create one relative to the current drive.
        return SetError(CString(L"Can't create directory at: ") +
                            (allUsers ? L"Start Menu\\Programs (all users)" : L"Start Menu\\Programs") + L"\\Memotack",
                        ::GetLastError());
    }
    const CString memotackFolder = programs + L"\\Memotack";
    if (::_wmkdir(memotackFolder) != 0 && errno != EEXIST) {
        // The run-time keeps the system's code behind errno.
        return SetError(L"Can't create directory at: " + memotackFolder, static_cast<DWORD>(_doserrno));
    }
    folder = memotackFolder;
    return WriteShortcut(files, folder + kShortcutName);
}

void CInstallerDlg::CreateStartupShortcut(int row, bool allUsers, const InstalledFiles& files, CString& script) {
    row = AddStepRow(row, L"Create Startup shortcut");
    const CString shortcut = StartupShortcut(m_bShellFolders, allUsers);
    EndStep(row, WriteShortcut(files, shortcut));
    script += L"del " + QuotedScriptPath(shortcut) + L"\n";
}
