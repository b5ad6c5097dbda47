// CVideoCapture and its callback, driven directly: the callback's COM
// contract and drawing, grab mode's Open and SaveFrame, and preview mode in
// a window of the test.
#include "engine/capture/core/capture_position.h"
#include "engine/store/core/stream_names.h"
#include "engine/capture/video_capture.h"
#include "support/clips.h"
#include "support/hresult.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kadrix;
using namespace kadrix::test;

namespace {

constexpr LONGLONG kSecond = kReferenceUnitsPerSecond;

// A memory DC with a 32-bit bitmap of one colour selected, as SaveFrame
// prepares it for the callback.
class TargetBitmap
{
public:
    TargetBitmap(int width, int height)
        : bitmap_(MakeSolidBitmap(width, height, {1, 2, 3})), dc_(::CreateCompatibleDC(nullptr)),
          old_(::SelectObject(dc_.get(), bitmap_.get()))
    {
    }
    ~TargetBitmap() { ::SelectObject(dc_.get(), old_); }
    HDC dc() const { return dc_.get(); }
    Picture picture() const
    {
        ::GdiFlush();
        return PictureFromBitmap(bitmap_.get());
    }

private:
    kadrix::unique_hbitmap bitmap_;
    kadrix::unique_hdc dc_;
    HGDIOBJ old_;
};

// A 24-bit DIB with the top half red and the bottom half blue, rows padded
// to 4 bytes, stored bottom-up or top-down.
std::vector<BYTE> TwoToneDib(int width, int height, bool topDown)
{
    const int stride = (width * 3 + 3) & ~3;
    std::vector<BYTE> bytes(static_cast<std::size_t>(stride) * height, 0);
    for (int row = 0; row < height; ++row) {
        const int pictureRow = topDown ? row : height - 1 - row;
        const bool top = pictureRow < height / 2;
        for (int x = 0; x < width; ++x) {
            BYTE* p = &bytes[static_cast<std::size_t>(row) * stride + x * 3];
            p[0] = top ? 0 : 255; // blue
            p[1] = 0;
            p[2] = top ? 255 : 0; // red
        }
    }
    return bytes;
}

TEST(SampleGrabberCallback, AnswersItsTwoInterfacesWithoutCounting)
{
    CSampleGrabberCB callback;
    void* out = nullptr;
    EXPECT_EQ(callback.QueryInterface(__uuidof(ISampleGrabberCB), &out), S_OK);
    EXPECT_EQ(out, static_cast<ISampleGrabberCB*>(&callback));
    out = nullptr;
    EXPECT_EQ(callback.QueryInterface(__uuidof(IUnknown), &out), S_OK);
    EXPECT_EQ(out, static_cast<ISampleGrabberCB*>(&callback));
    out = &callback;
    EXPECT_EQ(callback.QueryInterface(IID_IBaseFilter, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(callback.QueryInterface(__uuidof(IUnknown), nullptr), E_POINTER);
    EXPECT_EQ(callback.AddRef(), 2u);
    EXPECT_EQ(callback.AddRef(), 2u);
    EXPECT_EQ(callback.Release(), 1u);
    EXPECT_EQ(callback.SampleCB(0.0, nullptr), S_OK);
}

TEST(SampleGrabberCallback, DrawsBottomUpAndTopDownRowsRightSideUp)
{
    // Width 5: 15 bytes of pixels, 16 with padding.
    for (const bool topDown : {false, true}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        TargetBitmap target(5, 4);
        CSampleGrabberCB callback;
        callback.width = 5;
        callback.height = topDown ? -4 : 4;
        callback.targetDC = target.dc();
        std::vector<BYTE> dib = TwoToneDib(5, 4, topDown);
        ASSERT_EQ(callback.BufferCB(0.0, dib.data(), static_cast<LONG>(dib.size())), S_OK);
        EXPECT_TRUE(callback.delivered.load());
        const Picture picture = target.picture();
        ASSERT_FALSE(picture.empty());
        EXPECT_TRUE(Near(picture.at(4, 0), {255, 0, 0}, 0)) << picture.at(4, 0);
        EXPECT_TRUE(Near(picture.at(0, 1), {255, 0, 0}, 0)) << picture.at(0, 1);
        EXPECT_TRUE(Near(picture.at(4, 3), {0, 0, 255}, 0)) << picture.at(4, 3);
    }
}

TEST(SampleGrabberCallback, RefusesABufferShorterThanTheFrame)
{
    TargetBitmap target(5, 4);
    CSampleGrabberCB callback;
    callback.width = 5;
    callback.height = -4;
    callback.targetDC = target.dc();
    std::vector<BYTE> dib = TwoToneDib(5, 4, true);
    // Exactly the frame without its last row padding is already too short.
    EXPECT_EQ(callback.BufferCB(0.0, dib.data(), static_cast<LONG>(dib.size()) - 1), E_INVALIDARG);
    EXPECT_EQ(callback.BufferCB(0.0, dib.data(), 0), E_INVALIDARG);
    EXPECT_EQ(callback.BufferCB(0.0, dib.data(), -1), E_INVALIDARG);
    EXPECT_EQ(callback.BufferCB(0.0, nullptr, static_cast<LONG>(dib.size())), E_POINTER);
    EXPECT_FALSE(callback.delivered.load());
    EXPECT_TRUE(Near(target.picture().at(0, 0), {1, 2, 3}, 0)); // untouched
}

class GrabModeTest : public testing::Test
{
protected:
    std::wstring Clip(const wchar_t* name) { return CopyClip(dir_, name); }
    static Picture AutoThumb(const std::wstring& clip)
    {
        return LoadPicture(StreamPath(clip, kadrix::kAutoThumbStream));
    }

    TempDir dir_;
};

TEST_F(GrabModeTest, StoresTheFrameAtTheCurrentPosition)
{
    const std::wstring clip = Clip(L"h264.mp4");
    const Bytes mainData = ReadFileBytes(clip);
    CVideoCapture capture(nullptr, 0);
    ASSERT_EQ(capture.Open(clip.c_str()), S_OK);
    EXPECT_NEAR(capture.GetDurationSeconds(), 9.0, 0.1);

    ASSERT_EQ(capture.SetPosition(6 * kSecond + kSecond / 2), S_OK);
    ASSERT_EQ(capture.SaveFrame(0), S_OK);
    Picture frame = AutoThumb(clip);
    ASSERT_EQ(frame.width, kClipWidth);
    ASSERT_EQ(frame.height, kClipHeight);
    EXPECT_EQ(SegmentOf(frame), 6);

    // SaveFrame leaves the graph stopped at 0.
    EXPECT_EQ(capture.GetPosition(), 0);
    EXPECT_EQ(capture.GetPlayState(), 0);
    capture.Close();
    EXPECT_EQ(ReadFileBytes(clip), mainData);
}

TEST_F(GrabModeTest, ASecondOpenKeepsTheFirstFileAndOneAfterCloseTakesTheNext)
{
    const std::wstring first = Clip(L"h264.mp4");
    const std::wstring second = Clip(L"mjpeg.avi");
    CVideoCapture capture(nullptr, 0);
    ASSERT_EQ(capture.Open(first.c_str()), S_OK);
    EXPECT_EQ(capture.Open(second.c_str()), S_OK);
    EXPECT_EQ(capture.Open(L"C:\\no\\such\\clip.avi"), S_OK);
    EXPECT_EQ(capture.SaveFrame(0), S_OK);
    EXPECT_FALSE(AutoThumb(first).empty());
    EXPECT_FALSE(FileExists(StreamPath(second, kadrix::kAutoThumbStream)));
    capture.Close();

    // Closed, the same object opens another clip and lets go of it again.
    ASSERT_EQ(capture.Open(second.c_str()), S_OK);
    EXPECT_EQ(capture.SaveFrame(0), S_OK);
    EXPECT_FALSE(AutoThumb(second).empty());
    capture.Close();
    EXPECT_TRUE(::DeleteFileW(second.c_str()));
}

TEST_F(GrabModeTest, SaveFrameStoresNothingBeforeOpenOrInPreviewMode)
{
    const std::wstring clip = Clip(L"h264.mp4");
    {
        CVideoCapture capture(nullptr, 0);
        EXPECT_FAILED(capture.SaveFrame(0));
        EXPECT_EQ(capture.StopAndRewind(), E_POINTER);
        EXPECT_EQ(capture.Pause(), E_POINTER);
        EXPECT_EQ(capture.GetDuration(), 0);
        EXPECT_EQ(capture.GetPlayState(), 0);
        capture.Close();
    }
    {
        CVideoCapture capture(nullptr, 1);
        ASSERT_EQ(capture.Open(clip.c_str()), S_OK);
        EXPECT_FAILED(capture.SaveFrame(0));
        EXPECT_FAILED(capture.SaveFrame(1));
        capture.Close();
    }
    EXPECT_FALSE(FileExists(StreamPath(clip, kadrix::kAutoThumbStream)));
    EXPECT_FALSE(FileExists(StreamPath(clip, kadrix::kUserThumbStream)));
}

TEST_F(GrabModeTest, OpenFailsCleanlyOnWhatHasNoPicture)
{
    for (const wchar_t* name : {L"audioonly.mp4", L"audioonly.wmv", L"empty.avi", L"text.avi",
                                L"random.mp4", L"playlist.asx"}) {
        SCOPED_TRACE(testing::Message() << "clip " << std::string(name, name + wcslen(name)));
        const std::wstring clip = Clip(name);
        ASSERT_FALSE(clip.empty());
        CVideoCapture capture(nullptr, 0);
        EXPECT_FAILED(capture.Open(clip.c_str()));
        EXPECT_FAILED(capture.SaveFrame(0));
        capture.Close();
        EXPECT_FALSE(FileExists(StreamPath(clip, kadrix::kAutoThumbStream)));
    }
    CVideoCapture missing(nullptr, 0);
    EXPECT_FAILED(missing.Open(dir_.file(L"missing.avi").c_str()));
    missing.Close();
}

// A plain top-level window to host the preview, as the property page does.
class HostWindow
{
public:
    HostWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KadrixPreviewHost";
        ::RegisterClassW(&wc);
        window_ =
            ::CreateWindowExW(0, wc.lpszClassName, L"preview", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                              10, 320, 240, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~HostWindow() { ::DestroyWindow(window_); }
    HWND get() const { return window_; }

private:
    HWND window_;
};

void PumpFor(DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    } while (::GetTickCount() - start < milliseconds);
}

class PreviewModeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host_.get());
        clip_ = CopyClip(dir_, L"h264.mp4");
        ASSERT_EQ(capture_.Open(clip_.c_str()), S_OK);
    }
    void TearDown() override { capture_.Close(); }

