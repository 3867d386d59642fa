// Clipping: an axis-aligned rectangle only shrinks the integer clip
// rectangle; any other path becomes a coverage plane over the path's box,
// multiplied with the current plane. A plane belongs to the graphics state
// that made it; the states saved above it share it, and it is freed when
// that state ends (Q, the end of a form) or is clipped again.
#pragma once
#include "render/context.h"

// Intersects the current clip with `path` under the given rule. When the
// plane cannot be had (memory, or CLIP_PLANE_BYTES of live planes), the clip
// rectangle shrinks to the path's box instead and "clip-plane-memory" is
// recorded; rows the rasterizer had to leave out are recorded too.
void clip_path(RenderContext *ctx, const Path *path, int even_odd);
// Frees the plane `gs` made, if any, and leaves it without a mask plane.
void clip_release_state(RenderContext *ctx, GraphicsState *gs);
// Frees every plane still live in the context (the end of a render).
void clip_release_all(RenderContext *ctx);
// The pixels a paint of `path` can reach: the box of every pixel it
// touches within the clip rectangle, the clip plane's box and the surface
// (x0, y0, x1, y1 in surface pixels, exclusive ends). False when that is
// empty or the path has no points.
bool paint_box(const RenderContext *ctx, const Path *path, int box[4]);
// Records the diagnostics for what raster_fill reported as left out.
void note_raster_loss(RenderContext *ctx, int lost);
