#include "engine/capture/mf_grab.h"

#include "base/com_ptr.h"
#include "base/dib.h"
#include "base/exception_boundary.h"
#include "base/proc_address.h"
#include "engine/capture/core/capture_position.h"
#include "engine/capture/core/frame_convert.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace kadrix {
namespace {

constexpr DWORD kVideoStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM);

// Media Foundation's entry points, looked up the first time a grab needs
// them: the N editions of Windows come without it, and the libraries must
// load there all the same (and capture with DirectShow alone).
struct MediaFoundation
{
    decltype(&::MFStartup) startup = nullptr;
    decltype(&::MFShutdown) shutdown = nullptr;
    decltype(&::MFCreateAttributes) createAttributes = nullptr;
    decltype(&::MFCreateMediaType) createMediaType = nullptr;
    decltype(&::MFGetStrideForBitmapInfoHeader) strideForBitmapInfoHeader = nullptr;
    decltype(&::MFCreateSourceReaderFromURL) createSourceReaderFromUrl = nullptr;

    bool Found() const
    {
        return startup && shutdown && createAttributes && createMediaType &&
               strideForBitmapInfoHeader && createSourceReaderFromUrl;
    }
};

// From the system folder only, never from beside the host or the clip.
HMODULE LoadSystemLibrary(const wchar_t* name)
{
    HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        // A Windows 7 without the search flags: the system folder by its path.
        wchar_t system[MAX_PATH];
        const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            module = ::LoadLibraryW((std::wstring(system) + L"\\" + name).c_str());
    }
    return module;
}

// Loaded once and kept for the life of the process.
const MediaFoundation& Entries()
{
    static const MediaFoundation entries = [] {
        MediaFoundation found;
        const HMODULE platform = LoadSystemLibrary(L"mfplat.dll");
        const HMODULE readWrite = LoadSystemLibrary(L"mfreadwrite.dll");
        if (!platform || !readWrite)
            return found;
        found.startup = GetProcAddressAs<decltype(&::MFStartup)>(platform, "MFStartup");
        found.shutdown = GetProcAddressAs<decltype(&::MFShutdown)>(platform, "MFShutdown");
        found.createAttributes =
            GetProcAddressAs<decltype(&::MFCreateAttributes)>(platform, "MFCreateAttributes");
        found.createMediaType =
            GetProcAddressAs<decltype(&::MFCreateMediaType)>(platform, "MFCreateMediaType");
        found.strideForBitmapInfoHeader =
            GetProcAddressAs<decltype(&::MFGetStrideForBitmapInfoHeader)>(
                platform, "MFGetStrideForBitmapInfoHeader");
        found.createSourceReaderFromUrl =
            GetProcAddressAs<decltype(&::MFCreateSourceReaderFromURL)>(
                readWrite, "MFCreateSourceReaderFromURL");
        return found;
    }();
    return entries;
}

// MFStartup and its MFShutdown, within one grab.
class MfSession
{
public:
    MfSession()
        : hr_(Entries().Found() ? Entries().startup(MF_VERSION, MFSTARTUP_LITE)
                                : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND))
    {
    }
    MfSession(const MfSession&) = delete;
    MfSession& operator=(const MfSession&) = delete;
    ~MfSession()
    {
        if (SUCCEEDED(hr_))
            (void)Entries().shutdown();
    }
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

class PropVariant
{
public:
    PropVariant() { ::PropVariantInit(&value); }
    PropVariant(const PropVariant&) = delete;
    PropVariant& operator=(const PropVariant&) = delete;
    ~PropVariant() { (void)::PropVariantClear(&value); }
    PROPVARIANT value;
};

// What the current output type says about the frames it describes.
struct FrameFormat
{
    PixelLayout layout = PixelLayout::Bgrx;
    int width = 0; // decoded size, the decoder's padding included
    int height = 0;
    LONG typeStride = 0;     // MF_MT_DEFAULT_STRIDE; 0 when the type gives none
    LONG platformStride = 0; // the platform's stride for the format and width, or 0
    FrameRect aperture;
    YuvMatrix matrix = YuvMatrix::Bt601;
    YuvRange range = YuvRange::Limited;
};

