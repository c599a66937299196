#include "app/InstallerApp.h"

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
    dialog.DoModal();
    return FALSE;
}
