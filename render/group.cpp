// Transparency groups drawn into a surface of their own. The group surface
// covers the group's box within the current surface, so while it is current
// the interpreter's band offset moves down to its first row and the CTM
// left to its first column; the clip rectangle and clip plane of the state
// are moved alike.
#include "render/group.h"

#include <cstdlib>
#include <cstring>

#include "pdf/document.h"
#include "pdf/object.h"
#include "render/blend.h"
#include "render/clip.h"
#include "render/composite.h"
#include "render/fill.h"
#include "render/interp.h"
#include "render/limits.h"

namespace {

inline int imax(int a, int b) { return a > b ? a : b; }
inline int imin(int a, int b) { return a < b ? a : b; }

// A group that started as a copy of its backdrop holds backdrop and content
// together: the composite moves from the backdrop toward it by opacity and
// mask, in premultiplied terms where the surface below has an alpha plane.
bool composite_from_backdrop(uint8_t *dp, uint8_t *da, const uint8_t *gp, const uint8_t *ga, int n,
                             int opacity, const uint8_t *mr)
{
    for (int x = 0; x < n; x++) {
        int a = mr ? opacity * mr[x] / 255 : opacity;
        uint8_t *d = dp + 3 * x;
        const uint8_t *s = gp + 3 * x;
        if (!da) {
            for (int k = 0; k < 3; k++)
                d[k] = uint8_t(d[k] + (s[k] - d[k]) * a / 255);
            continue;
        }
        int back = da[x], front = ga[x];
        int t = back + (front - back) * a / 255;
        for (int k = 0; k < 3; k++) {
            int pb = d[k] * back, pf = s[k] * front;
            d[k] = t > 0 ? uint8_t(imin(255, (pb + (pf - pb) * a / 255) / t)) : 0;
        }
        da[x] = uint8_t(t);
    }
    return true;
}

// Resource dictionaries still to look at for blend modes, and those seen;
// the entries of their XObject, Pattern and Font dictionaries looked at.
struct BlendScan {
    PdfDoc *doc;
    PdfObject *seen[GROUP_SCAN_DICTS];
    int count;
    int entries;
};

// Queues a resource dictionary once; false when the budget is spent.
bool scan_add(BlendScan *scan, PdfObject *resources)
{
    if (!pdf_is_type(resources, PDF_DICT))
        return true;
    for (int i = 0; i < scan->count; i++)
        if (scan->seen[i] == resources)
            return true;
    if (scan->count >= GROUP_SCAN_DICTS)
        return false;
    scan->seen[scan->count++] = resources;
    return true;
}

// Queues the Resources of each entry of one category (XObject, Pattern,
// Font) that has them.
bool scan_add_children(BlendScan *scan, PdfObject *resources, const char *category)
{
    PdfObject *dict = pdf_dict_get_resolved(scan->doc, resources, category);
    for (int i = 0; pdf_is_type(dict, PDF_DICT) && i < dict->count; i++) {
        if (++scan->entries > GROUP_SCAN_ENTRIES)
            return false;
        PdfObject *item = pdf_resolve(scan->doc, dict->entries[i].value);
        if ((pdf_is_type(item, PDF_STREAM) || pdf_is_type(item, PDF_DICT)) &&
            !scan_add(scan, pdf_dict_get_resolved(scan->doc, item, "Resources")))
            return false;
    }
    return true;
}

}  // namespace

bool resources_use_blending(PdfDoc *doc, PdfObject *resources)
{
    BlendScan scan;
    scan.doc = doc;
    scan.count = 0;
    scan.entries = 0;
    scan_add(&scan, resources);
    for (int next = 0; next < scan.count; next++) {
        PdfObject *res = scan.seen[next];
        PdfObject *states = pdf_dict_get_resolved(doc, res, "ExtGState");
        for (int i = 0; pdf_is_type(states, PDF_DICT) && i < states->count; i++) {
            PdfObject *bm = pdf_dict_get_resolved(doc, pdf_resolve(doc, states->entries[i].value), "BM");
            if (bm && blend_mode_from_object(doc, bm) != BLEND_NORMAL)
                return true;
        }
        if (!scan_add_children(&scan, res, "XObject") || !scan_add_children(&scan, res, "Pattern") ||
            !scan_add_children(&scan, res, "Font"))
            break;
    }
    return false;
}

void group_flatten_on_white(PageBitmap *surface)
{
    if (!surface || !surface->alpha)
        return;
    for (int y = 0; y < surface->height; y++) {
        uint8_t *p = surface->pixels + size_t(y) * size_t(surface->stride);
        const uint8_t *a = surface->alpha + size_t(y) * size_t(surface->width);
        for (int x = 0; x < surface->width; x++, p += 3) {
            const int keep = 255 * (255 - a[x]);
            for (int k = 0; k < 3; k++)
                p[k] = uint8_t((p[k] * a[x] + keep + 127) / 255);
        }
    }
    std::free(surface->alpha);
    surface->alpha = nullptr;
}

