// Forms of the window framework: a top-level window whose controls are laid
// out from a table, bound to member objects by identifier, and whose
// controls' events are dispatched through an event table (see window.h for
// what forms share with dialogs and property pages).
#pragma once

#include "base/unique_handle.h"
#include "winui/controls.h"
#include "winui/window.h"

#include <windows.h>

#include <cstddef>

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

// One child window: `parent` is the identifier of its container, 0 for the
// form; x, y, width and height are pixels within the parent's client area.
struct ControlLayout
{
    int id;
    int parent;
    ControlKind kind;
    const wchar_t* text;
    int x, y, width, height;
    DWORD style = 0; // added to the kind's own styles
    unsigned flags = 0;
};

// An event table entry: a control, an event and the form's handler.
template <typename Form> struct EventEntry
{
    using Handler = void (Form::*)(Control& sender);
    using ChangingHandler = void (Form::*)(Control& sender, bool& allowChange);

    constexpr EventEntry(int id, Event event, Handler handler)
        : id(id), event(event), handler(handler)
    {
    }
    constexpr EventEntry(int id, Event event, ChangingHandler handler)
        : id(id), event(event), changing(handler)
    {
    }

    int id;
    Event event;
    Handler handler = nullptr;
    ChangingHandler changing = nullptr;
};

// Runs the handlers the table has for the control and event.
template <typename Form, std::size_t N>
void DispatchEvent(const EventEntry<Form> (&table)[N], Form& form, Control& sender, Event event,
                   bool& allow)
{
    for (const EventEntry<Form>& entry : table) {
        if (entry.id != sender.id() || entry.event != event)
            continue;
        if (entry.handler)
            (form.*entry.handler)(sender);
        else
            (form.*entry.changing)(sender, allow);
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
    // controls from the layout. The sizes and the layout are those of 96 DPI:
    // at the window's DPI each of them is scaled (winui/core/dpi.h) and the
    // fonts are of that DPI; when the DPI changes, the form takes its new
    // size, fonts and layout and then runs OnDpiChanged. The layout table
    // must outlive the form.
    void CreateForm(const wchar_t* caption, int clientWidth, int clientHeight, HWND owner,
                    const ControlLayout* layout, std::size_t count);
    void SetKeyPreview(bool on) { keyPreview_ = on; }

    virtual void OnShow() {}
    // The form's own messages; the default handles closing.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void MakeFonts();
    // The window's size for its client size at its DPI.
    SIZE FrameSize() const;
    // A row of the layout table at the window's DPI, in its parent's client area.
    RECT PlaceOf(const ControlLayout& item) const;
    void CreateControl(const ControlLayout& item);
    // Every control of the table at its place and with its font at the DPI.
    void LayOut();
    HFONT FontOf(const ControlLayout& item) const;

    HWND owner_ = nullptr;
    DWORD style_ = 0;
    DWORD exStyle_ = 0;
    int clientWidth_ = 0; // at 96 DPI
    int clientHeight_ = 0;
    const ControlLayout* layout_ = nullptr;
    std::size_t layoutCount_ = 0;
    unique_any<handle_traits::null_invalid<HFONT, handle_traits::delete_gdi_object>> font_;
    unique_any<handle_traits::null_invalid<HFONT, handle_traits::delete_gdi_object>> boldFont_;
    bool keyPreview_ = false;
    bool modal_ = false;
    int modalResult_ = 0;
};

} // namespace kadrix::winui
