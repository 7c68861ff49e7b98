#!/usr/bin/env python3
"""The filters' shared pixel routines, modelled independently with numpy for their tests.

Usage: filter_pixels.py MODE INPUT OUTPUT. Every file is little-endian int32 values.

conv:    w, h, left, top, kw, kh, divisor, offset, kw*kh weights, w*h pixels (B, G, R, A bytes).
         Output per pixel (row by row): the plain convolution (B, G, R; alpha 0), the
         alpha-weighted one, and 1 or 0 for whether any weight met alpha.
sample:  w, h, n, then n points (x, y in 16.16), then w*h pixels. Output per point: the
         4096-step sampler clamped (plain, saturated), wrapped (plain), and the 8-bit bilinear
         without and with wrap.
levels:  n, then n parameter sets (low, middle, high, out low, out high, mode). Output per set:
         the level map of every value 0 .. 65536.
"""
import math
import sys

import numpy as np

M32 = 0xFFFFFFFF


def s32(v):
    v &= M32
    return v - (1 << 32) if v & 0x80000000 else v


def tdiv(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b >= 0) else -q


def clamp(v, lo, hi):
    return lo if v < lo else hi if v > hi else v


def channels(pixels):
    return [(pixels >> s) & 0xFF for s in (0, 8, 16, 24)]


def conv(data):
    w, h, left, top, kw, kh, divisor, offset = (int(v) for v in data[:8])
    weights = data[8:8 + kw * kh].astype(np.int64).reshape(kh, kw)
    pixels = (data[8 + kw * kh:8 + kw * kh + w * h].astype(np.int64) & M32).reshape(h, w)
    # Edge extension: pad wide enough for any window, then read the window at its place.
    pad = max(abs(left), abs(top), abs(left + kw), abs(top + kh)) + 1
    padded = np.pad(pixels, pad, mode="edge")
    b, g, r, a = channels(padded)
    out = []
    for y in range(h):
        for x in range(w):
            ys, xs = y + top + pad, x + left + pad
            win = [c[ys:ys + kh, xs:xs + kw] for c in (b, g, r, a)]
            sums = [s32(int((weights * c).sum())) for c in win[:3]]
            plain = [clamp(offset + tdiv(s, divisor), 0, 255) for s in sums]
            out.append(plain[0] | plain[1] << 8 | plain[2] << 16)
            nz = weights != 0
            wa_each = weights * win[3]
            wa = s32(int(wa_each[nz].sum()))
            ws = s32(int(weights[nz].sum()))
            if wa != 0 and ws != 0:
                cs = [clamp(offset + tdiv(s32(int((wa_each * c)[nz].sum())), wa), 0, 255) for c in win[:3]]
                alpha = clamp(offset + tdiv(wa, ws), 0, 255)
                out.append(cs[0] | cs[1] << 8 | cs[2] << 16 | alpha << 24)
                out.append(1)
            else:
                q = int(pixels[y, x])
                cs = [clamp(offset + ((q >> s) & 0xFF), 0, 255) for s in (0, 8, 16, 24)]
                out.append(cs[0] | cs[1] << 8 | cs[2] << 16 | cs[3] << 24)
                out.append(0)
    return out


def frac4096(v):
    f = (v >> 4) & 4095
    return f + 1 if f >= 2048 else f


