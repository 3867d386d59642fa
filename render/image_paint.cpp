// Painting decoded images: every covered device pixel is mapped back into
// the image through the inverse CTM and sampled (bilinear when the image is
// not enlarged in at least one direction, nearest otherwise); each device
// row goes to the raster as one span with per-pixel colours.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/composite.h"
#include "render/fill.h"
#include "render/image.h"
#include "render/interp.h"
#include "render/limits.h"

namespace {

// trunc(v) limited to what the raster coordinates can hold.
int to_int(double v)
{
    if (!(v > -1e9))
        return -1000000000;
    if (v > 1e9)
        return 1000000000;
    return int(v);
}

// Where one device pixel samples the image: the integer source position of
// the top-left neighbour, the next one (clamped), and the 8-bit fraction.
struct Tap {
    int i0, i1, frac;
};

// Nearest or bilinear tap for a source position `pos` (in pixels) along an
// axis of `size` pixels of which `ready` can be read.
inline Tap tap(double pos, int size, int ready, bool smooth)
{
    int last = ready - 1;
    Tap t;
    if (!smooth) {
        int i = pos > 0 ? int(pos) : 0;
        t.i0 = t.i1 = i < last ? i : last;
        t.frac = 0;
        return t;
    }
    pos -= 0.5;
    if (pos < 0)
        pos = 0;
    int i = int(pos);
    int f = int((pos - i) * 256);
    t.frac = f > 255 ? 255 : f;
    t.i0 = i < last ? i : last;
    t.i1 = i + 1 < last ? i + 1 : last;
    return t;
}

inline int lerp2(int s00, int s10, int s01, int s11, int fx, int fy)
{
    return ((s00 * (256 - fx) + s10 * fx) * (256 - fy) + (s01 * (256 - fx) + s11 * fx) * fy +
            32768) >> 16;
}

}  // namespace

void image_device_box(const float m[6], double *minx, double *miny, double *maxx, double *maxy)
{
    double xs[4] = {m[4], m[0] + m[4], m[2] + m[4], m[0] + m[2] + m[4]};
    double ys[4] = {m[5], m[1] + m[5], m[3] + m[5], m[1] + m[3] + m[5]};
    *minx = *maxx = xs[0];
    *miny = *maxy = ys[0];
    for (int i = 1; i < 4; i++) {
        *minx = std::fmin(*minx, xs[i]), *maxx = std::fmax(*maxx, xs[i]);
        *miny = std::fmin(*miny, ys[i]), *maxy = std::fmax(*maxy, ys[i]);
    }
}