void composite_group(PageBitmap *dst, const PageBitmap *group, int top, int left, int opacity,
                     const uint8_t *mask_rows, int blend_mode, bool from_backdrop)
{
    if (!dst || !group || opacity <= 0)
        return;
    opacity = imin(opacity, 255);
    int y0 = imax(group->dirty_top, imax(0, -top));
    int y1 = imin(group->dirty_bottom, dst->height - top);
    // Group columns gx0 .. gx1 - 1, which lie over dst columns from left + gx0.
    const int gx0 = imax(0, -left), gx1 = imin(group->width, dst->width - left);
    if (gx1 <= gx0)
        return;
    for (int gy = y0; gy < y1; gy++) {
        const int y = gy + top;
        // Row pointers moved so that one index x serves a group column and
        // the dst column over which it lies.
        const uint8_t *ga = group->alpha ? group->alpha + size_t(gy) * size_t(group->width) + size_t(gx0) : nullptr;
        const uint8_t *gp = group->pixels + size_t(gy) * size_t(group->stride) + 3 * size_t(gx0);
        uint8_t *dp = dst->pixels + size_t(y) * size_t(dst->stride) + 3 * size_t(left + gx0);
        uint8_t *da = dst->alpha ? dst->alpha + size_t(y) * size_t(dst->width) + size_t(left + gx0) : nullptr;
        const uint8_t *mr = mask_rows ? mask_rows + size_t(y) * size_t(dst->width) + size_t(left + gx0) : nullptr;
        const int n = gx1 - gx0;
        bool touched = from_backdrop && composite_from_backdrop(dp, da && ga ? da : nullptr, gp, ga, n, opacity, mr);
        for (int x = 0; !from_backdrop && x < n; x++) {
            int a = ga[x];
            if (!a)
                continue;
            if (opacity < 255)
                a = a * opacity / 255;
            if (mr)
                a = a * mr[x] / 255;
            if (!a)
                continue;
            touched = true;
            uint8_t *d = dp + 3 * x;
            const uint8_t *s = gp + 3 * x;
            int src[3] = {s[0], s[1], s[2]};
            int back = da ? da[x] : 255;
            if (blend_mode != BLEND_NORMAL && back) {
                int b[3];
                blend_pixel(blend_mode, d, src, b);
                for (int k = 0; k < 3; k++)
                    src[k] += (b[k] - src[k]) * back / 255;
            }
            if (!da) {
                for (int k = 0; k < 3; k++)
                    d[k] = uint8_t(d[k] + (src[k] - d[k]) * a / 255);
                continue;
            }
            int ar = back * (255 - a) / 255;
            int t = a + ar;
            for (int k = 0; k < 3; k++)
                d[k] = uint8_t((src[k] * a + d[k] * ar) / t);
            da[x] = uint8_t(t);
        }
        if (touched) {
            dst->dirty_top = imin(dst->dirty_top, y);
            dst->dirty_bottom = imax(dst->dirty_bottom, y + 1);
        }
    }
}

