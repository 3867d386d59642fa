#!/usr/bin/env python3
"""Writes vector.pdf: one small page of vector art only (no text, images or
shadings), where every pixel comes from the engine's own arithmetic: curves,
fractional coordinates under rotated and skewed matrices, strokes of several
widths, joins, caps and dashes, an even-odd fill, a round clip, gray, RGB and
CMYK colours and a half-transparent fill. Some colours (0.7, 0.9) scale to
just below a half level in single precision, where extended precision rounds
the other way. The Windows shell tests compare the viewer's pixels of this
page with the native command-line renderer's.

usage: make_vector.py OUT.pdf
"""
import math, sys


def blob(cx, cy, r, n, wobble):
    pts = []
    for i in range(n):
        a = 2 * math.pi * i / n
        rr = r * (1 + wobble * math.sin(3 * a))
        pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
    ops = ["%.3f %.3f m" % pts[0]]
    for i in range(n):
        p, q = pts[i], pts[(i + 1) % n]
        ops.append("%.3f %.3f %.3f %.3f %.3f %.3f c" % (
            p[0] + (q[1] - p[1]) * 0.3, p[1] - (q[0] - p[0]) * 0.3,
            q[0] - (q[1] - p[1]) * 0.1, q[1] + (q[0] - p[0]) * 0.1, q[0], q[1]))
    return "\n".join(ops + ["h"])


def content():
    c = math.cos(math.radians(23)), math.sin(math.radians(23))
    ops = [
        "0.93 0.91 0.87 rg 0 0 300 200 re f",
        # An even-odd blob with a self-overlapping outline.
        "0.1 0.3 0.7 rg", blob(70.3, 120.7, 42.2, 7, 0.25), "f*",
        # A rotated rectangle and a rotated, dashed outline of it.
        "q %.6f %.6f %.6f %.6f 168.4 96.2 cm" % (c[0], c[1], -c[1], c[0]),
        "0.9 0.2 0.1 rg -30.25 -18.5 60.5 37 re f",
        "0 0 0 1 K 1.35 w [4.5 2.25 0.75 2.25] 1.3 d -36.1 -24.4 72.2 48.8 re S Q",
        # Strokes: joins, caps and widths from a hairline to a wide miter.
        "q 0.2 0.55 0.3 RG 0 J 2 j 6.4 w 215.3 30.2 m 240.1 75.9 l 262.7 28.4 l S",
        "1 J 1 j 2.7 w 0.45 0.1 0.6 RG 20.2 20.3 m 60.4 48.9 95.5 5.1 130.9 32.2 c S",
        "2 J 0 j 0.35 w 0 0 0 RG 12 190 m 288 172.5 l S",
        "0 w 10 10 m 290 14 l S Q",
        # A skewed, non-uniformly scaled square outline with round joins.
        "q 1.4 0.35 0.6 0.8 215 120 cm 0.1 0.6 0.6 0.05 K 1 j 2.2 w 0 0 40 40 re S Q",
        # A round clip over stripes, and a half-transparent fill across it.
        "q", blob(140.6, 160.2, 26.4, 5, 0.0), "W n",
        "0.35 g",
    ]
    for i in range(12):
        ops.append("%.2f 130 2.3 60 re f" % (110.2 + i * 5.05))
    ops += ["Q", "q /Half gs 0.95 0.75 0.1 rg 118.3 118.8 70.4 30.9 re f Q"]
    return "\n".join(ops) + "\n"


def build():
    body = content().encode()
    objs = {
        1: b"<< /Type /Catalog /Pages 2 0 R >>",
        2: b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        3: b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R"
           b" /Resources << /ExtGState << /Half << /ca 0.5 >> >> >> >>",
        4: b"<< /Length %d >>\nstream\n" % len(body) + body + b"endstream",
    }
    out = bytearray(b"%PDF-1.4\n")
    offsets = {}
    for n in sorted(objs):
        offsets[n] = len(out)
        out += b"%d 0 obj\n" % n + objs[n] + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 5\n0000000000 65535 f \n"
    for n in range(1, 5):
        out += b"%010d 00000 n \n" % offsets[n]
    out += b"trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % xref
    return bytes(out)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(build())
