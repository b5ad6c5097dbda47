// Where the parts of a thumbnail tile go: the picture, the letterbox band and
// the gloss wedge. Plain arithmetic, kept apart from GDI+ so it can be checked
// to the last digit.
#pragma once

#include "engine/settings/core/settings.h"

#include <array>
#include <optional>

namespace kadrix {

struct TileRect
{
    float x, y, width, height;
};

struct TilePoint
{
    float x, y;
};

using GlossWedge = std::array<TilePoint, 4>;

struct TileLayout
{
    std::optional<TileRect> band;    // letterbox band, black, over the background
    std::optional<TileRect> picture; // none when the frame could not be decoded
    std::optional<GlossWedge> wedge; // gloss polygon, when asked for and defined
};

// Largest tile side we draw; anything bigger is not a thumbnail request.
inline constexpr int kMaxTileSide = 4096;

inline bool IsDrawableTile(int cx, int cy)
{
    return cx > 0 && cy > 0 && cx <= kMaxTileSide && cy <= kMaxTileSide;
}

// The light wedge over an area of left l, top t, width r and height g: full
// width along the top, leftDrop of the height down the left edge, 8 percent
// down the right edge, half a pixel inside. The tiles drop three quarters.
inline constexpr double kTileGlossDrop = 0.75;
GlossWedge WedgeOver(double l, double t, double r, double g, double leftDrop = kTileGlossDrop);

// Lays out a cx by cy tile for a frame of frameWidth by frameHeight pixels
// (both 0 when the stream could not be decoded).
TileLayout LayoutTile(int cx, int cy, unsigned frameWidth, unsigned frameHeight,
                      Background background, bool glossy);

} // namespace kadrix
