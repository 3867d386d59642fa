// A page's text as every document kind gives it: the characters in drawing
// order with their boxes in device pixels, and what the view does with it:
// search with case folding, the text of a selection rectangle, the excerpt
// shown for a search hit. Nothing here knows PDF.
#pragma once
#include <cstdint>
#include <string>

constexpr int PAGE_TEXT_INITIAL = 256;          // items of a page's first array (then doubling)
constexpr int TEXT_SEARCH_MAX_QUERY = 128;      // code points of a query compared
constexpr int TEXT_SEARCH_VIEW_HITS = 512;      // hits the view asks for
constexpr int SELECTION_TEXT_SIZE = 8192;       // bytes of a selection's text with its zero
constexpr int SELECTION_MAX_LINES = 256;        // line rectangles of a selection
constexpr int HIT_CONTEXT_BEFORE = 8;           // items shown before a hit
constexpr int HIT_CONTEXT_AFTER = 44;           // items shown after a hit's end
constexpr int HIT_CONTEXT_MAX_CHARS = 78;       // characters of a hit's excerpt

// One character: its Unicode value and its box (x grows right, y down).
struct TextItem {
    uint32_t unicode;
    float x0, y0, x1, y1;
    int vertical;  // 1: written top to bottom (its line is a column)
};

struct PageText {
    TextItem *items;  // in drawing order (PDF: right-to-left runs in reading order)
    int count;
    int capacity;
};

struct SearchHit {
    int first, end;          // items first .. end - 1
    float x0, y0, x1, y1;    // the union of their boxes
};

struct LineRect {
    int left, top, right, bottom;
};

// An empty page text whose first array holds `initial` items (<= 0: 256);
// null when memory is short.
PageText *page_text_new(int initial);
// Appends an item; when the array cannot grow the item is dropped and the
// next one tries again.
void page_text_add(PageText *text, uint32_t unicode, float x0, float y0, float x1, float y1,
                   int vertical = 0);
void page_text_free(PageText *text);

// Case folding for search: ASCII and Latin-1 capitals, the dotted and
// dotless i in both cases, and the Turkish and Latin Extended-A capitals
// the view's languages need, all to their small forms.
uint32_t fold_case(uint32_t c);

// The hits of a zero-terminated UTF-8 query (its first 128 code points),
// never overlapping, at most max_hits; the count. Null, empty text or an
// empty query: 0.
int text_search(const PageText *text, const char *query, int max_hits, SearchHit *hits,
                int case_sensitive);

// The text of the items whose centres lie in the rectangle (bounds
// included; the vertical bounds are ordered, the horizontal ones taken as
// given): CR LF where a line drops or rises, one space where a gap wider than a
// quarter of the item's height opens, "?" for anything but printable ASCII
// and tab; at most SELECTION_TEXT_SIZE - 1 bytes and a zero into `out`
// (SELECTION_TEXT_SIZE bytes). Each line's rectangle goes to `lines` (at
// most SELECTION_MAX_LINES; null for none) and their count to *line_count.
// Returns the text's length.
int selection_text(const PageText *text, float x0, float y0, float x1, float y1, char *out,
                   LineRect *lines, int *line_count);

// The item whose box centre is nearest to the point, a vertical distance
// weighing four times a horizontal one; -1 for no items.
int text_nearest_item(const PageText *text, float x, float y);

// The text of items from .. to (either order, both included) whose centres
// lie in within[0..3] = x0, y0, x1, y1 (null: every item), by the line and
// space rules of selection_text, but as UTF-8 that keeps every character,
// with CR LF between lines and no length limit. Line rectangles as
// selection_text. Returns the text's length in bytes.
int selection_range_text(const PageText *text, int from, int to, const float *within,
                         std::string *out, LineRect *lines, int *line_count);

// The whole page's text by the same line and space rules, as UTF-8 with
// line breaks as "\n" and no length limit.
std::string page_text_utf8(const PageText *text);

// A one-line excerpt around a hit as UTF-8: items from 8 before to 44
// after it, at most 78 characters, control characters as spaces and code
// points beyond the BMP as "?"; zero-terminated within `size` bytes.
void hit_context(const PageText *text, const SearchHit *hit, char *out, int size);

// Appends a code point to a UTF-8 string (surrogates and values beyond
// U+10FFFF as U+FFFD).
void append_utf8(std::string *s, uint32_t c);
