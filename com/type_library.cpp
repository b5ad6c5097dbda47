#include "com/type_library.h"

#include "base/com_ptr.h"
#include "base/module_path.h"
#include "base/unique_handle.h"

#include <oleauto.h>

#include <cwchar>

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

// Whether the type library is registered for this platform: the key
// TypeLib\{LIBID}\<major>.<minor>\<lcid>\<win32|win64> exists. (The two
// bitnesses share the LIBID and the version; each registers its own platform.)
bool IsRegistered(const TLIBATTR& attributes)
{
    wchar_t libId[40] = {};
    if (::StringFromGUID2(attributes.guid, libId, 40) == 0)
        return true; // can't tell: let the platform decide
    const wchar_t* platform = attributes.syskind == SYS_WIN64 ? L"win64" : L"win32";
    wchar_t path[128];
    std::swprintf(path, 128, L"TypeLib\\%ls\\%x.%x\\%lx\\%ls", libId, attributes.wMajorVerNum,
                  attributes.wMinorVerNum, static_cast<unsigned long>(attributes.lcid), platform);
    kadrix::unique_hkey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, key.put()) != ERROR_FILE_NOT_FOUND;
}

} // namespace

HRESULT RegisterTypeLibrary(const std::wstring& modulePath)
{
    com_ptr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLibrary(modulePath, library);
    if (FAILED(hr))
        return hr;
    std::wstring path = modulePath;
    std::wstring help = FolderOf(modulePath);
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
    // Not registered (never, or no longer) is what unregistration wants; the
    // platform would report it as a failure of its own.
    hr = IsRegistered(*attributes)
             ? ::UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum,
                                   attributes->wMinorVerNum, attributes->lcid, attributes->syskind)
             : S_OK;
    library->ReleaseTLibAttr(attributes);
    return hr;
}

} // namespace kadrix::com
