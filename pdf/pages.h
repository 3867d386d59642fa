// Page tree flattening and page attributes (PDF Reference 1.7, section
// 3.6.2): the page list of a document, inherited attributes and page boxes.
#pragma once

struct PdfDoc;
struct PdfObject;

struct PdfBox {
    float x0, y0, x1, y1;  // normalised: x0 <= x1, y0 <= y1
};

// Reads Root and Pages and fills doc->pages / page_count: 0 or -3.
int pdf_load_pages(PdfDoc *doc);
// Walks one page-tree node at the given depth, appending the pages found: 0 or -3.
int pdf_walk_page_node(PdfDoc *doc, PdfObject *node, int depth);
int pdf_page_count(const PdfDoc *doc);
PdfObject *pdf_page(const PdfDoc *doc, int index);
// The resolved value of key in the page or its nearest ancestor, or null.
PdfObject *pdf_page_attr(PdfDoc *doc, PdfObject *page, const char *key);
void pdf_page_box(PdfDoc *doc, PdfObject *page, PdfBox *out);
int pdf_page_rotate(PdfDoc *doc, PdfObject *page);
void pdf_set_view_rotation(PdfDoc *doc, int degrees);
void pdf_set_crop_to_cropbox(int flag);
