#include "engine/core/container_probe.h"

#include <algorithm>
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

// The reader, with the file's size taken once, the reads counted, and one
// window of the file kept in memory.
class Bytes
{
public:
    explicit Bytes(ProbeReader& reader) : reader_(reader), size_(reader.Size()) {}

    u64 size() const { return size_; }
    int reads() const { return reads_; }
    u64 left(u64 offset) const { return offset < size_ ? size_ - offset : 0; }

    // Keeps up to a window's worth of the bytes at offset in memory: the
    // headers a probe walks mostly lie together (the start of the file, the
    // movie box), and one read of them costs a disk no more than one of 16
    // bytes.
    void Keep(u64 offset, u64 length)
    {
        const std::size_t n = static_cast<std::size_t>(
            std::min<u64>(std::min<u64>(length, sizeof window_), left(offset)));
        if (Holds(offset, n))
            return; // in the window already
        ++reads_;
        kept_ = reader_.ReadAt(offset, window_, n) == n ? n : 0;
        keptAt_ = offset;
    }

    // Reads count bytes at offset, all of which the caller knows lie inside
    // the file. False when the reader gives fewer: an I/O error, or a file
    // that shrank under us.
    bool Read(u64 offset, std::uint8_t* buffer, std::size_t count)
    {
        if (Holds(offset, count)) {
            std::memcpy(buffer, window_ + (offset - keptAt_), count);
            return true;
        }
        ++reads_;
        return reader_.ReadAt(offset, buffer, count) == count;
    }

    // The bytes at offset as far as the window holds them, up to count; the
    // window moves to offset first unless it holds the first `need` of them
    // (at most what is left of the file). For walks that go forward through
    // the file: each read then serves a window's worth of small steps.
    // Returns how many bytes *data points at, 0 on an error.
    std::size_t Peek(u64 offset, std::size_t need, std::size_t count, const std::uint8_t** data)
    {
        if (!Holds(offset, need))
            Keep(offset, sizeof window_);
        if (!Holds(offset, need))
            return 0;
        *data = window_ + (offset - keptAt_);
        return static_cast<std::size_t>(std::min<u64>(count, kept_ - (offset - keptAt_)));
    }

private:
    bool Holds(u64 offset, std::size_t count) const
    {
        return offset >= keptAt_ && offset - keptAt_ <= kept_ &&
               count <= kept_ - (offset - keptAt_);
    }

