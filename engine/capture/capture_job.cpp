#include "engine/capture/capture_job.h"

#include "base/exception_boundary.h"
#include "base/waits.h"
#include "base/worker_thread.h"
#include "engine/capture/file_probe.h"
#include "engine/capture/mf_grab.h"
#include "engine/core/phase_clock.h"
#include "engine/store/stream_store.h"
#include "engine/capture/video_capture.h"

#include <objbase.h>
#include <vfwmsgs.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace kadrix {

namespace {

std::atomic<long> g_liveJobs{0};

// The file a job is for, as far as the process can tell it apart: its full
// path in one case (file systems on Windows do not tell case), and what it
// was when the job was asked for.
struct FileIdentity
{
    std::wstring key;
    ULONGLONG size = 0;
    FILETIME written{};
};

// What the process knows of its capture jobs: the files live jobs work on,
// and the captures that outlived their deadline (one per file and position,
// the most recent kRememberedTimeouts of them).
class JobBook
{
public:
    static JobBook& Instance()
    {
        static JobBook book;
        return book;
    }

    // Admits a job for the file, or says why not.
    HRESULT Admit(const FileIdentity& file, const FramePosition& position,
                  BusyList::Admission* admission)
    {
        {
            const std::lock_guard<std::mutex> hold(lock_);
            for (const Timeout& timeout : timeouts_)
                if (timeout.Matches(file, position))
                    return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        }
        return busy_.Admit(file.key, admission);
    }

    void RememberTimeout(const FileIdentity& file, const FramePosition& position)
    {
        const std::lock_guard<std::mutex> hold(lock_);
        if (timeouts_.size() >= kRememberedTimeouts)
            timeouts_.erase(timeouts_.begin());
        timeouts_.push_back({file, position});
    }

private:
    static constexpr std::size_t kRememberedTimeouts = 256;

    struct Timeout
    {
        FileIdentity file;
        FramePosition position;

        // The same file, unchanged since, at the same position: a new
        // capture would stall as the last one did.
        bool Matches(const FileIdentity& other, const FramePosition& at) const
        {
            return file.key == other.key && file.size == other.size &&
                   ::CompareFileTime(&file.written, &other.written) == 0 &&
                   position.exact == at.exact && position.value == at.value &&
                   position.scale == at.scale && position.time == at.time;
        }
    };

    BusyList busy_{static_cast<std::size_t>(kMaxLiveCaptureJobs)};
    std::mutex lock_; // the timeouts'
    std::vector<Timeout> timeouts_;
};

// The file's identity, when the path names an existing regular file: no
// folder, no device, nothing that is not there (a clip deleted or renamed
// while its request was queued).
HRESULT IdentifyFile(const std::wstring& path, FileIdentity* file)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE);
    DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    length = ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(length);
    ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    file->key = std::move(full);
    file->size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    file->written = data.ftLastWriteTime;
    return S_OK;
}

// What the caller and the worker share. The worker gets copies of everything
// it needs, so nothing of the caller's is touched once the caller has gone;
// the last of the two to let go frees it.
struct CaptureJob
{
    std::wstring path;
    FileIdentity file;
    FramePosition position{};
    // The file's place on the busy list: the worker's once it runs.
    BusyList::Admission admission;
    unique_handle done;
    std::atomic<HRESULT> result{E_FAIL};
    unique_hbitmap frame; // the worker's until done, then the caller's
};

// One attempt: a graph of its own, seek, grab. S_FALSE: the graph ended
// without a frame at a position the job may try earlier. *unopened tells
// that DirectShow could not build the graph at all.
HRESULT GrabAt(CaptureJob& job, bool earlier, bool* unopened)
{
    std::unique_ptr<CVideoCapture> capture(new (std::nothrow) CVideoCapture(nullptr, 0));
    // E_POINTER, not E_OUTOFMEMORY: the capture job's answer for an object it
    // could not make, which the thumbnail request hands on to the shell.
    if (!capture)
        return E_POINTER;
    const HRESULT opened = capture->Open(job.path.c_str());
    if (FAILED(opened)) {
        capture->Close();
        *unopened = true;
        return opened;
    }
    ReferenceTime position =
        job.position.exact
            ? job.position.time
            : CaptureJobPosition(capture->GetDuration(), job.position.value, job.position.scale);
    if (earlier)
        position = EarlierCapturePosition(position);
    const HRESULT seek = capture->SetPosition(position);
    MarkPhase("seek");
    if (FAILED(seek)) {
        capture->Close();
        return E_FAIL;
    }
    const HRESULT grabbed = capture->GrabFrame(&job.frame);
    capture->Close();
    MarkPhase("tear the graph down");
    if (grabbed == E_FAIL && !earlier && !job.position.exact && position > 0)
        return S_FALSE;
    return grabbed;
}