def sample4096(pixels, x, y, wrap, saturate):
    h, w = pixels.shape
    x0, y0 = x >> 16, y >> 16
    if wrap:
        x1 = x0 + 1 - (w if x0 + 1 >= w else 0)
        y1 = y0 + 1 - (h if y0 + 1 >= h else 0)
    else:
        x1, y1 = min(x0 + 1, w - 1), min(y0 + 1, h - 1)
    fx, fy = frac4096(x), frac4096(y)
    taps = [(x0, y0, (4096 - fx) * (4096 - fy)), (x1, y0, fx * (4096 - fy)),
            (x0, y1, (4096 - fx) * fy), (x1, y1, fx * fy)]
    sb = sg = sr = sa = total = 0
    for px, py, wt in taps:
        p = int(pixels[py, px])
        alpha = p >> 24
        if alpha == 0:
            continue
        a = wt * alpha
        sa += a
        rr = (a >> 8) + (a >> 16) + (a >> 24)
        rr += rr >> 23
        sb += rr * (p & 0xFF)
        sg += rr * ((p >> 8) & 0xFF)
        sr += rr * ((p >> 16) & 0xFF)
        total += rr
    if total == 0:
        return 0x00FFFFFF
    cs = [(s + 0x800000) // total for s in (sb, sg, sr)]
    alpha = (sa + 0x800000) >> 24
    if saturate:
        cs = [min(c, 255) for c in cs]
        alpha = min(alpha, 255)
    return (cs[0] | cs[1] << 8 | cs[2] << 16 | alpha << 24) & M32


def bilinear(pixels, x, y, wrap):
    h, w = pixels.shape
    x0, y0 = int(math.trunc(x / 65536)), int(math.trunc(y / 65536))
    fx, fy = (x >> 8) & 255, (y >> 8) & 255
    if wrap:
        x0, y0 = x0 % w, y0 % h
        x1 = 0 if x0 + 1 >= w else x0 + 1
        y1 = 0 if y0 + 1 >= h else y0 + 1
    else:
        x1, y1 = x0 + 1, y0 + 1
    taps = [(x0, y0, (255 - fx) * (255 - fy)), (x1, y0, fx * (255 - fy)),
            (x0, y1, (255 - fx) * fy), (x1, y1, fx * fy)]
    sums = np.zeros(4, dtype=np.int64)
    total = 0
    for px, py, wt in taps:
        if 0 <= px < w and 0 <= py < h:
            sums += wt * np.array(channels(int(pixels[py, px])), dtype=np.int64)
            total += wt
    if total == 0:
        return 0
    c = [int(s) // total for s in sums]
    return c[0] | c[1] << 8 | c[2] << 16 | c[3] << 24


def sample(data):
    w, h, n = (int(v) for v in data[:3])
    points = data[3:3 + 2 * n].astype(np.int64).reshape(n, 2)
    pixels = (data[3 + 2 * n:3 + 2 * n + w * h].astype(np.int64) & M32).reshape(h, w)
    out = []
    for x, y in points:
        x, y = int(x), int(y)
        out += [sample4096(pixels, x, y, False, False), sample4096(pixels, x, y, False, True),
                sample4096(pixels, x, y, True, False), bilinear(pixels, x, y, False), bilinear(pixels, x, y, True)]
    return out


def fixdiv(a, b):
    if b == 0:
        return 0x7FFFFFFF if a > 0 else (-0x80000000 if a < 0 else 0)
    # Exact rounding, ties to even, with integers.
    n = a * 65536
    q, rem = divmod(abs(n), abs(b))
    if 2 * rem > abs(b) or (2 * rem == abs(b) and q & 1):
        q += 1
    q = q if (n >= 0) == (b > 0) else -q
    return clamp(q, -0x80000000, 0x7FFFFFFF)


def fixmul(a, b):
    return s32((a * b) >> 16)


def level_map(values, low, middle, high, out_low, out_high, mode):
    res = np.empty(len(values), dtype=np.int64)
    for i, v in enumerate(values):
        t = fixdiv(int(v) - low, high - low)
        if mode:
            m = (middle + 1) // 2 if middle + 1 >= 0 else -((-(middle + 1)) // 2)
            if m < t:
                f = fixdiv(fixmul(t - m, 32768), 65536 - m) + 32768
            else:
                f = fixdiv(fixmul(t, 32768), m)
        else:
            t = clamp(t, 0, 65536)
            if middle <= 65536:
                p = float(np.float32(t) / np.float32(65536)) ** float(np.float32(middle) / np.float32(65536))
                f = math.trunc(p * 65536)
            else:
                p = (float(np.float32(65536 - t) / np.float32(65536)) **
                     float(np.float32(131072 - middle) / np.float32(65536)))
                f = 65536 - math.trunc(p * 65536)
        t2 = clamp(f, 0, 65536)
        res[i] = clamp(out_low + fixmul(t2, out_high - out_low), 0, 65536)
    return res


def levels(data):
    n = int(data[0])
    sets = data[1:1 + 6 * n].astype(np.int64).reshape(n, 6)
    values = np.arange(0, 65537)
    out = []
    for s in sets:
        out += [int(v) for v in level_map(values, *(int(x) for x in s))]
    return out


def main():
    mode, src, dst = sys.argv[1], sys.argv[2], sys.argv[3]
    data = np.fromfile(src, dtype="<i4").astype(np.int64)
    out = {"conv": conv, "sample": sample, "levels": levels}[mode](data)
    np.array([v & M32 for v in out], dtype="<u4").tofile(dst)


if __name__ == "__main__":
    main()
