#!/usr/bin/env python3
"""Draws the program's picture strips data/res/16.png and data/res/32.png.

Each picture is a rounded square in its own colour with a short white label; the strips are
the main window's image lists (16: result rows, backups and menus; 32: the Tools page, in the
order of the tools' ICON numbers in data/utilities.db). Run it again after changing a label.
"""

import os
import struct
import zlib

# A 5 x 7 pixel font for the labels.
FONT = {
    "!": ["00100", "00100", "00100", "00100", "00100", "00000", "00100"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "J": ["00111", "00010", "00010", "00010", "00010", "10010", "01100"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "i": ["00100", "00000", "01100", "00100", "00100", "00100", "01110"],
    ">": ["10000", "01000", "00100", "00010", "00100", "01000", "10000"],
}

# (label, colour as RGB) per picture.
SMALL = [
    ("!", (0xE0, 0x7A, 0x1F)),  # a finding
    ("R", (0x2F, 0x6F, 0xC0)),  # registry
    ("P", (0x7B, 0x4F, 0xB5)),  # privacy
    ("J", (0x7A, 0x80, 0x88)),  # junk files
    ("O", (0x2E, 0x9E, 0x5B)),  # optimisation
    ("B", (0x1C, 0x8C, 0x96)),  # a backup
    ("S", (0x50, 0x5A, 0x66)),  # settings
    ("i", (0x2F, 0x6F, 0xC0)),  # information
]

LARGE = [
    ("RE", (0x2F, 0x6F, 0xC0)),  # Registry Editor
    ("SC", (0x50, 0x5A, 0x66)),  # System Configuration
    ("TM", (0x2E, 0x9E, 0x5B)),  # Task Manager
    ("SV", (0x7B, 0x4F, 0xB5)),  # Services
    ("EV", (0xC0, 0x4A, 0x3A)),  # Event Viewer
    ("SI", (0x1C, 0x8C, 0x96)),  # System Information
    ("DM", (0x8A, 0x6A, 0x2E)),  # Device Manager
    ("DC", (0xE0, 0x7A, 0x1F)),  # Disk Clean-up
    ("DF", (0x3A, 0x7F, 0x9F)),  # Defragment and Optimise Drives
    ("SR", (0x1C, 0x8C, 0x96)),  # System Restore
    ("RM", (0x2E, 0x9E, 0x5B)),  # Resource Monitor
    (">", (0x30, 0x30, 0x38)),  # Command Prompt
]


def coverage_rounded(size, x, y, radius, samples=4):
    """How much of pixel (x, y) lies inside a square of the size with rounded corners."""
    inside = 0
    for sy in range(samples):
        for sx in range(samples):
            px = x + (sx + 0.5) / samples
            py = y + (sy + 0.5) / samples
            cx = min(max(px, radius), size - radius)
            cy = min(max(py, radius), size - radius)
            if (px - cx) ** 2 + (py - cy) ** 2 <= radius * radius:
                inside += 1
    return inside / (samples * samples)


def draw(size, label, colour):
    """One picture as rows of RGBA tuples."""
    radius = size * 0.22
    pixels = []
    for y in range(size):
        row = []
        shade = 1.12 - 0.24 * y / max(size - 1, 1)  # lighter at the top
        base = tuple(min(255, int(c * shade)) for c in colour)
        for x in range(size):
            alpha = coverage_rounded(size, x, y, radius)
            row.append((*base, int(round(alpha * 255))))
        pixels.append(row)
    scale = 1 if size <= 16 else 2
    width = len(label) * 5 * scale + (len(label) - 1) * scale
    left = (size - width) // 2
    top = (size - 7 * scale) // 2
    for i, char in enumerate(label):
        glyph = FONT[char]
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit != "1":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        x = left + i * 6 * scale + gx * scale + dx
                        y = top + gy * scale + dy
                        pixels[y][x] = (255, 255, 255, 255)
    return pixels


def write_png(path, pictures, size):
    width = size * len(pictures)
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for picture in pictures:
            for pixel in picture[y]:
                raw.extend(pixel)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "res")
    os.makedirs(folder, exist_ok=True)
    write_png(os.path.join(folder, "16.png"), [draw(16, l, c) for l, c in SMALL], 16)
    write_png(os.path.join(folder, "32.png"), [draw(32, l, c) for l, c in LARGE], 32)


if __name__ == "__main__":
    main()
