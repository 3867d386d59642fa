// Graphics-state stack of the content interpreter (saved copies live in the
// render arena) and the affine matrix helpers shared by the interpreter, the
// page driver and the annotation code (PDF Reference 1.7, section 4.3).
#pragma once
#include <cstdint>

#include "render/context.h"

// Initial values with the given CTM and a clip box of width x height.
void gstate_init(GraphicsState *gs, const float ctm[6], int width, int height);
// A copy of gs from the arena linked to gs, or null when the arena is exhausted.
// The copy shares gs's clip plane without owning it.
GraphicsState *gstate_push(Arena *arena, GraphicsState *gs);
// q: makes a copy of the current state the current state, reusing a block a
// restore gave back when there is one. Null (state unchanged, "render-arena"
// recorded) when the render arena is exhausted.
GraphicsState *gstate_save(RenderContext *ctx);
// Q and the end of a form: pops the states above `to` (which must lie below
// the current state on its chain), freeing the clip planes they made, and
// keeps their blocks for reuse.
void gstate_restore(RenderContext *ctx, GraphicsState *to);

// out = m x n: m applied first, then n. out may alias either operand.
void matrix_concat(float out[6], const float m[6], const float n[6]);
void matrix_identity(float m[6]);
// The inverse of m in double precision; false when m is singular or not finite.
bool matrix_invert(const float m[6], double inv[6]);
inline void matrix_apply(const float m[6], float x, float y, float *ox, float *oy)
{
    *ox = m[0] * x + m[2] * y + m[4];
    *oy = m[1] * x + m[3] * y + m[5];
}
