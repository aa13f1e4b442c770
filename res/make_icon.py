#!/usr/bin/env python3
"""Draws the module's own icon: a steaming cup on a saucer, as a Windows .ico
with three images: 16x16 at 4 bpp, 32x32 at 4 bpp and 16x16 at 8 bpp.

usage: make_icon.py OUTPUT.ico
"""
import math
import struct
import sys

# The 16 colours of the standard VGA palette (R, G, B).
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
# Extra colours of the 8-bpp image.
COFFEE, CREAM, STEAM, SHADE = 16, 17, 18, 19
EXTRA = {COFFEE: (101, 56, 24), CREAM: (250, 244, 228), STEAM: (170, 178, 190), SHADE: (214, 206, 190)}
# How the 4-bpp images show the extra colours.
TO_VGA = {COFFEE: 1, CREAM: 15, STEAM: 8, SHADE: 7}
OUTLINE = 0


def shape(x, y):
    """Colour index of the point (x, y) in the unit square, or None (transparent)."""
    # steam: two thin wisps above the cup
    for cx in (0.38, 0.56):
        if 0.06 <= y <= 0.30 and abs(x - (cx + 0.045 * math.sin(y * 26))) < 0.035:
            return STEAM
    # coffee surface
    if ((x - 0.45) / 0.25) ** 2 + ((y - 0.40) / 0.045) ** 2 <= 1:
        return COFFEE
    # cup body: narrows toward the rounded bottom
    if 0.38 <= y <= 0.82:
        t = (y - 0.38) / 0.44
        half = 0.28 - 0.08 * t * t
        if abs(x - 0.45) <= half:
            return SHADE if x > 0.45 + half * 0.55 else CREAM
    # handle: a ring on the right side
    d = math.hypot(x - 0.74, y - 0.56)
    if x > 0.70 and 0.06 <= d <= 0.14:
        return CREAM
    # saucer
    if ((x - 0.47) / 0.44) ** 2 + ((y - 0.86) / 0.07) ** 2 <= 1:
        return SHADE
    return None


def raster(size):
    grid = [[shape((i + 0.5) / size, (j + 0.5) / size) for i in range(size)] for j in range(size)]
    # An outline wherever a filled pixel (other than steam) touches transparency.
    out = [row[:] for row in grid]
    for j in range(size):
        for i in range(size):
            if grid[j][i] is None or grid[j][i] == STEAM:
                continue
            for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                ni, nj = i + di, j + dj
                if not (0 <= ni < size and 0 <= nj < size) or grid[nj][ni] is None:
                    out[j][i] = OUTLINE
                    break
    return out


def image(size, bpp):
    grid = raster(size)
    colours = 1 << bpp
    palette = list(VGA) + [(0, 0, 0)] * (colours - 16)
    if bpp == 8:
        for index, rgb in EXTRA.items():
            palette[index] = rgb

    def index(c):
        if c is None:
            return 0
        return c if bpp == 8 else TO_VGA.get(c, c)

    xor_stride = ((size * bpp + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for j in reversed(range(size)):  # bitmaps are stored bottom-up
        row = bytearray(xor_stride)
        mrow = bytearray(and_stride)
        for i, c in enumerate(grid[j]):
            v = index(c)
            if bpp == 4:
                row[i // 2] |= v << (4 if i % 2 == 0 else 0)
            else:
                row[i] = v
            if c is None:
                mrow[i // 8] |= 0x80 >> (i % 8)
        xor += row
        mask += mrow
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0, 0, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    return header + pal + bytes(xor) + bytes(mask)


def main():
    images = [(16, 4), (32, 4), (16, 8)]
    blobs = [image(s, b) for s, b in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bpp), blob in zip(images, blobs):
        out += struct.pack('<BBBBHHII', size, size, 16 if bpp == 4 else 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    out += b''.join(blobs)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
