#include "app/InstallerApp.h"

#include "app/CommandLine.h"
#include "app/FatalErrors.h"
#include "framework/CommonControls.h"
#include "ui/InstallerDlg.h"

const CWinApp::CommandEntry* CInstallerApp::GetCommandMap() const {
    static const CommandEntry kEntries[] = {
        {ID_HELP, &CWinApp::OnHelp},
        {0, nullptr},
    };
    return kEntries;
}

// The command line is read here, once: the dialog gets its parsed value and works from that alone.
// The log opens first, so that it can tell of every failure after it: the common controls and
// the dialog itself are needed by every run, and a run without them installs nothing.
BOOL CInstallerApp::InitInstance() {
    CInstallerDlg dialog;
    dialog.m_commandLine = ParseCommandLine(m_lpCmdLine);
    dialog.OpenLog();
    const RunMode mode = dialog.m_commandLine.mode;
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
