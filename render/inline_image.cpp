// Inline images: the dictionary between BI and ID, the data up to EI
// (counted when unfiltered, searched for when filtered), then decoding and
// painting like an image XObject.
#include <cstdlib>
#include <cstring>

#include "pdf/filters.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "render/image.h"
#include "render/image_draw.h"
#include "render/interp.h"
#include "render/limits.h"

namespace {

// Components that decide the length of unfiltered data.
int inline_components(PdfObject *dict)
{
    PdfObject *im = pdf_dict_get(dict, "IM");
    if (pdf_to_int(im, 0) || (pdf_is_type(im, PDF_BOOL) && im->boolean))
        return 1;
    PdfObject *cs = pdf_dict_get(dict, "CS");
    if (!cs)
        cs = pdf_dict_get(dict, "ColorSpace");
    if (pdf_is_name(cs, "RGB") || pdf_is_name(cs, "DeviceRGB"))
        return 3;
    if (pdf_is_name(cs, "CMYK") || pdf_is_name(cs, "DeviceCMYK"))
        return 4;
    return 1;
}

bool is_white(int c) { return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32; }

// A growing heap buffer of collected data.
struct Collected {
    uint8_t *data = nullptr;
    int length = 0, capacity = 0;
    bool failed = false;
    void add(int c)
    {
        if (failed)
            return;
        if (length == capacity) {
            int grown = capacity ? capacity * 2 : INLINE_FIRST_BUFFER;
            auto *p = capacity < (1 << 29) ? static_cast<uint8_t *>(std::realloc(data, size_t(grown)))
                                           : nullptr;
            if (!p) {
                failed = true;
                return;
            }
            data = p;
            capacity = grown;
        }
        data[length++] = uint8_t(c);
    }
};

// Reads up to "EI" after white space (or at the very start) that is
// followed by white space, a delimiter or the end; the bytes before it go to
// `out` when it is given, without the trailing white space.
void read_to_ei(ByteReader *r, Collected *out)
{
    int prev = ' ', c;
    bool at_start = true;
    while ((c = reader_getc(r)) >= 0) {
        if (c == 'E' && (at_start || is_white(prev))) {
            int c2 = reader_getc(r);
            if (c2 == 'I') {
                int c3 = reader_peek(r);
                if (c3 < 0 || is_white(c3) || pdf_is_delimiter(c3))
                    break;
            }
            if (c2 >= 0)
                reader_ungetc(r);
        }
        if (out)
            out->add(c);
        prev = c;
        at_start = false;
    }
    if (out)
        while (out->length > 0 && is_white(out->data[out->length - 1]))
            out->length--;
}

// The data of the image just after ID (the reader stands there), in a heap
// buffer; null when the image is to be skipped.
uint8_t *read_data(OperandStack *st, PdfObject *dict, int *out_length)
{
    ByteReader *r = st->reader;
    *out_length = 0;
    if (pdf_dict_get(dict, "F") || pdf_dict_get(dict, "Filter")) {
        Collected c;
        read_to_ei(r, &c);
        if (c.failed || c.length == 0) {
            std::free(c.data);
            return nullptr;
        }
        *out_length = c.length;
        return c.data;
    }
    PdfObject *w = pdf_dict_get(dict, "W");
    PdfObject *h = pdf_dict_get(dict, "H");
    PdfObject *bpc_obj = pdf_dict_get(dict, "BPC");
    int64_t width = pdf_to_int(w ? w : pdf_dict_get(dict, "Width"), 0);
    int64_t height = pdf_to_int(h ? h : pdf_dict_get(dict, "Height"), 0);
    int64_t bpc = pdf_to_int(bpc_obj ? bpc_obj : pdf_dict_get(dict, "BitsPerComponent"), 8);
    int64_t total = (width * inline_components(dict) * bpc + 7) / 8 * height;
    if (width <= 0 || height <= 0 || bpc <= 0 || bpc > 16 || total <= 0 ||
        total > INTERP_INLINE_MAX) {
        read_to_ei(r, nullptr);
        return nullptr;
    }
    auto *data = static_cast<uint8_t *>(std::malloc(size_t(total)));
    if (!data) {
        read_to_ei(r, nullptr);
        return nullptr;
    }
    if (reader_read(r, data, int(total)) < total) {
        std::free(data);
        return nullptr;
    }
    // The EI keyword that follows.
    PdfToken t;
    int64_t before = reader_tell(r);
    if (pdf_next_token(r, st->scratch, &t) != 0 || !pdf_token_is(t, "EI")) {
        reader_seek(r, before);
        read_to_ei(r, nullptr);
    }
    *out_length = int(total);
    return data;
}

}  // namespace

PdfObject *draw_inline_image(OperandStack *st)
{
    RenderContext *ctx = st->ctx;
    ByteReader *r = st->reader;
    PdfObject *dict = pdf_parse_inline_image_dict(r, st->scratch);
    if (!dict)
        return nullptr;
    if (is_white(reader_peek(r)))
        reader_getc(r);
    int length = 0;
    uint8_t *data = read_data(st, dict, &length);
    if (!data || ctx->text_only || !ctx->surface) {
        std::free(data);
        return dict;
    }
    ByteReader *mem = reader_open_memory(data, length);
    if (mem) {
        ImageOptions opt;
        opt.inline_image = 1;
        draw_image_data(ctx, dict, mem, opt);
    }
    std::free(data);
    return dict;
}
