// The parts of the skinned buttons and the slider that need no window: cutting
// a face strip into its four faces, choosing the face for a button's state,
// premultiplying the slider thumb, and mapping between slider pixels and clip
// positions. The Win32 controls feed them what GDI hands out and draw what
// they return.
#pragma once

#include "winui/core/dpi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
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

// The artwork comes in four sets, drawn for 100, 125, 150 and 200 % of the
// display's scaling. A page takes the set nearest at or above its own
// scaling (and stretches it down to fit); past 200 % it stretches the 200 %
// set up.
inline constexpr std::array<int, 4> kArtScales = {100, 125, 150, 200};
int ArtScaleFor(int percent);
// The resource of a bitmap in a set: the 100 % set has the identifiers the
// page's resources name, each larger set the same ones plus 1000 per step.
int ArtResourceId(int resourceId, int artScale);

// The slider's lengths at one scaling. At 100 %: a groove 12 pixels high of
// two 4-pixel caps and the track between them; a 10-pixel thumb drawn 1 pixel
// in from the top and from either end of its travel, which is the client
// width less 12; a click maps between 5 pixels from either end.
struct SliderMetrics
{
    int grooveHeight = 12;
    int capWidth = 4;
    int thumbSide = 10;
    int thumbMargin = 1;
    int travelInset = 12;
    int edge = 5;
};
SliderMetrics SliderMetricsAt(const winui::DpiScale& scale);

// Kept for the lengths at 100 %.
inline constexpr int kSliderEdge = SliderMetrics{}.edge;
inline constexpr int kSliderThumbTravelInset = SliderMetrics{}.travelInset;

// The clip position for a click at x on a slider of the given client width.
std::int64_t SliderPositionAt(int x, int clientWidth, std::int64_t range,
                              const SliderMetrics& metrics = {});

// The x at which the thumb's left edge is drawn for a position.
int SliderThumbLeft(std::int64_t position, std::int64_t range, int clientWidth,
                    const SliderMetrics& metrics = {});

// The slider's position and the clip's length as its tooltip shows them,
// "0:01:23.456 / 0:42:10.000" (hours, minutes, seconds, milliseconds; a
// negative time as 0).
std::wstring ClipTimeText(std::int64_t position, std::int64_t duration);

// A face drawn again in two system colours for high contrast: each pixel
// of the normal face (BGRA, as GetDIBits gives it) becomes the background
// or the glyph colour (0x00RRGGBB), or a blend of them where the glyph's
// edge passes, by how light it is: the light glyphs on the dark bar keep
// their shape and their smooth edges.
void RecolourFace(std::uint32_t* pixels, std::size_t count, std::uint32_t background,
                  std::uint32_t glyph);

} // namespace kadrix::tabliq
