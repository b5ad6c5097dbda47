#!/usr/bin/env python3
"""Makes the robustness corpus: make-corpus.py OUTDIR [--subset]

Inputs a thumbnail handler meets in a folder it is asked about for hours:
valid clips of every container behind the associated extensions, each of them
cut at many points, with bytes flipped and blocks overwritten, with header
fields set to zero, huge or negative values; files whose extension lies about
their content; empty, text, HTML and random files; a sparse file of several
GB; and clips of extreme frame sizes that still decode.

Everything is deterministic: the clips come from ffmpeg's test sources with
bit-exact muxing, every damage from a random.Random seeded with the input's
name, so a rerun writes the same bytes. Inputs already in OUTDIR are kept;
a change of this script (or of the mode) remakes them all.

OUTDIR/manifest.tsv lists every input: name, kind, source, expected class
(valid, broken, damaged, not-video) and a detail.

--subset makes a small fixed selection for CI (every container valid, every
kind of damage at least once, the junk files, one large frame), without the
8K clip and the sparse file.
"""
import argparse
import hashlib
import os
import random
import shutil
import struct
import subprocess
import sys
import uuid

DURATION = 3  # seconds of every ordinary clip
SMALL = "160x128"
# Matroska writes sizes in as few bytes as they need: at 320x256 the pixel
# sizes take two bytes each, room for a huge value in place.
MKV_SIZE = "320x256"

BITEXACT = ["-fflags", "+bitexact", "-flags:v", "+bitexact", "-flags:a", "+bitexact",
            "-map_metadata", "-1"]
X264 = ["-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-bf", "0",
        "-g", "25", "-crf", "28"]
MJPEG = ["-c:v", "mjpeg", "-q:v", "6", "-pix_fmt", "yuvj420p"]

EXTENSIONS = ["asf", "asx", "avi", "flv", "m1v", "m2v", "mkv", "mov", "mp4", "mpe", "mpeg",
              "mpg", "mpv2", "wmv"]


def picture(size, seconds=DURATION, rate=25):
    return ["-f", "lavfi", "-i", f"testsrc2=s={size}:r={rate}:d={seconds}"]


def tone(seconds=DURATION):
    return ["-f", "lavfi", "-i", f"sine=f=440:d={seconds}"]


# name: (inputs, output options, format). The valid clips, one or more per
# container and codec the platform decodes for the associated extensions.
BASES = {
    "h264.mp4": (picture(SMALL), X264, "mp4"),
    "faststart.mp4": (picture(SMALL), X264 + ["-movflags", "+faststart"], "mp4"),
    "frag.mp4": (picture(SMALL), X264 + ["-movflags", "frag_keyframe+empty_moov"], "mp4"),
    "mpeg4.mp4": (picture(SMALL), ["-c:v", "mpeg4", "-q:v", "6"], "mp4"),
    "h264.mov": (picture(SMALL), X264, "mov"),
    "mjpeg.mov": (picture(SMALL), MJPEG, "mov"),
    "mjpeg.avi": (picture(SMALL), MJPEG, "avi"),
    "mpeg4.avi": (picture(SMALL), ["-c:v", "mpeg4", "-q:v", "6", "-vtag", "XVID"], "avi"),
    "h264.avi": (picture(SMALL), X264, "avi"),
    "withaudio.avi": (picture(SMALL) + tone(), MJPEG + ["-c:a", "pcm_s16le"], "avi"),
    "h264.mkv": (picture(MKV_SIZE), X264, "matroska"),
    "vp8.mkv": (picture(MKV_SIZE), ["-c:v", "libvpx", "-b:v", "200k"], "matroska"),
    "audiofirst.mkv": (tone() + picture(MKV_SIZE),
                       ["-map", "0:a", "-map", "1:v"] + X264 + ["-c:a", "mp2"], "matroska"),
    # Written to a pipe, so the segment's size is never filled in: a file
    # still being recorded.
    "live.mkv": (picture(MKV_SIZE), X264, "matroska-pipe"),
    "flv1.flv": (picture(SMALL), ["-c:v", "flv", "-q:v", "6"], "flv"),
    "h264.flv": (picture(SMALL), X264, "flv"),
    "wmv2.wmv": (picture(SMALL), ["-c:v", "wmv2", "-q:v", "6"], "asf"),
    "wmv1.wmv": (picture(SMALL), ["-c:v", "wmv1", "-q:v", "6"], "asf"),
    "wmv2.asf": (picture(SMALL), ["-c:v", "wmv2", "-q:v", "6"], "asf"),
    "audiofirst.wmv": (tone() + picture(SMALL),
                       ["-map", "0:a", "-map", "1:v", "-c:v", "wmv2", "-q:v", "6",
                        "-c:a", "wmav2"], "asf"),
    "wmv2.asx": (picture(SMALL), ["-c:v", "wmv2", "-q:v", "6"], "asf"),
    "mpeg1.mpg": (picture(SMALL), ["-c:v", "mpeg1video", "-q:v", "6"], "mpeg"),
    "mpeg2.mpg": (picture(SMALL), ["-c:v", "mpeg2video", "-q:v", "6"], "vob"),
    "mpeg2.mpeg": (picture(SMALL), ["-c:v", "mpeg2video", "-q:v", "6"], "vob"),
    "mpeg1.mpe": (picture(SMALL), ["-c:v", "mpeg1video", "-q:v", "6"], "mpeg"),
    "mpeg1.m1v": (picture(SMALL), ["-c:v", "mpeg1video", "-q:v", "6"], "mpeg1video"),
    "mpeg2.m2v": (picture(SMALL), ["-c:v", "mpeg2video", "-q:v", "6"], "mpeg2video"),
    "mpeg2.mpv2": (picture(SMALL), ["-c:v", "mpeg2video", "-q:v", "6"], "mpeg2video"),
}

