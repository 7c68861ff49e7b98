#!/usr/bin/env python3
"""Draws the 33 tool cursors (32 x 32: white shapes with a black outline on transparent ground)
and writes src/app/qt/CursorArt.cpp, which embeds them with their hot spots in the program, and a
preview of each as resources/cursors/<name>.xpm.

Run from the repository root:
    python3 scripts/make_cursors.py
"""
import math
import os

SIZE = 32
NAMES = ["CR_SELECT", "CR_SELECTPLUS", "CR_SELECTMINUS", "CR_SELECTAND", "CR_DRAG", "CR_COPY",
         "CR_DELETE", "CR_PENCIL", "CR_ERASER", "CR_BRUSH", "CR_AIRBRUSH", "CR_BLUR",
         "CR_FINGERTIP", "CR_SPREAD", "CR_BURN", "CR_DODGE", "CR_BUCKET", "CR_MAGICWAND",
         "CR_MAGICWANDPLUS", "CR_MAGICWANDMINUS", "CR_MAGICWANDAND", "CR_MOVE", "CR_TEXT",
         "CR_SPUIT", "CR_SPUITPLUS", "CR_SPUITMINUS", "CR_GRABBER", "CR_ZOOMIN", "CR_ZOOMOUT",
         "CR_DETAIL", "CR_DETAILPLUS", "CR_DETAILMINUS", "CR_DETAILAND"]


class Shape:
    """A set of filled pixels; drawn white with a one-pixel black outline."""

    def __init__(self):
        self.fill = set()
        self.ink = set()  # pixels drawn black inside the shape

    def put(self, x, y, ink=False):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            (self.ink if ink else self.fill).add((x, y))

    def disc(self, cx, cy, r, ink=False):
        for y in range(SIZE):
            for x in range(SIZE):
                if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= r:
                    self.put(x, y, ink)

    def ring(self, cx, cy, r, w, ink=True):
        for y in range(SIZE):
            for x in range(SIZE):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r - w <= d <= r:
                    self.put(x, y, ink)

    def rect(self, x0, y0, x1, y1, ink=False):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, ink)

    def line(self, x0, y0, x1, y1, w, ink=False):
        for y in range(SIZE):
            for x in range(SIZE):
                px, py = x + 0.5, y + 0.5
                dx, dy = x1 - x0, y1 - y0
                l2 = dx * dx + dy * dy
                t = 0 if l2 == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / l2))
                if math.hypot(px - (x0 + t * dx), py - (y0 + t * dy)) <= w / 2:
                    self.put(x, y, ink)

    def polygon(self, points, ink=False):
        for y in range(SIZE):
            for x in range(SIZE):
                px, py = x + 0.5, y + 0.5
                inside = False
                j = len(points) - 1
                for i in range(len(points)):
                    xi, yi = points[i]
                    xj, yj = points[j]
                    if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
                        inside = not inside
                    j = i
                if inside:
                    self.put(x, y, ink)

    def rows(self):
        grid = [["." for _ in range(SIZE)] for _ in range(SIZE)]
        for (x, y) in self.fill | self.ink:
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < SIZE and 0 <= ny < SIZE:
                        grid[ny][nx] = "#"
        for (x, y) in self.fill:
            grid[y][x] = "o"
        for (x, y) in self.ink:
            grid[y][x] = "#"
        return ["".join(r) for r in grid]


def crosshair(s, cx=15, cy=15):
    s.rect(cx - 9, cy, cx - 3, cy)
    s.rect(cx + 3, cy, cx + 9, cy)
    s.rect(cx, cy - 9, cx, cy - 3)
    s.rect(cx, cy + 3, cx, cy + 9)


def arrow(s):
    s.polygon([(1, 1), (1, 17), (5, 13), (8, 20), (11, 19), (8, 12), (13, 12)])


def badge(s, kind):
    """A small mark at the lower right: '+', '-', '&' (intersection) or 'x'."""
    s.rect(21, 21, 30, 30)
    if kind == "+":
        s.rect(23, 25, 28, 26, True)
        s.rect(25, 23, 26, 28, True)
    elif kind == "-":
        s.rect(23, 25, 28, 26, True)
    elif kind == "&":
        s.rect(23, 24, 24, 28, True)
        s.rect(27, 24, 28, 28, True)
        s.rect(23, 23, 28, 23, True)
    elif kind == "x":
        s.line(23, 23, 29, 29, 1.5, True)
        s.line(29, 23, 23, 29, 1.5, True)


def pencil(s):
    s.polygon([(1, 31), (3, 24), (22, 5), (27, 10), (8, 29)])
    s.line(3, 28, 6, 25, 1, True)


def magic_wand(s):
    s.line(3, 29, 19, 13, 3)
    for a in range(4):
        ang = a * math.pi / 2 + math.pi / 4
        s.line(24, 8, 24 + 6 * math.cos(ang), 8 + 6 * math.sin(ang), 2)
    s.disc(24, 8, 2.5)


def spuit(s):
    s.line(2, 29, 16, 15, 3)
    s.polygon([(14, 11), (20, 5), (26, 11), (20, 17)])
    s.disc(24, 7, 4)


def detail(s):
    s.rect(2, 2, 11, 11)
    s.rect(4, 4, 9, 9, True)
    s.rect(14, 14, 23, 23)
    s.line(8, 8, 19, 19, 1.5, True)


