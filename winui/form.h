// Forms of the window framework: a top-level window whose controls come from
// one table, a row for each control that names its member object, its layout
// and the form's handler for its event (see window.h for what forms share
// with dialogs and property pages).
#pragma once

#include "base/unique_handle.h"
#include "winui/controls.h"
#include "winui/window.h"

#include <windows.h>

#include <cstddef>
#include <vector>

namespace kadrix::winui {

enum class ControlKind
{
    Button,
    DefaultButton,
    CheckBox,
    RadioButton,
    Label,
    Edit,
    UpDown,
    TrackBar,
    Tabs,
    Page, // a page of the Tabs control named as its parent
    Panel,
    Shape,
    Picture,
    CheckListBox,
};

// Modifier keys held during a key event.
enum ShiftState : unsigned
{
    kShift = 1,
    kAlt = 2,
    kCtrl = 4,
};

enum LayoutFlags : unsigned
{
    kBold = 1,   // bold font
    kHidden = 2, // created invisible
};

// How a control is made: x, y, width and height are pixels at 96 DPI within
// its parent's client area.
struct ControlLayout
{
    ControlKind kind;
    const wchar_t* text;
    int x, y, width, height;
    DWORD style = 0; // added to the kind's own styles
    unsigned flags = 0;
};

// The form's handler for one event of a control; none when default-made.
template <typename Owner> struct EventHook
{
    using Handler = void (Owner::*)(Control& sender);
    using ChangingHandler = void (Owner::*)(Control& sender, bool& allowChange);

    constexpr EventHook() = default;
    constexpr EventHook(Event event, Handler handler) : event(event), handler(handler) {}
    constexpr EventHook(Event event, ChangingHandler handler) : event(event), changing(handler) {}

    Event event = Event::Click;
    Handler handler = nullptr;
    ChangingHandler changing = nullptr;
};

// The member object of a form that a row of its control table names:
// Member<&TForm1::btn_Apply> (the form's type comes from the row's).
template <auto member, typename Owner> Control& Member(Owner& form)
{
    return form.*member;
}

// The container of a control that lies on the form itself.
inline constexpr std::nullptr_t kForm = nullptr;

// A row of a form's control table: the member object bound to the control,
// the container it lies in (null for the form itself), its layout, and the
// form's handler for its event. The rows are in creation order, which is the
// tab order, so a container comes before what it holds. Adding a control to
// a form is adding its row.
template <typename Owner> struct FormControl
{
    Control& (*member)(Owner& form);
    Control& (*parent)(Owner& form);
    ControlLayout layout;
    EventHook<Owner> event{};
    // The control's identifier when it must be a dialog's (IDOK, IDCANCEL:
    // Enter and Esc press those buttons); 0 numbers the control, 100 for the
    // first such row of the table, 101 for the next, and so on.
    int id = 0;
};

// Runs the handler the table has for the control and event.
template <typename Owner, std::size_t N>
void DispatchEvent(const FormControl<Owner> (&controls)[N], Owner& form, Control& sender,
                   Event event, bool& allow)
{
    for (const FormControl<Owner>& row : controls) {
        const EventHook<Owner>& hook = row.event;
        if (hook.event != event || (!hook.handler && !hook.changing) ||
            &row.member(form) != &sender)
            continue;
        if (hook.handler)
            (form.*hook.handler)(sender);
        else
            (form.*hook.changing)(sender, allow);
    }
}

class Form : public Window
{
public:
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    static Form* FromHandle(HWND window);

    // Shows the form; OnShow runs first. An error of OnShow is raised after
    // the form has shown.
    void Show();
    // Shows the form modally over its owner until a modal result is set or
    // the form is closed; returns the result (IDCANCEL when closed).
    int ShowModal();
    void SetModalResult(int result) { modalResult_ = result; }
    // Closes the form: hides a modal form, destroys any other.
    void Close();

    // With key preview the form sees key events before the focused control.
    bool KeyPreview() const { return keyPreview_; }
    // Called for WM_KEYUP of the form and its controls when key preview is on.
    virtual void OnKeyUp(WORD key, unsigned shiftState);

protected:
    Form() = default;

    // Creates a fixed-size window whose client area is exactly width x height
    // pixels, centred on the owner (or the screen), Tahoma 8, then its
    // controls from the table, each bound to its member object. The sizes and
    // the layout are those of 96 DPI: at the window's DPI each of them is
    // scaled (winui/core/dpi.h) and the fonts are of that DPI; when the DPI
    // changes, the form takes its new size, fonts and layout and then runs
    // OnDpiChanged.
    template <typename Owner, std::size_t N>
    void CreateForm(const wchar_t* caption, int clientWidth, int clientHeight, HWND owner,
                    const FormControl<Owner> (&controls)[N])
    {
        Owner& self = static_cast<Owner&>(*this);
        std::vector<Child> children;
        children.reserve(N);
        for (const FormControl<Owner>& row : controls)
            children.push_back(
                {&row.member(self), row.parent ? &row.parent(self) : nullptr, row.layout, row.id});
        CreateForm(caption, clientWidth, clientHeight, owner, std::move(children));
    }
    void SetKeyPreview(bool on) { keyPreview_ = on; }

    virtual void OnShow() {}
    // The form's own messages; the default handles closing.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // A row of the control table with the form's members at hand, and the
    // identifiers of the control and of its container once numbered.
    struct Child
    {
        Control* member;
        Control* container; // null: the form
        ControlLayout layout;
        int id;           // 0 in the table: numbered
        int parentId = 0; // 0: the form
    };

    void CreateForm(const wchar_t* caption, int clientWidth, int clientHeight, HWND owner,
                    std::vector<Child> children);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void MakeFonts();
    // The window's size for its client size at its DPI.
    SIZE FrameSize() const;
    // A control's layout at the window's DPI, in its parent's client area.
    RECT PlaceOf(const ControlLayout& item) const;
    void CreateControl(const Child& child);
    // Every control of the table at its place and with its font at the DPI.
    void LayOut();
    HFONT FontOf(const ControlLayout& item) const;

    HWND owner_ = nullptr;
    DWORD style_ = 0;
    DWORD exStyle_ = 0;
    int clientWidth_ = 0; // at 96 DPI
    int clientHeight_ = 0;
    std::vector<Child> children_;
    unique_any<handle_traits::null_invalid<HFONT, handle_traits::delete_gdi_object>> font_;
    unique_any<handle_traits::null_invalid<HFONT, handle_traits::delete_gdi_object>> boldFont_;
    bool keyPreview_ = false;
    bool modal_ = false;
    int modalResult_ = 0;
};

} // namespace kadrix::winui
