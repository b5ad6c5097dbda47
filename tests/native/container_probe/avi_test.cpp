#include "probe_builders.h"

#include <gtest/gtest.h>

using namespace kadrix;
using namespace kadrix::probe_test;

namespace {

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

TEST(ContainerProbeAvi, AListsWalkEndsAtTheListsEnd)
{
    // An hdrl list that declares a body of one byte: too short for its type.
    const std::string avih = Chunk("avih", std::string(56, '\0'));
    EXPECT_EQ(VerdictOf(Riff("AVI ", "LIST" + Le32(1) + "hdrl" + avih + kMovi)),
              ContainerVerdict::Undecodable);
    // A stream list whose odd-sized last chunk is not padded inside it: the
    // format after the list is not the stream's.
    const std::string strl = "LIST" + Le32(4 + 64 + 9) + "strl" +
                             Chunk("strh", "vids" + std::string(52, '\0')) + "JUNK" + Le32(1) + "j";
    const std::string after =
        Chunk("strf", Le32(40) + Le32(640) + Le32(480) + std::string(28, '\0'));
    const ContainerProbe avi =
        Probe(Riff("AVI ", List("hdrl", avih + strl + '\0' + after) + kMovi));
    EXPECT_EQ(avi.verdict, ContainerVerdict::Plausible);
    EXPECT_EQ(avi.width, 0u);
}

} // namespace
