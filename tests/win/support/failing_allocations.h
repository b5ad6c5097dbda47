// A seam for allocation failures: while a FailingAllocations lives, every
// allocation of the program through operator new fails as an exhausted heap
// would (it throws std::bad_alloc) - after the first `allowed` of them, so a
// test can walk a failure through each allocation of a call in turn.
// failing_allocations.cpp replaces the program's operator new: a test
// program that uses the seam compiles it in as one of its own sources.
#pragma once

#include <cstddef>

namespace kadrix::test {

class FailingAllocations
{
public:
    explicit FailingAllocations(std::size_t allowed = 0);
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
};

} // namespace kadrix::test
