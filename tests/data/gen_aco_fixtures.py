#!/usr/bin/env python3
"""Writes the .aco swatch fixtures of the palette tests from the public version-1 layout.

An Adobe Color Swatch file of version 1 is a sequence of big-endian 16-bit words: the version
(1), the number of colours, then per colour the colour space and four values w, x, y, z.
Spaces: 0 RGB (0..65535 each), 1 HSB (hue 0..65535 for 0..360 degrees, saturation and
brightness 0..65535), 2 CMYK (0 is full ink, 65535 none), 8 greyscale (0..10000).
A version-2 file repeats the colours with names after the version-1 part; the reader here
reads version 1 only, so a file that starts with version 2 is refused.

Run from anywhere: python3 tests/data/gen_aco_fixtures.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def aco(colours, version=1):
    data = struct.pack(">HH", version, len(colours))
    for space, w, x, y, z in colours:
        data += struct.pack(">HHHHH", space, w, x, y, z)
    return data


FIXTURES = {
    # Red, a mid grey-blue, white.
    "py_rgb.aco": [(0, 65535, 0, 0, 0), (0, 0x4000, 0x8000, 0xC000, 0), (0, 65535, 65535, 65535, 0)],
    # Pure red (hue 0), pure green (hue 120 degrees), a dark unsaturated colour.
    "py_hsb.aco": [(1, 0, 65535, 65535, 0), (1, 21845, 65535, 65535, 0), (1, 40000, 0, 32768, 0)],
    # RGB blue, CMYK with no ink (white), CMYK full black, RGB green.
    "py_cmyk.aco": [(0, 0, 0, 65535, 0), (2, 65535, 65535, 65535, 65535), (2, 65535, 65535, 65535, 0),
                    (0, 0, 65535, 0, 0)],
    # Greys 5000 (50%) and 10000 (white), and an unknown space 7 that is skipped.
    "py_grey.aco": [(8, 5000, 0, 0, 0), (8, 10000, 0, 0, 0), (7, 1, 2, 3, 4)],
}


def main():
    os.chdir(HERE)
    for name, colours in FIXTURES.items():
        with open(name, "wb") as f:
            f.write(aco(colours))
    with open("py_v2.aco", "wb") as f:
        f.write(aco([(0, 65535, 0, 0, 0)], version=2))
    # Announces four colours and holds two and a half.
    with open("py_short.aco", "wb") as f:
        f.write(aco(FIXTURES["py_rgb.aco"][:2] + [(0, 1, 1, 1, 1), (0, 2, 2, 2, 2)])[: 4 + 25])


if __name__ == "__main__":
    main()
