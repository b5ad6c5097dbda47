// The container probe for FLV files: the tags up to the first video frame.
#include "engine/capture/core/container_probe/format.h"

namespace kadrix::probe {
namespace {

constexpr u64 kFlvHeader = 9; // signature, version, flags, data offset
// A tag as the walk reads it: the size of the tag before it, then its type,
// data size, timestamp and stream ID.
constexpr u64 kFlvTagStart = 15;
constexpr u64 kFlvTagHeader = 11;
constexpr std::uint8_t kFlvAudioTag = 8;
constexpr std::uint8_t kFlvVideoTag = 9;
constexpr std::uint8_t kFlvScriptTag = 18;

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

} // namespace

bool SniffFlv(const Head& head)
{
    return head.have >= 3 && std::memcmp(head.bytes, "FLV", 3) == 0;
}

// The tags up to the first video frame must be whole; past it a cut file
// still decodes up to the cut. The size each tag is followed by tells a
// walk that lost its way (a damaged data size) from a file that ends.
ContainerProbe ProbeFlv(Bytes& bytes, FrameSize* /*frame: its headers declare none*/)
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

} // namespace kadrix::probe
