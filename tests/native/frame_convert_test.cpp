#include "engine/capture/core/frame_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace kadrix;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Rgb
{
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// One pixel through a 1x1 I420 frame.
Rgb ConvertOne(int y, int u, int v, YuvMatrix matrix, YuvRange range)
{
    const std::uint8_t samples[3] = {static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(u),
                                     static_cast<std::uint8_t>(v)};
    SourceFrame frame;
    frame.layout = PixelLayout::I420;
    frame.width = frame.height = 1;
    for (int i = 0; i < 3; ++i) {
        frame.plane[i] = &samples[i];
        frame.stride[i] = 1;
    }
    frame.matrix = matrix;
    frame.range = range;
    std::uint8_t out[4] = {};
    EXPECT_EQ(ConvertToBgrx(frame, {0, 0, 1, 1}, out, 4), ConvertResult::Converted);
    EXPECT_EQ(out[3], 0xFF);
    return {out[2], out[1], out[0]};
}

bool Within2(Rgb a, Rgb b)
{
    return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
}

TEST(FrameConvert, KnownColoursForBothMatricesAndRanges)
{
    const auto lim = YuvRange::Limited, full = YuvRange::Full;
    const auto m601 = YuvMatrix::Bt601, m709 = YuvMatrix::Bt709;
    struct Case
    {
        int y, u, v;
        YuvMatrix matrix;
        YuvRange range;
        Rgb rgb;
    };
    // The primaries as the matrix definitions encode them, white, black, grey.
    for (const Case& c : {Case{81, 90, 240, m601, lim, {255, 0, 0}},
                          {145, 54, 34, m601, lim, {0, 255, 0}},
                          {41, 240, 110, m601, lim, {0, 0, 255}},
                          {63, 102, 240, m709, lim, {255, 0, 0}},
                          {173, 42, 26, m709, lim, {0, 255, 0}},
                          {32, 240, 118, m709, lim, {0, 0, 255}},
                          {76, 85, 255, m601, full, {255, 0, 0}},
                          {150, 44, 21, m601, full, {0, 255, 0}},
                          {29, 255, 107, m601, full, {0, 0, 255}},
                          {54, 99, 255, m709, full, {255, 0, 0}},
                          {182, 30, 12, m709, full, {0, 255, 0}},
                          {18, 255, 116, m709, full, {0, 0, 255}},
                          {235, 128, 128, m601, lim, {255, 255, 255}},
                          {16, 128, 128, m709, lim, {0, 0, 0}},
                          {126, 128, 128, m601, lim, {128, 128, 128}},
                          {255, 128, 128, m709, full, {255, 255, 255}},
                          {0, 128, 128, m601, full, {0, 0, 0}},
                          // Out of range: clamped, never wrapped.
                          {255, 128, 128, m601, lim, {255, 255, 255}},
                          {0, 128, 128, m709, lim, {0, 0, 0}}}) {
        const Rgb seen = ConvertOne(c.y, c.u, c.v, c.matrix, c.range);
        EXPECT_TRUE(Within2(seen, c.rgb)) << c.y << "," << c.u << "," << c.v << " gave " << seen.r
                                          << "," << seen.g << "," << seen.b;
    }
    // The matrices differ: BT.709 red read as BT.601 is not red.
    EXPECT_FALSE(Within2(ConvertOne(63, 102, 240, m601, lim), {255, 0, 0}));
}

// A 5x3 picture (odd both ways) with rows of 8 bytes: Y differs in every
// pixel, U and V in every 2x2 block, so a sample fetched from the wrong
// place shows.
constexpr int kW = 5, kH = 3, kCw = 3, kCh = 2;
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

// The picture laid out in one buffer the way decoders do, padding 0xEE; each
// plane's rows last first when bottomUp.
Bytes Lay(PixelLayout layout, bool bottomUp)
{
    Bytes buffer;
    auto plane = [&](int rows, std::size_t stride, auto sample) {
        const std::size_t start = buffer.size();
        buffer.resize(start + rows * stride, 0xEE);
        for (int r = 0; r < rows; ++r)
            for (std::size_t i = 0; i < stride; ++i) {
                const int value = sample(static_cast<int>(i), r);
                if (value >= 0)
                    buffer[start + (bottomUp ? rows - 1 - r : r) * stride + i] =
                        static_cast<std::uint8_t>(value);
            }
    };
    auto luma = [](int x, int y) {
        return x < kW ? LumaAt(x, y) : -1;
    };
    switch (layout) {
    case PixelLayout::Yuy2:
        plane(kH, 12, [](int i, int y) {
            const int pair = i / 4;
            switch (i % 4) {
            case 1:
                return UAt(pair, y / 2);
            case 3:
                return VAt(pair, y / 2);
            default:
                return LumaAt(std::min(i / 2, kW - 1), y);
            }
        });
        break;
    case PixelLayout::Nv12:
        plane(kH, 8, luma);
        plane(kCh, 8, [](int i, int cy) {
            return i >= 2 * kCw ? -1 : i % 2 ? VAt(i / 2, cy) : UAt(i / 2, cy);
        });
        break;
    default: {
        const bool i420 = layout == PixelLayout::I420;
        plane(kH, 8, luma);
        plane(kCh, 4, [i420](int i, int cy) {
            return i >= kCw ? -1 : i420 ? UAt(i, cy) : VAt(i, cy);
        });
        plane(kCh, 4, [i420](int i, int cy) {
            return i >= kCw ? -1 : i420 ? VAt(i, cy) : UAt(i, cy);
        });
    }
    }
    return buffer;
}

Rgb Expected(int x, int y)
{
    return ConvertOne(LumaAt(x, y), UAt(x / 2, y / 2), VAt(x / 2, y / 2), YuvMatrix::Bt601,
                      YuvRange::Limited);
}

Rgb PixelOf(const Bytes& bgrx, std::size_t stride, int x, int y)
{
    const std::uint8_t* p = bgrx.data() + stride * y + 4 * x;
    return {p[2], p[1], p[0]};
}

TEST(FrameConvert, EveryYuvLayoutFindsEachPixelsSamples)
{
    for (PixelLayout layout :
         {PixelLayout::Nv12, PixelLayout::I420, PixelLayout::Yv12, PixelLayout::Yuy2})
        for (bool bottomUp : {false, true}) {
            SCOPED_TRACE(::testing::Message()
                         << "layout " << static_cast<int>(layout) << " bottom-up " << bottomUp);
            const Bytes buffer = Lay(layout, bottomUp);
            const std::size_t stride = layout == PixelLayout::Yuy2 ? 12 : 8;
            SourceFrame frame;
            ASSERT_TRUE(LocatePlanes(layout, kW, kH, stride, bottomUp, buffer.data(), buffer.size(),
                                     &frame));
            // The whole frame, top row first: the odd last column and row take
            // the last chroma sample.
            Bytes out(kW * 4 * kH);
            ASSERT_EQ(ConvertToBgrx(frame, {0, 0, kW, kH}, out.data(), kW * 4),
                      ConvertResult::Converted);
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    EXPECT_TRUE(PixelOf(out, kW * 4, x, y) == Expected(x, y)) << x << "," << y;
            // An aperture at odd offsets, into a wider target row.
            Bytes crop(2 * 24, 0x5A);
            ASSERT_EQ(ConvertToBgrx(frame, {1, 1, 3, 2}, crop.data(), 24),
                      ConvertResult::Converted);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 3; ++x)
                    EXPECT_TRUE(PixelOf(crop, 24, x, y) == Expected(x + 1, y + 1)) << x << "," << y;
            EXPECT_EQ(crop[12], 0x5A); // past the aperture's row: untouched
        }
}

