// Arithmetic of the side panels and of full screen that needs no Win32: the
// thumbnail grid (columns, cells, scroll range, hit test), the parents of the
// bookmarks tree, and the full-screen advance rule and interval.
#pragma once

// ---- Thumbnail grid ---------------------------------------------------------

constexpr int THUMB_CELL_W = 124;     // column width
constexpr int THUMB_ROW_H = 169;      // row height
constexpr int THUMB_TOP = 10;         // margin above the first row
constexpr int THUMB_PLACEHOLDER_H = 145;
constexpr int THUMB_LINE = 56;        // one scroll line in pixels

struct ThumbGrid {
    int columns;        // at least 1
    int left;           // x of the first column, at least 0
    int content_h;      // rows x row height + top margin
    int max_scroll;     // largest scroll position
};
ThumbGrid thumb_grid(int client_w, int client_h, int page_count);
// Content y of a page's row top (before subtracting the scroll position).
int thumb_row_y(const ThumbGrid &g, int page);
// The page under a client point, or -1 for the margins and below the last cell.
int thumb_hit(const ThumbGrid &g, int page_count, int x, int y, int scroll_y);
// Scroll position that shows page `page`'s row, clamped to the grid.
int thumb_scroll_into_view(const ThumbGrid &g, int client_h, int page, int scroll_y);
int thumb_clamp_scroll(const ThumbGrid &g, int scroll_y);
// The page whose thumbnail is rendered next: the first page in page order
// whose row meets the window (row y between scroll - row height and scroll +
// client height) and for which `wanted(page)` holds; -1 when none.
template <typename Wanted>
int thumb_next_missing(const ThumbGrid &g, int page_count, int scroll_y, int client_h, Wanted wanted)
{
    const int above = scroll_y - THUMB_ROW_H - THUMB_TOP;  // may start a row early: the test below decides
    const int first_row = above < 0 ? 0 : above / THUMB_ROW_H;
    for (int i = first_row * g.columns; i < page_count; i++) {
        const int y = thumb_row_y(g, i);
        if (y > scroll_y + client_h)
            break;
        if (y >= scroll_y - THUMB_ROW_H && wanted(i))
            return i;
    }
    return -1;
}

// ---- Bookmarks tree ---------------------------------------------------------

constexpr int BOOKMARK_MAX_DEPTH = 30;

// Builds the tree's shape: for every outline entry in order, the index of
// the entry it hangs under, or -1 for the root. Depths are clamped to
// 0..30; an entry hangs under the last entry one level up, or under the root
// when no such entry came before. `parents` has room for `count` entries.
void bookmark_parents(const int *depths, int count, int *parents);

// ---- Full screen ------------------------------------------------------------

// The page (zero-based) an advance goes to from `page`, or -1 when it stays.
int fullscreen_advance_target(int page, int page_count, bool loop);
// Milliseconds between automatic advances for the stored FsAdvSec.
int fullscreen_advance_ms(int seconds);
