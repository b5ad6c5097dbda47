// The setup window, created as the program creates it and driven by messages
// under the session's display. Each test starts without the settings key.
#include "base/gdiplus.h"
#include "engine/settings/core/settings.h"
#include "setup/add_association.h"
#include "setup/main_form.h"
#include "support/display_scaling.h"
#include "support/images.h"
#include "winui/application.h"
#include "winui/dpi.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using kadrix::kSettingsKey;
using kadrix::setup::TForm1;
using kadrix::setup::Tform_AddAssociation;

namespace {

struct Box
{
    std::wstring text;
    std::wstring title;
};

void Pump()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            continue;
        if (kadrix::winui::Application* application = kadrix::winui::Application::Instance())
            application->DispatchOne(message);
    }
}

void DeleteSettings()
{
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

void StoreDword(const wchar_t* name, DWORD value)
{
    ASSERT_EQ(
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, name, REG_DWORD, &value, sizeof value),
        ERROR_SUCCESS);
}

void StoreString(const wchar_t* name, const std::wstring& text)
{
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, name, REG_SZ, text.c_str(),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// Every value of the settings key, as DWORDs; a value of another type shows
// as -1 in the type check below.
std::map<std::wstring, DWORD> StoredValues()
{
    std::map<std::wstring, DWORD> values;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[64];
        DWORD nameLength = 64, type = 0, data = 0, size = sizeof data;
        if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                            reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
            break;
        values[name] = type == REG_DWORD && size == 4 ? data : 0xDEADBEEF;
    }
    ::RegCloseKey(key);
    return values;
}

void Click(const kadrix::winui::Control& control)
{
    ::SendMessageW(control.hwnd(), BM_CLICK, 0, 0);
    Pump();
}

void Key(const kadrix::winui::Control& control, WPARAM key)
{
    ::SendMessageW(control.hwnd(), WM_KEYDOWN, key, 0);
    ::SendMessageW(control.hwnd(), WM_KEYUP, key, 0xC0000000);
    Pump();
}

void SetText(const kadrix::winui::Control& control, const wchar_t* text)
{
    ::SendMessageW(control.hwnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    Pump();
}

class SetupWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        DeleteSettings();
        application_.SetMessageBoxHook(
            [this](HWND, const std::wstring& text, const std::wstring& title, UINT) {
                boxes_.push_back({text, title});
                return answer_;
            });
    }
    void TearDown() override
    {
        DeleteSettings();
        Pump();
    }

    // As the program does: create (FormCreate), then show (FormShow).
    void Open()
    {
        form_.Create();
        application_.ShowMainForm(form_);
        Pump();
    }

    kadrix::GdiplusSession gdiplus_; // the program runs GDI+ for the window's life
    kadrix::winui::Application application_{L"Kadrix setup"};
    TForm1 form_;
    std::vector<Box> boxes_;
    int answer_ = IDOK;
};

