#include "engine/capture/video_capture.h"

#include "base/dib.h"
#include "base/unique_handle.h"
#include "engine/capture/core/capture_position.h"
#include "engine/core/phase_clock.h"
#include "engine/store/stream_store.h"

#include <dvdmedia.h>

#include <cstdlib>

namespace kadrix {

namespace {

// Frees what a media type owns: its format block and its object.
void FreeMediaTypeContent(AM_MEDIA_TYPE& type)
{
    if (type.cbFormat != 0 && type.pbFormat)
        ::CoTaskMemFree(type.pbFormat);
    type.cbFormat = 0;
    type.pbFormat = nullptr;
    if (type.pUnk) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

void DeleteEnumeratedMediaType(AM_MEDIA_TYPE* type)
{
    if (!type)
        return;
    FreeMediaTypeContent(*type);
    ::CoTaskMemFree(type);
}

bool OffersVideoOrStream(IPin* pin)
{
    com_ptr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.put())) || !types)
        return false;
    AM_MEDIA_TYPE* type = nullptr;
    while (types->Next(1, &type, nullptr) == S_OK) {
        const bool usable =
            type && (type->majortype == MEDIATYPE_Video || type->majortype == MEDIATYPE_Stream) &&
            type->subtype != GUID_NULL;
        DeleteEnumeratedMediaType(type);
        type = nullptr;
        if (usable)
            return true;
    }
    return false;
}

// Reads the frame size from the grabber's connected format, a
// VIDEOINFOHEADER or a VIDEOINFOHEADER2. Anything else, a block too short
// for its header, or a size past the frame limits is refused: its numbers
// would size the frame bitmap and the callback's reads.
HRESULT ReadFrameSize(ISampleGrabber* grabber, int* width, int* height)
{
    AM_MEDIA_TYPE type{};
    HRESULT hr = grabber->GetConnectedMediaType(&type);
    if (FAILED(hr))
        return hr;
    const BITMAPINFOHEADER* header = nullptr;
    if (type.pbFormat && type.formattype == FORMAT_VideoInfo &&
        type.cbFormat >= sizeof(VIDEOINFOHEADER))
        header = &reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
    else if (type.pbFormat && type.formattype == FORMAT_VideoInfo2 &&
             type.cbFormat >= sizeof(VIDEOINFOHEADER2))
        header = &reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
    hr = E_FAIL;
    if (header && FrameFits(header->biWidth, header->biHeight)) {
        *width = header->biWidth;
        *height = header->biHeight;
        hr = S_OK;
    }
    FreeMediaTypeContent(type);
    return hr;
}

// The preview draws through the classic video renderer, offered to Render
// before it looks for one. Left to itself, Render takes the mixing renderer,
// which presents through DirectDraw and stays blank in a child window where
// the display driver can't show DirectDraw surfaces in child windows (Wine's
// under a plain X server, for one); the classic renderer draws with GDI.
void AddPreviewRenderer(IGraphBuilder* graph)
{
    com_ptr<IBaseFilter> renderer;
    if (SUCCEEDED(::CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IBaseFilter, renderer.put_void())) &&
        renderer)
        (void)graph->AddFilter(renderer.get(), L"Video Renderer");
}

// A clip without a picture leaves the offered renderer unconnected; it goes,
// so that no empty video window appears.
void RemoveIfUnconnected(IGraphBuilder* graph, const wchar_t* name)
{
    com_ptr<IBaseFilter> filter;
    if (FAILED(graph->FindFilterByName(name, filter.put())) || !filter)
        return;
    const com_ptr<IPin> input = FindPin(filter.get(), PINDIR_INPUT, 0);
    com_ptr<IPin> peer;
    if (!input || FAILED(input->ConnectedTo(peer.put())) || !peer)
        (void)graph->RemoveFilter(filter.get());
}

} // namespace

