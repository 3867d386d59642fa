// Showing text: the TJ adjustment, the per-character glyph loop with the
// text rendering matrix, greeking and culling, Type 3 glyph procedures,
// glyph coverage composited onto the surface, text used as a clip, and the
// hook through which text collection receives the characters (PDF Reference
// 1.7, sections 5.3 and 5.5.4).
#pragma once
#include <cstdint>

#include "render/context.h"

constexpr float TEXT_GREEK_BAR_HEIGHT = 0.62f;  // greek bar height in em above the baseline
constexpr int TEXT_GREEK_COVERAGE = 140;        // coverage of a greek bar (of 255)
constexpr int TEXT_GREEK_MAX_ROW = 2048;        // pixels of one greek bar row
constexpr float TEXT_GREEK_MIN_PX = 0.3f;       // em height below which not even a bar is drawn
constexpr int TEXT_NESTED_GLYPH_RUNS = 65536;   // Type 3 glyphs run inside glyph procedures per render

// One character handed to the text-collection hook.
struct TextChar {
    const PdfFont *font;
    uint32_t code;       // the font's code (1 or 2 bytes)
    uint32_t unicode;    // from the encoding; 0 = not known
    int word_space;      // 1: single-byte code 32 of a simple font
    float x0, y0, x1, y1;  // device box: the advance (widened by positive character
                           // spacing) wide, one em above the baseline
};

// The text-collection hook: in text-collection mode the render context's
// text_sink points at one; nothing is drawn and each character goes to fn.
struct TextSink {
    void (*fn)(void *user, const TextChar *ch);
    void *user;
};

// The text state a nested stream (form, appearance, soft mask, glyph
// procedure) may change and its caller still needs: PDF keeps it in the
// graphics state, which a nested stream's end restores.
struct SavedTextState {
    float tlm[6], tm[6];
    PdfFont *font;
    float size, tc, tw, th, tl, ts;
    int mode;
};
void text_state_save(const RenderContext *ctx, SavedTextState *s);
void text_state_restore(RenderContext *ctx, const SavedTextState *s);

// A number of a TJ array: moves the pen back by n / 1000 em (scaled by Tz),
// up for fonts written top to bottom.
void text_adjust(RenderContext *ctx, float n);
// A string of Tj, TJ, ' or ": 2-byte codes for Type0 fonts, else 1-byte.
void text_show(RenderContext *ctx, const uint8_t *bytes, int length);
// ET: the outlines of glyphs shown in a clip mode (4-7) since BT become part
// of the clip.
void text_end(RenderContext *ctx);
// Frees the outlines of an unfinished text object (BT, the end of a render).
void text_clip_release(RenderContext *ctx);