TEST(FrameConvert, BgrxIsCopiedWithAnOpaqueFourthByte)
{
    const Bytes source = {1, 2, 3,  0,  4,  5,  6,  7,  0xEE, 0xEE, // bottom row and padding
                          8, 9, 10, 11, 12, 13, 14, 15, 0xEE, 0xEE};
    SourceFrame frame;
    ASSERT_TRUE(
        LocatePlanes(PixelLayout::Bgrx, 2, 2, 10, true, source.data(), source.size(), &frame));
    Bytes out(16);
    ASSERT_EQ(ConvertToBgrx(frame, {0, 0, 2, 2}, out.data(), 8), ConvertResult::Converted);
    EXPECT_EQ(out, (Bytes{8, 9, 10, 255, 12, 13, 14, 255, 1, 2, 3, 255, 4, 5, 6, 255}));
    Bytes column(8);
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
        EXPECT_FALSE(LocatePlanes(c.layout, kW, kH, MinimumStride(c.layout, kW) - 1, false,
                                  buffer.data(), c.exact, &frame));
    }
    const Bytes buffer(64);
    SourceFrame frame;
    EXPECT_FALSE(LocatePlanes(PixelLayout::I420, 2, -2, 8, false, buffer.data(), 64, &frame));
    // Numbers whose products would overflow are refused, not wrapped.
    EXPECT_FALSE(LocatePlanes(PixelLayout::Nv12, 2, 1 << 30, SIZE_MAX / 2, false, buffer.data(), 64,
                              &frame));
    EXPECT_FALSE(LocatePlanes(PixelLayout::Bgrx, 2, 2, SIZE_MAX, false, buffer.data(), 64, &frame));
}

