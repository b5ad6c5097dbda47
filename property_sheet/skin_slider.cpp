#include "property_sheet/skin_slider.h"

#include "engine/preview_player.h"
#include "property_sheet/core/skin_logic.h"
#include "property_sheet/resource.h"
#include "winui/dpi.h"
#include "winui/library_application.h"

#include <windowsx.h>

#include <cstdlib>

namespace {

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
    BITMAP size{};
    ::GetObjectW(bitmap, sizeof size, &size);
    draw(source.get(), size.bmWidth, std::abs(size.bmHeight));
}

HBITMAP LoadArt(HINSTANCE resources, int resourceId, int artScale, UINT flags = 0)
{
    const int id = kadrix::tabliq::ArtResourceId(resourceId, artScale);
    return static_cast<HBITMAP>(
        ::LoadImageW(resources, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, flags));
}

} // namespace

CSkinSlider::CSkinSlider()
{
    LoadArtwork(100);
}

void CSkinSlider::OnBound()
{
    Subclass();
    const int artScale = kadrix::tabliq::ArtScaleFor(kadrix::winui::ScaleOf(hwnd()).percent());
    if (artScale != artScale_)
        LoadArtwork(artScale);
}

void CSkinSlider::LoadArtwork(int artScale)
{
    const HINSTANCE resources = Resources();
    artScale_ = artScale;
    // The thumb as a 32-bit DIB whatever the display: its alpha survives.
    thumb_.reset(LoadArt(resources, IDB_SLIDER_THUMB, artScale, LR_CREATEDIBSECTION));
    track_.reset(LoadArt(resources, IDB_SLIDER_TRACK, artScale));
    leftCap_.reset(LoadArt(resources, IDB_SLIDER_LEFT_CAP, artScale));
    rightCap_.reset(LoadArt(resources, IDB_SLIDER_RIGHT_CAP, artScale));

    DIBSECTION section{};
    if (thumb_ && ::GetObjectW(thumb_.get(), sizeof section, &section) == sizeof section &&
        section.dsBm.bmBitsPixel == 32 && section.dsBm.bmBits) {
        ::GdiFlush();
        kadrix::tabliq::PremultiplyAlpha(static_cast<std::uint8_t*>(section.dsBm.bmBits),
                                         static_cast<std::size_t>(section.dsBm.bmWidth) *
                                             std::abs(section.dsBm.bmHeight));
    }
}

kadrix::tabliq::SliderMetrics CSkinSlider::Metrics() const
{
    return kadrix::tabliq::SliderMetricsAt(kadrix::winui::ScaleOf(hwnd()));
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
    const kadrix::tabliq::SliderMetrics m = Metrics();
    const int cap = m.capWidth;
    const int groove = m.grooveHeight;

    // Each piece is drawn at the slider's lengths: exactly its own size when
    // the artwork of the scaling exists, stretched when none does.
    WithBitmap(dc, leftCap_.get(), [&](HDC source, int w, int h) {
        ::TransparentBlt(dc, 0, 0, cap, groove, source, 0, 0, w, h, kCapTransparent);
    });
    WithBitmap(dc, rightCap_.get(), [&](HDC source, int w, int h) {
        ::TransparentBlt(dc, width - cap, 0, cap, groove, source, 0, 0, w, h, kCapTransparent);
    });
    WithBitmap(dc, track_.get(), [&](HDC source, int w, int h) {
        ::StretchBlt(dc, cap, 0, width - 2 * cap, groove, source, 0, 0, w, h, SRCCOPY);
    });
    WithBitmap(dc, thumb_.get(), [&](HDC source, int w, int h) {
        const int x = kadrix::tabliq::SliderThumbLeft(position_, range_, width, m);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::AlphaBlend(dc, x, m.thumbMargin, m.thumbSide, m.thumbSide, source, 0, 0, w, h, blend);
    });
    ::EndPaint(hwnd(), &paint);
}

void CSkinSlider::Seek(int x)
{
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const kadrix::ReferenceTime position =
        kadrix::tabliq::SliderPositionAt(x, client.right - client.left, range_, Metrics());
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
    case kadrix::winui::kDpiChangedAfterParent:
        LoadArtwork(kadrix::tabliq::ArtScaleFor(kadrix::winui::ScaleOf(hwnd()).percent()));
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return false;
    default:
        return false;
    }
}
