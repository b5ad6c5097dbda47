// The capture job end to end: positions proven by the colour of the stored
// frame, every container the platform decodes, frame shapes, inputs that must
// fail, and the deadline.
#include "engine/capture/capture_job.h"
#include "engine/store/core/stream_names.h"
#include "capture/live_jobs.h"
#include "support/clips.h"
#include "support/failing_allocations.h"
#include "support/hresult.h"
#include "support/process_end.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <vfwmsgs.h>

#include <string>

using namespace kadrix;
using namespace kadrix::test;

namespace {

std::string Narrow(const std::wstring& s)
{
    return std::string(s.begin(), s.end());
}

class CaptureJobTest : public testing::Test
{
protected:
    // Captures a copy of the clip and returns the stored automatic thumbnail.
    Picture Capture(const wchar_t* name, double value, double scale)
    {
        const std::wstring clip = CopyClip(dir_, name);
        EXPECT_FALSE(clip.empty()) << "no clip " << Narrow(name);
        const HRESULT hr = CaptureToStream(clip.c_str(), value, scale, 0);
        EXPECT_EQ(hr, S_OK) << std::hex << hr;
        Picture frame = LoadPicture(StreamPath(clip, kadrix::kAutoThumbStream));
        ::DeleteFileW(StreamPath(clip, kadrix::kAutoThumbStream).c_str());
        ::DeleteFileW(clip.c_str());
        return frame;
    }
    int SegmentAt(const wchar_t* name, double value, double scale)
    {
        return SegmentOf(Capture(name, value, scale));
    }

