// Colour spaces: parsing of device, calibrated, ICC-based, Lab, Indexed,
// Separation and DeviceN spaces, and conversion of colour values to RGB.
#include "render/colorspace.h"

#include <cmath>
#include <cstring>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "render/context.h"
#include "render/function.h"
#include "render/limits.h"

namespace {

ColorSpace g_gray = {CS_GRAY, 1, 0, nullptr, nullptr, nullptr, nullptr, {}, {}};
ColorSpace g_rgb = {CS_RGB, 3, 0, nullptr, nullptr, nullptr, nullptr, {}, {}};
ColorSpace g_cmyk = {CS_CMYK, 4, 0, nullptr, nullptr, nullptr, nullptr, {}, {}};
// Pattern spaces without an underlying space take one operand (the pattern
// name is not a number) and convert like RGB.
ColorSpace g_pattern = {CS_PATTERN, 1, 0, nullptr, nullptr, nullptr, nullptr, {}, {}};

float clamp01(float v) { return v > 0 ? (v < 1 ? v : 1) : 0; }

float number_at(PdfDoc *doc, PdfObject *arr, int i, float def)
{
    double v = pdf_to_number(pdf_resolve(doc, pdf_array_get(arr, i)), def);
    return std::isfinite(v) ? float(v) : def;
}

ColorSpace *new_space(RenderContext *ctx, int kind, int ncomps)
{
    auto *cs = static_cast<ColorSpace *>(arena_alloc(ctx->arena, sizeof(ColorSpace)));
    if (!cs)
        return nullptr;
    cs->kind = kind;
    cs->ncomps = ncomps;
    return cs;
}

ColorSpace *parse_name(RenderContext *ctx, PdfObject *obj, const char *n, int depth)
{
    if (!std::strcmp(n, "DeviceGray") || !std::strcmp(n, "G") || !std::strcmp(n, "CalGray"))
        return &g_gray;
    if (!std::strcmp(n, "Pattern"))
        return &g_pattern;
    if (!std::strcmp(n, "DeviceRGB") || !std::strcmp(n, "RGB") || !std::strcmp(n, "CalRGB"))
        return &g_rgb;
    if (!std::strcmp(n, "DeviceCMYK") || !std::strcmp(n, "CMYK"))
        return &g_cmyk;
    PdfObject *spaces = pdf_dict_get_resolved(ctx->doc, ctx->resources, "ColorSpace");
    PdfObject *named = pdf_dict_get_resolved(ctx->doc, spaces, n);
    if (!named || named == obj)
        return &g_rgb;
    return colorspace_parse(ctx, named, depth + 1);
}

// The lookup table of an Indexed space: `size` bytes, zero-filled, then
// filled from a string or from the decoded bytes of a stream.
uint8_t *read_lookup(RenderContext *ctx, PdfObject *data, int size)
{
    auto *table = static_cast<uint8_t *>(arena_alloc(ctx->arena, size_t(size)));
    if (!table)
        return nullptr;
    if (pdf_is_type(data, PDF_STRING)) {
        std::memcpy(table, data->bytes, size_t(data->length < size ? data->length : size));
    } else if (pdf_is_type(data, PDF_STREAM)) {
        ByteReader *r = pdf_open_stream(ctx->doc, data);
        if (r) {
            reader_read(r, table, size);
            reader_close_chain(r);
        }
    }
    return table;
}

ColorSpace *parse_indexed(RenderContext *ctx, PdfObject *arr, int depth)
{
    PdfDoc *doc = ctx->doc;
    ColorSpace *base = colorspace_parse(ctx, pdf_array_get(arr, 1), depth + 1);
    ColorSpace *cs = new_space(ctx, CS_INDEXED, 1);
    if (!cs)
        return &g_rgb;
    cs->base = base;
    double hival = pdf_to_number(pdf_resolve(doc, pdf_array_get(arr, 2)), 0);
    cs->hival = !(hival > 0) ? 0 : hival > 255 ? 255 : int(hival);
    int size = (base ? base->ncomps : 3) * (cs->hival + 1);
    cs->lookup = read_lookup(ctx, pdf_resolve(doc, pdf_array_get(arr, 3)), size);
    return cs;
}

ColorSpace *parse_separation(RenderContext *ctx, PdfObject *arr, bool devicen, int depth)
{
    PdfDoc *doc = ctx->doc;
    ColorSpace *alternate = colorspace_parse(ctx, pdf_array_get(arr, 2), depth + 1);
    int n = 1;
    if (devicen) {
        n = pdf_array_len(pdf_resolve(doc, pdf_array_get(arr, 1)));
        // More colorants than a colour value can hold: the alternate space
        // stands in, so that no count exceeds the operand and sample buffers.
        if (n > CS_MAX_COMPONENTS)
            return pdf_array_get(arr, 2) ? alternate : &g_rgb;
        if (n < 1)
            n = 1;
    }
    ColorSpace *cs = new_space(ctx, CS_SEPARATION, n);
    if (!cs)
        return &g_rgb;
    cs->alternate = alternate;
    cs->tint_fn = function_parse(ctx, pdf_array_get(arr, 3));
    return cs;
}

ColorSpace *parse_lab(RenderContext *ctx, PdfObject *arr)
{
    ColorSpace *cs = new_space(ctx, CS_LAB, 3);
    if (!cs)
        return &g_rgb;
    PdfDoc *doc = ctx->doc;
    PdfObject *dict = pdf_resolve(doc, pdf_array_get(arr, 1));
    PdfObject *wp = pdf_dict_get_resolved(doc, dict, "WhitePoint");
    PdfObject *range = pdf_dict_get_resolved(doc, dict, "Range");
    const float wp_default[3] = {0.9505f, 1.0f, 1.089f};
    const float range_default[4] = {-100, 100, -100, 100};
    for (int i = 0; i < 3; i++)
        cs->white_point[i] = number_at(doc, wp, i, wp_default[i]);
    for (int i = 0; i < 4; i++)
        cs->range[i] = number_at(doc, range, i, range_default[i]);
    return cs;
}

ColorSpace *parse_array(RenderContext *ctx, PdfObject *arr, int depth)
{
    PdfDoc *doc = ctx->doc;
    PdfObject *family = pdf_resolve(doc, pdf_array_get(arr, 0));
    if (pdf_is_name(family, "ICCBased")) {
        PdfObject *stream = pdf_resolve(doc, pdf_array_get(arr, 1));
        PdfObject *alt = pdf_dict_get(stream, "Alternate");
        if (alt)
            return colorspace_parse(ctx, alt, depth + 1);
        int n = pdf_to_int(pdf_dict_get_resolved(doc, stream, "N"), 3);
        return n == 1 ? &g_gray : n == 4 ? &g_cmyk : &g_rgb;
    }
    if (pdf_is_name(family, "CalGray"))
        return &g_gray;
    if (pdf_is_name(family, "CalRGB"))
        return &g_rgb;
    if (pdf_is_name(family, "Lab"))
        return parse_lab(ctx, arr);
    if (pdf_is_name(family, "Indexed") || pdf_is_name(family, "I"))
        return parse_indexed(ctx, arr, depth);
    if (pdf_is_name(family, "Separation"))
        return parse_separation(ctx, arr, false, depth);
    if (pdf_is_name(family, "DeviceN"))
        return parse_separation(ctx, arr, true, depth);
    if (pdf_is_name(family, "Pattern")) {
        if (!pdf_array_get(arr, 1))
            return &g_pattern;
        ColorSpace *base = colorspace_parse(ctx, pdf_array_get(arr, 1), depth + 1);
        ColorSpace *cs = new_space(ctx, CS_PATTERN, base->ncomps);
        if (!cs)
            return &g_pattern;
        cs->base = base;
        return cs;
    }
    if (pdf_is_type(family, PDF_NAME) && pdf_array_len(arr) == 1)
        return parse_name(ctx, arr, family->name, depth);  // [/DeviceRGB] and the like
    return &g_rgb;
}

// Lab to linear XYZ to sRGB with the gamma curve, clamped.
void lab_to_rgb(const ColorSpace *cs, float l, float a, float b, float rgb[3])
{
    double fy = (l + 16.0) / 116.0, fx = fy + a / 500.0, fz = fy - b / 200.0;
    auto g = [](double f) { return f > 0.2069 ? f * f * f : (f - 0.13793103) / 7.787; };
    double x = cs->white_point[0] * g(fx), y = cs->white_point[1] * g(fy),
           z = cs->white_point[2] * g(fz);
    double lin[3] = {3.1338 * x - 1.6168 * y - 0.4906 * z, -0.9787 * x + 1.9161 * y + 0.0334 * z,
                     0.0719 * x - 0.2289 * y + 1.4052 * z};
    for (int i = 0; i < 3; i++) {
        double v = lin[i];
        v = v > 0.0031308 ? 1.055 * std::pow(v, 1 / 2.4) - 0.055 : 12.92 * v;
        rgb[i] = clamp01(float(v));
    }
}

void convert(const ColorSpace *cs, const float *c, float rgb[3], int depth);

void indexed_to_rgb(const ColorSpace *cs, const float *c, float rgb[3], int depth)
{
    float v = c[0] + 0.5f;
    int index = !(v > 0) ? 0 : v >= float(cs->hival) ? cs->hival : int(v);
    if (!cs->lookup) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    const ColorSpace *base = cs->base ? cs->base : &g_rgb;
    int n = base->ncomps;
    float comps[CS_MAX_COMPONENTS] = {};
    const uint8_t *entry = cs->lookup + index * n;
    for (int i = 0; i < n && i < CS_MAX_LOOKUP_BYTES; i++)
        comps[i] = entry[i] / 255.0f;
    if (base->kind == CS_LAB) {
        comps[0] *= 100;
        comps[1] = base->range[0] + comps[1] * (base->range[1] - base->range[0]);
        comps[2] = base->range[2] + comps[2] * (base->range[3] - base->range[2]);
    }
    convert(base, comps, rgb, depth + 1);
}

void convert(const ColorSpace *cs, const float *c, float rgb[3], int depth)
{
    if (!cs || depth > CS_MAX_DEPTH) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    switch (cs->kind) {
    case CS_GRAY:
        rgb[0] = rgb[1] = rgb[2] = clamp01(c[0]);
        return;
    case CS_CMYK:
        rgb[0] = (1 - c[0]) * (1 - c[3]);
        rgb[1] = (1 - c[1]) * (1 - c[3]);
        rgb[2] = (1 - c[2]) * (1 - c[3]);
        return;
    case CS_LAB:
        lab_to_rgb(cs, c[0], c[1], c[2], rgb);
        return;
    case CS_INDEXED:
        indexed_to_rgb(cs, c, rgb, depth);
        return;
    case CS_PATTERN:
        if (cs->base) {
            convert(cs->base, c, rgb, depth + 1);
            return;
        }
        for (int i = 0; i < 3; i++)
            rgb[i] = clamp01(c[i]);
        return;
    case CS_SEPARATION: {
        // Without a usable tint transform the tint reads as ink on white.
        float alt[CS_MAX_COMPONENTS] = {};
        if (!cs->tint_fn || !function_eval(cs->tint_fn, c, cs->ncomps, alt, CS_MAX_COMPONENTS)) {
            rgb[0] = rgb[1] = rgb[2] = 1 - clamp01(c[0]);
            return;
        }
        convert(cs->alternate ? cs->alternate : &g_rgb, alt, rgb, depth + 1);
        return;
    }
    default:
        for (int i = 0; i < 3; i++)
            rgb[i] = clamp01(c[i]);
        return;
    }
}

}  // namespace

