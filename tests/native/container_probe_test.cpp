#include "engine/core/container_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

using namespace kadrix;

namespace {

// A file in memory; `readable` bytes of it can actually be read.
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

ContainerProbe Probe(const std::string& bytes)
{
    MemoryFile file(bytes);
    return ProbeContainer(file);
}

ContainerVerdict VerdictOf(const std::string& bytes)
{
    return Probe(bytes).verdict;
}

std::string Be32(std::uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Le32(std::uint32_t v)
{
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string Cut(const std::string& bytes, std::size_t keep)
{
    return bytes.substr(0, keep);
}

// --- ISO boxes --------------------------------------------------------------------------

std::string Box(const char* type, const std::string& body)
{
    return Be32(static_cast<std::uint32_t>(8 + body.size())) + type + body;
}

std::string BoxSized(std::uint32_t size, const char* type, const std::string& body = {})
{
    return Be32(size) + type + body;
}

std::string Box64(const char* type, const std::string& body)
{
    return Be32(1) + type + Be32(0) + Be32(static_cast<std::uint32_t>(16 + body.size())) + body;
}

const std::string kFtyp = Box("ftyp", "isom" + Be32(512) + "isomiso2avc1mp41");
const std::string kMoov = Box("moov", Box("mvhd", std::string(100, '\0')) +
                                          Box("trak", Box("tkhd", std::string(84, '\0'))));
const std::string kMdat = Box("mdat", std::string(4000, 'x'));

TEST(ContainerProbeMp4, AcceptsMovieBoxAtEitherEndFragmentsAndOldQuickTime)
{
    EXPECT_EQ(VerdictOf(kFtyp + kMoov + kMdat), ContainerVerdict::Plausible);
    EXPECT_EQ(VerdictOf(kFtyp + kMdat + kMoov), ContainerVerdict::Plausible);
    EXPECT_EQ(VerdictOf(kFtyp + Box64("mdat", std::string(300, 'x')) + kMoov),
              ContainerVerdict::Plausible);
    const std::string fragment = Box("moof", Box("mfhd", std::string(8, '\0'))) + kMdat;
    EXPECT_EQ(VerdictOf(kFtyp + kMoov + fragment + fragment + Box("mfra", "")),
              ContainerVerdict::Plausible);
    // Without a file type box, and with the last box reaching to the end (size 0).
    EXPECT_EQ(VerdictOf(Box("wide", "") + kMoov + BoxSized(0, "mdat", std::string(99, 'x'))),
              ContainerVerdict::Plausible);
    EXPECT_EQ(VerdictOf(Box("free", std::string(8, '\0')) + kMdat + kMoov),
              ContainerVerdict::Plausible);
    // A compressed movie box keeps its tracks inside.
    EXPECT_EQ(VerdictOf(Box("moov", Box("cmov", std::string(40, 'z'))) + kMdat),
              ContainerVerdict::Plausible);
}

TEST(ContainerProbeMp4, RefusesWhatNoDecoderCanStart)
{
    const std::string progressive = kFtyp + kMdat + kMoov;
    // The movie box lost, or cut.
    EXPECT_EQ(VerdictOf(kFtyp + kMdat), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Cut(progressive, progressive.size() - 10)), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Cut(progressive, kFtyp.size() + 100)), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Cut(progressive, kFtyp.size() + kMdat.size() + 4)),
              ContainerVerdict::Undecodable);
    // Sizes below the header, 32- and 64-bit.
    EXPECT_EQ(VerdictOf(kFtyp + BoxSized(7, "free") + kMoov), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(kFtyp + Be32(1) + "mdat" + Be32(0) + Be32(15) + kMoov),
              ContainerVerdict::Undecodable);
    // A movie box with no track, or with children that overrun it.
    EXPECT_EQ(VerdictOf(kFtyp + Box("moov", Box("mvhd", std::string(100, '\0'))) + kMdat),
              ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(kFtyp + Box("moov", BoxSized(500, "trak", std::string(20, '\0'))) + kMdat),
              ContainerVerdict::Undecodable);
}

