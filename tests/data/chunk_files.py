#!/usr/bin/env python3
"""An independent reader and writer of the program's chunk files, written from the file tables
alone (chunk header, packed-image chunk with its byte pass, tiled-block chunks, event chunks).

  chunk_files.py dump-events FILE...       decodes event files; prints N.key=value lines, N
                                           the file's place in the list
  chunk_files.py dump-blocks FILE ID ACROSS DOWN [FILE ID ACROSS DOWN]...
                                           decodes stores written as tiled-block chunks (ID TBIM
                                           or TBMK), one a file; prints N.key=value lines
  chunk_files.py write-fixture FILE        writes the event-file fixture the C++ tests load
                                           (tests/data/py_events_full.te4)
                                           (stream and thumbnail from the formulas below)
  chunk_files.py write-older-filters FILE  writes a recording of every older filter event
                                           (tests/data/py_filters_older.te4), packets from
                                           the packet tables alone

Checksums are zlib's CRC-32 of the decoded bytes. Run from anywhere.
"""
import struct
import sys
import zlib

PIECE = 16384


def crc(data):
    return zlib.crc32(bytes(data)) & 0xFFFFFFFF


def _reverse_groups(out, start, end, group):
    # Whole groups of the piece only; a shorter remainder stays as it is.
    if group < 2:
        return
    limit = start + (end - start) // group * group
    old = bytes(out[start:limit])
    for k in range(group):
        out[start + k:limit:group] = old[group - 1 - k::group]


def _xor_every(out, start, end, xor, stride):
    if xor:
        table = bytes(b ^ ((~xor) & 0xFF) for b in range(256))
        out[start:end:stride + 1] = bytes(out[start:end:stride + 1]).translate(table)


def undo_pass(data, group, xor, stride):
    out = bytearray(data)
    for start in range(0, len(out), PIECE):
        end = min(start + PIECE, len(out))
        _xor_every(out, start, end, xor, stride)
        _reverse_groups(out, start, end, group)
    return bytes(out)


def apply_pass(data, group, xor, stride):
    out = bytearray(data)
    for start in range(0, len(out), PIECE):
        end = min(start + PIECE, len(out))
        _reverse_groups(out, start, end, group)
        _xor_every(out, start, end, xor, stride)
    return bytes(out)


def pad4(n):
    return (4 - n % 4) % 4


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, n):
        if n < 0 or self.pos + n > len(self.data):
            raise ValueError('short read at %d (%d bytes)' % (self.pos, n))
        piece = self.data[self.pos:self.pos + n]
        self.pos += n
        return piece


def read_image_chunk(r):
    chunk_id, size = struct.unpack('<4sI', r.take(8))
    assert chunk_id == b'TTNL', chunk_id
    (kind, content, group, xor, stride, tail, src_w, src_h, w, h, packed_len, unpacked_len,
     zero) = struct.unpack('<HHBBBBiiiiii8s', r.take(40))
    assert zero == bytes(8)
    body = r.take(size - 40)
    packed = body[:packed_len]
    assert size - 40 - packed_len in range(4), 'padding'
    transformed = packed[:packed_len - tail]
    if kind & 0xFF == 2:
        transformed = undo_pass(transformed, group, xor, stride)
    else:
        assert kind & 0xFF == 1, kind
    pixels = zlib.decompress(transformed)
    assert len(pixels) == unpacked_len
    return {'kind': kind, 'content': content, 'group': group, 'xor': xor, 'stride': stride, 'tail': tail,
            'source': (src_w, src_h), 'size': (w, h), 'pixels': pixels}


