#!/usr/bin/env python3
"""An independent writer of the first version's files, written from their tables alone: event
streams (.wpe: uint16 codes, payloads, end code 0xFFFF, seal markers 768..783) and layered
pictures (.wpb, "WPB2": 32-byte header, per layer an 8-byte record, a uint32 length and
run-length rows bottom-up, then the event data).

  old_files.py write DIR   writes into DIR:
    open.wpe       new canvas 40 x 30, paper colour, a layer, a pen stroke of 3 points, a filled
                   rectangle, a polygon, a line, the end code (open)
    sealed.wpe     50 events (new canvas, 48 x active layer, end code) with the 16 markers
    partial.wpe    the sealed stream without marker 775
    damaged.wpe    open.wpe with an unknown code in place of its fill rectangle
    truncated.wpe  open.wpe without its last 3 bytes
    trailing.wpe   open.wpe followed by 4 stray bytes
    three.wpb      4 x 3 canvas, 3 layers (modes 0, 1, 3), active 1, runs of every kind, open events
    sealed.wpb     2 x 1 canvas, one layer, the sealed stream
    broken.wpb     2 x 1 canvas, one layer, damaged events
    magic.wpb      three.wpb with the magic "WPB "
Every file's name=size is printed.

Run from anywhere.
"""
import os
import struct
import sys


def u16(v):
    return struct.pack('<H', v)


def i16(v):
    return struct.pack('<h', v)


def colour(c):
    return bytes([(c >> 16) & 255, (c >> 8) & 255, c & 255])


def pen(layer, c, switches, mn, width, gamma, effect, env, speed):
    return (bytes([layer]) + colour(c) + bytes([switches]) +
            b''.join(u16(int(v * 256)) for v in (mn, width, gamma, effect, env, speed)))


def event(code, payload=b''):
    return u16(code) + payload


def stroke(kind, layer, points):
    x, y, p = points[0]
    body = pen(layer, 0x203040, 1, 10, 4, 1, 0.5, 0.5, 1) + i16(x) + i16(y) + i16(int(p * 1024))
    body += u16(len(points) - 1)
    for x, y, p in points[1:]:
        body += i16(x) + i16(y) + i16(int(p * 1024))
    return event(kind, body)


def open_stream():
    ev = [event(512, u16(40) + u16(30)),
          event(513, colour(0xF0E0D0)),
          event(256, bytes([0])),
          stroke(0, 1, [(5, 5, 1.0), (10, 8, 0.5), (15, 12, 1.0), (20, 12, 0.75)]),
          event(296, bytes([1]) + i16(2) + i16(3) + i16(6) + i16(4) + colour(0x102030)),
          event(304, bytes([0]) + colour(0x00FF00) + u16(3) + i16(1) + i16(1) + i16(9) + i16(1) + i16(5) + i16(8)),
          event(305, pen(1, 0x0000FF, 0, 0, 2, 1, 0, 0, 1) + i16(0) + i16(0) + i16(0) + i16(30) + i16(20)),
          event(0xFFFF)]
    return ev


def sealed_stream(skip=None):
    ev = [event(512, u16(40) + u16(30))] + [event(273, bytes([0]))] * 48 + [event(0xFFFF)]
    out = b''
    markers = [m for m in range(768, 784) if m != skip]
    for i, e in enumerate(ev):
        if 1 <= i <= len(markers):
            out += u16(markers[i - 1])
        out += e
    return out


def runs_literal(pixels):
    return bytes([255 - len(pixels)]) + b''.join(colour(p) for p in pixels)


def runs_repeat(n, c):
    return bytes([n]) + colour(c)


def wpb(width, height, paper, layers, active, events, magic=b'WPB2'):
    out = magic + struct.pack('<IIII', 0, width, height, paper)
    out += bytes([len(layers) - 1, active, 0, 0]) + struct.pack('<II', len(events), 0)
    for mode, opacity, visible, data in layers:
        out += bytes([mode, opacity, visible, 0, 0, 0, 0, 0]) + struct.pack('<I', len(data)) + data
    return out + events


def main():
    if len(sys.argv) != 3 or sys.argv[1] != 'write':
        sys.exit(__doc__)
    folder = sys.argv[2]
    files = {}
    ev = open_stream()
    files['open.wpe'] = b''.join(ev)
    files['sealed.wpe'] = sealed_stream()
    files['partial.wpe'] = sealed_stream(skip=775)
    damaged = list(ev)
    damaged[4] = event(299, b'')
    files['damaged.wpe'] = b''.join(damaged)
    files['truncated.wpe'] = files['open.wpe'][:-3]
    files['trailing.wpe'] = files['open.wpe'] + b'\x01\x02\x03\x04'
    # 4 x 3: rows bottom-up. Layer 0: a repeat run per row; layer 1: literals, a zero repeat and
    # an empty literal run; layer 2: mode 3, one repeat run of 12.
    l0 = runs_repeat(4, 0x112233) + runs_repeat(4, 0x445566) + runs_repeat(4, 0x778899)
    l1 = (runs_repeat(0, 0xABCDEF) + bytes([255]) + runs_literal([0x010203, 0x040506, 0x070809, 0x0A0B0C]) +
          runs_repeat(8, 0xFF0000))
    l2 = runs_repeat(12, 0x808080)
    files['three.wpb'] = wpb(4, 3, 0xFFFFFF, [(0, 255, 1, l0), (1, 128, 1, l1), (3, 255, 0, l2)], 1,
                             files['open.wpe'])
    files['sealed.wpb'] = wpb(2, 1, 0xFFFFFF, [(0, 255, 1, runs_repeat(2, 0x123456))], 0, files['sealed.wpe'])
    files['broken.wpb'] = wpb(2, 1, 0xFFFFFF, [(0, 255, 1, runs_repeat(2, 0x123456))], 0, files['damaged.wpe'])
    files['magic.wpb'] = b'WPB ' + files['three.wpb'][4:]
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
        print(f'{name}={len(data)}')


main()
