// The thumbnail page: the "Kadrix" tab of a video file's Properties dialog.
// It plays the clip in its preview area and stores the frame it shows as the
// file's user-chosen thumbnail.
#pragma once

#include "engine/capture/preview_player.h"
#include "property_sheet/generic_page.h"
#include "property_sheet/skin_button.h"
#include "property_sheet/skin_slider.h"
#include "winui/controls.h"
#include "winui/tooltip.h"

#include <memory>

namespace kadrix {

class CUIPropPage final : public CGenericPage
{
public:
    CUIPropPage();

    // The video file the page shows.
    using CGenericPage::Path;

    void OnControlEvent(winui::Control& sender, winui::Event event, bool& allow) override;

    // What the page shows, for hosts and tests: its preview (null in the
    // error state before one was made, and once given up), its slider, the
    // play button's face (the play or the pause strip), its tips.
    PreviewPlayer* Preview() const { return preview_.get(); }
    const CSkinSlider& Slider() const { return slider_; }
    UINT PlayFace() const { return playFace_; }
    const winui::ToolTip& Tips() const { return tips_; }

    // The handlers of the page's buttons and its timer.
    void PlayPause();
    void Stop();
    void Step(bool forward);
    void Poll();
    void StoreThumbnail();

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnDpiChanged() override;

private:
    void PlaceControls();
    void Name(winui::Control& control, const wchar_t* name);
    void EnableControls(bool enabled);
    void WatchOpening();
    void ShowVideoError(const wchar_t* text);
    bool CheckPreview();
    void ShowPlayFace();
    void SetPlayFace(UINT face);
    void PauseForLeaving();
    void StopForClosing();

    std::unique_ptr<PreviewPlayer> preview_;
    winui::Control previewArea_;
    CSkinButton play_;
    CSkinButton stop_;
    CSkinButton store_;
    CSkinSlider slider_;
    CSkinButton stepBack_;
    CSkinButton stepForward_;
    winui::Control grabHost_;
    winui::ToolTip tips_;
    UINT playFace_ = 0;
    bool failed_ = false;
    // Why a frame can't be kept in this clip; null when it can.
    const wchar_t* storeRefusal_ = nullptr;
    ULONGLONG openingSince_ = 0;
    bool storing_ = false;
};

} // namespace kadrix
