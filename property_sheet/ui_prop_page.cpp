#include "property_sheet/ui_prop_page.h"

#include "engine/capture_job.h"
#include "engine/stream_store.h"
#include "engine/user_message.h"
#include "property_sheet/resource.h"

#include <algorithm>

namespace {

// The poll of a ready page: the play face after the end of the clip, and
// the slider.
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 500;
// While the clip opens on the player's thread, the page looks more often.
constexpr UINT_PTR kOpeningTimer = 2;
constexpr UINT kOpeningMs = 50;

// The controls' lengths at 96 DPI, scaled at any other.
constexpr int kButtonWidth = 40;
constexpr int kButtonHeight = 37;
constexpr int kButtonRow = 220;
constexpr int kSliderTop = 201;
constexpr int kSliderHeight = 12;

constexpr wchar_t kVideoError[] = L"Error. Unable to load video file";

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

    PlaceControls();
    stop_.SetEnabled(false);
    SetPlayFace(IDB_PLAY);
    (void)stop_.LoadBitmaps(IDB_STOP);
    (void)stepBack_.LoadBitmaps(IDB_STEP_BACK);
    (void)stepForward_.LoadBitmaps(IDB_STEP_FORWARD);
    (void)store_.LoadBitmaps(IDB_STORE);

    // The clip opens on a thread of the player's: a file that stalls the
    // platform's filters leaves the dialog answering. Until it has opened
    // there is nothing to play or store.
    preview_ = Path() ? kadrix::PreviewPlayer::Open(previewArea_.hwnd(), Path()) : nullptr;
    if (!preview_) {
        ShowVideoError();
        return TRUE;
    }
    for (kadrix::winui::Control* control : {static_cast<kadrix::winui::Control*>(&play_),
                                            static_cast<kadrix::winui::Control*>(&stepBack_),
                                            static_cast<kadrix::winui::Control*>(&stepForward_),
                                            static_cast<kadrix::winui::Control*>(&store_),
                                            static_cast<kadrix::winui::Control*>(&slider_)})
        control->SetEnabled(false);
    openingSince_ = ::GetTickCount64();
    ::SetTimer(hwnd(), kOpeningTimer, kOpeningMs, nullptr);
    return TRUE;
}

// The slider below the preview area, as wide as it; the five buttons in one
// row of 200 pixels centred under it (at 96 DPI: the slider at y 201, the
// row at 220). The template's preview area grows with the dialog font, the
// pixel lengths with the page's DPI: the slider sits at the preview area's
// bottom edge if that lies lower, so neither ever covers the other.
void CUIPropPage::PlaceControls()
{
    const kadrix::winui::DpiScale scale = Scale();
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
    for (CSkinButton* button : {&stepBack_, &stop_, &play_, &stepForward_, &store_}) {
        ::SetWindowPos(button->hwnd(), HWND_TOP, x, rowTop, buttonWidth, scale(kButtonHeight),
                       SWP_SHOWWINDOW);
        x += buttonWidth;
    }
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
    if (state == S_FALSE && ::GetTickCount64() - openingSince_ < kadrix::kCaptureDeadlineMs)
        return;
    ::KillTimer(hwnd(), kOpeningTimer);
    if (state != S_OK) {
        // Failed, or still not open after the capture deadline: the player is
        // left to give up on its own thread.
        ShowVideoError();
        return;
    }
    for (kadrix::winui::Control* control : {static_cast<kadrix::winui::Control*>(&play_),
                                            static_cast<kadrix::winui::Control*>(&stepBack_),
                                            static_cast<kadrix::winui::Control*>(&stepForward_),
                                            static_cast<kadrix::winui::Control*>(&store_),
                                            static_cast<kadrix::winui::Control*>(&slider_)})
        control->SetEnabled(true);
    slider_.video = preview_.get();
    ::SetTimer(hwnd(), kPollTimer, kPollMs, nullptr);
    slider_.SetRange(preview_->GetDuration());
}

