// Painting decoded images: every covered device pixel is mapped back into
// the image through the inverse CTM and sampled: along an axis on which the
// image is drawn smaller, upright or quarter-turned, the pixel averages the
// source area it covers; otherwise its centre is sampled bilinearly, or by
// nearest neighbour when the image is enlarged more than four times. Each
// device row goes to the raster as one span with per-pixel colours.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
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

// Source pixels per device pixel below which, in both directions, an image is
// sampled by nearest neighbour.
constexpr double kNearestBelow = 0.25;

// One source pixel of a device pixel's sample and its weight; the weights of
// one axis add up to 256, so that a pixel's weights along both axes add up
// to 65536.
using Tap = ImageColumns::Tap;

// The taps of one device pixel along an axis of which the first `ready`
// source pixels can be read. `a` and `b` are the source positions (in pixels) of
// the device pixel's two edges. A device pixel that spans more than one
// source pixel averages the area it covers, as a scan drawn smaller should
// look; otherwise the pixel centre is sampled bilinearly (`smooth`) or by
// nearest neighbour.
void axis_taps(double a, double b, int ready, bool smooth, std::vector<Tap> *out)
{
    out->clear();
    int last = ready - 1;
    if (a > b)
        std::swap(a, b);
    if (smooth && b - a > 1.0 + 1e-6) {
        double lo = a > 0 ? a : 0, hi = b < ready ? b : ready;
        if (hi - lo > 1e-9) {
            int first = int(lo), end = int(std::ceil(hi));
            double scale = 256.0 / (hi - lo), covered = 0;
            int given = 0;
            for (int i = first; i < end && i < ready; i++) {
                covered += std::fmin(i + 1.0, hi) - std::fmax(double(i), lo);
                int upto = int(covered * scale + 0.5);
                if (i + 1 >= end || i + 1 >= ready)
                    upto = 256;  // the rounding leftovers go to the last pixel
                if (upto > given)
                    out->push_back({i, upto - given});
                given = upto;
            }
            if (!out->empty())
                return;
        }
        // A footprint beyond the rows read so far: the last row that is.
    }
    double pos = (a + b) * 0.5;
    if (!smooth) {
        int i = pos > 0 ? int(pos) : 0;
        out->push_back({i < last ? i : last, 256});
        return;
    }
    pos -= 0.5;
    if (pos < 0)
        pos = 0;
    int i = int(pos);
    int f = int((pos - i) * 256);
    f = f > 255 ? 255 : f;
    int i0 = i < last ? i : last, i1 = i + 1 < last ? i + 1 : last;
    out->push_back({i0, 256 - f});
    if (f > 0)
        out->push_back({i1, f});
}

// The weighted sums of the three channels of RGB pixels under the taps of
// both axes, rounded back to bytes and stored blue, green, red.
inline void weigh_rgb(const uint8_t *rgb, size_t row_len, const Tap *cx, int nx, const Tap *cy, int ny,
                      uint8_t *out)
{
    uint32_t r = 0, g = 0, b = 0;
    for (int j = 0; j < ny; j++) {
        const uint8_t *row = rgb + size_t(cy[j].index) * row_len;
        uint32_t lr = 0, lg = 0, lb = 0;
        for (int i = 0; i < nx; i++) {
            const uint8_t *p = row + 3 * size_t(cx[i].index);
            uint32_t wt = uint32_t(cx[i].weight);
            lr += p[0] * wt, lg += p[1] * wt, lb += p[2] * wt;
        }
        uint32_t wy = uint32_t(cy[j].weight);
        r += lr * wy, g += lg * wy, b += lb * wy;
    }
    out[0] = uint8_t((b + 32768) >> 16);
    out[1] = uint8_t((g + 32768) >> 16);
    out[2] = uint8_t((r + 32768) >> 16);
}