// A video track whose first sample (of `size` bytes) lies at `offset`; with
// no chunk offsets at all its samples are in movie fragments.
std::string VideoTrack(std::uint32_t offset, std::uint32_t size, bool fragmented = false)
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

TEST(ContainerProbeMp4, ACutAfterTheMovieBoxDecodesWhenItsFirstFrameIsThere)
{
    // Progressive: the sample tables place the first frame (500 bytes) at
    // the start of the media data.
    const std::string sound = Box("trak", Box("tkhd", std::string(84, '\0')));
    const std::size_t moovSize = Box("moov", sound + VideoTrack(0, 500)).size();
    const std::uint32_t first = static_cast<std::uint32_t>(kFtyp.size() + moovSize + 8);
    const std::string progressive = kFtyp + Box("moov", sound + VideoTrack(first, 500)) + kMdat;
    EXPECT_EQ(VerdictOf(Cut(progressive, first + 510)), ContainerVerdict::Plausible);
    EXPECT_EQ(VerdictOf(Cut(progressive, first + 100)), ContainerVerdict::Undecodable);
    // Without sample tables to say where the first frame is, no judgement.
    const std::string bare = kFtyp + kMoov + kMdat;
    EXPECT_EQ(VerdictOf(Cut(bare, bare.size() - 1)), ContainerVerdict::NotJudged);

    // Fragmented: the first fragment's run says, relative to the fragment
    // (default-base-is-moof), where its first sample lies and how long it is.
    const std::string moov = Box("moov", VideoTrack(0, 0, true) + Box("mvex", ""));
    const std::size_t moofSize = 8 + 16 + 8 + 16 + 24;
    const std::string tfhd = Box("tfhd", Be32(0x020000) + Be32(1));
    const std::string trun = Box("trun", Be32(0x000201) + Be32(1) + Be32(moofSize + 8) + Be32(700));
    const std::string moof =
        Box("moof", Box("mfhd", std::string(8, '\0')) + Box("traf", tfhd + trun));
    ASSERT_EQ(moof.size(), moofSize);
    const std::string fragmented = kFtyp + moov + moof + kMdat;
    const std::size_t sample = kFtyp.size() + moov.size() + moofSize + 8;
    EXPECT_EQ(VerdictOf(Cut(fragmented, sample + 700)), ContainerVerdict::Plausible);
    EXPECT_EQ(VerdictOf(Cut(fragmented, sample + 699)), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Cut(fragmented, sample - 20)), ContainerVerdict::Undecodable);
}

TEST(ContainerProbeMp4, AManyFragmentFileCostsAFewReads)
{
    std::string file = kFtyp + kMoov;
    for (int i = 0; i < 2000; ++i)
        file += Box("moof", "") + Box("mdat", "abc");
    const ContainerProbe probe = Probe(file);
    EXPECT_EQ(probe.verdict, ContainerVerdict::Plausible);
    EXPECT_LE(probe.reads, 4);
}

// --- RIFF chunks ------------------------------------------------------------------------

std::string Chunk(const char* id, const std::string& body)
{
    std::string chunk = id + Le32(static_cast<std::uint32_t>(body.size())) + body;
    if (body.size() % 2)
        chunk += '\0';
    return chunk;
}

std::string List(const char* type, const std::string& body)
{
    return Chunk("LIST", type + body);
}

std::string Riff(const char* form, const std::string& body, std::uint32_t declared)
{
    return "RIFF" + Le32(declared) + form + body;
}

std::string Riff(const char* form, const std::string& body)
{
    return Riff(form, body, static_cast<std::uint32_t>(4 + body.size()));
}

const std::string kHdrl = List("hdrl", Chunk("avih", std::string(56, '\0')) +
                                           List("strl", Chunk("strh", std::string(56, '\0')) +
                                                            Chunk("strf", std::string(40, '\0'))));
