// PDF functions (PDF Reference 1.7, section 3.9): sampled (type 0),
// exponential (2), stitching (3) and PostScript calculator (4) functions,
// parsed from a dictionary or stream into the render arena and evaluated
// with their inputs clamped to Domain and outputs clamped to Range.
#pragma once
#include <cstdint>

#include "render/limits.h"

struct PdfObject;
struct RenderContext;
struct CalcOp;

struct PdfFunction {
    int type;                          // 0, 2, 3 or 4
    int m;                             // inputs, 1..FN_MAX_INPUTS
    int n;                             // outputs, 1..FN_MAX_OUTPUTS
    float domain[2 * FN_MAX_INPUTS];
    float range[2 * FN_MAX_OUTPUTS];
    int has_range;
    // Type 2.
    float c0[FN_MAX_OUTPUTS], c1[FN_MAX_OUTPUTS];
    float exponent;
    // Type 3: k sub-functions, k + 1 bounds (domain0, Bounds, domain1), 2k encode values.
    PdfFunction **functions;
    int k;
    float *bounds;
    float *stitch_encode;
    // Type 0.
    int size[FN_MAX_INPUTS];
    int bps;
    float encode[2 * FN_MAX_INPUTS];
    float decode[2 * FN_MAX_OUTPUTS];
    const uint8_t *samples;
    int64_t sample_length;
    // Type 4: the program compiled to operations (null when its braces do not balance).
    CalcOp *ops;
    int op_count;
};

// Parses a function dictionary or stream; null for anything else, an
// unknown type, a sampled function whose data cannot hold its samples, or
// nesting beyond FN_MAX_DEPTH. Stream functions and functions reached
// through a reference are remembered per render, so a page that selects the
// same colour space many times reads them once.
PdfFunction *function_parse(RenderContext *ctx, PdfObject *object);
// Evaluates fn with `count` inputs; writes min(n, max_out) outputs and
// returns that count (0 for a null function).
int function_eval(const PdfFunction *fn, const float *in, int count, float *out, int max_out);

// Calculator programs (function_calc.cpp): compiles the text between the
// first brace and its match; null with *count 0 when the braces do not balance.
CalcOp *calc_compile(RenderContext *ctx, const uint8_t *text, int length, int *count);
// Runs compiled operations over a stack holding *height values.
void calc_run(const CalcOp *ops, int count, float *stack, int *height);
