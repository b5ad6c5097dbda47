// The container probe for ISO base media files (MP4, QuickTime): the movie
// box, its first video track and where that track's first frame lies.
#include "engine/capture/core/container_probe/format.h"

#include <initializer_list>

namespace kadrix::probe {
namespace {

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

// a + b, or 0 (not known) when that does not fit.
u64 EndOf(u64 a, u64 b)
{
    return a <= ~u64{0} - b ? a + b : 0;
}

// A chunk offset box's first offset (32-bit in stco, 64-bit in co64);
// false for a box without one.
bool FirstChunk(Bytes& bytes, u64 b, u64 e, bool wide, u64* offset)
{
    std::uint8_t h[16];
    if (!ReadBody(bytes, b, e, h, wide ? 16 : 12) || Be32(h + 4) == 0)
        return false;
    *offset = wide ? Be64(h + 8) : Be32(h + 8);
    return true;
}

// The sample size box's first size (the one of all samples, or the first of
// the list); false for a box without one.
bool FirstSampleSize(Bytes& bytes, u64 b, u64 e, u64* size)
{
    std::uint8_t h[12];
    if (!ReadBody(bytes, b, e, h, 12))
        return false;
    *size = Be32(h + 4);
    if (*size != 0)
        return true;
    if (Be32(h + 8) == 0 || !ReadBody(bytes, b + 12, e, h, 4))
        return false;
    *size = Be32(h);
    return true;
}

// The sample table [pos, end) in one walk, each box read where the walk
// is: the frame size of the first sample description, and where the first
// sample ends from the first chunk's offset (stco before co64) and the
// first sample's size. The tables of a long clip run to megabytes: a walk
// per box would cost a read per table.
void ReadSampleTable(Bytes& bytes, u64 pos, u64 end, Movie* movie)
{
    bool description = false, stco = false, co64 = false, sizes = false;
    bool stcoOk = false, co64Ok = false, sizeOk = false;
    u64 stcoOffset = 0, co64Offset = 0, sampleSize = 0;
    for (int i = 0; i < kMaxChildren && end - pos >= 8; ++i) {
        Box box;
        if (ReadBox(bytes, pos, end, &box) != Parsed::Ok)
            break;
        const u64 b = pos + box.header, e = pos + box.size;
        if (Is(box.type, "stsd") && !description) {
            description = true;
            // A visual sample entry: size, type, 6 reserved, data reference
            // index, 16 bytes of pre-defined and reserved fields, then width
            // and height.
            std::uint8_t entry[44];
            if (ReadBody(bytes, b, e, entry, 44) && Be32(entry + 4) != 0) {
                movie->frame.width = (std::uint32_t{entry[40]} << 8) | entry[41];
                movie->frame.height = (std::uint32_t{entry[42]} << 8) | entry[43];
            }
        } else if (Is(box.type, "stco") && !stco) {
            stco = true;
            stcoOk = FirstChunk(bytes, b, e, false, &stcoOffset);
        } else if (Is(box.type, "co64") && !co64) {
            co64 = true;
            co64Ok = FirstChunk(bytes, b, e, true, &co64Offset);
        } else if (Is(box.type, "stsz") && !sizes) {
            sizes = true;
            sizeOk = FirstSampleSize(bytes, b, e, &sampleSize);
        }
        pos = e;
    }
    const bool offsetOk = stco ? stcoOk : co64Ok;
    if (offsetOk && sizeOk)
        movie->firstFrameEnd = EndOf(stco ? stcoOffset : co64Offset, sampleSize);
}

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
    if (FindPath(bytes, pos, end, {"mdia", "minf", "stbl"}, &b, &e))
        ReadSampleTable(bytes, b, e, movie);
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
            // The data offset is signed: a run may start before its base.
            const std::int32_t offset = static_cast<std::int32_t>(Be32(h + 8));
            const u64 distance = static_cast<u64>(offset < 0 ? -std::int64_t{offset} : offset);
            if (offset < 0 && distance > base)
                return 0;
            const u64 start = offset < 0 ? base - distance : EndOf(base, distance);
            at = 12 + ((run & 0x04) ? 4 : 0) + ((run & 0x100) ? 4 : 0);
            u64 sampleSize = defaultSize;
            if (run & 0x200) {
                if (at + 4 > runLength)
                    return 0;
                sampleSize = Be32(h + at);
            }
            return sampleSize == 0 || start == 0 ? 0 : EndOf(start, sampleSize);
        }
        pos += traf.size;
    }
    return 0;
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

} // namespace

bool SniffIsoMedia(const Head& head)
{
    if (head.have < 8)
        return false;
    // Files of the ISO family start with their file type box; QuickTime files
    // made before it existed start with whatever top-level box came first.
    for (const char* type : {"ftyp", "moov", "mdat", "wide", "free", "skip", "pnot"})
        if (Is(head.bytes + 4, type))
            return true;
    return false;
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
            const ContainerProbe inner =
                ProbeMovieBox(bytes, pos + box.header, pos + box.size, &movie);
            *frame = movie.frame;
            if (inner.verdict != ContainerVerdict::Plausible)
                return inner;
            haveMovie = true;
        } else if (Is(box.type, "moof") && haveMovie && movie.fragmented) {
            movie.fragmentSeen = true;
            if (movie.firstFrameEnd == 0 && movie.videoTrack != 0) {
                movie.firstFrameEnd =
                    FirstFragmentFrameEnd(bytes, pos, pos + box.size, box, movie.videoTrack);
            }
        }
        pos += box.size;
    }
    return haveMovie ? Plausible("mp4: boxes add up") : Undecodable("mp4: no movie box");
}

} // namespace kadrix::probe
