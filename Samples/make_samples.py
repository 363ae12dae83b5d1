#!/usr/bin/env python3
"""Makes the sample images offered beside the program.

Deterministic: the same files come out on every run (only the standard
library, a fixed pseudo-random sequence). Run from anywhere:

    python3 Samples/make_samples.py [OUTPUT_FOLDER]

The folder defaults to the one this script lives in.
"""

import math
import os
import struct
import sys
import zlib


class Noise:
    """xorshift32: a fixed sequence, independent of Python's random module."""

    def __init__(self, seed):
        self.state = seed or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def byte(self):
        return self.next() & 0xFF

    def signed(self, spread):
        return self.next() % (2 * spread + 1) - spread


def clamp(v):
    return 0 if v < 0 else 255 if v > 255 else int(v)


# ---------------------------------------------------------------- BMP files

def bmp_file(width, height, bpp, rows_bottom_up, palette=None):
    """An uncompressed BMP: rows already packed, bottom row first, unpadded."""
    stride = (width * bpp + 31) // 32 * 4
    pixels = b"".join(row + b"\0" * (stride - len(row)) for row in rows_bottom_up)
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in (palette or []))
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(pixels), 2835, 2835,
                       len(palette or []), 0)
    return header + info + table + pixels


def pack_indices(indices, bpp):
    """Packs palette indices into bytes, leftmost pixel in the high bits."""
    per_byte = 8 // bpp
    out = bytearray()
    for i in range(0, len(indices), per_byte):
        chunk = indices[i:i + per_byte]
        value = 0
        for k in range(per_byte):
            value = (value << bpp) | (chunk[k] if k < len(chunk) else 0)
        out.append(value)
    return bytes(out)


# ---------------------------------------------------------------- PNG files

def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png_file(width, height, rows_rgba):
    raw = b"".join(b"\x01" + sub_filter(row, 4) for row in rows_rgba)  # filter 1: Sub
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
            png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def sub_filter(row, bpp):
    return bytes((row[i] - (row[i - bpp] if i >= bpp else 0)) & 0xFF for i in range(len(row)))


# ---------------------------------------------------------------- pictures

def landscape(x, y, width, height, noise):
    """A small scene: sky, sun, hills, a lake and a house, with film grain."""
    u, v = x / width, y / height
    horizon = 0.55 + 0.06 * math.sin(u * 7.0) + 0.03 * math.sin(u * 19.0 + 1.3)
    if v < horizon:  # sky: deep blue to warm haze
        r, g, b = 40 + 170 * v, 90 + 120 * v, 200 - 20 * v
        sx, sy = u - 0.72, v - 0.22
        d = math.hypot(sx * width / height, sy)
        if d < 0.08:
            r, g, b = 255, 236, 170
        elif d < 0.2:
            glow = (0.2 - d) / 0.12
            r, g, b = r + (255 - r) * glow * 0.7, g + (220 - g) * glow * 0.5, b * (1 - 0.3 * glow)
    elif v > 0.82 and 0.08 < u < 0.6:  # lake reflecting the sky
        ripple = 12 * math.sin(y * 1.7 + 3 * math.sin(x * 0.05))
        r, g, b = 60 + ripple, 110 + ripple, 170 + ripple
    else:  # hills: greens darkening towards the front
        shade = (v - horizon) / (1 - horizon + 1e-9)
        r, g, b = 70 - 40 * shade, 150 - 70 * shade + 20 * math.sin(x * 0.09), 60 - 30 * shade
    if 0.15 < u < 0.32 and 0.45 < v < 0.7:  # house wall
        r, g, b = 190, 170, 140
        if 0.2 < u < 0.25 and 0.55 < v < 0.63:
            r, g, b = 60, 80, 120  # window
    roof = 0.45 - (0.085 - abs(u - 0.235)) * 1.2
    if 0.14 < u < 0.33 and roof < v <= 0.45:
        r, g, b = 150, 50, 40
    grain = noise.signed(6)
    return clamp(r + grain), clamp(g + grain), clamp(b + grain)


