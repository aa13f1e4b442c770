#!/usr/bin/env python3
"""Draws an example jar's icon as a Windows .ico: a smiling face for hello,
a list sheet for lister.

The file holds what a jar's shell-meta-inf/icons/icon.ico should hold: 16x16,
32x32 and 48x48 images at 32 bits per pixel (with alpha) for Windows XP and
every later Windows, and 16x16 and 32x32 at 24 bits for Windows 2000, the only
one the handler aims at 24 bits on. All images are bitmaps (no PNG), each
drawn for its size.

usage: make_icon.py hello|lister OUTPUT.ico
"""
import math
import struct
import sys

SAMPLES = 4  # per pixel side, for smooth edges


def smiley(x, y):
    """RGBA of the point (x, y) of the unit square, or None."""
    d = math.hypot(x - 0.5, y - 0.5)
    if d > 0.47:
        return None
    if d > 0.42:
        return (120, 80, 0, 255)  # outline
    for ex in (0.35, 0.65):  # eyes
        if ((x - ex) / 0.06) ** 2 + ((y - 0.38) / 0.09) ** 2 <= 1:
            return (60, 40, 0, 255)
    # smile: a band of the circle around (0.5, 0.45) below its centre
    s = math.hypot(x - 0.5, y - 0.47)
    if y > 0.55 and 0.19 <= s <= 0.26:
        return (60, 40, 0, 255)
    return (255, 210, 40, 255)


def sheet(x, y):
    """A sheet of paper with three bulleted lines."""
    if not (0.14 <= x <= 0.86 and 0.06 <= y <= 0.94):
        return None
    if x < 0.19 or x > 0.81 or y < 0.11 or y > 0.89:
        return (30, 70, 150, 255)  # border
    for i, colour in enumerate(((220, 40, 40), (40, 160, 60), (240, 160, 0))):
        cy = 0.28 + i * 0.22
        if math.hypot(x - 0.31, y - cy) <= 0.065:
            return colour + (255,)
        if 0.43 <= x <= 0.72 and abs(y - cy) <= 0.04:
            return (90, 90, 100, 255)
    return (250, 250, 245, 255)


def render(shape, size):
    """Rows of (r, g, b, a), top row first, each pixel the mean of its samples."""
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0, 0, 0, 0]
            for sj in range(SAMPLES):
                for si in range(SAMPLES):
                    p = shape((i + (si + 0.5) / SAMPLES) / size, (j + (sj + 0.5) / SAMPLES) / size)
                    if p:
                        for k in range(3):
                            acc[k] += p[k] * p[3]
                        acc[3] += p[3]
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            rgb = [int(acc[k] / acc[3]) if acc[3] else 0 for k in range(3)]
            row.append((rgb[0], rgb[1], rgb[2], int(round(a))))
        rows.append(row)
    return rows


def image(shape, size, bpp):
    """The BITMAPINFOHEADER image of one entry: colour bitmap then AND mask."""
    rows = render(shape, size)
    stride = ((size * bpp + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        line = bytearray()
        mline = bytearray(mask_stride)
        for i, (r, g, b, a) in enumerate(row):
            if bpp == 32:
                line += bytes((b, g, r, a))
            else:
                line += bytes((b, g, r)) if a >= 128 else b'\0\0\0'
            if a < 128:
                mline[i // 8] |= 0x80 >> (i % 8)
        line += b'\0' * (stride - len(line))
        colour += line
        mask += mline
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def icon_file(shape):
    entries = [(16, 32), (32, 32), (48, 32), (16, 24), (32, 24)]
    blobs = [image(shape, size, bpp) for size, bpp in entries]
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for (size, bpp), blob in zip(entries, blobs):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    return out + b''.join(blobs)


def main():
    shapes = {'hello': smiley, 'lister': sheet}
    if len(sys.argv) != 3 or sys.argv[1] not in shapes:
        sys.exit(__doc__)
    with open(sys.argv[2], 'wb') as f:
        f.write(icon_file(shapes[sys.argv[1]]))


if __name__ == '__main__':
    main()
