#include "winui/form.h"

#include "winui/application.h"
#include "winui/core/error.h"

#include <commctrl.h>

#include <exception>

namespace kadrix::winui {
namespace {

constexpr wchar_t kFormClass[] = L"KadrixForm";
constexpr wchar_t kContainerClass[] = L"KadrixContainer";

HINSTANCE Module()
{
    return ::GetModuleHandleW(nullptr);
}

// Pages, panels and shapes: they reflect their children's notifications and
// let their own wrapper paint them.
LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        LRESULT result = 0;
        if (ReflectToControl(message, wParam, lParam, result))
            return result;
        if (Control* self = Control::FromHandle(window))
            if (self->OnOwnMessage(message, wParam, lParam, result))
                return result;
        if (message == WM_ERASEBKGND) {
            RECT area;
            ::GetClientRect(window, &area);
            ::FillRect(reinterpret_cast<HDC>(wParam), &area, ::GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
    } catch (...) {
        HandleExceptionInWindow();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterContainerClass()
{
    WNDCLASSEXW container{};
    container.cbSize = sizeof container;
    container.lpfnWndProc = &ContainerProc;
    container.hInstance = Module();
    container.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    container.lpszClassName = kContainerClass;
    ::RegisterClassExW(&container);
}

DWORD StyleOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Button:
        return WS_TABSTOP | BS_PUSHBUTTON;
    case ControlKind::DefaultButton:
        return WS_TABSTOP | BS_DEFPUSHBUTTON;
    case ControlKind::CheckBox:
        return WS_TABSTOP | BS_CHECKBOX;
    case ControlKind::RadioButton:
        return WS_TABSTOP | BS_RADIOBUTTON;
    case ControlKind::Label:
        return SS_LEFTNOWORDWRAP | SS_NOPREFIX;
    case ControlKind::Edit:
        return WS_TABSTOP | ES_AUTOHSCROLL;
    case ControlKind::UpDown:
        return UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;
    case ControlKind::TrackBar:
        return WS_TABSTOP | TBS_HORZ | TBS_NOTICKS | TBS_FIXEDLENGTH;
    case ControlKind::Tabs:
        return WS_TABSTOP | WS_CLIPSIBLINGS | TCS_MULTILINE;
    case ControlKind::Page:
    case ControlKind::Panel:
    case ControlKind::Shape:
        return WS_CLIPCHILDREN;
    case ControlKind::Picture:
        return SS_OWNERDRAW;
    case ControlKind::CheckListBox:
        return WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_SORT |
               LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    }
    return 0;
}

const wchar_t* ClassOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Button:
    case ControlKind::DefaultButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        return WC_BUTTONW;
    case ControlKind::Label:
    case ControlKind::Picture:
        return WC_STATICW;
    case ControlKind::Edit:
        return WC_EDITW;
    case ControlKind::UpDown:
        return UPDOWN_CLASSW;
    case ControlKind::TrackBar:
        return TRACKBAR_CLASSW;
    case ControlKind::Tabs:
        return WC_TABCONTROLW;
    case ControlKind::Page:
    case ControlKind::Panel:
    case ControlKind::Shape:
        return kContainerClass;
    case ControlKind::CheckListBox:
        return WC_LISTBOXW;
    }
    return WC_STATICW;
}

HFONT MakeTahoma(bool bold, int dpi)
{
    LOGFONTW font{};
    font.lfHeight = -::MulDiv(8, dpi, 72);
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    ::lstrcpynW(font.lfFaceName, L"Tahoma", LF_FACESIZE);
    return ::CreateFontIndirectW(&font);
}

} // namespace

// --- Form

Form::~Form()
{
    if (hwnd() && ::IsWindow(hwnd())) {
        ::SetWindowLongPtrW(hwnd(), GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd());
    }
}

