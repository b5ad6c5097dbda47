#include "property_sheet/ui_prop_page.h"

#include "engine/capture/capture_job.h"
#include "engine/store/stream_store.h"
#include "engine/store/user_message.h"
#include "property_sheet/resource.h"

#include <shlobj.h>

#include <algorithm>
#include <initializer_list>

namespace kadrix {

namespace {

// The poll of a ready page: the play face after the end of the clip, and
// the slider.
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 500;
// While the clip opens on the player's thread, the page looks more often.
constexpr UINT_PTR kOpeningTimer = 2;
constexpr UINT kOpeningMs = 50;
// How long the camera button's tip says that the frame was kept.
constexpr UINT_PTR kKeptTimer = 3;
constexpr UINT kKeptMs = 4000;

// The controls' lengths at 96 DPI, scaled at any other.
constexpr int kButtonWidth = 40;
constexpr int kButtonHeight = 37;
constexpr int kButtonRow = 220;
constexpr int kSliderTop = 201;
constexpr int kSliderHeight = 12;

constexpr wchar_t kVideoError[] = L"Error. Unable to load video file";
constexpr wchar_t kNotOnThisComputer[] =
    L"This video is kept online only: it is not on this computer.";

// What the controls are called, for screen readers (their window text) and
// in their tips.
constexpr wchar_t kStepBackName[] = L"Previous frame";
constexpr wchar_t kStopName[] = L"Stop";
constexpr wchar_t kPlayName[] = L"Play";
constexpr wchar_t kPauseName[] = L"Pause";
constexpr wchar_t kStepForwardName[] = L"Next frame";
constexpr wchar_t kStoreName[] = L"Use this frame as the thumbnail";
constexpr wchar_t kSliderName[] = L"Position";
constexpr wchar_t kKept[] = L"Kept: Explorer now shows this frame for the video";
constexpr wchar_t kNoNamedStreams[] = L"This drive can't keep thumbnails inside files";
constexpr wchar_t kReadOnly[] = L"The file is read-only";

} // namespace

CUIPropPage::CUIPropPage() : CGenericPage(IDD_THUMBNAIL_PAGE, TRUE) {}

BOOL CUIPropPage::OnInitDialog()
{
    Bind(previewArea_, IDC_PREVIEW);
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

    (void)tips_.Create(hwnd());
    slider_.tips = &tips_;
    slider_.step = [this](bool forward) { Step(forward); };
    Name(stepBack_, kStepBackName);
    Name(stop_, kStopName);
    Name(stepForward_, kStepForwardName);
    Name(store_, kStoreName);
    Name(slider_, kSliderName);

    PlaceControls();
    stop_.SetEnabled(false);
    SetPlayFace(IDB_PLAY);
    (void)stop_.LoadBitmaps(IDB_STOP);
    (void)stepBack_.LoadBitmaps(IDB_STEP_BACK);
    (void)stepForward_.LoadBitmaps(IDB_STEP_FORWARD);
    (void)store_.LoadBitmaps(IDB_STORE);

    // A clip whose data is only online is not opened: opening it would
    // download the whole video.
    if (Path() && IsRemoteData(Path())) {
        ShowVideoError(kNotOnThisComputer);
        return TRUE;
    }
    // Where the frame can't be kept, the camera says why instead.
    switch (Path() ? RoomForUserStream(Path()) : StreamRoom::Kept) {
    case StreamRoom::NoNamedStreams:
        storeRefusal_ = kNoNamedStreams;
        break;
    case StreamRoom::ReadOnly:
        storeRefusal_ = kReadOnly;
        break;
    case StreamRoom::Kept:
        break;
    }
    if (storeRefusal_)
        tips_.SetText(store_.hwnd(), storeRefusal_);

    // The clip opens on a thread of the player's: a file that stalls the
    // platform's filters leaves the dialog answering. Until it has opened
    // there is nothing to play or store.
    preview_ = Path() ? PreviewPlayer::Open(previewArea_.hwnd(), Path()) : nullptr;
    if (!preview_) {
        ShowVideoError(kVideoError);
        return TRUE;
    }
    EnableControls(false);
    openingSince_ = ::GetTickCount64();
    ::SetTimer(hwnd(), kOpeningTimer, kOpeningMs, nullptr);
    return TRUE;
}

void CUIPropPage::Name(winui::Control& control, const wchar_t* name)
{
    control.SetText(name);
    tips_.SetText(control.hwnd(), name);
}

void CUIPropPage::EnableControls(bool enabled)
{
    for (winui::Control* control :
         std::initializer_list<winui::Control*>{&play_, &stepBack_, &stepForward_, &slider_})
        control->SetEnabled(enabled);
    store_.SetEnabled(enabled && !storeRefusal_);
}

// The slider below the preview area, as wide as it; the five buttons in one
// row of 200 pixels centred under it (at 96 DPI: the slider at y 201, the
// row at 220). The template's preview area grows with the dialog font, the
// pixel lengths with the page's DPI: the slider sits at the preview area's
// bottom edge if that lies lower, so neither ever covers the other.
void CUIPropPage::PlaceControls()
{
    const winui::DpiScale scale = Scale();
    RECT area{};
    ::GetClientRect(previewArea_.hwnd(), &area);
    const int width = area.right - area.left;
    RECT areaInPage = area;
    ::MapWindowPoints(previewArea_.hwnd(), hwnd(), reinterpret_cast<POINT*>(&areaInPage), 2);
    const int sliderTop = std::max<int>(scale(kSliderTop), areaInPage.bottom);
    ::SetWindowPos(slider_.hwnd(), HWND_TOP, 0, sliderTop, width, scale(kSliderHeight),
                   SWP_SHOWWINDOW);
    const int buttonWidth = scale(kButtonWidth);
    const int rowTop = sliderTop + scale(kButtonRow - kSliderTop);
    int x = area.left + (width - 5 * buttonWidth) / 2;
    // Each control after the one before, so Tab goes from the slider along
    // the row from left to right.
    HWND before = slider_.hwnd();
    for (CSkinButton* button : {&stepBack_, &stop_, &play_, &stepForward_, &store_}) {
        ::SetWindowPos(button->hwnd(), before, x, rowTop, buttonWidth, scale(kButtonHeight),
                       SWP_SHOWWINDOW);
        before = button->hwnd();
        x += buttonWidth;
    }
    tips_.Follow();
}

void CUIPropPage::OnDpiChanged()
{
    // The buttons and the slider take their new artwork themselves. The
    // dialog manager has given the preview area its new size; the video
    // window in it follows, asked without waiting: it belongs to the player's
    // thread, which may be busy.
    PlaceControls();
    RECT area{};
    ::GetClientRect(previewArea_.hwnd(), &area);
    for (HWND video = ::GetWindow(previewArea_.hwnd(), GW_CHILD); video;
         video = ::GetWindow(video, GW_HWNDNEXT))
        ::SetWindowPos(video, nullptr, 0, 0, area.right, area.bottom,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

void CUIPropPage::WatchOpening()
{
    const HRESULT state = preview_ ? preview_->State() : E_FAIL;
    if (state == S_FALSE && ::GetTickCount64() - openingSince_ < kCaptureDeadlineMs)
        return;
    ::KillTimer(hwnd(), kOpeningTimer);
    if (state != S_OK) {
        // Failed, or still not open after the capture deadline: the player
        // goes now, so an open that succeeds later never shows a picture or
        // holds the file (its thread closes the clip as soon as the platform
        // lets it go).
        ShowVideoError(kVideoError);
        preview_.reset();
        return;
    }
    EnableControls(true);
    slider_.video = preview_.get();
    ::SetTimer(hwnd(), kPollTimer, kPollMs, nullptr);
    slider_.SetRange(preview_->GetDuration());
    CheckPreview();
}

// The error state: nothing to press, no picture, and the reason where the
// picture was. The video window belongs to the player's thread, which may be
// stuck: it is hidden without waiting for that thread.
void CUIPropPage::ShowVideoError(const wchar_t* text)
{
    failed_ = true;
    slider_.video = nullptr;
    ::KillTimer(hwnd(), kPollTimer);
    ::KillTimer(hwnd(), kOpeningTimer);
    tips_.Hide();
    for (HWND video = ::GetWindow(previewArea_.hwnd(), GW_CHILD); video;
         video = ::GetWindow(video, GW_HWNDNEXT))
        ::ShowWindowAsync(video, SW_HIDE);
    previewArea_.SetText(text);
    ::InvalidateRect(previewArea_.hwnd(), nullptr, TRUE);
    stop_.SetEnabled(false);
    EnableControls(false);
}

// After every call into the player: one that failed or stalled leaves the page
// in the error state rather than with controls that do nothing.
bool CUIPropPage::CheckPreview()
{
    if (preview_ && preview_->State() == S_OK)
        return true;
    if (!failed_)
        ShowVideoError(kVideoError);
    return false;
}

void CUIPropPage::SetPlayFace(UINT face)
{
    if (play_.LoadBitmaps(face))
        playFace_ = face;
    // The button's name follows its face.
    Name(play_, playFace_ == IDB_PAUSE ? kPauseName : kPlayName);
}

void CUIPropPage::ShowPlayFace()
{
    SetPlayFace(IDB_PLAY);
    ::InvalidateRect(play_.hwnd(), nullptr, TRUE);
}

bool CUIPropPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kOpeningTimer) {
            WatchOpening();
        } else if (wParam == kKeptTimer) {
            ::KillTimer(hwnd(), kKeptTimer);
            tips_.Hide();
        } else {
            Poll();
        }
        result = 0;
        return true;
    case WM_NOTIFY: {
        const auto* notice = reinterpret_cast<const PSHNOTIFY*>(lParam);
        // Another tab: the clip pauses (its sound would go on otherwise). The
        // sheet closing: the graph stops before the dialog goes.
        if (notice->hdr.code == PSN_KILLACTIVE)
            PauseForLeaving();
        else if (notice->hdr.code == PSN_RESET ||
                 (notice->hdr.code == PSN_APPLY && notice->lParam))
            StopForClosing();
        return false; // the sheet's own answer: leaving and closing are allowed
    }
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        // High contrast switched on or off: the controls draw anew.
        ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        return false;
    case WM_DESTROY:
        ::KillTimer(hwnd(), kPollTimer);
        ::KillTimer(hwnd(), kOpeningTimer);
        ::KillTimer(hwnd(), kKeptTimer);
        slider_.video = nullptr;
        slider_.tips = nullptr;
        // The preview's window goes while its host still exists.
        preview_.reset();
        return false;
    default:
        return false;
    }
}

