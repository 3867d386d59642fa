// Strokes: the outline of a stroked path as a union of closed polygons
// (segment quadrilaterals, joins, caps, dashes), filled with the nonzero rule.
#pragma once
#include "render/context.h"
#include "render/path.h"

// Builds the outline of `path` stroked with the parameters of `gs` at the
// given width in device pixels into `out` (which must be initialised; its
// arena also holds the temporaries). Dash lengths and phase are scaled by
// the CTM like the width. 0, or -3 when memory or a limit runs out.
int stroke_outline(const Path *path, const GraphicsState *gs, float device_width, Path *out);

// Strokes the context's current path in the stroke colour and alpha; the
// current path is not changed. Nothing is painted when the outline fails.
void stroke_path(RenderContext *ctx);
