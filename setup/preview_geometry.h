// The appearance preview's layout: a 128 x 128 tile drawn from a 150 x 113
// sample picture, on the plan of the handler's tiles but with sizes and
// constants of its own (a shorter letterbox picture, a shallower gloss).
#pragma once

#include "engine/tile_geometry.h"

namespace kadrix::setup {

inline constexpr int kPreviewSize = 128;

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

PreviewLayout LayoutPreview(PreviewMode mode, bool glossy);

} // namespace kadrix::setup
