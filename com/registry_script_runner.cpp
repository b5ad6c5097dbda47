#include "com/registry_script_runner.h"

#include "base/unique_handle.h"

#include <string>

namespace kadrix::com {
namespace {

HKEY RootKey(const std::wstring& name)
{
    struct Root
    {
        const wchar_t* shortName;
        const wchar_t* longName;
        HKEY key;
    };
    static const Root roots[] = {
        {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKU", L"HKEY_USERS", HKEY_USERS},
    };
    for (const Root& root : roots)
        if (_wcsicmp(name.c_str(), root.shortName) == 0 ||
            _wcsicmp(name.c_str(), root.longName) == 0)
            return root.key;
    return nullptr;
}

LSTATUS SetValue(HKEY key, const wchar_t* name, const ScriptValue& value)
{
    if (value.type == ScriptValue::Type::Dword) {
        const DWORD data = value.dword;
        return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                sizeof data);
    }
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                            static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t)));
}

HRESULT Register(HKEY parent, const RegistryKey& key)
{
    if (key.removal == RegistryKey::Removal::ForceRemove)
        (void)::RegDeleteTreeW(parent, key.name.c_str()); // gone already is fine

    unique_hkey opened;
    LSTATUS status =
        ::RegCreateKeyExW(parent, key.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, opened.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    if (key.defaultValue &&
        (status = SetValue(opened.get(), nullptr, *key.defaultValue)) != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    for (const auto& [name, value] : key.values)
        if ((status = SetValue(opened.get(), name.c_str(), value)) != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
    for (const RegistryKey& subkey : key.subkeys) {
        const HRESULT hr = Register(opened.get(), subkey);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

bool HasSubkeys(HKEY key)
{
    DWORD subkeys = 0;
    return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys > 0;
}

bool IsGone(LSTATUS status)
{
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

HRESULT Unregister(HKEY parent, const RegistryKey& key)
{
    if (key.removal == RegistryKey::Removal::ForceRemove) {
        const LSTATUS status = ::RegDeleteTreeW(parent, key.name.c_str());
        return IsGone(status) ? S_OK : HRESULT_FROM_WIN32(status);
    }

    unique_hkey opened;
    LSTATUS status =
        ::RegOpenKeyExW(parent, key.name.c_str(), 0, KEY_READ | KEY_WRITE, opened.put());
    if (status == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    for (const RegistryKey& subkey : key.subkeys) {
        const HRESULT hr = Unregister(opened.get(), subkey);
        if (FAILED(hr))
            return hr;
    }
    if (key.removal == RegistryKey::Removal::NoRemove) {
        // The key is shared; take back only the values this script put in it.
        for (const auto& value : key.values)
            (void)::RegDeleteValueW(opened.get(), value.first.c_str());
        return S_OK;
    }
    // A key that still holds keys of others stays.
    if (HasSubkeys(opened.get()))
        return S_OK;
    opened.reset();
    status = ::RegDeleteKeyW(parent, key.name.c_str());
    return IsGone(status) ? S_OK : HRESULT_FROM_WIN32(status);
}

} // namespace

HRESULT RunRegistryScript(const RegistryScript& script, ScriptMode mode) noexcept
{
    for (const RegistryRoot& root : script.roots) {
        const HKEY rootKey = RootKey(root.name);
        if (!rootKey)
            return E_INVALIDARG;
        for (const RegistryKey& key : root.keys) {
            const HRESULT hr =
                mode == ScriptMode::Register ? Register(rootKey, key) : Unregister(rootKey, key);
            if (FAILED(hr))
                return hr;
        }
    }
    return S_OK;
}

HRESULT RunRegistryScriptResource(HMODULE module, UINT id, const ScriptReplacements& replacements,
                                  ScriptMode mode) noexcept
{
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    if (!found)
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    HGLOBAL loaded = ::LoadResource(module, found);
    const DWORD size = ::SizeofResource(module, found);
    const auto* bytes = static_cast<const char*>(::LockResource(loaded));
    if (!bytes || size == 0)
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);

    try {
        const int length =
            ::MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), nullptr, 0);
        std::wstring text(static_cast<std::size_t>(length), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), text.data(), length);
        return RunRegistryScript(ParseRegistryScript(text, replacements), mode);
    } catch (const RegistryScriptError&) {
        return E_UNEXPECTED;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

} // namespace kadrix::com
