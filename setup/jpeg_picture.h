// JPEG pictures decoded (by the engine's codec) into GDI bitmaps: the setup
// window's sample pictures, which the program carries as resources.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

#include <cstddef>
#include <string>

namespace kadrix::setup {

// Decodes a JPEG held in memory into a 32-bit bitmap of its own size; null
// when the data is not a JPEG libjpeg can decode. A broken picture never
// ends the process: libjpeg's errors come back here.
unique_hbitmap DecodeJpeg(const void* data, std::size_t size);

// Decodes the module's RCDATA resource of that name. Throws the window
// framework's error when the resource is missing or does not decode.
unique_hbitmap LoadJpegResource(HMODULE module, const std::wstring& name);

// The picture drawn anew at width x height in high quality (a picture laid
// out for 96 DPI, shown at another); null when it can't be made. GDI+ must
// be running (the program starts it once).
unique_hbitmap ScalePicture(HBITMAP picture, int width, int height);

// The preview's sample picture `index` (1 to 5): the resource "#index".
unique_hbitmap LoadSamplePicture(HMODULE module, int index);

} // namespace kadrix::setup
