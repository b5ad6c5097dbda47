#include "support/images.h"

#include "base/gdiplus.h"

#include <cstdlib>

using namespace Gdiplus::DllExports;

namespace kadrix::test {

unique_hbitmap MakeSolidBitmap(int width, int height, Rgb colour)
{
    const std::uint32_t bgra = 0xFF000000u | (colour.r << 16) | (colour.g << 8) | colour.b;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, bgra);
    return unique_hbitmap(::CreateBitmap(width, height, 1, 32, pixels.data()));
}

unique_hbitmap MakeTwoToneBitmap(int width, int height, Rgb top, Rgb bottom)
{
    auto pack = [](Rgb c) {
        return 0xFF000000u | (c.r << 16) | (c.g << 8) | c.b;
    };
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::fill_n(pixels.begin() + static_cast<std::size_t>(y) * width, width,
                    pack(y < height / 2 ? top : bottom));
    return unique_hbitmap(::CreateBitmap(width, height, 1, 32, pixels.data()));
}

Rgb Picture::at(int x, int y) const
{
    const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF)};
}

Rgb Picture::mean(int x, int y, int w, int h) const
{
    long r = 0, g = 0, b = 0;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            const Rgb c = at(i, j);
            r += c.r;
            g += c.g;
            b += c.b;
        }
    const long n = static_cast<long>(w) * h;
    return {static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n)};
}

Picture LoadPicture(const std::wstring& path)
{
    Picture picture;
    GdiplusSession gdiplus;
    Gdiplus::GpBitmap* raw = nullptr;
    if (GdipCreateBitmapFromFile(path.c_str(), &raw) != Gdiplus::Ok)
        return picture;
    unique_gp_bitmap image(raw);
    UINT width = 0, height = 0;
    GdipGetImageWidth(image.get(), &width);
    GdipGetImageHeight(image.get(), &height);
    Gdiplus::GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    if (GdipBitmapLockBits(image.get(), &rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB,
                           &data) != Gdiplus::Ok)
        return picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.pixels.resize(static_cast<std::size_t>(width) * height);
    for (UINT y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            static_cast<const BYTE*>(data.Scan0) + static_cast<INT_PTR>(y) * data.Stride);
        std::copy(row, row + width, picture.pixels.begin() + static_cast<std::size_t>(y) * width);
    }
    GdipBitmapUnlockBits(image.get(), &data);
    return picture;
}

Picture PictureFromBitmap(HBITMAP bitmap)
{
    Picture picture;
    BITMAP info{};
    if (!::GetObjectW(bitmap, sizeof info, &info))
        return picture;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight; // top row first
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    picture.pixels.resize(static_cast<std::size_t>(info.bmWidth) * info.bmHeight);
    window_dc screen(nullptr);
    if (::GetDIBits(screen.get(), bitmap, 0, info.bmHeight, picture.pixels.data(), &header,
                    DIB_RGB_COLORS) != info.bmHeight) {
        picture.pixels.clear();
        return picture;
    }
    picture.width = info.bmWidth;
    picture.height = info.bmHeight;
    return picture;
}

bool Near(Rgb a, Rgb b, int tolerance)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

} // namespace kadrix::test