def photo_bmp():
    """640 x 480, 24 bpp: the photograph-like main sample."""
    width, height = 640, 480
    noise = Noise(2021)
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r, g, b = landscape(x, y, width, height, noise)
            row += bytes((b, g, r))
        rows.append(bytes(row))
    rows.reverse()  # BMP rows run bottom-up
    return bmp_file(width, height, 24, rows)


def palette_bmp():
    """320 x 240, 8 bpp: rings of colour over a 256-entry colour table."""
    width, height = 320, 240
    palette = []
    for i in range(256):
        angle = i / 256 * 2 * math.pi
        palette.append((clamp(128 + 127 * math.cos(angle)),
                        clamp(128 + 127 * math.cos(angle - 2.094)),
                        clamp(128 + 127 * math.cos(angle + 2.094))))
    rows = []
    for y in range(height):
        indices = []
        for x in range(width):
            d = math.hypot(x - width * 0.4, y - height * 0.5)
            indices.append(int(d * 1.6 + 40 * math.sin(x * 0.03)) & 0xFF)
        rows.append(bytes(indices))
    rows.reverse()
    return bmp_file(width, height, 8, rows, palette)


def noise_bmp():
    """256 x 256, 32 bpp: coloured noise over a smooth diagonal blend."""
    width, height = 256, 256
    noise = Noise(7)
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r = clamp(x + noise.signed(40))
            g = clamp(y + noise.signed(40))
            b = clamp(255 - (x + y) // 2 + noise.signed(40))
            row += bytes((b, g, r, 0))
        rows.append(bytes(row))
    rows.reverse()
    return bmp_file(width, height, 32, rows)


def shapes_4bpp_bmp():
    """160 x 120, 4 bpp: flat shapes in the 16 standard colours."""
    width, height = 160, 120
    palette = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    rows = []
    for y in range(height):
        indices = []
        for x in range(width):
            c = 15
            if (x - 45) ** 2 + (y - 55) ** 2 < 30 ** 2:
                c = 9
            if 80 < x < 140 and 20 < y < 70:
                c = 12 if c == 15 else 13
            if y > 90 and x > y - 20:
                c = 10
            if (x // 8 + y // 8) % 2 == 0 and y < 12:
                c = 0
            indices.append(c)
        rows.append(pack_indices(indices, 4))
    rows.reverse()
    return bmp_file(width, height, 4, rows, palette)


def mono_bmp():
    """96 x 64, 1 bpp: a two-colour drawing (dark ink on paper)."""
    width, height = 96, 64
    palette = [(30, 30, 60), (250, 245, 230)]
    rows = []
    for y in range(height):
        indices = []
        for x in range(width):
            ring = abs(math.hypot(x - 48, y - 32) - 22) < 2.5
            cross = abs(x - y - 16) < 2 or abs(x + y - 80) < 2
            indices.append(0 if ring or cross else 1)
        rows.append(pack_indices(indices, 1))
    rows.reverse()
    return bmp_file(width, height, 1, rows, palette)


def alpha_png():
    """200 x 150, RGBA: a soft-edged coloured disc on a transparent ground."""
    width, height = 200, 150
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            d = math.hypot(x - 100, y - 75)
            alpha = clamp((70 - d) * 16)
            row += bytes((clamp(255 - x), clamp(y * 1.7), clamp(x + y) // 2, alpha))
        rows.append(bytes(row))
    return png_file(width, height, rows)


SAMPLES = {
    "photo.bmp": photo_bmp,
    "rings-8bit.bmp": palette_bmp,
    "noise-32bit.bmp": noise_bmp,
    "shapes-4bit.bmp": shapes_4bpp_bmp,
    "drawing-1bit.bmp": mono_bmp,
    "disc-alpha.png": alpha_png,
}


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(folder, exist_ok=True)
    for name, make in SAMPLES.items():
        data = make()
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
