// A PDF page's text: the page and its annotations' appearances interpreted
// in text-collection mode, each shown code turned into items with its
// Unicode values, in drawing order but for right-to-left runs drawn from the
// left, which are put in reading order.
#pragma once

struct PdfDoc;
struct PageText;

// The text of page `index` (0-based) in device pixels at `scale` (<= 0
// counts as 1) and the page's rotation. A page that cannot be interpreted
// gives an empty PageText; null only when memory is short. Free it with
// page_text_free.
PageText *pdf_page_text(PdfDoc *doc, int index, float scale);
