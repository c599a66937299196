#include "ui/InstallerDlg.h"

#include <shellapi.h>

// "Run Memotack" and "Show help file": opens path with the shell and does not wait for it.
void CInstallerDlg::LaunchInstalledFile(int row, LPCWSTR label, const CString& path) {
    row = AddStepRow(row, label);
    const HINSTANCE result = ::ShellExecuteW(::GetDesktopWindow(), L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
    const bool launched =
        reinterpret_cast<INT_PTR>(result) > 32 || SetError(L"Unable to launch file", ::GetLastError());
    EndStep(row, launched);
}
