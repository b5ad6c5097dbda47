#include "engine/capture_job.h"

#include "base/exception_boundary.h"
#include "base/waits.h"
#include "engine/stream_store.h"
#include "engine/video_capture.h"

#include <atomic>
#include <memory>
#include <new>
#include <string>

namespace {

std::atomic<long> g_liveJobs{0};

// What the caller and the worker share. The worker gets copies of everything
// it needs, so nothing of the caller's is touched once the caller has gone;
// the last of the two to let go frees it.
struct CaptureJob
{
    std::wstring path;
    kadrix::FramePosition position{};
    HMODULE module = nullptr; // keeps the code of this job loaded while the worker runs
    kadrix::unique_handle done;
    std::atomic<HRESULT> result{E_FAIL};
    kadrix::unique_hbitmap frame;   // the worker's until done, then the caller's
    std::atomic<int> references{2}; // the caller and the worker

    void Release()
    {
        if (--references == 0)
            delete this;
    }
};

// One attempt: a graph of its own, seek, grab. S_FALSE: the graph ended
// without a frame at a position the job may try earlier.
HRESULT GrabAt(CaptureJob& job, bool earlier)
{
    std::unique_ptr<CVideoCapture> capture(new (std::nothrow) CVideoCapture(nullptr, 0));
    // E_POINTER, not E_OUTOFMEMORY: the code the capture job has always
    // answered for an object it could not make.
    if (!capture)
        return E_POINTER;
    const HRESULT opened = capture->Open(job.path.c_str());
    if (FAILED(opened)) {
        capture->Close();
        return opened;
    }
    kadrix::ReferenceTime position =
        job.position.exact ? job.position.time
                           : kadrix::CaptureJobPosition(capture->GetDuration(), job.position.value,
                                                        job.position.scale);
    if (earlier)
        position = kadrix::EarlierCapturePosition(position);
    if (FAILED(capture->SetPosition(position))) {
        capture->Close();
        return E_FAIL;
    }
    const HRESULT grabbed = capture->GrabFrame(&job.frame);
    capture->Close();
    if (grabbed == E_FAIL && !earlier && !job.position.exact && position > 0)
        return S_FALSE;
    return grabbed;
}

HRESULT Grab(CaptureJob& job)
{
    const HRESULT hr = GrabAt(job, false);
    // The graph ended without a frame: the position lay at or past the last
    // frame (the very end, or a duration that overstates the clip). One
    // second earlier still shows the end of the clip.
    return hr == S_FALSE ? GrabAt(job, true) : hr;
}

DWORD WINAPI CaptureWorker(void* parameter)
{
    auto* job = static_cast<CaptureJob*>(parameter);
    const HMODULE module = job->module;
    job->result = kadrix::GuardHResult([&] { return Grab(*job); });
    ::SetEvent(job->done.get());
    job->Release();
    --g_liveJobs;
    // The module reference taken for this thread is dropped only as the
    // thread ends, so the code it runs can't be unloaded under it.
    ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

HRESULT StartAndWait(CaptureJob* job, DWORD deadlineMs, kadrix::CallerWait wait,
                     kadrix::unique_hbitmap* frame)
{
    job->done.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!job->done ||
        !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&CaptureWorker), &job->module)) {
        const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
        delete job;
        return FAILED(hr) ? hr : E_FAIL;
    }

    // The worker has a COM apartment of its own: the capture object
    // initialises COM on the thread that makes it.
    ++g_liveJobs;
    kadrix::unique_handle worker(::CreateThread(nullptr, 0, &CaptureWorker, job, 0, nullptr));
    if (!worker) {
        const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
        --g_liveJobs;
        ::FreeLibrary(job->module);
        delete job;
        return FAILED(hr) ? hr : E_FAIL;
    }

    HRESULT hr = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    const bool done = wait == kadrix::CallerWait::DispatchingCalls
                          ? kadrix::WaitDispatchingCalls(job->done.get(), deadlineMs)
                          : kadrix::WaitAnsweringSentMessages(job->done.get(), deadlineMs);
    if (done) {
        hr = job->result;
        // Done: the worker no longer touches the frame.
        if (hr == S_OK)
            *frame = std::move(job->frame);
    }
    job->Release();
    return hr;
}

} // namespace

namespace kadrix {

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
    CaptureJob* job = new (std::nothrow) CaptureJob;
    // As for a capture object that can't be made: E_POINTER.
    if (!job)
        return E_POINTER;
    try {
        job->path = path;
    } catch (...) {
        delete job;
        return E_POINTER;
    }
    job->position = position;
    return StartAndWait(job, deadlineMs, wait, frame);
}

HRESULT RunCaptureJob(const wchar_t* path, double value, double scale, int userChosen,
                      DWORD deadlineMs)
{
    unique_hbitmap frame;
    const HRESULT hr = GrabFrameJob(path, FramePosition::Setting(value, scale), deadlineMs, &frame);
    // The caller writes, and only with a frame in hand: a job that was given
    // up on has nothing to write and never writes on its own.
    if (hr == S_OK)
        WriteThumbnailStream(path, frame.get(), userChosen);
    return hr;
}

} // namespace kadrix

HRESULT CaptureToStream(const wchar_t* path, double value, double scale, int userChosen)
{
    return kadrix::RunCaptureJob(path, value, scale, userChosen, kadrix::kCaptureDeadlineMs);
}
