#include "engine/tile/core/tile_geometry.h"

#include <gtest/gtest.h>

using namespace kadrix;

namespace {

void ExpectRect(const std::optional<TileRect>& r, float x, float y, float w, float h)
{
    ASSERT_TRUE(r.has_value());
    EXPECT_FLOAT_EQ(r->x, x);
    EXPECT_FLOAT_EQ(r->y, y);
    EXPECT_FLOAT_EQ(r->width, w);
    EXPECT_FLOAT_EQ(r->height, h);
}

void ExpectWedge(const std::optional<GlossWedge>& wedge, const GlossWedge& expected)
{
    ASSERT_TRUE(wedge.has_value());
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ((*wedge)[i].x, expected[i].x) << "corner " << i + 1;
        EXPECT_FLOAT_EQ((*wedge)[i].y, expected[i].y) << "corner " << i + 1;
    }
}

TEST(TileGeometry, LandscapeFrameInEveryMode)
{
    // 320 x 240 into 96 x 96: h = 72, y0 = 12.
    TileLayout window = LayoutTile(96, 96, 320, 240, Background::WindowColour, true);
    EXPECT_FALSE(window.band);
    ExpectRect(window.picture, 0, 12, 96, 72);
    ExpectWedge(window.wedge, {{{0.5f, 12.5f}, {0.5f, 65.5f}, {95.5f, 17.26f}, {95.5f, 12.5f}}});

    TileLayout letterbox = LayoutTile(96, 96, 320, 240, Background::Letterbox, true);
    ExpectRect(letterbox.band, 0, 6, 96, 83);
    ExpectRect(letterbox.picture, 2, 12, 92, 72);
    ExpectWedge(letterbox.wedge, {{{0.5f, 6.5f}, {0.5f, 59.5f}, {95.5f, 11.26f}, {95.5f, 6.5f}}});

    TileLayout black = LayoutTile(96, 96, 320, 240, Background::Black, true);
    EXPECT_FALSE(black.band);
    ExpectRect(black.picture, 0, 12, 96, 72);
    ExpectWedge(black.wedge, {{{0.5f, 0.5f}, {0.5f, 71.5f}, {95.5f, 7.18f}, {95.5f, 0.5f}}});
}

TEST(TileGeometry, NoWedgeWithoutGloss)
{
    for (auto mode : {Background::WindowColour, Background::Black, Background::Letterbox}) {
        const TileLayout layout = LayoutTile(96, 96, 320, 240, mode, false);
        EXPECT_FALSE(layout.wedge);
        EXPECT_TRUE(layout.picture);
    }
}

TEST(TileGeometry, NonSquareTileStretchesTheFrame)
{
    // 120 x 90 from 4:3: h = 67.5, y0 = 11.25, across the full width.
    const TileLayout layout = LayoutTile(120, 90, 640, 480, Background::WindowColour, false);
    ExpectRect(layout.picture, 0, 11.25f, 120, 67.5f);
}

TEST(TileGeometry, SquareFrameInSquareTileLetterboxBandCoversTheTile)
{
    const TileLayout layout = LayoutTile(96, 96, 200, 200, Background::Letterbox, false);
    ExpectRect(layout.band, 0, -6, 96, 107);
    ExpectRect(layout.picture, 2, 0, 92, 96);
}

TEST(TileGeometry, PortraitFrameMirrorsTheLandscapeLayout)
{
    // 240 x 320 into 96 x 96: w = 72, x0 = 12.
    TileLayout window = LayoutTile(96, 96, 240, 320, Background::WindowColour, true);
    EXPECT_FALSE(window.band);
    ExpectRect(window.picture, 12, 0, 72, 96);
    ExpectWedge(window.wedge, {{{12.5f, 0.5f}, {12.5f, 71.5f}, {83.5f, 7.18f}, {83.5f, 0.5f}}});

    TileLayout letterbox = LayoutTile(96, 96, 240, 320, Background::Letterbox, true);
    ExpectRect(letterbox.band, 6, 0, 83, 96);
    ExpectRect(letterbox.picture, 12, 2, 72, 92);
    ExpectWedge(letterbox.wedge, {{{6.5f, 0.5f}, {6.5f, 71.5f}, {77.5f, 7.18f}, {77.5f, 0.5f}}});

    TileLayout black = LayoutTile(96, 96, 240, 320, Background::Black, true);
    ExpectRect(black.picture, 12, 0, 72, 96);
    ExpectWedge(black.wedge, {{{0.5f, 0.5f}, {0.5f, 71.5f}, {95.5f, 7.18f}, {95.5f, 0.5f}}});
}

TEST(TileGeometry, UndecodableFrameHasOnlyTheBackground)
{
    for (auto mode : {Background::WindowColour, Background::Letterbox}) {
        const TileLayout layout = LayoutTile(96, 96, 0, 0, mode, true);
        EXPECT_FALSE(layout.band);
        EXPECT_FALSE(layout.picture);
        EXPECT_FALSE(layout.wedge);
    }
    // The black wedge does not depend on the frame and is drawn as usual.
    const TileLayout black = LayoutTile(96, 96, 0, 0, Background::Black, true);
    EXPECT_FALSE(black.picture);
    ExpectWedge(black.wedge, {{{0.5f, 0.5f}, {0.5f, 71.5f}, {95.5f, 7.18f}, {95.5f, 0.5f}}});
    // A frame with one side 0 is as undecodable as none.
    EXPECT_FALSE(LayoutTile(96, 96, 320, 0, Background::Letterbox, true).band);
}

TEST(TileGeometry, DrawableTileSizes)
{
    EXPECT_TRUE(IsDrawableTile(1, 1));
    EXPECT_TRUE(IsDrawableTile(4096, 4096));
    EXPECT_FALSE(IsDrawableTile(0, 96));
    EXPECT_FALSE(IsDrawableTile(96, -1));
    EXPECT_FALSE(IsDrawableTile(4097, 96));
}

} // namespace
