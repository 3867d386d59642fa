// XObjects: images, and nested content streams: form XObjects with their own
// matrix, bounding-box clip and resources, and Type 3 glyph procedures (PDF Reference 1.7,
// sections 4.9 and 5.5.4).
#include <cstring>

#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "render/interp.h"
#include "render/clip.h"
#include "render/fill.h"
#include "render/group.h"
#include "render/image.h"
#include "render/stroke.h"
#include "render/text.h"

bool form_read_matrix(PdfDoc *doc, PdfObject *obj, float m[6])
{
    obj = pdf_resolve(doc, obj);
    if (!pdf_is_type(obj, PDF_ARRAY) || pdf_array_len(obj) != 6)
        return false;
    for (int i = 0; i < 6; i++) {
        PdfObject *v = pdf_resolve(doc, pdf_array_get(obj, i));
        double d = pdf_to_number(v, (i == 0 || i == 3) ? 1.0 : 0.0);
        m[i] = float(d);
    }
    return true;
}

bool form_read_box(PdfDoc *doc, PdfObject *obj, float b[4])
{
    obj = pdf_resolve(doc, obj);
    if (!pdf_is_type(obj, PDF_ARRAY) || pdf_array_len(obj) != 4)
        return false;
    for (int i = 0; i < 4; i++) {
        PdfObject *v = pdf_resolve(doc, pdf_array_get(obj, i));
        if (!pdf_is_type(v, PDF_INT) && !pdf_is_type(v, PDF_REAL))
            return false;
        b[i] = float(pdf_to_number(v, 0));
    }
    return true;
}

namespace {

void draw_form(RenderContext *ctx, PdfObject *form)
{
    if (ctx->depth >= INTERP_FORM_DEPTH) {
        add_diagnostic(ctx, "form-depth");
        return;
    }
    PdfDoc *doc = ctx->doc;
    PdfObject *saved_resources = ctx->resources;
    GraphicsState *saved_gs = ctx->gs;
    GraphicsState *gs = gstate_save(ctx);
    if (!gs)
        return;
    form_enter(ctx, form);
    PdfObject *group = pdf_dict_get_resolved(doc, form, "Group");
    GroupFrame frame;
    GroupStart start = GROUP_DIRECT;
    if (group && pdf_is_name(pdf_dict_get_resolved(doc, group, "S"), "Transparency"))
        start = group_begin(ctx, group, &frame);
    if (start != GROUP_EMPTY)
        run_nested(ctx, form, nullptr, 0);
    if (start == GROUP_STARTED)
        group_end(ctx, &frame);
    ctx->resources = saved_resources;
    gstate_restore(ctx, saved_gs);
}

}  // namespace

void form_enter(RenderContext *ctx, PdfObject *form)
{
    PdfDoc *doc = ctx->doc;
    float m[6];
    if (form_read_matrix(doc, pdf_dict_get(form, "Matrix"), m))
        matrix_concat(ctx->gs->ctm, m, ctx->gs->ctm);
    float b[4];
    if (form_read_box(doc, pdf_dict_get(form, "BBox"), b))
        clip_to_box(ctx, b);
    if (PdfObject *res = pdf_dict_get_resolved(doc, form, "Resources"))
        ctx->resources = res;
}

// Clips to the box's corners mapped by the CTM (nonzero rule).
void clip_to_box(RenderContext *ctx, const float b[4])
{
    if (ctx->text_only)
        return;
    Path box;
    path_init(&box, ctx->paint_arena ? ctx->paint_arena : ctx->arena);
    if (path_add_box(&box, ctx->gs->ctm, b) == 0)
        clip_path(ctx, &box, 0);
}

// Runs a form (`stream`, read as it is decoded) or a glyph procedure
// (`data`) one level deeper. Its own path and pending clip start empty and
// do not leak out, nor do the text parameters it sets (a form's "0 TL"
// must not change the leading of the page's next T*).
void run_nested(RenderContext *ctx, PdfObject *stream, const uint8_t *data, int length)
{
    SavedTextState saved_text;
    text_state_save(ctx, &saved_text);
    Path saved_path = ctx->path;
    int saved_pending = ctx->pending_clip;
    Arena *outer_paint = paint_arena_begin(ctx);
    path_init(&ctx->path, ctx->paint_arena ? ctx->paint_arena : ctx->arena);
    ctx->pending_clip = 0;
    ctx->depth++;
    if (stream)
        run_contents(ctx, stream);
    else
        run_content(ctx, data, length);
    ctx->depth--;
    paint_arena_end(ctx, outer_paint);
    ctx->path = saved_path;
    ctx->pending_clip = saved_pending;
    text_state_restore(ctx, &saved_text);
}

void draw_xobject(OperandStack *st, PdfObject *name)
{
    RenderContext *ctx = st->ctx;
    if (!pdf_is_type(name, PDF_NAME))
        return;
    PdfDoc *doc = ctx->doc;
    PdfObject *xobjects = pdf_dict_get_resolved(doc, ctx->resources, "XObject");
    PdfObject *xobj = pdf_dict_get_resolved(doc, xobjects, name->name);
    if (!pdf_is_type(xobj, PDF_STREAM)) {
        add_diagnostic(ctx, "xobject-missing");
        return;
    }
    PdfObject *subtype = pdf_dict_get_resolved(doc, xobj, "Subtype");
    if (pdf_is_name(subtype, "Image")) {
        draw_image_xobject(ctx, xobj);
        return;
    }
    if (pdf_is_name(subtype, "Form")) {
        draw_form(ctx, xobj);
        return;
    }
    add_diagnostic(ctx, "xobject-subtype");
}

void run_glyph_procedure(RenderContext *ctx, PdfObject *proc, PdfObject *font_resources,
                         const float glyph_matrix[6])
{
    proc = pdf_resolve(ctx->doc, proc);
    if (!pdf_is_type(proc, PDF_STREAM) || ctx->depth >= INTERP_GLYPH_DEPTH)
        return;
    GraphicsState *saved_gs = ctx->gs;
    PdfObject *saved_resources = ctx->resources;
    GraphicsState *gs = gstate_save(ctx);
    if (!gs)
        return;
    std::memcpy(gs->ctm, glyph_matrix, sizeof gs->ctm);
    if (pdf_is_type(font_resources, PDF_DICT))
        ctx->resources = font_resources;
    uint8_t *data = nullptr;
    int length = 0;
    for (int i = 0; i < ctx->t3_count; i++)
        if (proc->num != 0 && ctx->t3_cache[i].num == proc->num) {
            data = ctx->t3_cache[i].data;
            length = ctx->t3_cache[i].length;
            break;
        }
    if (!data) {
        data = load_stream(ctx, proc, &length);
        if (data && proc->num != 0 && ctx->t3_count < INTERP_T3_CACHE)
            ctx->t3_cache[ctx->t3_count++] = {proc->num, data, length};
    }
    if (data && length > 0)
        run_nested(ctx, nullptr, data, length);
    ctx->resources = saved_resources;
    gstate_restore(ctx, saved_gs);
}
