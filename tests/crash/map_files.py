"""Maps and bitmaps for the crash and kill tests, made byte by byte."""

import struct


def bitmap(width, height, length=None, shade=0):
    """An 8-bit Windows bitmap; length, if given, pads it with zeros to that many bytes."""
    pixels = bytes((shade + i) % 256 for i in range(width * height))
    palette = b"".join(bytes((i, i, 255 - i, 0)) for i in range(256))
    header_length = 14 + 40 + len(palette)
    length = length or header_length + len(pixels)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    head = b"BM" + struct.pack("<IHHI", length, 0, 0, header_length) + info + palette + pixels
    return head + bytes(length - len(head))


def tileset_map(bmp, tiles=4):
    """A map of a bitmap and its tiles, without a metadata block."""
    return bmp + bytes(range(1, tiles + 1))


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
