// An in-process COM server loaded straight from its file, with no registry,
// as a host or a test harness drives it: its class objects through
// DllGetClassObject, its unload rule through DllCanUnloadNow.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>
#include <unknwn.h>

namespace kadrix {

class ServerLibrary
{
public:
    explicit ServerLibrary(const wchar_t* path) : module_(::LoadLibraryW(path)) {}

    explicit operator bool() const noexcept { return static_cast<bool>(module_); }
    HMODULE get() const noexcept { return module_.get(); }

    // DllGetClassObject; ERROR_PROC_NOT_FOUND without the export.
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) const;
    // An object of the class: the class factory's CreateInstance.
    HRESULT CreateInstance(REFCLSID clsid, REFIID riid, void** object) const;
    // DllCanUnloadNow; ERROR_PROC_NOT_FOUND without the export.
    HRESULT CanUnloadNow() const;

private:
    unique_hmodule module_;
};

} // namespace kadrix
