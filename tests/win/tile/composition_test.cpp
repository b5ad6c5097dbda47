#include "engine/tile/composition.h"
#include "engine/store/core/stream_names.h"
#include "engine/store/stream_store.h"
#include "support/images.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <string>

using namespace kadrix;
using namespace kadrix::test;

namespace {

constexpr Rgb kRed{200, 40, 40};
constexpr Rgb kBlue{40, 40, 200};
constexpr Rgb kBlack{0, 0, 0};
constexpr int kJpeg = 12; // tolerance for colours that went through JPEG and scaling
constexpr int kExact = 2; // tolerance for plain fills

Rgb WindowColour()
{
    const COLORREF c = ::GetSysColor(COLOR_WINDOW);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

ThumbnailSettings Look(Background background, bool glossy)
{
    ThumbnailSettings s;
    s.letterbox = background == Background::Letterbox;
    s.blackBkg = background == Background::Black;
    s.windowBkg = background == Background::WindowColour;
    s.glossy = glossy;
    return s;
}

// Composes tiles from a real JPEG stream written by the stream store.
class CompositionTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(WriteFileBytes(clip_, SampleMainData())); }

    // A frame whose top half is red and bottom half blue.
    std::wstring StoreFrame(int width, int height)
    {
        const auto frame = MakeTwoToneBitmap(width, height, kRed, kBlue);
        WriteThumbnailStream(clip_.c_str(), frame.get(), 0);
        return StreamPath(clip_, kAutoThumbStream);
    }

    Picture Tile(const std::wstring& stream, int cx, int cy, const ThumbnailSettings& look,
                 const wchar_t* artefact = nullptr)
    {
        unique_hbitmap tile(Compose(stream.c_str(), cx, cy, look));
        EXPECT_TRUE(tile);
        if (!tile)
            return {};
        if (artefact)
            SavePng(tile.get(), std::wstring(L"artefacts\\") + artefact + L".png");
        Picture picture = PictureFromBitmap(tile.get());
        EXPECT_EQ(picture.width, cx);
        EXPECT_EQ(picture.height, cy);
        return picture;
    }

    TempDir dir_;
    const std::wstring clip_ = dir_.file(L"clip.avi");
};

#define EXPECT_COLOUR(actual, expected, tolerance)                                                 \
    EXPECT_TRUE(Near((actual), (expected), (tolerance))) << (actual) << " expected " << (expected)

TEST_F(CompositionTest, WindowColourFramesThePictureAboveAndBelow)
{
    // 320 x 240 into 96 x 96: the picture at (0, 12, 96, 72).
    const Picture t =
        Tile(StoreFrame(320, 240), 96, 96, Look(Background::WindowColour, false), L"window-96");
    ASSERT_FALSE(t.empty());
    EXPECT_COLOUR(t.mean(0, 0, 96, 11), WindowColour(), kExact);
    EXPECT_COLOUR(t.mean(0, 13, 96, 33), kRed, kJpeg); // top half of the frame on top
    EXPECT_COLOUR(t.mean(0, 50, 96, 33), kBlue, kJpeg);
    EXPECT_COLOUR(t.mean(0, 85, 96, 11), WindowColour(), kExact);
}

TEST_F(CompositionTest, LetterboxBandAndInsetPicture)
{
    // Band (0, 6, 96, 83), picture (2, 12, 92, 72).
    const Picture t =
        Tile(StoreFrame(320, 240), 96, 96, Look(Background::Letterbox, false), L"letterbox-96");
    ASSERT_FALSE(t.empty());
    EXPECT_COLOUR(t.mean(0, 0, 96, 5), WindowColour(), kExact); // strip above the band
    EXPECT_COLOUR(t.mean(0, 7, 96, 4), kBlack, kExact);         // band above the picture
    EXPECT_COLOUR(t.mean(0, 13, 2, 70), kBlack, kExact);        // band left of the inset
    EXPECT_COLOUR(t.mean(94, 13, 2, 70), kBlack, kExact);       // and right of it
    EXPECT_COLOUR(t.mean(3, 13, 90, 33), kRed, kJpeg);
    EXPECT_COLOUR(t.mean(3, 50, 90, 33), kBlue, kJpeg);
    EXPECT_COLOUR(t.mean(0, 85, 96, 3), kBlack, kExact);         // band below the picture
    EXPECT_COLOUR(t.mean(0, 90, 96, 6), WindowColour(), kExact); // strip below the band
}

TEST_F(CompositionTest, BlackBackground)
{
    const Picture t =
        Tile(StoreFrame(320, 240), 96, 96, Look(Background::Black, false), L"black-96");
    ASSERT_FALSE(t.empty());
    EXPECT_COLOUR(t.mean(0, 0, 96, 11), kBlack, kExact);
    EXPECT_COLOUR(t.mean(0, 13, 96, 33), kRed, kJpeg);
    EXPECT_COLOUR(t.mean(0, 85, 96, 11), kBlack, kExact);
}

