// Video frame capture: one DirectShow filter graph per video file, either
// grabbing one frame into the file's thumbnail stream (grab mode) or showing
// the clip in a window of the caller (preview mode).
#pragma once

#include "base/com_object.h"
#include "base/com_ptr.h"
#include "base/unique_handle.h"
#include "engine/core/frame_limits.h"
#include "engine/capture/sample_grabber.h"

#include <atomic>

namespace kadrix {

// Bounds of the waits for the graph. DirectShow would wait forever for a
// decoder that never delivers or never ends, and the waiting thread is the
// caller's: Explorer's, or the property page's window thread.
inline constexpr DWORD kFrameWaitMs = 5000; // for the grabbed frame
inline constexpr DWORD kStopWaitMs = 1000;  // for a stop to settle
inline constexpr DWORD kPauseWaitMs = 1000; // for a pause or a frame step to settle

// The first pin of the requested direction that offers a video or byte-stream
// type with a subtype; without one, the pin after the first `skip` pins of
// that direction; null when the pins run out.
com_ptr<IPin> FindPin(IBaseFilter* filter, PIN_DIRECTION direction, int skip);

// Receives the grabbed sample on the graph's streaming thread and draws it
// into the target device context. It lives inside its capture object and is
// never counted: AddRef and Release change nothing.
class CSampleGrabberCB final : public ComInterfaces<ISampleGrabberCB>
{
public:
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double sampleTime, IMediaSample* sample) override;
    // Draws the sample, a 24-bit DIB of width x |height| (rows padded to 4
    // bytes), unscaled into the target DC. A buffer shorter than that is
    // refused with E_INVALIDARG and nothing is drawn.
    STDMETHODIMP BufferCB(double sampleTime, BYTE* buffer, LONG bufferLength) override;

    int width = 0;
    int height = 0; // as the decoder gives it: positive rows bottom-up, negative top-down
    HDC targetDC = nullptr;
    // Set by the streaming thread once a frame has been drawn.
    std::atomic<bool> delivered{false};
};

class CVideoCapture
{
public:
    // mode 0 grabs frames; nonzero shows the clip in a child of hostWindow.
    // Initialises COM on the calling thread, which must be the only one that
    // uses the object.
    CVideoCapture(HWND hostWindow, int mode);
    // Closes the object if its owner has not.
    ~CVideoCapture();
    CVideoCapture(const CVideoCapture&) = delete;
    CVideoCapture& operator=(const CVideoCapture&) = delete;

    // Builds the graph for the file. The caller keeps path alive until Close.
    // A second Open returns S_OK and keeps the first file.
    HRESULT Open(const wchar_t* path);
    // Stops and empties the graph, releases everything, uninitialises COM.
    void Close();

    LONGLONG GetDuration();
    double GetDurationSeconds();
    LONGLONG GetPosition();
    HRESULT SetPosition(LONGLONG position);
    HRESULT StopAndRewind();
    HRESULT Play();
    HRESULT Pause();
    // 0 stopped, 1 running, 2 paused; a clip that has played to its end is
    // stopped and rewound first.
    int GetPlayState();
    HRESULT StepForward();
    HRESULT StepBackward();
    // Grabs the frame at the current position as a 32-bit DIB at the clip's
    // native size, then leaves the graph stopped at 0. S_OK with the
    // frame, or the failure SaveFrame reports, with no frame.
    HRESULT GrabFrame(unique_hbitmap* frame);
    // Grabs the frame at the current position into the user-chosen (nonzero)
    // or automatic thumbnail stream, then leaves the graph stopped at 0.
    // Returns S_OK when a frame was handed to the stream store. Nothing is
    // stored in preview mode or before Open (VFW_E_WRONG_STATE), when the
    // graph ends without a frame (E_FAIL: the position lay at or past the
    // last frame) or when none comes in time (HRESULT_FROM_WIN32(ERROR_TIMEOUT)).
    HRESULT SaveFrame(int userChosen);

private:
    HRESULT BuildGrabGraph();
    HRESULT ConnectNullRenderer(IPin* grabberOut);
    HRESULT BuildPreviewGraph();
    void SetUpVideoWindow();
    HRESULT Step(bool forward);
    // For a running graph's completion, and for a state change to settle.
    HRESULT WaitForGraph(DWORD milliseconds);
    HRESULT WaitForState(DWORD milliseconds);

    int mode_;
    int opened_ = 0;
    HWND hostWindow_;
    const wchar_t* path_ = nullptr; // not owned
    com_ptr<ISampleGrabber> sampleGrabber_;
    com_ptr<IBaseFilter> sourceFilter_;
    com_ptr<IGraphBuilder> graph_;
    com_ptr<IMediaControl> mediaControl_;
    com_ptr<IMediaSeeking> mediaSeeking_;
    com_ptr<IMediaEvent> mediaEvent_;
    com_ptr<IBaseFilter> grabberFilter_;
    CSampleGrabberCB callback_;
    bool comInitialised_ = false;
    bool closed_ = false;
};

} // namespace kadrix
