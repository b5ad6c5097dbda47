#include "engine/capture_job.h"

#include "base/unique_handle.h"
#include "engine/core/capture_position.h"
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
    double value = 0;
    double scale = 0;
    int userChosen = 0;
    HMODULE module = nullptr; // keeps the code of this job loaded while the worker runs
    kadrix::unique_handle done;
    std::atomic<HRESULT> result{E_FAIL};
    std::atomic<bool> abandoned{false};
    std::atomic<int> references{2}; // the caller and the worker

    void Release()
    {
        if (--references == 0)
            delete this;
    }
};

// One attempt: a graph of its own, seek, grab.
HRESULT CaptureAt(const CaptureJob& job, bool earlier)
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
    LONGLONG position = kadrix::CaptureJobPosition(capture->GetDuration(), job.value, job.scale);
    if (earlier)
        position = kadrix::EarlierCapturePosition(position);
    if (FAILED(capture->SetPosition(position))) {
        capture->Close();
        return E_FAIL;
    }
    // A caller that has given up gets no late write into its file.
    if (job.abandoned) {
        capture->Close();
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    const HRESULT saved = capture->SaveFrame(job.userChosen);
    capture->Close();
    // Without a frame the first time, say so: the caller may try earlier.
    if (saved == E_FAIL && !earlier && position > 0)
        return S_FALSE;
    // A JPEG that can't be written is the store's business; a frame that
    // never came is a failed job, not a success with nothing stored.
    return FAILED(saved) ? saved : S_OK;
}

HRESULT Capture(const CaptureJob& job)
{
    const HRESULT hr = CaptureAt(job, false);
    // The graph ended without a frame: the position lay at or past the last
    // frame (the very end, or a duration that overstates the clip). One
    // second earlier still shows the end of the clip.
    return hr == S_FALSE ? CaptureAt(job, true) : hr;
}

void RunOnWorker(CaptureJob* job)
{
    HRESULT hr = E_UNEXPECTED;
    try {
        hr = Capture(*job);
    } catch (...) {
        hr = E_UNEXPECTED; // nothing may leave a thread procedure
    }
    job->result = hr;
    ::SetEvent(job->done.get());
    job->Release();
}

DWORD WINAPI CaptureWorker(void* parameter)
{
    auto* job = static_cast<CaptureJob*>(parameter);
    const HMODULE module = job->module;
    RunOnWorker(job);
    --g_liveJobs;
    // The module reference taken for this thread is dropped only as the
    // thread ends, so the code it runs can't be unloaded under it.
    ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

} // namespace

namespace kadrix {

long LiveCaptureJobs()
{
    return g_liveJobs.load();
}

HRESULT RunCaptureJob(const wchar_t* path, double value, double scale, int userChosen,
                      DWORD deadlineMs)
{
    if (!path)
        return E_POINTER;
    CaptureJob* job = nullptr;
    try {
        job = new CaptureJob;
        job->path = path;
    } catch (...) {
        // As for a capture object that can't be made: E_POINTER.
        delete job;
        return E_POINTER;
    }
    job->value = value;
    job->scale = scale;
    job->userChosen = userChosen;
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
    unique_handle worker(::CreateThread(nullptr, 0, &CaptureWorker, job, 0, nullptr));
    if (!worker) {
        const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
        --g_liveJobs;
        ::FreeLibrary(job->module);
        delete job;
        return FAILED(hr) ? hr : E_FAIL;
    }

    HRESULT hr;
    if (::WaitForSingleObject(job->done.get(), deadlineMs) == WAIT_OBJECT_0) {
        hr = job->result;
    } else {
        job->abandoned = true;
        hr = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    job->Release();
    return hr;
}

} // namespace kadrix

HRESULT CaptureToStream(const wchar_t* path, double value, double scale, int userChosen)
{
    return kadrix::RunCaptureJob(path, value, scale, userChosen, kadrix::kCaptureDeadlineMs);
}
