"""24-bit BMP (as winctl writes it) to PNG, standard library only."""

import struct
import zlib


def bmp_to_png(bmp_bytes):
    if bmp_bytes[:2] != b"BM":
        raise ValueError("not a BMP file")
    offset = struct.unpack_from("<I", bmp_bytes, 10)[0]
    width, height = struct.unpack_from("<ii", bmp_bytes, 18)
    bits = struct.unpack_from("<H", bmp_bytes, 28)[0]
    if bits != 24:
        raise ValueError("only 24-bit BMP files are supported")
    bottom_up = height > 0
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    raw = bytearray()
    for y in range(height):
        row_index = height - 1 - y if bottom_up else y
        start = offset + row_index * stride
        row = bmp_bytes[start:start + width * 3]
        raw.append(0)  # filter: none
        for x in range(0, len(row), 3):
            b, g, r = row[x], row[x + 1], row[x + 2]
            raw += bytes((r, g, b))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def convert(bmp_path, png_path):
    with open(bmp_path, "rb") as f:
        data = f.read()
    with open(png_path, "wb") as f:
        f.write(bmp_to_png(data))
