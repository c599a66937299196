#pragma once
// What the start-up works out before the dialog shows anything: the run mode from the command
// line, the two flags from the system version and the default install folder.
#include "framework/CString.h"

enum class RunMode { Silent, ExtractOnly, Usage, Interactive };

// Plain case-sensitive substring tests in a fixed order; the first that matches wins.
RunMode ChooseRunMode(LPCWSTR commandLine);

// Asks for the version with the extended record (284 bytes) and, when the system rejects that
// size, again with the basic one (276 bytes). info is zero-filled first. Returns false when both
// queries failed.
using GetVersionFunction = BOOL(WINAPI*)(LPOSVERSIONINFOW);
bool QuerySystemVersion(OSVERSIONINFOEXW& info, GetVersionFunction getVersion);

struct VersionFlags {
    bool shellFolders;    // NT, major version 5 or later
    bool startMenuItems;  // NT 6.2 exactly
};
// versionKnown false: both queries failed.
VersionFlags ComputeVersionFlags(bool versionKnown, const OSVERSIONINFOEXW& info);

// The shell's program-files folder + "\Memotack"; the literal folder on older systems or when
// the shell cannot say.
using SpecialFolderFunction = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
CString DefaultInstallPath(bool shellFolders, SpecialFolderFunction getFolder);

extern const wchar_t kUsageText[];
