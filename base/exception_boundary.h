// No C++ exception may cross a COM method, an export or a thread procedure:
// the caller on the other side is C, the shell or the system, and would be
// torn down with it. Each such boundary runs its body through this guard.
#pragma once

#include <windows.h>

#include <new>

namespace kadrix {

// Runs body (which returns an HRESULT) and maps what escapes it: an
// allocation failure to E_OUTOFMEMORY, anything else to E_UNEXPECTED.
template <typename Body> HRESULT GuardHResult(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace kadrix
