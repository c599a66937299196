#include "ui/Painting.h"

#include "framework/CPaintDC.h"
#include "framework/Handles.h"
#include "ui/InstallerDlg.h"

#include <wchar.h>

RECT HeaderBandRect(const RECT& windowInClient) {
    RECT band;
    band.left = windowInClient.left + 64;
    band.top = windowInClient.top + 32;
    band.right = (windowInClient.right - windowInClient.left) - 20;
    band.bottom = 32;
    return band;
}

LOGFONTW HeaderFont(int logPixelsY) {
    LOGFONTW font;
    font.lfHeight = -::MulDiv(8, logPixelsY, 72);
    font.lfWidth = 0;
    font.lfEscapement = 0;
    font.lfOrientation = 0;
    font.lfWeight = FW_BOLD;
    font.lfItalic = 0;
    font.lfUnderline = 0;
    font.lfStrikeOut = 0;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_CHARACTER_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = 0;
    wmemset(font.lfFaceName, 0, LF_FACESIZE);
    wcsncpy(font.lfFaceName, L"Tahoma", LF_FACESIZE - 1);
    return font;
}

// Paints the navy header band with its sunken frame and the header text; everything else is drawn
// by the controls. The font lives for one paint only.
void CInstallerDlg::OnPaint() {
    CPaintDC dc(this);
    RECT window;
    GetWindowRect(&window);
    ScreenToClient(&window);

    LOGFONTW logFont = HeaderFont(dc.GetDeviceCaps(LOGPIXELSY));
    GdiObject<HFONT> font(::CreateFontIndirectW(&logFont));
    HGDIOBJ previousFont = dc.SelectObject(font.Get());
    dc.SetBkMode(TRANSPARENT);

    RECT band = HeaderBandRect(window);
    dc.FillSolidRect(&band, kHeaderBandColour);
    ::DrawEdge(dc, &band, EDGE_SUNKEN, BF_RECT);
    dc.SetTextColor(kHeaderTextColour);
    ::DrawTextExW(dc, const_cast<LPWSTR>(m_strHeader.GetString()), m_strHeader.GetLength(), &band,
                  kHeaderTextFormat, nullptr);

    dc.SelectObject(previousFont);
}
