#include "winui/tooltip.h"

#include "winui/common_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace kadrix::winui {
namespace {

// The tracked tip's tool: an identifier no control's handle can be; the
// area tools count from the one after it, one per control.
constexpr UINT_PTR kTracker = 1;

} // namespace

ToolTip::~ToolTip()
{
    if (tip_ && ::IsWindow(tip_))
        ::DestroyWindow(tip_);
}

bool ToolTip::Create(HWND owner)
{
    owner_ = owner;
    tip_ = CreateToolTipInContext(owner);
    if (tip_)
        ::SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, 400);
    return tip_ != nullptr;
}

TTTOOLINFOW ToolTip::Tool(HWND control) const
{
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    return tool;
}

TTTOOLINFOW ToolTip::AreaTool(HWND control) const
{
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = owner_;
    const auto known = std::find(controls_.begin(), controls_.end(), control);
    tool.uId = kTracker + 1 + static_cast<UINT_PTR>(known - controls_.begin());
    ::GetWindowRect(control, &tool.rect);
    ::MapWindowPoints(nullptr, owner_, reinterpret_cast<POINT*>(&tool.rect), 2);
    return tool;
}

void ToolTip::SetText(HWND control, const std::wstring& text)
{
    if (!tip_ || !control)
        return;
    const bool known = std::find(controls_.begin(), controls_.end(), control) != controls_.end();
    if (!known)
        controls_.push_back(control);
    std::wstring copy = text;
    for (TTTOOLINFOW tool : {Tool(control), AreaTool(control)}) {
        tool.lpszText = copy.data();
        ::SendMessageW(tip_, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0,
                       reinterpret_cast<LPARAM>(&tool));
    }
}

void ToolTip::Follow()
{
    for (HWND control : controls_) {
        TTTOOLINFOW tool = AreaTool(control);
        ::SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

std::wstring ToolTip::Text(HWND control) const
{
    if (!tip_)
        return {};
    std::vector<wchar_t> text(512, L'\0');
    TTTOOLINFOW tool = Tool(control);
    tool.lpszText = text.data();
    ::SendMessageW(tip_, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
    return text.data();
}

void ToolTip::AddTracker()
{
    if (trackerAdded_)
        return;
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = owner_;
    tool.uId = kTracker;
    tool.lpszText = const_cast<wchar_t*>(L"");
    trackerAdded_ = ::SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
}

void ToolTip::Show(HWND control, const std::wstring& text)
{
    if (!tip_)
        return;
    AddTracker();
    trackText_ = text;
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = owner_;
    tool.uId = kTracker;
    tool.lpszText = trackText_.data();
    ::SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT place{};
    ::GetWindowRect(control, &place);
    ::SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(place.left, place.bottom + 2));
    if (tracking_ != control) {
        ::SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
        tracking_ = control;
    }
}

void ToolTip::Hide()
{
    if (!tip_ || !tracking_)
        return;
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = owner_;
    tool.uId = kTracker;
    ::SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    tracking_ = nullptr;
}

} // namespace kadrix::winui