com_ptr<IPin> FindPin(IBaseFilter* filter, PIN_DIRECTION direction, int skip)
{
    if (!filter)
        return nullptr;
    com_ptr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.put())) || !pins)
        return nullptr;
    com_ptr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK && pin) {
        PIN_DIRECTION actual;
        if (FAILED(pin->QueryDirection(&actual)) || actual != direction)
            continue;
        if (OffersVideoOrStream(pin.get()))
            return pin;
        if (skip == 0)
            return pin;
        --skip;
    }
    return nullptr;
}

// --- CSampleGrabberCB ---------------------------------------------------------------------

STDMETHODIMP CSampleGrabberCB::SampleCB(double, IMediaSample*)
{
    return S_OK;
}

STDMETHODIMP CSampleGrabberCB::BufferCB(double, BYTE* buffer, LONG bufferLength)
{
    if (!buffer || !targetDC || width <= 0 || height == 0)
        return E_POINTER;
    // The decoder's buffer is trusted only as far as it is long: a short one
    // would have StretchDIBits read past its end.
    const LONGLONG rows = std::llabs(height);
    const LONGLONG stride = (static_cast<LONGLONG>(width) * 3 + 3) & ~3LL;
    if (bufferLength < 0 || static_cast<LONGLONG>(bufferLength) < stride * rows)
        return E_INVALIDARG;

    // A negative height is the decoder's top-down frame: GDI reads its rows
    // top first and the picture lands right side up.
    const int h = static_cast<int>(rows);
    const BITMAPINFO info = DibInfo(width, h, 24, height < 0);
    if (::StretchDIBits(targetDC, 0, 0, width, h, 0, 0, width, h, buffer, &info, DIB_RGB_COLORS,
                        SRCCOPY) == static_cast<int>(GDI_ERROR))
        return E_POINTER;
    delivered = true;
    return S_OK;
}

// --- CVideoCapture ------------------------------------------------------------------------

CVideoCapture::CVideoCapture(HWND hostWindow, int mode) : mode_(mode), hostWindow_(hostWindow)
{
    // Only a successful initialisation is balanced in Close; a thread already
    // in another apartment keeps it.
    comInitialised_ = SUCCEEDED(::CoInitialize(nullptr));
}

CVideoCapture::~CVideoCapture()
{
    if (!closed_)
        Close();
}

// The codes Open answers are the capture object's contract, which the
// capture job hands on to the thumbnail request's caller, even where another
// would read better: E_NOINTERFACE for an object COM could not make
// (whatever CoCreateInstance said), E_POINTER for a pin that is not there.
HRESULT CVideoCapture::Open(const wchar_t* path)
{
    if (opened_)
        return S_OK;
    if (!path)
        return E_POINTER;
    if (closed_) {
        // Opened again after Close: the apartment Close left goes back in.
        closed_ = false;
        comInitialised_ = SUCCEEDED(::CoInitialize(nullptr));
    }

    if (FAILED(::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder,
                                  graph_.put_void())) ||
        !graph_)
        return E_NOINTERFACE;
    MarkPhase("graph manager");

    sourceFilter_.reset();
    HRESULT hr = graph_->AddSourceFilter(path, L"Source", sourceFilter_.put());
    MarkPhase("source filter");
    if (FAILED(hr))
        return hr;

    hr = mode_ == 0 ? BuildGrabGraph() : BuildPreviewGraph();
    if (FAILED(hr))
        return hr;
    SetUpVideoWindow();

    mediaControl_ = QueryAs<IMediaControl>(graph_, IID_IMediaControl);
    mediaSeeking_ = QueryAs<IMediaSeeking>(graph_, IID_IMediaSeeking);
    hr = mediaSeeking_ ? mediaSeeking_->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME) : E_NOINTERFACE;
    mediaEvent_ = QueryAs<IMediaEvent>(graph_, IID_IMediaEvent);

    opened_ = 1;
    path_ = path;
    return hr;
}

