// A typed GetProcAddress: the cast through a generic function pointer keeps
// compilers from warning about incompatible function types.
#pragma once

#include <windows.h>

namespace kadrix {

template <typename Function> Function GetProcAddressAs(HMODULE module, const char* name)
{
    using Generic = void (*)();
    return reinterpret_cast<Function>(reinterpret_cast<Generic>(::GetProcAddress(module, name)));
}

} // namespace kadrix
