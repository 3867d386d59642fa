#!/usr/bin/env python3
"""Navigation data of a PDF as qpdf reads it, for the navigation oracle test.

usage: qpdf_nav.py FILE [PASSWORD]

Prints tab-separated lines:
  outline LEVEL PAGE TITLE-HEX   qpdf's outline in pre-order (level 1 = top,
                                 page 1-based, 0 = none); the title passed
                                 through code page 1252 ("?" for what it
                                 lacks, control characters as spaces, cut to
                                 127 bytes, trailing spaces removed) as hex;
                                 items left with an empty title are omitted
  link X0 Y0 X1 Y1 KIND TARGET   each Link annotation of page 1 with a GoTo
                                 destination on a page, a non-empty URI or a
                                 NextPage/PrevPage/FirstPage/LastPage/GoBack/
                                 GoForward action; Rect normalised, in points
Exit status 3 when qpdf cannot read the file.
"""
import json
import re
import subprocess
import sys

REF = re.compile(r"^\d+ \d+ R$")
NAMED = {"/NextPage": "next", "/PrevPage": "prev", "/FirstPage": "first",
         "/LastPage": "last", "/GoBack": "back", "/GoForward": "forward"}


def qpdf_json(path, password, keys):
    cmd = ["qpdf", "--json=2"] + ["--json-key=" + key for key in keys]
    if password is not None:
        cmd.append("--password=" + password)
    cmd.append(path)
    r = subprocess.run(cmd, capture_output=True, timeout=120)
    if r.returncode not in (0, 3):
        sys.exit(3)
    try:
        return json.loads(r.stdout)
    except ValueError:
        sys.exit(3)


def display_title(text):
    text = text.split("\0")[0]
    text = "".join(" " if ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F else c for c in text)
    return text.encode("cp1252", errors="replace")[:127].rstrip(b" ")


def print_outline(items, level, pages):
    for item in items:
        title = display_title(item.get("title", ""))
        if title:
            page = item.get("destpageposfrom1") or 0
            # qpdf 11 does not unwrap a named destination that is a dictionary
            # with D; its destination page is then taken here.
            dest = item.get("dest")
            if not page and isinstance(dest, dict) and isinstance(dest.get("/D"), list):
                target = dest["/D"][0] if dest["/D"] else None
                page = pages.index(target) + 1 if target in pages else 0
            print("outline\t%d\t%d\t%s" % (level, page, title.hex()))
        print_outline(item.get("kids", []), level + 1, pages)


class Objects:
    def __init__(self, doc):
        self.table = {}
        for entry in doc["qpdf"][1:]:
            for key, obj in entry.items():
                self.table[key] = obj

    def get(self, value):
        """Follows references; stream objects give their dictionary."""
        for _ in range(32):
            if not (isinstance(value, str) and REF.match(value)):
                return value
            obj = self.table.get("obj:" + value)
            if obj is None:
                return None
            value = obj["stream"]["dict"] if "stream" in obj else obj.get("value")
        return None

    def trailer(self):
        return self.table.get("trailer", {}).get("value", {})


def string_bytes(value):
    """The raw bytes behind qpdf's "u:" / "b:" string forms, as far as they
    can be told (text decoded from a single-byte encoding keeps one character
    per byte)."""
    if value.startswith("b:"):
        return bytes.fromhex(value[2:])
    return "".join(c if ord(c) < 0x80 else "\x80" for c in value[2:]).encode("latin-1")


def plain(raw):
    raw = raw.split(b"\0")[0]
    return "".join(chr(b) if 0x20 <= b <= 0x7E else " " for b in raw)


def tree_lookup(objs, node, key):
    seen, stack = set(), [(node, 0)]
    while stack:
        ref, depth = stack.pop()
        if depth > 32 or (isinstance(ref, str) and ref in seen):
            continue
        if isinstance(ref, str):
            seen.add(ref)
        n = objs.get(ref)
        if not isinstance(n, dict):
            continue
        names = objs.get(n.get("/Names")) or []
        for i in range(0, len(names) - 1, 2):
            if objs.get(names[i]) == key:
                return names[i + 1]
        kids = objs.get(n.get("/Kids")) or []
        stack.extend((k, depth + 1) for k in reversed(kids))
    return None


def dest_array(objs, root, dest):
    dest = objs.get(dest)
    if isinstance(dest, str) and dest.startswith("/"):
        dests = objs.get(root.get("/Dests"))
        dest = objs.get(dests.get(dest)) if isinstance(dests, dict) else None
    elif isinstance(dest, str):
        names = objs.get(root.get("/Names"))
        tree = names.get("/Dests") if isinstance(names, dict) else None
        dest = objs.get(tree_lookup(objs, tree, dest)) if tree else None
    if isinstance(dest, dict):
        dest = objs.get(dest.get("/D"))
    return dest if isinstance(dest, list) and dest else None


def print_links(objs, pages):
    if not pages:
        return
    root = objs.get(objs.trailer().get("/Root")) or {}
    page = objs.get(pages[0])
    for a in objs.get(page.get("/Annots")) or []:
        annot = objs.get(a)
        if not isinstance(annot, dict) or annot.get("/Subtype") != "/Link":
            continue
        rect = objs.get(annot.get("/Rect"))
        if not isinstance(rect, list) or len(rect) != 4:
            continue
        rect = [objs.get(v) for v in rect]
        rect = [float(v) if isinstance(v, (int, float)) else 0.0 for v in rect]
        action = objs.get(annot.get("/A"))
        action = action if isinstance(action, dict) else {}
        dest = annot.get("/Dest")
        if dest is None and action.get("/S") == "/GoTo":
            dest = action.get("/D")
        arr = dest_array(objs, root, dest) if dest is not None else None
        target_page = pages.index(arr[0]) + 1 if arr and arr[0] in pages else 0
        if target_page:
            kind, target = "goto", str(target_page)
        elif action.get("/S") == "/URI" and str(objs.get(action.get("/URI")))[:2] in ("u:", "b:"):
            kind, target = "uri", plain(string_bytes(objs.get(action.get("/URI"))))[:255]
            if not target:
                continue
        elif action.get("/S") == "/Named" and objs.get(action.get("/N")) in NAMED:
            kind, target = NAMED[objs.get(action.get("/N"))], "-"
        else:
            continue
        x0, x1 = sorted((rect[0], rect[2]))
        y0, y1 = sorted((rect[1], rect[3]))
        print("link\t%.4f\t%.4f\t%.4f\t%.4f\t%s\t%s" % (x0, y0, x1, y1, kind, target))


def main():
    path = sys.argv[1]
    password = sys.argv[2] if len(sys.argv) > 2 else None
    doc = qpdf_json(path, password, ["outlines", "pages", "qpdf"])
    pages = [p["object"] for p in doc.get("pages", [])]
    print_outline(doc.get("outlines", []), 1, pages)
    print_links(Objects(doc), pages)


main()
