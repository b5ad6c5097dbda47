#!/usr/bin/env python3
"""Draws the thumbnail page's button faces and slider bitmaps.

    python3 property_sheet/art/make-bitmaps.py           write them
    python3 property_sheet/art/make-bitmaps.py --check   compare them

Writes the Windows bitmaps that Tabliq's resources embed, one set for each
display scaling the page has artwork for: 100 % beside this script, 125 %,
150 % and 200 % in the folders 125/, 150/ and 200/. Each set is the same
drawing at its size (every length of the 100 % set times the scaling,
rounded as Windows rounds it; straight edges on whole pixels, so each set is
crisp), and the page loads the set of its scaling. At 100 %:

    play.bmp step_back.bmp ...  163 x 37, 24-bit: four 40 x 37 faces (normal,
                                hover, pressed, disabled), each but the last
                                followed by a one-pixel separator column
    thumb.bmp                   10 x 10, 32-bit with straight (not
                                premultiplied) alpha, BITMAPV5HEADER
    track.bmp                   1 x 12, 24-bit: the groove's vertical profile
    cap_left.bmp cap_right.bmp  4 x 12, 24-bit: the groove's ends, pure white
                                where the page shows through

--check draws them all and compares them with the files, byte for byte: it
exits 1 and names every file that differs (the tests run it, so the committed
bitmaps and this script never part).

Only the Python standard library is used. The output is the same, byte for
byte, on every run: the bitmaps are committed, and this script is needed only
to draw them anew. make-preview.py lays them out on a contact sheet.
"""

import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# Samples per pixel along each axis: edges are antialiased by supersampling.
SUPERSAMPLE = 6

# The lengths at 100 %.
FACE_W, FACE_H = 40, 37
GROOVE_H = 12
CAP_W = 4
THUMB = 10

# The scalings with artwork of their own, and where each set goes.
SCALES = (100, 125, 150, 200)
STRIPS = ("play", "pause", "stop", "step_back", "step_forward", "store")


def folder_of(percent):
    return HERE if percent == 100 else os.path.join(HERE, str(percent))


def scaled_length(length, percent):
    """A length at the scaling, rounded half up as MulDiv rounds."""
    return (length * percent + 50) // 100


class Scale:
    """The lengths of one set: the face's and the slider's pixel sizes, and
    the factors that carry the 100 % drawing's coordinates onto them."""

    def __init__(self, percent):
        self.percent = percent
        self.s = percent / 100
        self.face_w = scaled_length(FACE_W, percent)
        self.face_h = scaled_length(FACE_H, percent)
        self.sx = self.face_w / FACE_W
        self.sy = self.face_h / FACE_H
        self.groove_h = scaled_length(GROOVE_H, percent)
        self.cap_w = scaled_length(CAP_W, percent)
        self.thumb = scaled_length(THUMB, percent)

    def px(self, length):
        return scaled_length(length, self.percent)

    # A coordinate of the 100 % face. Whole ones are edges that fall on pixel
    # boundaries, and stay on them at every scaling.
    def x(self, v):
        return _snap(v * self.sx) if v == int(v) else v * self.sx

    def y(self, v):
        return _snap(v * self.sy) if v == int(v) else v * self.sy

    def r(self, v):
        return v * self.s


def _snap(v):
    return float(math.floor(v + 0.5))

# Page backgrounds the controls sit on: the Properties dialog of Windows 10
# and 11 (white tab pane, light grey dialog) and Wine's classic grey.
PAGE_WHITE = (255, 255, 255)
PAGE_GREY = (240, 240, 240)
PAGE_WINE = (212, 208, 200)
# The caps blend their soft edges into this: between the three above, nearest
# the common two, and never the transparent white itself.
CAP_BLEND = (238, 238, 238)


# --- shapes: predicates on continuous pixel coordinates ----------------------
# A shape is (inside(x, y) -> bool, (x0, y0, x1, y1) bounding box). Pixel
# (i, j) covers [i, i + 1) x [j, j + 1).


def _sdf_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = 0.0 if t < 0 else 1.0 if t > 1 else t
    ex, ey = px - ax - t * dx, py - ay - t * dy
    return math.sqrt(ex * ex + ey * ey)


