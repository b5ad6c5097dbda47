#!/usr/bin/env python3
"""Seed corpora and regression inputs of the fuzz drivers.

  make-corpora.py DIR

writes DIR/seeds/DRIVER/ (a few small, well-formed inputs each driver starts
from) and DIR/regressions/DRIVER/ (inputs of faults found before, each of
which once failed its driver). The same bytes every run; standard library
only. The input layouts are the drivers' own, described at the top of each
tests/fuzz/*_fuzz.cpp.
"""
import os
import struct
import sys


def be16(v): return struct.pack(">H", v)
def be24(v): return struct.pack(">I", v)[1:]
def be32(v): return struct.pack(">I", v)
def le16(v): return struct.pack("<H", v)
def le32(v): return struct.pack("<I", v)
def le64(v): return struct.pack("<Q", v)


# --- container_probe: a 6-byte preamble, then the file ---------------------------------------

def preamble(failing_read=0, half=False, shift=0, extra=0):
    return bytes([failing_read | (0x80 if half else 0), shift]) + le32(extra)


def box(kind, body=b""): return be32(8 + len(body)) + kind + body


def visual_track(track_id=1, first_offset=0, first_size=0):
    tkhd = box(b"tkhd", bytes(12) + be32(track_id) + bytes(68))
    hdlr = box(b"hdlr", bytes(8) + b"vide" + bytes(13))
    avc1 = box(b"avc1", bytes(24) + be16(320) + be16(240) + bytes(50))
    stbl = box(b"stbl", box(b"stsd", be32(0) + be32(1) + avc1) +
               box(b"stsz", be32(0) + be32(0) + be32(1) + be32(first_size)) +
               box(b"stco", be32(0) + be32(1) + be32(first_offset)))
    minf = box(b"minf", box(b"vmhd", bytes(12)) + stbl)
    return box(b"trak", tkhd + box(b"mdia", box(b"mdhd", bytes(24)) + hdlr + minf))


def sound_track(boxes=0):
    """A sound track, its track header followed by that many free boxes."""
    tkhd = box(b"tkhd", bytes(12) + be32(2) + bytes(68)) + box(b"free") * boxes
    hdlr = box(b"hdlr", bytes(8) + b"soun" + bytes(13))
    stbl = box(b"stbl", box(b"stsd", be32(0) + be32(0)) + box(b"stsz", bytes(12)))
    minf = box(b"minf", box(b"smhd", bytes(8)) + stbl)
    return box(b"trak", tkhd + box(b"mdia", box(b"mdhd", bytes(24)) + hdlr + minf))


FTYP = box(b"ftyp", b"isom" + be32(512) + b"isomiso2avc1mp41")


def mp4():
    mdat_at = len(FTYP) + len(box(b"moov", box(b"mvhd", bytes(100)) + visual_track()))
    moov = box(b"moov", box(b"mvhd", bytes(100)) + visual_track(1, mdat_at + 8, 500))
    return FTYP + moov + box(b"mdat", bytes(2000))


def chunk(cid, body):
    return cid + le32(len(body)) + body + (b"\0" if len(body) % 2 else b"")


def riff_list(kind, body): return chunk(b"LIST", kind + body)


def avi():
    strl = riff_list(b"strl", chunk(b"strh", b"vids" + bytes(52)) +
                     chunk(b"strf", le32(40) + le32(320) + le32(240) + bytes(28)))
    hdrl = riff_list(b"hdrl", chunk(b"avih", bytes(56)) + strl)
    movi = riff_list(b"movi", chunk(b"00dc", bytes(301)) + chunk(b"01wb", bytes(64)))
    body = b"AVI " + hdrl + chunk(b"JUNK", bytes(100)) + movi + chunk(b"idx1", bytes(32))
    return b"RIFF" + le32(len(body)) + body


def ebml_id(v):
    raw = be32(v)
    return raw[len(raw) - len(raw.lstrip(b"\0")):]


def vint(n):
    for length in range(1, 9):
        if n < (1 << (7 * length)) - 1:
            return (n | (1 << (7 * length))).to_bytes(length, "big")
    raise ValueError(n)


def element(eid, body=b""): return ebml_id(eid) + vint(len(body)) + body


EBML = element(0x1A45DFA3, element(0x4282, b"matroska") + element(0x4287, b"\x04"))


def mkv():
    video = element(0xE0, element(0xB0, be16(320)) + element(0xBA, be16(240)))
    tracks = element(0x1654AE6B, element(0xAE, element(0xD7, b"\x01") + element(0x83, b"\x01") +
                                         video))
    block = element(0xA3, b"\x81" + bytes(200))
    cluster = element(0x1F43B675, element(0xE7, b"\0") + block + block)
    info = element(0x1549A966, element(0x2AD7B1, b"\x0F\x42\x40"))
    return EBML + element(0x18538067, info + tracks + cluster)


