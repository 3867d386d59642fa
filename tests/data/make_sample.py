#!/usr/bin/env python3
"""Writes sample.pdf, the document `make run` opens: three pages with vector
art, text in the base fonts, an outline and links, written as plain PDF text
with computed cross-reference offsets.

usage: make_sample.py OUT.pdf
"""
import math, sys


def star(cx, cy, r_out, r_in, n=5):
    pts = []
    for i in range(2 * n):
        r = r_out if i % 2 == 0 else r_in
        a = math.pi / 2 + i * math.pi / n
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    ops = ["%.2f %.2f m" % pts[0]] + ["%.2f %.2f l" % p for p in pts[1:]] + ["h"]
    return "\n".join(ops)


def circle(cx, cy, r):
    k = 0.5523 * r
    return "\n".join([
        "%.2f %.2f m" % (cx + r, cy),
        "%.2f %.2f %.2f %.2f %.2f %.2f c" % (cx + r, cy + k, cx + k, cy + r, cx, cy + r),
        "%.2f %.2f %.2f %.2f %.2f %.2f c" % (cx - k, cy + r, cx - r, cy + k, cx - r, cy),
        "%.2f %.2f %.2f %.2f %.2f %.2f c" % (cx - r, cy - k, cx - k, cy - r, cx, cy - r),
        "%.2f %.2f %.2f %.2f %.2f %.2f c" % (cx + k, cy - r, cx + r, cy - k, cx + r, cy),
        "h"])


def text(font, size, x, y, s):
    s = s.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
    return "BT /%s %d Tf %.1f %.1f Td (%s) Tj ET" % (font, size, x, y, s)


PAGE1 = "\n".join([
    "0.93 0.95 1 rg 36 36 540 720 re f",
    "0 0 0.5 rg", text("F2", 28, 72, 700, "pagrix sample document"),
    "0 0 0 rg", text("F1", 12, 72, 670, "Vector art, base fonts, an outline and links."),
    "q 0.9 0.2 0.1 rg 0.2 0 0 RG 2 w", star(180, 480, 110, 45), "B Q",
    "q 0.1 0.5 0.9 rg", circle(420, 480, 90), "f Q",
    "q 1 0.8 0 rg", circle(420, 480, 50), "f* Q",
    "q 0 0.6 0.3 RG 6 w 1 J 1 j [18 12] 0 d 72 320 m 540 320 l S Q",
    "q 0.4 0 0.6 RG 3 w 0 J 0 j 72 250 m 150 300 l 230 250 l 310 300 l 390 250 l 470 300 l 540 250 l S Q",
    "q 0.5 g 72 120 468 60 re f 1 g", text("F3", 14, 90, 145, "Courier: 0123456789 {[()]}"), "Q",
])

PAGE2 = "\n".join([
    "0 0 0 rg", text("F4", 22, 72, 700, "Fonts of the base set"),
    text("F1", 14, 72, 650, "Helvetica: The quick brown fox jumps over the lazy dog."),
    text("F4", 14, 72, 620, "Times: The quick brown fox jumps over the lazy dog."),
    text("F3", 14, 72, 590, "Courier: The quick brown fox jumps over the lazy dog."),
    text("F5", 14, 72, 560, "Symbol: abgdepqrs"),
    "0 0 1 rg", text("F1", 14, 72, 480, "Back to page 1 (internal link)"),
    text("F1", 14, 72, 450, "Debian project (external link)"),
    "0 0 1 RG 0.5 w 72 477 m 270 477 l S 72 447 m 272 447 l S",
    "q 0.8 g 72 200 m 300 380 l 528 200 l h f Q",
])

PAGE3 = "\n".join([
    "q 0.2 0.2 0.2 rg", text("F2", 24, 72, 520, "A landscape page (Rotate 90)"), "Q",
    "q 0.9 0.5 0.1 rg 1 0 0 1 396 300 cm", "\n".join(
        "q %.4f %.4f %.4f %.4f 0 0 cm 0 0 m 150 0 l 140 20 l h f Q" % (
            math.cos(a), math.sin(a), -math.sin(a), math.cos(a))
        for a in [i * math.pi / 6 for i in range(12)]), "Q",
])


def build():
    objs = {}
    objs[1] = "<< /Type /Catalog /Pages 2 0 R /Outlines 20 0 R /PageMode /UseOutlines >>"
    objs[2] = "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 612 792] /Resources 6 0 R >>"
    objs[3] = "<< /Type /Page /Parent 2 0 R /Contents 10 0 R >>"
    objs[4] = "<< /Type /Page /Parent 2 0 R /Contents 11 0 R /Annots [30 0 R 31 0 R] >>"
    objs[5] = "<< /Type /Page /Parent 2 0 R /Contents 12 0 R /Rotate 90 >>"
    objs[6] = ("<< /Font << /F1 7 0 R /F2 8 0 R /F3 9 0 R /F4 13 0 R /F5 14 0 R >> >>")
    fonts = {7: "Helvetica", 8: "Helvetica-Bold", 9: "Courier", 13: "Times-Roman", 14: "Symbol"}
    for n, base in fonts.items():
        enc = "" if base == "Symbol" else " /Encoding /WinAnsiEncoding"
        objs[n] = "<< /Type /Font /Subtype /Type1 /BaseFont /%s%s >>" % (base, enc)
    for n, content in ((10, PAGE1), (11, PAGE2), (12, PAGE3)):
        data = content.encode("latin-1")
        objs[n] = ("<< /Length %d >>\nstream\n" % len(data)).encode() + data + b"\nendstream"
    objs[20] = "<< /Type /Outlines /First 21 0 R /Last 23 0 R /Count 3 >>"
    titles = ["Vector art", "Fonts and links", "Landscape page"]
    for i, title in enumerate(titles):
        n = 21 + i
        links = ["/Parent 20 0 R", "/Dest [%d 0 R /XYZ 0 792 0]" % (3 + i)]
        if i > 0:
            links.append("/Prev %d 0 R" % (n - 1))
        if i < 2:
            links.append("/Next %d 0 R" % (n + 1))
        objs[n] = "<< /Title (%s) %s >>" % (title, " ".join(links))
    objs[30] = "<< /Type /Annot /Subtype /Link /Rect [70 474 272 492] /Border [0 0 0] /Dest [3 0 R /Fit] >>"
    objs[31] = ("<< /Type /Annot /Subtype /Link /Rect [70 444 274 462] /Border [0 0 0] "
                "/A << /S /URI /URI (https://www.debian.org/) >> >>")
    objs[40] = "<< /Title (pagrix sample) /Producer (make_sample.py) >>"

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    size = max(objs) + 1
    offsets = {}
    for n in sorted(objs):
        offsets[n] = len(out)
        body = objs[n] if isinstance(objs[n], bytes) else objs[n].encode("latin-1")
        out += b"%d 0 obj\n" % n + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % size
    for n in range(1, size):
        if n in offsets:
            out += b"%010d 00000 n \n" % offsets[n]
        else:
            out += b"0000000000 65535 f \n"
    out += b"trailer\n<< /Size %d /Root 1 0 R /Info 40 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (size, xref)
    return bytes(out)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(build())
