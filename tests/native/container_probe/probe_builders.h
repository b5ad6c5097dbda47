// Builders of the files the container probe's tests look at: ISO boxes, RIFF
// chunks, EBML elements, ASF objects, FLV tags and MPEG start codes, the
// sample files made of them, and a file in memory to probe them from.
#pragma once

#include "engine/capture/core/container_probe.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace kadrix::probe_test {

class MemoryFile final : public ProbeReader
{
public:
    explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)), readable_(bytes_.size()) {}
    MemoryFile(std::string bytes, std::size_t readable)
        : bytes_(std::move(bytes)), readable_(readable)
    {
    }

    std::uint64_t Size() override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        if (offset >= readable_)
            return 0;
        const std::size_t n = std::min<std::size_t>(count, readable_ - offset);
        std::memcpy(buffer, bytes_.data() + offset, n);
        return n;
    }

private:
    std::string bytes_;
    std::size_t readable_;
};

inline ContainerProbe Probe(const std::string& bytes)
{
    MemoryFile file(bytes);
    return ProbeContainer(file);
}

inline ContainerVerdict VerdictOf(const std::string& bytes)
{
    return Probe(bytes).verdict;
}

inline std::string Be32(std::uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

inline std::string Le32(std::uint32_t v)
{
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

inline std::string Repeat(const std::string& bytes, int times)
{
    std::string repeated;
    for (int i = 0; i < times; ++i)
        repeated += bytes;
    return repeated;
}

inline std::string Cut(const std::string& bytes, std::size_t keep)
{
    return bytes.substr(0, keep);
}

// --- ISO boxes --------------------------------------------------------------------------

inline std::string Box(const char* type, const std::string& body)
{
    return Be32(static_cast<std::uint32_t>(8 + body.size())) + type + body;
}

inline std::string BoxSized(std::uint32_t size, const char* type, const std::string& body = {})
{
    return Be32(size) + type + body;
}

inline std::string Box64(const char* type, const std::string& body)
{
    return Be32(1) + type + Be32(0) + Be32(static_cast<std::uint32_t>(16 + body.size())) + body;
}

inline const std::string kFtyp = Box("ftyp", "isom" + Be32(512) + "isomiso2avc1mp41");
inline const std::string kMoov = Box("moov", Box("mvhd", std::string(100, '\0')) +
                                                 Box("trak", Box("tkhd", std::string(84, '\0'))));
inline const std::string kMdat = Box("mdat", std::string(4000, 'x'));

// A video track whose first sample (of `size` bytes) lies at `offset`; with
// no chunk offsets at all its samples are in movie fragments.
inline std::string VideoTrack(std::uint32_t offset, std::uint32_t size, bool fragmented = false)
{
    const std::string tkhd = Box("tkhd", std::string(12, '\0') + Be32(1) + std::string(68, '\0'));
    const std::string hdlr = Box("hdlr", std::string(8, '\0') + "vide" + std::string(13, '\0'));
    const std::string stsz = Box("stsz", Be32(0) + Be32(0) + Be32(1) + Be32(size));
    const std::string stco =
        Box("stco", fragmented ? Be32(0) + Be32(0) : Be32(0) + Be32(1) + Be32(offset));
    // One visual sample entry of 1920 x 1080.
    const std::string avc1 =
        Box("avc1", std::string(24, '\0') + "\x07\x80\x04\x38" + std::string(50, '\0'));
    const std::string stsd = Box("stsd", Be32(0) + Be32(1) + avc1);
    const std::string stbl = Box("stbl", stsd + stsz + stco);
    const std::string minf = Box("minf", Box("vmhd", std::string(12, '\0')) + stbl);
    return Box("trak", tkhd + Box("mdia", Box("mdhd", std::string(24, '\0')) + hdlr + minf));
}

// A sound track: its header, `boxes` empty boxes, its media box, and a free
// box of `padding` bytes.
inline std::string SoundTrack(int boxes, std::size_t padding = 0)
{
    std::string children = Box("tkhd", std::string(84, '\0'));
    for (int i = 0; i < boxes; ++i)
        children += Box("free", "");
    const std::string hdlr = Box("hdlr", std::string(8, '\0') + "soun" + std::string(13, '\0'));
    children += Box("mdia", Box("mdhd", std::string(24, '\0')) + hdlr);
    return Box("trak", children + Box("free", std::string(padding, '\0')));
}

// --- RIFF chunks ------------------------------------------------------------------------

inline std::string Chunk(const char* id, const std::string& body)
{
    std::string chunk = id + Le32(static_cast<std::uint32_t>(body.size())) + body;
    if (body.size() % 2)
        chunk += '\0';
    return chunk;
}

inline std::string List(const char* type, const std::string& body)
{
    return Chunk("LIST", type + body);
}

inline std::string Riff(const char* form, const std::string& body, std::uint32_t declared)
{
    return "RIFF" + Le32(declared) + form + body;
}

inline std::string Riff(const char* form, const std::string& body)
{
    return Riff(form, body, static_cast<std::uint32_t>(4 + body.size()));
}

inline const std::string kHdrl =
    List("hdrl", Chunk("avih", std::string(56, '\0')) +
                     List("strl", Chunk("strh", std::string(56, '\0')) +
                                      Chunk("strf", std::string(40, '\0'))));
inline const std::string kFrame = Chunk("00dc", std::string(301, 'f')); // odd: padded
inline const std::string kMovi =
    List("movi", kFrame + kFrame + Chunk("01wb", std::string(64, 'a')));
inline const std::string kAvi = Riff("AVI ", kHdrl + Chunk("JUNK", std::string(100, '\0')) + kMovi +
                                                 Chunk("idx1", std::string(48, '\0')));

// --- EBML elements ----------------------------------------------------------------------

inline std::string Id(std::uint32_t id)
{
    std::string bytes = Be32(id);
    return bytes.substr(bytes.find_first_not_of('\0'));
}

// Sizes as 8-byte variable integers, the longest form.
inline std::string Size8(std::uint64_t size)
{
    std::string bytes(1, '\x01');
    for (int shift = 48; shift >= 0; shift -= 8)
        bytes += char(size >> shift);
    return bytes;
}

inline std::string Element(std::uint32_t id, const std::string& body)
{
    return Id(id) + Size8(body.size()) + body;
}

inline std::string UnknownSized(std::uint32_t id, const std::string& body)
{
    return Id(id) + "\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF" + body;
}

inline const std::string kEbml =
    Element(0x1A45DFA3, Element(0x4282, "matroska") + Element(0x4287, "\x04"));
inline const std::string kInfo = Element(0x1549A966, Element(0x2AD7B1, "\x0F\x42\x40"));
inline const std::string kTracks = Element(0x1654AE6B, Element(0xAE, Element(0xD7, "\x01")));
inline const std::string kBlock = Element(0xA3, std::string(200, 'b'));
inline const std::string kCluster =
    Element(0x1F43B675, Element(0xE7, std::string(1, '\0')) + kBlock + kBlock);
inline const std::string kMkv =
    kEbml + Element(0x18538067,
                    Element(0xEC, std::string(30, '\0')) + kInfo + kTracks + kCluster + kCluster);

// --- ASF objects ------------------------------------------------------------------------

inline std::string Le64(std::uint64_t v)
{
    return Le32(static_cast<std::uint32_t>(v)) + Le32(static_cast<std::uint32_t>(v >> 32));
}

inline std::string Guid(const char (&bytes)[17])
{
    return std::string(bytes, 16);
}

inline const std::string kAsfHeaderGuid =
    Guid("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");
inline const std::string kAsfDataGuid =
    Guid("\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");

inline std::string AsfObject(const std::string& guid, const std::string& body)
{
    return guid + Le64(24 + body.size()) + body;
}

// The header object with file properties (packets of least and largest
// size) and one video stream of 320 x 240, then the data object.
inline std::string Asf(std::uint32_t least, std::uint32_t largest, const std::string& packets)
{
    const std::string fileProperties =
        AsfObject(Guid("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65"),
                  std::string(68, '\0') + Le32(least) + Le32(largest) + Le32(0));
    const std::string video =
        AsfObject(Guid("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65"),
                  Guid("\xC0\xEF\x19\xBC\x4D\x5B\xCF\x11\xA8\xFD\x00\x80\x5F\x5C\x44\x2B") +
                      std::string(38, '\0') + Le32(320) + Le32(240) + std::string(51, '\0'));
    const std::string children = fileProperties + video;
    const std::string header = kAsfHeaderGuid + Le64(30 + children.size()) + Le32(2) +
                               std::string("\x01\x02", 2) + children;
    const std::string data =
        kAsfDataGuid + Le64(50 + packets.size()) + std::string(16, '\0') + Le64(2) + "\x01\x01";
    return header + data + packets;
}

// --- FLV tags ---------------------------------------------------------------------------

inline std::string Be24(std::size_t v)
{
    return Be32(static_cast<std::uint32_t>(v)).substr(1);
}

// A tag, followed by its size.
inline std::string FlvTag(char type, const std::string& data)
{
    return type + Be24(data.size()) + std::string(7, '\0') + data +
           Be32(static_cast<std::uint32_t>(11 + data.size()));
}

inline std::string Flv(char flags, const std::string& tags)
{
    return std::string("FLV\x01", 4) + flags + Be32(9) + Be32(0) + tags;
}

inline const std::string kScriptTag = FlvTag(18, "\x02\x00\x0AonMetaData" + std::string(40, '\0'));
inline const std::string kAvcConfig = FlvTag(9, std::string("\x17\x00\x00\x00\x00", 5) + "config");
inline const std::string kAvcFrame =
    FlvTag(9, std::string("\x17\x01\x00\x00\x00", 5) + std::string(600, 'f'));
inline const std::string kAudioTag = FlvTag(8, "\xAF\x01" + std::string(100, 'a'));
inline const std::string kFlv =
    Flv('\x05', kScriptTag + kAvcConfig + kAudioTag + kAvcFrame + kAvcFrame);

// --- MPEG start codes -------------------------------------------------------------------

inline std::string StartCode(char code, const std::string& body = {})
{
    return std::string("\x00\x00\x01", 3) + code + body;
}

inline std::string Be16(std::size_t v)
{
    return {char(v >> 8), char(v)};
}

inline std::string SequenceHeader(std::uint32_t width, std::uint32_t height)
{
    return StartCode('\xB3', {char(width >> 4), char((width << 4) | (height >> 8)), char(height)}) +
           std::string("\x13\xFF\xFF\xE0\x18", 5);
}

// A picture of one slice per row of macroblocks.
inline std::string Picture(int rows, std::size_t sliceSize)
{
    std::string picture = StartCode('\x00', std::string("\x00\x0F\xFF\xF8", 4));
    for (int row = 1; row <= rows; ++row)
        picture += StartCode(char(row), std::string(sliceSize, '\x55'));
    return picture;
}

inline const std::string kGroup = StartCode('\xB8', std::string("\x00\x08\x00\x40", 4));
inline const std::string kFirstPicture = SequenceHeader(720, 576) + kGroup + Picture(36, 60);
inline const std::string kVideoStream = kFirstPicture + Picture(36, 60) + StartCode('\xB7');

// An MPEG-1 pack header and packet (with a presentation time).
inline const std::string kPack1 =
    StartCode('\xBA', std::string("\x21\x00\x01\x00\x01\x80\x1B\x91", 8));

inline std::string Packet1(char id, const std::string& payload)
{
    return StartCode(id,
                     Be16(5 + payload.size()) + std::string("\x21\x00\x01\x00\x01", 5) + payload);
}

// An MPEG-2 pack header with two bytes of stuffing, and packet.
inline const std::string kPack2 =
    StartCode('\xBA', std::string("\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xFA\xFF\xFF", 12));

inline std::string Packet2(char id, const std::string& payload)
{
    return StartCode(id, Be16(8 + payload.size()) +
                             std::string("\x81\x80\x05\x21\x00\x01\x00\x01", 8) + payload);
}

} // namespace kadrix::probe_test