ASF_HEADER = bytes.fromhex("3026b2758e66cf11a6d900aa0062ce6c")
ASF_DATA = bytes.fromhex("3626b2758e66cf11a6d900aa0062ce6c")
ASF_FILE_PROPERTIES = bytes.fromhex("a1dcab8c47a9cf118ee400c00c205365")
ASF_STREAM_PROPERTIES = bytes.fromhex("9107dcb7b7a9cf118ee600c00c205365")
ASF_VIDEO = bytes.fromhex("c0ef19bc4d5bcf11a8fd00805f5c442b")


def asf():
    def obj(guid, body): return guid + le64(24 + len(body)) + body
    children = (obj(ASF_FILE_PROPERTIES, bytes(68) + le32(200) + le32(200) + le32(0)) +
                obj(ASF_STREAM_PROPERTIES, ASF_VIDEO + bytes(38) + le32(320) + le32(240) +
                    bytes(51)))
    header = ASF_HEADER + le64(30 + len(children)) + le32(2) + b"\x01\x02" + children
    packets = bytes(400)
    return header + ASF_DATA + le64(50 + len(packets)) + bytes(16) + le64(2) + b"\x01\x01" + packets


def flv():
    def tag(kind, data): return bytes([kind]) + be24(len(data)) + bytes(7) + data + \
        be32(11 + len(data))
    tags = (tag(18, b"\x02\x00\x0AonMetaData" + bytes(40)) + tag(9, b"\x17\x00\x00\x00\x00cfg") +
            tag(8, b"\xAF\x01" + bytes(100)) + tag(9, b"\x17\x01\x00\x00\x00" + bytes(600)))
    return b"FLV\x01\x05" + be32(9) + be32(0) + tags


def start_code(code, body=b""): return b"\0\0\1" + bytes([code]) + body


def mpeg_video():
    sequence = start_code(0xB3, bytes([320 >> 4, ((320 << 4) & 0xF0) | (240 >> 8), 240 & 0xFF]) +
                          b"\x13\xFF\xFF\xE0\x18")
    picture = start_code(0x00, b"\x00\x0F\xFF\xF8") + b"".join(
        start_code(row, b"\x55" * 40) for row in range(1, 16))
    return sequence + start_code(0xB8, b"\x00\x08\x00\x40") + picture + picture + start_code(0xB7)


def mpeg_program():
    pack = start_code(0xBA, b"\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xF8")
    video = mpeg_video()
    packet = start_code(0xE0, be16(8 + len(video)) + b"\x81\x80\x05\x21\x00\x01\x00\x01" + video)
    sound = start_code(0xC0, be16(8 + 100) + b"\x81\x80\x05\x21\x00\x01\x00\x01" + bytes(100))
    return pack + sound + packet + start_code(0xB9)


