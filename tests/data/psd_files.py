#!/usr/bin/env python3
"""PSD files made and read by psd-tools (Debian's python3-psd-tools), independent of our code.

  psd_files.py make FOLDER   writes the fixtures of tests/data/psd/ (committed; run again only
                             when a fixture changes)
  psd_files.py read FILE     reads a PSD file (one of our exports) and prints key=value lines

The record classes of psd-tools write valid files (its high-level API cannot make layers).
Pixels are chosen from their coordinates so that the test can tell every byte apart.
"""
import io
import struct
import sys

from psd_tools.constants import (BlendMode, ChannelID, ColorMode, Compression, Resource, Tag)
from psd_tools.psd import PSD
from psd_tools.psd.header import FileHeader
from psd_tools.psd.image_data import ImageData
from psd_tools.psd.image_resources import ImageResource, ImageResources
from psd_tools.psd.layer_and_mask import (ChannelData, ChannelImageData, ChannelInfo, ChannelDataList,
                                          LayerAndMaskInformation, LayerFlags, LayerInfo, LayerRecord,
                                          LayerRecords)
from psd_tools.psd.tagged_blocks import TaggedBlocks

W, H = 8, 6


def plane(w, h, f):
    return bytes(f(x, y) & 0xFF for y in range(h) for x in range(w))


def channel(data, w, h, compression, depth=8):
    c = ChannelData(compression=compression)
    c.set_data(data, w, h, depth)
    return c


def layer(rect, planes, key=b'norm', opacity=255, flags=None, name='', luni=None, layer_id=None,
          compression=Compression.RLE):
    left, top, right, bottom = rect
    w, h = right - left, bottom - top
    infos, datas = [], []
    for cid, data in planes:
        c = channel(data, w, h, compression)
        infos.append(ChannelInfo(id=ChannelID(cid), length=len(c.data) + 2))
        datas.append(c)
    blocks = TaggedBlocks()
    if luni is not None:
        blocks.set_data(Tag.UNICODE_LAYER_NAME, luni)
    if layer_id is not None:
        blocks.set_data(Tag.LAYER_ID, layer_id)
    record = LayerRecord(top=top, left=left, bottom=bottom, right=right, channel_info=infos,
                         blend_mode=BlendMode(key), opacity=opacity,
                         flags=flags if flags is not None else LayerFlags(), name=name,
                         tagged_blocks=blocks)
    return record, ChannelDataList(datas)


def resolution_resource(dpi):
    data = struct.pack('>IHHIHH', dpi << 16, 1, 1, dpi << 16, 1, 1)
    return ImageResource(key=Resource.RESOLUTION_INFO, data=data)


def alpha_names_resource(names):
    data = b''.join(bytes([len(n)]) + n for n in names)
    return ImageResource(key=Resource.ALPHA_NAMES_PASCAL, data=data)


def make_psd(mode, channels, merged, layers=(), merged_alpha=False, resources=(), depth=8,
             merged_compression=Compression.RLE, w=W, h=H):
    header = FileHeader(channels=channels, height=h, width=w, depth=depth, color_mode=mode)
    items = [resolution_resource(144)] + list(resources)
    image_resources = ImageResources({r.key: r for r in items})
    records = LayerRecords([r for r, _ in layers])
    data = ChannelImageData([d for _, d in layers])
    count = len(layers)
    info = LayerInfo(layer_count=-count if merged_alpha else count, layer_records=records,
                     channel_image_data=data)
    lmi = LayerAndMaskInformation(layer_info=info)
    image = ImageData(compression=merged_compression)
    image.set_data(merged, header)
    return PSD(header=header, image_resources=image_resources, layer_and_mask_information=lmi,
               image_data=image)


def save(psd, path):
    with open(path, 'wb') as f:
        psd.write(f)


def red(x, y): return 10 + x * 20 + y


def green(x, y): return 100 + x + y * 10


def blue(x, y): return 200 - x - y * 3


