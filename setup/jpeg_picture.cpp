#include "setup/jpeg_picture.h"

#include "base/dib.h"
#include "base/gdiplus.h"
#include "engine/store/jpeg_codec.h"
#include "winui/core/error.h"

#include <cstring>
#include <memory>
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

unique_hbitmap ScalePicture(HBITMAP picture, int width, int height)
{
    using namespace Gdiplus::DllExports;
    void* bits = nullptr;
    unique_hbitmap scaled = CreateDib32(width, height, true, &bits);
    Gdiplus::GpBitmap* raw = nullptr;
    if (!scaled || GdipCreateBitmapFromHBITMAP(picture, nullptr, &raw) != Gdiplus::Ok)
        return {};
    const unique_gp_bitmap source(raw);
    raw = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppRGB,
                                  static_cast<BYTE*>(bits), &raw) != Gdiplus::Ok)
        return {};
    const unique_gp_bitmap target(raw);
    UINT sourceWidth = 0, sourceHeight = 0;
    GdipGetImageWidth(source.get(), &sourceWidth);
    GdipGetImageHeight(source.get(), &sourceHeight);
    // The edges repeat the picture's own pixels, not the dark of nothing.
    Gdiplus::GpImageAttributes* rawAttributes = nullptr;
    GdipCreateImageAttributes(&rawAttributes);
    const std::unique_ptr<Gdiplus::GpImageAttributes, decltype(&GdipDisposeImageAttributes)>
        attributes(rawAttributes, &GdipDisposeImageAttributes);
    if (attributes)
        GdipSetImageAttributesWrapMode(attributes.get(), Gdiplus::WrapModeTileFlipXY, 0, FALSE);
    Gdiplus::GpGraphics* rawGraphics = nullptr;
    if (GdipGetImageGraphicsContext(target.get(), &rawGraphics) != Gdiplus::Ok)
        return {};
    {
        // The graphics ends before the pixels are handed on.
        const unique_gp_graphics graphics(rawGraphics);
        GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);
        GdipSetPixelOffsetMode(graphics.get(), Gdiplus::PixelOffsetModeHighQuality);
        if (GdipDrawImageRectRectI(graphics.get(), source.get(), 0, 0, width, height, 0, 0,
                                   static_cast<INT>(sourceWidth), static_cast<INT>(sourceHeight),
                                   Gdiplus::UnitPixel, attributes.get(), nullptr,
                                   nullptr) != Gdiplus::Ok)
            return {};
    }
    return scaled;
}

unique_hbitmap LoadSamplePicture(HMODULE module, int index)
{
    return LoadJpegResource(module, L"#" + std::to_wstring(index));
}

} // namespace kadrix::setup
