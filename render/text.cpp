// The glyph loop of the text-showing operators: each code's text rendering
// matrix, then collection, greeking, culling, a Type 3 glyph procedure or a
// FreeType glyph composited on whole pixels, and the pen advance.
#include "render/text.h"

#include <cmath>
#include <cstring>

#include "fonts/font_state.h"
#include "fonts/glyph.h"
#include "fonts/pdf_font.h"
#include "render/clip.h"
#include "render/composite.h"
#include "render/fill.h"
#include "render/gstate.h"
#include "render/interp.h"
#include "render/pattern.h"

namespace {

// Device coordinates beyond this are not drawn (keeps pixel arithmetic in int).
constexpr float kMaxDeviceCoord = 1e8f;

bool is_clip_mode(int mode) { return mode >= 4 && mode <= 7; }
// Modes 3 and 7 paint nothing.
bool paints(int mode) { return mode != 3 && mode != 7; }

// The colour and opacity of a painting mode: 1 and 5 use the stroke side.
void paint_colour(const RenderContext *ctx, int rgb[3], int *alpha)
{
    const GraphicsState *gs = ctx->gs;
    const bool stroke = ctx->render_mode == 1 || ctx->render_mode == 5;
    const float *c = stroke ? gs->stroke_rgb : gs->fill_rgb;
    for (int i = 0; i < 3; i++)
        rgb[i] = color_byte(c[i]);
    *alpha = color_byte(stroke ? gs->stroke_alpha : gs->fill_alpha);
}

// The columns and rows of the surface a glyph may paint: the clip rectangle,
// the clip plane's box and the surface, x1 and y1 exclusive.
void paint_limits(const RenderContext *ctx, int lim[4])
{
    const GraphicsState *gs = ctx->gs;
    const PageBitmap *s = ctx->surface;
    lim[0] = gs->clip_x0 > 0 ? gs->clip_x0 : 0;
    lim[1] = gs->clip_y0 > 0 ? gs->clip_y0 : 0;
    lim[2] = gs->clip_x1 < s->width ? gs->clip_x1 : s->width;
    lim[3] = gs->clip_y1 < s->height ? gs->clip_y1 : s->height;
    if (const ClipPlane *p = gs->clip_mask) {
        lim[0] = p->x0 > lim[0] ? p->x0 : lim[0];
        lim[1] = p->y0 > lim[1] ? p->y0 : lim[1];
        lim[2] = p->x1 < lim[2] ? p->x1 : lim[2];
        lim[3] = p->y1 < lim[3] ? p->y1 : lim[3];
    }
}

// Composites `length` coverage bytes at surface row y from column x, cut to
// the limits.
void paint_row(RenderContext *ctx, const int lim[4], int y, int x, int length,
               const uint8_t *coverage, const int rgb[3], int alpha)
{
    if (y < lim[1] || y >= lim[3])
        return;
    if (x < lim[0]) {
        int cut = lim[0] - x;
        if (cut >= length)
            return;
        coverage += cut;
        length -= cut;
        x = lim[0];
    }
    if (length > lim[2] - x)
        length = lim[2] - x;
    if (length <= 0)
        return;
    const GraphicsState *gs = ctx->gs;
    const ClipPlane *plane = gs->clip_mask;
    size_t at = size_t(y) * size_t(ctx->surface->width) + size_t(x);
    composite_span(ctx->surface, y, x, length, coverage, plane ? plane->at(x, y) : nullptr,
                   gs->soft_mask ? gs->soft_mask + at : nullptr, alpha, gs->blend_mode, rgb[0],
                   rgb[1], rgb[2]);
}

// A glyph's coverage with its top-left pixel at page device (x0, y0).
void paint_glyph(RenderContext *ctx, const GlyphBitmap *g, int x0, int y0)
{
    int rgb[3], alpha, lim[4];
    paint_colour(ctx, rgb, &alpha);
    paint_limits(ctx, lim);
    const int top = y0 - ctx->band_top;
    const GraphicsState *gs = ctx->gs;
    if (gs->clip_mask || gs->soft_mask) {
        for (int r = 0; r < g->rows; r++)
            paint_row(ctx, lim, top + r, x0, g->width, g->buffer + size_t(r) * size_t(g->pitch), rgb,
                      alpha);
        return;
    }
    // Without a mask every row is cut to the limits alike: once for all.
    const int first = lim[1] > top ? lim[1] - top : 0;
    const int last = lim[3] - top < g->rows ? lim[3] - top : g->rows;  // exclusive
    int x = x0, length = g->width, cut = 0;
    if (x < lim[0]) {
        cut = lim[0] - x;
        if (cut >= length)
            return;
        length -= cut;
        x = lim[0];
    }
    if (length > lim[2] - x)
        length = lim[2] - x;
    if (length <= 0 || first >= last)
        return;
    composite_rows(ctx->surface, top + first, x, length, last - first,
                   g->buffer + size_t(first) * size_t(g->pitch) + size_t(cut), g->pitch, alpha,
                   gs->blend_mode, rgb[0], rgb[1], rgb[2]);
}

int clamp_int(float v)
{
    if (!(v > -kMaxDeviceCoord))
        return -int(kMaxDeviceCoord);
    if (v > kMaxDeviceCoord)
        return int(kMaxDeviceCoord);
    return int(v);
}

// A bar 0.62 em tall over the advance width in place of a glyph too small to read.
void paint_greek_bar(RenderContext *ctx, const float trm[6], float w)
{
    const float corners[4][2] = {{0, 0}, {w, 0}, {w, TEXT_GREEK_BAR_HEIGHT}, {0, TEXT_GREEK_BAR_HEIGHT}};
    float min_x = 0, min_y = 0, max_x = 0, max_y = 0;
    for (int i = 0; i < 4; i++) {
        float x, y;
        matrix_apply(trm, corners[i][0], corners[i][1], &x, &y);
        if (i == 0 || x < min_x)
            min_x = x;
        if (i == 0 || x > max_x)
            max_x = x;
        if (i == 0 || y < min_y)
            min_y = y;
        if (i == 0 || y > max_y)
            max_y = y;
    }
    if (!(min_x == min_x && min_y == min_y && max_x == max_x && max_y == max_y))
        return;
    int x0 = clamp_int(min_x), y0 = clamp_int(min_y) - ctx->band_top;
    int x1 = clamp_int(max_x), y1 = clamp_int(max_y) - ctx->band_top;
    if (x1 <= x0)
        x1 = x0 + 1;
    if (y1 <= y0)
        y1 = y0 + 1;
    static uint8_t bar[TEXT_GREEK_MAX_ROW];
    if (bar[0] != TEXT_GREEK_COVERAGE)
        std::memset(bar, TEXT_GREEK_COVERAGE, sizeof bar);
    int rgb[3], alpha, lim[4];
    paint_colour(ctx, rgb, &alpha);
    paint_limits(ctx, lim);
    if (x0 < lim[0])
        x0 = lim[0];
    if (x1 > lim[2])
        x1 = lim[2];
    if (x1 - x0 > TEXT_GREEK_MAX_ROW)
        x1 = x0 + TEXT_GREEK_MAX_ROW;
    for (int y = y0 > lim[1] ? y0 : lim[1]; y < y1 && y < lim[3]; y++)
        paint_row(ctx, lim, y, x0, x1 - x0, bar, rgb, alpha);
}

// ---- Text as a clip ----

struct OutlineTarget {
    Path *path;
    const float *m;  // em to device
    int status;
};

void outline_move(void *user, float x, float y)
{
    auto *t = static_cast<OutlineTarget *>(user);
    float dx, dy;
    matrix_apply(t->m, x, y, &dx, &dy);
    t->status |= path_close(t->path);
    t->status |= path_move_to(t->path, dx, dy);
}

void outline_line(void *user, float x, float y)
{
    auto *t = static_cast<OutlineTarget *>(user);
    float dx, dy;
    matrix_apply(t->m, x, y, &dx, &dy);
    t->status |= path_line_to(t->path, dx, dy);
}

void outline_cubic(void *user, float x1, float y1, float x2, float y2, float x3, float y3)
{
    auto *t = static_cast<OutlineTarget *>(user);
    float a, b, c, d, e, f;
    matrix_apply(t->m, x1, y1, &a, &b);
    matrix_apply(t->m, x2, y2, &c, &d);
    matrix_apply(t->m, x3, y3, &e, &f);
    t->status |= path_curve_to(t->path, a, b, c, d, e, f);
}

// Adds a glyph's outline under `trm` to the text object's clip outlines.
void add_clip_outline(RenderContext *ctx, FT_Face face, uint32_t glyph, const float trm[6])
{
    if (ctx->text_only || !face || glyph == 0)
        return;
    if (!ctx->text_clip_arena) {
        ctx->text_clip_arena = arena_create(INTERP_PAINT_BLOCK);
        if (!ctx->text_clip_arena)
            return;
        ctx->text_clip_arena->limit = ctx->arena ? ctx->arena->limit : 0;
        path_init(&ctx->text_clip, ctx->text_clip_arena);
    }
    OutlineTarget target = {&ctx->text_clip, trm, 0};
    const GlyphOutlineSink sink = {outline_move, outline_line, outline_cubic, &target};
    ft_glyph_outline(face, glyph, &sink);
    path_close(&ctx->text_clip);
    if (target.status)
        add_diagnostic(ctx, "path-memory");
}

// A glyph painted with a fill pattern: its outline under `trm` filled with
// the pattern. False when the glyph paints with a plain colour (or the
// pattern cannot be drawn): the caller then composites its bitmap.
bool paint_glyph_pattern(RenderContext *ctx, FT_Face face, uint32_t glyph, const float trm[6])
{
    if (!ctx->gs->fill_pattern || ctx->render_mode == 1 || ctx->render_mode == 5)
        return false;
    Arena *arena = arena_create(0);
    if (!arena)
        return false;
    arena->limit = ctx->arena ? ctx->arena->limit : 0;
    Path path;
    path_init(&path, arena);
    OutlineTarget target = {&path, trm, 0};
    const GlyphOutlineSink sink = {outline_move, outline_line, outline_cubic, &target};
    ft_glyph_outline(face, glyph, &sink);
    target.status |= path_close(&path);
    const bool done = target.status == 0 && pattern_fill(ctx, &path, 0);
    arena_destroy(arena);
    return done;
}

// Marks the text object as clipping even when no glyph has an outline (a
// clip of nothing).
void note_clip_text(RenderContext *ctx)
{
    if (ctx->text_only || ctx->text_clip_arena)
        return;
    ctx->text_clip_arena = arena_create(INTERP_PAINT_BLOCK);
    if (ctx->text_clip_arena)
        path_init(&ctx->text_clip, ctx->text_clip_arena);
}

// ---- Type 3 ----

void run_type3_glyph(RenderContext *ctx, PdfFont *font, uint32_t code, const float trm[6])
{
    PdfObject *proc = pdf_font_charproc(ctx->doc, font, code);
    if (!proc)
        return;
    // A procedure that shows Type 3 text can nest ten deep and multiply its
    // glyphs at every level; such nested glyphs are bounded per render.
    if (ctx->depth > 0 && ctx->nested_glyph_runs >= TEXT_NESTED_GLYPH_RUNS) {
        add_diagnostic(ctx, "glyph-nesting");
        return;
    }
    ctx->nested_glyph_runs++;
    float m[6];
    matrix_concat(m, font->font_matrix, trm);
    Arena *clip_arena = ctx->text_clip_arena;
    Path clip = ctx->text_clip;
    ctx->text_clip_arena = nullptr;
    run_glyph_procedure(ctx, proc, font->resources, m);
    text_clip_release(ctx);
    ctx->text_clip_arena = clip_arena;
    ctx->text_clip = clip;
}

// ---- One character ----

void show_glyph(RenderContext *ctx, uint32_t code, bool word_space)
{
    PdfFont *font = ctx->font;
    const float size = ctx->font_size, th = ctx->horiz_scale;
    const int mode = ctx->render_mode;
    float trm[6];
    const float text_space[6] = {size * th, 0, 0, size, 0, ctx->rise};
    matrix_concat(trm, text_space, ctx->text_matrix);
    matrix_concat(trm, trm, ctx->gs->ctm);
    const float w = pdf_font_advance(font, code);
    const float spacing = ctx->char_spacing + (word_space ? ctx->word_spacing : 0.0f);
    float tx = (w * size + spacing) * th, ty = 0;
    float w1y, vx, vy;
    if (pdf_font_vertical(font, code, &w1y, &vx, &vy)) {
        // Written top to bottom: the glyph hangs from the pen by its position
        // vector, and the pen moves down by the displacement.
        const float origin[6] = {1, 0, 0, 1, -vx / 1000.0f, -vy / 1000.0f};
        matrix_concat(trm, origin, trm);
        tx = 0;
        ty = w1y / 1000.0f * size + spacing;
    }
    const float a = trm[0], b = trm[1], c = trm[2], d = trm[3], e = trm[4], f = trm[5];

    if (ctx->text_only) {
        if (auto *sink = static_cast<TextSink *>(ctx->text_sink); sink && sink->fn) {
            // The box holds all four corners of the advance-by-height
            // rectangle, so that text set at an angle gets its full extent
            // (two opposite corners alone can give a sliver). Letter-spaced
            // text keeps its words: the box reaches to where the next letter
            // starts, so the tracking is no gap between letters (word spacing
            // and TJ offsets still are). A Type 3 font whose glyphs stay well
            // below the em gets boxes of their height. (Vertical writing
            // tracks down the column, not across the glyph: no widening.)
            const float track =
                size != 0 && tx != 0 ? std::fmax(ctx->char_spacing / size, 0.0f) : 0;
            const float top = font && font->type3_top > 0 ? font->type3_top : 1;
            float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            for (int corner = 0; corner < 4; corner++) {
                float x, y;
                matrix_apply(trm, corner & 1 ? w + track : 0, corner & 2 ? top : 0, &x, &y);
                x0 = corner ? std::fmin(x0, x) : x;
                y0 = corner ? std::fmin(y0, y) : y;
                x1 = corner ? std::fmax(x1, x) : x;
                y1 = corner ? std::fmax(y1, y) : y;
            }
            TextChar ch = {font, code, pdf_font_unicode(font, code), word_space ? 1 : 0,
                           x0, y0, x1, y1};
            sink->fn(sink->user, &ch);
        }
    } else if (mode != 3 && font && ctx->surface) {
        const float r = (std::fabs(b) + std::fabs(d)) * 3 + 2;
        const float row = f - float(ctx->band_top);
        const bool culled = row + r < 0 || row - r > float(ctx->surface->height);
        // Type 3 glyphs have no outline to clip with: they paint in every mode but 3 and 7.
        const bool clip = is_clip_mode(mode) && !font->is_type3;
        if (clip)
            note_clip_text(ctx);
        const float h = std::sqrt(c * c + d * d);
        const bool greek = ctx->greek_px > 0 && !word_space && h < ctx->greek_px;
        if (culled) {
            // Nothing of it reaches the surface, neither paint nor clip.
        } else if (font->is_type3) {
            if (paints(mode) && greek) {
                if (h > TEXT_GREEK_MIN_PX)
                    paint_greek_bar(ctx, trm, w);
            } else if (paints(mode)) {
                run_type3_glyph(ctx, font, code, trm);
            }
        } else {
            FT_Face face = font->face;
            uint32_t glyph = pdf_font_glyph(font, code);
            if (glyph == 0 && !word_space) {
                FT_Face fb_face;
                uint32_t fb_glyph;
                if (fallback_glyph(pdf_font_unicode(font, code), &fb_face, &fb_glyph)) {
                    face = fb_face;
                    glyph = fb_glyph;
                }
            }
            if (clip)
                add_clip_outline(ctx, face, glyph, trm);
            if (!paints(mode)) {
                // Invisible: only the clip, if any, takes the glyph.
            } else if (greek) {
                if (h > TEXT_GREEK_MIN_PX)
                    paint_greek_bar(ctx, trm, w);
            } else if (face && glyph && std::fabs(e) < kMaxDeviceCoord &&
                       std::fabs(f) < kMaxDeviceCoord) {
                GlyphBitmap g;
                float fx, fy;
                const int px = glyph_pen_pixel(e, true, &fx), py = glyph_pen_pixel(f, false, &fy);
                if (!paint_glyph_pattern(ctx, face, glyph, trm) &&
                    ft_render_glyph_at(face, glyph, a, b, c, d, fx, fy, &g) == 0 && g.buffer)
                    paint_glyph(ctx, &g, px + g.left, py - g.top);
            }
        }
    }
    const float advance[6] = {1, 0, 0, 1, tx, ty};
    matrix_concat(ctx->text_matrix, advance, ctx->text_matrix);
}

}  // namespace

