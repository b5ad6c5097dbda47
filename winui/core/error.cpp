#include "winui/core/error.h"

namespace kadrix::winui {

Error::Error(std::wstring message) : message_(std::move(message))
{
    narrow_.reserve(message_.size());
    for (wchar_t c : message_)
        narrow_.push_back(c < 0x80 ? static_cast<char>(c) : '?');
}

std::wstring FormatText(std::wstring_view pattern, std::wstring_view argument)
{
    std::wstring text(pattern);
    const std::size_t at = text.find(L"%s");
    if (at != std::wstring::npos)
        text.replace(at, 2, argument);
    return text;
}

} // namespace kadrix::winui
