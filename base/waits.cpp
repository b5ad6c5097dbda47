#include "base/waits.h"

#include <objbase.h>

namespace kadrix {

bool WaitAnsweringSentMessages(HANDLE handle, DWORD milliseconds)
{
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woken = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken != WAIT_OBJECT_0 + 1)
            return false;
        MSG message;
        (void)::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

bool WaitDispatchingCalls(HANDLE handle, DWORD milliseconds)
{
    // Windows 8 and later dispatch a single-threaded apartment's window
    // messages only when asked; earlier ones refuse the flags and dispatch
    // them anyway.
    constexpr DWORD kDispatchCalls = 0x8;
    constexpr DWORD kDispatchWindowMessages = 0x10;
    DWORD index = 0;
    HRESULT hr = ::CoWaitForMultipleHandles(kDispatchCalls | kDispatchWindowMessages, milliseconds,
                                            1, &handle, &index);
    if (hr == E_INVALIDARG)
        hr = ::CoWaitForMultipleHandles(0, milliseconds, 1, &handle, &index);
    if (hr == CO_E_NOTINITIALIZED)
        return ::WaitForSingleObject(handle, milliseconds) == WAIT_OBJECT_0;
    return hr == S_OK;
}

} // namespace kadrix
