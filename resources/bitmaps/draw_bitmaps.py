#!/usr/bin/env python3
"""Draws the bitmaps of the transfer dialog's four arrow buttons, at three scales.

Each button has three pictures, named after the button's caption: U (up, the
raised face), D (down: the pressed face, arrows moved down-right) and F
(focused: the raised face with a dotted rectangle around the arrows). The
arrows point from the list that rows leave to the list they join: down for
ADD and ADDALL (upper list to lower list), up for REMOVE and REMALL.

The twelve pictures for 96 DPI are 26 x 24 pixels (addu.bmp, resource ADDU).
The same twelve are drawn for 150 % (144 DPI: 39 x 36, addu150.bmp, ADDU150)
and 200 % (192 DPI: 52 x 48, addu200.bmp, ADDU200), each with a geometry of
its own so that every line stays whole pixels wide: the bitmap button takes
the set that fits its window's DPI. All are 4 bits per pixel, with the 16
colours of the standard Windows palette, written as bottom-up BMPs without
compression.

    python3 draw_bitmaps.py [OUTPUT_DIR] [--preview PNG_DIR [--scale N]]

OUTPUT_DIR defaults to this script's folder. --preview also writes each
picture enlarged as a PNG, and a sheet of each scale's twelve, for a person to
look at. --check writes nothing and fails when a .bmp in OUTPUT_DIR differs
from what this script draws (the build uses the committed files).
Standard library only.
"""
import argparse
import os
import struct
import sys
import zlib
from collections import namedtuple

# The 16-colour palette of Windows, in its usual index order, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_GREY, FACE, WHITE = 0, 8, 7, 15

# One arrow: its middle column given doubled (c2 = 2 x, so that an arrow of even
# width can sit on a pixel boundary), its head (rows, width of the tip; each row
# towards the shaft is two pixels wider) and its shaft (rows, width).
Arrow = namedtuple("Arrow", "c2 head_rows tip shaft_rows shaft_width")

# The pictures of one scale. edge: the width of each of the two border lines of a
# face, and how far the pressed face moves the arrows. top: the first row of the
# arrows; every arrow of a picture spans the same rows. focus: left, top, right,
# bottom of the dotted rectangle.
Geometry = namedtuple("Geometry", "width height edge top single double focus")

SCALES = {
    # 96 DPI. The visible face of a raised button runs from x 1 to 23 and from y 1
    # to 21 (one light line top-left, two dark lines bottom-right), so its middle
    # is (12, 11): odd-width arrows centred there look centred.
    100: Geometry(26, 24, 1, 6,
                  single=(Arrow(24, 6, 1, 5, 5),),                        # head 11 wide, shaft 5
                  double=(Arrow(14, 4, 1, 7, 3), Arrow(34, 4, 1, 7, 3)),  # heads 7 wide, shafts 3
                  focus=(2, 2, 22, 20)),
    # 144 DPI: the face runs from x 1 to 36 (its middle between two columns, so the
    # arrows are of even width) and from y 1 to 33 (middle row 17).
    150: Geometry(39, 36, 1, 9,
                  single=(Arrow(37, 9, 2, 8, 8),),                        # head 18 wide, shaft 8
                  double=(Arrow(21, 6, 2, 11, 4), Arrow(53, 6, 2, 11, 4)),
                  focus=(3, 3, 34, 31)),
    # 192 DPI: lines two pixels wide; the face runs from x 2 to 47 and from y 2 to 43,
    # both middles between two pixels.
    200: Geometry(52, 48, 2, 12,
                  single=(Arrow(49, 12, 2, 10, 10),),                     # head 24 wide, shaft 10
                  double=(Arrow(29, 8, 2, 14, 6), Arrow(69, 8, 2, 14, 6)),
                  focus=(4, 4, 45, 41)),
}


def suffix(scale):
    """What a scale adds to the names: nothing at 96 DPI, "150" and "200" above."""
    return "" if scale == 100 else str(scale)


class Picture:
    def __init__(self, width, height, colour=FACE):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def hline(self, x0, x1, y, colour):
        for x in range(x0, x1 + 1):
            self.put(x, y, colour)


def face(geometry, pressed):
    """A button face with its two border lines, each geometry.edge pixels wide.

    Raised: a light outer line top-left and a black one bottom-right, inside
    the black one a dark grey line. Pressed (flat and sunk): black then dark
    grey along the top and left, a light line at the bottom and right."""
    w, h, t = geometry.width, geometry.height, geometry.edge
    pic = Picture(w, h)
    for y in range(h):
        for x in range(w):
            left, top, right, bottom = x, y, w - 1 - x, h - 1 - y
            if pressed:
                if top < t or left < t:
                    colour = BLACK
                elif bottom < t or right < t:
                    colour = WHITE
                elif top < 2 * t or left < 2 * t:
                    colour = DARK_GREY
                else:
                    continue
            else:
                if right < t or bottom < t:
                    colour = BLACK
                elif left < t or top < t:
                    colour = WHITE
                elif right < 2 * t or bottom < 2 * t:
                    colour = DARK_GREY
                else:
                    continue
            pic.put(x, y, colour)
    return pic


