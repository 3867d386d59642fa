// Steps of loading a font dictionary shared by the simple, Type3 and Type0
// loaders (not for use outside fonts/).
#pragma once
#include <cstdint>

#include "fonts/pdf_font.h"

// The decoded data of a stream in the document's arena (at most
// FONT_MAX_PROGRAM bytes); null when it cannot be read.
const uint8_t *font_read_stream(PdfDoc *doc, PdfObject *stream, int *length);
// A face from the descriptor's FontFile2, FontFile3 or FontFile (the first
// FreeType takes), over the document's shared decoded copy; null otherwise.
FT_Face font_embedded_face(PdfDoc *doc, PdfObject *descriptor);
// Sets font->face: the embedded program, else the substitute for `base_font`
// (embedded or subst_file set accordingly).
void font_find_face(PdfDoc *doc, PdfFont *font, PdfObject *descriptor, PdfObject *base_font);
// Applies a Differences array to 256 glyph names.
void font_apply_differences(PdfDoc *doc, PdfObject *differences, const char **names);

// Type0: descendant font, DW, W and CIDToGIDMap.
void font_load_type0(PdfDoc *doc, PdfFont *font);
uint32_t font_type0_glyph(const PdfFont *font, uint32_t cid);
float font_type0_width(const PdfFont *font, uint32_t cid);
void font_type0_vertical(const PdfFont *font, uint32_t cid, float *w1y, float *vx, float *vy);
