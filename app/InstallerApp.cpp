#include "app/InstallerApp.h"

#include "app/FatalErrors.h"
#include "app/RunModes.h"
#include "ui/InstallerDlg.h"

const CWinApp::CommandEntry* CInstallerApp::GetCommandMap() const {
    static const CommandEntry kEntries[] = {
        {ID_HELP, &CWinApp::OnHelp},
        {0, nullptr},
    };
    return kEntries;
}

BOOL CInstallerApp::InitInstance() {
    CInstallerDlg dialog;
    const RunMode mode = ChooseRunMode(m_lpCmdLine);
    if (mode == RunMode::Silent || mode == RunMode::ExtractOnly) EndFatalErrorsQuietly(&dialog.m_log);
    // The dialog records its outcome whichever way it ends; a dialog that could not even be
    // created installed nothing.
    m_nExitCode = dialog.DoModal() == -1 ? ExitInstallFailed : dialog.m_nExitCode;
    dialog.m_log.Close(m_nExitCode);
    ForgetFatalErrorLog();
    return FALSE;
}