def probe_seeds():
    files = {"mp4": mp4(), "avi": avi(), "mkv": mkv(), "asf": asf(), "flv": flv(),
             "mpeg-video": mpeg_video(), "mpeg-program": mpeg_program()}
    seeds = {}
    for name, data in files.items():
        seeds[name] = preamble() + data
        seeds[name + "-cut"] = preamble() + data[:len(data) * 2 // 3]
        seeds[name + "-second-read-fails"] = preamble(2) + data
        seeds[name + "-larger-than-read"] = preamble(shift=12, extra=1) + data
    seeds["transport-stream"] = preamble() + b"\x47\x40\x00\x10" + b"\xFF" * 184
    seeds["text"] = preamble() + b"This is not a video file."
    return seeds


def probe_regressions():
    # Many Tracks elements of 32 entries of 32 children each, none of them
    # video: every child was read with a read of its own.
    entry = element(0xAE, element(0xD7, b"\x01") * 32)
    tracks = element(0x1654AE6B, entry * 32)
    mkv_tracks = EBML + element(0x18538067, tracks * 36)

    # 31 sound tracks of 32 boxes each past the first 16 KB of the movie box,
    # then the video track: every box of the sound tracks' walks was a read.
    sound = sound_track(boxes=31)
    moov = box(b"moov", box(b"mvhd", bytes(100)) + box(b"free", bytes(16384)) + sound * 31 +
               visual_track())
    mp4_tracks = FTYP + moov + box(b"mdat", bytes(1000))

    # A 5 KB Matroska file whose first read fails: the window stayed empty,
    # and every element of its tracks cost a read of its own.
    entries = element(0x1654AE6B, entry * 40)
    mkv_small = EBML + element(0x18538067, entries)
    mkv_first_read_fails = mkv_small + bytes(5120 - len(mkv_small))

    # An hdrl list that declares a 1-byte body: its walk started past its end.
    hdrl_body = b"LIST" + le32(1) + b"hdrl" + chunk(b"avih", bytes(8))
    avi_hdrl = b"RIFF" + le32(4 + len(hdrl_body)) + b"AVI " + hdrl_body

    # A stream list whose odd-sized last chunk is not padded inside it: its
    # walk went on past its end, into the chunks after the list.
    strl = b"LIST" + le32(4 + 64 + 9) + b"strl" + chunk(b"strh", b"vids" + bytes(52)) + \
        b"JUNK" + le32(1) + b"j" + b"\0"
    outside = chunk(b"strf", le32(40) + le32(0x7FFF) + le32(0x7FFF) + bytes(28))
    hdrl = riff_list(b"hdrl", chunk(b"avih", bytes(56)) + strl + outside)
    body = b"AVI " + hdrl + riff_list(b"movi", chunk(b"00dc", bytes(30)))
    avi_strl = b"RIFF" + le32(len(body)) + body

    return {"mkv-many-tracks": preamble() + mkv_tracks,
            "mp4-tracks-past-16k": preamble() + mp4_tracks,
            "mkv-first-read-fails": preamble(1) + mkv_first_read_fails,
            "avi-hdrl-one-byte": preamble() + avi_hdrl,
            "avi-strl-odd-last-chunk": preamble() + avi_strl}


# --- frame_convert: an 18-byte preamble, then the decoder's buffer ------------------------

def frame(layout, width, height, stride, buffer, flags=0, crop=(0, 0, 0, 0)):
    return (bytes([layout, flags]) + struct.pack("<HH", width, height) +
            struct.pack("<HHHH", *crop) + le32(stride) + buffer)


def frame_seeds():
    w, h = 6, 4
    ramp = bytes(range(256)) * 4
    return {
        "nv12": frame(0, w, h, w, ramp[:w * h + w * h // 2]),
        "i420-odd-cropped": frame(1, 5, 3, 5, ramp[:15 + 2 * 3 * 2], crop=(1, 1, 3, 2)),
        "yv12-bottom-up": frame(2, w, h, w, ramp[:w * h * 3 // 2], flags=0x01),
        "yuy2-full-709": frame(3, w, h, 0, ramp[:w * 2 * h], flags=0x06 | 0x20),
        "bgrx-padded": frame(4, w, h, w * 4 + 8, ramp[:(w * 4 + 8) * h]),
        "nv12-stride-from-length": frame(0, w, h, 0, ramp[:8 * h + 8 * h // 2], flags=0x10),
        "short-buffer": frame(1, 64, 64, 64, ramp[:100]),
    }


# --- registry_script: the text, one character a byte ---------------------------------------

def script_seeds(root):
    seeds = {}
    for path in ("thumbnail_handler/Glimvex.rgs", "thumbnail_handler/MyFirstGlimvex.rgs",
                 "property_sheet/Tabliq.rgs", "property_sheet/ThumbTabliq.rgs"):
        with open(os.path.join(root, path), "rb") as f:
            seeds[os.path.basename(path)] = f.read()
    seeds["values"] = (b"HKCU { noremove Software { 'It''s' = s '100%% %MODULE%' "
                       b"{ val Count = d '42' val Mask = d 0x1F val 'Two words' = s '' } } }\n"
                       b"HKLM { Solo }")
    return seeds


def script_regressions():
    # Keys nested 20,000 deep: the parser recursed once a level.
    return {"nested-20000": b"HKCR {" + b"k{" * 20000 + b"}" * 20001}


# --- file_association: values of a registry, then operations ------------------------------

def registry_value(key, name, kind, data):
    return bytes([key, name, kind, len(data)]) + data


def utf16(text): return text.encode("utf-16-le") + b"\0\0"


def association_seeds():
    prog_id = registry_value(0, 0, 1, b"avifile")          # .avi = avifile
    file_type = registry_value(1 | 0x40, 0, 0, b"")         # the avifile key
    foreign = registry_value(2, 0, 1, b"{X-IMAGE}")          # a handler before ours
    treatment = registry_value(1, 2, 4 | 0x80, le32(2))      # avifile's Treatment
    register, unregister = bytes([0]), bytes([1])
    mkv = registry_value(9, 0, 1, b"")                      # .mkv, no file type
    return {
        "empty": bytes([0]) + register + unregister,
        "avi": bytes([2]) + prog_id + file_type + register + register + unregister,
        "foreign-handler": bytes([4]) + prog_id + file_type + foreign + treatment + register +
                           unregister,
        "mkv-in-itself": bytes([1]) + mkv + bytes([2, 3]),
        "read-only-file-type": bytes([2]) + prog_id + registry_value(1 | 0x10 | 0x40, 0, 0, b"") +
                               register,
        "expandable-and-binary": bytes([3]) + prog_id + registry_value(2, 0, 2, b"{X}") +
                                 registry_value(3, 0, 3 | 0x80, utf16("{Y}")) + register,
    }


def write(folder, inputs):
    os.makedirs(folder, exist_ok=True)
    for name, data in inputs.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-corpora.py DIR")
    out = sys.argv[1]
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    write(os.path.join(out, "seeds", "container_probe"), probe_seeds())
    write(os.path.join(out, "regressions", "container_probe"), probe_regressions())
    write(os.path.join(out, "seeds", "frame_convert"), frame_seeds())
    write(os.path.join(out, "regressions", "frame_convert"), {})
    write(os.path.join(out, "seeds", "registry_script"), script_seeds(root))
    write(os.path.join(out, "regressions", "registry_script"), script_regressions())
    write(os.path.join(out, "seeds", "file_association"), association_seeds())
    write(os.path.join(out, "regressions", "file_association"), {})


if __name__ == "__main__":
    main()
