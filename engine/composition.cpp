#include "engine/composition.h"

#include "base/gdiplus.h"
#include "engine/core/tile_geometry.h"
#include "engine/phase_clock.h"
#include "engine/tile_drawing.h"

using namespace Gdiplus::DllExports;

namespace {

constexpr Gdiplus::ARGB kOpaqueBlack = 0xFF000000;
constexpr Gdiplus::ARGB kGlossWhite = 0x14FFFFFF; // white at alpha 20
// Shows only where the canvas is not opaque, which after drawing is nowhere.
constexpr Gdiplus::ARGB kConversionBackground = 0xFF000100;

void DrawGloss(Gdiplus::GpGraphics* graphics, const kadrix::GlossWedge& wedge)
{
    // Quality is raised for the wedge only: the picture is drawn with the
    // graphics object's defaults.
    GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeHighQuality);
    GdipSetCompositingQuality(graphics, Gdiplus::CompositingQualityHighQuality);
    GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHighQuality);

    Gdiplus::GpSolidFill* raw = nullptr;
    if (GdipCreateSolidFill(kGlossWhite, &raw) != Gdiplus::Ok)
        return;
    kadrix::unique_gp_brush brush(raw);
    kadrix::FillWedge(graphics, brush.get(), wedge);
}

} // namespace

namespace {

// The tile, with GDI+ running.
HBITMAP ComposeTile(const wchar_t* streamName, int cx, int cy,
                    const kadrix::ThumbnailSettings& look)
{

    // A stream that does not decode counts as a 0 by 0 frame.
    kadrix::unique_gp_bitmap source;
    UINT frameWidth = 0;
    UINT frameHeight = 0;
    {
        Gdiplus::GpBitmap* raw = nullptr;
        if (streamName && GdipCreateBitmapFromFile(streamName, &raw) == Gdiplus::Ok) {
            source.reset(raw);
            GdipGetImageWidth(source.get(), &frameWidth);
            GdipGetImageHeight(source.get(), &frameHeight);
        }
    }
    kadrix::MarkPhase("JPEG decode");

    kadrix::unique_gp_bitmap canvas;
    kadrix::unique_gp_graphics graphics;
    {
        Gdiplus::GpBitmap* rawCanvas = nullptr;
        if (GdipCreateBitmapFromScan0(cx, cy, 0, PixelFormat32bppARGB, nullptr, &rawCanvas) !=
            Gdiplus::Ok)
            return nullptr;
        canvas.reset(rawCanvas);
        Gdiplus::GpGraphics* rawGraphics = nullptr;
        if (GdipGetImageGraphicsContext(canvas.get(), &rawGraphics) != Gdiplus::Ok)
            return nullptr;
        graphics.reset(rawGraphics);
    }

    const kadrix::Background background = kadrix::BackgroundOf(look);
    const kadrix::TileLayout layout =
        kadrix::LayoutTile(cx, cy, frameWidth, frameHeight, background, look.glossy != 0);

    Gdiplus::GpSolidFill* rawBrush = nullptr;
    const Gdiplus::ARGB fill =
        background == kadrix::Background::Black ? kOpaqueBlack : kadrix::WindowColour();
    if (GdipCreateSolidFill(fill, &rawBrush) == Gdiplus::Ok) {
        kadrix::unique_gp_brush brush(rawBrush);
        GdipFillRectangleI(graphics.get(), brush.get(), 0, 0, cx, cy);
        if (layout.band) {
            GdipSetSolidFillColor(rawBrush, kOpaqueBlack);
            GdipFillRectangle(graphics.get(), brush.get(), layout.band->x, layout.band->y,
                              layout.band->width, layout.band->height);
        }
    }
    if (layout.picture && source) {
        const kadrix::TileRect& p = *layout.picture;
        GdipDrawImageRectRect(graphics.get(), source.get(), p.x, p.y, p.width, p.height, 0, 0,
                              static_cast<Gdiplus::REAL>(frameWidth),
                              static_cast<Gdiplus::REAL>(frameHeight), Gdiplus::UnitPixel, nullptr,
                              nullptr, nullptr);
    }
    if (layout.wedge)
        DrawGloss(graphics.get(), *layout.wedge);

    HBITMAP result = nullptr;
    if (GdipCreateHBITMAPFromBitmap(canvas.get(), &result, kConversionBackground) != Gdiplus::Ok)
        return nullptr;
    kadrix::MarkPhase("composition");
    return result;
}

} // namespace

HBITMAP Compose(const wchar_t* streamName, int cx, int cy, const kadrix::ThumbnailSettings& look)
{
    if (!kadrix::IsDrawableTile(cx, cy))
        return nullptr;
    HBITMAP tile = nullptr;
    {
        kadrix::GdiplusSession gdiplus;
        kadrix::MarkPhase("GDI+ start-up (tile)");
        if (gdiplus)
            tile = ComposeTile(streamName, cx, cy, look);
    }
    kadrix::MarkPhase("GDI+ shut-down (tile)");
    return tile;
}
