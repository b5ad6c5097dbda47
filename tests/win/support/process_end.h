// How a test process ends once its results are in.
#pragma once

namespace kadrix::test {

// For tests that leave a capture worker stuck inside the platform's graph
// building, which nothing can end: a process that ends around such a
// thread may crash in the platform's own teardown (Wine's media framework
// does, now and then), long after the results were written. Once called,
// the process ends right after the results, without its teardown.
void EndWithoutTeardown();

} // namespace kadrix::test
