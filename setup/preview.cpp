#include "setup/preview.h"

#include "base/gdiplus.h"
#include "engine/tile/tile_drawing.h"

using namespace Gdiplus::DllExports;

namespace kadrix::setup {
namespace {

constexpr Gdiplus::ARGB kOpaqueBlack = 0xFF000000;
constexpr Gdiplus::ARGB kGlossTop = 0x32FFFFFF;    // white at alpha 50
constexpr Gdiplus::ARGB kGlossBottom = 0x46FFFFFF; // white at alpha 70

} // namespace

void BuildThumbnail(HBITMAP sample, bool glossy, PreviewMode mode, HDC target, int size)
{
    const PreviewLayout layout = LayoutPreview(mode, glossy, size);

    Gdiplus::GpBitmap* raw = nullptr;
    if (GdipCreateBitmapFromScan0(size, size, 0, PixelFormat24bppRGB, nullptr, &raw) !=
        Gdiplus::Ok)
        return;
    unique_gp_bitmap canvas(raw);
    raw = nullptr;
    GdipCreateBitmapFromHBITMAP(sample, nullptr, &raw);
    unique_gp_bitmap picture(raw);

    Gdiplus::GpGraphics* rawGraphics = nullptr;
    if (GdipGetImageGraphicsContext(canvas.get(), &rawGraphics) != Gdiplus::Ok)
        return;
    unique_gp_graphics graphics(rawGraphics);
    rawGraphics = nullptr;
    if (GdipCreateFromHDC(target, &rawGraphics) != Gdiplus::Ok)
        return;
    unique_gp_graphics screen(rawGraphics);

    // Unlike the handler's tiles, the picture is scaled in high quality too.
    GdipSetSmoothingMode(graphics.get(), Gdiplus::SmoothingModeHighQuality);
    GdipSetCompositingQuality(graphics.get(), Gdiplus::CompositingQualityHighQuality);
    GdipSetPixelOffsetMode(graphics.get(), Gdiplus::PixelOffsetModeHighQuality);

    Gdiplus::GpSolidFill* rawBrush = nullptr;
    GdipCreateSolidFill(mode == PreviewMode::Black ? kOpaqueBlack : WindowColour(), &rawBrush);
    unique_gp_brush background(rawBrush);
    GdipFillRectangleI(graphics.get(), rawBrush, 0, 0, size, size);
    if (layout.band) {
        GdipSetSolidFillColor(rawBrush, kOpaqueBlack);
        GdipFillRectangle(graphics.get(), rawBrush, layout.band->x, layout.band->y,
                          layout.band->width, layout.band->height);
    }
    if (picture) {
        // Always the 150 x 113 of the samples, so the shorter fifth one
        // fills the same rectangle.
        const TileRect& p = layout.picture;
        GdipDrawImageRectRect(graphics.get(), picture.get(), p.x, p.y, p.width, p.height, 0, 0, 150,
                              113, Gdiplus::UnitPixel, nullptr, nullptr, nullptr);
    }

    // The gloss runs from the top left corner to (30, 80) of 128 pixels.
    const Gdiplus::GpPointF from(0, 0);
    const Gdiplus::GpPointF to(30.0f * size / kPreviewSize, 80.0f * size / kPreviewSize);
    Gdiplus::GpLineGradient* rawGloss = nullptr;
    GdipCreateLineBrush(&from, &to, kGlossTop, kGlossBottom, Gdiplus::WrapModeTile, &rawGloss);
    unique_gp_brush gloss(rawGloss);
    if (layout.wedge && gloss)
        FillWedge(graphics.get(), gloss.get(), *layout.wedge);

    GdipDrawImageI(screen.get(), canvas.get(), 0, 0);
}

} // namespace kadrix::setup