// Source, decoder to 24-bit RGB, the sample grabber, and a null renderer
// behind it. The grab shows nothing: where the system's default video
// renderer would make a window (and its Direct3D device) for every capture,
// at a quarter of a second or more, the null renderer makes none, and the
// capture needs no desktop. When it can't be had, the default renderer
// serves instead.
HRESULT CVideoCapture::BuildGrabGraph()
{
    if (FAILED(::CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_ALL,
                                  __uuidof(ISampleGrabber), sampleGrabber_.put_void())) ||
        !sampleGrabber_)
        return E_NOINTERFACE;
    grabberFilter_ = QueryAs<IBaseFilter>(sampleGrabber_, IID_IBaseFilter);
    // Failures here show up as a missing grabber pin below.
    (void)graph_->AddFilter(grabberFilter_.get(), L"Grabber");
    AM_MEDIA_TYPE accepted{};
    accepted.majortype = MEDIATYPE_Video;
    accepted.subtype = MEDIASUBTYPE_RGB24;
    accepted.bFixedSizeSamples = TRUE;
    accepted.lSampleSize = 1;
    accepted.formattype = GUID_NULL;
    (void)sampleGrabber_->SetMediaType(&accepted);

    const com_ptr<IPin> sourcePin = FindPin(sourceFilter_.get(), PINDIR_OUTPUT, 1);
    if (!sourcePin)
        return E_POINTER;
    const com_ptr<IPin> grabberIn = FindPin(grabberFilter_.get(), PINDIR_INPUT, 0);
    if (!grabberIn)
        return E_POINTER;
    HRESULT hr = graph_->Connect(sourcePin.get(), grabberIn.get());
    MarkPhase("connect splitter and decoder");
    if (FAILED(hr))
        return hr;
    hr = ReadFrameSize(sampleGrabber_.get(), &callback_.width, &callback_.height);
    if (FAILED(hr))
        return hr;
    const com_ptr<IPin> grabberOut = FindPin(grabberFilter_.get(), PINDIR_OUTPUT, 0);
    if (!grabberOut)
        return E_POINTER;
    hr = ConnectNullRenderer(grabberOut.get());
    if (FAILED(hr))
        hr = graph_->Render(grabberOut.get());
    MarkPhase("render the grabber's output");
    if (FAILED(hr))
        return hr;
    (void)sampleGrabber_->SetBufferSamples(FALSE);
    (void)sampleGrabber_->SetOneShot(TRUE);
    // A one-shot grab has nothing to present on time. With a clock, a clip
    // whose first time stamp lies late would hold the graph until then, or
    // forever.
    if (const auto filter = QueryAs<IMediaFilter>(graph_, IID_IMediaFilter))
        (void)filter->SetSyncSource(nullptr);
    return S_OK;
}

HRESULT CVideoCapture::ConnectNullRenderer(IPin* grabberOut)
{
    com_ptr<IBaseFilter> renderer;
    if (FAILED(::CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IBaseFilter, renderer.put_void())) ||
        !renderer)
        return E_NOINTERFACE;
    HRESULT hr = graph_->AddFilter(renderer.get(), L"Null Renderer");
    if (FAILED(hr))
        return hr;
    const com_ptr<IPin> input = FindPin(renderer.get(), PINDIR_INPUT, 0);
    hr = input ? graph_->ConnectDirect(grabberOut, input.get(), nullptr) : E_POINTER;
    if (FAILED(hr))
        (void)graph_->RemoveFilter(renderer.get());
    return hr;
}

// Whatever the source offers is rendered; a clip without a picture still
// plays. A file nothing in it can be rendered from (no splitter takes it) is
// no clip: it fails as one that can't be opened, rather than showing an
// empty preview that plays nothing.
HRESULT CVideoCapture::BuildPreviewGraph()
{
    const com_ptr<IPin> sourcePin = FindPin(sourceFilter_.get(), PINDIR_OUTPUT, 1);
    if (!sourcePin)
        return E_POINTER;
    AddPreviewRenderer(graph_.get());
    const HRESULT rendered = graph_->Render(sourcePin.get());
    RemoveIfUnconnected(graph_.get(), L"Video Renderer");
    return FAILED(rendered) ? rendered : S_OK;
}

