// Image decoding: the sample format with its 256-entry RGB palette, the
// image dictionary, and row-by-row decoding into RGB bytes with a box
// average when the image is much larger than its device size.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "pdf/document.h"
#include "pdf/filters.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "render/colorspace.h"
#include "render/image.h"
#include "render/interp.h"
#include "render/limits.h"

namespace {

// A key of an image dictionary or its inline abbreviation, resolved.
PdfObject *image_key(RenderContext *ctx, PdfObject *dict, const char *key, const char *abbrev)
{
    PdfObject *v = pdf_dict_get_resolved(ctx->doc, dict, key);
    if (!v && abbrev)
        v = pdf_dict_get_resolved(ctx->doc, dict, abbrev);
    return v;
}

bool is_true(PdfObject *v)
{
    return (pdf_is_type(v, PDF_BOOL) && v->boolean) || (pdf_is_type(v, PDF_INT) && v->integer);
}

// CMYK bytes to RGB bytes.
inline void cmyk_bytes(const uint8_t *c, uint8_t *rgb)
{
    int k = 255 - c[3];
    rgb[0] = uint8_t((255 - c[0]) * k / 255);
    rgb[1] = uint8_t((255 - c[1]) * k / 255);
    rgb[2] = uint8_t((255 - c[2]) * k / 255);
}

// Palette entries from the lookup bytes of an Indexed array: the table is
// zero-filled to (hival + 1) entries before the bytes are copied, so a
// short lookup string leaves black (or white for CMYK) entries.
int build_palette(RenderContext *ctx, PdfObject *arr, SampleFormat *out, int depth)
{
    SampleFormat base;
    int rc = image_format_parse(ctx, pdf_array_get(arr, 1), &base, depth + 1);
    if (rc != 0 || base.has_palette || base.general)
        return -5;
    double hival = pdf_to_number(pdf_resolve(ctx->doc, pdf_array_get(arr, 2)), 0);
    int hi = !(hival > 0) ? 0 : hival > 255 ? 255 : int(hival);
    int n = base.ncomps;
    uint8_t table[256 * 4] = {};
    int size = n * (hi + 1);
    PdfObject *data = pdf_resolve(ctx->doc, pdf_array_get(arr, 3));
    if (pdf_is_type(data, PDF_STRING)) {
        std::memcpy(table, data->bytes, size_t(data->length < size ? data->length : size));
    } else if (pdf_is_type(data, PDF_STREAM)) {
        if (ByteReader *r = pdf_open_stream(ctx->doc, data)) {
            reader_read(r, table, size);
            reader_close_chain(r);
        }
    }
    std::memset(out, 0, sizeof *out);
    out->ncomps = 1;
    out->has_palette = 1;
    out->hival = hi;
    for (int i = 0; i <= hi; i++) {
        const uint8_t *e = table + i * n;
        uint8_t *p = out->palette[i];
        if (n == 1)
            p[0] = p[1] = p[2] = e[0];
        else if (n == 4)
            cmyk_bytes(e, p);
        else
            std::memcpy(p, e, 3);
    }
    return 0;
}

int parse_format(RenderContext *ctx, PdfObject *obj, SampleFormat *out, int depth)
{
    std::memset(out, 0, sizeof *out);
    out->ncomps = 3;
    if (depth > CS_MAX_DEPTH)
        return 0;
    PdfDoc *doc = ctx->doc;
    obj = pdf_resolve(doc, obj);
    if (!obj) {
        out->ncomps = 1;
        return 0;
    }
    if (obj->type == PDF_NAME) {
        const char *n = obj->name;
        if (!std::strcmp(n, "DeviceGray") || !std::strcmp(n, "G") || !std::strcmp(n, "CalGray"))
            out->ncomps = 1;
        else if (!std::strcmp(n, "DeviceRGB") || !std::strcmp(n, "RGB") || !std::strcmp(n, "CalRGB"))
            out->ncomps = 3;
        else if (!std::strcmp(n, "DeviceCMYK") || !std::strcmp(n, "CMYK"))
            out->ncomps = 4;
        else {
            PdfObject *spaces = pdf_dict_get_resolved(doc, ctx->resources, "ColorSpace");
            PdfObject *named = pdf_dict_get_resolved(doc, spaces, n);
            if (named && named != obj)
                return parse_format(ctx, named, out, depth + 1);
        }
        return 0;
    }
    if (obj->type != PDF_ARRAY)
        return 0;
    PdfObject *family = pdf_resolve(doc, pdf_array_get(obj, 0));
    if (pdf_is_name(family, "ICCBased")) {
        int n = pdf_to_int(pdf_dict_get_resolved(doc, pdf_resolve(doc, pdf_array_get(obj, 1)), "N"), 3);
        out->ncomps = n == 1 || n == 4 ? n : 3;
    } else if (pdf_is_name(family, "Indexed") || pdf_is_name(family, "I")) {
        return build_palette(ctx, obj, out, depth);
    } else if (pdf_is_name(family, "Separation") || pdf_is_name(family, "DeviceN")) {
        ColorSpace *cs = colorspace_parse(ctx, obj, depth + 1);
        // A DeviceN with too many colorants came back as its alternate.
        if (cs->kind == CS_GRAY || cs->kind == CS_RGB || cs->kind == CS_CMYK) {
            out->ncomps = cs->kind == CS_GRAY ? 1 : cs->kind == CS_CMYK ? 4 : 3;
        } else {
            out->general = cs;
            out->ncomps = colorspace_ncomps(cs);
        }
    }
    return 0;
}

// Per-image decoding state; every buffer is on the heap.
struct Decoder {
    const ImageParams *p;
    const SampleFormat *f;
    int channels;       // 3 RGB, 1 mask or gray
    int gray_only;      // 1: the first component as one gray channel (gray images, soft masks)
    int64_t row_bytes;  // packed bytes of one source row
    uint8_t *raw;       // packed row
    uint8_t *samples;   // unpacked 8-bit samples (width x ncomps)
    uint8_t *line;      // converted row (width x channels)
    uint8_t *key_line;  // colour key: 0 where the pixel is keyed out, else 255; or null
    uint8_t table[256][8];  // 1, 2, 4 bits: the samples of each byte value
};

// The expansion table: samples scaled to 0..255, or kept as palette indexes.
void build_table(Decoder *d, bool scale)
{
    int bpc = d->p->bpc;
    if (bpc >= 8)
        return;
    int per_byte = 8 / bpc, mask = (1 << bpc) - 1;
    int mul = scale ? 255 / mask : 1;
    for (int b = 0; b < 256; b++)
        for (int i = 0; i < per_byte; i++)
            d->table[b][i] = uint8_t(((b >> (8 - bpc * (i + 1))) & mask) * mul);
}

// Expands packed samples to one byte each (1-bit x 255, 2-bit x 85,
// 4-bit x 17, 16-bit high byte). Palette indexes keep their values.
void unpack(const Decoder *d, const uint8_t *raw, uint8_t *out, int count)
{
    int bpc = d->p->bpc;
    if (bpc == 8) {
        std::memcpy(out, raw, size_t(count));
        return;
    }
    if (bpc == 16) {
        for (int i = 0; i < count; i++)
            out[i] = raw[2 * i];
        return;
    }
    // 1, 2 and 4 bits: whole bytes through the table of their expanded
    // samples, then the last partial byte.
    int per_byte = 8 / bpc;
    const uint8_t(*table)[8] = d->table;
    int whole = count / per_byte;
    for (int i = 0; i < whole; i++)
        std::memcpy(out + size_t(i) * size_t(per_byte), table[raw[i]], size_t(per_byte));
    for (int i = whole * per_byte; i < count; i++)
        out[i] = table[raw[whole]][i - whole * per_byte];
}

// Palette indexes wider than 8 bits are capped below by the hival clamp.
inline int palette_index(const Decoder *d, const uint8_t *raw, int i)
{
    if (d->p->bpc == 16) {
        int v = raw[2 * i] << 8 | raw[2 * i + 1];
        return v > 255 ? 255 : v;
    }
    return -1;
}

// The raw value of sample i of a packed row.
inline int raw_sample(const uint8_t *raw, int64_t i, int bpc)
{
    if (bpc == 8)
        return raw[i];
    if (bpc == 16)
        return raw[2 * i] << 8 | raw[2 * i + 1];
    int64_t bit = i * bpc;
    return (raw[bit >> 3] >> (8 - bpc - int(bit & 7))) & ((1 << bpc) - 1);
}

// Colour-key masking compares the raw samples, before Decode and palette.
void key_row(Decoder *d)
{
    const ImageParams *p = d->p;
    int n = d->f->ncomps;
    for (int x = 0; x < p->width; x++) {
        bool keyed = true;
        for (int k = 0; k < n && keyed; k++) {
            int v = raw_sample(d->raw, int64_t(x) * n + k, p->bpc);
            keyed = v >= p->key[2 * k] && v <= p->key[2 * k + 1];
        }
        d->key_line[x] = keyed ? 0 : 255;
    }
}

void convert_row(Decoder *d)
{
    if (d->key_line)
        key_row(d);
    const ImageParams *p = d->p;
    const SampleFormat *f = d->f;
    int w = p->width;
    uint8_t *line = d->line;
    if (p->is_mask) {
        unpack(d, d->raw, line, w);
        // Samples of 0 paint unless Decode inverts the mask.
        for (int i = 0; i < w; i++)
            line[i] = (line[i] != 0) == (p->invert != 0) ? 255 : 0;
        return;
    }
    int n = f->ncomps;
    const uint8_t *s;
    if (p->bpc == 8 && !p->invert) {
        s = d->raw;
    } else {
        unpack(d, d->raw, d->samples, w * n);
        if (p->invert && !f->has_palette && !f->general)
            for (int i = 0; i < w * n; i++)
                d->samples[i] = uint8_t(255 - d->samples[i]);
        s = d->samples;
    }
    if (d->gray_only) {
        for (int i = 0; i < w; i++)
            line[i] = s[i * n];
        return;
    }
    if (f->has_palette) {
        int hi = f->hival;
        for (int i = 0; i < w; i++) {
            int v = palette_index(d, d->raw, i);
            if (v < 0)
                v = s[i];
            std::memcpy(line + 3 * i, f->palette[v < hi ? v : hi], 3);
        }
    } else if (f->general) {
        float c[CS_MAX_COMPONENTS] = {}, rgb[3];
        int nc = n < CS_MAX_COMPONENTS ? n : CS_MAX_COMPONENTS;
        const uint8_t *prev = nullptr;
        for (int i = 0; i < w; i++) {
            const uint8_t *px = s + size_t(i) * size_t(n);
            if (prev && std::memcmp(prev, px, size_t(nc)) == 0) {  // runs convert once
                std::memcpy(line + 3 * i, line + 3 * (i - 1), 3);
                continue;
            }
            for (int k = 0; k < nc; k++)
                c[k] = px[k] / 255.0f;
            colorspace_to_rgb(f->general, c, rgb);
            for (int k = 0; k < 3; k++) {
                float v = rgb[k] * 255 + 0.5f;
                line[3 * i + k] = uint8_t(!(v > 0) ? 0 : v >= 255 ? 255 : int(v));
            }
            prev = px;
        }
    } else if (n == 1) {
        for (int i = 0; i < w; i++)
            line[3 * i] = line[3 * i + 1] = line[3 * i + 2] = s[i];
    } else if (n == 3) {
        std::memcpy(line, s, size_t(w) * 3);
    } else if (n == 4) {
        for (int i = 0; i < w; i++)
            cmyk_bytes(s + 4 * i, line + 3 * i);
    } else {
        for (int i = 0; i < w; i++)
            std::memcpy(line + 3 * i, s + size_t(i) * size_t(n), 3);
    }
}

// Reads one packed row; a short row is zero-padded. False once the data
// are exhausted before the row started.
bool read_row(ByteReader *r, uint8_t *raw, int64_t n)
{
    int got = reader_read(r, raw, int(n));
    if (got < 0)
        got = 0;
    if (got < n)
        std::memset(raw + got, 0, size_t(n - got));
    return got > 0;
}

void free_decoder(Decoder *d)
{
    std::free(d->key_line);
    std::free(d->raw);
    std::free(d->samples);
    std::free(d->line);
}

// The colour key's plane follows the image rows: copied, or averaged over
// the same blocks.
void key_reduce(const Decoder *d, int sx, int ow, uint32_t *sums)
{
    for (int ox = 0, x = 0; ox < ow; ox++) {
        int end = x + sx < d->p->width ? x + sx : d->p->width;
        for (; x < end; x++)
            sums[ox] += d->key_line[x];
    }
}

int decode_rows(RenderContext *ctx, ByteReader *data, Decoder *d, int sx, int sy, uint8_t *out,
                uint8_t *key_out, const ImageRowHook *hook)
{
    const ImageParams *p = d->p;
    int w = p->width, h = p->height, c = d->channels;
    // Gray rows are converted, summed and averaged in one channel and
    // spread to three only in the output.
    bool spread = c == 3 && d->gray_only;
    int lc = spread ? 1 : c;
    int ow = (w + sx - 1) / sx, oh = (h + sy - 1) / sy;
    bool reduce = sx > 1 || sy > 1;
    uint32_t *sums = nullptr, *key_sums = nullptr;
    if (reduce) {
        size_t channels = size_t(lc + (key_out ? 1 : 0));
        sums = static_cast<uint32_t *>(std::calloc(size_t(ow) * channels, sizeof(uint32_t)));
        if (!sums)
            return -3;
        key_sums = key_out ? sums + size_t(ow) * size_t(lc) : nullptr;
    }
    int limit = hook && hook->row_limit < oh ? hook->row_limit : oh;
    int out_row = 0, block_rows = 0;
    bool have_data = true, zero_line_ready = false;
    for (int y = 0; y < h && out_row < limit; y++) {
        if ((y + 1) % IMAGE_POLL_ROWS == 0 && render_poll(ctx))
            break;
        if (have_data) {
            have_data = read_row(data, d->raw, d->row_bytes);
            convert_row(d);
        } else if (!zero_line_ready) {
            // Past the end every row is the same zero row: convert it once.
            std::memset(d->raw, 0, size_t(d->row_bytes));
            convert_row(d);
            zero_line_ready = true;
        }
        uint8_t *dst = out + size_t(out_row) * size_t(ow) * size_t(c);
        uint8_t *key_dst = key_out ? key_out + size_t(out_row) * size_t(ow) : nullptr;
        if (!reduce) {
            if (key_dst)
                std::memcpy(key_dst, d->key_line, size_t(w));
            if (spread)
                for (int x = 0; x < w; x++)
                    dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = d->line[x];
            else
                std::memcpy(dst, d->line, size_t(w) * size_t(c));
            out_row++;
            if (hook)
                hook->rows_ready(hook->user, out_row);
            continue;
        }
        const uint8_t *line = d->line;
        if (lc == 3) {
            for (int ox = 0, x = 0; ox < ow; ox++) {
                uint32_t *s = sums + size_t(ox) * 3;
                int end = x + sx < w ? x + sx : w;
                uint32_t r = 0, g = 0, b = 0;
                for (const uint8_t *px = line + size_t(x) * 3; x < end; x++, px += 3)
                    r += px[0], g += px[1], b += px[2];
                s[0] += r, s[1] += g, s[2] += b;
            }
        } else {
            for (int ox = 0, x = 0; ox < ow; ox++) {
                int end = x + sx < w ? x + sx : w;
                uint32_t v = 0;
                for (; x < end; x++)
                    v += line[x];
                sums[ox] += v;
            }
        }
        if (key_sums)
            key_reduce(d, sx, ow, key_sums);
        if (++block_rows < sy && y + 1 < h)
            continue;
        for (int ox = 0; ox < ow; ox++) {
            int cols = (ox + 1) * sx <= w ? sx : w - ox * sx;
            uint32_t count = uint32_t(cols) * uint32_t(block_rows);
            // Division by a rounded-up reciprocal: exact while 256 count^2 < 2^32.
            uint64_t inv = count < 4096 ? ((uint64_t(1) << 32) + count - 1) / count : 0;
            uint32_t *s = sums + size_t(ox) * size_t(lc);
            uint8_t *o = dst + size_t(ox) * size_t(c);
            for (int k = 0; k < lc; k++) {
                uint32_t v = s[k] + count / 2;
                o[k] = uint8_t(inv ? (v * inv) >> 32 : v / count);
                s[k] = 0;
            }
            if (spread)
                o[1] = o[2] = o[0];
            if (key_sums) {
                key_dst[ox] = uint8_t((key_sums[ox] + count / 2) / count);
                key_sums[ox] = 0;
            }
        }
        block_rows = 0;
        out_row++;
        if (hook)
            hook->rows_ready(hook->user, out_row);
    }
    std::free(sums);
    return 0;
}

int decode_into(RenderContext *ctx, ByteReader *data, const ImageParams *p, const SampleFormat *f,
                int sx, int sy, int channels, int gray_only, uint8_t **out_buf, uint8_t **key_buf,
                const ImageRowHook *hook)
{
    *out_buf = nullptr;
    int ow = (p->width + sx - 1) / sx, oh = (p->height + sy - 1) / sy;
    int64_t pixels = int64_t(ow) * int64_t(oh);
    if (pixels * (p->is_mask ? 4 : 3) > IMAGE_MAX_OUTPUT)
        return -5;
    int n = p->is_mask ? 1 : f->ncomps;
    Decoder d{};
    d.p = p;
    d.f = f;
    d.channels = channels;
    d.gray_only = gray_only || (!p->is_mask && f->ncomps == 1 && !f->has_palette && !f->general);
    build_table(&d, p->is_mask || !f->has_palette);
    d.row_bytes = (int64_t(p->width) * n * p->bpc + 7) / 8;
    d.raw = static_cast<uint8_t *>(std::malloc(size_t(d.row_bytes) + 1));
    d.samples = static_cast<uint8_t *>(std::malloc(size_t(p->width) * size_t(n) + 1));
    d.line = static_cast<uint8_t *>(std::malloc(size_t(p->width) * 3 + 1));
    auto *buf = static_cast<uint8_t *>(std::calloc(size_t(pixels) * size_t(channels), 1));
    uint8_t *key = nullptr;
    bool key_ok = true;
    if (key_buf) {
        d.key_line = static_cast<uint8_t *>(std::malloc(size_t(p->width)));
        key = static_cast<uint8_t *>(std::calloc(size_t(pixels), 1));
        key_ok = d.key_line && key;
    }
    int rc = -3;
    // The buffers are the caller's before the first row: progressive painting reads them.
    *out_buf = buf;
    if (key_buf)
        *key_buf = key;
    if (d.raw && d.samples && d.line && buf && key_ok)
        rc = decode_rows(ctx, data, &d, sx, sy, buf, key, hook);
    free_decoder(&d);
    if (rc != 0) {
        std::free(buf);
        *out_buf = nullptr;
        std::free(key);
        if (key_buf)
            *key_buf = nullptr;
    }
    return rc;
}

}  // namespace

