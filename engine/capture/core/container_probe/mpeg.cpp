// The container probe for MPEG-1 and MPEG-2 program streams and video
// elementary streams: the first picture must be whole.
#include "engine/capture/core/container_probe/format.h"

namespace kadrix::probe {
namespace {

// How far into the file the probe looks for the first whole picture: an
// intra picture of an ordinary stream ends well inside it. A larger file
// whose first picture does not end there is not judged.
constexpr u64 kMpegWindow = 80 * 1024;
// Packs and packets walked in that window: 2 KB packs are usual, packets
// of a few hundred bytes are not rare.
constexpr int kMaxPackets = 256;

constexpr std::uint32_t kMpegStartCode = 0x00000100; // then the code's byte
constexpr std::uint8_t kPictureStart = 0x00;
constexpr std::uint8_t kLastSliceStart = 0xAF;
constexpr std::uint8_t kSequenceHeader = 0xB3;
constexpr std::uint8_t kExtensionStart = 0xB5;
constexpr std::uint8_t kSequenceEnd = 0xB7;
constexpr std::uint8_t kGroupStart = 0xB8;
constexpr std::uint8_t kProgramEnd = 0xB9;
constexpr std::uint8_t kPackStart = 0xBA;
constexpr std::uint8_t kSystemHeader = 0xBB;
constexpr std::uint8_t kStreamMap = 0xBC;
constexpr std::uint8_t kPaddingStream = 0xBE;

// The start codes of an MPEG-1 or MPEG-2 video stream, fed in pieces as they
// come (in a program stream a start code may straddle two PES packets): the
// first sequence header's frame size, and whether the first picture after
// it is whole, which the next picture, group, sequence header or sequence
// end tells.
class VideoStartCodes
{
public:
    void Feed(const std::uint8_t* p, std::size_t n)
    {
        for (std::size_t k = 0; k < n && !pictureEnded_; ++k) {
            if (want_ != 0) {
                fields_[have_++] = p[k];
                if (have_ == want_)
                    Fields();
            }
            last_ = (last_ << 8) | p[k];
            if ((last_ & 0xFFFFFF00) == kMpegStartCode)
                StartCode(p[k]);
        }
    }

    // The end of a program stream ends the picture it was in.
    void ProgramEnds() { pictureEnded_ = picture_; }

    bool pictureEnded() const { return pictureEnded_; }
    FrameSize frame() const { return frame_; }

    bool sequence() const { return sequence_; }

    // Whether a stream without a sequence header is MPEG video all the same:
    // it has no start code at all, a sequence header cut short, or begins
    // with a group or a picture. A stream of another codec begins otherwise.
    bool mpegVideo() const
    {
        return !anyCode_ || firstCode_ == kSequenceHeader || firstCode_ == kGroupStart ||
               firstCode_ == kPictureStart;
    }

    // Whether a stream that ends inside its first picture may still hold it
    // whole: its last slice started in the picture's bottom row, as in a
    // stream of one picture. A stream cut short seldom ends so.
    bool pictureMayBeWhole() const
    {
        if (!picture_)
            return false;
        const std::uint32_t rows = field_ ? (frame_.height + 31) / 32 : (frame_.height + 15) / 16;
        return rows > kLastSliceStart || lastSlice_ >= rows;
    }

private:
    void StartCode(std::uint8_t code)
    {
        want_ = have_ = 0; // a header cut short by the next start code is not read
        if (!anyCode_)
            firstCode_ = code;
        anyCode_ = true;
        if (picture_) {
            if (code == kPictureStart || code == kGroupStart || code == kSequenceHeader ||
                code == kSequenceEnd)
                pictureEnded_ = true;
            else if (code <= kLastSliceStart)
                lastSlice_ = std::max(lastSlice_, std::uint32_t{code});
            else if (code == kExtensionStart && previous_ == kPictureStart)
                want_ = 3; // the picture coding extension: frame or field
        } else if (code == kSequenceHeader && !sequence_) {
            want_ = 3; // the frame size
        } else if (code == kPictureStart && sequence_) {
            picture_ = true;
        }
        previous_ = code;
    }

    // The first bytes after the start code previous_.
    void Fields()
    {
        const std::uint8_t* f = fields_;
        want_ = 0;
        if (previous_ == kSequenceHeader) {
            frame_.width = (std::uint32_t{f[0]} << 4) | (f[1] >> 4);
            frame_.height = (std::uint32_t{f[1] & 0x0Fu} << 8) | f[2];
            sequence_ = true;
        } else if (f[0] >> 4 == 8) { // the picture coding extension
            field_ = (f[2] & 3) != 3;
        }
    }

