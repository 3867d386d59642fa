// Content-stream interpreter: the render context of one page render, the
// operand stack, operator dispatch, form XObjects and diagnostics
// (PDF Reference 1.7, chapters 4 and 5, content streams and operators).
#pragma once
#include <cstdint>

#include "render/gstate.h"
#include "render/context.h"
#include "render/path.h"

struct Arena;
struct PageBitmap;
struct PdfDoc;
struct PdfFont;
struct PdfObject;
struct Rasterizer;

constexpr int INTERP_STACK_SLOTS = 32;      // operands kept; further pushes are dropped
constexpr int INTERP_MAX_DIAGS = 24;        // distinct diagnostic tags kept per render
constexpr int INTERP_DIAG_CHARS = 23;       // characters kept of one tag
constexpr int INTERP_FORM_DEPTH = 12;       // nested forms (also bounds self-reference)
constexpr int INTERP_GLYPH_DEPTH = 10;      // nesting at which Type 3 glyphs stop running
constexpr int INTERP_GROUP_DEPTH = 8;       // nesting at which groups paint directly
constexpr int INTERP_T3_CACHE = 64;         // decoded Type 3 glyph procedures per render
constexpr int INTERP_POLL_EVERY = 32;       // operators between two progress callbacks
constexpr int INTERP_SCRATCH_RECYCLE = 1 << 20;  // token bytes after which the scratch arena is renewed
constexpr int INTERP_INLINE_MAX = 8388608;  // bytes of one unfiltered inline image
constexpr int INTERP_PAINT_BLOCK = 16 << 10;  // block size of a paint arena

using RenderPollFn = int (*)(void *user, PageBitmap *surface);
using RenderDiagFn = void (*)(void *user, const char *tag);

static_assert(sizeof(RenderContext::diags) == INTERP_MAX_DIAGS * (INTERP_DIAG_CHARS + 1));
static_assert(sizeof(RenderContext::t3_cache) / sizeof(RenderContext::t3_cache[0]) ==
              INTERP_T3_CACHE);

// Operands of the operator being executed. Numbers, names and strings are
// held by value; arrays and dictionaries point into the scratch arena.
struct OperandStack {
    RenderContext *ctx;
    PdfObject *items[INTERP_STACK_SLOTS];
    int count;
    struct ByteReader *reader;  // the stream being run (inline images read from it)
    Arena *scratch;             // token texts and parsed operands of this stream
    int compat;                 // BX nesting: unknown operators are not reported inside
};

// Runs one decoded content stream with the context's resources and graphics
// state. 0 when done (also after an abort), -3 when the lexer could not be set up.
int run_content(RenderContext *ctx, const uint8_t *data, int length);
// Runs a stream, or an array of streams joined by newlines (a page's
// Contents), as it is decoded, never holding it whole: 0 or -3.
int run_contents(RenderContext *ctx, PdfObject *contents);
// Executes one operator with its operands on the stack.
void exec_operator(OperandStack *stack, const char *name);
// Do: the operand must be a name of the current XObject resources.
void draw_xobject(OperandStack *stack, PdfObject *name);
// Runs the glyph procedure `proc` (a CharProcs stream of a Type 3 font,
// looked up by the font code) with CTM = glyph_matrix and the font's
// resources when it has them. Decoded procedures are cached per render.
// Nothing happens for a non-stream or at nesting depth 10.
void run_glyph_procedure(RenderContext *ctx, PdfObject *proc, PdfObject *font_resources,
                         const float glyph_matrix[6]);
// Records a distinct tag (at most 24 kept, cut to 23 characters).
void add_diagnostic(RenderContext *ctx, const char *tag);
// 1 when rendering must stop; calls the poll callback when one is installed.
int render_poll(RenderContext *ctx);
// Text positioning shared with glyph drawing.
void text_begin(RenderContext *ctx);
void text_move(RenderContext *ctx, float tx, float ty);
void text_set_matrix(RenderContext *ctx, const float m[6]);
// Six numbers of a Matrix entry; missing entries read a = d = 1, others 0.
// False when obj is not an array of 6.
bool form_read_matrix(PdfDoc *doc, PdfObject *obj, float m[6]);
// Four numbers of a BBox entry, or false.
bool form_read_box(PdfDoc *doc, PdfObject *obj, float box[4]);
// BM: a name, or an array whose first known name counts (a viewer takes
// the first mode it knows); no known name is Normal.
int blend_mode_from_object(PdfDoc *doc, PdfObject *bm);
// Enters a form XObject or mask group on the current state: its Matrix joins
// the CTM, its BBox clips, its Resources become current.
void form_enter(RenderContext *ctx, PdfObject *form);
// Clips to the box [x0 y0 x1 y1] mapped by the CTM (nonzero rule).
void clip_to_box(RenderContext *ctx, const float box[4]);
// Runs a form or appearance (`stream`, read as it is decoded) or a glyph
// procedure (`data`) one level deeper, with its own path, pending clip and
// paint arena.
void run_nested(RenderContext *ctx, PdfObject *stream, const uint8_t *data, int length);
// Applies a pending W / W* clip with the current path, then resets the path
// and renews the paint arena once it has grown.
void finish_path(RenderContext *ctx);
// A nested stream (form, glyph procedure) gets its own paint arena: the
// outer path lives in the outer one. Begin returns the outer arena, which
// end restores after freeing the nested one.
Arena *paint_arena_begin(RenderContext *ctx);
void paint_arena_end(RenderContext *ctx, Arena *outer);
// Reads a stream's decoded contents into the render arena; null when it
// cannot be opened (or is empty), with the length in *out_length.
uint8_t *load_stream(RenderContext *ctx, PdfObject *stream, int *out_length);
