// The records an RTF document is parsed and laid out into, shared by the
// parser, the layout, the picture decoder and the drawing code.
#pragma once
#include <cstdint>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "formats/limits.h"
#include "formats/rtf.h"

struct PageBitmap;

enum RtfFamily { RTF_SERIF = 0, RTF_SANS = 1, RTF_MONO = 2 };

struct RtfChar {
    uint32_t code;   // Unicode; U+000A marks a line break inside a header or footer
    uint16_t style;
};

struct RtfStyle {
    uint8_t face;       // family * 4 + variant (0 regular, 1 bold, 2 italic, 3 bold italic)
    uint8_t underline;
    uint8_t red, green, blue;
    float size;         // points
};

enum RtfItemKind {
    RTF_ITEM_PAR = 1,       // sub = alignment; f = space before, space after, left indent, first-line indent
    RTF_ITEM_PAGE = 2,
    RTF_ITEM_LINE = 3,      // sub and f as for a paragraph end
    RTF_ITEM_PICTURE = 4,   // sub = picture index
    RTF_ITEM_ROW = 5,       // table row start
    RTF_ITEM_CELL = 6,      // sub 0: boundary f[0] points; sub 1: cell end, f[1] = alignment
    RTF_ITEM_ROW_END = 7,
};

enum RtfAlign { RTF_LEFT = 0, RTF_RIGHT = 1, RTF_CENTRE = 2, RTF_JUSTIFY = 3 };

struct RtfItem {
    uint16_t kind;
    uint16_t sub;
    int32_t pos;  // body characters before the item
    float f[4];
    // Paragraph and line ends: the list number's characters at the start of
    // the paragraph, and how they sit on its first-line indent (RTF_LEFT:
    // starting there, RTF_RIGHT: ending there, RTF_CENTRE: centred on it).
    uint8_t label_chars = 0, label_align = RTF_LEFT;
};

enum RtfPictureKind { RTF_PICT_OTHER = 0, RTF_PICT_PNG = 1, RTF_PICT_JPEG = 2 };

struct RtfPicture {
    int kind;
    std::vector<uint8_t> data;  // PNG or JPEG bytes, decoded when a page shows them
    int px_w, px_h;             // from the image header; 0 when it was refused
    float width, height;        // points
    PageBitmap *bitmap;         // decoded, or null
    bool failed;                // decoding was tried and failed
};

// One laid-out character: drawn unless it is a space, tab or no-break space.
struct RtfGlyph {
    int32_t page;    // -1: a header or footer character, on every page
    float x, y;      // pen and baseline, points
    float advance;   // points, justification included
    uint32_t code;
    uint16_t style;
};

struct RtfRule {
    int32_t page;
    float x0, y0, x1, y1;
    uint8_t red, green, blue;
};

struct RtfPlaced {
    int32_t page;
    float x, y, width, height;
    int picture;
};

struct RtfDoc {
    std::vector<RtfChar> chars, header_chars, footer_chars;
    std::vector<RtfItem> items;
    std::vector<RtfStyle> styles;
    uint8_t font_family[RTF_MAX_FONTS];
    int font_code_page[RTF_MAX_FONTS];  // from \fcharset; 0: the document's code page
    int font_count;
    struct Colour {
        uint8_t red, green, blue;
        bool automatic;
    };
    std::vector<Colour> colours;
    float paper_w, paper_h;
    float margin_l, margin_r, margin_t, margin_b;
    int code_page;
    int default_font;
    FT_Face faces[12];
    bool face_tried[12];
    std::vector<RtfPicture> pictures;
    int64_t decoded_pixels;  // pixels of the pictures' bitmaps held now

    // Layout, sorted by page; the headers' and footers' characters and rules
    // are laid out once and drawn on every page.
    std::vector<RtfGlyph> glyphs, band_glyphs;
    size_t footer_first;  // band_glyphs: the header's, then from here the footer's
    std::vector<RtfRule> rules, band_rules;
    std::vector<RtfPlaced> placed;
    std::vector<int> glyph_start, rule_start, placed_start;  // page_count + 1 entries each
    int page_count;
};

// Parses the bytes into the document's characters, items, styles, fonts,
// colours, pictures and page setup.
void rtf_parse(RtfDoc *doc, const uint8_t *data, size_t size);
// Lays the parsed document out into pages.
void rtf_layout(RtfDoc *doc);

// The face of a style's face slot, opened on first use; null when its font
// file is missing.
FT_Face rtf_face(RtfDoc *doc, int slot);
// A character's glyph in the style's face, else in the fallback faces;
// false when none has it or the style's face is missing.
bool rtf_find_glyph(RtfDoc *doc, const RtfStyle &style, uint32_t code, FT_Face *face, uint32_t *glyph);
// Advance of a character in points (tabs excluded).
float rtf_advance(RtfDoc *doc, const RtfStyle &style, uint32_t code);

// The image header's pixel size of PNG or JPEG data, when the data can fill
// it; false for anything else.
bool rtf_picture_header(int kind, const uint8_t *data, size_t size, int *width, int *height);
// The picture's bitmap, decoded on first use within the pixel budget (after
// freeing the bitmaps of pictures not in `keep`); null when it cannot be
// decoded or does not fit the budget.
PageBitmap *rtf_picture_bitmap(RtfDoc *doc, int index, const std::vector<int> &keep);
