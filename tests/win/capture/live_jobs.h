// What the capture tests wait for: the process's live capture jobs.
#pragma once

#include "engine/capture/capture_job.h"

#include <windows.h>

namespace kadrix::test {

// Polls the live-job count until it is `count` or the time is up: a worker
// signals its result just before it ends.
inline bool LiveJobsBecome(long count, DWORD milliseconds = 5000)
{
    const ULONGLONG give = ::GetTickCount64() + milliseconds;
    while (LiveCaptureJobs() != count && ::GetTickCount64() < give)
        ::Sleep(10);
    return LiveCaptureJobs() == count;
}

} // namespace kadrix::test
