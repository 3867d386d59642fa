// Type0 fonts with one CID-keyed descendant (PDF Reference 1.7, section
// 5.6): the descendant's face, its default and per-CID widths (DW and W,
// walked per query), the vertical metrics of fonts written top to bottom
// (DW2 and W2) and the CIDToGIDMap of CIDFontType2 fonts.
#include <cstring>

#include "fonts/encodings.h"
#include "fonts/font_load.h"
#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"

namespace {

// The Unicode CMaps name their encoding: each 2-byte code is a UTF-16 value.
bool unicode_cmap(const PdfObject *encoding)
{
    if (!pdf_is_type(encoding, PDF_NAME) || std::strncmp(encoding->name, "Uni", 3) != 0)
        return false;
    return std::strstr(encoding->name, "-UCS2-") || std::strstr(encoding->name, "-UTF16-");
}

// A CMap that writes top to bottom: a predefined one named "...-V", or an
// embedded one with WMode 1.
bool vertical_cmap(PdfDoc *doc, const PdfObject *encoding)
{
    if (pdf_is_type(encoding, PDF_NAME)) {
        const size_t n = std::strlen(encoding->name);
        return n >= 2 && std::strcmp(encoding->name + n - 2, "-V") == 0;
    }
    if (!pdf_is_type(encoding, PDF_STREAM))
        return false;
    return pdf_to_int(pdf_dict_get_resolved(doc, const_cast<PdfObject *>(encoding), "WMode"), 0) == 1;
}

// What each glyph of an embedded face shows, read back from the face's
// Unicode charmap (the lowest code point of a glyph wins) and, for glyphs it
// leaves out, from the glyph's name. Null when neither says anything.
const uint32_t *glyph_unicode_table(PdfDoc *doc, FT_Face face, int *count)
{
    *count = 0;
    if (!face || face->num_glyphs <= 0)
        return nullptr;
    const int n = int(face->num_glyphs);
    auto *table = static_cast<uint32_t *>(arena_alloc(doc->arena, sizeof(uint32_t) * size_t(n)));
    if (!table)
        return nullptr;
    std::memset(table, 0, sizeof(uint32_t) * size_t(n));
    bool any = false;
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0) {
        FT_UInt g = 0;
        for (FT_ULong c = FT_Get_First_Char(face, &g); g != 0; c = FT_Get_Next_Char(face, c, &g)) {
            if (int(g) < n && table[g] == 0 && c > 0 && c <= 0x10FFFF) {
                table[g] = uint32_t(c);
                any = true;
            }
        }
    }
    if (FT_HAS_GLYPH_NAMES(face)) {
        char name[64];
        for (int g = 1; g < n; g++) {
            if (table[g] == 0 && FT_Get_Glyph_Name(face, FT_UInt(g), name, sizeof name) == 0 &&
                (table[g] = glyph_name_to_unicode(name)) != 0)
                any = true;
        }
    }
    if (!any)
        return nullptr;
    *count = n;
    return table;
}

}  // namespace

void font_load_type0(PdfDoc *doc, PdfFont *font)
{
    font->is_cid = 1;
    font->default_width = 1000;
    PdfObject *descendants = pdf_dict_get_resolved(doc, font->dict, "DescendantFonts");
    PdfObject *cid_font = pdf_resolve(doc, pdf_array_get(descendants, 0));
    if (!pdf_is_type(cid_font, PDF_DICT))
        return;
    font_find_face(doc, font, pdf_dict_get_resolved(doc, cid_font, "FontDescriptor"),
                   pdf_dict_get_resolved(doc, cid_font, "BaseFont"));
    PdfObject *encoding = pdf_dict_get_resolved(doc, font->dict, "Encoding");
    font->code_is_unicode = unicode_cmap(encoding);
    font->vertical = vertical_cmap(doc, encoding);
    font->dw2[0] = 880;
    font->dw2[1] = -1000;
    if (font->vertical) {
        PdfObject *dw2 = pdf_dict_get_resolved(doc, cid_font, "DW2");
        if (pdf_array_len(dw2) == 2)
            for (int i = 0; i < 2; i++)
                font->dw2[i] = float(pdf_to_number(pdf_resolve(doc, pdf_array_get(dw2, i)), font->dw2[i]));
        PdfObject *w2 = pdf_dict_get_resolved(doc, cid_font, "W2");
        font->w2_array = pdf_is_type(w2, PDF_ARRAY) ? w2 : nullptr;
    }
    // Without a ToUnicode map an embedded program's own charmap or glyph
    // names are what is known of its characters.
    if (!font->to_unicode && !font->code_is_unicode && font->embedded)
        font->glyph_unicode = glyph_unicode_table(doc, font->face, &font->glyph_unicode_count);
    font->default_width = float(pdf_to_number(pdf_dict_get_resolved(doc, cid_font, "DW"), 1000));
    PdfObject *w = pdf_dict_get_resolved(doc, cid_font, "W");
    font->w_array = pdf_is_type(w, PDF_ARRAY) ? w : nullptr;
    PdfObject *map = pdf_dict_get_resolved(doc, cid_font, "CIDToGIDMap");
    if (!pdf_is_type(map, PDF_STREAM))
        return;  // Identity, or nothing usable
    int length = 0;
    const uint8_t *bytes = font_read_stream(doc, map, &length);
    if (bytes && length >= 2) {
        font->cid_to_gid = bytes;
        font->cid_to_gid_count = length / 2;
    }
}

