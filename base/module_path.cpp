#include "base/module_path.h"

namespace kadrix {

std::wstring ModulePath(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        // A path that filled the buffer may have been cut: ask again with more room.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring FolderOf(std::wstring_view path)
{
    const std::size_t end = path.find_last_of(L"\\/:");
    return end == std::wstring_view::npos ? std::wstring() : std::wstring(path.substr(0, end + 1));
}

std::wstring FileNameOf(std::wstring_view path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

} // namespace kadrix
