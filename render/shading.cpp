// Smooth shadings (PDF Reference 1.7, section 4.6.3): parsing, the colour
// of each device pixel for function-based (type 1), axial (2) and radial (3)
// shadings, and the `sh` operator, which paints a shading over the clip.
// Axial and radial shadings read a 256-entry colour table; function-based
// ones evaluate their function per pixel.
#include "render/shading.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "render/colorspace.h"
#include "render/composite.h"
#include "render/fill.h"
#include "render/gstate.h"
#include "render/interp.h"
#include "render/limits.h"

namespace {

float number_at(PdfDoc *doc, PdfObject *arr, int i, float def)
{
    PdfObject *o = pdf_resolve(doc, pdf_array_get(arr, i));
    if (!pdf_is_type(o, PDF_INT) && !pdf_is_type(o, PDF_REAL))
        return def;
    double v = pdf_to_number(o, def);
    return std::isfinite(v) && std::fabs(v) < 1e30 ? float(v) : def;
}

int to_byte_round(float v) { return !(v > 0) ? 0 : v >= 1 ? 255 : int(v * 255 + 0.5f); }

void build_table(Shading *sh)
{
    for (int i = 0; i < 256; i++) {
        float t = sh->t0 + (sh->t1 - sh->t0) * float(i) / 255.0f;
        shading_color_at(sh, &t, 1, sh->table[i]);
    }
}

// Parameter s of an axial shading at shading-space point (px, py); false
// when the pixel is not painted.
inline bool axial_s(const Shading *sh, double px, double py, double *s)
{
    const float *c = sh->coords;
    double dx = double(c[2]) - c[0], dy = double(c[3]) - c[1];
    double l2 = dx * dx + dy * dy;
    if (l2 < 1e-9)
        l2 = 1e-9;
    *s = ((px - c[0]) * dx + (py - c[1]) * dy) / l2;
    return true;
}

// Radial shading: the largest s whose circle passes through the point, has
// a radius of at least 0 and lies in [0, 1] or in an extended end.
inline bool radial_s(const Shading *sh, double px, double py, double *s)
{
    const float *c = sh->coords;
    double cx = double(c[3]) - c[0], cy = double(c[4]) - c[1], dr = double(c[5]) - c[2];
    double pdx = px - c[0], pdy = py - c[1], r0 = c[2];
    double a = cx * cx + cy * cy - dr * dr;
    double b = 2 * (pdx * cx + pdy * cy + r0 * dr);
    double cc = pdx * pdx + pdy * pdy - r0 * r0;
    auto usable = [&](double v) {
        return r0 + v * dr >= 0 && (v >= 0 || sh->extend0) && (v <= 1 || sh->extend1);
    };
    if (std::fabs(a) < 1e-9) {
        if (std::fabs(b) <= 1e-9)
            return false;
        double v = cc / b;
        if (!usable(v))
            return false;
        *s = v;
        return true;
    }
    double d = b * b - 4 * a * cc;
    if (d < 0)
        return false;
    double root = std::sqrt(d);
    double v1 = (b + root) / (2 * a), v2 = (b - root) / (2 * a);
    if (v1 < v2)
        std::swap(v1, v2);
    if (usable(v1)) {
        *s = v1;
        return true;
    }
    if (usable(v2)) {
        *s = v2;
        return true;
    }
    return false;
}

// Pixel i of a row gets RGB colour c (stored blue, green, red), or no
// coverage when c is null.
inline void put_pixel(const uint8_t *c, uint8_t *bgr, uint8_t *coverage, int i)
{
    if (!c) {
        coverage[i] = 0;
        return;
    }
    uint8_t *out = bgr + 3 * i;
    out[0] = c[2], out[1] = c[1], out[2] = c[0];
}

inline bool in_bbox(const Shading *sh, double px, double py)
{
    const float *b = sh->bbox;
    return px >= b[0] && px <= b[2] && py >= b[1] && py <= b[3];
}

}  // namespace

void shading_color_at(const Shading *sh, const float *comps, int count, uint8_t rgb[3])
{
    float c[CS_MAX_COMPONENTS] = {};
    if (sh->nfns > 1) {
        for (int j = 0; j < sh->nfns; j++) {
            float out[FN_MAX_OUTPUTS];
            if (function_eval(sh->fns[j], comps, count, out, FN_MAX_OUTPUTS) > 0)
                c[j] = out[0];
        }
    } else if (sh->nfns == 1) {
        function_eval(sh->fns[0], comps, count, c, CS_MAX_COMPONENTS);
    } else {
        for (int j = 0; j < count && j < CS_MAX_COMPONENTS; j++)
            c[j] = comps[j];
    }
    float f[3];
    colorspace_to_rgb(sh->cs, c, f);
    for (int k = 0; k < 3; k++)
        rgb[k] = uint8_t(to_byte_round(f[k]));
}

