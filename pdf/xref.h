// Cross-reference accumulator shared by the section reader and the repair
// scan: a sparse heap table of XrefEntry by object number, in chunks of
// PDF_XREF_CHUNK allocated as numbers arrive, so that one high number costs
// one chunk and not a table up to it.
#pragma once
#include "pdf/document.h"

struct XrefAccum {
    XrefEntry **chunks;  // heap; null chunks hold nothing
    int chunk_count;     // length of `chunks`
    int size;            // highest number set + 1
    int failed;          // memory ran out
};

// The entry for `num`, or null when its chunk was never allocated.
XrefEntry *xref_accum_get(const XrefAccum *acc, int num);
// Sets entry `num` only while it is still all zero (newer sections win).
void xref_accum_set(XrefAccum *acc, int num, int32_t offset, int32_t gen, int32_t type);
// Sets entry `num` unconditionally (the repair scan: the last find wins).
void xref_accum_overwrite(XrefAccum *acc, int num, int32_t offset, int32_t gen, int32_t type);
void xref_accum_free(XrefAccum *acc);
// Moves the entries into the document's arena as its table; 0 or -3. The
// accumulator is freed either way.
int xref_accum_commit(XrefAccum *acc, PdfDoc *doc);

// Scans the whole file for "num gen obj" headers (skipping the data of the
// streams it parses; the last definition wins) into `acc`: 0, -1, -2 (no
// object), -3 or -5 (file over the repair limit). Used by the repair and by
// pdf_fetch when a table offset misses its object.
int pdf_scan_objects(PdfDoc *doc, XrefAccum *acc);