int image_format_parse(RenderContext *ctx, PdfObject *cs, SampleFormat *out, int depth)
{
    return parse_format(ctx, cs, out, depth);
}

int image_read_params(RenderContext *ctx, PdfObject *dict, ImageParams *out)
{
    std::memset(out, 0, sizeof *out);
    double w = pdf_to_number(image_key(ctx, dict, "Width", "W"), 0);
    double h = pdf_to_number(image_key(ctx, dict, "Height", "H"), 0);
    out->is_mask = is_true(image_key(ctx, dict, "ImageMask", "IM"));
    int bpc = pdf_to_int(image_key(ctx, dict, "BitsPerComponent", "BPC"), 8);
    out->bpc = out->is_mask ? 1 : bpc;
    PdfObject *decode = image_key(ctx, dict, "Decode", "D");
    if (pdf_is_type(decode, PDF_ARRAY) && pdf_array_len(decode) >= 2) {
        double d0 = pdf_to_number(pdf_resolve(ctx->doc, pdf_array_get(decode, 0)), 0);
        double d1 = pdf_to_number(pdf_resolve(ctx->doc, pdf_array_get(decode, 1)), 1);
        out->invert = d1 < d0;
    }
    PdfObject *key = pdf_dict_get_resolved(ctx->doc, dict, "Mask");
    if (pdf_is_type(key, PDF_ARRAY) && pdf_array_len(key) <= 64) {
        out->key_count = pdf_array_len(key);
        for (int i = 0; i < out->key_count; i++)
            out->key[i] = pdf_to_int(pdf_resolve(ctx->doc, pdf_array_get(key, i)), 0);
    }
    if (!(w >= 1 && w <= IMAGE_MAX_SIDE && h >= 1 && h <= IMAGE_MAX_SIDE))
        return -5;  // width and height stay 0
    out->width = int(w);
    out->height = int(h);
    if (out->bpc != 1 && out->bpc != 2 && out->bpc != 4 && out->bpc != 8 && out->bpc != 16)
        return -5;
    return 0;
}

