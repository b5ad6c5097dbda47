// DIB sections: bitmaps whose pixels the program writes and reads
// itself, whatever the display's depth.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

namespace kadrix {

// The description of width x height pixels of `bitCount` bits (16, 24 or 32:
// the depths without a colour table), rows top first in memory (topDown) or
// bottom first: for DIB sections, GetDIBits and StretchDIBits alike.
inline BITMAPINFO DibInfo(int width, int height, WORD bitCount, bool topDown)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = topDown ? -height : height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitCount;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

inline BITMAPINFO Dib32Info(int width, int height, bool topDown)
{
    return DibInfo(width, height, 32, topDown);
}

// A width x height DIB section of 32 bits a pixel, rows top first in memory
// (topDown) or bottom first; *bits gets its pixels. Null when it can't be made.
inline unique_hbitmap CreateDib32(int width, int height, bool topDown, void** bits)
{
    BITMAPINFO info = Dib32Info(width, height, topDown);
    *bits = nullptr;
    unique_hbitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!*bits)
        bitmap.reset();
    return bitmap;
}

} // namespace kadrix