void CUIPropPage::ShowVideoError()
{
    slider_.video = nullptr;
    ::KillTimer(hwnd(), kPollTimer);
    previewArea_.SetText(kVideoError);
    for (kadrix::winui::Control* control : {static_cast<kadrix::winui::Control*>(&stop_),
                                            static_cast<kadrix::winui::Control*>(&play_),
                                            static_cast<kadrix::winui::Control*>(&stepBack_),
                                            static_cast<kadrix::winui::Control*>(&stepForward_),
                                            static_cast<kadrix::winui::Control*>(&store_),
                                            static_cast<kadrix::winui::Control*>(&slider_)})
        control->SetEnabled(false);
}

void CUIPropPage::SetPlayFace(UINT face)
{
    if (play_.LoadBitmaps(face))
        playFace_ = face;
}

void CUIPropPage::ShowPlayFace()
{
    SetPlayFace(IDB_PLAY);
    ::InvalidateRect(play_.hwnd(), nullptr, TRUE);
}

bool CUIPropPage::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kOpeningTimer)
            WatchOpening();
        else
            Poll();
        result = 0;
        return true;
    case WM_DESTROY:
        ::KillTimer(hwnd(), kPollTimer);
        ::KillTimer(hwnd(), kOpeningTimer);
        slider_.video = nullptr;
        // The preview's window goes while its host still exists.
        preview_.reset();
        return false;
    default:
        return false;
    }
}

void CUIPropPage::OnControlEvent(kadrix::winui::Control& sender, kadrix::winui::Event event, bool&)
{
    if (event != kadrix::winui::Event::Click)
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
    if (!preview_ || preview_->State() != S_OK)
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
    if (preview_->State() != S_OK)
        ShowVideoError();
}

void CUIPropPage::Stop()
{
    if (!preview_ || preview_->State() != S_OK)
        return;
    (void)preview_->StopAndRewind();
    ShowPlayFace();
    if (preview_->State() != S_OK)
        ShowVideoError();
}

void CUIPropPage::Step(bool forward)
{
    if (!preview_ || preview_->State() != S_OK)
        return;
    (void)(forward ? preview_->StepForward() : preview_->StepBackward());
    ShowPlayFace();
    if (preview_->State() != S_OK)
        ShowVideoError();
}

void CUIPropPage::Poll()
{
    if (!preview_ || preview_->State() != S_OK)
        return;
    // Stopped, also right after the end of the clip: the first frame shows,
    // paused.
    if (preview_->GetPlayState() == 0) {
        (void)preview_->Pause();
        ShowPlayFace();
    }
    slider_.SetPos(preview_->GetPosition());
    if (preview_->State() != S_OK)
        ShowVideoError();
}

// The frame at the preview's position, grabbed by a graph of its own at the
// clip's native size, as the user-chosen thumbnail. A grab that fails or
// does not come in time stores nothing; the automatic thumbnail and its
// stamp are left as they are.
void CUIPropPage::StoreThumbnail()
{
    if (storing_ || !preview_ || preview_->State() != S_OK || !Path())
        return;
    storing_ = true;
    const kadrix::ReferenceTime position = preview_->GetPosition();
    kadrix::unique_hbitmap frame;
    // The page's handlers must not run while it waits (one could close the
    // dialog under it): only what other threads send is answered.
    const HRESULT grabbed = kadrix::GrabFrameJob(Path(), kadrix::FramePosition::At(position),
                                                 kadrix::kCaptureDeadlineMs, &frame,
                                                 kadrix::CallerWait::SentMessagesOnly);
    if (grabbed == S_OK && SaveThumbnailStream(Path(), frame.get(), 1) == E_ACCESSDENIED)
        kadrix::ShowUserMessage(kadrix::kAccessDeniedText, kadrix::kAccessDeniedCaption,
                                ::GetParent(hwnd()));
    storing_ = false;
}
