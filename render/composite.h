// Compositing of coverage spans of one colour onto a raster: the single
// operation through which fills, strokes, images and glyphs reach the page.
#pragma once
#include <cstdint>

#include "bitmap/bitmap.h"

// Anti-aliasing of painted coverage (the SmoothText setting); on by default.
// Off: coverage below 128 paints nothing, 128 and above paints fully.
void composite_set_antialias(bool on);
bool composite_antialias();
// The surface of the knockout group being drawn (null: none); returns the
// previous one. Paints on it replace what they cover instead of covering it.
const PageBitmap *composite_set_knockout(const PageBitmap *surface);

// Composites `length` pixels of row y from column x with per-pixel coverage.
// clip_row and smask_row point at the clip-mask and soft-mask bytes of the
// run's first pixel, or are null; alpha 0..255 is the constant opacity. The
// run is cut to the raster (advancing the three byte pointers alike), and a
// surface with an alpha plane is composited as a transparency group. The
// dirty row range grows to include y. `colors`, when given, holds one colour
// per pixel (blue, green, red, as the raster stores them) in place of r, g, b:
// sampled images paint through the same operation.
void composite_span(PageBitmap *surface, int y, int x, int length, const uint8_t *coverage,
                    const uint8_t *clip_row, const uint8_t *smask_row, int alpha, int blend_mode,
                    int r, int g, int b, const uint8_t *colors = nullptr);

// (a * m + 127) / 255: how two coverage or mask bytes combine.
inline int mask_multiply(int a, int m) { return (a * m + 127) / 255; }
