// The container probe for Matroska and WebM (EBML) files: the segment, its
// tracks and the first cluster.
#include "engine/capture/core/container_probe/format.h"

namespace kadrix::probe {
namespace {

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

// What a track entry says of its track.
struct Track
{
    u64 number = 0;
    u64 type = 0;
    bool settings = false; // its video settings seen
    FrameSize frame;
};

// The track entry [pos, end), walked until its type says it is no video
// track, or its number, type and video settings are known; false when a
// child can't be read.
bool ReadTrackEntry(Bytes& bytes, u64 pos, u64 end, Track* track)
{
    for (int i = 0; i < kMaxChildren && pos < end; ++i) {
        Element e;
        if (!ReadChild(bytes, pos, end, &e))
            return false;
        const u64 body = pos + e.header;
        if (e.id == kTrackNumberId) {
            track->number = ReadUnsigned(bytes, body, e.size);
        } else if (e.id == kTrackTypeId) {
            track->type = ReadUnsigned(bytes, body, e.size);
            if (track->type != kVideoTrackType)
                return true;
        } else if (e.id == kVideoId && !track->settings) {
            track->settings = true;
            ReadVideoSettings(bytes, body, body + e.size, &track->frame);
        }
        if (track->number != 0 && track->type == kVideoTrackType && track->settings)
            return true;
        pos = body + e.size;
    }
    return true;
}

// The number of the first video track in the Tracks body [pos, end), with
// its frame size; 0 when none can be read. The entries after it are not
// walked.
u64 VideoTrackNumber(Bytes& bytes, u64 pos, u64 end, FrameSize* frame)
{
    for (int i = 0; i < kMaxChildren && pos < end; ++i) {
        Element entry;
        if (!ReadChild(bytes, pos, end, &entry))
            return 0;
        const u64 body = pos + entry.header;
        Track track;
        if (entry.id == kTrackEntryId) {
            if (!ReadTrackEntry(bytes, body, body + entry.size, &track))
                return 0;
            if (track.type == kVideoTrackType && track.number != 0) {
                *frame = track.frame;
                return track.number;
            }
        }
        pos = body + entry.size;
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
// The verdict on an element that could not be read: a failed read, a broken
// element (`broken`), or one that the file's end cuts (`cut`).
ContainerProbe ElementFailure(Parsed parsed, const char* broken, const char* cut)
{
    if (parsed == Parsed::IoError)
        return ReadFailed();
    return Undecodable(parsed == Parsed::Invalid ? broken : cut);
}

ContainerProbe ProbeCluster(Bytes& bytes, u64 pos, u64 end, u64 videoTrack)
{
    for (int i = 0; i < kMaxChildren; ++i) {
        if (pos >= end)
            return end >= bytes.size()
                       ? Undecodable("mkv: the file ends before the first video block")
                       : NotJudged("mkv: the first Cluster holds no video block");
        Element e;
        if (const Parsed parsed = ReadElement(bytes, pos, &e); parsed != Parsed::Ok)
            return ElementFailure(parsed, "mkv: a broken element in the first Cluster",
                                  "mkv: the file ends inside the first Cluster");
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

} // namespace

bool SniffMatroska(const Head& head)
{
    return head.have >= 4 && Be32(head.bytes) == kEbmlId;
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
        if (const Parsed parsed = ReadElement(bytes, pos, &e); parsed != Parsed::Ok)
            return ElementFailure(parsed, "mkv: a broken element before the first Cluster",
                                  "mkv: the file ends before the first Cluster");
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
        // Only the first Tracks element is read: a file has one.
        if (e.id == kTracksId && !tracks) {
            tracks = true;
            videoTrack = VideoTrackNumber(bytes, pos + e.header, pos + e.header + e.size, frame);
        }
        pos += e.header + e.size;
    }
    return NotJudged("mkv: too many elements before the first Cluster");
}

} // namespace kadrix::probe
