#include "winui/controls.h"

#include "winui/application.h"
#include "winui/dpi.h"

#include <commctrl.h>

#include <algorithm>

namespace kadrix::winui {
namespace {

constexpr wchar_t kControlProperty[] = L"Kadrix.Control";

struct FindState
{
    int id;
    HWND found;
};

BOOL CALLBACK FindById(HWND window, LPARAM param)
{
    auto* state = reinterpret_cast<FindState*>(param);
    if (::GetDlgCtrlID(window) == state->id) {
        state->found = window;
        return FALSE;
    }
    return TRUE;
}

bool IsRadioButton(HWND window)
{
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (::lstrcmpiW(className, WC_BUTTONW) != 0)
        return false;
    const LONG type = ::GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool IsClicked(UINT message, WPARAM wParam)
{
    return message == WM_COMMAND &&
           (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DOUBLECLICKED);
}

constexpr int kCheckBoxSize = 13;
// Between a check box or radio button's box and its text.
constexpr int kCheckBoxGap = 4;

// Widens the control to show its text in its font with `extra` pixels more,
// never narrowing it; within its parent's client area when asked.
void GrowToText(HWND control, int extra, bool withinParent)
{
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), length + 1)));
    window_dc dc(control);
    select_object font(dc.get(),
                       reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    if (!::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent))
        return;
    RECT area;
    ::GetClientRect(control, &area);
    int wanted = extent.cx + extra;
    if (withinParent) {
        RECT place, parent;
        ::GetWindowRect(control, &place);
        ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&place), 2);
        ::GetClientRect(::GetParent(control), &parent);
        wanted = std::min<int>(wanted, parent.right - place.left);
    }
    if (wanted > area.right)
        ::SetWindowPos(control, nullptr, 0, 0, wanted, std::max<int>(area.bottom, extent.cy),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

HWND FindChild(HWND root, int id)
{
    FindState state{id, nullptr};
    ::EnumChildWindows(root, &FindById, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

// --- Control

void EventSink::OnError() noexcept
{
    HandleExceptionInWindow();
}

Control::~Control()
{
    if (hwnd_ && ::IsWindow(hwnd_)) {
        Unsubclass();
        ::RemovePropW(hwnd_, kControlProperty);
    }
}

void Control::Subclass()
{
    if (original_ || !hwnd_)
        return;
    original_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::SubclassProc)));
}

void Control::Unsubclass()
{
    // The window may outlive this object by a moment (its parent destroys
    // it): give it back its own procedure.
    if (original_)
        ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    original_ = nullptr;
}

LRESULT Control::CallOriginal(UINT message, WPARAM wParam, LPARAM lParam)
{
    return original_ ? ::CallWindowProcW(original_, hwnd_, message, wParam, lParam)
                     : ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Control::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Control* self = FromHandle(window);
    if (!self || !self->original_)
        return ::DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC original = self->original_;
    if (message == WM_NCDESTROY) {
        self->Unsubclass();
        return ::CallWindowProcW(original, window, message, wParam, lParam);
    }
    // No error may leave a window procedure: it goes to the window that owns
    // the control.
    try {
        LRESULT result = 0;
        if (self->OnOwnMessage(message, wParam, lParam, result))
            return result;
    } catch (...) {
        if (self->sink_)
            self->sink_->OnError();
        else
            HandleExceptionInWindow();
        return 0;
    }
    return ::CallWindowProcW(original, window, message, wParam, lParam);
}

bool Control::Bind(HWND root, int id, EventSink* sink)
{
    HWND window = FindChild(root, id);
    if (!window)
        return false;
    hwnd_ = window;
    id_ = id;
    sink_ = sink;
    ::SetPropW(window, kControlProperty, this);
    OnBound();
    return true;
}

Control* Control::FromHandle(HWND window)
{
    return window ? static_cast<Control*>(::GetPropW(window, kControlProperty)) : nullptr;
}

