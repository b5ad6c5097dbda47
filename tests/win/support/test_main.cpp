#include "support/child_process.h"
#include "support/process_end.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include <windows.h>

namespace {

std::atomic<bool> g_endWithoutTeardown{false};

} // namespace

namespace kadrix::test {

void EndWithoutTeardown()
{
    g_endWithoutTeardown = true;
}

} // namespace kadrix::test

int main(int argc, char** argv)
{
    int exitCode = 0;
    if (kadrix::test::RunChildCommand(&exitCode))
        return exitCode;
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (g_endWithoutTeardown) {
        // scripts/wine-run.sh reads this line: what Wine does to the stuck
        // worker after it is no result of the tests.
        std::printf("[ kadrix ] ending without teardown: a worker is still stuck in the "
                    "platform's graph building\n");
        std::fflush(nullptr);
        ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(result));
    }
    return result;
}