void image_reduction(const RenderContext *ctx, int width, int height, int bytes_per_pixel, int *sx,
                     int *sy)
{
    const float *m = ctx->gs->ctm;
    double ex = std::sqrt(double(m[0]) * m[0] + double(m[1]) * m[1]);
    double ey = std::sqrt(double(m[2]) * m[2] + double(m[3]) * m[3]);
    if (!(ex >= 1.0))
        ex = 1.0;
    if (!(ey >= 1.0))
        ey = 1.0;
    auto step = [](int size, double extent) {
        if (size < 3 * extent)
            return 1;
        double s = size / (1.5 * extent);
        int v = s >= size ? size : int(s);
        return v < 1 ? 1 : v;
    };
    *sx = step(width, ex);
    *sy = step(height, ey);
    // An image drawn near its full size can still exceed the output limit
    // (a 300 dpi page scan shown at 150 dpi): the smaller step grows until
    // the output fits, so that the image is drawn coarser instead of not at all.
    auto bytes = [&] {
        return int64_t((width + *sx - 1) / *sx) * int64_t((height + *sy - 1) / *sy) * bytes_per_pixel;
    };
    while (bytes() > IMAGE_MAX_OUTPUT && (*sx < width || *sy < height)) {
        if ((*sx <= *sy && *sx < width) || *sy >= height)
            ++*sx;
        else
            ++*sy;
    }
}