TEST_F(SetupWindow, FirstRunWithoutKeyAppliesTheDefaults)
{
    Open();
    EXPECT_TRUE(boxes_.empty());
    Click(form_.btn_Apply);
    const std::map<std::wstring, DWORD> expected = {
        {L"Glossy", 0},  {L"WindowBkg", 0}, {L"BlackBkg", 0}, {L"Letterbox", 1}, {L"TimeShift", 1},
        {L"Percent", 1}, {L"Time", 0},      {L"Override", 0}, {L"Random", 0},    {L"FirstRun", 1},
    };
    EXPECT_EQ(StoredValues(), expected);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(SetupWindow, WindowLayout)
{
    Open();
    RECT client;
    ::GetClientRect(form_.hwnd(), &client);
    EXPECT_EQ(client.right, 398);
    EXPECT_EQ(client.bottom, 495);
    wchar_t caption[64];
    ::GetWindowTextW(form_.hwnd(), caption, 64);
    EXPECT_STREQ(caption, L"Kadrix Vuvu setup");
    EXPECT_EQ(form_.label_ShiftRelative.Text(), L"1% from the beginning");
    EXPECT_EQ(TabCtrl_GetItemCount(form_.PageControl1.hwnd()), 1) << "File types tab hidden";
    EXPECT_EQ(form_.PageControl1.ActivePage(), &form_.TabSheet1);
    EXPECT_TRUE(form_.radio_Relative.Checked());
    EXPECT_TRUE(form_.radio_Letterbox.Checked());
    EXPECT_FALSE(form_.edit_Fixed.Enabled());
    EXPECT_EQ(form_.Shape1.FillColour(), ::GetSysColor(COLOR_WINDOW));
    EXPECT_FALSE(form_.Button1.Visible());
    ASSERT_EQ(form_.listbox_FileTypes.Count(), 14);
    EXPECT_EQ(form_.listbox_FileTypes.Item(0), L".asf");
    EXPECT_EQ(form_.listbox_FileTypes.Item(13), L".wmv");

    ::RedrawWindow(form_.hwnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    kadrix::unique_hbitmap shot = kadrix::test::CaptureClientArea(form_.hwnd());
    ASSERT_TRUE(shot);
    EXPECT_TRUE(kadrix::test::SavePng(shot.get(), KADRIX_ARTEFACTS L"/zelkon-window.png"));
}

// Keys go through the message loop, where Enter and Esc press the default
// and the cancel button whichever control has the focus.
void PressKey(const kadrix::winui::Control& focus, WPARAM key)
{
    ::SetFocus(focus.hwnd());
    ::PostMessageW(focus.hwnd(), WM_KEYDOWN, key, 0);
    ::PostMessageW(focus.hwnd(), WM_KEYUP, key, 0xC0000000);
    Pump();
}

TEST_F(SetupWindow, EnterAppliesAndEscapeClosesWithoutSaving)
{
    Open();
    PressKey(form_.check_Override, VK_RETURN);
    EXPECT_EQ(StoredValues().size(), 10u);
    EXPECT_TRUE(::IsWindow(form_.hwnd())) << "the window stays open after Apply";

    Click(form_.check_Override);
    PressKey(form_.track_Shift, VK_ESCAPE);
    EXPECT_FALSE(::IsWindow(form_.hwnd()));
    EXPECT_EQ(StoredValues()[L"Override"], 0u);
}

TEST_F(SetupWindow, AppearanceOnlyChangeKeepsRandom)
{
    StoreDword(L"Random", 12345);
    Open();
    Click(form_.radio_BlackBkg);
    Click(form_.check_Glossy);
    Click(form_.check_Override);
    Click(form_.btn_Apply);
    auto values = StoredValues();
    EXPECT_EQ(values[L"Random"], 12345u);
    EXPECT_EQ(values[L"BlackBkg"], 1u);
    EXPECT_EQ(values[L"Letterbox"], 0u);
    EXPECT_EQ(values[L"Glossy"], 1u);
    EXPECT_EQ(values[L"Override"], 1u);
}

TEST_F(SetupWindow, OneTrackBarStepRenewsRandomOnce)
{
    StoreDword(L"Random", 12345);
    Open();
    Key(form_.track_Shift, VK_RIGHT);
    EXPECT_EQ(form_.track_Shift.Position(), 2);
    EXPECT_EQ(form_.label_ShiftRelative.Text(), L"2% from the beginning");
    Click(form_.btn_Apply);
    auto values = StoredValues();
    EXPECT_EQ(values[L"Percent"], 2u);
    const DWORD renewed = values[L"Random"];
    EXPECT_NE(renewed, 12345u);
    EXPECT_LE(renewed, 2147483646u);

    Click(form_.btn_Apply); // nothing moved since
    EXPECT_EQ(StoredValues()[L"Random"], renewed);
}

TEST_F(SetupWindow, RelativeToFixedAndBackRenewsRandom)
{
    StoreDword(L"Random", 12345);
    Open();
    Click(form_.radio_Fixed);
    EXPECT_FALSE(form_.track_Shift.Enabled());
    EXPECT_TRUE(form_.edit_Fixed.Enabled());
    Click(form_.radio_Relative);
    EXPECT_TRUE(form_.track_Shift.Enabled());
    Click(form_.btn_Apply);
    auto values = StoredValues();
    EXPECT_NE(values[L"Random"], 12345u);
    EXPECT_EQ(values[L"TimeShift"], 1u);
    EXPECT_EQ(values[L"Percent"], 1u);
}

TEST_F(SetupWindow, StoredFixedTimeDisablesTheRelativeControls)
{
    StoreDword(L"TimeShift", 0);
    StoreDword(L"Time", 30);
    StoreDword(L"Percent", 250); // clamped
    Open();
    EXPECT_TRUE(form_.radio_Fixed.Checked());
    EXPECT_FALSE(form_.radio_Relative.Checked());
    EXPECT_FALSE(form_.track_Shift.Enabled());
    EXPECT_FALSE(form_.Image1.Enabled());
    EXPECT_FALSE(form_.label_ShiftRelative.Enabled());
    EXPECT_TRUE(form_.edit_Fixed.Enabled());
    EXPECT_TRUE(form_.label_FixedDesc.Enabled());
    EXPECT_EQ(form_.updown_Fixed.Position(), 30);
    EXPECT_EQ(form_.edit_Fixed.Text(), L"30");
    EXPECT_EQ(form_.track_Shift.Position(), 100);
    EXPECT_FALSE(form_.ShiftChanged());
    EXPECT_TRUE(form_.ShiftArmed());
}

TEST_F(SetupWindow, StoredBackgroundsByPrecedence)
{
    StoreDword(L"WindowBkg", 1);
    StoreDword(L"BlackBkg", 1);
    StoreDword(L"Letterbox", 1);
    Open();
    EXPECT_TRUE(form_.radio_Letterbox.Checked());
    EXPECT_FALSE(form_.radio_BlackBkg.Checked());
    EXPECT_FALSE(form_.radio_WindowBkg.Checked());
}

TEST_F(SetupWindow, NoBackgroundStoredPreviewsTheWindowColour)
{
    StoreDword(L"WindowBkg", 0);
    StoreDword(L"BlackBkg", 0);
    StoreDword(L"Letterbox", 0);
    Open();
    EXPECT_FALSE(form_.radio_Letterbox.Checked() || form_.radio_BlackBkg.Checked() ||
                 form_.radio_WindowBkg.Checked());
    EXPECT_EQ(form_.PreviewBackground(), kadrix::Background::WindowColour);
}

TEST_F(SetupWindow, StoredValueOfAnotherTypeStopsLoadingWithAnError)
{
    StoreDword(L"Glossy", 1);
    StoreString(L"BlackBkg", L"12345"); // 12 bytes
    StoreDword(L"Percent", 50);
    Open();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, L"Failed to get data for 'BlackBkg'");
    EXPECT_EQ(boxes_[0].title, L"Kadrix setup");
    EXPECT_TRUE(form_.check_Glossy.Checked()) << "values before it are applied";
    EXPECT_EQ(form_.track_Shift.Position(), 1) << "values after it are not";
}

TEST_F(SetupWindow, ShortValueOfAnotherTypeIsAnInvalidDataType)
{
    StoreString(L"Letterbox", L"1"); // 4 bytes
    Open();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, L"Invalid data type for 'Letterbox'");
}

