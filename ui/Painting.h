#pragma once
// Geometry and font of the header band that the installer dialog paints.
#include <windows.h>

// The band, in client coordinates, for the dialog's window rectangle converted to client
// coordinates (so its top is minus the height of caption and top border).
RECT HeaderBandRect(const RECT& windowInClient);
// The header font: Tahoma, bold, 8 points at the given vertical resolution.
LOGFONTW HeaderFont(int logPixelsY);

constexpr COLORREF kHeaderBandColour = RGB(0, 0, 128);
constexpr COLORREF kHeaderTextColour = RGB(255, 255, 255);
constexpr UINT kHeaderTextFormat =
    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_EDITCONTROL | DT_WORD_ELLIPSIS;