void text_state_save(const RenderContext *ctx, SavedTextState *s)
{
    std::memcpy(s->tlm, ctx->text_line_matrix, sizeof s->tlm);
    std::memcpy(s->tm, ctx->text_matrix, sizeof s->tm);
    s->font = ctx->font;
    s->size = ctx->font_size;
    s->tc = ctx->char_spacing;
    s->tw = ctx->word_spacing;
    s->th = ctx->horiz_scale;
    s->tl = ctx->leading;
    s->ts = ctx->rise;
    s->mode = ctx->render_mode;
}

void text_state_restore(RenderContext *ctx, const SavedTextState *s)
{
    std::memcpy(ctx->text_line_matrix, s->tlm, sizeof s->tlm);
    std::memcpy(ctx->text_matrix, s->tm, sizeof s->tm);
    ctx->font = s->font;
    ctx->font_size = s->size;
    ctx->char_spacing = s->tc;
    ctx->word_spacing = s->tw;
    ctx->horiz_scale = s->th;
    ctx->leading = s->tl;
    ctx->rise = s->ts;
    ctx->render_mode = s->mode;
}

void text_adjust(RenderContext *ctx, float n)
{
    // Vertical fonts move the pen along their column.
    const float shift = -n / 1000.0f * ctx->font_size;
    const bool vertical = ctx->font && ctx->font->is_cid && ctx->font->vertical;
    const float t[6] = {1, 0, 0, 1, vertical ? 0.0f : shift * ctx->horiz_scale, vertical ? shift : 0.0f};
    matrix_concat(ctx->text_matrix, t, ctx->text_matrix);
}

void text_show(RenderContext *ctx, const uint8_t *bytes, int length)
{
    if (!bytes || length <= 0 || !ctx->gs)
        return;
    if (ctx->font && ctx->font->is_cid) {
        for (int i = 0; i + 1 < length; i += 2)
            show_glyph(ctx, uint32_t(bytes[i]) << 8 | bytes[i + 1], false);
        return;
    }
    for (int i = 0; i < length; i++)
        show_glyph(ctx, bytes[i], bytes[i] == 32);
}

void text_end(RenderContext *ctx)
{
    if (!ctx->text_clip_arena)
        return;
    // An outline-less clip text (spaces, missing glyphs) clips everything away.
    clip_path(ctx, &ctx->text_clip, 0);
    text_clip_release(ctx);
}

void text_clip_release(RenderContext *ctx)
{
    arena_destroy(ctx->text_clip_arena);
    ctx->text_clip_arena = nullptr;
    path_init(&ctx->text_clip, nullptr);
}
