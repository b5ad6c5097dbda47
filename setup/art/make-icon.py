#!/usr/bin/env python3
"""Draws the icon of the setup program and of the installer.

    python3 setup/art/make-icon.py

Writes kadrix.ico beside this script: a frame of film (a dark strip with its
sprocket holes) around a picture (sky, sun and hill), the tile Kadrix puts on
a video. Five images: 16, 24, 32 and 48 pixels as 32-bit bitmaps with their
AND masks, 256 pixels as PNG, as Windows' shell expects them. The small
sizes leave out the sprocket holes, which would only blur there.

Only the Python standard library is used. The output is the same, byte for
byte, on every run: the icon is committed, and this script is needed only to
draw it anew.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUTPUT = os.path.join(HERE, "kadrix.ico")

SIZES = (16, 24, 32, 48, 256)
PNG_FROM = 256  # sizes from here on are stored as PNG
# Samples per pixel along each axis: edges are antialiased by supersampling.
SUPERSAMPLE = 4

STRIP = (38, 40, 46)
HOLE = (226, 228, 232)
SKY_TOP = (52, 118, 210)
SKY_BOTTOM = (150, 200, 245)
SUN = (255, 200, 60)
HILL = (58, 156, 78)

# The design on a unit square, y downwards.
STRIP_BOX = (0.04, 0.15, 0.96, 0.85)
STRIP_RADIUS = 0.08
PICTURE_BOX = (0.12, 0.29, 0.88, 0.71)
HOLE_ROWS = (0.185, 0.755)  # top edge of the holes above and below the picture
HOLE_SIZE = 0.06
HOLE_COUNT = 6


def in_rounded_rect(x, y, box, radius):
    x0, y0, x1, y1 = box
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    cx = min(max(x, x0 + radius), x1 - radius)
    cy = min(max(y, y0 + radius), y1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def in_hole(x, y):
    x0, _, x1, _ = STRIP_BOX
    pitch = (x1 - x0) / HOLE_COUNT
    for top in HOLE_ROWS:
        if top <= y <= top + HOLE_SIZE:
            offset = (x - x0) % pitch
            return (pitch - HOLE_SIZE) / 2 <= offset <= (pitch + HOLE_SIZE) / 2
    return False


def picture_colour(x, y):
    x0, y0, x1, y1 = PICTURE_BOX
    if ((x - 0.36) / 0.46) ** 2 + ((y - 0.86) / 0.28) ** 2 <= 1.0:
        return HILL
    if (x - 0.70) ** 2 + (y - 0.41) ** 2 <= 0.065 ** 2:
        return SUN
    t = (y - y0) / (y1 - y0)
    return tuple(round(a + (b - a) * t) for a, b in zip(SKY_TOP, SKY_BOTTOM))


def sample(x, y, holes):
    """The colour at a point, or None outside the icon."""
    if not in_rounded_rect(x, y, STRIP_BOX, STRIP_RADIUS):
        return None
    x0, y0, x1, y1 = PICTURE_BOX
    if x0 <= x <= x1 and y0 <= y <= y1:
        return picture_colour(x, y)
    if holes and in_hole(x, y):
        return HOLE
    return STRIP


def render(size):
    """Rows of (r, g, b, a), top row first."""
    holes = size >= 32
    n = SUPERSAMPLE
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            total = [0, 0, 0]
            covered = 0
            for sj in range(n):
                for si in range(n):
                    colour = sample((i + (si + 0.5) / n) / size, (j + (sj + 0.5) / n) / size, holes)
                    if colour is not None:
                        covered += 1
                        for k in range(3):
                            total[k] += colour[k]
            if covered:
                row.append(tuple(round(t / covered) for t in total) + (round(255 * covered / (n * n)),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bitmap_image(rows):
    """A 32-bit DIB as icons hold it: the header with twice the height, the
    colour rows bottom-up in BGRA, then the AND mask (1 where transparent)."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return header + pixels + bytes(mask)


def png_image(rows):
    size = len(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon(images):
    """The .ico file: its directory, then each image."""
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for size, image in images:
        dimension = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", dimension, dimension, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
        data += image
    return directory + data


def main():
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png_image(rows) if size >= PNG_FROM else bitmap_image(rows)))
    with open(OUTPUT, "wb") as out:
        out.write(icon(images))
    print(OUTPUT)


if __name__ == "__main__":
    main()
