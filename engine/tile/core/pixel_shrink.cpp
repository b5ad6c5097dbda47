#include "engine/tile/core/pixel_shrink.h"

#include <algorithm>

namespace kadrix {

int ShrinkFactorFor(int width, int height, int wantedWidth, int wantedHeight)
{
    if (width <= 0 || height <= 0 || wantedWidth <= 0 || wantedHeight <= 0)
        return 1;
    const int byWidth = width / wantedWidth;
    const int byHeight = height / wantedHeight;
    return std::clamp(std::min(byWidth, byHeight), 1, 64);
}

std::vector<std::uint8_t> ShrinkPixels(const std::uint8_t* top, int width, int height,
                                       std::ptrdiff_t stride, int factor, int* shrunkWidth,
                                       int* shrunkHeight)
{
    factor = std::max(factor, 1);
    const int w = (width + factor - 1) / factor;
    const int h = (height + factor - 1) / factor;
    *shrunkWidth = w;
    *shrunkHeight = h;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h * 4);
    // One row of block sums at a time: the source is read once, in order.
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(w) * 3);
    for (int by = 0; by < h; ++by) {
        std::fill(sums.begin(), sums.end(), 0u);
        const int firstRow = by * factor;
        const int rows = std::min(factor, height - firstRow);
        for (int y = firstRow; y < firstRow + rows; ++y) {
            const std::uint8_t* pixel = top + stride * y;
            for (int x = 0; x < width; ++x, pixel += 4) {
                std::uint32_t* sum = &sums[static_cast<std::size_t>(x / factor) * 3];
                sum[0] += pixel[0];
                sum[1] += pixel[1];
                sum[2] += pixel[2];
            }
        }
        std::uint8_t* target = &out[static_cast<std::size_t>(by) * w * 4];
        for (int bx = 0; bx < w; ++bx, target += 4) {
            const int columns = std::min(factor, width - bx * factor);
            const std::uint32_t count = static_cast<std::uint32_t>(columns * rows);
            const std::uint32_t* sum = &sums[static_cast<std::size_t>(bx) * 3];
            for (int c = 0; c < 3; ++c)
                target[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
            target[3] = 0xFF;
        }
    }
    return out;
}

} // namespace kadrix
