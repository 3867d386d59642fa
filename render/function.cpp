// PDF functions of types 0, 2 and 3 (PDF Reference 1.7, section 3.9):
// parsing into the render arena and evaluation. Type 4 programs are
// compiled and run by function_calc.cpp.
#include "render/function.h"

#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "render/context.h"
#include "render/interp.h"

// Stream functions already parsed in this render, by their object.
struct FunctionCache {
    PdfObject *object[FN_CACHE_SLOTS];
    PdfFunction *fn[FN_CACHE_SLOTS];
    int count, next;
};

namespace {

// One top-level parse: shared sub-functions are parsed once, and the
// number of functions built is bounded however the objects fan out.
struct ParseState {
    RenderContext *ctx;
    int nodes;
    PdfObject *seen[FN_MAX_NODES];
    PdfFunction *seen_fn[FN_MAX_NODES];
    int seen_count;
};

float finite_or(double v, float def) { return std::isfinite(v) && std::fabs(v) < 1e30 ? float(v) : def; }

float number_at(PdfDoc *doc, PdfObject *arr, int i, float def)
{
    PdfObject *o = pdf_resolve(doc, pdf_array_get(arr, i));
    if (!pdf_is_type(o, PDF_INT) && !pdf_is_type(o, PDF_REAL))
        return def;
    return finite_or(pdf_to_number(o, def), def);
}

// Reads up to `max` numbers of an array entry; returns how many the array has (capped).
int read_numbers(PdfDoc *doc, PdfObject *dict, const char *key, float *out, int max)
{
    PdfObject *arr = pdf_dict_get_resolved(doc, dict, key);
    if (!pdf_is_type(arr, PDF_ARRAY))
        return 0;
    int n = pdf_array_len(arr);
    if (n > max)
        n = max;
    for (int i = 0; i < n; i++)
        out[i] = number_at(doc, arr, i, 0);
    return n;
}

float clampf(float v, float a, float b)
{
    if (a > b)
        std::swap(a, b);
    return v < a ? a : v > b ? b : v;
}

float interpolate(float x, float x0, float x1, float y0, float y1)
{
    if (x1 == x0)
        return y0;
    return y0 + (x - x0) * (y1 - y0) / (x1 - x0);
}

PdfFunction *parse_object(ParseState *ps, PdfObject *object, int depth);

bool parse_sampled(ParseState *ps, PdfFunction *fn, PdfObject *stream)
{
    RenderContext *ctx = ps->ctx;
    PdfDoc *doc = ctx->doc;
    if (!pdf_is_type(stream, PDF_STREAM) || !fn->has_range)
        return false;
    int bps = pdf_to_int(pdf_dict_get_resolved(doc, stream, "BitsPerSample"), 8);
    if (bps != 1 && bps != 2 && bps != 4 && bps != 8 && bps != 12 && bps != 16 && bps != 24 && bps != 32)
        return false;
    fn->bps = bps;
    PdfObject *size = pdf_dict_get_resolved(doc, stream, "Size");
    // The claimed sample count sets an upper bound only: samples x outputs x
    // bits must fit in what the stream really holds.
    int64_t samples = 1;
    for (int i = 0; i < fn->m; i++) {
        double v = pdf_to_number(pdf_resolve(doc, pdf_array_get(size, i)), 2);
        int s = !(v >= 1) ? 1 : v > 1e9 ? 1000000000 : int(v);
        fn->size[i] = s;
        samples *= s;
        if (samples > FN_MAX_SAMPLE_BYTES * 8)
            return false;
    }
    int64_t bits = samples * fn->n * bps;
    if (bits > FN_MAX_SAMPLE_BYTES * 8)
        return false;
    int64_t need = (bits + 7) / 8;
    int length = 0;
    const uint8_t *data = load_stream(ctx, stream, &length);
    if (!data || length < need)
        return false;
    fn->samples = data;
    fn->sample_length = length;
    float enc[2 * FN_MAX_INPUTS];
    int ne = read_numbers(doc, stream, "Encode", enc, 2 * fn->m);
    for (int i = 0; i < fn->m; i++) {
        fn->encode[2 * i] = 2 * i < ne ? enc[2 * i] : 0;
        fn->encode[2 * i + 1] = 2 * i + 1 < ne ? enc[2 * i + 1] : float(fn->size[i] - 1);
    }
    float dec[2 * FN_MAX_OUTPUTS];
    int nd = read_numbers(doc, stream, "Decode", dec, 2 * fn->n);
    for (int j = 0; j < 2 * fn->n; j++)
        fn->decode[j] = j < nd ? dec[j] : fn->range[j];
    return true;
}

bool parse_exponential(ParseState *ps, PdfFunction *fn, PdfObject *dict)
{
    PdfDoc *doc = ps->ctx->doc;
    int n0 = read_numbers(doc, dict, "C0", fn->c0, FN_MAX_OUTPUTS);
    int n1 = read_numbers(doc, dict, "C1", fn->c1, FN_MAX_OUTPUTS);
    if (!n0)
        fn->c0[0] = 0, n0 = 1;
    if (!n1)
        fn->c1[0] = 1, n1 = 1;
    if (!fn->has_range)
        fn->n = n0 > n1 ? n0 : n1;
    fn->exponent = finite_or(pdf_to_number(pdf_dict_get_resolved(doc, dict, "N"), 1), 1);
    return true;
}

bool parse_stitching(ParseState *ps, PdfFunction *fn, PdfObject *dict, int depth)
{
    RenderContext *ctx = ps->ctx;
    PdfDoc *doc = ctx->doc;
    PdfObject *fns = pdf_dict_get_resolved(doc, dict, "Functions");
    int k = pdf_array_len(fns);
    if (k < 1)
        return false;
    if (k > FN_MAX_STITCH)
        k = FN_MAX_STITCH;
    fn->k = k;
    fn->functions = static_cast<PdfFunction **>(arena_alloc(ctx->arena, sizeof(PdfFunction *) * size_t(k)));
    fn->bounds = static_cast<float *>(arena_alloc(ctx->arena, sizeof(float) * size_t(k + 1)));
    fn->stitch_encode = static_cast<float *>(arena_alloc(ctx->arena, sizeof(float) * size_t(2 * k)));
    if (!fn->functions || !fn->bounds || !fn->stitch_encode)
        return false;
    for (int i = 0; i < k; i++) {
        fn->functions[i] = parse_object(ps, pdf_array_get(fns, i), depth + 1);
        if (!fn->functions[i])
            return false;
    }
    fn->bounds[0] = fn->domain[0];
    fn->bounds[k] = fn->domain[1];
    PdfObject *bounds = pdf_dict_get_resolved(doc, dict, "Bounds");
    for (int i = 1; i < k; i++)
        fn->bounds[i] = number_at(doc, bounds, i - 1, fn->domain[0]);
    PdfObject *encode = pdf_dict_get_resolved(doc, dict, "Encode");
    for (int i = 0; i < 2 * k; i++)
        fn->stitch_encode[i] = number_at(doc, encode, i, float(i & 1));
    if (!fn->has_range)
        fn->n = fn->functions[0]->n;
    return true;
}

bool parse_calculator(ParseState *ps, PdfFunction *fn, PdfObject *stream)
{
    if (!pdf_is_type(stream, PDF_STREAM) || !fn->has_range)
        return false;
    int length = 0;
    const uint8_t *text = load_stream(ps->ctx, stream, &length);
    if (text)
        fn->ops = calc_compile(ps->ctx, text, length, &fn->op_count);
    return true;
}

PdfFunction *parse_object(ParseState *ps, PdfObject *object, int depth)
{
    RenderContext *ctx = ps->ctx;
    PdfDoc *doc = ctx->doc;
    PdfObject *obj = pdf_resolve(doc, object);
    if (!obj || depth > FN_MAX_DEPTH)
        return nullptr;
    for (int i = 0; i < ps->seen_count; i++)
        if (ps->seen[i] == obj)
            return ps->seen_fn[i];
    if (obj->type != PDF_DICT && obj->type != PDF_STREAM)
        return nullptr;
    if (ps->nodes >= FN_MAX_NODES)
        return nullptr;
    ps->nodes++;
    auto *fn = static_cast<PdfFunction *>(arena_alloc(ctx->arena, sizeof(PdfFunction)));
    if (!fn)
        return nullptr;
    fn->type = pdf_to_int(pdf_dict_get_resolved(doc, obj, "FunctionType"), -1);
    float domain[2 * FN_MAX_INPUTS];
    int nd = read_numbers(doc, obj, "Domain", domain, 2 * FN_MAX_INPUTS);
    fn->m = nd / 2 < 1 ? 1 : nd / 2;
    for (int i = 0; i < 2 * fn->m; i++)
        fn->domain[i] = i < nd ? domain[i] : float(i & 1);
    int nr = read_numbers(doc, obj, "Range", fn->range, 2 * FN_MAX_OUTPUTS);
    fn->has_range = nr >= 2;
    fn->n = nr >= 2 ? nr / 2 : 1;
    bool ok = false;
    switch (fn->type) {
    case 0: ok = parse_sampled(ps, fn, obj); break;
    case 2: ok = parse_exponential(ps, fn, obj); break;
    case 3: ok = parse_stitching(ps, fn, obj, depth); break;
    case 4: ok = parse_calculator(ps, fn, obj); break;
    default: break;
    }
    if (!ok)
        fn = nullptr;
    if (ps->seen_count < FN_MAX_NODES) {
        ps->seen[ps->seen_count] = obj;
        ps->seen_fn[ps->seen_count++] = fn;
    }
    return fn;
}

// The bps-bit sample at sample index `index`, output j, scaled to 0..1.
float sample_at(const PdfFunction *fn, int64_t index, int j)
{
    int bps = fn->bps;
    int64_t bit = (index * fn->n + j) * bps;
    if (bit + bps > fn->sample_length * 8)
        return 0;
    const uint8_t *p = fn->samples + bit / 8;
    uint64_t v;
    switch (bps) {
    case 8: v = p[0]; break;
    case 16: v = (uint64_t(p[0]) << 8) | p[1]; break;
    case 24: v = (uint64_t(p[0]) << 16) | (uint64_t(p[1]) << 8) | p[2]; break;
    case 32: v = (uint64_t(p[0]) << 24) | (uint64_t(p[1]) << 16) | (uint64_t(p[2]) << 8) | p[3]; break;
    case 12: v = (bit & 7) ? ((uint64_t(p[0] & 15) << 8) | p[1]) : ((uint64_t(p[0]) << 4) | (p[1] >> 4)); break;
    default: v = (p[0] >> (8 - bps - int(bit & 7))) & ((1u << bps) - 1); break;
    }
    return float(double(v) / double((uint64_t(1) << bps) - 1));
}

int eval_sampled(const PdfFunction *fn, const float *in, float *out)
{
    int64_t offset = 0, stride = 1;
    float frac = 0;
    int64_t stride0_next = 0;
    for (int i = 0; i < fn->m; i++) {
        float x = clampf(in[i], fn->domain[2 * i], fn->domain[2 * i + 1]);
        float e = interpolate(x, fn->domain[2 * i], fn->domain[2 * i + 1], fn->encode[2 * i],
                              fn->encode[2 * i + 1]);
        int last = fn->size[i] - 1;
        e = clampf(e, 0, float(last));
        int index;
        if (i == 0) {
            index = int(std::floor(e));
            if (index >= last) {
                index = last;
            } else {
                frac = e - float(index);
                stride0_next = 1;
            }
        } else {
            index = int(e + 0.5f);
            if (index > last)
                index = last;
        }
        offset += index * stride;
        stride *= fn->size[i];
    }
    for (int j = 0; j < fn->n; j++) {
        float s = sample_at(fn, offset, j);
        if (frac > 0 && stride0_next)
            s += (sample_at(fn, offset + 1, j) - s) * frac;
        out[j] = fn->decode[2 * j] + s * (fn->decode[2 * j + 1] - fn->decode[2 * j]);
    }
    return fn->n;
}

int eval_function(const PdfFunction *fn, const float *in, int count, float *out);

int eval_stitching(const PdfFunction *fn, float x, float *out)
{
    int k = fn->k, i = 0;
    while (i < k - 1 && !(x < fn->bounds[i + 1]))
        i++;
    float lo = fn->bounds[i], hi = fn->bounds[i + 1];
    float e0 = fn->stitch_encode[2 * i], e1 = fn->stitch_encode[2 * i + 1];
    float xe = hi == lo ? e0 : e0 + (x - lo) * (e1 - e0) / (hi - lo);
    float sub[FN_MAX_OUTPUTS] = {};
    int got = eval_function(fn->functions[i], &xe, 1, sub);
    int n = got < fn->n ? got : fn->n;
    for (int j = 0; j < n; j++)
        out[j] = sub[j];
    for (int j = n; j < fn->n; j++)
        out[j] = 0;
    return fn->n;
}

// Writes fn->n outputs (at most FN_MAX_OUTPUTS).
int eval_function(const PdfFunction *fn, const float *in, int count, float *out)
{
    float x[FN_MAX_INPUTS] = {};
    for (int i = 0; i < fn->m; i++) {
        float v = i < count ? in[i] : fn->domain[2 * i];
        if (!std::isfinite(v))
            v = fn->domain[2 * i];
        x[i] = clampf(v, fn->domain[2 * i], fn->domain[2 * i + 1]);
    }
    switch (fn->type) {
    case 0:
        eval_sampled(fn, x, out);
        break;
    case 2: {
        float xn = fn->exponent == 1.0f ? x[0] : float(std::pow(double(x[0]), double(fn->exponent)));
        if (!std::isfinite(xn))
            xn = 0;
        for (int j = 0; j < fn->n; j++)
            out[j] = fn->c0[j] + xn * (fn->c1[j] - fn->c0[j]);
        break;
    }
    case 3:
        eval_stitching(fn, x[0], out);
        break;
    case 4: {
        float stack[FN_CALC_STACK];
        int height = 0;
        for (int i = 0; i < fn->m; i++)
            stack[height++] = x[i];
        calc_run(fn->ops, fn->op_count, stack, &height);
        for (int j = 0; j < fn->n; j++) {
            int at = height - fn->n + j;
            out[j] = at >= 0 && at < height ? stack[at] : 0;
        }
        break;
    }
    default:
        for (int j = 0; j < fn->n; j++)
            out[j] = 0;
        break;
    }
    if (fn->has_range)
        for (int j = 0; j < fn->n; j++)
            out[j] = clampf(out[j], fn->range[2 * j], fn->range[2 * j + 1]);
    return fn->n;
}

}  // namespace

