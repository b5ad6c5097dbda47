// The container probe: the formats it judges, in the order their signatures
// are tried, and the one walk the file's first bytes choose.
#include "engine/capture/core/container_probe.h"

#include "engine/capture/core/container_probe/format.h"

namespace kadrix {
namespace {

using namespace probe;

// Signatures that can't be confused come first; the ISO family's box types
// are the loosest test, and MPEG start codes are tried last.
constexpr Format kFormats[] = {
    {SniffAvi, ProbeAvi},
    {SniffMatroska, ProbeMatroska},
    {SniffIsoMedia, ProbeIsoMedia},
    {SniffAsf, ProbeAsf},
    {SniffFlv, ProbeFlv},
    {SniffProgramStream, ProbeProgramStream},
    {SniffVideoStream, ProbeVideoStream},
};

ContainerProbe Walk(Bytes& bytes, FrameSize* frame)
{
    if (bytes.size() == 0)
        return Undecodable("empty file");
    Head head;
    head.have = static_cast<std::size_t>(std::min<u64>(bytes.size(), sizeof head.bytes));
    if (!bytes.Read(0, head.bytes, head.have))
        return ReadFailed();
    for (const Format& format : kFormats)
        if (format.sniff(head))
            return format.probe(bytes, frame);
    return NotJudged("a format left to DirectShow");
}

} // namespace

ContainerProbe ProbeContainer(ProbeReader& reader)
{
    Bytes bytes(reader);
    FrameSize frame;
    ContainerProbe probe = Walk(bytes, &frame);
    // A walk that could not read on has not seen its structure to the end:
    // whatever it made of what was left is no judgement. (A walk that had
    // seen enough to refuse the file returned before it read again.) The
    // frame size stands: it was read before.
    if (bytes.failure())
        probe = NotJudged(bytes.failure());
    probe.reads = bytes.reads();
    probe.width = frame.width;
    probe.height = frame.height;
    return probe;
}

const char* VerdictName(ContainerVerdict verdict)
{
    switch (verdict) {
    case ContainerVerdict::Plausible:
        return "plausible";
    case ContainerVerdict::Undecodable:
        return "undecodable";
    case ContainerVerdict::NotJudged:
        return "not-judged";
    }
    return "?";
}

} // namespace kadrix