TEST_F(CompositionTest, GlossBrightensTheWedgeOnly)
{
    const std::wstring stream = StoreFrame(320, 240);
    for (Background mode : {Background::WindowColour, Background::Letterbox, Background::Black}) {
        SCOPED_TRACE(static_cast<int>(mode));
        const Picture plain = Tile(stream, 96, 96, Look(mode, false));
        const Picture glossy = Tile(stream, 96, 96, Look(mode, true),
                                    mode == Background::Black ? L"black-gloss-96" : nullptr);
        ASSERT_FALSE(plain.empty());
        ASSERT_FALSE(glossy.empty());

        // Inside: the left edge of the picture's upper part. White at alpha
        // 20 lifts red's green and blue channels by about 17.
        const Rgb before = plain.mean(4, 24, 4, 4);
        const Rgb after = glossy.mean(4, 24, 4, 4);
        EXPECT_GE(after.g - before.g, 10) << before << " -> " << after;
        // Outside: below the diagonal on the right.
        EXPECT_COLOUR(glossy.mean(86, 60, 6, 6), plain.mean(86, 60, 6, 6), kExact);
    }

    // With black the wedge covers the tile's top band as well.
    const Picture black = Tile(stream, 96, 96, Look(Background::Black, true));
    const Rgb band = black.mean(4, 2, 8, 6);
    EXPECT_GE(band.r, 12);
    EXPECT_LE(band.r, 28);
    EXPECT_COLOUR(black.mean(80, 88, 8, 6), kBlack, kExact); // bottom band stays black
}

TEST_F(CompositionTest, NonSquareTileStretchesTheFrameAcrossItsWidth)
{
    // 120 x 90 from 4:3: the picture at (0, 11.25, 120, 67.5).
    const Picture t = Tile(StoreFrame(640, 480), 120, 90, Look(Background::WindowColour, false),
                           L"window-120x90");
    ASSERT_FALSE(t.empty());
    EXPECT_COLOUR(t.mean(0, 0, 120, 10), WindowColour(), kExact);
    EXPECT_COLOUR(t.mean(0, 13, 120, 20), kRed, kJpeg);
    EXPECT_COLOUR(t.mean(0, 47, 120, 30), kBlue, kJpeg);
    EXPECT_COLOUR(t.mean(0, 80, 120, 10), WindowColour(), kExact);
}

TEST_F(CompositionTest, PortraitFrameStandsInTheMiddle)
{
    // 240 x 320 into 96 x 96: picture (12, 0, 72, 96); letterbox band (6, 0, 83, 96).
    const std::wstring stream = StoreFrame(240, 320);
    const Picture window = Tile(stream, 96, 96, Look(Background::WindowColour, false));
    ASSERT_FALSE(window.empty());
    EXPECT_COLOUR(window.mean(0, 0, 11, 96), WindowColour(), kExact);
    EXPECT_COLOUR(window.mean(13, 2, 70, 44), kRed, kJpeg);
    EXPECT_COLOUR(window.mean(13, 50, 70, 44), kBlue, kJpeg);
    EXPECT_COLOUR(window.mean(85, 0, 11, 96), WindowColour(), kExact);

    const Picture letterbox =
        Tile(stream, 96, 96, Look(Background::Letterbox, true), L"letterbox-gloss-portrait-96");
    ASSERT_FALSE(letterbox.empty());
    EXPECT_COLOUR(letterbox.mean(0, 0, 5, 96), WindowColour(), kExact);
    EXPECT_COLOUR(letterbox.mean(7, 76, 4, 18), kBlack, kExact); // band below the wedge
    EXPECT_COLOUR(letterbox.mean(13, 0, 70, 1), kBlack, kExact); // band above the inset
    EXPECT_COLOUR(letterbox.mean(40, 60, 40, 30), kBlue, kJpeg);
    EXPECT_COLOUR(letterbox.mean(91, 0, 5, 96), WindowColour(), kExact);
}

TEST_F(CompositionTest, SquareFrameLetterboxLeavesNoWindowColour)
{
    const Picture t = Tile(StoreFrame(200, 200), 96, 96, Look(Background::Letterbox, false));
    ASSERT_FALSE(t.empty());
    EXPECT_COLOUR(t.mean(0, 0, 2, 96), kBlack, kExact);
    EXPECT_COLOUR(t.mean(94, 0, 2, 96), kBlack, kExact);
    EXPECT_COLOUR(t.mean(3, 1, 90, 40), kRed, kJpeg);
}

TEST_F(CompositionTest, UndecodableStreamGivesTheBackgroundOnly)
{
    const std::wstring stream = StreamPath(clip_, kAutoThumbStream);
    ASSERT_TRUE(WriteFileBytes(stream, Bytes{'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'}));
    for (Background mode : {Background::WindowColour, Background::Letterbox}) {
        const Picture t = Tile(stream, 96, 96, Look(mode, true));
        ASSERT_FALSE(t.empty());
        for (int y = 0; y < 96; y += 5) // no band, no wedge: every row plain
            EXPECT_COLOUR(t.mean(0, y, 96, 1), WindowColour(), kExact) << "row " << y;
    }
    const Picture missing = Tile(clip_ + L":nosuchstream", 64, 64, Look(Background::Black, false));
    EXPECT_COLOUR(missing.mean(0, 0, 64, 64), kBlack, kExact);
}

TEST_F(CompositionTest, TileSizesOutOfRangeGiveNoBitmap)
{
    const std::wstring stream = StoreFrame(320, 240);
    const ThumbnailSettings look;
    for (auto [cx, cy] : {std::pair{0, 96}, {96, 0}, {-5, 96}, {96, -1}, {5000, 96}, {96, 4097}})
        EXPECT_EQ(Compose(stream.c_str(), cx, cy, look), nullptr) << cx << " x " << cy;
    unique_hbitmap largest(Compose(stream.c_str(), 4096, 16, look));
    EXPECT_TRUE(largest);
}

} // namespace
