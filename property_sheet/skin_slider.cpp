#include "property_sheet/skin_slider.h"

#include "engine/preview_player.h"
#include "property_sheet/core/skin_logic.h"
#include "property_sheet/resource.h"
#include "winui/library_application.h"

#include <windowsx.h>

namespace {

constexpr int kGrooveHeight = 12;
constexpr int kCapWidth = 4;
constexpr int kThumbSide = 10;
constexpr COLORREF kCapTransparent = RGB(255, 255, 255);

HINSTANCE Resources()
{
    const auto* application = kadrix::winui::LibraryApplication::Instance();
    return application ? application->Resources() : nullptr;
}

// Draws a bitmap at (x, y) of the target, one way or another.
template <typename Draw> void WithBitmap(HDC target, HBITMAP bitmap, Draw draw)
{
    if (!bitmap)
        return;
    kadrix::unique_hdc source(::CreateCompatibleDC(target));
    const kadrix::select_object selected(source.get(), bitmap);
    draw(source.get());
}

} // namespace

CSkinSlider::CSkinSlider()
{
    const HINSTANCE resources = Resources();
    // The thumb as a 32-bit DIB whatever the display: its alpha survives.
    thumb_.reset(static_cast<HBITMAP>(::LoadImageW(resources, MAKEINTRESOURCEW(IDB_SLIDER_THUMB),
                                                   IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    track_.reset(::LoadBitmapW(resources, MAKEINTRESOURCEW(IDB_SLIDER_TRACK)));
    leftCap_.reset(::LoadBitmapW(resources, MAKEINTRESOURCEW(IDB_SLIDER_LEFT_CAP)));
    rightCap_.reset(::LoadBitmapW(resources, MAKEINTRESOURCEW(IDB_SLIDER_RIGHT_CAP)));

    DIBSECTION section{};
    if (thumb_ && ::GetObjectW(thumb_.get(), sizeof section, &section) == sizeof section &&
        section.dsBm.bmBitsPixel == 32 && section.dsBm.bmBits) {
        ::GdiFlush();
        kadrix::tabliq::PremultiplyAlpha(static_cast<std::uint8_t*>(section.dsBm.bmBits),
                                         static_cast<std::size_t>(section.dsBm.bmWidth) *
                                             std::abs(section.dsBm.bmHeight));
    }
}

void CSkinSlider::SetRange(kadrix::ReferenceTime range)
{
    range_ = range;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void CSkinSlider::SetPos(kadrix::ReferenceTime position)
{
    position_ = position;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void CSkinSlider::Paint()
{
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(hwnd(), &paint);
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const int width = client.right - client.left;

    WithBitmap(dc, leftCap_.get(), [&](HDC source) {
        ::TransparentBlt(dc, 0, 0, kCapWidth, kGrooveHeight, source, 0, 0, kCapWidth, kGrooveHeight,
                         kCapTransparent);
    });
    WithBitmap(dc, rightCap_.get(), [&](HDC source) {
        ::TransparentBlt(dc, width - kCapWidth, 0, kCapWidth, kGrooveHeight, source, 0, 0,
                         kCapWidth, kGrooveHeight, kCapTransparent);
    });
    WithBitmap(dc, track_.get(), [&](HDC source) {
        ::StretchBlt(dc, kCapWidth, 0, width - 2 * kCapWidth, kGrooveHeight, source, 0, 0, 1,
                     kGrooveHeight, SRCCOPY);
    });
    WithBitmap(dc, thumb_.get(), [&](HDC source) {
        const int x = kadrix::tabliq::SliderThumbLeft(position_, range_, width);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::AlphaBlend(dc, x, 1, kThumbSide, kThumbSide, source, 0, 0, kThumbSide, kThumbSide, blend);
    });
    ::EndPaint(hwnd(), &paint);
}

void CSkinSlider::Seek(int x)
{
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const kadrix::ReferenceTime position =
        kadrix::tabliq::SliderPositionAt(x, client.right - client.left, range_);
    if (video)
        (void)video->SetPosition(position);
    SetPos(position);
}

bool CSkinSlider::OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        result = 0;
        return true;
    case WM_LBUTTONDOWN:
        Seek(GET_X_LPARAM(lParam));
        return false;
    case WM_MOUSEMOVE:
        if (wParam & MK_LBUTTON)
            Seek(GET_X_LPARAM(lParam));
        return false;
    default:
        return false;
    }
}
