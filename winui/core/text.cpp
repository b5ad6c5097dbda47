#include "winui/core/text.h"

#include "winui/core/error.h"

#include <cstdint>

namespace kadrix::winui {

std::wstring WithFullStop(std::wstring message)
{
    if (!message.empty() && message.back() > L'.')
        message.push_back(L'.');
    return message;
}

std::optional<int> ParseInteger(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == L' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    if (i == text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return std::nullopt;
        value = value * 10 + (text[i] - L'0');
        if (value > std::int64_t{INT32_MAX} + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

int TextToInteger(std::wstring_view text)
{
    if (const std::optional<int> value = ParseInteger(text))
        return *value;
    throw Error(FormatText(L"'%s' is not a valid integer value", text));
}

} // namespace kadrix::winui
