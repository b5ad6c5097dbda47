#include "probe_builders.h"

#include <gtest/gtest.h>

using namespace kadrix;
using namespace kadrix::probe_test;

namespace {

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

TEST(ContainerProbeMp4, TracksPastTheFirstWindowCostARead)
{
    // 30 sound tracks of 32 boxes each, 16 KB into the movie box, before the
    // video track: the window follows the walk.
    const std::string tracks = Repeat(SoundTrack(30), 30);
    const ContainerProbe probe = Probe(
        kFtyp + Box("moov", Box("free", std::string(16384, '\0')) + tracks + VideoTrack(0, 10)) +
        kMdat);
    EXPECT_EQ(probe.verdict, ContainerVerdict::Plausible);
    EXPECT_EQ(probe.width, 1920u);
    EXPECT_LE(probe.reads, 3);
}

} // namespace
