#include "support/settings_writer.h"

#include "base/unique_handle.h"

namespace kadrix::test {

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

} // namespace kadrix::test
