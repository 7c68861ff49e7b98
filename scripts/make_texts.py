#!/usr/bin/env python3
"""Builds the program's texts from resources/texts/*.txt.

Writes, into the output folder:
  ResourceTextIds.h        enum class TextId with one name per text, and kTextCount
  ResourceTextBuiltin.inc  the texts as C string literals, in id order (the built-in table)
and the language module (.enu) at the given path:
  "TFTX", u32 version (1), u32 count, count x (u32 offset, u32 length), then the UTF-8 texts;
  all little-endian, offsets from the start of the file, texts without terminating zeros.
Usage: make_texts.py OUT_DIR ENU_PATH TEXT_FILE...
"""
import os
import re
import struct
import sys

LINE = re.compile(r'^([A-Za-z_][A-Za-z0-9_]*)\s*=\s*"(.*)"\s*$')


def unescape(body, where):
    out = bytearray()
    i = 0
    raw = body.encode('utf-8')
    while i < len(raw):
        c = raw[i]
        if c == 0x5C:  # backslash
            if i + 1 >= len(raw):
                raise SystemExit(f'{where}: escape at the end of the text')
            e = chr(raw[i + 1])
            if e in 'nrt\\"':
                out += {'n': b'\n', 'r': b'\r', 't': b'\t', '\\': b'\\', '"': b'"'}[e]
                i += 2
            elif e == 'x':
                digits = raw[i + 2:i + 4].decode('ascii', 'replace')
                if not re.fullmatch(r'[0-9A-Fa-f]{2}', digits):
                    raise SystemExit(f'{where}: \\x needs two hex digits')
                out.append(int(digits, 16))
                i += 4
            else:
                raise SystemExit(f'{where}: unknown escape \\{e}')
        elif c == 0x22:
            raise SystemExit(f'{where}: a quote inside a text must be written \\"')
        else:
            out.append(c)
            i += 1
    if 0 in out:
        raise SystemExit(f'{where}: a text may not hold a zero byte')
    out.decode('utf-8')  # must stay valid UTF-8
    return bytes(out)


def c_literal(data):
    parts = []
    for b in data:
        ch = chr(b)
        if ch == '"' or ch == '\\':
            parts.append('\\' + ch)
        elif b < 0x20 or b == 0x7F:
            parts.append('\\%03o' % b)
        elif ch == '?':
            parts.append('\\?')  # no trigraphs
        else:
            parts.append(None)
            parts[-1] = bytes([b])
    # Join, keeping raw UTF-8 bytes as they are (the source is UTF-8).
    out = bytearray(b'"')
    for p in parts:
        out += p.encode('ascii') if isinstance(p, str) else p
    out += b'"'
    return out.decode('utf-8')


def main(argv):
    if len(argv) < 4:
        raise SystemExit(__doc__)
    out_dir, enu_path, files = argv[1], argv[2], sorted(argv[3:], key=os.path.basename)
    names, texts, seen = [], [], {}
    for path in files:
        with open(path, encoding='utf-8') as f:
            for number, line in enumerate(f, 1):
                line = line.rstrip('\n')
                if not line.strip() or line.lstrip().startswith('#'):
                    continue
                where = f'{path}:{number}'
                m = LINE.match(line)
                if not m:
                    raise SystemExit(f'{where}: expected Name = "text"')
                name = m.group(1)
                if name in seen:
                    raise SystemExit(f'{where}: {name} already stands at {seen[name]}')
                seen[name] = where
                names.append(name)
                texts.append(unescape(m.group(2), where))
    os.makedirs(out_dir, exist_ok=True)

    ids = ['// Made by scripts/make_texts.py from resources/texts/*.txt: do not edit.',
           '#pragma once', '#include <cstdint>', '', 'namespace tf {', '',
           'enum class TextId : std::uint16_t {']
    ids += [f'  {n},' for n in names]
    ids += ['};', '', f'inline constexpr int kTextCount = {len(names)};', '', '}  // namespace tf', '']
    builtin = ['// Made by scripts/make_texts.py from resources/texts/*.txt: do not edit.']
    builtin += [f'{c_literal(t)},' for t in texts]
    builtin.append('')

    head = struct.pack('<4sII', b'TFTX', 1, len(texts))
    offset = len(head) + 8 * len(texts)
    table, data = bytearray(), bytearray()
    for t in texts:
        table += struct.pack('<II', offset + len(data), len(t))
        data += t
    write_if_changed(os.path.join(out_dir, 'ResourceTextIds.h'), '\n'.join(ids).encode('utf-8'))
    write_if_changed(os.path.join(out_dir, 'ResourceTextBuiltin.inc'), '\n'.join(builtin).encode('utf-8'))
    write_if_changed(enu_path, head + bytes(table) + bytes(data))


def write_if_changed(path, data):
    try:
        with open(path, 'rb') as f:
            if f.read() == data:
                return
    except FileNotFoundError:
        pass
    tmp = path + '.tmp'
    with open(tmp, 'wb') as f:
        f.write(data)
    os.replace(tmp, path)


if __name__ == '__main__':
    main(sys.argv)
