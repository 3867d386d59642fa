// Graphics-state stack and the 2-D affine matrix helpers the interpreter,
// the page driver and the annotation code share.
#include "render/gstate.h"

#include <cmath>
#include <cstring>

#include "pdf/arena.h"
#include "render/clip.h"
#include "render/interp.h"
#include "render/softmask.h"

void gstate_init(GraphicsState *gs, const float ctm[6], int width, int height)
{
    gs_init(gs, nullptr);
    std::memcpy(gs->ctm, ctm, sizeof gs->ctm);
    gs->clip_x1 = width;
    gs->clip_y1 = height;
}

GraphicsState *gstate_push(Arena *arena, GraphicsState *gs)
{
    auto *copy = static_cast<GraphicsState *>(arena_alloc(arena, sizeof(GraphicsState)));
    if (!copy)
        return nullptr;
    *copy = *gs;
    copy->saved = gs;
    copy->owns_clip = 0;
    copy->owns_smask = 0;
    return copy;
}

GraphicsState *gstate_save(RenderContext *ctx)
{
    GraphicsState *gs = ctx->gs_free;
    if (gs) {
        ctx->gs_free = gs->saved;
        *gs = *ctx->gs;
        gs->saved = ctx->gs;
        gs->owns_clip = 0;
        gs->owns_smask = 0;
    } else if (!(gs = gstate_push(ctx->arena, ctx->gs))) {
        add_diagnostic(ctx, "render-arena");
        return nullptr;
    }
    ctx->gs = gs;
    return gs;
}

void gstate_restore(RenderContext *ctx, GraphicsState *to)
{
    while (ctx->gs && ctx->gs != to) {
        GraphicsState *top = ctx->gs;
        clip_release_state(ctx, top);
        softmask_release_state(ctx, top);
        ctx->gs = top->saved;
        top->saved = ctx->gs_free;
        ctx->gs_free = top;
    }
    ctx->gs = to;
}

void matrix_concat(float out[6], const float m[6], const float n[6])
{
    float r[6];
    r[0] = m[0] * n[0] + m[1] * n[2];
    r[1] = m[0] * n[1] + m[1] * n[3];
    r[2] = m[2] * n[0] + m[3] * n[2];
    r[3] = m[2] * n[1] + m[3] * n[3];
    r[4] = m[4] * n[0] + m[5] * n[2] + n[4];
    r[5] = m[4] * n[1] + m[5] * n[3] + n[5];
    std::memcpy(out, r, sizeof r);
}

bool matrix_invert(const float m[6], double inv[6])
{
    double det = double(m[0]) * m[3] - double(m[1]) * m[2];
    if (!(std::fabs(det) >= 1e-12) || !std::isfinite(det))
        return false;
    inv[0] = m[3] / det, inv[1] = -m[1] / det, inv[2] = -m[2] / det, inv[3] = m[0] / det;
    inv[4] = (double(m[2]) * m[5] - double(m[3]) * m[4]) / det;
    inv[5] = (double(m[1]) * m[4] - double(m[0]) * m[5]) / det;
    return true;
}

void matrix_identity(float m[6])
{
    m[0] = 1, m[1] = 0, m[2] = 0, m[3] = 1, m[4] = 0, m[5] = 0;
}
