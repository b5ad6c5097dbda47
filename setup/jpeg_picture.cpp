#include "setup/jpeg_picture.h"

#include "base/dib.h"
#include "engine/jpeg_codec.h"
#include "winui/core/error.h"

#include <cstring>
#include <string>

namespace kadrix::setup {

unique_hbitmap DecodeJpeg(const void* data, std::size_t size)
{
    DecodedJpeg picture;
    if (!kadrix::DecodeJpeg(data, size, 0, 0, &picture))
        return {};
    void* bits = nullptr;
    unique_hbitmap bitmap = CreateDib32(picture.width, picture.height, true, &bits); // as decoded
    if (!bitmap)
        return {};
    std::memcpy(bits, picture.pixels.data(), picture.pixels.size());
    return bitmap;
}

unique_hbitmap LoadJpegResource(HMODULE module, const std::wstring& name)
{
    HRSRC found = ::FindResourceW(module, name.c_str(), RT_RCDATA);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        throw winui::Error(L"Resource " + name + L" not found");
    unique_hbitmap bitmap = DecodeJpeg(data, ::SizeofResource(module, found));
    if (!bitmap)
        throw winui::Error(L"Picture " + name + L" is not a valid JPEG image");
    return bitmap;
}

unique_hbitmap LoadSamplePicture(HMODULE module, int index)
{
    return LoadJpegResource(module, L"#" + std::to_wstring(index));
}

} // namespace kadrix::setup
