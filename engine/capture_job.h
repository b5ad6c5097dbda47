// The capture job: one frame of a clip, grabbed at the configured position
// and stored as the file's thumbnail, within a bounded time.
#pragma once

#include <windows.h>

namespace kadrix {

// How long a caller waits for its capture job. Past it, the job is left to
// finish (or hang) on its own thread and the caller goes on.
inline constexpr DWORD kCaptureDeadlineMs = 8000;

// Capture jobs whose worker thread has not ended yet, abandoned ones
// included. While any live, the module that runs them must stay loaded.
long LiveCaptureJobs();

// CaptureToStream with a deadline of the caller's choosing.
HRESULT RunCaptureJob(const wchar_t* path, double value, double scale, int userChosen,
                      DWORD deadlineMs);

} // namespace kadrix

// Grabs the frame at value / scale of the clip (scale > 0.5) or at value
// seconds (otherwise; the middle when the clip is shorter) into the user-
// chosen (nonzero) or automatic thumbnail stream. S_OK once a frame was
// handed to the stream store, whether or not the JPEG could be written;
// HRESULT_FROM_WIN32(ERROR_TIMEOUT) when the job outlived its deadline.
HRESULT CaptureToStream(const wchar_t* path, double value, double scale, int userChosen);
