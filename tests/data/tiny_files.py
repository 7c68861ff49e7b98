#!/usr/bin/env python3
"""Tiny native files whose few bytes claim huge pictures, written from the file tables alone.

  tiny_files.py write FOLDER   writes into FOLDER:
    layer_23000.tfi      136 bytes: a 56-byte header of a 64 x 48 canvas (layers flagged), then
                         one TLYR record of a 23000 x 23000 store (719 x 719 tiles of 32) with no
                         name and no TBIM chunk after it
    thumbnail_10000.tfi  116 bytes: the header of a 64 x 48 canvas, then a TTNL chunk (kind 1,
                         picture) of 10000 x 10000 pixels whose 12 packed bytes unpack to 16
    channel_10000.ttnl   a lone TTNL chunk (kind 1, content code 4, a nib's channel) of
                         10000 x 10000 pixels whose packed bytes unpack to 16
  Prints name=size lines.

Run from anywhere.
"""
import os
import struct
import sys
import zlib


def doc_header(width, height, flags):
    # magic, size 48, width, height, version 1, 4, 58, flags, paper colour, active layer,
    # active mask, resolution, 0, layer count, layer name counter, mask count, mask name counter
    return struct.pack('<4sIiiIHHIIhhHHHhHh8s', b'TPIM', 48, width, height, 1, 4, 58, flags,
                       0xFFFFFF, 0, 0, 72, 0, 1, 1, 0, 0, b'\0' * 8)


def layer_record(store_width, store_height):
    across = (store_width + 31) // 32
    down = (store_height + 31) // 32
    record = struct.pack('<iHBBiiiiiiiiiiiHHBBHi8s',
                         0,           # index
                         0x11,        # visible, dissolve fields valid
                         3, 255,      # normal, opaque
                         32, 32, across, down, store_width, store_height,
                         0, 0,        # offset
                         64, 48,      # canvas it was made for
                         0x00FFFFFF,  # default fill
                         0, 0,        # name length, format level
                         255, 0, 0, 0, b'\0' * 8)
    assert len(record) == 72
    return struct.pack('<4sI', b'TLYR', len(record)) + record


def image_chunk(width, height, content, unpacked):
    packed = zlib.compress(bytes(unpacked))
    padding = (4 - len(packed) % 4) % 4
    info = struct.pack('<HHBBBBiiiiii8s', 1, content, 0, 0, 0, 0, width, height, width, height,
                       len(packed), len(unpacked), b'\0' * 8)
    assert len(info) == 40
    return struct.pack('<4sI', b'TTNL', 40 + len(packed) + padding) + info + packed + b'\0' * padding


def main(argv):
    if len(argv) != 3 or argv[1] != 'write':
        print(__doc__)
        return 2
    folder = argv[2]
    files = {
        'layer_23000.tfi': doc_header(64, 48, 0x101) + layer_record(23000, 23000),
        'thumbnail_10000.tfi': doc_header(64, 48, 0x4) + image_chunk(10000, 10000, 0, b'\0' * 16),
        'channel_10000.ttnl': image_chunk(10000, 10000, 4, b'\0' * 16),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
        print('%s=%d' % (name, len(data)))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
