#!/usr/bin/env python3
"""Lays the thumbnail page's artwork out for a person to look at.

    python3 property_sheet/art/make-preview.py [PREVIEW_DIR]

Draws what make-bitmaps.py draws (without writing the bitmaps) and writes
into PREVIEW_DIR (default: build/art-preview of the source tree; never
committed): contact-sheet.png, every face and the assembled slider at 100 %
and 300 % on the backgrounds the page meets, with close-ups beside it
(page-N-300.png, each background at 300 %; faces-600.png, the normal and
pressed faces; slider-ends-800.png), and scalings.png, the button row and
the slider of the sets for 100, 125, 150 and 200 %.
"""

import importlib.util
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("make_bitmaps", os.path.join(HERE, "make-bitmaps.py"))
art = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(art)

PAGE_WHITE, PAGE_GREY, PAGE_WINE = art.PAGE_WHITE, art.PAGE_GREY, art.PAGE_WINE
write = art.write


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
    w = (len(strip[0]) - 3) // 4
    return [[row[n * (w + 1):n * (w + 1) + w] for row in strip] for n in range(4)]


def draw_slider(sheet, x, y, width, fraction, caps, track, knob):
    """As the slider paints itself at the set's own size."""
    left, right = caps
    cap, groove, side = len(left[0]), len(left), len(knob)
    margin = (groove - side) // 2
    sheet.blit(x, y, left, key=(255, 255, 255))
    sheet.blit(x + width - cap, y, right, key=(255, 255, 255))
    for i in range(cap, width - cap):
        for j in range(groove):
            sheet.put(x + i, y + j, track[j][0])
    travel = width - side - 2 * margin
    sheet.alpha_blend(x + int(fraction * travel) + margin, y + margin, knob)


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


def scalings(folder):
    """The button row and the slider of every set side by side, as the page
    shows them at 100, 125, 150 and 200 %, on the grey of the dialog."""
    order = ["step_back", "stop", "play", "step_forward", "store"]
    sets = [(percent, art.draw_set(art.Scale(percent))[1]) for percent in art.SCALES]
    width = max(5 * len(faces_of(pieces[0]["play"])[0][0]) for _, pieces in sets) + 16
    height = sum(len(pieces[0]["play"]) + len(pieces[1][0]) + 40 for _, pieces in sets) + 8
    sheet = Sheet(width, height, PAGE_GREY)
    y = 8
    for percent, (strips, caps, track, knob) in sets:
        face = faces_of(strips["play"])[0]
        w = len(face[0])
        x = 8
        draw_slider(sheet, x, y, 5 * w, 0.38, caps, track, knob)
        y += len(caps[0]) + art.scaled_length(7, percent)
        for n, name in enumerate(order):
            sheet.blit(x + n * w, y, faces_of(strips[name])[(0, 0, 0, 0, 1)[n]])
        y += len(face) + 24
    write(os.path.join(folder, "scalings.png"), png(sheet.rows))


def main(argv):
    folder = argv[1] if len(argv) > 1 else os.path.join(art.HERE, "..", "..", "build", "art-preview")
    folder = os.path.normpath(folder)
    strips, caps, track, knob = art.draw_set(art.Scale(100))[1]
    preview(folder, strips, caps, track, knob)
    scalings(folder)
    print("preview in %s" % folder)


if __name__ == "__main__":
    main(sys.argv)
