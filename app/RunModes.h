#pragma once
// What the start-up works out before the dialog shows anything, besides the command line
// (app/CommandLine.h): the two flags from the system version and the default install folder; and
// the text of the usage run.
#include "framework/CString.h"

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
