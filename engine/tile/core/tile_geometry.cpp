#include "engine/tile/core/tile_geometry.h"

namespace kadrix {
namespace {

TileRect Rect(double x, double y, double width, double height)
{
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
            static_cast<float>(height)};
}

} // namespace

GlossWedge WedgeOver(double l, double t, double r, double g, double leftDrop)
{
    auto point = [](double x, double y) {
        return TilePoint{static_cast<float>(x), static_cast<float>(y)};
    };
    return {point(l + 0.5, t + 0.5), point(l + 0.5, t + leftDrop * g - 0.5),
            point(l + r - 0.5, t + 0.08 * g - 0.5), point(l + r - 0.5, t + 0.5)};
}

TileLayout LayoutTile(int cx, int cy, unsigned frameWidth, unsigned frameHeight,
                      Background background, bool glossy)
{
    TileLayout layout;
    const double width = cx;
    const double height = cy;

    // An undecodable stream has no proportions: only the background, and with
    // the black background the wedge, whose corners do not depend on the frame.
    if (frameWidth == 0 || frameHeight == 0) {
        if (glossy && background == Background::Black)
            layout.wedge = WedgeOver(0, 0, width, height);
        return layout;
    }

    const double W = frameWidth;
    const double H = frameHeight;
    if (W >= H) {
        // Fitted to the tile's width and centred vertically. The picture's
        // height comes from the tile's height, so a tile that is not square
        // stretches the frame.
        const double h = height * H / W;
        const double y0 = (height - h) * 0.5;
        switch (background) {
        case Background::WindowColour:
            layout.picture = Rect(0, y0, width, h);
            if (glossy)
                layout.wedge = WedgeOver(0, y0, width, h);
            break;
        case Background::Black:
            layout.picture = Rect(0, y0, width, h);
            if (glossy)
                layout.wedge = WedgeOver(0, 0, width, height);
            break;
        case Background::Letterbox:
            layout.band = Rect(0, y0 - 6, width, h + 11);
            layout.picture = Rect(2, y0, width - 4, h);
            if (glossy)
                layout.wedge = WedgeOver(0, y0 - 6, width, h);
            break;
        }
    } else {
        // A portrait frame mirrors the landscape layout across the diagonal:
        // fitted to the tile's height and centred horizontally, with a
        // vertical band. (Leaving such tiles blank would show nothing at all.)
        const double w = width * W / H;
        const double x0 = (width - w) * 0.5;
        switch (background) {
        case Background::WindowColour:
            layout.picture = Rect(x0, 0, w, height);
            if (glossy)
                layout.wedge = WedgeOver(x0, 0, w, height);
            break;
        case Background::Black:
            layout.picture = Rect(x0, 0, w, height);
            if (glossy)
                layout.wedge = WedgeOver(0, 0, width, height);
            break;
        case Background::Letterbox:
            layout.band = Rect(x0 - 6, 0, w + 11, height);
            layout.picture = Rect(x0, 2, w, height - 4);
            if (glossy)
                layout.wedge = WedgeOver(x0 - 6, 0, w, height);
            break;
        }
    }
    return layout;
}

} // namespace kadrix
