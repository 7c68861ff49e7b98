#!/usr/bin/env python3
"""An independent reader and writer of the program's native document files (.tfi), written from
the file tables alone: the 56-byte header, the layer chunk TLYR with its TBIM tiled blocks, the
mask chunk TMSK with its TBMK blocks; other chunks are passed over by their size.

  doc_files.py dump-doc FILE     prints key=value lines: the header fields, then per layer
                                 (layer.N.*) and per mask (mask.N.*) the record fields and the
                                 CRC-32 of the store's pixels row by row (layers 4 bytes B, G, R,
                                 A a pixel; masks 1 byte), as the tiles reassemble them
  doc_files.py write-doc FILE    writes the document the C++ tests open: canvas 50 x 40; layer 0
                                 "py0" normal, 50 x 40, pixel (x, y) = B x*5, G y*6, R 77, A 255
                                 (kind-1 blocks); layer 1 "py1" mode 9, opacity 128, store 70 x 40
                                 at offset (-10, 0), every tile uniform 0x40102030 (kind-2 blocks);
                                 mask 0 "pm" 64 x 64 at offset (3, -2), value (x + y) & 0xFF

Run from anywhere.
"""
import struct
import sys
import zlib


def crc(data):
    return zlib.crc32(bytes(data)) & 0xFFFFFFFF


def pad4(n):
    return (4 - n % 4) % 4


def read_tiles(data, pos, want_id, across, down):
    """Reads tiled-block chunks from pos until across x down tiles are placed; returns
    (tiles, new position). A tile is (committed, bytes) or (False, fill)."""
    tiles = []
    side = 32 if want_id == b'TBIM' else 64
    while len(tiles) < across * down:
        (cid, size, bw, bh, kind, count, packed_len, data_len,
         zero) = struct.unpack_from('<4sIiiiiii8s', data, pos)
        assert cid == want_id and (bw, bh) == (side, side), (cid, bw, bh)
        body = data[pos + 40:pos + 8 + size]
        pos += 8 + size
        if kind == 1:
            raw = zlib.decompress(body[:packed_len])
            assert len(raw) == data_len == count * 4096
            tiles += [(True, raw[i * 4096:(i + 1) * 4096]) for i in range(count)]
        else:
            assert kind == 2 and data_len == 4 * count
            tiles += [(False, v) for v in struct.unpack_from('<%dI' % count, body)]
    return tiles, pos


def assemble(tiles, across, width, height, side, bpp):
    out = bytearray()
    for y in range(height):
        row, ty = y // side, y % side
        for x in range(width):
            column, tx = x // side, x % side
            committed, value = tiles[row * across + column]
            if committed:
                at = (ty * side + tx) * bpp
                out += value[at:at + bpp]
            else:
                out += struct.pack('<I', value) if bpp == 4 else bytes([value & 0xFF])
    return out


def dump_doc(path):
    with open(path, 'rb') as f:
        data = f.read()
    (magic, size, width, height, version, four, fifty_eight, flags, paper, active_layer, active_mask,
     dpi, zero, layers, layer_counter, masks, mask_counter) = struct.unpack_from('<4sIiiIHHIIhhHHHhHh', data, 0)
    assert magic == b'TPIM' and size == 48 and version == 1
    out = {'width': width, 'height': height, 'flags': flags, 'paper': paper, 'dpi': dpi,
           'layers': layers, 'masks': masks, 'active_layer': active_layer, 'active_mask': active_mask,
           'layer_counter': layer_counter, 'mask_counter': mask_counter}
    pos = 56
    n_layer = n_mask = 0
    chunks = []
    while pos < len(data):
        cid, csize = struct.unpack_from('<4sI', data, pos)
        chunks.append(cid.decode('ascii'))
        if cid == b'TLYR':
            (index, lflags, mode, opacity, tw, th, across, down, sw, sh, ox, oy, cw, ch, fill, name_len, level,
             dis_opacity, depth, _, seed) = struct.unpack_from('<iHBBiiiiiiiiiiIHHBBHi', data, pos + 8)
            assert (tw, th) == (32, 32) and across == (sw + 31) // 32 and down == (sh + 31) // 32
            name = data[pos + 80:pos + 80 + name_len - 1]
            tiles, pos = read_tiles(data, pos + 8 + csize, b'TBIM', across, down)
            key = 'layer.%d.' % n_layer
            for k, v in (('name', name.hex()), ('flags', lflags), ('mode', mode), ('opacity', opacity),
                         ('store', '%dx%d' % (sw, sh)), ('offset', '%d,%d' % (ox, oy)), ('level', level),
                         ('dissolve', dis_opacity), ('depth', depth), ('seed', seed),
                         ('crc', crc(assemble(tiles, across, sw, sh, 32, 4)))):
                out[key + k] = v
            n_layer += 1
        elif cid == b'TMSK':
            (index, mflags, _, tw, th, across, down, sw, sh, ox, oy, cw, ch, fill, name_len,
             level) = struct.unpack_from('<iHHiiiiiiiiiiIHH', data, pos + 8)
            name = data[pos + 80:pos + 80 + name_len - 1]
            key = 'mask.%d.' % n_mask
            out[key + 'name'] = name.hex()
            out[key + 'store'] = '%dx%d' % (sw, sh) if mflags & 1 else 'none'
            pos += 8 + csize
            if mflags & 1:
                tiles, pos = read_tiles(data, pos, b'TBMK', across, down)
                out[key + 'offset'] = '%d,%d' % (ox, oy)
                out[key + 'crc'] = crc(assemble(tiles, across, sw, sh, 64, 1))
            n_mask += 1
        else:
            pos += 8 + csize
    out['layers_read'] = n_layer
    out['masks_read'] = n_mask
    out['chunks'] = ','.join(dict.fromkeys(chunks))
    return out