    ProbeReader& reader_;
    u64 size_;
    int reads_ = 0;
    std::uint8_t window_[16384];
    u64 keptAt_ = 0;
    std::size_t kept_ = 0;
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

struct FrameSize
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

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

// The first child of the given type among the boxes in [pos, end); false
// when there is none, or the boxes do not add up before it.
bool FindBox(Bytes& bytes, u64 pos, u64 end, const char* type, u64* at, Box* found)
{
    for (int i = 0; i < kMaxChildren && end - pos >= 8; ++i) {
        if (ReadBox(bytes, pos, end, found) != Parsed::Ok)
            return false;
        if (Is(found->type, type)) {
            *at = pos;
            return true;
        }
        pos += found->size;
    }
    return false;
}

// A box's body, [begin, end), found by its path from [pos, end).
bool FindPath(Bytes& bytes, u64 pos, u64 end, std::initializer_list<const char*> path, u64* begin,
              u64* bodyEnd)
{
    for (const char* type : path) {
        u64 at = 0;
        Box box;
        if (!FindBox(bytes, pos, end, type, &at, &box))
            return false;
        pos = at + box.header;
        end = at + box.size;
    }
    *begin = pos;
    *bodyEnd = end;
    return true;
}

// Reads count bytes of a body that must hold them.
bool ReadBody(Bytes& bytes, u64 begin, u64 end, std::uint8_t* buffer, std::size_t count)
{
    return end - begin >= count && bytes.Read(begin, buffer, count);
}

// What the movie box tells of the first video frame.
struct Movie
{
    bool fragmented = false;      // the samples are in movie fragments
    bool fragmentSeen = false;    // a whole movie fragment came after the movie box
    std::uint32_t videoTrack = 0; // its track ID; 0: no video track found
    u64 firstFrameEnd = 0;        // where the first video sample ends; 0: not known
    FrameSize frame;              // from the first sample description
};

// The track's ID when it is a video track, with where its first sample ends
// when the sample tables say.
bool ReadVideoTrack(Bytes& bytes, u64 pos, u64 end, Movie* movie)
{
    u64 b = 0, e = 0;
    std::uint8_t h[24];
    if (!FindPath(bytes, pos, end, {"mdia", "hdlr"}, &b, &e) || !ReadBody(bytes, b, e, h, 12) ||
        !Is(h + 8, "vide"))
        return false;
    // The ID follows the creation and modification times, 64-bit in version 1.
    if (!FindPath(bytes, pos, end, {"tkhd"}, &b, &e) || !ReadBody(bytes, b, e, h, 24))
        return false;
    movie->videoTrack = Be32(h + (h[0] == 1 ? 20 : 12));

    u64 stbl = 0, stblEnd = 0;
    if (!FindPath(bytes, pos, end, {"mdia", "minf", "stbl"}, &stbl, &stblEnd))
        return true;
    // A visual sample entry: size, type, 6 reserved, data reference index,
    // 16 bytes of pre-defined and reserved fields, then width and height.
    std::uint8_t entry[44];
    if (FindPath(bytes, stbl, stblEnd, {"stsd"}, &b, &e) && ReadBody(bytes, b, e, entry, 44) &&
        Be32(entry + 4) != 0) {
        movie->frame.width = (std::uint32_t{entry[40]} << 8) | entry[41];
        movie->frame.height = (std::uint32_t{entry[42]} << 8) | entry[43];
    }
    u64 offset = 0;
    if (FindPath(bytes, stbl, stblEnd, {"stco"}, &b, &e)) {
        if (!ReadBody(bytes, b, e, h, 12) || Be32(h + 4) == 0)
            return true;
        offset = Be32(h + 8);
    } else if (FindPath(bytes, stbl, stblEnd, {"co64"}, &b, &e)) {
        if (!ReadBody(bytes, b, e, h, 16) || Be32(h + 4) == 0)
            return true;
        offset = Be64(h + 8);
    } else {
        return true;
    }
    if (!FindPath(bytes, stbl, stblEnd, {"stsz"}, &b, &e) || !ReadBody(bytes, b, e, h, 12))
        return true;
    u64 sampleSize = Be32(h + 4);
    if (sampleSize == 0) {
        if (Be32(h + 8) == 0 || !ReadBody(bytes, b + 12, e, h, 4))
            return true;
        sampleSize = Be32(h);
    }
    movie->firstFrameEnd = offset + sampleSize;
    return true;
}

// A movie box is worth decoding when its children add up and one of them is
// a track (or the compressed movie of old QuickTime files, whose tracks are
// inside it).
ContainerProbe ProbeMovieBox(Bytes& bytes, u64 pos, u64 end, Movie* movie)
{
    bool track = false;
    for (int i = 0; end - pos >= 8; ++i) {
        if (i == kMaxChildren)
            return Plausible("mp4: movie box found, its children not all walked");
        Box box;
        const Parsed read = ReadBox(bytes, pos, end, &box);
        if (read == Parsed::IoError)
            return ReadFailed();
        if (read != Parsed::Ok)
            return Undecodable("mp4: the movie box's contents do not add up");
        if (Is(box.type, "trak")) {
            track = true;
            if (movie->videoTrack == 0)
                (void)ReadVideoTrack(bytes, pos + box.header, pos + box.size, movie);
        }
        track = track || Is(box.type, "cmov");
        movie->fragmented = movie->fragmented || Is(box.type, "mvex");
        pos += box.size;
    }
    return track ? Plausible("mp4: boxes add up")
                 : Undecodable("mp4: the movie box holds no track");
}

// Where the first video sample of a movie fragment ends: its run's data
// offset from the fragment's base and the first sample's size, from the run
// or the fragment header's default.
u64 FirstFragmentFrameEnd(Bytes& bytes, u64 moof, u64 moofEnd, const Box& box, std::uint32_t track)
{
    u64 pos = moof + box.header;
    for (int i = 0; i < kMaxChildren && moofEnd - pos >= 8; ++i) {
        Box traf;
        if (ReadBox(bytes, pos, moofEnd, &traf) != Parsed::Ok)
            return 0;
        u64 b = 0, e = 0;
        std::uint8_t h[32];
        if (Is(traf.type, "traf") &&
            FindPath(bytes, pos + traf.header, pos + traf.size, {"tfhd"}, &b, &e) &&
            ReadBody(bytes, b, e, h, 8) && Be32(h + 4) == track) {
            const std::uint32_t flags = Be32(h) & 0xFFFFFF;
            const std::size_t length = static_cast<std::size_t>(std::min<u64>(e - b, sizeof h));
            if (!ReadBody(bytes, b, e, h, length))
                return 0;
            std::size_t at = 8;
            u64 base = moof;
            if (flags & 0x01) { // base data offset
                if (at + 8 > length)
                    return 0;
                base = Be64(h + at);
                at += 8;
            }
            at += (flags & 0x02) ? 4 : 0; // sample description index
            at += (flags & 0x08) ? 4 : 0; // default duration
            u64 defaultSize = 0;
            if (flags & 0x10) {
                if (at + 4 > length)
                    return 0;
                defaultSize = Be32(h + at);
            }

            if (!FindPath(bytes, pos + traf.header, pos + traf.size, {"trun"}, &b, &e))
                return 0;
            const std::size_t runLength = static_cast<std::size_t>(std::min<u64>(e - b, sizeof h));
            if (!ReadBody(bytes, b, e, h, runLength) || runLength < 8)
                return 0;
            const std::uint32_t run = Be32(h) & 0xFFFFFF;
            if (Be32(h + 4) == 0 || !(run & 0x01) || runLength < 12)
                return 0;
            const u64 start = base + static_cast<std::int32_t>(Be32(h + 8));
            at = 12 + ((run & 0x04) ? 4 : 0) + ((run & 0x100) ? 4 : 0);
            u64 sampleSize = defaultSize;
            if (run & 0x200) {
                if (at + 4 > runLength)
                    return 0;
                sampleSize = Be32(h + at);
            }
            return sampleSize == 0 ? 0 : start + sampleSize;
        }
        pos += traf.size;
    }
    return 0;
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

// A box that runs past the end after the movie box: a file cut short, a
// download that stopped. It decodes up to the cut when its first video frame
// is there; where that frame lies only the sample tables (or the first movie
// fragment) say.
ContainerProbe CutAfterTheMovie(const Movie& movie, u64 size)
{
    if (movie.fragmented && !movie.fragmentSeen)
        return Undecodable("mp4: the file ends before the first movie fragment");
    if (movie.firstFrameEnd == 0)
        return NotJudged("mp4: cut, the first frame not located");
    return movie.firstFrameEnd <= size ? Plausible("mp4: cut after the first frame")
                                       : Undecodable("mp4: the file ends before the first frame");
}

ContainerProbe ProbeIsoMedia(Bytes& bytes, FrameSize* frame)
{
    const u64 size = bytes.size();
    bool haveMovie = false;
    Movie movie;
    u64 pos = 0;
    for (int i = 0; pos < size; ++i) {
        // Fragmented files carry a pair of boxes per fragment: once the
        // movie box is known good, the rest is the decoder's business.
        if (i == kMaxTopLevel)
            return haveMovie ? Plausible("mp4: movie box whole, later boxes not walked")
                             : NotJudged("mp4: no movie box among the first boxes");
        Box box;
        switch (ReadBox(bytes, pos, size, &box)) {
        case Parsed::Ok:
            break;
        case Parsed::Cut:
            // A few bytes after the last box are no box at all; decoders
            // pass over them.
            if (haveMovie && size - pos < 8)
                return Plausible("mp4: boxes add up, a few stray bytes at the end");
            return haveMovie ? CutAfterTheMovie(movie, size) : Undecodable("mp4: no movie box");
        case Parsed::Invalid:
            return Undecodable("mp4: a box smaller than its header");
        case Parsed::PastEnd:
            if (Is(box.type, "moov"))
                return Undecodable("mp4: the movie box runs past the end");
            // Before the movie box, the movie box lies beyond the end.
            return haveMovie ? CutAfterTheMovie(movie, size)
                             : Undecodable("mp4: a box runs past the end of the file");
        case Parsed::IoError:
            return ReadFailed();
        }
        if (Is(box.type, "moov")) {
            bytes.Keep(pos, box.size);
            const ContainerProbe inner =
                ProbeMovieBox(bytes, pos + box.header, pos + box.size, &movie);
            *frame = movie.frame;
            if (inner.verdict != ContainerVerdict::Plausible)
                return inner;
            haveMovie = true;
        } else if (Is(box.type, "moof") && haveMovie && movie.fragmented) {
            movie.fragmentSeen = true;
            if (movie.firstFrameEnd == 0 && movie.videoTrack != 0) {
                bytes.Keep(pos, box.size);
                movie.firstFrameEnd =
                    FirstFragmentFrameEnd(bytes, pos, pos + box.size, box, movie.videoTrack);
            }
        }
        pos += box.size;
    }
    return haveMovie ? Plausible("mp4: boxes add up") : Undecodable("mp4: no movie box");
}

// --- AVI (RIFF) -------------------------------------------------------------------------

bool IsVideoChunk(const std::uint8_t* id)
{
    return (id[2] == 'd' && id[3] == 'c') || (id[2] == 'd' && id[3] == 'b');
}

// The frame size of the first video stream list: its stream header says
// video, its format is a BITMAPINFOHEADER (rows top-down when the height is
// negative).
void ReadStreamList(Bytes& bytes, u64 pos, u64 end, FrameSize* frame)
{
    bool video = false;
    for (int i = 0; i < kMaxChildren && end - pos >= 8; ++i) {
        std::uint8_t h[20];
        if (!bytes.Read(pos, h, 8))
            return;
        const u64 body = Le32(h + 4);
        if (body > end - pos - 8)
            return;
        if (Is(h, "strh") && body >= 4 && bytes.Read(pos + 8, h + 8, 4))
            video = Is(h + 8, "vids");
        if (Is(h, "strf") && video && body >= 12 && bytes.Read(pos + 8, h + 8, 12)) {
            const std::int64_t height = static_cast<std::int32_t>(Le32(h + 16));
            frame->width = Le32(h + 12);
            frame->height = static_cast<std::uint32_t>(height < 0 ? -height : height);
            return;
        }
        pos += 8 + body + (body & 1);
    }
}

// The main header list must hold the main AVI header; its first video
// stream list tells the frame size.
ContainerProbe ProbeHeaderList(Bytes& bytes, u64 pos, u64 end, FrameSize* frame)
{
    bool mainHeader = false;
    for (int i = 0; i < kMaxChildren && end - pos >= 8; ++i) {
        std::uint8_t h[12];
        if (!bytes.Read(pos, h, 8))
            return ReadFailed();
        const u64 body = Le32(h + 4);
        if (body > end - pos - 8) {
            if (mainHeader)
                break; // what follows the main header is the splitter's to judge
            return Undecodable("avi: the hdrl list's chunks do not add up");
        }
        mainHeader = mainHeader || Is(h, "avih");
        if (Is(h, "LIST") && body >= 4 && frame->width == 0 && bytes.Read(pos + 8, h + 8, 4) &&
            Is(h + 8, "strl"))
            ReadStreamList(bytes, pos + 12, pos + 8 + body, frame);
        pos += 8 + body + (body & 1);
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
        pos += 8 + body + (body & 1);
    }
    return Plausible("avi: headers whole, no video among the first chunks");
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
constexpr std::uint32_t kBlockId = 0xA1;
constexpr std::uint32_t kTrackEntryId = 0xAE;
constexpr std::uint32_t kTrackNumberId = 0xD7;
constexpr std::uint32_t kTrackTypeId = 0x83;
constexpr u64 kVideoTrackType = 1;
constexpr std::uint32_t kVideoId = 0xE0;
constexpr std::uint32_t kPixelWidthId = 0xB0;
constexpr std::uint32_t kPixelHeightId = 0xBA;

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

// A child element that lies wholly inside [pos, end).
bool ReadChild(Bytes& bytes, u64 pos, u64 end, Element* e)
{
    return ReadElement(bytes, pos, e) == Parsed::Ok && !e->unknownSize && e->header <= end - pos &&
           e->size <= end - pos - e->header;
}

// An unsigned integer element's value; 0 for one that can't be read.
u64 ReadUnsigned(Bytes& bytes, u64 pos, u64 size)
{
    std::uint8_t h[8];
    if (size == 0 || size > sizeof h || !bytes.Read(pos, h, static_cast<std::size_t>(size)))
        return 0;
    u64 value = 0;
    for (u64 k = 0; k < size; ++k)
        value = (value << 8) | h[k];
    return value;
}

// The pixel size in a track's video settings [pos, end).
void ReadVideoSettings(Bytes& bytes, u64 pos, u64 end, FrameSize* frame)
{
    for (int i = 0; i < kMaxChildren && pos < end; ++i) {
        Element e;
        if (!ReadChild(bytes, pos, end, &e))
            return;
        const u64 value = ReadUnsigned(bytes, pos + e.header, e.size);
        if (e.id == kPixelWidthId)
            frame->width = static_cast<std::uint32_t>(std::min<u64>(value, 0xFFFFFFFF));
        if (e.id == kPixelHeightId)
            frame->height = static_cast<std::uint32_t>(std::min<u64>(value, 0xFFFFFFFF));
        pos += e.header + e.size;
    }
}

// The number of the first video track in the Tracks body [pos, end), with
// its frame size; 0 when none can be read.
u64 VideoTrackNumber(Bytes& bytes, u64 pos, u64 end, FrameSize* frame)
{
    for (int i = 0; i < kMaxChildren && pos < end; ++i) {
        Element entry;
        if (!ReadChild(bytes, pos, end, &entry))
            return 0;
        if (entry.id == kTrackEntryId) {
            u64 number = 0, type = 0;
            u64 video = 0, videoEnd = 0;
            u64 at = pos + entry.header;
            const u64 entryEnd = at + entry.size;
            for (int k = 0; k < kMaxChildren && at < entryEnd; ++k) {
                Element e;
                if (!ReadChild(bytes, at, entryEnd, &e))
                    return 0;
                if (e.id == kTrackNumberId)
                    number = ReadUnsigned(bytes, at + e.header, e.size);
                if (e.id == kTrackTypeId)
                    type = ReadUnsigned(bytes, at + e.header, e.size);
                if (e.id == kVideoId) {
                    video = at + e.header;
                    videoEnd = video + e.size;
                }
                at += e.header + e.size;
            }
            if (type == kVideoTrackType && number != 0) {
                if (video != 0)
                    ReadVideoSettings(bytes, video, videoEnd, frame);
                return number;
            }
        }
        pos += entry.header + entry.size;
    }
    return 0;
}

// The track of a block: the number its body [pos, end) starts with; 0 when
// it can't be read.
u64 BlockTrack(Bytes& bytes, u64 pos, u64 end)
{
    std::uint8_t h[8];
    const std::size_t have = static_cast<std::size_t>(std::min<u64>(sizeof h, end - pos));
    if (have == 0 || !bytes.Read(pos, h, have))
        return 0;
    const int length = VintLength(h[0]);
    if (length == 0 || static_cast<std::size_t>(length) > have)
        return 0;
    u64 value = h[0] & (0xFF >> length);
    for (int k = 1; k < length; ++k)
        value = (value << 8) | h[k];
    return value;
}

// The track of a block group's block.
u64 BlockGroupTrack(Bytes& bytes, u64 pos, u64 end)
{
    for (int i = 0; i < kMaxChildren && pos < end; ++i) {
        Element e;
        if (!ReadChild(bytes, pos, end, &e))
            return 0;
        if (e.id == kBlockId)
            return BlockTrack(bytes, pos + e.header, pos + e.header + e.size);
        pos += e.header + e.size;
    }
    return 0;
}

// The first cluster must carry a whole block of the video track (of any
// track when the tracks did not say which is video) before the file ends.
ContainerProbe ProbeCluster(Bytes& bytes, u64 pos, u64 end, u64 videoTrack)
{
    for (int i = 0; i < kMaxChildren; ++i) {
        if (pos >= end)
            return end >= bytes.size()
                       ? Undecodable("mkv: the file ends before the first video block")
                       : NotJudged("mkv: the first Cluster holds no video block");
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
            return NotJudged("mkv: the first Cluster holds no video block");
        const u64 body = pos + e.header;
        const bool whole = body <= bytes.size() && e.size <= bytes.left(body);
        const bool block = e.id == kSimpleBlockId || e.id == kBlockGroupId;
        if (!whole)
            return Undecodable(block ? "mkv: the file ends inside the first video block"
                                     : "mkv: the file ends inside the first Cluster");
        if (block) {
            const u64 track = e.id == kSimpleBlockId ? BlockTrack(bytes, body, body + e.size)
                                                     : BlockGroupTrack(bytes, body, body + e.size);
            if (videoTrack == 0 || track == videoTrack)
                return Plausible("mkv: headers and the first video block whole");
        }
        pos = body + e.size;
    }
    return NotJudged("mkv: no video block among the first elements");
}

ContainerProbe ProbeMatroska(Bytes& bytes, FrameSize* frame)
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
    u64 videoTrack = 0;
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
                                    : pos + e.header + e.size,
                                videoTrack);
        if (e.unknownSize)
            return NotJudged("mkv: an element of unknown size before the Tracks");
        if (e.size > bytes.left(pos + e.header))
            return Undecodable(e.id == kTracksId ? "mkv: the Tracks element is cut"
                                                 : "mkv: the file ends before the first Cluster");
        if (e.id == kTracksId) {
            tracks = true;
            videoTrack = VideoTrackNumber(bytes, pos + e.header, pos + e.header + e.size, frame);
        }
        pos += e.header + e.size;
    }
    return NotJudged("mkv: too many elements before the first Cluster");
}

