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
struct PdfFont;
struct PdfFontFile;

// One cross-reference entry. type 1: offset of "num gen obj"; type 2: offset
// is the object stream number and gen the index inside it. All zero = undefined.
struct XrefEntry {
    int32_t offset;
    int32_t gen;
    int32_t type;  // 0 free, 1 in use, 2 compressed
};

// A decoded object stream kept for further lookups.
struct ObjStmSlot {
    int stream_num;
    uint8_t *data;  // arena
    int length;
    int n;
    int first;
    Arena *arena;  // owns `data`; freed when the slot is replaced or the document closed
    int32_t *pairs;  // (object number, offset) pairs of the header, in `arena`
    int pair_count;
};

struct PdfDoc {
    char *path;
    ByteReader *file;  // shared: every read seeks first
    Arena *arena;
    int64_t file_size;
    char version[8];
    XrefEntry *xref;
    int xref_size;
    PdfObject *trailer;
    int repaired;
    int view_rotation;
    PdfObject **obj_cache;
    uint8_t *loading;
    int fetch_depth;
    PdfObject *catalog;
    int page_count;
    PdfObject **pages;
    PdfCrypt *crypt;  // null: not encrypted
    int encrypt_num;
    ObjStmSlot objstm_cache[PDF_OBJSTM_SLOTS];
    int objstm_count;
    int objstm_next;
    // Installed by the security handler together with `crypt`: decrypt the
    // strings of an object read from the file, and wrap a raw stream reader.
    void (*decrypt_object)(PdfDoc *doc, PdfObject *obj, int num, int gen);
    ByteReader *(*decrypt_stream)(PdfDoc *doc, ByteReader *raw, int num, int gen);
    // Object streams a repair scan found, read once security is set up.
    int *repair_objstms;
    int repair_objstm_count;
    // What earlier "endstream" scans found (0 = nothing known yet).
    int64_t endstream_from, endstream_at, no_endstream_from;
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

// The object at a file offset ("num gen obj" ...), with stream detection.
PdfObject *pdf_read_indirect(PdfDoc *doc, int64_t offset, int num, int gen);
// Object by number through the cross-reference table and the cache; null for
// free, undefined, cyclic or too deeply nested fetches.
PdfObject *pdf_fetch(PdfDoc *doc, int num, int gen);
// Follows references (at most 32); null when one cannot be fetched.
PdfObject *pdf_resolve(PdfDoc *doc, PdfObject *obj);
// Shorthand: pdf_resolve(doc, pdf_dict_get(obj, key)).
PdfObject *pdf_dict_get_resolved(PdfDoc *doc, const PdfObject *obj, const char *key);

// Object `num` from object stream `stream_num` (entries of type 2).
PdfObject *pdf_objstm_fetch(PdfDoc *doc, int stream_num, int num);
// Reads up to n (object number, offset) pairs from the first `first` bytes
// of a decoded object stream into pairs[2n]; the count read, -1 without memory.
int pdf_objstm_read_pairs(PdfDoc *doc, const uint8_t *data, int first, int n, int32_t *pairs);
// Frees the decoded object streams (at close and when the table is rebuilt).
void pdf_objstm_clear(PdfDoc *doc);

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
