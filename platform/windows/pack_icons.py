#!/usr/bin/env python3
"""pack_icons.py OUT.ico IN.png...: packs square 8-bit RGBA PNG images into
one .ico file of 32-bit images with alpha, stored as bitmaps (the form every
Windows version and resource compiler reads). Python's standard library only."""

import struct
import sys
import zlib


def read_png(path):
    """Width, height and the rows of RGBA bytes of a non-interlaced 8-bit RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    pos, header, compressed = 8, None, b""
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        sys.exit(f"{path}: only non-interlaced 8-bit RGBA images are packed")
    raw = zlib.decompress(compressed)
    stride, rows, prev = width * 4, [], bytearray(width * 4)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, cur = line[0], bytearray(line[1:])
        for i in range(stride):
            a = cur[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                cur[i] = (cur[i] + a) & 0xFF
            elif kind == 2:
                cur[i] = (cur[i] + b) & 0xFF
            elif kind == 3:
                cur[i] = (cur[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                cur[i] = (cur[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append(bytes(cur))
        prev = cur
    return width, height, rows


def icon_bitmap(width, height, rows):
    """An icon image: a BITMAPINFOHEADER of twice the height, BGRA rows
    bottom-up, then the 1-bit AND mask (all clear: the alpha decides)."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(
        bytes(b for i in range(0, len(row), 4) for b in (row[i + 2], row[i + 1], row[i], row[i + 3]))
        for row in reversed(rows))
    mask_stride = ((width + 31) // 32) * 4
    return header + pixels + bytes(mask_stride * height)


def main(out_path, png_paths):
    images = []
    for path in png_paths:
        width, height, rows = read_png(path)
        if width != height or width > 255:
            sys.exit(f"{path}: icons are square and at most 255 pixels here")
        images.append((width, icon_bitmap(width, height, rows)))
    offset = 6 + 16 * len(images)
    directory, blobs = [struct.pack("<HHH", 0, 1, len(images))], []
    for size, blob in images:
        directory.append(struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(out_path, "wb") as f:
        f.write(b"".join(directory + blobs))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