ColorSpace *colorspace_parse(RenderContext *ctx, PdfObject *object, int depth)
{
    if (depth > CS_MAX_DEPTH)
        return &g_rgb;
    PdfObject *obj = pdf_resolve(ctx->doc, object);
    if (!obj)
        return &g_gray;
    if (obj->type == PDF_NAME)
        return parse_name(ctx, obj, obj->name, depth);
    if (obj->type == PDF_ARRAY)
        return parse_array(ctx, obj, depth);
    return &g_rgb;
}

int colorspace_ncomps(const ColorSpace *cs) { return cs ? cs->ncomps : 1; }

void colorspace_to_rgb(const ColorSpace *cs, const float *c, float rgb[3])
{
    float comps[CS_MAX_COMPONENTS] = {};
    // Components beyond the space's count (a Pattern space converts like RGB
    // from one operand) read as 0.
    int n = colorspace_ncomps(cs);
    std::memcpy(comps, c, sizeof(float) * size_t(n < CS_MAX_COMPONENTS ? n : CS_MAX_COMPONENTS));
    convert(cs, comps, rgb, 0);
}

ColorSpace *colorspace_device(int kind)
{
    return kind == CS_GRAY ? &g_gray : kind == CS_CMYK ? &g_cmyk : &g_rgb;
}
