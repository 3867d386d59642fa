// Page render driver: page geometry and device matrix, the per-render arena,
// raster and rasterizer, contents and annotations, bands and the progress
// callback (PDF Reference 1.7, sections 3.6.2 and 4.2).
#include "render/page.h"

#include <cmath>
#include <cstring>

#include "bitmap/bitmap.h"
#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/pages.h"
#include "render/gstate.h"
#include "render/interp.h"
#include "render/rasterizer.h"

namespace {

struct RenderSettings {
    float greek_px;
    int (*poll_fn)(void *user, PageBitmap *surface);
    void *poll_user;
    int show_large_images;
    int thumbnail_mode;
};

RenderSettings g_settings = {0.0f, nullptr, nullptr, 1, 0};

// The per-render objects; released together by release().
struct RenderFrame {
    RenderContext ctx;
    GraphicsState base;
};

void setup_context(RenderFrame *f, PdfDoc *doc, PdfObject *page, Arena *arena,
                   PageBitmap *surface, const float matrix[6])
{
    std::memset(f, 0, sizeof *f);
    gstate_init(&f->base, matrix, surface->width, surface->height);
    RenderContext *ctx = &f->ctx;
    ctx->doc = doc;
    ctx->arena = arena;
    ctx->surface = surface;
    ctx->gs = &f->base;
    ctx->gs_floor = &f->base;
    // Paths and what each paint needs come from the paint arena, renewed
    // after paints; the render arena holds what lasts the whole render.
    ctx->paint_arena = arena_create(INTERP_PAINT_BLOCK);
    if (ctx->paint_arena)
        ctx->paint_arena->limit = arena->limit;
    path_init(&ctx->path, ctx->paint_arena ? ctx->paint_arena : arena);
    ctx->resources = pdf_page_attr(doc, page, "Resources");
    ctx->horiz_scale = 1.0f;
    matrix_identity(ctx->text_line_matrix);
    matrix_identity(ctx->text_matrix);
}

void copy_diags(const RenderContext *ctx, char *out, int capacity)
{
    if (!out || capacity <= 0)
        return;
    int pos = 0;
    out[0] = 0;
    for (int i = 0; i < ctx->diag_count; i++) {
        int n = int(std::strlen(ctx->diags[i]));
        if (pos + n + 2 > capacity)
            break;
        std::memcpy(out + pos, ctx->diags[i], size_t(n) + 1);
        pos += n + 1;
        out[pos] = 0;
    }
}

}  // namespace

namespace {

// trunc(v + 0.5) within 1..PAGE_MAX_PIXELS; NaN gives 1.
int pixel_side(float v)
{
    v += 0.5f;
    if (!(v >= 1.0f))
        return 1;
    if (v >= float(PAGE_MAX_PIXELS))
        return PAGE_MAX_PIXELS;
    return int(v);
}

}  // namespace

void page_box_geometry(const PdfBox &box, int rotation, float scale, int *out_width,
                       int *out_height, float m[6])
{
    const float s = scale > 0 && std::isfinite(scale) ? scale : 1.0f;
    const int r = rotation == 90 || rotation == 180 || rotation == 270 ? rotation : 0;
    const float x0 = box.x0, y0 = box.y0, x1 = box.x1, y1 = box.y1;
    const bool turned = r == 90 || r == 270;
    if (out_width)
        *out_width = pixel_side((turned ? y1 - y0 : x1 - x0) * s);
    if (out_height)
        *out_height = pixel_side((turned ? x1 - x0 : y1 - y0) * s);
    if (!m)
        return;
    switch (r) {
    case 90: {
        const float t[6] = {0, s, s, 0, -s * y0, -s * x0};
        std::memcpy(m, t, sizeof t);
        break;
    }
    case 180: {
        const float t[6] = {-s, 0, 0, s, s * x1, -s * y0};
        std::memcpy(m, t, sizeof t);
        break;
    }
    case 270: {
        const float t[6] = {0, -s, -s, 0, s * y1, s * x1};
        std::memcpy(m, t, sizeof t);
        break;
    }
    default: {
        const float t[6] = {s, 0, 0, -s, -s * x0, s * y1};
        std::memcpy(m, t, sizeof t);
        break;
    }
    }
}

int page_geometry(PdfDoc *doc, int index, float scale, PdfObject **out_page, int *out_width,
                  int *out_height, float m[6])
{
    PdfObject *page = doc ? pdf_page(doc, index) : nullptr;
    if (out_page)
        *out_page = page;
    if (!page)
        return -4;
    PdfBox box;
    pdf_page_box(doc, page, &box);
    page_box_geometry(box, pdf_page_rotation(doc, page), scale, out_width, out_height, m);
    return 0;
}

