#include "ui/InstallerDlg.h"

// Placeholders until the install steps land; each file that implements one removes it here.
bool CInstallerDlg::DoInstall(bool) { return true; }
