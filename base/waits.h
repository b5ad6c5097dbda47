// Bounded waits for a thread that owns windows or lives in a COM apartment:
// while it waits, the calls other threads make to it must still be answered,
// or the thread it waits for could wait for it in turn.
#pragma once

#include <windows.h>

namespace kadrix {

// Waits for the handle, answering only the messages other threads send to
// this one (no posted message, no input, no timer runs meanwhile). True when
// the handle was signalled in time.
bool WaitAnsweringSentMessages(HANDLE handle, DWORD milliseconds);

// Waits for the handle in the COM way: incoming COM calls are dispatched,
// and in a single-threaded apartment its messages too. A thread without COM
// waits plainly. True when the handle was signalled in time.
bool WaitDispatchingCalls(HANDLE handle, DWORD milliseconds);

} // namespace kadrix
