// The progress list: its set-up, a new row for each step and the double-click on a row. A row
// ends with EndStep (install/InstallSequence.cpp), which sets its status and text together.
#include "framework/CWinApp.h"
#include "res/resource.h"
#include "ui/InstallerDlg.h"

void CInstallerDlg::SetUpProgressList() {
    m_progressList.SubclassDlgItem(IDC_PROGRESS_LIST, this);
    m_statusImages.Create(16, 16, ILC_COLOR16 | ILC_MASK, 0, 8);
    m_statusImages.Add(m_pStatusBitmap, m_pStatusMask);
    m_progressList.SetImageList(&m_statusImages, LVSIL_SMALL);
    m_progressList.InsertColumn(0, L"item", LVCFMT_LEFT, 200);
    m_progressList.InsertColumn(1, L"error", LVCFMT_LEFT, 245);
}

// The log hears of every row, also in silent mode, where the list is never used.
int CInstallerDlg::AddStepRow(int row, const CString& label) {
    m_log.RowStarted(label);
    if (m_bSilent) return -1;
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.iSubItem = 0;
    item.pszText = const_cast<LPWSTR>(label.GetString());
    item.iImage = StepRunning;
    return m_progressList.InsertItem(&item);
}

void CInstallerDlg::OnDblclkProgressList(NMHDR*, LRESULT* result) {
    int selected = m_progressList.GetNextItem(-1, LVNI_SELECTED);
    if (selected == -1) return;
    AfxMessageBox(m_progressList.GetItemText(selected, 1), MB_OK, 0);
    *result = 0;
}
