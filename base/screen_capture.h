// What the screen shows of a window: for screenshots a person looks at.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

namespace kadrix {

// A 32-bit copy of a rectangle of the screen (screen coordinates); null when
// the rectangle is empty or the copy fails.
unique_hbitmap CaptureScreenRect(const RECT& rect);

// The window's client area, or the whole window with its frame.
unique_hbitmap CaptureClientArea(HWND window);
unique_hbitmap CaptureWindowArea(HWND window);

} // namespace kadrix
