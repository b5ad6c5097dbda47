// libFuzzer driver: the decoded-frame converter as the Media Foundation grab
// calls it, within what that caller guarantees (a known layout, a frame of
// at most kMaxFrameSide a side and kMaxFramePixels, a crop inside the frame,
// a target of exactly the crop) and with everything else from the input.
//
// The input is an 18-byte preamble, then the decoder's buffer:
//   byte 0       the layout (modulo 5: NV12, I420, YV12, YUY2, BGRX)
//   byte 1       bit 0 bottom-up rows, bit 1 BT.709, bit 2 full range; bits
//                4-5 where the stride comes from: 0 bytes 14-17, 1 the
//                buffer's length, 2 the layout's minimum
//   bytes 2-5    width, height (16-bit little-endian each)
//   bytes 6-13   the crop's x, y, width, height (16-bit each); one outside
//                the frame stands for the whole frame, as the caller does
//   bytes 14-17  the stride (32-bit little-endian)
//
// Beyond what ASan and UBSan find, an input fails when the converter writes
// the target without reporting a conversion, or reports one and leaves a
// pixel of the crop unwritten.
#include "engine/capture/core/frame_convert.h"
#include "engine/core/frame_limits.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace kadrix;

constexpr std::size_t kPreamble = 18;
constexpr std::uint8_t kUntouched = 0xA5;

int U16(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8);
}

void Fail(const char* what)
{
    std::fprintf(stderr, "frame converter: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t length)
{
    if (length < kPreamble)
        return 0;
    constexpr PixelLayout kLayouts[] = {PixelLayout::Nv12, PixelLayout::I420, PixelLayout::Yv12,
                                        PixelLayout::Yuy2, PixelLayout::Bgrx};
    const PixelLayout layout = kLayouts[input[0] % 5];
    const int width = U16(input + 2), height = U16(input + 4);
    if (!FrameFits(width, height))
        return 0;
    FrameRect crop{U16(input + 6), U16(input + 8), U16(input + 10), U16(input + 12)};
    if (crop.width <= 0 || crop.height <= 0 || crop.width > width - crop.x ||
        crop.height > height - crop.y)
        crop = {0, 0, width, height};
    const std::uint8_t* buffer = input + kPreamble;
    const std::size_t size = length - kPreamble;
    std::size_t stride = static_cast<std::size_t>(input[14]) | (std::size_t{input[15]} << 8) |
                         (std::size_t{input[16]} << 16) | (std::size_t{input[17]} << 24);
    if ((input[1] >> 4 & 3) == 1)
        stride = StrideFromLength(layout, width, height, size);
    else if ((input[1] >> 4 & 3) == 2)
        stride = MinimumStride(layout, width);

    SourceFrame source;
    source.matrix = input[1] & 2 ? YuvMatrix::Bt709 : YuvMatrix::Bt601;
    source.range = input[1] & 4 ? YuvRange::Full : YuvRange::Limited;
    if (!LocatePlanes(layout, width, height, stride, (input[1] & 1) != 0, buffer, size, &source))
        return 0;

    // The planes lie in the input: the target is no larger than four times it.
    const std::size_t rowBytes = static_cast<std::size_t>(crop.width) * 4;
    std::vector<std::uint8_t> target(rowBytes * static_cast<std::size_t>(crop.height), kUntouched);
    const ConvertResult result = ConvertToBgrx(source, crop, target.data(), rowBytes);
    if (result != ConvertResult::Converted) {
        for (const std::uint8_t byte : target)
            if (byte != kUntouched)
                Fail("a target written without a conversion");
        return 0;
    }
    for (std::size_t i = 3; i < target.size(); i += 4)
        if (target[i] != 0xFF)
            Fail("a pixel of the crop not written");
    return 0;
}