GroupStart group_begin(RenderContext *ctx, PdfObject *group, GroupFrame *frame)
{
    if (ctx->text_only || !ctx->surface || !ctx->rasterizer)
        return GROUP_DIRECT;
    if (ctx->depth >= INTERP_GROUP_DEPTH) {
        add_diagnostic(ctx, "group-depth");
        return GROUP_DIRECT;
    }
    GraphicsState *gs = ctx->gs;
    PageBitmap *outer = ctx->surface;
    // The rows the group can reach: its box clip is already applied.
    int y0 = imax(0, gs->clip_y0), y1 = imin(outer->height, gs->clip_y1);
    int x0 = imax(0, gs->clip_x0), x1 = imin(outer->width, gs->clip_x1);
    if (const ClipPlane *p = gs->clip_mask) {
        y0 = imax(y0, p->y0);
        y1 = imin(y1, p->y1);
        x0 = imax(x0, p->x0);
        x1 = imin(x1, p->x1);
    }
    const int opacity = color_byte(gs->fill_alpha);
    if (y1 <= y0 || x1 <= x0 || opacity == 0)
        return GROUP_EMPTY;
    PdfDoc *doc = ctx->doc;
    PdfObject *isolated = pdf_dict_get_resolved(doc, group, "I");
    // A non-isolated group starts from a copy of what lies below (colour, and
    // alpha inside another group): objects inside blend with the real
    // backdrop, and with the Normal mode the composite is the interpolation
    // from the backdrop toward the result by opacity and mask. Other groups
    // start transparent.
    PdfObject *k = pdf_dict_get_resolved(doc, group, "K");
    const bool knockout = pdf_is_type(k, PDF_BOOL) && k->boolean;
    // A knockout group always starts transparent: each object is drawn
    // over nothing and the group then over its backdrop.
    const bool isolated_flag = pdf_is_type(isolated, PDF_BOOL) && isolated->boolean;
    const bool from_backdrop = !knockout && !isolated_flag && gs->blend_mode == BLEND_NORMAL;
    const bool needs_alpha = !from_backdrop || outer->alpha;
    PageBitmap *surface = bitmap_create(x1 - x0, y1 - y0);
    uint8_t *alpha = nullptr;
    if (surface && needs_alpha)
        alpha = static_cast<uint8_t *>(
            std::calloc(size_t(surface->width) * size_t(surface->height), 1));
    if (!surface || (needs_alpha && !alpha)) {
        bitmap_free(surface);
        add_diagnostic(ctx, "group-memory");
        return GROUP_DIRECT;
    }
    for (int y = 0; from_backdrop && y < surface->height; y++) {
        std::memcpy(surface->pixels + size_t(y) * size_t(surface->stride),
                    outer->pixels + size_t(y0 + y) * size_t(outer->stride) + 3 * size_t(x0),
                    3 * size_t(x1 - x0));
        if (alpha)
            std::memcpy(alpha + size_t(y) * size_t(surface->width),
                        outer->alpha + size_t(y0 + y) * size_t(outer->width) + size_t(x0), size_t(x1 - x0));
    }
    surface->alpha = alpha;
    surface->dirty_top = surface->height;
    surface->dirty_bottom = 0;
    frame->outer = outer;
    frame->surface = surface;
    frame->top = y0;
    frame->left = x0;
    frame->opacity = opacity;
    frame->blend_mode = gs->blend_mode;
    frame->from_backdrop = from_backdrop;
    frame->soft_mask = gs->soft_mask;
    // Paints in a knockout group blend with its backdrop (the surface below
    // when it is not isolated), never with the objects drawn before them.
    KnockoutGroup ko = {nullptr, nullptr, 0, 0};
    if (knockout) {
        ko.surface = surface;
        ko.backdrop = isolated_flag ? nullptr : outer;
        ko.top = y0;
        ko.left = x0;
    }
    frame->previous_knockout = composite_set_knockout(ko);

    // Inside, objects paint opaque, Normal and unmasked; the state keeps the
    // soft mask plane of the outer surface without owning it, and hides it.
    gs->fill_alpha = gs->stroke_alpha = 1;
    gs->blend_mode = BLEND_NORMAL;
    gs->soft_mask = nullptr;
    gs->smask_plane = nullptr;
    gs->owns_smask = 0;
    gs->clip_y0 -= y0;
    gs->clip_y1 -= y0;
    gs->clip_x0 -= x0;
    gs->clip_x1 -= x0;
    // Surface columns count from the group's first column: the CTM moves
    // left by it (whole pixels, so coverage stays what it was), while rows
    // keep their page numbers through the band offset.
    gs->ctm[4] -= float(x0);
    frame->clip_mask = gs->clip_mask;
    frame->owns_clip = gs->owns_clip;
    if (const ClipPlane *p = gs->clip_mask) {
        // A header over the same bytes, its rows counted from the group's
        // first row; it is never freed or linked.
        frame->shifted_clip = *p;
        frame->shifted_clip.prev = frame->shifted_clip.next = nullptr;
        frame->shifted_clip.y0 -= y0;
        frame->shifted_clip.y1 -= y0;
        frame->shifted_clip.x0 -= x0;
        frame->shifted_clip.x1 -= x0;
        gs->clip_mask = &frame->shifted_clip;
        gs->owns_clip = 0;
    }
    ctx->surface = surface;
    ctx->band_top += y0;
    ctx->rasterizer->band_origin += y0;
    return GROUP_STARTED;
}

void group_end(RenderContext *ctx, GroupFrame *frame)
{
    // The state is the form's again: a plane it made inside is freed, the
    // one it had is given back for the caller's restore.
    GraphicsState *gs = ctx->gs;
    clip_release_state(ctx, gs);
    gs->clip_mask = frame->clip_mask;
    gs->owns_clip = frame->owns_clip;
    ctx->band_top -= frame->top;
    ctx->rasterizer->band_origin -= frame->top;
    ctx->surface = frame->outer;
    composite_set_knockout(frame->previous_knockout);
    composite_group(frame->outer, frame->surface, frame->top, frame->left, frame->opacity, frame->soft_mask, frame->blend_mode, frame->from_backdrop);
    std::free(frame->surface->alpha);  // null for a backdrop copy on an opaque surface
    frame->surface->alpha = nullptr;
    bitmap_free(frame->surface);
    frame->surface = nullptr;
}
