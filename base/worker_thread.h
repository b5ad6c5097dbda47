// A worker thread that may outlive the caller that started it: a frame grab
// stuck inside the platform's filters past its caller's deadline, a preview
// player stuck opening its clip. Such a thread runs this module's code for as
// long as the platform holds it, so
// - it pins the module it runs in until its last instruction, and counts in
//   LiveWorkerThreads(), which the module's DllCanUnloadNow asks;
// - caller and worker share one state, made once and owned by both: whichever
//   lets go last frees it, and the worker never touches the caller's own data;
// - what live workers are busy with is held in a BusyList by an Admission,
//   which leaves it on every path out exactly once.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace kadrix {

// Worker threads of this module that have not ended yet, stuck ones
// included. Each library links its own copy of this code, so the count is
// the library's own: while it is above zero, the library must stay loaded.
long LiveWorkerThreads();

// The state a caller shares with its worker; null when it can't be made.
template <typename State> std::shared_ptr<State> MakeWorkerState() noexcept
{
    try {
        return std::make_shared<State>();
    } catch (...) {
        return nullptr;
    }
}

namespace detail {

// What a worker's thread starts from; the thread's own once it runs.
struct WorkerLaunch
{
    using Run = void (*)(WorkerLaunch*) noexcept;
    WorkerLaunch(Run body, std::atomic<long>& kind) noexcept : run(body), kindLive(kind) {}

    Run run; // does the work, then frees the launch
    std::atomic<long>& kindLive;
    HMODULE module = nullptr;
};

// Pins the module, counts the thread and starts it. On failure nothing runs,
// nothing stays pinned or counted, and the launch is still the caller's.
HRESULT StartLaunch(WorkerLaunch* launch, unique_handle* thread);

template <typename State, typename Work> struct TypedLaunch final : WorkerLaunch
{
    TypedLaunch(std::atomic<long>& kind, std::shared_ptr<State> shared, Work body)
        : WorkerLaunch(&RunAndFree, kind), state(std::move(shared)), work(std::move(body))
    {
    }

    static void RunAndFree(WorkerLaunch* launch) noexcept
    {
        auto* self = static_cast<TypedLaunch*>(launch);
        try {
            self->work(*self->state);
        } catch (...) {
            // Nothing may leave a thread procedure.
        }
        delete self; // the worker's share of the state with it
    }

    std::shared_ptr<State> state;
    Work work;
};

} // namespace detail

// Starts work(*state) on a thread of its own, which holds a share of the
// state and a pin on this module until it ends, and counts meanwhile in
// LiveWorkerThreads() and in kindLive (the count of one kind of worker, for
// whoever waits for that kind to end). Nothing the work throws leaves the
// thread. The caller keeps its own share; *thread, when asked for, gets the
// thread's handle. On failure no thread runs.
template <typename State, typename Work>
HRESULT StartWorkerThread(std::atomic<long>& kindLive, const std::shared_ptr<State>& state,
                          Work work, unique_handle* thread = nullptr)
{
    auto* launch =
        new (std::nothrow) detail::TypedLaunch<State, Work>(kindLive, state, std::move(work));
    if (!launch)
        return E_OUTOFMEMORY;
    const HRESULT hr = detail::StartLaunch(launch, thread);
    if (FAILED(hr))
        delete launch;
    return hr;
}

// What live workers are busy with: one entry per key, at most `capacity` of
// them. A stuck worker keeps its entry, so the cap also bounds how many
// workers can be stuck at once.
class BusyList
{
public:
    // Holds one entry from its admission to its end: whatever way its holder
    // goes (failure, exception, a worker abandoned by its caller), the entry
    // leaves the list exactly once.
    class Admission
    {
    public:
        Admission() noexcept = default;
        Admission(Admission&& other) noexcept
            : list_(std::exchange(other.list_, nullptr)), key_(std::move(other.key_))
        {
        }
        Admission& operator=(Admission&& other) noexcept
        {
            if (this != &other) {
                Leave();
                list_ = std::exchange(other.list_, nullptr);
                key_ = std::move(other.key_);
            }
            return *this;
        }
        ~Admission() { Leave(); }

        explicit operator bool() const noexcept { return list_ != nullptr; }
        // Leaves now rather than at the end (once; later calls do nothing).
        void Leave() noexcept
        {
            if (list_)
                std::exchange(list_, nullptr)->Remove(key_);
        }

    private:
        friend class BusyList;
        BusyList* list_ = nullptr;
        std::wstring key_;
    };

    explicit BusyList(std::size_t capacity) : capacity_(capacity) {}
    BusyList(const BusyList&) = delete;
    BusyList& operator=(const BusyList&) = delete;

    // S_OK, with *admission holding the key (and what it held before let
    // go); HRESULT_FROM_WIN32(ERROR_BUSY) while another admission holds the
    // key; HRESULT_FROM_WIN32(ERROR_MAX_THRDS_REACHED) while the list is
    // full. May throw std::bad_alloc, and then admits nothing.
    HRESULT Admit(const std::wstring& key, Admission* admission);

private:
    void Remove(const std::wstring& key) noexcept;

    std::mutex lock_;
    std::vector<std::wstring> busy_;
    const std::size_t capacity_;
};

} // namespace kadrix
