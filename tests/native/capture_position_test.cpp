#include "engine/capture/core/capture_position.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kadrix;

namespace {

constexpr ReferenceTime kSecond = kReferenceUnitsPerSecond;
constexpr ReferenceTime kClip = 9 * kSecond + 1; // odd, to see the integer halving

TEST(CaptureJobPosition, FractionModeTakesThatShareOfTheClip)
{
    EXPECT_EQ(CaptureJobPosition(kClip, 0.0, 1.0), 0);
    EXPECT_EQ(CaptureJobPosition(kClip, 0.5, 1.0), 45'000'000); // 90'000'001 / 2, truncated
    EXPECT_EQ(CaptureJobPosition(kClip, 1.0, 1.0), kClip);      // the very end
    EXPECT_EQ(CaptureJobPosition(kClip, 0.25, 1.0), 22'500'000);
    // The quotient is taken first: 50 / 100 of the clip.
    EXPECT_EQ(CaptureJobPosition(100, 50.0, 100.0), 50);
    // Truncated toward zero, not rounded.
    EXPECT_EQ(CaptureJobPosition(10, 0.99, 1.0), 9);
}

TEST(CaptureJobPosition, FractionModeNeedsScaleAboveOneHalf)
{
    // (0.5, 0.5) is seconds mode: half a second, not half the clip.
    EXPECT_EQ(CaptureJobPosition(kClip, 0.5, 0.5), kSecond / 2);
    EXPECT_EQ(CaptureJobPosition(kClip, 0.51, 0.51), kClip); // just above: the whole clip
}

TEST(CaptureJobPosition, SecondsModeCountsFromTheStart)
{
    EXPECT_EQ(CaptureJobPosition(kClip, 0.0, 0.0), 0);
    EXPECT_EQ(CaptureJobPosition(9 * kSecond, 2.0, 0.0), 2 * kSecond);
    EXPECT_EQ(CaptureJobPosition(9 * kSecond, 9.0, 0.0), 9 * kSecond); // exactly the length
}

TEST(CaptureJobPosition, SecondsPastTheEndTakeTheMiddle)
{
    EXPECT_EQ(CaptureJobPosition(kClip, 10.0, 0.0), kClip / 2);
    EXPECT_EQ(CaptureJobPosition(kClip, 3600.0, 0.0), 45'000'000);
}

TEST(CaptureJobPosition, OutlandishInputsStayInsideTheClip)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(CaptureJobPosition(kClip, 50.0, 1.0), kClip); // a setting of 5000 %
    EXPECT_EQ(CaptureJobPosition(kClip, -0.5, 1.0), 0);
    EXPECT_EQ(CaptureJobPosition(kClip, nan, 1.0), 0);
    EXPECT_EQ(CaptureJobPosition(kClip, inf, 1.0), kClip);
    EXPECT_EQ(CaptureJobPosition(kClip, -3.0, 0.0), 0);
    EXPECT_EQ(CaptureJobPosition(kClip, nan, 0.0), 0);
    EXPECT_EQ(CaptureJobPosition(kClip, inf, 0.0), kClip / 2);
    // A source that reports no length, or a negative one.
    EXPECT_EQ(CaptureJobPosition(0, 0.5, 1.0), 0);
    EXPECT_EQ(CaptureJobPosition(0, 0.0, 0.0), 0);
    EXPECT_EQ(CaptureJobPosition(-5, 3.0, 0.0), 0);
}

TEST(CaptureJobPosition, TheRetryGoesOneSecondBackButNotBeforeTheStart)
{
    EXPECT_EQ(EarlierCapturePosition(kClip), kClip - kSecond);
    EXPECT_EQ(EarlierCapturePosition(kSecond + 1), 1);
    EXPECT_EQ(EarlierCapturePosition(kSecond), 0);
    EXPECT_EQ(EarlierCapturePosition(kSecond / 2), 0);
}

TEST(FrameStep, ForwardAddsOneFrameUntilTheEnd)
{
    EXPECT_EQ(StepForwardPosition(0, kClip, 0.04), 400'000);
    EXPECT_EQ(StepForwardPosition(kSecond, kClip, 0.04), kSecond + 400'000);
    EXPECT_EQ(StepForwardPosition(kClip, kClip, 0.04), kClip);         // at the end
    EXPECT_EQ(StepForwardPosition(kClip + 7, kClip, 0.04), kClip + 7); // beyond it
    EXPECT_EQ(StepForwardPosition(kClip - 1, kClip, 0.04), kClip - 1 + 400'000);
}

TEST(FrameStep, BackwardTakesOneFrameAndStopsAtZero)
{
    EXPECT_EQ(StepBackwardPosition(kSecond, 0.04), kSecond - 400'000);
    EXPECT_EQ(StepBackwardPosition(0, 0.04), 0);
    // Less than one frame from the start: the first frame, never a negative time.
    EXPECT_EQ(StepBackwardPosition(100'000, 0.04), 0);
    EXPECT_EQ(StepBackwardPosition(400'000, 0.04), 0);
}

TEST(FrameStep, NoUsableFrameDurationLeavesThePosition)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(StepForwardPosition(kSecond, kClip, 0.0), kSecond);
    EXPECT_EQ(StepForwardPosition(kSecond, kClip, nan), kSecond);
    EXPECT_EQ(StepForwardPosition(kSecond, kClip, -0.04), kSecond);
    EXPECT_EQ(StepBackwardPosition(kSecond, 0.0), kSecond);
    EXPECT_EQ(StepBackwardPosition(kSecond, nan), kSecond);
    EXPECT_EQ(StepBackwardPosition(kSecond, -0.04), kSecond);
}

} // namespace
