#include "setup/core/registry.h"

namespace kadrix::setup {

RegistryValue StringValue(std::wstring_view text)
{
    RegistryValue value{ValueType::String, {}};
    value.data.reserve((text.size() + 1) * 2);
    for (wchar_t c : text) {
        const auto unit = static_cast<std::uint16_t>(c);
        value.data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        value.data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    value.data.push_back(0);
    value.data.push_back(0);
    return value;
}

RegistryValue DWordValue(std::uint32_t number)
{
    RegistryValue value{ValueType::DWord, {}};
    for (int shift = 0; shift < 32; shift += 8)
        value.data.push_back(static_cast<std::uint8_t>(number >> shift));
    return value;
}

std::wstring TextOf(const RegistryValue& value)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const auto unit = static_cast<wchar_t>(value.data[i] | (value.data[i + 1] << 8));
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

RegistryError FailedToGetData(std::wstring_view name)
{
    return RegistryError(winui::FormatText(L"Failed to get data for '%s'", name));
}

RegistryError InvalidDataType(std::wstring_view name)
{
    return RegistryError(winui::FormatText(L"Invalid data type for '%s'", name));
}

RegistryError FailedToSetData(std::wstring_view name)
{
    return RegistryError(winui::FormatText(L"Failed to set data for '%s'", name));
}

std::wstring Registry::ReadString(std::wstring_view name)
{
    const std::optional<RegistryValue> value = ReadValue(name);
    if (!value || value->data.empty())
        return {};
    if (value->type != ValueType::String && value->type != ValueType::ExpandString)
        throw InvalidDataType(name);
    return TextOf(*value);
}

void Registry::WriteString(std::wstring_view name, std::wstring_view text)
{
    WriteValue(name, StringValue(text));
}

std::int32_t Registry::ReadInteger(std::wstring_view name)
{
    const std::optional<RegistryValue> value = ReadValue(name);
    if (!value || value->data.size() > 4)
        throw FailedToGetData(name);
    if (value->type != ValueType::DWord)
        throw InvalidDataType(name);
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < value->data.size(); ++i)
        number |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
    return static_cast<std::int32_t>(number);
}

void Registry::WriteInteger(std::wstring_view name, std::int32_t value)
{
    WriteValue(name, DWordValue(static_cast<std::uint32_t>(value)));
}

} // namespace kadrix::setup
