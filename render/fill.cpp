// Filling: scan conversion of a path within the clip rectangle, each span
// composited with the clip mask and soft mask rows that lie under it.
#include "render/fill.h"

#include <cstddef>
#include <cstring>

#include "render/clip.h"
#include "render/composite.h"
#include "render/limits.h"

namespace {

struct FillTarget {
    PageBitmap *surface;
    const GraphicsState *gs;
    int r, g, b, alpha;
    const PaintSource *source;
};

void fill_span(void *user, int y, int x, int length, const uint8_t *coverage)
{
    auto *t = static_cast<FillTarget *>(user);
    const GraphicsState *gs = t->gs;
    if (y < gs->clip_y0 || y >= gs->clip_y1)
        return;
    if (x < gs->clip_x0) {
        int cut = gs->clip_x0 - x;
        if (cut >= length)
            return;
        coverage += cut;
        length -= cut;
        x = gs->clip_x0;
    }
    if (x + length > gs->clip_x1)
        length = gs->clip_x1 - x;
    if (length <= 0)
        return;
    // The fill's bounds lie within the clip plane's box.
    const ClipPlane *plane = gs->clip_mask;
    size_t at = size_t(y) * size_t(t->surface->width) + size_t(x);
    uint8_t cov[RASTER_SPAN_MAX], colors[3 * RASTER_SPAN_MAX];
    const uint8_t *per_pixel = nullptr;
    if (t->source && length <= RASTER_SPAN_MAX) {
        std::memcpy(cov, coverage, size_t(length));
        t->source->row(t->source->user, y, x, length, colors, cov);
        coverage = cov;
        per_pixel = colors;
    }
    composite_span(t->surface, y, x, length, coverage, plane ? plane->at(x, y) : nullptr,
                   gs->soft_mask ? gs->soft_mask + at : nullptr, t->alpha, gs->blend_mode, t->r, t->g,
                   t->b, per_pixel);
}

}  // namespace

int color_byte(float v)
{
    if (!(v > 0))
        return 0;
    if (v >= 1)
        return 255;
    return int(v * 255 + 0.5f);
}

void fill_path(RenderContext *ctx, const Path *path, int even_odd, const float rgb[3], float alpha)
{
    if (ctx->text_only || !ctx->rasterizer || !ctx->surface || !ctx->gs)
        return;
    PageBitmap *s = ctx->surface;
    const GraphicsState *gs = ctx->gs;
    // Scan conversion is bounded by what the paint can reach: the coverage
    // inside does not depend on the bounds, and small bounds let the
    // rasterizer skip its lists.
    int box[4];
    if (!paint_box(ctx, path, box))
        return;
    FillTarget t = {s, gs, color_byte(rgb[0]), color_byte(rgb[1]), color_byte(rgb[2]), color_byte(alpha),
                    ctx->paint_source};
    int lost = raster_fill(ctx->rasterizer, path, box[0], box[1], box[2], box[3],
                           even_odd ? RASTER_EVEN_ODD : RASTER_NONZERO, fill_span, &t);
    note_raster_loss(ctx, lost);
}