Shading *shading_parse(RenderContext *ctx, PdfObject *object)
{
    PdfDoc *doc = ctx->doc;
    PdfObject *obj = pdf_resolve(doc, object);
    if (!pdf_is_type(obj, PDF_DICT) && !pdf_is_type(obj, PDF_STREAM))
        return nullptr;
    int type = pdf_to_int(pdf_dict_get_resolved(doc, obj, "ShadingType"), 0);
    if (type < 1 || type > 7)
        return nullptr;
    auto *sh = static_cast<Shading *>(arena_alloc(ctx->arena, sizeof(Shading)));
    if (!sh)
        return nullptr;
    sh->type = type;
    sh->object = obj;
    sh->cs = colorspace_parse(ctx, pdf_dict_get(obj, "ColorSpace"), 0);
    PdfObject *fn = pdf_dict_get_resolved(doc, obj, "Function");
    if (pdf_is_type(fn, PDF_ARRAY)) {
        int n = std::min(pdf_array_len(fn), SHADING_MAX_FUNCTIONS);
        for (int i = 0; i < n; i++)
            if (PdfFunction *f = function_parse(ctx, pdf_array_get(fn, i)))
                sh->fns[sh->nfns++] = f;
    } else if (fn) {
        if (PdfFunction *f = function_parse(ctx, fn))
            sh->fns[sh->nfns++] = f;
    }
    PdfObject *coords = pdf_dict_get_resolved(doc, obj, "Coords");
    for (int i = 0; i < 6; i++)
        sh->coords[i] = number_at(doc, coords, i, 0);
    PdfObject *extend = pdf_dict_get_resolved(doc, obj, "Extend");
    sh->extend0 = pdf_is_type(pdf_resolve(doc, pdf_array_get(extend, 0)), PDF_BOOL) &&
                  pdf_resolve(doc, pdf_array_get(extend, 0))->boolean;
    sh->extend1 = pdf_is_type(pdf_resolve(doc, pdf_array_get(extend, 1)), PDF_BOOL) &&
                  pdf_resolve(doc, pdf_array_get(extend, 1))->boolean;
    PdfObject *domain = pdf_dict_get_resolved(doc, obj, "Domain");
    sh->t0 = number_at(doc, domain, 0, 0);
    sh->t1 = number_at(doc, domain, 1, 1);
    const float unit[4] = {0, 1, 0, 1};
    for (int i = 0; i < 4; i++)
        sh->domain[i] = number_at(doc, domain, i, unit[i]);
    matrix_identity(sh->matrix);
    form_read_matrix(doc, pdf_dict_get(obj, "Matrix"), sh->matrix);
    float box[4];
    if (form_read_box(doc, pdf_dict_get(obj, "BBox"), box)) {
        sh->has_bbox = 1;
        sh->bbox[0] = std::min(box[0], box[2]), sh->bbox[2] = std::max(box[0], box[2]);
        sh->bbox[1] = std::min(box[1], box[3]), sh->bbox[3] = std::max(box[1], box[3]);
    }
    PdfObject *bg = pdf_dict_get_resolved(doc, obj, "Background");
    if (pdf_is_type(bg, PDF_ARRAY) && pdf_array_len(bg) > 0) {
        float c[CS_MAX_COMPONENTS] = {};
        for (int i = 0; i < pdf_array_len(bg) && i < CS_MAX_COMPONENTS; i++)
            c[i] = number_at(doc, bg, i, 0);
        float f[3];
        colorspace_to_rgb(sh->cs, c, f);
        for (int k = 0; k < 3; k++)
            sh->background[k] = uint8_t(to_byte_round(f[k]));
        sh->has_background = 1;
    }
    if (type >= 4 && sh->nfns) {
        // Mesh vertices carry the function's parameter within the Decode range of t.
        PdfObject *decode = pdf_dict_get_resolved(doc, obj, "Decode");
        sh->t0 = number_at(doc, decode, 4, 0);
        sh->t1 = number_at(doc, decode, 5, 1);
        build_table(sh);
    }
    if (type == 2 || type == 3) {
        if (sh->nfns)
            build_table(sh);
        else
            std::memset(sh->table, 128, sizeof sh->table);
    }
    return sh;
}

