// libFuzzer driver: the container probe over any file.
//
// The input is a 6-byte preamble, then the file:
//   byte 0     the read that fails, counted from 1 (0: none fails); with bit 7
//              set that read delivers half of what it was asked, else nothing
//   byte 1     a shift s (taken modulo 33), and
//   bytes 2-5  a little-endian count n: the file's size is its bytes' plus
//              n << s, the rest zeros (as in a sparse file)
//
// Beyond what ASan and UBSan find, an input fails when the probe reads
// outside the file, reads more often or more bytes than its budget,
// reports another read count than it made, or refuses a file only because a
// read failed.
#include "engine/capture/core/container_probe.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using kadrix::ContainerProbe;
using kadrix::ContainerVerdict;

constexpr std::size_t kPreamble = 6;

void Fail(const char* what)
{
    std::fprintf(stderr, "container probe: %s\n", what);
    std::abort();
}

class FuzzFile final : public kadrix::ProbeReader
{
public:
    FuzzFile(const std::uint8_t* data, std::size_t size, std::uint64_t declared, int failingRead,
             bool halfRead)
        : data_(data), size_(size), declared_(declared), failingRead_(failingRead),
          halfRead_(halfRead)
    {
    }

    std::uint64_t Size() override { return declared_; }

    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        ++reads_;
        bytes_ += count;
        if (count == 0 || offset > declared_ || count > declared_ - offset)
            Fail("a read outside the file");
        if (reads_ > kadrix::kProbeReadBudget || bytes_ > kadrix::kProbeByteBudget)
            Fail("more reads or bytes than the budget");
        std::size_t n = count;
        if (reads_ == failingRead_) {
            failed_ = true;
            n = halfRead_ ? n / 2 : 0;
        }
        const std::size_t data = offset < size_ ? std::min<std::size_t>(n, size_ - offset) : 0;
        if (data != 0)
            std::memcpy(buffer, data_ + offset, data);
        std::memset(static_cast<std::uint8_t*>(buffer) + data, 0, n - data);
        return n;
    }

    int reads() const { return reads_; }
    bool failed() const { return failed_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::uint64_t declared_;
    int failingRead_;
    bool halfRead_;
    int reads_ = 0;
    std::uint64_t bytes_ = 0;
    bool failed_ = false;
};

ContainerProbe Probe(FuzzFile& file)
{
    const ContainerProbe probe = kadrix::ProbeContainer(file);
    if (probe.reads != file.reads())
        Fail("the read count reported is not the one made");
    if (probe.reason == nullptr)
        Fail("no reason");
    return probe;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t length)
{
    if (length < kPreamble)
        return 0;
    const std::uint8_t* data = input + kPreamble;
    const std::size_t size = length - kPreamble;
    const std::uint64_t extra =
        static_cast<std::uint64_t>(input[2]) | (static_cast<std::uint64_t>(input[3]) << 8) |
        (static_cast<std::uint64_t>(input[4]) << 16) | (static_cast<std::uint64_t>(input[5]) << 24);
    const std::uint64_t declared = size + (extra << (input[1] % 33));

    FuzzFile file(data, size, declared, input[0] & 0x7F, (input[0] & 0x80) != 0);
    const ContainerProbe probe = Probe(file);
    if (file.failed() && probe.verdict == ContainerVerdict::Undecodable) {
        FuzzFile whole(data, size, declared, 0, false);
        if (Probe(whole).verdict != ContainerVerdict::Undecodable)
            Fail("a failed read made the probe refuse a file it does not refuse whole");
    }
    return 0;
}