// The weighted sum of a byte plane under the taps of both axes, rounded
// back to a byte.
inline int weigh(const uint8_t *plane, size_t row_len, const Tap *cx, int nx, const Tap *cy, int ny)
{
    uint32_t sum = 0;
    for (int j = 0; j < ny; j++) {
        const uint8_t *row = plane + size_t(cy[j].index) * row_len;
        uint32_t line = 0;
        for (int i = 0; i < nx; i++)
            line += uint32_t(row[cx[i].index]) * uint32_t(cx[i].weight);
        sum += line * uint32_t(cy[j].weight);
    }
    return int((sum + 32768) >> 16);
}

// Moves the edges of one axis of an upright or quarter-turned image out to
// whole pixels: from `at` over `extent`, which keeps its sign.
void fit_edges(float *at, float *extent)
{
    double a = *at, b = double(*at) + *extent;
    if (!(std::fabs(a) < 1e9 && std::fabs(b) < 1e9))
        return;
    bool flipped = b < a;
    if (flipped)
        std::swap(a, b);
    // Edges within a thousandth of a pixel boundary stay on it.
    double lo = std::floor(a + 1e-3), hi = std::ceil(b - 1e-3);
    if (hi <= lo)
        hi = lo + 1;
    *at = float(flipped ? hi : lo);
    *extent = float(flipped ? lo - hi : hi - lo);
}

