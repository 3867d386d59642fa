// Filling a device-space path onto the render context's surface.
#pragma once
#include "render/context.h"

// Fills `path` with the nonzero rule (even_odd 0) or the even-odd rule, in
// colour rgb (0..1 each) at opacity alpha, through the graphics state's clip
// rectangle, clip mask, soft mask and blend mode. Nothing is painted in
// text-collection mode. A fill too big for the cell pool is done in row
// pieces; what the rasterizer still had to leave out is recorded as a
// diagnostic.
void fill_path(RenderContext *ctx, const Path *path, int even_odd, const float rgb[3], float alpha);

// trunc(v * 255 + 0.5) limited to 0..255 (NaN gives 0).
int color_byte(float v);
