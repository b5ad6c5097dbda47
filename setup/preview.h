// The appearance preview: a sample picture drawn as a square thumbnail (128
// pixels at 96 DPI) with the chosen background and gloss.
#pragma once

#include "setup/core/preview_geometry.h"

#include <windows.h>

namespace kadrix::setup {

// Draws the preview of the sample bitmap, `size` pixels square, onto the
// device context at (0, 0). GDI+ must be running (the program starts it once).
void BuildThumbnail(HBITMAP sample, bool glossy, PreviewMode mode, HDC target,
                    int size = kPreviewSize);

} // namespace kadrix::setup
