#pragma once
// An install made before this one, as its uninstall entry and its uninstaller tell it. A reinstall
// goes where the earlier one went, unless told otherwise, and its uninstaller also removes what the
// earlier install left (see CInstallerDlg::AddEarlierInstallLines).
#include "framework/CString.h"

// The entry of an earlier install. status: ERROR_SUCCESS when there is none or it was read, else
// why the key or its InstallLocation could not be read (location then stays empty).
struct EarlierEntry {
    bool exists = false;
    CString location;  // its InstallLocation; empty when it holds none
    LONG status = ERROR_SUCCESS;
};
EarlierEntry ReadEarlierEntry();

// The lines of an uninstaller's text that remove what its install made: each "del" or "rd" of one
// quoted path, in their order, each ended by a line feed. Lines that name a path through a
// variable (%TEMP%, %0) and every other command are left out.
CString RemovalLines(const CString& uninstallerText);

// The lines of lines (each ended by a line feed) that script does not hold yet as whole lines,
// each once, in their order.
CString LinesNotIn(const CString& lines, const CString& script);
