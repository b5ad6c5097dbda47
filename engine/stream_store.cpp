#include "engine/stream_store.h"

#include "base/unique_handle.h"
#include "base/gdiplus.h"
#include "base/image_encoders.h"
#include "engine/core/stream_names.h"
#include "engine/phase_clock.h"
#include "engine/user_message.h"

using namespace Gdiplus::DllExports;

namespace {

// GDI+ implementations differ in how they report a file the system refused:
// some answer AccessDenied, others a generic or Win32 error and leave the
// file system's ERROR_ACCESS_DENIED as the thread's last error. Both are the
// same refusal to the user.
bool IsAccessDenied(Gdiplus::Status status, DWORD lastError)
{
    if (status == Gdiplus::AccessDenied)
        return true;
    return (status == Gdiplus::GenericError || status == Gdiplus::Win32Error) &&
           lastError == ERROR_ACCESS_DENIED;
}

// The frame as GDI+ sees it. A 32-bit DIB section, as the capture makes
// them, is used in place; anything else is copied.
kadrix::unique_gp_bitmap WrapFrame(HBITMAP bitmap)
{
    Gdiplus::GpBitmap* raw = nullptr;
    DIBSECTION section{};
    if (::GetObjectW(bitmap, sizeof section, &section) == sizeof section &&
        section.dsBm.bmBitsPixel == 32 && section.dsBm.bmBits && section.dsBmih.biHeight != 0) {
        const int width = section.dsBm.bmWidth;
        const int height = section.dsBm.bmHeight;
        const int stride = section.dsBm.bmWidthBytes;
        auto* bits = static_cast<BYTE*>(section.dsBm.bmBits);
        // Bottom-up rows are walked from the last with a negative stride. (A
        // top-down section says so with a negative height where the platform
        // keeps the sign.)
        const bool topDown = section.dsBmih.biHeight < 0;
        BYTE* first = topDown ? bits : bits + static_cast<std::size_t>(height - 1) * stride;
        if (GdipCreateBitmapFromScan0(width, height, topDown ? stride : -stride,
                                      PixelFormat32bppRGB, first, &raw) == Gdiplus::Ok)
            return kadrix::unique_gp_bitmap(raw);
    }
    if (GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &raw) != Gdiplus::Ok)
        return nullptr;
    return kadrix::unique_gp_bitmap(raw);
}

} // namespace

namespace kadrix {

unique_file HoldClip(const wchar_t* path)
{
    if (!path)
        return {};
    unique_file clip(::CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!clip || ::GetFileType(clip.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(clip.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return clip;
}

bool IsRemoteData(const wchar_t* path)
{
    // Not every SDK names the two recall attributes.
    constexpr DWORD kRecallOnOpen = 0x00040000;
    constexpr DWORD kRecallOnDataAccess = 0x00400000;
    const DWORD attributes = path ? ::GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_OFFLINE | kRecallOnOpen | kRecallOnDataAccess)) != 0;
}

} // namespace kadrix

HRESULT SaveThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen)
{
    if (!path || !bitmap)
        return E_POINTER;
    const kadrix::unique_file clip = kadrix::HoldClip(path);
    if (!clip)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    kadrix::GdiplusSession gdiplus;
    kadrix::MarkPhase("GDI+ start-up (store)");
    if (!gdiplus)
        return E_FAIL;
    const kadrix::unique_gp_bitmap image = WrapFrame(bitmap);
    if (!image)
        return E_FAIL;

    // Without a JPEG encoder there is nothing sound to save with: write nothing.
    CLSID jpeg;
    if (GetEncoderClsid(L"image/jpeg", &jpeg) < 0)
        return REGDB_E_CLASSNOTREG;

    const std::wstring stream = kadrix::StreamPath(path, kadrix::ThumbStreamName(userChosen != 0));
    ::SetLastError(ERROR_SUCCESS);
    const Gdiplus::Status status = GdipSaveImageToFile(image.get(), stream.c_str(), &jpeg, nullptr);
    kadrix::MarkPhase("JPEG encode and write");
    if (status == Gdiplus::Ok)
        return S_OK;
    return IsAccessDenied(status, ::GetLastError()) ? E_ACCESSDENIED : E_FAIL;
}

void WriteThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen)
{
    if (SaveThumbnailStream(path, bitmap, userChosen) == E_ACCESSDENIED && userChosen)
        kadrix::ShowUserMessage(kadrix::kAccessDeniedText, kadrix::kAccessDeniedCaption);
}

bool StreamExists(const wchar_t* path, const wchar_t* name)
{
    if (!path || !name)
        return false;
    const std::wstring stream = kadrix::StreamPath(path, name);
    kadrix::unique_file file(::CreateFileW(stream.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(file);
}
