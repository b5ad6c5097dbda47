#include "support/failing_allocations.h"

#include <windows.h>

#include <atomic>
#include <new>

namespace {

// How many allocations may still succeed; below zero, all of them.
std::atomic<long long> g_allowance{-1};

bool MayAllocate()
{
    long long left = g_allowance.load();
    while (left >= 0) {
        if (left == 0)
            return false;
        if (g_allowance.compare_exchange_weak(left, left - 1))
            return true;
    }
    return true;
}

} // namespace

void* operator new(std::size_t size)
{
    if (!MayAllocate())
        throw std::bad_alloc();
    if (void* block = ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept
{
    if (block)
        ::HeapFree(::GetProcessHeap(), 0, block);
}
void operator delete(void* block, std::size_t) noexcept
{
    operator delete(block);
}

namespace kadrix::test {

FailingAllocations::FailingAllocations(std::size_t allowed)
{
    g_allowance = static_cast<long long>(allowed);
}

FailingAllocations::~FailingAllocations()
{
    g_allowance = -1;
}

} // namespace kadrix::test
