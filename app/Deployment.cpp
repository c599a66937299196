// What the dialog does with the deployment switches -everyone, -path= and -log= (parsed by
// app/CommandLine.h), and the log's header: what an administrator needs to know of a run
// afterwards, written before anything is installed.
#include "app/RunModes.h"
#include "framework/CWinApp.h"
#include "install/EarlierInstall.h"
#include "install/SystemErrorText.h"
#include "ui/InstallFolder.h"
#include "ui/InstallerDlg.h"

namespace {

LPCWSTR ModeName(RunMode mode) {
    switch (mode) {
        case RunMode::Silent:
            return L"silent install";
        case RunMode::ExtractOnly:
            return L"extract only";
        case RunMode::Usage:
            return L"usage message";
        case RunMode::Interactive:
            break;
    }
    return L"interactive";
}

LPCWSTR YesNo(bool value) { return value ? L"yes" : L"no"; }

// The file version of this program's own version resource; "unknown" when it has none.
CString InstallerVersion() {
    HMODULE module = AfxGetInstanceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    DWORD size = found ? ::SizeofResource(module, found) : 0;
    // The fixed part starts at a 4-byte boundary with its signature.
    for (DWORD offset = 0; data && offset + sizeof(VS_FIXEDFILEINFO) <= size; offset += 4) {
        const auto* info = reinterpret_cast<const VS_FIXEDFILEINFO*>(data + offset);
        if (info->dwSignature != VS_FFI_SIGNATURE) continue;
        CString version;
        version.Format(L"%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                       HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
        return version;
    }
    return L"unknown";
}

CString StartTime() {
    SYSTEMTIME local, utc;
    ::GetLocalTime(&local);
    ::GetSystemTime(&utc);
    CString text;
    text.Format(L"%04u-%02u-%02u %02u:%02u:%02u local time (%02u:%02u:%02u UTC)", local.wYear, local.wMonth, local.wDay,
                local.wHour, local.wMinute, local.wSecond, utc.wHour, utc.wMinute, utc.wSecond);
    return text;
}

// Windows' own version. The version query of the start-up answers 6.2 on every later Windows to a
// program whose manifest declares no supported systems, as this one's does not; RtlGetVersion
// answers every program alike. Looked up rather than imported, like every function a system may
// lack. FALSE when there is no such function or it fails.
BOOL WINAPI GetWindowsOwnVersion(LPOSVERSIONINFOW info) {
    using RtlGetVersionFn = LONG(WINAPI*)(LPOSVERSIONINFOW);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void (*)()>(ntdll ? ::GetProcAddress(ntdll, "RtlGetVersion") : nullptr));
    return rtlGetVersion && rtlGetVersion(info) == 0;
}

// Windows' own version and whether Windows is 64-bit; then, where it says otherwise, what the
// version query that decides the Start Menu items answers.
CString WindowsDescription() {
    OSVERSIONINFOEXW own, queried;
    const bool ownKnown = QuerySystemVersion(own, &GetWindowsOwnVersion);
    const bool queriedKnown = QuerySystemVersion(queried, &::GetVersionExW);
    const OSVERSIONINFOEXW& info = ownKnown ? own : queried;
    CString text;
    if (ownKnown || queriedKnown) {
        text.Format(L"%lu.%lu build %lu, platform %lu", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                    info.dwPlatformId);
        if (info.szCSDVersion[0]) text += CString(L", ") + info.szCSDVersion;
    } else {
        text = L"version unknown";
    }
    SYSTEM_INFO system;
    ::GetNativeSystemInfo(&system);
    bool is64 = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ||
                system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
    text += is64 ? L", 64-bit" : L", 32-bit";
    if (ownKnown && queriedKnown &&
        (own.dwMajorVersion != queried.dwMajorVersion || own.dwMinorVersion != queried.dwMinorVersion)) {
        CString queriedText;
        queriedText.Format(L" (%lu.%lu to the version query that decides the Start Menu items)", queried.dwMajorVersion,
                           queried.dwMinorVersion);
        text += queriedText;
    } else if (!ownKnown && queriedKnown) {
        text += L" (as the version query reports it)";
    }
    return text;
}

// "yes", "no", or "unknown" where the system has no elevation (before Windows Vista).
LPCWSTR ElevationState() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return L"unknown";
    UniqueHandle owner(token);
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return L"unknown";
    return YesNo(elevation.TokenIsElevated != 0);
}

}  // namespace