def draw_arrow(pic, top, arrow, pointing_down, shift=0):
    """A shaft and a triangular head, the head's widest row next to the shaft."""
    widths = [arrow.shaft_width] * arrow.shaft_rows
    widths += [arrow.tip + 2 * (arrow.head_rows - 1 - i) for i in range(arrow.head_rows)]
    if not pointing_down:
        widths.reverse()
    for i, width in enumerate(widths):
        assert (arrow.c2 - width + 1) % 2 == 0, "an arrow's width must fit its middle"
        x0 = (arrow.c2 - width + 1) // 2
        pic.hline(x0 + shift, x0 + width - 1 + shift, top + i + shift, BLACK)


def draw_focus(pic, rect):
    # Every other pixel, as a dotted focus rectangle is drawn.
    left, top, right, bottom = rect
    for x in range(left, right + 1):
        for y in (top, bottom):
            if (x + y) % 2 == 0:
                pic.put(x, y, BLACK)
    for y in range(top + 1, bottom):
        for x in (left, right):
            if (x + y) % 2 == 0:
                pic.put(x, y, BLACK)


BUTTONS = {
    # stem: (two arrows, pointing down)
    "ADD": (False, True),
    "ADDALL": (True, True),
    "REMOVE": (False, False),
    "REMALL": (True, False),
}
STATES = "UDF"


def draw(stem, state, scale=100):
    geometry = SCALES[scale]
    double, down = BUTTONS[stem]
    pic = face(geometry, pressed=state == "D")
    shift = geometry.edge if state == "D" else 0
    for arrow in geometry.double if double else geometry.single:
        draw_arrow(pic, geometry.top, arrow, down, shift)
    if state == "F":
        draw_focus(pic, geometry.focus)
    return pic


def file_name(stem, state, scale):
    return (stem + state).lower() + suffix(scale) + ".bmp"


def bmp_bytes(pic):
    width, height = pic.width, pic.height
    stride = ((width * 4 + 31) // 32) * 4
    rows = []
    for y in range(height - 1, -1, -1):     # bottom-up
        line = pic.pixels[y] + [0]          # pad to an even pixel count
        packed = bytes((line[i] << 4) | line[i + 1] for i in range(0, width, 2))
        rows.append(packed + bytes(stride - len(packed)))
    bits = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(bits), 2835, 2835, 16, 16)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return header + info + palette + bits


def png_bytes(grid, scale):
    """An RGB PNG of a grid of palette indices, each pixel a scale x scale block."""
    raw = bytearray()
    for row in grid:
        line = bytearray([0])
        for index in row:
            line += bytes(PALETTE[index]) * scale
        raw += bytes(line) * scale

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    height, width = len(grid) * scale, len(grid[0]) * scale
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def sheet(pictures, gap=4, background=FACE):
    """The pictures side by side in rows of three (U, D, F), one row per button."""
    columns = 3
    width, height = pictures[0].width, pictures[0].height
    rows = (len(pictures) + columns - 1) // columns
    grid = [[background] * (columns * (width + gap) + gap) for _ in range(rows * (height + gap) + gap)]
    for n, pic in enumerate(pictures):
        ox = gap + (n % columns) * (width + gap)
        oy = gap + (n // columns) * (height + gap)
        for y in range(height):
            grid[oy + y][ox:ox + width] = pic.pixels[y]
    return grid


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("output_dir", nargs="?", default=here)
    parser.add_argument("--preview", metavar="PNG_DIR")
    parser.add_argument("--scale", type=int, default=12)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()

    if args.check:
        stale = []
        for scale in SCALES:
            for stem in BUTTONS:
                for state in STATES:
                    path = os.path.join(args.output_dir, file_name(stem, state, scale))
                    try:
                        with open(path, "rb") as f:
                            same = f.read() == bmp_bytes(draw(stem, state, scale))
                    except OSError:
                        same = False
                    if not same:
                        stale.append(path)
        for path in stale:
            print(f"{path} differs from what {os.path.basename(__file__)} draws; run it again")
        return 1 if stale else 0

    os.makedirs(args.output_dir, exist_ok=True)
    for scale in SCALES:
        pictures = []
        for stem in BUTTONS:
            for state in STATES:
                pic = draw(stem, state, scale)
                pictures.append(pic)
                name = file_name(stem, state, scale)
                with open(os.path.join(args.output_dir, name), "wb") as f:
                    f.write(bmp_bytes(pic))
                if args.preview:
                    os.makedirs(args.preview, exist_ok=True)
                    with open(os.path.join(args.preview, name[:-4] + ".png"), "wb") as f:
                        f.write(png_bytes(pic.pixels, args.scale))
        if args.preview:
            with open(os.path.join(args.preview, "all" + suffix(scale) + ".png"), "wb") as f:
                f.write(png_bytes(sheet(pictures), args.scale // 2 or 1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
