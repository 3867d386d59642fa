#!/usr/bin/env python3
"""Turns the base-35 Type 1 fonts (shipped as .t1 text with an eexec part) into PFB files named by
their eight-character base names, and writes the resource script that puts
them into pagrix.dll as RCDATA.

usage: pfa_to_pfb.py FONTS_TSV FONT_DIR OUT_DIR
Also writes fontdata.cpp, which builds the same files into a program where
there are no resource libraries (.incbin and a table of names and sizes).
PFB: segments 0x80 type len32le data; 1 = clear text, 2 = binary, 3 = end.
"""
import binascii, os, re, sys


def pfa_to_pfb(pfa: bytes) -> bytes:
    marker = re.search(rb"currentfile\s+eexec\s*?(\r\n|\r|\n)", pfa)
    if not marker:
        raise ValueError("no eexec section")
    head = pfa[:marker.end()]
    rest = pfa[marker.end():]
    # The trailer is 512 zeros in lines, then "cleartomark": walk back from it.
    end = rest.rfind(b"cleartomark")
    if end < 0:
        raise ValueError("no trailer")
    cut = end
    while cut > 0 and rest[cut - 1:cut] in (b"0", b"\r", b"\n", b" ", b"\t"):
        cut -= 1
    body, tail = rest[:cut], rest[cut:]
    # Some files keep the encrypted part as hex text, others as raw bytes.
    if re.fullmatch(rb"[0-9A-Fa-f\s]*", body[:64]):
        body = binascii.unhexlify(re.sub(rb"\s+", b"", body))
    binary = body

    def seg(kind, data):
        return bytes([0x80, kind]) + len(data).to_bytes(4, "little") + data

    return seg(1, head) + seg(2, binary) + seg(1, tail) + bytes([0x80, 3])


def main():
    tsv, font_dir, out_dir = sys.argv[1:4]
    os.makedirs(out_dir, exist_ok=True)
    rc = ["// Generated from fonts.tsv: the 35 base fonts as RCDATA.",
          "LANGUAGE 0, 0"]
    blobs, table = [], []
    for line in open(tsv, encoding="ascii"):
        if line.startswith("#") or not line.strip():
            continue
        res, name = line.split()
        with open(os.path.join(font_dir, name + ".t1"), "rb") as f:
            pfb = pfa_to_pfb(f.read())
        path = os.path.join(out_dir, res.lower() + ".pfb")
        with open(path, "wb") as f:
            f.write(pfb)
        rc.append('%s RCDATA "%s"' % (res, path.replace("\\", "/")))
        blobs.append('"pagrix_font_%s:\\n .incbin \\"%s\\"\\n"' % (res, path))
        table.append('    {"%s", pagrix_font_%s, %d},' % (res, res, len(pfb)))
    with open(os.path.join(out_dir, "fonts.rc"), "w", encoding="ascii") as f:
        f.write("\n".join(rc) + "\n")
    data = ["// Generated from fonts.tsv: the 35 base fonts as PFB bytes.",
            '#include "fontlib/fontdata.h"', "",
            '__asm__(".section .rodata\\n .balign 16\\n"']
    data += ["        " + b for b in blobs]
    data += ['        ".previous\\n");', ""]
    data += ['extern "C" const uint8_t pagrix_font_%s[];' % l.split()[0]
             for l in open(tsv, encoding="ascii") if l.strip() and not l.startswith("#")]
    data += ["", "const FontDataEntry kFontData[] = {"] + table + ["    {nullptr, nullptr, 0},", "};"]
    with open(os.path.join(out_dir, "fontdata.cpp"), "w", encoding="ascii") as f:
        f.write("\n".join(data) + "\n")


if __name__ == "__main__":
    main()
