// Patterns as fill and stroke colours (PDF Reference 1.7, section 4.6).
// A shading pattern reads its shading through a shade source. A tiling
// pattern's cell is drawn once at device resolution into a surface with an
// alpha plane; every device pixel is then mapped back into pattern space,
// reduced by whole steps into the cell and read from that surface, so that
// nothing drifts or leaves seams however many cells a fill spans. A cell
// too big to hold is drawn directly, once per step, clipped to the fill.
#include "render/pattern.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "pdf/document.h"
#include "pdf/object.h"
#include "render/clip.h"
#include "render/colorspace.h"
#include "render/composite.h"
#include "render/gstate.h"
#include "render/interp.h"
#include "render/limits.h"

// A tiling cell drawn at device resolution.
struct PatternCell {
    PdfObject *pattern;
    float m[6];        // its placement: pattern space to page device space
    PageBitmap *cell;  // with an alpha plane (malloc'd)
    int bx, by;        // page device position of cell pixel (0, 0)
    uint64_t used;     // clock of its last use
};

// The cells of a render, kept for later paints with the same pattern at the
// same placement (pages often alternate between a few hatchings); the
// least recently used goes first when the count or size would be passed.
struct PatternCache {
    PatternCell *cells[PATTERN_CACHE_CELLS];
    int count;
    uint64_t clock;
    size_t bytes;
};

struct TileSource {
    const PatternCell *cell;
    double inv[6];           // page device space to pattern space
    double xstep, ystep;
    double rx, ry;           // 1 / step
    bool single_x, single_y;  // the box is no wider (taller) than a positive step
    double bbox[4];
    double ux, uy, vx, vy;   // device offset of one step along x and along y
    int top;                 // band_top
    int uncoloured;
    uint8_t bgr[3];          // the colour of an uncoloured pattern
};

static_assert(sizeof(RenderContext::pattern_active) / sizeof(PdfObject *) == PATTERN_MAX_DEPTH);

