// Registration of the type library embedded in a COM library.
#pragma once

#include <windows.h>

#include <string>

namespace kadrix::com {

// Loads the type library from the module file (or, failing that, from the
// same path with the extension ".tlb") and registers it with the module as
// its file and the module's folder as its help directory.
HRESULT RegisterTypeLibrary(const std::wstring& modulePath);

// Removes the registration of the type library the module carries.
HRESULT UnregisterTypeLibrary(const std::wstring& modulePath);

} // namespace kadrix::com
