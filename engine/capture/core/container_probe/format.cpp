#include "engine/capture/core/container_probe/format.h"

namespace kadrix::probe {

bool Bytes::Read(u64 offset, std::uint8_t* buffer, std::size_t count)
{
    if (failure_ || (!Holds(offset, count) && !Fill(offset, count)))
        return false;
    std::memcpy(buffer, window_ + (offset - keptAt_), count);
    return true;
}

std::size_t Bytes::Peek(u64 offset, std::size_t need, std::size_t count, const std::uint8_t** data)
{
    if (failure_ || (!Holds(offset, need) && !Fill(offset, need)))
        return 0;
    *data = window_ + (offset - keptAt_);
    return std::min(count, kept_ - static_cast<std::size_t>(offset - keptAt_));
}

bool Bytes::Fill(u64 offset, std::size_t need)
{
    // Bytes past the end are a walk's mistake, not the file's: never asked of
    // the reader.
    if (need > kWindow || left(offset) == 0 || need > left(offset)) {
        failure_ = "a walk strayed past the end of the file";
        return false;
    }
    const u64 budget = kProbeByteBudget - bytesRead_;
    const std::size_t n = static_cast<std::size_t>(std::min({u64{kWindow}, left(offset), budget}));
    if (reads_ == kProbeReadBudget || n == 0 || n < need) {
        failure_ = "the read budget is spent";
        return false;
    }
    ++reads_;
    bytesRead_ += n;
    kept_ = 0;
    if (reader_.ReadAt(offset, window_, n) != n) {
        failure_ = "the file could not be read";
        return false;
    }
    keptAt_ = offset;
    kept_ = n;
    return true;
}

} // namespace kadrix::probe