bool shade_source_init(ShadeSource *src, RenderContext *ctx, const Shading *sh, const float m[6],
                       const int box[4], int use_background)
{
    std::memset(src, 0, sizeof *src);
    src->sh = sh;
    src->ctx = ctx;
    src->use_background = use_background && sh->has_background;
    src->bx0 = box[0], src->by0 = box[1], src->bx1 = box[2], src->by1 = box[3];
    if (!matrix_invert(m, src->inv))
        return false;
    if (sh->type >= 4)
        return mesh_draw(src, m);
    if (sh->type == 2) {
        const float *c = sh->coords;
        double dx = double(c[2]) - c[0], dy = double(c[3]) - c[1];
        double l2 = std::max(dx * dx + dy * dy, 1e-9);
        const double *v = src->inv;
        // s = ((px - x0) dx + (py - y0) dy) / l2 with (px, py) = inv (device).
        src->axial[0] = (v[0] * dx + v[1] * dy) / l2;
        src->axial[1] = (v[2] * dx + v[3] * dy) / l2;
        src->axial[2] = ((v[4] - c[0]) * dx + (v[5] - c[1]) * dy) / l2;
    }
    // Function-based shadings are defined over Domain in the space their
    // Matrix maps into shading space.
    if (sh->type == 1) {
        if (!matrix_invert(sh->matrix, src->domain_inv))
            return false;
        // The function is sampled on a grid over its Domain and read back
        // bilinearly: a calculator function per pixel would cost far more
        // than the colours gain.
        const int n = SHADING_FUNCTION_GRID;
        src->grid = static_cast<float *>(std::malloc(sizeof(float) * 3 * size_t(n + 1) * size_t(n + 1)));
        if (!src->grid)
            return false;
        const float *d = sh->domain;
        for (int j = 0; j <= n; j++)
            for (int i = 0; i <= n; i++) {
                float in[2] = {d[0] + (d[1] - d[0]) * float(i) / float(n), d[2] + (d[3] - d[2]) * float(j) / float(n)};
                uint8_t rgb[3] = {128, 128, 128};
                if (sh->nfns)
                    shading_color_at(sh, in, 2, rgb);
                float *g = src->grid + 3 * (size_t(j) * size_t(n + 1) + size_t(i));
                g[0] = rgb[0], g[1] = rgb[1], g[2] = rgb[2];
            }
    }
    return true;
}

void shade_source_release(ShadeSource *src)
{
    std::free(src->mesh_rgb);
    std::free(src->mesh_cov);
    std::free(src->grid);
    src->mesh_rgb = src->mesh_cov = nullptr;
    src->grid = nullptr;
}

