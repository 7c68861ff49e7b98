#!/usr/bin/env python3
"""The blur's box mean, computed independently with numpy for the dab renderer's tests.

Input file (little-endian int32): width, height, radius, weighted, left, top, right, bottom, then
width*height pixels (B, G, R, A bytes, row by row). Reads outside the picture take the nearest
edge pixel. Prints one line per pixel of the rectangle: "x y colour" with the colour in hex, or
"x y skip" when a weighted box holds no alpha.
"""
import sys

import numpy as np


def main():
    data = np.fromfile(sys.argv[1], dtype="<u4")
    width, height, radius, weighted, left, top, right, bottom = (int(v) for v in data[:8])
    pixels = data[8:8 + width * height].reshape(height, width).astype(np.int64)
    n = 2 * radius + 1
    padded = np.pad(pixels, radius, mode="edge")
    b, g, r, a = ((padded >> shift) & 0xFF for shift in (0, 8, 16, 24))
    if weighted:
        channels = [b * a // 255, g * a // 255, r * a // 255, a]
    else:
        channels = [b, g, r, a]

    def box_sum(plane, x, y):
        return int(plane[y:y + n, x:x + n].sum())

    for y in range(top, bottom):
        for x in range(left, right):
            sb, sg, sr, sa = (box_sum(c, x, y) for c in channels)
            if weighted:
                if sa == 0:
                    print(x, y, "skip")
                    continue
                colour = ((sa // (n * n)) << 24) | ((sr * 255 // sa) << 16) | ((sg * 255 // sa) << 8) | (sb * 255 // sa)
            else:
                colour = 0xFF000000 | ((sr // (n * n)) << 16) | ((sg // (n * n)) << 8) | (sb // (n * n))
            print(x, y, "%x" % colour)


if __name__ == "__main__":
    main()
