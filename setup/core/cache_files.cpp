#include "setup/core/cache_files.h"

namespace kadrix::setup {

std::wstring ThumbnailCacheFolder(std::wstring_view localAppData)
{
    std::wstring folder(localAppData);
    if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/'))
        folder.push_back(L'\\');
    return folder + L"Microsoft\\Windows\\Explorer\\";
}

} // namespace kadrix::setup