bool Control::Enabled() const
{
    return ::IsWindowEnabled(hwnd_) != FALSE;
}
void Control::SetEnabled(bool enabled)
{
    ::EnableWindow(hwnd_, enabled);
}
bool Control::Visible() const
{
    return (::GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}
void Control::SetVisible(bool visible)
{
    ::ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
}

std::wstring Control::Text() const
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Control::SetText(std::wstring_view text)
{
    ::SetWindowTextW(hwnd_, std::wstring(text).c_str());
}

bool Control::OnReflected(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}
bool Control::OnOwnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

void Control::Raise(Event event)
{
    bool allow = true;
    if (sink_)
        sink_->OnControlEvent(*this, event, allow);
}

bool Control::RaiseChanging()
{
    bool allow = true;
    if (sink_)
        sink_->OnControlEvent(*this, Event::Changing, allow);
    return allow;
}

// --- Buttons

bool Button::OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (!IsClicked(message, wParam))
        return false;
    Clicked();
    result = 0;
    return true;
}

bool CheckButton::Checked() const
{
    return ::SendMessageW(hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckButton::FitText()
{
    const DpiScale scale = ScaleOf(hwnd());
    GrowToText(hwnd(), scale(kCheckBoxSize) + scale(kCheckBoxGap), true);
}

void CheckButton::SetCheckMark(bool checked)
{
    ::SendMessageW(hwnd(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::SetChecked(bool checked)
{
    if (checked == Checked())
        return;
    SetCheckMark(checked);
    Raise(Event::Click);
}

void RadioButton::SetChecked(bool checked)
{
    if (checked == Checked())
        return;
    if (checked) {
        for (HWND sibling = ::GetWindow(::GetParent(hwnd()), GW_CHILD); sibling;
             sibling = ::GetWindow(sibling, GW_HWNDNEXT)) {
            if (sibling != hwnd() && IsRadioButton(sibling))
                ::SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
        }
    }
    SetCheckMark(checked);
    if (checked)
        Raise(Event::Click);
}

// --- Label, edit

void Label::SetText(std::wstring_view text)
{
    Control::SetText(text);
    FitText();
}

void Label::FitText()
{
    GrowToText(hwnd(), 0, false);
}

bool Label::OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != WM_CTLCOLORSTATIC || !transparent_)
        return false;
    HBRUSH brush = nullptr;
    if (const Control* parent = FromHandle(::GetParent(hwnd())))
        brush = parent->Background();
    if (!brush)
        return false;
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    result = reinterpret_cast<LRESULT>(brush);
    return true;
}

bool Edit::OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != WM_COMMAND || HIWORD(wParam) != EN_CHANGE)
        return false;
    Raise(Event::Change);
    result = 0;
    return true;
}

// --- Up-down

void UpDown::OnBound()
{
    ::SendMessageW(hwnd(), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low_),
                   reinterpret_cast<LPARAM>(&high_));
    position_ = static_cast<int>(::SendMessageW(hwnd(), UDM_GETPOS32, 0, 0));
}

int UpDown::Clamp(int position) const
{
    return std::clamp(position, low_, high_);
}

bool UpDown::Changing(int position)
{
    changingTo_ = &position;
    bool allow = false;
    try {
        allow = RaiseChanging();
    } catch (...) {
        changingTo_ = nullptr;
        throw;
    }
    changingTo_ = nullptr;
    return allow;
}

void UpDown::SetPosition(int position)
{
    position = Clamp(position);
    if (position == position_ || !Changing(position))
        return;
    position_ = position;
    ::SendMessageW(hwnd(), UDM_SETPOS32, 0, position);
}

void UpDown::SetRange(int low, int high)
{
    low_ = low;
    high_ = high;
    ::SendMessageW(hwnd(), UDM_SETRANGE32, low, high);
    position_ = Clamp(position_);
}

void UpDown::SetBuddy(Control& buddy)
{
    ::SendMessageW(hwnd(), UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy.hwnd()), 0);
}

bool UpDown::OnReflected(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (message != WM_NOTIFY)
        return false;
    const auto* change = reinterpret_cast<const NMUPDOWN*>(lParam);
    if (change->hdr.code != UDN_DELTAPOS)
        return false;
    const int position = Clamp(change->iPos + change->iDelta);
    bool allow = true;
    if (position != position_) {
        allow = Changing(position);
        if (allow)
            position_ = position;
    }
    result = allow ? 0 : 1;
    return true;
}

// --- Track bar

void TrackBar::OnBound()
{
    position_ = static_cast<int>(::SendMessageW(hwnd(), TBM_GETPOS, 0, 0));
}

