// Thumbnail composition: a cached thumbnail stream becomes the tile the shell
// shows, with the background and gloss of the user's settings.
#pragma once

#include "engine/core/settings.h"

#include <windows.h>

// Decodes the JPEG stream (the video file's path followed by ":vantrelthumb"
// or ":vantrelthumbauto") and draws a cx by cy tile with the look of the
// settings ("Letterbox", "BlackBkg", "WindowBkg", "Glossy"). The caller owns
// the returned bitmap. A stream that does not decode gives a tile of the
// background alone; a tile size that is not positive or larger than
// kadrix::kMaxTileSide gives no bitmap (null).
HBITMAP Compose(const wchar_t* streamName, int cx, int cy, const kadrix::ThumbnailSettings& look);