# Frame sizes at the edges of what decodes: short, low-bitrate clips.
LOW = ["-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-crf", "35",
       "-g", "5"]
EXTREMES = {
    "size-2x2.avi": (picture("2x2", 2), ["-c:v", "mjpeg", "-q:v", "3", "-pix_fmt", "yuvj444p"],
                     "avi"),
    "size-16x16.mp4": (picture("16x16", 2), X264, "mp4"),
    "size-4k.mp4": (picture("3840x2160", 1, 5), LOW, "mp4"),
    "size-8k.mp4": (picture("7680x4320", 1, 5), LOW, "mp4"),
    "size-wide.mp4": (picture("4096x64", 2, 10), LOW, "mp4"),
    "size-tall.mp4": (picture("64x4096", 2, 10), LOW, "mp4"),
}

AUDIO_ONLY = {
    "audioonly.mp4": (tone(), ["-c:a", "aac"], "mp4"),
    "audioonly.wmv": (tone(), ["-c:a", "wmav2"], "asf"),
    "audioonly.mkv": (tone(), ["-c:a", "mp2"], "matroska"),
    "audioonly.avi": (tone(), ["-c:a", "pcm_s16le"], "avi"),
}

# The subset CI runs: every container valid, each kind of damage at least
# once, the junk, one large frame. Names as the full corpus has them.
SUBSET = [
    "h264.mp4", "faststart.mp4", "frag.mp4", "h264.mov", "noftyp.mov", "mjpeg.avi",
    "avix.avi", "h264.mkv", "live.mkv", "flv1.flv", "wmv2.wmv", "wmv2.asf", "wmv2.asx",
    "mpeg1.mpg", "mpeg2.mpeg", "mpeg1.mpe", "mpeg1.m1v", "mpeg2.m2v", "mpeg2.mpv2",
    "size-4k.mp4",
    "mjpeg_avi.trunc-head.avi", "h264_mkv.trunc-0.5.mkv", "h264_mp4.trunc-1.mp4",
    "wmv2_wmv.trunc-5.wmv", "mpeg1_mpg.trunc-10.mpg", "faststart_mp4.trunc-25.mp4",
    "mpeg4_avi.trunc-50.avi", "flv1_flv.trunc-80.flv", "h264_mov.trunc-99.mov",
    "h264_mkv.trunc-99.9.mkv",
    "h264_mp4.flip-head-3.mp4", "mjpeg_avi.flip-mid-2.avi",
    "h264_mkv.block-head-zero.mkv", "wmv2_asf.block-head-rand.asf",
    "mpeg2_m2v.block-head-ff.m2v", "h264_mov.block-mid-zero.mov",
    "mjpeg_avi.block-mid-rand.avi", "flv1_flv.block-mid-ff.flv",
    "mjpeg_avi.field-strf_w-huge.avi", "mpeg4_avi.field-riff_size-zero.avi",
    "h264_mp4.field-stsd_w-zero.mp4", "faststart_mp4.field-mvhd_duration-zero.mp4",
    "h264_mkv.field-PixelWidth-huge.mkv", "h264_mkv.field-Duration-negative.mkv",
    "mpeg1_mpg.field-seq_w-zero.mpg", "wmv2_wmv.field-asf_w-huge.wmv",
    "flv1_flv.field-width-zero.flv",
    "misnamed-h264_mp4.avi", "misnamed-h264_mkv.wmv",
    "empty.avi", "empty.mp4", "text.avi", "html.mp4", "random.mp4", "random.wmv",
    "riff-random.avi", "ebml-random.mkv", "playlist.asx", "audioonly.mp4",
]


