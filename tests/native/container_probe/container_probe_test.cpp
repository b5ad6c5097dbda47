#include "probe_builders.h"

#include <gtest/gtest.h>

using namespace kadrix;
using namespace kadrix::probe_test;

namespace {

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

// A file whose first read fails, and no other.
class FirstReadFails final : public ProbeReader
{
public:
    explicit FirstReadFails(const std::string& bytes) : file_(bytes) {}
    std::uint64_t Size() override { return file_.Size(); }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        return ++reads_ == 1 ? 0 : file_.ReadAt(offset, buffer, count);
    }

private:
    MemoryFile file_;
    int reads_ = 0;
};

TEST(ContainerProbe, AFailedReadEndsTheProbe)
{
    for (const std::string* file : {&kAvi, &kMkv, &kFlv, &kVideoStream}) {
        FirstReadFails failing(*file);
        const ContainerProbe probe = ProbeContainer(failing);
        EXPECT_EQ(probe.verdict, ContainerVerdict::NotJudged);
        EXPECT_EQ(probe.reads, 1);
    }
}

TEST(ContainerProbe, AWalkPastTheBudgetIsNotJudged)
{
    // A movie box of 31 tracks of 20 KB, then boxes of 20 KB: each a read.
    const std::string moov = Box("moov", Repeat(SoundTrack(0, 20000), 31) + VideoTrack(0, 10));
    const ContainerProbe probe =
        Probe(kFtyp + moov + Repeat(Box("free", std::string(20000, '\0')), 8) + kMdat);
    EXPECT_EQ(probe.verdict, ContainerVerdict::NotJudged);
    EXPECT_EQ(probe.reads, kProbeReadBudget);
    EXPECT_STREQ(probe.reason, "the read budget is spent");
    // What it saw before stands.
    EXPECT_EQ(probe.width, 1920u);
}

} // namespace
