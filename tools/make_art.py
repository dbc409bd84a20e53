#!/usr/bin/env python3
"""Draws Kestrane's icon and hand cursor as Windows resources, into res/ or the
folder given: kestrane.ico, a page cut into blocks, 32x32 and 16x16 in the 16
VGA colours; hand.cur, the link cursor, 32x32 in 256 colours, hot spot at the
index finger's tip (12, 1). Plain BMP-in-ICO files (header, palette, XOR
bitmap, 1 bpp AND mask, rows bottom-up), from the standard library alone, so
the output is the same on every machine.
"""

import os
import struct
import sys

# The standard 16-colour VGA palette, in Windows order.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, OLIVE, SILVER, GRAY, RED, WHITE = 0, 1, 3, 7, 8, 9, 15


class Canvas:
    """A square of palette indices; None marks a transparent pixel."""

    def __init__(self, size):
        self.size = size
        self.px = [[None] * size for _ in range(size)]

    def put(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def hline(self, x0, x1, y, c):
        self.fill(x0, y, x1, y, c)

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def box(self, x0, y0, x1, y1, edge, inside):
        """A filled rectangle with a one-pixel edge; corners are inclusive."""
        self.fill(x0, y0, x1, y1, edge)
        self.fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, inside)

    def dither(self, x0, y0, x1, y1, a, b):
        """Checkerboard of two colours, which the eye mixes into a third."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, a if (x + y) % 2 == 0 else b)

    def dashes(self, x0, x1, y, on, off, c):
        for x in range(x0, x1 + 1):
            if (x - x0) % (on + off) < on:
                self.put(x, y, c)

    def grid(self, rows, colours):
        """Paints a character picture; characters missing from colours are left alone."""
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                if ch in colours:
                    self.put(x, y, colours[ch])


# ---------------------------------------------------------------------------
# Icon: the upper part of a page stays put, a dashed cut line runs under it,
# and the cut-off block has slid down and to the right. The block is the
# kestrel's rufous back, spotted black.

def page_top(c, x0, y0, x1, y1, ear):
    """White page part with a folded top-right corner of `ear` pixels."""
    c.box(x0, y0, x1, y1, BLACK, WHITE)
    fx = x1 - ear                       # where the fold starts on the top edge
    for i in range(ear + 1):            # the corner cut away along the fold's diagonal
        c.hline(fx + i + 1, x1, y0 + i, None)
        c.put(fx + i, y0 + i, BLACK)
    c.fill(fx, y0, fx, y0 + ear, BLACK)  # the folded flap
    c.hline(fx, x1, y0 + ear, BLACK)
    for i in range(1, ear):
        c.hline(fx + 1, fx + i, y0 + i, SILVER)
        c.put(fx + i, y0 + i, BLACK)


def draw_icon_32():
    c = Canvas(32)
    page_top(c, 2, 1, 22, 15, 5)
    for y, x1 in ((4, 14), (7, 19), (10, 19), (13, 16)):
        c.hline(5, x1, y, GRAY)
    c.dashes(0, 31, 17, 3, 2, RED)
    # The cut-off block.
    c.box(9, 19, 29, 30, BLACK, MAROON)
    c.dither(10, 20, 28, 29, RED, OLIVE)    # red and olive mix into rufous
    for x, y in ((13, 23), (18, 25), (23, 23), (14, 27), (25, 27), (20, 22)):
        c.fill(x, y, x + 1, y, BLACK)   # kestrel spots
    return c


def draw_icon_16():
    c = Canvas(16)
    page_top(c, 1, 0, 11, 7, 3)
    c.hline(3, 6, 2, GRAY)
    c.hline(3, 9, 5, GRAY)
    c.dashes(0, 15, 9, 2, 1, RED)
    c.box(4, 11, 15, 15, BLACK, MAROON)
    c.dither(5, 12, 14, 14, RED, OLIVE)
    for x, y in ((7, 13), (11, 14)):
        c.put(x, y, BLACK)
    return c


# ---------------------------------------------------------------------------
# Cursor: a hand with the index finger up. Its tip, the hot spot, is (12, 1).

HAND_HOTSPOT = (12, 1)
HAND = [
    "................................",
    "...........KKK..................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWKKKK..............",
    "..........KWWWKWWWKKKK..........",
    "..........KWWWKWWWKWWWKKK.......",
    "..........KWWWKWWWKWWWKWWK......",
    "..........KWWWKWWWKWWWKWWK......",
    "....KKK...KWWWKWWWKWWWKWWK......",
    "...KWWWK..KWWWWWWWWWWWWWWK......",
    "....KWWWK.KWWWWWWWWWWWWWWK......",
    ".....KWWWKWWWWWWWWWWWWWWWK......",
    "......KWWWWWWWWWWWWWWWWWWK......",
    ".......KWWWWWWWWWWWWWWWWWK......",
    "........KWWWWWWWWWWWWWWWWK......",
    "........KWWWWWWWWWWWWWWWWK......",
    ".........KWWWWWWWWWWWWWWWK......",
    ".........KWWWWWWWWWWWWWWK.......",
    "..........KWWWWWWWWWWWWWK.......",
    "..........KWWWWWWWWWWWWK........",
    "..........KKKKKKKKKKKKKK........",
]
HAND += ["." * 32] * (32 - len(HAND))     # the rows below the hand
# Cursor palette: 256 entries, of which the hand uses the first two.
CUR_PALETTE = [(0, 0, 0), (0xFF, 0xFF, 0xFF)] + [(0, 0, 0)] * 254


def draw_hand():
    c = Canvas(32)
    c.grid(HAND, {"K": 0, "W": 1})
    return c


# ---------------------------------------------------------------------------
# File format

def dib(canvas, bpp, palette):
    """BITMAPINFOHEADER + palette + XOR bitmap + AND mask of one image."""
    n = canvas.size
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    assert len(palette) == 1 << bpp

    def rows(bits_per_pixel, value):
        out = bytearray()
        stride = ((n * bits_per_pixel + 31) // 32) * 4
        for y in reversed(range(n)):            # bottom-up
            row = bytearray(stride)
            for x in range(n):
                bit = x * bits_per_pixel
                row[bit // 8] |= value(canvas.px[y][x]) << (8 - bits_per_pixel - bit % 8)
            out += row
        return bytes(out)

    xor = rows(bpp, lambda p: 0 if p is None else p)
    mask = rows(1, lambda p: 1 if p is None else 0)
    # The height counts both bitmaps, XOR above AND.
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bpp, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    return header + colours + xor + mask


def icon_file(kind, images):
    """kind 1 = icon, 2 = cursor. images: (canvas, bpp, palette, hotspot or None)."""
    head = struct.pack("<HHH", 0, kind, len(images))
    offset = len(head) + 16 * len(images)
    entries, blobs = b"", b""
    for canvas, bpp, palette, hotspot in images:
        data = dib(canvas, bpp, palette)
        n = canvas.size
        ncolours = (1 << bpp) if bpp < 8 else 0
        planes, bits = hotspot or (1, bpp)      # a cursor entry keeps its hot spot here
        entries += struct.pack("<BBBBHHII", n % 256, n % 256, ncolours, 0, planes, bits,
                               len(data), offset)
        blobs += data
        offset += len(data)
    return head + entries + blobs


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, os.pardir, "res")
    ico = icon_file(1, [(draw_icon_32(), 4, VGA, None), (draw_icon_16(), 4, VGA, None)])
    cur = icon_file(2, [(draw_hand(), 8, CUR_PALETTE, HAND_HOTSPOT)])
    for name, data in (("kestrane.ico", ico), ("hand.cur", cur)):
        path = os.path.join(out, name)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote", os.path.normpath(path), len(data), "bytes")


if __name__ == "__main__":
    main()
