#!/usr/bin/env python3
"""Checks PNG files with a decoder of its own (Python's zlib, every row filter).

  check_png.py patterns DIR      the encoder's test pictures: every pixel as png_patterns.cpp draws it

The tours' screenshots are checked with the same decoder (tours/tests/check_screenshots.py).
"""
import os
import struct
import sys
import zlib


def read_png(path):
    """Returns (width, height, filtered rows) after checking the signature and every CRC."""
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError('no PNG signature')
    at, idat, width, height = 8, b'', None, None
    types = []
    while at < len(data):
        length, = struct.unpack('>I', data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        crc, = struct.unpack('>I', data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) & 0xffffffff != crc:
            raise ValueError('bad CRC in ' + kind.decode('latin-1'))
        types.append(kind)
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', body)
            if (depth, colour, interlace) != (8, 2, 0):
                raise ValueError('not 8-bit RGB without interlace')
        elif kind == b'IDAT':
            idat += body
        at += 12 + length
    if types[0] != b'IHDR' or types[-1] != b'IEND':
        raise ValueError('chunks out of order: %s' % types)
    raw = zlib.decompress(idat)  # also checks the Adler-32
    stride = width * 3 + 1
    if len(raw) != stride * height:
        raise ValueError('%d bytes of image data, expected %d' % (len(raw), stride * height))
    rows = [raw[y * stride:(y + 1) * stride] for y in range(height)]
    if any(row[0] > 4 for row in rows):
        raise ValueError('unknown row filter')
    return width, height, rows


def unfilter(width, rows):
    pixels, previous = [], bytearray(width * 3)
    for row in rows:
        kind, line = row[0], bytearray(row[1:])
        for i in range(len(line)):
            a = line[i - 3] if i >= 3 else 0
            b = previous[i]
            c = previous[i - 3] if i >= 3 else 0
            if kind == 1:
                p = a
            elif kind == 2:
                p = b
            elif kind == 3:
                p = (a + b) // 2
            elif kind == 4:
                e = a + b - c
                pa, pb, pc = abs(e - a), abs(e - b), abs(e - c)
                p = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            else:
                p = 0
            line[i] = (line[i] + p) & 255
        pixels.append(bytes(line))
        previous = line
    return pixels


class Noise:
    def __init__(self):
        self.state = 1

    def __call__(self, x, y, c):
        self.state = (self.state * 1103515245 + 12345) & 0xffffffff
        return (self.state >> 16) & 255


def patterns():
    """The same table as png_patterns.cpp: name, width, height, channel value."""
    return [
        ('one-pixel', 1, 1, lambda x, y, c: 12 + 22 * c),
        ('flat', 640, 480, lambda x, y, c: 192),
        ('gradient', 300, 200, lambda x, y, c: (x * 7 + y * 3 + c * 50) & 255),
        ('noise', 257, 129, Noise()),
        ('checker', 300, 260, lambda x, y, c: 200 if ((x // 10 + y // 20) & 1) else 30),
        ('wide', 5000, 3, lambda x, y, c: (x % 7) * 30 + y + c),
        ('tall', 1, 3000, lambda x, y, c: (y % 251) ^ c),
    ]


def check_patterns(directory):
    failures = []
    for name, width, height, value in patterns():
        path = os.path.join(directory, name + '.png')
        try:
            w, h, rows = read_png(path)
            if (w, h) != (width, height):
                raise ValueError('size %dx%d, expected %dx%d' % (w, h, width, height))
            pixels = unfilter(w, rows)
            for y in range(h):
                expected = bytes(value(x, y, c) for x in range(w) for c in range(3))
                if pixels[y] != expected:
                    x = next(i for i in range(len(expected)) if pixels[y][i] != expected[i]) // 3
                    raise ValueError('first wrong pixel at (%d, %d)' % (x, y))
        except Exception as error:  # one line per failing case
            failures.append('%s: %s' % (name, error))
    return failures


def main():
    if len(sys.argv) != 3 or sys.argv[1] != 'patterns':
        sys.exit(__doc__)
    failures = check_patterns(sys.argv[2])
    for failure in failures:
        print('FAILED:', failure)
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
