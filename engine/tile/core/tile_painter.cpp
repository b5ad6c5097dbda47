#include "engine/tile/core/tile_painter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kadrix {
namespace {

// The first whole pixel whose centre lies at or after the coordinate.
int FirstCentreFrom(double coordinate)
{
    return static_cast<int>(std::ceil(coordinate - 0.5));
}

// One axis of the scale: for each target pixel, the two source pixels it
// lies between and the weight (0 to 256) of the second.
struct Taps
{
    std::vector<int> near, far, weight;
};

Taps TapsFor(int first, int last, double origin, double extent, int sourceSize)
{
    Taps taps;
    const std::size_t count = static_cast<std::size_t>(std::max(0, last - first));
    taps.near.resize(count);
    taps.far.resize(count);
    taps.weight.resize(count);
    const double scale = sourceSize / extent;
    for (std::size_t i = 0; i < count; ++i) {
        const double centre = (first + static_cast<int>(i) + 0.5 - origin) * scale - 0.5;
        const double clamped = std::clamp(centre, 0.0, static_cast<double>(sourceSize - 1));
        const int near = static_cast<int>(clamped);
        taps.near[i] = near;
        taps.far[i] = std::min(near + 1, sourceSize - 1);
        taps.weight[i] = static_cast<int>((clamped - near) * 256.0 + 0.5);
    }
    return taps;
}

} // namespace

PixelSpan SpanOf(const TileCanvas& canvas, const TileRect& rect)
{
    PixelSpan span;
    span.first = std::clamp(FirstCentreFrom(rect.x), 0, canvas.width);
    span.last = std::clamp(FirstCentreFrom(static_cast<double>(rect.x) + rect.width), span.first,
                           canvas.width);
    span.top = std::clamp(FirstCentreFrom(rect.y), 0, canvas.height);
    span.bottom = std::clamp(FirstCentreFrom(static_cast<double>(rect.y) + rect.height), span.top,
                             canvas.height);
    return span;
}

void FillTile(TileCanvas& canvas, std::uint32_t argb)
{
    std::fill(canvas.pixels, canvas.pixels + static_cast<std::size_t>(canvas.width) * canvas.height,
              argb);
}

void FillRect(TileCanvas& canvas, const TileRect& rect, std::uint32_t argb)
{
    const PixelSpan span = SpanOf(canvas, rect);
    for (int y = span.top; y < span.bottom; ++y) {
        std::uint32_t* row = canvas.pixels + static_cast<std::size_t>(y) * canvas.width;
        std::fill(row + span.first, row + span.last, argb);
    }
}

void DrawScaled(TileCanvas& canvas, const TileRect& rect, const std::uint8_t* top, int width,
                int height, std::ptrdiff_t stride)
{
    if (!top || width <= 0 || height <= 0 || !(rect.width > 0) || !(rect.height > 0))
        return;
    const PixelSpan span = SpanOf(canvas, rect);
    const Taps columns = TapsFor(span.first, span.last, rect.x, rect.width, width);
    const Taps rows = TapsFor(span.top, span.bottom, rect.y, rect.height, height);
    for (int y = span.top; y < span.bottom; ++y) {
        const std::size_t r = static_cast<std::size_t>(y - span.top);
        const std::uint8_t* upper = top + stride * rows.near[r];
        const std::uint8_t* lower = top + stride * rows.far[r];
        const int wy = rows.weight[r];
        std::uint32_t* target = canvas.pixels + static_cast<std::size_t>(y) * canvas.width;
        for (int x = span.first; x < span.last; ++x) {
            const std::size_t c = static_cast<std::size_t>(x - span.first);
            const std::uint8_t* a = upper + 4 * columns.near[c];
            const std::uint8_t* b = upper + 4 * columns.far[c];
            const std::uint8_t* d = lower + 4 * columns.near[c];
            const std::uint8_t* e = lower + 4 * columns.far[c];
            const int wx = columns.weight[c];
            std::uint32_t pixel = 0xFF000000u;
            for (int k = 0; k < 3; ++k) {
                const int upperMix = a[k] * (256 - wx) + b[k] * wx;
                const int lowerMix = d[k] * (256 - wx) + e[k] * wx;
                const int mix = (upperMix * (256 - wy) + lowerMix * wy + (1 << 15)) >> 16;
                pixel |= static_cast<std::uint32_t>(mix) << (8 * k);
            }
            target[x] = pixel;
        }
    }
}

} // namespace kadrix
