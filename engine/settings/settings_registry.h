// The settings key in the registry, as the thumbnail request reads it, over
// the one table of names in core/settings.h. (The setup program writes it
// with the error texts of its own registry accessor.)
#pragma once

#include "engine/settings/core/settings.h"

#include <windows.h>

namespace kadrix {

// Fills the fields from root\Software\Vantrel\KadrixVuvu, value by value. A
// value that is missing, not a REG_DWORD or not 4 bytes long leaves its field
// as it was. Returns false (changing nothing) when the key can't be opened.
bool ReadSettings(ThumbnailSettings& settings, HKEY root = HKEY_CURRENT_USER);

} // namespace kadrix