def polygon(points, radius=0.0):
    """A polygon, grown by radius so its corners come out rounded."""
    n = len(points)

    def inside_core(x, y):
        odd = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                odd = not odd
        return odd

    def inside(x, y):
        if inside_core(x, y):
            return True
        if radius <= 0:
            return False
        return any(
            _sdf_segment(x, y, *points[i], *points[(i + 1) % n]) <= radius for i in range(n)
        )

    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return inside, (min(xs) - radius, min(ys) - radius, max(xs) + radius, max(ys) + radius)


def rect(x0, y0, x1, y1, radius=0.0):
    """An axis-aligned rectangle with corners rounded by radius."""
    r = min(radius, (x1 - x0) / 2, (y1 - y0) / 2)

    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = x0 + r if x < x0 + r else x1 - r if x > x1 - r else x
        cy = y0 + r if y < y0 + r else y1 - r if y > y1 - r else y
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    if r > 0:
        return inside, (x0, y0, x1, y1)
    # Square corners: the samples inside are those inside along each axis,
    # counted without testing every one (the same count, much sooner).
    return _Box(inside, (x0, y0, x1, y1))


class _Box(tuple):
    """A shape that is a plain rectangle, which coverage() counts directly."""

    def __new__(cls, inside, box):
        return super().__new__(cls, (inside, box))


def ellipse(cx, cy, rx, ry=None):
    ry = rx if ry is None else ry

    def inside(x, y):
        return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0

    return inside, (cx - rx, cy - ry, cx + rx, cy + ry)


def union(*shapes):
    def inside(x, y):
        return any(s[0](x, y) for s in shapes)

    boxes = [s[1] for s in shapes]
    return inside, (
        min(b[0] for b in boxes),
        min(b[1] for b in boxes),
        max(b[2] for b in boxes),
        max(b[3] for b in boxes),
    )


def minus(shape, hole):
    return (lambda x, y: shape[0](x, y) and not hole[0](x, y)), shape[1]


def moved(shape, dx, dy):
    inside, (x0, y0, x1, y1) = shape
    return (lambda x, y: inside(x - dx, y - dy)), (x0 + dx, y0 + dy, x1 + dx, y1 + dy)


def mirrored(shape, axis_x):
    """The shape mirrored about the vertical line x = axis_x."""
    inside, (x0, y0, x1, y1) = shape
    return (lambda x, y: inside(2 * axis_x - x, y)), (2 * axis_x - x1, y0, 2 * axis_x - x0, y1)


# --- canvases -----------------------------------------------------------------


def vertical(top, bottom, y0, y1):
    """A paint that runs from colour top at y0 to colour bottom at y1."""

    def paint(x, y):
        t = (y - y0) / (y1 - y0)
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))

    return paint


class Canvas:
    """Premultiplied RGBA in floats, 0..255; opaque when made with a colour."""

    def __init__(self, w, h, colour=None):
        self.w, self.h = w, h
        if colour is None:
            self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]
        else:
            self.px = [[float(c) for c in colour] + [255.0] for _ in range(w * h)]

    def coverage(self, shape, i, j):
        if isinstance(shape, _Box):
            x0, y0, x1, y1 = shape[1]
            nx = _samples_between(i, x0, x1)
            ny = _samples_between(j, y0, y1)
            return nx * ny / (SUPERSAMPLE * SUPERSAMPLE)
        inside = shape[0]
        n = 0
        for sy in range(SUPERSAMPLE):
            y = j + (sy + 0.5) / SUPERSAMPLE
            for sx in range(SUPERSAMPLE):
                if inside(i + (sx + 0.5) / SUPERSAMPLE, y):
                    n += 1
        return n / (SUPERSAMPLE * SUPERSAMPLE)

    def fill(self, shape, paint, opacity=1.0):
        if not callable(paint):
            colour = paint
            paint = lambda x, y: colour  # noqa: E731
        x0, y0, x1, y1 = shape[1]
        for j in range(max(0, int(math.floor(y0))), min(self.h, int(math.ceil(y1)) + 1)):
            for i in range(max(0, int(math.floor(x0))), min(self.w, int(math.ceil(x1)) + 1)):
                a = self.coverage(shape, i, j) * opacity
                if a <= 0:
                    continue
                r, g, b = paint(i + 0.5, j + 0.5)
                p = self.px[j * self.w + i]
                k = 1.0 - a
                p[0] = r * a + p[0] * k
                p[1] = g * a + p[1] * k
                p[2] = b * a + p[2] * k
                p[3] = 255.0 * a + p[3] * k

    def rgb(self, i, j):
        """The pixel as 8-bit RGB (over black where it is not opaque)."""
        p = self.px[j * self.w + i]
        return tuple(_byte(c) for c in p[:3])

    def rgba_straight(self, i, j):
        p = self.px[j * self.w + i]
        a = _byte(p[3])
        if a == 0:
            return (0, 0, 0, 0)
        return tuple(_byte(c * 255.0 / p[3]) for c in p[:3]) + (a,)


