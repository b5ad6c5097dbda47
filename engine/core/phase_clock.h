// Where the time of a thumbnail request goes, for the benchmarks: while a
// clock is installed, the engine marks the end of each phase of its work on
// it. With none installed (always, but in a benchmark) a mark costs a load.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kadrix {

class PhaseClock
{
public:
    using Clock = std::chrono::steady_clock;

    // Starts the first phase now.
    void Start()
    {
        const std::lock_guard<std::mutex> hold(lock_);
        phases_.clear();
        last_ = Clock::now();
    }

    // Ends the phase running since the last mark, under its name.
    void Mark(const char* phase)
    {
        const std::lock_guard<std::mutex> hold(lock_);
        const Clock::time_point now = Clock::now();
        phases_.emplace_back(phase, std::chrono::duration<double, std::milli>(now - last_).count());
        last_ = now;
    }

    // Each phase and its milliseconds, in order; a phase marked again adds up.
    std::vector<std::pair<std::string, double>> Phases() const
    {
        const std::lock_guard<std::mutex> hold(lock_);
        return phases_;
    }

private:
    mutable std::mutex lock_;
    Clock::time_point last_ = Clock::now();
    std::vector<std::pair<std::string, double>> phases_;
};

// The installed clock, or null.
inline std::atomic<PhaseClock*>& InstalledPhaseClock()
{
    static std::atomic<PhaseClock*> clock{nullptr};
    return clock;
}

inline void MarkPhase(const char* phase)
{
    if (PhaseClock* clock = InstalledPhaseClock().load(std::memory_order_relaxed))
        clock->Mark(phase);
}

} // namespace kadrix
