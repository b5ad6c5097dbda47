#include "setup/preview_geometry.h"

namespace kadrix::setup {

PreviewLayout LayoutPreview(PreviewMode mode, bool glossy)
{
    // Every sample has the proportions of 150 x 113, whatever its own size.
    const long double size = kPreviewSize;
    const long double h = size * 113 / 150;
    const long double y0 = (size - h) / 2;
    const TileRect base{0, static_cast<float>(y0), kPreviewSize, static_cast<float>(h)};

    PreviewLayout layout{std::nullopt, base, std::nullopt};
    if (mode == PreviewMode::Letterbox) {
        layout.band = base;
        layout.picture = {2, static_cast<float>(y0 + 6), kPreviewSize - 4,
                          static_cast<float>(h - 12)};
    }
    if (glossy) {
        if (mode == PreviewMode::Black) {
            // Fixed numbers: 0.6 and 0.08 of the tile, less half a pixel.
            layout.wedge =
                GlossWedge{{{0.5f, 0.5f}, {0.5f, 76.3f}, {127.5f, 9.74f}, {127.5f, 0.5f}}};
        } else {
            const long double t = y0;
            auto point = [](long double x, long double y) {
                return TilePoint{static_cast<float>(x), static_cast<float>(y)};
            };
            layout.wedge = GlossWedge{{point(0.5L, t + 0.5L), point(0.5L, t + 0.6L * h - 0.5L),
                                       point(size - 0.5L, t + 0.08L * h - 0.5L),
                                       point(size - 0.5L, t + 0.5L)}};
        }
    }
    return layout;
}

} // namespace kadrix::setup