bool LayoutOf(const GUID& subtype, PixelLayout* layout)
{
    const std::pair<const GUID*, PixelLayout> known[] = {
        {&MFVideoFormat_RGB32, PixelLayout::Bgrx}, {&MFVideoFormat_NV12, PixelLayout::Nv12},
        {&MFVideoFormat_I420, PixelLayout::I420},  {&MFVideoFormat_IYUV, PixelLayout::I420},
        {&MFVideoFormat_YV12, PixelLayout::Yv12},  {&MFVideoFormat_YUY2, PixelLayout::Yuy2}};
    for (const auto& [guid, value] : known)
        if (subtype == *guid) {
            *layout = value;
            return true;
        }
    return false;
}

// An aperture attribute, when the type has one that lies inside the frame.
bool ReadAperture(IMFMediaType* type, const GUID& key, int width, int height, FrameRect* rect)
{
    MFVideoArea area{};
    UINT32 size = 0;
    if (FAILED(type->GetBlob(key, reinterpret_cast<UINT8*>(&area), sizeof area, &size)) ||
        size != sizeof area)
        return false;
    const FrameRect r{area.OffsetX.value, area.OffsetY.value, static_cast<int>(area.Area.cx),
                      static_cast<int>(area.Area.cy)};
    if (r.x < 0 || r.y < 0 || r.width <= 0 || r.height <= 0 || r.width > width - r.x ||
        r.height > height - r.y)
        return false;
    *rect = r;
    return true;
}

HRESULT ReadFormat(IMFMediaType* type, FrameFormat* format)
{
    GUID subtype{};
    HRESULT hr = type->GetGUID(MF_MT_SUBTYPE, &subtype);
    if (FAILED(hr))
        return hr;
    FrameFormat f;
    if (!LayoutOf(subtype, &f.layout))
        return MF_E_INVALIDMEDIATYPE;

    UINT32 width = 0, height = 0;
    hr = ::MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &width, &height);
    if (FAILED(hr))
        return hr;
    // The size decides every allocation and read that follows.
    if (width == 0 || height == 0 || width > kMaxGrabSide || height > kMaxGrabSide ||
        std::int64_t{width} * height > kMaxGrabPixels)
        return MF_E_INVALIDMEDIATYPE;
    f.width = static_cast<int>(width);
    f.height = static_cast<int>(height);

    UINT32 stride = 0;
    if (SUCCEEDED(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride)))
        f.typeStride = static_cast<LONG>(static_cast<INT32>(stride));
    if (FAILED(Entries().strideForBitmapInfoHeader(subtype.Data1, width, &f.platformStride)))
        f.platformStride = 0;

    // The decoder pads to whole macroblocks (1080 lines come as 1088); the
    // aperture says which part is picture.
    if (!ReadAperture(type, MF_MT_MINIMUM_DISPLAY_APERTURE, f.width, f.height, &f.aperture) &&
        !ReadAperture(type, MF_MT_GEOMETRIC_APERTURE, f.width, f.height, &f.aperture))
        f.aperture = {0, 0, f.width, f.height};

    // Untagged video follows the usual convention: HD is BT.709, SD BT.601.
    UINT32 value = 0;
    if (SUCCEEDED(type->GetUINT32(MF_MT_YUV_MATRIX, &value)) &&
        (value == MFVideoTransferMatrix_BT709 || value == MFVideoTransferMatrix_BT601))
        f.matrix = value == MFVideoTransferMatrix_BT709 ? YuvMatrix::Bt709 : YuvMatrix::Bt601;
    else
        f.matrix = f.aperture.height >= 720 ? YuvMatrix::Bt709 : YuvMatrix::Bt601;
    if (SUCCEEDED(type->GetUINT32(MF_MT_VIDEO_NOMINAL_RANGE, &value)) &&
        value == MFNominalRange_0_255)
        f.range = YuvRange::Full;

    *format = f;
    return S_OK;
}

HRESULT ReadCurrentFormat(IMFSourceReader* reader, FrameFormat* format)
{
    com_ptr<IMFMediaType> type;
    const HRESULT hr = reader->GetCurrentMediaType(kVideoStream, type.put());
    if (FAILED(hr))
        return hr;
    return type ? ReadFormat(type.get(), format) : E_UNEXPECTED;
}