Form* Form::FromHandle(HWND window)
{
    if (!window)
        return nullptr;
    wchar_t className[32] = {};
    ::GetClassNameW(window, className, 32);
    if (::lstrcmpW(className, kFormClass) != 0)
        return nullptr;
    return reinterpret_cast<Form*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

void Form::CreateForm(const wchar_t* caption, int clientWidth, int clientHeight, HWND owner,
                      std::vector<Child> children)
{
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES |
                                                           ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
        ::InitCommonControlsEx(&controls);
        WNDCLASSEXW form{};
        form.cbSize = sizeof form;
        form.lpfnWndProc = &Form::WindowProc;
        form.hInstance = Module();
        form.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        form.lpszClassName = kFormClass;
        form.hIcon = ::LoadIconW(Module(), MAKEINTRESOURCEW(1));
        ::RegisterClassExW(&form);
        RegisterContainerClass();
        return true;
    }();
    (void)registered;

    owner_ = owner;
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    // Identifiers below 100 are the dialog's own (IDOK, IDCANCEL, ...).
    int next = 100;
    children_ = std::move(children);
    for (std::size_t i = 0; i < children_.size(); ++i) {
        Child& child = children_[i];
        if (!child.id)
            child.id = next++;
        if (!child.container)
            continue;
        std::size_t parent = 0;
        while (parent < i && children_[parent].member != child.container)
            ++parent;
        if (parent == i)
            throw Error(L"A control's container comes after it");
        child.parentId = children_[parent].id;
    }
    // Fixed size: a caption with the system menu and minimize box, no sizing
    // border; the frame is computed so the client area is exactly as asked.
    style_ = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN |
             (owner ? DS_MODALFRAME : WS_MINIMIZEBOX);
    exStyle_ = WS_EX_CONTROLPARENT | (owner ? WS_EX_DLGMODALFRAME : 0);

    // The window exists before its size is known: its DPI is the one of the
    // monitor it is on.
    RECT centreOn{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (owner)
        ::GetWindowRect(owner, &centreOn);
    SetHandle(::CreateWindowExW(
        exStyle_, kFormClass, caption, style_, (centreOn.left + centreOn.right) / 2,
        (centreOn.top + centreOn.bottom) / 2, 0, 0, owner, nullptr, Module(), this));
    if (!hwnd())
        throw Error(L"Can't create the window");
    MakeFonts();
    const SIZE frame = FrameSize();
    ::SetWindowPos(hwnd(), nullptr, centreOn.left + (centreOn.right - centreOn.left - frame.cx) / 2,
                   centreOn.top + (centreOn.bottom - centreOn.top - frame.cy) / 2, frame.cx,
                   frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    for (const Child& child : children_)
        CreateControl(child);
    for (const Child& child : children_)
        Bind(*child.member, child.id);
}

void Form::MakeFonts()
{
    const int dpi = Scale().dpi();
    font_.reset(MakeTahoma(false, dpi));
    boldFont_.reset(MakeTahoma(true, dpi));
}

SIZE Form::FrameSize() const
{
    const DpiScale scale = Scale();
    RECT frame{0, 0, scale(clientWidth_), scale(clientHeight_)};
    AdjustFrameForDpi(frame, style_, exStyle_, scale.dpi());
    return {frame.right - frame.left, frame.bottom - frame.top};
}

HFONT Form::FontOf(const ControlLayout& item) const
{
    return (item.flags & kBold) ? boldFont_.get() : font_.get();
}

RECT Form::PlaceOf(const ControlLayout& item) const
{
    const DpiScale scale = Scale();
    return {scale(item.x), scale(item.y), scale(item.x) + scale(item.width),
            scale(item.y) + scale(item.height)};
}

void Form::CreateControl(const Child& child)
{
    const ControlLayout& item = child.layout;
    HWND parent = child.parentId ? FindChild(hwnd(), child.parentId) : hwnd();
    const RECT place = PlaceOf(item);
    int x = place.left, y = place.top, width = place.right - place.left,
        height = place.bottom - place.top;
    if (item.kind == ControlKind::Page) {
        // A page is a sibling above its tab control, so its controls'
        // notifications come to the framework; PageControl::AddPage puts it
        // over the display area once the tabs are known.
        RECT area;
        ::GetWindowRect(parent, &area);
        ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&area), 2);
        x = area.left;
        y = area.top;
        width = area.right - area.left;
        height = area.bottom - area.top;
        parent = hwnd();
    }
    const bool container = item.kind == ControlKind::Page || item.kind == ControlKind::Panel ||
                           item.kind == ControlKind::Shape;
    DWORD style = WS_CHILD | StyleOf(item.kind) | item.style;
    if (!(item.flags & kHidden) && item.kind != ControlKind::Page)
        style |= WS_VISIBLE;
    const DWORD exStyle =
        container ? WS_EX_CONTROLPARENT
        : (item.kind == ControlKind::Edit || item.kind == ControlKind::CheckListBox)
            ? WS_EX_CLIENTEDGE
            : 0;
    HWND control = ::CreateWindowExW(
        exStyle, ClassOf(item.kind), item.text ? item.text : L"", style, x, y, width, height,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(child.id)), Module(), nullptr);
    if (!control)
        throw Error(L"Can't create the control");
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(item)), FALSE);
    if (item.kind == ControlKind::Tabs)
        ::SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form::LayOut()
{
    for (const Child& child : children_) {
        const ControlLayout& item = child.layout;
        const HWND control = FindChild(hwnd(), child.id);
        if (!control)
            continue;
        // Pages follow their tab control (below).
        const RECT place = PlaceOf(item);
        if (item.kind != ControlKind::Page)
            ::SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                           place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(item)), TRUE);
    }
    // Then what each control derives from its place and font: a label's
    // width, a tab control's pages.
    for (const Child& child : children_)
        if (Control* control = Control::FromHandle(FindChild(hwnd(), child.id)))
            control->OnScaled();
    ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void Form::Show()
{
    // The form shows even when preparing it fails part way: the error still
    // reaches the caller's error box, and the user gets a window in which to
    // put right what failed.
    std::exception_ptr failure;
    try {
        OnShow();
    } catch (...) {
        failure = std::current_exception();
    }
    ::ShowWindow(hwnd(), SW_SHOW);
    ::UpdateWindow(hwnd());
    if (failure)
        std::rethrow_exception(failure);
}