def _samples_between(i, lo, hi):
    return sum(1 for k in range(SUPERSAMPLE) if lo <= i + (k + 0.5) / SUPERSAMPLE <= hi)


def _byte(v):
    return max(0, min(255, int(math.floor(v + 0.5))))


# --- the artwork ----------------------------------------------------------------

# One palette for the whole transport bar: a dark graphite bar with light
# glyphs, which reads the same on white, light grey and Wine's grey pages.
FACES = {
    "normal": dict(top=(66, 71, 80), bottom=(46, 50, 57), glyph=(236, 239, 243)),
    "hover": dict(top=(84, 90, 101), bottom=(62, 67, 76), glyph=(255, 255, 255)),
    "pressed": dict(top=(30, 33, 38), bottom=(40, 43, 49), glyph=(206, 211, 218)),
    "disabled": dict(top=(62, 66, 74), bottom=(52, 56, 63), glyph=(112, 118, 128)),
}
EDGE_LIGHT = (255, 255, 255)  # painted at low opacity: the bevel's highlight
EDGE_DARK = (0, 0, 0)  # and its shadow


# Each glyph is a list of shapes in the glyph colour, given in the coordinates
# of the 100 % face and carried onto the set's face by `k`. Their straight
# edges fall on whole pixels so they come out crisp; the face is 40 x 37, so
# its centre is (20, 18.5) and a glyph of odd height centres on it.


def rounded_triangle(tip_x, base_x, top, bottom, r):
    """A triangle with a vertical base at base_x and its tip at tip_x (outer
    edges, rounded by r), spanning top to bottom along the base."""
    sign = 1 if tip_x > base_x else -1
    mid = (top + bottom) / 2
    # The core is the sharp triangle with every edge moved in by r; grown back
    # by r it fills the sharp one but for its rounded corners.
    half = (bottom - top) / 2
    length = abs(tip_x - base_x)
    slant = math.hypot(length, half)
    corner_in = r * (half + slant) / length
    return polygon(
        [(base_x + sign * r, top + corner_in),
         (tip_x - sign * r * slant / half, mid),
         (base_x + sign * r, bottom - corner_in)],
        radius=r,
    )


def glyph_play(k):
    # A triangle's centre of mass sits a third in from its base, its box
    # centre half-way: the base goes where the eye puts it between the two.
    return [rounded_triangle(k.x(29.0), k.x(15.0), k.y(10.5), k.y(26.5), k.r(1.1))]


def glyph_pause(k):
    return [rect(k.x(14), k.y(11), k.x(18), k.y(26), k.r(0.8)),
            rect(k.x(22), k.y(11), k.x(26), k.y(26), k.r(0.8))]


def glyph_stop(k):
    return [rect(k.x(13), k.y(12), k.x(27), k.y(25), k.r(1.8))]


def glyph_step_back(k):
    return [rect(k.x(13), k.y(12), k.x(16), k.y(25), k.r(0.7)),
            rounded_triangle(k.x(17.5), k.x(27.0), k.y(12), k.y(25), k.r(0.8))]


