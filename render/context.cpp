// The initial graphics state of a render.
#include "render/context.h"

#include <cstring>

#include "render/clip.h"
#include "render/pattern.h"

void render_context_release(RenderContext *ctx)
{
    arena_destroy(ctx->paint_arena);
    ctx->paint_arena = nullptr;
    arena_destroy(ctx->text_clip_arena);
    ctx->text_clip_arena = nullptr;
    path_init(&ctx->path, ctx->arena);
    clip_release_all(ctx);
    pattern_release(ctx);
}

void gs_init(GraphicsState *gs, const PageBitmap *surface)
{
    std::memset(gs, 0, sizeof *gs);
    gs->ctm[0] = gs->ctm[3] = 1;
    gs->fill_ncomps = gs->stroke_ncomps = 1;
    gs->line_width = 1;
    gs->miter_limit = 10;
    gs->fill_alpha = gs->stroke_alpha = 1;
    gs->clip_x1 = surface ? surface->width : 0;
    gs->clip_y1 = surface ? surface->height : 0;
}
