#include "setup/main_form.h"

#include "base/dib.h"
#include "base/module_path.h"
#include "product/identifiers.h"
#include "setup/add_association.h"
#include "setup/core/file_association.h"
#include "setup/jpeg_picture.h"
#include "setup/preview.h"
#include "setup/win32_registry.h"
#include "winui/application.h"
#include "winui/core/text.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <optional>

namespace kadrix::setup {
namespace {

using winui::ControlKind;
using winui::Event;
using winui::kBold;
using winui::kForm;
using winui::kHidden;
using winui::Member;

// Each control with its parent, its layout (pixels within the parent at 96
// DPI) and its event, in creation and tab order.
const winui::FormControl<TForm1> kControls[] = {
    {Member<&TForm1::PageControl1>,
     kForm,
     {ControlKind::Tabs, L"", 8, 8, 382, 448},
     {Event::Changing, &TForm1::PageControl1Changing}},
    {Member<&TForm1::TabSheet1>,
     Member<&TForm1::PageControl1>,
     {ControlKind::Page, L"Appearance", 0, 0, 0, 0}},
    {Member<&TForm1::TabSheet2>,
     Member<&TForm1::PageControl1>,
     {ControlKind::Page, L"File types", 0, 0, 0, 0}},
    // btn_Apply and btn_Cancel carry the dialog identifiers, so Enter and Esc
    // press them.
    {Member<&TForm1::btn_Cancel>,
     kForm,
     {ControlKind::Button, L"Cancel", 234, 462, 75, 25},
     {Event::Click, &TForm1::btn_CancelClick},
     IDCANCEL},
    {Member<&TForm1::btn_Apply>,
     kForm,
     {ControlKind::DefaultButton, L"Apply", 315, 462, 75, 25},
     {Event::Click, &TForm1::btn_ApplyClick},
     IDOK},

    {Member<&TForm1::Label1>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::Label, L"Time shift", 8, 8, 56, 13, 0, kBold}},
    {Member<&TForm1::radio_Relative>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::RadioButton, L"Relative", 8, 29, 65, 17, WS_GROUP},
     {Event::Click, &TForm1::radio_RelativeClick}},
    {Member<&TForm1::Image1>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::Picture, L"", 7, 52, 360, 66}},
    {Member<&TForm1::track_Shift>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::TrackBar, L"", -4, 124, 382, 23},
     {Event::Change, &TForm1::track_ShiftChange}},
    {Member<&TForm1::label_ShiftRelative>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::Label, L"%d% from the beginning", 127, 145, 121, 13}},
    {Member<&TForm1::radio_Fixed>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::RadioButton, L"Fixed", 3, 156, 65, 17},
     {Event::Click, &TForm1::radio_FixedClick}},
    {Member<&TForm1::edit_Fixed>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::Edit, L"0", 8, 179, 49, 21, WS_GROUP},
     {Event::Change, &TForm1::edit_FixedChange}},
    {Member<&TForm1::updown_Fixed>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::UpDown, L"", 57, 179, 17, 21},
     {Event::Changing, &TForm1::updown_FixedChanging}},
    {Member<&TForm1::label_FixedDesc>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::Label, L"seconds from the start (or in the middle, if the clip is shorter)", 79,
      182, 291, 13}},
    {Member<&TForm1::check_Override>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::CheckBox, L"Don't use embedded thumbnail", 8, 214, 191, 17}},
    {Member<&TForm1::Label4>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::Label, L"Appearance", 8, 237, 68, 13, 0, kBold}},
    {Member<&TForm1::Panel1>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::Panel, L"", 0, 256, 153, 97, WS_GROUP}},
    // The three background buttons and check_Glossy share one handler.
    {Member<&TForm1::radio_Letterbox>,
     Member<&TForm1::Panel1>,
     {ControlKind::RadioButton, L"Letterbox", 8, 8, 97, 17, WS_GROUP},
     {Event::Click, &TForm1::check_GlossyClick}},
    {Member<&TForm1::radio_BlackBkg>,
     Member<&TForm1::Panel1>,
     {ControlKind::RadioButton, L"Black backgound", 8, 32, 105, 17},
     {Event::Click, &TForm1::check_GlossyClick}},
    {Member<&TForm1::radio_WindowBkg>,
     Member<&TForm1::Panel1>,
     {ControlKind::RadioButton, L"Window color background", 8, 55, 140, 17},
     {Event::Click, &TForm1::check_GlossyClick}},
    {Member<&TForm1::check_Glossy>,
     Member<&TForm1::Panel1>,
     {ControlKind::CheckBox, L"Glossy", 8, 78, 97, 17, WS_GROUP},
     {Event::Click, &TForm1::check_GlossyClick}},
    {Member<&TForm1::Label3>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::Label, L"Preview", 154, 237, 45, 13, 0, kBold}},
    {Member<&TForm1::Shape1>,
     Member<&TForm1::TabSheet1>,
     {ControlKind::Shape, L"", 154, 256, 209, 161}},
    // On the page at 192, 262 and 215, 393: within Shape1, so Label2 can
    // show the shape through its background.
    {Member<&TForm1::Image2>,
     Member<&TForm1::Shape1>,
     {ControlKind::Picture, L"", 38, 6, 128, 128}},
    {Member<&TForm1::Label2>,
     Member<&TForm1::Shape1>,
     {ControlKind::Label, L"St. Petersburg.avi", 61, 137, 88, 13}},

    {Member<&TForm1::Label5>,
     Member<&TForm1::TabSheet2>,
     {ControlKind::Label, L"Associate Kadrix with  following video file types", 3, 5, 301, 13, 0,
      kBold}},
    {Member<&TForm1::listbox_FileTypes>,
     Member<&TForm1::TabSheet2>,
     {ControlKind::CheckListBox, L"", 3, 24, 368, 393},
     {Event::ClickCheck, &TForm1::listbox_FileTypesClickCheck}},
    {Member<&TForm1::Button1>,
     Member<&TForm1::TabSheet2>,
     {ControlKind::Button, L"Add association...", 256, -7, 107, 25, 0, kHidden},
     {Event::Click, &TForm1::Button1Click}},
};

