// The setup window's bookkeeping of the capture position: whether it changed
// since the settings were loaded or saved, so that Apply stores a new
// "Random" token and every automatic thumbnail becomes stale. Portable.
#pragma once

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

} // namespace kadrix::setup