TEST(FrameConvert, AStrideIsReadFromALengthOfWholeRowsOnly)
{
    // 322 x 242 NV12 with rows rounded up to 4 bytes; YUY2 of an odd width.
    EXPECT_EQ(StrideFromLength(PixelLayout::Nv12, 322, 242, 324 * (242 + 121)), 324u);
    EXPECT_EQ(StrideFromLength(PixelLayout::Yuy2, 161, 121, 324 * 121), 324u);
    EXPECT_EQ(StrideFromLength(PixelLayout::Nv12, 322, 242, 324 * 363 + 1), 0u); // not whole rows
    EXPECT_EQ(StrideFromLength(PixelLayout::Yuy2, 161, 121, 322 * 121), 0u);     // short rows
}

TEST(FrameConvert, WhatDoesNotFitWritesNothing)
{
    const Bytes buffer = Lay(PixelLayout::I420, false);
    SourceFrame frame;
    ASSERT_TRUE(
        LocatePlanes(PixelLayout::I420, kW, kH, 8, false, buffer.data(), buffer.size(), &frame));
    Bytes out(kW * 4 * kH, 0xAB);
    EXPECT_EQ(ConvertToBgrx(frame, {1, 0, kW, kH}, out.data(), kW * 4), ConvertResult::BadGeometry);
    EXPECT_EQ(ConvertToBgrx(frame, {0, -1, kW, 1}, out.data(), kW * 4), ConvertResult::BadGeometry);
    EXPECT_EQ(ConvertToBgrx(frame, {0, 0, kW, kH}, out.data(), kW * 4 - 1),
              ConvertResult::BadGeometry);
    SourceFrame narrow = frame;
    narrow.stride[1] = kCw - 1;
    EXPECT_EQ(ConvertToBgrx(narrow, {0, 0, kW, kH}, out.data(), kW * 4),
              ConvertResult::BadGeometry);
    SourceFrame unknown = frame;
    unknown.layout = static_cast<PixelLayout>(99);
    EXPECT_EQ(ConvertToBgrx(unknown, {0, 0, kW, kH}, out.data(), kW * 4),
              ConvertResult::Unsupported);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0xAB; }));
}

} // namespace