constexpr AssociatedClasses kClasses{ids::kMyFirstGlimvexClsid, ids::kThumbTabliqClsid};

// What a stored settings value does to the window: the control it sets, or
// nothing when the value is missing.
struct LoadedValue
{
    std::uint32_t ThumbnailSettings::*field;
    void (*apply)(TForm1& form, std::optional<std::int32_t> stored);
};

// A value that switches a check box or radio button on (non-zero) or off.
template <auto button> void SwitchButton(TForm1& form, std::optional<std::int32_t> stored)
{
    if (stored)
        (form.*button).SetChecked(*stored != 0);
}

const LoadedValue kLoadedValues[] = {
    {&ThumbnailSettings::glossy, &SwitchButton<&TForm1::check_Glossy>},
    {&ThumbnailSettings::windowBkg, &SwitchButton<&TForm1::radio_WindowBkg>},
    {&ThumbnailSettings::blackBkg, &SwitchButton<&TForm1::radio_BlackBkg>},
    {&ThumbnailSettings::letterbox, &SwitchButton<&TForm1::radio_Letterbox>},
    // Fixed is the opposite of Relative whether or not TimeShift is stored.
    {&ThumbnailSettings::timeShift,
     [](TForm1& form, std::optional<std::int32_t> stored) {
         SwitchButton<&TForm1::radio_Relative>(form, stored);
         form.radio_Fixed.SetChecked(!form.radio_Relative.Checked());
     }},
    {&ThumbnailSettings::percent,
     [](TForm1& form, std::optional<std::int32_t> stored) {
         if (stored)
             form.track_Shift.SetPosition(std::clamp(*stored, 0, 100));
     }},
    {&ThumbnailSettings::time,
     [](TForm1& form, std::optional<std::int32_t> stored) {
         if (stored)
             form.updown_Fixed.SetPosition(static_cast<std::int16_t>(*stored));
     }},
    {&ThumbnailSettings::override, &SwitchButton<&TForm1::check_Override>},
    {&ThumbnailSettings::random,
     [](TForm1& form, std::optional<std::int32_t> stored) {
         if (stored)
             form.RandomValue = *stored;
     }},
};

const LoadedValue& LoadedValueOf(std::uint32_t ThumbnailSettings::*field)
{
    for (const LoadedValue& loaded : kLoadedValues)
        if (loaded.field == field)
            return loaded;
    // Every value of the settings table has its entry above.
    throw winui::Error(L"Unknown setting");
}

} // namespace

void TForm1::Create()
{
    CreateForm(L"Kadrix Vuvu setup", 398, 495, nullptr, kControls);
    SetKeyPreview(true);

    // The controls' initial state, which raises no events.
    PageControl1.AddPage(TabSheet1, true);
    // The File types tab is hidden: the user never reaches the page.
    PageControl1.AddPage(TabSheet2, false);
    radio_Relative.SetChecked(true);
    track_Shift.SetRange(0, 100);
    track_Shift.SetThumbLength(16);
    track_Shift.SetPosition(1);
    updown_Fixed.SetBuddy(edit_Fixed);
    updown_Fixed.SetRange(0, 32767);
    updown_Fixed.SetPosition(0);
    radio_Letterbox.SetChecked(true);
    ShowFilmStrip();
    Label2.SetTransparent(true);
    listbox_FileTypes.SetItemHeight(13);
    for (const wchar_t* extension : kVideoExtensions)
        listbox_FileTypes.Add(extension);
    loading_ = false;

    FormCreate(*this);
}

