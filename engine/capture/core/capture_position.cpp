#include "engine/capture/core/capture_position.h"

#include <cmath>

namespace kadrix {
namespace {

// Truncates toward zero into [low, high]. A NaN or a value beyond the range
// (a setting of 5000 %, a clip of no length) would be undefined as a plain
// cast; it lands on the nearer end instead, NaN on low.
ReferenceTime TruncateInto(double value, ReferenceTime low, ReferenceTime high)
{
    if (!(value > static_cast<double>(low)))
        return low;
    if (value >= static_cast<double>(high))
        return high;
    return static_cast<ReferenceTime>(value);
}

} // namespace

ReferenceTime CaptureJobPosition(ReferenceTime duration, double value, double scale)
{
    if (duration <= 0)
        return 0;
    const double length = static_cast<double>(duration);
    if (scale > 0.5)
        return TruncateInto(length * (value / scale), 0, duration);

    const double seconds = length / kReferenceUnitsPerSecond;
    if (seconds < value)
        return duration / 2;
    return TruncateInto(length * value / seconds, 0, duration);
}

ReferenceTime EarlierCapturePosition(ReferenceTime position)
{
    return position > kReferenceUnitsPerSecond ? position - kReferenceUnitsPerSecond : 0;
}

ReferenceTime StepForwardPosition(ReferenceTime current, ReferenceTime duration,
                                  double frameSeconds)
{
    if (current >= duration || !std::isfinite(frameSeconds))
        return current;
    return TruncateInto(frameSeconds * kReferenceUnitsPerSecond + static_cast<double>(current),
                        current, INT64_MAX);
}

ReferenceTime StepBackwardPosition(ReferenceTime current, double frameSeconds)
{
    if (current <= 0 || !std::isfinite(frameSeconds))
        return current;
    // Less than one frame from the start, a step back lands on the first
    // frame rather than asking for a negative position.
    return TruncateInto(static_cast<double>(current) - frameSeconds * kReferenceUnitsPerSecond, 0,
                        current);
}

} // namespace kadrix
