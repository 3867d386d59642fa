// Fixed limits of the path and raster code. Each bounds what a hostile page
// can make one fill, stroke or clip cost in memory or time.
#pragma once
#include <cstddef>

constexpr int PATH_FIRST_SUBPATHS = 8;          // first subpath array; doubles
constexpr int PATH_FIRST_FLOATS = 32;           // first point array of a subpath, in floats; doubles
constexpr int PATH_MAX_POINTS = 1 << 23;        // points of one path (64 MiB of floats)
constexpr int PATH_FLATTEN_DEPTH = 16;          // curve subdivision depth (65536 pieces at most)
constexpr double PATH_MAX_COORD = 1e12;         // coordinates are clamped to +-this before rasterising
constexpr int RASTER_FIRST_CELLS = 1024;        // first cell pool; doubles
constexpr int RASTER_MAX_CELLS = 1 << 20;       // cell pool (16 MiB); a fill needing more is done in row pieces
constexpr long long RASTER_MAX_STEPS = 1LL << 27;  // cells walked in the drawn pieces of one fill
constexpr int RASTER_MAX_BOUND = 1 << 17;       // |bounds| of a rasterizer, keeps fixed point in int
constexpr double RASTER_WALK_WINDOW = 1 << 20;  // |y| beyond which edge ends are clipped before walking
constexpr int RASTER_SPAN_MAX = 512;            // pixels per span handed to a span function
constexpr int STROKE_MAX_DASHES = 1 << 21;      // dashes and gaps of one stroke; beyond: -3
constexpr size_t CLIP_PLANE_BYTES = 256u << 20;  // live clip planes of one render; beyond: box clip
constexpr size_t PAINT_ARENA_RECYCLE = 256u << 10;  // paint arena renewed after a paint beyond this
constexpr float STROKE_MIN_WIDTH = 0.8f;        // a pen thinner than this (device px) is widened to it