const std::string kFrame = Chunk("00dc", std::string(301, 'f')); // odd: padded
const std::string kMovi = List("movi", kFrame + kFrame + Chunk("01wb", std::string(64, 'a')));
const std::string kAvi = Riff("AVI ", kHdrl + Chunk("JUNK", std::string(100, '\0')) + kMovi +
                                          Chunk("idx1", std::string(48, '\0')));

TEST(ContainerProbeAvi, AcceptsWholeFilesOpenDmlAndCutTails)
{
    EXPECT_EQ(VerdictOf(kAvi), ContainerVerdict::Plausible);
    // OpenDML: the rest of the clip in RIFF AVIX parts after the first.
    EXPECT_EQ(VerdictOf(kAvi + Riff("AVIX", List("movi", kFrame))), ContainerVerdict::Plausible);
    // Cut after the first frame: RIFF and movi claim more than there is.
    const std::size_t firstFrameEnd = kAvi.find("00dc") + kFrame.size();
    EXPECT_EQ(VerdictOf(Cut(kAvi, firstFrameEnd + 10)), ContainerVerdict::Plausible);
    // A RIFF size of zero is a lie decoders see through.
    EXPECT_EQ(VerdictOf(Riff("AVI ", kHdrl + kMovi, 0)), ContainerVerdict::Plausible);
    // Interleaved files group their chunks in record lists.
    EXPECT_EQ(VerdictOf(Riff("AVI ", kHdrl + List("movi", List("rec ", kFrame)))),
              ContainerVerdict::Plausible);
}

TEST(ContainerProbeAvi, RefusesFilesCutOrBrokenBeforeTheirFirstFrame)
{
    EXPECT_EQ(VerdictOf(std::string("RIFF\x10\0\0\0AV", 10)), ContainerVerdict::Undecodable);
    const std::size_t movi = kAvi.find("movi") - 8;
    for (std::size_t keep : {std::size_t{12}, std::size_t{40}, kHdrl.size() + 12, movi + 4,
                             movi + 12, movi + 12 + 8, kAvi.find("00dc") + 100})
        EXPECT_EQ(VerdictOf(Cut(kAvi, keep)), ContainerVerdict::Undecodable) << keep;
    // A chunk before movi that claims more than the file holds.
    EXPECT_EQ(VerdictOf(Riff("AVI ", kHdrl + "JUNK" + Le32(0x7FFFFFF0) + kMovi)),
              ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Riff("AVI ", kHdrl + Chunk("idx1", ""))), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Riff("AVI ", kMovi + kHdrl)), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Riff("AVI ", List("hdrl", Chunk("JUNK", "xx")) + kMovi)),
              ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Riff("AVI ", kHdrl + List("movi", ""))), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Riff("WAVE", Chunk("fmt ", std::string(16, '\0')))),
              ContainerVerdict::NotJudged);
}

// --- EBML elements ----------------------------------------------------------------------

std::string Id(std::uint32_t id)
{
    std::string bytes = Be32(id);
    return bytes.substr(bytes.find_first_not_of('\0'));
}

// Sizes as 8-byte variable integers, the longest form.
std::string Size8(std::uint64_t size)
{
    std::string bytes(1, '\x01');
    for (int shift = 48; shift >= 0; shift -= 8)
        bytes += char(size >> shift);
    return bytes;
}

std::string Element(std::uint32_t id, const std::string& body)
{
    return Id(id) + Size8(body.size()) + body;
}

std::string UnknownSized(std::uint32_t id, const std::string& body)
{
    return Id(id) + "\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF" + body;
}

const std::string kEbml =
    Element(0x1A45DFA3, Element(0x4282, "matroska") + Element(0x4287, "\x04"));
const std::string kInfo = Element(0x1549A966, Element(0x2AD7B1, "\x0F\x42\x40"));
const std::string kTracks = Element(0x1654AE6B, Element(0xAE, Element(0xD7, "\x01")));
const std::string kBlock = Element(0xA3, std::string(200, 'b'));
const std::string kCluster =
    Element(0x1F43B675, Element(0xE7, std::string(1, '\0')) + kBlock + kBlock);
