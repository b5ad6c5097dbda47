#include "setup/time_shift.h"

#include <chrono>

namespace kadrix::setup {

int PreviewIndexForPercent(int percent)
{
    if (percent >= 100)
        return 5;
    if (percent < 0)
        return 1;
    return percent / 20 + 1;
}

int PreviewIndexForSeconds(int seconds)
{
    if (seconds >= 25)
        return 5;
    if (seconds < 0)
        return 1;
    return seconds / 5 + 1;
}

RandomTokens::RandomTokens()
    : engine_(static_cast<std::uint32_t>(
          std::chrono::high_resolution_clock::now().time_since_epoch().count()))
{
}

std::int32_t RandomTokens::Next()
{
    return std::uniform_int_distribution<std::int32_t>(0, kMax)(engine_);
}

} // namespace kadrix::setup
