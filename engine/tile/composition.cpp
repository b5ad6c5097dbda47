#include "engine/tile/composition.h"

#include "base/dib.h"
#include "base/gdiplus.h"
#include "base/unique_handle.h"
#include "engine/tile/core/pixel_shrink.h"
#include "engine/tile/core/tile_painter.h"
#include "engine/tile/core/tile_geometry.h"
#include "engine/store/jpeg_codec.h"
#include "engine/core/phase_clock.h"
#include "engine/tile/tile_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kadrix {

using namespace Gdiplus::DllExports;

namespace {

constexpr Gdiplus::ARGB kOpaqueBlack = 0xFF000000;
constexpr Gdiplus::ARGB kGlossWhite = 0x14FFFFFF; // white at alpha 20

// The picture a tile shows, at a size at least that of the rectangle it is
// drawn into, and the frame's own size, which the layout comes from.
struct Source
{
    const std::uint8_t* top = nullptr; // null: nothing could be decoded
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
    unsigned frameWidth = 0;
    unsigned frameHeight = 0;
};

void DrawGloss(Gdiplus::GpGraphics* graphics, const GlossWedge& wedge)
{
    // Quality is raised for the wedge only: the picture is drawn with the
    // graphics object's defaults.
    GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeHighQuality);
    GdipSetCompositingQuality(graphics, Gdiplus::CompositingQualityHighQuality);
    GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHighQuality);

    Gdiplus::GpSolidFill* raw = nullptr;
    if (GdipCreateSolidFill(kGlossWhite, &raw) != Gdiplus::Ok)
        return;
    unique_gp_brush brush(raw);
    FillWedge(graphics, brush.get(), wedge);
}

// The rectangle's size in whole pixels, rounded up.
void SizeOf(const TileRect& rect, int* width, int* height)
{
    *width = std::max(1, static_cast<int>(std::ceil(rect.width)));
    *height = std::max(1, static_cast<int>(std::ceil(rect.height)));
}

// The gloss over the tile's pixels, with GDI+, which draws the wedge with
// the quality the look asks for.
void DrawGlossOver(std::uint32_t* pixels, int cx, int cy, const GlossWedge& wedge)
{
    GdiplusSession gdiplus;
    if (!gdiplus)
        return;
    Gdiplus::GpBitmap* rawCanvas = nullptr;
    if (GdipCreateBitmapFromScan0(cx, cy, cx * 4, PixelFormat32bppARGB,
                                  reinterpret_cast<BYTE*>(pixels), &rawCanvas) != Gdiplus::Ok)
        return;
    unique_gp_bitmap canvas(rawCanvas);
    Gdiplus::GpGraphics* rawGraphics = nullptr;
    if (GdipGetImageGraphicsContext(canvas.get(), &rawGraphics) != Gdiplus::Ok)
        return;
    unique_gp_graphics graphics(rawGraphics);
    DrawGloss(graphics.get(), wedge);
}

// Draws the tile into a 32-bit DIB section of its own, which it hands over.
// The background, the band and the picture are painted straight into its
// pixels, every one of them opaque; only the gloss is GDI+'s.
HBITMAP DrawTile(const Source& source, int cx, int cy, const ThumbnailSettings& look)
{
    const Background background = BackgroundOf(look);
    const TileLayout layout =
        LayoutTile(cx, cy, source.top ? source.frameWidth : 0, source.top ? source.frameHeight : 0,
                   background, look.glossy != 0);

    // Top row first, as the painter walks it.
    void* bits = nullptr;
    unique_hbitmap tile = CreateDib32(cx, cy, true, &bits);
    if (!tile)
        return nullptr;
    TileCanvas canvas{static_cast<std::uint32_t*>(bits), cx, cy};
    FillTile(canvas, background == Background::Black ? kOpaqueBlack : WindowColour());
    if (layout.band)
        FillRect(canvas, *layout.band, kOpaqueBlack);
    if (layout.picture && source.top)
        DrawScaled(canvas, *layout.picture, source.top, source.width, source.height, source.stride);
    if (layout.wedge) {
        DrawGlossOver(canvas.pixels, cx, cy, *layout.wedge);
        // GDI+ blended over opaque pixels: they stay opaque.
        for (std::size_t i = 0; i < static_cast<std::size_t>(cx) * cy; ++i)
            canvas.pixels[i] |= 0xFF000000u;
    }
    MarkPhase("composition");
    return tile.release();
}

