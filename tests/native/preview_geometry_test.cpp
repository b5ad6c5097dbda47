#include "setup/core/preview_geometry.h"

#include <gtest/gtest.h>

using namespace kadrix;
using namespace kadrix::setup;

namespace {

void ExpectCorners(const std::optional<GlossWedge>& wedge, const GlossWedge& expected)
{
    ASSERT_TRUE(wedge.has_value());
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ((*wedge)[i].x, expected[i].x) << "corner " << i + 1;
        EXPECT_FLOAT_EQ((*wedge)[i].y, expected[i].y) << "corner " << i + 1;
    }
}

TEST(PreviewGeometry, PictureKeepsTheSamplesProportions)
{
    for (PreviewMode mode : {PreviewMode::WindowColour, PreviewMode::Black}) {
        const PreviewLayout layout = LayoutPreview(mode, false);
        EXPECT_FALSE(layout.band);
        EXPECT_FALSE(layout.wedge);
        EXPECT_FLOAT_EQ(layout.picture.x, 0);
        EXPECT_FLOAT_EQ(layout.picture.y, 15.78666687f);
        EXPECT_FLOAT_EQ(layout.picture.width, 128);
        EXPECT_FLOAT_EQ(layout.picture.height, 96.42666626f);
    }
}

TEST(PreviewGeometry, LetterboxBandIsThePictureRectangleAndThePictureShrinks)
{
    const PreviewLayout layout = LayoutPreview(PreviewMode::Letterbox, false);
    ASSERT_TRUE(layout.band);
    EXPECT_FLOAT_EQ(layout.band->y, 15.78666687f);
    EXPECT_FLOAT_EQ(layout.band->height, 96.42666626f);
    EXPECT_FLOAT_EQ(layout.picture.x, 2);
    EXPECT_FLOAT_EQ(layout.picture.y, 21.78666687f);
    EXPECT_FLOAT_EQ(layout.picture.width, 124);
    EXPECT_FLOAT_EQ(layout.picture.height, 84.42666626f);
}

TEST(PreviewGeometry, GlossWedges)
{
    const GlossWedge overPicture{{{0.5f, 16.28666687f},
                                  {0.5f, 73.14266968f},
                                  {127.5f, 23.00080109f},
                                  {127.5f, 16.28666687f}}};
    ExpectCorners(LayoutPreview(PreviewMode::WindowColour, true).wedge, overPicture);
    ExpectCorners(LayoutPreview(PreviewMode::Letterbox, true).wedge, overPicture);
    // Black: over the whole tile, with its two fixed depths.
    ExpectCorners(LayoutPreview(PreviewMode::Black, true).wedge,
                  {{{0.5f, 0.5f}, {0.5f, 76.3f}, {127.5f, 9.74f}, {127.5f, 0.5f}}});
}

TEST(PreviewGeometry, AScaledPreviewIsTheSameLayoutScaled)
{
    // 192 pixels: the preview of 128 at 150 %.
    const PreviewLayout small = LayoutPreview(PreviewMode::Letterbox, true);
    const PreviewLayout large = LayoutPreview(PreviewMode::Letterbox, true, 192);
    ASSERT_TRUE(large.band && large.wedge);
    EXPECT_FLOAT_EQ(large.band->y, small.band->y * 1.5f);
    EXPECT_FLOAT_EQ(large.picture.x, 3);
    EXPECT_FLOAT_EQ(large.picture.y, small.picture.y * 1.5f);
    EXPECT_FLOAT_EQ(large.picture.width, 186);
    EXPECT_FLOAT_EQ(large.picture.height, small.picture.height * 1.5f);
    EXPECT_NEAR((*large.wedge)[1].y, (*small.wedge)[1].y * 1.5f, 0.5f); // half a pixel in, not scaled
}

} // namespace
