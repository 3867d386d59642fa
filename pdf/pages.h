// Page tree and page attributes (PDF Reference 1.7, sections 3.6.2 and
// 10.10.1): the page list of a document in reading order, inherited
// attributes, the visible page box and the page rotation.
#pragma once

struct PdfDoc;
struct PdfObject;

// A page rectangle in default user space, always normalised: x0 <= x1, y0 <= y1.
struct PdfBox {
    float x0, y0, x1, y1;
};

// Reads Root from the trailer and Pages from the catalogue and flattens the
// tree into doc->pages / page_count (both reset first). A missing Root or
// Pages leaves 0 pages and is not an error. 0, or -3 when memory runs out.
int pdf_load_pages(PdfDoc *doc);
// Walks one page-tree node at `depth` (0 = root; nodes deeper than 64 are
// ignored) and appends the pages found. Called at depth 64 it appends the node
// itself when it is a page and never follows Kids. 0 or -3.
int pdf_walk_page_node(PdfDoc *doc, PdfObject *node, int depth);
// Last resort for a repaired file whose page tree yields nothing: appends every
// object whose Type is Page, in object-number order. 0 or -3.
int pdf_collect_loose_pages(PdfDoc *doc);

int pdf_page_count(const PdfDoc *doc);
// The page dictionary of page `index` (0-based), or null when out of range.
PdfObject *pdf_page(const PdfDoc *doc, int index);
// The resolved value of key in the page or its nearest ancestor through
// Parent (64 dictionaries at most); null when none has it. An explicit null
// value, or a reference to a missing object, counts as absent.
PdfObject *pdf_page_attr(PdfDoc *doc, PdfObject *page, const char *key);
// The visible page box: the MediaBox (US Letter when missing or malformed),
// cut to the CropBox while crop_to_cropbox is on and the cut is more than one
// unit wide and high.
void pdf_page_box(PdfDoc *doc, PdfObject *page, PdfBox *out);
// The page's own Rotate attribute (inherited, default 0, reals truncated),
// exactly as written in the file.
int pdf_page_rotate(PdfDoc *doc, PdfObject *page);
// The clockwise rotation the page is shown at: Rotate plus the view rotation,
// in 0, 90, 180 or 270. A Rotate that is not a multiple of 90 counts as 0.
int pdf_page_rotation(PdfDoc *doc, PdfObject *page);
// Stores the user's rotation of all pages as 0..359 degrees; null is ignored.
void pdf_set_view_rotation(PdfDoc *doc, int degrees);
// Process-wide: cut page boxes to the CropBox (on by default; the viewer turns
// it off to show printer marks outside the crop box).
void pdf_set_crop_to_cropbox(int flag);
int pdf_crop_to_cropbox();
