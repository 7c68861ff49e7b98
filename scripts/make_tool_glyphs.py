#!/usr/bin/env python3
"""Draws the program's 87 tool and button glyphs (24 x 24 each) into one picture,
resources/glyphs/tool_glyphs.bmp, and (with --embed) turns that file into the C++ include the
program carries (the build does this into its own tree).

The picture is a 24-bit BMP of exactly 150,392 bytes: the 14-byte file header ("BM", size,
pixel data at 54), the 40-byte info header (24 x 2088, bottom-up, 1 plane, 24 bits, BI_RGB,
image size 150,338, 2834 pixels per metre), then 2088 rows of 72 bytes and two zero bytes. Glyph k lies in the rows
24k .. 24k+23 counted from the top. Per pixel: red = the glyph's opacity (0..255), green = 255
minus the amount of ink (255 paper, 0 full ink); blue repeats green.

    python3 scripts/make_tool_glyphs.py              # draw resources/glyphs/tool_glyphs.bmp
    python3 scripts/make_tool_glyphs.py --embed BMP OUT.inc
"""
import math
import os
import struct
import sys

import embed_bytes

S = 24
SUB = 4  # samples per pixel side

NAMES = [
    "Pencil4", "Pencil1", "Eraser4", "SeedEraser", "Eraser1", "WaterColor4", "WaterColor1", "AirBrush4",
    "AirBrush1", "Blur4", "Blur1", "Fingertip4", "Fingertip1", "Spread4", "Burn4", "Burn1", "Dodge4", "Dodge1",
    "DrawLocus", "DrawLine", "DrawMultiLine", "DrawRectangle", "DrawEllipse", "DrawPolygon", "FillRectangle",
    "FillEllipse", "FillPolygon", "FillLasso", "SeedFill", "Gradient", "SelectRectangle", "SelectEllipse",
    "SelectPolygon", "SelectLasso", "MagicWand", "MoveLayer", "MoveLayerWithSelection", "FillText", "SelectText",
    "Crop", "Spuit", "Grabber", "Degree", "Zoom", "Density", "Create", "Delete", "Save", "AntiAlias",
    "BrushSpace", "PrsDensity", "PrsRadius", "NibRadius", "NibMinRadius", "GradNone", "GradUse", "GradUnUse",
    "ToneNone", "ToneUse", "ToneUnUse", "GradLinear", "GradRadial", "GradCircular", "GradReturn", "GradRepeat",
    "GradInfinity", "GradRemind", "ZoomIn", "ZoomOut", "DisplayGrid", "ColSampAreaS", "ColSampCircleA",
    "ColSampCircleS", "ColSampSlider", "Flat", "Add", "OffsetX", "OffsetY", "Invert", "ProtectAlpha", "Extend",
    "EventLock", "Play", "Pause", "Step", "Stop", "Menu",
]
assert len(NAMES) == 87


# ---- shapes: functions (x, y) -> inside, in pixel coordinates (0..24) -------------------------

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def frame(x0, y0, x1, y1, w=1.5):
    return lambda x, y: (x0 <= x < x1 and y0 <= y < y1) and not (x0 + w <= x < x1 - w and y0 + w <= y < y1 - w)


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, w=1.5):
    return lambda x, y: (r - w) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1


def ellipse_ring(cx, cy, rx, ry, w=1.5):
    inner = ellipse(cx, cy, rx - w, ry - w)
    outer = ellipse(cx, cy, rx, ry)
    return lambda x, y: outer(x, y) and not inner(x, y)


def seg(x0, y0, x1, y1, w=1.6):
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy or 1e-9

    def f(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / ll))
        return (x - x0 - t * dx) ** 2 + (y - y0 - t * dy) ** 2 <= (w / 2) ** 2
    return f


