// Soft masks from a mask group: the group runs into a scratch surface of the
// current surface's size, with a fresh graphics state under the CTM current
// at the gs operator; its luminosity over the backdrop colour, or its alpha,
// becomes a byte plane multiplied into every later paint.
#include "render/softmask.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "pdf/document.h"
#include "pdf/object.h"
#include "render/clip.h"
#include "render/colorspace.h"
#include "render/gstate.h"
#include "render/function.h"
#include "render/interp.h"
#include "render/limits.h"

namespace {

double number_at(PdfDoc *doc, PdfObject *arr, int i, double def)
{
    return pdf_to_number(pdf_resolve(doc, pdf_array_get(arr, i)), def);
}

int unit_byte(double v)
{
    if (!(v > 0))
        return 0;
    if (v >= 1)
        return 255;
    return int(v * 255 + 0.5);
}

// BC as red, green, blue bytes, in the colour space of the mask group
// (its Group's CS) when BC has that space's number of components; without
// one, one number is a grey, three are RGB, four CMYK; anything else is
// black.
void backdrop_rgb(RenderContext *ctx, PdfObject *group, PdfObject *bc, int rgb[3])
{
    PdfDoc *doc = ctx->doc;
    rgb[0] = rgb[1] = rgb[2] = 0;
    int n = pdf_is_type(bc, PDF_ARRAY) ? pdf_array_len(bc) : 0;
    PdfObject *cs_object = pdf_dict_get_resolved(doc, pdf_dict_get_resolved(doc, group, "Group"), "CS");
    if (cs_object && n > 0) {
        const ColorSpace *cs = colorspace_parse(ctx, cs_object, 0);
        if (colorspace_ncomps(cs) == n && cs->kind != CS_PATTERN) {
            float c[CS_MAX_COMPONENTS] = {}, out[3];
            for (int i = 0; i < n; i++)
                c[i] = float(number_at(doc, bc, i, 0));
            colorspace_to_rgb(cs, c, out);
            for (int k = 0; k < 3; k++)
                rgb[k] = unit_byte(out[k]);
            return;
        }
    }
    if (n == 1) {
        rgb[0] = rgb[1] = rgb[2] = unit_byte(number_at(doc, bc, 0, 0));
    } else if (n == 3) {
        for (int k = 0; k < 3; k++)
            rgb[k] = unit_byte(number_at(doc, bc, k, 0));
    } else if (n == 4) {
        double k = number_at(doc, bc, 3, 0);
        for (int c = 0; c < 3; c++)
            rgb[c] = unit_byte((1 - number_at(doc, bc, c, 0)) * (1 - k));
    }
}

// The transfer function TR as a 256-entry table: Identity and missing
// leave it the identity; a function of one input is sampled; one that
// cannot be parsed is not applied and is recorded.
void transfer_table(RenderContext *ctx, PdfObject *tr, uint8_t table[256])
{
    for (int i = 0; i < 256; i++)
        table[i] = uint8_t(i);
    if (!tr || pdf_is_name(tr, "Identity"))
        return;
    if (!pdf_is_type(tr, PDF_DICT) && !pdf_is_type(tr, PDF_STREAM))
        return;
    PdfFunction *fn = function_parse(ctx, tr);
    if (!fn) {
        add_diagnostic(ctx, "smask-transfer");
        return;
    }
    for (int i = 0; i < 256; i++) {
        float x = float(i) / 255.0f, y = 0;
        function_eval(fn, &x, 1, &y, 1);
        table[i] = uint8_t(unit_byte(std::isfinite(y) ? y : 0));
    }
}

}  // namespace

void softmask_release_state(RenderContext *ctx, GraphicsState *gs)
{
    if (gs->owns_smask && gs->smask_plane)
        clip_plane_free(ctx, gs->smask_plane);
    gs->smask_plane = nullptr;
    gs->soft_mask = nullptr;
    gs->owns_smask = 0;
}

void softmask_set(RenderContext *ctx, PdfObject *smask)
{
    GraphicsState *gs = ctx->gs;
    softmask_release_state(ctx, gs);
    if (!pdf_is_type(smask, PDF_DICT) || ctx->text_only || !ctx->surface || !ctx->rasterizer)
        return;
    PdfDoc *doc = ctx->doc;
    PdfObject *group = pdf_dict_get_resolved(doc, smask, "G");
    if (!pdf_is_type(group, PDF_STREAM))
        return;
    if (ctx->depth >= INTERP_GROUP_DEPTH) {
        add_diagnostic(ctx, "group-depth");
        return;
    }
    const bool alpha = pdf_is_name(pdf_dict_get_resolved(doc, smask, "S"), "Alpha");
    PageBitmap *outer = ctx->surface;
    const int w = outer->width, h = outer->height;
    ClipPlane *plane = clip_plane_create(ctx, 0, 0, w, h);
    PageBitmap *scratch = plane ? bitmap_create(w, h) : nullptr;
    uint8_t *coverage = nullptr;
    if (scratch && alpha) {
        coverage = static_cast<uint8_t *>(std::calloc(size_t(w) * size_t(h), 1));
        scratch->alpha = coverage;
    }
    if (!scratch || (alpha && !coverage)) {
        add_diagnostic(ctx, "soft-mask-memory");
        bitmap_free(scratch);
        if (plane)
            clip_plane_free(ctx, plane);
        return;
    }
    int bc[3] = {0, 0, 0};
    if (!alpha)
        backdrop_rgb(ctx, group, pdf_dict_get_resolved(doc, smask, "BC"), bc);
    bitmap_fill(scratch, bc[0], bc[1], bc[2]);

    // The group runs over the scratch surface in a fresh state: only the
    // CTM carries over.
    GraphicsState *saved_gs = ctx->gs;
    PdfObject *saved_resources = ctx->resources;
    GraphicsState *mask_gs = gstate_save(ctx);
    if (!mask_gs) {
        bitmap_free(scratch);
        std::free(coverage);
        clip_plane_free(ctx, plane);
        return;
    }
    gs_init(mask_gs, scratch);
    std::memcpy(mask_gs->ctm, saved_gs->ctm, sizeof mask_gs->ctm);
    mask_gs->saved = saved_gs;
    ctx->surface = scratch;
    form_enter(ctx, group);
    run_nested(ctx, group, nullptr, 0);
    ctx->resources = saved_resources;
    gstate_restore(ctx, saved_gs);
    ctx->surface = outer;

    uint8_t tr[256];
    transfer_table(ctx, pdf_dict_get_resolved(doc, smask, "TR"), tr);
    for (int y = 0; y < h; y++) {
        uint8_t *out = plane->data + size_t(y) * size_t(w);
        if (alpha) {
            const uint8_t *a = coverage + size_t(y) * size_t(w);
            for (int x = 0; x < w; x++)
                out[x] = tr[a[x]];
        } else {
            const uint8_t *p = scratch->pixels + size_t(y) * size_t(scratch->stride);
            for (int x = 0; x < w; x++, p += 3)
                out[x] = tr[(28 * p[0] + 151 * p[1] + 77 * p[2] + 128) >> 8];
        }
    }
    bitmap_free(scratch);
    std::free(coverage);
    gs->smask_plane = plane;
    gs->soft_mask = plane->data;
    gs->owns_smask = 1;
}
