// The preview of a clip inside a window of the caller, played by a
// preview-mode capture object that lives on a thread of its own. Opening a
// clip may stall inside the platform's filters for as long as a broken or
// unreadable file makes it; the caller's thread (a Properties dialog's) never
// waits for that, and waits a bounded time for every other operation.
#pragma once

#include "base/unique_handle.h"
#include "engine/capture/core/capture_position.h"

#include <windows.h>

#include <memory>

namespace kadrix {

// How long an operation of an opened preview may take before the player is
// given up as stalled. Pausing and stepping wait up to a second for the
// graph themselves.
inline constexpr DWORD kPreviewCallWaitMs = 2500;
// How long closing waits for the player's thread to end before leaving it.
inline constexpr DWORD kPreviewCloseWaitMs = 2000;

// Player threads that have not ended yet, stalled ones included. While any
// live, the module that runs them must stay loaded.
long LivePreviewPlayers();

// For tests: every player thread waits this long before it opens its clip
// and before each call it answers (0, the default: no wait), as a slow share
// or a file with sparse keyframes makes it.
void DelayPreviewPlayersForTests(DWORD beforeOpenMs, DWORD beforeEachCallMs);

class PreviewPlayer
{
public:
    // Starts opening the clip for a preview in a child window of hostWindow;
    // returns at once. Null when no player thread could be started.
    static std::unique_ptr<PreviewPlayer> Open(HWND hostWindow, const wchar_t* path);

    // Closes the preview (its window goes first, while the host still
    // exists) and lets the thread end; a thread still stuck in opening is
    // left to end on its own, holding its code loaded until it does.
    ~PreviewPlayer();
    PreviewPlayer(const PreviewPlayer&) = delete;
    PreviewPlayer& operator=(const PreviewPlayer&) = delete;

    // S_FALSE while the clip is opening; then what opening it gave, or
    // HRESULT_FROM_WIN32(ERROR_TIMEOUT) once an operation did not come back
    // in time (the player then does nothing more).
    HRESULT State() const;

    // The preview operations of the capture object, made on the player's
    // thread. Before the clip has opened, or once the player stalled, they
    // do nothing and answer 0, or E_ABORT.
    ReferenceTime GetDuration();
    ReferenceTime GetPosition();
    HRESULT SetPosition(ReferenceTime position);
    // Asks for a seek and returns at once: the player's thread seeks to the
    // latest position asked for, so a slider dragged over a slow clip costs
    // its caller nothing per move. A seek that stalls the player shows in
    // State() and in the next call.
    void RequestPosition(ReferenceTime position);
    HRESULT StopAndRewind();
    HRESULT Play();
    HRESULT Pause();
    // 0 stopped (also after the clip played to its end, which rewinds it),
    // 1 running, 2 paused.
    int GetPlayState();
    HRESULT StepForward();
    HRESULT StepBackward();

    // The player's inner workings, shared with its thread.
    struct Shared;
    enum class Op;

private:
    explicit PreviewPlayer(std::shared_ptr<Shared> shared);
    LONGLONG Call(Op op, LONGLONG argument, LONGLONG failed);

    std::shared_ptr<Shared> shared_;
    unique_handle thread_;
};

} // namespace kadrix