class Corpus:
    def __init__(self, out, subset):
        self.out = out
        self.subset = set(SUBSET) if subset else None
        self.rows = []
        self.made = 0
        self.bases = {}

    def wanted(self, name):
        return self.subset is None or name in self.subset

    def path(self, name):
        return os.path.join(self.out, name)

    def add(self, name, kind, source, expected, detail, make):
        """Records an input and makes it unless it is there already."""
        if not self.wanted(name):
            return
        self.rows.append((name, kind, source, expected, detail))
        if os.path.exists(self.path(name)):
            return
        tmp = self.path(".tmp-" + name)
        make(tmp)
        os.replace(tmp, self.path(name))
        self.made += 1

    def write(self, name, kind, source, expected, detail, data):
        def make(tmp):
            with open(tmp, "wb") as f:
                f.write(data)
        self.add(name, kind, source, expected, detail, make)

    def encode(self, name, recipe, kind, expected, detail=""):
        inputs, options, fmt = recipe

        def make(tmp):
            command = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
                       *inputs, *options, *BITEXACT, "-threads", "1"]
            if fmt == "matroska-pipe":
                with open(tmp, "wb") as f:
                    subprocess.run(command + ["-f", "matroska", "pipe:1"], check=True,
                                   stdout=f)
            else:
                subprocess.run(command + ["-f", fmt, tmp], check=True)
        self.add(name, kind, "ffmpeg", expected, detail, make)

    def base(self, name):
        """The bytes of a valid clip, made first when needed. In the subset a
        clip that is only a source of damage stays in OUTDIR, out of the manifest."""
        if name not in self.bases:
            path = self.path(name)
            if not os.path.exists(path):
                saved, self.subset = self.subset, None
                rows = len(self.rows)
                self.encode(name, BASES[name], "valid", "valid")
                del self.rows[rows:]  # recorded where it is wanted, not here
                self.subset = saved
            with open(path, "rb") as f:
                self.bases[name] = f.read()
        return self.bases[name]


# --- Container structure: where the headers are, where the fields sit -------------------

def iso_boxes(data, start, end):
    pos = start
    while pos + 8 <= end:
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        header = 8
        if size == 1:
            size = struct.unpack(">Q", data[pos + 8:pos + 16])[0]
            header = 16
        elif size == 0:
            size = end - pos
        if size < header or pos + size > end:
            return
        yield kind.decode("latin-1"), pos, header, size
        pos += size


def iso_find(data, start, end, path):
    """Body offsets of the boxes at the path, e.g. ['moov', 'trak']."""
    found = []
    for kind, pos, header, size in iso_boxes(data, start, end):
        if kind == path[0]:
            if len(path) == 1:
                found.append((pos + header, pos + size))
            else:
                found += iso_find(data, pos + header, pos + size, path[1:])
    return found


def iso_video_track(data):
    for body, end in iso_find(data, 0, len(data), ["moov", "trak"]):
        for hdlr, _ in iso_find(data, body, end, ["mdia", "hdlr"]):
            if data[hdlr + 8:hdlr + 12] == b"vide":
                return body, end
    return None


def riff_chunks(data, start, end):
    pos = start
    while pos + 8 <= end:
        cid = data[pos:pos + 4]
        size = struct.unpack("<I", data[pos + 4:pos + 8])[0]
        yield cid, pos, size
        pos += 8 + size + (size & 1)


def avi_lists(data):
    """(hdrl body start, end), movi LIST offset."""
    hdrl = movi = None
    for cid, pos, size in riff_chunks(data, 12, len(data)):
        if cid == b"LIST" and data[pos + 8:pos + 12] == b"hdrl":
            hdrl = (pos + 12, pos + 8 + size)
        if cid == b"LIST" and data[pos + 8:pos + 12] == b"movi":
            movi = pos
            break
    return hdrl, movi


def ebml_vint(data, pos, keep_marker):
    first = data[pos]
    length = 1
    while length <= 8 and not first & (0x80 >> (length - 1)):
        length += 1
    value = first if keep_marker else first & (0xFF >> length)
    for k in range(1, length):
        value = (value << 8) | data[pos + k]
    return value, length


def ebml_elements(data, start, end):
    pos = start
    while pos < end:
        eid, idlen = ebml_vint(data, pos, True)
        size, sizelen = ebml_vint(data, pos + idlen, False)
        unknown = size == (1 << (7 * sizelen)) - 1
        body = pos + idlen + sizelen
        yield eid, pos, body, end if unknown else body + size, sizelen
        if unknown:
            return
        pos = body + size


MKV_SEGMENT, MKV_CLUSTER, MKV_INFO, MKV_TRACKS = 0x18538067, 0x1F43B675, 0x1549A966, 0x1654AE6B


def mkv_segment(data):
    for eid, pos, body, end, sizelen in ebml_elements(data, 0, len(data)):
        if eid == MKV_SEGMENT:
            return pos, body, min(end, len(data)), sizelen
    return None


