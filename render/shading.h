// Smooth shadings (PDF Reference 1.7, section 4.6.3): parsing a shading
// dictionary, computing the colour of device pixels for function-based,
// axial and radial shadings and for meshes (shading_mesh.cpp), and painting
// them for the `sh` operator. Shading patterns and pattern fills use the
// same per-row colour source.
#pragma once
#include <cstdint>

#include "render/context.h"
#include "render/function.h"

struct ColorSpace;

constexpr int SHADING_MAX_FUNCTIONS = 8;  // functions of a Function array used, one per component

struct Shading {
    int type;                       // ShadingType 1..7
    PdfObject *object;              // the dictionary or stream
    ColorSpace *cs;
    PdfFunction *fns[SHADING_MAX_FUNCTIONS];
    int nfns;
    float coords[6];
    int extend0, extend1;
    float t0, t1;                   // Domain of axial and radial shadings
    float domain[4];                // type 1: Domain
    float matrix[6];                // type 1: Matrix
    uint8_t table[256][3];          // colour of t0 + (t1 - t0) * i / 255, RGB
    int has_bbox;
    float bbox[4];                  // x0 y0 x1 y1 in shading space
    int has_background;
    uint8_t background[3];
};

// A shading placed on the surface: the colour of each device pixel, read
// row by row. Meshes are drawn once into a buffer over `box` first.
struct ShadeSource {
    const Shading *sh;
    RenderContext *ctx;
    double inv[6];                  // device space to shading space
    int use_background;             // shading patterns fill uncovered pixels with Background
    double domain_inv[6];           // type 1: shading space to the function's domain (Matrix inverted)
    float *grid;                    // type 1: RGB 0..255 at (SHADING_FUNCTION_GRID + 1)^2 domain points; malloc'd
    double axial[3];                // axial: s = a0 x + a1 y + a2 at device pixel centre (x, y)
    // Meshes: colours and coverage over the box (surface pixels).
    int bx0, by0, bx1, by1;
    uint8_t *mesh_rgb;              // (bx1 - bx0) x (by1 - by0) x 3, red first; malloc'd
    uint8_t *mesh_cov;
};

// The shading's colour components at parameter t (Function of t or the
// components themselves) converted to 0..255 RGB.
void shading_color_at(const Shading *sh, const float *comps, int count, uint8_t rgb[3]);
// Parses a shading dictionary or stream; null for anything unusable.
Shading *shading_parse(RenderContext *ctx, PdfObject *object);
// Prepares `src` for painting the shading mapped to device space by `m`
// over the surface pixels `box` (x0 y0 x1 y1, exclusive ends). False when
// m is not invertible or a mesh cannot be drawn.
bool shade_source_init(ShadeSource *src, RenderContext *ctx, const Shading *sh, const float m[6],
                       const int box[4], int use_background);
void shade_source_release(ShadeSource *src);
// Colours of surface row y, columns x .. x + length - 1, into rgb (blue,
// green, red per pixel, as the raster stores them); coverage bytes of
// pixels the shading does not reach are set to 0.
void shade_row(const ShadeSource *src, int y, int x, int length, uint8_t *bgr, uint8_t *coverage);

// `sh`: paints the shading over the clip with the current CTM. 0, or -2
// when it cannot be parsed or the CTM is not invertible.
int paint_shading(RenderContext *ctx, PdfObject *shading);

// Meshes (shading_mesh.cpp): draws types 4 to 7 into src's buffer.
// False when the data hold nothing drawable.
bool mesh_draw(ShadeSource *src, const float m[6]);
