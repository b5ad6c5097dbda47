// The container probe for AVI (RIFF) files: the header list and the start of
// the movie list.
#include "engine/capture/core/container_probe/format.h"

namespace kadrix::probe {
namespace {

bool IsVideoChunk(const std::uint8_t* id)
{
    return (id[2] == 'd' && id[3] == 'c') || (id[2] == 'd' && id[3] == 'b');
}

// Where a walk through the chunks of a list stands.
enum class Step
{
    Chunk,   // a chunk that lies inside the list
    End,     // less than a chunk header left: the list's end
    Overrun, // a chunk that runs past the list's end: the list is cut
    IoError,
};

// The chunk at pos in a list that ends at end: its header in h[0, 8), the
// size of its body. A chunk before whose pad byte ran past the end of the
// list leaves pos past it, and the list is cut there as well.
Step NextChunk(Bytes& bytes, u64 pos, u64 end, std::uint8_t* h, u64* body)
{
    if (pos > end)
        return Step::Overrun;
    if (end - pos < 8)
        return Step::End;
    if (!bytes.Read(pos, h, 8))
        return Step::IoError;
    *body = Le32(h + 4);
    return *body > end - pos - 8 ? Step::Overrun : Step::Chunk;
}

u64 AfterChunk(u64 pos, u64 body)
{
    return pos + 8 + body + (body & 1);
}

// The frame size of the first video stream list: its stream header says
// video, its format is a BITMAPINFOHEADER (rows top-down when the height is
// negative).
void ReadStreamList(Bytes& bytes, u64 pos, u64 end, FrameSize* frame)
{
    bool video = false;
    std::uint8_t h[20];
    u64 body = 0;
    for (int i = 0; i < kMaxChildren && NextChunk(bytes, pos, end, h, &body) == Step::Chunk; ++i) {
        if (Is(h, "strh") && body >= 4 && bytes.Read(pos + 8, h + 8, 4))
            video = Is(h + 8, "vids");
        if (Is(h, "strf") && video && body >= 12 && bytes.Read(pos + 8, h + 8, 12)) {
            const std::int64_t height = static_cast<std::int32_t>(Le32(h + 16));
            frame->width = Le32(h + 12);
            frame->height = static_cast<std::uint32_t>(height < 0 ? -height : height);
            return;
        }
        pos = AfterChunk(pos, body);
    }
}

// The main header list must hold the main AVI header; its first video
// stream list tells the frame size.
ContainerProbe ProbeHeaderList(Bytes& bytes, u64 pos, u64 end, FrameSize* frame)
{
    bool mainHeader = false;
    std::uint8_t h[12];
    u64 body = 0;
    for (int i = 0; i < kMaxChildren; ++i) {
        const Step step = NextChunk(bytes, pos, end, h, &body);
        if (step == Step::IoError)
            return ReadFailed();
        if (step == Step::End)
            break;
        if (step == Step::Overrun) {
            if (mainHeader)
                break; // what follows the main header is the splitter's to judge
            return Undecodable("avi: the hdrl list's chunks do not add up");
        }
        mainHeader = mainHeader || Is(h, "avih");
        if (Is(h, "LIST") && body >= 4 && frame->width == 0 && bytes.Read(pos + 8, h + 8, 4) &&
            Is(h + 8, "strl"))
            ReadStreamList(bytes, pos + 12, pos + 8 + body, frame);
        pos = AfterChunk(pos, body);
    }
    return mainHeader ? Plausible("avi: main header whole")
                      : Undecodable("avi: the hdrl list holds no main header");
}

// Past the start of the movie list a cut file still decodes up to the cut,
// provided the first frame is whole.
ContainerProbe ProbeMovieList(Bytes& bytes, u64 pos, u64 end)
{
    const u64 size = bytes.size();
    for (int i = 0; i < kMaxChildren; ++i) {
        if (pos >= end)
            return i == 0 ? Undecodable("avi: the movi list is empty")
                          : NotJudged("avi: no video chunk at the start of movi");
        if (bytes.left(pos) < 8)
            return Undecodable("avi: the file ends before the first frame");
        std::uint8_t h[12];
        const std::size_t want = bytes.left(pos) >= 12 ? 12 : 8;
        if (!bytes.Read(pos, h, want))
            return ReadFailed();
        if (want == 12 && Is(h, "LIST") && Is(h + 8, "rec ")) {
            pos += 12; // a record list groups the chunks of one moment: look inside
            continue;
        }
        const u64 body = Le32(h + 4);
        const bool whole = body <= size - pos - 8;
        if (IsVideoChunk(h))
            return whole ? Plausible("avi: headers and the first frame whole")
                         : Undecodable("avi: the file ends inside the first frame");
        if (!whole)
            return Undecodable("avi: the file ends before the first frame");
        pos = AfterChunk(pos, body);
    }
    return Plausible("avi: headers whole, no video among the first chunks");
}

} // namespace

bool SniffAvi(const Head& head)
{
    return head.have >= 4 && Is(head.bytes, "RIFF");
}

ContainerProbe ProbeAvi(Bytes& bytes, FrameSize* frame)
{
    const u64 size = bytes.size();
    if (size < 12)
        return Undecodable("avi: the RIFF header is cut");
    std::uint8_t h[12];
    if (!bytes.Read(0, h, sizeof h))
        return ReadFailed();
    if (!Is(h + 8, "AVI "))
        return NotJudged("riff: not an AVI");
    // The RIFF size is not a bound: an OpenDML file goes on after it with
    // RIFF AVIX parts, and a file whose size field is zero or too small
    // still decodes (Wine's splitter reads such files from their chunks).
    // Only the chunks up to the movie list must be there.
    bool headers = false;
    u64 pos = 12;
    for (int i = 0; i < kMaxTopLevel; ++i) {
        if (bytes.left(pos) < 8)
            return Undecodable(headers ? "avi: the file ends before the movi list"
                                       : "avi: the file ends before the hdrl list");
        const std::size_t want = bytes.left(pos) >= 12 ? 12 : 8;
        if (!bytes.Read(pos, h, want))
            return ReadFailed();
        const u64 body = Le32(h + 4);
        const bool whole = body <= size - pos - 8;
        if (want == 12 && Is(h, "LIST") && Is(h + 8, "hdrl")) {
            if (!whole)
                return Undecodable("avi: the hdrl list is cut");
            const ContainerProbe inner = ProbeHeaderList(bytes, pos + 12, pos + 8 + body, frame);
            if (inner.verdict != ContainerVerdict::Plausible)
                return inner;
            headers = true;
        } else if (want == 12 && Is(h, "LIST") && Is(h + 8, "movi")) {
            if (!headers)
                return Undecodable("avi: movi before the hdrl list");
            const u64 moviEnd = whole ? pos + 8 + body : size;
            return ProbeMovieList(bytes, pos + 12, moviEnd);
        } else if (!whole) {
            return Undecodable(headers ? "avi: a chunk before movi runs past the end"
                                       : "avi: the file ends before the hdrl list");
        }
        pos = AfterChunk(pos, body);
    }
    return NotJudged("avi: too many chunks before movi");
}

} // namespace kadrix::probe