void TrackBar::SetPosition(int position)
{
    const int low = static_cast<int>(::SendMessageW(hwnd(), TBM_GETRANGEMIN, 0, 0));
    const int high = static_cast<int>(::SendMessageW(hwnd(), TBM_GETRANGEMAX, 0, 0));
    position = std::clamp(position, low, high);
    if (position == position_)
        return;
    ::SendMessageW(hwnd(), TBM_SETPOS, TRUE, position);
    position_ = position;
    Raise(Event::Change);
}

void TrackBar::SetRange(int low, int high)
{
    ::SendMessageW(hwnd(), TBM_SETRANGEMIN, FALSE, low);
    ::SendMessageW(hwnd(), TBM_SETRANGEMAX, TRUE, high);
    position_ = static_cast<int>(::SendMessageW(hwnd(), TBM_GETPOS, 0, 0));
}

void TrackBar::SetThumbLength(int length)
{
    thumbLength_ = length;
    OnScaled();
}

void TrackBar::OnScaled()
{
    if (thumbLength_ > 0)
        ::SendMessageW(hwnd(), TBM_SETTHUMBLENGTH, ScaleOf(hwnd())(thumbLength_), 0);
}

bool TrackBar::OnReflected(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message != WM_HSCROLL && message != WM_VSCROLL)
        return false;
    const int position = static_cast<int>(::SendMessageW(hwnd(), TBM_GETPOS, 0, 0));
    if (position != position_) {
        position_ = position;
        Raise(Event::Change);
    }
    result = 0;
    return true;
}

// --- Containers

HBRUSH Panel::Background() const
{
    return ::GetSysColorBrush(COLOR_BTNFACE);
}

bool Panel::OnOwnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (message != WM_ERASEBKGND)
        return false;
    RECT area;
    ::GetClientRect(hwnd(), &area);
    ::FillRect(reinterpret_cast<HDC>(wParam), &area, Background());
    result = 1;
    return true;
}

void Shape::SetFillColour(COLORREF colour)
{
    colour_ = colour;
    brush_.reset(::CreateSolidBrush(colour));
    if (hwnd())
        ::InvalidateRect(hwnd(), nullptr, TRUE);
}

HBRUSH Shape::Background() const
{
    return brush_ ? brush_.get() : Panel::Background();
}

