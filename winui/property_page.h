// A property page of the framework: a dialog made from a template resource
// of the library, shown by a property sheet the library does not own (the
// shell's Properties dialog). The page object is the dialog's window object:
// `this` travels in PROPSHEETPAGE::lParam and is taken at WM_INITDIALOG; the
// template's controls are bound to member objects by identifier.
#pragma once

#include "winui/window.h"

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <atomic>

namespace kadrix::winui {

class PropertyPage : public Window
{
public:
    ~PropertyPage() override;

    // Page objects that exist. While any does, its library must stay loaded.
    static long LivePages();

    // The page description as the framework sets it up: the template of the
    // resources module, the page's dialog and release procedures, no caption
    // of its own (the template's caption becomes the tab's title), and a size
    // that covers the activation-context member.
    const PROPSHEETPAGEW& Description() const { return description_; }

    // Loads the dialog template into memory and points the description at it
    // (PSP_DLGINDIRECT). False when the template is missing.
    bool PrepareTemplate(PROPSHEETPAGEW& description) const;

protected:
    PropertyPage(HINSTANCE resources, UINT templateId);

    // WM_INITDIALOG, after the page's window is known: bind the controls and
    // set them up. The result is the dialog's (TRUE: default focus).
    virtual BOOL OnInitDialog() { return TRUE; }
    // The shell has let the page go: its window, if it ever had one, is gone.
    virtual void OnRelease() {}

    // A page inside another program shows no error box of its own: a failed
    // handler leaves the page as it was.
    void OnError() noexcept override {}

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static UINT CALLBACK PageCallback(HWND, UINT message, PROPSHEETPAGEW* page);

    PROPSHEETPAGEW description_{};
    static std::atomic<long> livePages_;
};

} // namespace kadrix::winui
