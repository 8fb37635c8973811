#!/usr/bin/env python3
"""Draws the program's icon: a yellow gear with a white hub on the blue of
its screens, under a thin brown banner, in the sizes the desktop and the
Windows icon group ask for.  Only the standard library, so anyone can
regenerate the art: python3 assets/make-icons.py
"""
import math
import os
import struct
import zlib

SIZES = (16, 32, 48)
SAMPLES = 8  # per axis and pixel: enough anti-aliasing for 16 pixels

BLUE_TOP = (40, 72, 200)
BLUE_BOTTOM = (0, 0, 150)
EDGE = (0, 0, 90)
BROWN = (150, 80, 0)
YELLOW = (255, 230, 60)
GEAR_SHADE = (200, 150, 0)
WHITE = (255, 255, 255)


def rounded_square(x, y, inset, radius):
    """Signed distance (negative inside) from a square of the unit box."""
    qx = abs(x - 0.5) - (0.5 - inset - radius)
    qy = abs(y - 0.5) - (0.5 - inset - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def gear_radius(angle, teeth=8, root=0.26, tip=0.34):
    """Outline of the gear: flat-topped teeth with sloped flanks."""
    phase = (angle * teeth / (2 * math.pi)) % 1.0
    d = abs(phase - 0.5) * 2  # 0 at a tooth's middle, 1 between teeth
    if d < 0.45:
        return tip
    if d > 0.75:
        return root
    return tip - (tip - root) * (d - 0.45) / 0.30


def colour_at(x, y):
    """The icon's colour (RGBA) at a point of the unit square."""
    if rounded_square(x, y, 0.02, 0.16) > 0:
        return None
    if rounded_square(x, y, 0.07, 0.11) > 0:
        return EDGE
    if y < 0.23:
        return BROWN
    cx, cy = 0.5, 0.58
    r = math.hypot(x - cx, y - cy)
    angle = math.atan2(y - cy, x - cx)
    if r < 0.085:
        return BLUE_BOTTOM
    if r < 0.15:
        return WHITE
    if r < gear_radius(angle):
        # Light from the top left: the lower right of the gear is shaded.
        return GEAR_SHADE if (x - cx) + (y - cy) > 0.26 else YELLOW
    t = (y - 0.23) / 0.70
    return tuple(round(a + (b - a) * t) for a, b in zip(BLUE_TOP, BLUE_BOTTOM))


def render(size):
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                  (py + (sy + 0.5) / SAMPLES) / size)
                    if c is not None:
                        covered += 1
                        for i in range(3):
                            acc[i] += c[i]
            if covered:
                row += bytes(round(a / covered) for a in acc)
                row.append(round(255 * covered / SAMPLES ** 2))
            else:
                row += b"\0\0\0\0"
        rows.append(bytes(row))
    return rows


def png(size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + r for r in rows)  # filter type 0 on every line
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "icons")
    os.makedirs(here, exist_ok=True)
    for size in SIZES:
        path = os.path.join(here, "zorvikqm-setup-%d.png" % size)
        with open(path, "wb") as f:
            f.write(png(size, render(size)))
        print(path)


if __name__ == "__main__":
    main()
