// `Tform_AddAssociation`: asks for one more video file type for the list of
// the File types page.
#pragma once

#include "winui/controls.h"
#include "winui/form.h"

namespace kadrix::setup {

class Tform_AddAssociation final : public winui::Form
{
public:
    // Creates the hidden dialog; it is centred on its owner.
    void Create(HWND owner);

    winui::Label Label5;
    winui::Edit edit_FileType;
    winui::Button Button1;
    winui::Button Button2;

    void Button1Click(winui::Control& sender);
    void Button2Click(winui::Control& sender);

    void OnControlEvent(winui::Control& sender, winui::Event event, bool& allow) override;
};

} // namespace kadrix::setup