def dump_events(path):
    with open(path, 'rb') as f:
        r = Reader(f.read())
    out = {}
    chunk_id = r.data[0:4]
    if chunk_id == b'TTNL':
        image = read_image_chunk(r)
        out['thumb_kind'] = image['kind']
        out['thumb_content'] = image['content']
        out['thumb_pass'] = '%d,%d,%d,%d' % (image['group'], image['xor'], image['stride'], image['tail'])
        out['thumb_source'] = '%dx%d' % image['source']
        out['thumb_size'] = '%dx%d' % image['size']
        out['thumb_crc'] = crc(image['pixels'])
        alpha = set(image['pixels'][3::4])
        out['thumb_alpha'] = ','.join(str(a) for a in sorted(alpha))
        chunk_id = r.data[r.pos:r.pos + 4]
    if chunk_id == b'TEVP':
        (cid, size, cw, ch, version, flags, major, minor, steps, length, z1, z2, blocks, block_size,
         z3, z4) = struct.unpack('<4sIiiHHHHiiiiiiii', r.take(56))
        assert size == 48 and (z1, z2, z3, z4) == (0, 0, 0, 0)
        assert blocks == -(-length // block_size)
        stream = bytearray()
        for i in range(blocks):
            bid, bsize, offset, unpacked, packed_len, y1, y2 = struct.unpack('<4sIiiiii', r.take(28))
            assert bid == b'TBEV' and (y1, y2) == (0, 0)
            assert bsize == 20 + packed_len + pad4(packed_len)
            assert offset == len(stream) == i * block_size
            body = r.take(bsize - 20)
            assert body[packed_len:] == bytes(pad4(packed_len))
            data = zlib.decompress(body[:packed_len])
            assert len(data) == unpacked
            stream += data
        out['form'] = 'full'
        out['blocks'] = blocks
        out['block_size'] = block_size
    elif chunk_id == b'TEVS':
        (cid, size, cw, ch, version, flags, major, minor, steps, length, z1,
         z2) = struct.unpack('<4sIiiHHHHiiii', r.take(40))
        assert size == 32 + length + pad4(length) and (z1, z2) == (0, 0)
        stream = r.take(length)
        assert r.take(pad4(length)) == bytes(pad4(length))
        out['form'] = 'raw'
    else:
        raise ValueError('no event chunk: %r' % chunk_id)
    assert r.pos == len(r.data), 'bytes after the event part'
    assert len(stream) == length
    out['canvas'] = '%dx%d' % (cw, ch)
    out['version'] = version
    out['flags'] = flags
    out['app'] = '%d.%d' % (major, minor)
    out['steps'] = steps
    out['length'] = length
    out['stream_crc'] = crc(stream)
    return out


def dump_blocks(path, want_id, across, down):
    with open(path, 'rb') as f:
        r = Reader(f.read())
    side = 32 if want_id == b'TBIM' else 64
    bpp = 4 if want_id == b'TBIM' else 1
    tiles = []  # (committed, bytes or fill)
    chunks = 0
    while len(tiles) < across * down:
        (cid, size, bw, bh, kind, count, packed_len, data_len,
         zero) = struct.unpack('<4sIiiiiii8s', r.take(40))
        assert cid == want_id and (bw, bh) == (side, side) and zero == bytes(8)
        body = r.take(size - 32)
        chunks += 1
        if kind == 1:
            assert data_len == count * 4096 and count <= 16
            assert body[packed_len:] == bytes(pad4(packed_len))
            data = zlib.decompress(body[:packed_len])
            assert len(data) == data_len
            tiles += [(True, data[i * 4096:(i + 1) * 4096]) for i in range(count)]
        else:
            assert kind == 2 and packed_len == 0 and data_len == 4 * count
            values = struct.unpack('<%dI' % count, body[:4 * count])
            tiles += [(False, v) for v in values]
    assert len(tiles) == across * down and r.pos == len(r.data)
    # Every pixel of the tile grid, row by row, as the store's bytes.
    grid = bytearray()
    for row in range(down):
        for y in range(side):
            for column in range(across):
                committed, value = tiles[row * across + column]
                if committed:
                    grid += value[y * side * bpp:(y + 1) * side * bpp]
                else:
                    grid += (struct.pack('<I', value) if bpp == 4 else bytes([value & 0xFF])) * side
    return {'chunks': chunks, 'committed': sum(1 for t in tiles if t[0]), 'grid_crc': crc(grid)}


# The fixture: a stream of FIXTURE_LENGTH bytes, byte i = (i * 7 + i // 251) & 0xFF, in two
# blocks, with a kind-2 thumbnail of 5 x 3 pixels whose pixel (x, y) is B=x*40, G=y*80, R=200,
# A=255, packed at zlib's level 9 (the program packs at another level: only unpacking matters).
FIXTURE_LENGTH = 65536 + 1000
FIXTURE_STEPS = 12
FIXTURE_CANVAS = (640, 384)


def fixture_stream():
    return bytes(((i * 7 + i // 251) & 0xFF) for i in range(FIXTURE_LENGTH))


def write_fixture(path):
    w, h = 5, 3
    pixels = b''.join(struct.pack('<BBBB', x * 40, y * 80, 200, 255) for y in range(h) for x in range(w))
    group, xor, stride, tail = 4, 0x6B, 3, 2
    packed = apply_pass(zlib.compress(pixels, 9), group, xor, stride) + b'\xAA' * tail
    info = struct.pack('<HHBBBBiiiiii8s', 2, 0, group, xor, stride, tail, FIXTURE_CANVAS[0],
                       FIXTURE_CANVAS[1], w, h, len(packed), len(pixels), bytes(8))
    thumb = b'TTNL' + struct.pack('<I', 40 + len(packed) + pad4(len(packed))) + info + packed + bytes(
        pad4(len(packed)))
    stream = fixture_stream()
    block_size = 65536
    blocks = -(-len(stream) // block_size)
    out = thumb + struct.pack('<4sIiiHHHHiiiiiiii', b'TEVP', 48, FIXTURE_CANVAS[0], FIXTURE_CANVAS[1], 40,
                              0x0102, 4, 58, FIXTURE_STEPS, len(stream), 0, 0, blocks, block_size, 0, 0)
    for i in range(blocks):
        piece = stream[i * block_size:(i + 1) * block_size]
        packed = zlib.compress(piece, 9)
        out += struct.pack('<4sIiiiii', b'TBEV', 20 + len(packed) + pad4(len(packed)), i * block_size,
                           len(piece), len(packed), 0, 0) + packed + bytes(pad4(len(packed)))
    with open(path, 'wb') as f:
        f.write(out)


# The older filters' recording: a seeded painting on two layers (the second moved and protecting
# its alpha), a rectangular selection, then one packet of every older filter id, in a raw event
# chunk. Packet layouts: class byte, code byte, payload (little-endian).
OLDER_CANVAS = (48, 36)


def seeded_pixels(w, h, seed):
    state = seed
    out = bytearray()
    for i in range(w * h):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        value = state ^ (state >> 13)
        if i % 7 == 3:
            value &= 0x00FFFFFF  # transparent pixels now and then
        out += struct.pack('<I', value & 0xFFFFFFFF)
    return bytes(out)


def f32(v):
    return struct.unpack('<i', struct.pack('<f', v))[0]


def older_filters_stream():
    w, h = OLDER_CANVAS
    out = bytearray()
    steps = [0]

    def packet(cls, code, payload=b''):
        out.extend(bytes([cls, code]) + payload)
        if cls not in (0, 1):
            steps[0] += 1

    def image(layer, seed):
        pixels = seeded_pixels(w, h, seed)
        header = struct.pack('<hiiBBihi', layer, w, h, 32, 0, len(pixels), 0, len(pixels))
        return header + pixels

    def words(cls, code, layer, values):
        packet(cls, code, struct.pack('<hh', layer, 0) + b''.join(struct.pack('<i', v) for v in values))

    packet(0, 0, struct.pack('<HHH6s', 4, 58, 0, bytes(6)))                        # version 4.58
    packet(2, 8, struct.pack('<iiiiiBBHI', w, h, w, h, 72, 0xFF, 0xFF, 0, 0))       # new document
    packet(12, 2, image(0, 0x1234))                                                 # paint layer 0
    packet(4, 0, struct.pack('<hiiBBH', 1, w, h, 0, 255, 1))                        # layer 1
    packet(12, 2, image(1, 0xBEEF))                                                 # paint layer 1
    packet(4, 6, struct.pack('<hBBii', 1, 0, 0, 5, -3))                             # move layer 1
    packet(4, 20, struct.pack('<hBBH', 1, 0, 255, 3))                               # protect it
    packet(10, 16, struct.pack('<hhBBiiii', 0, 0, 0, 0, 4, 3, 41, 30))              # select

    # First generation (layer 0 unprotected, layer 1 protected).
    packet(32, 8, struct.pack('<hh', 0, 0))                                         # sharpen
    packet(32, 9, struct.pack('<hh', 1, 0))                                         # sharpen more
    words(33, 2, 1, [f32(4.0), f32(0.7)])                                           # motion
    words(34, 3, 0, [1, 5, 20, 15])                                                 # zoom
    words(35, 16, 0, [0, 12, 100, 235, 8, 250])                                     # levels
    words(33, 18, 1, [25, -15])                                                     # contrast
    words(34, 19, 0, [0, 50, -25, 30])                                              # hue
    words(33, 21, 1, [0, 6])                                                        # posterize
    words(33, 22, 0, [0, 48])                                                       # noise
    words(33, 23, 1, [7, 1])                                                        # mosaic
    packet(32, 20, struct.pack('<hh', 0, 0))                                        # greyscale
    # Second generation.
    words(33, 10, 1, [f32(1.5), 0])                                                 # sharpen
    words(33, 32, 0, [f32(1.8), 0])                                                 # Gaussian
    words(34, 33, 1, [f32(0.45), f32(0.55), 1, f32(0.3)])                           # twirl
    words(33, 34, 0, [f32(2.5), f32(0.8)])                                          # emboss
    words(35, 35, 1, [f32(0.4), f32(2.0), f32(3.0), f32(2.5), f32(1.5), 0])         # wave
    words(34, 36, 0, [2, 1, 10, 0xC0305070 - (1 << 32)])                            # tiles
    words(35, 37, 1, [0xFF2050A0 - (1 << 32), 0xFFF0E0C0 - (1 << 32), 99, 35, 20, 16])  # clouds
    light = struct.pack('<iiIiffiffi', 1, 70, 0x00FFC080, 90, 0.3, 0.4, 40, 0.5, 0.6, 30) + bytes(16)
    light2 = struct.pack('<iiIiffiffi', 0, 50, 0x004080FF, 70, 0.7, 0.6, 20, 0.0, 0.0, 0) + bytes(16)
    block = struct.pack('<hhHHH8sIi24s', 0, 0, 112, 2, 56, bytes(8), 0x00E0E0E0, 45, bytes(24))
    packet(38, 39, block + light + light2)                                          # lighting
    floor = bytearray(63)
    struct.pack_into('<ififffiiiI', floor, 0, 50, 55.0, 40, 0.3, 0.25, 0.0, 150, 120, 60, 0x00406080)
    floor[40], floor[41], floor[44], floor[45], floor[46] = 1, 0, 0, 0, 60
    block = struct.pack('<hhHHH8sHH28s', 1, 0, 63, 1, 63, bytes(8), 0, 0, bytes(28))
    packet(38, 40, block + bytes(floor))                                            # older floor
    packet(2, 255)                                                                  # end
    return bytes(out), steps[0]


def write_older_filters(path):
    stream, steps = older_filters_stream()
    w, h = OLDER_CANVAS
    out = struct.pack('<4sIiiHHHHiiii', b'TEVS', 32 + len(stream) + pad4(len(stream)), w, h, 40, 0, 4, 58,
                      steps, len(stream), 0, 0) + stream + bytes(pad4(len(stream)))
    with open(path, 'wb') as f:
        f.write(out)


def main(argv):
    if len(argv) >= 3 and argv[1] == 'dump-events':
        result = {}
        for index, path in enumerate(argv[2:]):
            result.update(('%d.%s' % (index, key), value) for key, value in dump_events(path).items())
    elif len(argv) >= 6 and (len(argv) - 2) % 4 == 0 and argv[1] == 'dump-blocks':
        result = {}
        for index in range((len(argv) - 2) // 4):
            path, chunk_id, across, down = argv[2 + 4 * index:6 + 4 * index]
            found = dump_blocks(path, chunk_id.encode('ascii'), int(across), int(down))
            result.update(('%d.%s' % (index, key), value) for key, value in found.items())
    elif len(argv) == 3 and argv[1] == 'write-fixture':
        write_fixture(argv[2])
        return 0
    elif len(argv) == 3 and argv[1] == 'write-older-filters':
        write_older_filters(argv[2])
        return 0
    else:
        sys.stderr.write(__doc__)
        return 2
    for key, value in result.items():
        print('%s=%s' % (key, value))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
