// Filling a device-space path onto the render context's surface.
#pragma once
#include <cstdint>

#include "render/context.h"

// Per-pixel colours in place of one colour (pattern fills and strokes): the
// colours of surface row y, columns x .. x + length - 1, as blue, green, red;
// the source may lower coverage bytes (0 where it paints nothing).
struct PaintSource {
    void (*row)(void *user, int y, int x, int length, uint8_t *bgr, uint8_t *coverage);
    void *user;
};

// Fills `path` with the nonzero rule (even_odd 0) or the even-odd rule, in
// colour rgb (0..1 each) at opacity alpha, through the graphics state's clip
// rectangle, clip mask, soft mask and blend mode. Nothing is painted in
// text-collection mode. A fill too big for the cell pool is done in row
// pieces; what the rasterizer still had to leave out is recorded as a
// diagnostic. While the context has a paint source, its colours stand in
// for rgb.
void fill_path(RenderContext *ctx, const Path *path, int even_odd, const float rgb[3], float alpha);

// trunc(v * 255 + 0.5) limited to 0..255 (NaN gives 0).
int color_byte(float v);
