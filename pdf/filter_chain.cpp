// Builds a stream's decoding chain from its Filter and DecodeParms entries (PDF Reference
// 1.7, 3.3): one reader per filter, each pulling from the one before, with the predictor
// of a Flate or LZW filter as a reader of its own.
#include <cstdlib>

#include "pdf/document.h"
#include "pdf/filters.h"
#include "pdf/limits.h"
#include "pdf/object.h"
#include "pdf/stream.h"

namespace {

int param_int(PdfDoc *doc, PdfObject *parms, const char *key, int def)
{
    return pdf_to_int(pdf_dict_get_resolved(doc, parms, key), def);
}

// Booleans only; anything else counts as false (or as `def` when absent).
int param_bool(PdfDoc *doc, PdfObject *parms, const char *key, int def)
{
    PdfObject *v = pdf_dict_get_resolved(doc, parms, key);
    if (!v)
        return def;
    return v->type == PDF_BOOL && v->boolean ? 1 : 0;
}

// Adds the predictor reader when Predictor > 1; on invalid parameters closes `filter`.
ByteReader *with_predictor(PdfDoc *doc, ByteReader *filter, PdfObject *parms)
{
    if (!filter)
        return nullptr;
    PredictorParams p;
    p.predictor = param_int(doc, parms, "Predictor", 1);
    if (p.predictor <= 1)
        return filter;
    p.colors = param_int(doc, parms, "Colors", 1);
    p.bits_per_component = param_int(doc, parms, "BitsPerComponent", 8);
    p.columns = param_int(doc, parms, "Columns", 1);
    ByteReader *r = pdf_filter_predictor(filter, p);
    if (!r)
        reader_close(filter);
    return r;
}

ByteReader *build_flate(PdfDoc *doc, ByteReader *src, PdfObject *parms, int)
{
    return with_predictor(doc, pdf_filter_flate(src), parms);
}

ByteReader *build_lzw(PdfDoc *doc, ByteReader *src, PdfObject *parms, int)
{
    LzwParams p;
    p.early_change = param_int(doc, parms, "EarlyChange", 1);
    return with_predictor(doc, pdf_filter_lzw(src, p), parms);
}

ByteReader *build_ascii85(PdfDoc *, ByteReader *src, PdfObject *, int) { return pdf_filter_ascii85(src); }

ByteReader *build_asciihex(PdfDoc *, ByteReader *src, PdfObject *, int) { return pdf_filter_asciihex(src); }

ByteReader *build_runlength(PdfDoc *, ByteReader *src, PdfObject *, int) { return pdf_filter_runlength(src); }

ByteReader *build_ccitt(PdfDoc *doc, ByteReader *src, PdfObject *parms, int)
{
    CcittParams p;
    p.k = param_int(doc, parms, "K", 0);
    p.columns = param_int(doc, parms, "Columns", 1728);
    p.rows = param_int(doc, parms, "Rows", 0);
    if (p.rows < 0)
        p.rows = 0;
    p.black_is_1 = param_bool(doc, parms, "BlackIs1", 0);
    p.encoded_byte_align = param_bool(doc, parms, "EncodedByteAlign", 0);
    p.end_of_line = param_bool(doc, parms, "EndOfLine", 0);
    p.end_of_block = param_bool(doc, parms, "EndOfBlock", 1);
    p.damaged_rows_before_error = param_int(doc, parms, "DamagedRowsBeforeError", 0);
    return pdf_filter_ccitt(src, p);
}

ByteReader *build_dct(PdfDoc *doc, ByteReader *src, PdfObject *parms, int components)
{
    DctParams p;
    p.components = components;
    p.color_transform = param_int(doc, parms, "ColorTransform", -1);
    return pdf_filter_dct(src, p);
}

ByteReader *build_jpx(PdfDoc *, ByteReader *src, PdfObject *, int) { return pdf_filter_jpx(src, JpxParams{}); }

// JBIG2Globals is a stream of its own, read whole; without it (or unreadable)
// the page segments are decoded alone.
ByteReader *build_jbig2(PdfDoc *doc, ByteReader *src, PdfObject *parms, int)
{
    Jbig2Params p;
    uint8_t *globals = nullptr;
    PdfObject *stream = pdf_dict_get_resolved(doc, parms, "JBIG2Globals");
    if (pdf_is_type(stream, PDF_STREAM))
        if (ByteReader *r = pdf_open_stream(doc, stream)) {
            globals = reader_read_all_heap(r, FILTER_JBIG2_MAX_DATA, &p.globals_length);
            reader_close_chain(r);
            p.globals = globals;
        }
    if (!globals)
        p.globals_length = 0;
    ByteReader *r = pdf_filter_jbig2(src, p);
    std::free(globals);
    return r;
}

struct FilterKind {
    const char *name;
    const char *abbreviation;
    // New reader over src, or null; never closes src. `components` as in pdf_apply_filters.
    ByteReader *(*build)(PdfDoc *doc, ByteReader *src, PdfObject *parms, int components);
    int needs_components;  // unsupported unless the caller accepts decoded images
};

const FilterKind FILTER_KINDS[] = {
    {"FlateDecode", "Fl", build_flate, 0},       // zlib, optional predictor
    {"LZWDecode", "LZW", build_lzw, 0},          // LZW, optional predictor
    {"ASCII85Decode", "A85", build_ascii85, 0},  // base-85 text
    {"ASCIIHexDecode", "AHx", build_asciihex, 0},
    {"RunLengthDecode", "RL", build_runlength, 0},
    {"CCITTFaxDecode", "CCF", build_ccitt, 0},   // Group 3 and 4 fax
    {"DCTDecode", "DCT", build_dct, 1},          // JPEG, for image callers only
    {"JPXDecode", "JPXDecode", build_jpx, 1},    // JPEG 2000, for image callers only
    {"JBIG2Decode", "JBIG2Decode", build_jbig2, 1},  // JBIG2, for image callers only
};

const FilterKind *find_kind(const PdfObject *name)
{
    for (const FilterKind &k : FILTER_KINDS)
        if (pdf_is_name(name, k.name) || pdf_is_name(name, k.abbreviation))
            return &k;
    return nullptr;
}

// Builds one filter over src; null on failure with *unsupported set where it applies.
ByteReader *build_one(PdfDoc *doc, ByteReader *src, PdfObject *name, PdfObject *parms, const char **unsupported,
                      int components)
{
    const FilterKind *kind = find_kind(name);
    if (!kind || (kind->needs_components && components <= 0)) {
        if (unsupported)
            *unsupported = kind ? kind->name : pdf_is_type(name, PDF_NAME) ? name->name : nullptr;
        return nullptr;
    }
    if (!pdf_is_type(parms, PDF_DICT))
        parms = nullptr;
    return kind->build(doc, src, parms, components);
}

// Closes the readers stacked on `base` (not base itself).
void close_above(ByteReader *top, ByteReader *base)
{
    while (top && top != base) {
        ByteReader *next = top->next;
        reader_close(top);
        top = next;
    }
}

}  // namespace

