#include "ui/InstallerDlg.h"

#include <shellapi.h>

// "Run Memotack" and "Show help file": opens path with the shell and does not wait for it.
void CInstallerDlg::LaunchInstalledFile(int row, LPCWSTR label, const CString& path) {
    row = AddStepRow(row, label);
    HINSTANCE result = ::ShellExecuteW(::GetDesktopWindow(), L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) > 32) {
        SetStepStatus(row, StepDone);
    } else {
        FailStep(row, L"Unable to launch file", ::GetLastError());
    }
}
