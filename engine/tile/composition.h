// Thumbnail composition: a cached thumbnail stream becomes the tile the shell
// shows, with the background and gloss of the user's settings.
#pragma once

#include "engine/settings/core/settings.h"

#include <windows.h>

namespace kadrix {

// Decodes the JPEG stream (the video file's path followed by ":vantrelthumb"
// or ":vantrelthumbauto") and draws a cx by cy tile with the look of the
// settings ("Letterbox", "BlackBkg", "WindowBkg", "Glossy"). The caller owns
// the returned bitmap, a 32-bit DIB section. A stream that does not decode
// gives a tile of the background alone; a tile size that is not positive or
// larger than kMaxTileSide gives no bitmap (null).
//
// The JPEG is decoded no larger than the tile needs, and the tile is drawn
// straight into its bitmap's pixels; the drawing is GDI+'s.
HBITMAP Compose(const wchar_t* streamName, int cx, int cy, const ThumbnailSettings& look);

// The same tile from a frame the capture has just grabbed (a 32-bit
// bottom-up DIB at the clip's size), without the JPEG round trip. Anything
// else counts as a frame that does not decode.
HBITMAP ComposeFrame(HBITMAP frame, int cx, int cy, const ThumbnailSettings& look);

} // namespace kadrix