const std::string kMkv = kEbml + Element(0x18538067, Element(0xEC, std::string(30, '\0')) + kInfo +
                                                         kTracks + kCluster + kCluster);

TEST(ContainerProbeMkv, AcceptsWholeLiveWrittenAndCutTailFiles)
{
    EXPECT_EQ(VerdictOf(kMkv), ContainerVerdict::Plausible);
    EXPECT_EQ(VerdictOf(kEbml + UnknownSized(0x18538067,
                                             kInfo + kTracks +
                                                 UnknownSized(0x1F43B675,
                                                              Element(0xE7, std::string(1, '\0')) +
                                                                  kBlock))),
              ContainerVerdict::Plausible);
    // Cut after the first block: the segment and the cluster claim more.
    const std::size_t firstBlockEnd = kMkv.find(kBlock) + kBlock.size();
    EXPECT_EQ(VerdictOf(Cut(kMkv, firstBlockEnd + 5)), ContainerVerdict::Plausible);
    // Block groups count as blocks.
    EXPECT_EQ(VerdictOf(kEbml +
                        Element(0x18538067, kTracks + Element(0x1F43B675, Element(0xA0, kBlock)))),
              ContainerVerdict::Plausible);
}

TEST(ContainerProbeMkv, SoundBeforeThePictureIsNoFirstFrame)
{
    // Track 1 is sound, track 2 video; the cluster starts with a sound block.
    const std::string tracks =
        Element(0x1654AE6B, Element(0xAE, Element(0xD7, "\x01") + Element(0x83, "\x02")) +
                                Element(0xAE, Element(0xD7, "\x02") + Element(0x83, "\x01")));
    const std::string sound = Element(0xA3, "\x81" + std::string(100, 's'));
    const std::string picture = Element(0xA3, "\x82" + std::string(300, 'p'));
    const std::string file =
        kEbml + Element(0x18538067, kInfo + tracks + Element(0x1F43B675, sound + picture));
    const std::size_t pictureAt = file.find(picture);
    EXPECT_EQ(VerdictOf(file), ContainerVerdict::Plausible);
    EXPECT_EQ(VerdictOf(Cut(file, pictureAt + 50)), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Cut(file, pictureAt)), ContainerVerdict::Undecodable);
    // In a block group the block says the track.
    const std::string group = Element(0xA0, Element(0xA1, "\x82" + std::string(80, 'g')));
    EXPECT_EQ(VerdictOf(kEbml + Element(0x18538067, tracks + Element(0x1F43B675, sound + group))),
              ContainerVerdict::Plausible);
}

TEST(ContainerProbeMkv, RefusesFilesThatEndBeforeTheirFirstBlock)
{
    const std::size_t segment = kEbml.size();
    const std::size_t tracks = kMkv.find(kTracks);
    const std::size_t cluster = kMkv.find(kCluster);
    for (std::size_t keep : {std::size_t{6}, segment - 1, segment + 2, segment + 11, tracks + 3,
                             tracks + kTracks.size(), cluster + 13, cluster + 40})
        EXPECT_EQ(VerdictOf(Cut(kMkv, keep)), ContainerVerdict::Undecodable) << keep;
    // A cluster with no tracks anywhere.
    EXPECT_EQ(VerdictOf(kEbml + Element(0x18538067, kInfo + kCluster)),
              ContainerVerdict::Undecodable);
    // Anything but a segment after the header, or a broken element before the cluster.
    EXPECT_EQ(VerdictOf(kEbml + kTracks), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(kEbml + Element(0x18538067, kInfo + std::string(8, '\0') + kCluster)),
              ContainerVerdict::Undecodable);
}

