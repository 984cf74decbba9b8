#!/usr/bin/env python3
"""Writes the broken and borderline pictures of tests/data/bad/pictures, one defect each.

Run once by hand; the files are committed. Needs only Python, and ImageMagick's convert for the
JPEG that the truncated JPEG is cut from.
"""
import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bad", "pictures")


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(width, height, rows, color_type=6, claimed=None):
    """rows: raw scanlines (without filter bytes) for an 8-bit picture of the given color type."""
    w, h = claimed or (width, height)
    header = struct.pack(">IIBBBBB", w, h, 8, color_type, 0, 0, 0)
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp(width, height_field, pixel_rows):
    """24-bit BI_RGB; pixel_rows as stored, each padded to 4 bytes."""
    data = b"".join(row + b"\x00" * (-len(row) % 4) for row in pixel_rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height_field, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(data), 0, 0, 14 + len(info)) + info + data


def bmp_rle8(width, rows, palette):
    """8-bit BI_RLE8: each row (palette indices, bottom row first) as runs, then end of bitmap."""
    data = b""
    for row in rows:
        x = 0
        while x < len(row):
            n = 1
            while x + n < len(row) and row[x + n] == row[x] and n < 255:
                n += 1
            data += bytes((n, row[x]))
            x += n
        data += b"\x00\x00"  # end of line
    data += b"\x00\x01"  # end of bitmap
    colors = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, len(rows), 1, 8, 1, len(data), 2835, 2835,
                       len(palette), 0)
    offset = 14 + len(info) + len(colors)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + colors + data


def gif(width, height, frames):
    """frames: palette indices (0..3) per pixel over a 4-color global palette. The LZW stream sends
    a clear code before every pixel, so every code stays 3 bits wide."""
    palette = bytes([255, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0])
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF1, 0, 0) + palette
    if len(frames) > 1:
        out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    for pixels in frames:
        out += b"\x21\xf9\x04\x00\x0a\x00\x00\x00"  # 0.1 s per frame
        out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        # Code size 2: clear is 4, end is 5.
        codes = []
        for p in pixels:
            codes += [4, p]
        codes.append(5)
        bits = 0
        nbits = 0
        data = bytearray()
        for c in codes:
            bits |= c << nbits
            nbits += 3
            while nbits >= 8:
                data.append(bits & 0xFF)
                bits >>= 8
                nbits -= 8
        if nbits:
            data.append(bits & 0xFF)
        out += b"\x02"
        for i in range(0, len(data), 255):
            block = bytes(data[i:i + 255])
            out += bytes([len(block)]) + block
        out += b"\x00"
    return out + b"\x3b"


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def jpeg_bytes():
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "p.jpg")
        subprocess.run(["convert-im6.q16", "-size", "32x32", "gradient:red-blue", "-quality", "90",
                        "JPG:" + path], check=True)
        with open(path, "rb") as f:
            return f.read()


def main():
    os.makedirs(HERE, exist_ok=True)
    red = b"\xff\x00\x00\xff"
    write("zero-bytes.png", b"")
    write("text-file-named-png.png", b"This is a note, not a picture.\n")

    whole = png(16, 16, [b"".join(bytes((x * 16, y * 16, 128, 255)) for x in range(16))
                         for y in range(16)])
    idat = whole.index(b"IDAT")
    write("truncated-png-cut-inside-pixel-data.png", whole[:idat + 4 + 20])

    write("png-header-claims-100000x100000.png", png(1, 1, [red], claimed=(100000, 100000)))
    write("png-header-claims-16385x16384.png", png(1, 1, [red], claimed=(16385, 16384)))
    write("png-1x1-one-pixel.png", png(1, 1, [red]))
    write("png-1x10000-one-column.png", png(1, 10000, [red] * 10000))
    write("png-10000x1-one-row.png", png(10000, 1, [red * 10000]))

    # A text chunk after the pixels that claims 771 MB: libpng allocates what a chunk claims.
    text = chunk(b"tEXt", b"Comment\x00hi")
    claims = struct.pack(">I", 0x2E000025) + text[4:]
    iend = whole.rindex(b"IEND") - 4
    write("png-text-chunk-claims-771-megabytes.png", whole[:iend] + claims + whole[iend:])

    bad_crc = bytearray(whole)
    bad_crc[idat + 8] ^= 0xFF  # first byte of the compressed data, so the CRC no longer fits
    write("png-pixel-data-crc-mismatch.png", bytes(bad_crc))

    two_rows = [b"\x00\x00\xff" * 2, b"\xff\x00\x00" * 2]  # stored first: red, then blue (BGR)
    write("bmp-zero-height.bmp", bmp(2, 0, []))
    write("bmp-negative-height-top-down-2x2.bmp", bmp(2, -2, two_rows))
    write("bmp-height-minus-2147483648.bmp", bmp(2, -2147483648, two_rows))
    write("bmp-header-claims-100000x100000.bmp", bmp(100000, 100000, two_rows))
    # The bytes such rows would need do not fit in 64 bits.
    write("bmp-header-claims-2000000000x2000000000.bmp", bmp(2000000000, 2000000000, two_rows))

    # Run-length coded: bottom two rows blue, top two red. Cut in half, the decoder would fill the
    # missing rows with whatever its buffer held.
    rle = bmp_rle8(4, [[1] * 4, [1] * 4, [0] * 4, [0] * 4], [(255, 0, 0), (0, 0, 255)])
    write("bmp-rle8-4x4.bmp", rle)
    write("bmp-rle8-cut-in-half.bmp", rle[:len(rle) - 12])

    write("gif-3x2-not-a-listed-format.gif", gif(3, 2, [[0, 1, 2, 3, 0, 1]]))
    write("gif-animated-2x2-two-frames.gif", gif(2, 2, [[0, 0, 0, 0], [1, 1, 1, 1]]))

    jpeg = jpeg_bytes()
    start_of_scan = jpeg.index(b"\xff\xda")
    write("truncated-jpeg-cut-inside-scan-data.jpg", jpeg[:start_of_scan + 40])


if __name__ == "__main__":
    main()
