#include "ui/InstallerDlg.h"

// The runs without a dialog. Until they do their work they only end the dialog.
void CInstallerDlg::RunSilentInstall() { OnCancel(); }

void CInstallerDlg::RunExtractOnly() { OnCancel(); }