def mkv_fields(data):
    """Offsets and lengths of the values the damage edits, by name."""
    fields = {}
    segment = mkv_segment(data)
    if not segment:
        return fields
    pos, body, end, sizelen = segment
    fields["segment_size"] = (body - sizelen, sizelen)
    for eid, _, b, e, _ in ebml_elements(data, body, end):
        if eid == MKV_CLUSTER:
            break
        if eid == MKV_INFO:
            for cid, _, cb, ce, _ in ebml_elements(data, b, e):
                if cid == 0x4489:
                    fields["Duration"] = (cb, ce - cb)
                if cid == 0x2AD7B1:
                    fields["TimestampScale"] = (cb, ce - cb)
        if eid == MKV_TRACKS:
            for tid, _, tb, te, _ in ebml_elements(data, b, e):
                if tid != 0xAE:
                    continue
                entry = {cid: (cb, ce) for cid, _, cb, ce, _ in ebml_elements(data, tb, te)}
                if 0x83 not in entry or data[entry[0x83][0]] != 1:  # not the video track
                    continue
                if 0x23E383 in entry:
                    cb, ce = entry[0x23E383]
                    fields["DefaultDuration"] = (cb, ce - cb)
                if 0xE0 in entry:
                    vb, ve = entry[0xE0]
                    for cid, _, cb, ce, _ in ebml_elements(data, vb, ve):
                        if cid == 0xB0:
                            fields["PixelWidth"] = (cb, ce - cb)
                        if cid == 0xBA:
                            fields["PixelHeight"] = (cb, ce - cb)
                break
    return fields


def asf_guid(text):
    return uuid.UUID(text).bytes_le


ASF_HEADER = asf_guid("75B22630-668E-11CF-A6D9-00AA0062CE6C")
ASF_FILE_PROPERTIES = asf_guid("8CABDCA1-A947-11CF-8EE4-00C00C205365")
ASF_STREAM_PROPERTIES = asf_guid("B7DC0791-A9B7-11CF-8EE6-00C00C205365")
ASF_VIDEO_MEDIA = asf_guid("BC19EFC0-5B4D-11CF-A8FD-00805F5C442B")


def asf_objects(data):
    """(header object size, {name: object offset}) of an ASF file."""
    if data[:16] != ASF_HEADER:
        return 0, {}
    header_size = struct.unpack("<Q", data[16:24])[0]
    objects = {}
    pos = 30
    while pos + 24 <= min(header_size, len(data)):
        guid = data[pos:pos + 16]
        size = struct.unpack("<Q", data[pos + 16:pos + 24])[0]
        if size < 24:
            break
        if guid == ASF_FILE_PROPERTIES:
            objects["file"] = pos
        if guid == ASF_STREAM_PROPERTIES and data[pos + 24:pos + 40] == ASF_VIDEO_MEDIA:
            objects.setdefault("video", pos)
        pos += size
    return header_size, objects


def flv_first_tag_end(data):
    if data[:3] != b"FLV" or len(data) < 24:
        return min(len(data), 13)
    size = int.from_bytes(data[14:17], "big")
    return min(len(data), 13 + 11 + size + 4)


def container_of(name):
    ext = name.rsplit(".", 1)[1]
    return {"mp4": "iso", "mov": "iso", "avi": "avi", "mkv": "mkv", "wmv": "asf", "asf": "asf",
            "asx": "asf", "flv": "flv"}.get(ext, "mpeg")


def header_ranges(name, data):
    """Where the clip's headers lie: the targets of the header damage."""
    kind = container_of(name)
    if kind == "iso":
        ranges = [(pos, pos + size) for t, pos, _, size in iso_boxes(data, 0, len(data))
                  if t in ("ftyp", "moov")]
        moof = [(pos, pos + size) for t, pos, _, size in iso_boxes(data, 0, len(data))
                if t == "moof"]
        return ranges + moof[:1]
    if kind == "avi":
        _, movi = avi_lists(data)
        return [(0, (movi or 2048) + 12)]
    if kind == "mkv":
        cluster = data.find(b"\x1F\x43\xB6\x75")
        return [(0, cluster if cluster > 0 else 2048)]
    if kind == "asf":
        header_size, _ = asf_objects(data)
        return [(0, min(len(data), header_size or 2048))]
    if kind == "flv":
        return [(0, flv_first_tag_end(data))]
    picture = data.find(b"\x00\x00\x01\x00")
    return [(0, picture if picture > 0 else 512)]


def header_only_cut(name, data):
    """The length that keeps the headers and no media data."""
    kind = container_of(name)
    if kind == "iso":
        for t, pos, header, size in iso_boxes(data, 0, len(data)):
            if t == "mdat":
                return pos + header
        return len(data) // 2
    if kind == "avi":
        _, movi = avi_lists(data)
        return (movi or 0) + 12
    if kind == "asf":
        header_size, _ = asf_objects(data)
        return header_size + 50
    return max(end for _, end in header_ranges(name, data))