PdfFunction *function_parse(RenderContext *ctx, PdfObject *object)
{
    PdfObject *obj = pdf_resolve(ctx->doc, object);
    if (!obj)
        return nullptr;
    // Streams and objects reached through a reference belong to the
    // document and keep their address for the whole render; direct objects
    // may come from a content stream's operands. Only the render arena
    // outlives a paint: a parse made while a painter has lent the context
    // its paint arena is not remembered.
    bool owned = obj->type == PDF_STREAM || pdf_is_type(object, PDF_REF);
    bool cacheable = owned && (!ctx->paint_arena || ctx->arena != ctx->paint_arena);
    FunctionCache *cache = ctx->fn_cache;
    if (cacheable && cache)
        for (int i = 0; i < cache->count; i++)
            if (cache->object[i] == obj)
                return cache->fn[i];
    auto *ps = new (std::nothrow) ParseState{};
    if (!ps)
        return nullptr;
    ps->ctx = ctx;
    PdfFunction *fn = parse_object(ps, obj, 0);
    delete ps;
    if (cacheable) {
        if (!cache)
            cache = ctx->fn_cache = static_cast<FunctionCache *>(arena_alloc(ctx->arena, sizeof(FunctionCache)));
        if (cache) {
            int slot = cache->count < FN_CACHE_SLOTS ? cache->count++ : cache->next++ % FN_CACHE_SLOTS;
            cache->object[slot] = obj;
            cache->fn[slot] = fn;
        }
    }
    return fn;
}

int function_eval(const PdfFunction *fn, const float *in, int count, float *out, int max_out)
{
    if (!fn || max_out <= 0)
        return 0;
    float all[FN_MAX_OUTPUTS];
    eval_function(fn, in, count, all);
    int n = fn->n < max_out ? fn->n : max_out;
    for (int j = 0; j < n; j++)
        out[j] = all[j];
    return n;
}
