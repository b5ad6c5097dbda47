// The settings key in the registry: the thumbnail request's reader and the
// setup program's writer, both over the one table of names in settings.h.
#pragma once

#include "engine/settings.h"

#include <windows.h>

namespace kadrix {

// Fills the fields from root\Software\Vantrel\KadrixVuvu, value by value. A
// value that is missing, not a REG_DWORD or not 4 bytes long leaves its field
// as it was. Returns false (changing nothing) when the key can't be opened.
bool ReadSettings(ThumbnailSettings& settings, HKEY root = HKEY_CURRENT_USER);

// Creates the key if needed and writes all nine values as REG_DWORD.
// Returns the first failure, or ERROR_SUCCESS.
LSTATUS WriteSettings(const ThumbnailSettings& settings, HKEY root = HKEY_CURRENT_USER);

} // namespace kadrix
