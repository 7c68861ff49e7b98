#!/usr/bin/env python3
"""Writes the BMP fixtures of the raster tests, byte by byte from the public file format.

Run from anywhere: python3 tests/data/gen_bmp_fixtures.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def info_header(size, width, height, bits, compression=0, image_size=0, ppm=(0, 0), clr_used=0):
    head = struct.pack('<IiiHHIIiiII', 40 if size == 40 else size, width, height, 1, bits, compression,
                       image_size, ppm[0], ppm[1], clr_used, 0)
    return head + bytes(size - 40)  # later header versions: the extra fields zeroed


def bmp(info, rows, extra=b'', offset=None):
    pixels = b''.join(rows)
    off = 14 + len(info) + len(extra) if offset is None else offset
    gap = bytes(off - (14 + len(info) + len(extra)))
    data = info + extra + gap + pixels
    return struct.pack('<2sIHHI', b'BM', 14 + len(data), 0, 0, off) + data


def row24(pixels):
    raw = b''.join(struct.pack('<BBB', b, g, r) for (r, g, b) in pixels)
    return raw + bytes((4 - len(raw) % 4) % 4)


def row32(pixels):
    return b''.join(struct.pack('<BBBB', b, g, r, a) for (r, g, b, a) in pixels)


# Picture rows as seen, top first; (r, g, b) or (r, g, b, a).
PIC24 = [[(255, 0, 0), (0, 255, 0), (0, 0, 255)],
         [(10, 20, 30), (40, 50, 60), (70, 80, 90)]]
PIC32 = [[(1, 2, 3, 4), (5, 6, 7, 8)],
         [(250, 251, 252, 253), (0, 128, 255, 0)]]


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def main():
    # 24 bits, 3x2, bottom-up, 3780 pixels per metre (96 dpi), rows padded to 12 bytes.
    rows = [row24(r) for r in reversed(PIC24)]
    write('py_24bit_3x2.bmp', bmp(info_header(40, 3, 2, 24, 0, 24, (3780, 3780)), rows))
    # The same with 16 bytes between the headers and the rows (pixel offset 70).
    write('py_24bit_gap.bmp', bmp(info_header(40, 3, 2, 24, 0, 24, (3780, 3780)), rows, offset=70))
    # 32 bits, 2x2, bit fields with the standard masks and colours used 3, 2835 ppm (72 dpi).
    masks = struct.pack('<III', 0x00FF0000, 0x0000FF00, 0x000000FF)
    rows32 = [row32(r) for r in reversed(PIC32)]
    write('py_32bit_bitfields.bmp', bmp(info_header(40, 2, 2, 32, 3, 16, (2835, 2835), 3), rows32, extra=masks))
    # 32 bits, BI_RGB, plain.
    write('py_32bit_rgb.bmp', bmp(info_header(40, 2, 2, 32, 0, 16, (0, 0)), rows32))
    # A version 5 header (124 bytes): refused, its resolution still read (5906 ppm = 150 dpi).
    write('py_32bit_v5.bmp', bmp(info_header(124, 2, 2, 32, 0, 16, (5906, 5906)), rows32))
    # Top-down rows (negative height): refused.
    write('py_24bit_topdown.bmp', bmp(info_header(40, 3, -2, 24, 0, 24, (3780, 3780)), [row24(r) for r in PIC24]))


if __name__ == '__main__':
    main()
