#!/usr/bin/env python3
"""An independent reader of brush set files (.pmt), written from the file tables alone.

  brush_set.py FILE    prints key=value lines: the set header, then b<N>.<field> for each brush
                       (names as hex bytes, icons and image nibs as size and CRC-32 of pixels)
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from chunk_files import Reader, crc, pad4, read_image_chunk  # noqa: E402


def main(argv):
    data = open(argv[1], 'rb').read()
    r = Reader(data)
    out = []
    magic, rest, version, zero, count, current, flags, alternate = struct.unpack('<4sIHHHhIh', r.take(22))
    positions = r.take(5)
    assert r.take(5) == bytes(5)
    assert magic == b'PMST' and rest == 24 and version == 1 and zero == 0
    out += [('count', count), ('current', current), ('flags', flags)]
    if flags & 1:
        out.append(('alternate', alternate))
    if flags & 2:
        out.append(('positions', ','.join(str(b) for b in positions)))
    for n in range(count):
        chunk_id, size = struct.unpack('<4sI', r.take(8))
        assert chunk_id == b'PMTD', chunk_id
        body = r.take(72)
        (z0, name_len, rec_version, bflags, z12, ptype, opt1, opt2, z19) = struct.unpack('<HHIIIBBBB', body[:20])
        effect, env, speed = struct.unpack('<HHH', body[20:26])
        assert body[26:40] == bytes(14) and body[50:72] == bytes(22) and z0 == 0 and z12 == 0 and z19 == 0
        opacity, gamma, spacing, t1, t2 = struct.unpack('<HHHHH', body[40:50])
        assert size == 72 + name_len + pad4(name_len), 'PMTD size'
        name = r.take(name_len)
        assert r.take(pad4(name_len)) == bytes(pad4(name_len))
        p = 'b%d.' % n
        out += [(p + 'name', name.hex()), (p + 'version', rec_version), (p + 'flags', '%x' % bflags),
                (p + 'type', ptype), (p + 'opt1', opt1), (p + 'opt2', opt2), (p + 'effect', effect),
                (p + 'env', env), (p + 'speed', speed), (p + 'opacity', opacity), (p + 'gamma', gamma),
                (p + 'spacing', spacing), (p + 't1', t1), (p + 't2', t2)]
        if bflags & 2:
            icon = read_image_chunk(r)
            assert icon['content'] == 3 and icon['kind'] & 0xFF == 2
            out += [(p + 'icon', '%dx%d' % icon['size']), (p + 'iconcrc', crc(icon['pixels']))]
        if bflags & 1:
            chunk_id, nib_size = struct.unpack('<4sI', r.take(8))
            assert chunk_id == b'PSHP', chunk_id
            nib = r.take(nib_size)
            kind, nib_name_len = struct.unpack('<HH', nib[0:4])
            curve = nib[16]
            core, floor = struct.unpack('<HH', nib[20:24])
            nsize, minratio, aspect, angle = struct.unpack('<HHHH', nib[40:48])
            nflag = struct.unpack('<I', nib[64:68])[0]
            out += [(p + 'nib', '%d,%d,%d,%d,%d,%d,%d,%d,%d' % (kind, curve, core, floor, nsize, minratio, aspect,
                                                                angle, nflag))]
            if kind == 1:
                image = read_image_chunk(r)
                out += [(p + 'nibimage', '%dx%d' % image['size']), (p + 'nibcrc', crc(image['pixels']))]
    assert r.pos == len(data), 'trailing bytes'
    for key, value in out:
        print('%s=%s' % (key, value))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
