// Colour spaces of colour operators and shadings: parsing a colour-space
// object into a ColorSpace record and converting a colour value to RGB.
#pragma once
#include <cstdint>

struct PdfFunction;
struct PdfObject;
struct RenderContext;

enum ColorSpaceKind {
    CS_GRAY = 1,
    CS_RGB = 2,
    CS_CMYK = 3,
    CS_LAB = 4,
    CS_INDEXED = 5,
    CS_SEPARATION = 6,  // Separation and DeviceN
    CS_PATTERN = 7,     // the colour is a pattern; base: the space of an uncoloured pattern's colour
};

// A colour-space record from the render arena (zero-filled), or one of the
// shared read-only device records.
struct ColorSpace {
    int kind;             // ColorSpaceKind
    int ncomps;           // components of a colour value, 1..CS_MAX_COMPONENTS
    int hival;            // Indexed: highest index, 0..255
    uint8_t *lookup;      // Indexed: base ncomps x (hival + 1) bytes, zero-filled, or null
    ColorSpace *base;     // Indexed: base space (null reads as RGB); Pattern: underlying space or null
    PdfFunction *tint_fn; // Separation/DeviceN: tint transform, or null
    ColorSpace *alternate;  // Separation/DeviceN: alternate space, or null
    float white_point[3]; // Lab: Xw, Yw, Zw
    float range[4];       // Lab: amin, amax, bmin, bmax
};

// Parses a colour-space object (a name, an array, or a name of the current
// resources' ColorSpace dictionary). Never fails: unknown or damaged input,
// and nesting deeper than CS_MAX_DEPTH, give device RGB. A null object gives
// device gray.
ColorSpace *colorspace_parse(RenderContext *ctx, PdfObject *object, int depth);
// Components of a colour value; 1 for a null space.
int colorspace_ncomps(const ColorSpace *cs);
// c holds at least colorspace_ncomps(cs) values (CS_MAX_COMPONENTS are
// always safe to pass). rgb gets 0..1 for every space but CMYK, which is
// not clamped. A null space gives black.
void colorspace_to_rgb(const ColorSpace *cs, const float *c, float rgb[3]);
// The shared device records.
ColorSpace *colorspace_device(int kind);
