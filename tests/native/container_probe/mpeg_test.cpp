#include "probe_builders.h"

#include <gtest/gtest.h>

using namespace kadrix;
using namespace kadrix::probe_test;

namespace {

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

} // namespace
