// JPEG encoding and decoding with libjpeg-turbo, for the thumbnail streams
// and the setup program's sample pictures. libjpeg's own error handler ends
// the process; here every error comes back to the caller as a failure, so a
// broken picture never takes the host down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kadrix {

// Pixels in memory, 4 bytes each (B, G, R, X), `stride` bytes from one row
// to the next, top row first.
struct PixelRows
{
    const std::uint8_t* top = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0; // negative when the rows lie bottom-up in memory
};

// A decoded picture, 32-bit B, G, R, 0xFF, top row first, rows packed.
struct DecodedJpeg
{
    int width = 0; // as decoded: the full size, or scaled down
    int height = 0;
    int fullWidth = 0; // as the JPEG says
    int fullHeight = 0;
    std::vector<std::uint8_t> pixels;
};

// Decodes a JPEG held in memory. With a wanted size, the decoder's DCT
// scaling (1/2, 1/4, 1/8) gives the smallest picture still at least that
// large in both directions; without (0, 0), the full size. False when the
// data is no JPEG libjpeg can decode, or is larger than the frame limits.
bool DecodeJpeg(const void* data, std::size_t size, int wantedWidth, int wantedHeight,
                DecodedJpeg* picture);

// Only the size, from the header.
bool ReadJpegSize(const void* data, std::size_t size, int* width, int* height);

// Encodes the pixels as a baseline JPEG (4:2:0, quality 75, the quality the
// platform's encoder gives by default). False when encoding failed.
bool EncodeJpeg(const PixelRows& rows, std::vector<std::uint8_t>* jpeg);

} // namespace kadrix
