#!/usr/bin/env python3
"""Draws MELVIR's icon and writes res/melvir.ico.

The picture: a hard disk seen from above (a slate case, a silver platter and
a green activity light) with an orange play triangle on the platter, for
"recordings taken off a disk". Six images: 32x32 and 16x16, each in 16
colours, 256 colours and 24-bit colour. Standard library only; the .ico is
committed, so building MELVIR needs no Python.

Usage: make_icon.py [output.ico]
"""

import math
import os
import struct
import sys

SUBSAMPLES = 4  # per axis, for the antialiased 24-bit and 256-colour images

# The sixteen colours every Windows display has; the 16-colour images use
# them with flat shading only, so nothing is lost to dithering.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256():
    """The sixteen colours, a 6x6x6 colour cube and 24 greys."""
    colours = list(VGA16)
    levels = [0, 51, 102, 153, 204, 255]
    for r in levels:
        for g in levels:
            for b in levels:
                colours.append((r, g, b))
    for i in range(24):
        v = 8 + i * 10
        colours.append((v, v, v))
    assert len(colours) == 256
    return colours


# ---- The drawing, in a unit square (0,0 top left, 1,1 bottom right) -------

CASE = (0.06, 0.03, 0.94, 0.97)   # left, top, right, bottom
CASE_RADIUS = 0.12
BORDER = 0.07                     # dark rim of the case
PLATTER_CENTRE = (0.5, 0.44)
PLATTER_RADIUS = 0.34
LIGHT = (0.70, 0.86, 0.84, 0.92)  # the activity light, a small bar
# The play triangle, pointing right, centred on the platter.
TRIANGLE = ((0.40, 0.27), (0.40, 0.61), (0.69, 0.44))

# Flat colours (all in VGA16) and the shaded colours of the richer images.
FLAT = {
    "rim": (0, 0, 0),
    "case": (0, 0, 128),
    "platter": (192, 192, 192),
    "platter_edge": (128, 128, 128),
    "triangle": (255, 255, 0),
    "light": (0, 255, 0),
}


def inside_rounded_rect(x, y, rect, radius):
    left, top, right, bottom = rect
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_triangle(x, y, tri):
    (x1, y1), (x2, y2), (x3, y3) = tri

    def side(ax, ay, bx, by):
        return (bx - ax) * (y - ay) - (by - ay) * (x - ax)

    d1 = side(x1, y1, x2, y2)
    d2 = side(x2, y2, x3, y3)
    d3 = side(x3, y3, x1, y1)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def shape_at(x, y):
    """The part of the picture at (x, y), or None outside the case."""
    if not inside_rounded_rect(x, y, CASE, CASE_RADIUS):
        return None
    inner = (CASE[0] + BORDER, CASE[1] + BORDER, CASE[2] - BORDER, CASE[3] - BORDER)
    if not inside_rounded_rect(x, y, inner, max(CASE_RADIUS - BORDER, 0.01)):
        return "rim"
    if inside_triangle(x, y, TRIANGLE):
        return "triangle"
    px, py = PLATTER_CENTRE
    distance = math.hypot(x - px, y - py)
    if distance <= PLATTER_RADIUS:
        return "platter_edge" if distance > PLATTER_RADIUS - 0.05 else "platter"
    if LIGHT[0] <= x <= LIGHT[2] and LIGHT[1] <= y <= LIGHT[3]:
        return "light"
    return "case"


def shaded(shape, x, y):
    """Colour of shape at (x, y) in the richer images: light from top left."""
    if shape == "case":
        t = (x + y) / 2
        return (int(40 + 50 * (1 - t)), int(60 + 60 * (1 - t)), int(110 + 80 * (1 - t)))
    if shape == "platter":
        px, py = PLATTER_CENTRE
        # A soft highlight up and to the left of the hub.
        d = math.hypot(x - (px - 0.12), y - (py - 0.12)) / PLATTER_RADIUS
        v = int(max(150, 245 - 70 * d))
        return (v, v, min(255, v + 8))
    if shape == "platter_edge":
        return (110, 115, 125)
    if shape == "triangle":
        t = (y - TRIANGLE[0][1]) / (TRIANGLE[1][1] - TRIANGLE[0][1])
        return (255, int(170 - 60 * t), int(20 + 10 * t))
    if shape == "light":
        return (40, 230, 60)
    return (20, 24, 36)  # rim


def nearest(colour, palette):
    r, g, b = colour
    best, best_distance = 0, None
    for i, (pr, pg, pb) in enumerate(palette):
        d = (r - pr) ** 2 + (g - pg) ** 2 + (b - pb) ** 2
        if best_distance is None or d < best_distance:
            best, best_distance = i, d
    return best


def render(size):
    """Per pixel: None (transparent) or (majority shape, averaged colour)."""
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            counts = {}
            total = [0, 0, 0]
            inside = 0
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    x = (col + (sx + 0.5) / SUBSAMPLES) / size
                    y = (row + (sy + 0.5) / SUBSAMPLES) / size
                    shape = shape_at(x, y)
                    if shape is None:
                        continue
                    inside += 1
                    counts[shape] = counts.get(shape, 0) + 1
                    c = shaded(shape, x, y)
                    total = [total[i] + c[i] for i in range(3)]
            if inside * 2 < SUBSAMPLES * SUBSAMPLES:
                line.append(None)
            else:
                shape = max(sorted(counts), key=lambda s: counts[s])
                line.append((shape, tuple(v // inside for v in total)))
        pixels.append(line)
    return pixels


# ---- The .ico file -----------------------------------------------------------

def row_bytes(bits_per_row):
    return ((bits_per_row + 31) // 32) * 4


def dib(size, bits, pixels):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask."""
    palette = VGA16 if bits == 4 else palette256() if bits == 8 else []
    xor_stride = row_bytes(size * bits)
    and_stride = row_bytes(size)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(range(size)):  # bottom-up
        line = bytearray(xor_stride)
        mask_line = bytearray(and_stride)
        for col in range(size):
            p = pixels[row][col]
            if p is None:
                mask_line[col // 8] |= 0x80 >> (col % 8)
                index, colour = 0, (0, 0, 0)
            elif bits == 4:
                index = nearest(FLAT[p[0]], VGA16)
                colour = None
            else:
                colour = p[1]
                index = nearest(colour, palette) if bits == 8 else 0
            if bits == 4:
                line[col // 2] |= index << (4 if col % 2 == 0 else 0)
            elif bits == 8:
                line[col] = index
            else:
                line[col * 3:col * 3 + 3] = bytes((colour[2], colour[1], colour[0]))
        xor += line
        mask += mask_line
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    return header + colours + bytes(xor) + bytes(mask)


def icon_file():
    images = []
    for size in (32, 16):
        pixels = render(size)
        for bits in (4, 8, 24):
            images.append((size, bits, dib(size, bits, pixels)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, bits, image in images:
        colour_count = 16 if bits == 4 else 0
        entries += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bits,
                               len(image), offset + len(data))
        data += image
    return directory + entries + data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "melvir.ico")
    with open(path, "wb") as out:
        out.write(icon_file())


if __name__ == "__main__":
    main()
