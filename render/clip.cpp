// Clipping to a path: rectangles shrink the clip rectangle, other shapes
// are rasterised into a coverage plane and multiplied into the clip mask.
#include "render/clip.h"

#include <cmath>
#include <cstring>

#include "render/composite.h"

namespace {

struct PlaneTarget {
    uint8_t *plane;
    int width;
};

void plane_span(void *user, int y, int x, int length, const uint8_t *coverage)
{
    auto *t = static_cast<PlaneTarget *>(user);
    std::memcpy(t->plane + size_t(y) * size_t(t->width) + size_t(x), coverage, size_t(length));
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

}  // namespace

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
    PageBitmap *s = ctx->surface;
    size_t n = size_t(s->width) * size_t(s->height);
    auto *plane = static_cast<uint8_t *>(arena_alloc(ctx->arena, n));
    if (!plane)
        return;
    // Outside the path's box the plane stays zero; only the box is scanned.
    Rasterizer *r = ctx->rasterizer;
    int x0 = 0, y0 = 0, x1 = s->width, y1 = s->height;
    float bx0, by0, bx1, by1;
    if (path_bounds(path, &bx0, &by0, &bx1, &by1)) {
        by0 -= float(ctx->band_top);  // path rows are page rows
        by1 -= float(ctx->band_top);
        if (bx0 > 0)
            x0 = bx0 >= float(x1) ? x1 : int(bx0);
        if (by0 > 0)
            y0 = by0 >= float(y1) ? y1 : int(by0);
        if (bx1 < float(x1))
            x1 = bx1 < float(x0) ? x0 : int(bx1) + 1;
        if (by1 < float(y1))
            y1 = by1 < float(y0) ? y0 : int(by1) + 1;
    } else {
        x1 = x0;  // no points: an empty clip
    }
    if (raster_reset(r, x0, y0, x1, y1) != 0)
        return;
    raster_add_path(r, path);
    PlaneTarget t = {plane, s->width};
    if (raster_sweep(r, even_odd ? RASTER_EVEN_ODD : RASTER_NONZERO, plane_span, &t) != 0)
        return;
    if (gs->clip_mask)
        for (size_t i = 0; i < n; i++)
            plane[i] = uint8_t(mask_multiply(plane[i], gs->clip_mask[i]));
    gs->clip_mask = plane;
}