TEST(ContainerProbe, TellsTheFrameSizeTheContainerDeclares)
{
    const ContainerProbe mp4 = Probe(kFtyp + Box("moov", VideoTrack(0, 10)) + kMdat);
    EXPECT_EQ(mp4.width, 1920u);
    EXPECT_EQ(mp4.height, 1080u);

    // The first video stream's format; a negative height means top-down rows.
    const std::string strl = List(
        "strl", Chunk("strh", "vids" + std::string(52, '\0')) +
                    Chunk("strf", Le32(40) + Le32(640) + Le32(static_cast<std::uint32_t>(-480)) +
                                      std::string(28, '\0')));
    const std::string sound = List("strl", Chunk("strh", "auds" + std::string(52, '\0')) +
                                               Chunk("strf", std::string(16, '\0')));
    const ContainerProbe avi = Probe(
        Riff("AVI ", List("hdrl", Chunk("avih", std::string(56, '\0')) + sound + strl) + kMovi));
    EXPECT_EQ(avi.width, 640u);
    EXPECT_EQ(avi.height, 480u);

    const std::string video =
        Element(0xE0, Element(0xB0, std::string("\x1E\x00", 2)) + Element(0xBA, "\x10\xE0"));
    const std::string tracks =
        Element(0x1654AE6B, Element(0xAE, Element(0xD7, "\x01") + Element(0x83, "\x01") + video));
    const ContainerProbe mkv = Probe(kEbml + Element(0x18538067, tracks + kCluster));
    EXPECT_EQ(mkv.width, 7680u);
    EXPECT_EQ(mkv.height, 4320u);
}

// --- ASF objects ------------------------------------------------------------------------

std::string Le64(std::uint64_t v)
{
    return Le32(static_cast<std::uint32_t>(v)) + Le32(static_cast<std::uint32_t>(v >> 32));
}

std::string Guid(const char (&bytes)[17])
{
    return std::string(bytes, 16);
}

const std::string kAsfHeaderGuid =
    Guid("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");
const std::string kAsfDataGuid =
    Guid("\x36\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");

std::string AsfObject(const std::string& guid, const std::string& body)
{
    return guid + Le64(24 + body.size()) + body;
}

// The header object with file properties (packets of least and largest
// size) and one video stream of 320 x 240, then the data object.
std::string Asf(std::uint32_t least, std::uint32_t largest, const std::string& packets)
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

TEST(ContainerProbeAsf, JudgesTheHeaderObjectAndTheFirstDataPacket)
{
    const std::string packets = std::string(200, 'p') + std::string(200, 'q');
    const std::string asf = Asf(200, 200, packets);
    const std::size_t data = asf.size() - packets.size() - 50;
    const ContainerProbe whole = Probe(asf);
    EXPECT_EQ(whole.verdict, ContainerVerdict::Plausible);
    EXPECT_EQ(whole.width, 320u);
    EXPECT_EQ(whole.height, 240u);
    // A cut past the first packet still decodes up to the cut.
    EXPECT_EQ(VerdictOf(Cut(asf, asf.size() - 150)), ContainerVerdict::Plausible);
    // Cut inside the header object, before the data object, inside the first packet.
    for (std::size_t keep : {std::size_t{20}, std::size_t{100}, data - 1, data + 30, data + 249})
        EXPECT_EQ(VerdictOf(Cut(asf, keep)), ContainerVerdict::Undecodable) << keep;
    // Packets of no size hold nothing; packets of varying size can't be checked.
    EXPECT_EQ(VerdictOf(Asf(0, 0, packets)), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(Cut(Asf(100, 400, packets), data + 60)), ContainerVerdict::Plausible);
    EXPECT_EQ(VerdictOf(Asf(0xFFFFFFFF, 0xFFFFFFFF, packets)), ContainerVerdict::Undecodable);
    // A header object claiming less than itself, a child overrunning it, no
    // file properties (the first child's GUID damaged); no data object after it.
    for (const auto& [at, bytes] :
         {std::pair{std::size_t{16}, Le64(10)}, std::pair{std::size_t{30 + 16}, Le64(5000)},
          std::pair{std::size_t{30}, std::string(16, '\xFF')}}) {
        std::string broken = asf;
        broken.replace(at, bytes.size(), bytes);
        EXPECT_EQ(VerdictOf(broken), ContainerVerdict::Undecodable) << at;
    }
    EXPECT_EQ(VerdictOf(asf.substr(0, data) + std::string(60, 'j')), ContainerVerdict::NotJudged);
}

