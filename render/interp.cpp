// Operator dispatch of the content interpreter: path construction and
// painting, clipping, the graphics-state stack, device colours, line style,
// text state and positioning (PDF Reference 1.7, sections 4.1-4.5 and 5.2-5.3).
#include "render/interp.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "fonts/pdf_font.h"
#include "render/blend.h"
#include "render/clip.h"
#include "render/colorspace.h"
#include "render/fill.h"
#include "render/image.h"
#include "render/limits.h"
#include "render/pattern.h"
#include "render/shading.h"
#include "render/softmask.h"
#include "render/stroke.h"
#include "render/text.h"

namespace {

// ---- Operands ----

float obj_number(const PdfObject *o)
{
    if (!o)
        return 0.0f;
    if (o->type == PDF_INT)
        return float(o->integer);
    if (o->type == PDF_REAL)
        return std::isfinite(o->real) ? float(o->real) : 0.0f;
    return 0.0f;
}

bool obj_is_number(const PdfObject *o)
{
    return o && (o->type == PDF_INT || o->type == PDF_REAL);
}

// Takes n operands from the top in PDF order; missing ones read as 0.
void take_numbers(OperandStack *st, int n, float *out)
{
    int first = st->count - n;
    for (int i = 0; i < n; i++) {
        int k = first + i;
        out[i] = k >= 0 ? obj_number(st->items[k]) : 0.0f;
    }
    st->count = std::max(0, first);
}

// The operand `from_top` places below the top (0 = top), or null.
PdfObject *operand(OperandStack *st, int from_top)
{
    int k = st->count - 1 - from_top;
    return k >= 0 ? st->items[k] : nullptr;
}

// ---- Paths ----

// A path that ran out of points or memory is painted as far as it got.
void note_path_status(RenderContext *ctx, int status)
{
    if (status != 0)
        add_diagnostic(ctx, "path-memory");
}

void add_point(RenderContext *ctx, int kind, float x, float y)
{
    float dx, dy;
    matrix_apply(ctx->gs->ctm, x, y, &dx, &dy);
    note_path_status(ctx, kind == 0 ? path_move_to(&ctx->path, dx, dy)
                                    : path_line_to(&ctx->path, dx, dy));
}

void curve(RenderContext *ctx, float x1, float y1, float x2, float y2, float x3, float y3,
           bool first_is_current)
{
    const float *m = ctx->gs->ctm;
    float ax, ay, bx, by, cx, cy;
    if (first_is_current) {
        ax = ctx->path.cur_x;
        ay = ctx->path.cur_y;
    } else {
        matrix_apply(m, x1, y1, &ax, &ay);
    }
    matrix_apply(m, x2, y2, &bx, &by);
    matrix_apply(m, x3, y3, &cx, &cy);
    // Only the surface and a wide margin around it need the curve's shape
    // (the margin covers wide pens and surfaces placed off the page's origin):
    // a curve reaching far beyond is halved only where it comes near.
    const float *keep = nullptr;
    float area[4];
    if (const PageBitmap *s = ctx->surface) {
        const float margin = float(PATH_CURVE_MARGIN) + float(std::max(s->width, s->height));
        area[0] = -margin;
        area[1] = float(ctx->band_top) - margin;
        area[2] = float(s->width) + margin;
        area[3] = float(ctx->band_top + s->height) + margin;
        keep = area;
    }
    note_path_status(ctx, path_curve_to(&ctx->path, ax, ay, bx, by, cx, cy, keep));
}

void op_m(OperandStack *st, RenderContext *ctx)
{
    float a[2];
    take_numbers(st, 2, a);
    add_point(ctx, 0, a[0], a[1]);
}

void op_l(OperandStack *st, RenderContext *ctx)
{
    float a[2];
    take_numbers(st, 2, a);
    add_point(ctx, 1, a[0], a[1]);
}

void op_c(OperandStack *st, RenderContext *ctx)
{
    float a[6];
    take_numbers(st, 6, a);
    curve(ctx, a[0], a[1], a[2], a[3], a[4], a[5], false);
}

void op_v(OperandStack *st, RenderContext *ctx)
{
    float a[4];
    take_numbers(st, 4, a);
    curve(ctx, 0, 0, a[0], a[1], a[2], a[3], true);
}

void op_y(OperandStack *st, RenderContext *ctx)
{
    float a[4];
    take_numbers(st, 4, a);
    curve(ctx, a[0], a[1], a[2], a[3], a[2], a[3], false);
}

void op_h(OperandStack *, RenderContext *ctx) { path_close(&ctx->path); }

void op_re(OperandStack *st, RenderContext *ctx)
{
    float a[4];
    take_numbers(st, 4, a);
    add_point(ctx, 0, a[0], a[1]);
    add_point(ctx, 1, a[0] + a[2], a[1]);
    add_point(ctx, 1, a[0] + a[2], a[1] + a[3]);
    add_point(ctx, 1, a[0], a[1] + a[3]);
    path_close(&ctx->path);
}

// ---- Painting ----

enum PaintFlags { PAINT_CLOSE = 1, PAINT_FILL = 2, PAINT_EVEN_ODD = 4, PAINT_STROKE = 8 };

void paint(RenderContext *ctx, int flags)
{
    if (flags & PAINT_CLOSE)
        path_close(&ctx->path);
    if (!ctx->text_only) {
        GraphicsState *gs = ctx->gs;
        int even_odd = (flags & PAINT_EVEN_ODD) ? 1 : 0;
        if ((flags & PAINT_FILL) && !pattern_fill(ctx, &ctx->path, even_odd))
            fill_path(ctx, &ctx->path, even_odd, gs->fill_rgb, gs->fill_alpha);
        if (flags & PAINT_STROKE) {
            PatternPaint pp;
            bool pattern = pattern_stroke_begin(ctx, &pp);
            // The outline and the stroker's temporaries come from the paint
            // arena, which is renewed after paints like the path's arrays.
            Arena *render_arena = ctx->arena;
            if (ctx->paint_arena)
                ctx->arena = ctx->paint_arena;
            stroke_path(ctx);
            ctx->arena = render_arena;
            if (pattern)
                pattern_end(ctx, &pp);
        }
    }
    finish_path(ctx);
}

void op_f(OperandStack *, RenderContext *ctx) { paint(ctx, PAINT_FILL); }
void op_f_star(OperandStack *, RenderContext *ctx) { paint(ctx, PAINT_FILL | PAINT_EVEN_ODD); }
void op_S(OperandStack *, RenderContext *ctx) { paint(ctx, PAINT_STROKE); }
void op_s(OperandStack *, RenderContext *ctx) { paint(ctx, PAINT_CLOSE | PAINT_STROKE); }
void op_B(OperandStack *, RenderContext *ctx) { paint(ctx, PAINT_FILL | PAINT_STROKE); }
void op_B_star(OperandStack *, RenderContext *ctx)
{
    paint(ctx, PAINT_FILL | PAINT_EVEN_ODD | PAINT_STROKE);
}
void op_b(OperandStack *, RenderContext *ctx) { paint(ctx, PAINT_CLOSE | PAINT_FILL | PAINT_STROKE); }
void op_b_star(OperandStack *, RenderContext *ctx)
{
    paint(ctx, PAINT_CLOSE | PAINT_FILL | PAINT_EVEN_ODD | PAINT_STROKE);
}
void op_n(OperandStack *, RenderContext *ctx) { finish_path(ctx); }
void op_W(OperandStack *, RenderContext *ctx) { ctx->pending_clip = 1; }
void op_W_star(OperandStack *, RenderContext *ctx) { ctx->pending_clip = 2; }

// ---- Graphics state ----

// Blocks popped by Q are reused, so that balanced q/Q pairs in a long
// stream do not grow the render arena.
void op_q(OperandStack *, RenderContext *ctx) { gstate_save(ctx); }

// A stream cannot pop the states its caller saved: forms and appearances
// restore their caller's state themselves. The popped state's own clip
// plane is freed; nothing refers to it any more (callers keep only states
// below the floor).
void op_Q(OperandStack *, RenderContext *ctx)
{
    GraphicsState *top = ctx->gs;
    if (top == ctx->gs_floor || !top->saved)
        return;
    gstate_restore(ctx, top->saved);
}

void op_cm(OperandStack *st, RenderContext *ctx)
{
    float m[6];
    take_numbers(st, 6, m);
    matrix_concat(ctx->gs->ctm, m, ctx->gs->ctm);
}

void op_w(OperandStack *st, RenderContext *ctx) { take_numbers(st, 1, &ctx->gs->line_width); }
void op_M(OperandStack *st, RenderContext *ctx) { take_numbers(st, 1, &ctx->gs->miter_limit); }

int trunc_int(float v)
{
    if (!(v > -1e9f && v < 1e9f))
        return 0;
    return int(v);
}

void op_J(OperandStack *st, RenderContext *ctx)
{
    float v;
    take_numbers(st, 1, &v);
    ctx->gs->line_cap = trunc_int(v);
}

void op_j(OperandStack *st, RenderContext *ctx)
{
    float v;
    take_numbers(st, 1, &v);
    ctx->gs->line_join = trunc_int(v);
}

void op_d(OperandStack *st, RenderContext *ctx)
{
    GraphicsState *gs = ctx->gs;
    PdfObject *phase = operand(st, 0);
    PdfObject *arr = operand(st, 1);
    st->count = std::max(0, st->count - 2);
    gs->dash_count = 0;
    gs->dash_phase = obj_number(phase);
    if (!pdf_is_type(arr, PDF_ARRAY))
        return;
    int n = std::min(8, pdf_array_len(arr));
    float sum = 0;
    for (int i = 0; i < n; i++) {
        gs->dash[i] = obj_number(pdf_resolve(ctx->doc, pdf_array_get(arr, i)));
        sum += gs->dash[i];
    }
    if (sum > 0)
        gs->dash_count = n;
}

// ---- Device colours ----

// Gray, RGB or CMYK components to RGB by the device formulas.
void device_rgb(const float *c, int n, float *rgb)
{
    if (n <= 1) {
        rgb[0] = rgb[1] = rgb[2] = n == 1 ? c[0] : 0.0f;
    } else if (n >= 4) {
        rgb[0] = (1 - c[0]) * (1 - c[3]);
        rgb[1] = (1 - c[1]) * (1 - c[3]);
        rgb[2] = (1 - c[2]) * (1 - c[3]);
    } else {
        rgb[0] = c[0];
        rgb[1] = n >= 2 ? c[1] : 0.0f;
        rgb[2] = n >= 3 ? c[2] : 0.0f;
    }
}

void set_device_colour(OperandStack *st, RenderContext *ctx, int n, bool stroke)
{
    float c[4];
    take_numbers(st, n, c);
    GraphicsState *gs = ctx->gs;
    device_rgb(c, n, stroke ? gs->stroke_rgb : gs->fill_rgb);
    (stroke ? gs->stroke_cs : gs->fill_cs) = nullptr;
    (stroke ? gs->stroke_ncomps : gs->fill_ncomps) = n;
}

void op_g(OperandStack *st, RenderContext *ctx) { set_device_colour(st, ctx, 1, false); }
void op_rg(OperandStack *st, RenderContext *ctx) { set_device_colour(st, ctx, 3, false); }
void op_k(OperandStack *st, RenderContext *ctx) { set_device_colour(st, ctx, 4, false); }
void op_G(OperandStack *st, RenderContext *ctx) { set_device_colour(st, ctx, 1, true); }
void op_RG(OperandStack *st, RenderContext *ctx) { set_device_colour(st, ctx, 3, true); }
void op_K(OperandStack *st, RenderContext *ctx) { set_device_colour(st, ctx, 4, true); }

void set_colour_space(OperandStack *st, RenderContext *ctx, bool stroke)
{
    ColorSpace *cs = colorspace_parse(ctx, operand(st, 0), 0);
    GraphicsState *gs = ctx->gs;
    (stroke ? gs->stroke_cs : gs->fill_cs) = cs;
    (stroke ? gs->stroke_ncomps : gs->fill_ncomps) = colorspace_ncomps(cs);
    float *rgb = stroke ? gs->stroke_rgb : gs->fill_rgb;
    rgb[0] = rgb[1] = rgb[2] = 0.0f;
    (stroke ? gs->stroke_pattern : gs->fill_pattern) = nullptr;
}

void op_cs(OperandStack *st, RenderContext *ctx) { set_colour_space(st, ctx, false); }
void op_CS(OperandStack *st, RenderContext *ctx) { set_colour_space(st, ctx, true); }

// Through the side's colour space when one is set, else by the device
// formulas of the component count.
void set_colour(RenderContext *ctx, const float *c, int n, bool stroke)
{
    const ColorSpace *cs = stroke ? ctx->gs->stroke_cs : ctx->gs->fill_cs;
    float *rgb = stroke ? ctx->gs->stroke_rgb : ctx->gs->fill_rgb;
    if (cs)
        colorspace_to_rgb(cs, c, rgb);
    else
        device_rgb(c, n, rgb);
}

void sc_common(OperandStack *st, RenderContext *ctx, bool stroke, bool pattern_names)
{
    int n = std::min(8, stroke ? ctx->gs->stroke_ncomps : ctx->gs->fill_ncomps);
    if (pattern_names) {
        PdfObject *name = nullptr;
        while (st->count > 0 && !obj_is_number(st->items[st->count - 1])) {
            if (!name && pdf_is_type(st->items[st->count - 1], PDF_NAME))
                name = st->items[st->count - 1];
            st->count--;
        }
        // A pattern that cannot be found leaves the previous colour.
        if (name) {
            PdfObject *pattern = pattern_lookup(ctx, name);
            (stroke ? ctx->gs->stroke_pattern : ctx->gs->fill_pattern) = pattern;
            if (!pattern && !ctx->text_only)
                add_diagnostic(ctx, "pattern");
        }
        if (st->count < n)
            return;
    }
    float c[CS_MAX_COMPONENTS] = {};  // components not supplied read as 0
    take_numbers(st, n, c);
    set_colour(ctx, c, n, stroke);
}

void op_sc(OperandStack *st, RenderContext *ctx) { sc_common(st, ctx, false, false); }
void op_SC(OperandStack *st, RenderContext *ctx) { sc_common(st, ctx, true, false); }
void op_scn(OperandStack *st, RenderContext *ctx) { sc_common(st, ctx, false, true); }
void op_SCN(OperandStack *st, RenderContext *ctx) { sc_common(st, ctx, true, true); }

// ---- Text state and positioning ----

void op_BT(OperandStack *, RenderContext *ctx) { text_begin(ctx); }
void op_ET(OperandStack *, RenderContext *ctx) { text_end(ctx); }
void op_Tc(OperandStack *st, RenderContext *ctx) { take_numbers(st, 1, &ctx->char_spacing); }
void op_Tw(OperandStack *st, RenderContext *ctx) { take_numbers(st, 1, &ctx->word_spacing); }
void op_TL(OperandStack *st, RenderContext *ctx) { take_numbers(st, 1, &ctx->leading); }
void op_Ts(OperandStack *st, RenderContext *ctx) { take_numbers(st, 1, &ctx->rise); }

void op_Tz(OperandStack *st, RenderContext *ctx)
{
    float v;
    take_numbers(st, 1, &v);
    ctx->horiz_scale = v / 100.0f;
}

void op_Tr(OperandStack *st, RenderContext *ctx)
{
    float v;
    take_numbers(st, 1, &v);
    ctx->render_mode = trunc_int(v);
}

// A font that cannot be had, or has neither a face nor glyph procedures,
// draws nothing; its widths (or the default ones) still move the pen.
void op_Tf(OperandStack *st, RenderContext *ctx)
{
    PdfObject *size = operand(st, 0);
    PdfObject *name = operand(st, 1);
    if (size)
        ctx->font_size = obj_is_number(size) ? obj_number(size) : 12.0f;
    st->count = std::max(0, st->count - 2);
    ctx->font = nullptr;
    if (pdf_is_type(name, PDF_NAME)) {
        PdfObject *fonts = pdf_dict_get_resolved(ctx->doc, ctx->resources, "Font");
        ctx->font = pdf_font_load(ctx->doc, pdf_dict_get_resolved(ctx->doc, fonts, name->name));
    }
    if (!ctx->font || (!ctx->font->face && !ctx->font->is_type3))
        add_diagnostic(ctx, "font-unavailable");
}

void op_Td(OperandStack *st, RenderContext *ctx)
{
    float a[2];
    take_numbers(st, 2, a);
    text_move(ctx, a[0], a[1]);
}

void op_TD(OperandStack *st, RenderContext *ctx)
{
    float a[2];
    take_numbers(st, 2, a);
    ctx->leading = -a[1];
    text_move(ctx, a[0], a[1]);
}

void op_T_star(OperandStack *, RenderContext *ctx) { text_move(ctx, 0, -ctx->leading); }

void op_Tm(OperandStack *st, RenderContext *ctx)
{
    float m[6];
    take_numbers(st, 6, m);
    text_set_matrix(ctx, m);
}

void show_string(RenderContext *ctx, const PdfObject *s)
{
    if (pdf_is_type(s, PDF_STRING))
        text_show(ctx, s->bytes, s->length);
}

void op_Tj(OperandStack *st, RenderContext *ctx) { show_string(ctx, operand(st, 0)); }

void op_quote(OperandStack *st, RenderContext *ctx)
{
    text_move(ctx, 0, -ctx->leading);
    show_string(ctx, operand(st, 0));
}

void op_dquote(OperandStack *st, RenderContext *ctx)
{
    if (st->count >= 3) {
        ctx->word_spacing = obj_number(operand(st, 2));
        ctx->char_spacing = obj_number(operand(st, 1));
    }
    text_move(ctx, 0, -ctx->leading);
    show_string(ctx, operand(st, 0));
}

void op_TJ(OperandStack *st, RenderContext *ctx)
{
    PdfObject *arr = operand(st, 0);
    int n = pdf_is_type(arr, PDF_ARRAY) ? pdf_array_len(arr) : 0;
    for (int i = 0; i < n; i++) {
        PdfObject *item = pdf_array_get(arr, i);
        if (obj_is_number(item))
            text_adjust(ctx, obj_number(item));
        else
            show_string(ctx, item);
    }
}

// ---- Resources drawn by other parts of the renderer ----

void op_Do(OperandStack *st, RenderContext *) { draw_xobject(st, operand(st, 0)); }

// An alpha of CA or ca: a number limited to 0..1; anything else is opaque.
float unit_alpha(const PdfObject *v)
{
    if (!obj_is_number(v))
        return 1.0f;
    float a = obj_number(v);
    return a > 0 ? (a < 1 ? a : 1.0f) : 0.0f;
}

// Extended graphics state: line parameters, alphas, blend mode and soft mask.
void op_gs(OperandStack *st, RenderContext *ctx)
{
    PdfObject *name = operand(st, 0);
    if (!pdf_is_type(name, PDF_NAME))
        return;
    PdfDoc *doc = ctx->doc;
    PdfObject *dict = pdf_dict_get_resolved(
        doc, pdf_dict_get_resolved(doc, ctx->resources, "ExtGState"), name->name);
    if (!pdf_is_type(dict, PDF_DICT))
        return;
    GraphicsState *gs = ctx->gs;
    PdfObject *v;
    if ((v = pdf_dict_get_resolved(doc, dict, "LW")) && obj_is_number(v))
        gs->line_width = obj_number(v);
    if ((v = pdf_dict_get_resolved(doc, dict, "LC")) && obj_is_number(v))
        gs->line_cap = trunc_int(obj_number(v));
    if ((v = pdf_dict_get_resolved(doc, dict, "LJ")) && obj_is_number(v))
        gs->line_join = trunc_int(obj_number(v));
    if ((v = pdf_dict_get_resolved(doc, dict, "ML")) && obj_is_number(v))
        gs->miter_limit = obj_number(v);
    if ((v = pdf_dict_get_resolved(doc, dict, "CA")))
        gs->stroke_alpha = unit_alpha(v);
    if ((v = pdf_dict_get_resolved(doc, dict, "ca")))
        gs->fill_alpha = unit_alpha(v);
    v = pdf_dict_get_resolved(doc, dict, "D");
    if (pdf_is_type(v, PDF_ARRAY) && pdf_array_len(v) == 2) {
        PdfObject *arr = pdf_resolve(doc, pdf_array_get(v, 0));
        PdfObject *phase = pdf_resolve(doc, pdf_array_get(v, 1));
        gs->dash_count = 0;
        gs->dash_phase = obj_number(phase);
        int n = std::min(8, pdf_array_len(arr));
        float sum = 0;
        for (int i = 0; i < n; i++) {
            gs->dash[i] = obj_number(pdf_resolve(doc, pdf_array_get(arr, i)));
            sum += gs->dash[i];
        }
        if (sum > 0)
            gs->dash_count = n;
    }
    if (PdfObject *bm = pdf_dict_get_resolved(doc, dict, "BM"))
        gs->blend_mode = blend_mode_from_object(doc, bm);
    if (PdfObject *smask = pdf_dict_get_resolved(doc, dict, "SMask"))
        softmask_set(ctx, smask);
}

void op_sh(OperandStack *st, RenderContext *ctx)
{
    PdfObject *name = operand(st, 0);
    if (ctx->text_only || !pdf_is_type(name, PDF_NAME))
        return;
    PdfObject *shadings = pdf_dict_get_resolved(ctx->doc, ctx->resources, "Shading");
    PdfObject *shading = pdf_dict_get_resolved(ctx->doc, shadings, name->name);
    if (paint_shading(ctx, shading) != 0)
        add_diagnostic(ctx, "sh");
}

// BI ... ID data EI: drawn, and the stream goes on after the image.
void op_BI(OperandStack *st, RenderContext *) { draw_inline_image(st); }

void op_BX(OperandStack *st, RenderContext *) { st->compat++; }
void op_EX(OperandStack *st, RenderContext *)
{
    if (st->compat > 0)
        st->compat--;
}
void op_ignore(OperandStack *, RenderContext *) {}

// ---- Dispatch table ----

using OpFn = void (*)(OperandStack *, RenderContext *);

struct OpEntry {
    uint32_t key;  // up to three characters packed big-endian
    OpFn fn;
    int keeps_surplus;  // 1: takes only its operands; 0: empties the stack
};

constexpr uint32_t op_key(const char *s)
{
    uint32_t k = 0;
    for (int i = 0; i < 3 && s[i]; i++)
        k = k | (uint32_t(uint8_t(s[i])) << (16 - 8 * i));
    return k;
}

// Sorted by key at compile time; one line per operator.
constexpr OpEntry kOpsUnsorted[] = {
    {op_key("m"), op_m, 1},        {op_key("l"), op_l, 1},
    {op_key("c"), op_c, 1},        {op_key("v"), op_v, 1},
    {op_key("y"), op_y, 1},        {op_key("h"), op_h, 1},
    {op_key("re"), op_re, 1},      {op_key("f"), op_f, 1},
    {op_key("F"), op_f, 1},        {op_key("f*"), op_f_star, 1},
    {op_key("S"), op_S, 1},        {op_key("s"), op_s, 1},
    {op_key("B"), op_B, 1},        {op_key("B*"), op_B_star, 1},
    {op_key("b"), op_b, 1},        {op_key("b*"), op_b_star, 1},
    {op_key("n"), op_n, 1},        {op_key("W"), op_W, 1},
    {op_key("W*"), op_W_star, 1},  {op_key("q"), op_q, 0},
    {op_key("Q"), op_Q, 0},        {op_key("cm"), op_cm, 1},
    {op_key("w"), op_w, 1},        {op_key("J"), op_J, 1},
    {op_key("j"), op_j, 1},        {op_key("M"), op_M, 1},
    {op_key("d"), op_d, 1},        {op_key("i"), op_ignore, 0},
    {op_key("ri"), op_ignore, 0},  {op_key("d0"), op_ignore, 0},
    {op_key("d1"), op_ignore, 0},  {op_key("gs"), op_gs, 0},
    {op_key("g"), op_g, 1},        {op_key("rg"), op_rg, 1},
    {op_key("k"), op_k, 1},        {op_key("G"), op_G, 1},
    {op_key("RG"), op_RG, 1},      {op_key("K"), op_K, 1},
    {op_key("cs"), op_cs, 0},      {op_key("CS"), op_CS, 0},
    {op_key("sc"), op_sc, 1},      {op_key("SC"), op_SC, 1},
    {op_key("scn"), op_scn, 1},    {op_key("SCN"), op_SCN, 1},
    {op_key("sh"), op_sh, 0},      {op_key("Do"), op_Do, 0},
    {op_key("BI"), op_BI, 0},      {op_key("BT"), op_BT, 0},
    {op_key("ET"), op_ET, 0},  {op_key("BMC"), op_ignore, 0},
    {op_key("BDC"), op_ignore, 0}, {op_key("EMC"), op_ignore, 0},
    {op_key("MP"), op_ignore, 0},  {op_key("DP"), op_ignore, 0},
    {op_key("BX"), op_BX, 0},      {op_key("EX"), op_EX, 0},
    {op_key("Tc"), op_Tc, 1},      {op_key("Tw"), op_Tw, 1},
    {op_key("TL"), op_TL, 1},      {op_key("Ts"), op_Ts, 1},
    {op_key("Tz"), op_Tz, 1},      {op_key("Tf"), op_Tf, 1},
    {op_key("Tr"), op_Tr, 1},      {op_key("Td"), op_Td, 1},
    {op_key("TD"), op_TD, 1},      {op_key("T*"), op_T_star, 1},
    {op_key("Tm"), op_Tm, 1},      {op_key("Tj"), op_Tj, 0},
    {op_key("'"), op_quote, 0},    {op_key("\""), op_dquote, 0},
    {op_key("TJ"), op_TJ, 0},
};

constexpr int kOpCount = int(sizeof kOpsUnsorted / sizeof kOpsUnsorted[0]);

struct OpTable {
    OpEntry e[kOpCount];
};

constexpr OpTable sorted_ops()
{
    OpTable t{};
    for (int i = 0; i < kOpCount; i++)
        t.e[i] = kOpsUnsorted[i];
    for (int i = 1; i < kOpCount; i++)
        for (int j = i; j > 0 && t.e[j - 1].key > t.e[j].key; j--)
            std::swap(t.e[j - 1], t.e[j]);
    return t;
}

constexpr OpTable kOps = sorted_ops();

const OpEntry *find_op(const char *name)
{
    if (!name[0] || (name[1] && name[2] && name[3]))
        return nullptr;
    uint32_t key = op_key(name);
    const OpEntry *end = kOps.e + kOpCount;
    const OpEntry *it = std::lower_bound(kOps.e, end, key,
                                         [](const OpEntry &a, uint32_t k) { return a.key < k; });
    return it != end && it->key == key ? it : nullptr;
}

}  // namespace