int image_decode(RenderContext *ctx, ByteReader *data, const ImageParams *params,
                 const SampleFormat *format, int sx, int sy, DecodedImage *out,
                 const ImageRowHook *hook)
{
    out->width = (params->width + sx - 1) / sx;
    out->height = (params->height + sy - 1) / sy;
    out->is_mask = params->is_mask;
    out->rgb = out->plane = nullptr;
    bool keyed = !params->is_mask && !out->alpha && format->ncomps * 2 == params->key_count;
    return decode_into(ctx, data, params, format, sx, sy, params->is_mask ? 1 : 3, 0,
                       params->is_mask ? &out->plane : &out->rgb, keyed ? &out->alpha : nullptr, hook);
}

uint8_t *image_decode_smask(RenderContext *ctx, PdfObject *smask, int width, int height,
                            bool stencil)
{
    smask = pdf_resolve(ctx->doc, smask);
    if (!pdf_is_type(smask, PDF_STREAM) || width < 1 || height < 1)
        return nullptr;
    ImageParams p;
    if (image_read_params(ctx, smask->dict, &p) != 0)
        return nullptr;
    if (stencil) {
        p.is_mask = 1;  // 1 bit, Decode as the mask says
        p.bpc = 1;
    } else {
        p.is_mask = 0;
        p.invert = 0;
    }
    SampleFormat gray{};
    gray.ncomps = 1;
    int sx = p.width / width, sy = p.height / height;
    sx = sx >= 2 ? sx : 1;
    sy = sy >= 2 ? sy : 1;
    ByteReader *raw = pdf_open_raw_stream(ctx->doc, smask);
    if (!raw)
        return nullptr;
    ByteReader *r = pdf_apply_filters(ctx->doc, raw, smask->dict, nullptr, 1);
    if (!r) {
        reader_close_chain(raw);
        return nullptr;
    }
    uint8_t *plane = nullptr;
    int rc = decode_into(ctx, r, &p, &gray, sx, sy, 1, stencil ? 0 : 1, &plane, nullptr, nullptr);
    reader_close_chain(r);
    if (rc != 0 || ctx->aborted) {
        std::free(plane);
        return nullptr;
    }
    int sw = (p.width + sx - 1) / sx, sh = (p.height + sy - 1) / sy;
    if (sw == width && sh == height)
        return plane;
    auto *alpha = static_cast<uint8_t *>(std::malloc(size_t(width) * size_t(height)));
    if (alpha)
        for (int y = 0; y < height; y++) {
            const uint8_t *src = plane + size_t(int64_t(y) * sh / height) * size_t(sw);
            uint8_t *dst = alpha + size_t(y) * size_t(width);
            for (int x = 0; x < width; x++)
                dst[x] = src[int64_t(x) * sw / width];
        }
    std::free(plane);
    return alpha;
}

void image_free(DecodedImage *image)
{
    std::free(image->rgb);
    std::free(image->plane);
    std::free(image->alpha);
    image->rgb = image->plane = image->alpha = nullptr;
}