ByteReader *pdf_apply_filters(PdfDoc *doc, ByteReader *reader, PdfObject *dict, const char **unsupported_name,
                              int components)
{
    if (unsupported_name)
        *unsupported_name = nullptr;
    if (!reader)
        return nullptr;
    PdfObject *filter = pdf_dict_get_resolved(doc, dict, "Filter");
    if (!filter)
        filter = pdf_dict_get_resolved(doc, dict, "F");
    PdfObject *parms = pdf_dict_get_resolved(doc, dict, "DecodeParms");
    if (!parms)
        parms = pdf_dict_get_resolved(doc, dict, "DP");
    if (pdf_is_type(filter, PDF_NAME)) {
        // A one-element parameter array next to a single name is taken as meant.
        if (pdf_is_type(parms, PDF_ARRAY))
            parms = pdf_resolve(doc, pdf_array_get(parms, 0));
        return build_one(doc, reader, filter, parms, unsupported_name, components);
    }
    if (!pdf_is_type(filter, PDF_ARRAY))
        return reader;
    // A longer chain fails like an unsupported filter: no real file needs one, and each
    // filter costs a buffer and one nested call per read.
    const int n = pdf_array_len(filter);
    if (n > PDF_MAX_FILTERS)
        return nullptr;
    ByteReader *top = reader;
    for (int i = 0; i < n; i++) {
        PdfObject *p = nullptr;
        if (pdf_is_type(parms, PDF_ARRAY))
            p = pdf_resolve(doc, pdf_array_get(parms, i));
        else if (i == 0)
            p = parms;
        ByteReader *next = build_one(doc, top, pdf_resolve(doc, pdf_array_get(filter, i)), p, unsupported_name, components);
        if (!next) {
            close_above(top, reader);
            return nullptr;
        }
        top = next;
    }
    return top;
}
