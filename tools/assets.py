#!/usr/bin/env python3
"""Renders Kestrova's pictures from their SVG sources with rsvg-convert.

  assets.py strip RSVG SIZE OUT.png ICON.svg...   one row of SIZE x SIZE icons, in the given order
  assets.py ico RSVG OUT.ico SOURCE.svg SIZE...   an icon file with one image per size

Icon images up to 48 pixels are stored as 32-bit bitmaps with their mask, the larger ones as
PNG, which every Windows since Vista reads. Standard library only.
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def render(rsvg, source, size, out):
    subprocess.run([rsvg, "-w", str(size), "-h", str(size), "-f", "png", "-o", out, source],
                   check=True)


def chunks(data):
    if data[:8] != PNG_SIGNATURE:
        raise ValueError("not a PNG file")
    pos = 8
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        yield kind, data[pos + 8:pos + 8 + length]
        pos += 12 + length


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_rgba(path):
    """Width, height and the unfiltered RGBA rows of an 8-bit RGBA, non-interlaced PNG."""
    with open(path, "rb") as f:
        data = f.read()
    width = height = None
    packed = b""
    for kind, body in chunks(data):
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or colour != 6 or interlace != 0:
                raise ValueError(f"{path}: expected 8-bit RGBA without interlacing")
        elif kind == b"IDAT":
            packed += body
    raw = zlib.decompress(packed)
    stride = width * 4
    rows = []
    prev = bytearray(stride)
    pos = 0
    for _ in range(height):
        kind = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up = prev[i]
            corner = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + paeth(left, up, corner)) & 0xFF
            elif kind != 0:
                raise ValueError(f"{path}: unknown row filter {kind}")
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def write_rgba(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(PNG_SIGNATURE)
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def make_strip(rsvg, size, out, icons):
    rows = [b""] * size
    with tempfile.TemporaryDirectory() as work:
        for n, icon in enumerate(icons):
            png = os.path.join(work, f"{n}.png")
            render(rsvg, icon, size, png)
            width, height, icon_rows = read_rgba(png)
            if (width, height) != (size, size):
                raise ValueError(f"{icon} rendered as {width}x{height}, not {size}x{size}")
            rows = [row + icon_row for row, icon_row in zip(rows, icon_rows)]
    write_rgba(out, size * len(icons), size, rows)


def bitmap_entry(width, height, rows):
    """A 32-bit bottom-up DIB with its AND mask, as an icon image stores it."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((width + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(width):
            r, g, b, a = row[x * 4:x * 4 + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def make_ico(rsvg, out, source, sizes):
    images = []
    with tempfile.TemporaryDirectory() as work:
        for size in sizes:
            png = os.path.join(work, f"{size}.png")
            render(rsvg, source, size, png)
            if size > 48:
                with open(png, "rb") as f:
                    images.append((size, f.read()))
            else:
                width, height, rows = read_rgba(png)
                images.append((size, bitmap_entry(width, height, rows)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        edge = 0 if size >= 256 else size
        directory += struct.pack("<BBBBHHII", edge, edge, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        body += data
    with open(out, "wb") as f:
        f.write(directory + body)


def main(argv):
    if len(argv) >= 5 and argv[1] == "strip":
        make_strip(argv[2], int(argv[3]), argv[4], argv[5:])
    elif len(argv) >= 6 and argv[1] == "ico":
        make_ico(argv[2], argv[3], argv[4], [int(s) for s in argv[5:]])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
