#!/usr/bin/env python3
"""Draws the thumbnail page's button faces and slider bitmaps.

    python3 property_sheet/art/make-bitmaps.py [PREVIEW_DIR]

Writes, beside this script, the Windows bitmaps that Tabliq's resources embed:

    play.bmp step_back.bmp ...  163 x 37, 24-bit: four 40 x 37 faces (normal,
                                hover, pressed, disabled), each but the last
                                followed by a one-pixel separator column
    thumb.bmp                   10 x 10, 32-bit with straight (not
                                premultiplied) alpha, BITMAPV5HEADER
    track.bmp                   1 x 12, 24-bit: the groove's vertical profile
    cap_left.bmp cap_right.bmp  4 x 12, 24-bit: the groove's ends, pure white
                                where the page shows through

and a contact sheet, contact-sheet.png, of every face and the assembled slider
at 100 % and 300 % on the backgrounds the page meets, into PREVIEW_DIR
(default: build/art-preview of the source tree; never committed), with
close-ups beside it: page-N-300.png (each background at 300 %),
faces-600.png (normal and pressed faces) and slider-ends-800.png.

Only the Python standard library is used. The output is the same, byte for
byte, on every run: the bitmaps are committed, and this script is needed only
to draw them anew.
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Samples per pixel along each axis: edges are antialiased by supersampling.
SUPERSAMPLE = 6

FACE_W, FACE_H = 40, 37
GROOVE_H = 12
CAP_W = 4
THUMB = 10

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

    return inside, (x0, y0, x1, y1)


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
CX, CY = FACE_W / 2, FACE_H / 2


# Each glyph is a list of shapes in the glyph colour. Their straight edges fall
# on whole pixels so they come out crisp; the face is 40 x 37, so its centre is
# (20, 18.5) and a glyph of odd height centres on it.


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


def glyph_play():
    # A triangle's centre of mass sits a third in from its base, its box
    # centre half-way: the base goes where the eye puts it between the two.
    return [rounded_triangle(29.0, 15.0, 10.5, 26.5, 1.1)]


def glyph_pause():
    return [rect(14, 11, 18, 26, 0.8), rect(22, 11, 26, 26, 0.8)]


def glyph_stop():
    return [rect(13, 12, 27, 25, 1.8)]


def glyph_step_back():
    return [rect(13, 12, 16, 25, 0.7), rounded_triangle(17.5, 27.0, 12, 25, 0.8)]


def glyph_step_forward():
    return [mirrored(shape, CX) for shape in glyph_step_back()]


def glyph_camera():
    # Body, the hump of the viewfinder, a lens ring knocked out of the body so
    # the face shows through it, and a small flash window.
    body = rect(10, 14, 30, 26, 2.0)
    hump = polygon([(15.2, 14.5), (16.8, 11.8), (23.2, 11.8), (24.8, 14.5)], radius=0.6)
    hole = ellipse(20, 20.2, 4.6)
    flash = rect(25.2, 15.6, 27.8, 17.2, 0.6)
    shell = minus(minus(union(body, hump), hole), flash)
    return [shell, ellipse(20, 20.2, 2.6)]


GLYPHS = {
    "play": glyph_play,
    "pause": glyph_pause,
    "stop": glyph_stop,
    "step_back": glyph_step_back,
    "step_forward": glyph_step_forward,
    "store": glyph_camera,
}


def draw_face(glyph, state):
    look = FACES[state]
    c = Canvas(FACE_W, FACE_H, look["top"])
    c.fill(rect(0, 0, FACE_W, FACE_H), vertical(look["top"], look["bottom"], 0, FACE_H))
    if state == "pressed":
        # Sunken: shadow along the top and left, no highlight.
        c.fill(rect(0, 0, FACE_W, 2), EDGE_DARK, 0.35)
        c.fill(rect(0, 0, 1, FACE_H), EDGE_DARK, 0.25)
    else:
        # Raised: a highlight along the top and left, shadow along the right,
        # so neighbouring faces meet in an engraved line.
        c.fill(rect(0, 0, FACE_W, 1), EDGE_LIGHT, 0.16)
        c.fill(rect(0, 0, 1, FACE_H), EDGE_LIGHT, 0.08)
        c.fill(rect(FACE_W - 1, 0, FACE_W, FACE_H), EDGE_DARK, 0.30)
    c.fill(rect(0, FACE_H - 1, FACE_W, FACE_H), EDGE_DARK, 0.30)

    dx = dy = 1 if state == "pressed" else 0
    for shape in GLYPHS[glyph]():
        c.fill(moved(shape, dx, dy), look["glyph"])
    return c


def face_strip(glyph):
    faces = [draw_face(glyph, s) for s in ("normal", "hover", "pressed", "disabled")]
    width = 4 * FACE_W + 3
    rows = []
    for j in range(FACE_H):
        row = []
        for k, face in enumerate(faces):
            row.extend(face.rgb(i, j) for i in range(FACE_W))
            if k < 3:
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


def groove():
    """The caps and the track, as rows of RGB or None for transparent."""
    w = 2 * CAP_W + 1
    h = GROOVE_H
    outer = union(ellipse(CAP_W, h / 2, CAP_W, h / 2), rect(CAP_W, 0, CAP_W + 1, h),
                  ellipse(CAP_W + 1, h / 2, CAP_W, h / 2))
    inner = union(ellipse(CAP_W, h / 2, CAP_W - 1, h / 2 - 1), rect(CAP_W, 1, CAP_W + 1, h - 1),
                  ellipse(CAP_W + 1, h / 2, CAP_W - 1, h / 2 - 1))
    shape = Canvas(w, h)
    shape.fill(outer, (0, 0, 0))
    c = Canvas(w, h, CAP_BLEND)
    c.fill(outer, GROOVE_RIM)
    c.fill(inner, vertical(GROOVE_FILL_TOP, GROOVE_FILL_BOTTOM, 1, h - 1))
    rows = []
    for j in range(h):
        row = []
        for i in range(w):
            if CAP_W - 1 <= i <= CAP_W + 1:
                # The caps' inner columns are the track itself, so that the
                # joins never show.
                row.append(c.rgb(CAP_W, j))
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


def thumb():
    c = Canvas(THUMB, THUMB)
    r = THUMB / 2
    c.fill(ellipse(r, r, r - 0.15), KNOB_RIM)
    c.fill(ellipse(r, r, r - 1.15), vertical(KNOB_TOP, KNOB_BOTTOM, 1, THUMB - 1))
    c.fill(ellipse(r, r - 1.3, 1.9, 1.3), (255, 255, 255), 0.18)
    return [[c.rgba_straight(i, j) for i in range(THUMB)] for j in range(THUMB)]


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


def png(rows):
    h = len(rows)
    w = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for p in row:
            raw += bytes(p)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


# --- the preview ------------------------------------------------------------------


class Sheet:
    """An RGB picture to lay pieces out on."""

    def __init__(self, w, h, colour):
        self.w, self.h = w, h
        self.rows = [[colour] * w for _ in range(h)]

    def put(self, x, y, rgb):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.rows[y][x] = rgb

    def get(self, x, y):
        return self.rows[y][x]

    def box(self, x, y, w, h, colour):
        for j in range(y, y + h):
            for i in range(x, x + w):
                self.put(i, j, colour)

    def blit(self, x, y, rows, key=None):
        for j, row in enumerate(rows):
            for i, p in enumerate(row):
                if p is not None and p != key:
                    self.put(x + i, y + j, p)

    def alpha_blend(self, x, y, rows):
        # As AlphaBlend does with the thumb the slider has premultiplied.
        for j, row in enumerate(rows):
            for i, (r, g, b, a) in enumerate(row):
                if not (0 <= x + i < self.w and 0 <= y + j < self.h):
                    continue
                d = self.get(x + i, y + j)
                src = (r * a // 255, g * a // 255, b * a // 255)
                self.put(x + i, y + j, tuple(
                    min(255, s + dv * (255 - a) // 255) for s, dv in zip(src, d)))

    def crop(self, x, y, w, h):
        return [row[x:x + w] for row in self.rows[y:y + h]]

    def scaled_into(self, other, x, y, rows, k):
        for j, row in enumerate(rows):
            for i, p in enumerate(row):
                other.box(x + i * k, y + j * k, k, k, p)


def faces_of(strip):
    return [[row[k * (FACE_W + 1):k * (FACE_W + 1) + FACE_W] for row in strip] for k in range(4)]


def draw_slider(sheet, x, y, width, fraction, caps, track, knob):
    left, right = caps
    sheet.blit(x, y, left, key=(255, 255, 255))
    sheet.blit(x + width - CAP_W, y, right, key=(255, 255, 255))
    for i in range(CAP_W, width - CAP_W):
        for j in range(GROOVE_H):
            sheet.put(x + i, y + j, track[j][0])
    sheet.alpha_blend(x + int(fraction * (width - 12)) + 1, y + 1, knob)


def draw_page(sheet, x, y, background, strips, caps, track, knob):
    """The page as it lays its controls out, 346 pixels wide, plus every face."""
    width = 346
    sheet.box(x, y, width + 16, 380, background)
    x += 8
    y += 8
    # The preview area (shortened) with a dark frame of video in it.
    sheet.box(x, y, width, 60, (18, 20, 24))
    draw_slider(sheet, x, y + 60, width, 0.38, caps, track, knob)
    order = ["step_back", "stop", "play", "step_forward", "store"]
    left = x + (width - 200) // 2
    for n, name in enumerate(order):
        sheet.blit(left + 40 * n, y + 79, faces_of(strips[name])[0])
    # Every face of every strip: normal, hover, pressed, disabled.
    names = ["step_back", "stop", "play", "pause", "step_forward", "store"]
    for n, name in enumerate(names):
        for k, face in enumerate(faces_of(strips[name])):
            sheet.blit(x + 4 + 56 * n, y + 132 + 44 * k, face)
    # Sliders at the start and the end, and a short one.
    draw_slider(sheet, x, y + 316, width, 0.0, caps, track, knob)
    draw_slider(sheet, x, y + 336, width, 1.0, caps, track, knob)
    draw_slider(sheet, x, y + 356, 40, 0.5, caps, track, knob)


def preview(folder, strips, caps, track, knob):
    os.makedirs(folder, exist_ok=True)
    backgrounds = [PAGE_WHITE, PAGE_GREY, PAGE_WINE]
    panel_w = 346 + 16
    zoom_h = 3 * (37 + 12 + 12 + 8)
    sheet = Sheet(3 * panel_w + 4 * 8, 8 + 380 + 8 + 2 * (zoom_h + 8) + 8, (96, 96, 96))
    for n, bg in enumerate(backgrounds):
        draw_page(sheet, 8 + n * (panel_w + 8), 8, bg, strips, caps, track, knob)
    # 300 %: the button row and the ends of the slider, on white and on grey.
    for n, bg in enumerate((PAGE_WHITE, PAGE_GREY)):
        page = Sheet(360, 37 + 12 + 12 + 8, bg)
        # The row in mixed states: normal, hover, pressed, disabled, hover.
        order = ["step_back", "stop", "play", "step_forward", "store"]
        for m, name in enumerate(order):
            page.blit(40 * m, 0, faces_of(strips[name])[(0, 1, 2, 3, 1)[m]])
        draw_slider(page, 210, 4, 140, 0.0, caps, track, knob)
        draw_slider(page, 210, 22, 140, 1.0, caps, track, knob)
        draw_slider(page, 0, 37 + 8, 346, 0.5, caps, track, knob)
        y = 8 + 380 + 8 + n * (zoom_h + 8)
        sheet.box(8, y, 3 * 360, zoom_h, bg)
        sheet.scaled_into(sheet, 8, y, page.rows, 3)
    write(os.path.join(folder, "contact-sheet.png"), png(sheet.rows))
    for n, bg in enumerate(backgrounds):
        x = 8 + n * (panel_w + 8)
        zoom = Sheet(panel_w * 3, 380 * 3, bg)
        zoom.scaled_into(zoom, 0, 0, sheet.crop(x, 8, panel_w, 380), 3)
        write(os.path.join(folder, "page-%d-300.png" % n), png(zoom.rows))
    # 800 %: both ends of the slider and one face on each background.
    ends = Sheet(83 * 8 + 16, 3 * (14 * 8 + 8) + 8, (96, 96, 96))
    for n, bg in enumerate(backgrounds):
        piece = Sheet(83, 14, bg)
        draw_slider(piece, 1, 1, 40, 0.0, caps, track, knob)
        draw_slider(piece, 42, 1, 40, 1.0, caps, track, knob)
        ends.scaled_into(ends, 8, 8 + n * (14 * 8 + 8), piece.rows, 8)
    write(os.path.join(folder, "slider-ends-800.png"), png(ends.rows))
    names = ["step_back", "stop", "play", "pause", "step_forward", "store"]
    faces = Sheet(6 * (40 * 6 + 8) + 8, 2 * (37 * 6 + 8) + 8, (96, 96, 96))
    for n, name in enumerate(names):
        for k in (0, 2):
            faces.scaled_into(faces, 8 + n * 248, 8 + (k // 2) * 230, faces_of(strips[name])[k], 6)
    write(os.path.join(folder, "faces-600.png"), png(faces.rows))


def main(argv):
    folder = argv[1] if len(argv) > 1 else os.path.join(HERE, "..", "..", "build", "art-preview")
    strips = {}
    for name, file in (("play", "play.bmp"), ("pause", "pause.bmp"), ("stop", "stop.bmp"),
                       ("step_back", "step_back.bmp"), ("step_forward", "step_forward.bmp"),
                       ("store", "store.bmp")):
        strips[name] = face_strip(name)
        write(os.path.join(HERE, file), bmp24(strips[name]))
    rows = groove()
    caps = ([row[:CAP_W] for row in rows], [row[CAP_W + 1:] for row in rows])
    track = [[row[CAP_W]] for row in rows]
    assert all(p is not None for row in track for p in row), "the track is opaque"
    for name, part in (("cap_left.bmp", caps[0]), ("cap_right.bmp", caps[1])):
        write(os.path.join(HERE, name),
              bmp24([[(255, 255, 255) if p is None else p for p in row] for row in part]))
    write(os.path.join(HERE, "track.bmp"), bmp24(track))
    knob = thumb()
    write(os.path.join(HERE, "thumb.bmp"), bmp32_alpha(knob))
    preview(os.path.normpath(folder), strips, caps, track, knob)
    print("bitmaps in %s, preview in %s" % (HERE, os.path.normpath(folder)))


if __name__ == "__main__":
    main(sys.argv)
