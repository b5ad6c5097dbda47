#include "com/type_library.h"

#include "com/com_ptr.h"

#include <oleauto.h>

namespace kadrix::com {
namespace {

HRESULT LoadModuleTypeLibrary(const std::wstring& modulePath, com_ptr<ITypeLib>& library)
{
    HRESULT hr = ::LoadTypeLib(modulePath.c_str(), library.put());
    if (SUCCEEDED(hr))
        return hr;
    std::wstring tlb = modulePath;
    const std::size_t dot = tlb.find_last_of(L'.');
    const std::size_t slash = tlb.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
        tlb.erase(dot);
    tlb += L".tlb";
    const HRESULT fallback = ::LoadTypeLib(tlb.c_str(), library.put());
    return SUCCEEDED(fallback) ? fallback : hr;
}

} // namespace

std::wstring HelpDirectoryOf(const std::wstring& path)
{
    const std::size_t end = path.find_last_of(L"\\/:");
    return end == std::wstring::npos ? std::wstring() : path.substr(0, end + 1);
}

HRESULT RegisterTypeLibrary(const std::wstring& modulePath)
{
    com_ptr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLibrary(modulePath, library);
    if (FAILED(hr))
        return hr;
    std::wstring path = modulePath;
    std::wstring help = HelpDirectoryOf(modulePath);
    return ::RegisterTypeLib(library.get(), path.data(), help.empty() ? nullptr : help.data());
}

HRESULT UnregisterTypeLibrary(const std::wstring& modulePath)
{
    com_ptr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLibrary(modulePath, library);
    if (FAILED(hr))
        return hr;
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr))
        return hr;
    hr = ::UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                             attributes->lcid, attributes->syskind);
    library->ReleaseTLibAttr(attributes);
    return hr;
}

} // namespace kadrix::com