    TempDir dir_;
    HostWindow host_;
    std::wstring clip_;
    CVideoCapture capture_{host_.get(), 1};
};

TEST_F(PreviewModeTest, PlaysPausesAndRewinds)
{
    EXPECT_EQ(capture_.GetPlayState(), 0);
    ASSERT_SUCCEEDED(capture_.Play());
    PumpFor(600);
    EXPECT_EQ(capture_.GetPlayState(), 1);
    ASSERT_SUCCEEDED(capture_.Pause());
    EXPECT_EQ(capture_.GetPlayState(), 2);
    const LONGLONG paused = capture_.GetPosition();
    EXPECT_GT(paused, kSecond / 5);
    EXPECT_LT(paused, 3 * kSecond);
    PumpFor(300);
    EXPECT_EQ(capture_.GetPosition(), paused);

    ASSERT_SUCCEEDED(capture_.StopAndRewind());
    EXPECT_EQ(capture_.GetPlayState(), 0);
    EXPECT_EQ(capture_.GetPosition(), 0);
}

TEST_F(PreviewModeTest, ShowsTheClipInTheHostWindow)
{
    ASSERT_EQ(capture_.SetPosition(3 * kSecond + kSecond / 2), S_OK);
    ASSERT_SUCCEEDED(capture_.Pause());
    PumpFor(300);
    // What the screen shows in the middle of the host window.
    RECT client{};
    ::GetClientRect(host_.get(), &client);
    POINT centre{client.right / 2, client.bottom / 2};
    ::ClientToScreen(host_.get(), &centre);
    const kadrix::window_dc screen(nullptr);
    const COLORREF shown = ::GetPixel(screen.get(), centre.x, centre.y);
    const Rgb colour{GetRValue(shown), GetGValue(shown), GetBValue(shown)};
    EXPECT_TRUE(Near(colour, kSegmentColours[3], 40)) << colour;
}

