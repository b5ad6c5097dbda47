// The framework's one scaling rule for windows laid out in pixels: a length
// fixed for 96 DPI (100 %) becomes length x DPI / 96 at the window's DPI,
// rounded as MulDiv rounds (half away from zero). At 96 DPI nothing moves.
// Portable.
#pragma once

#include <cstdint>

namespace kadrix::winui {

inline constexpr int kBaseDpi = 96;

// What MulDiv(value, dpi, 96) answers, for any DPI above zero; a DPI of zero
// or less (a window that is gone) counts as 96.
constexpr int ScaleToDpi(int value, int dpi)
{
    if (dpi <= 0)
        dpi = kBaseDpi;
    const std::int64_t product = std::int64_t{value} * dpi;
    const std::int64_t half = kBaseDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kBaseDpi
                                         : -((-product + half) / kBaseDpi));
}

// Lengths of one window's layout at its DPI.
class DpiScale
{
public:
    constexpr explicit DpiScale(int dpi = kBaseDpi) : dpi_(dpi > 0 ? dpi : kBaseDpi) {}

    constexpr int dpi() const { return dpi_; }
    constexpr int operator()(int value) const { return ScaleToDpi(value, dpi_); }
    // The display scaling in percent: 100, 125, 150, 200, ...
    constexpr int percent() const { return ScaleToDpi(100, dpi_); }

private:
    int dpi_;
};

} // namespace kadrix::winui