// Gives the settings key a security descriptor in SDDL.
void SecureSettings(const wchar_t* sddl)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0,
                                WRITE_DAC | READ_CONTROL, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                       &descriptor, nullptr));
    EXPECT_EQ(::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
    ::LocalFree(descriptor);
    ::RegCloseKey(key);
}

TEST_F(SetupWindow, UnwritableKeyReportsTheFirstValueAndKeepsTheChange)
{
    // Everyone may do anything with the key but write to it.
    SecureSettings(L"D:(D;;KW;;;WD)(A;;KA;;;WD)");
    Open();
    Key(form_.track_Shift, VK_RIGHT);
    Click(form_.btn_Apply);
    SecureSettings(L"D:(A;;KA;;;WD)");

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, L"Failed to set data for 'Glossy'");
    EXPECT_EQ(boxes_[0].title, L"Kadrix setup");
    EXPECT_TRUE(form_.ShiftChanged()) << "the next Apply still renews Random";
    EXPECT_TRUE(StoredValues().empty());
    // Nothing landed in the root of the current user's hive instead.
    DWORD size = 0;
    EXPECT_EQ(
        ::RegGetValueW(HKEY_CURRENT_USER, nullptr, L"Glossy", RRF_RT_ANY, nullptr, nullptr, &size),
        ERROR_FILE_NOT_FOUND);
}

TEST_F(SetupWindow, InvalidFixedTimeKeepsThePreviousPosition)
{
    Open();
    Click(form_.radio_Fixed);
    SetText(form_.edit_Fixed, L"24");
    EXPECT_EQ(form_.updown_Fixed.Position(), 24);
    EXPECT_EQ(form_.PreviewIndex, 5);
    EXPECT_TRUE(boxes_.empty());

    SetText(form_.edit_Fixed, L"12x");
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, L"'12x' is not a valid integer value.");
    EXPECT_EQ(boxes_[0].title, L"Kadrix setup");
    EXPECT_EQ(form_.updown_Fixed.Position(), 24);

    SetText(form_.edit_Fixed, L"");
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[1].text, L"'' is not a valid integer value.");

    Click(form_.btn_Apply);
    EXPECT_EQ(StoredValues()[L"Time"], 24u);
    EXPECT_EQ(StoredValues()[L"TimeShift"], 0u);
}