// --- ASF (WMV, WMA, ASX-named ASF) ------------------------------------------------------

u64 Le64(const std::uint8_t* p)
{
    return (u64{Le32(p + 4)} << 32) | Le32(p);
}

// Object GUIDs as they lie in the file.
constexpr std::uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::uint8_t kAsfData[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::uint8_t kAsfFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::uint8_t kAsfStreamProperties[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                                   0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::uint8_t kAsfVideoMedia[16] = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                                             0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

constexpr u64 kAsfHeaderObject = 30; // GUID, size, object count, two reserved bytes
constexpr u64 kAsfObject = 24;       // GUID and size
constexpr u64 kAsfDataObject = 50;   // GUID, size, file ID, packet count, reserved

bool IsGuid(const std::uint8_t* p, const std::uint8_t (&guid)[16])
{
    return std::memcmp(p, guid, 16) == 0;
}

// The header object's children: the data packets' size from the file
// properties (fixed when the least and the largest agree; kUnknownPacket
// otherwise), and the frame size of the first video stream. False when the
// children do not add up to the header object, or the file properties are
// missing: no reader gets past such headers.
constexpr u64 kUnknownPacket = ~u64{0};

bool ReadAsfHeaders(Bytes& bytes, u64 pos, u64 end, u64* packetSize, FrameSize* frame)
{
    bool fileProperties = false;
    for (int i = 0; i < kMaxChildren && pos < end; ++i) {
        std::uint8_t h[kAsfObject];
        if (end - pos < kAsfObject)
            return false;
        if (!bytes.Read(pos, h, sizeof h))
            return true; // unread is not broken
        const u64 length = Le64(h + 16);
        if (length < kAsfObject || length > end - pos)
            return false;
        if (IsGuid(h, kAsfFileProperties) && length >= 104) {
            fileProperties = true;
            std::uint8_t sizes[8];
            if (bytes.Read(pos + 92, sizes, sizeof sizes) && Le32(sizes) == Le32(sizes + 4))
                *packetSize = Le32(sizes);
        } else if (IsGuid(h, kAsfStreamProperties) && length >= 86 && frame->width == 0) {
            std::uint8_t type[16];
            std::uint8_t size[8];
            if (bytes.Read(pos + kAsfObject, type, sizeof type) && IsGuid(type, kAsfVideoMedia) &&
                bytes.Read(pos + 78, size, sizeof size)) {
                frame->width = Le32(size);
                frame->height = Le32(size + 4);
            }
        }
        pos += length;
    }
    return fileProperties || pos < end; // a walk cut off by its bound is not judged
}

// A cut inside the header object leaves nothing to decode; a file that ends
// before its first data packet is whole has no frame. Past that first
// packet a cut file still decodes up to the cut.
ContainerProbe ProbeAsf(Bytes& bytes, FrameSize* frame)
{
    const u64 size = bytes.size();
    std::uint8_t h[kAsfHeaderObject];
    if (size < kAsfHeaderObject)
        return Undecodable("asf: the header object is cut");
    if (!bytes.Read(0, h, sizeof h))
        return ReadFailed();
    const u64 headerEnd = Le64(h + 16);
    if (headerEnd < kAsfHeaderObject)
        return Undecodable("asf: the header object's size is too small");
    if (headerEnd > size)
        return Undecodable("asf: the file ends inside the header object");
    u64 packetSize = kUnknownPacket;
    if (!ReadAsfHeaders(bytes, kAsfHeaderObject, headerEnd, &packetSize, frame))
        return Undecodable("asf: the header objects do not add up");

    std::uint8_t data[kAsfObject];
    if (bytes.left(headerEnd) < kAsfDataObject)
        return Undecodable("asf: the file ends before the data object");
    if (!bytes.Read(headerEnd, data, sizeof data))
        return ReadFailed();
    if (!IsGuid(data, kAsfData))
        return NotJudged("asf: no data object after the headers");
    if (packetSize == 0)
        return Undecodable("asf: data packets of no size");
    if (packetSize == kUnknownPacket)
        return Plausible("asf: headers whole");
    if (bytes.left(headerEnd + kAsfDataObject) < packetSize)
        return Undecodable("asf: the file ends inside the first data packet");
    return Plausible("asf: headers and the first data packet whole");
}

// --- FLV --------------------------------------------------------------------------------

constexpr u64 kFlvHeader = 9; // signature, version, flags, data offset
// A tag as the walk reads it: the size of the tag before it, then its type,
// data size, timestamp and stream ID.
constexpr u64 kFlvTagStart = 15;
constexpr u64 kFlvTagHeader = 11;
constexpr std::uint8_t kFlvAudioTag = 8;
constexpr std::uint8_t kFlvVideoTag = 9;
constexpr std::uint8_t kFlvScriptTag = 18;

std::uint32_t Be24(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
}

enum class FlvVideo
{
    Frame,   // a coded picture
    NoFrame, // a decoder configuration, an end of sequence, a command
    Unknown, // an extended header, a frame type no muxer writes
};

// What a whole video tag carries, from its first bytes (have of them, 1 or
// 2) and its data size: for AVC and HEVC a packet of coded pictures after
// the packet type and composition time, not the decoder configuration; for
// the older codecs any data after the codec byte.
FlvVideo FlvVideoKind(const std::uint8_t* data, std::size_t have, u64 size)
{
    const int frameType = data[0] >> 4; // with bit 7 set: the extended header of newer muxers
    const int codec = data[0] & 0x0F;
    if (frameType == 0 || frameType > 5)
        return FlvVideo::Unknown;
    if (frameType == 5) // video info or a command, no picture
        return FlvVideo::NoFrame;
    if (codec != 7 && codec != 12)
        return size > 1 ? FlvVideo::Frame : FlvVideo::NoFrame;
    if (have < 2 || data[1] == 0 || data[1] == 2)
        return FlvVideo::NoFrame;
    return data[1] == 1 ? (size > 5 ? FlvVideo::Frame : FlvVideo::NoFrame) : FlvVideo::Unknown;
}

// The tags up to the first video frame must be whole; past it a cut file
// still decodes up to the cut. The size each tag is followed by tells a
// walk that lost its way (a damaged data size) from a file that ends.
ContainerProbe ProbeFlv(Bytes& bytes)
{
    std::uint8_t h[kFlvHeader];
    if (bytes.size() < kFlvHeader)
        return Undecodable("flv: the header is cut");
    if (!bytes.Read(0, h, sizeof h))
        return ReadFailed();
    // Readers part ways on another data offset: some go there, others read
    // on after the header (a clip with its offset damaged still plays).
    if (Be32(h + 5) != kFlvHeader)
        return NotJudged("flv: a data offset other than the header's size");
    if (!(h[4] & 0x01))
        return NotJudged("flv: the header announces no video");
    u64 pos = kFlvHeader; // at the size of the tag before
    u64 previous = 0;     // that tag's size; none before the first
    for (int i = 0; i < kMaxTopLevel; ++i) {
        if (bytes.left(pos) < kFlvTagStart)
            return Undecodable("flv: the file ends before the first video frame");
        const std::uint8_t* tag = nullptr;
        if (bytes.Peek(pos, kFlvTagStart, kFlvTagStart, &tag) == 0)
            return ReadFailed();
        if (previous != 0 && Be32(tag) != previous)
            return NotJudged("flv: a tag size disagrees with the size after the tag");
        const std::uint8_t type = tag[4]; // with bit 5 set: an encrypted tag
        const u64 dataSize = Be24(tag + 5);
        const u64 body = pos + kFlvTagStart;
        if (type != kFlvAudioTag && type != kFlvVideoTag && type != kFlvScriptTag)
            return NotJudged("flv: a tag of unknown type, or encrypted");
        if (dataSize > bytes.left(body))
            return Undecodable("flv: a tag before the first video frame runs past the end");
        if (type == kFlvVideoTag && dataSize != 0) {
            const std::size_t have = dataSize >= 2 ? 2 : 1;
            const std::uint8_t* data = nullptr;
            if (bytes.Peek(body, have, have, &data) == 0)
                return ReadFailed();
            const FlvVideo kind = FlvVideoKind(data, have, dataSize);
            if (kind == FlvVideo::Frame)
                return Plausible("flv: header and the first video frame whole");
            if (kind == FlvVideo::Unknown)
                return NotJudged("flv: a video tag of an unknown kind");
        }
        previous = kFlvTagHeader + dataSize;
        pos = body + dataSize;
    }
    return NotJudged("flv: no video frame among the first tags");
}

// --- MPEG program streams and video elementary streams ----------------------------------

// How far into the file the probe looks for the first whole picture: an
// intra picture of an ordinary stream ends well inside it. A larger file
// whose first picture does not end there is not judged.
constexpr u64 kMpegWindow = 80 * 1024;
// Packs and packets walked in that window: 2 KB packs are usual, packets
// of a few hundred bytes are not rare.
constexpr int kMaxPackets = 256;

constexpr std::uint32_t kMpegStartCode = 0x00000100; // then the code's byte
constexpr std::uint8_t kPictureStart = 0x00;
constexpr std::uint8_t kLastSliceStart = 0xAF;
constexpr std::uint8_t kSequenceHeader = 0xB3;
constexpr std::uint8_t kExtensionStart = 0xB5;
constexpr std::uint8_t kSequenceEnd = 0xB7;
constexpr std::uint8_t kGroupStart = 0xB8;
constexpr std::uint8_t kProgramEnd = 0xB9;
constexpr std::uint8_t kPackStart = 0xBA;
constexpr std::uint8_t kSystemHeader = 0xBB;
constexpr std::uint8_t kStreamMap = 0xBC;
constexpr std::uint8_t kPaddingStream = 0xBE;

// The start codes of an MPEG-1 or MPEG-2 video stream, fed in pieces as they
// come (in a program stream a start code may straddle two PES packets): the
// first sequence header's frame size, and whether the first picture after
// it is whole, which the next picture, group, sequence header or sequence
// end tells.
class VideoStartCodes
{
public:
    void Feed(const std::uint8_t* p, std::size_t n)
    {
        for (std::size_t k = 0; k < n && !pictureEnded_; ++k) {
            if (want_ != 0) {
                fields_[have_++] = p[k];
                if (have_ == want_)
                    Fields();
            }
            last_ = (last_ << 8) | p[k];
            if ((last_ & 0xFFFFFF00) == kMpegStartCode)
                StartCode(p[k]);
        }
    }

    // The end of a program stream ends the picture it was in.
    void ProgramEnds() { pictureEnded_ = picture_; }

    bool pictureEnded() const { return pictureEnded_; }
    FrameSize frame() const { return frame_; }

    bool sequence() const { return sequence_; }

    // Whether a stream without a sequence header is MPEG video all the same:
    // it has no start code at all, a sequence header cut short, or begins
    // with a group or a picture. A stream of another codec begins otherwise.
    bool mpegVideo() const
    {
        return !anyCode_ || firstCode_ == kSequenceHeader || firstCode_ == kGroupStart ||
               firstCode_ == kPictureStart;
    }

    // Whether a stream that ends inside its first picture may still hold it
    // whole: its last slice started in the picture's bottom row, as in a
    // stream of one picture. A stream cut short seldom ends so.
    bool pictureMayBeWhole() const
    {
        if (!picture_)
            return false;
        const std::uint32_t rows = field_ ? (frame_.height + 31) / 32 : (frame_.height + 15) / 16;
        return rows > kLastSliceStart || lastSlice_ >= rows;
    }

private:
    void StartCode(std::uint8_t code)
    {
        want_ = have_ = 0; // a header cut short by the next start code is not read
        if (!anyCode_)
            firstCode_ = code;
        anyCode_ = true;
        if (picture_) {
            if (code == kPictureStart || code == kGroupStart || code == kSequenceHeader ||
                code == kSequenceEnd)
                pictureEnded_ = true;
            else if (code <= kLastSliceStart)
                lastSlice_ = std::max(lastSlice_, std::uint32_t{code});
            else if (code == kExtensionStart && previous_ == kPictureStart)
                want_ = 3; // the picture coding extension: frame or field
        } else if (code == kSequenceHeader && !sequence_) {
            want_ = 3; // the frame size
        } else if (code == kPictureStart && sequence_) {
            picture_ = true;
        }
        previous_ = code;
    }

    // The first bytes after the start code previous_.
    void Fields()
    {
        const std::uint8_t* f = fields_;
        want_ = 0;
        if (previous_ == kSequenceHeader) {
            frame_.width = (std::uint32_t{f[0]} << 4) | (f[1] >> 4);
            frame_.height = (std::uint32_t{f[1] & 0x0Fu} << 8) | f[2];
            sequence_ = true;
        } else if (f[0] >> 4 == 8) { // the picture coding extension
            field_ = (f[2] & 3) != 3;
        }
    }

    std::uint32_t last_ = 0xFFFFFFFF; // the last four bytes
    std::uint8_t fields_[3] = {};
    int want_ = 0; // bytes of fields wanted after a start code
    int have_ = 0;
    bool anyCode_ = false;
    std::uint8_t firstCode_ = 0;
    std::uint8_t previous_ = 0;
    bool sequence_ = false;
    bool picture_ = false;
    bool field_ = false;
    bool pictureEnded_ = false;
    std::uint32_t lastSlice_ = 0;
    FrameSize frame_;
};

// Feeds the file's bytes [from, to) to the scan, until its first picture
// ends; false on a read error.
bool Scan(Bytes& bytes, u64 from, u64 to, VideoStartCodes* scan)
{
    while (from < to && !scan->pictureEnded()) {
        const std::uint8_t* p = nullptr;
        const std::size_t n = bytes.Peek(from, 1, static_cast<std::size_t>(to - from), &p);
        if (n == 0)
            return false;
        scan->Feed(p, n);
        from += n;
    }
    return true;
}

// The verdict on the start of a video stream; whole: the scan reached the
// end of the file.
ContainerProbe JudgeVideoStart(const VideoStartCodes& scan, bool whole, FrameSize* frame)
{
    *frame = scan.frame();
    if (scan.pictureEnded())
        return Plausible("mpeg: sequence header and the first picture whole");
    if (!whole)
        return NotJudged("mpeg: no whole picture at the start of the file");
    if (scan.pictureMayBeWhole())
        return NotJudged("mpeg: the file ends in the bottom row of the first picture");
    if (scan.sequence())
        return Undecodable("mpeg: the file ends before the first picture is whole");
    return scan.mpegVideo() ? Undecodable("mpeg: the file ends before a sequence header")
                            : NotJudged("mpeg: a video stream of another kind");
}

ContainerProbe ProbeVideoStream(Bytes& bytes, FrameSize* frame)
{
    const u64 end = std::min(bytes.size(), kMpegWindow);
    VideoStartCodes scan;
    if (!Scan(bytes, 0, end, &scan))
        return ReadFailed();
    return JudgeVideoStart(scan, end == bytes.size(), frame);
}

// Where a PES packet's payload starts, counted from its start code, in the
// MPEG-2 layout or the MPEG-1 one; 0 for a header of neither, or one that
// its first bytes h[0, have) do not hold.
std::size_t PesPayload(const std::uint8_t* h, std::size_t have)
{
    if (have < 7)
        return 0;
    if ((h[6] & 0xC0) == 0x80)
        return have >= 9 ? 9 + std::size_t{h[8]} : 0;
    std::size_t k = 6;
    while (k < have && k < 6 + 16 && h[k] == 0xFF) // stuffing
        ++k;
    if (k < have && (h[k] & 0xC0) == 0x40) // buffer size
        k += 2;
    if (k >= have)
        return 0;
    if ((h[k] & 0xF0) == 0x20) // presentation time
        return k + 5;
    if ((h[k] & 0xF0) == 0x30) // presentation and decoding time
        return k + 10;
    return h[k] == 0x0F ? k + 1 : 0;
}

// A program stream: pack headers (MPEG-1 or MPEG-2 layout) and packets; the
// payload of the first video stream's packets goes through the scan.
ContainerProbe ProbeProgramStream(Bytes& bytes, FrameSize* frame)
{
    const u64 size = bytes.size();
    const u64 end = std::min(size, kMpegWindow);
    VideoStartCodes scan;
    std::uint8_t video = 0;    // the first video stream's ID
    bool otherStreams = false; // packets of a stream other than video or padding
    u64 pos = 0;
    for (int i = 0; pos < end && !scan.pictureEnded(); ++i) {
        if (i == kMaxPackets)
            return NotJudged("mpeg: too many packets before the first picture ends");
        const std::size_t have = static_cast<std::size_t>(std::min<u64>(32, size - pos));
        const std::uint8_t* h = nullptr;
        if (bytes.Peek(pos, have, have, &h) == 0)
            return ReadFailed();
        if (have < 4) {
            pos = size; // the file ends inside a start code
            break;
        }
        if (Be32(h) >> 8 != kMpegStartCode >> 8)
            return NotJudged("mpeg: no start code where a packet belongs");
        const std::uint8_t id = h[3];
        if ((id == kPackStart && have < 5) || (id > kPackStart && have < 6)) {
            pos = size; // the file ends inside a header
            break;
        }
        if (id == kPackStart) {
            if ((h[4] & 0xC0) == 0x40) // MPEG-2, with stuffing
                pos += have >= 14 ? 14 + (h[13] & 7) : 14;
            else if ((h[4] & 0xF0) == 0x20) // MPEG-1
                pos += 12;
            else
                return NotJudged("mpeg: a pack header of unknown layout");
            continue;
        }
        if (id == kProgramEnd) {
            scan.ProgramEnds();
            pos += 4;
            continue;
        }
        if (id < kProgramEnd)
            return NotJudged("mpeg: a start code outside any packet");
        const u64 length = (std::uint32_t{h[4]} << 8) | h[5];
        if (length == 0)
            return NotJudged("mpeg: a packet of unbounded length");
        const u64 packetEnd = pos + 6 + length;
        if ((id & 0xF0) == 0xE0 && (video == 0 || id == video)) {
            video = id;
            const std::size_t payload = PesPayload(h, have);
            if (payload == 0 && pos + have == size) {
                pos = size; // the file ends inside the packet's header
                break;
            }
            if (payload == 0 || payload > 6 + length)
                return NotJudged("mpeg: a video packet header of unknown layout");
            if (!Scan(bytes, pos + payload, std::min(packetEnd, end), &scan))
                return ReadFailed();
        } else if (id != kPaddingStream && id != kSystemHeader && id != kStreamMap) {
            otherStreams = true;
        }
        pos = packetEnd;
    }
    // Only a walk through the whole file has seen all its video.
    const bool whole = end == size && pos >= size;
    if (video == 0)
        return whole && !otherStreams
                   ? Undecodable("mpeg: the file ends before the first video packet")
                   : NotJudged("mpeg: no video packet at the start of the file");
    return JudgeVideoStart(scan, whole, frame);
}

} // namespace

ContainerProbe ProbeContainer(ProbeReader& reader)
{
    Bytes bytes(reader);
    ContainerProbe probe;
    FrameSize frame;
    std::uint8_t head[8] = {};
    std::uint8_t asf[16] = {};
    const std::size_t have = bytes.size() >= 8 ? 8 : static_cast<std::size_t>(bytes.size());
    if (have == 0) {
        probe = Undecodable("empty file");
    } else if (bytes.Keep(0, bytes.size()), !bytes.Read(0, head, have)) {
        probe = ReadFailed();
    } else if (have >= 4 && Is(head, "RIFF")) {
        probe = ProbeAvi(bytes, &frame);
    } else if (have >= 4 && Be32(head) == kEbmlId) {
        probe = ProbeMatroska(bytes, &frame);
    } else if (have == 8 && LooksLikeIsoMedia(head)) {
        probe = ProbeIsoMedia(bytes, &frame);
    } else if (bytes.size() >= 16 && bytes.Read(0, asf, sizeof asf) && IsGuid(asf, kAsfHeader)) {
        probe = ProbeAsf(bytes, &frame);
    } else if (have >= 3 && std::memcmp(head, "FLV", 3) == 0) {
        probe = ProbeFlv(bytes);
    } else if (have >= 4 && Be32(head) == (kMpegStartCode | kPackStart)) {
        probe = ProbeProgramStream(bytes, &frame);
    } else if (have >= 4 && Be32(head) == (kMpegStartCode | kSequenceHeader)) {
        probe = ProbeVideoStream(bytes, &frame);
    } else {
        probe = NotJudged("a format left to DirectShow");
    }
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
