// Captures that stall: the deadline, the one worker a stalled clip keeps,
// the cap on stalled workers, and the caller's thread answering meanwhile.
// Each of these tests leaves a worker stalled for the rest of the process
// (the platform never lets it go), so they run in a process of their own,
// in this order, the one that fills the cap last.
#include "engine/capture/capture_job.h"
#include "engine/store/core/stream_names.h"
#include "capture/live_jobs.h"
#include "support/clips.h"
#include "support/hresult.h"
#include "support/process_end.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>

using namespace kadrix;
using namespace kadrix::test;

namespace {

class CaptureStallTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { EndWithoutTeardown(); }

    // A copy of a clip whose header holds an element of unknown size: the
    // graph never finishes connecting it.
    std::wstring StallingClip(const std::wstring& name) const
    {
        const std::wstring clip = dir_.file(name);
        EXPECT_TRUE(::CopyFileW(MediaClip(L"stuck-header.mkv").c_str(), clip.c_str(), FALSE));
        return clip;
    }

    // Captures a copy of the clip and returns the segment its frame shows.
    int SegmentAt(const wchar_t* name, double value, double scale)
    {
        const std::wstring clip = CopyClip(dir_, name);
        EXPECT_EQ(CaptureToStream(clip.c_str(), value, scale, 0), S_OK);
        return SegmentOf(LoadPicture(StreamPath(clip, kadrix::kAutoThumbStream)));
    }

    TempDir dir_;
};

TEST_F(CaptureStallTest, AStalledCaptureEndsAtTheDeadlineAndTheNextOneWorks)
{
    // The graph never finishes connecting the clip; the job gives up at its
    // deadline and leaves the stalled worker behind.
    const std::wstring stalled = StallingClip(L"first.mkv");
    const long liveBefore = kadrix::LiveCaptureJobs();
    const DWORD start = ::GetTickCount();
    const HRESULT hr = CaptureToStream(stalled.c_str(), 0.5, 1.0, 0);
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_TIMEOUT)) << std::hex << hr;
    EXPECT_GE(elapsed + 50, kadrix::kCaptureDeadlineMs);
    EXPECT_LT(elapsed, kadrix::kCaptureDeadlineMs + 1000);
    EXPECT_FALSE(FileExists(StreamPath(stalled, kadrix::kAutoThumbStream)));

    EXPECT_EQ(SegmentAt(L"h264.mp4", 0.5, 1.0), 4);
    EXPECT_FALSE(FileExists(StreamPath(stalled, kadrix::kAutoThumbStream)));
    // The finished job is gone; the stalled one may still be there.
    EXPECT_TRUE(LiveJobsBecome(liveBefore + 1) || LiveJobsBecome(liveBefore));
}

// Another apartment's call into the waiting thread, made a moment after the
// wait began; how long it took to be answered.
struct CallIn
{
    IStream* marshalled = nullptr;
    DWORD answeredInMs = INFINITE;
};

DWORD WINAPI CallInWhileItWaits(void* parameter)
{
    auto* call = static_cast<CallIn*>(parameter);
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IStream* stream = nullptr;
    if (SUCCEEDED(::CoGetInterfaceAndReleaseStream(call->marshalled, IID_IStream,
                                                   reinterpret_cast<void**>(&stream)))) {
        ::Sleep(200);
        const ULONGLONG start = ::GetTickCount64();
        STATSTG stat{};
        if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)))
            call->answeredInMs = static_cast<DWORD>(::GetTickCount64() - start);
        stream->Release();
    }
    ::CoUninitialize();
    return 0;
}

TEST_F(CaptureStallTest, TheCallersThreadKeepsAnsweringWhileItWaits)
{
    // The caller is a single-threaded apartment, as the shell's threads are:
    // a call another apartment makes to it while it waits is answered.
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    IStream* memory = nullptr;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, &memory), S_OK);
    CallIn call;
    ASSERT_EQ(::CoMarshalInterThreadInterfaceInStream(IID_IStream, memory, &call.marshalled), S_OK);
    HANDLE caller = ::CreateThread(nullptr, 0, &CallInWhileItWaits, &call, 0, nullptr);
    ASSERT_NE(caller, nullptr);

    const std::wstring stalled = StallingClip(L"waiting.mkv");
    EXPECT_EQ(RunCaptureJob(stalled.c_str(), 0.5, 1.0, 0, 1500), HRESULT_FROM_WIN32(ERROR_TIMEOUT));
    EXPECT_LT(call.answeredInMs, 1000u) << "the call waited for the capture";

    ::WaitForSingleObject(caller, 5000);
    ::CloseHandle(caller);
    memory->Release();
    ::CoUninitialize();
}

// A stalled clip keeps one worker, and only one: asked again unchanged it is
// answered at once; asked elsewhere while its worker lives, it is busy.
TEST_F(CaptureStallTest, AStalledClipHoldsOneWorkerAndIsNotAskedAgain)
{
    const std::wstring stalled = StallingClip(L"again.mkv");
    const long liveBefore = kadrix::LiveCaptureJobs();
    EXPECT_EQ(RunCaptureJob(stalled.c_str(), 0.5, 1.0, 0, 1000), HRESULT_FROM_WIN32(ERROR_TIMEOUT));
    EXPECT_EQ(kadrix::LiveCaptureJobs(), liveBefore + 1);

    // Asked again: unchanged, at once; elsewhere, busy.
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(RunCaptureJob(stalled.c_str(), 0.5, 1.0, 0, 1000), HRESULT_FROM_WIN32(ERROR_TIMEOUT));
    EXPECT_EQ(RunCaptureJob(stalled.c_str(), 0.25, 1.0, 0, 1000), HRESULT_FROM_WIN32(ERROR_BUSY));
    EXPECT_LT(::GetTickCount() - start, 500u) << "the stalled clip was asked again";
    EXPECT_EQ(kadrix::LiveCaptureJobs(), liveBefore + 1);
}

// However many clips stall, the process keeps only a few workers with them.
// (The tests before left theirs stalled: they count too.)
TEST_F(CaptureStallTest, NoMoreThanAFewWorkersStallAtOnce)
{
    for (int i = 0; kadrix::LiveCaptureJobs() < kadrix::kMaxLiveCaptureJobs; ++i) {
        ASSERT_LT(i, kadrix::kMaxLiveCaptureJobs);
        const std::wstring stalled = StallingClip(L"stall" + std::to_wstring(i) + L".mkv");
        EXPECT_EQ(RunCaptureJob(stalled.c_str(), 0.5, 1.0, 0, 300),
                  HRESULT_FROM_WIN32(ERROR_TIMEOUT));
    }
    const std::wstring clip = CopyClip(dir_, L"mjpeg.avi");
    EXPECT_EQ(CaptureToStream(clip.c_str(), 0.5, 1.0, 0),
              HRESULT_FROM_WIN32(ERROR_MAX_THRDS_REACHED));
    EXPECT_FALSE(FileExists(StreamPath(clip, kadrix::kAutoThumbStream)));
    EXPECT_EQ(kadrix::LiveCaptureJobs(), kadrix::kMaxLiveCaptureJobs);
}

} // namespace
