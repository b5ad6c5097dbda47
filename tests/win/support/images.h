// Bitmaps to feed the engine and probes to read its pictures back.
#pragma once

#include "base/image_encoders.h"
#include "base/screen_capture.h"
#include "base/unique_handle.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kadrix::test {

struct Rgb
{
    int r, g, b;
};

// A 32-bit bitmap of one colour.
unique_hbitmap MakeSolidBitmap(int width, int height, Rgb colour);
// A 32-bit bitmap whose top half is one colour and bottom half another, so a
// picture turned upside down shows.
unique_hbitmap MakeTwoToneBitmap(int width, int height, Rgb top, Rgb bottom);

// PNG files for a person to look at, and what the screen shows of a window.
using kadrix::CaptureClientArea;
using kadrix::SavePng;

// A decoded picture in 32-bit BGRA, top row first.
struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB

    bool empty() const { return pixels.empty(); }
    Rgb at(int x, int y) const;
    // Mean colour of a rectangle, to look past JPEG and scaling noise.
    Rgb mean(int x, int y, int w, int h) const;
};

// Decodes an image file (or stream) with GDI+; empty when it does not decode.
Picture LoadPicture(const std::wstring& path);
// Reads a GDI bitmap's pixels.
Picture PictureFromBitmap(HBITMAP bitmap);

// True when every channel is within tolerance.
bool Near(Rgb a, Rgb b, int tolerance);

} // namespace kadrix::test

// For readable failure messages.
#include <ostream>
inline std::ostream& operator<<(std::ostream& out, const kadrix::test::Rgb& c)
{
    return out << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}
