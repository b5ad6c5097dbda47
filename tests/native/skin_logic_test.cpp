#include "property_sheet/core/skin_logic.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kadrix::tabliq;

namespace {

// A strip as GetBitmapBits hands it out (rows padded to even byte counts),
// whose pixel (x, y) holds x, y and a marker in its first three bytes.
struct Strip
{
    int width, height, bitsPixel, widthBytes;
    std::vector<std::uint8_t> bits;

    Strip(int width, int height, int bitsPixel)
        : width(width), height(height), bitsPixel(bitsPixel),
          widthBytes((width * bitsPixel / 8 + 1) & ~1), bits(std::size_t(widthBytes) * height, 0xEE)
    {
        const int b = bitsPixel / 8;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = &bits[std::size_t(y) * widthBytes + std::size_t(x) * b];
                p[0] = std::uint8_t(x);
                p[1] = std::uint8_t(y);
                p[2] = 0xAB;
            }
        }
    }

    std::optional<CutFaces> Cut() const
    {
        return CutFaceStrip(bits.data(), bits.size(), width, height, widthBytes, bitsPixel);
    }
};

TEST(CutFaceStrip, FacesTakeTheColumnsBetweenTheSeparators)
{
    for (int bitsPixel : {24, 32}) {
        SCOPED_TRACE(bitsPixel);
        const auto cut = Strip(163, 37, bitsPixel).Cut();
        ASSERT_TRUE(cut);
        const int b = bitsPixel / 8;
        EXPECT_EQ(cut->width, 40);
        EXPECT_EQ(cut->height, 37);
        EXPECT_EQ(cut->rowBytes, 40 * b);
        // Faces from columns 0-39, 41-80, 82-121 and 123-162.
        for (int k = 0; k < kFaceCount; ++k) {
            ASSERT_EQ(cut->faces[k].size(), std::size_t(40 * b * 37));
            for (int y : {0, 18, 36}) {
                for (int j = 0; j < 40; ++j) {
                    const std::uint8_t* p = &cut->faces[k][std::size_t(y) * 40 * b + j * b];
                    ASSERT_EQ(p[0], k * 41 + j) << "face " << k << " column " << j;
                    ASSERT_EQ(p[1], y);
                    ASSERT_EQ(p[2], 0xAB);
                }
            }
        }
    }
}

TEST(CutFaceStrip, FaceRowsAreRoundedUpToEvenByteCounts)
{
    const auto cut = Strip(4 * 41 + 3, 5, 24).Cut();
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->width, 41);
    EXPECT_EQ(cut->rowBytes, 124);
    const std::vector<std::uint8_t>& last = cut->faces[3];
    ASSERT_EQ(last.size(), std::size_t(124 * 5));
    // Row 2 of the last face: its final pixel is column 166, then one pad byte.
    EXPECT_EQ(last[2 * 124 + 120], 166);
    EXPECT_EQ(last[2 * 124 + 121], 2);
    EXPECT_EQ(last[2 * 124 + 123], 0);
    EXPECT_EQ(last[3 * 124], 3 * 42); // the next row starts at the face's first column
}

TEST(CutFaceStrip, RefusesStripsItCannotCut)
{
    EXPECT_FALSE(Strip(164, 37, 24).Cut()); // not 4 x w + 3
    EXPECT_FALSE(Strip(162, 37, 24).Cut());
    EXPECT_FALSE(Strip(3, 37, 24).Cut()); // w = 0
    EXPECT_FALSE(Strip(163, 0, 24).Cut());

    Strip strip(163, 37, 24);
    EXPECT_FALSE(
        CutFaceStrip(strip.bits.data(), strip.bits.size() - 1, 163, 37, strip.widthBytes, 24));
    EXPECT_FALSE(CutFaceStrip(strip.bits.data(), strip.bits.size(), 163, 37, 163 * 3 - 1, 24));
    EXPECT_FALSE(CutFaceStrip(strip.bits.data(), strip.bits.size(), 163, 37, strip.widthBytes, 12));
    EXPECT_FALSE(CutFaceStrip(nullptr, strip.bits.size(), 163, 37, strip.widthBytes, 24));
}

