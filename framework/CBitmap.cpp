#include "framework/CBitmap.h"

#include "framework/CWinApp.h"

BOOL CBitmap::LoadBitmap(UINT id) {
    return Attach(::LoadBitmapW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(id)));
}

BOOL CBitmap::Attach(HBITMAP bitmap) {
    DeleteObject();
    m_hBitmap = bitmap;
    return bitmap != nullptr;
}

HBITMAP CBitmap::Detach() {
    HBITMAP bitmap = m_hBitmap;
    m_hBitmap = nullptr;
    return bitmap;
}

BOOL CBitmap::DeleteObject() {
    if (!m_hBitmap) return FALSE;
    BOOL deleted = ::DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
    return deleted;
}
