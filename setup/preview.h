// The appearance preview: a sample picture drawn as a 128 x 128 thumbnail
// with the chosen background and gloss.
#pragma once

#include "setup/core/preview_geometry.h"

#include <windows.h>

namespace kadrix::setup {

// Draws the preview of the sample bitmap onto the device context at (0, 0).
// GDI+ must be running (the program starts it once).
void BuildThumbnail(HBITMAP sample, bool glossy, PreviewMode mode, HDC target);

} // namespace kadrix::setup
