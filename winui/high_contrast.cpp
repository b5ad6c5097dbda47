#include "winui/high_contrast.h"

#include <windows.h>

#include <atomic>

namespace kadrix::winui {
namespace {

std::atomic<int> g_override{-1};

} // namespace

bool HighContrastOn()
{
    if (const int forced = g_override; forced >= 0)
        return forced != 0;
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

void OverrideHighContrastForTests(int on)
{
    g_override = on;
}

} // namespace kadrix::winui
