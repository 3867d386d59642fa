// Text of the EPS placeholder page.
#pragma once

struct PageBitmap;

// Draws `text` in dark grey with the base sans-serif face, centred on column
// `middle`, its baseline on row `baseline`, at `em` pixels per em; nothing
// when the face is missing.
void eps_paint_text(PageBitmap *page, const char *text, int middle, int baseline, int em);