# --- Damage ---------------------------------------------------------------------------

TRUNCATIONS = [0.5, 1, 5, 10, 25, 50, 80, 99, 99.9]
HEAD_FLIPS = [1, 1, 2, 4, 8, 16]  # bytes flipped, one seed each
MID_FLIPS = [1, 4, 16, 64]


def pick_in(rng, ranges, count):
    spots = []
    for _ in range(count):
        start, end = rng.choice(ranges)
        spots.append(rng.randrange(start, max(start + 1, end)))
    return spots


def flipped(data, spots, rng):
    out = bytearray(data)
    for spot in spots:
        if spot < len(out):
            out[spot] ^= rng.randrange(1, 256)
    return bytes(out)


def overwritten(data, start, block):
    out = bytearray(data)
    start = max(0, min(start, len(out) - len(block)))
    out[start:start + len(block)] = block[:len(out) - start]
    return bytes(out)


def patched(data, offset, value):
    out = bytearray(data)
    out[offset:offset + len(value)] = value
    return bytes(out)


def field_edits(name, data):
    """{field-value: damaged bytes}: header fields set to zero, huge or negative."""
    kind = container_of(name)
    edits = {}
    u32le = lambda v: struct.pack("<I", v & 0xFFFFFFFF)
    u32be = lambda v: struct.pack(">I", v & 0xFFFFFFFF)
    u16be = lambda v: struct.pack(">H", v)
    if kind == "avi":
        edits["riff_size-zero"] = patched(data, 4, u32le(0))
        edits["riff_size-huge"] = patched(data, 4, u32le(0xFFFFFFFF))
        hdrl, _ = avi_lists(data)
        if hdrl:
            chunks = list(riff_chunks(data, *hdrl))
            for cid, pos, _ in chunks:
                if cid == b"avih":
                    b = pos + 8
                    for field, off in [("avih_usperframe", 0), ("avih_frames", 16),
                                       ("avih_w", 32), ("avih_h", 36)]:
                        edits[field + "-zero"] = patched(data, b + off, u32le(0))
                        edits[field + "-huge"] = patched(data, b + off, u32le(0x7FFFFFFF))
                    edits["avih_h-negative"] = patched(data, b + 36, u32le(-1))
            for cid, pos, size in chunks:
                if cid != b"LIST" or data[pos + 8:pos + 12] != b"strl":
                    continue
                inner = {c: p + 8 for c, p, _ in riff_chunks(data, pos + 12, pos + 8 + size)}
                strh, strf = inner.get(b"strh"), inner.get(b"strf")
                if strh is None or strf is None or data[strh:strh + 4] != b"vids":
                    continue
                edits["strh_scale-zero"] = patched(data, strh + 20, u32le(0))
                edits["strh_rate-zero"] = patched(data, strh + 24, u32le(0))
                edits["strh_length-huge"] = patched(data, strh + 32, u32le(0x7FFFFFFF))
                for field, off in [("strf_w", 4), ("strf_h", 8)]:
                    edits[field + "-zero"] = patched(data, strf + off, u32le(0))
                    edits[field + "-huge"] = patched(data, strf + off, u32le(0x7FFFFFFF))
                edits["strf_w-negative"] = patched(data, strf + 4, u32le(-1))
                edits["strf_h-negative"] = patched(data, strf + 8, u32le(-0x80000000))
                edits["strf_bitcount-zero"] = patched(data, strf + 14, b"\0\0")
                break
    elif kind == "iso":
        for body, _ in iso_find(data, 0, len(data), ["moov", "mvhd"]):
            v1 = data[body] == 1
            edits["mvhd_duration-zero"] = patched(data, body + (24 if v1 else 16),
                                                  b"\0" * (8 if v1 else 4))
            edits["mvhd_duration-huge"] = patched(data, body + (24 if v1 else 16),
                                                  b"\xff" * (8 if v1 else 4))
        track = iso_video_track(data)
        if track:
            for body, end in iso_find(data, *track, ["tkhd"]):
                edits["tkhd_w-zero"] = patched(data, end - 8, u32be(0))
                edits["tkhd_w-huge"] = patched(data, end - 8, u32be(0x7FFF0000))
                edits["tkhd_h-negative"] = patched(data, end - 4, u32be(0xFFFF0000))
            for body, _ in iso_find(data, *track, ["mdia", "mdhd"]):
                v1 = data[body] == 1
                edits["mdhd_timescale-zero"] = patched(data, body + (20 if v1 else 12), u32be(0))
                edits["mdhd_duration-huge"] = patched(data, body + (24 if v1 else 16),
                                                      b"\xff" * (8 if v1 else 4))
            for body, _ in iso_find(data, *track, ["mdia", "minf", "stbl", "stsd"]):
                entry = body + 8
                edits["stsd_w-zero"] = patched(data, entry + 32, u16be(0))
                edits["stsd_w-huge"] = patched(data, entry + 32, u16be(0xFFFF))
                edits["stsd_h-zero"] = patched(data, entry + 34, u16be(0))
                edits["stsd_h-huge"] = patched(data, entry + 34, u16be(0xFFFF))
            for body, _ in iso_find(data, *track, ["mdia", "minf", "stbl", "stts"]):
                if struct.unpack(">I", data[body + 4:body + 8])[0] >= 1:
                    edits["stts_delta-zero"] = patched(data, body + 12, u32be(0))
                    edits["stts_delta-huge"] = patched(data, body + 12, u32be(0xFFFFFFFF))
    elif kind == "mkv":
        fields = mkv_fields(data)
        for field in ("PixelWidth", "PixelHeight", "TimestampScale", "DefaultDuration"):
            if field in fields:
                off, length = fields[field]
                edits[field + "-zero"] = patched(data, off, b"\0" * length)
                edits[field + "-huge"] = patched(data, off, b"\xff" * length)
        if "Duration" in fields:
            off, length = fields["Duration"]
            form = ">d" if length == 8 else ">f"
            edits["Duration-zero"] = patched(data, off, struct.pack(form, 0.0))
            edits["Duration-huge"] = patched(data, off,
                                             struct.pack(form, 1e300 if length == 8 else 3e38))
            edits["Duration-negative"] = patched(data, off, struct.pack(form, -1.0))
        if "segment_size" in fields:
            off, length = fields["segment_size"]
            marker = 0x80 >> (length - 1)
            if data[off:off + length] != bytes([marker | (0xFF >> length)]) + b"\xff" * (length - 1):
                edits["segment_size-zero"] = patched(data, off,
                                                     bytes([marker]) + b"\0" * (length - 1))
    elif kind == "asf":
        header_size, objects = asf_objects(data)
        edits["header_count-zero"] = patched(data, 24, b"\0\0\0\0")
        if "file" in objects:
            o = objects["file"]
            edits["play_duration-zero"] = patched(data, o + 64, b"\0" * 8)
            edits["play_duration-huge"] = patched(data, o + 64, b"\xff" * 7 + b"\x7f")
            edits["packet_size-zero"] = patched(data, o + 92, b"\0" * 8)
        if "video" in objects:
            o = objects["video"] + 78
            edits["asf_w-zero"] = patched(data, o, u32le(0))
            edits["asf_w-huge"] = patched(data, o, u32le(0x7FFFFFFF))
            edits["asf_h-negative"] = patched(data, o + 4, u32le(-1))
            edits["bih_w-zero"] = patched(data, o + 11 + 4, u32le(0))
            edits["bih_w-huge"] = patched(data, o + 11 + 4, u32le(0x7FFFFFFF))
            edits["bih_h-negative"] = patched(data, o + 11 + 8, u32le(-0x80000000))
    elif kind == "flv":
        edits["flv_flags-zero"] = patched(data, 4, b"\0")
        for field in ("width", "height", "duration", "framerate"):
            key = struct.pack(">H", len(field)) + field.encode() + b"\x00"
            at = data.find(key, 0, flv_first_tag_end(data))
            if at < 0:
                continue
            at += len(key)
            edits[field + "-zero"] = patched(data, at, struct.pack(">d", 0.0))
            edits[field + "-huge"] = patched(data, at, struct.pack(">d", 1e308))
            edits[field + "-negative"] = patched(data, at, struct.pack(">d", -1.0))
    else:  # MPEG-1/2 program or elementary stream: every sequence header
        heads = []
        at = data.find(b"\x00\x00\x01\xB3")
        while at >= 0 and at + 8 <= len(data):
            heads.append(at + 4)
            at = data.find(b"\x00\x00\x01\xB3", at + 4)

        def sequence(change):
            out = bytearray(data)
            for h in heads:
                bits = int.from_bytes(out[h:h + 4], "big")
                out[h:h + 4] = change(bits).to_bytes(4, "big")
            return bytes(out)
        if heads:
            edits["seq_w-zero"] = sequence(lambda b: b & 0x000FFFFF)
            edits["seq_w-huge"] = sequence(lambda b: b | 0xFFF00000)
            edits["seq_h-zero"] = sequence(lambda b: b & 0xFFF000FF)
            edits["seq_h-huge"] = sequence(lambda b: b | 0x000FFF00)
            edits["seq_fps-zero"] = sequence(lambda b: b & 0xFFFFFFF0)
            edits["seq_fps-huge"] = sequence(lambda b: b | 0x0000000F)
    return edits


