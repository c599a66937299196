#include "framework/CImageList.h"

#include "framework/CBitmap.h"
#include "framework/CommonControls.h"

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
    DeleteImageList();
    m_hImageList = CommonControls().ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
}

int CImageList::Add(CBitmap* bitmap, CBitmap* mask) {
    if (!m_hImageList) return -1;
    return CommonControls().ImageList_Add(m_hImageList, bitmap ? bitmap->GetSafeHandle() : nullptr,
                                          mask ? mask->GetSafeHandle() : nullptr);
}

BOOL CImageList::DeleteImageList() {
    if (!m_hImageList) return FALSE;
    BOOL destroyed = CommonControls().ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
    return destroyed;
}
