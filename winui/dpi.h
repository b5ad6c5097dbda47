// The DPI a window is laid out at, and the frame that goes with it.
// Per-monitor-aware programs (Explorer, the setup program) get their
// monitor's DPI; others get the system's.
#pragma once

#include "winui/core/dpi.h"

#include <windows.h>

namespace kadrix::winui {

// Not every SDK names them (they are Windows 8.1's and 10's).
inline constexpr UINT kDpiChanged = 0x02E0;            // WM_DPICHANGED
inline constexpr UINT kDpiChangedAfterParent = 0x02E3; // WM_DPICHANGED_AFTERPARENT

// The window's own DPI (GetDpiForWindow, Windows 10 1607 and later), else
// the DPI its device context reports.
int WindowDpi(HWND window);

inline DpiScale ScaleOf(HWND window)
{
    return DpiScale(WindowDpi(window));
}

// AdjustWindowRectEx at the DPI (AdjustWindowRectExForDpi where present).
void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

} // namespace kadrix::winui
