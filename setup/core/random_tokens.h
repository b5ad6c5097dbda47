// The "Random" tokens the setup window stores when the capture position
// changes: each new one makes every automatic thumbnail stale. Portable.
#pragma once

#include <cstdint>
#include <random>

namespace kadrix::setup {

// New "Random" tokens, drawn uniformly from 0 to 2147483646.
class RandomTokens
{
public:
    // Seeded from the clock.
    RandomTokens();
    explicit RandomTokens(std::uint32_t seed) : engine_(seed) {}
    std::int32_t Next();

    static constexpr std::int32_t kMax = 2147483646;

private:
    std::mt19937 engine_;
};

} // namespace kadrix::setup
