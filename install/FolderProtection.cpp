#include "install/FolderProtection.h"

#include "framework/Handles.h"
#include "install/SystemErrorText.h"
#include "ui/InstallerDlg.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

const wchar_t kProtectedFolderSecurity[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

namespace {

bool IsSystemOrAdministrators(PSID sid) {
    return ::IsWellKnownSid(sid, WinLocalSystemSid) || ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

// path is folder or lies inside it, compared as the file system compares names.
bool IsInside(const CString& path, LPCWSTR folder) {
    const int length = lstrlenW(folder);
    if (length == 0 || path.GetLength() < length || (path.GetLength() > length && path[length] != L'\\')) return false;
    return ::CompareStringOrdinal(path, length, folder, length, TRUE) == CSTR_EQUAL;
}

// Gives folder the protected list and the Administrators as its owner when it lets others change
// it; *replaced says whether it did. ERROR_SUCCESS or the error of the call that failed.
DWORD ProtectExistingFolder(const CString& folder, PSECURITY_DESCRIPTOR protectedList, bool* replaced) {
    *replaced = false;
    LocalMemory current;
    DWORD error =
        ::GetNamedSecurityInfoW(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, nullptr, nullptr, current.Receive());
    if (error != ERROR_SUCCESS || !LetsOthersChange(current.As<void>())) return error;
    PSID administrators = nullptr;
    PACL list = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    // Without its list the call below would give the folder none, which lets everyone in.
    if (!::GetSecurityDescriptorOwner(protectedList, &administrators, &defaulted) ||
        !::GetSecurityDescriptorDacl(protectedList, &present, &list, &defaulted) || !administrators || !list)
        return ::GetLastError();
    error = ::SetNamedSecurityInfoW(
        const_cast<LPWSTR>(folder.GetString()), SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, administrators,
        nullptr, list, nullptr);
    *replaced = error == ERROR_SUCCESS;
    return error;
}

}  // namespace

bool LetsOthersChange(PSECURITY_DESCRIPTOR security) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!::GetSecurityDescriptorOwner(security, &owner, &defaulted) || !owner || !IsSystemOrAdministrators(owner))
        return true;
    BOOL present = FALSE;
    PACL list = nullptr;
    // No list lets everyone do everything.
    if (!::GetSecurityDescriptorDacl(security, &present, &list, &defaulted) || !present || !list) return true;
    const ACCESS_MASK readAndExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;
    for (DWORD i = 0; i < list->AceCount; ++i) {
        ACE_HEADER* entry = nullptr;
        if (!::GetAce(list, i, reinterpret_cast<void**>(&entry))) return true;
        if (entry->AceType == ACCESS_DENIED_ACE_TYPE) continue;
        if (entry->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;
        auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (!IsSystemOrAdministrators(&allowed->SidStart) && (allowed->Mask & ~readAndExecute)) return true;
    }
    return false;
}

bool IsInProgramFiles(const CString& path) {
    wchar_t shell[MAX_PATH] = {};
    if (::SHGetSpecialFolderPathW(nullptr, shell, CSIDL_PROGRAM_FILES, FALSE) && IsInside(path, shell)) return true;
    RegKey key;
    wchar_t native[MAX_PATH] = {};
    DWORD size = sizeof native;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", 0,
                           KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Receive()) == ERROR_SUCCESS &&
           ::RegGetValueW(key.Get(), nullptr, L"ProgramFilesDir", RRF_RT_REG_SZ, nullptr, native, &size) ==
               ERROR_SUCCESS &&
           IsInside(path, native);
}

CString WhyNoAccessControl(const CString& path) {
    wchar_t root[MAX_PATH] = {};
    DWORD flags = 0;
    if (!::GetVolumePathNameW(path, root, MAX_PATH) ||
        !::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        return WithSystemError(L"the file system of " + path + L" does not say whether it keeps access-control lists",
                               ::GetLastError());
    if (flags & FILE_PERSISTENT_ACLS) return CString();
    return CString(L"the file system of ") + root + L" keeps no access-control lists";
}

bool CInstallerDlg::CreateInstallFolder(CString* createdParents, bool* mayCopy) {
    *mayCopy = true;
    if (IsInProgramFiles(m_strInstallPath)) return CreateDirectoryTree(m_strInstallPath, createdParents);
    const CString noAccessControl = WhyNoAccessControl(m_strInstallPath);
    if (!noAccessControl.IsEmpty()) {
        m_log.WriteLine(L"Permissions of the install folder left as they are: " + noAccessControl);
        return CreateDirectoryTree(m_strInstallPath, createdParents);
    }
    LocalMemory protectedList;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedFolderSecurity, SDDL_REVISION_1,
                                                                protectedList.Receive(), nullptr)) {
        *mayCopy = false;
        const DWORD error = ::GetLastError();
        return SetError(GetSystemErrorText(error), error);
    }
    SECURITY_ATTRIBUTES security = {sizeof security, protectedList.As<void>(), FALSE};
    bool madeFolder = false;
    if (!CreateDirectoryTree(m_strInstallPath, createdParents, &security, &madeFolder)) return false;
    if (madeFolder) return true;
    bool replaced = false;
    const DWORD error = ProtectExistingFolder(m_strInstallPath, protectedList.As<void>(), &replaced);
    if (replaced)
        m_log.WriteLine(L"Permissions of the install folder replaced: " + m_strInstallPath +
                        L" let others than SYSTEM and the Administrators change it; now SYSTEM and the "
                        L"Administrators have full control, Users read and execute, and the Administrators own it");
    *mayCopy = error == ERROR_SUCCESS;
    return *mayCopy || SetError(GetSystemErrorText(error), error);
}
