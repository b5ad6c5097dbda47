// The capture job: one frame of a clip, grabbed at a position on a worker
// thread of its own within a bounded time, and stored as the file's
// thumbnail by the caller.
#pragma once

#include "base/unique_handle.h"
#include "engine/capture/core/capture_position.h"

#include <windows.h>

namespace kadrix {

// How long a caller waits for its capture job. Past it, the job is left to
// finish (or hang) on its own thread and the caller goes on.
inline constexpr DWORD kCaptureDeadlineMs = 8000;

// Capture jobs whose worker thread has not ended yet, abandoned ones
// included. While any live, the module that runs them must stay loaded.
long LiveCaptureJobs();

// A process runs at most this many capture jobs at once. A worker stuck in
// the platform's filters stays with its clip (and its handle on the file)
// until they let it go: a folder of broken clips must not pile them up.
inline constexpr long kMaxLiveCaptureJobs = 3;

// Where a job takes its frame.
struct FramePosition
{
    // As the settings give it: with scale > 0.5, value / scale of the clip;
    // otherwise value seconds from the start (the middle of a shorter clip).
    // A position at or past the last frame is tried once more, a second
    // earlier.
    static FramePosition Setting(double value, double scale) { return {false, value, scale, 0}; }
    // Exactly there, and nowhere else.
    static FramePosition At(ReferenceTime time) { return {true, 0, 0, time}; }

    bool exact;
    double value;
    double scale;
    ReferenceTime time;
};

// How the caller waits for its job.
enum class CallerWait
{
    // Dispatching COM calls, and a single-threaded apartment's messages: a
    // stalled capture does not freeze the window that asked.
    DispatchingCalls,
    // Answering only what other threads send: for a window whose handlers
    // must not run (and perhaps destroy it) while it waits.
    SentMessagesOnly,
};

// Grabs one frame on a worker (a COM apartment of its own) and hands it to
// the caller: a 32-bit DIB at the clip's native size. A worker that outlives
// the deadline is abandoned: HRESULT_FROM_WIN32(ERROR_TIMEOUT), and whatever
// it grabs later is thrown away.
//
// No worker is started, and nothing is touched, for a path that names no
// existing regular file (ERROR_FILE_NOT_FOUND, ERROR_BAD_FILE_TYPE), for a
// file another live job works on (ERROR_BUSY), past kMaxLiveCaptureJobs
// (ERROR_MAX_THRDS_REACHED), or for a file whose capture at this position
// timed out before and that has not changed since (ERROR_TIMEOUT at once).
HRESULT GrabFrameJob(const wchar_t* path, const FramePosition& position, DWORD deadlineMs,
                     unique_hbitmap* frame, CallerWait wait = CallerWait::DispatchingCalls);

// A grab whose frame the caller then stores into the user-chosen (nonzero)
// or automatic thumbnail stream. S_OK once a frame was handed to the stream
// store, whether or not the JPEG could be written; the frame goes on to
// *frame when asked for.
HRESULT RunCaptureJob(const wchar_t* path, double value, double scale, int userChosen,
                      DWORD deadlineMs, unique_hbitmap* frame = nullptr);

// RunCaptureJob with the capture deadline: the thumbnail request's capture.
HRESULT CaptureToStream(const wchar_t* path, double value, double scale, int userChosen);

} // namespace kadrix
