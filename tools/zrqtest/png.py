"""24-bit BMP (as winctl writes it) to PNG, standard library only."""

import struct
import zlib


def read_bmp(bmp_bytes):
    """(width, height, rows top to bottom, each row's RGB bytes)."""
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
    rows = []
    for y in range(height):
        row_index = height - 1 - y if bottom_up else y
        start = offset + row_index * stride
        bgr = bmp_bytes[start:start + width * 3]
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    return width, height, rows


def bmp_to_png(bmp_bytes):
    width, height, rows = read_bmp(bmp_bytes)
    raw = b"".join(b"\0" + row for row in rows)  # filter: none

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def convert(bmp_path, png_path):
    with open(bmp_path, "rb") as f:
        data = f.read()
    with open(png_path, "wb") as f:
        f.write(bmp_to_png(data))