def make(folder):
    # Greyscale with one layer (with transparency) and a merged picture.
    grey = plane(W, H, lambda x, y: x * 30 + y)
    alpha = plane(W, H, lambda x, y: 255 - x * 5)
    save(make_psd(ColorMode.GRAYSCALE, 1, [grey],
                  layers=[layer((0, 0, W, H), [(-1, alpha), (0, grey)], name='grey')]),
         f'{folder}/grey_layer.psd')

    # No layers: RGB, grey and bitmap.
    save(make_psd(ColorMode.RGB, 3, [plane(W, H, red), plane(W, H, green), plane(W, H, blue)]),
         f'{folder}/rgb_flat.psd')
    save(make_psd(ColorMode.GRAYSCALE, 1, [grey], merged_compression=Compression.RAW),
         f'{folder}/grey_flat.psd')
    bits = bytes([0b10110000 | y for y in range(H)])  # rows of one byte: width 8
    save(make_psd(ColorMode.BITMAP, 1, [bits], depth=1, merged_compression=Compression.RAW),
         f'{folder}/bitmap_flat.psd')

    # Layers: dissolve at 128 with an offset, a hidden multiply layer, a group divider (0x18),
    # Japanese names, raw, PackBits and zip data; two alpha channels with names.
    r0 = (-10, -5, 4, 3)
    w0, h0 = r0[2] - r0[0], r0[3] - r0[1]
    l0 = layer(r0, [(-1, plane(w0, h0, lambda x, y: 40 + x)), (0, plane(w0, h0, red)),
                    (1, plane(w0, h0, green)), (2, plane(w0, h0, blue))],
               key=b'diss', opacity=128, name='diss', compression=Compression.RAW)
    r1 = (2, 1, 7, 5)
    w1, h1 = 5, 4
    l1 = layer(r1, [(0, plane(w1, h1, red)), (1, plane(w1, h1, green)), (2, plane(w1, h1, blue)),
                    (-1, plane(w1, h1, lambda x, y: 200 + x + y))],
               key=b'mul ', opacity=77, flags=LayerFlags(visible=False, transparency_protected=True),
               name='mul', luni='\u4e57\u7b97\u30ec\u30a4\u30e4', layer_id=41, compression=Compression.ZIP)
    l2 = layer((0, 0, 0, 0), [(-1, b''), (0, b''), (1, b''), (2, b'')],
               flags=LayerFlags(pixel_data_irrelevant=True), name='</Layer group>')
    l3 = layer((0, 0, W, H), [(-1, plane(W, H, lambda x, y: 255)), (0, plane(W, H, red)),
                              (1, plane(W, H, green)), (2, plane(W, H, blue))],
               key=b'scrn', name='', layer_id=7, compression=Compression.ZIP_WITH_PREDICTION)
    sel1 = plane(W, H, lambda x, y: x * y * 5)
    sel2 = plane(W, H, lambda x, y: 255 if x > 3 else 0)
    save(make_psd(ColorMode.RGB, 5, [plane(W, H, red), plane(W, H, green), plane(W, H, blue), sel1, sel2],
                  layers=[l0, l1, l2, l3], resources=[alpha_names_resource([b'first', b'\x83\x8f'])]),
         f'{folder}/layers.psd')

    # Merged transparency (negative layer count) and one alpha channel after it; the transparency
    # position takes a name of the list too.
    l4 = layer((0, 0, W, H), [(0, plane(W, H, red)), (1, plane(W, H, green)), (2, plane(W, H, blue))],
               name='only')
    save(make_psd(ColorMode.RGB, 5, [plane(W, H, red), plane(W, H, green), plane(W, H, blue),
                                     plane(W, H, lambda x, y: 99), sel1],
                  layers=[l4], merged_alpha=True,
                  resources=[alpha_names_resource([b'Transparency', b'sel'])]),
         f'{folder}/merged_alpha.psd')

    # Not 8 bits in grey or RGB: 16-bit RGB and CMYK.
    save(make_psd(ColorMode.RGB, 3, [bytes(W * H * 2)] * 3, depth=16, merged_compression=Compression.RAW),
         f'{folder}/rgb16.psd')
    save(make_psd(ColorMode.CMYK, 4, [plane(W, H, red)] * 4), f'{folder}/cmyk.psd')


