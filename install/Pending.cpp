#include "ui/InstallerDlg.h"

// PLACEHOLDERS until the install steps land; each file that implements one removes it here.
// The step placeholders add their row and mark it done without doing any work.
LONG CInstallerDlg::DeleteOldUninstallKeys() { return ERROR_SUCCESS; }
bool CInstallerDlg::CloseRunningApp() { return true; }  // placeholder: install/CloseAndRetire.cpp

namespace {
void PlaceholderStep(CInstallerDlg& dialog, int row, LPCWSTR label) {
    dialog.SetStepStatus(dialog.AddStepRow(row, label), StepDone);
}
}  // namespace

void CInstallerDlg::CreateStartMenuItems(int row, bool, CString&) {  // placeholder: install/Shortcuts.cpp
    PlaceholderStep(*this, row, L"Create Start Menu items");
}
void CInstallerDlg::CreateStartupShortcut(int row, bool, CString&) {  // placeholder: install/Shortcuts.cpp
    PlaceholderStep(*this, row, L"Create Startup shortcut");
}
void CInstallerDlg::CreateUninstallEntry(int row, const CString&) {  // placeholder: install/UninstallEntry.cpp
    PlaceholderStep(*this, row, L"Create Add/Remove Programs entry");
}
void CInstallerDlg::CreateUninstaller(int row, const CString&, CString&) {  // placeholder: install/UninstallEntry.cpp
    PlaceholderStep(*this, row, L"Create uninstaller");
}
void CInstallerDlg::LaunchInstalledFile(int row,
                                        LPCWSTR label,
                                        const CString&) {  // placeholder: install/AfterInstall.cpp
    PlaceholderStep(*this, row, label);
}
// placeholder: payload/PayloadExtraction.cpp. Fails honestly until the payload reader lands.
bool CInstallerDlg::ExtractPayload(WORD, CString) {
    m_strError = L"Payload extraction is not built yet";
    return false;
}
