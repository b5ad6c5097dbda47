#include "probe_builders.h"

#include <gtest/gtest.h>

using namespace kadrix;
using namespace kadrix::probe_test;

namespace {

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

TEST(ContainerProbeMkv, OnlyTheFirstTracksUpToItsVideoTrackIsWalked)
{
    // Sixteen Tracks elements of 32 entries of 32 children, the last entry
    // the video track: the walk reads the first Tracks up to that entry and
    // steps over the others.
    const std::string uids = Repeat(Element(0x73C5, "\x01"), 30);
    const std::string entries =
        Repeat(Element(0xAE, uids + Element(0xD7, "\x01") + Element(0x83, "\x02")), 31) +
        Element(0xAE, uids + Element(0xD7, "\x02") + Element(0x83, "\x01"));
    const std::string tracks = Repeat(Element(0x1654AE6B, entries), 16);
    const std::string picture = Element(0xA3, "\x82" + std::string(300, 'p'));
    const ContainerProbe probe =
        Probe(kEbml + Element(0x18538067, tracks + Element(0x1F43B675, picture)));
    EXPECT_EQ(probe.verdict, ContainerVerdict::Plausible);
    EXPECT_LE(probe.reads, 12);
}

} // namespace
