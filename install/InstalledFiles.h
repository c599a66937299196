#pragma once
// The paths of the files an install puts into its folder, each worked out once from the folder.
#include "framework/CString.h"

struct InstalledFiles {
    explicit InstalledFiles(const CString& installFolder)
        : folder(installFolder), exe(installFolder + L"\\memotack.exe"), help(installFolder + L"\\memotack.chm") {}

    CString folder;  // the install folder itself
    CString exe;     // the program
    CString help;    // its help file
};
