// The framework's error: what a window shows in its error box. Portable, so
// the logic that raises it is unit-tested natively.
#pragma once

#include <exception>
#include <string>

namespace kadrix::winui {

class Error : public std::exception
{
public:
    explicit Error(std::wstring message);
    const std::wstring& message() const noexcept { return message_; }
    const char* what() const noexcept override { return narrow_.c_str(); }

private:
    std::wstring message_;
    std::string narrow_; // for what(): non-ASCII characters become '?'
};

// Puts the argument in place of the first "%s" of the pattern.
std::wstring FormatText(std::wstring_view pattern, std::wstring_view argument);

} // namespace kadrix::winui
