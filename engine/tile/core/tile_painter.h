// Painting a tile's background, letterbox band and picture straight into its
// 32-bit pixels: whole-pixel fills and a bilinear scale, where a drawing
// library would spend milliseconds on a 256-pixel tile. A pixel belongs to a
// rectangle when its centre lies inside it. Portable.
#pragma once

#include "engine/tile/core/tile_geometry.h"

#include <cstddef>
#include <cstdint>

namespace kadrix {

// The tile's pixels, 0xAARRGGBB (B, G, R, A in memory), top row first, packed.
struct TileCanvas
{
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
};

// The pixels whose centres lie in the rectangle, clipped to the canvas:
// columns [first, last) and rows [top, bottom).
struct PixelSpan
{
    int first = 0, last = 0, top = 0, bottom = 0;
};
PixelSpan SpanOf(const TileCanvas& canvas, const TileRect& rect);

void FillTile(TileCanvas& canvas, std::uint32_t argb);
void FillRect(TileCanvas& canvas, const TileRect& rect, std::uint32_t argb);

// Draws the picture (4 bytes a pixel, B, G, R, X; `stride` bytes from a row
// to the next, `top` its top row) scaled into the rectangle, opaque,
// sampling bilinearly at each target pixel's centre.
void DrawScaled(TileCanvas& canvas, const TileRect& rect, const std::uint8_t* top, int width,
                int height, std::ptrdiff_t stride);

} // namespace kadrix
