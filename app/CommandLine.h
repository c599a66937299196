#pragma once
// The deployment switches read from the command line. A folder given there is checked by
// InstallFolderProblem.
#include "framework/CString.h"
#include "ui/InstallFolder.h"

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
