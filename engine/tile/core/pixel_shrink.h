// Shrinking a 32-bit picture by a whole factor, each pixel the mean of the
// block it stands for: a frame a tile shows at a tenth of its size is drawn
// from the shrunk picture, not scaled down from millions of pixels. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kadrix {

// The largest whole factor (1 to 64) by which the picture can shrink and
// still be at least the wanted size in both directions.
int ShrinkFactorFor(int width, int height, int wantedWidth, int wantedHeight);

// The picture (4 bytes a pixel, `stride` bytes from a row to the next, which
// may be negative for rows bottom-up in memory, `top` the top row) shrunk
// by the factor: ceil(width / factor) by ceil(height / factor) pixels, top
// row first, rows packed; the blocks at the right and bottom edges average
// what they hold. The fourth byte of each pixel is set to 0xFF.
std::vector<std::uint8_t> ShrinkPixels(const std::uint8_t* top, int width, int height,
                                       std::ptrdiff_t stride, int factor, int* shrunkWidth,
                                       int* shrunkHeight);

} // namespace kadrix
