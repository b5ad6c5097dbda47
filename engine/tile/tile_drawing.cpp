#include "engine/tile/tile_drawing.h"

namespace kadrix {

Gdiplus::ARGB WindowColour()
{
    const COLORREF c = ::GetSysColor(COLOR_WINDOW);
    return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

void FillWedge(Gdiplus::GpGraphics* graphics, Gdiplus::GpBrush* brush, const GlossWedge& wedge)
{
    Gdiplus::PointF points[4];
    for (int i = 0; i < 4; ++i)
        points[i] = Gdiplus::PointF(wedge[i].x, wedge[i].y);
    Gdiplus::DllExports::GdipFillPolygon(graphics, brush, points, 4, Gdiplus::FillModeAlternate);
}

} // namespace kadrix
