// The position slider: a bitmap groove (two caps and a stretched track) with
// an alpha-blended thumb, which seeks the page's preview itself when clicked
// or dragged. Its lengths and artwork follow its display scaling.
#pragma once

#include "base/unique_handle.h"
#include "engine/core/capture_position.h"
#include "property_sheet/core/skin_logic.h"
#include "winui/controls.h"

#include <functional>

namespace kadrix {
class PreviewPlayer;
namespace winui {
class ToolTip;
}
} // namespace kadrix

class CSkinSlider final : public kadrix::winui::Control
{
public:
    // Loads the groove's and the thumb's bitmaps from the library (the 100 %
    // set; the set of its scaling once bound), the thumb premultiplied as
    // alpha blending wants it.
    CSkinSlider();

    // Both repaint the slider.
    void SetRange(kadrix::ReferenceTime range);
    void SetPos(kadrix::ReferenceTime position);
    kadrix::ReferenceTime Position() const { return position_; }
    kadrix::ReferenceTime Range() const { return range_; }

    // The preview to seek; not owned, null until the page has one.
    kadrix::PreviewPlayer* video = nullptr;
    // What Left and Right do: a frame back or forward, as the page steps.
    std::function<void(bool forward)> step;
    // Where the position shows while the slider is dragged or moved by
    // keys; not owned, null for none.
    kadrix::winui::ToolTip* tips = nullptr;

    // The lengths the slider is drawn and mapped with, at its DPI.
    kadrix::tabliq::SliderMetrics Metrics() const;

    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    void OnBound() override;

private:
    void LoadArtwork(int artScale);
    void Paint();
    void PaintHighContrast(HDC dc, int width, const kadrix::tabliq::SliderMetrics& m);
    void Seek(int x);
    // Moves to the position without waiting for the preview, and shows it.
    void MoveTo(kadrix::ReferenceTime position);
    bool OnKey(WPARAM key);
    void ShowTime();

    kadrix::ReferenceTime position_ = 0;
    kadrix::ReferenceTime range_ = 0;
    kadrix::unique_hbitmap thumb_;
    kadrix::unique_hbitmap track_;
    kadrix::unique_hbitmap leftCap_;
    kadrix::unique_hbitmap rightCap_;
    int artScale_ = 0;
};