def damage_names(name):
    stem, ext = name.rsplit(".", 1)
    return stem.replace(".", "_"), ext


def add_damaged(corpus, base):
    stem, ext = damage_names(base)
    prefix = f"{stem}_{ext}."
    if corpus.subset is not None and not any(n.startswith(prefix) for n in corpus.subset):
        return
    data = corpus.base(base)
    size = len(data)
    heads = header_ranges(base, data)
    middle = [(size // 2 - 65536, size // 2 + 65536)] if size > 262144 else [(size // 4,
                                                                               3 * size // 4)]
    out = lambda kind: f"{prefix}{kind}.{ext}"

    cut = header_only_cut(base, data)
    corpus.write(out("trunc-head"), "truncated", base, "broken", f"{cut} bytes: headers only",
                 data[:cut])
    for pct in TRUNCATIONS:
        keep = int(size * pct / 100)
        corpus.write(out(f"trunc-{pct:g}"), "truncated", base, "broken", f"{keep} of {size} bytes",
                     data[:keep])
    for seed, count in enumerate(HEAD_FLIPS, 1):
        name = out(f"flip-head-{seed}")
        rng = random.Random(name)
        corpus.write(name, "flip", base, "damaged", f"{count} bytes in the headers",
                     flipped(data, pick_in(rng, heads, count), rng))
    for seed, count in enumerate(MID_FLIPS, 1):
        name = out(f"flip-mid-{seed}")
        rng = random.Random(name)
        corpus.write(name, "flip", base, "damaged", f"{count} bytes in the middle",
                     flipped(data, pick_in(rng, middle, count), rng))
    for where, ranges, length in (("head", heads, 64), ("mid", middle, 4096)):
        for fill in ("zero", "rand", "ff"):
            name = out(f"block-{where}-{fill}")
            rng = random.Random(name)
            block = {"zero": bytes(length), "ff": b"\xff" * length,
                     "rand": bytes(rng.randrange(256) for _ in range(length))}[fill]
            corpus.write(name, "block", base, "damaged", f"{length} bytes of {fill}",
                         overwritten(data, pick_in(rng, ranges, 1)[0], block))
    for field, damaged in sorted(field_edits(base, data).items()):
        corpus.write(out(f"field-{field}"), "field", base, "damaged", field, damaged)


def without_file_type(data):
    """A QuickTime file as made before the file type box existed."""
    return data.replace(b"ftyp", b"free", 1)


def with_avix(data):
    """An OpenDML file: one more RIFF AVIX part after the first, a copy of its movi."""
    _, movi = avi_lists(data)
    size = struct.unpack("<I", data[movi + 4:movi + 8])[0]
    movi_list = data[movi:movi + 8 + size]
    return data + b"RIFF" + struct.pack("<I", 4 + len(movi_list)) + b"AVIX" + movi_list


TEXT = b"This is not a video file.\r\nJust some words, as a mistaken rename leaves them.\r\n"
HTML = (b"<!DOCTYPE html>\r\n<html><head><title>404 Not Found</title></head>\r\n"
        b"<body><h1>Not Found</h1><p>The requested URL was not found on this server.</p>"
        b"</body></html>\r\n")
PLAYLIST = (b'<asx version="3.0">\r\n<entry><ref href="h264.mp4"/></entry>\r\n'
            b'<entry><ref href="http://example.invalid/clip.wmv"/></entry>\r\n</asx>\r\n')
SIGNATURES = {
    "riff-random.avi": b"RIFF\x00\x00\x10\x00AVI LIST\x00\x10\x00\x00hdrl",
    "ebml-random.mkv": b"\x1A\x45\xDF\xA3",
    "ftyp-random.mp4": b"\x00\x00\x00\x18ftypisom\x00\x00\x02\x00isommp41",
    "moov-random.mov": b"\x00\x01\x00\x00moov",
    "asf-random.wmv": ASF_HEADER + struct.pack("<Q", 60000),
    "flv-random.flv": b"FLV\x01\x05\x00\x00\x00\x09\x00\x00\x00\x00",
    "mpegps-random.mpg": b"\x00\x00\x01\xBA",
    "mpeges-random.m2v": b"\x00\x00\x01\xB3",
}


def random_bytes(seed, count):
    return random.Random(seed).randbytes(count)


def make(corpus):
    for name in BASES:
        if corpus.wanted(name):
            corpus.base(name)
            corpus.rows.append((name, "valid", "ffmpeg", "valid", BASES[name][2]))
    if corpus.wanted("noftyp.mov"):
        corpus.write("noftyp.mov", "valid", "h264.mov", "valid", "no file type box",
                     without_file_type(corpus.base("h264.mov")))
    if corpus.wanted("avix.avi"):
        corpus.write("avix.avi", "valid", "mjpeg.avi", "valid", "a RIFF AVIX part after the first",
                     with_avix(corpus.base("mjpeg.avi")))
    for name, recipe in EXTREMES.items():
        corpus.encode(name, recipe, "extreme", "valid", recipe[0][-1].split("s=")[1].split(":")[0])
    for base in BASES:
        add_damaged(corpus, base)

    lies = [("h264.mp4", "avi"), ("h264.mkv", "wmv"), ("mjpeg.avi", "mp4"), ("wmv2.wmv", "mkv"),
            ("mpeg1.mpg", "mov"), ("flv1.flv", "mpg"), ("h264.mov", "flv"), ("mpeg2.m2v", "asf"),
            ("wmv2.asf", "mpeg"), ("vp8.mkv", "m1v"), ("faststart.mp4", "mpv2"),
            ("mpeg4.avi", "mpe"), ("wmv2.wmv", "asx"), ("mpeg2.mpeg", "m2v")]
    for base, ext in lies:
        stem, _ = damage_names(base)
        name = f"misnamed-{stem}_{base.rsplit('.', 1)[1]}.{ext}"
        if corpus.wanted(name):
            corpus.write(name, "misnamed", base, "valid", f"{base} named .{ext}",
                         corpus.base(base))

    for ext in EXTENSIONS:
        corpus.write(f"empty.{ext}", "junk", "-", "not-video", "zero bytes", b"")
        corpus.write(f"text.{ext}", "junk", "-", "not-video", "plain text", TEXT)
        corpus.write(f"html.{ext}", "junk", "-", "not-video", "an error page", HTML)
        count = random.Random(f"random.{ext}").choice([1000, 4096, 65536, 300000, 1 << 20])
        corpus.write(f"random.{ext}", "junk", "-", "not-video", f"{count} random bytes",
                     random_bytes(f"random.{ext}", count))
    for name, head in SIGNATURES.items():
        corpus.write(name, "signature", "-", "broken", "a container's signature, then noise",
                     head + random_bytes(name, 65536))
    corpus.write("one-byte.avi", "junk", "-", "not-video", "one byte", b"R")
    corpus.write("seven-bytes.mp4", "junk", "-", "not-video", "seven bytes", b"\0\0\0\x08fty")
    corpus.write("playlist.asx", "playlist", "-", "not-video", "an ASX playlist", PLAYLIST)
    for name, recipe in AUDIO_ONLY.items():
        corpus.encode(name, recipe, "audio-only", "not-video", "sound, no picture")

    # Several GB that are almost all a hole: a valid clip, then zeros.
    for name, base in (("sparse-5g.avi", "mjpeg.avi"), ("sparse-5g.mp4", "faststart.mp4")):
        if corpus.wanted(name):
            def extend(tmp, base=base):
                shutil.copyfile(corpus.path(base), tmp)
                os.truncate(tmp, 5 << 30)
            corpus.base(base)
            corpus.add(name, "sparse", base, "valid", "5 GiB, a hole after the clip", extend)


def prepare(out, recipe):
    """Empties OUTDIR when it holds another recipe's corpus (and only then)."""
    os.makedirs(out, exist_ok=True)
    stamp = os.path.join(out, ".recipe")
    old = open(stamp).read().strip() if os.path.exists(stamp) else None
    if old == recipe:
        return
    entries = os.listdir(out)
    if entries and old is None:
        sys.exit(f"make-corpus: {out} is not empty and holds no corpus; not touching it")
    for entry in entries:
        path = os.path.join(out, entry)
        if os.path.isdir(path) and not os.path.islink(path):
            shutil.rmtree(path)
        else:
            os.remove(path)
    with open(stamp, "w") as f:
        f.write(recipe + "\n")


def main():
    parser = argparse.ArgumentParser(
        description="Makes the robustness corpus (see the top of this file).",
        usage="make-corpus.py OUTDIR [--subset]")
    parser.add_argument("out", metavar="OUTDIR")
    parser.add_argument("--subset", action="store_true", help="the small CI selection")
    args = parser.parse_args()

    with open(os.path.abspath(__file__), "rb") as f:
        recipe = hashlib.sha1(f.read() + (b"subset" if args.subset else b"full")).hexdigest()
    out = os.path.abspath(args.out)
    prepare(out, recipe)
    corpus = Corpus(out, args.subset)
    make(corpus)

    if corpus.subset is not None:
        missing = corpus.subset - {row[0] for row in corpus.rows}
        if missing:
            sys.exit(f"make-corpus: the subset names inputs that are not made: {sorted(missing)}")
    with open(os.path.join(out, "manifest.tsv.tmp"), "w") as f:
        f.write("name\tkind\tsource\texpected\tdetail\n")
        for row in sorted(corpus.rows):
            f.write("\t".join(str(v) for v in row) + "\n")
    os.replace(os.path.join(out, "manifest.tsv.tmp"), os.path.join(out, "manifest.tsv"))
    print(f"make-corpus: {len(corpus.rows)} inputs ({corpus.made} made) in {out}")


if __name__ == "__main__":
    main()
