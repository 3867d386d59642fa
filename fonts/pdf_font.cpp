// Loading PDF font dictionaries into font records: the embedded font
// program or a substitute face, the encoding of simple fonts, widths, Type3
// records, and the per-code queries (PDF Reference 1.7, sections 5.5-5.7).
#include "fonts/pdf_font.h"

#include <cmath>
#include <cstring>

#include "fonts/encodings.h"
#include "fonts/font_load.h"
#include "fonts/tounicode.h"
#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"

namespace {

constexpr int kSymbolicFlag = 4;

// The decoded bytes of a font-file stream, read once per document and shared
// by every record that names the same stream.
const PdfFontFile *font_file_data(PdfDoc *doc, PdfObject *stream)
{
    for (PdfFontFile *f = doc->font_files; f; f = f->next)
        if (f->stream == stream)
            return f;
    auto *file = static_cast<PdfFontFile *>(arena_alloc(doc->arena, sizeof(PdfFontFile)));
    if (!file)
        return nullptr;
    file->stream = stream;
    file->data = font_read_stream(doc, stream, &file->length);
    file->next = doc->font_files;
    doc->font_files = file;
    return file;
}

const char *name_of(const PdfObject *obj) { return pdf_is_type(obj, PDF_NAME) ? obj->name : ""; }

}  // namespace

const uint8_t *font_read_stream(PdfDoc *doc, PdfObject *stream, int *length)
{
    *length = 0;
    ByteReader *r = pdf_open_stream(doc, stream);
    const uint8_t *bytes = r ? reader_read_all(r, doc->arena, FONT_MAX_PROGRAM, length) : nullptr;
    reader_close_chain(r);
    return bytes;
}

// FontFile2, FontFile3, FontFile: the first whose data FreeType takes.
FT_Face font_embedded_face(PdfDoc *doc, PdfObject *descriptor)
{
    if (!pdf_is_type(descriptor, PDF_DICT))
        return nullptr;
    const char *keys[] = {"FontFile2", "FontFile3", "FontFile"};
    for (const char *key : keys) {
        PdfObject *stream = pdf_dict_get_resolved(doc, descriptor, key);
        if (!pdf_is_type(stream, PDF_STREAM))
            continue;
        const PdfFontFile *file = font_file_data(doc, stream);
        if (!file || !file->data || file->length <= 0)
            continue;
        if (FT_Face face = ft_face_from_memory(file->data, size_t(file->length)))
            return face;
    }
    return nullptr;
}

// The embedded program of the descriptor, else the substitute for `base_font`.
void font_find_face(PdfDoc *doc, PdfFont *font, PdfObject *descriptor, PdfObject *base_font)
{
    font->face = font_embedded_face(doc, descriptor);
    if (font->face) {
        font->embedded = 1;
        return;
    }
    const char *file = font_substitute(name_of(base_font));
    // Documents often give every page font dictionaries of their own for the
    // same base font; they share one face rather than each parsing the file.
    for (const PdfFont *f = doc->fonts; f && file; f = f->next)
        if (f != font && f->face && f->subst_file && std::strcmp(f->subst_file, file) == 0) {
            font->face = ft_face_share(f->face);
            break;
        }
    if (!font->face)
        font->face = font_open_base(file);
    if (font->face)
        font->subst_file = file;
}

uint32_t ft_char_index_unicode(FT_Face face, uint32_t unicode)
{
    if (!face || unicode == 0)
        return 0;
    if (!face->charmap || face->charmap->encoding != FT_ENCODING_UNICODE) {
        if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0)
            return 0;
    }
    return FT_Get_Char_Index(face, unicode);
}

uint32_t builtin_glyph(FT_Face face, uint32_t code)
{
    if (!face)
        return 0;
    if (FT_Select_Charmap(face, FT_ENCODING_ADOBE_CUSTOM) == 0) {
        if (FT_UInt g = FT_Get_Char_Index(face, code))
            return g;
    }
    for (int i = 0; i < face->num_charmaps; i++) {
        FT_CharMap cm = face->charmaps[i];
        if (cm->platform_id != 3 || cm->encoding_id != 0 || FT_Set_Charmap(face, cm) != 0)
            continue;
        if (FT_UInt g = FT_Get_Char_Index(face, 0xF000 + code))
            return g;
        if (FT_UInt g = FT_Get_Char_Index(face, code))
            return g;
        break;
    }
    if (FT_Select_Charmap(face, FT_ENCODING_ADOBE_STANDARD) == 0) {
        if (FT_UInt g = FT_Get_Char_Index(face, code))
            return g;
    }
    if (face->num_charmaps > 0 && FT_Set_Charmap(face, face->charmaps[0]) == 0)
        return FT_Get_Char_Index(face, code);
    return 0;
}

