"""Turns a file into a C++ include of its bytes (the build embeds pictures this way)."""
import os


def embed(source_path, out_path, header):
    """Writes the bytes of source_path as comma-separated numbers, 24 a line, after the header
    comment; an unchanged include is left alone so nothing rebuilds."""
    with open(source_path, "rb") as f:
        data = f.read()
    lines = [header]
    for i in range(0, len(data), 24):
        lines.append(", ".join(str(b) for b in data[i:i + 24]) + ",")
    text = "\n".join(lines) + "\n"
    try:
        with open(out_path) as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    os.makedirs(os.path.dirname(out_path) or ".", exist_ok=True)
    with open(out_path + ".tmp", "w") as f:
        f.write(text)
    os.replace(out_path + ".tmp", out_path)
