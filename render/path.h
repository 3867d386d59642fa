// Device-space paths: subpaths of points in pixels, curves flattened to
// polylines as they are added. Every array lives in the path's arena.
#pragma once
#include "pdf/arena.h"

struct SubPath {
    float *points;  // x, y pairs
    int count;      // points
    int capacity;   // floats
    int closed;
};

struct Path {
    Arena *arena;
    SubPath *subpaths;
    int count;
    int capacity;
    float cur_x, cur_y;      // current point
    float start_x, start_y;  // start of the current subpath
    int open;                // 1 after a move-to: line-to and curve-to extend the last subpath
    int total_points;        // points of all subpaths, bounded by PATH_MAX_POINTS
};

void path_init(Path *path, Arena *arena);
// Forgets the subpaths (their arrays stay in the arena); keeps the current point.
void path_reset(Path *path);
// Each returns 0, or -3 when the arena or the point budget runs out; the path
// is then left as it was before the call.
int path_move_to(Path *path, float x, float y);
int path_line_to(Path *path, float x, float y);
// `keep`, when given, is the device area x0 y0 x1 y1 where the curve can
// show: a piece of the curve whose control points all lie beyond one side
// of it is not subdivided, its chord standing in for it (the chord keeps
// the winding of every point inside, and neither is seen there).
int path_curve_to(Path *path, float x1, float y1, float x2, float y2, float x3, float y3,
                  const float *keep = nullptr);
int path_close(Path *path);
// Appends a closed subpath of n points with an array of exactly that size
// (the stroker adds millions of small polygons). 0 or -3.
int path_add_polygon(Path *path, const float *xy, int n);
// Appends the box (x0, y0, x1, y1) with its corners mapped by the matrix m
// (x' = m0 x + m2 y + m4, y' = m1 x + m3 y + m5) as a closed subpath. 0 or -3
// (the path is then left as it was).
int path_add_box(Path *path, const float m[6], const float box[4]);
// The box around every point (NaN points left out); false when there is none.
bool path_bounds(const Path *path, float *min_x, float *min_y, float *max_x, float *max_y);
// True when the path is one axis-aligned rectangle: one subpath of 4 points
// (or 5 with the last equal to the first), each at the minimum or maximum x
// and y, joined by horizontal and vertical edges. The extremes are returned.
bool path_is_rectangle(const Path *path, float *min_x, float *min_y, float *max_x, float *max_y);
