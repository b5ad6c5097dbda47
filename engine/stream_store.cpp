#include "engine/stream_store.h"

#include "base/unique_handle.h"
#include "base/gdiplus.h"
#include "base/image_encoders.h"
#include "engine/core/stream_names.h"
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

} // namespace

void WriteThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen)
{
    if (!path || !bitmap)
        return;
    kadrix::GdiplusSession gdiplus;
    if (!gdiplus)
        return;

    kadrix::unique_gp_bitmap image;
    {
        Gdiplus::GpBitmap* raw = nullptr;
        if (GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &raw) != Gdiplus::Ok)
            return;
        image.reset(raw);
    }

    // Without a JPEG encoder there is nothing sound to save with: write nothing.
    CLSID jpeg;
    if (GetEncoderClsid(L"image/jpeg", &jpeg) < 0)
        return;

    const std::wstring stream = kadrix::StreamPath(path, kadrix::ThumbStreamName(userChosen != 0));
    ::SetLastError(ERROR_SUCCESS);
    const Gdiplus::Status status = GdipSaveImageToFile(image.get(), stream.c_str(), &jpeg, nullptr);
    if (userChosen && IsAccessDenied(status, ::GetLastError()))
        kadrix::ShowUserMessage(L"Can't write thumbnail image. Access denied.", L"Error");
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
