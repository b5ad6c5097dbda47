#include "property_sheet/skin_slider.h"

#include "engine/capture/preview_player.h"
#include "property_sheet/core/skin_logic.h"
#include "property_sheet/resource.h"
#include "winui/dpi.h"
#include "winui/high_contrast.h"
#include "winui/library_application.h"
#include "winui/tooltip.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

namespace kadrix {

namespace {

constexpr COLORREF kCapTransparent = RGB(255, 255, 255);
constexpr UINT_PTR kHideTimeTimer = 1;
constexpr UINT kHideTimeMs = 1500;

HINSTANCE Resources()
{
    const auto* application = winui::LibraryApplication::Instance();
    return application ? application->Resources() : nullptr;
}

// Draws a bitmap at (x, y) of the target, one way or another.
template <typename Draw> void WithBitmap(HDC target, HBITMAP bitmap, Draw draw)
{
    if (!bitmap)
        return;
    unique_hdc source(::CreateCompatibleDC(target));
    const select_object selected(source.get(), bitmap);
    BITMAP size{};
    ::GetObjectW(bitmap, sizeof size, &size);
    draw(source.get(), size.bmWidth, std::abs(size.bmHeight));
}

HBITMAP LoadArt(HINSTANCE resources, int resourceId, int artScale, UINT flags = 0)
{
    const int id = tabliq::ArtResourceId(resourceId, artScale);
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
    // A tab stop of the page, moved by keys as well as by the mouse.
    ::SetWindowLongPtrW(hwnd(), GWL_STYLE, ::GetWindowLongPtrW(hwnd(), GWL_STYLE) | WS_TABSTOP);
    const int artScale = tabliq::ArtScaleFor(winui::ScaleOf(hwnd()).percent());
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
        tabliq::PremultiplyAlpha(static_cast<std::uint8_t*>(section.dsBm.bmBits),
                                 static_cast<std::size_t>(section.dsBm.bmWidth) *
                                     std::abs(section.dsBm.bmHeight));
    }
}

tabliq::SliderMetrics CSkinSlider::Metrics() const
{
    return tabliq::SliderMetricsAt(winui::ScaleOf(hwnd()));
}

void CSkinSlider::SetRange(ReferenceTime range)
{
    range_ = range;
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void CSkinSlider::SetPos(ReferenceTime position)
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
    const tabliq::SliderMetrics m = Metrics();
    const int cap = m.capWidth;
    const int groove = m.grooveHeight;
    if (winui::HighContrastOn()) {
        PaintHighContrast(dc, width, m);
        ::EndPaint(hwnd(), &paint);
        return;
    }

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
        const int x = tabliq::SliderThumbLeft(position_, range_, width, m);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::AlphaBlend(dc, x, m.thumbMargin, m.thumbSide, m.thumbSide, source, 0, 0, w, h, blend);
    });
    // The keyboard's place, unless the window hides it until the keyboard is used.
    const LRESULT ui = ::SendMessageW(hwnd(), WM_QUERYUISTATE, 0, 0);
    if (::GetFocus() == hwnd() && !(ui & UISF_HIDEFOCUS)) {
        RECT focus{0, 0, width, groove};
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, RGB(255, 255, 255));
        ::DrawFocusRect(dc, &focus);
    }
    ::EndPaint(hwnd(), &paint);
}

// The groove and the thumb in the system colours: a framed groove on the
// button face and a thumb in the highlight colour (grey text when disabled).
void CSkinSlider::PaintHighContrast(HDC dc, int width, const tabliq::SliderMetrics& m)
{
    RECT groove{0, 0, width, m.grooveHeight};
    ::FillRect(dc, &groove, ::GetSysColorBrush(COLOR_BTNFACE));
    const unique_hbrush frame(::CreateSolidBrush(::GetSysColor(COLOR_BTNTEXT)));
    ::FrameRect(dc, &groove, frame.get());
    const bool enabled = ::IsWindowEnabled(hwnd()) != FALSE;
    const int x = tabliq::SliderThumbLeft(position_, range_, width, m);
    RECT thumb{x, m.thumbMargin, x + m.thumbSide, m.thumbMargin + m.thumbSide};
    ::FillRect(dc, &thumb, ::GetSysColorBrush(enabled ? COLOR_HIGHLIGHT : COLOR_GRAYTEXT));
    if (::GetFocus() == hwnd()) {
        RECT focus{0, 0, width, m.grooveHeight};
        ::DrawFocusRect(dc, &focus);
    }
}

void CSkinSlider::Seek(int x)
{
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    MoveTo(tabliq::SliderPositionAt(x, client.right - client.left, range_, Metrics()));
}

void CSkinSlider::MoveTo(ReferenceTime position)
{
    // The seek is asked for, not waited for: the preview's thread takes the
    // latest one, and the dialog answers meanwhile.
    if (video)
        video->RequestPosition(position);
    SetPos(position);
    ShowTime();
}

void CSkinSlider::ShowTime()
{
    if (tips)
        tips->Show(hwnd(), tabliq::ClipTimeText(position_, range_));
}

bool CSkinSlider::OnKey(WPARAM key)
{
    const ReferenceTime tenth = range_ / 10;
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
        if (step)
            step(key == VK_RIGHT);
        ShowTime();
        return true;
    case VK_PRIOR:
        MoveTo(std::max<ReferenceTime>(position_ - tenth, 0));
        return true;
    case VK_NEXT:
        MoveTo(std::min<ReferenceTime>(position_ + tenth, range_));
        return true;
    case VK_HOME:
        MoveTo(0);
        return true;
    case VK_END:
        MoveTo(range_);
        return true;
    default:
        return false;
    }
}

bool CSkinSlider::OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        Paint();
        result = 0;
        return true;
    case WM_LBUTTONDOWN:
        ::SetFocus(hwnd());
        Seek(GET_X_LPARAM(lParam));
        return false;
    case WM_MOUSEMOVE:
        if (wParam & MK_LBUTTON)
            Seek(GET_X_LPARAM(lParam));
        return false;
    case WM_LBUTTONUP:
        if (tips)
            tips->Hide();
        return false;
    case WM_GETDLGCODE:
        // The arrows move the slider rather than the focus.
        result = DLGC_WANTARROWS;
        return true;
    case WM_KEYDOWN:
        if (!OnKey(wParam))
            return false;
        result = 0;
        return true;
    case WM_KEYUP:
        // The position stays in sight a moment after the last key.
        if (tips && tips->Showing())
            ::SetTimer(hwnd(), kHideTimeTimer, kHideTimeMs, nullptr);
        return false;
    case WM_TIMER:
        if (wParam != kHideTimeTimer)
            return false;
        ::KillTimer(hwnd(), kHideTimeTimer);
        if (tips)
            tips->Hide();
        result = 0;
        return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (message == WM_KILLFOCUS && tips)
            tips->Hide();
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return false;
    case winui::kDpiChangedAfterParent:
        LoadArtwork(tabliq::ArtScaleFor(winui::ScaleOf(hwnd()).percent()));
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return false;
    default:
        return false;
    }
}

} // namespace kadrix