void shade_row(const ShadeSource *src, int y, int x, int length, uint8_t *bgr, uint8_t *coverage)
{
    const Shading *sh = src->sh;
    const uint8_t *bg = src->use_background ? sh->background : nullptr;
    if (sh->type >= 4) {
        // Meshes: the buffer's row; outside the buffer nothing is painted.
        bool row_in = src->mesh_rgb && y >= src->by0 && y < src->by1;
        int from = row_in ? std::max(x, src->bx0) : x + length;
        int to = row_in ? std::min(x + length, src->bx1) : x + length;
        if (to < from)
            to = from = x + length;
        std::memset(coverage, 0, size_t(from - x));
        std::memset(coverage + (to - x), 0, size_t(x + length - to));
        size_t row = row_in ? size_t(y - src->by0) * size_t(src->bx1 - src->bx0) : 0;
        for (int px = from; px < to; px++) {
            int i = px - x;
            size_t at = row + size_t(px - src->bx0);
            const uint8_t *c = src->mesh_cov[at] ? src->mesh_rgb + 3 * at : bg;
            put_pixel(c, bgr, coverage, i);
        }
        return;
    }
    const double *v = src->inv;
    double dy = double(y) + src->ctx->band_top + 0.5;
    if (sh->type == 2 && !sh->has_bbox) {
        // Axial: s is an affine function of the device position.
        const double *a = src->axial;
        double s0 = a[0] * (x + 0.5) + a[1] * dy + a[2];
        for (int i = 0; i < length; i++) {
            double s = s0 + a[0] * i;
            const uint8_t *c = nullptr;
            if (s >= 0 && s <= 1)
                c = sh->table[int(s * 255 + 0.5)];
            else if (s < 0 && sh->extend0)
                c = sh->table[0];
            else if (s > 1 && sh->extend1)
                c = sh->table[255];
            else
                c = bg;
            put_pixel(c, bgr, coverage, i);
        }
        return;
    }
    if (sh->type == 3 && !sh->has_bbox) {
        // Radial: the point moves linearly along the row.
        double dx0 = double(x) + 0.5;
        double px = v[0] * dx0 + v[2] * dy + v[4], py = v[1] * dx0 + v[3] * dy + v[5];
        for (int i = 0; i < length; i++, px += v[0], py += v[1]) {
            double t = 0;
            const uint8_t *c = bg;
            if (radial_s(sh, px, py, &t))
                c = sh->table[t <= 0 ? 0 : t >= 1 ? 255 : int(t * 255 + 0.5)];
            put_pixel(c, bgr, coverage, i);
        }
        return;
    }
    for (int i = 0; i < length; i++) {
        double dx = double(x + i) + 0.5;
        double px = v[0] * dx + v[2] * dy + v[4];
        double py = v[1] * dx + v[3] * dy + v[5];
        const uint8_t *c = nullptr;
        uint8_t rgb[3];
        if (sh->has_bbox && !in_bbox(sh, px, py)) {
            coverage[i] = 0;
            continue;
        }
        if (sh->type == 1) {
            const double *m = src->domain_inv;
            double u = m[0] * px + m[2] * py + m[4], w = m[1] * px + m[3] * py + m[5];
            const float *d = sh->domain;
            if (u >= std::min(d[0], d[1]) && u <= std::max(d[0], d[1]) && w >= std::min(d[2], d[3]) &&
                w <= std::max(d[2], d[3])) {
                const int n = SHADING_FUNCTION_GRID;
                double fu = d[1] != d[0] ? (u - d[0]) / (d[1] - d[0]) * n : 0;
                double fw = d[3] != d[2] ? (w - d[2]) / (d[3] - d[2]) * n : 0;
                int iu = std::min(n - 1, std::max(0, int(fu))), iw = std::min(n - 1, std::max(0, int(fw)));
                double tu = std::min(1.0, std::max(0.0, fu - iu)), tw = std::min(1.0, std::max(0.0, fw - iw));
                const float *g0 = src->grid + 3 * (size_t(iw) * size_t(n + 1) + size_t(iu));
                const float *g1 = g0 + 3 * size_t(n + 1);
                for (int k = 0; k < 3; k++) {
                    double top = g0[k] + (g0[k + 3] - g0[k]) * tu, bottom = g1[k] + (g1[k + 3] - g1[k]) * tu;
                    rgb[k] = uint8_t(top + (bottom - top) * tw + 0.5);
                }
                c = rgb;
            }
        } else {
            double s = 0;
            bool ok = sh->type == 2 ? axial_s(sh, px, py, &s) : radial_s(sh, px, py, &s);
            if (ok) {
                if (s < 0)
                    ok = sh->extend0, s = 0;
                else if (s > 1)
                    ok = sh->extend1, s = 1;
            }
            if (ok && s >= 0 && s <= 1)
                c = sh->table[int(s * 255 + 0.5)];
        }
        if (!c)
            c = bg;
        put_pixel(c, bgr, coverage, i);
    }
}

int paint_shading(RenderContext *ctx, PdfObject *object)
{
    if (ctx->text_only || !ctx->surface)
        return 0;
    Shading *sh = shading_parse(ctx, object);
    if (!sh)
        return -2;
    const GraphicsState *gs = ctx->gs;
    PageBitmap *s = ctx->surface;
    int box[4] = {std::max(gs->clip_x0, 0), std::max(gs->clip_y0, 0), std::min(gs->clip_x1, s->width),
                  std::min(gs->clip_y1, s->height)};
    const ClipPlane *clip = gs->clip_mask;
    if (clip) {
        box[0] = std::max(box[0], clip->x0), box[1] = std::max(box[1], clip->y0);
        box[2] = std::min(box[2], clip->x1), box[3] = std::min(box[3], clip->y1);
    }
    if (box[0] >= box[2] || box[1] >= box[3])
        return 0;
    ShadeSource src;
    if (!shade_source_init(&src, ctx, sh, gs->ctm, box, 0)) {
        shade_source_release(&src);
        if (sh->type >= 4)
            add_diagnostic(ctx, "shading-mesh");
        return -2;
    }
    int alpha = color_byte(gs->fill_alpha);
    int len = box[2] - box[0];
    std::vector<uint8_t> coverage, colors;
    try {
        coverage.resize(size_t(len));
        colors.resize(size_t(len) * 3);
    } catch (const std::bad_alloc &) {
        shade_source_release(&src);
        return -3;
    }
    for (int y = box[1]; y < box[3]; y++) {
        if ((y - box[1]) % 16 == 15 && render_poll(ctx))
            break;
        std::fill(coverage.begin(), coverage.end(), 255);
        shade_row(&src, y, box[0], len, colors.data(), coverage.data());
        size_t at = size_t(y) * size_t(s->width) + size_t(box[0]);
        composite_span(s, y, box[0], len, coverage.data(), clip ? clip->at(box[0], y) : nullptr,
                       gs->soft_mask ? gs->soft_mask + at : nullptr, alpha, gs->blend_mode, 0, 0, 0,
                       colors.data());
    }
    shade_source_release(&src);
    return 0;
}
