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
plasma: w, h, roughness (the block's uint16), seed, channels (1 or 3). Output: grid width and
        height, then every channel's grid row by row (blue, green, red for three).
rock:   w, h, seed, contrast, rock. Output: the w x h clouds/rock tile row by row.
kernel: w, h, 25 weights, divisor, offset, then w*h pixels. Output: every pixel's custom 5x5
        colour (alpha from the pixel).
edges:  w, h, then w*h pixels. Output: every pixel's edge-detection colour and its solarized
        colour (two values per pixel, alpha from the pixel).
wave:   w, h, hc, vc, hs, vs, phase bits, variant, then w*h opaque pixels. Output: every pixel's
        wave sample (whole store as Bounds).
twirl:  w, h, angle, sat, then w*h opaque pixels. Output: every pixel's twirl result (the pixel
        itself where the twirl leaves it).
light:  w, h, ambient colour, level, the 14 words of the light record, then w*h pixels. Output:
        every pixel's lit colour (whole store as Bounds).
mirror: w, h, L, T, R, B, then w*h pixels and w*h coverage bytes. Output: for each of the
        horizontal flip, vertical flip and half turn, every pixel of Bounds written by
        PixelLerpARGB with its coverage (pixels outside Bounds as they were).
"""
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from filter_pixels import M32, clamp, level_map, sample4096, tdiv  # noqa: E402

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


def f32bits(v):
    return float(np.array([v], dtype="<i4").view(np.float32)[0])


class Rnd:
    """SRandom: state*134775813 + 1, draws low + ((high - low) * state) >> 32."""

    def __init__(self, seed, low, high):
        self.state, self.low, self.high = seed & M32, low, high

    def draw(self):
        self.state = (self.state * 134775813 + 1) & M32
        return self.low + ((((self.high - self.low) & M32) * self.state) >> 32)


def pow2(n):
    p = 1
    while p < n:
        p *= 2
    return p


def plasma(data):
    data = np.array(data, dtype=np.int64)
    w, h, rough, seed, nch = [int(v) for v in data[:5]]
    r = rough / 256.0
    gw, gh = pow2(w), pow2(h)
    ch = [[[128] * gw for _ in range(gh)] for _ in range(nch)]
    a = math.trunc(r + 0.5)
    rnd = Rnd(seed, -a, a)
    for (px, py) in ((0, 0), (gw // 2, 0), (0, gh // 2), (gw // 2, gh // 2)):
        for c in range(nch):
            ch[c][py][px] = clamp(128 + rnd.draw(), 0, 255)
    step = max(gw, gh)
    half = step // 2
    xm, ym = gw - 1, gh - 1
    if step > 1:
        while True:
            step //= 2
            half //= 2
            a = math.trunc(step * r / math.sqrt(2.0) + 0.5)
            rnd = Rnd(seed, -a, a)
            for j in range(gh // step):
                y0 = j * step
                y1 = (y0 + step) & ym
                for i in range(gw // step):
                    x0 = i * step
                    x1 = (x0 + step) & xm
                    for c in range(nch):
                        p = ch[c]
                        m = (p[y0][x0] + p[y0][x1] + p[y1][x0] + p[y1][x1] + 2) >> 2
                        p[y0 + half][x0 + half] = clamp(rnd.draw() + m, 0, 255)
            a = math.trunc(a / math.sqrt(2.0) + 0.5)
            rnd = Rnd(seed, -a, a)
            for j in range(gh // step):
                y0 = j * step
                y1 = (y0 + step) & ym
                for i in range(gw // step):
                    x0 = i * step
                    x1 = (x0 + step) & xm
                    for c in range(nch):
                        p = ch[c]
                        m = (p[y0][x0] + p[y0][x1] + p[(y0 - half) & ym][x0 + half] + p[y0 + half][x0 + half] + 2) >> 2
                        p[y0][x0 + half] = clamp(rnd.draw() + m, 0, 255)
                    for c in range(nch):
                        p = ch[c]
                        m = (p[y0][x0] + p[y0 + half][(x0 - half) & xm] + p[y0 + half][x0 + half] + p[y1][x0] + 2) >> 2
                        p[y0 + half][x0] = clamp(rnd.draw() + m, 0, 255)
            if step <= 2:
                break
    out = [gw, gh]
    for c in range(nch):
        for row in ch[c]:
            out.extend(row)
    return out


def rock(data):
    data = np.array(data, dtype=np.int64)
    w, h, seed, contrast, is_rock = [int(v) for v in data[:5]]
    base = contrast * (0.005 if is_rock else 0.01)
    rnd = Rnd(seed, 0, 255)
    cosw = [F32((1.0 - math.cos(i * math.pi / 256.0)) / 2.0) for i in range(256)]
    acc = np.full((h, w), 128, dtype=np.int64)
    for o, (div, adiv) in enumerate(zip((64, 32, 16, 8, 3, 1), (2, 3, 4, 8, 12, 8))):
        nw, nh = max(w // div, 1), max(h // div, 1)
        noise = np.array([rnd.draw() for _ in range(nw * nh)], dtype=np.int64).reshape(nh, nw)
        amp = F32(base / adiv) if o < 5 else F32(0.125)
        dx, dy = nw * 65536 // w, nh * 65536 // h
        for j in range(h):
            sy = j * dy
            y0 = (sy >> 16) % nh
            y1 = (y0 + 1) % nh
            fy = cosw[(sy >> 8) & 255]
            for i in range(w):
                sx = i * dx
                x0 = (sx >> 16) % nw
                x1 = (x0 + 1) % nw
                fx = cosw[(sx >> 8) & 255]
                t, u, v, s_ = (int(noise[y0, x0]), int(noise[y0, x1]), int(noise[y1, x0]), int(noise[y1, x1]))
                inner = F32(F32(F32(F32(F32(s_ + t - v - u) * fx) * fy) + F32(F32(v - t) * fy)) + F32(F32(u - t) * fx))
                inner = F32(inner + F32(t - 128))
                value = F32(F32(amp * inner) + F32(int(acc[j, i]))) + F32(0.5)
                acc[j, i] = clamp(int(math.trunc(float(F32(value)))), 0, 255)
    kx, rx = gauss_kernel(w, 1.5)
    ky, ry = gauss_kernel(h, 1.5)

    def blur(line, k, radius):
        n = len(line)
        c = n // 2
        taps = [(k[i], i - c) for i in range(n) if abs(i - c) < radius]
        res = []
        for p in range(n):
            num = den = 0
            for wt, off in taps:
                v = int(line[(p + off) % n])
                num += wt * v * v
                den += wt * v
            res.append(num // den if den else 0)
        return res

    temp = np.zeros((h, w), dtype=np.int64)
    for i in range(w):
        temp[:, i] = blur(list(acc[:, i]), ky, ry)
    out = []
    for j in range(h):
        out.extend(blur(list(temp[j, :]), kx, rx))
    return out


def split(pix):
    return pix & 255, (pix >> 8) & 255, (pix >> 16) & 255


def kernel(data):
    data = np.array(data, dtype=np.int64)
    w, h = int(data[0]), int(data[1])
    k = data[2:27].astype(np.int64).reshape(5, 5)
    div, off = int(data[27]), int(data[28])
    pix = (data[29:29 + w * h].astype(np.int64) & M32).reshape(h, w)
    import scipy.ndimage as ndi
    chans = []
    for c in split(pix):
        s = ndi.correlate(c, k, mode="nearest")
        q = np.array([tdiv(int(v), div) for v in s.ravel()], dtype=np.int64).reshape(h, w)
        chans.append(np.clip(q + off, 0, 255))
    out = (pix & 0xFF000000) | chans[0] | chans[1] << 8 | chans[2] << 16
    return [int(v) for v in out.ravel()]


def edges(data):
    data = np.array(data, dtype=np.int64)
    w, h = int(data[0]), int(data[1])
    pix = (data[2:2 + w * h].astype(np.int64) & M32).reshape(h, w)
    pad = np.pad(pix, 1, mode="edge")
    wts = {(-1, -1): 2, (0, -1): 3, (1, -1): 2, (-1, 0): 3, (1, 0): 3, (-1, 1): 2, (0, 1): 3, (1, 1): 2}
    out = np.zeros((h, w), dtype=np.int64)
    for shift in (0, 8, 16):
        c = (pix >> shift) & 255
        s = np.zeros((h, w), dtype=np.int64)
        for (dx, dy), wt in wts.items():
            n = (pad[1 + dy:1 + dy + h, 1 + dx:1 + dx + w] >> shift) & 255
            s += wt * np.abs(c - n)
        out |= np.clip(255 - s // 5, 0, 255) << shift
    out |= pix & 0xFF000000
    sol = pix & 0xFF000000
    for shift in (0, 8, 16):
        c = (pix >> shift) & 255
        sol |= np.minimum(c, 255 - c) << shift
    res = []
    for a, b in zip(out.ravel(), sol.ravel()):
        res += [int(a), int(b)]
    return res


def fix(x):
    return int(np.rint(x * 65536.0))


def float_mod(x, n):
    r = x - n * math.trunc(x / n)
    if r >= n:
        r -= n
    else:
        for _ in range(2):
            if r < 0:
                r += n
    return r


def wave(data):
    data = np.array(data, dtype=np.int64)
    w, h, hc, vc, hs, vs = [int(v) for v in data[:6]]
    phase = f32bits(int(data[6]))
    variant = int(data[7])
    pix = (data[8:8 + w * h].astype(np.int64) & M32).reshape(h, w)
    m1, m2 = (w, h) if variant == 0 else (h, w)
    tp = 2.0 * math.pi
    cdx, cdy, rdx, rdy = [], [], [], []
    for i in range(w):
        e = float_mod((i * tp / (w - 1) if w > 1 else 0.0) * hc + phase, tp)
        cdx.append(fix(float_mod(math.sin(e) * hs, w)))
        cdy.append(fix(float_mod(math.cos(e) * hs, m1)))
    for j in range(h):
        f = float_mod((j * tp / (h - 1) if h > 1 else 0.0) * vc + phase, tp)
        rdx.append(fix(float_mod(math.cos(f) * vs, m2)))
        rdy.append(fix(float_mod(math.sin(f) * vs, h)))
    out = []
    for y in range(h):
        for x in range(w):
            sx = (x * 65536 + cdx[x] + rdx[y]) % (w * 65536)
            sy = (y * 65536 + cdy[x] + rdy[y]) % (h * 65536)
            out.append(sample4096(pix, sx, sy, True, variant == 2))
    return out


def twirl(data):
    data = np.array(data, dtype=np.int64)
    w, h, angle, sat = [int(v) for v in data[:4]]
    pix = (data[4:4 + w * h].astype(np.int64) & M32).reshape(h, w)
    t = -angle * math.pi / 180.0
    cx, cy = fix(w / 2.0) - 32768, fix(h / 2.0) - 32768
    rx, ry = fix(w / 2.0), fix(h / 2.0)
    kx, ky = fix(rx / ry), fix(ry / rx)
    out = []
    for y in range(h):
        for x in range(w):
            p = int(pix[y, x])
            dx, dy = x * 65536 - cx, y * 65536 - cy
            d = math.sqrt((dx / rx) ** 2 + (dy / ry) ** 2)
            if t == 0 or abs(dy) >= ry or abs(dx) >= rx or not (0 < d < 1):
                out.append(p)
                continue
            a = t * (1 - d) ** 2
            px = dx * math.cos(a) - ((dy * kx) >> 16) * math.sin(a)
            py = ((dx * ky) >> 16) * math.sin(a) + dy * math.cos(a)
            sx = clamp(int(np.rint(px)) + cx, 0, (w - 1) * 65536)
            sy = clamp(int(np.rint(py)) + cy, 0, (h - 1) * 65536)
            out.append(sample4096(pix, sx, sy, False, sat != 0))
    return out


def light(data):
    data = np.array(data, dtype=np.int64)
    w, h, amb, level = [int(v) for v in data[:4]]
    rec = [int(v) for v in data[4:18]]
    pix = [int(v) & M32 for v in data[18:18 + w * h]]
    kind, inten, col, rng = rec[0], rec[1], rec[2] & M32, rec[3]
    fx, fy, hp = f32bits(rec[4]), f32bits(rec[5]), rec[6]
    t, p, spread = f32bits(rec[7]), f32bits(rec[8]), rec[9]
    a = max(w, h)
    red, green, blue = [float(F32(((col >> s) & 255) * inten / 100.0)) for s in (16, 8, 0)]
    lx, ly, lz = float(F32(w * fx)), float(F32(h * fy)), float(F32(a * hp / 100.0))
    inv = float(F32(100.0 / (rng * a)))
    dxv, dyv, dzv = (float(F32(math.cos(t) * math.sin(p))), float(F32(math.sin(t) * math.sin(p))),
                     float(F32(-math.cos(p))))
    k = float(F32(1.0 / (1.0 - math.cos(spread / 2.0 * math.pi / 180.0)))) if kind else 0.0
    offs = [tdiv(((amb >> s) & 255) * level, 100) - 255 for s in (0, 8, 16)]
    out = []
    for y in range(h):
        for x in range(w):
            amounts = (0, 0, 0)
            if kind == 0:
                c = float(F32(math.sqrt((lx - x) ** 2 + (ly - y) ** 2 + lz * lz) * inv))
                if c < 1.0:
                    g = math.cos(c * math.pi / 2) ** 2 if c > 0 else 1.0
                    amounts = (math.trunc(blue * g), math.trunc(green * g), math.trunc(red * g))
            else:
                ux, uy = float(F32(lx - x)), float(F32(ly - y))
                if not (ux == 0 and uy == 0 and lz == 0):
                    dist = math.sqrt(ux * ux + uy * uy + lz * lz)
                    e = dist * inv
                    f = ((dxv * ux + dyv * uy + dzv * lz) / dist + 1.0) * k
                    if e < 1.0 and f < 1.0:
                        if kind == 1:
                            g = (1 - f * f) ** 1.2 * math.cos(e * math.pi / 2)
                        else:
                            s_ = 1 - f * 2 / 9 if f < 0.9 else (11.6 - 12 * f if f < 0.95 else 4 - 4 * f)
                            g = s_ * math.cos(e * math.pi / 2)
                        amounts = (math.trunc(blue * g), math.trunc(green * g), math.trunc(red * g))
            q = pix[y * w + x]
            v = q & 0xFF000000
            for i, s in enumerate((0, 8, 16)):
                v |= clamp(((q >> s) & 255) + amounts[i] + offs[i], 0, 255) << s
            out.append(v)
    return out


def lerp_byte(a, b, wt):
    return (a * wt * 32897 + b * (8388735 - wt * 32897)) >> 23


def lerp_argb(p, c, wt):
    if wt == 0:
        return p
    na = lerp_byte(c >> 24, p >> 24, wt)
    out = p & 0xFFFFFF
    if na != 0:
        if wt == 255:
            out = c & 0xFFFFFF
        else:
            out = 0
            for s in (0, 8, 16):
                out |= (((c >> s) & 255) * wt + ((p >> s) & 255) * (255 - wt)) * 32897 >> 23 << s
    return out | na << 24


def mirror(data):
    data = np.array(data, dtype=np.int64)
    w, h, L, T, R, B = [int(v) for v in data[:6]]
    pix = [int(v) & M32 for v in data[6:6 + w * h]]
    cov = [int(v) for v in data[6 + w * h:6 + 2 * w * h]]
    masked = [(p & 0xFFFFFF) | (((p >> 24) * c // 255) << 24) for p, c in zip(pix, cov)]
    out = []
    for hz, vt in ((1, 0), (0, 1), (1, 1)):
        res = list(pix)
        for y in range(T, B):
            for x in range(L, R):
                c = cov[y * w + x]
                mx = L + R - 1 - x if hz else x
                my = T + B - 1 - y if vt else y
                res[y * w + x] = lerp_argb(pix[y * w + x], masked[my * w + mx], c)
        out += res
    return out


def main():
    mode, src, dst = sys.argv[1], sys.argv[2], sys.argv[3]
    data = [int(x) for x in np.fromfile(src, dtype="<i4")]
    out = {"tables": tables, "gauss": gauss, "median": median, "noise": noise, "diffuse": diffuse,
           "plasma": plasma, "rock": rock, "kernel": kernel, "edges": edges, "wave": wave, "twirl": twirl,
           "light": light, "mirror": mirror}[mode](data)
    np.array([v & M32 for v in out], dtype="<u4").tofile(dst)


if __name__ == "__main__":
    main()