void TForm1::OnControlEvent(winui::Control& sender, winui::Event event, bool& allow)
{
    if (!loading_)
        winui::DispatchEvent(kControls, *this, sender, event, allow);
}

void TForm1::OnKeyUp(WORD key, unsigned shiftState)
{
    FormKeyUp(*this, key, shiftState);
}

void TForm1::FormCreate(winui::Form&)
{
    FirstRunValue = 1;
    random_ = RandomTokens();
    Shape1.SetFillColour(::GetSysColor(COLOR_WINDOW));
    track_ShiftChange(track_Shift);
    radio_RelativeClick(radio_Relative);
}

void TForm1::FormShow(winui::Form&)
{
    LoadSettings();
}

Background TForm1::PreviewBackground() const
{
    ThumbnailSettings settings;
    settings.letterbox = radio_Letterbox.Checked();
    settings.blackBkg = radio_BlackBkg.Checked();
    settings.windowBkg = radio_WindowBkg.Checked();
    return BackgroundOf(settings);
}

bool TForm1::LoadSettings()
{
    // However the reading ends, a bad value included, the time-shift controls
    // are armed afterwards: a user who then moves the track bar changes the
    // capture position, and the next Apply renews "Random".
    struct ArmWhenDone
    {
        TimeShiftFlags& flags;
        ~ArmWhenDone() { flags.Loaded(); }
    } arm{shift_};

    Win32Registry registry(HKEY_CURRENT_USER);
    if (!registry.OpenKey(kSettingsKey, false))
        return false;
    // In the settings table's order: the three backgrounds before TimeShift,
    // so of several stored 1s the last one switched on stays on.
    for (const SettingsValue& value : kSettingsValues) {
        std::optional<std::int32_t> stored;
        if (registry.ValueExists(value.name))
            stored = registry.ReadInteger(value.name);
        LoadedValueOf(value.field).apply(*this, stored);
    }
    if (registry.ValueExists(kFirstRunValue))
        FirstRunValue = registry.ReadInteger(kFirstRunValue);
    registry.CloseKey();
    return true;
}

void TForm1::SaveSettings()
{
    Win32Registry registry(HKEY_CURRENT_USER);
    // Without the key every write would land in the root: report the first
    // value as not written instead.
    if (!registry.OpenKey(kSettingsKey, true))
        throw FailedToSetData(kSettingsValues[0].name);

    ThumbnailSettings settings;
    settings.glossy = check_Glossy.Checked();
    settings.windowBkg = radio_WindowBkg.Checked();
    settings.blackBkg = radio_BlackBkg.Checked();
    settings.letterbox = radio_Letterbox.Checked();
    settings.timeShift = radio_Relative.Checked();
    settings.percent = static_cast<std::uint32_t>(track_Shift.Position());
    settings.time = static_cast<std::uint32_t>(updown_Fixed.Position());
    settings.override = check_Override.Checked();
    for (const SettingsValue& value : kSettingsValues) {
        if (value.field == &ThumbnailSettings::random) {
            // Only a new capture position makes the cached frames stale.
            if (shift_.ShiftChanged())
                RandomValue = random_.Next();
            settings.random = static_cast<std::uint32_t>(RandomValue);
        }
        registry.WriteInteger(value.name, static_cast<std::int32_t>(settings.*value.field));
    }
    registry.WriteInteger(kFirstRunValue, FirstRunValue);
    registry.CloseKey();
    shift_.Saved();
}

void TForm1::RegisterVideoFile(const std::wstring& extension)
{
    Win32Registry registry(HKEY_CLASSES_ROOT);
    setup::RegisterVideoFile(registry, kClasses, extension);
}

void TForm1::UnRegisterVideoFile(const std::wstring& extension)
{
    Win32Registry registry(HKEY_CLASSES_ROOT);
    setup::UnRegisterVideoFile(registry, kClasses, extension);
}

void TForm1::btn_ApplyClick(winui::Control&)
{
    SaveSettings();
    FileTypesModified = false;
}

void TForm1::btn_CancelClick(winui::Control&)
{
    Close();
}

void TForm1::PageControl1Changing(winui::Control&, bool&)
{
    if (PageControl1.ActivePage() != &TabSheet2 || !FileTypesModified)
        return;
    winui::Application* application = winui::Application::Instance();
    if (application &&
        application->ShowMessage(hwnd(), L"Apply changes?", L"Confirm",
                                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1) == IDYES)
        btn_ApplyClick(btn_Apply);
}

