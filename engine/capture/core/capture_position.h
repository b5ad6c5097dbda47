// Where a capture job takes its frame and where a frame step goes: plain
// arithmetic on reference times, kept apart from DirectShow so it can be
// checked exactly.
#pragma once

#include <cstdint>

namespace kadrix {

// DirectShow reference time: signed 100-nanosecond units.
using ReferenceTime = std::int64_t;
inline constexpr ReferenceTime kReferenceUnitsPerSecond = 10'000'000;

// The capture job's position in a clip of the given duration. With
// scale > 0.5, value / scale is a fraction of the clip; otherwise value is
// seconds from the start, and a clip shorter than that is taken at its middle.
// The result always lies within [0, duration].
ReferenceTime CaptureJobPosition(ReferenceTime duration, double value, double scale);

// Where a capture job tries again when the graph ended without a frame: at
// or near the end, a clip's reported duration may reach past its last frame.
// One second earlier, never before 0.
ReferenceTime EarlierCapturePosition(ReferenceTime position);

// One frame forward (from before the end) or back (from after the start);
// elsewhere the position stays. A step back never goes below 0.
ReferenceTime StepForwardPosition(ReferenceTime current, ReferenceTime duration,
                                  double frameSeconds);
ReferenceTime StepBackwardPosition(ReferenceTime current, double frameSeconds);

} // namespace kadrix
