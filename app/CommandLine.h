#pragma once
// The one reading of the command line (see ui/ParsedCommandLine.h for what it gives).
#include "ui/ParsedCommandLine.h"

// Parses text, the command line without the program's name, into run mode, switches and what was
// refused. text may be null, which is an empty command line. A -path= folder is checked by
// InstallFolderProblem (ui/InstallFolder.h).
CommandLine ParseCommandLine(LPCWSTR text);