// An image drawn upright or quarter-turned covers whole pixels: its edges
// move out to pixel boundaries, as other renderers draw images, so that no
// device pixel along its border is left half painted; other matrices stay.
void grid_fit(const float *ctm, float *m)
{
    std::memcpy(m, ctm, 6 * sizeof(float));
    if (m[1] == 0 && m[2] == 0) {
        fit_edges(&m[4], &m[0]);
        fit_edges(&m[5], &m[3]);
    } else if (m[0] == 0 && m[3] == 0) {
        fit_edges(&m[4], &m[2]);
        fit_edges(&m[5], &m[1]);
    }
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

namespace {

void paint_rows(RenderContext *ctx, const DecodedImage *img, int y0, int y1, int rows_ready,
                ImageColumns *columns)
{
    float m[6];
    grid_fit(ctx->gs->ctm, m);
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
    // Nearest sampling only for images enlarged more than four times in both
    // directions (pixel art, a one-pixel image filling a box); less enlarged
    // images are interpolated, as scans and photos drawn a little larger
    // than their resolution should look.
    bool smooth = composite_antialias() &&
                  (std::fabs(ia) * w >= kNearestBelow || std::fabs(id) * h >= kNearestBelow);
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
    // are worked out once, those that depend on y once per row. Rotated and
    // skewed images sample each pixel centre.
    enum { GENERAL, AXIS, SWAPPED };
    int mode = ib == 0 && ic == 0 ? AXIS : ia == 0 && id == 0 ? SWAPPED : GENERAL;
    // Progressive painting paints an upright image a few rows at a time:
    // its column taps are kept for the next call.
    ImageColumns fresh;
    ImageColumns &cols = mode == AXIS && columns ? *columns : fresh;
    bool reuse = mode == AXIS && cols.valid && cols.w == w && cols.x0 == x0 && cols.len == len &&
                 cols.scale == ia && cols.offset == ie && cols.smooth == smooth;
    if (mode != GENERAL && !reuse) {
        std::vector<Tap> taps;
        cols.taps.clear();
        cols.at.assign(size_t(len) + 1, 0);
        cols.in.assign(size_t(len), 1);
        for (int i = 0; i < len; i++) {
            double px = x0 + i + 0.5;
            double t = mode == AXIS ? ia * px + ie : ib * px + iff;
            cols.in[size_t(i)] = t >= 0 && t < 1;
            // The source positions of the pixel's left and right edges.
            double ta = t - 0.5 * (mode == AXIS ? ia : ib), tb = t + 0.5 * (mode == AXIS ? ia : ib);
            if (mode == AXIS)
                axis_taps(w * ta, w * tb, w, smooth, &taps);
            else
                axis_taps(h * (1 - ta), h * (1 - tb), rows_ready, smooth, &taps);
            cols.taps.insert(cols.taps.end(), taps.begin(), taps.end());
            cols.at[size_t(i) + 1] = int(cols.taps.size());
        }
        cols.valid = mode == AXIS;
        cols.w = w, cols.x0 = x0, cols.len = len, cols.scale = ia, cols.offset = ie, cols.smooth = smooth;
    }
    const std::vector<Tap> &col_taps = cols.taps;
    const std::vector<int> &col_at = cols.at;
    const std::vector<uint8_t> &col_in = cols.in;
    std::vector<Tap> row_taps, gx, gy;
    size_t row_len = size_t(w) * (img->is_mask ? 1 : 3);
    for (int y = ya; y < yb; y++) {
        if ((y - ya) % IMAGE_PAINT_POLL_ROWS == IMAGE_PAINT_POLL_ROWS - 1 && render_poll(ctx))
            return;
        double py = y + 0.5;
        bool row_in = true;
        if (mode == AXIS) {
            double v = id * py + iff;
            row_in = v >= 0 && v < 1;
            axis_taps(h * (1 - (v - 0.5 * id)), h * (1 - (v + 0.5 * id)), rows_ready, smooth, &row_taps);
        } else if (mode == SWAPPED) {
            double u = ic * py + ie;
            row_in = u >= 0 && u < 1;
            axis_taps(w * (u - 0.5 * ic), w * (u + 0.5 * ic), w, smooth, &row_taps);
        }
        if (!row_in)
            continue;
        bool any = false;
        for (int i = 0; i < len; i++) {
            const Tap *cx, *cy;
            int nx, ny;
            if (mode != GENERAL) {
                if (!col_in[size_t(i)]) {
                    coverage[size_t(i)] = 0;
                    continue;
                }
                const Tap *ct = col_taps.data() + col_at[size_t(i)];
                int nc = col_at[size_t(i) + 1] - col_at[size_t(i)];
                cx = mode == AXIS ? ct : row_taps.data();
                nx = mode == AXIS ? nc : int(row_taps.size());
                cy = mode == AXIS ? row_taps.data() : ct;
                ny = mode == AXIS ? int(row_taps.size()) : nc;
            } else {
                double px = x0 + i + 0.5;
                double u = ia * px + ic * py + ie;
                double v = ib * px + id * py + iff;
                if (!(u >= 0 && u < 1 && v >= 0 && v < 1)) {
                    coverage[size_t(i)] = 0;
                    continue;
                }
                axis_taps(w * u, w * u, w, smooth, &gx);
                axis_taps(h * (1 - v), h * (1 - v), rows_ready, smooth, &gy);
                cx = gx.data(), nx = int(gx.size());
                cy = gy.data(), ny = int(gy.size());
            }
            int cov = plane ? weigh(plane, size_t(w), cx, nx, cy, ny) : 255;
            coverage[size_t(i)] = uint8_t(cov);
            any = any || cov;
            if (img->is_mask)
                continue;
            uint8_t *c = &colors[3 * size_t(i)];
            if (nx == 1 && ny == 1) {
                const uint8_t *p = img->rgb + size_t(cy->index) * row_len + 3 * size_t(cx->index);
                c[0] = p[2], c[1] = p[1], c[2] = p[0];
            } else {
                weigh_rgb(img->rgb, row_len, cx, nx, cy, ny, c);
            }
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

}  // namespace

void image_paint(RenderContext *ctx, const DecodedImage *img, int y0, int y1, int rows_ready,
                 ImageColumns *columns)
{
    if (ctx->text_only || !ctx->surface || !img || rows_ready <= 0)
        return;
    // The sampling tables grow with the painted width; without memory for
    // them the rows are left unpainted, and column taps possibly half
    // rebuilt are not kept for the next call.
    try {
        paint_rows(ctx, img, y0, y1, rows_ready, columns);
    } catch (const std::bad_alloc &) {
        if (columns)
            columns->valid = false;
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
