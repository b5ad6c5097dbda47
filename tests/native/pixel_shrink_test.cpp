#include "engine/tile/core/pixel_shrink.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace kadrix;

namespace {

TEST(PixelShrink, FactorIsTheLargestThatStillCoversTheWantedSize)
{
    EXPECT_EQ(ShrinkFactorFor(1920, 1080, 256, 144), 7);
    EXPECT_EQ(ShrinkFactorFor(160, 120, 256, 192), 1);  // enlarged later, never here
    EXPECT_EQ(ShrinkFactorFor(7680, 4320, 96, 54), 64); // at most 64
    EXPECT_EQ(ShrinkFactorFor(0, 10, 5, 5), 1);
}

TEST(PixelShrink, EachPixelIsTheMeanOfItsBlockEdgesIncluded)
{
    // 5 x 3, bottom-up in memory, shrunk by 2 to 3 x 2. Blue counts up by
    // column, green by row, red is constant.
    const int width = 5, height = 3;
    std::vector<std::uint8_t> memory(width * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &memory[((height - 1 - y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(x * 10);
            p[1] = static_cast<std::uint8_t>(y * 100);
            p[2] = 7;
            p[3] = 0;
        }
    int w = 0, h = 0;
    const std::ptrdiff_t stride = -width * 4;
    const auto out =
        ShrinkPixels(&memory[(height - 1) * width * 4], width, height, stride, 2, &w, &h);
    ASSERT_EQ(w, 3);
    ASSERT_EQ(h, 2);
    auto at = [&](int x, int y) {
        return &out[(y * w + x) * 4];
    };
    EXPECT_EQ(at(0, 0)[0], 5);   // columns 0 and 1
    EXPECT_EQ(at(2, 0)[0], 40);  // column 4 alone
    EXPECT_EQ(at(0, 0)[1], 50);  // rows 0 and 1, top first
    EXPECT_EQ(at(1, 1)[1], 200); // row 2 alone
    EXPECT_EQ(at(2, 1)[2], 7);
    EXPECT_EQ(at(2, 1)[3], 0xFF);
}

} // namespace
