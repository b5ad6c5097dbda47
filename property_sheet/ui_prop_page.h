// The thumbnail page: the "Kadrix" tab of a video file's Properties dialog.
#pragma once

#include "property_sheet/generic_page.h"
#include "winui/controls.h"

class CUIPropPage final : public CGenericPage
{
public:
    CUIPropPage();

    // The video file the page shows.
    using CGenericPage::Path;

    void OnControlEvent(kadrix::winui::Control& sender, kadrix::winui::Event event,
                        bool& allow) override;

protected:
    BOOL OnInitDialog() override;

private:
    kadrix::winui::Control preview_;
    kadrix::winui::Button play_;
    kadrix::winui::Button stop_;
    kadrix::winui::Button stepBack_;
    kadrix::winui::Button stepForward_;
    kadrix::winui::Control slider_;
    kadrix::winui::Button store_;
    kadrix::winui::Control grabHost_;
};
