// Anti-aliasing scan converter: exact-area coverage accumulated per pixel
// cell (points in 1/64 pixel, cell borders crossed in 1/256 pixel), swept
// row by row into coverage spans under the nonzero or even-odd rule.
#pragma once
#include <cstdint>

#include "render/path.h"

struct RasterCell {
    int x;      // pixel column
    int cover;  // signed sum of vertical extents crossed in the cell (1/256 px)
    int area;   // signed sum of (fx1 + fx2) * dy of the pieces in the cell
    int next;   // next cell of the same row, -1 = end
};

struct Rasterizer {
    int x0, y0, x1, y1;     // bounds, x1 and y1 exclusive
    int rows;               // y1 - y0, 0 when the bounds are empty
    int row_capacity;
    int *row_heads;         // first cell of each row (lists unordered), -1 = none
    RasterCell *cells;      // cell pool, reused across fills
    int cell_capacity;
    int cell_count;
    int cell_limit;         // cells the pool may grow to (RASTER_MAX_CELLS; tests lower it)
    int cell_x, cell_y;     // current cell
    int cover, area;        // accumulated in the current cell
    int cell_valid;
    int error;              // RasterStop: why adding edges stopped, 0 = it did not
    long long steps;        // cells walked since the reset
    long long step_limit;   // bound on steps, RASTER_MAX_STEPS after a reset
    long long fill_budget;  // steps the drawn pieces of one raster_fill may take
                            // (RASTER_MAX_STEPS; tests lower it)
    int resume_row;         // after a failed sweep: the first row not emitted
    int band_origin;        // edges arrive in page rows; row 0 of the bounds is this page row
};

enum RasterStop { RASTER_STOP_POOL = 1, RASTER_STOP_STEPS = 2 };

enum RasterFillRule { RASTER_NONZERO = 0, RASTER_EVEN_ODD = 1 };

// Receives one run of at most RASTER_SPAN_MAX pixels of row y starting at x;
// coverage holds one byte per pixel and is valid only during the call.
using RasterSpanFn = void (*)(void *user, int y, int x, int length, const uint8_t *coverage);

Rasterizer *raster_create();
void raster_free(Rasterizer *r);
// Empties the rasterizer and sets its bounds. Bounds beyond +-RASTER_MAX_BOUND
// or an empty box leave it with no rows (everything added is ignored).
// Returns 0, or -3 when the row array cannot be allocated.
int raster_reset(Rasterizer *r, int x0, int y0, int x1, int y1);
// Adds every subpath with at least 2 points as a closed polygon.
void raster_add_path(Rasterizer *r, const Path *path);
// Adds one edge (device pixels). NaN ends drop the edge.
void raster_add_line(Rasterizer *r, double x1, double y1, double x2, double y2);
// Emits the coverage of everything added, row by row from the top, spans
// in ascending x and clipped to the bounds. 0; or -3 when the cell pool
// overflowed or the step budget ran out (nothing emitted), or when a row
// could not be sorted for want of memory (rows above resume_row emitted).
int raster_sweep(Rasterizer *r, int fill_rule, RasterSpanFn fn, void *user);

// What raster_fill had to leave out.
enum RasterLost {
    RASTER_LOST_ROWS = 1,    // a single row needed more cells than the pool holds
    RASTER_LOST_BUDGET = 2,  // the fill's step budget ran out; the rows below were left out
};

// Scan-converts `path` within the bounds and emits its coverage as
// raster_sweep does. When the cells of the box do not fit in the pool, its
// rows are halved and each half is converted on its own, top half first,
// down to single rows; the coverage of a row does not depend on the bounds,
// so the pieces give the bytes of one pass. Returns 0 when everything was
// emitted, else a combination of RasterLost.
int raster_fill(Rasterizer *r, const Path *path, int x0, int y0, int x1, int y1, int fill_rule,
                RasterSpanFn fn, void *user);