// BM: a name, or an array whose first known name counts (a viewer takes
// the first mode it knows); no known name is Normal.
int blend_mode_from_object(PdfDoc *doc, PdfObject *bm)
{
    if (pdf_is_type(bm, PDF_NAME)) {
        int m = blend_mode_from_name(bm->name);
        return m < 0 ? BLEND_NORMAL : m;
    }
    int n = pdf_is_type(bm, PDF_ARRAY) ? pdf_array_len(bm) : 0;
    for (int i = 0; i < n && i < BLEND_MAX_NAMES; i++) {
        PdfObject *item = pdf_resolve(doc, pdf_array_get(bm, i));
        int m = pdf_is_type(item, PDF_NAME) ? blend_mode_from_name(item->name) : -1;
        if (m >= 0)
            return m;
    }
    return BLEND_NORMAL;
}

void exec_operator(OperandStack *st, const char *name)
{
    RenderContext *ctx = st->ctx;
    const OpEntry *op = find_op(name);
    if (!op) {
        // Inside BX ... EX unknown operators are expected and stay silent.
        if (st->compat == 0)
            add_diagnostic(ctx, name);
        st->count = 0;
        return;
    }
    op->fn(st, ctx);
    if (!op->keeps_surplus)
        st->count = 0;
}

void finish_path(RenderContext *ctx)
{
    if (ctx->pending_clip && !ctx->text_only)
        clip_path(ctx, &ctx->path, ctx->pending_clip == 2 ? 1 : 0);
    ctx->pending_clip = 0;
    path_reset(&ctx->path);
    // The arrays of the path and of the paint stay in the paint arena until
    // it has grown past PAINT_ARENA_RECYCLE; then a fresh arena replaces it.
    Arena *old = ctx->paint_arena;
    if (!old || ctx->path.arena != old || old->total <= PAINT_ARENA_RECYCLE)
        return;
    Arena *fresh = arena_create(INTERP_PAINT_BLOCK);
    if (!fresh)
        return;
    fresh->limit = old->limit;
    arena_destroy(old);
    ctx->paint_arena = fresh;
    ctx->path.arena = fresh;
}

