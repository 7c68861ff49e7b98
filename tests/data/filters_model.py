#!/usr/bin/env python3
"""The filters' algorithms, modelled independently with numpy for their tests.

Usage: filters_model.py MODE INPUT OUTPUT. Every file is little-endian int32 values.

tables: n, then n settings, each a kind and its values. Output: the table of each setting.
  0 levels (20 level bytes, linear flag)   -> 256 entries B | G << 8 | R << 16 | A << 24
  1 brightness/contrast (b, c, linear)     -> 256 entries as above
  2 colour balance (3 Single bit patterns) -> 256 entries
  3 posterize (levels)                     -> 256 entries
  4 threshold (threshold)                  -> 256 entries (the luminance table)
  5 invert ()                              -> 256 entries
  6 hue (h, monotone)                      -> 360 values
  7 saturation (s, monotone)               -> 256 values
  8 linear lightness (l)                   -> 256 values
  9 lightness curve (l)                    -> 256 values
gauss:  w, h, sigma (Single bits), work left, top, right, bottom, then w*h pixels. Output per pixel
        of Work (row by row): 1 and the blurred pixel, or 0 and 0 where no tap counted.
median: w, h, r, then w*h opaque pixels. Output: every pixel's per-channel median of its
        edge-replicated (2r+1)^2 window.
noise:  w, h, amount, monochrome, seed, then w*h pixels. Output: every pixel after the noise over
        the whole picture (full coverage).
diffuse: w, h, range, mode, seed, then w*h pixels. Output: every pixel after the square diffuse over
        the whole picture (full coverage, alpha moving).
"""
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from filter_pixels import M32, clamp, level_map, tdiv  # noqa: E402

F32 = np.float32
LD = np.longdouble


def pack(b, g, r):
    return [b[i] | g[i] << 8 | r[i] << 16 | i << 24 for i in range(256)]


def grey(v):
    return pack(v, v, v)


def levels(v):
    lv = v[:20]
    mode = v[20]

    def lfix(x):
        return min(math.trunc(x * 65536 / 255 + 0.5), 65536)

    lo = [lfix(lv[c]) for c in range(4)]
    mid = [math.trunc(lv[4 + c] * 655.36 + 0.5) for c in range(4)]
    hi = [lfix(lv[8 + c]) for c in range(4)]
    olo = [lfix(lv[12 + c]) for c in range(4)]
    ohi = [lfix(lv[16 + c]) for c in range(4)]
    xs = [lfix(i) for i in range(256)]
    cols = []
    for c in (1, 2, 3):
        y = level_map(xs, lo[c], mid[c], hi[c], olo[c], ohi[c], mode)
        z = level_map(y, lo[0], mid[0], hi[0], olo[0], ohi[0], mode)
        cols.append([min(math.trunc(float(F32(int(zz)) * F32(0.0038909912109375)) + 0.5), 255) for zz in z])
    return pack(cols[2], cols[1], cols[0])


def curve_exponent(v):
    a = F32(LD(1) - LD(abs(v)) * LD("0.007"))
    return a if v < 0 else F32(F32(1) / a)


def brightness_contrast(v):
    b, c, linear = clamp(v[0], -100, 100), clamp(v[1], -100, 100), v[2]
    if linear:
        if c < 0:
            d, e = min(tdiv(c * 65536 + 50, 100) + 65536, 65536), 65536
        else:
            d, e = 65536, 65536 - min(tdiv(c * 65436 + 50, 100), 65535)
        return grey([clamp(tdiv((i + b - 127) * d, e) + b + 127, 0, 255) for i in range(256)])
    gb, g1, g2 = curve_exponent(-b), curve_exponent(c), curve_exponent(-c)
    t = []
    for i in range(256):
        x = float(F32(i / 255.0))
        t.append(F32(math.pow(x, float(gb)) - x))
    for j in range(128):
        x = float(F32(j / 127.0))
        t[j] = F32(float(t[j]) + (math.pow(x, float(g1)) - x))
        t[j + 128] = F32(float(t[j + 128]) + (math.pow(x, float(g2)) - x))
    return grey([clamp(math.trunc(i + float(t[i]) * 255.0), 0, 255) for i in range(256)])