HRESULT Grab(CaptureJob& job)
{
    // Some files are judged by their structure alone, before any graph.
    const HRESULT worth = CheckBeforeGraph(job.path.c_str());
    MarkPhase("probe the container");
    if (FAILED(worth))
        return worth;

    bool unopened = false;
    HRESULT hr = GrabAt(job, false, &unopened);
    // The graph ended without a frame: the position lay at or past the last
    // frame (the very end, or a duration that overstates the clip). One
    // second earlier still shows the end of the clip.
    if (hr == S_FALSE)
        hr = GrabAt(job, true, &unopened);
    if (!unopened)
        return hr;
    // DirectShow has no source, splitter or decoder for the clip (a stock
    // Windows has none for MP4, MOV or Matroska): Media Foundation may. It
    // takes the frame by the same position rule; an exact time is a number
    // of seconds within the clip.
    const bool exact = job.position.exact;
    const double value = exact ? static_cast<double>(job.position.time) /
                                     static_cast<double>(kReferenceUnitsPerSecond)
                               : job.position.value;
    const HRESULT fallback = GrabFrameWithMediaFoundation(
        job.path.c_str(), value, exact ? 0.0 : job.position.scale, &job.frame);
    return SUCCEEDED(fallback) ? fallback : hr;
}

void RunJob(CaptureJob& job)
{
    {
        // The file leaves the busy list before the caller hears that the job
        // is done: asked for again at once, it is free.
        const BusyList::Admission admission = std::move(job.admission);
        // A multithreaded apartment: the graph's objects are called from here
        // and their own threads only, and nothing waits for this thread to pump.
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        MarkPhase("start the worker");
        job.result = GuardHResult([&] { return Grab(job); });
        // Only the frame leaves the worker; the graph is gone.
        if (SUCCEEDED(com))
            ::CoUninitialize();
    }
    ::SetEvent(job.done.get());
}

HRESULT StartAndWait(const std::shared_ptr<CaptureJob>& job, DWORD deadlineMs, CallerWait wait,
                     unique_hbitmap* frame)
{
    job->done.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!job->done) {
        const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
        return FAILED(hr) ? hr : E_FAIL;
    }
    HRESULT hr = StartWorkerThread(g_liveJobs, job, &RunJob);
    if (FAILED(hr))
        return hr;

    hr = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    const bool done = wait == CallerWait::DispatchingCalls
                          ? WaitDispatchingCalls(job->done.get(), deadlineMs)
                          : WaitAnsweringSentMessages(job->done.get(), deadlineMs);
    if (done) {
        hr = job->result;
        // Done: the worker no longer touches the frame.
        if (hr == S_OK)
            *frame = std::move(job->frame);
    } else {
        // Asked again, the same file at the same place would stall the same
        // way, and one more worker would stay stuck with it.
        JobBook::Instance().RememberTimeout(job->file, job->position);
    }
    return hr;
}

} // namespace

long LiveCaptureJobs()
{
    return g_liveJobs.load();
}

HRESULT GrabFrameJob(const wchar_t* path, const FramePosition& position, DWORD deadlineMs,
                     unique_hbitmap* frame, CallerWait wait)
{
    if (!path || !frame)
        return E_POINTER;
    frame->reset();
    return GuardHResult([&]() -> HRESULT {
        FileIdentity file;
        HRESULT hr = IdentifyFile(path, &file);
        if (FAILED(hr))
            return hr;
        // Held here until the worker takes it over: however this call ends
        // before that, the file leaves the busy list with it.
        BusyList::Admission admission;
        hr = JobBook::Instance().Admit(file, position, &admission);
        if (FAILED(hr))
            return hr;
        const std::shared_ptr<CaptureJob> job = MakeWorkerState<CaptureJob>();
        // As for a capture object that can't be made: E_POINTER.
        if (!job)
            return E_POINTER;
        job->path = path;
        job->file = std::move(file);
        job->position = position;
        job->admission = std::move(admission);
        return StartAndWait(job, deadlineMs, wait, frame);
    });
}

HRESULT RunCaptureJob(const wchar_t* path, double value, double scale, int userChosen,
                      DWORD deadlineMs, unique_hbitmap* grabbed)
{
    unique_hbitmap frame;
    const HRESULT hr = GrabFrameJob(path, FramePosition::Setting(value, scale), deadlineMs, &frame);
    // The caller writes, and only with a frame in hand: a job that was given
    // up on has nothing to write and never writes on its own.
    if (hr == S_OK) {
        MarkPhase("hand the frame over");
        WriteThumbnailStream(path, frame.get(), userChosen);
        if (grabbed)
            *grabbed = std::move(frame);
    }
    return hr;
}

HRESULT CaptureToStream(const wchar_t* path, double value, double scale, int userChosen)
{
    return RunCaptureJob(path, value, scale, userChosen, kCaptureDeadlineMs);
}

} // namespace kadrix
