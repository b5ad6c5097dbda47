// Writes the settings key as the setup program's Apply does, for tests that
// need the thumbnail request to see given settings.
#pragma once

#include "engine/settings/core/settings.h"

#include <windows.h>

namespace kadrix::test {

// Creates the key if needed and writes all nine values as REG_DWORD.
// Returns the first failure, or ERROR_SUCCESS.
LSTATUS WriteSettings(const ThumbnailSettings& settings, HKEY root = HKEY_CURRENT_USER);

} // namespace kadrix::test
