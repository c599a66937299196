#include "res/resource.h"
#include "ui/InstallerDlg.h"

// The silent install: the default folder, the current user's folders, no rows, no message boxes
// and no after-install actions. Only the exit code tells how it went.
void CInstallerDlg::RunSilentInstall() {
    m_bSilent = true;
    m_bRunAfter = FALSE;
    m_bShowHelp = FALSE;
    DoInstall(false);
    m_nExitCode = m_bStepFailed ? ExitInstallFailed : ExitSuccess;
    OnCancel();
}

// Writes both payload files into the current directory and nothing else. The help file is still
// attempted when the executable failed.
void CInstallerDlg::RunExtractOnly() {
    bool exeWritten = ExtractPayload(IDR_PAYLOAD_EXE, L"memotack.exe");
    bool helpWritten = ExtractPayload(IDR_PAYLOAD_CHM, L"memotack.chm");
    m_nExitCode = exeWritten && helpWritten ? ExitSuccess : ExitInstallFailed;
    OnCancel();
}
