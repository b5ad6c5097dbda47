#include "base/screen_capture.h"

#include "base/dib.h"

namespace kadrix {

unique_hbitmap CaptureScreenRect(const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return {};
    // A 32-bit DIB whatever the display's depth, so the copy keeps its colours.
    void* bits = nullptr;
    unique_hbitmap shot = CreateDib32(width, height, true, &bits);
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
