#pragma once
// A list-view control of a dialog. It does not own its window or the image lists it shows.
#include "framework/CWnd.h"

#include <commctrl.h>

class CImageList;

class CListCtrl : public CWnd {
public:
    // Takes over the dialog's control with that id. The control is subclassed so that, when it is
    // destroyed, it hands back the image lists it borrowed instead of destroying them: a list view
    // without LVS_SHAREIMAGELISTS would otherwise destroy image lists that CImageList owns.
    BOOL SubclassDlgItem(int id, CWnd* parent);

    // Sets the image list of the given kind (LVSIL_SMALL, ...); returns the previous one.
    HIMAGELIST SetImageList(CImageList* images, int kind);
    int InsertColumn(int column, LPCWSTR heading, int format, int width);
    int InsertItem(const LVITEMW* item) {
        return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(item)));
    }
    BOOL SetItem(const LVITEMW* item) {
        return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(item)));
    }
    BOOL SetItemText(int item, int subItem, LPCWSTR text);
    CString GetItemText(int item, int subItem) const;
    // The image index of an item, or -1 when there is no such item.
    int GetItemImage(int item) const;
    int GetNextItem(int start, int flags) const {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
    }
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
};
