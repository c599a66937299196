#include "framework/DataExchange.h"

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    HWND control = ::GetDlgItem(pDX->m_hDialog, id);
    if (pDX->m_bSaveAndValidate) {
        int length = ::GetWindowTextLengthW(control);
        int copied = ::GetWindowTextW(control, value.GetBuffer(length + 1), length + 1);
        value.ReleaseBuffer(copied);
    } else {
        ::SetWindowTextW(control, value);
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    HWND control = ::GetDlgItem(pDX->m_hDialog, id);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}