void TForm1::radio_RelativeClick(winui::Control&)
{
    shift_.RelativeClicked();
    if (!radio_Relative.Checked())
        return;
    track_ShiftChange(track_Shift);
    Image1.SetEnabled(true);
    track_Shift.SetEnabled(true);
    label_ShiftRelative.SetEnabled(true);
    edit_Fixed.SetEnabled(false);
    label_FixedDesc.SetEnabled(false);
}

void TForm1::radio_FixedClick(winui::Control&)
{
    if (!radio_Fixed.Checked())
        return;
    bool allowChange = true;
    updown_FixedChanging(updown_Fixed, allowChange);
    Image1.SetEnabled(false);
    track_Shift.SetEnabled(false);
    label_ShiftRelative.SetEnabled(false);
    edit_Fixed.SetEnabled(true);
    label_FixedDesc.SetEnabled(true);
}

void TForm1::track_ShiftChange(winui::Control&)
{
    shift_.PositionMoved();
    const int position = track_Shift.Position();
    wchar_t caption[64];
    std::swprintf(caption, std::size(caption), L"%d%% from the beginning", position);
    label_ShiftRelative.SetText(caption);
    PreviewIndex = PreviewIndexForPercent(position);
    LoadPreview(PreviewIndex);
}

void TForm1::updown_FixedChanging(winui::Control&, bool&)
{
    shift_.PositionMoved();
    PreviewIndex = PreviewIndexForSeconds(updown_Fixed.Position());
    LoadPreview(PreviewIndex);
}

void TForm1::check_GlossyClick(winui::Control&)
{
    LoadPreview(PreviewIndex);
}

void TForm1::LoadPreview(int index)
{
    const unique_hbitmap sample = LoadSamplePicture(::GetModuleHandleW(nullptr), index);
    const Background background = PreviewBackground();
    const PreviewMode mode = background == Background::Letterbox ? PreviewMode::Letterbox
                             : background == Background::Black   ? PreviewMode::Black
                                                                 : PreviewMode::WindowColour;

    // Image2's own bitmap, drawn anew each time, as large as Image2 is at the
    // window's DPI.
    const int size = Scale()(kPreviewSize);
    const BITMAPINFO info = DibInfo(size, size, 24, false);
    void* bits = nullptr;
    unique_hbitmap picture(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    unique_hdc dc(::CreateCompatibleDC(nullptr));
    if (!picture || !dc)
        throw winui::Error(L"Out of system resources");
    {
        select_object selected(dc.get(), picture.get());
        BuildThumbnail(sample.get(), check_Glossy.Checked(), mode, dc.get(), size);
    }
    Image2.SetBitmap(std::move(picture));
}

// The five frames above the track bar, 360 x 66 at 96 DPI, drawn anew at the
// window's scaling rather than stretched when shown.
void TForm1::ShowFilmStrip()
{
    unique_hbitmap strip = LoadJpegResource(::GetModuleHandleW(nullptr), L"FILMSTRIP");
    const winui::DpiScale scale = Scale();
    BITMAP info{};
    if (scale.dpi() != winui::kBaseDpi && ::GetObjectW(strip.get(), sizeof info, &info)) {
        if (unique_hbitmap scaled =
                ScalePicture(strip.get(), scale(info.bmWidth), scale(info.bmHeight)))
            strip = std::move(scaled);
    }
    Image1.SetBitmap(std::move(strip));
}

void TForm1::OnDpiChanged()
{
    ShowFilmStrip();
    LoadPreview(PreviewIndex);
}

void TForm1::edit_FixedChange(winui::Control&)
{
    updown_Fixed.SetPosition(winui::TextToInteger(edit_Fixed.Text()));
}

void TForm1::listbox_FileTypesClickCheck(winui::Control&)
{
    FileTypesModified = true;
}

void TForm1::Button1Click(winui::Control&)
{
    if (!addAssociation_ || addAssociation_->ShowModal() != IDOK)
        return;
    std::wstring extension = addAssociation_->edit_FileType.Text();
    if (extension.empty())
        return;
    if (extension.front() != L'.')
        extension.insert(extension.begin(), L'.');
    listbox_FileTypes.Add(extension);
    ::InvalidateRect(listbox_FileTypes.hwnd(), nullptr, TRUE);
}

void TForm1::FormKeyUp(winui::Form&, WORD& key, unsigned)
{
    if (key != VK_F1)
        return;
    const std::wstring folder = FolderOf(ModulePath(nullptr));
    const std::wstring help = folder + L"kadlite.chm";
    // A missing help file is not reported.
    (void)::ShellExecuteW(hwnd(), L"open", help.c_str(), nullptr, folder.c_str(), SW_SHOW);
}

} // namespace kadrix::setup