void image_paint(RenderContext *ctx, const DecodedImage *img, int y0, int y1, int rows_ready)
{
    if (ctx->text_only || !ctx->surface || !img || rows_ready <= 0)
        return;
    const float *m = ctx->gs->ctm;
    double det = double(m[0]) * m[3] - double(m[1]) * m[2];
    if (!(std::fabs(det) >= 1e-12))
        return;
    double ia = m[3] / det, ib = -m[1] / det, ic = -m[2] / det, id = m[0] / det;
    double ie = (double(m[2]) * m[5] - double(m[3]) * m[4]) / det;
    double iff = (double(m[1]) * m[4] - double(m[0]) * m[5]) / det;
    double minx, miny, maxx, maxy;
    image_device_box(m, &minx, &miny, &maxx, &maxy);
    PageBitmap *s = ctx->surface;
    const GraphicsState *gs = ctx->gs;
    int top = ctx->band_top;
    int x0 = to_int(minx), x1 = to_int(maxx) + 1;
    int ya = to_int(miny), yb = to_int(maxy) + 1;
    x0 = std::max({x0, 0, gs->clip_x0});
    x1 = std::min({x1, s->width, gs->clip_x1});
    ya = std::max({ya, y0, top, gs->clip_y0 + top});
    yb = std::min({yb, y1, top + s->height, gs->clip_y1 + top});
    const ClipPlane *clip = gs->clip_mask;
    if (clip) {  // outside its box the clip plane is empty
        x0 = std::max(x0, clip->x0);
        x1 = std::min(x1, clip->x1);
        ya = std::max(ya, clip->y0 + top);
        yb = std::min(yb, clip->y1 + top);
    }
    if (x0 >= x1 || ya >= yb)
        return;
    int alpha = color_byte(gs->fill_alpha);
    int w = img->width, h = img->height;
    bool smooth = composite_antialias() && (std::fabs(ia) * w >= 0.99 || std::fabs(id) * h >= 0.99);
    int len = x1 - x0;
    std::vector<uint8_t> coverage(static_cast<size_t>(len));
    std::vector<uint8_t> colors(img->is_mask ? 0 : static_cast<size_t>(len) * 3);
    int mr = 0, mg = 0, mb = 0;
    if (img->is_mask) {
        // The fill colour without rounding, as masks have always been drawn.
        auto trunc_byte = [](float v) { return !(v > 0) ? 0 : v >= 1 ? 255 : int(v * 255); };
        mr = trunc_byte(gs->fill_rgb[0]), mg = trunc_byte(gs->fill_rgb[1]),
        mb = trunc_byte(gs->fill_rgb[2]);
    }
    const uint8_t *plane = img->is_mask ? img->plane : img->alpha;
    // Upright and mirrored images: u depends on x only and v on y only;
    // quarter-turned ones the other way round. The taps that depend on x
    // are worked out once, those that depend on y once per row.
    enum { GENERAL, AXIS, SWAPPED };
    int mode = ib == 0 && ic == 0 ? AXIS : ia == 0 && id == 0 ? SWAPPED : GENERAL;
    std::vector<Tap> cols(mode != GENERAL ? size_t(len) : 0);
    std::vector<uint8_t> col_in(mode != GENERAL ? size_t(len) : 0);
    for (int i = 0; mode != GENERAL && i < len; i++) {
        double px = x0 + i + 0.5;
        double t = mode == AXIS ? ia * px + ie : ib * px + iff;
        col_in[size_t(i)] = t >= 0 && t < 1;
        cols[size_t(i)] = mode == AXIS ? tap(w * t, w, w, smooth) : tap(h * (1 - t), h, rows_ready, smooth);
    }
    for (int y = ya; y < yb; y++) {
        if ((y - ya) % IMAGE_PAINT_POLL_ROWS == IMAGE_PAINT_POLL_ROWS - 1 && render_poll(ctx))
            return;
        double py = y + 0.5;
        Tap row_tap{};
        bool row_in = true;
        if (mode == AXIS) {
            double v = id * py + iff;
            row_in = v >= 0 && v < 1;
            row_tap = tap(h * (1 - v), h, rows_ready, smooth);
        } else if (mode == SWAPPED) {
            double u = ic * py + ie;
            row_in = u >= 0 && u < 1;
            row_tap = tap(w * u, w, w, smooth);
        }
        if (!row_in)
            continue;
        bool any = false;
        for (int i = 0; i < len; i++) {
            Tap tx, ty;
            if (mode != GENERAL) {
                if (!col_in[size_t(i)]) {
                    coverage[size_t(i)] = 0;
                    continue;
                }
                tx = mode == AXIS ? cols[size_t(i)] : row_tap;
                ty = mode == AXIS ? row_tap : cols[size_t(i)];
            } else {
                double px = x0 + i + 0.5;
                double u = ia * px + ic * py + ie;
                double v = ib * px + id * py + iff;
                if (!(u >= 0 && u < 1 && v >= 0 && v < 1)) {
                    coverage[size_t(i)] = 0;
                    continue;
                }
                tx = tap(w * u, w, w, smooth);
                ty = tap(h * (1 - v), h, rows_ready, smooth);
            }
            size_t r0 = size_t(ty.i0) * size_t(w), r1 = size_t(ty.i1) * size_t(w);
            int cov = 255;
            if (plane)
                cov = smooth ? lerp2(plane[r0 + tx.i0], plane[r0 + tx.i1], plane[r1 + tx.i0],
                                     plane[r1 + tx.i1], tx.frac, ty.frac)
                             : plane[r0 + tx.i0];
            coverage[size_t(i)] = uint8_t(cov);
            any = any || cov;
            if (img->is_mask)
                continue;
            const uint8_t *p00 = img->rgb + 3 * (r0 + tx.i0), *p10 = img->rgb + 3 * (r0 + tx.i1);
            const uint8_t *p01 = img->rgb + 3 * (r1 + tx.i0), *p11 = img->rgb + 3 * (r1 + tx.i1);
            uint8_t *c = &colors[3 * size_t(i)];
            if (smooth)
                for (int k = 0; k < 3; k++)  // stored blue, green, red
                    c[2 - k] = uint8_t(lerp2(p00[k], p10[k], p01[k], p11[k], tx.frac, ty.frac));
            else
                c[0] = p00[2], c[1] = p00[1], c[2] = p00[0];
        }
        if (!any)
            continue;
        int sy = y - top;
        size_t at = size_t(sy) * size_t(s->width) + size_t(x0);
        composite_span(s, sy, x0, len, coverage.data(), clip ? clip->at(x0, sy) : nullptr,
                       gs->soft_mask ? gs->soft_mask + at : nullptr, alpha, gs->blend_mode, mr, mg,
                       mb, img->is_mask ? nullptr : colors.data());
    }
}

void image_paint_placeholder(RenderContext *ctx)
{
    uint8_t gray[3] = {160, 160, 160};
    DecodedImage box{};
    box.width = box.height = 1;
    box.rgb = gray;
    image_paint(ctx, &box, INT32_MIN, INT32_MAX, 1);
}