void CUIPropPage::PauseForLeaving()
{
    if (!preview_ || failed_ || preview_->State() != S_OK || preview_->GetPlayState() != 1)
        return;
    (void)preview_->Pause();
    SetPlayFace(IDB_PLAY);
    ::InvalidateRect(play_.hwnd(), nullptr, TRUE);
    CheckPreview();
}

void CUIPropPage::StopForClosing()
{
    if (preview_ && !failed_ && preview_->State() == S_OK)
        (void)preview_->StopAndRewind();
}

void CUIPropPage::OnControlEvent(winui::Control& sender, winui::Event event, bool&)
{
    if (event != winui::Event::Click)
        return;
    switch (sender.id()) {
    case IDC_PLAY:
        PlayPause();
        break;
    case IDC_STOP:
        Stop();
        break;
    case IDC_STEP_FORWARD:
        Step(true);
        break;
    case IDC_STEP_BACK:
        Step(false);
        break;
    case IDC_STORE:
        StoreThumbnail();
        break;
    default:
        break;
    }
}

void CUIPropPage::PlayPause()
{
    if (!CheckPreview())
        return;
    const int state = preview_->GetPlayState();
    if (state == 2 || state == 0) {
        (void)preview_->Play();
        SetPlayFace(IDB_PAUSE);
        stop_.SetEnabled(true);
    } else if (state == 1) {
        (void)preview_->Pause();
        SetPlayFace(IDB_PLAY);
    }
    ::InvalidateRect(play_.hwnd(), nullptr, TRUE);
    CheckPreview();
}