void CInstallerDlg::ApplyCommandLineOptions() {
    const CommandLine& given = m_commandLine;
    // Where the radio buttons are hidden there is nothing to choose: the install is per-user.
    m_bForEveryone = given.everyone && m_bShellFolders;
    // The runs that install go where an earlier install went, unless -path= says otherwise.
    const CString earlierProblem =
        given.mode == RunMode::Silent || given.mode == RunMode::Interactive ? FindEarlierInstall() : CString();
    if (given.pathGiven && given.whyPathRefused.IsEmpty()) m_strInstallPath = given.path;

    if (given.everyone && !m_bShellFolders) m_log.WriteLine(L"-everyone: no effect, this system has no such choice");
    if (!given.whyPathRefused.IsEmpty()) m_log.WriteLine(L"Refused: " + given.whyPathRefused);
    if (!earlierProblem.IsEmpty()) m_log.WriteLine(L"Earlier install: " + earlierProblem);

    if (given.mode == RunMode::Interactive && !given.whyPathRefused.IsEmpty())
        AfxMessageBox(given.whyPathRefused + L"\n\nThe installer offers its default folder instead.",
                      MB_OK | MB_ICONEXCLAMATION, 0);
}

void CInstallerDlg::OpenLog() {
    // Without a log the run asks the system nothing more than it always did.
    if (!m_commandLine.logPath.IsEmpty() && m_log.Open(m_commandLine.logPath)) WriteLogHeader();
}

void CInstallerDlg::WriteLogHeader() {
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    m_log.WriteLine(L"Memotack Setup log");
    m_log.WriteLine(CString(L"Installer: ") + program + L", version " + InstallerVersion() +
                    L", installs Memotack 8.0a");
    m_log.WriteLine(L"Started: " + StartTime());
    m_log.WriteLine(L"Command line: " + m_commandLine.text);
    m_log.WriteLine(L"Log: " + m_log.GetPath());
    m_log.WriteLine(CString(L"Mode: ") + ModeName(m_commandLine.mode));
    m_log.WriteLine(L"Windows: " + WindowsDescription());
    m_log.WriteLine(CString(L"Elevated: ") + ElevationState());
}

void CInstallerDlg::LogInstallChoices(bool allUsers) {
    m_log.WriteLine(CString(L"Options: install for ") + (allUsers ? L"everyone" : L"the current user") +
                    L", run Memotack " + YesNo(m_bRunAfter) + L", show help file " + YesNo(m_bShowHelp));
    m_log.WriteLine(L"Folder: " + m_strInstallPath);
    if (m_strEarlierFolder.IsEmpty()) return;
    if (::lstrcmpiW(m_strEarlierFolder, m_strInstallPath) == 0)
        m_log.WriteLine(L"Earlier install: in the same folder, installed over");
    else
        m_log.WriteLine(L"Earlier install: " + m_strEarlierFolder +
                        L", left as it is; the uninstaller of this install removes it too");
}

CString CInstallerDlg::FindEarlierInstall() {
    const EarlierEntry earlier = ReadEarlierEntry();
    m_bEarlierEntry = earlier.exists;
    if (earlier.status != ERROR_SUCCESS)
        return WithSystemError(L"its entry cannot be read, so its folder is not the default", earlier.status);
    if (!earlier.exists) return CString();
    if (earlier.location.IsEmpty()) return L"its entry names no folder";
    const CString problem = InstallFolderProblem(earlier.location);
    if (problem.IsEmpty()) m_strEarlierFolder = m_strInstallPath = earlier.location;
    return problem.IsEmpty() ? problem : L"its folder is not the default, as -path= would refuse it: " + problem;
}