int page_pixel_size(PdfDoc *doc, int index, float scale, int *out_width, int *out_height)
{
    return page_geometry(doc, index, scale, nullptr, out_width, out_height, nullptr);
}

int page_matrix(PdfDoc *doc, int index, float scale, float out_matrix[6])
{
    return page_geometry(doc, index, scale, nullptr, nullptr, nullptr, out_matrix);
}

int render_page_diag(PdfDoc *doc, int index, float scale, int first, int rows, PageBitmap **out,
                     char *diags, int capacity)
{
    *out = nullptr;
    if (diags && capacity > 0)
        diags[0] = 0;
    PdfObject *page;
    int width, height;
    float m[6];
    int rc = page_geometry(doc, index, scale, &page, &width, &height, m);
    if (rc != 0)
        return rc;
    if (rows <= 0) {
        first = 0;
        rows = height;
    }
    if (first < 0)
        first = 0;
    if (first >= height)
        return -5;
    if (rows > height - first)
        rows = height - first;
    // The device matrix stays in page rows; the band starts at page row
    // `first` (band_top), which the painters subtract in whole rows.

    Arena *arena = arena_create(RENDER_ARENA_BLOCK);
    if (arena)
        arena->limit = RENDER_ARENA_LIMIT;
    PageBitmap *band = arena ? bitmap_create(width, rows) : nullptr;
    Rasterizer *raster = band ? raster_create() : nullptr;
    if (!raster) {
        bitmap_free(band);
        arena_destroy(arena);
        return -3;
    }
    bitmap_fill(band, 255, 255, 255);
    auto *frame = static_cast<RenderFrame *>(arena_alloc(arena, sizeof(RenderFrame)));
    if (!frame) {
        raster_free(raster);
        bitmap_free(band);
        arena_destroy(arena);
        return -3;
    }
    setup_context(frame, doc, page, arena, band, m);
    RenderContext *ctx = &frame->ctx;
    ctx->rasterizer = raster;
    ctx->band_top = first;
    raster->band_origin = first;
    ctx->greek_px = g_settings.greek_px;
    ctx->poll_fn = g_settings.poll_fn;
    ctx->poll_user = g_settings.poll_user;
    ctx->poll_surface = band;
    if (ctx->poll_fn) {
        band->dirty_top = band->height;
        band->dirty_bottom = 0;
    }
    rc = run_contents(ctx, pdf_dict_get_resolved(doc, page, "Contents"));
    if (!ctx->aborted)
        draw_annotations(ctx, page, m);
    copy_diags(ctx, diags, capacity);
    g_settings.greek_px = 0.0f;
    render_context_release(ctx);
    raster_free(raster);
    arena_destroy(arena);
    *out = band;
    return rc;
}

int render_page(PdfDoc *doc, int index, float scale, int first, int rows, PageBitmap **out)
{
    return render_page_diag(doc, index, scale, first, rows, out, nullptr, 0);
}

int collect_page_text(PdfDoc *doc, int index, float scale, void *text_sink)
{
    PdfObject *page;
    int width, height;
    float m[6];
    int rc = page_geometry(doc, index, scale, &page, &width, &height, m);
    if (rc != 0)
        return rc;
    Arena *arena = arena_create(RENDER_ARENA_BLOCK);
    if (arena)
        arena->limit = RENDER_ARENA_LIMIT;
    PageBitmap *surface = arena ? bitmap_create(width, height) : nullptr;
    auto *frame = surface ? static_cast<RenderFrame *>(arena_alloc(arena, sizeof(RenderFrame)))
                          : nullptr;
    if (!frame) {
        bitmap_free(surface);
        arena_destroy(arena);
        return -3;
    }
    setup_context(frame, doc, page, arena, surface, m);
    RenderContext *ctx = &frame->ctx;
    ctx->text_only = 1;
    ctx->text_sink = text_sink;
    rc = run_contents(ctx, pdf_dict_get_resolved(doc, page, "Contents"));
    // What annotations show (form field values, notes typed onto the page,
    // signature stamps) is on the page as drawn, so it is page text too.
    if (!ctx->aborted)
        draw_annotations(ctx, page, m);
    render_context_release(ctx);
    bitmap_free(surface);
    arena_destroy(arena);
    return rc;
}

void set_greek_threshold(float pixels) { g_settings.greek_px = pixels; }

void set_render_poll(int (*fn)(void *user, PageBitmap *surface), void *user)
{
    g_settings.poll_fn = fn;
    g_settings.poll_user = user;
}

void set_show_large_images(int flag) { g_settings.show_large_images = flag; }
void set_thumbnail_mode(int flag) { g_settings.thumbnail_mode = flag; }
int show_large_images() { return g_settings.show_large_images; }
int thumbnail_mode() { return g_settings.thumbnail_mode; }
