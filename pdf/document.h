// PdfDoc: one open PDF file with its cross-reference table, trailer, object
// cache and page list; and the calls that open it and fetch objects by number
// (PDF Reference 1.7, sections 3.4 and 7.5).
#pragma once
#include <cstdint>

#include "pdf/limits.h"
#include "pdf/object.h"

struct Arena;
struct ByteReader;
struct PdfCrypt;
struct XrefAccum;
struct PdfFont;
struct PdfFontFile;

// One cross-reference entry. type 1: offset of "num gen obj"; type 2: offset
// is the object stream number and gen the index inside it. All zero = undefined.
struct XrefEntry {
    int32_t offset;
    int32_t gen;
    int32_t type;  // 0 free, 1 in use, 2 compressed
};

// One object number: its cross-reference entry and, once fetched, the object.
struct XrefSlot {
    XrefEntry entry;
    PdfObject *obj;       // the fetched object (the per-number cache)
    uint8_t loading;      // 1 while the object is being fetched (cycle guard)
    uint8_t objstm_read;  // an object stream whose objects were all read once
};

struct PdfDoc {
    char *path;
    ByteReader *file;  // shared: every read seeks first
    Arena *arena;
    int64_t file_size;
    char version[8];
    // The cross-reference table, sparse so that memory follows the objects
    // present and not the highest number: chunk k holds the numbers
    // k * PDF_XREF_CHUNK ... and is null when none of them is defined.
    // Read it through pdf_xref_slot and pdf_xref_next.
    XrefSlot **xref;
    int xref_chunks;  // length of `xref`
    int xref_size;    // highest number defined + 1
    PdfObject *trailer;
    int repaired;
    int view_rotation;
    int fetch_depth;
    PdfObject *catalog;
    int page_count;
    PdfObject **pages;
    PdfCrypt *crypt;  // null: not encrypted
    int encrypt_num;
    // Installed by the security handler together with `crypt`: decrypt the
    // strings of an object read from the file, and wrap a raw stream reader.
    void (*decrypt_object)(PdfDoc *doc, PdfObject *obj, int num, int gen);
    ByteReader *(*decrypt_stream)(PdfDoc *doc, ByteReader *raw, int num, int gen);
    // Object streams a repair scan found, read once security is set up.
    int *repair_objstms;
    int repair_objstm_count;
    // What earlier "endstream" scans found (0 = nothing known yet).
    int64_t endstream_from, endstream_at, no_endstream_from;
    // Where a scan of the whole file found each "num gen obj" header, made
    // once, when a table offset first misses its object (see pdf_fetch).
    XrefAccum *scanned;
    int scan_done;
    // Font records and the decoded font programs they share, made by the font
    // layer, which installs `fonts_free` with its first record; pdf_close
    // calls it before the arena goes.
    PdfFont *fonts;
    PdfFontFile *font_files;
    void (*fonts_free)(PdfDoc *doc);
};

// 0, or -1 (cannot open/read), -2 (no cross-reference and no objects),
// -3 (memory), -5 (repair needed on a file over 64 MiB), or the security
// handler's code (-6 wrong password, -7 unsupported). *out is null on failure.
int pdf_open(PdfDoc **out, const char *path, const char *password);
void pdf_close(PdfDoc *doc);

// The slot of object `num`, or null when its chunk holds no definition.
XrefSlot *pdf_xref_slot(const PdfDoc *doc, int num);
// The smallest number >= num with a defined (not all-zero) entry, or -1.
int pdf_xref_next(const PdfDoc *doc, int num);
// Defines entry `num` when it is still undefined, growing the table in the
// document's arena; 0 or -3 (also for a number out of range).
int pdf_xref_define(PdfDoc *doc, int num, const XrefEntry &entry);

// The object at a file offset ("num gen obj" ...), with stream detection. The
// numbers of the header are not compared with num and gen.
PdfObject *pdf_read_indirect(PdfDoc *doc, int64_t offset, int num, int gen);
// Object by number through the cross-reference table and the cache; null for
// free, undefined, cyclic or too deeply nested fetches. When the table's
// offset does not hold "num gen obj" with the entry's numbers, the object is
// looked for where a scan of the whole file finds its header (the scan runs
// once per document).
PdfObject *pdf_fetch(PdfDoc *doc, int num, int gen);
// Follows references (at most 32); null when one cannot be fetched.
PdfObject *pdf_resolve(PdfDoc *doc, PdfObject *obj);
// Shorthand: pdf_resolve(doc, pdf_dict_get(obj, key)).
PdfObject *pdf_dict_get_resolved(PdfDoc *doc, const PdfObject *obj, const char *key);

// Object `num` from object stream `stream_num` (entries of type 2). The first
// call for a stream decodes it once, as far as its objects reach, and caches
// every object of it that the table places there, so memory and time follow
// the objects read, not the length the stream declares.
PdfObject *pdf_objstm_fetch(PdfDoc *doc, int stream_num, int num);
// Reads up to n (object number, offset) pairs from the first `first` bytes of
// a decoded object stream (consumed from `stream`, which is left after them)
// into pairs[2n]; the count read, -1 without memory.
int pdf_objstm_read_pairs(PdfDoc *doc, ByteReader *stream, int first, int n, int32_t *pairs);

// ---- Steps of the open sequence, also used by tests ----

// Reads "%PDF-x.y" from the start of the file into doc->version.
void pdf_read_header(PdfDoc *doc);
// The startxref offset, or -1.
int64_t pdf_find_startxref(PdfDoc *doc);
// Follows the section chain from startxref; 0 or -2.
int pdf_read_xref_chain(PdfDoc *doc);
// Rebuilds the table by scanning for "obj" and "trailer": 0, -1, -2, -3, -5.
int pdf_repair(PdfDoc *doc);
// Adds the objects of the object streams the repair found as compressed
// entries (after security set-up, as the streams may be encrypted); 0 or -3.
int pdf_repair_object_streams(PdfDoc *doc);
