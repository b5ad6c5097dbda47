// Tooltips over a window's controls: one tooltip window, a tool per control
// showing its text when the mouse rests on it, and a tracked tip the window
// places itself (a position while a slider is dragged, a short notice).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace kadrix::winui {

class ToolTip
{
public:
    ToolTip() = default;
    ~ToolTip();
    ToolTip(const ToolTip&) = delete;
    ToolTip& operator=(const ToolTip&) = delete;

    // Creates the tooltip window over the owner's controls; false when it
    // can't be made (the controls then just have no tips).
    bool Create(HWND owner);
    HWND hwnd() const { return tip_; }

    // The text shown when the mouse rests on the control (added on first
    // use), whether the control is enabled or not.
    void SetText(HWND control, const std::wstring& text);
    std::wstring Text(HWND control) const;
    // The controls have moved: their tips follow.
    void Follow();

    // Shows `text` beside the control (below it) until Hide, whatever the mouse does.
    void Show(HWND control, const std::wstring& text);
    void Hide();
    bool Showing() const { return tracking_ != nullptr; }

private:
    // The tool of an enabled control is the control itself; a disabled one
    // gets no mouse messages, so its rectangle is also a tool of the owner.
    TTTOOLINFOW Tool(HWND control) const;
    TTTOOLINFOW AreaTool(HWND control) const;
    void AddTracker();

    HWND owner_ = nullptr;
    HWND tip_ = nullptr;
    HWND tracking_ = nullptr;
    bool trackerAdded_ = false;
    std::wstring trackText_;
    std::vector<HWND> controls_;
};

} // namespace kadrix::winui
