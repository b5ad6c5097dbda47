// Text rules of the framework's error boxes and edit fields. Portable.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kadrix::winui {

// Error boxes end with a full stop, added when the last character's code is
// above the full stop's: after a letter or a digit, not after a closing quote.
std::wstring WithFullStop(std::wstring message);

// A decimal 32-bit integer with an optional sign, leading blanks allowed;
// anything else (an empty text included) is no number.
std::optional<int> ParseInteger(std::wstring_view text);

// As ParseInteger, raising "'%s' is not a valid integer value" for no number.
int TextToInteger(std::wstring_view text);

} // namespace kadrix::winui
