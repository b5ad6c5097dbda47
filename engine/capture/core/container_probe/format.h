// What the container probe's formats share: the read window over the file,
// the byte-order readers, the verdicts, and the one signature every format
// has in the probe's table. Private to engine/capture/core/container_probe/.
#pragma once

#include "engine/capture/core/container_probe.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kadrix::probe {

using u64 = std::uint64_t;

// Bounds of every walk: more than the top-level layout of any real file
// needs before its media data, and few enough reads for a file on a slow
// disk or a network share. A walk that reaches a bound stops judging.
constexpr int kMaxTopLevel = 32;
constexpr int kMaxChildren = 32;

inline std::uint32_t Be24(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

inline std::uint32_t Be32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

inline u64 Be64(const std::uint8_t* p)
{
    return (u64{Be32(p)} << 32) | Be32(p + 4);
}

inline std::uint32_t Le32(const std::uint8_t* p)
{
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
           p[0];
}

inline u64 Le64(const std::uint8_t* p)
{
    return (u64{Le32(p + 4)} << 32) | Le32(p);
}

inline bool Is(const std::uint8_t* p, const char* fourcc)
{
    return std::memcmp(p, fourcc, 4) == 0;
}

// The file as the walks see it: its size, taken once, and a window of 16 KB
// that follows the reads. A read the window does not hold moves it to the
// read's offset and fills it from there, so a walk that goes forward through
// the file pays one read for a window's worth of small steps: the headers a
// probe walks mostly lie together, and one read of them costs a disk no more
// than one of 16 bytes. The window spends the probe's budget (kProbeReadBudget
// reads, kProbeByteBudget bytes); once a read fails or the budget is spent,
// every read after fails, and the probe answers with what it saw before.
class Bytes
{
public:
    explicit Bytes(ProbeReader& reader) : reader_(reader), size_(reader.Size()) {}
    Bytes(const Bytes&) = delete;
    Bytes& operator=(const Bytes&) = delete;

    u64 size() const { return size_; }
    int reads() const { return reads_; }
    u64 left(u64 offset) const { return offset < size_ ? size_ - offset : 0; }
    // Why reading stopped, or null while it has not.
    const char* failure() const { return failure_; }

    // Reads count bytes (at most a window's worth) at offset, all of which the
    // caller knows lie inside the file. False when they can't be had: a read
    // error, a file that shrank under us, the budget spent.
    bool Read(u64 offset, std::uint8_t* buffer, std::size_t count);

    // The bytes at offset as far as the window holds them, up to count, the
    // window moved there unless it holds the first `need` of them (at most
    // what is left of the file). Returns how many bytes *data points at, 0
    // when not even `need` can be had.
    std::size_t Peek(u64 offset, std::size_t need, std::size_t count, const std::uint8_t** data);

private:
    static constexpr std::size_t kWindow = 16384;

    bool Holds(u64 offset, std::size_t count) const
    {
        return offset >= keptAt_ && offset - keptAt_ <= kept_ &&
               count <= kept_ - (offset - keptAt_);
    }
    // Moves the window to offset, with at least need bytes in it.
    bool Fill(u64 offset, std::size_t need);

    ProbeReader& reader_;
    u64 size_;
    int reads_ = 0;
    u64 bytesRead_ = 0;
    const char* failure_ = nullptr;
    std::uint8_t window_[kWindow];
    u64 keptAt_ = 0;
    std::size_t kept_ = 0;
};

// --- Verdicts -----------------------------------------------------------------------------

inline ContainerProbe Judge(ContainerVerdict verdict, const char* reason)
{
    ContainerProbe probe;
    probe.verdict = verdict;
    probe.reason = reason;
    return probe;
}

inline ContainerProbe Plausible(const char* reason)
{
    return Judge(ContainerVerdict::Plausible, reason);
}

inline ContainerProbe Undecodable(const char* reason)
{
    return Judge(ContainerVerdict::Undecodable, reason);
}

inline ContainerProbe NotJudged(const char* reason)
{
    return Judge(ContainerVerdict::NotJudged, reason);
}

// A walk stopped by a read that failed. (The probe then answers with the
// reason Bytes::failure() gives.)
inline ContainerProbe ReadFailed()
{
    return NotJudged("the file could not be read");
}

struct FrameSize
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// How a header of the walks that share it came out.
enum class Parsed
{
    Ok,
    Cut,     // the header itself runs past the end
    Invalid, // a size smaller than its header, or an impossible element ID
    PastEnd, // the header is whole, the body claims more than there is
    IoError,
};

// --- The formats ----------------------------------------------------------------------------

// The file's first bytes, as many as it has up to 16, for a format to tell
// its own by.
struct Head
{
    std::uint8_t bytes[16] = {};
    std::size_t have = 0;
};

// Each format: whether the file is of it, and its walk, which says the
// verdict and the frame size its headers declare.
struct Format
{
    bool (*sniff)(const Head& head);
    ContainerProbe (*probe)(Bytes& bytes, FrameSize* frame);
};

bool SniffAvi(const Head& head);
ContainerProbe ProbeAvi(Bytes& bytes, FrameSize* frame);
bool SniffMatroska(const Head& head);
ContainerProbe ProbeMatroska(Bytes& bytes, FrameSize* frame);
bool SniffIsoMedia(const Head& head);
ContainerProbe ProbeIsoMedia(Bytes& bytes, FrameSize* frame);
bool SniffAsf(const Head& head);
ContainerProbe ProbeAsf(Bytes& bytes, FrameSize* frame);
bool SniffFlv(const Head& head);
ContainerProbe ProbeFlv(Bytes& bytes, FrameSize* frame);
bool SniffProgramStream(const Head& head);
ContainerProbe ProbeProgramStream(Bytes& bytes, FrameSize* frame);
bool SniffVideoStream(const Head& head);
ContainerProbe ProbeVideoStream(Bytes& bytes, FrameSize* frame);

} // namespace kadrix::probe
