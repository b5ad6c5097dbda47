// The setup window's bookkeeping of the capture position: whether it changed
// since the settings were loaded or saved (so a new "Random" token makes
// every automatic thumbnail stale), and which sample picture the preview
// shows for a position. Portable.
#pragma once

#include <cstdint>
#include <random>

namespace kadrix::setup {

class TimeShiftFlags
{
public:
    // `ShiftArmed`: set once the settings were loaded; from then on moving
    // the track bar or the up-down counts as a change.
    bool ShiftArmed() const { return armed_; }
    // `ShiftChanged`: the position settings changed since the last load or save.
    bool ShiftChanged() const { return changed_; }

    // The track bar or the up-down moved.
    void PositionMoved()
    {
        if (armed_)
            changed_ = true;
    }
    // Relative was clicked (or switched on): counts whether armed or not.
    void RelativeClicked() { changed_ = true; }
    void Loaded()
    {
        armed_ = true;
        changed_ = false;
    }
    void Saved() { changed_ = false; }

private:
    bool armed_ = false;
    bool changed_ = false;
};

// The sample picture (1 to 5) for a track bar position in percent.
int PreviewIndexForPercent(int percent);
// The sample picture for a fixed time in seconds.
int PreviewIndexForSeconds(int seconds);

// New "Random" tokens, drawn uniformly from 0 to 2147483646.
class RandomTokens
{
public:
    // Seeded from the clock.
    RandomTokens();
    explicit RandomTokens(std::uint32_t seed) : engine_(seed) {}
    std::int32_t Next();

    static constexpr std::int32_t kMax = 2147483646;

private:
    std::mt19937 engine_;
};

} // namespace kadrix::setup
