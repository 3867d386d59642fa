// The glyph layer shared by every document kind: a FreeType glyph of a face
// rendered under a 2x2 device matrix into 8-bit coverage with its placement,
// through one process-wide cache of glyphs scaled along the axes, and glyph
// outlines for text used as a clip. Nothing here knows PDF: the text, RTF and EPS readers
// call it as the PDF glyph loop does.
#pragma once
#include <cstddef>
#include <cstdint>

#include <ft2build.h>
#include FT_FREETYPE_H

constexpr int GLYPH_CACHE_SLOTS = 8192;  // one entry per slot
constexpr int GLYPH_CACHE_WAYS = 4;  // slots a glyph may take; the least recently used gives way
constexpr int GLYPH_CACHE_MAX_SIDE = 72;  // larger bitmaps are drawn but not cached
constexpr size_t GLYPH_CACHE_MAX_BYTES = 16u << 20;  // coverage held at most; beyond, nothing is stored
constexpr float GLYPH_MIN_SCALE = 0.05f;  // pixels per em below which nothing is rendered
constexpr float GLYPH_MAX_SCALE = 4000.0f;  // and above which
constexpr double GLYPH_MAX_EM_AREA = 16777216.0;  // device pixels of the em square's box (a
                                                  // sheared em may span far more than its area)

struct GlyphBitmap {
    const uint8_t *buffer;  // coverage, 0 none .. 255 full, rows top to bottom
    int width, rows;
    int pitch;              // bytes from one row to the next (never negative)
    int left;               // pixels from the pen to the bitmap's left column
    int top;                // pixels from the pen up to the bitmap's top row
    float advance;          // horizontal advance in pixels
};

// Renders glyph `glyph` of `face` under the linear map of a 1-em glyph to
// device pixels: x' = a x + c y, y' = b x + d y, device y growing downwards.
// 0, or -4 (no face, glyph 0), -5 (pixels per em outside 0.05..4000 or not
// a number), -7 (FreeType failed or gave no 8-bit bitmap). The buffer stays
// valid until the next glyph is loaded into the face. An em whose device box
// (|a| + |c| by |b| + |d|) exceeds GLYPH_MAX_EM_AREA pixels also gives -5:
// its bitmap could take gigabytes. Glyphs scaled along the axes (no
// rotation or shear), blank or up to 72 pixels a side, are kept in the
// cache and then cost no FreeType call; a blank one comes back with a null
// buffer.
int ft_render_glyph(FT_Face face, uint32_t glyph, float a, float b, float c, float d,
                    GlyphBitmap *out);
// The same with the pen at a fraction of a pixel (0 <= frac < 1 each, device
// axes) from the whole pixel the bitmap is placed against. Such glyphs
// whose fractions are a whole number of quarters across and 0 down are
// cached, one entry per quarter; others are not.
int ft_render_glyph_at(FT_Face face, uint32_t glyph, float a, float b, float c, float d,
                       float frac_x, float frac_y, GlyphBitmap *out);

// Empties the slots of `face` (called before the face is released, so that
// a face later made at the same address never finds them).
void glyph_cache_purge(FT_Face face);
// Empties every slot.
void glyph_cache_clear();

// How glyphs are rendered and placed, for the whole process.
enum GlyphPlacement {
    GLYPH_HINTED_WHOLE = 0,      // FreeType's default hinting, pens rounded to whole pixels
    GLYPH_UNHINTED_EXACT = 1,    // no hinting, pens at their exact position (never cached)
    GLYPH_UNHINTED_QUARTER = 2,  // no hinting, pens at quarter pixels across, whole rows down:
                                 // the default, measurably closer to other renderers
};
// Changing the placement empties the cache.
void glyph_set_placement(int placement);
int glyph_placement();
// Splits a device pen coordinate into the whole pixel the bitmap is placed
// against and the fraction handed to ft_render_glyph_at, as the placement
// asks (`across`: the x axis).
int glyph_pen_pixel(float v, bool across, float *fraction);

// Cache counters since start (for measurements and tests).
struct GlyphCacheStats {
    long long hits;    // glyphs answered from the cache
    long long stores;  // glyphs copied into the cache
};
GlyphCacheStats glyph_cache_stats();
// Slots that hold glyphs of `face` (the face is compared, never used).
int glyph_cache_count(FT_Face face);

// The outline of a glyph in em units (y up), as move / line / cubic
// segments handed to the callbacks; conic segments are raised to cubics.
// False when the face has no outline for the glyph.
struct GlyphOutlineSink {
    void (*move_to)(void *user, float x, float y);
    void (*line_to)(void *user, float x, float y);
    void (*cubic_to)(void *user, float x1, float y1, float x2, float y2, float x3, float y3);
    void *user;
};
bool ft_glyph_outline(FT_Face face, uint32_t glyph, const GlyphOutlineSink *sink);