float ft_glyph_advance(FT_Face face, uint32_t glyph)
{
    if (!face || face->units_per_EM == 0)
        return -1;
    // Rendering leaves the face's transform set; FreeType would apply it
    // to the advance.
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_IGNORE_TRANSFORM) != 0)
        return -1;
    return float(face->glyph->advance.x) * 1000.0f / float(face->units_per_EM);
}

// The names of a Differences array over `names`: integers set the code,
// names fill codes 0..255 in turn; anything else is skipped.
void font_apply_differences(PdfDoc *doc, PdfObject *differences, const char **names)
{
    int64_t code = 0;
    for (int i = 0; i < pdf_array_len(differences); i++) {
        PdfObject *item = pdf_resolve(doc, pdf_array_get(differences, i));
        if (pdf_is_type(item, PDF_INT)) {
            code = item->integer;
        } else if (pdf_is_type(item, PDF_NAME)) {
            if (code >= 0 && code <= 255)
                names[code] = item->name;
            code++;
        }
    }
}

namespace {

// Glyphs and Unicode values of the 256 codes of a simple font with a face.
void build_encoding(PdfDoc *doc, PdfFont *font, PdfObject *descriptor)
{
    const int flags = pdf_to_int(pdf_dict_get_resolved(doc, descriptor, "Flags"), 0);
    const bool symbolic = (flags & kSymbolicFlag) != 0;
    PdfObject *encoding = pdf_dict_get_resolved(doc, font->dict, "Encoding");
    const char *names[256] = {};
    bool have_table = true;
    if (pdf_is_type(encoding, PDF_NAME)) {
        std::memcpy(names, font_encoding_table(font_encoding_by_name(encoding->name)), sizeof names);
    } else if (pdf_is_type(encoding, PDF_DICT)) {
        PdfObject *base = pdf_dict_get_resolved(doc, encoding, "BaseEncoding");
        const char *base_name = pdf_is_type(base, PDF_NAME) ? base->name : nullptr;
        std::memcpy(names, font_encoding_table(font_encoding_by_name(base_name)), sizeof names);
        font_apply_differences(doc, pdf_dict_get_resolved(doc, encoding, "Differences"), names);
    } else if (!symbolic) {
        std::memcpy(names, font_encoding_table(FONT_ENC_STANDARD), sizeof names);
    } else {
        have_table = false;
    }
    FT_Face face = font->face;
    for (uint32_t code = 0; code < 256; code++) {
        const char *name = have_table ? names[code] : nullptr;
        uint32_t uni = glyph_name_to_unicode(name);
        uint32_t g = 0;
        if (name && name[0]) {
            g = FT_Get_Name_Index(face, const_cast<char *>(name));
            if (g == 0 && uni != 0)
                g = ft_char_index_unicode(face, uni);
        }
        if (g == 0 && (symbolic || !have_table))
            g = builtin_glyph(face, code);
        if (g == 0 && name && name[0] && uni == 0)
            g = builtin_glyph(face, code);
        font->gid[code] = g;
        // Without an encoding the glyph's own name in an embedded program,
        // where it has names, says what the code shows (a TeX math font puts
        // its period at the code of ':'). A substitute's names say nothing
        // about the document's codes.
        if (uni == 0 && !have_table && font->embedded && g != 0 && FT_HAS_GLYPH_NAMES(face)) {
            char glyph_name[64];
            if (FT_Get_Glyph_Name(face, g, glyph_name, sizeof glyph_name) == 0)
                uni = glyph_name_to_unicode(glyph_name);
        }
        if (uni == 0 && code >= 0x20 && code <= 0x7E)
            uni = code;
        font->unicode[code] = uni > 0xFFFF ? 0 : uint16_t(uni);
    }
}

// MissingWidth for every code, then FirstChar and Widths.
void read_widths(PdfDoc *doc, PdfFont *font, PdfObject *descriptor)
{
    const float missing =
        float(pdf_to_number(pdf_dict_get_resolved(doc, descriptor, "MissingWidth"), -1.0));
    for (float &w : font->widths)
        w = missing;
    const int64_t first = pdf_to_int(pdf_dict_get_resolved(doc, font->dict, "FirstChar"), 0);
    PdfObject *widths = pdf_dict_get_resolved(doc, font->dict, "Widths");
    const int n = pdf_array_len(widths);
    for (int i = 0; i < n && first + i <= 255; i++) {
        if (first + i < 0)
            continue;
        PdfObject *w = pdf_resolve(doc, pdf_array_get(widths, i));
        if (pdf_is_type(w, PDF_INT) || pdf_is_type(w, PDF_REAL))
            font->widths[first + i] = float(pdf_to_number(w, 0));
    }
}

// How far above the baseline a Type 3 font's glyphs reach, in text space:
// the top of FontBBox through FontMatrix. Glyphs drawn far smaller than the
// em (a font scaled up by its text matrix instead of its size) would
// otherwise get text boxes many times their height. 0 (use the em) when the
// box is empty, reaches an em or more, or is narrower than half the widest
// advance (a placeholder box such as [0 0 1 1]).
float type3_top(PdfDoc *doc, const PdfFont *font)
{
    PdfObject *bbox = pdf_dict_get_resolved(doc, font->dict, "FontBBox");
    if (pdf_array_len(bbox) != 4)
        return 0;
    float b[4];
    for (int i = 0; i < 4; i++)
        b[i] = float(pdf_to_number(pdf_resolve(doc, pdf_array_get(bbox, i)), 0));
    if (!(b[2] > b[0] && b[3] > b[1]))
        return 0;
    float widest = 0;
    for (float w : font->widths)
        widest = std::fmax(widest, w);
    if (b[2] - b[0] < widest * 0.5f)
        return 0;
    const float *m = font->font_matrix;
    float top = -1e30f;
    for (int i = 0; i < 4; i++) {
        const float x = b[i & 1 ? 2 : 0], y = b[i & 2 ? 3 : 1];
        top = std::fmax(top, m[1] * x + m[3] * y + m[5]);
    }
    return top > 0 && top < 1 ? top : 0;
}

void load_type3(PdfDoc *doc, PdfFont *font)
{
    font->is_type3 = 1;
    const float identity[6] = {1, 0, 0, 1, 0, 0};
    std::memcpy(font->font_matrix, identity, sizeof identity);
    PdfObject *matrix = pdf_dict_get_resolved(doc, font->dict, "FontMatrix");
    if (pdf_array_len(matrix) == 6) {
        const double defaults[6] = {0.001, 0, 0, 0.001, 0, 0};
        for (int i = 0; i < 6; i++)
            font->font_matrix[i] =
                float(pdf_to_number(pdf_resolve(doc, pdf_array_get(matrix, i)), defaults[i]));
    }
    font->char_procs = pdf_dict_get_resolved(doc, font->dict, "CharProcs");
    font->resources = pdf_dict_get_resolved(doc, font->dict, "Resources");
    PdfObject *encoding = pdf_dict_get_resolved(doc, font->dict, "Encoding");
    if (pdf_is_type(encoding, PDF_DICT))
        font_apply_differences(doc, pdf_dict_get_resolved(doc, encoding, "Differences"),
                               font->glyph_names);
    // The glyph names are all a Type 3 font says about its characters; the
    // codes themselves mean nothing, so only names give Unicode values.
    for (int code = 0; code < 256; code++) {
        uint32_t uni = glyph_name_to_unicode(font->glyph_names[code]);
        font->unicode[code] = uni > 0xFFFF ? 0 : uint16_t(uni);
    }
    read_widths(doc, font, pdf_dict_get_resolved(doc, font->dict, "FontDescriptor"));
    font->type3_top = type3_top(doc, font);
}

void load_simple(PdfDoc *doc, PdfFont *font)
{
    PdfObject *descriptor = pdf_dict_get_resolved(doc, font->dict, "FontDescriptor");
    font_find_face(doc, font, descriptor, pdf_dict_get_resolved(doc, font->dict, "BaseFont"));
    if (font->face)
        build_encoding(doc, font, descriptor);
    // The widths come from the dictionary, not the face: a font without a
    // face still advances the pen by them.
    read_widths(doc, font, descriptor);
}

}  // namespace

