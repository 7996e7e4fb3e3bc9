#!/usr/bin/env python3
"""Draws the twelve bitmaps of the transfer dialog's four arrow buttons.

Each button has three pictures, named after the button's caption: U (up, the
raised face), D (down: the pressed face, arrows moved one pixel down-right) and
F (focused: the raised face with a dotted rectangle around the arrows). The
arrows point from the list that rows leave to the list they join: down for
ADD and ADDALL (upper list to lower list), up for REMOVE and REMALL.

Every picture is 26 x 24 pixels, 4 bits per pixel, with the 16 colours of the
standard Windows palette, written as a bottom-up BMP without compression.

    python3 draw_bitmaps.py [OUTPUT_DIR] [--preview PNG_DIR [--scale N]]

OUTPUT_DIR defaults to this script's folder. --preview also writes each
picture enlarged as a PNG, and a sheet of all twelve, for a person to look at.
--check writes nothing and fails when a .bmp in OUTPUT_DIR differs from what
this script draws (the build uses the committed files).
Standard library only.
"""
import argparse
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 26, 24

# The 16-colour palette of Windows, in its usual index order, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_GREY, FACE, WHITE = 0, 8, 7, 15

# Arrow geometry. The visible face of a raised button runs from x 1 to 23 and
# from y 1 to 21 (one light pixel top-left, two dark pixels bottom-right), so
# its middle is (12, 11); odd-width arrows centred there look centred.
SINGLE_CENTRES = (12,)
DOUBLE_CENTRES = (7, 17)
SINGLE = dict(head_rows=6, shaft_half=2, shaft_rows=5)    # head 11 wide, shaft 5 wide
DOUBLE = dict(head_rows=4, shaft_half=1, shaft_rows=7)    # head 7 wide, shaft 3 wide
ARROW_TOP, ARROW_BOTTOM = 6, 16                           # 11 rows, middle row 11
FOCUS_RECT = (2, 2, 22, 20)                               # left, top, right, bottom


class Picture:
    def __init__(self, colour=FACE):
        self.pixels = [[colour] * WIDTH for _ in range(HEIGHT)]

    def put(self, x, y, colour):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            self.pixels[y][x] = colour

    def hline(self, x0, x1, y, colour):
        for x in range(x0, x1 + 1):
            self.put(x, y, colour)

    def vline(self, x, y0, y1, colour):
        for y in range(y0, y1 + 1):
            self.put(x, y, colour)


def raised_face():
    pic = Picture()
    pic.hline(0, WIDTH - 2, 0, WHITE)
    pic.vline(0, 0, HEIGHT - 2, WHITE)
    pic.hline(1, WIDTH - 2, HEIGHT - 2, DARK_GREY)
    pic.vline(WIDTH - 2, 1, HEIGHT - 2, DARK_GREY)
    pic.hline(0, WIDTH - 1, HEIGHT - 1, BLACK)
    pic.vline(WIDTH - 1, 0, HEIGHT - 1, BLACK)
    return pic


def pressed_face():
    # Flat and sunk: black then dark grey along the top and left, a light
    # line at the bottom and right, no highlight on the face itself.
    pic = Picture()
    pic.hline(0, WIDTH - 1, 0, BLACK)
    pic.vline(0, 0, HEIGHT - 1, BLACK)
    pic.hline(1, WIDTH - 1, 1, DARK_GREY)
    pic.vline(1, 1, HEIGHT - 1, DARK_GREY)
    pic.hline(1, WIDTH - 1, HEIGHT - 1, WHITE)
    pic.vline(WIDTH - 1, 1, HEIGHT - 1, WHITE)
    return pic


def draw_arrow(pic, centre_x, pointing_down, head_rows, shaft_half, shaft_rows, dx=0, dy=0):
    """One arrow of ARROW_TOP..ARROW_BOTTOM rows: a shaft and a triangular head."""
    assert head_rows + shaft_rows == ARROW_BOTTOM - ARROW_TOP + 1
    rows = []
    for _ in range(shaft_rows):
        rows.append(shaft_half)
    for i in range(head_rows):          # widest row next to the shaft, 1 pixel at the tip
        rows.append(head_rows - 1 - i)
    if not pointing_down:
        rows.reverse()
    for i, half in enumerate(rows):
        y = ARROW_TOP + i + dy
        pic.hline(centre_x - half + dx, centre_x + half + dx, y, BLACK)


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
    # stem: (arrow centres, geometry, pointing down)
    "ADD": (SINGLE_CENTRES, SINGLE, True),
    "ADDALL": (DOUBLE_CENTRES, DOUBLE, True),
    "REMOVE": (SINGLE_CENTRES, SINGLE, False),
    "REMALL": (DOUBLE_CENTRES, DOUBLE, False),
}


def draw(stem, state):
    centres, geometry, down = BUTTONS[stem]
    pic = pressed_face() if state == "D" else raised_face()
    shift = 1 if state == "D" else 0
    for cx in centres:
        draw_arrow(pic, cx, down, dx=shift, dy=shift, **geometry)
    if state == "F":
        draw_focus(pic, FOCUS_RECT)
    return pic


def bmp_bytes(pic):
    stride = ((WIDTH * 4 + 31) // 32) * 4
    rows = []
    for y in range(HEIGHT - 1, -1, -1):     # bottom-up
        line = pic.pixels[y] + [0]          # pad to an even pixel count
        packed = bytes((line[i] << 4) | line[i + 1] for i in range(0, WIDTH, 2))
        rows.append(packed + bytes(stride - len(packed)))
    bits = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(bits), 2835, 2835, 16, 16)
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
    rows = (len(pictures) + columns - 1) // columns
    grid = [[background] * (columns * (WIDTH + gap) + gap) for _ in range(rows * (HEIGHT + gap) + gap)]
    for n, pic in enumerate(pictures):
        ox = gap + (n % columns) * (WIDTH + gap)
        oy = gap + (n // columns) * (HEIGHT + gap)
        for y in range(HEIGHT):
            grid[oy + y][ox:ox + WIDTH] = pic.pixels[y]
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
        for stem in BUTTONS:
            for state in "UDF":
                path = os.path.join(args.output_dir, (stem + state).lower() + ".bmp")
                try:
                    with open(path, "rb") as f:
                        same = f.read() == bmp_bytes(draw(stem, state))
                except OSError:
                    same = False
                if not same:
                    stale.append(path)
        for path in stale:
            print(f"{path} differs from what {os.path.basename(__file__)} draws; run it again")
        return 1 if stale else 0

    os.makedirs(args.output_dir, exist_ok=True)
    pictures = []
    for stem in BUTTONS:
        for state in "UDF":
            pic = draw(stem, state)
            pictures.append(pic)
            name = (stem + state).lower()
            with open(os.path.join(args.output_dir, name + ".bmp"), "wb") as f:
                f.write(bmp_bytes(pic))
            if args.preview:
                os.makedirs(args.preview, exist_ok=True)
                with open(os.path.join(args.preview, name + ".png"), "wb") as f:
                    f.write(png_bytes(pic.pixels, args.scale))
    if args.preview:
        with open(os.path.join(args.preview, "all.png"), "wb") as f:
            f.write(png_bytes(sheet(pictures), args.scale // 2 or 1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
