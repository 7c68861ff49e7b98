#!/usr/bin/env python3
"""Paints the about box's picture, resources/about/about.bmp, and (with --embed) turns that file
into the C++ include the program carries (the build does this into its own tree).

The picture is a 24-bit BMP of 382 x 240 pixels, exactly 275,576 bytes: the 14-byte file header,
the 40-byte info header (bottom-up, BI_RGB, image size 275,522), 240 rows of 1148 bytes and two
zero bytes. It shows a few wet brush strokes over a paper gradient: drawn here, from nothing.

    python3 scripts/make_about_picture.py            # paint resources/about/about.bmp
    python3 scripts/make_about_picture.py --embed BMP OUT.inc
"""
import math
import os
import struct
import sys

import embed_bytes

W, H = 382, 240


def lerp(a, b, t):
    return a + (b - a) * t


def paper():
    img = []
    for y in range(H):
        row = []
        for x in range(W):
            t = y / (H - 1)
            u = x / (W - 1)
            # warm paper at the bottom, a cool wash at the top, a little grain
            r = lerp(214, 246, t) + 6 * u
            g = lerp(226, 238, t) + 3 * u
            b = lerp(244, 222, t)
            grain = ((x * 7919 + y * 104729) % 23) / 23.0 - 0.5
            row.append([r + grain * 5, g + grain * 5, b + grain * 5])
        img.append(row)
    return img


def bezier(p0, p1, p2, p3, t):
    s = 1 - t
    return (s * s * s * p0[0] + 3 * s * s * t * p1[0] + 3 * s * t * t * p2[0] + t * t * t * p3[0],
            s * s * s * p0[1] + 3 * s * s * t * p1[1] + 3 * s * t * t * p2[1] + t * t * t * p3[1])


def stroke(img, ctrl, colour, r0, r1, opacity):
    """Paints a stroke as a coverage mask (the widest dab over each pixel), then blends it once,
    so the stroke is even like a real nib at one pressure curve."""
    cover = {}
    steps = 400
    for i in range(steps + 1):
        t = i / steps
        cx, cy = bezier(*ctrl, t)
        # pressure: swell in the middle, taper at both ends
        rad = lerp(r0, r1, math.sin(math.pi * t) ** 0.7)
        x0, x1 = int(cx - rad - 1), int(cx + rad + 2)
        y0, y1 = int(cy - rad - 1), int(cy + rad + 2)
        for y in range(max(0, y0), min(H, y1)):
            for x in range(max(0, x0), min(W, x1)):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                a = max(0.0, min(1.0, rad - d + 0.5))
                if a > 0 and a > cover.get((x, y), 0.0):
                    cover[(x, y)] = a
    for (x, y), a in cover.items():
        a *= opacity
        px = img[y][x]
        for c in range(3):
            px[c] = px[c] * (1 - a) + colour[c] * a


def picture():
    img = paper()
    strokes = [
        (((-20, 200), (90, 120), (180, 250), (400, 150)), (236, 150, 92), 3, 26, 0.55),
        (((-10, 60), (120, 10), (220, 140), (395, 40)), (88, 140, 214), 2, 20, 0.5),
        (((40, 230), (110, 60), (250, 40), (340, -10)), (120, 186, 132), 2, 14, 0.6),
        (((60, 150), (150, 110), (250, 190), (350, 120)), (60, 58, 92), 1, 5, 0.9),
        (((200, 225), (260, 170), (300, 230), (370, 190)), (222, 84, 110), 1, 9, 0.7),
    ]
    for ctrl, colour, r0, r1, opacity in strokes:
        stroke(img, ctrl, colour, r0, r1, opacity)
    pixels = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up
        for x in range(W):
            r, g, b = (max(0, min(255, int(round(v)))) for v in img[y][x])
            pixels += bytes((b, g, r))
        pixels += b"\0\0"  # 1146 bytes padded to 1148
    assert len(pixels) == 1148 * H
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(pixels) + 2, 2834, 2834, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels) + 2, 0, 0, 54)
    data = head + info + pixels + b"\0\0"
    assert len(data) == 275576
    return data


def embed(bmp_path, out_path):
    embed_bytes.embed(bmp_path, out_path, "// Made by scripts/make_about_picture.py from resources/about/about.bmp: do not edit.")


def main(argv):
    if len(argv) == 4 and argv[1] == "--embed":
        embed(argv[2], argv[3])
        return
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, "resources", "about", "about.bmp")
    with open(out, "wb") as f:
        f.write(picture())
    print(f"wrote {out}")


if __name__ == "__main__":
    main(sys.argv)