def tiled_chunks(chunk_id, side, bpp, across, down, tile_bytes):
    """Writes every tile: a callable tile_bytes(column, row) gives bytes (committed) or an int (fill)."""
    out = bytearray()
    tiles = [tile_bytes(c, r) for r in range(down) for c in range(across)]
    i = 0
    while i < len(tiles):
        j = i
        committed = not isinstance(tiles[i], int)
        while j < len(tiles) and (not isinstance(tiles[j], int)) == committed and (not committed or j - i < 16):
            j += 1
        run = tiles[i:j]
        if committed:
            raw = b''.join(run)
            packed = zlib.compress(raw, 6)
            body = struct.pack('<iiiiii8s', side, side, 1, len(run), len(packed), len(raw), bytes(8)) + packed
            body += bytes(pad4(len(packed)))
        else:
            values = struct.pack('<%dI' % len(run), *run)
            body = struct.pack('<iiiiii8s', side, side, 2, len(run), 0, len(values), bytes(8)) + values
        out += struct.pack('<4sI', chunk_id, len(body)) + body
        i = j
    return out


def named_record(chunk_id, record, name):
    name_bytes = name + b'\0'
    name_bytes += bytes(pad4(len(name_bytes)))
    return struct.pack('<4sI', chunk_id, 72 + len(name_bytes)) + record + name_bytes


def write_doc(path):
    width, height = 50, 40
    header = struct.pack('<4sIiiIHHIIhhHHHhHh8s', b'TPIM', 48, width, height, 1, 4, 58, 0x1 | 0x2 | 0x100 | 0x200,
                         0xFFFFFF, 1, 0, 300, 0, 2, 2, 1, 1, bytes(8))
    out = bytearray(header)

    def layer(index, flags, mode, opacity, sw, sh, ox, oy, name, tile_bytes):
        across, down = (sw + 31) // 32, (sh + 31) // 32
        record = struct.pack('<iHBBiiiiiiiiiiIHHBBHi8s', index, flags, mode, opacity, 32, 32, across, down, sw, sh,
                             ox, oy, width, height, 0x00FFFFFF, len(name) + 1, 0 if mode <= 3 else 1, 255, 0, 0, 0,
                             bytes(8))
        return named_record(b'TLYR', record, name) + tiled_chunks(b'TBIM', 32, 4, across, down, tile_bytes)

    def photo_tile(column, row):
        tile = bytearray()
        for ty in range(32):
            for tx in range(32):
                x, y = column * 32 + tx, row * 32 + ty
                tile += bytes([(x * 5) & 0xFF, (y * 6) & 0xFF, 77, 255])
        return bytes(tile)

    out += layer(0, 0x11, 3, 255, width, height, 0, 0, b'py0', photo_tile)
    out += layer(1, 0x11, 9, 128, 70, height, -10, 0, b'py1', lambda c, r: 0x40102030)

    def mask_tile(column, row):
        return bytes(((x + y) & 0xFF) for y in range(64) for x in range(64))

    record = struct.pack('<iHHiiiiiiiiiiIHH16s', 0, 1, 0, 64, 64, 1, 1, 64, 64, 3, -2, width, height, 0, 3, 0,
                         bytes(16))
    out += named_record(b'TMSK', record, b'pm') + tiled_chunks(b'TBMK', 64, 1, 1, 1, mask_tile)
    with open(path, 'wb') as f:
        f.write(out)


def main(argv):
    if len(argv) == 3 and argv[1] == 'dump-doc':
        for key, value in dump_doc(argv[2]).items():
            print('%s=%s' % (key, value))
    elif len(argv) == 3 and argv[1] == 'write-doc':
        write_doc(argv[2])
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
