// Span compositing in 8-bit integer arithmetic: coverage times clip mask,
// soft mask and constant alpha, then source-over onto an opaque page or onto
// a transparency-group surface with its own alpha plane.
#include "render/composite.h"

#include <cstddef>

#include "render/blend.h"

namespace {

bool g_antialias = true;
thread_local KnockoutGroup g_knockout = {nullptr, nullptr, 0, 0};

// A paint on a knockout group's surface: the paint's shape (coverage and
// clip) decides how much of what the group held is replaced; what replaces
// it is the source over the group's empty start, with the paint's opacity
// (constant alpha and soft mask) as its alpha. With a blend mode the source
// is first blended with the group's backdrop (bp, with alpha plane bb or
// opaque), weighted by the backdrop's alpha, as it is where an object meets
// the group's initial backdrop alone.
void span_knockout(uint8_t *p, uint8_t *ab, int length, const uint8_t *coverage,
                   const uint8_t *clip, const uint8_t *smask, int alpha, const int span_src[3],
                   int mode, const uint8_t *bp, const uint8_t *bb)
{
    int src[3] = {span_src[0], span_src[1], span_src[2]};
    for (int i = 0; i < length; i++, p += 3) {
        if (bp && mode != BLEND_NORMAL) {
            const int back = bb ? bb[i] : 255;
            int x[3];
            blend_pixel(mode, bp + 3 * i, span_src, x);
            for (int k = 0; k < 3; k++)
                src[k] = span_src[k] + (x[k] - span_src[k]) * back / 255;
        }
        int c = coverage[i];
        if (!g_antialias)
            c = c >= 128 ? 255 : 0;
        if (clip)
            c = mask_multiply(c, clip[i]);
        if (!c)
            continue;
        int a = smask ? mask_multiply(alpha, smask[i]) : alpha;
        int keep = (255 - c) * ab[i];
        int put = c * a;
        int den = keep + put;
        if (den <= 0) {
            ab[i] = 0;
            continue;
        }
        for (int k = 0; k < 3; k++)
            p[k] = uint8_t((keep * p[k] + put * src[k]) / den);
        ab[i] = uint8_t((den + 127) / 255);
    }
}

// Coverage after the anti-aliasing switch and every mask.
template <bool Clip, bool Smask, bool Alpha>
inline int pixel_alpha(bool aa, const uint8_t *coverage, const uint8_t *clip, const uint8_t *smask,
                       int alpha, int i)
{
    int a = coverage[i];
    if (!aa)
        a = a >= 128 ? 255 : 0;
    if (Clip)
        a = mask_multiply(a, clip[i]);
    if (Smask)
        a = mask_multiply(a, smask[i]);
    if (Alpha)
        a = mask_multiply(a, alpha);
    return a;
}

// The source colour of pixel i: the span's one colour or the pixel's own.
template <bool Colors>
inline void pixel_source(const int src[3], const uint8_t *colors, int i, int out[3])
{
    if (Colors) {
        out[0] = colors[3 * i];
        out[1] = colors[3 * i + 1];
        out[2] = colors[3 * i + 2];
    } else {
        out[0] = src[0];
        out[1] = src[1];
        out[2] = src[2];
    }
}

template <bool Clip, bool Smask, bool Alpha, bool Colors>
void span_opaque(uint8_t *p, int length, const uint8_t *coverage, const uint8_t *clip,
                 const uint8_t *smask, int alpha, int mode, const int span_src[3],
                 const uint8_t *colors)
{
    bool aa = g_antialias;
    for (int i = 0; i < length; i++, p += 3) {
        int a = pixel_alpha<Clip, Smask, Alpha>(aa, coverage, clip, smask, alpha, i);
        if (!a)
            continue;
        int src[3];
        pixel_source<Colors>(span_src, colors, i, src);
        if (mode == BLEND_NORMAL) {
            if (a == 255) {
                p[0] = uint8_t(src[0]);
                p[1] = uint8_t(src[1]);
                p[2] = uint8_t(src[2]);
                continue;
            }
            for (int k = 0; k < 3; k++)
                p[k] = uint8_t(p[k] + ((src[k] - p[k]) * a + 127) / 255);
        } else {
            int x[3];
            blend_pixel(mode, p, src, x);
            for (int k = 0; k < 3; k++)
                p[k] = uint8_t(p[k] + ((x[k] - p[k]) * a) / 255);
        }
    }
}

// Source-over of one colour through bare coverage onto an opaque surface:
// the common case of glyphs and fills, the generic opaque span without a
// mask, constant alpha, blend mode or anti-aliasing switch to consult.
void span_plain(uint8_t *p, int length, const uint8_t *coverage, const int src[3])
{
    const int s0 = src[0], s1 = src[1], s2 = src[2];
    for (int i = 0; i < length; i++, p += 3) {
        const int a = coverage[i];
        if (a == 255) {
            p[0] = uint8_t(s0);
            p[1] = uint8_t(s1);
            p[2] = uint8_t(s2);
        } else if (a) {
            p[0] = uint8_t(p[0] + ((s0 - p[0]) * a + 127) / 255);
            p[1] = uint8_t(p[1] + ((s1 - p[1]) * a + 127) / 255);
            p[2] = uint8_t(p[2] + ((s2 - p[2]) * a + 127) / 255);
        }
    }
}

template <bool Clip, bool Smask, bool Alpha, bool Colors>
void span_group(uint8_t *p, uint8_t *ab, int length, const uint8_t *coverage, const uint8_t *clip,
                const uint8_t *smask, int alpha, int mode, const int span_src[3],
                const uint8_t *colors)
{
    bool aa = g_antialias;
    for (int i = 0; i < length; i++, p += 3) {
        int a = pixel_alpha<Clip, Smask, Alpha>(aa, coverage, clip, smask, alpha, i);
        if (!a)
            continue;
        int src[3];
        pixel_source<Colors>(span_src, colors, i, src);
        int back = ab[i];
        int ar = back * (255 - a) / 255;
        int t = a + ar;
        if (t <= 0)
            continue;
        int s[3] = {src[0], src[1], src[2]};
        if (mode != BLEND_NORMAL && back) {
            // The blended colour weighs in with the backdrop's alpha.
            int x[3];
            blend_pixel(mode, p, src, x);
            for (int k = 0; k < 3; k++)
                s[k] = src[k] + (x[k] - src[k]) * back / 255;
        }
        for (int k = 0; k < 3; k++)
            p[k] = uint8_t((s[k] * a + p[k] * ar) / t);
        ab[i] = uint8_t(t);
    }
}

template <bool Clip, bool Smask, bool Alpha, bool Colors>
void span_any(PageBitmap *s, int y, int x, int length, const uint8_t *coverage, const uint8_t *clip,
              const uint8_t *smask, int alpha, int mode, const int src[3], const uint8_t *colors)
{
    uint8_t *p = s->pixels + size_t(y) * size_t(s->stride) + 3 * size_t(x);
    if (s->alpha)
        span_group<Clip, Smask, Alpha, Colors>(p, s->alpha + size_t(y) * size_t(s->width) + size_t(x),
                                               length, coverage, clip, smask, alpha, mode, src,
                                               colors);
    else
        span_opaque<Clip, Smask, Alpha, Colors>(p, length, coverage, clip, smask, alpha, mode, src,
                                                colors);
}

using SpanImpl = void (*)(PageBitmap *, int, int, int, const uint8_t *, const uint8_t *,
                          const uint8_t *, int, int, const int *, const uint8_t *);

// Indexed by clip | smask << 1 | alpha << 2 | colors << 3.
constexpr SpanImpl span_impls[16] = {
    span_any<false, false, false, false>, span_any<true, false, false, false>,
    span_any<false, true, false, false>,  span_any<true, true, false, false>,
    span_any<false, false, true, false>,  span_any<true, false, true, false>,
    span_any<false, true, true, false>,   span_any<true, true, true, false>,
    span_any<false, false, false, true>,  span_any<true, false, false, true>,
    span_any<false, true, false, true>,   span_any<true, true, false, true>,
    span_any<false, false, true, true>,   span_any<true, false, true, true>,
    span_any<false, true, true, true>,    span_any<true, true, true, true>,
};

inline int clamp_byte(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

}  // namespace

void composite_set_antialias(bool on) { g_antialias = on; }
KnockoutGroup composite_set_knockout(const KnockoutGroup &group)
{
    const KnockoutGroup previous = g_knockout;
    g_knockout = group;
    return previous;
}
bool composite_antialias() { return g_antialias; }

void composite_span(PageBitmap *surface, int y, int x, int length, const uint8_t *coverage,
                    const uint8_t *clip_row, const uint8_t *smask_row, int alpha, int blend_mode,
                    int r, int g, int b, const uint8_t *colors)
{
    if (!surface || !coverage || length <= 0 || y < 0 || y >= surface->height)
        return;
    if (x < 0) {
        int cut = -x;
        if (cut >= length)
            return;
        coverage += cut;
        if (colors)
            colors += 3 * cut;
        if (clip_row)
            clip_row += cut;
        if (smask_row)
            smask_row += cut;
        length -= cut;
        x = 0;
    }
    if (x >= surface->width)
        return;
    if (length > surface->width - x)
        length = surface->width - x;
    if (y < surface->dirty_top)
        surface->dirty_top = y;
    if (y + 1 > surface->dirty_bottom)
        surface->dirty_bottom = y + 1;
    alpha = clamp_byte(alpha);
    if (alpha == 0)
        return;
    const int src[3] = {clamp_byte(b), clamp_byte(g), clamp_byte(r)};  // stored blue, green, red
    if (surface == g_knockout.surface && surface->alpha && !colors) {
        size_t at = size_t(y) * size_t(surface->width) + size_t(x);
        const PageBitmap *b = g_knockout.backdrop;
        const int by = y + g_knockout.top, bx = x + g_knockout.left;
        const bool blends = b && blend_mode != BLEND_NORMAL && by >= 0 && by < b->height && bx >= 0 &&
                            bx + length <= b->width;
        const uint8_t *bp = blends ? b->pixels + size_t(by) * size_t(b->stride) + 3 * size_t(bx) : nullptr;
        const uint8_t *bb = blends && b->alpha ? b->alpha + size_t(by) * size_t(b->width) + size_t(bx) : nullptr;
        span_knockout(surface->pixels + size_t(y) * size_t(surface->stride) + 3 * size_t(x),
                      surface->alpha + at, length, coverage, clip_row, smask_row, alpha, src,
                      blend_mode, bp, bb);
        return;
    }
    int index = (clip_row ? 1 : 0) | (smask_row ? 2 : 0) | (alpha < 255 ? 4 : 0) | (colors ? 8 : 0);
    if (index == 0 && blend_mode == BLEND_NORMAL && g_antialias && !surface->alpha) {
        span_plain(surface->pixels + size_t(y) * size_t(surface->stride) + 3 * size_t(x), length,
                   coverage, src);
        return;
    }
    span_impls[index](surface, y, x, length, coverage, clip_row, smask_row, alpha, blend_mode, src,
                      colors);
}

void composite_rows(PageBitmap *surface, int y, int x, int length, int rows, const uint8_t *coverage,
                    int pitch, int alpha, int blend_mode, int r, int g, int b)
{
    if (!surface || !coverage || length <= 0 || rows <= 0)
        return;
    const bool plain = clamp_byte(alpha) == 255 && blend_mode == BLEND_NORMAL && g_antialias &&
                       !surface->alpha;
    if (!plain) {
        for (int i = 0; i < rows; i++)
            composite_span(surface, y + i, x, length, coverage + size_t(i) * size_t(pitch), nullptr,
                           nullptr, alpha, blend_mode, r, g, b);
        return;
    }
    // The cuts composite_span makes, once for every row.
    if (x < 0) {
        if (-x >= length)
            return;
        coverage += -x;
        length += x;
        x = 0;
    }
    if (x >= surface->width)
        return;
    if (length > surface->width - x)
        length = surface->width - x;
    int first = y < 0 ? -y : 0;
    const int last = surface->height - y < rows ? surface->height - y : rows;  // exclusive
    if (first >= last)
        return;
    if (y + first < surface->dirty_top)
        surface->dirty_top = y + first;
    if (y + last > surface->dirty_bottom)
        surface->dirty_bottom = y + last;
    const int src[3] = {clamp_byte(b), clamp_byte(g), clamp_byte(r)};
    for (int i = first; i < last; i++)
        span_plain(surface->pixels + size_t(y + i) * size_t(surface->stride) + 3 * size_t(x), length,
                   coverage + size_t(i) * size_t(pitch), src);
}
