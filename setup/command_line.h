// The setup program's switches and the shell's thumbnail cache files.
// Portable.
#pragma once

#include <string>
#include <string_view>

namespace kadrix::setup {

enum class Switch
{
    None, // the window
    CleanCache,
    Register,
    Unregister,
};

// The switch the first parameter names: "-cleancache", "-register" or
// "-unregister", exactly, case included; anything else is none.
Switch SwitchOf(std::wstring_view firstParameter);

// The folder of the cache files below LOCALAPPDATA, with a path delimiter
// between the two when LOCALAPPDATA does not end in one.
std::wstring ThumbnailCacheFolder(std::wstring_view localAppData);
// The pattern the cache files match within that folder.
inline constexpr wchar_t kThumbnailCacheFiles[] = L"thumbcache*.*";

} // namespace kadrix::setup
