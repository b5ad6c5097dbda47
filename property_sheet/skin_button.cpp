#include "property_sheet/skin_button.h"

#include "base/dib.h"
#include "property_sheet/core/skin_logic.h"
#include "property_sheet/mem_dc.h"
#include "winui/common_controls.h"
#include "winui/dpi.h"
#include "winui/high_contrast.h"
#include "winui/library_application.h"

#include <windowsx.h>

#include <memory>
#include <new>
#include <vector>

namespace kadrix {

using tabliq::Face;

namespace {

COLORREF SwapRedBlue(COLORREF colour)
{
    return RGB(GetBValue(colour), GetGValue(colour), GetRValue(colour));
}

// The face in the system colours, for high contrast: the normal face's glyph
// in the text colour of the state (grey text when disabled, highlight text
// when held or hovered) on the state's background, framed in the text colour.
void DrawHighContrast(HDC target, HBITMAP normalFace, const RECT& area, Face face)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const bool lit = face == Face::Pressed || face == Face::Hover;
    const COLORREF background = ::GetSysColor(lit ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    const COLORREF glyph = ::GetSysColor(face == Face::Disabled ? COLOR_GRAYTEXT
                                         : lit                  ? COLOR_HIGHLIGHTTEXT
                                                                : COLOR_BTNTEXT);
    BITMAP size{};
    if (!normalFace || !::GetObjectW(normalFace, sizeof size, &size))
        return;
    BITMAPINFO info = Dib32Info(size.bmWidth, size.bmHeight, true);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size.bmWidth) * size.bmHeight);
    const window_dc screen(nullptr);
    if (::GetDIBits(screen.get(), normalFace, 0, static_cast<UINT>(size.bmHeight), pixels.data(),
                    &info, DIB_RGB_COLORS) != size.bmHeight)
        return;
    // DIB pixels are 0x00RRGGBB; COLORREFs 0x00BBGGRR.
    tabliq::RecolourFace(pixels.data(), pixels.size(), SwapRedBlue(background), SwapRedBlue(glyph));
    ::SetStretchBltMode(target, HALFTONE);
    ::SetBrushOrgEx(target, 0, 0, nullptr);
    ::StretchDIBits(target, 0, 0, width, height, 0, 0, size.bmWidth, size.bmHeight,
                    pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    const unique_hbrush frame(::CreateSolidBrush(::GetSysColor(COLOR_BTNTEXT)));
    RECT edge{0, 0, width, height};
    ::FrameRect(target, &edge, frame.get());
}

} // namespace

void CSkinButton::OnBound()
{
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd(), GWL_STYLE);
    ::SetWindowLongPtrW(hwnd(), GWL_STYLE, style | BS_OWNERDRAW);
    Subclass();
}

BOOL CSkinButton::LoadBitmaps(UINT resourceId)
{
    const auto* application = winui::LibraryApplication::Instance();
    const HINSTANCE resources = application ? application->Resources() : nullptr;
    const int artScale = tabliq::ArtScaleFor(winui::ScaleOf(hwnd()).percent());
    const int artId = tabliq::ArtResourceId(static_cast<int>(resourceId), artScale);
    unique_hbitmap strip(::LoadBitmapW(resources, MAKEINTRESOURCEW(artId)));
    BITMAP info{};
    if (!strip || ::GetObjectW(strip.get(), sizeof info, &info) != sizeof info)
        return FALSE;
    const std::size_t size = static_cast<std::size_t>(info.bmWidthBytes) * info.bmHeight;
    std::unique_ptr<std::uint8_t[]> bits(new (std::nothrow) std::uint8_t[size]);
    if (!bits || ::GetBitmapBits(strip.get(), static_cast<LONG>(size), bits.get()) !=
                     static_cast<LONG>(size))
        return FALSE;
    const auto cut = tabliq::CutFaceStrip(bits.get(), size, info.bmWidth, info.bmHeight,
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
    tabliq::ButtonLook look;
    look.disabled = (item.itemState & ODS_DISABLED) != 0;
    look.selected = (item.itemState & ODS_SELECTED) != 0;
    look.hovering = hovering_;
    look.hasHoverFace = static_cast<bool>(faces_[static_cast<int>(Face::Hover)]);
    const Face chosen = tabliq::ChooseFace(look);
    const int width = item.rcItem.right - item.rcItem.left;
    const int height = item.rcItem.bottom - item.rcItem.top;
    if (winui::HighContrastOn()) {
        DrawHighContrast(offScreen.get(), faces_[static_cast<int>(Face::Normal)].get(), area,
                         chosen);
    } else {
        const HBITMAP face = faces_[static_cast<int>(chosen)].get();
        if (!face)
            return;
        unique_hdc faceDc(::CreateCompatibleDC(item.hDC));
        const select_object selected(faceDc.get(), face);
        // The page makes every button the size of its face; only at a scaling
        // with no artwork of its own is the face stretched to the button.
        BITMAP faceSize{};
        ::GetObjectW(face, sizeof faceSize, &faceSize);
        if (faceSize.bmWidth == width && faceSize.bmHeight == height) {
            ::BitBlt(offScreen.get(), 0, 0, width, height, faceDc.get(), 0, 0, SRCCOPY);
        } else {
            ::SetStretchBltMode(offScreen.get(), HALFTONE);
            ::SetBrushOrgEx(offScreen.get(), 0, 0, nullptr);
            ::StretchBlt(offScreen.get(), 0, 0, width, height, faceDc.get(), 0, 0,
                         faceSize.bmWidth, faceSize.bmHeight, SRCCOPY);
        }
    }
    // The keyboard's place: a focus rectangle inside the face, unless the
    // window hides it until the keyboard is used.
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        const int inset = winui::ScaleOf(hwnd())(3);
        RECT focus{inset, inset, width - inset, height - inset};
        ::SetTextColor(offScreen.get(), RGB(0, 0, 0));
        ::SetBkColor(offScreen.get(), RGB(255, 255, 255));
        ::DrawFocusRect(offScreen.get(), &focus);
    }
}

bool CSkinButton::RequestLeave(DWORD flags)
{
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = flags;
    track.hwndTrack = hwnd();
    track.dwHoverTime = 0;
    return winui::TrackMouseEventInContext(&track) != FALSE;
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
    case WM_GETDLGCODE:
        // Enter presses the focused button, not the dialog's default one.
        result = CallOriginal(message, wParam, lParam);
        if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN)
            result |= DLGC_WANTMESSAGE;
        return true;
    case WM_KEYDOWN:
        if (wParam != VK_RETURN)
            return false;
        if (::IsWindowEnabled(hwnd()))
            ::SendMessageW(::GetParent(hwnd()), WM_COMMAND,
                           MAKEWPARAM(::GetDlgCtrlID(hwnd()), BN_CLICKED),
                           reinterpret_cast<LPARAM>(hwnd()));
        result = 0;
        return true;
    case winui::kDpiChangedAfterParent:
        // The page moved to a monitor of another scaling: the faces of its set.
        if (strip_)
            (void)LoadBitmaps(strip_);
        ::InvalidateRect(hwnd(), nullptr, TRUE);
        return false;
    default:
        return false;
    }
}

} // namespace kadrix
