#include "base/image_encoders.h"

#include "base/gdiplus.h"

#include <cwchar>
#include <memory>
#include <new>

namespace kadrix {

int GetEncoderClsid(const wchar_t* mimeType, CLSID* clsid)
{
    if (!mimeType || !clsid)
        return -1;
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return -1;

    // The descriptions and the strings they point to share one buffer.
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
    if (!buffer)
        return -1;
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    if (Gdiplus::DllExports::GdipGetImageEncoders(count, size, encoders) != Gdiplus::Ok)
        return -1;

    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].MimeType && std::wcscmp(encoders[i].MimeType, mimeType) == 0) {
            *clsid = encoders[i].Clsid;
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool SavePng(HBITMAP bitmap, const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    GdiplusSession gdiplus;
    CLSID png;
    if (!gdiplus || GetEncoderClsid(L"image/png", &png) < 0)
        return false;
    Gdiplus::GpBitmap* raw = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &raw) != Gdiplus::Ok)
        return false;
    unique_gp_bitmap image(raw);
    return Gdiplus::DllExports::GdipSaveImageToFile(image.get(), path.c_str(), &png, nullptr) ==
           Gdiplus::Ok;
}

} // namespace kadrix
