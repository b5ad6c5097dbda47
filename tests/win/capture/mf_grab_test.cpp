// The Media Foundation grab on the time-coded clips: positions proven by the
// frame's colour in every container the source reader opens, native frame
// shapes, and inputs that must fail. (Clips cut short are left out: Wine's
// source now and then stalls on them inside the reader, as its DirectShow
// splitters do; the capture job's deadline is what ends such a grab.)
#include "engine/capture/mf_grab.h"
#include "support/clips.h"
#include "support/hresult.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace kadrix::test;
using kadrix::GrabFrameWithMediaFoundation;
using kadrix::unique_hbitmap;

namespace {

std::string Narrow(const std::wstring& s)
{
    return std::string(s.begin(), s.end());
}

class MfGrabTest : public testing::Test
{
protected:
    // The grab needs COM on its thread, as the capture job's worker has it.
    void SetUp() override { ASSERT_SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override { ::CoUninitialize(); }

    static Picture Grab(const wchar_t* clip, double value, double scale)
    {
        unique_hbitmap frame;
        const HRESULT hr =
            GrabFrameWithMediaFoundation(MediaClip(clip).c_str(), value, scale, &frame);
        EXPECT_EQ(hr, S_OK) << std::hex << hr;
        return frame ? PictureFromBitmap(frame.get()) : Picture{};
    }
};

// Containers whose frames are indexed, as the capture job's tests hold them;
// each through the capture job's position rule.
TEST_F(MfGrabTest, PicksTheSegmentOfTheRequestedPosition)
{
    for (const wchar_t* clip : {L"h264.mp4", L"h264.mkv", L"h264.mov", L"mjpeg.avi", L"mpeg4.avi",
                                L"wmv2.wmv", L"flv1.flv", L"withaudio.avi"}) {
        SCOPED_TRACE(Narrow(clip));
        const Picture first = Grab(clip, 0.0, 1.0);
        EXPECT_EQ(SegmentOf(first), 0);
        // The first frame's mark sits in the top-left corner: right side up.
        if (!first.empty()) {
            EXPECT_TRUE(Near(first.mean(2, 2, 4, 4), {32, 32, 32}, 40)) << first.mean(2, 2, 4, 4);
        }
        EXPECT_EQ(SegmentOf(Grab(clip, 0.5, 1.0)), 4);  // Percent 50
        EXPECT_EQ(SegmentOf(Grab(clip, 3.0, 0.0)), 3);  // Time 3
        EXPECT_EQ(SegmentOf(Grab(clip, 30.0, 0.0)), 4); // longer than the clip: the middle
        EXPECT_EQ(SegmentOf(Grab(clip, 0.5, 0.5)), 0);  // seconds, not half the clip
        // No frame starts at the very end: the last one comes.
        EXPECT_EQ(SegmentOf(Grab(clip, 1.0, 1.0)), kSegments - 1);
    }
    // The picture behind an audio stream; time stamps that start 20 s in.
    EXPECT_EQ(SegmentOf(Grab(L"audiofirst.wmv", 0.5, 1.0)), 4);
    EXPECT_EQ(SegmentOf(Grab(L"audiofirst.mkv", 0.5, 1.0)), 4);
    EXPECT_EQ(SegmentOf(Grab(L"late.mkv", 0.0, 1.0)), 0);
}

TEST_F(MfGrabTest, FramesHaveTheClipsNativeShape)
{
    struct Shape
    {
        const wchar_t* clip;
        int width, height;
    };
    for (const Shape& shape :
         {Shape{L"h264.mp4", kClipWidth, kClipHeight}, Shape{L"portrait.mp4", 240, 320},
          Shape{L"padded.mp4", 322, 242}, Shape{L"odd.avi", 161, 121}, Shape{L"tiny.mp4", 2, 2}}) {
        SCOPED_TRACE(Narrow(shape.clip));
        unique_hbitmap bitmap;
        ASSERT_EQ(GrabFrameWithMediaFoundation(MediaClip(shape.clip).c_str(), 0.5, 1.0, &bitmap),
                  S_OK);
        // One to look at: rows of 322 pixels, padded in the decoder.
        if (shape.width == 322) {
            EXPECT_TRUE(SavePng(bitmap.get(), KADRIX_ARTEFACTS L"/mf-grab-padded.png"));
        }
        const Picture frame = PictureFromBitmap(bitmap.get());
        ASSERT_EQ(frame.width, shape.width);
        ASSERT_EQ(frame.height, shape.height);
        if (shape.width < 16) {
            // Too small for the mark test: the whole frame is segment 4.
            EXPECT_TRUE(Near(frame.mean(0, 0, 2, 2), kSegmentColours[4], 40))
                << frame.mean(0, 0, 2, 2);
            continue;
        }
        EXPECT_EQ(SegmentOf(frame), 4);
        // A row or a plane misplaced by a byte or more shears the picture or
        // tints it: the corners (the top one right of the mark's path) agree
        // with the centre, and the colour is clean.
        for (const auto& [x, y] : {std::pair{frame.width - 5, 1},
                                   {1, frame.height - 5},
                                   {frame.width - 5, frame.height - 5}}) {
            const Rgb corner = frame.mean(x, y, 4, 4);
            EXPECT_TRUE(Near(corner, kSegmentColours[4], 24)) << x << "," << y << " " << corner;
        }
    }
}

TEST_F(MfGrabTest, UnplayableInputsFailWithoutABitmap)
{
    for (const wchar_t* name : {L"empty.avi", L"text.avi", L"random.mp4", L"playlist.asx",
                                L"audioonly.mp4", L"audioonly.wmv", L"missing.avi"}) {
        SCOPED_TRACE(Narrow(name));
        unique_hbitmap frame(::CreateBitmap(1, 1, 1, 32, nullptr)); // replaced by nothing
        EXPECT_FAILED(GrabFrameWithMediaFoundation(MediaClip(name).c_str(), 0.5, 1.0, &frame));
        EXPECT_FALSE(frame);
    }
    unique_hbitmap frame;
    EXPECT_EQ(GrabFrameWithMediaFoundation(nullptr, 0.5, 1.0, &frame), E_POINTER);
    EXPECT_EQ(GrabFrameWithMediaFoundation(MediaClip(L"h264.mp4").c_str(), 0.5, 1.0, nullptr),
              E_POINTER);
}

} // namespace
