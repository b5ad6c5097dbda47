// `TForm1`, the setup window: where in a clip the thumbnail is taken, whether
// the user's embedded thumbnail is ignored, and how the thumbnail looks; its
// hidden File types page holds the extensions the command line registers.
#pragma once

#include "engine/settings/core/settings.h"
#include "setup/core/random_tokens.h"
#include "setup/core/time_shift_flags.h"
#include "winui/controls.h"
#include "winui/form.h"

#include <cstdint>
#include <string>

namespace kadrix::setup {

class Tform_AddAssociation;

class TForm1 final : public winui::Form
{
public:
    TForm1() = default;

    // Creates the window and its controls with their initial state, then
    // runs FormCreate. The window stays hidden until Show.
    void Create();
    // The dialog that Button1 opens; created after this window.
    void SetAddAssociationForm(Tform_AddAssociation* form) { addAssociation_ = form; }

    winui::PageControl PageControl1;
    winui::Panel TabSheet1;
    winui::Panel TabSheet2;
    winui::Button btn_Cancel;
    winui::Button btn_Apply;

    winui::Label Label1;
    winui::RadioButton radio_Relative;
    winui::Picture Image1;
    winui::TrackBar track_Shift;
    winui::Label label_ShiftRelative;
    winui::RadioButton radio_Fixed;
    winui::Edit edit_Fixed;
    winui::UpDown updown_Fixed;
    winui::Label label_FixedDesc;
    winui::CheckBox check_Override;
    winui::Label Label4;
    winui::Panel Panel1;
    winui::RadioButton radio_Letterbox;
    winui::RadioButton radio_BlackBkg;
    winui::RadioButton radio_WindowBkg;
    winui::CheckBox check_Glossy;
    winui::Label Label3;
    winui::Shape Shape1;
    winui::Picture Image2;
    winui::Label Label2;

    winui::Label Label5;
    winui::CheckListBox listbox_FileTypes;
    winui::Button Button1;

    // The sample picture the preview shows, 1 to 5.
    int PreviewIndex = 0;
    // The token last read from or written to "Random".
    std::int32_t RandomValue = 0;
    // What is written to "FirstRun".
    std::int32_t FirstRunValue = 1;
    // A check mark of the File types page changed since the last Apply.
    bool FileTypesModified = false;
    bool ShiftArmed() const { return shift_.ShiftArmed(); }
    bool ShiftChanged() const { return shift_.ShiftChanged(); }

    // The preview's background. With no background button on (contradictory
    // stored values) it is the window colour, as the thumbnail handler draws it.
    Background PreviewBackground() const;

    bool LoadSettings();
    void SaveSettings();
    void RegisterVideoFile(const std::wstring& extension);
    // Draws sample picture `index` (1 to 5) into Image2 with the chosen
    // background and gloss.
    void LoadPreview(int index);
    void UnRegisterVideoFile(const std::wstring& extension);

    void FormCreate(winui::Form& sender);
    void FormShow(winui::Form& sender);
    void FormKeyUp(winui::Form& sender, WORD& key, unsigned shift);
    void btn_ApplyClick(winui::Control& sender);
    void btn_CancelClick(winui::Control& sender);
    void PageControl1Changing(winui::Control& sender, bool& allowChange);
    void radio_RelativeClick(winui::Control& sender);
    void radio_FixedClick(winui::Control& sender);
    void track_ShiftChange(winui::Control& sender);
    void updown_FixedChanging(winui::Control& sender, bool& allowChange);
    void edit_FixedChange(winui::Control& sender);
    // Shared by the three background buttons and check_Glossy.
    void check_GlossyClick(winui::Control& sender);
    void listbox_FileTypesClickCheck(winui::Control& sender);
    void Button1Click(winui::Control& sender);

    void OnControlEvent(winui::Control& sender, winui::Event event, bool& allow) override;
    void OnKeyUp(WORD key, unsigned shiftState) override;

protected:
    void OnDpiChanged() override;

private:
    void OnShow() override { FormShow(*this); }
    void ShowFilmStrip();

    TimeShiftFlags shift_;
    RandomTokens random_;
    Tform_AddAssociation* addAssociation_ = nullptr;
    // While the controls take their initial state, nothing is raised.
    bool loading_ = true;
};

} // namespace kadrix::setup