void CUIPropPage::Stop()
{
    if (!CheckPreview())
        return;
    (void)preview_->StopAndRewind();
    ShowPlayFace();
    CheckPreview();
}

void CUIPropPage::Step(bool forward)
{
    if (!CheckPreview())
        return;
    (void)(forward ? preview_->StepForward() : preview_->StepBackward());
    ShowPlayFace();
    // The slider shows where the step went.
    const ReferenceTime position = preview_->GetPosition();
    if (CheckPreview())
        slider_.SetPos(position);
}

void CUIPropPage::Poll()
{
    if (!CheckPreview())
        return;
    // Stopped, also right after the end of the clip: the first frame shows,
    // paused.
    if (preview_->GetPlayState() == 0) {
        (void)preview_->Pause();
        ShowPlayFace();
    }
    const ReferenceTime position = preview_->GetPosition();
    if (CheckPreview())
        slider_.SetPos(position);
}

// The frame at the preview's position, grabbed by a graph of its own at the
// clip's native size, as the user-chosen thumbnail. A grab that fails or
// does not come in time stores nothing; the automatic thumbnail and its
// stamp are left as they are. A frame kept is told to the shell, so Explorer
// draws the new tile, and to the user, on the camera's tip.
void CUIPropPage::StoreThumbnail()
{
    if (storing_ || storeRefusal_ || !Path() || !CheckPreview())
        return;
    storing_ = true;
    const ReferenceTime position = preview_->GetPosition();
    unique_hbitmap frame;
    // The page's handlers must not run while it waits (one could close the
    // dialog under it): only what other threads send is answered.
    const HRESULT grabbed = GrabFrameJob(Path(), FramePosition::At(position), kCaptureDeadlineMs,
                                         &frame, CallerWait::SentMessagesOnly);
    const HRESULT saved = grabbed == S_OK ? SaveThumbnailStream(Path(), frame.get(), 1) : grabbed;
    if (saved == S_OK) {
        ::SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, Path(), nullptr);
        tips_.Show(store_.hwnd(), kKept);
        ::SetTimer(hwnd(), kKeptTimer, kKeptMs, nullptr);
    } else if (saved == E_ACCESSDENIED) {
        ShowUserMessage(kAccessDeniedText, kAccessDeniedCaption, ::GetParent(hwnd()));
    }
    storing_ = false;
}

} // namespace kadrix