// The preview's video fills the host window as a child of it; a grab's never shows.
void CVideoCapture::SetUpVideoWindow()
{
    const auto window = QueryAs<IVideoWindow>(graph_, IID_IVideoWindow);
    if (!window)
        return;
    if (mode_ == 0) {
        (void)window->put_AutoShow(OAFALSE);
        return;
    }
    RECT rect{};
    ::GetWindowRect(hostWindow_, &rect);
    (void)window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    (void)window->SetWindowPosition(0, 0, rect.right - rect.left, rect.bottom - rect.top);
    (void)window->put_Owner(reinterpret_cast<OAHWND>(hostWindow_));
}

void CVideoCapture::Close()
{
    if (closed_)
        return;
    closed_ = true;
    // The preview's window goes first, while its owner still exists: emptied
    // graphs leave a window with no owner behind otherwise.
    if (mode_ != 0 && graph_) {
        if (const auto window = QueryAs<IVideoWindow>(graph_, IID_IVideoWindow)) {
            (void)window->put_Visible(OAFALSE);
            (void)window->put_Owner(0);
        }
    }
    (void)StopAndRewind();

    if (graph_) {
        com_ptr<IEnumFilters> filters;
        if (SUCCEEDED(graph_->EnumFilters(filters.put())) && filters) {
            com_ptr<IBaseFilter> filter;
            while (filters->Next(1, filter.put(), nullptr) == S_OK && filter) {
                // Removing a filter invalidates the enumeration: start over.
                graph_->RemoveFilter(filter.get());
                filter.reset();
                filters->Reset();
            }
        }
    }

    mediaControl_.reset();
    mediaSeeking_.reset();
    mediaEvent_.reset();
    grabberFilter_.reset();
    sampleGrabber_.reset();
    sourceFilter_.reset();
    graph_.reset();
    opened_ = 0;

    if (comInitialised_) {
        comInitialised_ = false;
        ::CoUninitialize();
    }
}

LONGLONG CVideoCapture::GetDuration()
{
    LONGLONG duration = 0;
    if (!mediaSeeking_ || FAILED(mediaSeeking_->GetDuration(&duration)))
        return 0;
    return duration;
}

double CVideoCapture::GetDurationSeconds()
{
    return static_cast<double>(GetDuration()) / kReferenceUnitsPerSecond;
}

LONGLONG CVideoCapture::GetPosition()
{
    LONGLONG position = 0;
    if (!mediaSeeking_ || FAILED(mediaSeeking_->GetCurrentPosition(&position)))
        return 0;
    return position;
}

HRESULT CVideoCapture::SetPosition(LONGLONG position)
{
    if (!mediaSeeking_)
        return E_POINTER;
    return mediaSeeking_->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                                       AM_SEEKING_NoPositioning);
}

HRESULT CVideoCapture::WaitForGraph(DWORD milliseconds)
{
    if (!mediaEvent_)
        return E_POINTER;
    long code = 0;
    return mediaEvent_->WaitForCompletion(static_cast<long>(milliseconds), &code);
}

HRESULT CVideoCapture::WaitForState(DWORD milliseconds)
{
    OAFilterState state = State_Stopped;
    return mediaControl_ ? mediaControl_->GetState(static_cast<LONG>(milliseconds), &state)
                         : E_POINTER;
}

HRESULT CVideoCapture::StopAndRewind()
{
    if (!mediaControl_)
        return E_POINTER;
    const HRESULT hr = mediaControl_->Stop();
    // Waits until the stop has settled, not for a completion that a stopped
    // graph never sends.
    (void)WaitForState(kStopWaitMs);
    (void)SetPosition(0);
    return hr;
}

HRESULT CVideoCapture::Play()
{
    return mediaControl_ ? mediaControl_->Run() : E_POINTER;
}

HRESULT CVideoCapture::Pause()
{
    if (!mediaControl_)
        return E_POINTER;
    const HRESULT hr = mediaControl_->Pause();
    (void)WaitForState(kPauseWaitMs);
    return hr;
}

