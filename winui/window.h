// The window base of the framework: what a form, a dialog and a property
// page share. It owns the member objects bound to its controls, reflects its
// children's notifications back to their wrappers, and keeps every exception
// inside its window procedure.
#pragma once

#include "winui/controls.h"
#include "winui/dpi.h"

#include <windows.h>

namespace kadrix::winui {

class Window : public EventSink
{
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }

    // The window's layout scale: its DPI over 96.
    DpiScale Scale() const { return ScaleOf(hwnd_); }

protected:
    Window() = default;
    virtual ~Window() = default;

    // Binds a member object to the descendant control with the identifier;
    // raises an Error when there is none.
    void Bind(Control& control, int id);

    // The window's own messages, after reflection to the controls. True when
    // handled, with `result` the answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The window's DPI changed (it moved to a monitor of another scaling, or
    // the user changed the scaling): what is laid out in pixels is laid out
    // again. A child window learns it after its parent has resized
    // (WM_DPICHANGED_AFTERPARENT); a form is told by the framework after it
    // has taken its new size and fonts.
    virtual void OnDpiChanged() {}

    // The one way in for every message: reflection first, then OnMessage,
    // inside the exception boundary (an error goes to OnError and the message
    // counts as handled).
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;

    void SetHandle(HWND window) { hwnd_ = window; }

private:
    HWND hwnd_ = nullptr;
};

// Answers a child's notification by reflecting it to the child's wrapper.
// Used by every window procedure of the framework.
bool ReflectToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

} // namespace kadrix::winui
