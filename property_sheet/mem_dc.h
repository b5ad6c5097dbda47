// An off-screen copy of a rectangle of a device context. Drawing goes into
// the copy, and the destructor puts the picture back in one blit, so what is
// drawn never flickers. A printer context is drawn on directly.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

namespace kadrix {

class CMemDC
{
public:
    // The copy starts as what the target shows in the rectangle (logical
    // units of the target), and is drawn on in the target's coordinates.
    CMemDC(HDC target, const RECT& rect);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // Where to draw.
    HDC get() const { return offScreen_ ? memory_.get() : target_; }

private:
    unique_hbitmap bitmap_;
    HGDIOBJ oldBitmap_ = nullptr;
    HDC target_;
    RECT rect_;
    bool offScreen_;
    unique_hdc memory_;
};

} // namespace kadrix
