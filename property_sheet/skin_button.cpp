#include "property_sheet/skin_button.h"

#include "property_sheet/core/skin_logic.h"
#include "property_sheet/mem_dc.h"
#include "winui/common_controls.h"
#include "winui/dpi.h"
#include "winui/library_application.h"

#include <windowsx.h>

#include <memory>
#include <new>

using kadrix::tabliq::Face;

void CSkinButton::OnBound()
{
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd(), GWL_STYLE);
    ::SetWindowLongPtrW(hwnd(), GWL_STYLE, style | BS_OWNERDRAW);
    Subclass();
}

BOOL CSkinButton::LoadBitmaps(UINT resourceId)
{
    const auto* application = kadrix::winui::LibraryApplication::Instance();
    const HINSTANCE resources = application ? application->Resources() : nullptr;
    const int artScale = kadrix::tabliq::ArtScaleFor(kadrix::winui::ScaleOf(hwnd()).percent());
    const int artId = kadrix::tabliq::ArtResourceId(static_cast<int>(resourceId), artScale);
    kadrix::unique_hbitmap strip(::LoadBitmapW(resources, MAKEINTRESOURCEW(artId)));
    BITMAP info{};
    if (!strip || ::GetObjectW(strip.get(), sizeof info, &info) != sizeof info)
        return FALSE;
    const std::size_t size = static_cast<std::size_t>(info.bmWidthBytes) * info.bmHeight;
    std::unique_ptr<std::uint8_t[]> bits(new (std::nothrow) std::uint8_t[size]);
    if (!bits || ::GetBitmapBits(strip.get(), static_cast<LONG>(size), bits.get()) !=
                     static_cast<LONG>(size))
        return FALSE;
    const auto cut = kadrix::tabliq::CutFaceStrip(bits.get(), size, info.bmWidth, info.bmHeight,
                                                  info.bmWidthBytes, info.bmBitsPixel);
    if (!cut)
        return FALSE;
    for (std::size_t i = 0; i < faces_.size(); ++i)
        faces_[i].reset(::CreateBitmap(cut->width, cut->height, info.bmPlanes, info.bmBitsPixel,
                                       cut->faces[i].data()));
    strip_ = resourceId;
    return TRUE;
}

bool CSkinButton::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_DRAWITEM) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    return Button::OnReflected(message, wParam, lParam, result);
}

void CSkinButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    // While held, the pushed look follows the cursor: on the button pushed,
    // off it not. Changing it draws the button again.
    POINT cursor{};
    if (pressing_ && ::GetCapture() == hwnd() && ::GetCursorPos(&cursor)) {
        const bool over = ::WindowFromPoint(cursor) == hwnd();
        const bool shown = (::SendMessageW(hwnd(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
        if (over != shown) {
            ::SendMessageW(hwnd(), BM_SETSTATE, over ? TRUE : FALSE, 0);
            return;
        }
    }

    RECT area{};
    ::GetClientRect(hwnd(), &area);
    CMemDC offScreen(item.hDC, area);
    kadrix::tabliq::ButtonLook look;
    look.disabled = (item.itemState & ODS_DISABLED) != 0;
    look.selected = (item.itemState & ODS_SELECTED) != 0;
    look.hovering = hovering_;
    look.hasHoverFace = static_cast<bool>(faces_[static_cast<int>(Face::Hover)]);
    const HBITMAP face = faces_[static_cast<int>(kadrix::tabliq::ChooseFace(look))].get();
    if (!face)
        return;
    kadrix::unique_hdc faceDc(::CreateCompatibleDC(item.hDC));
    const kadrix::select_object selected(faceDc.get(), face);
    // The page makes every button the size of its face; only at a scaling
    // with no artwork of its own is the face stretched to the button.
    const int width = item.rcItem.right - item.rcItem.left;
    const int height = item.rcItem.bottom - item.rcItem.top;
    BITMAP faceSize{};
    ::GetObjectW(face, sizeof faceSize, &faceSize);
    if (faceSize.bmWidth == width && faceSize.bmHeight == height) {
        ::BitBlt(offScreen.get(), 0, 0, width, height, faceDc.get(), 0, 0, SRCCOPY);
    } else {
        ::SetStretchBltMode(offScreen.get(), HALFTONE);
        ::SetBrushOrgEx(offScreen.get(), 0, 0, nullptr);
        ::StretchBlt(offScreen.get(), 0, 0, width, height, faceDc.get(), 0, 0, faceSize.bmWidth,
                     faceSize.bmHeight, SRCCOPY);
    }
}

bool CSkinButton::RequestLeave(DWORD flags)
{
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = flags;
    track.hwndTrack = hwnd();
    track.dwHoverTime = 0;
    return kadrix::winui::TrackMouseEventInContext(&track) != FALSE;
}

bool CSkinButton::OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_MOUSEMOVE:
        if (pressing_ && ::GetCapture() == hwnd()) {
            POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ClientToScreen(hwnd(), &point);
            const bool over = ::WindowFromPoint(point) == hwnd();
            const bool shown = (::SendMessageW(hwnd(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
            if (over != shown) {
                ::SendMessageW(hwnd(), BM_SETSTATE, over ? TRUE : FALSE, 0);
                ::InvalidateRect(hwnd(), nullptr, TRUE);
            }
        } else if (!hovering_ && RequestLeave(TME_LEAVE)) {
            hovering_ = true;
            ::InvalidateRect(hwnd(), nullptr, TRUE);
        }
        return false;
    case WM_LBUTTONDOWN:
        if (hovering_ && RequestLeave(TME_CANCEL | TME_LEAVE))
            hovering_ = false;
        result = CallOriginal(message, wParam, lParam);
        pressing_ = true;
        return true;
    case WM_LBUTTONUP:
        pressing_ = false;
        return false;
    case WM_LBUTTONDBLCLK:
        // A quick second click is a click too, not a double click.
        result = ::SendMessageW(hwnd(), WM_LBUTTONDOWN, wParam, lParam);
        return true;
    case WM_KILLFOCUS:
        if (::GetCapture() == hwnd()) {
            ::ReleaseCapture();
            pressing_ = false;
        }
        return false;
    case WM_MOUSELEAVE:
        hovering_ = false;
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        result = 0;
        return true;
    case WM_ERASEBKGND:
        // The face covers the whole button.
        result = TRUE;
        return true;
    case kadrix::winui::kDpiChangedAfterParent:
        // The page moved to a monitor of another scaling: the faces of its set.
        if (strip_)
            (void)LoadBitmaps(strip_);
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return false;
    default:
        return false;
    }
}
