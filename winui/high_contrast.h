// Whether the user asked for high contrast: windows that draw themselves
// from bitmaps then draw in the system colours instead.
#pragma once

namespace kadrix::winui {

// SPI_GETHIGHCONTRAST, asked anew each time (the user switches it while the
// windows are open, and they learn it from WM_SYSCOLORCHANGE).
bool HighContrastOn();

// For tests on systems that can't switch it (Wine): 1 on, 0 off, -1 as the
// system says.
void OverrideHighContrastForTests(int on);

} // namespace kadrix::winui
