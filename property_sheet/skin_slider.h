// The position slider: a bitmap groove (two caps and a stretched track) with
// an alpha-blended thumb, which seeks the page's preview itself when clicked
// or dragged. Its lengths and artwork follow its display scaling.
#pragma once

#include "base/unique_handle.h"
#include "engine/core/capture_position.h"
#include "property_sheet/core/skin_logic.h"
#include "winui/controls.h"

namespace kadrix {
class PreviewPlayer;
}

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

    // The lengths the slider is drawn and mapped with, at its DPI.
    kadrix::tabliq::SliderMetrics Metrics() const;

    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    void OnBound() override;

private:
    void LoadArtwork(int artScale);
    void Paint();
    void Seek(int x);

    kadrix::ReferenceTime position_ = 0;
    kadrix::ReferenceTime range_ = 0;
    kadrix::unique_hbitmap thumb_;
    kadrix::unique_hbitmap track_;
    kadrix::unique_hbitmap leftCap_;
    kadrix::unique_hbitmap rightCap_;
    int artScale_ = 0;
};
