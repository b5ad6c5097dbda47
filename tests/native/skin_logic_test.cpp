#include "property_sheet/core/skin_logic.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

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

TEST(DisplayScaling, LengthsScaleAsMulDivRoundsThem)
{
    using kadrix::winui::ScaleToDpi;
    struct Case
    {
        int value, dpi, scaled;
    } cases[] = {
        {40, 96, 40},  {201, 96, 201}, {37, 120, 46}, {37, 144, 56}, // 55.5 rounds up
        {1, 144, 2},   {5, 120, 6},    {10, 120, 13}, {37, 192, 74},
        {-4, 120, -5}, {-1, 144, -2},  // half away from zero, as MulDiv
        {12, 0, 12},                   // no DPI (a window that is gone) counts as 96
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
    }
    EXPECT_EQ(kadrix::winui::DpiScale(168).percent(), 175);
}

TEST(Artwork, EachScalingTakesTheSetAtOrAboveIt)
{
    const std::pair<int, int> choices[] = {{100, 100}, {101, 125}, {125, 125}, {150, 150},
                                           {175, 200}, {200, 200}, {300, 200}, {50, 100}};
    for (const auto& [percent, set] : choices) {
        EXPECT_EQ(ArtScaleFor(percent), set) << percent;
    }
    EXPECT_EQ(ArtResourceId(207, 100), 207);
    EXPECT_EQ(ArtResourceId(207, 125), 1207);
    EXPECT_EQ(ArtResourceId(217, 200), 3217);
    EXPECT_EQ(ArtResourceId(207, 175), 207); // no such set: the resource itself
}

TEST(SliderMetrics, TheScaledSliderMapsAndDrawsAtItsScaledLengths)
{
    const SliderMetrics at96 = SliderMetricsAt(kadrix::winui::DpiScale(96));
    EXPECT_EQ(at96.travelInset, kSliderThumbTravelInset);
    EXPECT_EQ(at96.edge, kSliderEdge);
    // 150 %: a 15-pixel thumb 2 pixels in, travelling over the width less 19.
    const SliderMetrics m = SliderMetricsAt(kadrix::winui::DpiScale(144));
    EXPECT_EQ(m.grooveHeight, 18);
    EXPECT_EQ(m.capWidth, 6);
    EXPECT_EQ(m.thumbSide, 15);
    EXPECT_EQ(m.thumbMargin, 2);
    EXPECT_EQ(m.travelInset, 19);
    EXPECT_EQ(m.edge, 8);
    const int width = 450;
    const int middle = m.edge + (width - m.travelInset) / 2;
    EXPECT_NEAR(SliderPositionAt(middle, width, kRange, m), kRange / 2, kRange / 400);
    EXPECT_EQ(SliderPositionAt(0, width, kRange, m), 0);
    EXPECT_EQ(SliderThumbLeft(0, kRange, width, m), 2);
    // At the end the thumb's right edge keeps its margin from the slider's.
    EXPECT_EQ(SliderThumbLeft(kRange, kRange, width, m) + m.thumbSide + m.thumbMargin, width);
}

// The committed strips of every set, as the buttons cut them: four faces and
// three separators of the scaled face size.
TEST(Artwork, EveryStripOfEverySetCutsIntoItsScaledFaces)
{
    for (const int set : kArtScales) {
        const kadrix::winui::DpiScale scale(set * 96 / 100);
        const std::string folder = std::string(KADRIX_SOURCE_DIR "/property_sheet/art/") +
                                   (set == 100 ? "" : std::to_string(set) + "/");
        for (const char* name :
             {"play", "pause", "stop", "step_back", "step_forward", "store"}) {
            const std::string path = folder + name + ".bmp";
            std::FILE* file = std::fopen(path.c_str(), "rb");
            ASSERT_NE(file, nullptr) << path;
            std::vector<std::uint8_t> bmp(1 << 20);
            bmp.resize(std::fread(bmp.data(), 1, bmp.size(), file));
            std::fclose(file);
            ASSERT_GT(bmp.size(), 54u) << path;
            const auto field = [&](std::size_t at) {
                return int(bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 | bmp[at + 3] << 24);
            };
            const int width = field(18), height = field(22), offset = field(10);
            EXPECT_EQ(width, 4 * scale(40) + 3) << path;
            EXPECT_EQ(height, scale(37)) << path;
            const int stride = (width * 3 + 3) & ~3;
            ASSERT_EQ(bmp.size(), std::size_t(offset) + std::size_t(stride) * height) << path;
            const auto cut = CutFaceStrip(bmp.data() + offset, bmp.size() - offset, width,
                                          height, stride, 24);
            ASSERT_TRUE(cut) << path;
            EXPECT_EQ(cut->width, scale(40)) << path;
        }
    }
}

} // namespace
