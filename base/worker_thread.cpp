#include "base/worker_thread.h"

namespace kadrix {

namespace {

std::atomic<long> g_liveWorkers{0};

HRESULT LastError()
{
    const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
}

DWORD WINAPI WorkerThread(void* parameter)
{
    auto* launch = static_cast<detail::WorkerLaunch*>(parameter);
    const HMODULE module = launch->module;
    std::atomic<long>& kindLive = launch->kindLive;
    launch->run(launch);
    --kindLive;
    --g_liveWorkers;
    // The pin is dropped only as the thread ends, so the code it runs can't
    // be unloaded under it.
    ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

} // namespace

long LiveWorkerThreads()
{
    return g_liveWorkers.load();
}

namespace detail {

HRESULT StartLaunch(WorkerLaunch* launch, unique_handle* thread)
{
    // The module this code is linked into: the library whose code the thread runs.
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&WorkerThread), &launch->module))
        return LastError();
    ++g_liveWorkers;
    ++launch->kindLive;
    unique_handle started(::CreateThread(nullptr, 0, &WorkerThread, launch, 0, nullptr));
    if (!started) {
        const HRESULT hr = LastError();
        --launch->kindLive;
        --g_liveWorkers;
        ::FreeLibrary(launch->module);
        return hr;
    }
    if (thread)
        *thread = std::move(started);
    return S_OK;
}

} // namespace detail

HRESULT BusyList::Admit(const std::wstring& key, Admission* admission)
{
    Admission admitted;
    admitted.key_ = key;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        for (const std::wstring& busy : busy_)
            if (busy == key)
                return HRESULT_FROM_WIN32(ERROR_BUSY);
        if (busy_.size() >= capacity_)
            return HRESULT_FROM_WIN32(ERROR_MAX_THRDS_REACHED);
        busy_.push_back(key);
        admitted.list_ = this;
    }
    // Outside the lock: what *admission held may be an entry of this list.
    *admission = std::move(admitted);
    return S_OK;
}

void BusyList::Remove(const std::wstring& key) noexcept
{
    const std::lock_guard<std::mutex> hold(lock_);
    for (auto it = busy_.begin(); it != busy_.end(); ++it)
        if (*it == key) {
            busy_.erase(it);
            return;
        }
}

} // namespace kadrix
