#!/usr/bin/env python3
"""Draws the programs' icon and writes it as assets/quarvo.ico.

The picture: the logo's waveform on a tile of the logo's night blue, mirrored
bars from cold to warm, a bright line through the middle. Each size is drawn
for itself on the pixel grid rather than scaled from the largest one, so the
16 pixel caption icon keeps crisp bars. Sizes up to 64 pixels are stored as
32-bit bitmaps with alpha (every Windows reads those); 256 pixels as PNG, as
Windows Vista and later expect for that size. Only the standard library is
used:  scripts/make-icon.py [OUTPUT]
"""
import math
import os
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 256)
PNG_FROM = 256  # sizes from this up are stored as PNG

TILE_TOP = (34, 40, 72)
TILE_BOTTOM = (12, 14, 26)
COLD, WARM = (64, 200, 255), (236, 96, 200)
SUPERSAMPLE = 4


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def inside_rounded(x, y, size, radius):
    """True when (x, y) in pixel units lies on the tile."""
    cx = min(max(x, radius), size - radius)
    cy = min(max(y, radius), size - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def bar_layout(size):
    """Bars as (left, width, half height above, depth below) in whole pixels."""
    margin = max(2, round(size * 0.14))
    span = size - 2 * margin
    # Fewer, broader bars on the small sizes, where a pixel is a lot.
    count = {16: 5, 24: 6, 32: 7, 48: 9, 64: 11}.get(size, 15)
    width = max(1, round(span / (count * 1.5)))
    gap = max(1, (span - count * width) // (count - 1))
    left = margin + (span - (count * (width + gap) - gap)) // 2
    half = size * 0.36
    bars = []
    for i in range(count):
        t = i / (count - 1)
        envelope = 0.35 + 0.65 * math.sin(math.pi * t) ** 1.2
        wobble = 0.6 + 0.4 * abs(math.sin(i * 1.3 + 0.4))
        up = max(1, round(half * envelope * wobble))
        down = max(1, round(up * 0.6))
        bars.append((left + i * (width + gap), width, up, down, t))
    return bars


def draw(size):
    """RGBA rows, top row first."""
    radius = size * 0.2
    centre = round(size * 0.56)
    bars = bar_layout(size)
    line = max(1, round(size / 32))
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            # Coverage of the tile by supersampling; inside it, flat colours.
            hits = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    px = x + (sx + 0.5) / SUPERSAMPLE
                    py = y + (sy + 0.5) / SUPERSAMPLE
                    hits += inside_rounded(px, py, size, radius)
            alpha = hits / SUPERSAMPLE ** 2
            colour = mix(TILE_TOP, TILE_BOTTOM, y / (size - 1))
            for left, width, up, down, t in bars:
                if left <= x < left + width:
                    tint = mix(COLD, WARM, t)
                    if centre - up <= y < centre:
                        colour = tint
                    elif centre + line <= y < centre + line + down:
                        # The reflection, fainter.
                        colour = mix(tint, TILE_BOTTOM, 0.55)
            if centre <= y < centre + line and size * 0.1 <= x < size * 0.9:
                colour = mix(COLD, WARM, 0.5)
            row.append(tuple(round(v) for v in colour) + (round(alpha * 255),))
        rows.append(row)
    return rows


def bitmap_image(rows):
    """A 32-bit DIB with its AND mask, as an icon directory entry holds it."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask = bytearray()
    stride = (size + 31) // 32 * 4
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def png_image(rows):
    size = len(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def icon_file(sizes):
    images = [png_image(draw(s)) if s >= PNG_FROM else bitmap_image(draw(s)) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        # A dimension of 256 is written as 0.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "assets", "quarvo.ico")
    data = icon_file(SIZES)
    with open(output, "wb") as f:
        f.write(data)
    print(f"{output}: {len(data)} bytes, sizes {', '.join(map(str, SIZES))}")


if __name__ == "__main__":
    main()