def poly(points):
    def f(x, y):
        inside = False
        n = len(points)
        for i in range(n):
            (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
                inside = not inside
        return inside
    return f


def polyline(points, w=1.6, closed=False):
    pts = points + ([points[0]] if closed else [])
    parts = [seg(*pts[i], *pts[i + 1], w) for i in range(len(pts) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def dashed(shape, period=4):
    # Marching-ants look: every other run along the diagonal.
    return lambda x, y: shape(x, y) and int(x + y) % period < period / 2


def arrow(x0, y0, x1, y1, w=1.6, head=3.5):
    ang = math.atan2(y1 - y0, x1 - x0)
    a1 = (x1 - head * math.cos(ang - 0.6), y1 - head * math.sin(ang - 0.6))
    a2 = (x1 - head * math.cos(ang + 0.6), y1 - head * math.sin(ang + 0.6))
    return union(seg(x0, y0, x1, y1, w), poly([(x1 + 0.8 * math.cos(ang), y1 + 0.8 * math.sin(ang)), a1, a2]))


# ---- the canvas: opacity a and ink k per pixel --------------------------------------------

class Glyph:
    def __init__(self):
        self.a = [[0.0] * S for _ in range(S)]
        self.k = [[0.0] * S for _ in range(S)]

    def paint(self, shape, ink=1.0, alpha=1.0):
        """Paints the shape over what is there: ink 1 full ink, 0 paper; ink may be a function."""
        for py in range(S):
            for px in range(S):
                hits = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        if shape(px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB):
                            hits += 1
                if not hits:
                    continue
                c = alpha * hits / (SUB * SUB)
                v = ink(px + 0.5, py + 0.5) if callable(ink) else ink
                a0, k0 = self.a[py][px], self.k[py][px]
                a1 = c + a0 * (1 - c)
                self.k[py][px] = (v * c + k0 * a0 * (1 - c)) / a1 if a1 > 0 else 0.0
                self.a[py][px] = a1

    def filled(self, shape, outline):
        self.paint(shape, 0.0)
        self.paint(outline, 1.0)


def older_mark(g):
    # Tools of the older engine carry a small "3" box at the bottom right.
    g.paint(rect(16, 16, 24, 24), 0.0)
    g.paint(frame(16, 16, 24, 24, 1.0), 1.0)
    g.paint(polyline([(18, 18), (21.5, 18), (19.5, 20), (21.5, 20), (21.5, 22), (18, 22)], 1.0), 1.0)


def pencil(g):
    body = poly([(4, 17), (15, 6), (19, 10), (8, 21)])
    g.filled(body, polyline([(4, 17), (15, 6), (19, 10), (8, 21)], 1.3, True))
    g.paint(poly([(4, 17), (8, 21), (2, 23)]), 1.0)
    g.paint(poly([(15, 6), (17, 4), (21, 8), (19, 10)]), 0.6)


def eraser(g):
    g.filled(poly([(3, 15), (13, 5), (20, 12), (10, 22)]), polyline([(3, 15), (13, 5), (20, 12), (10, 22)], 1.3, True))
    g.paint(poly([(3, 15), (7, 11), (14, 18), (10, 22)]), 1.0)


def brush(g):
    g.paint(seg(20, 3, 12, 11, 2.5), 1.0)
    g.filled(poly([(12, 9), (14, 11), (9, 19), (4, 21), (6, 16)]),
             polyline([(12, 9), (14, 11), (9, 19), (4, 21), (6, 16)], 1.2, True))


def airbrush(g):
    g.filled(rect(10, 6, 21, 11), frame(10, 6, 21, 11, 1.3))
    g.paint(seg(14, 11, 14, 19, 2.5), 1.0)
    for i, (x, y) in enumerate([(6, 6), (4, 9), (7, 10), (3, 12), (6, 13), (2, 7), (5, 16)]):
        g.paint(disc(x, y, 0.9), 1.0)


def drop(g, soft=False):
    shape = union(disc(12, 15, 6), poly([(6.5, 13), (12, 2), (17.5, 13)]))
    if soft:
        g.paint(shape, lambda x, y: max(0.0, min(1.0, 1.2 - math.hypot(x - 12, y - 15) / 7)))
    else:
        g.filled(shape, minus(shape, union(disc(12, 15, 4.5), poly([(8, 13.5), (12, 5), (16, 13.5)]))))


def finger(g):
    shape = union(rect(8, 8, 16, 22), disc(12, 8, 4))
    g.filled(shape, minus(shape, union(rect(9.5, 8, 14.5, 24), disc(12, 8, 2.5))))
    g.paint(ellipse_ring(12, 7.5, 2.2, 2.5, 1.0), 1.0)


def spread(g):
    g.paint(arrow(3, 12, 21, 12), 1.0)
    g.paint(seg(5, 7, 15, 7, 1.2), 0.5)
    g.paint(seg(5, 17, 15, 17, 1.2), 0.5)


def burn(g):
    shape = union(disc(12, 9, 5), seg(12, 12, 12, 22, 2))
    g.paint(shape, 1.0)
    g.paint(disc(12, 9, 2), 0.0)


def dodge(g):
    g.filled(disc(12, 9, 6), ring(12, 9, 6, 1.5))
    g.paint(seg(12, 15, 12, 22, 2), 1.0)


def magnifier(g, sign=None):
    g.filled(disc(10, 10, 7), ring(10, 10, 7, 1.8))
    g.paint(seg(15, 15, 21, 21, 3.2), 1.0)
    if sign:
        g.paint(seg(6.5, 10, 13.5, 10, 1.8), 1.0)
        if sign == '+':
            g.paint(seg(10, 6.5, 10, 13.5, 1.8), 1.0)


def padlock(g):
    g.paint(rect(6, 11, 18, 21), 1.0)
    g.paint(minus(ring(12, 10, 5, 1.8), rect(0, 10, 24, 24)), 1.0)
    g.paint(rect(10.5, 11, 13.5, 11.5), 1.0)
    g.paint(seg(6.9, 10, 6.9, 11, 1.8), 1.0)
    g.paint(seg(17.1, 10, 17.1, 11, 1.8), 1.0)
    g.paint(disc(12, 15, 1.3), 0.0)


def ramp(x0, x1):
    return lambda x, y: max(0.0, min(1.0, (x - x0) / (x1 - x0)))


def tone_dots(g, box):
    for y in range(5, 20, 4):
        for x in range(5, 20, 4):
            if box(x, y):
                g.paint(disc(x + 0.5, y + 0.5, 1.2), 1.0)


def cross(g):
    g.paint(seg(4, 20, 20, 4, 2.0), 1.0)


def draw(name):
    g = Glyph()
    base = name.rstrip("41") if name[-1] in "41" and name[-2] not in "0123456789" else name
    if base == "Pencil":
        pencil(g)
    elif base == "Eraser":
        eraser(g)
    elif name == "SeedEraser":
        eraser(g)
        g.paint(union(seg(19, 2, 19, 8, 1.2), seg(16, 5, 22, 5, 1.2)), 1.0)
    elif base == "WaterColor":
        brush(g)
        g.paint(disc(18, 18, 2.5), 0.5)
    elif base == "AirBrush":
        airbrush(g)
    elif base == "Blur":
        drop(g, soft=True)
    elif base == "Fingertip":
        finger(g)
    elif base == "Spread":
        spread(g)
    elif base == "Burn":
        burn(g)
    elif base == "Dodge":
        dodge(g)
    elif name == "DrawLocus":
        g.paint(polyline([(3, 18), (6, 10), (10, 8), (13, 14), (17, 16), (21, 6)], 1.8), 1.0)
    elif name == "DrawLine":
        g.paint(seg(4, 20, 20, 4, 1.8), 1.0)
    elif name == "DrawMultiLine":
        g.paint(polyline([(3, 20), (8, 6), (15, 17), (21, 4)], 1.8), 1.0)
    elif name == "DrawRectangle":
        g.paint(frame(4, 6, 20, 18), 1.0)
    elif name == "DrawEllipse":
        g.paint(ellipse_ring(12, 12, 9, 7), 1.0)
    elif name == "DrawPolygon":
        g.paint(polyline([(12, 3), (21, 10), (17, 21), (7, 21), (3, 10)], 1.6, True), 1.0)
    elif name == "FillRectangle":
        g.paint(rect(4, 6, 20, 18), 1.0)
    elif name == "FillEllipse":
        g.paint(ellipse(12, 12, 9, 7), 1.0)
    elif name == "FillPolygon":
        g.paint(poly([(12, 3), (21, 10), (17, 21), (7, 21), (3, 10)]), 1.0)
    elif name == "FillLasso":
        g.paint(poly([(4, 12), (7, 5), (14, 4), (20, 8), (18, 15), (12, 14), (9, 20), (5, 18)]), 1.0)
    elif name == "SeedFill":
        g.filled(poly([(4, 11), (11, 4), (18, 11), (11, 18)]), polyline([(4, 11), (11, 4), (18, 11), (11, 18)], 1.5, True))
        g.paint(union(disc(19, 18, 2.5), poly([(16.5, 18), (19, 12), (21.5, 18)])), 1.0)
    elif name == "Gradient":
        g.paint(rect(3, 6, 21, 18), ramp(3, 21))
        g.paint(frame(3, 6, 21, 18, 1.0), 1.0)
    elif name == "SelectRectangle":
        g.paint(dashed(frame(4, 6, 20, 18)), 1.0)
    elif name == "SelectEllipse":
        g.paint(dashed(ellipse_ring(12, 12, 9, 7)), 1.0)
    elif name == "SelectPolygon":
        g.paint(dashed(polyline([(12, 3), (21, 10), (17, 21), (7, 21), (3, 10)], 1.6, True)), 1.0)
    elif name == "SelectLasso":
        g.paint(dashed(polyline([(4, 12), (7, 5), (14, 4), (20, 8), (18, 15), (12, 14), (9, 20), (5, 18)], 1.6, True)), 1.0)
    elif name == "MagicWand":
        g.paint(seg(4, 20, 15, 9, 2.4), 1.0)
        g.paint(union(seg(18, 2, 18, 10, 1.3), seg(14, 6, 22, 6, 1.3), seg(15.5, 3.5, 20.5, 8.5, 1.0),
                      seg(20.5, 3.5, 15.5, 8.5, 1.0)), 1.0)
    elif name == "MoveLayer":
        g.paint(union(arrow(12, 12, 12, 2), arrow(12, 12, 12, 22), arrow(12, 12, 2, 12), arrow(12, 12, 22, 12)), 1.0)
    elif name == "MoveLayerWithSelection":
        g.paint(dashed(frame(2, 2, 22, 22, 1.2)), 1.0)
        g.paint(union(arrow(12, 12, 12, 5), arrow(12, 12, 12, 19), arrow(12, 12, 5, 12), arrow(12, 12, 19, 12)), 1.0)
    elif name in ("FillText", "SelectText"):
        letter = union(seg(5, 20, 12, 3, 2.2), seg(12, 3, 19, 20, 2.2), seg(8, 14, 16, 14, 2.0))
        g.paint(dashed(letter, 3) if name == "SelectText" else letter, 1.0)
    elif name == "Crop":
        g.paint(union(seg(6, 2, 6, 18, 2), seg(6, 18, 22, 18, 2), seg(2, 6, 18, 6, 2), seg(18, 6, 18, 22, 2)), 1.0)
    elif name == "Spuit":
        g.paint(seg(5, 19, 14, 10, 2.2), 1.0)
        g.paint(seg(13, 7, 17, 11, 2.2), 1.0)
        g.paint(disc(18, 6, 3.5), 1.0)
        g.paint(disc(3.5, 20.5, 1.5), 1.0)
    elif name == "Grabber":
        shape = union(rect(6, 11, 18, 21), *(seg(7 + 3 * i, 12, 7 + 3 * i, 4 + (i % 3), 2.6) for i in range(4)),
                      seg(18, 16, 21, 11, 2.6))
        g.filled(shape, minus(shape, union(rect(7.2, 11, 16.8, 19.8), *(seg(7 + 3 * i, 12, 7 + 3 * i, 4 + (i % 3), 0.6)
                                                                         for i in range(4)))))
    elif name == "Degree":
        g.paint(minus(ring(12, 12, 8, 1.8), poly([(12, 12), (24, 6), (24, 0), (12, 0)])), 1.0)
        g.paint(poly([(20, 2), (22, 10), (15, 8)]), 1.0)
    elif name == "Zoom":
        magnifier(g)
    elif name == "Density":
        g.paint(ring(12, 12, 8, 1.5), 1.0)
        g.paint(minus(disc(12, 12, 8), rect(0, 0, 12, 24)), 1.0)
    elif name == "Create":
        g.filled(rect(5, 3, 17, 21), frame(5, 3, 17, 21, 1.3))
        g.paint(union(seg(17, 15, 17, 23, 2), seg(13, 19, 21, 19, 2)), 1.0)
    elif name == "Delete":
        g.filled(rect(6, 7, 18, 21), frame(6, 7, 18, 21, 1.3))
        g.paint(union(seg(4, 5, 20, 5, 1.8), seg(10, 10, 10, 18, 1.2), seg(14, 10, 14, 18, 1.2), rect(10, 2, 14, 5)), 1.0)
    elif name == "Save":
        g.paint(rect(4, 4, 20, 20), 1.0)
        g.paint(rect(7, 4, 17, 10), 0.0)
        g.paint(rect(7, 13, 17, 20), 0.0)
        g.paint(rect(13, 5, 15, 9), 1.0)
    elif name == "AntiAlias":
        g.paint(poly([(3, 21), (21, 3), (21, 21)]), lambda x, y: 1.0)
        g.paint(seg(3, 21, 21, 3, 2.5), 0.5)
    elif name == "BrushSpace":
        for x in (5, 12, 19):
            g.paint(disc(x, 12, 2.8), 1.0)
    elif name == "PrsDensity":
        g.paint(poly([(2, 18), (22, 10), (22, 18)]), ramp(2, 22))
    elif name == "PrsRadius":
        g.paint(poly([(2, 12), (22, 4), (22, 20)]), 1.0)
    elif name == "NibRadius":
        g.paint(ring(12, 12, 9, 1.5), 1.0)
        g.paint(seg(12, 12, 20, 12, 1.5), 1.0)
        g.paint(disc(12, 12, 1.5), 1.0)
    elif name == "NibMinRadius":
        g.paint(ring(12, 12, 9, 1.2), 0.5)
        g.paint(disc(12, 12, 4), 1.0)
    elif name in ("GradNone", "GradUse", "GradUnUse"):
        if name != "GradNone":
            g.paint(rect(3, 6, 21, 18), ramp(3, 21))
        g.paint(frame(3, 6, 21, 18, 1.0), 1.0)
        if name == "GradUnUse":
            cross(g)
    elif name in ("ToneNone", "ToneUse", "ToneUnUse"):
        if name != "ToneNone":
            tone_dots(g, lambda x, y: True)
        g.paint(frame(3, 3, 21, 21, 1.0), 1.0)
        if name == "ToneUnUse":
            cross(g)
    elif name == "GradLinear":
        g.paint(rect(3, 3, 21, 21), ramp(3, 21))
    elif name == "GradRadial":
        g.paint(rect(3, 3, 21, 21), lambda x, y: min(1.0, math.hypot(x - 12, y - 12) / 10))
    elif name == "GradCircular":
        g.paint(rect(3, 3, 21, 21), lambda x, y: (math.atan2(y - 12, x - 12) + math.pi) / (2 * math.pi))
    elif name == "GradReturn":
        g.paint(rect(3, 3, 21, 21), lambda x, y: 1 - abs((x - 12) / 9))
    elif name == "GradRepeat":
        g.paint(rect(3, 3, 21, 21), lambda x, y: ((x - 3) % 6) / 6)
    elif name == "GradInfinity":
        g.paint(union(ring(7.5, 12, 4.5, 1.8), ring(16.5, 12, 4.5, 1.8)), 1.0)
    elif name == "GradRemind":
        g.paint(rect(3, 3, 21, 14), ramp(3, 21))
        g.paint(frame(3, 3, 21, 14, 1.0), 1.0)
        g.paint(poly([(8, 16), (16, 16), (12, 22)]), 1.0)
    elif name == "ZoomIn":
        magnifier(g, '+')
    elif name == "ZoomOut":
        magnifier(g, '-')
    elif name == "DisplayGrid":
        g.paint(union(*(seg(v, 3, v, 21, 1.0) for v in (4, 9, 14, 19)), *(seg(3, v, 21, v, 1.0) for v in (4, 9, 14, 19))), 1.0)
    elif name == "ColSampAreaS":
        g.paint(frame(4, 4, 20, 20, 1.5), 1.0)
        g.paint(rect(9, 9, 15, 15), 1.0)
    elif name == "ColSampCircleA":
        g.paint(ring(12, 12, 9, 1.5), 1.0)
        g.paint(disc(12, 12, 4), 1.0)
    elif name == "ColSampCircleS":
        g.paint(ring(12, 12, 6, 1.5), 1.0)
        g.paint(disc(12, 12, 2), 1.0)
    elif name == "ColSampSlider":
        g.paint(seg(3, 12, 21, 12, 1.5), 1.0)
        g.filled(rect(10, 6, 14, 18), frame(10, 6, 14, 18, 1.2))
    elif name == "Flat":
        g.paint(seg(3, 12, 21, 12, 2.4), 1.0)
    elif name == "Add":
        g.paint(union(seg(12, 4, 12, 20, 2.6), seg(4, 12, 20, 12, 2.6)), 1.0)
    elif name == "OffsetX":
        g.paint(union(arrow(12, 12, 2, 12), arrow(12, 12, 22, 12)), 1.0)
    elif name == "OffsetY":
        g.paint(union(arrow(12, 12, 12, 2), arrow(12, 12, 12, 22)), 1.0)
    elif name == "Invert":
        g.paint(frame(4, 4, 20, 20, 1.3), 1.0)
        g.paint(poly([(4, 20), (20, 4), (20, 20)]), 1.0)
    elif name == "ProtectAlpha":
        for y in range(3, 21, 4):
            for x in range(3, 21, 4):
                if (x + y) // 4 % 2 == 0:
                    g.paint(rect(x, y, x + 4, y + 4), 0.45)
        g.paint(frame(3, 3, 21, 21, 1.0), 1.0)
    elif name == "Extend":
        g.paint(poly([(3, 7), (9, 7), (11, 9), (21, 9), (21, 19), (3, 19)]), 1.0)
        g.paint(rect(5, 11, 19, 17), 0.0)
    elif name == "EventLock":
        padlock(g)
    elif name == "Play":
        g.paint(poly([(7, 4), (19, 12), (7, 20)]), 1.0)
    elif name == "Pause":
        g.paint(union(rect(6, 5, 10, 19), rect(14, 5, 18, 19)), 1.0)
    elif name == "Step":
        g.paint(poly([(5, 5), (15, 12), (5, 19)]), 1.0)
        g.paint(rect(16, 5, 19, 19), 1.0)
    elif name == "Stop":
        g.paint(rect(6, 6, 18, 18), 1.0)
    elif name == "Menu":
        g.paint(poly([(6, 9), (18, 9), (12, 16)]), 1.0)
    else:
        raise SystemExit(f"no drawing for {name}")
    if name.endswith("1") and name not in ("GradRemind",):
        older_mark(g)
    return g


def picture():
    rows_top_down = []
    for name in NAMES:
        g = draw(name)
        for y in range(S):
            row = bytearray()
            for x in range(S):
                a = int(round(g.a[y][x] * 255))
                ink = int(round(g.k[y][x] * 255)) if a > 0 else 0
                green = 255 - ink
                row += bytes((green, green, a))  # B, G, R
            rows_top_down.append(bytes(row))
    # 2088 rows of 72 bytes and two zero bytes after them, counted in the image size.
    pixels = b"".join(reversed(rows_top_down)) + b"\0\0"
    assert len(pixels) == 150338
    info = struct.pack("<IiiHHIIiiII", 40, S, S * len(NAMES), 1, 24, 0, len(pixels), 2834, 2834, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    data = head + info + pixels
    assert len(data) == 150392
    return data


def embed(bmp_path, out_path):
    embed_bytes.embed(bmp_path, out_path, "// Made by scripts/make_tool_glyphs.py from resources/glyphs/tool_glyphs.bmp: do not edit.")


def main(argv):
    if len(argv) == 4 and argv[1] == "--embed":
        embed(argv[2], argv[3])
        return
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, "resources", "glyphs", "tool_glyphs.bmp")
    with open(out, "wb") as f:
        f.write(picture())
    print(f"wrote {out}")


if __name__ == "__main__":
    main(sys.argv)