HRESULT AskForSubtype(IMFSourceReader* reader, const GUID& subtype)
{
    com_ptr<IMFMediaType> type;
    HRESULT hr = Entries().createMediaType(type.put());
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video)) ||
        FAILED(hr = type->SetGUID(MF_MT_SUBTYPE, subtype)))
        return hr;
    return reader->SetCurrentMediaType(kVideoStream, nullptr, type.get());
}

// Which of the decoder's own formats to take, lower first. A format with one
// stride for all its planes comes first: I420's chroma stride is half the
// luma stride by convention, which Wine's decoders don't keep (they round it
// up to 4 bytes), and where a plane after an odd number of rows starts is the
// platform's choice (Wine rounds the rows up to even), so NV12 only for an
// even height.
int Rank(PixelLayout layout, UINT32 height)
{
    switch (layout) {
    case PixelLayout::Bgrx:
        return 0;
    case PixelLayout::Nv12:
        return height % 2 == 0 ? 1 : 3;
    case PixelLayout::Yuy2:
        return 2;
    default:
        return 4;
    }
}

// 32-bit RGB where the reader's video processing converts; otherwise a
// format of the decoder's own that the frame converter knows.
HRESULT ChooseOutputType(IMFSourceReader* reader)
{
    if (SUCCEEDED(AskForSubtype(reader, MFVideoFormat_RGB32)))
        return S_OK;
    // A reader whose source decodes by itself offers the decoded formats as
    // the stream's own (Wine's does).
    std::vector<std::pair<int, com_ptr<IMFMediaType>>> natives;
    for (DWORD i = 0; i < 64; ++i) {
        com_ptr<IMFMediaType> native;
        if (FAILED(reader->GetNativeMediaType(kVideoStream, i, native.put())) || !native)
            break;
        GUID subtype{};
        PixelLayout layout;
        UINT32 width = 0, height = 0;
        if (SUCCEEDED(native->GetGUID(MF_MT_SUBTYPE, &subtype)) && LayoutOf(subtype, &layout)) {
            (void)::MFGetAttributeSize(native.get(), MF_MT_FRAME_SIZE, &width, &height);
            natives.emplace_back(Rank(layout, height), std::move(native));
        }
    }
    std::stable_sort(natives.begin(), natives.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& native : natives)
        if (SUCCEEDED(reader->SetCurrentMediaType(kVideoStream, nullptr, native.second.get())))
            return S_OK;
    // Compressed streams: the reader puts in a decoder that gives one of these.
    for (const GUID* subtype : {&MFVideoFormat_NV12, &MFVideoFormat_YUY2, &MFVideoFormat_I420,
                                &MFVideoFormat_IYUV, &MFVideoFormat_YV12})
        if (SUCCEEDED(AskForSubtype(reader, *subtype)))
            return S_OK;
    return MF_E_INVALIDMEDIATYPE;
}

ReferenceTime ReadDuration(IMFSourceReader* reader)
{
    PropVariant duration;
    if (FAILED(reader->GetPresentationAttribute(MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION,
                                                &duration.value)) ||
        duration.value.vt != VT_UI8 || duration.value.uhVal.QuadPart > INT64_MAX)
        return 0; // no length known: the first frame
    return static_cast<ReferenceTime>(duration.value.uhVal.QuadPart);
}

HRESULT Seek(IMFSourceReader* reader, ReferenceTime position)
{
    PropVariant at;
    at.value.vt = VT_I8;
    at.value.hVal.QuadPart = position;
    return reader->SetCurrentPosition(GUID_NULL, at.value);
}

// A decoded sample and the format it came in.
struct DecodedFrame
{
    com_ptr<IMFSample> sample;
    FrameFormat format;
};

