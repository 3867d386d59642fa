// Plain text documents: a file read whole (its first 16 MiB), decoded in one
// of eleven encodings (detected or chosen by the user), split into logical
// lines and fixed-width visual rows, and shown as a paginated listing on US
// Letter pages in one 10-point base font, monospaced or proportional.
#pragma once
#include <cstdint>

#include <ft2build.h>
#include FT_FREETYPE_H

struct PageBitmap;
struct PageText;

enum TextEncoding {
    TEXT_UTF8 = 0,
    TEXT_UTF16LE = 1,
    TEXT_UTF16BE = 2,
    TEXT_WINDOWS_1254 = 3,
    TEXT_ISO_8859_9 = 4,
    TEXT_OEM_857 = 5,
    TEXT_OEM_850 = 6,
    TEXT_WINDOWS_1252 = 7,
    TEXT_OEM_437 = 8,
    TEXT_ASCII = 9,
    TEXT_MAC_TURKISH = 10,
    TEXT_ENCODING_COUNT = 11,
};

// Page layout, in points and character cells.
constexpr int TEXT_COLUMNS = 90;          // characters per visual row
constexpr int TEXT_ROWS_PER_PAGE = 55;    // visual rows per page
constexpr float TEXT_PAGE_WIDTH = 612;    // US Letter
constexpr float TEXT_PAGE_HEIGHT = 792;
constexpr float TEXT_LEFT = 36;           // x of a row's first character
constexpr float TEXT_FIRST_BASELINE = 44;  // baseline of row 0
constexpr float TEXT_ROW_PITCH = 13;      // baseline to baseline
constexpr float TEXT_CELL_WIDTH = 6;      // one monospaced character
constexpr float TEXT_EM = 10;             // the face's size
constexpr const char *TEXT_MONO_FACE = "n022003l.pfb";
constexpr const char *TEXT_PROP_FACE = "n019003l.pfb";

// One logical line, or one piece of a line too long to decode at once.
struct TextLine {
    int offset;     // byte offset of the first byte
    int length;     // bytes, without the line break
    int first_row;  // index of its first visual row in the document
};

struct TextDoc {
    uint8_t *data;       // the file's first up to 16 MiB
    int length;          // bytes read
    int encoding;        // TextEncoding
    int encoding_sure;   // 0: a guess from the single-byte rules
    TextLine *lines;
    int line_count, line_capacity;
    int total_rows;
    FT_Face mono_face, prop_face;  // opened on first use
    bool mono_tried, prop_tried;   // a missing face is looked for once
    float *prop_advance;           // proportional advances in points by character, < 0 unknown
    int mono;                      // 1 monospaced, 0 proportional
    int columns;                   // TEXT_COLUMNS
    int rows_per_page;             // TEXT_ROWS_PER_PAGE
    int cached_line;               // line held in line_buffer, -1 none
    uint16_t *line_buffer;         // TEXT_LINE_MAX_CHARS characters
    int cached_length;
};

// Null when the file cannot be opened, its size cannot be read or memory
// fails. Files above 16 MiB are cut to their first 16 MiB.
TextDoc *text_open(const char *path);
// The same over bytes in memory (copied; cut like a file). `name` only
// feeds the detection's extension rule and may be null.
TextDoc *text_open_memory(const uint8_t *data, int64_t size, const char *name);
// Releases the faces (and their glyph-cache entries) and all memory.
void text_close(TextDoc *doc);

// The encoding of `data`: a byte order mark, valid UTF-8 or pure ASCII are
// sure (*sure = 1); other 8-bit text is a guess: OEM 437 for a `path` whose
// extension begins with "nf", else Windows-1254. `path` may be null.
int text_detect_encoding(const uint8_t *data, int64_t length, const char *path, int *sure);
// 0..10 sets that encoding (sure); -1 detects again without the file name;
// anything else is refused (false). The line index is rebuilt.
bool text_set_encoding(TextDoc *doc, int encoding);
int text_encoding(const TextDoc *doc);       // 9 (ASCII) for no document
int text_encoding_sure(const TextDoc *doc);  // 1 for no document
// "UTF-8", "UTF-16 LE", ... ; "?" outside 0..10.
const char *text_encoding_name(int index);
// The index of a name as text_encoding_name gives it, compared without
// regard to case, spaces, hyphens and underscores ("oem437", "utf-16le");
// -1 when no encoding has that name.
int text_encoding_by_name(const char *name);

void text_set_mono(TextDoc *doc, int mono);
int text_mono(const TextDoc *doc);

// ceil(total rows / 55), clamped to 1..32767.
int text_page_count(const TextDoc *doc);
// Always US Letter.
void text_page_size(const TextDoc *doc, int page, float *width_pt, float *height_pt);
// Rows band_top .. band_top + band_rows - 1 of the page at `scale` pixels per
// point into a new white bitmap with black text (the band is shortened to the
// page). 0; -2 null document; -4 no such page; -3 memory; -5 a scale out
// of range or a band outside the page.
int text_render_page(TextDoc *doc, int page, float scale, int band_top, int band_rows, PageBitmap **out);
// One item per character of each visual row, spaces included, boxes in
// pixels at `scale`; owned by the caller. Null for no such page or memory.
PageText *text_page_text(TextDoc *doc, int page, float scale);
