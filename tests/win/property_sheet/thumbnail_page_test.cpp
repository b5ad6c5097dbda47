// The thumbnail page in a real property sheet, driven as a user drives it:
// mouse messages on its buttons and its slider, over real clips of
// tests/media, with its state read back from the page and the streams it
// writes read back from the disk.
#include "base/com_ptr.h"
#include "base/screen_capture.h"
#include "base/unique_handle.h"
#include "engine/capture/capture_job.h"
#include "engine/store/core/stream_names.h"
#include "engine/capture/preview_player.h"
#include "engine/store/user_message.h"
#include "property_sheet/core/skin_logic.h"
#include "property_sheet/resource.h"
#include "property_sheet/tabliq_app.h"
#include "property_sheet/ui_prop_page.h"
#include "support/child_process.h"
#include "support/clips.h"
#include "support/display_scaling.h"
#include "winui/dpi.h"
#include "winui/high_contrast.h"
#include "winui/property_page.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <oleacc.h>
#include <shlobj.h>

#include <string>
#include <vector>

using namespace kadrix;
using namespace kadrix::test;

namespace {

constexpr kadrix::ReferenceTime kSecond = 10'000'000;
constexpr kadrix::ReferenceTime kFrame = kSecond / 25;

struct Message
{
    HWND owner;
    std::wstring text;
    std::wstring caption;
};
std::vector<Message> g_messages;

void RecordMessage(HWND owner, const wchar_t* text, const wchar_t* caption)
{
    g_messages.push_back({owner, text, caption});
}

// Hears what the shell is told about the files of a folder, as Explorer does.
class ShellWatch
{
public:
    explicit ShellWatch(const std::wstring& folder)
    {
        window_ = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    nullptr, nullptr);
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        previous_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
            window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ShellWatch::Proc)));
        SHChangeNotifyEntry entry{};
        folder_ = ::ILCreateFromPathW(folder.c_str());
        entry.pidl = folder_;
        entry.fRecursive = TRUE;
        registration_ = ::SHChangeNotifyRegister(window_, SHCNRF_ShellLevel | SHCNRF_InterruptLevel,
                                                 SHCNE_UPDATEITEM, kNotified, 1, &entry);
    }
    ~ShellWatch()
    {
        if (registration_)
            ::SHChangeNotifyDeregister(registration_);
        ::DestroyWindow(window_);
        ::ILFree(folder_);
    }
    ShellWatch(const ShellWatch&) = delete;
    ShellWatch& operator=(const ShellWatch&) = delete;

    // The paths of the items updated so far, and forgets them.
    std::vector<std::wstring> Updated() { return std::exchange(updated_, {}); }

private:
    static constexpr UINT kNotified = WM_APP + 7;
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<ShellWatch*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == kNotified && self && (lParam & SHCNE_UPDATEITEM)) {
            const auto* items = reinterpret_cast<PCIDLIST_ABSOLUTE const*>(wParam);
            wchar_t path[MAX_PATH] = {};
            if (items && items[0] && ::SHGetPathFromIDListW(items[0], path))
                self->updated_.push_back(path);
            return 0;
        }
        return ::CallWindowProcW(self->previous_, window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    WNDPROC previous_ = nullptr;
    PIDLIST_ABSOLUTE folder_ = nullptr;
    ULONG registration_ = 0;
    std::vector<std::wstring> updated_;
};

