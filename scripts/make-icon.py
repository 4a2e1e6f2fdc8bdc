#!/usr/bin/env python3
"""Draws Tarnvik's icon and writes it as src/ui/tarnvik.ico.

The icon is a blue rounded square with a white play triangle and, below
it, a timeline whose orange piece is the clip. Every size Windows asks for
(16 to 256 pixels) is drawn on its own, anti-aliased, so small sizes stay
crisp, and stored as PNG, which Windows reads in icons of every size since
Vista: a fraction of the bytes of bitmaps.

The build uses the committed .ico and does not run this script. After a
change here, regenerate it from the repository root with

    python3 scripts/make-icon.py

and commit src/ui/tarnvik.ico. Only python3's standard library is needed.
"""
import os
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
SAMPLES = 4     # per pixel and axis, for the anti-aliasing

BLUE_TOP = (37, 99, 235)
BLUE_BOTTOM = (30, 64, 175)
WHITE = (255, 255, 255)
TRACK = (147, 180, 246)
ORANGE = (245, 158, 11)


def in_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_play_triangle(x, y):
    # Points right: left edge at x 0.36, tip at (0.72, 0.40).
    if x < 0.36:
        return False
    half = 0.20 * (0.72 - x) / 0.36
    return abs(y - 0.40) <= half


def colour_at(x, y):
    """The icon's colour at (x, y) in 0..1 coordinates, or None outside it."""
    if not in_rounded_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.20):
        return None
    if in_play_triangle(x, y):
        return WHITE
    if in_rounded_rect(x, y, 0.36, 0.69, 0.66, 0.83, 0.04):
        return ORANGE
    if in_rounded_rect(x, y, 0.16, 0.73, 0.84, 0.79, 0.03):
        return TRACK
    t = (y - 0.03) / 0.94
    return tuple(round(a + (b - a) * t) for a, b in zip(BLUE_TOP, BLUE_BOTTOM))


def draw(size):
    """RGBA rows, top to bottom, each a bytes object of size * 4."""
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            red = green = blue = covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        red += c[0]
                        green += c[1]
                        blue += c[2]
                        covered += 1
            if covered:
                row += bytes((red // covered, green // covered, blue // covered,
                              255 * covered // (SAMPLES * SAMPLES)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return rows


def png_entry(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def icon_file():
    images = [png_entry(size, draw(size)) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(SIZES))
    offset = 6 + 16 * len(SIZES)
    for size, image in zip(SIZES, images):
        side = 0 if size >= 256 else size  # 0 stands for 256
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = os.path.join(root, "src", "ui", "tarnvik.ico")
    with open(path, "wb") as f:
        f.write(icon_file())
    print("wrote", path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
