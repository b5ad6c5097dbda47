#include "engine/settings_registry.h"

#include "com/unique_handle.h"

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

LSTATUS WriteSettings(const ThumbnailSettings& settings, HKEY root)
{
    unique_hkey key;
    LSTATUS status = ::RegCreateKeyExW(root, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    for (const SettingsValue& value : kSettingsValues) {
        const DWORD data = settings.*value.field;
        status = ::RegSetValueExW(key.get(), value.name, 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&data), sizeof data);
        if (status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

} // namespace kadrix
