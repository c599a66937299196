#include "install/SystemErrorText.h"
#include "res/resource.h"
#include "ui/InstallerDlg.h"

// Extractions have no progress rows; the log gets a line for each all the same.
void CInstallerDlg::LogExtraction(LPCWSTR label, bool written) {
    m_log.RowStarted(label);
    if (!written) m_log.RowError(WithSystemError(m_strError, m_nSystemError));
    m_log.RowEnded(!written);
}

// The silent install: the default folder (or -path=), the current user's folders (or everyone's
// with -everyone), no rows, no message boxes and no after-install actions. Only the exit code and
// the log tell how it went. A refused -path= installs nothing, nor does a run while another install
// runs.
void CInstallerDlg::RunSilentInstall() {
    m_bSilent = true;
    m_bRunAfter = FALSE;
    m_bShowHelp = FALSE;
    if (!m_commandLine.whyPathRefused.IsEmpty()) {
        m_nExitCode = ExitInvalidCommandLine;
    } else if (!LockInstall()) {
        m_log.WriteLine(kAnotherInstallRunning);
        m_nExitCode = ExitAnotherInstall;
    } else {
        LogInstallChoices(m_bForEveryone);
        DoInstall(m_bForEveryone);
        UnlockInstall();
        m_nExitCode = m_bStepFailed ? ExitInstallFailed : ExitSuccess;
    }
    OnCancel();
}

// Writes both payload files into the current directory and nothing else. The help file is still
// attempted when the executable failed.
void CInstallerDlg::RunExtractOnly() {
    wchar_t folder[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    m_log.WriteLine(CString(L"Folder: ") + folder);
    bool exeWritten = ExtractPayload(IDR_PAYLOAD_EXE, L"memotack.exe");
    LogExtraction(L"Extract 'memotack.exe'", exeWritten);
    bool helpWritten = ExtractPayload(IDR_PAYLOAD_CHM, L"memotack.chm");
    LogExtraction(L"Extract 'memotack.chm'", helpWritten);
    m_nExitCode = exeWritten && helpWritten ? ExitSuccess : ExitInstallFailed;
    OnCancel();
}
