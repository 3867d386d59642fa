// Cross-reference accumulator shared by the section reader and the repair
// scan: a heap array of XrefEntry indexed by object number.
#pragma once
#include "pdf/document.h"

struct XrefAccum {
    XrefEntry *entries;
    int size;      // highest number set + 1
    int capacity;
    int failed;    // memory ran out
};

// Grows to hold `num`; false when memory is short or num is out of range.
bool xref_accum_reserve(XrefAccum *acc, int num);
// Sets entry `num` only while it is still all zero (newer sections win).
void xref_accum_set(XrefAccum *acc, int num, int32_t offset, int32_t gen, int32_t type);
// Sets entry `num` unconditionally (the repair scan: the last find wins).
void xref_accum_overwrite(XrefAccum *acc, int num, int32_t offset, int32_t gen, int32_t type);
void xref_accum_free(XrefAccum *acc);
// Moves the entries into the document's arena as xref / xref_size; 0 or -3.
int xref_accum_commit(XrefAccum *acc, PdfDoc *doc);
