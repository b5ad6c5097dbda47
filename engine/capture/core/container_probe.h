// A structural look at a video file before a filter graph is built for it.
//
// Building a DirectShow graph for a file whose container is cut or broken can
// take seconds, or never end (a cut AVI holds IGraphBuilder::Connect under
// Wine, so do an FLV or an MPEG program stream cut before their first
// picture). A few small reads of the container's structure tell many such
// files apart from ones worth decoding: an MP4 without its movie box, an AVI
// cut inside its headers, a Matroska file that ends before its first cluster,
// an ASF file that ends before its first data packet, an FLV file that ends
// before its first video frame, an MPEG program or video stream that ends
// before its first picture is whole. The probe judges only what it can judge
// cheaply and safely; for every other format (MPEG transport streams among
// them), and wherever it is unsure, it leaves the decision to DirectShow. A
// file cut short after its headers still decodes up to the cut (a download
// that stopped, a recording that crashed): such a file passes when its first
// video frame (ASF: its first data packet) is whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kadrix {

// How the probe reads a file: its size, and bytes at an offset. The Windows
// side reads through a file handle, the tests from memory.
class ProbeReader
{
public:
    virtual ~ProbeReader() = default;
    virtual std::uint64_t Size() = 0;
    // Reads up to count bytes at offset into buffer and returns how many it
    // read: fewer only at the end of the file or on an error.
    virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
};

enum class ContainerVerdict
{
    Plausible,   // the structure holds together: worth a graph
    Undecodable, // cut or broken where no decoder can recover: refuse it
    NotJudged,   // a format the probe does not judge, or one it is unsure of
};

struct ContainerProbe
{
    ContainerVerdict verdict = ContainerVerdict::NotJudged;
    const char* reason = ""; // short static text, for logs and figures
    int reads = 0;           // reads the probe made
    // The video's frame size as the container declares it, 0 where it says
    // none (or is not judged): a frame too large for the process can be
    // refused before a decoder allocates for it.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The most one probe reads of a file, whatever its size and structure: a
// few dozen reads of at most 16 KB each. A walk that would need more answers
// with what it has seen: NotJudged, unless it has already seen enough to
// refuse the file. (Each read costs a round trip on a slow disk or a network
// share, and Explorer asks for many files at once.)
inline constexpr int kProbeReadBudget = 32;
inline constexpr std::uint64_t kProbeByteBudget = 512 * 1024;

// One read of the first 16 KB answers for most files (an MPEG stream is
// looked at in its first 80 KB). Uses about 17 KB of stack.
ContainerProbe ProbeContainer(ProbeReader& reader);

const char* VerdictName(ContainerVerdict verdict);

} // namespace kadrix