namespace {

float number(PdfDoc *doc, PdfObject *dict, const char *key, float def)
{
    PdfObject *o = pdf_dict_get_resolved(doc, dict, key);
    if (!pdf_is_type(o, PDF_INT) && !pdf_is_type(o, PDF_REAL))
        return def;
    double v = pdf_to_number(o, def);
    return std::isfinite(v) && std::fabs(v) < 1e30 ? float(v) : def;
}

size_t cell_bytes(const PatternCell *c) { return size_t(c->cell->width) * size_t(c->cell->height) * 4; }

void free_cell(PatternCell *c)
{
    if (!c)
        return;
    if (c->cell) {
        std::free(c->cell->alpha);
        c->cell->alpha = nullptr;
        bitmap_free(c->cell);
    }
    std::free(c);
}

PatternCell *find_cell(PatternCache *cache, PdfObject *pattern, const float m[6])
{
    for (int i = 0; cache && i < cache->count; i++) {
        PatternCell *c = cache->cells[i];
        if (c->pattern == pattern && std::memcmp(c->m, m, sizeof c->m) == 0) {
            c->used = ++cache->clock;
            return c;
        }
    }
    return nullptr;
}

// Keeps `cell`, evicting the least recently used cells while the count or
// the bytes would pass their limits. False (cell not kept) without memory.
bool keep_cell(RenderContext *ctx, PatternCell *cell)
{
    PatternCache *cache = ctx->pattern_cache;
    if (!cache) {
        cache = ctx->pattern_cache = static_cast<PatternCache *>(std::calloc(1, sizeof(PatternCache)));
        if (!cache)
            return false;
    }
    while (cache->count > 0 &&
           (cache->count >= PATTERN_CACHE_CELLS || cache->bytes + cell_bytes(cell) > PATTERN_CACHE_BYTES)) {
        int oldest = 0;
        for (int i = 1; i < cache->count; i++)
            if (cache->cells[i]->used < cache->cells[oldest]->used)
                oldest = i;
        cache->bytes -= cell_bytes(cache->cells[oldest]);
        free_cell(cache->cells[oldest]);
        cache->cells[oldest] = cache->cells[--cache->count];
    }
    cell->used = ++cache->clock;
    cache->cells[cache->count++] = cell;
    cache->bytes += cell_bytes(cell);
    return true;
}

// Pattern space to page device space: the pattern's Matrix on the CTM the
// content stream started with.
void pattern_matrix(RenderContext *ctx, PdfObject *pattern, float m[6])
{
    float pm[6];
    matrix_identity(pm);
    form_read_matrix(ctx->doc, pdf_dict_get(pattern, "Matrix"), pm);
    matrix_concat(m, pm, ctx->base_ctm);
}

// The tiling parameters; false when the pattern cannot tile.
bool tiling_params(RenderContext *ctx, PdfObject *pattern, float bbox[4], double *xstep, double *ystep)
{
    PdfDoc *doc = ctx->doc;
    float b[4];
    if (!form_read_box(doc, pdf_dict_get(pattern, "BBox"), b))
        return false;
    bbox[0] = std::min(b[0], b[2]), bbox[2] = std::max(b[0], b[2]);
    bbox[1] = std::min(b[1], b[3]), bbox[3] = std::max(b[1], b[3]);
    if (!(bbox[2] > bbox[0]) || !(bbox[3] > bbox[1]))
        return false;
    *xstep = number(doc, pattern, "XStep", bbox[2] - bbox[0]);
    *ystep = number(doc, pattern, "YStep", bbox[3] - bbox[1]);
    // A zero step does not tile; the cell's own size stands in.
    if (*xstep == 0)
        *xstep = bbox[2] - bbox[0];
    if (*ystep == 0)
        *ystep = bbox[3] - bbox[1];
    return true;
}

// Runs the pattern's content with CTM `m`, clipped to its box, in a fresh
// graphics state. Drawn directly onto the page (`outer` given), the state
// keeps the clip, soft mask, opacity and blend mode of the paint it serves.
void run_cell(RenderContext *ctx, PdfObject *pattern, const float m[6], const float bbox[4],
              const GraphicsState *outer)
{
    GraphicsState *saved = ctx->gs;
    PdfObject *saved_resources = ctx->resources;
    GraphicsState *gs = gstate_save(ctx);
    if (!gs)
        return;
    gs_init(gs, ctx->surface);
    if (outer) {
        gs->clip_mask = outer->clip_mask;
        gs->clip_x0 = outer->clip_x0, gs->clip_y0 = outer->clip_y0;
        gs->clip_x1 = outer->clip_x1, gs->clip_y1 = outer->clip_y1;
        gs->soft_mask = outer->soft_mask;
        gs->smask_plane = outer->smask_plane;
        gs->fill_alpha = outer->fill_alpha, gs->stroke_alpha = outer->fill_alpha;
        gs->blend_mode = outer->blend_mode;
    }
    std::memcpy(gs->ctm, m, sizeof gs->ctm);
    gs->saved = saved;
    if (PdfObject *res = pdf_dict_get_resolved(ctx->doc, pattern, "Resources"))
        ctx->resources = res;
    clip_to_box(ctx, bbox);
    int depth = ctx->pattern_depth++;
    ctx->pattern_active[depth] = pattern;
    ctx->pattern_cells++;
    run_nested(ctx, pattern, nullptr, 0);
    ctx->pattern_depth--;
    ctx->resources = saved_resources;
    gstate_restore(ctx, saved);
}

// Draws the cell of `pattern` placed by m into a new surface with alpha.
PatternCell *draw_cell(RenderContext *ctx, PdfObject *pattern, const float m[6], const float bbox[4])
{
    double xs[4] = {bbox[0], bbox[2], bbox[0], bbox[2]}, ys[4] = {bbox[1], bbox[1], bbox[3], bbox[3]};
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (int i = 0; i < 4; i++) {
        double dx = m[0] * xs[i] + m[2] * ys[i] + m[4], dy = m[1] * xs[i] + m[3] * ys[i] + m[5];
        x0 = std::min(x0, dx), x1 = std::max(x1, dx), y0 = std::min(y0, dy), y1 = std::max(y1, dy);
    }
    if (!std::isfinite(x0 + y0 + x1 + y1) || std::fabs(x0) > 1e8 || std::fabs(y0) > 1e8 ||
        std::fabs(x1) > 1e8 || std::fabs(y1) > 1e8)
        return nullptr;
    int bx = int(std::floor(x0)), by = int(std::floor(y0));
    int w = std::max(1, int(std::ceil(x1)) - bx), h = std::max(1, int(std::ceil(y1)) - by);
    int64_t page = int64_t(ctx->surface->width) * ctx->surface->height;
    if (w > IMAGE_MAX_SIDE || h > IMAGE_MAX_SIDE || int64_t(w) * h > std::max(page, PATTERN_MIN_CELL_PIXELS))
        return nullptr;
    auto *pc = static_cast<PatternCell *>(std::calloc(1, sizeof(PatternCell)));
    PageBitmap *cell = pc ? bitmap_create(w, h) : nullptr;
    uint8_t *alpha = cell ? static_cast<uint8_t *>(std::calloc(size_t(w) * size_t(h), 1)) : nullptr;
    if (!alpha) {
        bitmap_free(cell);
        std::free(pc);
        return nullptr;
    }
    bitmap_fill(cell, 255, 255, 255);
    cell->alpha = alpha;
    pc->cell = cell;
    pc->bx = bx, pc->by = by;
    std::memcpy(pc->m, m, sizeof pc->m);
    pc->pattern = pattern;

    PageBitmap *surface = ctx->surface;
    int band_top = ctx->band_top;
    const PaintSource *source = ctx->paint_source;
    const KnockoutGroup knockout = composite_set_knockout({nullptr, nullptr, 0, 0});
    int band_origin = ctx->rasterizer ? ctx->rasterizer->band_origin : 0;
    ctx->surface = cell;
    ctx->band_top = 0;
    if (ctx->rasterizer)
        ctx->rasterizer->band_origin = 0;
    ctx->paint_source = nullptr;
    float cm[6];
    std::memcpy(cm, m, sizeof cm);
    cm[4] -= float(bx);
    cm[5] -= float(by);
    run_cell(ctx, pattern, cm, bbox, nullptr);
    ctx->surface = surface;
    ctx->band_top = band_top;
    if (ctx->rasterizer)
        ctx->rasterizer->band_origin = band_origin;
    ctx->paint_source = source;
    composite_set_knockout(knockout);
    return pc;
}

// The steps k of the copies whose box [lo, hi] holds p along one axis, at
// most PATTERN_MAX_OVERLAP of them; false when there are none to read.
inline bool copies(double p, double lo, double hi, double step, double rstep, bool single, double *k0,
                   double *k1)
{
    if (single) {
        double k = std::floor((p - lo) * rstep);
        if (!(std::fabs(k) < 1e12))
            return false;
        double q = p - k * step;
        *k0 = *k1 = k;
        return q <= hi;
    }
    double a = (p - hi) * rstep, b = (p - lo) * rstep;
    if (a > b)
        std::swap(a, b);
    if (!(std::fabs(a) < 1e12 && std::fabs(b) < 1e12))
        return false;
    *k1 = std::floor(b);
    *k0 = std::max(std::ceil(a), *k1 - (PATTERN_MAX_OVERLAP - 1));
    return *k0 <= *k1;
}

void tile_row(void *user, int y, int x, int length, uint8_t *bgr, uint8_t *coverage)
{
    const TileSource *t = static_cast<const TileSource *>(user);
    const PatternCell *c = t->cell;
    const PageBitmap *cell = c->cell;
    double dy = double(y) + t->top + 0.5;
    for (int i = 0; i < length; i++) {
        double dx = double(x + i) + 0.5;
        double px = t->inv[0] * dx + t->inv[2] * dy + t->inv[4];
        double py = t->inv[1] * dx + t->inv[3] * dy + t->inv[5];
        // The copies of the cell whose box holds the point: steps k with
        // bbox x0 <= px - k * xstep <= bbox x1, likewise l along y. A cell
        // no bigger than its step has one candidate per axis.
        double k0, k1, l0, l1;
        if (!copies(px, t->bbox[0], t->bbox[2], t->xstep, t->rx, t->single_x, &k0, &k1) ||
            !copies(py, t->bbox[1], t->bbox[3], t->ystep, t->ry, t->single_y, &l0, &l1)) {
            coverage[i] = 0;
            continue;
        }
        int a = 0, col[3] = {0, 0, 0};
        for (double l = l0; l <= l1; l++)
            for (double k = k0; k <= k1; k++) {
                double qx = dx - k * t->ux - l * t->vx - c->bx, qy = dy - k * t->uy - l * t->vy - c->by;
                if (!(qx >= 0 && qy >= 0 && qx < cell->width && qy < cell->height))
                    continue;
                int cx = int(qx), cy = int(qy);
                int sa = cell->alpha[size_t(cy) * size_t(cell->width) + size_t(cx)];
                if (!sa)
                    continue;
                const uint8_t *p = cell->pixels + size_t(cy) * size_t(cell->stride) + 3 * size_t(cx);
                if (a == 0 || sa == 255) {  // nothing below, or an opaque copy: no blending
                    col[0] = p[0], col[1] = p[1], col[2] = p[2];
                    a = sa;
                    continue;
                }
                // Source over what earlier copies left, without premultiplying.
                int ar = a * (255 - sa) / 255, total = sa + ar;
                for (int ch = 0; ch < 3; ch++)
                    col[ch] = (p[ch] * sa + col[ch] * ar) / total;
                a = total;
            }
        uint8_t *out = bgr + 3 * i;
        if (t->uncoloured)
            out[0] = t->bgr[0], out[1] = t->bgr[1], out[2] = t->bgr[2];
        else
            out[0] = uint8_t(col[0]), out[1] = uint8_t(col[1]), out[2] = uint8_t(col[2]);
        coverage[i] = uint8_t(mask_multiply(coverage[i], a));
    }
}

void shade_row_source(void *user, int y, int x, int length, uint8_t *bgr, uint8_t *coverage)
{
    shade_row(static_cast<const ShadeSource *>(user), y, x, length, bgr, coverage);
}

// A pattern is not drawn inside itself, nor deeper than PATTERN_MAX_DEPTH
// cells, nor once a render has drawn PATTERN_MAX_CELLS cells.
bool pattern_drawable(RenderContext *ctx, PdfObject *pattern)
{
    bool nested = ctx->pattern_depth >= PATTERN_MAX_DEPTH;
    for (int i = 0; i < ctx->pattern_depth && !nested; i++)
        nested = ctx->pattern_active[i] == pattern;
    if (nested) {
        add_diagnostic(ctx, "pattern-depth");
        return false;
    }
    if (ctx->pattern_cells >= PATTERN_MAX_CELLS) {
        add_diagnostic(ctx, "pattern-budget");
        return false;
    }
    return true;
}

PdfObject *current_pattern(RenderContext *ctx, bool stroke)
{
    const GraphicsState *gs = ctx->gs;
    const ColorSpace *cs = stroke ? gs->stroke_cs : gs->fill_cs;
    if (!cs || cs->kind != CS_PATTERN)
        return nullptr;
    return stroke ? gs->stroke_pattern : gs->fill_pattern;
}

bool begin_tiling(RenderContext *ctx, bool stroke, PdfObject *pattern, PatternPaint *pp)
{
    float m[6], bbox[4];
    double xstep, ystep;
    if (!tiling_params(ctx, pattern, bbox, &xstep, &ystep))
        return false;
    pattern_matrix(ctx, pattern, m);
    auto *t = static_cast<TileSource *>(std::calloc(1, sizeof(TileSource)));
    if (!t || !matrix_invert(m, t->inv)) {
        std::free(t);
        return false;
    }
    PatternCell *cell = find_cell(ctx->pattern_cache, pattern, m);
    if (!cell) {
        cell = draw_cell(ctx, pattern, m, bbox);
        if (cell && !keep_cell(ctx, cell)) {
            free_cell(cell);
            cell = nullptr;
        }
        if (!cell) {
            std::free(t);
            return false;
        }
    }
    t->cell = cell;
    t->xstep = xstep, t->ystep = ystep;
    t->rx = 1 / xstep, t->ry = 1 / ystep;
    t->single_x = xstep > 0 && bbox[2] - bbox[0] <= xstep;
    t->single_y = ystep > 0 && bbox[3] - bbox[1] <= ystep;
    for (int i = 0; i < 4; i++)
        t->bbox[i] = bbox[i];
    t->ux = m[0] * xstep, t->uy = m[1] * xstep;
    t->vx = m[2] * ystep, t->vy = m[3] * ystep;
    t->top = ctx->band_top;
    t->uncoloured = pdf_to_int(pdf_dict_get_resolved(ctx->doc, pattern, "PaintType"), 1) == 2;
    const float *rgb = stroke ? ctx->gs->stroke_rgb : ctx->gs->fill_rgb;
    t->bgr[0] = uint8_t(color_byte(rgb[2])), t->bgr[1] = uint8_t(color_byte(rgb[1])),
    t->bgr[2] = uint8_t(color_byte(rgb[0]));
    pp->kind = 1;
    pp->tile = t;
    pp->source = {tile_row, t};
    return true;
}

bool begin_shading(RenderContext *ctx, PdfObject *pattern, const int box[4], PatternPaint *pp)
{
    Shading *sh = shading_parse(ctx, pdf_dict_get(pattern, "Shading"));
    if (!sh)
        return false;
    float m[6];
    pattern_matrix(ctx, pattern, m);
    if (!shade_source_init(&pp->shade, ctx, sh, m, box, 1)) {
        shade_source_release(&pp->shade);
        return false;
    }
    pp->kind = 2;
    pp->source = {shade_row_source, &pp->shade};
    return true;
}

// The steps k0..k1, l0..l1 whose copies of the cell may meet the surface
// pixels `box`; the pattern's box, placement and step lengths come with them.
struct TileRange {
    float bbox[4], m[6];
    double ax, ay;
    double k0, k1, l0, l1;
};

bool tile_range(RenderContext *ctx, PdfObject *pattern, const int box[4], TileRange *r)
{
    double xstep, ystep, inv[6];
    if (!tiling_params(ctx, pattern, r->bbox, &xstep, &ystep))
        return false;
    pattern_matrix(ctx, pattern, r->m);
    if (!matrix_invert(r->m, inv))
        return false;
    // The box in pattern space bounds the steps.
    double pmin[2] = {1e300, 1e300}, pmax[2] = {-1e300, -1e300};
    for (int i = 0; i < 4; i++) {
        double dx = box[i & 1 ? 2 : 0], dy = double(box[i & 2 ? 3 : 1]) + ctx->band_top;
        double px = inv[0] * dx + inv[2] * dy + inv[4], py = inv[1] * dx + inv[3] * dy + inv[5];
        pmin[0] = std::min(pmin[0], px), pmax[0] = std::max(pmax[0], px);
        pmin[1] = std::min(pmin[1], py), pmax[1] = std::max(pmax[1], py);
    }
    r->ax = std::fabs(xstep), r->ay = std::fabs(ystep);
    // Copy k spans [bbox x0 + k ax, bbox x1 + k ax]; a sliver of 1e-4 of a
    // step does not count as meeting the box.
    const double e = 1e-4;
    r->k0 = std::floor((pmin[0] - r->bbox[2]) / r->ax + e) + 1;
    r->k1 = std::ceil((pmax[0] - r->bbox[0]) / r->ax - e) - 1;
    r->l0 = std::floor((pmin[1] - r->bbox[3]) / r->ay + e) + 1;
    r->l1 = std::ceil((pmax[1] - r->bbox[1]) / r->ay - e) - 1;
    return std::isfinite(r->k0 + r->k1 + r->l0 + r->l1);
}

double tile_count(const TileRange &r)
{
    return std::max(0.0, r.k1 - r.k0 + 1) * std::max(0.0, r.l1 - r.l0 + 1);
}

// Fills by running the pattern's content once for every step whose copy
// meets the fill, clipped to the path: for a cell too big to hold, and for
// a coloured cell that one copy covers the whole fill with.
bool fill_direct(RenderContext *ctx, PdfObject *pattern, const Path *path, int even_odd, const int box[4])
{
    TileRange r;
    if (!tile_range(ctx, pattern, box, &r) || !(tile_count(r) <= PATTERN_MAX_DIRECT_CELLS))
        return false;
    GraphicsState *saved = ctx->gs;
    if (!gstate_save(ctx))
        return false;
    clip_path(ctx, path, even_odd);
    for (double l = r.l0; l <= r.l1; l++)
        for (double k = r.k0; k <= r.k1; k++) {
            float step[6] = {1, 0, 0, 1, float(k * r.ax), float(l * r.ay)}, cm[6];
            matrix_concat(cm, step, r.m);
            run_cell(ctx, pattern, cm, r.bbox, ctx->gs);
        }
    gstate_restore(ctx, saved);
    return true;
}

// Drawn directly, a coloured cell looks the same as through its raster
// when it paints opaque, Normal and unmasked; one copy covering the fill
// then costs less than a raster of the whole cell.
bool direct_is_cheaper(RenderContext *ctx, PdfObject *pattern, const int box[4])
{
    const GraphicsState *gs = ctx->gs;
    if (gs->fill_alpha < 1 || gs->blend_mode != 0 || gs->soft_mask ||
        pdf_to_int(pdf_dict_get_resolved(ctx->doc, pattern, "PatternType"), 0) != 1 ||
        pdf_to_int(pdf_dict_get_resolved(ctx->doc, pattern, "PaintType"), 1) != 1 ||
        !pdf_is_type(pattern, PDF_STREAM))
        return false;
    TileRange r;
    return tile_range(ctx, pattern, box, &r) && tile_count(r) == 1;
}

}  // namespace