// Reads forward to the first frame stamped at or after target. S_OK with the
// frame, or with the last one when the stream ends or breaks before target;
// S_FALSE when the stream ended without any frame; a failure otherwise.
HRESULT DecodeUpTo(IMFSourceReader* reader, ReferenceTime target, DecodedFrame* frame)
{
    FrameFormat current;
    HRESULT hr = ReadCurrentFormat(reader, &current);
    if (FAILED(hr))
        return hr;
    DecodedFrame last;
    for (int i = 0; i < kMaxGrabSamples; ++i) {
        DWORD flags = 0;
        LONGLONG time = 0;
        com_ptr<IMFSample> sample;
        hr = reader->ReadSample(kVideoStream, 0, nullptr, &flags, &time, sample.put());
        if (FAILED(hr) || (flags & MF_SOURCE_READERF_ERROR) != 0) {
            // A stream that breaks after a good frame still has shown it.
            if (!last.sample)
                return FAILED(hr) ? hr : E_FAIL;
            break;
        }
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) {
            if (FAILED(hr = ReadCurrentFormat(reader, &current)))
                return hr;
        }
        if (sample) {
            last.sample = std::move(sample);
            last.format = current;
            if (time >= target)
                break;
        }
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM)
            break;
        // A stream tick is a gap without a sample: read on.
    }
    if (!last.sample)
        return S_FALSE;
    *frame = std::move(last);
    return S_OK;
}

// Holds a buffer's bytes for reading: the 2-D lock where the buffer offers it
// (it tells the true pitch and the length behind it), else the plain lock
// with the type's stride.
class BufferLock
{
public:
    explicit BufferLock(const com_ptr<IMFMediaBuffer>& buffer) : buffer_(buffer)
    {
        buffer2d_ = QueryAs<IMF2DBuffer2>(buffer, IID_IMF2DBuffer2);
        BYTE* scanline0 = nullptr;
        BYTE* start = nullptr;
        LONG pitch = 0;
        DWORD length = 0;
        if (buffer2d_ && SUCCEEDED(buffer2d_->Lock2DSize(MF2DBuffer_LockFlags_Read, &scanline0,
                                                         &pitch, &start, &length))) {
            locked_ = true;
            pitch_ = pitch;
            // A negative pitch puts the top row at the end: the rows lie
            // bottom-up from the start of the buffer.
            if (pitch < 0) {
                data_ = start;
                length_ = length;
            } else if (scanline0 >= start && scanline0 <= start + length) {
                data_ = scanline0;
                length_ = static_cast<std::size_t>(start + length - scanline0);
            }
            return;
        }
        buffer2d_.reset();
        DWORD current = 0;
        if (SUCCEEDED(buffer_->Lock(&start, nullptr, &current))) {
            locked_ = true;
            data_ = start;
            length_ = current;
        }
    }
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;
    ~BufferLock()
    {
        if (!locked_)
            return;
        if (buffer2d_)
            (void)buffer2d_->Unlock2D();
        else
            (void)buffer_->Unlock();
    }

    const std::uint8_t* data() const { return data_; }
    std::size_t length() const { return length_; }
    bool hasPitch() const { return static_cast<bool>(buffer2d_); }
    LONG pitch() const { return pitch_; }

private:
    com_ptr<IMFMediaBuffer> buffer_;
    com_ptr<IMF2DBuffer2> buffer2d_;
    bool locked_ = false;
    const std::uint8_t* data_ = nullptr;
    std::size_t length_ = 0;
    LONG pitch_ = 0;
};

// The distance of the rows in bytes, negative for bottom-up rows: the pitch
// of a 2-D lock, else the type's stride, else the one the buffer's length
// shows, else the platform's for the format. (Wine gives neither of the
// first two, and its buffers hold rows rounded up to 4 bytes where its stride
// function says otherwise.)
LONGLONG RowPitch(const FrameFormat& f, const BufferLock& lock)
{
    if (lock.hasPitch())
        return lock.pitch();
    if (f.typeStride != 0)
        return f.typeStride;
    // Only the platform's stride tells the row order now.
    const LONGLONG sign = f.platformStride < 0 ? -1 : 1;
    if (const std::size_t shown = StrideFromLength(f.layout, f.width, f.height, lock.length()))
        return sign * static_cast<LONGLONG>(shown);
    if (f.platformStride != 0)
        return f.platformStride;
    return static_cast<LONGLONG>(MinimumStride(f.layout, f.width));
}

