// Annotation appearances: the normal appearance stream of each visible
// annotation, mapped from its bounding box onto the annotation rectangle and
// clipped to that box (PDF Reference 1.7, sections 8.4.1-8.4.4).
#include <algorithm>
#include <cstring>

#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "render/clip.h"
#include "render/gstate.h"
#include "render/interp.h"
#include "render/page.h"

namespace {

constexpr int ANNOT_HIDDEN = 2;    // F bit 2: never shown
constexpr int ANNOT_NO_VIEW = 32;  // F bit 6: not shown on screen

bool read_numbers(PdfDoc *doc, PdfObject *arr, int n, float *out)
{
    arr = pdf_resolve(doc, arr);
    if (!pdf_is_type(arr, PDF_ARRAY) || pdf_array_len(arr) != n)
        return false;
    for (int i = 0; i < n; i++) {
        PdfObject *v = pdf_resolve(doc, pdf_array_get(arr, i));
        if (!pdf_is_type(v, PDF_INT) && !pdf_is_type(v, PDF_REAL))
            return false;
        out[i] = float(pdf_to_number(v, 0));
    }
    return true;
}

// The stream to draw: AP /N directly, or the entry AS names in it.
PdfObject *normal_appearance(PdfDoc *doc, PdfObject *annot)
{
    PdfObject *n = pdf_dict_get_resolved(doc, pdf_dict_get_resolved(doc, annot, "AP"), "N");
    if (pdf_is_type(n, PDF_DICT)) {
        PdfObject *as = pdf_dict_get_resolved(doc, annot, "AS");
        if (!pdf_is_type(as, PDF_NAME))
            return nullptr;
        n = pdf_dict_get_resolved(doc, n, as->name);
    }
    return pdf_is_type(n, PDF_STREAM) ? n : nullptr;
}

// The matrix A that maps the transformed box onto the rectangle.
void fit_box(const float rect[4], const float bbox[4], const float mat[6], float a[6])
{
    float bx0 = 0, by0 = 0, bx1 = 0, by1 = 0;
    for (int i = 0; i < 4; i++) {
        float x, y;
        matrix_apply(mat, bbox[(i & 1) ? 2 : 0], bbox[(i & 2) ? 3 : 1], &x, &y);
        bx0 = i ? std::min(bx0, x) : x;
        by0 = i ? std::min(by0, y) : y;
        bx1 = i ? std::max(bx1, x) : x;
        by1 = i ? std::max(by1, y) : y;
    }
    float sx = bx1 > bx0 ? (rect[2] - rect[0]) / (bx1 - bx0) : 1.0f;
    float sy = by1 > by0 ? (rect[3] - rect[1]) / (by1 - by0) : 1.0f;
    const float t[6] = {sx, 0, 0, sy, rect[0] - bx0 * sx, rect[1] - by0 * sy};
    std::memcpy(a, t, sizeof t);
}

}  // namespace

void draw_annotation(RenderContext *ctx, PdfObject *annot, const float device_matrix[6])
{
    PdfDoc *doc = ctx->doc;
    PdfObject *subtype = pdf_dict_get_resolved(doc, annot, "Subtype");
    if (pdf_is_name(subtype, "Link") || pdf_is_name(subtype, "Popup"))
        return;
    PdfObject *flags = pdf_dict_get_resolved(doc, annot, "F");
    if (pdf_is_type(flags, PDF_INT) && (flags->integer & (ANNOT_HIDDEN | ANNOT_NO_VIEW)))
        return;
    PdfObject *ap = normal_appearance(doc, annot);
    float rect[4], bbox[4];
    if (!ap || !read_numbers(doc, pdf_dict_get(annot, "Rect"), 4, rect) ||
        !read_numbers(doc, pdf_dict_get(ap, "BBox"), 4, bbox))
        return;
    if (rect[0] > rect[2])
        std::swap(rect[0], rect[2]);
    if (rect[1] > rect[3])
        std::swap(rect[1], rect[3]);
    float mat[6] = {1, 0, 0, 1, 0, 0};
    if (!read_numbers(doc, pdf_dict_get(ap, "Matrix"), 6, mat)) {
        // Missing entries of a six-element array read a = d = 1, others 0.
        PdfObject *arr = pdf_dict_get_resolved(doc, ap, "Matrix");
        if (pdf_is_type(arr, PDF_ARRAY) && pdf_array_len(arr) == 6)
            for (int i = 0; i < 6; i++)
                mat[i] = float(pdf_to_number(pdf_resolve(doc, pdf_array_get(arr, i)),
                                             (i == 0 || i == 3) ? 1.0 : 0.0));
        else
            matrix_identity(mat);
    }
    float a[6];
    fit_box(rect, bbox, mat, a);

    GraphicsState *saved_gs = ctx->gs;
    PdfObject *saved_resources = ctx->resources;
    GraphicsState *gs = gstate_save(ctx);
    if (!gs)
        return;
    float ctm[6];
    matrix_concat(ctm, mat, a);
    matrix_concat(gs->ctm, ctm, device_matrix);
    gs->clip_mask = nullptr;  // shared with the page's state, not owned: just dropped here
    gs->clip_x0 = gs->clip_y0 = 0;
    gs->clip_x1 = ctx->surface->width;
    gs->clip_y1 = ctx->surface->height;
    // The appearance shows only what lies inside its BBox (mapped by Matrix
    // and the placement like the content), as a form does.
    clip_to_box(ctx, bbox);
    if (PdfObject *res = pdf_dict_get_resolved(doc, ap, "Resources"))
        ctx->resources = res;
    run_nested(ctx, ap, nullptr, 0);
    ctx->resources = saved_resources;
    gstate_restore(ctx, saved_gs);
}

void draw_annotations(RenderContext *ctx, PdfObject *page, const float device_matrix[6])
{
    PdfObject *annots = pdf_dict_get_resolved(ctx->doc, page, "Annots");
    int n = pdf_array_len(annots);
    for (int i = 0; i < n && !ctx->aborted; i++) {
        PdfObject *annot = pdf_resolve(ctx->doc, pdf_array_get(annots, i));
        if (pdf_is_type(annot, PDF_DICT))
            draw_annotation(ctx, annot, device_matrix);
    }
}
