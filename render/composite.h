// Compositing of coverage spans of one colour onto a raster: the single
// operation through which fills, strokes, images and glyphs reach the page.
#pragma once
#include <cstdint>

#include "bitmap/bitmap.h"

// Anti-aliasing of painted coverage (the SmoothText setting); on by default.
// Off: coverage below 128 paints nothing, 128 and above paints fully.
void composite_set_antialias(bool on);
bool composite_antialias();
// The knockout group being drawn: paints on its surface replace what they
// cover instead of covering it. For a non-isolated group `backdrop` is the
// surface below (its pixel (left, top) lies under group pixel (0, 0)), with
// which paints of a blend mode other than Normal blend; null for an
// isolated one, whose paints blend with nothing.
struct KnockoutGroup {
    const PageBitmap *surface;  // null: none
    const PageBitmap *backdrop;
    int top, left;
};
// Sets the knockout group (all null: none) and returns the previous one.
KnockoutGroup composite_set_knockout(const KnockoutGroup &group);

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

// composite_span over `rows` rows of coverage `pitch` bytes apart (a glyph),
// the first at row y, without clip or soft mask: the rows are cut to the
// raster once rather than one by one.
void composite_rows(PageBitmap *surface, int y, int x, int length, int rows, const uint8_t *coverage,
                    int pitch, int alpha, int blend_mode, int r, int g, int b);

// (a * m + 127) / 255: how two coverage or mask bytes combine.
inline int mask_multiply(int a, int m) { return (a * m + 127) / 255; }
