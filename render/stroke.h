// Strokes: the outline of a stroked path as a union of closed polygons
// (segment quadrilaterals, joins, caps, dashes), filled with the nonzero rule.
#pragma once
#include "render/context.h"
#include "render/path.h"

// Builds the outline of the device-space `path` stroked with the parameters
// of `gs` into `out` (which must be initialised; its arena also holds the
// temporaries). The line width and the dash pattern are in user space and
// follow the CTM, whatever its skew or aspect; a pen thinner than
// STROKE_MIN_WIDTH device pixels in some direction is widened to it there.
// 0, or -3 when memory or a limit runs out. A CTM or width that leaves no
// finite pen gives 0 and no outline.
int stroke_outline(const Path *path, const GraphicsState *gs, Path *out);

// Strokes the context's current path in the stroke colour and alpha; the
// current path is not changed. Nothing is painted when the outline fails.
void stroke_path(RenderContext *ctx);
