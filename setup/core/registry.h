// The registry as the setup program sees it: an accessor with a root and a
// current key, over which the settings and the file type association are
// written. Portable: the Win32 accessor (registry.h) and the tests' fake
// registry implement it, and the rules above the raw operations live here.
#pragma once

#include "winui/core/error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrix::setup {

// The registry's own type codes.
enum class ValueType : std::uint32_t
{
    String = 1,
    ExpandString = 2,
    Binary = 3,
    DWord = 4,
    MultiString = 7,
};

struct RegistryValue
{
    ValueType type = ValueType::Binary;
    std::vector<std::uint8_t> data;

    bool operator==(const RegistryValue& other) const
    {
        return type == other.type && data == other.data;
    }
};

// Values as the registry stores them: strings in UTF-16 with a terminator,
// DWORDs in 4 little-endian bytes.
RegistryValue StringValue(std::wstring_view text);
RegistryValue DWordValue(std::uint32_t value);
// The text of a string value, without its terminator.
std::wstring TextOf(const RegistryValue& value);

class RegistryError : public winui::Error
{
public:
    using winui::Error::Error;
};

// "Failed to get data for '%s'", "Invalid data type for '%s'" and "Failed to
// set data for '%s'", the value's name in place of %s.
RegistryError FailedToGetData(std::wstring_view name);
RegistryError InvalidDataType(std::wstring_view name);
RegistryError FailedToSetData(std::wstring_view name);

// An empty value name stands for the key's default value.
class Registry
{
public:
    virtual ~Registry() = default;

    // Opens a path below the current key, or below the root while no key is
    // current (or when the path starts with a backslash), and makes it
    // current; `create` creates the keys that are missing. A failed open
    // leaves the current key as it was.
    virtual bool OpenKey(std::wstring_view path, bool create) = 0;
    // After this no key is current.
    virtual void CloseKey() = 0;
    // Whether a path, taken as OpenKey takes it, names a key.
    virtual bool KeyExists(std::wstring_view path) = 0;
    // A value of the current key as stored; none when it does not exist.
    // Raises FailedToGetData when it exists but can't be read.
    virtual std::optional<RegistryValue> ReadValue(std::wstring_view name) = 0;
    // Raises FailedToSetData when the value can't be written.
    virtual void WriteValue(std::wstring_view name, const RegistryValue& value) = 0;
    virtual bool DeleteValue(std::wstring_view name) = 0;
    // Deletes a key below the current key (or the root), its subkeys with it.
    virtual bool DeleteKey(std::wstring_view path) = 0;

    bool ValueExists(std::wstring_view name) { return ReadValue(name).has_value(); }
    // A missing or empty value reads as ""; a value of another type than
    // REG_SZ or REG_EXPAND_SZ raises InvalidDataType.
    std::wstring ReadString(std::wstring_view name);
    void WriteString(std::wstring_view name, std::wstring_view text);
    // A missing value or one longer than 4 bytes raises FailedToGetData,
    // any other value that is not a REG_DWORD InvalidDataType.
    std::int32_t ReadInteger(std::wstring_view name);
    void WriteInteger(std::wstring_view name, std::int32_t value);
};

} // namespace kadrix::setup