PdfFont *pdf_font_load(PdfDoc *doc, PdfObject *dict)
{
    if (!doc)
        return nullptr;
    dict = pdf_resolve(doc, dict);
    if (!pdf_is_type(dict, PDF_DICT))
        return nullptr;
    for (PdfFont *f = doc->fonts; f; f = f->next)
        if (f->dict == dict)
            return f;
    auto *font = static_cast<PdfFont *>(arena_alloc(doc->arena, sizeof(PdfFont)));
    if (!font)
        return nullptr;
    font->dict = dict;
    // Linked before anything is read, so that a font reaching itself through
    // its own objects finds this record.
    font->next = doc->fonts;
    doc->fonts = font;
    doc->fonts_free = pdf_fonts_free;
    font->to_unicode = tounicode_parse(doc, pdf_dict_get_resolved(doc, dict, "ToUnicode"));
    PdfObject *subtype = pdf_dict_get_resolved(doc, dict, "Subtype");
    if (pdf_is_name(subtype, "Type0"))
        font_load_type0(doc, font);
    else if (pdf_is_name(subtype, "Type3"))
        load_type3(doc, font);
    else
        load_simple(doc, font);
    return font;
}

void pdf_fonts_free(PdfDoc *doc)
{
    if (!doc)
        return;
    for (PdfFont *f = doc->fonts; f; f = f->next) {
        ft_face_release(f->face);
        f->face = nullptr;
    }
    doc->fonts = nullptr;
    doc->font_files = nullptr;
}