class ThumbnailPage : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ::OleInitialize(nullptr);
        // The page's resources are this program's, as they are Tabliq's.
        ASSERT_TRUE(theApp.Start(::GetModuleHandleW(nullptr)));
    }
    static void TearDownTestSuite()
    {
        theApp.Stop();
        ::OleUninitialize();
    }

    void SetUp() override
    {
        g_messages.clear();
        previous_ = kadrix::SetUserMessageHandler(&RecordMessage);
    }
    void TearDown() override
    {
        kadrix::DelayPreviewPlayersForTests(0, 0);
        kadrix::winui::OverrideHighContrastForTests(-1);
        Close();
        kadrix::SetUserMessageHandler(previous_);
    }

    // The page on the clip in a modeless sheet, once the clip has opened or
    // failed to (within the deadline and a second).
    void Open(const std::wstring& path)
    {
        page_ = new CUIPropPage();
        HPROPSHEETPAGE handle = page_->CreatePage(path.c_str());
        ASSERT_NE(handle, nullptr);
        PROPSHEETHEADERW header{};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
        header.pszCaption = L"Properties";
        header.nPages = 1;
        header.phpage = &handle;
        sheet_ = reinterpret_cast<HWND>(::PropertySheetW(&header));
        ASSERT_NE(sheet_, nullptr);
        const ULONGLONG give = ::GetTickCount64() + 9000;
        while (::GetTickCount64() < give &&
               (page_->Preview() && page_->Preview()->State() == S_FALSE))
            Pump(50);
        Pump(100); // the page sees the open and sets itself up
    }

    void Close()
    {
        if (sheet_)
            ::DestroyWindow(sheet_);
        sheet_ = nullptr;
        page_ = nullptr;
        EXPECT_EQ(kadrix::winui::PropertyPage::LivePages(), 0) << "the page was not released";
    }

    // Runs the sheet's messages for a while, timers included.
    void Pump(DWORD milliseconds)
    {
        const ULONGLONG until = ::GetTickCount64() + milliseconds;
        MSG message;
        for (;;) {
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (!sheet_ || !PropSheet_IsDialogMessage(sheet_, &message)) {
                    ::TranslateMessage(&message);
                    ::DispatchMessageW(&message);
                }
            }
            const ULONGLONG now = ::GetTickCount64();
            if (now >= until)
                return;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now),
                                        QS_ALLINPUT);
        }
    }

    HWND Control(int id) const { return ::GetDlgItem(page_->hwnd(), id); }

    // A click of the left button at a point of the control, as the mouse makes it.
    void Click(int id, int x = 20, int y = 18, bool twice = false)
    {
        const HWND control = Control(id);
        const LPARAM point = MAKELPARAM(x, y);
        ::SendMessageW(control, WM_MOUSEMOVE, 0, point);
        ::SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
        ::SendMessageW(control, WM_LBUTTONUP, 0, point);
        if (twice) {
            ::SendMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
            ::SendMessageW(control, WM_LBUTTONUP, 0, point);
        }
        Pump(50);
    }

    void Key(int id, WPARAM key)
    {
        ::SetFocus(Control(id));
        ::SendMessageW(Control(id), WM_KEYDOWN, key, 0);
        ::SendMessageW(Control(id), WM_KEYUP, key, 0xC0000000);
        Pump(50);
    }

    // The error state as the user sees it: its text, no picture over it and
    // nothing to press (the video window hides once its thread gets to it).
    void ExpectErrorShown(const wchar_t* text = L"Error. Unable to load video file")
    {
        wchar_t shown[128] = {};
        ::GetWindowTextW(Control(IDC_PREVIEW), shown, 128);
        EXPECT_STREQ(shown, text);
        const ULONGLONG give = ::GetTickCount64() + 5000;
        while (VideoShown() && ::GetTickCount64() < give)
            Pump(50);
        EXPECT_FALSE(VideoShown()) << "a video window covers the error";
        for (int id : {IDC_PLAY, IDC_STOP, IDC_STEP_BACK, IDC_STEP_FORWARD, IDC_STORE, IDC_SLIDER})
            EXPECT_FALSE(::IsWindowEnabled(Control(id))) << id;
    }

    bool VideoShown() const
    {
        for (HWND child = ::GetWindow(Control(IDC_PREVIEW), GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT))
            if (::IsWindowVisible(child))
                return true;
        return false;
    }

    RECT RectInPage(int id) const
    {
        RECT rect{};
        ::GetWindowRect(Control(id), &rect);
        ::MapWindowPoints(nullptr, page_->hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    void Screenshot(const wchar_t* name)
    {
        Pump(200);
        const kadrix::unique_hbitmap shot = kadrix::CaptureWindowArea(sheet_);
        ASSERT_TRUE(shot);
        EXPECT_TRUE(SavePng(shot.get(), std::wstring(KADRIX_ARTEFACTS) + L"\\" + name));
    }

    int State() const { return page_->Preview()->GetPlayState(); }
    kadrix::ReferenceTime Position() const { return page_->Preview()->GetPosition(); }

    TempDir dir_;
    CUIPropPage* page_ = nullptr; // the sheet's: it goes when the sheet lets it go
    HWND sheet_ = nullptr;
    kadrix::UserMessageHandler previous_ = nullptr;
};

TEST_F(ThumbnailPage, OpensWithItsControlsInARowAndTheFirstFramePaused)
{
    Open(CopyClip(dir_, L"mjpeg.avi"));
    ASSERT_EQ(page_->Preview()->State(), S_OK);

    RECT preview{};
    ::GetClientRect(Control(IDC_PREVIEW), &preview);
    const RECT slider = RectInPage(IDC_SLIDER);
    EXPECT_EQ(slider.left, 0);
    EXPECT_EQ(slider.top, 201);
    EXPECT_EQ(slider.right - slider.left, preview.right);
    EXPECT_EQ(slider.bottom - slider.top, 12);
    const int left = (preview.right - 200) / 2;
    const int row[] = {IDC_STEP_BACK, IDC_STOP, IDC_PLAY, IDC_STEP_FORWARD, IDC_STORE};
    for (int i = 0; i < 5; ++i) {
        const RECT button = RectInPage(row[i]);
        EXPECT_EQ(button.left, left + 40 * i) << row[i];
        EXPECT_EQ(button.top, 220) << row[i];
        EXPECT_EQ(button.right - button.left, 40) << row[i];
        EXPECT_EQ(button.bottom - button.top, 37) << row[i];
        EXPECT_EQ(::IsWindowEnabled(Control(row[i])) != FALSE, row[i] != IDC_STOP) << row[i];
    }
    EXPECT_EQ(page_->PlayFace(), static_cast<UINT>(IDB_PLAY));

    Pump(650); // the first tick pauses the graph
    EXPECT_EQ(State(), 2);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(page_->Slider().Range(), page_->Preview()->GetDuration());
    Screenshot(L"tabliq-opened.png");
}

TEST_F(ThumbnailPage, ButtonsAndSliderDriveThePreview)
{
    Open(CopyClip(dir_, L"mjpeg.avi"));
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    Pump(650);

    Click(IDC_PLAY);
    EXPECT_EQ(State(), 1);
    EXPECT_EQ(page_->PlayFace(), static_cast<UINT>(IDB_PAUSE));
    EXPECT_TRUE(::IsWindowEnabled(Control(IDC_STOP)));
    Pump(300);
    Screenshot(L"tabliq-playing.png");
    Click(IDC_PLAY);
    EXPECT_EQ(State(), 2);
    EXPECT_EQ(page_->PlayFace(), static_cast<UINT>(IDB_PLAY));

    // Stopped and rewound; the next tick shows the first frame, paused.
    Click(IDC_STOP);
    EXPECT_EQ(Position(), 0);
    Pump(600);
    EXPECT_EQ(State(), 2);

    // One frame forward, a double click two more, one back.
    Click(IDC_STEP_FORWARD);
    EXPECT_NEAR(Position(), kFrame, kFrame / 4);
    Click(IDC_STEP_FORWARD, 20, 18, true);
    EXPECT_NEAR(Position(), 3 * kFrame, kFrame / 4);
    Click(IDC_STEP_BACK);
    EXPECT_NEAR(Position(), 2 * kFrame, kFrame / 4);

    // The middle of the slider's travel is the middle of the clip.
    RECT slider{};
    ::GetClientRect(Control(IDC_SLIDER), &slider);
    const int middle = 5 + (slider.right - 12) / 2;
    Click(IDC_SLIDER, middle, 6);
    const kadrix::ReferenceTime duration = page_->Preview()->GetDuration();
    EXPECT_NEAR(Position(), duration / 2, duration / 50);
    EXPECT_NEAR(page_->Slider().Position(), duration / 2, duration / 50);
}

TEST_F(ThumbnailPage, AClipPlayedToItsEndShowsItsFirstFramePaused)
{
    Open(CopyClip(dir_, L"mjpeg.avi"));
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    Pump(650);
    ASSERT_EQ(page_->Preview()->SetPosition(page_->Preview()->GetDuration() - kSecond / 2), S_OK);
    Click(IDC_PLAY);
    EXPECT_EQ(page_->PlayFace(), static_cast<UINT>(IDB_PAUSE));
    Pump(500 + 500 + 600); // the rest of the clip, a tick, and one more
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(State(), 2);
    EXPECT_EQ(page_->PlayFace(), static_cast<UINT>(IDB_PLAY));
}

TEST_F(ThumbnailPage, StoreKeepsTheShownFrameAsTheUserChosenThumbnail)
{
    const std::wstring clip = CopyClip(dir_, L"mjpeg.avi");
    Open(clip);
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    Pump(650);
    const std::wstring chosen = kadrix::StreamPath(clip, kadrix::kUserThumbStream);

    ShellWatch shell(dir_.path());
    for (int segment : {2, 6}) {
        ASSERT_EQ(page_->Preview()->SetPosition(segment * kSecond + kSecond / 2), S_OK);
        Click(IDC_STORE);
        Pump(100);
        EXPECT_EQ(shell.Updated(), std::vector<std::wstring>{clip}) << "Explorer was not told";
        EXPECT_TRUE(page_->Tips().Showing()) << "the camera's tip says nothing";
        const Picture frame = LoadPicture(chosen);
        ASSERT_FALSE(frame.empty()) << "nothing stored at " << segment;
        EXPECT_EQ(frame.width, kClipWidth);
        EXPECT_EQ(frame.height, kClipHeight);
        EXPECT_EQ(SegmentOf(frame), segment);
    }
    EXPECT_FALSE(FileExists(kadrix::StreamPath(clip, kadrix::kAutoThumbStream)));
    EXPECT_FALSE(FileExists(kadrix::StreamPath(clip, kadrix::kStampStream)));
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(State(), 2); // the preview went on as it was
}

TEST_F(ThumbnailPage, ADeniedStoreIsReportedOnceOverTheDialog)
{
    // A folder in the stream's place (the file system refuses the write), and
    // the stream held open by another program with no sharing.
    for (const bool locked : {false, true}) {
        const TempDir folder;
        const std::wstring clip = CopyClip(folder, L"mjpeg.avi");
        const std::wstring chosen = kadrix::StreamPath(clip, kadrix::kUserThumbStream);
        std::unique_ptr<FileLockedByChild> holder;
        if (locked) {
            holder = std::make_unique<FileLockedByChild>(chosen);
            ASSERT_TRUE(holder->locked());
        } else {
            ASSERT_TRUE(::CreateDirectoryW(chosen.c_str(), nullptr));
        }
        g_messages.clear();
        Open(clip);
        ASSERT_EQ(page_->Preview()->State(), S_OK);
        Click(IDC_STORE);
        ASSERT_EQ(g_messages.size(), 1u) << (locked ? "locked" : "denied");
        EXPECT_EQ(g_messages[0].text, L"Can't write thumbnail image. Access denied.");
        EXPECT_EQ(g_messages[0].caption, L"Error");
        EXPECT_EQ(g_messages[0].owner, sheet_);
        EXPECT_FALSE(page_->Tips().Showing()) << "nothing was kept";
        Close();
        holder.reset();
        ::RemoveDirectoryW(chosen.c_str());
        ::DeleteFileW(chosen.c_str());
    }
}

TEST_F(ThumbnailPage, AClipThatCantBeShownLeavesTheErrorAndNoControl)
{
    const std::wstring stall = MediaClip(L"stall.avi"); // a pipe nobody writes to
    for (const std::wstring& clip :
         {CopyClip(dir_, L"text.avi"), CopyClip(dir_, L"cut-frame.avi"), stall}) {
        const ULONGLONG start = ::GetTickCount64();
        Open(clip);
        EXPECT_LT(::GetTickCount64() - start, 9000u + 1000u) << "the deadline passed unnoticed";
        // The dialog answered all along; it shows the error and nothing to press.
        ExpectErrorShown();
        if (clip == stall)
            Screenshot(L"tabliq-error.png");
        Close();
    }
    // The stalled player ends once the platform lets it go: a writer opens
    // and closes the pipe.
    kadrix::unique_file writer(
        ::CreateFileW(stall.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    writer.reset();
    const ULONGLONG give = ::GetTickCount64() + 5000;
    while (kadrix::LivePreviewPlayers() > 0 && ::GetTickCount64() < give)
        Pump(50);
    EXPECT_EQ(kadrix::LivePreviewPlayers(), 0);
}

TEST_F(ThumbnailPage, TheKeyboardReachesEveryControlAndDrivesThePreview)
{
    Open(CopyClip(dir_, L"mjpeg.avi"));
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    Pump(650);

    // Space on play starts the clip, Enter pauses it.
    Key(IDC_PLAY, VK_SPACE);
    EXPECT_EQ(State(), 1);
    Key(IDC_PLAY, VK_RETURN);
    EXPECT_EQ(State(), 2);
    EXPECT_TRUE(::IsWindow(sheet_)) << "Enter closed the dialog";

    // Tab: the slider, then the row from left to right.
    HWND at = Control(IDC_SLIDER);
    for (int id : {IDC_STEP_BACK, IDC_STOP, IDC_PLAY, IDC_STEP_FORWARD, IDC_STORE, IDC_SLIDER}) {
        at = ::GetNextDlgTabItem(page_->hwnd(), at, FALSE);
        EXPECT_EQ(at, Control(id)) << "after it comes " << ::GetDlgCtrlID(at);
    }

    // The focused button draws a rectangle inside its face, once the
    // keyboard has been used.
    ::SendMessageW(sheet_, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    const auto shot = [&](int id) {
        ::RedrawWindow(Control(id), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Pump(50);
        return PictureFromBitmap(kadrix::CaptureClientArea(Control(id)).get());
    };
    ::SetFocus(Control(IDC_SLIDER));
    const Picture plain = shot(IDC_STOP);
    ::SetFocus(Control(IDC_STOP));
    const Picture focused = shot(IDC_STOP);
    ASSERT_EQ(plain.pixels.size(), focused.pixels.size());
    int onOutline = 0, elsewhere = 0;
    for (int y = 0; y < plain.height; ++y)
        for (int x = 0; x < plain.width; ++x) {
            if (plain.pixels[y * plain.width + x] == focused.pixels[y * plain.width + x])
                continue;
            const bool outline = ((x == 3 || x == plain.width - 4) && y >= 3 && y < plain.height - 3) ||
                                 ((y == 3 || y == plain.height - 4) && x >= 3 && x < plain.width - 3);
            ++(outline ? onOutline : elsewhere);
        }
    EXPECT_GT(onOutline, 20) << "no focus rectangle";
    EXPECT_EQ(elsewhere, 0);

    // The slider: a frame forward, 10 % of the clip further, the end, the start.
    const kadrix::ReferenceTime duration = page_->Preview()->GetDuration();
    ASSERT_EQ(page_->Preview()->SetPosition(2 * kSecond), S_OK);
    page_->Poll();
    Key(IDC_SLIDER, VK_RIGHT);
    EXPECT_NEAR(Position(), 2 * kSecond + kFrame, kFrame / 4);
    Key(IDC_SLIDER, VK_NEXT);
    EXPECT_NEAR(Position(), 2 * kSecond + kFrame + duration / 10, kFrame);
    EXPECT_TRUE(page_->Tips().Showing()) << "the position is not shown";
    Key(IDC_SLIDER, VK_END);
    EXPECT_NEAR(Position(), duration, kSecond / 2);
    Key(IDC_SLIDER, VK_HOME);
    EXPECT_EQ(Position(), 0);
}

TEST_F(ThumbnailPage, ScreenReadersAndTipsNameEveryControl)
{
    Open(CopyClip(dir_, L"mjpeg.avi"));
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    const auto name = [&](int id) {
        kadrix::com_ptr<IAccessible> object;
        const HRESULT made = ::AccessibleObjectFromWindow(Control(id), OBJID_CLIENT,
                                                           __uuidof(IAccessible),
                                                           reinterpret_cast<void**>(object.put()));
        if (FAILED(made))
            return L"(none: " + std::to_wstring(made) + L")";
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR text = nullptr;
        std::wstring found = SUCCEEDED(object->get_accName(self, &text)) && text ? text : L"";
        ::SysFreeString(text);
        return found;
    };
    const std::pair<int, const wchar_t*> names[] = {
        {IDC_STEP_BACK, L"Previous frame"}, {IDC_STOP, L"Stop"},
        {IDC_PLAY, L"Play"},                {IDC_STEP_FORWARD, L"Next frame"},
        {IDC_STORE, L"Use this frame as the thumbnail"}, {IDC_SLIDER, L"Position"}};
    for (const auto& [id, expected] : names) {
        EXPECT_EQ(name(id), expected) << id;
        EXPECT_EQ(page_->Tips().Text(Control(id)), expected) << id;
    }
    Click(IDC_PLAY);
    EXPECT_EQ(name(IDC_PLAY), L"Pause");
    EXPECT_EQ(page_->Tips().Text(Control(IDC_PLAY)), L"Pause");
}

TEST_F(ThumbnailPage, InHighContrastTheControlsDrawInTheSystemColours)
{
    Open(CopyClip(dir_, L"mjpeg.avi"));
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    kadrix::winui::OverrideHighContrastForTests(1);
    ::SendMessageW(page_->hwnd(), WM_SYSCOLORCHANGE, 0, 0);
    Pump(100);
    const auto colour = [](int index) {
        const COLORREF c = ::GetSysColor(index);
        return Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
    };
    // The stop button is disabled until the clip plays: grey text on the face.
    const Picture stop = PictureFromBitmap(kadrix::CaptureClientArea(Control(IDC_STOP)).get());
    const Picture play = PictureFromBitmap(kadrix::CaptureClientArea(Control(IDC_PLAY)).get());
    for (const Picture* face : {&stop, &play}) {
        EXPECT_TRUE(Near(face->at(0, 0), colour(COLOR_BTNTEXT), 0)) << "the frame";
        EXPECT_TRUE(Near(face->at(4, 4), colour(COLOR_BTNFACE), 0)) << "the face";
    }
    EXPECT_TRUE(Near(stop.at(stop.width / 2, stop.height / 2), colour(COLOR_GRAYTEXT), 0));
    EXPECT_TRUE(Near(play.at(play.width / 2, play.height / 2), colour(COLOR_BTNTEXT), 0));
    const Picture slider = PictureFromBitmap(kadrix::CaptureClientArea(Control(IDC_SLIDER)).get());
    EXPECT_TRUE(Near(slider.at(slider.width / 2, 5), colour(COLOR_BTNFACE), 0));
    EXPECT_TRUE(Near(slider.at(4, 5), colour(COLOR_HIGHLIGHT), 0)) << "the thumb at the start";
}

TEST_F(ThumbnailPage, AStallAfterTheOpenShowsTheErrorAndNoPicture)
{
    Open(CopyClip(dir_, L"mjpeg.avi"));
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    Pump(650);
    // From now on every call of the player takes longer than the page waits.
    kadrix::DelayPreviewPlayersForTests(0, kadrix::kPreviewCallWaitMs + 500);
    RECT slider{};
    ::GetClientRect(Control(IDC_SLIDER), &slider);
    Click(IDC_SLIDER, slider.right / 2, 6);
    Pump(600); // the next poll finds the player stalled
    ExpectErrorShown();
}

TEST_F(ThumbnailPage, AnOpenPastTheDeadlineNeverShowsAPictureAndLetsTheFileGo)
{
    const std::wstring clip = CopyClip(dir_, L"mjpeg.avi");
    kadrix::DelayPreviewPlayersForTests(kadrix::kCaptureDeadlineMs + 1500, 0);
    Open(clip);
    EXPECT_EQ(page_->Preview(), nullptr) << "the player was not let go at the deadline";
    ExpectErrorShown();
    // The open succeeds after all, on the player's thread; it closes the clip.
    const ULONGLONG give = ::GetTickCount64() + 10000;
    while (kadrix::LivePreviewPlayers() > 0 && ::GetTickCount64() < give)
        Pump(100);
    EXPECT_EQ(kadrix::LivePreviewPlayers(), 0);
    EXPECT_FALSE(VideoShown());
    EXPECT_TRUE(::DeleteFileW(clip.c_str())) << "the clip is still held";
}

TEST_F(ThumbnailPage, DraggingTheSliderNeverWaitsForTheSeeks)
{
    Open(CopyClip(dir_, L"mjpeg.avi"));
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    Pump(650);
    kadrix::DelayPreviewPlayersForTests(0, 200); // a slow clip: each seek a fifth of a second
    RECT slider{};
    ::GetClientRect(Control(IDC_SLIDER), &slider);
    const HWND control = Control(IDC_SLIDER);
    const ULONGLONG start = ::GetTickCount64();
    ::SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 6));
    for (int i = 0; i < 50; ++i)
        ::SendMessageW(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10 + i * 4, 6));
    ::SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(10 + 49 * 4, 6));
    EXPECT_LT(::GetTickCount64() - start, kadrix::kPreviewCallWaitMs) << "the drag waited";
    kadrix::DelayPreviewPlayersForTests(0, 0);
    // The latest position asked for is where the preview ends up.
    EXPECT_EQ(Position(), page_->Slider().Position());
    EXPECT_EQ(page_->Preview()->State(), S_OK);
}

TEST_F(ThumbnailPage, AReadOnlyClipCantKeepAFrameAndSaysWhy)
{
    const std::wstring clip = CopyClip(dir_, L"mjpeg.avi");
    ASSERT_TRUE(::SetFileAttributesW(clip.c_str(), FILE_ATTRIBUTE_READONLY));
    Open(clip);
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    EXPECT_FALSE(::IsWindowEnabled(Control(IDC_STORE)));
    EXPECT_TRUE(::IsWindowEnabled(Control(IDC_PLAY)));
    EXPECT_EQ(page_->Tips().Text(Control(IDC_STORE)), L"The file is read-only");
    Close();
    ::SetFileAttributesW(clip.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// At the DPI the process was started at (96 in the run of the whole suite;
// 120, 144 and 192 in the runs below): preview, slider and buttons all on the
// page, overlapping nowhere, at their scaled sizes and drawn from the
// artwork of the scaling.
TEST_F(ThumbnailPage, LaysItselfOutAtItsDisplayScaling)
{
    const int dpi = RequestedDpi();
    const kadrix::winui::DpiScale scale(dpi);
    Open(CopyClip(dir_, L"mjpeg.avi"));
    ASSERT_EQ(page_->Preview()->State(), S_OK);
    ASSERT_EQ(kadrix::winui::WindowDpi(page_->hwnd()), dpi);
    Pump(650);

    RECT page{};
    ::GetClientRect(page_->hwnd(), &page);
    const RECT preview = RectInPage(IDC_PREVIEW);
    const RECT slider = RectInPage(IDC_SLIDER);
    EXPECT_EQ(slider.left, preview.left);
    EXPECT_EQ(slider.right, preview.right);
    EXPECT_EQ(slider.bottom - slider.top, scale(12));
    EXPECT_GE(slider.top, preview.bottom) << "the slider covers the preview";
    const int row[] = {IDC_STEP_BACK, IDC_STOP, IDC_PLAY, IDC_STEP_FORWARD, IDC_STORE};
    const int width = scale(40);
    const int left = preview.left + (preview.right - preview.left - 5 * width) / 2;
    std::vector<RECT> shown = {preview, slider};
    for (int i = 0; i < 5; ++i) {
        const RECT button = RectInPage(row[i]);
        EXPECT_EQ(button.left, left + width * i) << row[i];
        EXPECT_EQ(button.right - button.left, width) << row[i];
        EXPECT_EQ(button.bottom - button.top, scale(37)) << row[i];
        EXPECT_GE(button.top, slider.bottom) << row[i] << " covers the slider";
        shown.push_back(button);
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        RECT within{};
        EXPECT_TRUE(::IntersectRect(&within, &shown[i], &page) && ::EqualRect(&within, &shown[i]))
            << "control " << i << " leaves the page";
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(::IntersectRect(&within, &shown[i], &shown[j]))
                << "controls " << i << " and " << j << " overlap";
    }

    // The play button shows the normal face of its scaling's strip, unstretched.
    const int artScale = kadrix::tabliq::ArtScaleFor(scale.percent());
    const kadrix::unique_hbitmap strip(::LoadBitmapW(
        ::GetModuleHandleW(nullptr),
        MAKEINTRESOURCEW(kadrix::tabliq::ArtResourceId(IDB_PLAY, artScale))));
    const Picture face = PictureFromBitmap(strip.get());
    const Picture drawn = PictureFromBitmap(kadrix::CaptureClientArea(Control(IDC_PLAY)).get());
    ASSERT_EQ(face.width, 4 * width + 3) << "the strip of the scaling";
    ASSERT_EQ(drawn.width, width);
    int differing = 0;
    for (int y = 0; y < drawn.height; ++y)
        for (int x = 0; x < drawn.width; ++x)
            differing += (drawn.pixels[y * drawn.width + x] & 0xFFFFFF) !=
                         (face.pixels[y * face.width + x] & 0xFFFFFF);
    EXPECT_EQ(differing, 0) << "pixels of the play button that are not its face";

    // The middle of the slider's scaled travel is the middle of the clip.
    const kadrix::tabliq::SliderMetrics metrics = page_->Slider().Metrics();
    const int middle = metrics.edge + (slider.right - slider.left - metrics.travelInset) / 2;
    Click(IDC_SLIDER, middle, scale(6));
    const kadrix::ReferenceTime duration = page_->Preview()->GetDuration();
    EXPECT_NEAR(Position(), duration / 2, duration / 50);
    if (dpi == 144)
        Screenshot(L"tabliq-opened-150.png");
}

TEST(ThumbnailPageScalings, AtEveryDisplayScalingThePageLaysItselfOut)
{
    for (const int dpi : {120, 144, 192}) {
        const ScaledRun run =
            RunAtDisplayScaling(dpi, L"ThumbnailPage.LaysItselfOutAtItsDisplayScaling");
        EXPECT_TRUE(run.passed) << "at " << dpi << " DPI:\n" << run.output;
    }
}

} // namespace