// --- FLV tags ---------------------------------------------------------------------------

std::string Be24(std::size_t v)
{
    return Be32(static_cast<std::uint32_t>(v)).substr(1);
}

// A tag, followed by its size.
std::string FlvTag(char type, const std::string& data)
{
    return type + Be24(data.size()) + std::string(7, '\0') + data +
           Be32(static_cast<std::uint32_t>(11 + data.size()));
}

std::string Flv(char flags, const std::string& tags)
{
    return std::string("FLV\x01", 4) + flags + Be32(9) + Be32(0) + tags;
}

const std::string kScriptTag = FlvTag(18, "\x02\x00\x0AonMetaData" + std::string(40, '\0'));
const std::string kAvcConfig = FlvTag(9, std::string("\x17\x00\x00\x00\x00", 5) + "config");
const std::string kAvcFrame =
    FlvTag(9, std::string("\x17\x01\x00\x00\x00", 5) + std::string(600, 'f'));
const std::string kAudioTag = FlvTag(8, "\xAF\x01" + std::string(100, 'a'));
const std::string kFlv = Flv('\x05', kScriptTag + kAvcConfig + kAudioTag + kAvcFrame + kAvcFrame);

TEST(ContainerProbeFlv, TheTagsUpToTheFirstPictureMustBeWhole)
{
    EXPECT_EQ(VerdictOf(kFlv), ContainerVerdict::Plausible);
    // Cut after the first picture's tag: it decodes up to the cut.
    const std::size_t frame = kFlv.find(kAvcFrame);
    const std::size_t frameEnd = frame + kAvcFrame.size() - 4;
    EXPECT_EQ(VerdictOf(Cut(kFlv, frameEnd)), ContainerVerdict::Plausible);
    // Cut inside the header, after it, inside the metadata, after the
    // decoder configuration (no picture yet), one byte short of the picture.
    for (std::size_t keep : {std::size_t{5}, std::size_t{9}, std::size_t{30}, frame, frameEnd - 1})
        EXPECT_EQ(VerdictOf(Cut(kFlv, keep)), ContainerVerdict::Undecodable) << keep;

    // Older codecs: any video data is a picture; a command frame is none.
    const std::string command = FlvTag(9, std::string("\x52\x00", 2));
    const std::string flv1 =
        Flv('\x01', kScriptTag + command + FlvTag(9, "\x22" + std::string(300, 's')));
    EXPECT_EQ(VerdictOf(flv1), ContainerVerdict::Plausible);
    EXPECT_EQ(VerdictOf(Cut(flv1, flv1.size() - 10)), ContainerVerdict::Undecodable);
}

TEST(ContainerProbeFlv, LeavesWhatReadersTakeDifferentlyToDirectShow)
{
    std::string noVideo = kFlv;
    noVideo[4] = '\x04';
    std::string offset = kFlv;
    offset.replace(5, 4, Be32(0x10000));
    // A tag followed by a size not its own: a data size damaged, the walk lost.
    std::string lost = kFlv;
    lost.replace(13 + kScriptTag.size() - 4, 4, Be32(7));
    std::string audio;
    for (int i = 0; i < 40; ++i)
        audio += kAudioTag;
    for (const std::string& file :
         {noVideo, offset, lost, Flv('\x05', FlvTag(0x28, "secret") + kAvcFrame),
          Flv('\x01', FlvTag(9, "\x90hvc1" + std::string(100, 'x'))),
          Flv('\x05', audio + kAvcFrame)})
        EXPECT_EQ(VerdictOf(file), ContainerVerdict::NotJudged);
}

