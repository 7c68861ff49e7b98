#!/usr/bin/env python3
"""The older filter generations, modelled independently with numpy for their tests.

Usage: filters_older_model.py MODE INPUT OUTPUT. Every file is little-endian int32 values.
Pictures are w*h pixels (B, G, R, A bytes), row by row; the whole picture is selected (coverage
255), so a pixel written with weight 255 takes the new colour (and alpha, where the filter moves
it) outright.

tables: kind and values: 0 posterize (levels), 1 levels (low, middle, high, out low, out high),
        2 brightness/contrast (contrast, brightness). Output: 256 entries.
sharpen1: w, h, more, pixels. Output: the picture after the first sharpen (or sharpen more).
motion1:  w, h, distance (int), angle (Single bits), keep alpha, pixels.
zoom1:    w, h, amount, centre x, centre y, keep alpha, pixels.
mosaic1:  w, h, cell, keep alpha, pixels.
noise1:   w, h, range, monochrome, pixels (seed 0).
gauss2:   w, h, sigma (Single bits), keep alpha, pixels.
emboss2:  w, h, distance, angle (Single bits), pixels.
tiles2:   w, h, count, cell, three colours, protect, pixels (squares).
clouds2:  w, h, seed, contrast / 10 in thousandths. Output: the w x h cloud tile.
"""
import math
import sys

import numpy as np

F32 = np.float32
M32 = 0xFFFFFFFF


def f32(bits):
    return float(np.array([bits], dtype="<i4").view("<f4")[0])


def trunc(x):
    return int(math.trunc(float(x)))


