#include "setup/add_association.h"

namespace kadrix::setup {
namespace {

using winui::ControlKind;
using winui::Event;
using winui::kForm;
using winui::Member;

// Positions in pixels within the form, at 96 DPI; OK and Cancel carry the
// dialog identifiers, so Enter and Esc press them.
const winui::FormControl<Tform_AddAssociation> kControls[] = {
    {Member<&Tform_AddAssociation::Label5>,
     kForm,
     {ControlKind::Label, L"Associate Kadrix with  this video file type", 8, 5, 266, 13, 0,
      winui::kBold}},
    {Member<&Tform_AddAssociation::edit_FileType>, kForm, {ControlKind::Edit, L"", 8, 24, 266, 21}},
    {Member<&Tform_AddAssociation::Button1>,
     kForm,
     {ControlKind::DefaultButton, L"OK", 118, 51, 75, 25},
     {Event::Click, &Tform_AddAssociation::Button1Click},
     IDOK},
    {Member<&Tform_AddAssociation::Button2>,
     kForm,
     {ControlKind::Button, L"Cancel", 199, 51, 75, 25},
     {Event::Click, &Tform_AddAssociation::Button2Click},
     IDCANCEL},
};

} // namespace

void Tform_AddAssociation::Create(HWND owner)
{
    CreateForm(L"Add video file type association", 282, 83, owner, kControls);
}

void Tform_AddAssociation::OnControlEvent(winui::Control& sender, winui::Event event, bool& allow)
{
    winui::DispatchEvent(kControls, *this, sender, event, allow);
}

void Tform_AddAssociation::Button1Click(winui::Control&)
{
    SetModalResult(IDOK);
}

void Tform_AddAssociation::Button2Click(winui::Control&)
{
    SetModalResult(IDCANCEL);
}

} // namespace kadrix::setup
