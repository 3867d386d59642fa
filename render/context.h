// The state of one page render as far as painting needs it: the graphics
// state with its clip and stroke parameters, and the render context that
// carries the surface, the rasterizer, the arena and the current path. The
// content interpreter extends both records with its own fields.
#pragma once
#include <cstdint>

#include "bitmap/bitmap.h"
#include "pdf/arena.h"
#include "render/path.h"
#include "render/rasterizer.h"

struct ColorSpace;
struct PdfDoc;
struct PdfFont;
struct PdfObject;

constexpr int GS_MAX_DASH = 8;  // dash lengths kept in a graphics state

// A clip mask: coverage (255 = inside) over a box of surface pixels; every
// pixel outside the box is outside the clip. Planes are allocated one by one
// and linked into their render context, which frees what is left at the end.
struct ClipPlane {
    ClipPlane *prev, *next;  // the context's live planes
    int x0, y0, x1, y1;      // box in surface pixels, x1 and y1 exclusive
    size_t bytes;            // size of the allocation, counted against CLIP_PLANE_BYTES
    uint8_t *data;           // (x1 - x0) x (y1 - y0) bytes, row by row
    // Mask bytes of row y from column x (inside the box).
    const uint8_t *at(int x, int y) const
    {
        return data + size_t(y - y0) * size_t(x1 - x0) + size_t(x - x0);
    }
};

struct GraphicsState {
    float ctm[6];                   // a b c d e f: x' = a x + c y + e, y' = b x + d y + f
    float fill_rgb[3];              // 0..1
    float stroke_rgb[3];
    int fill_ncomps, stroke_ncomps;
    ColorSpace *fill_cs, *stroke_cs;  // null: device spaces
    PdfObject *fill_pattern, *stroke_pattern;  // the pattern of a Pattern colour space, or null
    float line_width;               // user space
    int line_cap;                   // 0 butt, 1 round, 2 square
    int line_join;                  // 0 miter, 1 round, 2 bevel
    float miter_limit;
    float dash[GS_MAX_DASH];        // user space
    int dash_count;                 // 0 = solid
    float dash_phase;
    float fill_alpha, stroke_alpha;
    int blend_mode;                 // BlendMode
    uint8_t *soft_mask;             // width x height plane of the surface, or null
    ClipPlane *smask_plane;         // the plane soft_mask points into. Saved states share it;
    int owns_smask;                 // 1: this state made it and frees it when replaced or ended
    ClipPlane *clip_mask;           // null = none. Saved states share their parent's plane;
    int owns_clip;                  // 1: this state made its plane and frees it when it ends
    int clip_x0, clip_y0, clip_x1, clip_y1;  // clip rectangle, x1 and y1 exclusive
    GraphicsState *saved;           // the state below on the stack
};

struct RenderContext {
    PdfDoc *doc;
    Arena *arena;             // render arena: saved states, decoded streams
    Arena *paint_arena;       // the current path and what one paint needs; renewed after
                              // paints once it has grown (null: paths use `arena`)
    ClipPlane *clip_planes;   // live clip planes, newest first
    size_t clip_bytes;        // their size
    PageBitmap *surface;      // current drawing surface
    Rasterizer *rasterizer;   // null in text-collection mode
    GraphicsState *gs;        // current graphics state
    Path path;                // current path, device pixels
    int pending_clip;         // 0 none, 1 nonzero (W), 2 even-odd (W*)
    int text_only;            // 1 in text-collection mode: nothing is painted
    // Interpreter state (render/interp.h).
    int band_top;             // page row of surface row 0. The CTM and every path are in
                              // page device space; painters subtract band_top from device y
                              // (exact in whole rows, so a band equals the page's rows).
    PdfObject *resources;     // current resource dictionary
    int depth;                // nesting of forms, groups, soft masks, appearances, glyphs
    void (*diag_fn)(void *user, const char *tag);
    void *diag_user;
    char diags[24][24];       // distinct diagnostic tags, each cut to 23 characters
    int diag_count;
    float text_line_matrix[6];  // Tlm
    float text_matrix[6];       // Tm
    PdfFont *font;            // null before Tf or when the font could not be loaded
    float font_size;
    float char_spacing, word_spacing;
    float horiz_scale;        // Tz / 100
    float leading;
    float rise;
    int render_mode;
    void *text_sink;          // text collector (text-collection mode only)
    float greek_px;           // greeking threshold in pixels, 0 = off
    int (*poll_fn)(void *user, PageBitmap *surface);
    void *poll_user;
    PageBitmap *poll_surface;
    int aborted;              // set when the poll callback asked to stop
    struct T3Cache {
        int num;              // object number of the glyph procedure stream
        uint8_t *data;        // decoded bytes in the render arena
        int length;
    } t3_cache[64];
    int t3_count;
    GraphicsState *gs_floor;  // Q does not pop below this state (the current stream's base)
    GraphicsState *gs_free;   // states popped by Q, reused by q (linked through `saved`)
    struct FunctionCache *fn_cache;  // parsed stream functions of this render (render/function.cpp)
    int pattern_depth;        // tiling pattern cells being drawn inside one another
    PdfObject *pattern_active[4];  // their patterns, outermost first (PATTERN_MAX_DEPTH)
    int pattern_cells;        // tiling cells drawn in this render
    struct PatternCache *pattern_cache;  // tiling cells drawn in this render (render/pattern.cpp)
    const struct PaintSource *paint_source;  // per-pixel colours of the paint under way, or null
    float base_ctm[6];        // CTM at the start of the current content stream: pattern space
    Arena *text_clip_arena;   // outlines of glyphs shown in a clip mode since BT (null: none)
    Path text_clip;           // those outlines, device pixels
    int nested_glyph_runs;    // Type 3 glyphs run inside glyph procedures so far
};

// Frees what a render context holds beside its render arena: the paint
// arena and the clip planes still live.
void render_context_release(RenderContext *ctx);

// The initial graphics state over a surface: identity CTM, black, width 1,
// miter limit 10, opaque, no masks, clip rectangle = the surface.
void gs_init(GraphicsState *gs, const PageBitmap *surface);
