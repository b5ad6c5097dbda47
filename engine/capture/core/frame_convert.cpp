#include "engine/capture/core/frame_convert.h"

namespace kadrix {
namespace {

constexpr int kFractionBits = 16;
constexpr int kHalf = 1 << (kFractionBits - 1);

constexpr int Fixed(double value)
{
    return static_cast<int>(value * (1 << kFractionBits) + 0.5);
}

// R = Y + rv V, G = Y - gu U - gv V, B = Y + bu U, with Y scaled from its
// nominal range and U, V centred on 128, all in 16.16 fixed point.
struct Coefficients
{
    int yOffset;
    int yScale;
    int rv, gu, gv, bu;
};

constexpr Coefficients MakeCoefficients(double kr, double kb, bool limited)
{
    const double kg = 1.0 - kr - kb;
    const double yScale = limited ? 255.0 / 219.0 : 1.0;
    const double cScale = limited ? 255.0 / 224.0 : 1.0;
    return {limited ? 16 : 0,
            Fixed(yScale),
            Fixed(2.0 * (1.0 - kr) * cScale),
            Fixed(2.0 * (1.0 - kb) * kb / kg * cScale),
            Fixed(2.0 * (1.0 - kr) * kr / kg * cScale),
            Fixed(2.0 * (1.0 - kb) * cScale)};
}

constexpr Coefficients kBt601Limited = MakeCoefficients(0.299, 0.114, true);
constexpr Coefficients kBt601Full = MakeCoefficients(0.299, 0.114, false);
constexpr Coefficients kBt709Limited = MakeCoefficients(0.2126, 0.0722, true);
constexpr Coefficients kBt709Full = MakeCoefficients(0.2126, 0.0722, false);

const Coefficients& CoefficientsFor(YuvMatrix matrix, YuvRange range)
{
    const bool full = range == YuvRange::Full;
    if (matrix == YuvMatrix::Bt709)
        return full ? kBt709Full : kBt709Limited;
    return full ? kBt601Full : kBt601Limited;
}

// Clamped before the shift, so a negative value is never shifted.
inline std::uint8_t Channel(int value)
{
    if (value <= 0)
        return 0;
    if (value >= (255 << kFractionBits))
        return 255;
    return static_cast<std::uint8_t>(value >> kFractionBits);
}

bool IsKnown(PixelLayout layout)
{
    switch (layout) {
    case PixelLayout::Nv12:
    case PixelLayout::I420:
    case PixelLayout::Yv12:
    case PixelLayout::Yuy2:
    case PixelLayout::Bgrx:
        return true;
    }
    return false;
}

bool IsPlanar(PixelLayout layout)
{
    return layout == PixelLayout::Nv12 || layout == PixelLayout::I420 ||
           layout == PixelLayout::Yv12;
}

std::size_t HalfUp(int value)
{
    return static_cast<std::size_t>(value / 2 + value % 2);
}

// Whether `rows` rows of rowBytes each, stride bytes apart, fit into room
// bytes; worked out without a product that could overflow.
bool PlaneFits(std::uint64_t room, std::uint64_t rows, std::uint64_t stride, std::uint64_t rowBytes)
{
    if (rows == 0 || rowBytes > room)
        return false;
    return rows == 1 || (stride != 0 && rows - 1 <= (room - rowBytes) / stride);
}

// Row y (top first) of a plane of `rows` rows.
inline const std::uint8_t* Row(const std::uint8_t* plane, std::size_t stride, int rows, int y,
                               bool bottomUp)
{
    return plane + stride * static_cast<std::size_t>(bottomUp ? rows - 1 - y : y);
}

void ConvertBgrxRow(const std::uint8_t* source, int width, std::uint8_t* target)
{
    for (int x = 0; x < width; ++x, source += 4, target += 4) {
        target[0] = source[0];
        target[1] = source[1];
        target[2] = source[2];
        target[3] = 0xFF;
    }
}

// One output row of any YUV layout: the layout decides only where the
// samples of pixel x lie (Y at x * yStep, U and V of its pair at
// (x / 2) * cStep).
void ConvertYuvRow(const std::uint8_t* y, int yStep, const std::uint8_t* u, const std::uint8_t* v,
                   int cStep, int firstX, int width, const Coefficients& k, std::uint8_t* target)
{
    for (int i = 0; i < width; ++i, target += 4) {
        const int x = firstX + i;
        const int luma = (y[x * yStep] - k.yOffset) * k.yScale + kHalf;
        const int cb = u[(x / 2) * cStep] - 128;
        const int cr = v[(x / 2) * cStep] - 128;
        target[0] = Channel(luma + k.bu * cb);
        target[1] = Channel(luma - k.gu * cb - k.gv * cr);
        target[2] = Channel(luma + k.rv * cr);
        target[3] = 0xFF;
    }
}

} // namespace

std::size_t MinimumStride(PixelLayout layout, int width)
{
    if (width <= 0)
        return 0;
    const std::size_t w = static_cast<std::size_t>(width);
    switch (layout) {
    case PixelLayout::Nv12:
        return 2 * HalfUp(width); // the UV rows share the stride
    case PixelLayout::I420:
    case PixelLayout::Yv12:
        return w;
    case PixelLayout::Yuy2:
        return 4 * HalfUp(width);
    case PixelLayout::Bgrx:
        return 4 * w;
    }
    return 0;
}

std::size_t StrideFromLength(PixelLayout layout, int width, int height, std::size_t length)
{
    const std::size_t rowBytes = MinimumStride(layout, width);
    if (rowBytes == 0 || height <= 0)
        return 0;
    // The chroma of every planar layout adds half as many rows of the stride.
    const std::size_t rows =
        static_cast<std::size_t>(height) + (IsPlanar(layout) ? HalfUp(height) : 0);
    if (length % rows != 0 || length / rows < rowBytes)
        return 0;
    return length / rows;
}

bool LocatePlanes(PixelLayout layout, int width, int height, std::size_t stride, bool bottomUp,
                  const std::uint8_t* buffer, std::size_t length, SourceFrame* frame)
{
    const std::size_t rowBytes = MinimumStride(layout, width);
    if (!buffer || !frame || rowBytes == 0 || height <= 0 || stride < rowBytes)
        return false;
    const std::uint64_t room = length;
    const std::uint64_t rows = static_cast<std::uint64_t>(height);
    if (!PlaneFits(room, rows, stride, rowBytes))
        return false;

    const std::uint8_t* planes[3] = {buffer, nullptr, nullptr};
    std::size_t strides[3] = {stride, 0, 0};
    if (IsPlanar(layout)) {
        // The chroma planes follow the whole luma plane, each whole in turn.
        const std::uint64_t chromaRows = HalfUp(height);
        if (rows > room / stride)
            return false;
        const std::uint64_t first = rows * stride;
        if (layout == PixelLayout::Nv12) {
            if (!PlaneFits(room - first, chromaRows, stride, 2 * HalfUp(width)))
                return false;
            planes[1] = buffer + static_cast<std::size_t>(first);
            strides[1] = stride;
        } else {
            const std::size_t chromaStride = stride / 2 + stride % 2;
            const std::size_t chromaBytes = HalfUp(width);
            if (!PlaneFits(room - first, chromaRows, chromaStride, chromaBytes) ||
                chromaRows > (room - first) / chromaStride)
                return false;
            const std::uint64_t second = first + chromaRows * chromaStride;
            if (!PlaneFits(room - second, chromaRows, chromaStride, chromaBytes))
                return false;
            const bool uFirst = layout == PixelLayout::I420;
            planes[1] = buffer + static_cast<std::size_t>(uFirst ? first : second);
            planes[2] = buffer + static_cast<std::size_t>(uFirst ? second : first);
            strides[1] = strides[2] = chromaStride;
        }
    }

    frame->layout = layout;
    frame->width = width;
    frame->height = height;
    frame->bottomUp = bottomUp;
    for (int i = 0; i < 3; ++i) {
        frame->plane[i] = planes[i];
        frame->stride[i] = strides[i];
    }
    return true;
}

ConvertResult ConvertToBgrx(const SourceFrame& source, const FrameRect& crop, std::uint8_t* target,
                            std::size_t targetStride)
{
    if (!IsKnown(source.layout))
        return ConvertResult::Unsupported;

    const int w = source.width;
    const int h = source.height;
    if (!target || w <= 0 || h <= 0 || crop.x < 0 || crop.y < 0 || crop.width <= 0 ||
        crop.height <= 0 || crop.width > w - crop.x || crop.height > h - crop.y ||
        targetStride / 4 < static_cast<std::size_t>(crop.width))
        return ConvertResult::BadGeometry;
    if (!source.plane[0] || source.stride[0] < MinimumStride(source.layout, w))
        return ConvertResult::BadGeometry;
    const bool nv12 = source.layout == PixelLayout::Nv12;
    const bool planar3 = IsPlanar(source.layout) && !nv12;
    if (nv12 && (!source.plane[1] || source.stride[1] < 2 * HalfUp(w)))
        return ConvertResult::BadGeometry;
    if (planar3 && (!source.plane[1] || !source.plane[2] || source.stride[1] < HalfUp(w) ||
                    source.stride[2] < HalfUp(w)))
        return ConvertResult::BadGeometry;

    const Coefficients& k = CoefficientsFor(source.matrix, source.range);
    const int chromaRows = static_cast<int>(HalfUp(h));
    for (int j = 0; j < crop.height; ++j) {
        const int y = crop.y + j;
        std::uint8_t* out = target + targetStride * static_cast<std::size_t>(j);
        const std::uint8_t* row = Row(source.plane[0], source.stride[0], h, y, source.bottomUp);
        switch (source.layout) {
        case PixelLayout::Bgrx:
            ConvertBgrxRow(row + static_cast<std::size_t>(crop.x) * 4, crop.width, out);
            break;
        case PixelLayout::Yuy2:
            ConvertYuvRow(row, 2, row + 1, row + 3, 4, crop.x, crop.width, k, out);
            break;
        case PixelLayout::Nv12: {
            const std::uint8_t* uv =
                Row(source.plane[1], source.stride[1], chromaRows, y / 2, source.bottomUp);
            ConvertYuvRow(row, 1, uv, uv + 1, 2, crop.x, crop.width, k, out);
            break;
        }
        case PixelLayout::I420:
        case PixelLayout::Yv12: {
            const std::uint8_t* u =
                Row(source.plane[1], source.stride[1], chromaRows, y / 2, source.bottomUp);
            const std::uint8_t* v =
                Row(source.plane[2], source.stride[2], chromaRows, y / 2, source.bottomUp);
            ConvertYuvRow(row, 1, u, v, 1, crop.x, crop.width, k, out);
            break;
        }
        }
    }
    return ConvertResult::Converted;
}

} // namespace kadrix