def glyph_step_forward(k):
    return [mirrored(shape, k.face_w / 2) for shape in glyph_step_back(k)]


def glyph_camera(k):
    # Body, the hump of the viewfinder, a lens ring knocked out of the body so
    # the face shows through it, and a small flash window.
    body = rect(k.x(10), k.y(14), k.x(30), k.y(26), k.r(2.0))
    hump = polygon([(k.x(15.2), k.y(14.5)), (k.x(16.8), k.y(11.8)), (k.x(23.2), k.y(11.8)),
                    (k.x(24.8), k.y(14.5))], radius=k.r(0.6))
    hole = ellipse(k.x(20), k.y(20.2), k.r(4.6))
    flash = rect(k.x(25.2), k.y(15.6), k.x(27.8), k.y(17.2), k.r(0.6))
    shell = minus(minus(union(body, hump), hole), flash)
    return [shell, ellipse(k.x(20), k.y(20.2), k.r(2.6))]


GLYPHS = {
    "play": glyph_play,
    "pause": glyph_pause,
    "stop": glyph_stop,
    "step_back": glyph_step_back,
    "step_forward": glyph_step_forward,
    "store": glyph_camera,
}


def draw_face(glyph, state, k):
    look = FACES[state]
    w, h = k.face_w, k.face_h
    line = k.px(1)
    c = Canvas(w, h, look["top"])
    c.fill(rect(0, 0, w, h), vertical(look["top"], look["bottom"], 0, h))
    if state == "pressed":
        # Sunken: shadow along the top and left, no highlight.
        c.fill(rect(0, 0, w, k.px(2)), EDGE_DARK, 0.35)
        c.fill(rect(0, 0, line, h), EDGE_DARK, 0.25)
    else:
        # Raised: a highlight along the top and left, shadow along the right,
        # so neighbouring faces meet in an engraved line.
        c.fill(rect(0, 0, w, line), EDGE_LIGHT, 0.16)
        c.fill(rect(0, 0, line, h), EDGE_LIGHT, 0.08)
        c.fill(rect(w - line, 0, w, h), EDGE_DARK, 0.30)
    c.fill(rect(0, h - line, w, h), EDGE_DARK, 0.30)

    dx = dy = line if state == "pressed" else 0
    for shape in GLYPHS[glyph](k):
        c.fill(moved(shape, dx, dy), look["glyph"])
    return c


def face_strip(glyph, k):
    faces = [draw_face(glyph, s, k) for s in ("normal", "hover", "pressed", "disabled")]
    width = 4 * k.face_w + 3
    rows = []
    for j in range(k.face_h):
        row = []
        for n, face in enumerate(faces):
            row.extend(face.rgb(i, j) for i in range(k.face_w))
            if n < 3:
                # Separators are never drawn; they carry the bar's colour.
                row.append(tuple(_byte(v) for v in FACES["normal"]["bottom"]))
        assert len(row) == width
        rows.append(row)
    return rows


# The slider: a groove 12 pixels high, drawn once as a short stadium whose
# middle column is the track and whose ends are the caps.
GROOVE_FILL_TOP = (196, 201, 208)
GROOVE_FILL_BOTTOM = (214, 218, 224)
GROOVE_RIM = (140, 146, 156)
KNOB_RIM = (36, 40, 46)
KNOB_TOP = (92, 98, 110)
KNOB_BOTTOM = (52, 56, 64)


def groove(k):
    """The caps and the track, as rows of RGB or None for transparent."""
    cap, h, rim = k.cap_w, k.groove_h, k.px(1)
    w = 2 * cap + 1
    outer = union(ellipse(cap, h / 2, cap, h / 2), rect(cap, 0, cap + 1, h),
                  ellipse(cap + 1, h / 2, cap, h / 2))
    inner = union(ellipse(cap, h / 2, cap - rim, h / 2 - rim), rect(cap, rim, cap + 1, h - rim),
                  ellipse(cap + 1, h / 2, cap - rim, h / 2 - rim))
    shape = Canvas(w, h)
    shape.fill(outer, (0, 0, 0))
    c = Canvas(w, h, CAP_BLEND)
    c.fill(outer, GROOVE_RIM)
    c.fill(inner, vertical(GROOVE_FILL_TOP, GROOVE_FILL_BOTTOM, rim, h - rim))
    rows = []
    for j in range(h):
        row = []
        for i in range(w):
            if cap - 1 <= i <= cap + 1:
                # The caps' inner columns are the track itself, so that the
                # joins never show.
                row.append(c.rgb(cap, j))
                continue
            a = shape.px[j * w + i][3] / 255.0
            if a < 0.25:
                row.append(None)
            else:
                rgb = c.rgb(i, j)
                # Pure white is the transparent key: the groove is never white.
                row.append((254, 254, 254) if rgb == (255, 255, 255) else rgb)
        rows.append(row)
    return rows