int Form::ShowModal()
{
    Application* application = Application::Instance();
    modal_ = true;
    modalResult_ = 0;
    if (owner_)
        ::EnableWindow(owner_, FALSE);
    bool quit = false;
    int quitCode = 0;
    try {
        Show();
        MSG message;
        while (modalResult_ == 0) {
            const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
            if (got <= 0) {
                quit = got == 0;
                quitCode = static_cast<int>(message.wParam);
                modalResult_ = IDCANCEL;
                break;
            }
            if (application)
                application->DispatchOne(message);
            else {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    } catch (...) {
        modalResult_ = IDCANCEL;
        if (application)
            application->HandleException();
    }
    if (owner_) {
        ::EnableWindow(owner_, TRUE);
        ::SetActiveWindow(owner_);
    }
    ::ShowWindow(hwnd(), SW_HIDE);
    modal_ = false;
    // The quit request belongs to the outer loop.
    if (quit)
        ::PostQuitMessage(quitCode);
    return modalResult_;
}

void Form::Close()
{
    if (modal_) {
        modalResult_ = IDCANCEL;
        return;
    }
    ::DestroyWindow(hwnd());
}

void Form::OnKeyUp(WORD, unsigned) {}

bool Form::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CLOSE:
        Close();
        result = 0;
        return true;
    case kDpiChanged: {
        // The window moved to a monitor of another scaling: the place Windows
        // suggests, the size of the layout at the new DPI.
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        MakeFonts();
        const SIZE frame = FrameSize();
        ::SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, frame.cx, frame.cy,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        LayOut();
        OnDpiChanged();
        result = 0;
        return true;
    }
    case WM_DESTROY:
        if (Application* application = Application::Instance())
            if (application->MainForm() == this)
                application->Terminate();
        return false;
    default:
        return false;
    }
}

LRESULT CALLBACK Form::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->SetHandle(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    Form* self = reinterpret_cast<Form*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    const bool handled = self->Dispatch(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->SetHandle(nullptr);
    }
    return handled ? result : ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace kadrix::winui
