// The largest frames a grab takes. A frame's numbers come from the file: a
// side past kMaxFrameSide is a broken format, and the pixel cap keeps the
// frame bitmap (4 bytes a pixel, plus the decoder's buffers and the JPEG
// encoder's) within reach of the process. 8K (8192 x 4320, 141 MB of bitmap)
// on x64; 4096 x 4096 (64 MB) in a 32-bit process, whose 2 GB the host
// shares with everything else. A larger frame gets no thumbnail.
#pragma once

#include <cstdint>

namespace kadrix {

inline constexpr int kMaxFrameSide = 16384;
inline constexpr std::int64_t kMaxFramePixels =
    sizeof(void*) >= 8 ? std::int64_t{8192} * 4320 : std::int64_t{4096} * 4096;

// Whether a frame of the size (height negative for top-down rows) is taken.
inline bool FrameFits(std::int64_t width, std::int64_t height)
{
    const std::int64_t rows = height < 0 ? -height : height;
    return width > 0 && rows > 0 && width <= kMaxFrameSide && rows <= kMaxFrameSide &&
           width * rows <= kMaxFramePixels;
}

} // namespace kadrix
