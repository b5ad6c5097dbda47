#include "engine/core/frame_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace kadrix;

namespace {

struct Yuv
{
    int y, u, v;
};

struct Rgb
{
    int r, g, b;
};

using Bytes = std::vector<std::uint8_t>;

// Converts one pixel through a 1x1 I420 frame.
Rgb ConvertOne(Yuv yuv, YuvMatrix matrix, YuvRange range)
{
    const std::uint8_t y = static_cast<std::uint8_t>(yuv.y);
    const std::uint8_t u = static_cast<std::uint8_t>(yuv.u);
    const std::uint8_t v = static_cast<std::uint8_t>(yuv.v);
    SourceFrame frame;
    frame.layout = PixelLayout::I420;
    frame.width = frame.height = 1;
    frame.plane[0] = &y;
    frame.plane[1] = &u;
    frame.plane[2] = &v;
    frame.stride[0] = frame.stride[1] = frame.stride[2] = 1;
    frame.matrix = matrix;
    frame.range = range;
    std::uint8_t out[4] = {};
    EXPECT_EQ(ConvertToBgrx(frame, {0, 0, 1, 1}, out, 4), ConvertResult::Converted);
    EXPECT_EQ(out[3], 0xFF);
    return {out[2], out[1], out[0]};
}

// The encoder's side, straight from the matrix definitions.
Yuv Encode(Rgb c, YuvMatrix matrix, YuvRange range)
{
    const double kr = matrix == YuvMatrix::Bt709 ? 0.2126 : 0.299;
    const double kb = matrix == YuvMatrix::Bt709 ? 0.0722 : 0.114;
    const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    const double y = kr * r + (1 - kr - kb) * g + kb * b;
    const double pb = (b - y) / (2 * (1 - kb)), pr = (r - y) / (2 * (1 - kr));
    const bool limited = range == YuvRange::Limited;
    auto quantise = [](double value) {
        return static_cast<int>(std::lround(std::clamp(value, 0.0, 255.0)));
    };
    return {quantise(limited ? 16 + 219 * y : 255 * y), quantise(128 + (limited ? 224 : 255) * pb),
            quantise(128 + (limited ? 224 : 255) * pr)};
}

::testing::AssertionResult Within2(Rgb seen, Rgb expected)
{
    if (std::abs(seen.r - expected.r) <= 2 && std::abs(seen.g - expected.g) <= 2 &&
        std::abs(seen.b - expected.b) <= 2)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "rgb(" << seen.r << ", " << seen.g << ", " << seen.b << "), expected rgb("
           << expected.r << ", " << expected.g << ", " << expected.b << ")";
}

TEST(FrameConvert, KnownLimitedRangeValues)
{
    for (YuvMatrix m : {YuvMatrix::Bt601, YuvMatrix::Bt709}) {
        EXPECT_TRUE(Within2(ConvertOne({235, 128, 128}, m, YuvRange::Limited), {255, 255, 255}));
        EXPECT_TRUE(Within2(ConvertOne({16, 128, 128}, m, YuvRange::Limited), {0, 0, 0}));
        EXPECT_TRUE(Within2(ConvertOne({126, 128, 128}, m, YuvRange::Limited), {128, 128, 128}));
    }
    // The usual studio-swing tables for the primaries.
    const YuvMatrix m601 = YuvMatrix::Bt601, m709 = YuvMatrix::Bt709;
    EXPECT_TRUE(Within2(ConvertOne({81, 90, 240}, m601, YuvRange::Limited), {255, 0, 0}));
    EXPECT_TRUE(Within2(ConvertOne({145, 54, 34}, m601, YuvRange::Limited), {0, 255, 0}));
    EXPECT_TRUE(Within2(ConvertOne({41, 240, 110}, m601, YuvRange::Limited), {0, 0, 255}));
    EXPECT_TRUE(Within2(ConvertOne({63, 102, 240}, m709, YuvRange::Limited), {255, 0, 0}));
    EXPECT_TRUE(Within2(ConvertOne({173, 42, 26}, m709, YuvRange::Limited), {0, 255, 0}));
    EXPECT_TRUE(Within2(ConvertOne({32, 240, 118}, m709, YuvRange::Limited), {0, 0, 255}));
    // The matrices differ: BT.709 red read as BT.601 is not red.
    EXPECT_FALSE(Within2(ConvertOne({63, 102, 240}, m601, YuvRange::Limited), {255, 0, 0}));
}

TEST(FrameConvert, EncodedColoursComeBackForBothMatricesAndRanges)
{
    const Rgb colours[] = {{255, 0, 0},   {0, 255, 0},     {0, 0, 255},   {255, 255, 0},
                           {255, 0, 255}, {0, 255, 255},   {255, 128, 0}, {255, 255, 255},
                           {0, 0, 0},     {128, 128, 128}, {40, 90, 200}};
    for (YuvMatrix m : {YuvMatrix::Bt601, YuvMatrix::Bt709})
        for (YuvRange r : {YuvRange::Limited, YuvRange::Full})
            for (const Rgb& c : colours) {
                SCOPED_TRACE(::testing::Message() << "709 " << (m == YuvMatrix::Bt709) << " full "
                                                  << (r == YuvRange::Full));
                EXPECT_TRUE(Within2(ConvertOne(Encode(c, m, r), m, r), c));
            }
    EXPECT_TRUE(
        Within2(ConvertOne({255, 128, 128}, YuvMatrix::Bt601, YuvRange::Full), {255, 255, 255}));
}

TEST(FrameConvert, OutOfRangeValuesClampInsteadOfWrapping)
{
    EXPECT_TRUE(
        Within2(ConvertOne({255, 128, 128}, YuvMatrix::Bt601, YuvRange::Limited), {255, 255, 255}));
    EXPECT_TRUE(Within2(ConvertOne({0, 128, 128}, YuvMatrix::Bt709, YuvRange::Limited), {0, 0, 0}));
    const Rgb extreme = ConvertOne({128, 255, 0}, YuvMatrix::Bt601, YuvRange::Limited);
    EXPECT_EQ(extreme.r, 0);
    EXPECT_EQ(extreme.b, 255);
}

// A 5x3 picture (odd both ways): Y differs in every pixel, U and V in every
// 2x2 block, so a sample fetched from the wrong place shows.
constexpr int kW = 5, kH = 3, kStride = 8; // stride wider than the row
int LumaAt(int x, int y)
{
    return 40 + 12 * x + 50 * y;
}
int UAt(int cx, int cy)
{
    return 60 + 40 * cx + 90 * cy;
}
int VAt(int cx, int cy)
{
    return 200 - 30 * cx - 70 * cy;
}

// The picture laid out in one buffer the way decoders do; padding bytes 0xEE.
Bytes Lay(PixelLayout layout)
{
    const int cw = (kW + 1) / 2, ch = (kH + 1) / 2;
    Bytes buffer;
    auto row = [&](std::size_t stride) {
        buffer.resize(buffer.size() + stride, 0xEE);
        return buffer.end() - static_cast<std::ptrdiff_t>(stride);
    };
    if (layout == PixelLayout::Yuy2) {
        for (int y = 0; y < kH; ++y) {
            auto r = row(12);
            for (int x = 0; x < kW + 1; ++x)
                r[2 * x] = static_cast<std::uint8_t>(LumaAt(std::min(x, kW - 1), y));
            for (int cx = 0; cx < cw; ++cx) {
                r[4 * cx + 1] = static_cast<std::uint8_t>(UAt(cx, y / 2));
                r[4 * cx + 3] = static_cast<std::uint8_t>(VAt(cx, y / 2));
            }
        }
        return buffer;
    }
    for (int y = 0; y < kH; ++y) {
        auto r = row(kStride);
        for (int x = 0; x < kW; ++x)
            r[x] = static_cast<std::uint8_t>(LumaAt(x, y));
    }
    if (layout == PixelLayout::Nv12) {
        for (int cy = 0; cy < ch; ++cy) {
            auto r = row(kStride);
            for (int cx = 0; cx < cw; ++cx) {
                r[2 * cx] = static_cast<std::uint8_t>(UAt(cx, cy));
                r[2 * cx + 1] = static_cast<std::uint8_t>(VAt(cx, cy));
            }
        }
        return buffer;
    }
    for (int plane = 0; plane < 2; ++plane) {
        const bool u = (plane == 0) == (layout == PixelLayout::I420);
        for (int cy = 0; cy < ch; ++cy) {
            auto r = row(kStride / 2);
            for (int cx = 0; cx < cw; ++cx)
                r[cx] = static_cast<std::uint8_t>(u ? UAt(cx, cy) : VAt(cx, cy));
        }
    }
    return buffer;
}

// What pixel (x, y) must become.
Rgb Expected(int x, int y)
{
    return ConvertOne({LumaAt(x, y), UAt(x / 2, y / 2), VAt(x / 2, y / 2)}, YuvMatrix::Bt601,
                      YuvRange::Limited);
}

bool Same(Rgb a, Rgb b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

Rgb PixelOf(const Bytes& bgrx, std::size_t stride, int x, int y)
{
    const std::uint8_t* p = bgrx.data() + stride * y + 4 * x;
    return {p[2], p[1], p[0]};
}

const PixelLayout kYuvLayouts[] = {PixelLayout::Nv12, PixelLayout::I420, PixelLayout::Yv12,
                                   PixelLayout::Yuy2};

TEST(FrameConvert, EveryYuvLayoutFindsEachPixelsSamples)
{
    for (PixelLayout layout : kYuvLayouts) {
        SCOPED_TRACE(static_cast<int>(layout));
        const Bytes buffer = Lay(layout);
        const std::size_t stride = layout == PixelLayout::Yuy2 ? 12 : kStride;
        SourceFrame frame;
        ASSERT_TRUE(
            LocatePlanes(layout, kW, kH, stride, false, buffer.data(), buffer.size(), &frame));
        // The whole frame: the odd last column and row use the last chroma.
        Bytes out(kW * 4 * kH, 0);
        ASSERT_EQ(ConvertToBgrx(frame, {0, 0, kW, kH}, out.data(), kW * 4),
                  ConvertResult::Converted);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                EXPECT_TRUE(Same(PixelOf(out, kW * 4, x, y), Expected(x, y))) << x << "," << y;
        // A crop at odd offsets, into a wider target row.
        Bytes crop(2 * 24, 0x5A);
        ASSERT_EQ(ConvertToBgrx(frame, {1, 1, 3, 2}, crop.data(), 24), ConvertResult::Converted);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_TRUE(Same(PixelOf(crop, 24, x, y), Expected(x + 1, y + 1))) << x << "," << y;
        EXPECT_EQ(crop[12], 0x5A); // past the crop's row: untouched
    }
}

TEST(FrameConvert, BottomUpRowsComeOutTopFirst)
{
    for (PixelLayout layout : {PixelLayout::Nv12, PixelLayout::I420, PixelLayout::Yuy2}) {
        SCOPED_TRACE(static_cast<int>(layout));
        const Bytes topDown = Lay(layout);
        const std::size_t stride = layout == PixelLayout::Yuy2 ? 12 : kStride;
        SourceFrame frame;
        ASSERT_TRUE(
            LocatePlanes(layout, kW, kH, stride, false, topDown.data(), topDown.size(), &frame));
        // The same planes, each with its rows reversed.
        Bytes flipped(topDown.size());
        for (int p = 0; p < 3 && frame.plane[p]; ++p) {
            const int rows = p == 0 ? kH : (kH + 1) / 2;
            const std::size_t offset = static_cast<std::size_t>(frame.plane[p] - topDown.data());
            for (int r = 0; r < rows; ++r)
                std::copy_n(frame.plane[p] + frame.stride[p] * r, frame.stride[p],
                            flipped.begin() + offset + frame.stride[p] * (rows - 1 - r));
        }
        SourceFrame up;
        ASSERT_TRUE(
            LocatePlanes(layout, kW, kH, stride, true, flipped.data(), flipped.size(), &up));
        Bytes a(kW * 4 * kH), b(kW * 4 * kH);
        ASSERT_EQ(ConvertToBgrx(frame, {0, 0, kW, kH}, a.data(), kW * 4), ConvertResult::Converted);
        ASSERT_EQ(ConvertToBgrx(up, {0, 0, kW, kH}, b.data(), kW * 4), ConvertResult::Converted);
        EXPECT_EQ(a, b);
    }
}

TEST(FrameConvert, ApertureCropDropsTheDecodersPaddingRows)
{
    // A 1080p decoder hands out 1088 rows; here 4 x 6 of which 4 x 4 show,
    // the padding painted in a colour of its own.
    const int w = 4, coded = 6, shown = 4;
    Bytes buffer(w * coded + w * coded / 2, 128);
    std::fill_n(buffer.begin(), w * shown, 235);                      // white rows
    std::fill_n(buffer.begin() + w * shown, w * (coded - shown), 16); // black padding
    SourceFrame frame;
    ASSERT_TRUE(
        LocatePlanes(PixelLayout::Nv12, w, coded, w, false, buffer.data(), buffer.size(), &frame));
    Bytes out(w * 4 * shown, 0);
    ASSERT_EQ(ConvertToBgrx(frame, {0, 0, w, shown}, out.data(), w * 4), ConvertResult::Converted);
    for (std::uint8_t byte : out)
        EXPECT_EQ(byte, 255);
}

TEST(FrameConvert, BgrxIsCopiedWithAnOpaqueFourthByte)
{
    const Bytes source = {1, 2, 3,  0,  4,  5,  6,  7,  0xEE, 0xEE, // row 0 and its padding
                          8, 9, 10, 11, 12, 13, 14, 15, 0xEE, 0xEE};
    SourceFrame frame;
    ASSERT_TRUE(
        LocatePlanes(PixelLayout::Bgrx, 2, 2, 10, true, source.data(), source.size(), &frame));
    Bytes out(16, 0);
    ASSERT_EQ(ConvertToBgrx(frame, {0, 0, 2, 2}, out.data(), 8), ConvertResult::Converted);
    EXPECT_EQ(out, (Bytes{8, 9, 10, 255, 12, 13, 14, 255, 1, 2, 3, 255, 4, 5, 6, 255}));
    Bytes column(8, 0);
    ASSERT_EQ(ConvertToBgrx(frame, {1, 0, 1, 2}, column.data(), 4), ConvertResult::Converted);
    EXPECT_EQ(column, (Bytes{12, 13, 14, 255, 4, 5, 6, 255}));
}

TEST(FrameConvert, BuffersShortOfTheLastRowAreRefused)
{
    // Whole planes before the last one; the last row needs only its bytes.
    struct Case
    {
        PixelLayout layout;
        std::size_t stride, exact;
    };
    for (const Case& c :
         {Case{PixelLayout::Nv12, 8, 3 * 8 + 8 + 6},
          Case{PixelLayout::I420, 8, 3 * 8 + 2 * 4 + 4 + 3},
          Case{PixelLayout::Yv12, 8, 3 * 8 + 2 * 4 + 4 + 3},
          Case{PixelLayout::Yuy2, 12, 2 * 12 + 12}, Case{PixelLayout::Bgrx, 20, 2 * 20 + 20}}) {
        SCOPED_TRACE(static_cast<int>(c.layout));
        const Bytes buffer(c.exact);
        SourceFrame frame;
        EXPECT_TRUE(
            LocatePlanes(c.layout, kW, kH, c.stride, false, buffer.data(), c.exact, &frame));
        frame = SourceFrame{};
        EXPECT_FALSE(
            LocatePlanes(c.layout, kW, kH, c.stride, false, buffer.data(), c.exact - 1, &frame));
        EXPECT_EQ(frame.plane[0], nullptr);
        // A stride shorter than a row.
        EXPECT_FALSE(LocatePlanes(c.layout, kW, kH, MinimumStride(c.layout, kW) - 1, false,
                                  buffer.data(), c.exact, &frame));
    }
    const Bytes buffer(64);
    SourceFrame frame;
    EXPECT_FALSE(LocatePlanes(PixelLayout::I420, 0, 2, 8, false, buffer.data(), 64, &frame));
    EXPECT_FALSE(LocatePlanes(PixelLayout::I420, 2, -2, 8, false, buffer.data(), 64, &frame));
    EXPECT_FALSE(LocatePlanes(PixelLayout::I420, 2, 2, 8, false, nullptr, 64, &frame));
    // Numbers whose products would overflow are refused, not wrapped.
    EXPECT_FALSE(LocatePlanes(PixelLayout::Nv12, 2, 1 << 30, SIZE_MAX / 2, false, buffer.data(), 64,
                              &frame));
    EXPECT_FALSE(LocatePlanes(PixelLayout::Bgrx, 2, 2, SIZE_MAX, false, buffer.data(), 64, &frame));
    EXPECT_FALSE(
        LocatePlanes(static_cast<PixelLayout>(99), 2, 2, 8, false, buffer.data(), 64, &frame));
}

TEST(FrameConvert, AStrideIsReadFromALengthOfWholeRowsOnly)
{
    // 322 x 242 NV12 with rows rounded up to 4 bytes; YUY2 of an odd width.
    EXPECT_EQ(StrideFromLength(PixelLayout::Nv12, 322, 242, 324 * (242 + 121)), 324u);
    EXPECT_EQ(StrideFromLength(PixelLayout::I420, 160, 120, 160 * 180), 160u);
    EXPECT_EQ(StrideFromLength(PixelLayout::Yuy2, 161, 121, 324 * 121), 324u);
    EXPECT_EQ(StrideFromLength(PixelLayout::Bgrx, 3, 2, 16 * 2), 16u);
    EXPECT_EQ(StrideFromLength(PixelLayout::Nv12, 322, 242, 324 * 363 + 1), 0u); // not whole rows
    EXPECT_EQ(StrideFromLength(PixelLayout::Yuy2, 161, 121, 322 * 121), 0u);     // short rows
    EXPECT_EQ(StrideFromLength(PixelLayout::Bgrx, 3, 0, 12), 0u);
}

TEST(FrameConvert, WhatDoesNotFitWritesNothing)
{
    const Bytes buffer = Lay(PixelLayout::I420);
    SourceFrame frame;
    ASSERT_TRUE(LocatePlanes(PixelLayout::I420, kW, kH, kStride, false, buffer.data(),
                             buffer.size(), &frame));
    Bytes out(kW * 4 * kH, 0xAB);
    auto convert = [&](const SourceFrame& f, FrameRect crop, std::size_t stride) {
        return ConvertToBgrx(f, crop, out.data(), stride);
    };
    EXPECT_EQ(convert(frame, {0, 0, kW + 1, kH}, kW * 4 + 4), ConvertResult::BadGeometry);
    EXPECT_EQ(convert(frame, {1, 0, kW, kH}, kW * 4), ConvertResult::BadGeometry);
    EXPECT_EQ(convert(frame, {0, -1, kW, 1}, kW * 4), ConvertResult::BadGeometry);
    EXPECT_EQ(convert(frame, {0, 0, 0, kH}, kW * 4), ConvertResult::BadGeometry);
    EXPECT_EQ(convert(frame, {0, 0, kW, kH}, kW * 4 - 1), ConvertResult::BadGeometry);
    SourceFrame noV = frame;
    noV.plane[2] = nullptr;
    EXPECT_EQ(convert(noV, {0, 0, kW, kH}, kW * 4), ConvertResult::BadGeometry);
    SourceFrame narrow = frame;
    narrow.stride[1] = 2; // the chroma row holds 3 samples
    EXPECT_EQ(convert(narrow, {0, 0, kW, kH}, kW * 4), ConvertResult::BadGeometry);
    SourceFrame unknown = frame;
    unknown.layout = static_cast<PixelLayout>(99);
    EXPECT_EQ(convert(unknown, {0, 0, kW, kH}, kW * 4), ConvertResult::Unsupported);
    EXPECT_EQ(ConvertToBgrx(frame, {0, 0, kW, kH}, nullptr, kW * 4), ConvertResult::BadGeometry);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0xAB; }));
}

} // namespace
