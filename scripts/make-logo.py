#!/usr/bin/env python3
"""Draws the converter's logo and writes it as assets/logo.png.

The picture: the program's name in a chunky pixel font over a waveform of
mirrored bars, "converter" beneath. 168 x 136 RGB, 8 bits per sample, not
interlaced, one IDAT chunk. Only the standard library is used, so the logo
can be remade anywhere:  scripts/make-logo.py [OUTPUT]
"""
import math
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 168, 136

# Lower-case glyphs, 5 columns wide. Row 0 is the top of the x-height; a
# glyph may start above it (negative `top`, for ascenders) and run below the
# baseline at row 4 (descenders).
GLYPHS = {
    "q": (0, [".####", "#...#", "#...#", "#...#", ".####", "....#", "....#"]),
    "u": (0, ["#...#", "#...#", "#...#", "#..##", ".##.#"]),
    "a": (0, [".###.", "....#", ".####", "#...#", ".####"]),
    "r": (0, ["#.##.", "##..#", "#....", "#....", "#...."]),
    "v": (0, ["#...#", "#...#", "#...#", ".#.#.", "..#.."]),
    "o": (0, [".###.", "#...#", "#...#", "#...#", ".###."]),
    "c": (0, [".####", "#....", "#....", "#....", ".####"]),
    "n": (0, ["####.", "#...#", "#...#", "#...#", "#...#"]),
    "e": (0, [".###.", "#...#", "#####", "#....", ".####"]),
    "t": (-2, [".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##."]),
}

BACKGROUND_TOP = (22, 26, 46)
BACKGROUND_BOTTOM = (12, 14, 26)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


class Canvas:
    def __init__(self):
        self.rows = []
        for y in range(HEIGHT):
            colour = mix(BACKGROUND_TOP, BACKGROUND_BOTTOM, y / (HEIGHT - 1))
            self.rows.append([colour] * WIDTH)

    def put(self, x, y, colour):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            self.rows[y][x] = colour

    def block(self, x, y, w, h, colour):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, colour)


def text_width(text, scale):
    return (len(text) * 6 - 1) * scale


def draw_text(canvas, text, left, baseline_top, scale, colour_at, shadow=None):
    """Draws `text` with the x-height starting at row `baseline_top`.
    colour_at(row) gives the colour of a glyph row (for a vertical sheen)."""
    passes = [(scale // 2, scale // 2, lambda row: shadow)] if shadow else []
    passes.append((0, 0, colour_at))
    for dx, dy, paint in passes:
        x = left
        for letter in text:
            top, rows = GLYPHS[letter]
            for r, line in enumerate(rows):
                for c, cell in enumerate(line):
                    if cell == "#":
                        canvas.block(x + c * scale + dx, baseline_top + (top + r) * scale + dy, scale, scale,
                                     paint(top + r))
            x += 6 * scale


def draw_waveform(canvas, centre, half_height):
    """Mirrored bars, two pixels wide with a one-pixel gap, like a sample
    overview: a pulse of notes whose loudness swells and fades."""
    bars = 50
    left = (WIDTH - (bars * 3 - 1)) // 2
    cold, warm = (64, 200, 255), (236, 96, 200)
    for i in range(bars):
        t = i / (bars - 1)
        envelope = 0.25 + 0.75 * math.sin(math.pi * t) ** 1.5
        wobble = 0.55 + 0.45 * abs(math.sin(i * 0.55)) * abs(math.cos(i * 0.21 + 0.7))
        h = max(1, round(half_height * envelope * wobble))
        # A dozen colour steps rather than one per bar: it packs smaller.
        colour = mix(cold, warm, round(t * 12) / 12)
        dim = mix(colour, BACKGROUND_BOTTOM, 0.55)
        x = left + i * 3
        canvas.block(x, centre - h, 2, h, colour)
        # The lower half is the reflection, fainter.
        canvas.block(x, centre + 1, 2, max(1, round(h * 0.7)), dim)
    canvas.block(0, centre, WIDTH, 1, mix(cold, warm, 0.5))


def png_bytes(canvas):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    raw_rows = [bytes(v for pixel in row for v in pixel) for row in canvas.rows]
    best = None
    # Try each row filter for the whole picture and keep the smallest stream.
    for kind in range(5):
        data = bytearray()
        previous = bytes(WIDTH * 3)
        for row in raw_rows:
            data.append(kind)
            data += filter_row(kind, row, previous)
            previous = row
        packed = zlib.compress(bytes(data), 9)
        if best is None or len(packed) < len(best):
            best = packed
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", best) + chunk(b"IEND", b"")


def filter_row(kind, row, previous):
    out = bytearray(len(row))
    for i, value in enumerate(row):
        a = row[i - 3] if i >= 3 else 0
        b = previous[i]
        c = previous[i - 3] if i >= 3 else 0
        if kind == 0:
            predictor = 0
        elif kind == 1:
            predictor = a
        elif kind == 2:
            predictor = b
        elif kind == 3:
            predictor = (a + b) // 2
        else:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            predictor = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
        out[i] = (value - predictor) & 0xFF
    return bytes(out)


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "assets", "logo.png")
    canvas = Canvas()

    name_scale = 4
    name_top = 12
    sheen_top, sheen_bottom = (255, 236, 170), (255, 160, 64)
    draw_text(canvas, "quarvo", (WIDTH - text_width("quarvo", name_scale)) // 2, name_top, name_scale,
              lambda row: mix(sheen_top, sheen_bottom, max(0, min(1, row / 6))), shadow=(4, 5, 12))

    draw_waveform(canvas, centre=82, half_height=26)

    small = 2
    draw_text(canvas, "converter", (WIDTH - text_width("converter", small)) // 2, 118, small,
              lambda row: (150, 160, 196))

    data = png_bytes(canvas)
    with open(output, "wb") as f:
        f.write(data)
    print(f"{output}: {len(data)} bytes")


if __name__ == "__main__":
    main()
