// Where the shell keeps its thumbnail cache files, which "-cleancache"
// deletes. Portable.
#pragma once

#include <string>
#include <string_view>

namespace kadrix::setup {

// The folder of the cache files below LOCALAPPDATA, with a path delimiter
// between the two when LOCALAPPDATA does not end in one.
std::wstring ThumbnailCacheFolder(std::wstring_view localAppData);
// The pattern the cache files match within that folder.
inline constexpr wchar_t kThumbnailCacheFiles[] = L"thumbcache*.*";

} // namespace kadrix::setup
