#pragma once
// Install steps run on a CInstallerDlg whose progress list is real but whose dialog is not: a
// plain hidden window stands in as the parent of a list view with the progress list's id, so that
// the steps' rows can be read back without running the dialog.
#include "framework/Handles.h"
#include "res/resource.h"
#include "tests/support/Printing.h"
#include "ui/InstallerDlg.h"

#include <commctrl.h>

class StepRowProbe {
public:
    StepRowProbe() {
        m_parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 400, 300, m_parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_LIST)), nullptr, nullptr);
        dlg.m_hWnd = m_parent;
        dlg.m_bSilent = false;
        dlg.SetUpProgressList();
    }
    ~StepRowProbe() {
        dlg.m_hWnd = nullptr;
        ::DestroyWindow(m_parent);
    }
    StepRowProbe(const StepRowProbe&) = delete;
    StepRowProbe& operator=(const StepRowProbe&) = delete;

    int Count() const { return dlg.m_progressList.GetItemCount(); }
    CString Label(int row) const { return dlg.m_progressList.GetItemText(row, 0); }
    int Status(int row) const { return dlg.m_progressList.GetItemImage(row); }
    CString Error(int row) const { return dlg.m_progressList.GetItemText(row, 1); }

    CInstallerDlg dlg;

private:
    HWND m_parent = nullptr;
};

// COM for the thread of a test, as the installer's start-up provides it to the install steps.
class ComScope {
public:
    ComScope() { ::CoInitialize(nullptr); }
    ~ComScope() { ::CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};
