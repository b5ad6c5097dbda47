#include "setup/cache_cleaning.h"

#include "setup/core/cache_files.h"
#include "winui/application.h"

#include <windows.h>

#include <string>

namespace kadrix::setup {
namespace {

std::wstring LocalAppData()
{
    const DWORD size = ::GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    value.resize(::GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), size));
    return value;
}

void ReportUndeletable(const std::wstring& name, DWORD error)
{
    const std::wstring text = L"Can't delete " + name + L" Error " + std::to_wstring(error);
    if (winui::Application* application = winui::Application::Instance())
        application->ShowMessage(nullptr, text, L"Error", MB_OK);
    else
        ::MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK);
}

} // namespace

void CleanThumbnailCache()
{
    const std::wstring folder = ThumbnailCacheFolder(LocalAppData());
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder + kThumbnailCacheFiles).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (!::DeleteFileW((folder + name).c_str()))
            ReportUndeletable(name, ::GetLastError());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

} // namespace kadrix::setup