// --- MPEG start codes -------------------------------------------------------------------

std::string StartCode(char code, const std::string& body = {})
{
    return std::string("\x00\x00\x01", 3) + code + body;
}

std::string Be16(std::size_t v)
{
    return {char(v >> 8), char(v)};
}

std::string SequenceHeader(std::uint32_t width, std::uint32_t height)
{
    return StartCode('\xB3', {char(width >> 4), char((width << 4) | (height >> 8)), char(height)}) +
           std::string("\x13\xFF\xFF\xE0\x18", 5);
}

// A picture of one slice per row of macroblocks.
std::string Picture(int rows, std::size_t sliceSize)
{
    std::string picture = StartCode('\x00', std::string("\x00\x0F\xFF\xF8", 4));
    for (int row = 1; row <= rows; ++row)
        picture += StartCode(char(row), std::string(sliceSize, '\x55'));
    return picture;
}

const std::string kGroup = StartCode('\xB8', std::string("\x00\x08\x00\x40", 4));
const std::string kFirstPicture = SequenceHeader(720, 576) + kGroup + Picture(36, 60);
const std::string kVideoStream = kFirstPicture + Picture(36, 60) + StartCode('\xB7');

TEST(ContainerProbeMpeg, AVideoStreamDecodesOnceItsFirstPictureIsWhole)
{
    const ContainerProbe whole = Probe(kVideoStream);
    EXPECT_EQ(whole.verdict, ContainerVerdict::Plausible);
    EXPECT_EQ(whole.width, 720u);
    EXPECT_EQ(whole.height, 576u);
    // The next picture's start code ends the first.
    const std::size_t next = kFirstPicture.size();
    EXPECT_EQ(VerdictOf(Cut(kVideoStream, next + 4)), ContainerVerdict::Plausible);
    // Cut inside the sequence header, after it, inside the first picture.
    for (std::size_t keep : {std::size_t{6}, std::size_t{12}, next - 100})
        EXPECT_EQ(VerdictOf(Cut(kVideoStream, keep)), ContainerVerdict::Undecodable) << keep;
    // A stream of one picture ends with no start code after it, in the
    // picture's bottom row: whole or cut, it can't tell.
    EXPECT_EQ(VerdictOf(kFirstPicture), ContainerVerdict::NotJudged);
    EXPECT_EQ(VerdictOf(Cut(kVideoStream, next + 3)), ContainerVerdict::NotJudged);

    // A first picture larger than the look at the start of the file.
    const ContainerProbe large = Probe(SequenceHeader(720, 576) + kGroup + Picture(36, 4000));
    EXPECT_EQ(large.verdict, ContainerVerdict::NotJudged);
    EXPECT_LE(large.reads, 6);
}

// An MPEG-1 pack header and packet (with a presentation time).
const std::string kPack1 = StartCode('\xBA', std::string("\x21\x00\x01\x00\x01\x80\x1B\x91", 8));

std::string Packet1(char id, const std::string& payload)
{
    return StartCode(id,
                     Be16(5 + payload.size()) + std::string("\x21\x00\x01\x00\x01", 5) + payload);
}

// An MPEG-2 pack header with two bytes of stuffing, and packet.
const std::string kPack2 =
    StartCode('\xBA', std::string("\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xFA\xFF\xFF", 12));

std::string Packet2(char id, const std::string& payload)
{
    return StartCode(id, Be16(8 + payload.size()) +
                             std::string("\x81\x80\x05\x21\x00\x01\x00\x01", 8) + payload);
}

