// PDF font records (PDF Reference 1.7, section 5.5): one per font dictionary
// per document, with its FreeType face, encoding, widths and the per-code
// queries the glyph loop asks. Records live in the document's arena; their
// faces are released by pdf_fonts_free when the document closes.
#pragma once
#include <cstdint>

#include "fonts/font_state.h"

struct PdfDoc;
struct PdfObject;
struct ToUnicodeMap;

constexpr int FONT_MAX_PROGRAM = 64 << 20;  // bytes of one decoded embedded font program
constexpr int FONT_CID_WIDTH_SLOTS = 512;  // Type0 widths remembered per record, by CID

struct PdfFont {
    PdfObject *dict;              // the resolved font dictionary; the cache key
    FT_Face face;                 // null: nothing of this font is drawn
    int is_cid;                   // Type0: codes are 2-byte CIDs
    int embedded;                 // the face came from an embedded font program
    int is_type3;                 // glyphs are content streams
    const char *subst_file;       // base font file of a substituted face, else null
    float font_matrix[6];         // Type3: FontMatrix
    float type3_top;              // Type3: top of the glyphs in text space when the
                                  // FontBBox is plausible and below one em, else 0
    PdfObject *char_procs;        // Type3: CharProcs
    PdfObject *resources;         // Type3: Resources
    const char *glyph_names[256];  // Type3: names from the Differences
    uint32_t gid[256];            // simple fonts: glyph index per code, 0 none
    float widths[256];            // simple fonts and Type3: thousandths (glyph space for Type3); < 0 none given
    uint16_t unicode[256];        // simple fonts: Unicode per code from the encoding, 0 none
    float face_widths[256];       // simple fonts: advances measured in the face, 0 = not yet
    ToUnicodeMap *to_unicode;     // parsed ToUnicode CMap, null without one
    float default_width;          // Type0: DW
    PdfObject *w_array;           // Type0: W, walked per CID not yet remembered
    uint32_t cid_width_key[FONT_CID_WIDTH_SLOTS];  // Type0: CID + 1 of the width in the slot, 0 none
    float cid_width_value[FONT_CID_WIDTH_SLOTS];
    const uint8_t *cid_to_gid;    // Type0: decoded CIDToGIDMap
    int cid_to_gid_count;         // 2-byte entries in cid_to_gid
    int code_is_unicode;          // Type0 with a Uni...-UCS2/UTF16 CMap: each code is a UTF-16 value
    int vertical;                 // Type0 written top to bottom: a "-V" CMap or one with WMode 1
    float dw2[2];                 // Type0 vertical: DW2, the default position vector y and displacement
    PdfObject *w2_array;          // Type0 vertical: W2, walked per query
    const uint32_t *glyph_unicode;  // Type0, embedded, no ToUnicode: Unicode per glyph of the face
    int glyph_unicode_count;      // entries in glyph_unicode
    PdfFont *next;                // the document's font list
};

// A decoded font-file stream, shared by every record that names it.
struct PdfFontFile {
    PdfObject *stream;
    const uint8_t *data;  // document arena
    int length;
    PdfFontFile *next;
};

// The cached record of a font dictionary, or a new one. Null only for a null
// dictionary or when the record cannot be allocated.
PdfFont *pdf_font_load(PdfDoc *doc, PdfObject *dict);
// Releases every record's face and empties the list (pdf_close calls it).
void pdf_fonts_free(PdfDoc *doc);

// Glyph index in the record's face for a code (0 = none).
uint32_t pdf_font_glyph(const PdfFont *font, uint32_t code);
// Advance in thousandths of text space (glyph space units for Type3).
float pdf_font_width(const PdfFont *font, uint32_t code);
// Advance in text space per unit of font size.
float pdf_font_advance(const PdfFont *font, uint32_t code);
// Vertical writing: the code's displacement `w1y` (negative: downwards) and
// the position vector (vx, vy) from the pen to the glyph's horizontal origin,
// in thousandths of text space. False for fonts written left to right.
bool pdf_font_vertical(const PdfFont *font, uint32_t code, float *w1y, float *vx, float *vy);
// Unicode value of a code (0 = none).
uint32_t pdf_font_unicode(const PdfFont *font, uint32_t code);
// The code's Unicode values (a ToUnicode sequence or the single value); the count.
int pdf_font_unicode_seq(const PdfFont *font, uint32_t code, uint32_t *values, int capacity);
// Type3: the glyph procedure of a code, or null.
PdfObject *pdf_font_charproc(PdfDoc *doc, const PdfFont *font, uint32_t code);

// ---- Charmap lookups shared with glyph drawing ----

// The glyph for a code through the face's own charmaps: Adobe custom, the
// TrueType symbol charmap (3,0) at 0xF000 + code and at code, Adobe
// standard, then the first charmap. The last charmap selected stays current.
uint32_t builtin_glyph(FT_Face face, uint32_t code);
// The glyph for a code point through the face's Unicode charmap (0 without one).
uint32_t ft_char_index_unicode(FT_Face face, uint32_t unicode);
// Advance of a glyph loaded unscaled and unhinted, in thousandths of an em; -1 on failure.
float ft_glyph_advance(FT_Face face, uint32_t glyph);

