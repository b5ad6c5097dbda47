#include "engine/core/container_probe.h"

#include <cstring>
#include <initializer_list>

namespace kadrix {
namespace {

using u64 = std::uint64_t;

// Bounds of every walk: more than the top-level layout of any real file
// needs before its media data, and few enough reads for a file on a slow
// disk or a network share. A walk that reaches a bound stops judging.
constexpr int kMaxTopLevel = 32;
constexpr int kMaxChildren = 32;

std::uint32_t Be32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

u64 Be64(const std::uint8_t* p)
{
    return (u64{Be32(p)} << 32) | Be32(p + 4);
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
           p[0];
}

bool Is(const std::uint8_t* p, const char* fourcc)
{
    return std::memcmp(p, fourcc, 4) == 0;
}

// The reader, with the file's size taken once and the reads counted.
class Bytes
{
public:
    explicit Bytes(ProbeReader& reader) : reader_(reader), size_(reader.Size()) {}

    u64 size() const { return size_; }
    int reads() const { return reads_; }
    u64 left(u64 offset) const { return offset < size_ ? size_ - offset : 0; }

    // Reads count bytes at offset, all of which the caller knows lie inside
    // the file. False when the reader gives fewer: an I/O error, or a file
    // that shrank under us.
    bool Read(u64 offset, std::uint8_t* buffer, std::size_t count)
    {
        ++reads_;
        return reader_.ReadAt(offset, buffer, count) == count;
    }

private:
    ProbeReader& reader_;
    u64 size_;
    int reads_ = 0;
};

ContainerProbe Judge(ContainerVerdict verdict, const char* reason)
{
    ContainerProbe probe;
    probe.verdict = verdict;
    probe.reason = reason;
    return probe;
}

ContainerProbe Plausible(const char* reason)
{
    return Judge(ContainerVerdict::Plausible, reason);
}

ContainerProbe Undecodable(const char* reason)
{
    return Judge(ContainerVerdict::Undecodable, reason);
}

ContainerProbe NotJudged(const char* reason)
{
    return Judge(ContainerVerdict::NotJudged, reason);
}

ContainerProbe ReadFailed()
{
    return NotJudged("the file could not be read");
}

// --- ISO base media (MP4, QuickTime) --------------------------------------------------------

enum class Parsed
{
    Ok,
    Cut,     // the header itself runs past the end
    Invalid, // a size smaller than its header, or an impossible element ID
    PastEnd, // the header is whole, the body claims more than there is
    IoError,
};

struct Box
{
    u64 size = 0; // header included
    u64 header = 0;
    std::uint8_t type[4] = {};
};

// The box at pos, inside a parent that ends at end.
Parsed ReadBox(Bytes& bytes, u64 pos, u64 end, Box* box)
{
    const u64 room = end - pos;
    if (room < 8)
        return Parsed::Cut;
    std::uint8_t h[16];
    const std::size_t want = room >= 16 ? 16 : 8;
    if (!bytes.Read(pos, h, want))
        return Parsed::IoError;
    std::memcpy(box->type, h + 4, 4);
    const std::uint32_t size32 = Be32(h);
    if (size32 == 1) { // a 64-bit size follows the type
        if (want < 16)
            return Parsed::Cut;
        box->header = 16;
        box->size = Be64(h + 8);
        if (box->size < 16)
            return Parsed::Invalid;
    } else if (size32 == 0) { // up to the end of the parent: the last box
        box->header = 8;
        box->size = room;
    } else {
        if (size32 < 8)
            return Parsed::Invalid;
        box->header = 8;
        box->size = size32;
    }
    return box->size > room ? Parsed::PastEnd : Parsed::Ok;
}

// A movie box is worth decoding when its children add up and one of them is
// a track (or the compressed movie of old QuickTime files, whose tracks are
// inside it).
ContainerProbe ProbeMovieBox(Bytes& bytes, u64 pos, u64 end)
{
    for (int i = 0; i < kMaxChildren; ++i) {
        if (end - pos < 8)
            return Undecodable("mp4: the movie box holds no track");
        Box box;
        const Parsed read = ReadBox(bytes, pos, end, &box);
        if (read == Parsed::IoError)
            return ReadFailed();
        if (read != Parsed::Ok)
            return Undecodable("mp4: the movie box's contents do not add up");
        if (Is(box.type, "trak") || Is(box.type, "cmov"))
            return Plausible("mp4: movie box with a track");
        pos += box.size;
    }
    return Plausible("mp4: movie box found, its children not all walked");
}

bool LooksLikeIsoMedia(const std::uint8_t* first8)
{
    // Files of the ISO family start with their file type box; QuickTime files
    // made before it existed start with whatever top-level box came first.
    for (const char* type : {"ftyp", "moov", "mdat", "wide", "free", "skip", "pnot"})
        if (Is(first8 + 4, type))
            return true;
    return false;
}

ContainerProbe ProbeIsoMedia(Bytes& bytes)
{
    const u64 size = bytes.size();
    bool movie = false;
    u64 pos = 0;
    for (int i = 0; pos < size; ++i) {
        // Fragmented files carry a pair of boxes per fragment: once the
        // movie box is known good, the rest is the decoder's business.
        if (i == kMaxTopLevel)
            return movie ? Plausible("mp4: movie box whole, later boxes not walked")
                         : NotJudged("mp4: no movie box among the first boxes");
        Box box;
        switch (ReadBox(bytes, pos, size, &box)) {
        case Parsed::Ok:
            break;
        case Parsed::Cut:
            // A few bytes after the last box are no box at all; decoders
            // pass over them.
            if (movie && size - pos < 8)
                return Plausible("mp4: boxes add up, a few stray bytes at the end");
            return Undecodable(movie ? "mp4: the last box header is cut" : "mp4: no movie box");
        case Parsed::Invalid:
            return Undecodable("mp4: a box smaller than its header");
        case Parsed::PastEnd:
            return Undecodable(Is(box.type, "moov") ? "mp4: the movie box runs past the end"
                                                    : "mp4: a box runs past the end of the file");
        case Parsed::IoError:
            return ReadFailed();
        }
        if (Is(box.type, "moov")) {
            const ContainerProbe inner = ProbeMovieBox(bytes, pos + box.header, pos + box.size);
            if (inner.verdict != ContainerVerdict::Plausible)
                return inner;
            movie = true;
        }
        pos += box.size;
    }
    return movie ? Plausible("mp4: boxes add up") : Undecodable("mp4: no movie box");
}

// --- AVI (RIFF) -------------------------------------------------------------------------

bool IsVideoChunk(const std::uint8_t* id)
{
    return (id[2] == 'd' && id[3] == 'c') || (id[2] == 'd' && id[3] == 'b');
}

// The main header list must hold the main AVI header.
ContainerProbe ProbeHeaderList(Bytes& bytes, u64 pos, u64 end)
{
    for (int i = 0; i < kMaxChildren && end - pos >= 8; ++i) {
        std::uint8_t h[8];
        if (!bytes.Read(pos, h, sizeof h))
            return ReadFailed();
        const u64 body = Le32(h + 4);
        if (body > end - pos - 8)
            return Undecodable("avi: the hdrl list's chunks do not add up");
        if (Is(h, "avih"))
            return Plausible("avi: main header whole");
        pos += 8 + body + (body & 1);
    }
    return Undecodable("avi: the hdrl list holds no main header");
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
        pos += 8 + body + (body & 1);
    }
    return Plausible("avi: headers whole, no video among the first chunks");
}

ContainerProbe ProbeAvi(Bytes& bytes)
{
    const u64 size = bytes.size();
    if (size < 12)
        return Undecodable("avi: the RIFF header is cut");
    std::uint8_t h[12];
    if (!bytes.Read(0, h, sizeof h))
        return ReadFailed();
    if (!Is(h + 8, "AVI "))
        return NotJudged("riff: not an AVI");
    // An OpenDML file goes on after this size with RIFF AVIX parts; those
    // are never needed to start decoding.
    const u64 riffEnd = 8 + u64{Le32(h + 4)};
    bool headers = false;
    u64 pos = 12;
    for (int i = 0; i < kMaxTopLevel; ++i) {
        if (pos >= riffEnd)
            return Undecodable(headers ? "avi: no movi list within the RIFF size"
                                       : "avi: no hdrl list within the RIFF size");
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
            const ContainerProbe inner = ProbeHeaderList(bytes, pos + 12, pos + 8 + body);
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
        pos += 8 + body + (body & 1);
    }
    return NotJudged("avi: too many chunks before movi");
}

// --- Matroska, WebM (EBML) -----------------------------------------------------------------

constexpr std::uint32_t kEbmlId = 0x1A45DFA3;
constexpr std::uint32_t kSegmentId = 0x18538067;
constexpr std::uint32_t kClusterId = 0x1F43B675;
constexpr std::uint32_t kTracksId = 0x1654AE6B;
constexpr std::uint32_t kVoidId = 0xEC;
constexpr std::uint32_t kCrc32Id = 0xBF;
constexpr std::uint32_t kSimpleBlockId = 0xA3;
constexpr std::uint32_t kBlockGroupId = 0xA0;

struct Element
{
    std::uint32_t id = 0;
    u64 size = 0; // of the body
    u64 header = 0;
    bool unknownSize = false; // a live-written segment or cluster
};

// The length of a variable-size integer from its first byte; 0 for none.
int VintLength(std::uint8_t first)
{
    for (int n = 1; n <= 8; ++n)
        if (first & (0x80 >> (n - 1)))
            return n;
    return 0;
}

Parsed ReadElement(Bytes& bytes, u64 pos, Element* element)
{
    const u64 left = bytes.left(pos);
    if (left == 0)
        return Parsed::Cut;
    std::uint8_t h[12];
    const std::size_t have = left >= sizeof h ? sizeof h : static_cast<std::size_t>(left);
    if (!bytes.Read(pos, h, have))
        return Parsed::IoError;
    const int idLength = VintLength(h[0]);
    if (idLength == 0 || idLength > 4)
        return Parsed::Invalid;
    if (have < static_cast<std::size_t>(idLength) + 1)
        return Parsed::Cut;
    const int sizeLength = VintLength(h[idLength]);
    if (sizeLength == 0)
        return Parsed::Invalid;
    if (have < static_cast<std::size_t>(idLength + sizeLength))
        return Parsed::Cut;
    element->id = 0;
    for (int k = 0; k < idLength; ++k)
        element->id = (element->id << 8) | h[k];
    const std::uint8_t mask = static_cast<std::uint8_t>(0xFF >> sizeLength);
    u64 value = h[idLength] & mask;
    bool allOnes = value == mask;
    for (int k = 1; k < sizeLength; ++k) {
        value = (value << 8) | h[idLength + k];
        allOnes = allOnes && h[idLength + k] == 0xFF;
    }
    element->header = static_cast<u64>(idLength + sizeLength);
    element->unknownSize = allOnes;
    element->size = allOnes ? 0 : value;
    return Parsed::Ok;
}

// The first cluster must carry a whole block before the file ends.
ContainerProbe ProbeCluster(Bytes& bytes, u64 pos, u64 end)
{
    for (int i = 0; i < kMaxChildren; ++i) {
        if (pos >= end)
            return end >= bytes.size() ? Undecodable("mkv: the file ends inside the first Cluster")
                                       : NotJudged("mkv: the first Cluster holds no block");
        Element e;
        switch (ReadElement(bytes, pos, &e)) {
        case Parsed::Ok:
            break;
        case Parsed::IoError:
            return ReadFailed();
        case Parsed::Invalid:
            return Undecodable("mkv: a broken element in the first Cluster");
        default:
            return Undecodable("mkv: the file ends inside the first Cluster");
        }
        // The next cluster, or an element of unknown size: the first one
        // ended without a block, or can't be walked.
        if (e.unknownSize || e.id == kClusterId)
            return NotJudged("mkv: the first Cluster holds no block");
        const bool whole = e.size <= bytes.left(pos + e.header) && pos + e.header <= bytes.size();
        if (e.id == kSimpleBlockId || e.id == kBlockGroupId)
            return whole ? Plausible("mkv: headers and the first block whole")
                         : Undecodable("mkv: the file ends inside the first block");
        if (!whole)
            return Undecodable("mkv: the file ends inside the first Cluster");
        pos += e.header + e.size;
    }
    return Plausible("mkv: headers whole, no block among the first elements");
}

ContainerProbe ProbeMatroska(Bytes& bytes)
{
    const u64 size = bytes.size();
    Element e;
    switch (ReadElement(bytes, 0, &e)) {
    case Parsed::Ok:
        break;
    case Parsed::IoError:
        return ReadFailed();
    default:
        return Undecodable("mkv: the EBML header is cut");
    }
    if (e.unknownSize || e.size > bytes.left(e.header))
        return Undecodable("mkv: the EBML header is cut");
    u64 pos = e.header + e.size;

    // The segment follows the header, perhaps after some padding.
    for (int i = 0;; ++i) {
        const Parsed read = ReadElement(bytes, pos, &e);
        if (read == Parsed::IoError)
            return ReadFailed();
        if (read == Parsed::Cut)
            return Undecodable("mkv: the Segment header is cut");
        if (read == Parsed::Invalid || i == 8)
            return Undecodable("mkv: no Segment after the EBML header");
        if (e.id == kSegmentId)
            break;
        if ((e.id != kVoidId && e.id != kCrc32Id) || e.unknownSize ||
            e.size > bytes.left(pos + e.header))
            return Undecodable("mkv: no Segment after the EBML header");
        pos += e.header + e.size;
    }
    pos += e.header;
    // A segment that claims more than the file holds is a file cut short
    // (or still being written): what is there may decode.
    const u64 segmentEnd = e.unknownSize || e.size > bytes.left(pos) ? size : pos + e.size;

    bool tracks = false;
    for (int i = 0; i < kMaxTopLevel; ++i) {
        if (pos >= segmentEnd) {
            if (segmentEnd < size)
                return NotJudged("mkv: the Segment's size ends before its Clusters");
            return Undecodable(tracks ? "mkv: the file ends before the first Cluster"
                                      : "mkv: the file ends before the Tracks");
        }
        switch (ReadElement(bytes, pos, &e)) {
        case Parsed::Ok:
            break;
        case Parsed::IoError:
            return ReadFailed();
        case Parsed::Invalid:
            return Undecodable("mkv: a broken element before the first Cluster");
        default:
            return Undecodable("mkv: the file ends before the first Cluster");
        }
        if (e.id == kClusterId && tracks)
            return ProbeCluster(bytes, pos + e.header,
                                e.unknownSize || e.size > bytes.left(pos + e.header)
                                    ? size
                                    : pos + e.header + e.size);
        if (e.unknownSize)
            return NotJudged("mkv: an element of unknown size before the Tracks");
        if (e.size > bytes.left(pos + e.header))
            return Undecodable(e.id == kTracksId ? "mkv: the Tracks element is cut"
                                                 : "mkv: the file ends before the first Cluster");
        if (e.id == kTracksId)
            tracks = true;
        pos += e.header + e.size;
    }
    return NotJudged("mkv: too many elements before the first Cluster");
}

} // namespace

ContainerProbe ProbeContainer(ProbeReader& reader)
{
    Bytes bytes(reader);
    ContainerProbe probe;
    std::uint8_t head[8] = {};
    const std::size_t have = bytes.size() >= 8 ? 8 : static_cast<std::size_t>(bytes.size());
    if (have == 0) {
        probe = Undecodable("empty file");
    } else if (!bytes.Read(0, head, have)) {
        probe = ReadFailed();
    } else if (have >= 4 && Is(head, "RIFF")) {
        probe = ProbeAvi(bytes);
    } else if (have >= 4 && Be32(head) == kEbmlId) {
        probe = ProbeMatroska(bytes);
    } else if (have == 8 && LooksLikeIsoMedia(head)) {
        probe = ProbeIsoMedia(bytes);
    } else {
        probe = NotJudged("a format left to DirectShow");
    }
    probe.reads = bytes.reads();
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
