#include "app/RunModes.h"

#include <shlobj.h>
#include <string.h>

const wchar_t kUsageText[] =
    L"Memotack installer\n\nTo have the installer run silently with the defaults, use:\n\n"
    L"memotack_setup.exe -silent\n\nTo just extract the Memotack program files to the current directory, "
    L"use:\n\nmemotack_setup.exe -extract"
    L"\n\nFor deployment, also:\n\n"
    L"-everyone\tinstall for everyone on this computer\n"
    L"-path=\"FOLDER\"\tinstall into FOLDER, a full path\n"
    L"-log=\"FILE\"\twrite a log of the run to FILE\n\n"
    L"-everyone and -path= preset the dialog\nwhen -silent is not given.\n\n"
    L"Exit codes: 0 installed, 1602 not installed, 1603 a step failed,\n"
    L"1618 another install running, 1639 -path= refused.";

bool QuerySystemVersion(OSVERSIONINFOEXW& info, GetVersionFunction getVersion) {
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    if (getVersion(reinterpret_cast<LPOSVERSIONINFOW>(&info))) return true;
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    return getVersion(reinterpret_cast<LPOSVERSIONINFOW>(&info)) != FALSE;
}

VersionFlags ComputeVersionFlags(bool versionKnown, const OSVERSIONINFOEXW& info) {
    VersionFlags flags = {false, false};
    if (!versionKnown || info.dwPlatformId != VER_PLATFORM_WIN32_NT) return flags;
    flags.shellFolders = info.dwMajorVersion >= 5;
    flags.startMenuItems = info.dwMajorVersion == 6 && info.dwMinorVersion == 2;
    return flags;
}

CString DefaultInstallPath(bool shellFolders, SpecialFolderFunction getFolder) {
    if (shellFolders) {
        wchar_t folder[MAX_PATH] = {};
        if (getFolder(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE)) return CString(folder) + L"\\Memotack";
    }
    return CString(L"C:\\Program Files\\Memotack");
}
