#include "engine/capture/preview_player.h"

#include "base/exception_boundary.h"
#include "base/unique_handle.h"
#include "base/waits.h"
#include "base/worker_thread.h"
#include "engine/capture/file_probe.h"
#include "engine/capture/video_capture.h"

#include <atomic>
#include <new>
#include <string>

namespace kadrix {

enum class PreviewPlayer::Op
{
    Duration,
    Position,
    SetPosition,
    StopAndRewind,
    Play,
    Pause,
    PlayState,
    StepForward,
    StepBackward,
};

// What the caller and the player's thread share. The thread has copies of
// all it needs, so nothing of the caller's is touched once the caller has
// gone; the last of the two to let go frees it.
struct PreviewPlayer::Shared
{
    std::wstring path;
    HWND host = nullptr;
    unique_handle wake;     // a call is waiting, or the end
    unique_handle answered; // the call is done
    std::atomic<HRESULT> state{S_FALSE};
    std::atomic<bool> stop{false};
    // The call: written by the caller before `wake`, its result by the
    // thread before `answered`.
    std::atomic<bool> called{false};
    Op op = Op::Duration;
    LONGLONG argument = 0;
    std::atomic<LONGLONG> result{0};
    // The latest seek asked for without waiting; taken before a call.
    std::atomic<bool> seekAsked{false};
    std::atomic<LONGLONG> seekTo{0};
};

namespace {

std::atomic<long> g_livePlayers{0};
std::atomic<DWORD> g_delayBeforeOpen{0};
std::atomic<DWORD> g_delayBeforeCall{0};

using Op = PreviewPlayer::Op;

LONGLONG Perform(CVideoCapture& capture, const PreviewPlayer::Shared& shared)
{
    switch (shared.op) {
    case Op::Duration:
        return capture.GetDuration();
    case Op::Position:
        return capture.GetPosition();
    case Op::SetPosition:
        return capture.SetPosition(shared.argument);
    case Op::StopAndRewind:
        return capture.StopAndRewind();
    case Op::Play:
        return capture.Play();
    case Op::Pause:
        return capture.Pause();
    case Op::PlayState:
        return capture.GetPlayState();
    case Op::StepForward:
        return capture.StepForward();
    case Op::StepBackward:
        return capture.StepBackward();
    }
    return E_INVALIDARG;
}

// The player's thread: opens the clip, answers calls until told to stop,
// and dispatches its messages meanwhile (the graph's window lives here).
void PlayerThread(PreviewPlayer::Shared& shared)
{
    CVideoCapture capture(shared.host, 1);
    if (const DWORD delay = g_delayBeforeOpen)
        ::Sleep(delay);
    if (!shared.stop)
        shared.state = GuardHResult([&] {
            const HRESULT worth = CheckBeforeGraph(shared.path.c_str());
            return FAILED(worth) ? worth : capture.Open(shared.path.c_str());
        });
    const HANDLE wake = shared.wake.get();
    while (!shared.stop) {
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) {
            if (shared.stop)
                break;
            if (const DWORD delay = g_delayBeforeCall)
                ::Sleep(delay);
            // A seek asked for meanwhile comes first: a call made after it
            // sees its position.
            if (shared.seekAsked.exchange(false))
                (void)GuardHResult([&] { return capture.SetPosition(shared.seekTo); });
            if (!shared.called.exchange(false))
                continue;
            LONGLONG result = E_UNEXPECTED;
            (void)GuardHResult([&] {
                result = Perform(capture, shared);
                return S_OK;
            });
            shared.result = result;
            ::SetEvent(shared.answered.get());
        } else if (woken == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        } else {
            break;
        }
    }
    capture.Close();
}

} // namespace

long LivePreviewPlayers()
{
    return g_livePlayers.load();
}

void DelayPreviewPlayersForTests(DWORD beforeOpenMs, DWORD beforeEachCallMs)
{
    g_delayBeforeOpen = beforeOpenMs;
    g_delayBeforeCall = beforeEachCallMs;
}

std::unique_ptr<PreviewPlayer> PreviewPlayer::Open(HWND hostWindow, const wchar_t* path)
{
    if (!path)
        return nullptr;
    const std::shared_ptr<Shared> shared = MakeWorkerState<Shared>();
    if (!shared)
        return nullptr;
    try {
        shared->path = path;
    } catch (...) {
        return nullptr;
    }
    shared->host = hostWindow;
    shared->wake.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    shared->answered.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!shared->wake || !shared->answered)
        return nullptr;
    // The player is made before its thread starts, so no thread is ever
    // left to be told to stop by a player that could not be made.
    std::unique_ptr<PreviewPlayer> player(new (std::nothrow) PreviewPlayer(shared));
    if (!player ||
        FAILED(StartWorkerThread(g_livePlayers, shared, &PlayerThread, &player->thread_)))
        return nullptr;
    return player;
}

PreviewPlayer::PreviewPlayer(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

PreviewPlayer::~PreviewPlayer()
{
    shared_->stop = true;
    ::SetEvent(shared_->wake.get());
    // An opened player closes its preview while the host window still
    // exists. One still opening, or stalled, is not waited for: it closes by
    // itself whenever the platform lets it go.
    if (shared_->state == S_OK)
        (void)WaitAnsweringSentMessages(thread_.get(), kPreviewCloseWaitMs);
}

HRESULT PreviewPlayer::State() const
{
    return shared_->state;
}

LONGLONG PreviewPlayer::Call(Op op, LONGLONG argument, LONGLONG failed)
{
    if (shared_->state != S_OK)
        return failed;
    shared_->op = op;
    shared_->argument = argument;
    shared_->called = true;
    ::SetEvent(shared_->wake.get());
    if (!WaitAnsweringSentMessages(shared_->answered.get(), kPreviewCallWaitMs)) {
        // A graph that holds its thread now will hold the next call too.
        shared_->state = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        return failed;
    }
    return shared_->result;
}

ReferenceTime PreviewPlayer::GetDuration()
{
    return Call(Op::Duration, 0, 0);
}

ReferenceTime PreviewPlayer::GetPosition()
{
    return Call(Op::Position, 0, 0);
}

HRESULT PreviewPlayer::SetPosition(ReferenceTime position)
{
    return static_cast<HRESULT>(Call(Op::SetPosition, position, E_ABORT));
}

void PreviewPlayer::RequestPosition(ReferenceTime position)
{
    if (shared_->state != S_OK)
        return;
    shared_->seekTo = position;
    shared_->seekAsked = true;
    ::SetEvent(shared_->wake.get());
}

HRESULT PreviewPlayer::StopAndRewind()
{
    return static_cast<HRESULT>(Call(Op::StopAndRewind, 0, E_ABORT));
}

HRESULT PreviewPlayer::Play()
{
    return static_cast<HRESULT>(Call(Op::Play, 0, E_ABORT));
}

HRESULT PreviewPlayer::Pause()
{
    return static_cast<HRESULT>(Call(Op::Pause, 0, E_ABORT));
}

int PreviewPlayer::GetPlayState()
{
    return static_cast<int>(Call(Op::PlayState, 0, 0));
}

HRESULT PreviewPlayer::StepForward()
{
    return static_cast<HRESULT>(Call(Op::StepForward, 0, E_ABORT));
}

HRESULT PreviewPlayer::StepBackward()
{
    return static_cast<HRESULT>(Call(Op::StepBackward, 0, E_ABORT));
}

} // namespace kadrix
