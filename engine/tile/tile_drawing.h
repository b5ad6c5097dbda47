// Drawing that the thumbnail tiles and the setup program's appearance
// preview share, so that both show the same colours and the same wedge.
#pragma once

#include "base/gdiplus.h"
#include "engine/tile/core/tile_geometry.h"

namespace kadrix {

// The system's window colour, opaque, as GDI+ takes it.
Gdiplus::ARGB WindowColour();

// Fills the gloss wedge with the brush, in the graphics' current quality.
void FillWedge(Gdiplus::GpGraphics* graphics, Gdiplus::GpBrush* brush, const GlossWedge& wedge);

} // namespace kadrix