TEST_F(SetupWindow, UpDownArrowsFollowTheEdit)
{
    StoreDword(L"Random", 7);
    Open();
    Click(form_.radio_Fixed);
    SetText(form_.edit_Fixed, L"4");
    EXPECT_EQ(form_.PreviewIndex, 1);
    Key(form_.updown_Fixed, VK_UP);
    EXPECT_EQ(form_.updown_Fixed.Position(), 5);
    EXPECT_EQ(form_.edit_Fixed.Text(), L"5");
    EXPECT_EQ(form_.PreviewIndex, 2);
    Click(form_.btn_Apply);
    EXPECT_EQ(StoredValues()[L"Time"], 5u);
    EXPECT_NE(StoredValues()[L"Random"], 7u);
}

TEST_F(SetupWindow, LeavingModifiedFileTypesAsksToApply)
{
    Open();
    form_.PageControl1.SetActivePage(form_.TabSheet2);
    EXPECT_TRUE(boxes_.empty()) << "no question while File types was not the page";
    ::SendMessageW(form_.listbox_FileTypes.hwnd(), LB_SETCURSEL, 2, 0);
    ::SendMessageW(form_.listbox_FileTypes.hwnd(), WM_CHAR, L' ', 0);
    EXPECT_TRUE(form_.listbox_FileTypes.Checked(2));
    EXPECT_TRUE(form_.FileTypesModified);

    answer_ = IDNO;
    form_.PageControl1.SetActivePage(form_.TabSheet1);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, L"Apply changes?");
    EXPECT_EQ(boxes_[0].title, L"Confirm");
    EXPECT_EQ(form_.PageControl1.ActivePage(), &form_.TabSheet1) << "the change goes ahead";
    EXPECT_TRUE(StoredValues().empty());

    form_.PageControl1.SetActivePage(form_.TabSheet2);
    answer_ = IDYES;
    form_.PageControl1.SetActivePage(form_.TabSheet1);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(StoredValues().size(), 10u);
    EXPECT_FALSE(form_.FileTypesModified);
}

TEST_F(SetupWindow, AddAssociationInsertsSortedAndKeepsDuplicates)
{
    Open();
    Tform_AddAssociation dialog;
    dialog.Create(form_.hwnd());
    form_.SetAddAssociationForm(&dialog);

    auto add = [&](const wchar_t* text, const kadrix::winui::Button& button) {
        dialog.edit_FileType.SetText(text);
        ::PostMessageW(button.hwnd(), BM_CLICK, 0, 0);
        form_.Button1.Click();
    };
    add(L"mkv", dialog.Button1);
    ASSERT_EQ(form_.listbox_FileTypes.Count(), 15);
    EXPECT_EQ(form_.listbox_FileTypes.Item(6), L".mkv");
    EXPECT_EQ(form_.listbox_FileTypes.Item(7), L".mkv");

    add(L".ogm", dialog.Button1);
    ASSERT_EQ(form_.listbox_FileTypes.Count(), 16);
    EXPECT_EQ(form_.listbox_FileTypes.Item(14), L".ogm");

    add(L"xyz", dialog.Button2); // cancelled
    add(L"", dialog.Button1);    // empty
    EXPECT_EQ(form_.listbox_FileTypes.Count(), 16);
}