HRESULT ToBitmap(const DecodedFrame& decoded, unique_hbitmap* frame)
{
    const FrameFormat& f = decoded.format;
    com_ptr<IMFMediaBuffer> buffer;
    HRESULT hr = decoded.sample->ConvertToContiguousBuffer(buffer.put());
    if (FAILED(hr))
        return hr;
    if (!buffer)
        return E_UNEXPECTED;
    const BufferLock lock(buffer);
    if (!lock.data())
        return MF_E_BUFFERTOOSMALL;

    const LONGLONG pitch = RowPitch(f, lock);
    const std::size_t stride = static_cast<std::size_t>(pitch < 0 ? -pitch : pitch);
    SourceFrame source;
    source.matrix = f.matrix;
    source.range = f.range;
    if (!LocatePlanes(f.layout, f.width, f.height, stride, pitch < 0, lock.data(), lock.length(),
                      &source))
        return MF_E_BUFFERTOOSMALL;

    // Bottom-up, as the DirectShow grab's frames are: the one orientation
    // every platform reports alike to the stream store.
    void* bits = nullptr;
    unique_hbitmap bitmap = CreateDib32(f.aperture.width, f.aperture.height, false, &bits);
    if (!bitmap)
        return E_OUTOFMEMORY;
    const std::size_t rowBytes = static_cast<std::size_t>(f.aperture.width) * 4;
    auto* rows = static_cast<std::uint8_t*>(bits);
    if (ConvertToBgrx(source, f.aperture, rows, rowBytes) != ConvertResult::Converted)
        return MF_E_INVALIDMEDIATYPE;
    // The converter writes the top row first: turned over for the bitmap.
    std::vector<std::uint8_t> spare(rowBytes);
    for (int top = 0, bottom = f.aperture.height - 1; top < bottom; ++top, --bottom) {
        std::uint8_t* a = rows + static_cast<std::size_t>(top) * rowBytes;
        std::uint8_t* b = rows + static_cast<std::size_t>(bottom) * rowBytes;
        std::memcpy(spare.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, spare.data(), rowBytes);
    }
    *frame = std::move(bitmap);
    return S_OK;
}

HRESULT Grab(const wchar_t* path, double value, double scale, unique_hbitmap* frame)
{
    const MfSession session;
    if (FAILED(session.result()))
        return session.result();

    com_ptr<IMFAttributes> attributes;
    HRESULT hr = Entries().createAttributes(attributes.put(), 2);
    if (FAILED(hr))
        return hr;
    // Video processing lets the reader convert to 32-bit RGB itself; a
    // platform without it ignores the attribute and the decoder's format is
    // converted here.
    (void)attributes->SetUINT32(MF_SOURCE_READER_ENABLE_VIDEO_PROCESSING, TRUE);
    (void)attributes->SetUINT32(MF_READWRITE_DISABLE_CONVERTERS, FALSE);
    com_ptr<IMFSourceReader> reader;
    hr = Entries().createSourceReaderFromUrl(path, attributes.get(), reader.put());
    if (FAILED(hr))
        return hr;
    if (!reader)
        return E_UNEXPECTED;

    // Only the picture is decoded; an audio stream would fill up unread.
    if (FAILED(hr = reader->SetStreamSelection(MF_SOURCE_READER_ALL_STREAMS, FALSE)) ||
        FAILED(hr = reader->SetStreamSelection(kVideoStream, TRUE)) ||
        FAILED(hr = ChooseOutputType(reader.get())))
        return hr;

    const ReferenceTime target = CaptureJobPosition(ReadDuration(reader.get()), value, scale);
    // A source that can't seek is read from its start: the frame at the
    // target still comes, only later.
    if (target > 0)
        (void)Seek(reader.get(), target);
    DecodedFrame decoded;
    hr = DecodeUpTo(reader.get(), target, &decoded);
    // Sought to or past the last frame (the very end, or a duration that
    // overstates the clip): a second earlier, the last frame comes before the
    // stream ends.
    if (hr == S_FALSE && target > 0 &&
        SUCCEEDED(Seek(reader.get(), EarlierCapturePosition(target))))
        hr = DecodeUpTo(reader.get(), target, &decoded);
    if (hr != S_OK)
        return FAILED(hr) ? hr : E_FAIL;
    return ToBitmap(decoded, frame);
}

} // namespace

HRESULT GrabFrameWithMediaFoundation(const wchar_t* path, double value, double scale,
                                     unique_hbitmap* frame)
{
    if (!frame)
        return E_POINTER;
    frame->reset();
    if (!path)
        return E_POINTER;
    return GuardHResult([&] { return Grab(path, value, scale, frame); });
}

} // namespace kadrix