def tdiv(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


def ch(p, s):
    return (p >> s) & 0xFF


def pack(b, g, r, a):
    return (b & 0xFF) | (g & 0xFF) << 8 | (r & 0xFF) << 16 | (a & 0xFF) << 24


def div255(x):
    return (x + 1 + (x >> 8)) >> 8


def blend_color(p, c, a):
    # Colour moved toward c by a (alpha kept): (c*a + p*(255-a)) div 255 per channel.
    out = p & 0xFF000000
    for s in (0, 8, 16):
        out |= ((ch(c, s) * a + ch(p, s) * (255 - a)) // 255) << s
    return out


def lerp_argb(p, c, w):
    na = (ch(c, 24) * w * 32897 + ch(p, 24) * (8388735 - w * 32897)) >> 23
    out = blend_color(p, c, w) if na != 0 else p
    return (out & 0x00FFFFFF) | na << 24


def paint_over(p, c, v):
    d = p >> 24
    na = d + div255(v * (255 - d))
    weight = (v * 255) // (na if na else 1)
    return (blend_color(p, c, weight) & 0x00FFFFFF) | na << 24


def write(p, v, keep):
    return blend_color(p, v, 255) if keep else lerp_argb(p, v, 255)


class Picture:
    def __init__(self, values, w, h):
        self.w, self.h = w, h
        self.p = [int(v) & M32 for v in values[:w * h]]

    def clamped(self, x, y):
        return self.p[min(max(y, 0), self.h - 1) * self.w + min(max(x, 0), self.w - 1)]


# ---- Tables


def posterize(n):
    out, level, edge = [], F32(0), F32(0)
    up, across = F32(255) / F32(n - 1), F32(255) / F32(n)
    for i in range(256):
        v = trunc(level)
        if F32(i) >= F32(across + edge):
            level = F32(level + up)
            edge = F32(edge + across)
        out.append(min(v, 255))
    return out


def levels(lo, mid, hi, o0, o1):
    out = []
    for i in range(256):
        v = min(max(float(i), lo), hi)
        if v < mid:
            t = 0.5 if mid == lo else (v - lo) / (mid - lo) * 0.5
        else:
            t = 0.5 if hi == mid else (v - mid) / (hi - mid) * 0.5 + 0.5
        out.append(min(max(trunc((o1 - o0) * t) + o0, 0), 255))
    return out


def exponent(v):
    t = 1 - abs(v) * 0.007
    return t if v < 0 else 1 / t


def brightness_contrast(c, b):
    e1, e2, e3 = exponent(-b), exponent(c), exponent(-c)
    t = [(i / 255) ** e1 - i / 255 for i in range(256)]
    for j in range(128):
        t[j] += (j / 127) ** e2 - j / 127
        t[128 + j] += (j / 127) ** e3 - j / 127
    return [min(max(trunc(min(max(i / 255 + t[i], 0.0), 1.0) * 255), 0), 255) for i in range(256)]


# ---- First generation


def sharpen1(pic, more):
    centre = 3 if more else 9
    s = centre - 2
    out = []
    for y in range(pic.h):
        for x in range(pic.w):
            c, t, b = pic.clamped(x, y), pic.clamped(x, y - 1), pic.clamped(x, y + 1)
            v = [min(max(trunc((centre * ch(c, k) - ch(t, k) - ch(b, k)) / s), 0), 255) for k in (0, 8, 16)]
            out.append((c & 0xFF000000) | v[0] | v[1] << 8 | v[2] << 16)
    return out


def alpha_mean(pixels, count):
    # Colours weighted by alpha over the pixels, alpha summed and divided by count; None when no
    # pixel has alpha.
    a = sb = sg = sr = 0
    for p in pixels:
        pa = p >> 24
        a += pa
        sb += pa * ch(p, 0)
        sg += pa * ch(p, 8)
        sr += pa * ch(p, 16)
    return None if a == 0 else pack(sb // a, sg // a, sr // a, min(a // count, 255))


def streak(pic, x, y, offsets, keep, old):
    v = alpha_mean((pic.clamped(x + tdiv(ox, 65536), y + tdiv(oy, 65536)) for ox, oy in offsets), len(offsets))
    return old if v is None else write(old, v, keep)


def motion1(pic, d, angle_bits, keep):
    angle = f32(angle_bits)
    dd = float(F32(d))
    cx = float(F32(math.cos(angle) * dd))
    cy = float(F32(math.sin(angle) * dd))
    sx, sy = trunc(cx * 65536), trunc(cy * 65536)
    stx, sty = trunc((-cx - cx) / dd / 3 * 65536), trunc((-cy - cy) / dd / 3 * 65536)
    n = trunc(3 * dd) + 1
    offsets = [(sx + k * stx, sy + k * sty) for k in range(n)]
    return [streak(pic, x, y, offsets, keep, pic.p[y * pic.w + x]) for y in range(pic.h) for x in range(pic.w)]


def zoom1(pic, amount, cx, cy, keep):
    hw, hh = pic.w // 2, pic.h // 2
    a = float(amount)
    step = float(F32(a / math.sqrt(hw * hw + hh * hh)))
    n = trunc(2 * a) + 1

    def line(i, centre):
        l = step * (i - centre) / 2
        return trunc(-l * 65536), trunc(l * 2 / a / 2 * 65536)

    cols = [line(x, cx) for x in range(pic.w)]
    rows = [line(y, cy) for y in range(pic.h)]
    out = []
    for y in range(pic.h):
        for x in range(pic.w):
            offsets = [(cols[x][0] + k * cols[x][1], rows[y][0] + k * rows[y][1]) for k in range(n)]
            out.append(streak(pic, x, y, offsets, keep, pic.p[y * pic.w + x]))
    return out


def mosaic1(pic, n, keep):
    out = list(pic.p)
    for cy in range(0, (pic.h - 1) // n + 1):
        for cx in range(0, (pic.w - 1) // n + 1):
            cell = (pic.clamped(x, y) for y in range(cy * n, cy * n + n) for x in range(cx * n, cx * n + n))
            v = alpha_mean(cell, n * n)
            if v is None:
                continue
            for y in range(cy * n, cy * n + n):
                for x in range(cx * n, cx * n + n):
                    i = min(y, pic.h - 1) * pic.w + min(x, pic.w - 1)
                    out[i] = write(out[i], v, keep)
    return out


def noise1(pic, rng, mono):
    state = [0]

    def draw():
        state[0] = (state[0] * 134775813 + 1) & M32
        value = (state[0] * (rng & M32)) >> 32
        return (value - (1 << 32) if value >= 1 << 31 else value) - tdiv(rng, 2)

    out = []
    for p in pic.p:
        if p >> 24 == 0:
            out.append(p)
            continue
        r = draw()
        g, b = (r, r) if mono else (draw(), draw())
        v = pack(min(max(ch(p, 0) + b, 0), 255), min(max(ch(p, 8) + g, 0), 255), min(max(ch(p, 16) + r, 0), 255), 0)
        out.append(blend_color(p, v, 255))
    return out


# ---- Second generation


def kernel(n, sigma):
    c = n // 2
    w = np.exp(-((np.arange(n) - c) ** 2) / (2.0 * sigma * sigma))
    w = w / w.sum()
    idx = np.nonzero(w >= 0.01)[0]
    radius = int(abs(idx - c).max()) + 1 if len(idx) else 0
    return w.astype(np.float32), radius


def gauss_sums(taps):
    m = t = b = g = r = 0.0
    sa = n = 0
    for w, p in taps:
        a = p >> 24
        wa = float(w) * a
        m += float(w)
        sa += a
        n += 1
        t += wa
        b += wa * ch(p, 0)
        g += wa * ch(p, 8)
        r += wa * ch(p, 16)
    if m == 0 or sa == 0 or n == 0 or t == 0:
        return None
    return pack(*(min(max(trunc(s / t), 0), 255) for s in (b, g, r)), min(sa // n, 255))


def gauss2(pic, sigma, keep):
    w, h = pic.w, pic.h
    kh, rh = kernel(w, abs(sigma))
    kv, rv = kernel(h, abs(sigma))
    clear = 0x00FFFFFF
    temp = [clear] * (w * h)
    for x in range(w):
        for y in range(h):
            taps = [(kv[k + h // 2], pic.p[(y + k) * w + x]) for k in range(-rv, rv + 1)
                    if 0 <= k + h // 2 < h and 0 <= y + k < h]
            v = gauss_sums(taps)
            if v is not None:
                temp[y * w + x] = v
    out = []
    for y in range(h):
        for x in range(w):
            taps = [(kh[k + w // 2], temp[y * w + x + k]) for k in range(-rh, rh + 1)
                    if 0 <= k + w // 2 < w and 0 <= x + k < w]
            v = gauss_sums(taps)
            old = pic.p[y * w + x]
            out.append(old if v is None else write(old, v, keep))
    return out


def bilinear_wrap(pic, x, y):
    x0, y0 = tdiv(x, 65536) % pic.w, tdiv(y, 65536) % pic.h
    fx, fy = (x & M32) >> 8 & 0xFF, (y & M32) >> 8 & 0xFF
    x1, y1 = (x0 + 1) % pic.w, (y0 + 1) % pic.h
    taps = [(x0, y0, (255 - fx) * (255 - fy)), (x1, y0, fx * (255 - fy)), (x0, y1, (255 - fx) * fy), (x1, y1, fx * fy)]
    total = sum(t[2] for t in taps)
    out = 0
    for s in (0, 8, 16, 24):
        out |= (sum(w * ch(pic.p[py * pic.w + px], s) for px, py, w in taps) // total) << s
    return out


def emboss2(pic, distance, angle):
    # (0, 1) turned and scaled, each step rounded to Single.
    vx = float(F32(0.0 * math.cos(angle) - 1.0 * math.sin(angle)))
    vy = float(F32(0.0 * math.sin(angle) + 1.0 * math.cos(angle)))
    ox, oy = float(F32(vx * distance)), float(F32(vy * distance))
    out = []
    for y in range(pic.h):
        for x in range(pic.w):
            t = bilinear_wrap(pic, trunc((x - ox) * 65536), trunc((y - oy) * 65536))
            u = bilinear_wrap(pic, trunc((x + ox) * 65536), trunc((y + oy) * 65536))
            v = [128 + tdiv(ch(t, s) - ch(u, s), 2) for s in (0, 8, 16)]
            out.append(blend_color(pic.p[y * pic.w + x], pack(v[0], v[1], v[2], 0), 255))
    return out


def tiles2(pic, count, cell, colours, protect):
    out = list(pic.p)
    for y in range(pic.h):
        for x in range(pic.w):
            c = colours[(y // cell + x // cell) % count]
            weight = min(255, c >> 24)
            i = y * pic.w + x
            if protect:
                out[i] = blend_color(out[i], c, (weight * 32897 * (c >> 24)) >> 23)
            else:
                out[i] = paint_over(out[i], c, weight)
    return out


def clouds2(w, h, seed, amplitude):
    state = [seed & M32]

    def draw():
        state[0] = (state[0] * 134775813 + 1) & M32
        return (255 * state[0]) >> 32

    table = [trunc((1 - math.cos(i / 256 * 3.1415927)) / 2 * 256) for i in range(256)]

    def lerp(a, b, wt):  # a moved toward b by wt
        return (b * wt + a * (255 - wt)) // 255

    acc = np.full((h, w), 128.0)
    for octave, (div, scale) in enumerate([(64, 1 / 2), (32, 1 / 3), (16, 1 / 4), (8, 1 / 8), (3, 1 / 12), (1, None)]):
        nw, nh = max(w // div, 1), max(h // div, 1)
        noise = [[draw() for _ in range(nw)] for _ in range(nh)]
        sx, sy = trunc(nw / w * 65536), trunc(nh / h * 65536)
        stretched = np.zeros((h, w))
        for y in range(h):
            py = y * sy
            y0 = (py >> 16) % nh
            y1 = (y0 + 1) % nh
            fy = table[(py >> 8) & 0xFF]
            for x in range(w):
                px = x * sx
                x0 = (px >> 16) % nw
                x1 = (x0 + 1) % nw
                fx = table[(px >> 8) & 0xFF]
                top = lerp(noise[y0][x1], noise[y0][x0], 255 - fx)
                bottom = lerp(noise[y1][x1], noise[y1][x0], 255 - fx)
                stretched[y, x] = lerp(top, bottom, fy)
        a = 0.125 if scale is None else amplitude * scale
        b = math.trunc(a * 255)
        acc = np.clip(np.trunc(acc - 128 + b * (stretched - 128) / 255 + 128), 0, 255)
    kh, rh = kernel(w, 1.5)
    kv, rv = kernel(h, 1.5)

    def smooth(line, k, radius):
        n = len(line)
        out = np.zeros(n)
        for i in range(n):
            num = den = 0.0
            for t in range(-radius, radius + 1):
                if 0 <= t + n // 2 < n:
                    v = line[(i + t) % n]
                    num += float(k[t + n // 2]) * v * v
                    den += float(k[t + n // 2]) * v
            out[i] = 0 if den == 0 else min(max(math.trunc(num / den), 0), 255)
        return out

    temp = np.array([smooth(acc[:, x], kv, rv) for x in range(w)]).T
    tile = np.array([smooth(temp[y, :], kh, rh) for y in range(h)])
    return [int(v) for v in tile.flatten()]


def main():
    mode, src, dst = sys.argv[1:4]
    v = [int(x) for x in np.fromfile(src, dtype="<i4")]
    if mode == "tables":
        kind = v[0]
        out = posterize(v[1]) if kind == 0 else levels(*v[1:6]) if kind == 1 else brightness_contrast(v[1], v[2])
    elif mode == "clouds2":
        out = clouds2(v[0], v[1], v[2], v[3] / 1000)
    else:
        w, h = v[0], v[1]
        counts = {"sharpen1": 1, "motion1": 3, "zoom1": 4, "mosaic1": 2, "noise1": 2, "gauss2": 2, "emboss2": 2,
                  "tiles2": 6}
        k = counts[mode]
        args = v[2:2 + k]
        pic = Picture(v[2 + k:], w, h)
        if mode == "sharpen1":
            out = sharpen1(pic, args[0])
        elif mode == "motion1":
            out = motion1(pic, args[0], args[1], args[2])
        elif mode == "zoom1":
            out = zoom1(pic, *args)
        elif mode == "mosaic1":
            out = mosaic1(pic, args[0], args[1])
        elif mode == "noise1":
            out = noise1(pic, args[0], args[1])
        elif mode == "gauss2":
            out = gauss2(pic, f32(args[0]), args[1])
        elif mode == "emboss2":
            out = emboss2(pic, f32(args[0]), f32(args[1]))
        else:
            out = tiles2(pic, args[0], args[1], [c & M32 for c in args[2:5]], args[5])
    np.array([x & M32 for x in out], dtype="<u4").tofile(dst)


if __name__ == "__main__":
    main()
