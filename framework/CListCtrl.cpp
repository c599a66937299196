#include "framework/CListCtrl.h"

#include "framework/CImageList.h"
#include "framework/CommonControls.h"

BOOL CListCtrl::SubclassDlgItem(int id, CWnd* parent) {
    m_hWnd = ::GetDlgItem(parent->m_hWnd, id);
    return m_hWnd && CommonControls().SetWindowSubclass(m_hWnd, &CListCtrl::SubclassProc, 0, 0);
}

LRESULT CALLBACK CListCtrl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        static const int kKinds[] = {LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE};
        for (int kind : kKinds) ::SendMessageW(window, LVM_SETIMAGELIST, kind, 0);
        CommonControls().RemoveWindowSubclass(window, &CListCtrl::SubclassProc, 0);
    }
    return CommonControls().DefSubclassProc(window, message, wParam, lParam);
}

HIMAGELIST CListCtrl::SetImageList(CImageList* images, int kind) {
    return reinterpret_cast<HIMAGELIST>(
        SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(kind),
                    reinterpret_cast<LPARAM>(images ? images->GetSafeHandle() : nullptr)));
}

int CListCtrl::InsertColumn(int column, LPCWSTR heading, int format, int width) {
    LVCOLUMNW col = {};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<LPWSTR>(heading);
    col.iSubItem = column;
    return static_cast<int>(
        SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, LPCWSTR text) {
    LVITEMW lvi = {};
    lvi.iSubItem = subItem;
    lvi.pszText = const_cast<LPWSTR>(text);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)));
}

CString CListCtrl::GetItemText(int item, int subItem) const {
    // LVM_GETITEMTEXT cannot say how long the text is: grow the buffer until it is not filled up.
    CString text;
    for (int size = 256;; size *= 2) {
        LVITEMW lvi = {};
        lvi.iSubItem = subItem;
        lvi.cchTextMax = size;
        lvi.pszText = text.GetBuffer(size);
        int length =
            static_cast<int>(SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)));
        if (length < size - 1) {
            text.ReleaseBuffer(length);
            return text;
        }
    }
}

int CListCtrl::GetItemImage(int item) const {
    LVITEMW lvi = {};
    lvi.mask = LVIF_IMAGE;
    lvi.iItem = item;
    if (!SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lvi))) return -1;
    return lvi.iImage;
}
