#include "setup/command_line.h"

namespace kadrix::setup {

Switch SwitchOf(std::wstring_view firstParameter)
{
    if (firstParameter == L"-cleancache")
        return Switch::CleanCache;
    if (firstParameter == L"-register")
        return Switch::Register;
    if (firstParameter == L"-unregister")
        return Switch::Unregister;
    return Switch::None;
}

std::wstring ThumbnailCacheFolder(std::wstring_view localAppData)
{
    std::wstring folder(localAppData);
    if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/'))
        folder.push_back(L'\\');
    return folder + L"Microsoft\\Windows\\Explorer\\";
}

} // namespace kadrix::setup
