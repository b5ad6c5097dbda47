#include "winui/window.h"

#include "winui/core/error.h"

#include <string>

namespace kadrix::winui {
namespace {

// The control a notification is about.
HWND NotifyingChild(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
        return reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
    case WM_DRAWITEM:
        return wParam ? reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    default:
        (void)wParam;
        return nullptr;
    }
}

} // namespace

bool ReflectToControl(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    Control* control = Control::FromHandle(NotifyingChild(message, wParam, lParam));
    return control && control->OnReflected(message, wParam, lParam, result);
}

void Window::Bind(Control& control, int id)
{
    if (!control.Bind(hwnd_, id, this))
        throw Error(L"No control with the identifier " + std::to_wstring(id));
}

bool Window::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

bool Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    try {
        if (ReflectToControl(message, wParam, lParam, result))
            return true;
        if (message == kDpiChangedAfterParent)
            OnDpiChanged();
        return OnMessage(message, wParam, lParam, result);
    } catch (...) {
        OnError();
        result = 0;
        return true;
    }
}

} // namespace kadrix::winui
