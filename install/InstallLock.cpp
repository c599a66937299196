#include "install/SystemErrorText.h"
#include "ui/InstallerDlg.h"

#include <aclapi.h>
#include <sddl.h>

const wchar_t CInstallerDlg::kAnotherInstallRunning[] =
    L"Another installation of Memotack is in progress. Wait until it has finished, then try again.";

namespace {

// Global: one lock for every session of the machine, the services' one included.
const wchar_t kInstallMutex[] = L"Global\\PelmoSoftwareMemotackSetup";
// Owned by the Administrators, and only SYSTEM and the Administrators may open it. A standard user
// can make a mutex of that name first, but cannot make the Administrators its owner.
const wchar_t kInstallMutexSecurity[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

// Whether the Administrators or SYSTEM own object, as they own every lock an install made.
bool MadeByAnInstall(HANDLE object) {
    PSID owner = nullptr;
    LocalMemory descriptor;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          descriptor.Receive()) != ERROR_SUCCESS)
        return false;
    return owner &&
           (::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || ::IsWellKnownSid(owner, WinLocalSystemSid));
}

}  // namespace

// A lock that cannot be had does not stop the install: the reason goes to the log. That covers a
// mutex of the lock's name that another user made first: whatever it holds, it blocks nothing.
bool CInstallerDlg::LockInstall() {
    auto goOnWithout = [this](const CString& reason, DWORD error) {
        m_log.WriteLine(WithSystemError(L"No install lock, the install goes on without it: " + reason, error));
        return true;
    };
    LocalMemory descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kInstallMutexSecurity, SDDL_REVISION_1,
                                                                descriptor.Receive(), nullptr))
        return goOnWithout(L"its security could not be made", ::GetLastError());
    SECURITY_ATTRIBUTES security = {sizeof security, descriptor.As<void>(), FALSE};
    UniqueHandle mutex(::CreateMutexW(&security, FALSE, kInstallMutex));
    const DWORD created = ::GetLastError();
    if (!mutex.IsValid()) return goOnWithout(L"the mutex could not be made or opened", created);
    if (created == ERROR_ALREADY_EXISTS && !MadeByAnInstall(mutex.Get()))
        return goOnWithout(L"a mutex of its name is owned by someone other than the Administrators", 0);
    switch (::WaitForSingleObject(mutex.Get(), 0)) {
        case WAIT_TIMEOUT:
            return false;
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // an install that ended without letting go
            m_installLock.Reset(mutex.Release());
            return true;
        default:
            return goOnWithout(L"the mutex could not be taken", ::GetLastError());
    }
}

void CInstallerDlg::UnlockInstall() { m_installLock.Reset(); }