TEST(ChooseFace, DisabledThenPressedThenHover)
{
    struct Row
    {
        ButtonLook look;
        Face face;
    };
    const Row rows[] = {
        {{false, false, false, true}, Face::Normal}, {{false, false, true, true}, Face::Hover},
        {{false, false, true, false}, Face::Normal}, // no hover face to show
        {{false, true, true, true}, Face::Pressed},  {{false, true, false, false}, Face::Pressed},
        {{true, true, true, true}, Face::Disabled},  {{true, false, false, false}, Face::Disabled},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChooseFace(row.look), row.face)
            << row.look.disabled << row.look.selected << row.look.hovering << row.look.hasHoverFace;
    }
}

TEST(PremultiplyAlpha, ScalesColourByAlphaAndKeepsAlpha)
{
    std::uint8_t pixels[] = {
        200, 100, 50,  0,   // transparent: black
        200, 100, 50,  255, // opaque: unchanged
        255, 255, 255, 128, // half: 255 x 128 / 255
        255, 1,   100, 128, // truncated: 0.50 -> 0, 50.2 -> 50
    };
    PremultiplyAlpha(pixels, 4);
    const std::uint8_t expected[] = {
        0, 0, 0, 0, 200, 100, 50, 255, 128, 128, 128, 128, 128, 0, 50, 128,
    };
    for (std::size_t i = 0; i < sizeof pixels; ++i) {
        EXPECT_EQ(pixels[i], expected[i]) << "byte " << i;
    }
}

constexpr std::int64_t kRange = 1'000'000;

TEST(SliderPositionAt, MapsTheClickBetweenTheEdges)
{
    for (int x : {-40, 0, 5}) {
        EXPECT_EQ(SliderPositionAt(x, 300, kRange), 0) << x;
    }
    EXPECT_EQ(SliderPositionAt(6, 300, kRange), 3'472); // truncated, not rounded
    EXPECT_EQ(SliderPositionAt(149, 300, kRange), 500'000);
    // The right edge lies two pixels past the thumb's travel.
    for (int x : {295, 296, 10'000}) {
        EXPECT_EQ(SliderPositionAt(x, 300, kRange), 1'006'944) << x;
    }
}

TEST(SliderPositionAt, DegenerateSlidersSeekToTheStart)
{
    EXPECT_EQ(SliderPositionAt(149, 300, 0), 0);
    EXPECT_EQ(SliderPositionAt(149, 300, -kRange), 0);
    for (int width : {-1, 0, 12}) {
        EXPECT_EQ(SliderPositionAt(8, width, kRange), 0) << width;
    }
    EXPECT_EQ(SliderPositionAt(8, 13, kRange), 3 * kRange); // one pixel of travel
}

TEST(SliderPositionAt, HugeRangesDoNotOverflow)
{
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(SliderPositionAt(149, 300, max), max / 2);
    EXPECT_EQ(SliderPositionAt(295, 300, max), max); // past the range: held at the top
}

TEST(SliderThumbLeft, RunsFromPixelOneToTheEndOfTheTravel)
{
    EXPECT_EQ(SliderThumbLeft(0, kRange, 300), 1);
    EXPECT_EQ(SliderThumbLeft(kRange / 2, kRange, 300), 145);
    EXPECT_EQ(SliderThumbLeft(kRange, kRange, 300), 289);
    EXPECT_EQ(SliderThumbLeft(3'471, kRange, 300), 1); // truncated toward zero
    // Past either end the thumb stays on the groove.
    EXPECT_EQ(SliderThumbLeft(1'006'944, kRange, 300), 289);
    EXPECT_EQ(SliderThumbLeft(-kRange, kRange, 300), 1);
}

TEST(SliderThumbLeft, DegenerateSlidersDrawAtTheLeftEnd)
{
    EXPECT_EQ(SliderThumbLeft(500, 0, 300), 1);
    EXPECT_EQ(SliderThumbLeft(500, -kRange, 300), 1);
    EXPECT_EQ(SliderThumbLeft(500, kRange, 12), 1);
    EXPECT_EQ(SliderThumbLeft(500, kRange, 0), 1);
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(SliderThumbLeft(max, 1, 300), 289);
}

} // namespace
