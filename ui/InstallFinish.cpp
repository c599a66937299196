#include "framework/CWinApp.h"
#include "res/resource.h"
#include "ui/InstallFolder.h"
#include "ui/InstallerDlg.h"

// Button 1000: on the options page it installs, afterwards (as "&Finish") it closes the dialog.
void CInstallerDlg::OnInstall() {
    if (m_bInstalled) {
        OnCancel();
        return;
    }
    UpdateData(TRUE);
    // Nothing is written before the folder passed the check that -path= makes, and while another
    // install runs.
    const CString folderProblem = InstallFolderProblem(m_strInstallPath, L"The install folder");
    if (!folderProblem.IsEmpty()) {
        StayOnOptionsPage(folderProblem, true);
        return;
    }
    if (!LockInstall()) {
        StayOnOptionsPage(kAnotherInstallRunning, false);
        return;
    }
    bool allUsers = SendDlgItemMessage(IDC_FOR_EVERYONE, BM_GETCHECK) == BST_CHECKED;

    static const int kOptionControls[] = {IDC_OPTIONS_FRAME, IDC_AFTER_INSTALL_FRAME, IDC_INSTALL_PATH_LABEL,
                                          IDC_BROWSE,        IDC_SHOW_HELP,           IDC_RUN_AFTER,
                                          IDC_FOR_EVERYONE,  IDC_FOR_JUST_ME,         IDC_INSTALL_PATH};
    for (int id : kOptionControls) GetDlgItem(id).ShowWindow(SW_HIDE);
    m_progressList.MoveWindow(60, 49, 457, 250, TRUE);
    m_progressList.ShowWindow(SW_SHOW);

    LogInstallChoices(allUsers);
    DoInstall(allUsers);
    m_nExitCode = m_bStepFailed ? ExitInstallFailed : ExitSuccess;
    DeleteOldUninstallKeys();
    UnlockInstall();

    m_bInstalled = true;
    GetDlgItem(IDC_INSTALL_BUTTON).SetWindowText(L"&Finish");
    GetDlgItem(IDC_CANCEL_BUTTON).ShowWindow(SW_HIDE);
}

void CInstallerDlg::StayOnOptionsPage(const CString& message, bool focusFolderBox) {
    m_log.WriteLine(L"Refused: " + message);
    AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION, 0);
    if (focusFolderBox)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDC_INSTALL_PATH).GetSafeHwnd()), TRUE);
}
