#!/usr/bin/env python3
"""Draws icon-64.png: a tiny block-art scene of 8 x 8 blocks, 8 pixels each. Standard library only;
run it from anywhere to rebuild the icon beside this script."""
import pathlib
import struct
import zlib

SCENE = [  # one letter per block, top row first
    "......YY",
    "......YY",
    "..LLL...",
    ".LLLLL..",
    "...T....",
    "GGGTGGGG",
    "DDDDDDDD",
    "DDSDDDDS",
]
COLORS = {
    ".": (124, 175, 255),  # sky
    "Y": (249, 236, 79),   # sun
    "L": (60, 122, 40),    # leaves
    "T": (102, 81, 50),    # trunk
    "G": (95, 159, 53),    # grass
    "D": (134, 96, 67),    # dirt
    "S": (125, 125, 125),  # stone
}


def shade(color, factor):
    return tuple(max(0, min(255, round(c * factor))) for c in color)


def pixel(x, y):
    letter = SCENE[y // 8][x // 8]
    color = COLORS[letter]
    if letter == ".":
        return color  # the sky is ground, not blocks
    inner_x, inner_y = x % 8, y % 8
    if inner_x == 7 or inner_y == 7:
        return shade(color, 0.7)
    if inner_x == 0 or inner_y == 0:
        return shade(color, 1.2)
    return color


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


rows = [[pixel(x, y) for x in range(64)] for y in range(64)]
out = pathlib.Path(__file__).with_name("icon-64.png")
out.write_bytes(png(64, 64, rows))
print(out)