def colour_balance(v):
    g = np.array(v[:3], dtype="<i4").view(np.float32)
    x = (np.arange(256, dtype=np.float32) / F32(255)).astype(np.float32)
    cols = []
    for c in range(3):
        with np.errstate(all="ignore"):
            p = (np.power(x, g[c]) * F32(255)).astype(np.float32)
        cols.append([int(clamp(math.trunc(float(min(pp, F32(255)))), 0, 255)) for pp in p])
    return pack(cols[2], cols[1], cols[0])


def posterize(v):
    n = clamp(v[0], 2, 255)
    return grey([clamp((i * n // 255) * 255 // (n - 1), 0, 255) for i in range(256)])


def threshold(v):
    b = clamp(v[0] - 1, 0, 254)
    return grey([clamp((i - b) * 255, 0, 255) for i in range(256)])


def invert(v):
    return grey([255 - i for i in range(256)])


def hue(v):
    h, mono = v[0] % 360, v[1]
    return [(h if mono else (h + k) % 360) * 65536 for k in range(360)]


def saturation(v):
    s, mono = v[0], v[1]
    if mono:
        return [clamp(tdiv(s * 255 + 50, 100), 0, 255) * 65536] * 256
    out = []
    for k in range(256):
        x = k * 65536.0
        if s < 0:
            x = math.trunc(x - x * abs(s) / 100)
        elif s > 0:
            x = math.trunc(x / (255 - abs(s) * 253 / 100) * 255 + 0.5)
        out.append(int(clamp(x, 0, 255 * 65536)))
    return out


def lightness(v):
    ll = clamp(v[0], -100, 100)
    a = (abs(ll) * 255 + 50) // 100
    out = []
    for k in range(256):
        x = k if ll == 0 else k - (k * a + 127) // 255 + (a if ll > 0 else 0)
        out.append(clamp(x, 0, 255))
    return out


def lightness_curve(v):
    ll = clamp(v[0], -100, 100)
    b = F32(LD(1) - LD(abs(ll)) * LD("0.007"))
    c = F32(F32(1) / b)
    p, q = 128 - ll, ll + 127
    out = [int(np.power(LD(k) / LD(p), LD(c)) * LD(128 * 65536)) for k in range(p + 1)]
    out += [int((np.power(LD(k) / LD(q), LD(b)) * LD(127) + LD(128)) * LD(65536)) for k in range(1, q + 1)]
    assert len(out) == 256
    return out


KINDS = [(levels, 21), (brightness_contrast, 3), (colour_balance, 3), (posterize, 1), (threshold, 1),
         (invert, 0), (hue, 2), (saturation, 2), (lightness, 1), (lightness_curve, 1)]


def tables(data):
    n = data[0]
    pos = 1
    out = []
    for _ in range(n):
        fn, count = KINDS[data[pos]]
        out += fn([int(x) for x in data[pos + 1:pos + 1 + count]])
        pos += 1 + count
    return out


def gauss_kernel(n, sigma):
    c = n // 2
    w = [math.exp(-((i - c) ** 2) / (2.0 * sigma * sigma)) for i in range(n)]
    total = sum(w)
    radius = 0
    k = []
    for i in range(n):
        v = w[i] / total
        if v >= 0.01:
            radius = abs(i - c) + 1
        k.append(int(v * 65536.0 + 0.5))
    return k, radius


def gauss_taps(read, k, radius, n, centre):
    """read(index) -> pixel or None; the weighted sums of the taps around centre."""
    sb = sg = sr = sw = sa = cnt = 0
    for t in range(2 * radius + 1):
        pos, ki = centre - radius + t, n // 2 - radius + t
        if ki < 0 or ki >= n or pos < 0 or pos >= n:
            continue
        p = read(pos)
        if p is None:
            continue
        a = p >> 24
        kk = a * (k[ki] >> 5)
        sb += kk * (p & 255)
        sg += kk * ((p >> 8) & 255)
        sr += kk * ((p >> 16) & 255)
        sw += kk
        sa += a
        cnt += 1
    if sw == 0 or cnt == 0:
        return None
    return (sa // cnt) << 24 | (sr // sw) << 16 | (sg // sw) << 8 | sb // sw


def gauss(data):
    w, h = data[0], data[1]
    sigma = float(np.array([data[2]], dtype="<i4").view(np.float32)[0])
    left, top, right, bottom = data[3:7]
    pix = [v & M32 for v in data[7:7 + w * h]]
    kx, ex = gauss_kernel(w, sigma)
    ky, ey = gauss_kernel(h, sigma)
    u, uw = max(0, left - ex), min(w, right + ex)
    inter = {}
    for x in range(u, uw):
        for y in range(top, bottom):
            v = gauss_taps(lambda row: pix[row * w + x], ky, ey, h, y)
            inter[(x, y)] = v if v is not None else 0x00FFFFFF
    out = []
    for y in range(top, bottom):
        for x in range(left, right):
            v = gauss_taps(lambda col: inter.get((col, y)), kx, ex, w, x)
            out += [0, 0] if v is None else [1, v]
    return out


def median(data):
    w, h, r = data[0], data[1], data[2]
    pix = np.array([v & M32 for v in data[3:3 + w * h]], dtype=np.uint64).reshape(h, w)
    padded = np.pad(pix, r, mode="edge")
    out = np.zeros((h, w), dtype=np.uint64)
    for shift in (0, 8, 16, 24):
        ch = (padded >> np.uint64(shift)) & np.uint64(255)
        for y in range(h):
            for x in range(w):
                m = int(np.median(ch[y:y + 2 * r + 1, x:x + 2 * r + 1]))
                out[y, x] |= np.uint64(m << shift)
    return [int(v) for v in out.flatten()]


class Rng:
    def __init__(self, seed):
        self.state = seed & M32

    def draw(self, n):
        self.state = (self.state * 134775813 + 1) & M32
        return (self.state * (n & M32)) >> 32


def noise(data):
    w, h, a, mono, seed = data[:5]
    pix = [v & M32 for v in data[5:5 + w * h]]
    rng = Rng(seed)
    out = []
    for p in pix:
        if mono:
            v = [rng.draw(2 * a)] * 3
        else:
            v = [rng.draw(2 * a) for _ in range(3)]
        r = clamp(((p >> 16) & 255) + v[0] - a, 0, 255)
        g = clamp(((p >> 8) & 255) + v[1] - a, 0, 255)
        b = clamp((p & 255) + v[2] - a, 0, 255)
        out.append((p & 0xFF000000) | r << 16 | g << 8 | b)
    return out


def diffuse(data):
    w, h, rr, mode, seed = data[:5]
    pix = [v & M32 for v in data[5:5 + w * h]]
    rng = Rng(seed)
    out = []
    for y in range(h):
        for x in range(w):
            dx = rng.draw(2 * rr + 1) - rr
            dy = rng.draw(2 * rr + 1) - rr
            s = pix[clamp(y + dy, 0, h - 1) * w + clamp(x + dx, 0, w - 1)]
            cur = pix[y * w + x]
            if mode:
                f = min if mode == 1 else max
                s = sum(f((s >> k) & 255, (cur >> k) & 255) << k for k in (0, 8, 16, 24))
            # Full coverage, alpha moving: a transparent sample keeps the old colour bytes.
            out.append(s if s >> 24 else cur & 0xFFFFFF)
    return out


def main():
    mode, src, dst = sys.argv[1], sys.argv[2], sys.argv[3]
    data = [int(x) for x in np.fromfile(src, dtype="<i4")]
    out = {"tables": tables, "gauss": gauss, "median": median, "noise": noise, "diffuse": diffuse}[mode](data)
    np.array([v & M32 for v in out], dtype="<u4").tofile(dst)


if __name__ == "__main__":
    main()
