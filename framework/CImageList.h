#pragma once
// An image list that owns its HIMAGELIST and destroys it when destroyed. Controls it is attached
// to only borrow it (see CListCtrl).
#include "framework/CommonControls.h"

class CBitmap;

class CImageList {
public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // Adds the images of bitmap, cut into pieces of the list's width, with mask as their mask.
    // Returns the index of the first new image, or -1.
    int Add(CBitmap* bitmap, CBitmap* mask);
    int GetImageCount() const { return m_hImageList ? CommonControls().ImageList_GetImageCount(m_hImageList) : 0; }
    BOOL DeleteImageList();
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    operator HIMAGELIST() const { return m_hImageList; }

private:
    HIMAGELIST m_hImageList = nullptr;
};