    TempDir dir_;
};

TEST_F(CaptureJobTest, FractionModeTakesThatShareOfTheClip)
{
    EXPECT_EQ(SegmentAt(L"h264.mp4", 0.0, 1.0), 0);
    EXPECT_EQ(SegmentAt(L"h264.mp4", 0.5, 1.0), 4);
    EXPECT_EQ(SegmentAt(L"h264.mp4", 0.25, 1.0), 2);
    EXPECT_EQ(SegmentAt(L"h264.mp4", 50.0, 100.0), 4);
    // The very end: no frame starts there, so the job takes the last second.
    EXPECT_EQ(SegmentAt(L"h264.mp4", 1.0, 1.0), kSegments - 1);
}

TEST_F(CaptureJobTest, SecondsModeCountsFromTheStartOrTakesTheMiddle)
{
    EXPECT_EQ(SegmentAt(L"h264.mp4", 0.0, 0.0), 0);
    EXPECT_EQ(SegmentAt(L"h264.mp4", 3.5, 0.0), 3);
    EXPECT_EQ(SegmentAt(L"h264.mp4", 7.0, 0.0), 7);
    EXPECT_EQ(SegmentAt(L"h264.mp4", 30.0, 0.0), 4); // past the end: the middle
    // Fraction mode needs a scale above one half: this is half a second.
    EXPECT_EQ(SegmentAt(L"h264.mp4", 0.5, 0.5), 0);
}

TEST_F(CaptureJobTest, UserChosenGoesToItsOwnStream)
{
    const std::wstring clip = CopyClip(dir_, L"mjpeg.avi");
    const Bytes mainData = ReadFileBytes(clip);
    ASSERT_EQ(CaptureToStream(clip.c_str(), 5.5, 0.0, 1), S_OK);
    EXPECT_EQ(SegmentOf(LoadPicture(StreamPath(clip, kadrix::kUserThumbStream))), 5);
    EXPECT_FALSE(FileExists(StreamPath(clip, kadrix::kAutoThumbStream)));
    EXPECT_EQ(ReadFileBytes(clip), mainData);
}

std::string ParamName(const testing::TestParamInfo<const wchar_t*>& info)
{
    std::string name = Narrow(info.param);
    for (char& c : name)
        if (c == '.')
            c = '_';
    return name;
}

// Every container and codec behind the associated extensions: the first
// frame, at native size, and the main data untouched.
class ContainerTest : public CaptureJobTest, public testing::WithParamInterface<const wchar_t*>
{
};

TEST_P(ContainerTest, StoresTheFirstFrameAtNativeSize)
{
    const std::wstring clip = CopyClip(dir_, GetParam());
    ASSERT_FALSE(clip.empty());
    const Bytes mainData = ReadFileBytes(clip);
    ASSERT_EQ(CaptureToStream(clip.c_str(), 0.0, 1.0, 0), S_OK);
    const Picture frame = LoadPicture(StreamPath(clip, kadrix::kAutoThumbStream));
    EXPECT_EQ(frame.width, kClipWidth);
    EXPECT_EQ(frame.height, kClipHeight);
    EXPECT_EQ(SegmentOf(frame), 0);
    // The first frame's mark sits in the top-left corner: right side up.
    if (!frame.empty()) {
        EXPECT_TRUE(Near(frame.mean(2, 2, 4, 4), {32, 32, 32}, 40)) << frame.mean(2, 2, 4, 4);
    }
    EXPECT_EQ(ReadFileBytes(clip), mainData);
}

INSTANTIATE_TEST_SUITE_P(Clips, ContainerTest,
                         testing::Values(L"h264.mp4", L"mjpeg.avi", L"mpeg4.avi", L"h264.mkv",
                                         L"h264.mov", L"flv1.flv", L"wmv2.wmv", L"wmv2.asf",
                                         L"mpeg1.mpg", L"mpeg2.mpeg", L"mpeg1.mpe", L"mpeg1.m1v",
                                         L"mpeg2.m2v", L"mpeg2.mpv2", L"withaudio.avi"),
                         ParamName);

// Containers that index their frames: the middle and the end land in their
// segments. (MPEG program and elementary streams carry no index; the
// platform estimates their duration and seeks by byte rate, a second or more
// off, so they are held to the first frame above.)
class IndexedContainerTest : public ContainerTest
{
};

TEST_P(IndexedContainerTest, TakesTheMiddleAndTheEnd)
{
    EXPECT_EQ(SegmentAt(GetParam(), 0.5, 1.0), 4);
    EXPECT_EQ(SegmentAt(GetParam(), 1.0, 1.0), kSegments - 1);
}

INSTANTIATE_TEST_SUITE_P(Clips, IndexedContainerTest,
                         testing::Values(L"h264.mp4", L"mjpeg.avi", L"mpeg4.avi", L"h264.mkv",
                                         L"h264.mov", L"flv1.flv", L"wmv2.wmv", L"withaudio.avi"),
                         ParamName);

TEST_F(CaptureJobTest, FramesKeepTheirShapeAndRowPadding)
{
    struct Shape
    {
        const wchar_t* clip;
        int width, height;
    };
    for (const Shape& shape : {Shape{L"portrait.mp4", 240, 320}, Shape{L"padded.mp4", 322, 242},
                               Shape{L"odd.avi", 161, 121}}) {
        SCOPED_TRACE(Narrow(shape.clip));
        const Picture frame = Capture(shape.clip, 0.5, 1.0);
        EXPECT_EQ(frame.width, shape.width);
        EXPECT_EQ(frame.height, shape.height);
        EXPECT_EQ(SegmentOf(frame), 4);
        // A row misread by a byte or more would shear the picture: the corners
        // under the mark row agree with the centre.
        if (!frame.empty()) {
            const Rgb left = frame.mean(1, frame.height - 6, 4, 4);
            const Rgb right = frame.mean(frame.width - 5, frame.height - 6, 4, 4);
            EXPECT_TRUE(Near(left, kSegmentColours[4], 40)) << left;
            EXPECT_TRUE(Near(right, kSegmentColours[4], 40)) << right;
        }
    }
}

TEST_F(CaptureJobTest, TheVideoStreamIsFoundBehindAnAudioStream)
{
    EXPECT_EQ(SegmentAt(L"audiofirst.wmv", 0.5, 1.0), 4);
    EXPECT_EQ(SegmentAt(L"audiofirst.mkv", 0.5, 1.0), 4);
}

TEST_F(CaptureJobTest, AGrabDoesNotWaitForLateTimeStamps)
{
    // The first frame is stamped 20 s: with a reference clock the graph would
    // hold it until then, past the deadline, and the job would store nothing.
    EXPECT_EQ(SegmentAt(L"late.mkv", 0.0, 1.0), 0);
}

TEST_F(CaptureJobTest, UnplayableInputsFailFastAndWriteNothing)
{
    for (const wchar_t* name : {L"playlist.asx", L"empty.avi", L"text.avi", L"random.mp4",
                                L"audioonly.mp4", L"audioonly.wmv"}) {
        SCOPED_TRACE(Narrow(name));
        const std::wstring clip = CopyClip(dir_, name);
        ASSERT_FALSE(clip.empty());
        const Bytes mainData = ReadFileBytes(clip);
        // Fast: the job fails by itself, not by running into its deadline
        // (timing it would only measure how busy the machine is).
        const HRESULT hr = CaptureToStream(clip.c_str(), 0.5, 1.0, 0);
        EXPECT_FAILED(hr);
        EXPECT_NE(hr, HRESULT_FROM_WIN32(ERROR_TIMEOUT));
        EXPECT_FALSE(FileExists(StreamPath(clip, kadrix::kAutoThumbStream)));
        EXPECT_EQ(ReadFileBytes(clip), mainData);
    }
    EXPECT_EQ(CaptureToStream(nullptr, 0.5, 1.0, 0), E_POINTER);
    EXPECT_FAILED(CaptureToStream(dir_.file(L"missing.avi").c_str(), 0.5, 1.0, 0));
}

TEST_F(CaptureJobTest, ClipsCutWhereNothingDecodesAreRefusedBeforeAnyGraph)
{
    // Wine's demuxers stall on some of these until the deadline; the
    // container's structure says at once that nothing decodes them.
    for (const wchar_t* name : {L"cut-header.avi", L"cut-frame.avi", L"cut-half.mp4"}) {
        SCOPED_TRACE(Narrow(name));
        const std::wstring clip = CopyClip(dir_, name);
        ASSERT_FALSE(clip.empty());
        const Bytes mainData = ReadFileBytes(clip);
        const ULONGLONG start = ::GetTickCount64();
        EXPECT_EQ(CaptureToStream(clip.c_str(), 0.5, 1.0, 0), VFW_E_INVALID_FILE_FORMAT);
        EXPECT_LT(::GetTickCount64() - start, kadrix::kCaptureDeadlineMs / 2);
        EXPECT_FALSE(FileExists(StreamPath(clip, kadrix::kAutoThumbStream)));
        EXPECT_EQ(ReadFileBytes(clip), mainData);
    }
}

TEST_F(CaptureJobTest, AClipCutShortGivesARealFrameOrNone)
{
    const std::wstring clip = CopyClip(dir_, L"cut-half.avi");
    // Wine's demuxers may stall on it and keep the worker to the end.
    EndWithoutTeardown();
    const HRESULT hr = CaptureToStream(clip.c_str(), 0.25, 1.0, 0);
    const Picture frame = LoadPicture(StreamPath(clip, kadrix::kAutoThumbStream));
    if (SUCCEEDED(hr)) {
        EXPECT_GE(SegmentOf(frame), 0);
    } else {
        EXPECT_TRUE(frame.empty());
    }
}

TEST_F(CaptureJobTest, AFinishedJobLeavesNoWorkerBehind)
{
    const long liveBefore = kadrix::LiveCaptureJobs();
    EXPECT_EQ(SegmentAt(L"mjpeg.avi", 0.0, 1.0), 0);
    EXPECT_TRUE(LiveJobsBecome(liveBefore));
}

// Whenever the caller gives up, the worker that goes on writes nothing, even
// a frame it grabs a moment later.
TEST_F(CaptureJobTest, AJobGivenUpOnNeverWrites)
{
    const long liveBefore = kadrix::LiveCaptureJobs();
    for (DWORD deadline : {25u, 75u, 125u, 175u, 225u, 275u, 325u, 400u, 500u, 650u}) {
        SCOPED_TRACE(deadline);
        const std::wstring clip = dir_.file(L"at" + std::to_wstring(deadline) + L".avi");
        ASSERT_TRUE(::CopyFileW(MediaClip(L"mjpeg.avi").c_str(), clip.c_str(), FALSE));
        const HRESULT hr = RunCaptureJob(clip.c_str(), 0.5, 1.0, 0, deadline);
        ASSERT_TRUE(LiveJobsBecome(liveBefore));
        if (hr == HRESULT_FROM_WIN32(ERROR_TIMEOUT))
            EXPECT_FALSE(FileExists(StreamPath(clip, kadrix::kAutoThumbStream)));
        else
            EXPECT_EQ(hr, S_OK);
    }
}

// An allocation that fails anywhere in a job - asking for it, making it,
// running it - fails that job alone: the file leaves the busy list and no
// worker stays behind, so the next job on the file works.
TEST_F(CaptureJobTest, AFailedAllocationLeavesTheFileFree)
{
    const std::wstring clip = CopyClip(dir_, L"mjpeg.avi");
    const kadrix::FramePosition start = kadrix::FramePosition::Setting(0.0, 1.0);
    const long liveBefore = kadrix::LiveCaptureJobs();
    HRESULT hr = E_FAIL;
    // Each allocation fails in turn, until the job makes all it needs.
    for (std::size_t allowed = 0; hr != S_OK && allowed < 100; ++allowed) {
        kadrix::unique_hbitmap frame;
        {
            FailingAllocations failing(allowed);
            hr = kadrix::GrabFrameJob(clip.c_str(), start, kadrix::kCaptureDeadlineMs, &frame);
        }
        // A file kept on the busy list would answer so for the rest of the process.
        ASSERT_NE(hr, HRESULT_FROM_WIN32(ERROR_BUSY)) << "after " << allowed << " allocations";
        ASSERT_TRUE(FAILED(hr) || frame) << "after " << allowed << " allocations";
        ASSERT_TRUE(LiveJobsBecome(liveBefore)) << "after " << allowed << " allocations";
    }
    EXPECT_EQ(hr, S_OK);
    kadrix::unique_hbitmap frame;
    EXPECT_EQ(kadrix::GrabFrameJob(clip.c_str(), start, kadrix::kCaptureDeadlineMs, &frame), S_OK);
    EXPECT_TRUE(frame);
    EXPECT_TRUE(LiveJobsBecome(liveBefore));
}

} // namespace
