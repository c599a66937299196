#pragma once
// Device contexts: CDC wraps an HDC it does not own; CPaintDC begins painting a window when it is
// constructed and ends it when it is destroyed.
#include <windows.h>

class CWnd;

class CDC {
public:
    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
    // Fills the rectangle with one colour (the background colour of the DC changes to it).
    void FillSolidRect(const RECT* rect, COLORREF colour);
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

protected:
    HDC m_hDC = nullptr;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};
