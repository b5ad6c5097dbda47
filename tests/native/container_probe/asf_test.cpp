#include "probe_builders.h"

#include <gtest/gtest.h>

using namespace kadrix;
using namespace kadrix::probe_test;

namespace {

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

} // namespace
