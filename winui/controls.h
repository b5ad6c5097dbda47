// Control wrappers of the window framework. A wrapper is a member object of
// its form, bound to the child window with its identifier when the form is
// created; the parent reflects the child's notifications back to it, and the
// wrapper raises them as events to the form's event table.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace kadrix::winui {

class Control;

enum class Event
{
    Click,      // buttons, check boxes, radio buttons switched on
    Change,     // track bar position, edit text
    Changing,   // up-down and tab control, before the change takes effect
    ClickCheck, // a check mark of a check list box toggled by the user
};

// Receives the events of the controls bound to it: the window that owns them.
class EventSink
{
public:
    // `allow` matters for Changing events only: clear it to refuse.
    virtual void OnControlEvent(Control& sender, Event event, bool& allow) = 0;
    // Inside a catch block: an error raised while a message of this window or
    // of one of its controls was handled. The default shows the error box of
    // the application (or a plain one).
    virtual void OnError() noexcept;

protected:
    ~EventSink() = default;
};

// The descendant of `root` with the identifier, or null.
HWND FindChild(HWND root, int id);

class Control
{
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    // Binds the object to the descendant of `root` with the identifier; false
    // when there is none.
    bool Bind(HWND root, int id, EventSink* sink);
    static Control* FromHandle(HWND window);

    HWND hwnd() const { return hwnd_; }
    int id() const { return id_; }

    bool Enabled() const;
    void SetEnabled(bool enabled);
    bool Visible() const;
    void SetVisible(bool visible);
    std::wstring Text() const;
    void SetText(std::wstring_view text);

    // A notification about this control that its parent received
    // (WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_VSCROLL, WM_DRAWITEM,
    // WM_CTLCOLOR*). True when handled, with `result` the answer.
    virtual bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Messages of the control's own window: for containers of the framework,
    // and for controls that subclass their window. True when handled.
    virtual bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // What transparent children show behind them; null for the default.
    virtual HBRUSH Background() const { return nullptr; }
    // The form has laid the control out again at a new DPI: its rectangle
    // and font are the new ones. For what a control derives from them.
    virtual void OnScaled() {}

protected:
    virtual void OnBound() {}
    void Raise(Event event);
    // Raises Changing; false when the handler refused the change.
    bool RaiseChanging();

    // Sends the control's own window messages through OnOwnMessage before
    // its class's procedure sees them. Undone when the window or the object
    // goes, whichever is first.
    void Subclass();
    // The class's own handling of a message, for a subclassed control.
    LRESULT CallOriginal(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Unsubclass();

    HWND hwnd_ = nullptr;
    int id_ = 0;
    EventSink* sink_ = nullptr;
    WNDPROC original_ = nullptr;
};

class Button : public Control
{
public:
    // As if the user had clicked it.
    void Click() { Clicked(); }
    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    virtual void Clicked() { Raise(Event::Click); }
};

// Check box and radio button: setting the state from code acts as the user
// would. Switching on raises Click; a radio button switched on switches off
// the other radio buttons of its parent (its group), which raises nothing.
class CheckButton : public Button
{
public:
    bool Checked() const;
    // Its text never cut: it grows to show it (beside its box) as far as its
    // parent has room, when bound and when laid out at a new DPI.
    void OnScaled() override { FitText(); }

protected:
    void OnBound() override { FitText(); }
    void SetCheckMark(bool checked);

private:
    void FitText();
};

class CheckBox : public CheckButton
{
public:
    // Raises Click when the state changes.
    void SetChecked(bool checked);

protected:
    void Clicked() override { SetChecked(!Checked()); }
};

class RadioButton : public CheckButton
{
public:
    void SetChecked(bool checked);

protected:
    void Clicked() override { SetChecked(true); }
};

// A one-line label that grows to show its whole text, as the font at hand
// measures it.
class Label : public Control
{
public:
    void SetText(std::wstring_view text);
    // A transparent label shows its parent's background (a shape, say).
    void SetTransparent(bool transparent) { transparent_ = transparent; }
    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnScaled() override { FitText(); }

protected:
    void OnBound() override { FitText(); }

private:
    void FitText();
    bool transparent_ = false;
};

class Edit : public Control
{
public:
    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// Up-down control with an integer buddy. Raises Changing before a new
// position takes effect; during that event Position() already answers the
// new position, the number its buddy shows or is about to show.
class UpDown : public Control
{
public:
    int Position() const { return changingTo_ ? *changingTo_ : position_; }
    void SetPosition(int position);
    void SetRange(int low, int high);
    // The edit control that shows the position as a number.
    void SetBuddy(Control& buddy);
    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    void OnBound() override;

private:
    // Raises Changing for `position`; true when it may take effect.
    bool Changing(int position);
    int Clamp(int position) const;

    int position_ = 0;
    int low_ = 0;
    int high_ = 100;
    const int* changingTo_ = nullptr;
};

// Track bar: Change is raised whenever the position changes, by the user or
// from code.
class TrackBar : public Control
{
public:
    int Position() const { return position_; }
    void SetPosition(int position);
    void SetRange(int low, int high);
    // The thumb's length at 96 DPI, scaled to the track bar's DPI now and
    // whenever the form is laid out again.
    void SetThumbLength(int length);
    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnScaled() override;

protected:
    void OnBound() override;

private:
    int position_ = 0;
    int thumbLength_ = 0; // at 96 DPI; 0: the track bar's own
};

// A container window of the framework: pages, panels. Reflects its
// children's notifications and paints its background.
class Panel : public Control
{
public:
    HBRUSH Background() const override;
    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// A filled rectangle; a container, so labels on it can be transparent.
class Shape : public Panel
{
public:
    void SetFillColour(COLORREF colour);
    COLORREF FillColour() const { return colour_; }
    HBRUSH Background() const override;

private:
    COLORREF colour_ = RGB(255, 255, 255);
    unique_hbrush brush_;
};

// An owner-drawn picture: shows its bitmap unscaled, or nothing.
class Picture : public Control
{
public:
    void SetBitmap(unique_hbitmap bitmap);
    HBITMAP Bitmap() const { return bitmap_.get(); }
    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    unique_hbitmap bitmap_;
};

// Tab control with pages. A page whose tab is hidden has no tab: the user
// cannot reach it, code can. Changing is raised before the shown page
// changes, Change after.
class PageControl : public Control
{
public:
    // The page's window text is its tab's caption.
    void AddPage(Control& page, bool tabVisible);
    Control* ActivePage() const { return active_; }
    void SetActivePage(Control& page);
    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnScaled() override { PlacePages(); }

private:
    struct Page
    {
        Control* page;
        bool tabVisible;
    };
    void ShowPage(Control* page);
    void RebuildTabs();
    // The pages over the display area, which depends on the rows of tabs.
    void PlacePages();

    std::vector<Page> pages_;
    Control* active_ = nullptr;
};

// An owner-drawn list box with a check box in front of each item. The
// user's toggles raise ClickCheck; SetChecked from code raises nothing.
class CheckListBox : public Control
{
public:
    // Inserts at the list's sorted place; returns the index.
    int Add(std::wstring_view text);
    int Count() const;
    std::wstring Item(int index) const;
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);
    // The height of an item at 96 DPI, scaled to the list's DPI now and
    // whenever the form is laid out again.
    void SetItemHeight(int height);
    // As the user's click on the item's check box.
    void ToggleByUser(int index);
    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnScaled() override;

protected:
    void OnBound() override { Subclass(); }

private:
    int itemHeight_ = 0; // at 96 DPI; 0: the list's own
};

} // namespace kadrix::winui
