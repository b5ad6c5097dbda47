#include "base/screen_capture.h"

namespace kadrix {

unique_hbitmap CaptureScreenRect(const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return {};
    // A 32-bit DIB whatever the display's depth, so the copy keeps its colours.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    unique_hbitmap shot(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const window_dc screen(nullptr);
    unique_hdc memory(::CreateCompatibleDC(screen.get()));
    if (!shot || !memory)
        return {};
    const select_object selected(memory.get(), shot.get());
    if (!::BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY))
        return {};
    return shot;
}

unique_hbitmap CaptureClientArea(HWND window)
{
    RECT area{};
    ::GetClientRect(window, &area);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    return CaptureScreenRect(area);
}

unique_hbitmap CaptureWindowArea(HWND window)
{
    RECT area{};
    ::GetWindowRect(window, &area);
    return CaptureScreenRect(area);
}

} // namespace kadrix
