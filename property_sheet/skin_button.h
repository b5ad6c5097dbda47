// A push button drawn from a strip of four bitmap faces (normal, hover,
// pressed, disabled), with mouse-leave tracking for the hover face. The strip
// comes from the artwork set of the button's display scaling.
#pragma once

#include "base/unique_handle.h"
#include "winui/controls.h"

#include <array>

namespace kadrix {

class CSkinButton final : public winui::Button
{
public:
    // Replaces the four faces with those cut from the strip bitmap resource,
    // taken from the artwork set for the button's DPI (the resource itself at
    // 96 DPI). FALSE, faces unchanged, when the strip can't be loaded or read
    // or is not four faces and three separators wide. Nothing is repainted.
    BOOL LoadBitmaps(UINT resourceId);
    // The strip the faces came from, as the page named it.
    UINT Strip() const { return strip_; }

    bool Hovering() const { return hovering_; }

    bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    // The button draws itself from now on: owner-drawn, subclassed.
    void OnBound() override;

private:
    void DrawItem(const DRAWITEMSTRUCT& item);
    bool RequestLeave(DWORD flags);

    std::array<unique_hbitmap, 4> faces_; // normal, hover, pressed, disabled
    UINT strip_ = 0;
    bool pressing_ = false;
    bool hovering_ = false;
};

} // namespace kadrix