    std::uint32_t last_ = 0xFFFFFFFF; // the last four bytes
    std::uint8_t fields_[3] = {};
    int want_ = 0; // bytes of fields wanted after a start code
    int have_ = 0;
    bool anyCode_ = false;
    std::uint8_t firstCode_ = 0;
    std::uint8_t previous_ = 0;
    bool sequence_ = false;
    bool picture_ = false;
    bool field_ = false;
    bool pictureEnded_ = false;
    std::uint32_t lastSlice_ = 0;
    FrameSize frame_;
};

// Feeds the file's bytes [from, to) to the scan, until its first picture
// ends; false on a read error.
bool Scan(Bytes& bytes, u64 from, u64 to, VideoStartCodes* scan)
{
    while (from < to && !scan->pictureEnded()) {
        const std::uint8_t* p = nullptr;
        const std::size_t n = bytes.Peek(from, 1, static_cast<std::size_t>(to - from), &p);
        if (n == 0)
            return false;
        scan->Feed(p, n);
        from += n;
    }
    return true;
}

// The verdict on the start of a video stream; whole: the scan reached the
// end of the file.
ContainerProbe JudgeVideoStart(const VideoStartCodes& scan, bool whole, FrameSize* frame)
{
    *frame = scan.frame();
    if (scan.pictureEnded())
        return Plausible("mpeg: sequence header and the first picture whole");
    if (!whole)
        return NotJudged("mpeg: no whole picture at the start of the file");
    if (scan.pictureMayBeWhole())
        return NotJudged("mpeg: the file ends in the bottom row of the first picture");
    if (scan.sequence())
        return Undecodable("mpeg: the file ends before the first picture is whole");
    return scan.mpegVideo() ? Undecodable("mpeg: the file ends before a sequence header")
                            : NotJudged("mpeg: a video stream of another kind");
}

// Where a PES packet's payload starts, counted from its start code, in the
// MPEG-2 layout or the MPEG-1 one; 0 for a header of neither, or one that
// its first bytes h[0, have) do not hold.
std::size_t PesPayload(const std::uint8_t* h, std::size_t have)
{
    if (have < 7)
        return 0;
    if ((h[6] & 0xC0) == 0x80)
        return have >= 9 ? 9 + std::size_t{h[8]} : 0;
    std::size_t k = 6;
    while (k < have && k < 6 + 16 && h[k] == 0xFF) // stuffing
        ++k;
    if (k < have && (h[k] & 0xC0) == 0x40) // buffer size
        k += 2;
    if (k >= have)
        return 0;
    if ((h[k] & 0xF0) == 0x20) // presentation time
        return k + 5;
    if ((h[k] & 0xF0) == 0x30) // presentation and decoding time
        return k + 10;
    return h[k] == 0x0F ? k + 1 : 0;
}

} // namespace

bool SniffProgramStream(const Head& head)
{
    return head.have >= 4 && Be32(head.bytes) == (kMpegStartCode | kPackStart);
}

// A program stream: pack headers (MPEG-1 or MPEG-2 layout) and packets; the
// payload of the first video stream's packets goes through the scan.
ContainerProbe ProbeProgramStream(Bytes& bytes, FrameSize* frame)
{
    const u64 size = bytes.size();
    const u64 end = std::min(size, kMpegWindow);
    VideoStartCodes scan;
    std::uint8_t video = 0;    // the first video stream's ID
    bool otherStreams = false; // packets of a stream other than video or padding
    u64 pos = 0;
    for (int i = 0; pos < end && !scan.pictureEnded(); ++i) {
        if (i == kMaxPackets)
            return NotJudged("mpeg: too many packets before the first picture ends");
        const std::size_t have = static_cast<std::size_t>(std::min<u64>(32, size - pos));
        const std::uint8_t* h = nullptr;
        if (bytes.Peek(pos, have, have, &h) == 0)
            return ReadFailed();
        if (have < 4) {
            pos = size; // the file ends inside a start code
            break;
        }
        if (Be32(h) >> 8 != kMpegStartCode >> 8)
            return NotJudged("mpeg: no start code where a packet belongs");
        const std::uint8_t id = h[3];
        if ((id == kPackStart && have < 5) || (id > kPackStart && have < 6)) {
            pos = size; // the file ends inside a header
            break;
        }
        if (id == kPackStart) {
            if ((h[4] & 0xC0) == 0x40) // MPEG-2, with stuffing
                pos += have >= 14 ? 14 + (h[13] & 7) : 14;
            else if ((h[4] & 0xF0) == 0x20) // MPEG-1
                pos += 12;
            else
                return NotJudged("mpeg: a pack header of unknown layout");
            continue;
        }
        if (id == kProgramEnd) {
            scan.ProgramEnds();
            pos += 4;
            continue;
        }
        if (id < kProgramEnd)
            return NotJudged("mpeg: a start code outside any packet");
        const u64 length = (std::uint32_t{h[4]} << 8) | h[5];
        if (length == 0)
            return NotJudged("mpeg: a packet of unbounded length");
        const u64 packetEnd = pos + 6 + length;
        if ((id & 0xF0) == 0xE0 && (video == 0 || id == video)) {
            video = id;
            const std::size_t payload = PesPayload(h, have);
            if (payload == 0 && pos + have == size) {
                pos = size; // the file ends inside the packet's header
                break;
            }
            if (payload == 0 || payload > 6 + length)
                return NotJudged("mpeg: a video packet header of unknown layout");
            if (!Scan(bytes, pos + payload, std::min(packetEnd, end), &scan))
                return ReadFailed();
        } else if (id != kPaddingStream && id != kSystemHeader && id != kStreamMap) {
            otherStreams = true;
        }
        pos = packetEnd;
    }
    // Only a walk through the whole file has seen all its video.
    const bool whole = end == size && pos >= size;
    if (video == 0)
        return whole && !otherStreams
                   ? Undecodable("mpeg: the file ends before the first video packet")
                   : NotJudged("mpeg: no video packet at the start of the file");
    return JudgeVideoStart(scan, whole, frame);
}

bool SniffVideoStream(const Head& head)
{
    return head.have >= 4 && Be32(head.bytes) == (kMpegStartCode | kSequenceHeader);
}

ContainerProbe ProbeVideoStream(Bytes& bytes, FrameSize* frame)
{
    const u64 end = std::min(bytes.size(), kMpegWindow);
    VideoStartCodes scan;
    if (!Scan(bytes, 0, end, &scan))
        return ReadFailed();
    return JudgeVideoStart(scan, end == bytes.size(), frame);
}

} // namespace kadrix::probe