TEST_F(PreviewModeTest, StepsOneFrameEachWayAndNeverBelowZero)
{
    ASSERT_EQ(capture_.SetPosition(2 * kSecond), S_OK);
    ASSERT_SUCCEEDED(capture_.StepForward());
    const LONGLONG frame = kSecond / 25;
    EXPECT_NEAR(static_cast<double>(capture_.GetPosition()), 2.0 * kSecond + frame, frame / 10);
    EXPECT_EQ(capture_.GetPlayState(), 0); // the step ends with a stop once the frame shows
    ASSERT_SUCCEEDED(capture_.StepBackward());
    EXPECT_NEAR(static_cast<double>(capture_.GetPosition()), 2.0 * kSecond, frame / 10);

    ASSERT_EQ(capture_.SetPosition(frame / 2), S_OK);
    ASSERT_SUCCEEDED(capture_.StepBackward());
    EXPECT_EQ(capture_.GetPosition(), 0);
    ASSERT_SUCCEEDED(capture_.StepBackward());
    EXPECT_EQ(capture_.GetPosition(), 0);
}

TEST_F(PreviewModeTest, RewindsOnceTheClipHasPlayedToItsEnd)
{
    ASSERT_EQ(capture_.SetPosition(capture_.GetDuration() - kSecond / 2), S_OK);
    ASSERT_SUCCEEDED(capture_.Play());
    int state = 1;
    const DWORD start = ::GetTickCount();
    while (state == 1 && ::GetTickCount() - start < 5000) {
        PumpFor(100);
        state = capture_.GetPlayState();
    }
    EXPECT_EQ(state, 0);
    EXPECT_EQ(capture_.GetPosition(), 0);
}

} // namespace