int CVideoCapture::GetPlayState()
{
    // Every pending event is taken, so a completion queued behind others is
    // seen at once.
    bool complete = false;
    if (mediaEvent_) {
        long code = 0;
        LONG_PTR first = 0, second = 0;
        for (int i = 0; i < 64 && SUCCEEDED(mediaEvent_->GetEvent(&code, &first, &second, 0));
             ++i) {
            mediaEvent_->FreeEventParams(code, first, second);
            complete = complete || code == EC_COMPLETE;
        }
    }
    if (complete && mediaControl_)
        (void)StopAndRewind();
    OAFilterState state = State_Stopped;
    if (!mediaControl_ || FAILED(mediaControl_->GetState(0, &state)))
        return 0;
    switch (state) {
    case State_Running:
        return 1;
    case State_Paused:
        return 2;
    default:
        return 0;
    }
}

HRESULT CVideoCapture::Step(bool forward)
{
    if (mediaControl_) {
        (void)mediaControl_->Pause();
        (void)WaitForState(kPauseWaitMs);
    }
    if (!mediaSeeking_)
        return E_POINTER;

    // Without a frame duration (no video renderer, say) the position stays.
    REFTIME frameSeconds = 0;
    const auto video = QueryAs<IBasicVideo>(graph_, IID_IBasicVideo);
    if (!video || FAILED(video->get_AvgTimePerFrame(&frameSeconds)))
        frameSeconds = 0;
    const LONGLONG current = GetPosition();
    LONGLONG next = forward ? StepForwardPosition(current, GetDuration(), frameSeconds)
                            : StepBackwardPosition(current, frameSeconds);

    const HRESULT hr = mediaSeeking_->SetPositions(&next, AM_SEEKING_AbsolutePositioning, nullptr,
                                                   AM_SEEKING_NoPositioning);
    if (mediaControl_)
        (void)mediaControl_->StopWhenReady();
    return hr;
}

HRESULT CVideoCapture::StepForward()
{
    return Step(true);
}

HRESULT CVideoCapture::StepBackward()
{
    return Step(false);
}

HRESULT CVideoCapture::GrabFrame(unique_hbitmap* frame)
{
    if (!frame)
        return E_POINTER;
    frame->reset();
    if (mode_ != 0 || !opened_ || !sampleGrabber_ || !mediaControl_)
        return VFW_E_WRONG_STATE;

    // A 32-bit DIB whatever the display's depth: a display at 16 bits would
    // otherwise turn the frame into its own format (or black). Bottom-up, the
    // one orientation every platform reports alike.
    void* bits = nullptr;
    unique_hbitmap bitmap = CreateDib32(callback_.width, std::abs(callback_.height), false, &bits);
    unique_hdc memory(::CreateCompatibleDC(nullptr));
    if (!bitmap || !memory)
        return E_OUTOFMEMORY;
    const HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
    if (!previous || previous == HGDI_ERROR)
        return E_FAIL;
    ::SetStretchBltMode(memory.get(), HALFTONE);

    callback_.targetDC = memory.get();
    callback_.delivered = false;
    (void)sampleGrabber_->SetCallback(&callback_, 1);
    HRESULT hr = mediaControl_->Run();
    if (SUCCEEDED(hr)) {
        // The one-shot grabber ends the stream after the first sample. A
        // decoder that never delivers must not hold this thread for good.
        const HRESULT waited = WaitForGraph(kFrameWaitMs);
        MarkPhase("run to the frame");
        if (callback_.delivered)
            hr = S_OK;
        else if (waited == E_ABORT)
            hr = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        else
            hr = E_FAIL; // the graph ended without a frame: nothing to store
    }
    // Stopped before the device context goes, also when Run failed half way:
    // the streaming thread may still be drawing into it.
    (void)StopAndRewind();
    MarkPhase("stop the graph");
    (void)sampleGrabber_->SetCallback(nullptr, 1);
    callback_.targetDC = nullptr;
    ::SelectObject(memory.get(), previous);
    if (hr == S_OK)
        *frame = std::move(bitmap);
    return hr;
}

HRESULT CVideoCapture::SaveFrame(int userChosen)
{
    unique_hbitmap frame;
    const HRESULT hr = GrabFrame(&frame);
    if (hr == S_OK)
        WriteThumbnailStream(path_, frame.get(), userChosen);
    return hr;
}

} // namespace kadrix
