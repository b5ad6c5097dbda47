// Decoded video frames to 32-bit BGRX: the pixel formats video decoders hand
// out (4:2:0 and 4:2:2 YUV, 32-bit RGB), located in their buffers and
// converted with integer arithmetic. No platform headers, so every case can
// be checked natively.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kadrix {

enum class PixelLayout
{
    Nv12, // Y plane, then one plane of interleaved U, V at half width and height
    I420, // Y plane, U plane, V plane; chroma at half width and height (also IYUV)
    Yv12, // as I420 with the V plane before the U plane
    Yuy2, // packed 4:2:2: Y0 U Y1 V for each pair of pixels
    Bgrx, // 32-bit RGB, B G R and a byte that is ignored
};

enum class YuvMatrix
{
    Bt601,
    Bt709,
};

enum class YuvRange
{
    Limited, // Y in 16..235, U and V in 16..240
    Full,    // all three in 0..255
};

struct FrameRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A decoded frame as it lies in memory. The planes are Y, U, V for I420 and
// YV12 whatever their order in the buffer; Y and the interleaved UV for NV12;
// one plane for YUY2 and BGRX. Strides are in bytes and may exceed a row.
struct SourceFrame
{
    PixelLayout layout = PixelLayout::Nv12;
    int width = 0; // the decoded size, padding included
    int height = 0;
    const std::uint8_t* plane[3] = {};
    std::size_t stride[3] = {};
    bool bottomUp = false; // every plane holds its last row first
    YuvMatrix matrix = YuvMatrix::Bt601;
    YuvRange range = YuvRange::Limited;
};

// The fewest bytes a row of the first plane takes.
std::size_t MinimumStride(PixelLayout layout, int width);

// The stride of a frame whose buffer holds nothing but its rows: the length
// divided by the rows of all planes (in units of the first plane's stride),
// when that is exact and at least MinimumStride; 0 otherwise. Where nothing
// else tells the stride, the buffer's own length is the best witness.
std::size_t StrideFromLength(PixelLayout layout, int width, int height, std::size_t length);

// Locates the planes of a frame of width x height whose planes follow one
// another in one buffer of `length` bytes, rows `stride` bytes apart in the
// first plane (half that in the chroma planes of I420 and YV12), as video
// decoders lay them out; fills in the layout, size, planes and row order of
// *frame and leaves its matrix and range. False, and the frame untouched,
// when the buffer is too short for every row of every plane or the geometry
// makes no sense: a decoder's numbers are never trusted with a read.
bool LocatePlanes(PixelLayout layout, int width, int height, std::size_t stride, bool bottomUp,
                  const std::uint8_t* buffer, std::size_t length, SourceFrame* frame);

enum class ConvertResult
{
    Converted,
    Unsupported, // a pixel layout this converter does not know
    BadGeometry, // a size, crop, stride or pointer that doesn't fit
};

// Converts the crop rectangle of the frame (its display aperture) into
// crop.width x crop.height pixels of B, G, R, 0xFF, top row first, rows
// targetStride bytes apart. The last column and row of an odd size take the
// last chroma sample. Nothing is written unless the result is Converted.
ConvertResult ConvertToBgrx(const SourceFrame& source, const FrameRect& crop, std::uint8_t* target,
                            std::size_t targetStride);

} // namespace kadrix