PdfObject *pattern_lookup(RenderContext *ctx, PdfObject *name)
{
    if (!pdf_is_type(name, PDF_NAME))
        return nullptr;
    PdfObject *patterns = pdf_dict_get_resolved(ctx->doc, ctx->resources, "Pattern");
    PdfObject *p = pdf_dict_get_resolved(ctx->doc, patterns, name->name);
    return pdf_is_type(p, PDF_DICT) || pdf_is_type(p, PDF_STREAM) ? p : nullptr;
}

bool pattern_begin(RenderContext *ctx, bool stroke, const int box[4], PatternPaint *pp)
{
    std::memset(pp, 0, sizeof *pp);
    PdfObject *pattern = current_pattern(ctx, stroke);
    if (!pattern || ctx->text_only || !ctx->surface)
        return false;
    if (!pattern_drawable(ctx, pattern))
        return false;
    int type = pdf_to_int(pdf_dict_get_resolved(ctx->doc, pattern, "PatternType"), 0);
    bool ok = false;
    if (type == 1 && pdf_is_type(pattern, PDF_STREAM))
        ok = begin_tiling(ctx, stroke, pattern, pp);
    else if (type == 2)
        ok = begin_shading(ctx, pattern, box, pp);
    if (!ok) {
        if (stroke)  // fills try drawing the cell directly before giving up
            add_diagnostic(ctx, "pattern");
        return false;
    }
    pp->previous = ctx->paint_source;
    ctx->paint_source = &pp->source;
    return true;
}

