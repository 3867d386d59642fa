// Navigation data of a PDF document (PDF Reference 1.7, sections 8.2 and
// 8.3.3 to 8.5.3): the outline as a flat pre-order list, article threads,
// the links of one page, and the destination lookups behind them. Results go
// into caller arrays of fixed-size records; nothing is kept between calls.
#pragma once
#include <cstdint>

struct PdfDoc;
struct PdfObject;

// One outline item. Titles are in code page 1252 (the interface's), "?" for
// characters it lacks.
struct OutlineItem {
    char title[128];  // zero-terminated, at most 127 bytes
    int page;         // target page index, -1 when the item has no resolvable destination
    int level;        // nesting depth, 0 for top-level items
};

struct ThreadItem {
    char title[128];  // the thread's title, or "Article N" (N its 1-based position)
    int page;         // page of the first bead, -1 when unknown
};

enum LinkKind {
    LINK_GOTO = 0,        // Dest, or a GoTo action
    LINK_URI = 1,         // URI action
    LINK_NEXT_PAGE = 2,   // named actions
    LINK_PREV_PAGE = 3,
    LINK_FIRST_PAGE = 4,
    LINK_LAST_PAGE = 5,
    LINK_GO_BACK = 6,
    LINK_GO_FORWARD = 7,
};

struct LinkItem {
    float x0, y0, x1, y1;    // device pixels at the scale and rotation asked for; x0 <= x1, y0 <= y1
    int kind;                // LinkKind
    int page;                // target page index for LINK_GOTO, else -1
    char uri[256];           // LINK_URI: the URI, zero-terminated, at most 255 bytes
    int border_width;        // device pixels, 0 = no border
    uint8_t border_rgb[3];   // red, green, blue
};

// The three list readers store at most `max` records and return how many
// they stored. With `items` null they store nothing and return how many they
// would store without a maximum (the frame's menu rules ask this way); with
// `items` set and max <= 0 they return 0.

// The outline in pre-order. Items with an empty title are not listed; their
// children are, one level below the item. Depth, sibling count and the walk's
// node budget are bounded (pdf/limits.h); a loop ends its chain.
int pdf_get_outline(PdfDoc *doc, OutlineItem *items, int max);
// The catalogue's Threads, titled from their I dictionary.
int pdf_get_threads(PdfDoc *doc, ThreadItem *items, int max);
// The Link annotations of page `index` with GoTo, URI or named actions, in
// device pixels of the page at `scale` with its own and the view rotation.
// 0 also for a page out of range.
int pdf_get_page_links(PdfDoc *doc, int index, float scale, LinkItem *items, int max);

// A link's rectangle back in default user space (points of the unrotated
// page, x0 <= x1, y0 <= y1) from the device pixels pdf_get_page_links gave
// for the same page and scale. 0, -4 when the page does not exist, or -5
// for a scale too small to invert.
int pdf_link_page_rect(PdfDoc *doc, int index, float scale, const LinkItem *link, float out[4]);

// Target page of an outline item or link annotation (its Dest, else a GoTo
// action's D), or -1.
int pdf_dest_page(PdfDoc *doc, const PdfObject *dict);
// The destination array named by a name (catalogue Dests) or a string
// (catalogue Names -> Dests tree), unwrapped from a dictionary's D; null when
// not found or not an array.
PdfObject *pdf_lookup_named_dest(PdfDoc *doc, const PdfObject *name);
// The value (resolved) of the first Names pair with this key in a name-tree
// walk that starts at `node` at `depth`: Names before Kids, Limits ignored (a
// wrong Limits entry cannot hide a key). Nodes deeper than 32, repeated nodes
// and nodes past the walk's budget are not searched.
PdfObject *pdf_name_tree_lookup(PdfDoc *doc, PdfObject *node, const uint8_t *key, int length,
                                int depth);
// Index of a page dictionary in the page list (by identity), or -1.
int pdf_page_index(PdfDoc *doc, const PdfObject *page);

// ---- Text ----

// Display text of a PDF text string in code page 1252: UTF-16BE (FE FF),
// UTF-16LE (FF FE) and UTF-8 (EF BB BF) by their byte-order mark, otherwise
// PDFDocEncoding. Characters code page 1252 lacks become "?", control
// characters a space; a NUL ends the text; trailing spaces are removed. At
// most size - 1 bytes and a terminating zero; a non-string gives "".
void pdf_text_to_cp1252(const PdfObject *obj, char *out, int size);
// Bytes 20..7E as they are, other bytes as spaces, up to a NUL; no trimming.
// For URIs, which are ASCII by definition.
void pdf_string_to_plain(const PdfObject *obj, char *out, int size);
// The Unicode character of a code page 1252 byte; 0xFFFD for the five
// undefined bytes.
int pdf_cp1252_to_unicode(uint8_t c);
// The code page 1252 byte of a Unicode character, or '?' when it has none.
uint8_t pdf_unicode_to_cp1252(int u);
