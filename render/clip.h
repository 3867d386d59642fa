// Clipping: an axis-aligned rectangle only shrinks the integer clip
// rectangle; any other path becomes a coverage plane multiplied into the
// current clip mask.
#pragma once
#include "render/context.h"

// Intersects the current clip with `path` under the given rule. The old
// mask plane stays in the arena for the saved graphics states. A plane that
// cannot be allocated or rasterised leaves the clip as it was.
void clip_path(RenderContext *ctx, const Path *path, int even_odd);
