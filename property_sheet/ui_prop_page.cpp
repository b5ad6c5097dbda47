#include "property_sheet/ui_prop_page.h"

#include "property_sheet/resource.h"

CUIPropPage::CUIPropPage() : CGenericPage(IDD_THUMBNAIL_PAGE, TRUE) {}

BOOL CUIPropPage::OnInitDialog()
{
    Bind(preview_, IDC_PREVIEW);
    Bind(play_, IDC_PLAY);
    Bind(stop_, IDC_STOP);
    Bind(stepBack_, IDC_STEP_BACK);
    Bind(stepForward_, IDC_STEP_FORWARD);
    Bind(slider_, IDC_SLIDER);
    Bind(store_, IDC_STORE);
    Bind(grabHost_, IDC_GRAB_HOST);
    // The hidden grab host carries the path as its text, so a host or a test
    // can tell which file the page holds.
    if (Path())
        grabHost_.SetText(Path());

    RECT area{};
    ::GetClientRect(preview_.hwnd(), &area);
    const int width = area.right - area.left;
    ::SetWindowPos(slider_.hwnd(), HWND_TOP, 0, 201, width, 12, SWP_SHOWWINDOW);
    const int left = area.left + (width - 200) / 2;
    int x = left;
    for (kadrix::winui::Control* button : {static_cast<kadrix::winui::Control*>(&stepBack_),
                                           static_cast<kadrix::winui::Control*>(&stop_),
                                           static_cast<kadrix::winui::Control*>(&play_),
                                           static_cast<kadrix::winui::Control*>(&stepForward_),
                                           static_cast<kadrix::winui::Control*>(&store_)}) {
        ::SetWindowPos(button->hwnd(), HWND_TOP, x, 220, 40, 37, SWP_SHOWWINDOW);
        x += 40;
    }
    stop_.SetEnabled(false);
    return TRUE;
}

void CUIPropPage::OnControlEvent(kadrix::winui::Control&, kadrix::winui::Event, bool&) {}
