#!/usr/bin/env python3
"""Draws the 24 toolbar images (pages, arrows, magnifiers, panels, tools) on
a 16-unit grid and writes two strips as 24-bit BMP files: 16x16 and 24x24
images. The background is light gray (192, 192, 192), which the toolbar maps
to the button face colour.

usage: make_toolbar.py OUT16.bmp OUT24.bmp
"""
import struct, sys

BG = (192, 192, 192)
INK = (0, 0, 0)
DARK = (64, 64, 64)
PAPER = (255, 255, 255)
BLUE = (32, 80, 176)
GREEN = (0, 128, 0)
YELLOW = (240, 200, 60)
RED = (176, 32, 32)


class Canvas:
    """One image; coordinates are in 16ths of the image size."""

    def __init__(self, size):
        self.size = size
        self.s = size / 16.0
        self.px = [[BG] * size for _ in range(size)]

    def dot(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, fill=None, edge=None):
        """Rectangle from grid cell (x0, y0) to (x1, y1), both inclusive."""
        s = self.s
        a, b = int(x0 * s), int(y0 * s)
        c, d = int((x1 + 1) * s) - 1, int((y1 + 1) * s) - 1
        for y in range(b, d + 1):
            for x in range(a, c + 1):
                border = x in (a, c) or y in (b, d)
                col = edge if (border and edge) else fill
                if col:
                    self.dot(x, y, col)

    def line(self, x0, y0, x1, y1, c, width=1):
        s = self.s
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * s * 2) + 1
        w = max(1, int(width * s + 0.5))
        for i in range(steps + 1):
            t = i / steps
            x = int((x0 + (x1 - x0) * t + 0.5) * s)
            y = int((y0 + (y1 - y0) * t + 0.5) * s)
            for dy in range(w):
                for dx in range(w):
                    self.dot(x + dx - w // 2, y + dy - w // 2, c)

    def poly(self, pts, c):
        """Filled polygon, points in grid units (pixel centres tested)."""
        s = self.s
        for py in range(self.size):
            for px in range(self.size):
                x, y = (px + 0.5) / s, (py + 0.5) / s
                inside = False
                for i in range(len(pts)):
                    (ax, ay), (bx, by) = pts[i], pts[i - 1]
                    if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                        inside = not inside
                if inside:
                    self.dot(px, py, c)

    def circle(self, cx, cy, r, edge, fill=None):
        s = self.s
        for py in range(self.size):
            for px in range(self.size):
                d = (((px + 0.5) / s - cx) ** 2 + ((py + 0.5) / s - cy) ** 2) ** 0.5
                if fill and d < r - 0.9:
                    self.dot(px, py, fill)
                elif abs(d - r) < 0.75:
                    self.dot(px, py, edge)


def page(c, x0=3, y0=1, x1=12, y1=14, lines=True):
    c.rect(x0, y0, x1, y1, PAPER, DARK)
    if lines:
        for y in range(y0 + 3, y1 - 1, 2):
            c.line(x0 + 2, y, x1 - 2, y, BLUE)


def arrow(c, direction, bar=False):
    """A solid triangle pointing left or right, optionally with a stop bar."""
    if direction > 0:
        c.poly([(5, 3), (12, 8), (5, 13)], GREEN)
        if bar:
            c.rect(12, 3, 13, 12, INK)
    else:
        c.poly([(11, 3), (4, 8), (11, 13)], GREEN)
        if bar:
            c.rect(2, 3, 3, 12, INK)


def magnifier(c, sign):
    c.circle(6.5, 6.5, 4.5, INK, PAPER)
    c.line(10, 10, 14, 14, DARK, 2)
    if sign:
        c.line(4.5, 6.5, 8.5, 6.5, INK)
        if sign > 0:
            c.line(6.5, 4.5, 6.5, 8.5, INK)


def rotate(c, clockwise):
    c.circle(8, 8, 5, BLUE)
    c.rect(2, 8, 7, 14, BG) if clockwise else c.rect(8, 8, 14, 14, BG)
    if clockwise:
        c.poly([(1, 8), (6, 8), (3.5, 11.5)], BLUE)
    else:
        c.poly([(10, 8), (15, 8), (12.5, 11.5)], BLUE)


def panels(c, thumbs, full, bookmarks):
    c.rect(1, 2, 14, 13, PAPER, DARK)
    if full:
        for x in (3, 7, 11):
            for y in (4, 9):
                c.rect(x, y, x + 2, y + 3, None, BLUE)
        return
    if thumbs or bookmarks:
        c.rect(5, 2, 5, 13, DARK)
        if thumbs:
            for y in (4, 8):
                c.rect(2, y, 3, y + 2, None, BLUE)
        else:
            for y in (4, 6, 8, 10):
                c.line(2, y, 4, y, BLUE)
        page(c, 8, 4, 12, 11, False)
    else:
        page(c, 4, 4, 11, 11, False)


IMAGES = [
    lambda c: page(c),                                                  # 0 new page
    lambda c: (page(c), c.rect(6, 10, 14, 15, BLUE, INK)),              # 1 save
    lambda c: (c.rect(1, 4, 13, 13, YELLOW, DARK), c.poly([(3, 7), (15, 7), (13, 13), (1, 13)], (250, 225, 120))),  # 2 open
    lambda c: (page(c), c.rect(1, 1, 5, 5, RED)),                       # 3 properties
    lambda c: (c.rect(4, 1, 11, 6, PAPER, DARK), c.rect(1, 6, 14, 12, (160, 160, 160), DARK), c.rect(4, 10, 11, 14, PAPER, DARK)),  # 4 print
    lambda c: (c.rect(2, 2, 13, 13, None, DARK), c.rect(5, 5, 10, 10, BLUE)),  # 5 snapshot
    lambda c: (c.rect(5, 3, 11, 13, (250, 220, 180), DARK), c.rect(3, 7, 4, 11, (250, 220, 180), DARK)),  # 6 hand
    lambda c: magnifier(c, 0),                                          # 7 find
    lambda c: magnifier(c, 1),                                          # 8 zoom in
    lambda c: magnifier(c, -1),                                         # 9 zoom out
    lambda c: (page(c, 4, 2, 11, 13, False), c.rect(1, 1, 14, 14, None, BLUE)),  # 10 fit page
    lambda c: rotate(c, False),                                         # 11 rotate counter-clockwise
    lambda c: rotate(c, True),                                          # 12 rotate clockwise
    lambda c: arrow(c, -1),                                             # 13 previous page
    lambda c: arrow(c, 1),                                              # 14 next page
    lambda c: panels(c, False, False, False),                           # 15 page only
    lambda c: panels(c, True, True, False),                             # 16 thumbnails
    lambda c: panels(c, True, False, False),                            # 17 thumbnails and page
    lambda c: (page(c, 4, 2, 11, 13, False), c.line(6, 6, 6, 10, INK), c.line(9, 6, 9, 10, INK)),  # 18 actual size
    lambda c: arrow(c, -1, True),                                       # 19 first page
    lambda c: arrow(c, 1, True),                                        # 20 last page
    lambda c: (page(c, 4, 2, 11, 13, False), c.line(1, 8, 14, 8, BLUE), c.line(1, 6, 1, 10, BLUE), c.line(14, 6, 14, 10, BLUE)),  # 21 fit width
    lambda c: (c.line(7, 2, 7, 13, INK), c.line(5, 2, 9, 2, INK), c.line(5, 13, 9, 13, INK)),  # 22 select text
    lambda c: panels(c, False, False, True),                            # 23 bookmarks and page
]


def strip(size):
    rows = [[] for _ in range(size)]
    for draw in IMAGES:
        c = Canvas(size)
        draw(c)
        for y in range(size):
            rows[y].extend(c.px[y])
    return rows


def write_bmp(path, rows):
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    data = b""
    for row in reversed(rows):
        line = b"".join(bytes((b, g, r)) for (r, g, b) in row)
        data += line + b"\0" * (stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    assert len(IMAGES) == 24
    write_bmp(sys.argv[1], strip(16))
    write_bmp(sys.argv[2], strip(24))


if __name__ == "__main__":
    main()
