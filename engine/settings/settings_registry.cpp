#include "engine/settings/settings_registry.h"

#include "base/unique_handle.h"

namespace kadrix {

bool ReadSettings(ThumbnailSettings& settings, HKEY root)
{
    // Read access is all a request needs; asking for more would lock out a
    // user whose key is read-only, who would then lose their settings.
    unique_hkey key;
    if (::RegOpenKeyExW(root, kSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;

    for (const SettingsValue& value : kSettingsValues) {
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof data;
        // A value of another type or size would be garbage in a 32-bit field.
        if (::RegQueryValueExW(key.get(), value.name, nullptr, &type,
                               reinterpret_cast<BYTE*>(&data), &size) == ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof data)
            settings.*value.field = data;
    }
    return true;
}

} // namespace kadrix
