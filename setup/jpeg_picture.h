// JPEG pictures decoded with libjpeg into GDI bitmaps: the setup window's
// sample pictures, which the program carries as resources.
#pragma once

#include "com/unique_handle.h"

#include <windows.h>

#include <cstddef>

namespace kadrix::setup {

// Decodes a JPEG held in memory into a 24-bit bitmap of its own size; null
// when the data is not a JPEG libjpeg can decode. A broken picture never
// ends the process: libjpeg's errors come back here.
unique_hbitmap DecodeJpeg(const void* data, std::size_t size);

// Decodes the RCDATA resource "#index" of the module. Throws the window
// framework's error when the resource is missing or does not decode.
unique_hbitmap LoadSamplePicture(HMODULE module, int index);

} // namespace kadrix::setup
