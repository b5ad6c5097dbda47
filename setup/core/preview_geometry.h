// The appearance preview's layout: a 128 x 128 tile (at 96 DPI; as many
// pixels more as the display's scaling asks for) drawn from a 150 x 113
// sample picture, on the plan of the handler's tiles but with sizes and
// constants of its own (a shorter letterbox picture, a shallower gloss).
#pragma once

#include "engine/tile/core/tile_geometry.h"

namespace kadrix::setup {

inline constexpr int kPreviewSize = 128;
inline constexpr double kPreviewGlossDrop = 0.6;

// The preview's background modes, numbered as the window keeps them.
enum class PreviewMode
{
    WindowColour = 0,
    Black = 1,
    Letterbox = 2,
};

struct PreviewLayout
{
    std::optional<TileRect> band; // letterbox: black behind the picture
    TileRect picture;
    std::optional<GlossWedge> wedge;
};

// The layout of a preview `size` pixels square: that of 128 pixels, scaled.
PreviewLayout LayoutPreview(PreviewMode mode, bool glossy, int size = kPreviewSize);

// The sample picture (1 to 5) for a track bar position in percent.
int PreviewIndexForPercent(int percent);
// The sample picture for a fixed time in seconds.
int PreviewIndexForSeconds(int seconds);

} // namespace kadrix::setup
