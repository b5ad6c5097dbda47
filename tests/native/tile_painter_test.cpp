#include "engine/tile/core/tile_painter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace kadrix;

namespace {

struct Tile
{
    explicit Tile(int w, int h)
        : pixels(static_cast<std::size_t>(w) * h), canvas{pixels.data(), w, h}
    {
    }
    std::uint32_t at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * canvas.width + x];
    }
    std::vector<std::uint32_t> pixels;
    TileCanvas canvas;
};

TEST(TilePainter, PixelsBelongToARectangleByTheirCentres)
{
    Tile tile(96, 96);
    // The letterbox band of a 4:3 frame in a 96-pixel tile: (0, 6, 96, 83).
    const PixelSpan band = SpanOf(tile.canvas, {0, 6, 96, 83});
    EXPECT_EQ(band.top, 6);
    EXPECT_EQ(band.bottom, 89);
    EXPECT_EQ(band.last, 96);
    // Fractional edges: 11.25 to 78.75 holds the rows 11 to 78.
    const PixelSpan picture = SpanOf(tile.canvas, {0, 11.25f, 120, 67.5f});
    EXPECT_EQ(picture.top, 11);
    EXPECT_EQ(picture.bottom, 79);
    EXPECT_EQ(picture.last, 96); // clipped
    const PixelSpan outside = SpanOf(tile.canvas, {-10, -10, 5, 5});
    EXPECT_EQ(outside.last - outside.first, 0);

    FillTile(tile.canvas, 0xFFFFFFFF);
    FillRect(tile.canvas, {2, 12, 92, 72}, 0xFF000000);
    EXPECT_EQ(tile.at(1, 50), 0xFFFFFFFFu);
    EXPECT_EQ(tile.at(2, 12), 0xFF000000u);
    EXPECT_EQ(tile.at(93, 83), 0xFF000000u);
    EXPECT_EQ(tile.at(94, 83), 0xFFFFFFFFu);
    EXPECT_EQ(tile.at(50, 84), 0xFFFFFFFFu);
}

TEST(TilePainter, ScalingKeepsFlatColoursAndBlendsAcrossAnEdge)
{
    // A 2 x 2 picture: left column red, right column blue (B, G, R, X).
    const std::uint8_t source[] = {0, 0, 255, 0, 255, 0, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};
    Tile tile(8, 4);
    FillTile(tile.canvas, 0);
    DrawScaled(tile.canvas, {0, 0, 8, 4}, source, 2, 2, 8);
    EXPECT_EQ(tile.at(0, 0), 0xFFFF0000u); // red, opaque
    EXPECT_EQ(tile.at(7, 3), 0xFF0000FFu); // blue
    // The middle columns mix the two.
    const std::uint32_t mid = tile.at(3, 1);
    EXPECT_GT((mid >> 16) & 0xFF, 64u);
    EXPECT_GT(mid & 0xFF, 64u);
    // Only the rectangle is drawn.
    DrawScaled(tile.canvas, {0, 0, 0, 4}, source, 2, 2, 8);
    Tile untouched(4, 4);
    FillTile(untouched.canvas, 0x12345678);
    DrawScaled(untouched.canvas, {1, 1, 2, 2}, source, 2, 2, 8);
    EXPECT_EQ(untouched.at(0, 0), 0x12345678u);
    EXPECT_EQ(untouched.at(3, 3), 0x12345678u);
    EXPECT_EQ(untouched.at(1, 1), 0xFFFF0000u);
}

} // namespace
