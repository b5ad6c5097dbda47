#include "property_sheet/core/skin_logic.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace kadrix::tabliq {

std::optional<CutFaces> CutFaceStrip(const std::uint8_t* bits, std::size_t size, int width,
                                     int height, int widthBytes, int bitsPixel)
{
    if (bits == nullptr || width < 7 || height <= 0 || bitsPixel <= 0 || bitsPixel % 8 != 0) {
        return std::nullopt;
    }
    const int w = (width - 3) / 4;
    // Any other width would pour the surplus columns into the last face's rows.
    if (width != 4 * w + 3) {
        return std::nullopt;
    }
    const int b = bitsPixel / 8;
    const std::int64_t stripRow = std::int64_t{width} * b;
    if (widthBytes < stripRow ||
        std::uint64_t(widthBytes) * std::uint64_t(height) > std::uint64_t(size)) {
        return std::nullopt;
    }

    CutFaces cut;
    cut.width = w;
    cut.height = height;
    cut.rowBytes = (w * b + 1) & ~1;
    for (auto& face : cut.faces) {
        face.assign(std::size_t(cut.rowBytes) * std::size_t(height), 0);
    }

    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bits + std::size_t(y) * std::size_t(widthBytes);
        int face = 0;
        int separator = w;
        std::size_t out = std::size_t(y) * std::size_t(cut.rowBytes);
        std::size_t filled = 0;
        for (int x = 0; x < width; ++x) {
            if (x == separator) {
                ++face;
                separator += w + 1;
                filled = 0;
                continue;
            }
            std::memcpy(cut.faces[face].data() + out + filled, row + std::size_t(x) * b, b);
            filled += b;
        }
    }
    return cut;
}

Face ChooseFace(const ButtonLook& look)
{
    if (look.disabled) {
        return Face::Disabled;
    }
    if (look.selected) {
        return Face::Pressed;
    }
    if (look.hovering && look.hasHoverFace) {
        return Face::Hover;
    }
    return Face::Normal;
}

void PremultiplyAlpha(std::uint8_t* bgra, std::size_t pixelCount)
{
    for (std::size_t i = 0; i < pixelCount; ++i, bgra += 4) {
        const unsigned a = bgra[3];
        for (int c = 0; c < 3; ++c) {
            bgra[c] = static_cast<std::uint8_t>(bgra[c] * a / 255);
        }
    }
}

int ArtScaleFor(int percent)
{
    for (const int scale : kArtScales) {
        if (scale >= percent) {
            return scale;
        }
    }
    return kArtScales.back();
}

int ArtResourceId(int resourceId, int artScale)
{
    for (std::size_t step = 0; step < kArtScales.size(); ++step) {
        if (kArtScales[step] == artScale) {
            return resourceId + 1000 * static_cast<int>(step);
        }
    }
    return resourceId;
}

SliderMetrics SliderMetricsAt(const winui::DpiScale& scale)
{
    const SliderMetrics base;
    SliderMetrics scaled;
    scaled.grooveHeight = scale(base.grooveHeight);
    scaled.capWidth = scale(base.capWidth);
    scaled.thumbSide = scale(base.thumbSide);
    scaled.thumbMargin = scale(base.thumbMargin);
    // The thumb keeps its margin at the right end of the travel too.
    scaled.travelInset = scaled.thumbSide + 2 * scaled.thumbMargin;
    scaled.edge = scale(base.edge);
    return scaled;
}

std::int64_t SliderPositionAt(int x, int clientWidth, std::int64_t range,
                              const SliderMetrics& metrics)
{
    const std::int64_t travel = std::int64_t{clientWidth} - metrics.travelInset;
    // A slider too narrow to have a groove, or a clip with no length yet,
    // seeks to the start rather than dividing by nothing.
    if (travel <= 0 || range <= 0) {
        return 0;
    }
    const int edge = metrics.edge;
    std::int64_t clamped = x < edge ? edge : x;
    if (clamped > clientWidth - edge) {
        clamped = clientWidth - edge;
    }
    const std::int64_t n = clamped - edge; // 0 .. travel + inset - 2 x edge

    // (n x range) / travel without forming the product, which could pass
    // 64 bits: n x (range / travel) + n x (range % travel) / travel is the
    // same truncated quotient, and its second product stays below 2^63.
    const std::int64_t whole = range / travel;
    const std::int64_t tail = n * (range % travel) / travel;
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    if (n != 0 && whole > (max - tail) / n) {
        return max;
    }
    return n * whole + tail;
}

int SliderThumbLeft(std::int64_t position, std::int64_t range, int clientWidth,
                    const SliderMetrics& metrics)
{
    const int travel = clientWidth - metrics.travelInset;
    const int margin = metrics.thumbMargin;
    if (travel <= 0 || range <= 0) {
        return margin;
    }
    const double step = static_cast<double>(range) / travel;
    const double x = std::trunc(static_cast<double>(position) / step);
    // A click right of the end seeks a little past the range, and a position
    // from the graph may lie outside it: the thumb stays within the groove.
    if (!(x > 0)) {
        return margin;
    }
    if (x >= travel) {
        return travel + margin;
    }
    return static_cast<int>(x) + margin;
}

namespace {

std::wstring TimeText(std::int64_t time)
{
    const std::int64_t ms = time > 0 ? time / 10'000 : 0;
    wchar_t text[40];
    std::swprintf(text, 40, L"%lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3'600'000),
                  static_cast<long long>(ms / 60'000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

} // namespace

std::wstring ClipTimeText(std::int64_t position, std::int64_t duration)
{
    return TimeText(position) + L" / " + TimeText(duration);
}

void RecolourFace(std::uint32_t* pixels, std::size_t count, std::uint32_t background,
                  std::uint32_t glyph)
{
    // The bar's own lights and shadows (up to about 100) are background, the
    // glyph's light grey (above 200) is glyph.
    constexpr int kBar = 100;
    constexpr int kGlyph = 200;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        const int light = (int((p >> 16) & 0xFF) * 299 + int((p >> 8) & 0xFF) * 587 +
                           int(p & 0xFF) * 114) / 1000;
        const int cover = light <= kBar ? 0 : light >= kGlyph ? 255 : (light - kBar) * 255 / (kGlyph - kBar);
        std::uint32_t out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const int b = int((background >> shift) & 0xFF);
            const int g = int((glyph >> shift) & 0xFF);
            out |= std::uint32_t((b * (255 - cover) + g * cover + 127) / 255) << shift;
        }
        pixels[i] = out;
    }
}

} // namespace kadrix::tabliq