uint32_t font_type0_glyph(const PdfFont *font, uint32_t cid)
{
    if (font->cid_to_gid) {
        if (cid >= uint32_t(font->cid_to_gid_count))
            return 0;
        const uint8_t *p = font->cid_to_gid + 2 * size_t(cid);
        return uint32_t(p[0]) << 8 | p[1];
    }
    if (font->embedded)
        return cid;
    uint32_t u = pdf_font_unicode(font, cid);
    return u ? ft_char_index_unicode(font->face, u) : 0;
}

// The W array: "c [w1 w2 ...]" gives CIDs c, c+1, ...; "c1 c2 w" gives the
// CIDs c1..c2 (none when reversed). The first group covering the CID wins;
// an element that starts no group is skipped.
float font_type0_width(const PdfFont *font, uint32_t cid)
{
    const PdfObject *w = font->w_array;
    const int n = pdf_array_len(w);
    int i = 0;
    while (i < n) {
        // Elements are direct in the array, as W arrays are written; an
        // indirect element counts as malformed and is skipped.
        const PdfObject *first = pdf_array_get(w, i);
        const PdfObject *second = pdf_array_get(w, i + 1);
        if (!pdf_is_type(first, PDF_INT)) {
            i++;
            continue;
        }
        const int64_t c = first->integer;
        if (pdf_is_type(second, PDF_ARRAY)) {
            const int64_t count = pdf_array_len(second);
            if (cid >= c && int64_t(cid) < c + count) {
                const PdfObject *v = pdf_array_get(second, int(cid - c));
                return float(pdf_to_number(v, font->default_width));
            }
            i += 2;
            continue;
        }
        const PdfObject *third = pdf_array_get(w, i + 2);
        if (pdf_is_type(second, PDF_INT) &&
            (pdf_is_type(third, PDF_INT) || pdf_is_type(third, PDF_REAL))) {
            if (int64_t(cid) >= c && int64_t(cid) <= second->integer)
                return float(pdf_to_number(third, font->default_width));
            i += 3;
            continue;
        }
        i++;
    }
    return font->default_width;
}

// The W2 array: "c [w1y vx vy ...]" gives CIDs c, c+1, ... three numbers
// each; "c1 c2 w1y vx vy" gives the CIDs c1..c2. CIDs it leaves out take
// DW2 and half their width.
void font_type0_vertical(const PdfFont *font, uint32_t cid, float *w1y, float *vx, float *vy)
{
    *w1y = font->dw2[1];
    *vx = font_type0_width(font, cid) / 2;
    *vy = font->dw2[0];
    const PdfObject *w = font->w2_array;
    const int n = pdf_array_len(w);
    auto number = [](const PdfObject *v, float fallback) { return float(pdf_to_number(v, fallback)); };
    for (int i = 0; i < n;) {
        const PdfObject *first = pdf_array_get(w, i);
        const PdfObject *second = pdf_array_get(w, i + 1);
        if (!pdf_is_type(first, PDF_INT)) {
            i++;
            continue;
        }
        const int64_t c = first->integer;
        if (pdf_is_type(second, PDF_ARRAY)) {
            const int64_t count = pdf_array_len(second) / 3;
            if (int64_t(cid) >= c && int64_t(cid) < c + count) {
                const int at = int(int64_t(cid) - c) * 3;
                *w1y = number(pdf_array_get(second, at), *w1y);
                *vx = number(pdf_array_get(second, at + 1), *vx);
                *vy = number(pdf_array_get(second, at + 2), *vy);
                return;
            }
            i += 2;
            continue;
        }
        if (pdf_is_type(second, PDF_INT) && i + 4 < n) {
            if (int64_t(cid) >= c && int64_t(cid) <= second->integer) {
                *w1y = number(pdf_array_get(w, i + 2), *w1y);
                *vx = number(pdf_array_get(w, i + 3), *vx);
                *vy = number(pdf_array_get(w, i + 4), *vy);
                return;
            }
            i += 5;
            continue;
        }
        i++;
    }
}