// The size of the picture the layout wants for a frame of that size.
bool PictureSize(int cx, int cy, unsigned frameWidth, unsigned frameHeight,
                 const ThumbnailSettings& look, int* width, int* height)
{
    const TileLayout layout =
        LayoutTile(cx, cy, frameWidth, frameHeight, BackgroundOf(look), look.glossy != 0);
    if (!layout.picture)
        return false;
    SizeOf(*layout.picture, width, height);
    return true;
}

// The whole stream in memory; empty when it can't be read.
std::vector<std::uint8_t> ReadStream(const wchar_t* name)
{
    std::vector<std::uint8_t> data;
    if (!name)
        return data;
    unique_file file(::CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    // A thumbnail stream is one frame's JPEG: more than this is no thumbnail.
    constexpr LONGLONG kMaxStream = 256LL * 1024 * 1024;
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        size.QuadPart > kMaxStream)
        return data;
    data.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) ||
        read != data.size())
        data.clear();
    return data;
}

} // namespace

HBITMAP Compose(const wchar_t* streamName, int cx, int cy, const ThumbnailSettings& look)
{
    if (!IsDrawableTile(cx, cy))
        return nullptr;
    // A stream that does not decode counts as a 0 by 0 frame. One that does
    // is decoded no larger than the picture needs: the decoder's own DCT
    // scaling, to the smallest size still at least the picture's rectangle.
    const std::vector<std::uint8_t> jpeg = ReadStream(streamName);
    DecodedJpeg decoded;
    Source source;
    int frameWidth = 0, frameHeight = 0, wantedWidth = 0, wantedHeight = 0;
    if (ReadJpegSize(jpeg.data(), jpeg.size(), &frameWidth, &frameHeight) &&
        PictureSize(cx, cy, static_cast<unsigned>(frameWidth), static_cast<unsigned>(frameHeight),
                    look, &wantedWidth, &wantedHeight) &&
        DecodeJpeg(jpeg.data(), jpeg.size(), wantedWidth, wantedHeight, &decoded)) {
        source.top = decoded.pixels.data();
        source.width = decoded.width;
        source.height = decoded.height;
        source.stride = static_cast<std::ptrdiff_t>(decoded.width) * 4;
        source.frameWidth = static_cast<unsigned>(decoded.fullWidth);
        source.frameHeight = static_cast<unsigned>(decoded.fullHeight);
    }
    MarkPhase("JPEG decode");
    return DrawTile(source, cx, cy, look);
}

HBITMAP ComposeFrame(HBITMAP frame, int cx, int cy, const ThumbnailSettings& look)
{
    if (!IsDrawableTile(cx, cy))
        return nullptr;
    Source source;
    std::vector<std::uint8_t> shrunk;
    DIBSECTION section{};
    if (frame && ::GetObjectW(frame, sizeof section, &section) == sizeof section &&
        section.dsBm.bmBitsPixel == 32 && section.dsBm.bmBits && section.dsBmih.biHeight > 0) {
        // The capture's frames are bottom-up 32-bit DIBs: their top row is
        // the last in memory.
        const int width = section.dsBm.bmWidth;
        const int height = section.dsBm.bmHeight;
        const std::ptrdiff_t stride = -static_cast<std::ptrdiff_t>(section.dsBm.bmWidthBytes);
        const auto* top = static_cast<const std::uint8_t*>(section.dsBm.bmBits) +
                          static_cast<std::size_t>(height - 1) * section.dsBm.bmWidthBytes;
        int wantedWidth = 0, wantedHeight = 0;
        if (PictureSize(cx, cy, static_cast<unsigned>(width), static_cast<unsigned>(height), look,
                        &wantedWidth, &wantedHeight)) {
            const int factor = ShrinkFactorFor(width, height, wantedWidth, wantedHeight);
            ::GdiFlush();
            shrunk =
                ShrinkPixels(top, width, height, stride, factor, &source.width, &source.height);
            source.top = shrunk.data();
            source.stride = static_cast<std::ptrdiff_t>(source.width) * 4;
            source.frameWidth = static_cast<unsigned>(width);
            source.frameHeight = static_cast<unsigned>(height);
        }
    }
    MarkPhase("shrink the frame");
    return DrawTile(source, cx, cy, look);
}

} // namespace kadrix
