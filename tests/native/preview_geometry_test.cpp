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

} // namespace
