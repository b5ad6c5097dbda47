#include "setup/core/preview_geometry.h"

namespace kadrix::setup {

PreviewLayout LayoutPreview(PreviewMode mode, bool glossy, int size)
{
    // Every sample has the proportions of 150 x 113, whatever its own size.
    const long double side = size;
    const long double h = side * 113 / 150;
    const long double y0 = (side - h) / 2;
    // The letterbox picture's margins, fixed for 128 pixels.
    const auto margin = [&](int at128) { return static_cast<long double>(at128) * side / kPreviewSize; };
    const TileRect base{0, static_cast<float>(y0), static_cast<float>(size), static_cast<float>(h)};

    PreviewLayout layout{std::nullopt, base, std::nullopt};
    if (mode == PreviewMode::Letterbox) {
        layout.band = base;
        layout.picture = {static_cast<float>(margin(2)), static_cast<float>(y0 + margin(6)),
                          static_cast<float>(side - margin(4)),
                          static_cast<float>(h - margin(12))};
    }
    // The preview's wedge drops less than the tiles' down its left edge; with
    // the black background it lies over the whole tile.
    if (glossy)
        layout.wedge = mode == PreviewMode::Black
                           ? WedgeOver(0, 0, size, size, kPreviewGlossDrop)
                           : WedgeOver(0, static_cast<double>(y0), size, static_cast<double>(h),
                                       kPreviewGlossDrop);
    return layout;
}

int PreviewIndexForPercent(int percent)
{
    if (percent >= 100)
        return 5;
    if (percent < 0)
        return 1;
    return percent / 20 + 1;
}

int PreviewIndexForSeconds(int seconds)
{
    if (seconds >= 25)
        return 5;
    if (seconds < 0)
        return 1;
    return seconds / 5 + 1;
}

} // namespace kadrix::setup