Arena *paint_arena_begin(RenderContext *ctx)
{
    Arena *outer = ctx->paint_arena;
    ctx->paint_arena = arena_create(INTERP_PAINT_BLOCK);
    if (ctx->paint_arena)
        ctx->paint_arena->limit = outer ? outer->limit : ctx->arena ? ctx->arena->limit : 0;
    return outer;
}

void paint_arena_end(RenderContext *ctx, Arena *outer)
{
    arena_destroy(ctx->paint_arena);
    ctx->paint_arena = outer;
}

void text_begin(RenderContext *ctx)
{
    text_clip_release(ctx);
    matrix_identity(ctx->text_line_matrix);
    matrix_identity(ctx->text_matrix);
}

void text_move(RenderContext *ctx, float tx, float ty)
{
    const float t[6] = {1, 0, 0, 1, tx, ty};
    matrix_concat(ctx->text_line_matrix, t, ctx->text_line_matrix);
    std::memcpy(ctx->text_matrix, ctx->text_line_matrix, sizeof ctx->text_matrix);
}

void text_set_matrix(RenderContext *ctx, const float m[6])
{
    std::memcpy(ctx->text_line_matrix, m, sizeof ctx->text_line_matrix);
    std::memcpy(ctx->text_matrix, m, sizeof ctx->text_matrix);
}