def magnifier(s, mark):
    s.disc(12, 12, 9)
    s.ring(12, 12, 9, 1.5)
    s.line(18, 18, 28, 28, 4)
    s.rect(8, 11, 16, 12, True)
    if mark == "+":
        s.rect(11, 8, 12, 16, True)


def draw(name):
    s = Shape()
    hot = (15, 15)
    base, mark = name, None
    for suffix, sign in (("PLUS", "+"), ("MINUS", "-"), ("AND", "&")):
        if name.endswith(suffix) and name[:-len(suffix)] in NAMES:
            base, mark = name[:-len(suffix)], sign
    if base == "CR_SELECT":
        crosshair(s)
    elif base == "CR_DRAG":
        arrow(s)
        s.rect(14, 18, 24, 26)
        hot = (1, 1)
    elif base == "CR_COPY":
        arrow(s)
        mark = "+"
        hot = (1, 1)
    elif base == "CR_DELETE":
        arrow(s)
        mark = "x"
        hot = (1, 1)
    elif base == "CR_PENCIL":
        pencil(s)
        hot = (1, 30)
    elif base == "CR_ERASER":
        s.polygon([(2, 22), (16, 8), (25, 17), (11, 31)])
        s.line(8, 16, 17, 25, 1, True)
        hot = (6, 26)
    elif base == "CR_BRUSH":
        s.line(14, 18, 28, 4, 3)
        s.polygon([(2, 30), (5, 21), (11, 17), (15, 21), (11, 27)])
        hot = (2, 29)
    elif base == "CR_AIRBRUSH":
        s.ring(15, 15, 9, 1.5)
        for (x, y) in [(12, 13), (17, 12), (15, 17), (11, 18), (19, 17), (14, 10)]:
            s.put(x, y, True)
            s.put(x, y)
    elif base == "CR_BLUR":
        s.polygon([(15, 3), (23, 16), (21, 23), (15, 27), (9, 23), (7, 16)])
        hot = (15, 15)
    elif base == "CR_FINGERTIP":
        s.line(5, 27, 17, 10, 6)
        s.disc(18, 8, 4)
        hot = (19, 5)
    elif base == "CR_SPREAD":
        s.ring(15, 15, 8, 1.5)
        for a in range(8):
            ang = a * math.pi / 4
            s.line(15 + 9 * math.cos(ang), 15 + 9 * math.sin(ang), 15 + 13 * math.cos(ang), 15 + 13 * math.sin(ang), 1.5)
    elif base == "CR_BURN":
        s.polygon([(8, 30), (8, 14), (12, 10), (20, 10), (24, 14), (24, 30)])
        s.polygon([(12, 14), (16, 6), (20, 14)], True)
        hot = (16, 4)
    elif base == "CR_DODGE":
        s.line(20, 20, 29, 29, 3)
        s.disc(13, 13, 9)
        s.ring(13, 13, 9, 1.5)
        hot = (13, 13)
    elif base == "CR_BUCKET":
        s.polygon([(4, 14), (14, 4), (26, 16), (16, 26)])
        s.line(5, 15, 15, 5, 1.5, True)
        s.disc(27, 25, 3)
        hot = (27, 28)
    elif base == "CR_MAGICWAND":
        magic_wand(s)
        hot = (24, 8)
    elif base == "CR_MOVE":
        s.line(15, 2, 15, 28, 3)
        s.line(2, 15, 28, 15, 3)
        for (a, b, c) in [((15, 0), (10, 6), (20, 6)), ((15, 30), (10, 24), (20, 24)),
                          ((0, 15), (6, 10), (6, 20)), ((30, 15), (24, 10), (24, 20))]:
            s.polygon([a, b, c])
    elif base == "CR_TEXT":
        s.rect(11, 4, 19, 6)
        s.rect(11, 24, 19, 26)
        s.rect(14, 6, 16, 24)
        hot = (15, 22)
    elif base == "CR_SPUIT":
        spuit(s)
        hot = (2, 29)
    elif base == "CR_GRABBER":
        s.polygon([(7, 14), (9, 8), (12, 13), (13, 4), (16, 4), (17, 12), (19, 5), (22, 6), (22, 13),
                   (24, 9), (27, 10), (25, 22), (21, 28), (12, 28), (6, 20)])
    elif base == "CR_ZOOMIN":
        magnifier(s, "+")
        hot = (12, 12)
    elif base == "CR_ZOOMOUT":
        magnifier(s, "-")
        hot = (12, 12)
    elif base == "CR_DETAIL":
        detail(s)
        hot = (2, 2)
    else:
        raise SystemExit("no artwork for " + name)
    if mark:
        badge(s, mark)
    return s.rows(), hot


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = ['// Made by scripts/make_cursors.py: do not edit.',
           '#include "app/qt/CursorSlots.h"', '', 'namespace tf {', '',
           'const SCursorArt kCursorArt[kCursorSlotCount] = {']
    for name in NAMES:
        rows, hot = draw(name)
        out.append('    {"%s", %d, %d, {' % (name, hot[0], hot[1]))
        for r in rows:
            out.append('        "%s",' % r)
        out.append('    }},')
        with open(os.path.join(root, "resources", "cursors", name.lower() + ".xpm"), "w") as f:
            f.write('/* XPM */\nstatic char *%s[] = {\n"32 32 3 1",\n". c None",\n"# c #000000",\n"o c #FFFFFF",\n' % name.lower())
            f.write(",\n".join('"%s"' % r for r in rows))
            f.write("};\n")
    out += ['};', '', '}  // namespace tf', '']
    with open(os.path.join(root, "src", "app", "qt", "CursorArt.cpp"), "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
