// Fixed limits of the path and raster code. Each bounds what a hostile page
// can make one fill, stroke or clip cost in memory or time.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int PATH_FIRST_SUBPATHS = 8;          // first subpath array; doubles
constexpr int PATH_FIRST_FLOATS = 32;           // first point array of a subpath, in floats; doubles
constexpr int PATH_MAX_POINTS = 1 << 23;        // points of one path (64 MiB of floats)
constexpr int PATH_FLATTEN_DEPTH = 16;          // curve subdivision depth (65536 pieces at most)
constexpr int PATH_CURVE_MARGIN = 1 << 18;      // pixels around the surface where curves keep their shape
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
constexpr int CS_MAX_DEPTH = 16;                // nested colour-space parses (names, bases, alternates); deeper reads RGB
constexpr int CS_MAX_COMPONENTS = 32;           // components of one colour value; a DeviceN with more names uses its alternate
constexpr int CS_MAX_LOOKUP_BYTES = 8;          // bytes of one Indexed entry converted through its base
constexpr int IMAGE_MAX_SIDE = 20000;           // width and height of a sampled image
constexpr int64_t IMAGE_MAX_OUTPUT = 25165824;  // bytes of one decoded image (pixels x 3, masks x 4)
constexpr int IMAGE_LARGE_PIXELS = 65536;       // pixels above which ShowLargeImages off draws the placeholder
constexpr int IMAGE_POLL_ROWS = 64;             // source rows decoded between two progress callbacks
constexpr int IMAGE_PAINT_POLL_ROWS = 16;       // device rows painted between two progress callbacks
constexpr int INLINE_FIRST_BUFFER = 4096;       // first buffer for filtered inline data; doubles
constexpr int BLEND_MAX_NAMES = 16;             // names of a BM array looked at for a known mode
constexpr int GROUP_SCAN_DICTS = 256;           // resource dictionaries looked at for blend modes before a page renders
constexpr int GROUP_SCAN_ENTRIES = 4096;        // their XObject, Pattern and Font entries looked at
constexpr int FN_MAX_INPUTS = 8;                // inputs of a function; a longer Domain is cut
constexpr int FN_MAX_OUTPUTS = 32;              // outputs of a function; a longer Range is cut
constexpr int FN_MAX_DEPTH = 16;                // nested stitching functions; deeper gives no function
constexpr int FN_MAX_NODES = 1024;              // functions parsed for one top-level function (shared ones count once)
constexpr int FN_MAX_STITCH = 256;              // sub-functions of one stitching function
constexpr int64_t FN_MAX_SAMPLE_BYTES = 64 << 20;  // sample data a sampled function may claim
constexpr int FN_CALC_STACK = 128;              // operand stack of a calculator function
constexpr int FN_CALC_DEPTH = 64;               // nested braces of a calculator program; deeper blocks do nothing
constexpr int FN_CALC_MAX_OPS = 16384;          // compiled operations of one calculator program; the rest is dropped
constexpr int FN_CACHE_SLOTS = 32;              // parsed functions remembered per render (by object)
constexpr int64_t SHADING_MESH_MAX_PIXELS = 1 << 25;  // pixels of the buffer one mesh is drawn into
constexpr int64_t SHADING_MESH_MAX_WORK = 1LL << 28;  // pixels written while drawing one mesh; the rest is left out
constexpr int SHADING_PATCH_GRID = 32;          // a patch is cut into at most this many steps along u and v
constexpr int SHADING_MESH_MAX_ROW = 1 << 16;   // vertices per row of a lattice mesh
constexpr int PATTERN_MAX_DEPTH = 4;            // tiling cells drawn inside one another
constexpr int PATTERN_MAX_CELLS = 4096;         // tiling cells drawn in one render; later fills use the plain colour
constexpr int64_t PATTERN_MIN_CELL_PIXELS = 1 << 20;  // a cell up to this size (or the surface's) is kept as a raster
constexpr int PATTERN_MAX_OVERLAP = 4;          // overlapping copies of a cell read per axis for one pixel
constexpr int PATTERN_MAX_DIRECT_CELLS = 64;    // steps of a cell too big to keep that one fill draws directly
constexpr int SHADING_FUNCTION_GRID = 64;       // steps per axis at which a function-based shading's function is sampled
constexpr int PATTERN_CACHE_CELLS = 16;         // tiling cells kept per render for later paints
constexpr size_t PATTERN_CACHE_BYTES = 64u << 20;  // their size; the least recently used go first