// The preview as Image2 holds it, and the whole window for a person to see.
kadrix::test::Picture PreviewOf(const TForm1& form, const wchar_t* shot)
{
    ::RedrawWindow(form.hwnd(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    kadrix::unique_hbitmap window = kadrix::test::CaptureClientArea(form.hwnd());
    EXPECT_TRUE(kadrix::test::SavePng(window.get(), std::wstring(KADRIX_ARTEFACTS L"/") + shot));
    return kadrix::test::PictureFromBitmap(form.Image2.Bitmap());
}

TEST_F(SetupWindow, PreviewFollowsTheLookAndTheTrackBar)
{
    using kadrix::test::Near;
    using kadrix::test::Rgb;
    const COLORREF c = ::GetSysColor(COLOR_WINDOW);
    const Rgb window{GetRValue(c), GetGValue(c), GetBValue(c)};
    const Rgb black{0, 0, 0};
    Open();

    // At start: letterbox, the first sample inside the band.
    const kadrix::test::Picture first = PreviewOf(form_, L"zelkon-letterbox.png");
    ASSERT_EQ(first.width, 128);
    ASSERT_EQ(first.height, 128);
    EXPECT_TRUE(Near(first.mean(0, 0, 128, 15), window, 2));
    EXPECT_TRUE(Near(first.mean(0, 17, 128, 4), black, 2));
    EXPECT_TRUE(Near(first.mean(0, 107, 128, 4), black, 2));

    // The track bar's far end picks the fifth sample: the picture changes.
    ::SendMessageW(form_.track_Shift.hwnd(), TBM_SETPOS, TRUE, 99);
    Key(form_.track_Shift, VK_RIGHT);
    ASSERT_EQ(form_.PreviewIndex, 5);
    const kadrix::test::Picture last = PreviewOf(form_, L"zelkon-letterbox-end.png");
    EXPECT_FALSE(Near(last.mean(4, 24, 120, 80), first.mean(4, 24, 120, 80), 8));

    // Black with gloss: the wedge lights the top band.
    Click(form_.radio_BlackBkg);
    Click(form_.check_Glossy);
    const kadrix::test::Picture glossy = PreviewOf(form_, L"zelkon-black-gloss.png");
    const Rgb top = glossy.mean(20, 2, 20, 8);
    EXPECT_GE(top.r, 40);
    EXPECT_LE(top.r, 75);
    EXPECT_TRUE(Near(glossy.mean(0, 116, 128, 12), black, 2)); // below the wedge

    // Window colour without gloss.
    Click(form_.radio_WindowBkg);
    Click(form_.check_Glossy);
    const kadrix::test::Picture plain = PreviewOf(form_, L"zelkon-window-colour.png");
    EXPECT_TRUE(Near(plain.mean(0, 0, 128, 15), window, 2));
    EXPECT_TRUE(Near(plain.mean(0, 113, 128, 15), window, 2));
    EXPECT_FALSE(Near(plain.mean(0, 20, 4, 80), window, 20)); // the picture's full width

    // The rectangle behind the preview keeps the colour it took at start.
    EXPECT_EQ(form_.Shape1.FillColour(), c);
}

// The visible controls of the window: their identifier, their parent's
// (0 for the window), their rectangle in the window's client area, whether
// they show text, whether that text has room in its own font (a check box or
// radio button keeps its box's width) and whether they lie inside the window.
struct Placed
{
    int parent = 0;
    RECT rect{};
    bool hasText = false;
    bool fits = true;
    bool inside = true;
};

bool TextFits(HWND control, const kadrix::winui::DpiScale& scale)
{
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), length + 1)));
    const kadrix::window_dc dc(control);
    const kadrix::select_object font(
        dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    RECT client{};
    ::GetClientRect(control, &client);
    wchar_t className[16] = {};
    ::GetClassNameW(control, className, 16);
    const LONG type = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    int room = client.right;
    if (::lstrcmpiW(className, L"Button") == 0)
        room -= (type == BS_CHECKBOX || type == BS_RADIOBUTTON) ? scale(13) + scale(4) : scale(4);
    return extent.cx <= room;
}

struct PlacedScan
{
    HWND form;
    kadrix::winui::DpiScale scale;
    RECT client;
    std::map<int, Placed> placed;
};

BOOL CALLBACK PlaceControl(HWND control, LPARAM param)
{
    auto* scan = reinterpret_cast<PlacedScan*>(param);
    if (!::IsWindowVisible(control))
        return TRUE;
    Placed item;
    const HWND parent = ::GetParent(control);
    item.parent = parent == scan->form ? 0 : ::GetDlgCtrlID(parent);
    ::GetWindowRect(control, &item.rect);
    ::MapWindowPoints(nullptr, scan->form, reinterpret_cast<POINT*>(&item.rect), 2);
    RECT within{};
    item.inside =
        ::IntersectRect(&within, &item.rect, &scan->client) && ::EqualRect(&within, &item.rect);
    wchar_t className[16] = {};
    ::GetClassNameW(control, className, 16);
    // An edit's text is the user's to scroll.
    item.hasText = ::GetWindowTextLengthW(control) > 0 && ::lstrcmpiW(className, L"Edit") != 0;
    item.fits = !item.hasText || TextFits(control, scan->scale);
    scan->placed[::GetDlgCtrlID(control)] = item;
    return TRUE;
}

