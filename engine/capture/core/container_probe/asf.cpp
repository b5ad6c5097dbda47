// The container probe for ASF files (WMV, WMA, ASX-named ASF): the header
// object and the first data packet.
#include "engine/capture/core/container_probe/format.h"

namespace kadrix::probe {
namespace {

// Object GUIDs as they lie in the file.
constexpr std::uint8_t kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::uint8_t kAsfData[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::uint8_t kAsfFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::uint8_t kAsfStreamProperties[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                                   0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::uint8_t kAsfVideoMedia[16] = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                                             0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

constexpr u64 kAsfHeaderObject = 30; // GUID, size, object count, two reserved bytes
constexpr u64 kAsfObject = 24;       // GUID and size
constexpr u64 kAsfDataObject = 50;   // GUID, size, file ID, packet count, reserved

bool IsGuid(const std::uint8_t* p, const std::uint8_t (&guid)[16])
{
    return std::memcmp(p, guid, 16) == 0;
}

// The header object's children: the data packets' size from the file
// properties (fixed when the least and the largest agree; kUnknownPacket
// otherwise), and the frame size of the first video stream. False when the
// children do not add up to the header object, or the file properties are
// missing: no reader gets past such headers.
constexpr u64 kUnknownPacket = ~u64{0};

bool ReadAsfHeaders(Bytes& bytes, u64 pos, u64 end, u64* packetSize, FrameSize* frame)
{
    bool fileProperties = false;
    for (int i = 0; i < kMaxChildren && pos < end; ++i) {
        std::uint8_t h[kAsfObject];
        if (end - pos < kAsfObject)
            return false;
        if (!bytes.Read(pos, h, sizeof h))
            return true; // unread is not broken
        const u64 length = Le64(h + 16);
        if (length < kAsfObject || length > end - pos)
            return false;
        if (IsGuid(h, kAsfFileProperties) && length >= 104) {
            fileProperties = true;
            std::uint8_t sizes[8];
            if (bytes.Read(pos + 92, sizes, sizeof sizes) && Le32(sizes) == Le32(sizes + 4))
                *packetSize = Le32(sizes);
        } else if (IsGuid(h, kAsfStreamProperties) && length >= 86 && frame->width == 0) {
            std::uint8_t type[16];
            std::uint8_t size[8];
            if (bytes.Read(pos + kAsfObject, type, sizeof type) && IsGuid(type, kAsfVideoMedia) &&
                bytes.Read(pos + 78, size, sizeof size)) {
                frame->width = Le32(size);
                frame->height = Le32(size + 4);
            }
        }
        pos += length;
    }
    return fileProperties || pos < end; // a walk cut off by its bound is not judged
}

} // namespace

bool SniffAsf(const Head& head)
{
    return head.have >= 16 && IsGuid(head.bytes, kAsfHeader);
}

// A cut inside the header object leaves nothing to decode; a file that ends
// before its first data packet is whole has no frame. Past that first
// packet a cut file still decodes up to the cut.
ContainerProbe ProbeAsf(Bytes& bytes, FrameSize* frame)
{
    const u64 size = bytes.size();
    std::uint8_t h[kAsfHeaderObject];
    if (size < kAsfHeaderObject)
        return Undecodable("asf: the header object is cut");
    if (!bytes.Read(0, h, sizeof h))
        return ReadFailed();
    const u64 headerEnd = Le64(h + 16);
    if (headerEnd < kAsfHeaderObject)
        return Undecodable("asf: the header object's size is too small");
    if (headerEnd > size)
        return Undecodable("asf: the file ends inside the header object");
    u64 packetSize = kUnknownPacket;
    if (!ReadAsfHeaders(bytes, kAsfHeaderObject, headerEnd, &packetSize, frame))
        return Undecodable("asf: the header objects do not add up");

    std::uint8_t data[kAsfObject];
    if (bytes.left(headerEnd) < kAsfDataObject)
        return Undecodable("asf: the file ends before the data object");
    if (!bytes.Read(headerEnd, data, sizeof data))
        return ReadFailed();
    if (!IsGuid(data, kAsfData))
        return NotJudged("asf: no data object after the headers");
    if (packetSize == 0)
        return Undecodable("asf: data packets of no size");
    if (packetSize == kUnknownPacket)
        return Plausible("asf: headers whole");
    if (bytes.left(headerEnd + kAsfDataObject) < packetSize)
        return Undecodable("asf: the file ends inside the first data packet");
    return Plausible("asf: headers and the first data packet whole");
}

} // namespace kadrix::probe
