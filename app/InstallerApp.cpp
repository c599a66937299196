#include "app/InstallerApp.h"

#include "app/FatalErrors.h"
#include "app/RunModes.h"
#include "framework/CommonControls.h"
#include "ui/InstallerDlg.h"

const CWinApp::CommandEntry* CInstallerApp::GetCommandMap() const {
    static const CommandEntry kEntries[] = {
        {ID_HELP, &CWinApp::OnHelp},
        {0, nullptr},
    };
    return kEntries;
}

// The log opens first, so that it can tell of every failure after it: the common controls and
// the dialog itself are needed by every run, and a run without them installs nothing.
BOOL CInstallerApp::InitInstance() {
    CInstallerDlg dialog;
    const RunMode mode = ChooseRunMode(m_lpCmdLine);
    dialog.OpenLog(m_lpCmdLine, mode);
    if (mode == RunMode::Silent || mode == RunMode::ExtractOnly) EndFatalErrorsQuietly(&dialog.m_log);
    const char* failure = nullptr;
    if (!LoadCommonControls()) {
        failure = "the common controls (comctl32.dll, version 6) could not be loaded";
    } else if (dialog.DoModal() == -1) {
        failure = "the installer's window could not be created";
    }
    m_nExitCode = failure ? ExitInstallFailed : dialog.m_nExitCode;
    if (failure)
        dialog.m_log.WriteFatalError(failure, m_nExitCode);
    else
        dialog.m_log.Close(m_nExitCode);
    ForgetFatalErrorLog();
    return FALSE;
}