bool pattern_stroke_begin(RenderContext *ctx, PatternPaint *pp)
{
    std::memset(pp, 0, sizeof *pp);
    if (!current_pattern(ctx, true))
        return false;
    // The pixels the stroke can reach: the path's box widened by the pen
    // (and miter points) in device space.
    const GraphicsState *gs = ctx->gs;
    float x0, y0, x1, y1;
    if (!path_bounds(&ctx->path, &x0, &y0, &x1, &y1))
        return false;
    const float *m = gs->ctm;
    double scale = std::max(std::fabs(m[0]) + std::fabs(m[2]), std::fabs(m[1]) + std::fabs(m[3]));
    double reach = std::fabs(gs->line_width) * scale * std::max(1.0f, gs->miter_limit) / 2 + 2;
    const PageBitmap *s = ctx->surface;
    auto limit = [](double v, int lo, int hi) {
        return !(v > lo) ? lo : v >= hi ? hi : int(v);
    };
    double top = ctx->band_top;
    int box[4] = {std::max(gs->clip_x0, 0), std::max(gs->clip_y0, 0), std::min(gs->clip_x1, s->width),
                  std::min(gs->clip_y1, s->height)};
    if (std::isfinite(reach)) {
        box[0] = limit(x0 - reach, box[0], box[2]);
        box[1] = limit(y0 - top - reach, box[1], box[3]);
        box[2] = limit(x1 + reach + 1, box[0], box[2]);
        box[3] = limit(y1 - top + reach + 1, box[1], box[3]);
    }
    return box[0] < box[2] && box[1] < box[3] && pattern_begin(ctx, true, box, pp);
}

