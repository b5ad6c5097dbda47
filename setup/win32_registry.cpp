#include "setup/win32_registry.h"

#include <string>

namespace kadrix::setup {

static_assert(static_cast<DWORD>(ValueType::String) == REG_SZ &&
              static_cast<DWORD>(ValueType::ExpandString) == REG_EXPAND_SZ &&
              static_cast<DWORD>(ValueType::Binary) == REG_BINARY &&
              static_cast<DWORD>(ValueType::DWord) == REG_DWORD &&
              static_cast<DWORD>(ValueType::MultiString) == REG_MULTI_SZ);

HKEY Win32Registry::BaseOf(std::wstring_view& path) const
{
    if (!path.empty() && path.front() == L'\\') {
        path.remove_prefix(1);
        return root_;
    }
    return Current();
}

bool Win32Registry::OpenKey(std::wstring_view path, bool create)
{
    HKEY base = BaseOf(path);
    const std::wstring subkey(path);
    HKEY opened = nullptr;
    const LSTATUS status =
        create ? ::RegCreateKeyExW(base, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   access_, nullptr, &opened, nullptr)
               : ::RegOpenKeyExW(base, subkey.c_str(), 0, access_, &opened);
    if (status != ERROR_SUCCESS)
        return false;
    current_.reset(opened);
    return true;
}

bool Win32Registry::KeyExists(std::wstring_view path)
{
    HKEY base = BaseOf(path);
    const std::wstring subkey(path);
    unique_hkey key;
    return ::RegOpenKeyExW(base, subkey.c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

std::optional<RegistryValue> Win32Registry::ReadValue(std::wstring_view name)
{
    const std::wstring valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status =
        ::RegQueryValueExW(Current(), valueName.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    RegistryValue value;
    // The value may grow between the two queries; ask again until it fits.
    for (;;) {
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
            throw FailedToGetData(name);
        value.data.resize(size);
        status = ::RegQueryValueExW(Current(), valueName.c_str(), nullptr, &type,
                                    value.data.empty() ? nullptr : value.data.data(), &size);
        if (status == ERROR_SUCCESS)
            break;
        if (status == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
    }
    value.data.resize(size);
    value.type = static_cast<ValueType>(type);
    return value;
}

void Win32Registry::WriteValue(std::wstring_view name, const RegistryValue& value)
{
    const std::wstring valueName(name);
    if (::RegSetValueExW(Current(), valueName.c_str(), 0, static_cast<DWORD>(value.type),
                         value.data.data(), static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS)
        throw FailedToSetData(name);
}

bool Win32Registry::DeleteValue(std::wstring_view name)
{
    const std::wstring valueName(name);
    return ::RegDeleteValueW(Current(), valueName.c_str()) == ERROR_SUCCESS;
}

bool Win32Registry::DeleteKey(std::wstring_view path)
{
    HKEY base = BaseOf(path);
    const std::wstring subkey(path);
    if (subkey.empty())
        return false;
    return ::RegDeleteTreeW(base, subkey.c_str()) == ERROR_SUCCESS;
}

} // namespace kadrix::setup
