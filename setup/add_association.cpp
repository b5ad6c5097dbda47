#include "setup/add_association.h"

#include <iterator>

namespace kadrix::setup {
namespace {

using winui::ControlKind;
using winui::ControlLayout;
using winui::Event;

enum ControlId : int
{
    kOk = IDOK,
    kCancel = IDCANCEL,
    kLabel5 = 100,
    kFileType,
};

const ControlLayout kLayout[] = {
    {kLabel5, 0, ControlKind::Label, L"Associate Kadrix with  this video file type", 8, 5, 266, 13,
     0, winui::kBold},
    {kFileType, 0, ControlKind::Edit, L"", 8, 24, 266, 21},
    {kOk, 0, ControlKind::DefaultButton, L"OK", 118, 51, 75, 25},
    {kCancel, 0, ControlKind::Button, L"Cancel", 199, 51, 75, 25},
};

const winui::EventEntry<Tform_AddAssociation> kEvents[] = {
    {kOk, Event::Click, &Tform_AddAssociation::Button1Click},
    {kCancel, Event::Click, &Tform_AddAssociation::Button2Click},
};

} // namespace

void Tform_AddAssociation::Create(HWND owner)
{
    CreateForm(L"Add video file type association", 282, 83, owner, kLayout, std::size(kLayout));
    Bind(Label5, kLabel5);
    Bind(edit_FileType, kFileType);
    Bind(Button1, kOk);
    Bind(Button2, kCancel);
}

void Tform_AddAssociation::OnControlEvent(winui::Control& sender, winui::Event event, bool& allow)
{
    winui::DispatchEvent(kEvents, *this, sender, event, allow);
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
