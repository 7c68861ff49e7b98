#!/usr/bin/env python3
"""PNG, JPEG and BMP fixtures of the image codec tests, written by PIL (and ImageMagick for a CMYK
JPEG), each with the pixels PIL decodes from it.

  python3 tests/data/image_files.py            writes tests/data/images/<name> and <name>.rgba
  python3 tests/data/image_files.py probe FILE prints what PIL reads from a file the tests wrote

An .rgba file is PIL's decoding: width and height as two little-endian int32, then R, G, B, A
bytes a pixel, top row first (16-bit samples cut to their high byte).
"""
import io
import os
import struct
import subprocess
import sys
import zlib

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, 'images')


def picture(w, h, seed=1):
    rng = np.random.default_rng(seed)
    yy, xx = np.mgrid[0:h, 0:w]
    r = (xx * 255 // max(w - 1, 1)).astype(np.uint8)
    g = (yy * 255 // max(h - 1, 1)).astype(np.uint8)
    b = rng.integers(0, 256, (h, w), dtype=np.uint8)
    a = ((xx + yy) * 37 % 256).astype(np.uint8)
    return np.dstack([r, g, b, a])


def rgba_bytes(im):
    if im.mode in ('I', 'I;16', 'I;16B'):
        arr = (np.asarray(im, dtype=np.uint32) >> 8).astype(np.uint8)
        im = Image.fromarray(arr, 'L')
    if im.mode == 'P' or im.mode == 'PA':
        im = im.convert('RGBA')
    return im.convert('RGBA').tobytes()


def write_expected(name):
    path = os.path.join(OUT, name)
    with Image.open(path) as im:
        im.load()
        data = rgba_bytes(im)
        w, h = im.size
    with open(path + '.rgba', 'wb') as f:
        f.write(struct.pack('<ii', w, h) + data)


def png_fixtures():
    base = picture(13, 7)
    Image.fromarray(base[:, :, :3], 'RGB').save(os.path.join(OUT, 'rgb8.png'))
    Image.fromarray(base, 'RGBA').save(os.path.join(OUT, 'rgba8.png'))
    Image.fromarray(base[:, :, 0], 'L').save(os.path.join(OUT, 'grey8.png'))
    Image.fromarray(base[:, :, :2].copy(), 'LA').save(os.path.join(OUT, 'greya8.png'))
    Image.fromarray(base[:, :, 0] > 128).save(os.path.join(OUT, 'grey1.png'))
    g16 = (base[:, :, 0].astype(np.uint16) * 257 + base[:, :, 2]).astype(np.uint16)
    Image.fromarray(g16).save(os.path.join(OUT, 'grey16.png'))
    # Palette with a tRNS table (transparency per entry), 4-bit and 8-bit.
    p = Image.fromarray((base[:, :, 2] % 16).astype(np.uint8), 'P')
    p.putpalette([v for i in range(16) for v in (i * 16, 255 - i * 16, (i * 77) % 256)])
    p.save(os.path.join(OUT, 'pal4_trns.png'), bits=4, transparency=bytes(range(0, 256, 16)))
    p8 = Image.fromarray(base[:, :, 2], 'P')
    p8.putpalette([v for i in range(256) for v in (i, (i * 3) % 256, 255 - i)])
    p8.save(os.path.join(OUT, 'pal8.png'))
    # pHYs of 300 dpi (11811 pixels per metre).
    Image.fromarray(base[:, :, :3], 'RGB').save(os.path.join(OUT, 'rgb8_300dpi.png'), dpi=(300, 300))
    # 16-bit RGB and RGBA, Adam7 and a tRNS colour, written by ImageMagick (PIL writes none).
    raw = base[:, :, :3].astype(np.uint16) * 257
    ppm = b'P6 13 7 65535\n' + raw.astype('>u2').tobytes()
    magick(ppm, 'ppm:-', ['-define', 'png:bit-depth=16'], 'PNG48:' + os.path.join(OUT, 'rgb16.png'))
    magick(ppm, 'ppm:-', ['-interlace', 'PNG'], 'PNG24:' + os.path.join(OUT, 'rgb8_adam7.png'))
    pam = (b'P7\nWIDTH 13\nHEIGHT 7\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' + base.tobytes())
    magick(pam, 'pam:-', ['-interlace', 'PNG'], 'PNG32:' + os.path.join(OUT, 'rgba8_adam7.png'))
    rgba16 = base.astype(np.uint16) * 257
    pam16 = (b'P7\nWIDTH 13\nHEIGHT 7\nDEPTH 4\nMAXVAL 65535\nTUPLTYPE RGB_ALPHA\nENDHDR\n' +
             rgba16.astype('>u2').tobytes())
    magick(pam16, 'pam:-', [], 'PNG64:' + os.path.join(OUT, 'rgba16.png'))
    Image.fromarray(base[:, :, :3], 'RGB').save(os.path.join(OUT, 'rgb8_trns.png'),
                                                 transparency=tuple(int(v) for v in base[0, 0, :3]))
    for n in ('rgb8', 'rgba8', 'grey8', 'greya8', 'grey1', 'grey16', 'pal4_trns', 'pal8', 'rgb8_300dpi',
              'rgb16', 'rgb8_adam7', 'rgba8_adam7', 'rgba16', 'rgb8_trns'):
        write_expected(n + '.png')


def magick(data, source, options, target):
    subprocess.run(['convert', source] + options + [target], input=data, check=True)


def jpeg_fixtures():
    base = picture(21, 11)
    rgb = Image.fromarray(base[:, :, :3], 'RGB')
    rgb.save(os.path.join(OUT, 'colour.jpg'), quality=90)
    rgb.save(os.path.join(OUT, 'progressive.jpg'), quality=85, progressive=True)
    rgb.save(os.path.join(OUT, 'dpi150.jpg'), quality=85, dpi=(150, 150))
    Image.fromarray(base[:, :, 0], 'L').save(os.path.join(OUT, 'grey.jpg'), quality=90)
    rgb.convert('CMYK').save(os.path.join(OUT, 'cmyk_pil.jpg'), quality=95)
    ppm = b'P6 21 11 255\n' + base[:, :, :3].tobytes()
    magick(ppm, 'ppm:-', ['-colorspace', 'CMYK', '-quality', '95'], 'JPEG:' + os.path.join(OUT, 'cmyk.jpg'))
    # JFIF density in dots per centimetre: unit 2, 40 dots/cm.
    buf = io.BytesIO()
    rgb.save(buf, 'JPEG', quality=85, dpi=(102, 102))
    data = bytearray(buf.getvalue())
    at = data.find(b'JFIF\0')
    data[at + 7] = 2
    data[at + 8:at + 12] = struct.pack('>HH', 40, 40)
    with open(os.path.join(OUT, 'dpcm40.jpg'), 'wb') as f:
        f.write(data)
    # Cut short in its entropy-coded data (a larger picture, so the cut misses the headers).
    buf = io.BytesIO()
    Image.fromarray(picture(64, 48, 3)[:, :, :3], 'RGB').save(buf, 'JPEG', quality=90)
    full = buf.getvalue()
    with open(os.path.join(OUT, 'truncated.jpg'), 'wb') as f:
        f.write(full[:len(full) * 3 // 4])
    for n in ('colour', 'progressive', 'dpi150', 'grey', 'cmyk_pil', 'cmyk', 'dpcm40'):
        write_expected(n + '.jpg')
    # PIL keeps a cut file's decoded part with LOAD_TRUNCATED_IMAGES, as libjpeg does.
    from PIL import ImageFile
    ImageFile.LOAD_TRUNCATED_IMAGES = True
    write_expected('truncated.jpg')
    ImageFile.LOAD_TRUNCATED_IMAGES = False


def bmp_fixtures():
    base = picture(11, 5)
    rgb = Image.fromarray(base[:, :, :3], 'RGB')
    rgb.save(os.path.join(OUT, 'rgb24.bmp'))
    Image.fromarray(base[:, :, 0] > 100).save(os.path.join(OUT, 'mono1.bmp'))
    p8 = Image.fromarray(base[:, :, 2], 'P')
    p8.putpalette([v for i in range(256) for v in (i, (i * 5) % 256, 255 - i)])
    p8.save(os.path.join(OUT, 'pal8.bmp'))
    Image.fromarray(base[:, :, 0], 'L').save(os.path.join(OUT, 'grey8.bmp'))
    Image.fromarray(base, 'RGBA').save(os.path.join(OUT, 'rgbx32.bmp'))  # PIL: 40-byte header, byte 3 kept as written
    # 4 bits, RLE4 and RLE8, 16 bits 555 and 565, a V5 header, top-down: ImageMagick and by hand.
    idx = (base[:, :, 2] % 16).astype(np.uint8)
    pal16 = [(i * 16, 255 - i * 16, (i * 77) % 256) for i in range(16)]
    with open(os.path.join(OUT, 'pal4.bmp'), 'wb') as f:
        f.write(bmp_indexed(idx, pal16, 4, 0))
    with open(os.path.join(OUT, 'rle4.bmp'), 'wb') as f:
        f.write(bmp_indexed(idx, pal16, 4, 2))
    idx8 = base[:, :, 2]
    pal256 = [(i, (i * 5) % 256, 255 - i) for i in range(256)]
    with open(os.path.join(OUT, 'rle8.bmp'), 'wb') as f:
        f.write(bmp_indexed(idx8, pal256, 8, 1))
    with open(os.path.join(OUT, 'rgb555.bmp'), 'wb') as f:
        f.write(bmp_16(base, (0x7C00, 0x03E0, 0x001F), 0))
    with open(os.path.join(OUT, 'rgb565.bmp'), 'wb') as f:
        f.write(bmp_16(base, (0xF800, 0x07E0, 0x001F), 3))
    with open(os.path.join(OUT, 'topdown24.bmp'), 'wb') as f:
        f.write(bmp_24(base, top_down=True))
    with open(os.path.join(OUT, 'v5_32.bmp'), 'wb') as f:
        f.write(bmp_v5_32(base))
    for n in ('rgb24', 'mono1', 'pal8', 'grey8', 'rgbx32', 'pal4', 'rle4', 'rle8', 'rgb555', 'rgb565',
              'topdown24', 'v5_32'):
        write_expected(n + '.bmp')


def info40(w, h, bits, compression, image_size, colours=0):
    return struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, compression, image_size, 2835, 2835, colours, 0)


def file_header(size, offset):
    return struct.pack('<2sIHHI', b'BM', size, 0, 0, offset)


def bmp_indexed(idx, palette, bits, compression):
    h, w = idx.shape
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    rows = []
    for y in range(h - 1, -1, -1):
        row = idx[y]
        if compression == 0:
            if bits == 4:
                packed = bytes(((row[i] << 4) | (row[i + 1] if i + 1 < w else 0)) for i in range(0, w, 2))
            else:
                packed = bytes(row)
            rows.append(packed + bytes((4 - len(packed) % 4) % 4))
        else:
            rows.append(rle_row(row, bits))
    if compression:
        rows[-1] = rows[-1][:-2] + b'\0\1'  # the last end of line becomes the end of the picture
    pixels = b''.join(rows)
    info = info40(w, h, bits, compression, len(pixels), len(palette))
    off = 14 + 40 + len(table)
    return file_header(off + len(pixels), off) + info + table + pixels


def rle_row(row, bits):
    out = bytearray()
    x = 0
    w = len(row)
    while x < w:
        run = 1
        while x + run < w and row[x + run] == row[x] and run < 255:
            run += 1
        if run >= 2 or w - x < 4:
            n = min(run, w - x)
            v = row[x] if bits == 8 else (row[x] << 4) | row[x]
            out += bytes([n, v])
            x += n
        else:
            # an absolute run of up to 8 indexes (an even count: PIL misreads odd RLE4 runs)
            n = min(8, w - x) & ~1
            vals = row[x:x + n]
            if bits == 8:
                data = bytes(vals)
            else:
                data = bytes(((vals[i] << 4) | (vals[i + 1] if i + 1 < n else 0)) for i in range(0, n, 2))
            data += bytes(len(data) % 2)
            out += bytes([0, n]) + data
            x += n
    out += b'\0\0'
    return bytes(out)


def bmp_16(base, masks, compression):
    h, w = base.shape[:2]
    rbits = [bin(m).count('1') for m in masks]
    shifts = [(m & -m).bit_length() - 1 for m in masks]
    rows = []
    for y in range(h - 1, -1, -1):
        raw = b''
        for x in range(w):
            v = 0
            for c in range(3):
                v |= (int(base[y, x, c]) >> (8 - rbits[c])) << shifts[c]
            raw += struct.pack('<H', v)
        rows.append(raw + bytes((4 - len(raw) % 4) % 4))
    pixels = b''.join(rows)
    extra = struct.pack('<III', *masks) if compression == 3 else b''
    off = 14 + 40 + len(extra)
    return file_header(off + len(pixels), off) + info40(w, h, 16, compression, len(pixels)) + extra + pixels


def bmp_24(base, top_down):
    h, w = base.shape[:2]
    order = range(h) if top_down else range(h - 1, -1, -1)
    rows = []
    for y in order:
        raw = bytes(base[y, :, 2::-1][:, :3].tobytes()) if False else b''.join(
            bytes((int(base[y, x, 2]), int(base[y, x, 1]), int(base[y, x, 0]))) for x in range(w))
        rows.append(raw + bytes((4 - len(raw) % 4) % 4))
    pixels = b''.join(rows)
    off = 54
    return file_header(off + len(pixels), off) + info40(w, -h if top_down else h, 24, 0, len(pixels)) + pixels


def bmp_v5_32(base):
    h, w = base.shape[:2]
    rows = []
    for y in range(h - 1, -1, -1):
        rows.append(b''.join(bytes((int(base[y, x, 2]), int(base[y, x, 1]), int(base[y, x, 0]), int(base[y, x, 3])))
                             for x in range(w)))
    pixels = b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', 124, w, h, 1, 32, 3, len(pixels), 3780, 3780, 0, 0)
    info += struct.pack('<IIII', 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    info += b'BGRs' + bytes(36) + bytes(12) + struct.pack('<IIII', 4, 0, 0, 0)
    assert len(info) == 124
    off = 14 + 124
    return file_header(off + len(pixels), off) + info + pixels


def probe(path):
    with Image.open(path) as im:
        im.load()
        print('format=%s' % im.format)
        print('mode=%s' % im.mode)
        print('size=%dx%d' % im.size)
        dpi = im.info.get('dpi')
        print('dpi=%s' % ('%d' % round(dpi[0]) if dpi else 'none'))
        print('progressive=%d' % (1 if im.info.get('progressive') or im.info.get('progression') else 0))
        print('layers=%d' % getattr(im, 'layers', 0))
        print('crc=%08x' % (zlib.crc32(rgba_bytes(im)) & 0xFFFFFFFF))
        print('rgbacrc=%08x' % (zlib.crc32(im.convert('RGBA').tobytes()) & 0xFFFFFFFF))
        if im.format == 'JPEG':
            q = getattr(im, 'quantization', None)
            print('quant0=%d' % (q[0][0] if q else -1))
        raw = rgba_bytes(im)
        print('rgba=%s' % raw.hex())


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == 'probe':
        probe(sys.argv[2])
        return
    os.makedirs(OUT, exist_ok=True)
    png_fixtures()
    jpeg_fixtures()
    bmp_fixtures()


if __name__ == '__main__':
    main()