void pattern_end(RenderContext *ctx, PatternPaint *pp)
{
    ctx->paint_source = pp->previous;
    if (pp->kind == 2)
        shade_source_release(&pp->shade);
    std::free(pp->tile);
    pp->tile = nullptr;
}

bool pattern_fill(RenderContext *ctx, const Path *path, int even_odd)
{
    PdfObject *pattern = current_pattern(ctx, false);
    if (!pattern || ctx->text_only || !ctx->surface)
        return false;
    int box[4];
    if (!paint_box(ctx, path, box))
        return true;  // nothing of the fill can show
    if (direct_is_cheaper(ctx, pattern, box) && pattern_drawable(ctx, pattern) &&
        fill_direct(ctx, pattern, path, even_odd, box))
        return true;
    PatternPaint pp;
    if (pattern_begin(ctx, false, box, &pp)) {
        fill_path(ctx, path, even_odd, ctx->gs->fill_rgb, ctx->gs->fill_alpha);
        pattern_end(ctx, &pp);
        return true;
    }
    // A cell too big to hold as a raster; an uncoloured one would show its
    // own colours, so it is left to the plain colour.
    if (pattern_drawable(ctx, pattern) &&
        pdf_to_int(pdf_dict_get_resolved(ctx->doc, pattern, "PatternType"), 0) == 1 &&
        pdf_to_int(pdf_dict_get_resolved(ctx->doc, pattern, "PaintType"), 1) == 1 &&
        pdf_is_type(pattern, PDF_STREAM) && fill_direct(ctx, pattern, path, even_odd, box))
        return true;
    add_diagnostic(ctx, "pattern");
    return false;
}

void pattern_release(RenderContext *ctx)
{
    PatternCache *cache = ctx->pattern_cache;
    for (int i = 0; cache && i < cache->count; i++)
        free_cell(cache->cells[i]);
    std::free(cache);
    ctx->pattern_cache = nullptr;
}
