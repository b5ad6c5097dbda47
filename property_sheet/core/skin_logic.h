// The parts of the skinned buttons and the slider that need no window: cutting
// a face strip into its four faces, choosing the face for a button's state,
// premultiplying the slider thumb, and mapping between slider pixels and clip
// positions. The Win32 controls feed them what GDI hands out and draw what
// they return.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kadrix::tabliq {

// The faces of a strip, in strip order.
enum class Face
{
    Normal = 0,
    Hover = 1,
    Pressed = 2,
    Disabled = 3,
};
inline constexpr int kFaceCount = 4;

// Four faces cut from a strip, each a buffer of rowBytes x height bytes in the
// strip's pixel format, rows top first, ready for CreateBitmap.
struct CutFaces
{
    int width = 0; // of one face, in pixels
    int height = 0;
    int rowBytes = 0; // width x bytes per pixel, rounded up to an even count
    std::array<std::vector<std::uint8_t>, kFaceCount> faces;
};

// Cuts a strip of four faces, each followed by a one-pixel separator column but
// the last, so width = 4 x face width + 3. The pixels are as GetBitmapBits
// returns them: `size` bytes, `height` rows of `widthBytes` bytes, top row
// first. A strip of any other width, a pixel size that is not whole bytes, or
// fewer bytes than its rows need gives no faces.
std::optional<CutFaces> CutFaceStrip(const std::uint8_t* bits, std::size_t size, int width,
                                     int height, int widthBytes, int bitsPixel);

struct ButtonLook
{
    bool disabled = false;
    bool selected = false; // shown pressed
    bool hovering = false;
    bool hasHoverFace = false;
};

Face ChooseFace(const ButtonLook& look);

// Turns straight alpha into the premultiplied form AlphaBlend expects: every
// colour byte of a BGRA pixel becomes c x a / 255, truncated.
void PremultiplyAlpha(std::uint8_t* bgra, std::size_t pixelCount);

// The slider's groove: the thumb travels over clientWidth - 12 pixels, and a
// click maps between 5 pixels from either end.
inline constexpr int kSliderEdge = 5;
inline constexpr int kSliderThumbTravelInset = 12;

// The clip position for a click at x on a slider of the given client width.
std::int64_t SliderPositionAt(int x, int clientWidth, std::int64_t range);

// The x at which the thumb's left edge is drawn for a position.
int SliderThumbLeft(std::int64_t position, std::int64_t range, int clientWidth);

} // namespace kadrix::tabliq
