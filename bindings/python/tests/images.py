"""Small test images written without any imaging package: PNG (RGB or RGBA,
through zlib), BMP and TGA, with content that varies by a seed so that every
thumbnail is different."""
import struct
import zlib


def pixels(width, height, seed, channels):
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r = (x * 255 // max(width - 1, 1) + seed * 37) % 256
            g = (y * 255 // max(height - 1, 1) + seed * 11) % 256
            b = ((x // 3 + y // 5 + seed) % 2) * 200
            row += bytes((r, g, b, (x + y + seed) % 256)[:channels])
        rows.append(bytes(row))
    return rows


def png(path, width, height, seed=0, alpha=False):
    channels = 4 if alpha else 3

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + row for row in pixels(width, height, seed, channels))
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
                + chunk(b"IEND", b""))


def tga(path, width, height, seed=0):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 8 | 0x20)
    body = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in pixels(width, height, seed, 4)
                    for p in zip(*[iter(row)] * 4))
    with open(path, "wb") as f:
        f.write(header + body)


def bmp(path, width, height, seed=0):
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for row in reversed(pixels(width, height, seed, 3)):  # bottom-up
        bgr = b"".join(bytes((p[2], p[1], p[0])) for p in zip(*[iter(row)] * 3))
        rows.append(bgr + b"\0" * (stride - width * 3))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def png_size(path):
    """(width, height) of a PNG file, from its header."""
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])
