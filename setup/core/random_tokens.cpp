#include "setup/core/random_tokens.h"

#include <chrono>

namespace kadrix::setup {

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
