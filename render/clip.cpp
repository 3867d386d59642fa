// Clipping to a path: rectangles shrink the clip rectangle, other shapes
// are rasterised into a coverage plane over their box and multiplied into
// the current plane.
#include "render/clip.h"

#include <cstdlib>
#include <cstring>

#include "render/composite.h"
#include "render/interp.h"
#include "render/limits.h"

namespace {

// Spans arrive inside the plane's box (the rasterizer's bounds).
void plane_span(void *user, int y, int x, int length, const uint8_t *coverage)
{
    auto *plane = static_cast<ClipPlane *>(user);
    std::memcpy(const_cast<uint8_t *>(plane->at(x, y)), coverage, size_t(length));
}

// trunc(v), limited to what the clip rectangle can hold.
int clip_coord(double v)
{
    if (!(v > -1e9))
        return -1000000000;
    if (v > 1e9)
        return 1000000000;
    return int(v);
}

// A zero plane over the box, linked into the context; null when the live
// planes would pass CLIP_PLANE_BYTES or memory runs out.
ClipPlane *plane_create(RenderContext *ctx, int x0, int y0, int x1, int y1)
{
    size_t n = size_t(x1 - x0) * size_t(y1 - y0);
    size_t bytes = sizeof(ClipPlane) + n;
    if (bytes > CLIP_PLANE_BYTES - ctx->clip_bytes || ctx->clip_bytes > CLIP_PLANE_BYTES)
        return nullptr;
    auto *p = static_cast<ClipPlane *>(std::calloc(1, bytes));
    if (!p)
        return nullptr;
    p->x0 = x0;
    p->y0 = y0;
    p->x1 = x1;
    p->y1 = y1;
    p->bytes = bytes;
    p->data = reinterpret_cast<uint8_t *>(p + 1);
    p->next = ctx->clip_planes;
    if (p->next)
        p->next->prev = p;
    ctx->clip_planes = p;
    ctx->clip_bytes += bytes;
    return p;
}

void plane_free(RenderContext *ctx, ClipPlane *p)
{
    if (p->prev)
        p->prev->next = p->next;
    else
        ctx->clip_planes = p->next;
    if (p->next)
        p->next->prev = p->prev;
    ctx->clip_bytes -= p->bytes;
    std::free(p);
}

}  // namespace

bool paint_box(const RenderContext *ctx, const Path *path, int box[4])
{
    const GraphicsState *gs = ctx->gs;
    const PageBitmap *s = ctx->surface;
    int x0 = gs->clip_x0 > 0 ? gs->clip_x0 : 0, y0 = gs->clip_y0 > 0 ? gs->clip_y0 : 0;
    int x1 = gs->clip_x1 < s->width ? gs->clip_x1 : s->width;
    int y1 = gs->clip_y1 < s->height ? gs->clip_y1 : s->height;
    if (const ClipPlane *plane = gs->clip_mask) {
        x0 = plane->x0 > x0 ? plane->x0 : x0;
        y0 = plane->y0 > y0 ? plane->y0 : y0;
        x1 = plane->x1 < x1 ? plane->x1 : x1;
        y1 = plane->y1 < y1 ? plane->y1 : y1;
    }
    float bx0, by0, bx1, by1;
    if (!path_bounds(path, &bx0, &by0, &bx1, &by1))
        return false;
    by0 -= float(ctx->band_top);  // path rows are page rows
    by1 -= float(ctx->band_top);
    if (bx0 > float(x0))
        x0 = bx0 >= float(x1) ? x1 : int(bx0);
    if (by0 > float(y0))
        y0 = by0 >= float(y1) ? y1 : int(by0);
    if (bx1 < float(x1))
        x1 = bx1 < float(x0) ? x0 : int(bx1) + 1;
    if (by1 < float(y1))
        y1 = by1 < float(y0) ? y0 : int(by1) + 1;
    box[0] = x0, box[1] = y0, box[2] = x1, box[3] = y1;
    return x0 < x1 && y0 < y1;
}

void note_raster_loss(RenderContext *ctx, int lost)
{
    if (lost & RASTER_LOST_ROWS)
        add_diagnostic(ctx, "raster-cell-pool");
    if (lost & RASTER_LOST_BUDGET)
        add_diagnostic(ctx, "raster-step-budget");
}

void clip_release_state(RenderContext *ctx, GraphicsState *gs)
{
    if (gs->owns_clip && gs->clip_mask)
        plane_free(ctx, gs->clip_mask);
    gs->clip_mask = nullptr;
    gs->owns_clip = 0;
}

void clip_release_all(RenderContext *ctx)
{
    while (ctx->clip_planes)
        plane_free(ctx, ctx->clip_planes);
}

void clip_path(RenderContext *ctx, const Path *path, int even_odd)
{
    if (ctx->text_only || !ctx->gs || !ctx->surface)
        return;
    GraphicsState *gs = ctx->gs;
    float min_x, min_y, max_x, max_y;
    if (path_is_rectangle(path, &min_x, &min_y, &max_x, &max_y)) {
        // Path y is in page rows; the clip rectangle is in surface rows.
        int x0 = clip_coord(min_x), y0 = clip_coord(min_y) - ctx->band_top;
        int x1 = clip_coord(double(max_x) + 0.999);
        int y1 = clip_coord(double(max_y) + 0.999) - ctx->band_top;
        gs->clip_x0 = x0 > gs->clip_x0 ? x0 : gs->clip_x0;
        gs->clip_y0 = y0 > gs->clip_y0 ? y0 : gs->clip_y0;
        gs->clip_x1 = x1 < gs->clip_x1 ? x1 : gs->clip_x1;
        gs->clip_y1 = y1 < gs->clip_y1 ? y1 : gs->clip_y1;
        if (gs->clip_x1 < gs->clip_x0)
            gs->clip_x1 = gs->clip_x0;
        if (gs->clip_y1 < gs->clip_y0)
            gs->clip_y1 = gs->clip_y0;
        return;
    }
    if (!ctx->rasterizer)
        return;
    // The plane covers what can still be painted of the path; outside its
    // box a plane is all outside.
    int box[4];
    if (!paint_box(ctx, path, box)) {
        // Nothing can be painted any more.
        gs->clip_x1 = gs->clip_x0;
        gs->clip_y1 = gs->clip_y0;
        return;
    }
    const int x0 = box[0], y0 = box[1], x1 = box[2], y1 = box[3];
    ClipPlane *plane = plane_create(ctx, x0, y0, x1, y1);
    if (!plane) {
        // Without a plane the clip is at least the box, never the whole page.
        add_diagnostic(ctx, "clip-plane-memory");
        gs->clip_x0 = x0;
        gs->clip_y0 = y0;
        gs->clip_x1 = x1;
        gs->clip_y1 = y1;
        return;
    }
    int lost = raster_fill(ctx->rasterizer, path, x0, y0, x1, y1,
                           even_odd ? RASTER_EVEN_ODD : RASTER_NONZERO, plane_span, plane);
    note_raster_loss(ctx, lost);
    if (const ClipPlane *old = gs->clip_mask) {
        const int w = x1 - x0;
        for (int y = y0; y < y1; y++) {
            uint8_t *row = const_cast<uint8_t *>(plane->at(x0, y));
            const uint8_t *under = old->at(x0, y);
            for (int i = 0; i < w; i++)
                row[i] = uint8_t(mask_multiply(row[i], under[i]));
        }
    }
    clip_release_state(ctx, gs);
    gs->clip_mask = plane;
    gs->owns_clip = 1;
}