def thumb(k):
    side = k.thumb
    c = Canvas(side, side)
    r = side / 2
    rim = k.r(1)
    c.fill(ellipse(r, r, r - k.r(0.15)), KNOB_RIM)
    c.fill(ellipse(r, r, r - k.r(0.15) - rim), vertical(KNOB_TOP, KNOB_BOTTOM, rim, side - rim))
    c.fill(ellipse(r, r - k.r(1.3), k.r(1.9), k.r(1.3)), (255, 255, 255), 0.18)
    return [[c.rgba_straight(i, j) for i in range(side)] for j in range(side)]


def draw_set(k):
    """Every bitmap of one set: {file name: (kind, rows)}, and the pieces."""
    strips = {name: face_strip(name, k) for name in STRIPS}
    rows = groove(k)
    caps = ([row[:k.cap_w] for row in rows], [row[k.cap_w + 1:] for row in rows])
    track = [[row[k.cap_w]] for row in rows]
    assert all(p is not None for row in track for p in row), "the track is opaque"
    knob = thumb(k)
    files = {name + ".bmp": bmp24(strip) for name, strip in strips.items()}
    for name, part in (("cap_left.bmp", caps[0]), ("cap_right.bmp", caps[1])):
        files[name] = bmp24([[(255, 255, 255) if p is None else p for p in row] for row in part])
    files["track.bmp"] = bmp24(track)
    files["thumb.bmp"] = bmp32_alpha(knob)
    return files, (strips, caps, track, knob)


# --- files ------------------------------------------------------------------------


def bmp24(rows):
    """A bottom-up 24-bit BMP with a BITMAPINFOHEADER, rows padded to 4 bytes."""
    h = len(rows)
    w = len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        data += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + bytes(data)


def bmp32_alpha(rows):
    """A bottom-up 32-bit BMP with a BITMAPV5HEADER, BI_BITFIELDS masks and an
    alpha mask, so loaders keep the straight per-pixel alpha."""
    h = len(rows)
    w = len(rows[0])
    data = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            data += bytes((b, g, r, a))
    bi_bitfields = 3
    lcs_srgb = 0x73524742
    lcs_gm_images = 4
    info = struct.pack(
        "<IiiHHIIiiIIIIIII36sIIIIIII",
        124, w, h, 1, 32, bi_bitfields, len(data), 3780, 3780, 0, 0,
        0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000,
        lcs_srgb, bytes(36), 0, 0, 0,
        lcs_gm_images, 0, 0, 0,
    )
    assert len(info) == 124
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + bytes(data)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    check = "--check" in argv[1:]
    differ = []
    for percent in SCALES:
        files, _ = draw_set(Scale(percent))
        folder = folder_of(percent)
        for name, data in sorted(files.items()):
            path = os.path.join(folder, name)
            if check:
                try:
                    with open(path, "rb") as f:
                        same = f.read() == data
                except OSError:
                    same = False
                if not same:
                    differ.append(os.path.relpath(path, HERE))
            else:
                os.makedirs(folder, exist_ok=True)
                write(path, data)
    if check:
        if differ:
            print("not what make-bitmaps.py draws: " + " ".join(differ))
            return 1
        print("every bitmap is what make-bitmaps.py draws (%d scalings)" % len(SCALES))
        return 0
    print("bitmaps in %s and its folders %s" % (HERE, ", ".join(str(p) for p in SCALES[1:])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