def read(path):
    from psd_tools import PSDImage
    with open(path, 'rb') as f:
        raw = f.read()
    psd = PSD.read(io.BytesIO(raw))
    h = psd.header
    print(f'header={h.width},{h.height},{h.channels},{h.depth},{int(h.color_mode)},{h.version}')
    info = psd.layer_and_mask_information.layer_info
    records = info.layer_records if info else []
    print(f'layers={len(records)}')
    print(f'layer_count_field={info.layer_count if info else 0}')
    for i, r in enumerate(records):
        flags = r.flags
        value = (int(flags.transparency_protected) | (0 if flags.visible else 2) | (4 if flags.obsolete else 0) |
                 (8 if flags.photoshop_v5_later else 0) | (16 if flags.pixel_data_irrelevant else 0))
        print(f'layer{i}.rect={r.left},{r.top},{r.right},{r.bottom}')
        print(f'layer{i}.key={r.blend_mode.value.decode("latin1")}')
        print(f'layer{i}.opacity={r.opacity}')
        print(f'layer{i}.flags={value}')
        print(f'layer{i}.name={r.name.encode("latin1", "replace").hex()}')
        luni = r.tagged_blocks.get_data(Tag.UNICODE_LAYER_NAME) if r.tagged_blocks else None
        print(f'layer{i}.luni={(str(luni).encode("utf-8").hex()) if luni is not None else "none"}')
        lyid = r.tagged_blocks.get_data(Tag.LAYER_ID) if r.tagged_blocks else None
        print(f'layer{i}.lyid={int(lyid) if lyid is not None else "none"}')
        ids = []
        for ci, cd in zip(r.channel_info, info.channel_image_data[i]):
            data = cd.get_data(r.width, r.height, h.depth, h.version)
            ids.append(str(int(ci.id)))
            print(f'layer{i}.channel{int(ci.id)}={data.hex()}')
            print(f'layer{i}.compression{int(ci.id)}={int(cd.compression)}')
        print(f'layer{i}.ids={",".join(ids)}')
    merged = psd.image_data.get_data(h, split=True)
    for k, data in enumerate(merged):
        print(f'merged{k}={data.hex()}')
    print(f'merged.compression={int(psd.image_data.compression)}')
    res = psd.image_resources
    for key in (1005, 1006, 1024, 1036):
        block = res.get(key) if hasattr(res, 'get') else None
        if block is None:
            print(f'resource{key}=none')
        else:
            data = block.data if isinstance(block.data, bytes) else raw_resource(raw, key)
            print(f'resource{key}={data.hex()}')
    # The thumbnail through the high-level API (PIL decodes the JPEG).
    image = PSDImage.open(path)
    thumb = image.thumbnail()
    if thumb is None:
        print('thumbnail=none')
    else:
        thumb = thumb.convert('RGB')
        print(f'thumbnail={thumb.width},{thumb.height}')
        print(f'thumbnail.corner={"%02x%02x%02x" % thumb.getpixel((thumb.width - 1, 0))}')
    print(f'layer_names={"|".join(l.name.encode("utf-8").hex() for l in image)}')
    print('ok=1')


def raw_resource(raw, key):
    # Resource bytes as they stand in the file (psd-tools decodes some of them).
    at = 26
    (n,) = struct.unpack('>I', raw[at:at + 4])
    at += 4 + n
    (n,) = struct.unpack('>I', raw[at:at + 4])
    end = at + 4 + n
    at += 4
    while at + 12 <= end:
        (rid,) = struct.unpack('>H', raw[at + 4:at + 6])
        name_len = raw[at + 6]
        at += 6 + ((name_len + 2) & ~1)
        (size,) = struct.unpack('>I', raw[at:at + 4])
        at += 4
        if rid == key:
            return raw[at:at + size]
        at += size + (size & 1)
    return b''


if __name__ == '__main__':
    if len(sys.argv) == 3 and sys.argv[1] == 'make':
        make(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == 'read':
        read(sys.argv[2])
    else:
        sys.exit('usage: psd_files.py make FOLDER | read FILE')
