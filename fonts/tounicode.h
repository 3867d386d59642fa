// ToUnicode CMaps (PDF Reference 1.7, section 5.9.2): the bfchar and
// bfrange blocks of a font's ToUnicode stream read into a list of code
// ranges, and the lookups of a code's Unicode value or sequence.
#pragma once
#include <cstdint>

struct PdfDoc;
struct PdfObject;

constexpr int TOUNICODE_MAX_STREAM = 16 << 20;    // decoded bytes of one ToUnicode stream read
constexpr int TOUNICODE_MAX_ENTRIES = 1 << 17;    // entries kept of one map (later ones are dropped)
constexpr int TOUNICODE_MAX_VALUES = 4;           // code points of one destination

struct ToUnicodeEntry {
    uint32_t lo, hi;                        // source codes, inclusive
    uint32_t values[TOUNICODE_MAX_VALUES];  // lo == hi: the sequence; else values[0] is the base
    int n;                                  // values used, 1..4
};

struct ToUnicodeMap {
    ToUnicodeEntry *entries;  // in the order read, never sorted
    int count, capacity;
};

// The map of a ToUnicode stream, in the document's arena; null when `stream`
// is not a stream, cannot be decoded, or gives no entry.
ToUnicodeMap *tounicode_parse(PdfDoc *doc, PdfObject *stream);
// The same over decoded CMap bytes.
ToUnicodeMap *tounicode_parse_bytes(PdfDoc *doc, const uint8_t *data, int length);
// The first entry holding `code`: its value (a range adds code - lo); 0 = none.
uint32_t tounicode_lookup(const ToUnicodeMap *map, uint32_t code);
// The same entry's sequence (a single-code entry) or value (a range), at most
// `capacity` values; the count, 0 = none.
int tounicode_lookup_seq(const ToUnicodeMap *map, uint32_t code, uint32_t *values, int capacity);
