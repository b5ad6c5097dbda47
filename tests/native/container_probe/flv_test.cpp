#include "probe_builders.h"

#include <gtest/gtest.h>

using namespace kadrix;
using namespace kadrix::probe_test;

namespace {

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

} // namespace