void Picture::SetBitmap(unique_hbitmap bitmap)
{
    bitmap_ = std::move(bitmap);
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

bool Picture::OnReflected(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (message != WM_DRAWITEM)
        return false;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    HBRUSH background = nullptr;
    if (const Control* parent = FromHandle(::GetParent(hwnd())))
        background = parent->Background();
    ::FillRect(item->hDC, &item->rcItem,
               background ? background : ::GetSysColorBrush(COLOR_BTNFACE));
    if (bitmap_) {
        unique_hdc memory(::CreateCompatibleDC(item->hDC));
        BITMAP info{};
        ::GetObjectW(bitmap_.get(), sizeof info, &info);
        select_object selected(memory.get(), bitmap_.get());
        ::BitBlt(item->hDC, 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
    }
    result = TRUE;
    return true;
}

// --- Tab control

void PageControl::AddPage(Control& page, bool tabVisible)
{
    pages_.push_back({&page, tabVisible});
    RebuildTabs();
    if (!active_ && tabVisible)
        ShowPage(&page);
    else
        page.SetVisible(&page == active_);
}

void PageControl::RebuildTabs()
{
    TabCtrl_DeleteAllItems(hwnd());
    int index = 0;
    for (const Page& page : pages_) {
        if (!page.tabVisible)
            continue;
        std::wstring caption = page.page->Text();
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        ::SendMessageW(hwnd(), TCM_INSERTITEMW, index++, reinterpret_cast<LPARAM>(&item));
    }
    PlacePages();
}

void PageControl::PlacePages()
{
    RECT area;
    ::GetWindowRect(hwnd(), &area);
    ::MapWindowPoints(nullptr, ::GetParent(hwnd()), reinterpret_cast<POINT*>(&area), 2);
    ::SendMessageW(hwnd(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (const Page& page : pages_)
        ::SetWindowPos(page.page->hwnd(), HWND_TOP, area.left, area.top, area.right - area.left,
                       area.bottom - area.top, SWP_NOACTIVATE);
}

void PageControl::ShowPage(Control* page)
{
    active_ = page;
    int tab = 0;
    for (const Page& entry : pages_) {
        entry.page->SetVisible(entry.page == page);
        if (entry.page == page && entry.tabVisible)
            TabCtrl_SetCurSel(hwnd(), tab);
        if (entry.tabVisible)
            ++tab;
    }
}

void PageControl::SetActivePage(Control& page)
{
    if (&page == active_ || !RaiseChanging())
        return;
    ShowPage(&page);
    Raise(Event::Change);
}

bool PageControl::OnReflected(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (message != WM_NOTIFY)
        return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == TCN_SELCHANGING) {
        result = RaiseChanging() ? FALSE : TRUE;
        return true;
    }
    if (header->code == TCN_SELCHANGE) {
        int tab = TabCtrl_GetCurSel(hwnd());
        for (const Page& entry : pages_) {
            if (entry.tabVisible && tab-- == 0) {
                ShowPage(entry.page);
                break;
            }
        }
        Raise(Event::Change);
        result = 0;
        return true;
    }
    return false;
}

// --- Check list box

int CheckListBox::Add(std::wstring_view text)
{
    const std::wstring item(text);
    return static_cast<int>(
        ::SendMessageW(hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())));
}

int CheckListBox::Count() const
{
    return static_cast<int>(::SendMessageW(hwnd(), LB_GETCOUNT, 0, 0));
}

std::wstring CheckListBox::Item(int index) const
{
    const LRESULT length = ::SendMessageW(hwnd(), LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        ::SendMessageW(hwnd(), LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return text;
}

bool CheckListBox::Checked(int index) const
{
    const LRESULT data = ::SendMessageW(hwnd(), LB_GETITEMDATA, index, 0);
    return data != LB_ERR && data != 0;
}

void CheckListBox::SetChecked(int index, bool checked)
{
    ::SendMessageW(hwnd(), LB_SETITEMDATA, index, checked ? 1 : 0);
    RECT item;
    if (::SendMessageW(hwnd(), LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)) != LB_ERR)
        ::InvalidateRect(hwnd(), &item, TRUE);
}

void CheckListBox::SetItemHeight(int height)
{
    itemHeight_ = height;
    OnScaled();
}

void CheckListBox::OnScaled()
{
    if (itemHeight_ > 0)
        ::SendMessageW(hwnd(), LB_SETITEMHEIGHT, 0, ScaleOf(hwnd())(itemHeight_));
}

void CheckListBox::ToggleByUser(int index)
{
    if (index < 0 || index >= Count())
        return;
    SetChecked(index, !Checked(index));
    Raise(Event::ClickCheck);
}

bool CheckListBox::OnReflected(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (message != WM_DRAWITEM)
        return false;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    result = TRUE;
    if (item->itemID == static_cast<UINT>(-1))
        return true;
    const int index = static_cast<int>(item->itemID);
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    ::FillRect(item->hDC, &item->rcItem,
               ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));

    const DpiScale scale = ScaleOf(hwnd());
    const int side = scale(kCheckBoxSize);
    const int top = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top - side) / 2;
    RECT box{item->rcItem.left + scale(1), top, item->rcItem.left + scale(1) + side, top + side};
    ::FillRect(item->hDC, &box, ::GetSysColorBrush(COLOR_WINDOW));
    ::DrawFrameControl(item->hDC, &box, DFC_BUTTON,
                       DFCS_BUTTONCHECK | DFCS_FLAT | (Checked(index) ? DFCS_CHECKED : 0));

    RECT text = item->rcItem;
    text.left = box.right + scale(3);
    ::SetBkMode(item->hDC, TRANSPARENT);
    ::SetTextColor(item->hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::wstring caption = Item(index);
    ::DrawTextW(item->hDC, caption.c_str(), static_cast<int>(caption.size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item->itemState & ODS_FOCUS)
        ::DrawFocusRect(item->hDC, &item->rcItem);
    return true;
}

bool CheckListBox::OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
        const LRESULT hit = ::SendMessageW(hwnd(), LB_ITEMFROMPOINT, 0, lParam);
        const int x = static_cast<short>(LOWORD(lParam));
        if (HIWORD(hit) != 0 || x > ScaleOf(hwnd())(kCheckBoxSize + 2))
            return false;
        result = CallOriginal(message, wParam, lParam);
        ToggleByUser(LOWORD(hit));
        return true;
    }
    if (message == WM_CHAR && wParam == L' ') {
        ToggleByUser(static_cast<int>(::SendMessageW(hwnd(), LB_GETCURSEL, 0, 0)));
        result = 0;
        return true;
    }
    return false;
}

} // namespace kadrix::winui
