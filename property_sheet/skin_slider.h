// The position slider: a bitmap groove (two caps and a stretched track) with
// an alpha-blended thumb, which seeks the page's preview itself when clicked
// or dragged. Its lengths and artwork follow its display scaling.
#pragma once

#include "base/unique_handle.h"
#include "engine/capture/core/capture_position.h"
#include "property_sheet/core/skin_logic.h"
#include "winui/controls.h"

#include <functional>

namespace kadrix {

class PreviewPlayer;
namespace winui {
class ToolTip;
}

class CSkinSlider final : public winui::Control
{
public:
    // Loads the groove's and the thumb's bitmaps from the library (the 100 %
    // set; the set of its scaling once bound), the thumb premultiplied as
    // alpha blending wants it.
    CSkinSlider();

    // Both repaint the slider.
    void SetRange(ReferenceTime range);
    void SetPos(ReferenceTime position);
    ReferenceTime Position() const { return position_; }
    ReferenceTime Range() const { return range_; }

    // The preview to seek; not owned, null until the page has one.
    PreviewPlayer* video = nullptr;
    // What Left and Right do: a frame back or forward, as the page steps.
    std::function<void(bool forward)> step;
    // Where the position shows while the slider is dragged or moved by
    // keys; not owned, null for none.
    winui::ToolTip* tips = nullptr;

    // The lengths the slider is drawn and mapped with, at its DPI.
    tabliq::SliderMetrics Metrics() const;

    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    void OnBound() override;

private:
    void LoadArtwork(int artScale);
    void Paint();
    void PaintHighContrast(HDC dc, int width, const tabliq::SliderMetrics& m);
    void Seek(int x);
    // Moves to the position without waiting for the preview, and shows it.
    void MoveTo(ReferenceTime position);
    bool OnKey(WPARAM key);
    void ShowTime();

    ReferenceTime position_ = 0;
    ReferenceTime range_ = 0;
    unique_hbitmap thumb_;
    unique_hbitmap track_;
    unique_hbitmap leftCap_;
    unique_hbitmap rightCap_;
    int artScale_ = 0;
};

} // namespace kadrix
