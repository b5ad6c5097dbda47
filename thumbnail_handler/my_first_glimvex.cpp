#include "thumbnail_handler/my_first_glimvex.h"

#include "base/exception_boundary.h"
#include "base/unique_handle.h"
#include "engine/capture/capture_job.h"
#include "engine/tile/composition.h"
#include "engine/settings/settings_registry.h"
#include "engine/store/core/stream_names.h"
#include "engine/core/phase_clock.h"
#include "engine/store/stream_store.h"

#include <shlwapi.h>

#include <cwchar>
#include <string>

namespace kadrix {

namespace {

// Reads the 4-byte generation stamp. False when the stream is missing or
// holds fewer than 4 bytes: such a stamp counts as stale and is rewritten.
bool ReadStamp(const std::wstring& stream, DWORD* stamp)
{
    unique_file file(::CreateFileW(stream.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (!file || ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    DWORD read = 0;
    return ::ReadFile(file.get(), stamp, sizeof *stamp, &read, nullptr) && read == sizeof *stamp;
}

} // namespace

STDMETHODIMP CMyFirstGlimvex::GetClassID(CLSID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CMyFirstGlimvex::IsDirty()
{
    return E_NOTIMPL;
}

STDMETHODIMP CMyFirstGlimvex::Load(LPCOLESTR fileName, DWORD)
{
    return GuardHResult([&] { return SetPath(fileName); });
}

STDMETHODIMP CMyFirstGlimvex::Save(LPCOLESTR, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP CMyFirstGlimvex::SaveCompleted(LPCOLESTR)
{
    return E_NOTIMPL;
}

STDMETHODIMP CMyFirstGlimvex::GetCurFile(LPOLESTR*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CMyFirstGlimvex::Initialize(LPCWSTR filePath, DWORD)
{
    return GuardHResult([&] { return SetPath(filePath); });
}

// The request runs synchronously inside Extract: no E_PENDING, no
// IEIFLAG_ASYNC, and the path buffer, priority and flags are left alone.
STDMETHODIMP CMyFirstGlimvex::GetLocation(LPWSTR, DWORD, DWORD*, const SIZE* size, DWORD, DWORD*)
{
    return GuardHResult([&] {
        if (!size)
            return E_POINTER;
        width_ = size->cx;
        height_ = size->cy;
        return S_OK;
    });
}

STDMETHODIMP CMyFirstGlimvex::Extract(HBITMAP* bitmap)
{
    return GuardHResult([&] { return ThumbnailRequest(bitmap); });
}

STDMETHODIMP CMyFirstGlimvex::GetThumbnail(UINT cx, HBITMAP* bitmap, WTS_ALPHATYPE* alphaType)
{
    if (!bitmap || !alphaType)
        return E_POINTER;
    width_ = static_cast<int>(cx);
    height_ = static_cast<int>(cx);
    *alphaType = WTSAT_RGB;
    return GuardHResult([&] { return ThumbnailRequest(bitmap); });
}

HRESULT CMyFirstGlimvex::SetPath(LPCWSTR path)
{
    path_[0] = L'\0';
    if (!path)
        return E_POINTER;
    // A path that does not fit is refused, never cut: a cut path would name
    // another file, and the streams would be written onto it.
    const std::size_t length = std::wcslen(path);
    if (length >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    std::wmemcpy(path_, path, length + 1);
    return S_OK;
}

bool CMyFirstGlimvex::AutomaticThumbnailIsCurrent() const
{
    if (!StreamExists(path_, kAutoThumbStream.data()) || !StreamExists(path_, kStampStream.data()))
        return false;
    DWORD stamp = 0;
    return ReadStamp(StreamPath(path_, kStampStream), &stamp) && stamp == settings_.random;
}

HRESULT CMyFirstGlimvex::ThumbnailRequest(HBITMAP* bitmap)
{
    if (!bitmap)
        return E_POINTER;
    *bitmap = nullptr;
    if (path_[0] == L'\0')
        return E_FAIL;

    ReadSettings(settings_); // values missing from the key keep their current ones
    MarkPhase("read the settings");

    // Files in network folders are never opened.
    std::wstring folder = path_;
    const std::size_t slash = folder.find_last_of(L'\\');
    folder.erase(slash == std::wstring::npos ? 0 : slash);
    if (::PathIsNetworkPathW(folder.c_str()))
        return E_FAIL;

    std::wstring_view stream = kAutoThumbStream;
    unique_hbitmap captured;
    if (settings_.override == 0 && StreamExists(path_, kUserThumbStream.data())) {
        stream = kUserThumbStream;
    } else if (IsRemoteData(path_)) {
        // Capturing would fetch the whole video: the automatic thumbnail the
        // file has, however old, or none.
        if (!StreamExists(path_, kAutoThumbStream.data()))
            return E_FAIL;
    } else if (!AutomaticThumbnailIsCurrent()) {
        const CapturePosition position = CapturePositionOf(settings_);
        // A failed capture is not the shell's concern: the tile then shows
        // whatever automatic thumbnail there is, or the background alone.
        (void)RunCaptureJob(path_, position.value, position.scale, 0, kCaptureDeadlineMs,
                            &captured);
        // A clip that went away, or a read-only file or medium: no stamp, and
        // the next request captures again.
        (void)WriteGenerationStamp(path_, settings_.random);
        MarkPhase("write the stamp");
    } else {
        MarkPhase("look at the streams");
    }

    // A frame just captured is composed as it is: its JPEG, written for the
    // next request, need not be decoded again.
    *bitmap = captured ? ComposeFrame(captured.get(), width_, height_, settings_)
                       : Compose(StreamPath(path_, stream).c_str(), width_, height_, settings_);
    return *bitmap ? S_OK : E_FAIL;
}

} // namespace kadrix
