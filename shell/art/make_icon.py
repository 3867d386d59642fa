#!/usr/bin/env python3
"""Draws the program icon (a page with a folded corner and lines of text) at
16x16 and 32x32 and writes it as a Windows .ico file. The document-type icons
are the same page with its lines in the type's colour.

usage: make_icon.py OUT.ico [RRGGBB]
"""
import struct, sys


def draw(size, ink=(32, 80, 176)):
    """Returns rows (top-down) of (r, g, b, a) pixels."""
    s = size / 32.0
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    left, right = int(5 * s), int(27 * s)
    top, bottom = int(2 * s), int(30 * s)
    fold = int(7 * s)
    for y in range(top, bottom):
        for x in range(left, right):
            if x - (right - fold) > y - top:  # cut-off corner
                continue
            edge = x in (left, right - 1) or y in (top, bottom - 1) or x - (right - fold) == y - top
            px[y][x] = (64, 64, 64, 255) if edge else (255, 255, 255, 255)
    for y in range(top, top + fold):  # the folded flap
        for x in range(right - fold, right - fold + (y - top) + 1):
            if x < right:
                px[y][x] = (192, 192, 192, 255) if x != right - fold else (64, 64, 64, 255)
    step = max(2, int(4 * s))
    for y in range(top + fold + step, bottom - step, step):
        for x in range(left + max(2, int(3 * s)), right - max(2, int(3 * s))):
            px[y][x] = ink + (255,)
    return px


def dib(size, px):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(px):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(line)
    return header + xor + mask


def main():
    ink = (32, 80, 176)
    if len(sys.argv) > 2:
        ink = tuple(int(sys.argv[2][i:i + 2], 16) for i in (0, 2, 4))
    images = [dib(n, draw(n, ink)) for n in (16, 32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
