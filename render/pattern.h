// Patterns as fill and stroke colours (PDF Reference 1.7, section 4.6):
// shading patterns paint their shading, tiling patterns repeat one cell
// rendered at device resolution. A paint with a pattern colour installs a
// per-pixel paint source that the fill code reads.
#pragma once
#include "render/fill.h"
#include "render/shading.h"

struct TileSource;

struct PatternPaint {
    PaintSource source;
    const PaintSource *previous;
    int kind;                 // 1 tiling, 2 shading
    ShadeSource shade;
    TileSource *tile;
};

// Looks `name` up in the current resources' Pattern dictionary; null when absent.
PdfObject *pattern_lookup(RenderContext *ctx, PdfObject *name);
// Fills `path` with the fill pattern. False when the fill colour is not a
// drawable pattern: the caller then fills with the plain colour.
bool pattern_fill(RenderContext *ctx, const Path *path, int even_odd);
// When the fill (or stroke) colour is a pattern that can be drawn as a
// paint source, installs it for paints over the surface pixels `box` and
// returns true; pattern_end must follow.
bool pattern_begin(RenderContext *ctx, bool stroke, const int box[4], PatternPaint *pp);
// pattern_begin for a stroke of the current path with the stroke pattern.
bool pattern_stroke_begin(RenderContext *ctx, PatternPaint *pp);
void pattern_end(RenderContext *ctx, PatternPaint *pp);
// Frees the cached tiling cells (the end of a render).
void pattern_release(RenderContext *ctx);
