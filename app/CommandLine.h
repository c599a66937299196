#pragma once
// The deployment switches read from the command line, and the check of a folder given there.
#include "framework/CString.h"

// The switches for unattended deployment. Unlike the run-mode switches (app/RunModes.h), which are
// substrings of the whole text, these are whole arguments, split the way Windows splits a command
// line (CommandLineToArgvW), so that -path="C:\My Apps\Memotack" is one argument. Case-sensitive
// like the others; when one is given twice, the last one counts.
struct CommandLineOptions {
    bool everyone = false;   // -everyone
    bool pathGiven = false;  // -path=FOLDER, FOLDER possibly empty
    CString path;
    CString logPath;  // -log=FILE; empty: no log
};
CommandLineOptions ParseCommandLineOptions(LPCWSTR commandLine);

// Why folder cannot be given as the install folder, or an empty text when it can. It must be a
// full path (a drive and its root, or a network share) and hold no character that Windows
// folder names cannot hold.
CString InstallFolderProblem(const CString& folder);