TEST(ContainerProbeMpeg, AProgramStreamIsJudgedByItsVideoPackets)
{
    // The start code after the first picture straddles two video packets;
    // a system header, sound and padding lie between.
    const std::string next = Picture(36, 60);
    const std::string sound = Packet1('\xC0', std::string(200, 'a'));
    const std::string ps = kPack1 + StartCode('\xBB', Be16(6) + std::string(6, '\x80')) + sound +
                           Packet1('\xE0', kFirstPicture + next.substr(0, 2)) + kPack1 + sound +
                           Packet1('\xE0', next.substr(2)) +
                           StartCode('\xBE', Be16(50) + std::string(50, '\xFF')) +
                           StartCode('\xB9');
    const ContainerProbe whole = Probe(ps);
    EXPECT_EQ(whole.verdict, ContainerVerdict::Plausible);
    EXPECT_EQ(whole.width, 720u);
    const std::size_t secondHalf = ps.rfind(next.substr(2));
    EXPECT_EQ(VerdictOf(Cut(ps, secondHalf + 2)), ContainerVerdict::Plausible);
    for (std::size_t keep : {std::size_t{8}, ps.find(kFirstPicture) + 200})
        EXPECT_EQ(VerdictOf(Cut(ps, keep)), ContainerVerdict::Undecodable) << keep;

    const std::string ps2 = kPack2 + Packet2('\xE0', kFirstPicture + next);
    EXPECT_EQ(VerdictOf(ps2), ContainerVerdict::Plausible);
    for (std::size_t keep : {std::size_t{8}, kPack2.size() + 12, kPack2.size() + 500})
        EXPECT_EQ(VerdictOf(Cut(ps2, keep)), ContainerVerdict::Undecodable) << keep;
    // Packs and nothing in them; video packets with no sequence header.
    EXPECT_EQ(VerdictOf(kPack2 + kPack2), ContainerVerdict::Undecodable);
    EXPECT_EQ(VerdictOf(kPack2 + Packet2('\xE0', kGroup + next)), ContainerVerdict::Undecodable);
}

TEST(ContainerProbeMpeg, AProgramStreamItCanNotFollowIsLeftToDirectShow)
{
    const std::string video = Packet2('\xE0', kFirstPicture);
    for (const std::string& file :
         {// Sound only; video of another codec; junk where a packet belongs.
          kPack2 + Packet2('\xC0', std::string(300, 'a')),
          kPack2 + Packet2('\xE0', std::string("\x00\x00\x00\x01\x09\xF0\x00\x00\x00\x01\x67", 11) +
                                       std::string(100, 'h')),
          kPack2 + "junk" + video,
          // A pack header of neither layout, a video packet header of neither.
          StartCode('\xBA', std::string(10, '\xFF')) + video,
          kPack1 + StartCode('\xE0', Be16(200) + std::string(200, '\xEE')) + video})
        EXPECT_EQ(VerdictOf(file), ContainerVerdict::NotJudged);
}

// --- Everything else --------------------------------------------------------------------

TEST(ContainerProbe, EmptyFilesAreRefusedOtherFormatsLeftToDirectShow)
{
    EXPECT_EQ(VerdictOf(""), ContainerVerdict::Undecodable);
    // A transport stream, which the MPEG judge leaves alone, among them.
    for (const std::string& file :
         {"\x47\x40\x00\x10" + std::string(184, '\xFF'), std::string("This is not a video file."),
          std::string("RIF"), std::string(1000, '\0')})
        EXPECT_EQ(VerdictOf(file), ContainerVerdict::NotJudged);
}

TEST(ContainerProbe, AFileThatCanNotBeReadIsNotJudged)
{
    // Its size promises bytes that the reads never deliver.
    for (const std::string* file : {&kAvi, &kMkv, &kFlv, &kVideoStream}) {
        MemoryFile shrunk(*file, 20);
        EXPECT_EQ(ProbeContainer(shrunk).verdict, ContainerVerdict::NotJudged);
    }
    const std::string mp4 = kFtyp + kMoov + kMdat;
    MemoryFile shrunk(mp4, kFtyp.size() + 4);
    EXPECT_EQ(ProbeContainer(shrunk).verdict, ContainerVerdict::NotJudged);
}

} // namespace