uint32_t pdf_font_glyph(const PdfFont *font, uint32_t code)
{
    if (!font || !font->face)
        return 0;
    if (font->is_cid)
        return font_type0_glyph(font, code);
    return code < 256 ? font->gid[code] : 0;
}

float pdf_font_width(const PdfFont *font, uint32_t code)
{
    if (!font)
        return 500;
    if (font->is_cid)
        return font_type0_width(font, code);
    if (code < 256 && font->widths[code] >= 0)
        return font->widths[code];
    // Measuring loads the glyph: each code is measured once per record.
    if (code < 256 && font->face_widths[code] > 0)
        return font->face_widths[code];
    float w = ft_glyph_advance(font->face, pdf_font_glyph(font, code));
    if (code < 256 && w > 0)
        const_cast<PdfFont *>(font)->face_widths[code] = w;
    return w >= 0 ? w : 500;
}

float pdf_font_advance(const PdfFont *font, uint32_t code)
{
    if (font && font->is_type3)
        return pdf_font_width(font, code) * font->font_matrix[0];
    return pdf_font_width(font, code) / 1000.0f;
}

bool pdf_font_vertical(const PdfFont *font, uint32_t code, float *w1y, float *vx, float *vy)
{
    if (!font || !font->is_cid || !font->vertical)
        return false;
    font_type0_vertical(font, code, w1y, vx, vy);
    return true;
}

uint32_t pdf_font_unicode(const PdfFont *font, uint32_t code)
{
    if (!font)
        return 0;
    if (uint32_t u = tounicode_lookup(font->to_unicode, code))
        return u;
    if (!font->is_cid)
        return code < 256 ? font->unicode[code] : 0;
    if (font->code_is_unicode)
        return code >= 0xD800 && code <= 0xDFFF ? 0 : code;
    if (font->glyph_unicode) {
        const uint32_t g = font_type0_glyph(font, code);
        return g != 0 && g < uint32_t(font->glyph_unicode_count) ? font->glyph_unicode[g] : 0;
    }
    return 0;
}

int pdf_font_unicode_seq(const PdfFont *font, uint32_t code, uint32_t *values, int capacity)
{
    if (!font || !values || capacity < 1)
        return 0;
    if (int n = tounicode_lookup_seq(font->to_unicode, code, values, capacity); n > 0 && values[0])
        return n;
    uint32_t u = pdf_font_unicode(font, code);
    if (u == 0)
        return 0;
    values[0] = u;
    return 1;
}

PdfObject *pdf_font_charproc(PdfDoc *doc, const PdfFont *font, uint32_t code)
{
    if (!font || !font->is_type3 || code >= 256 || !font->glyph_names[code])
        return nullptr;
    PdfObject *proc = pdf_dict_get_resolved(doc, font->char_procs, font->glyph_names[code]);
    return pdf_is_type(proc, PDF_STREAM) ? proc : nullptr;
}