std::map<int, Placed> PlacedControls(HWND form)
{
    PlacedScan scan{form, kadrix::winui::ScaleOf(form), {}, {}};
    ::GetClientRect(form, &scan.client);
    ::EnumChildWindows(form, &PlaceControl, reinterpret_cast<LPARAM>(&scan));
    return scan.placed;
}

// At the DPI the process was started at: the window at the scaling, and the
// places of its controls for the run below, which compares them with those
// at 96 DPI.
TEST_F(SetupWindow, LaysItselfOutAtItsDisplayScaling)
{
    const int dpi = kadrix::test::RequestedDpi();
    const kadrix::winui::DpiScale scale(dpi);
    Open();
    ASSERT_EQ(kadrix::winui::WindowDpi(form_.hwnd()), dpi);
    RECT client{};
    ::GetClientRect(form_.hwnd(), &client);
    EXPECT_EQ(client.right, scale(398));
    EXPECT_EQ(client.bottom, scale(495));
    for (const auto& [id, item] : PlacedControls(form_.hwnd()))
        std::printf("placed %d %d %ld %ld %ld %ld %d %d %d\n", id, item.parent, item.rect.left,
                    item.rect.top, item.rect.right, item.rect.bottom, item.hasText, item.fits,
                    item.inside);
    if (dpi == 144) {
        ::RedrawWindow(form_.hwnd(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump();
        const kadrix::unique_hbitmap shot = kadrix::test::CaptureClientArea(form_.hwnd());
        EXPECT_TRUE(kadrix::test::SavePng(shot.get(), KADRIX_ARTEFACTS L"/zelkon-window-150.png"));
    }
}

// At every scaling, as at 96 DPI: each control that shows text is larger and
// its text has room, each control lies inside the window, and no two controls
// of one parent overlap that do not at 96 DPI. (At 96 DPI the fixed layout
// is the reference: Wine's Tahoma is wider than Windows', so there a long
// text may already lack a few pixels, and it is not asked for more.)
TEST_F(SetupWindow, AtEveryDisplayScalingNothingIsCutOrCovered)
{
    Open();
    const std::map<int, Placed> at96 = PlacedControls(form_.hwnd());
    const auto overlap = [](const RECT& a, const RECT& b) {
        RECT common{};
        return ::IntersectRect(&common, &a, &b) != FALSE;
    };
    for (const int dpi : {120, 144, 192}) {
        const kadrix::test::ScaledRun run = kadrix::test::RunAtDisplayScaling(
            dpi, L"SetupWindow.LaysItselfOutAtItsDisplayScaling");
        ASSERT_TRUE(run.passed) << "at " << dpi << " DPI:\n" << run.output;
        std::map<int, Placed> scaled;
        for (const std::string& line : kadrix::test::LinesAfter(run.output, "placed ")) {
            std::istringstream in(line);
            int id = 0, text = 0, fits = 0, inside = 0;
            Placed item;
            in >> id >> item.parent >> item.rect.left >> item.rect.top >> item.rect.right >>
                item.rect.bottom >> text >> fits >> inside;
            item.hasText = text != 0;
            item.fits = fits != 0;
            item.inside = inside != 0;
            scaled[id] = item;
        }
        ASSERT_EQ(scaled.size(), at96.size()) << "at " << dpi << " DPI";
        for (const auto& [id, item] : scaled) {
            const Placed& small = at96.at(id);
            if (small.inside) {
                EXPECT_TRUE(item.inside) << id << " leaves the window at " << dpi << " DPI";
            }
            if (small.fits) {
                EXPECT_TRUE(item.fits) << "the text of " << id << " is cut at " << dpi << " DPI";
            }
            if (item.hasText) {
                EXPECT_GT(item.rect.right - item.rect.left, small.rect.right - small.rect.left)
                    << id << " at " << dpi;
                EXPECT_GT(item.rect.bottom - item.rect.top, small.rect.bottom - small.rect.top)
                    << id << " at " << dpi;
            }
            for (const auto& [other, placed] : scaled) {
                if (other > id && placed.parent == item.parent && overlap(item.rect, placed.rect)) {
                    EXPECT_TRUE(overlap(small.rect, at96.at(other).rect))
                        << id << " and " << other << " overlap at " << dpi << " DPI only";
                }
            }
        }
    }
}

} // namespace
