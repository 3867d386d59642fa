// Where the pages of a print job land: the page range, the grid of pages per
// sheet, margins and cells, the placement of one page in its cell, the band
// height of a printer render, the halftone palette and ordered dithering for
// palette displays. Pure arithmetic, shared by printing and its preview.
#pragma once
#include <cstdint>

constexpr int SHEET_PER_SHEET_CHOICES = 5;  // 1, 2, 4, 6, 9 pages per sheet
constexpr int SHEET_MAX_PER_SHEET = 9;
constexpr int PRINT_BAND_BYTES = 2097152;  // 24-bit pixels of one printer band
constexpr int PRINT_MIN_BAND_ROWS = 16;
constexpr int PRINT_MAX_COPIES = 99;

// Pages per sheet for the dialog's index (0..4); out-of-range indexes give 1.
int sheet_pages_per_sheet(int index);
// Fraction of the printable width kept free on every side: 0 Normal (1/24),
// 1 Schmal (1/48), 2 Breit (1/12), 3 Keine (0).
double sheet_margin_factor(int margin_index);
// Orientation 0 Auto (landscape when the reference page, in pixels at scale
// 1, is wider than tall), 1 portrait, 2 landscape.
bool sheet_is_landscape(int orientation_index, int ref_w, int ref_h);

struct SheetGrid {
    int columns, rows;
};
SheetGrid sheet_grid(int per_sheet, bool landscape);

// The zero-based pages of a job: range kind 0 all, 1 the current page
// (zero-based), 2 from..to (one-based). The last page is cut to the
// document; count is 0 when nothing is left.
struct PrintRange {
    int first, count;
};
PrintRange print_range(int range_kind, int current, int from, int to, int page_count);
int sheet_count(int pages, int per_sheet);
// Copies typed into the dialog: 1..99 stays, anything else becomes 1.
int print_copies(int typed);

struct SheetRect {
    int x, y, w, h;
};
// The box of one slot (0 .. columns * rows - 1, rows from the top, left to
// right) on a printable area of width x height pixels. The gap between cells
// is min(cell) / gap_divisor when a sheet holds two or more pages (20 when
// printing, 12 in the preview).
SheetRect sheet_slot_box(int width, int height, int margin_index, int per_sheet, bool landscape,
                         int slot, int gap_divisor);

// Where a page of pw x ph pixels (at scale 1) goes in its box: fitted when
// `fit` is on or several pages share the sheet, else at natural size
// (device_dpi / 72 pixels per point) unless that does not fit; centred when
// `center` or `fit` is on or several pages share the sheet, else at the
// box's top-left corner. Empty (w = 0) for a page without size.
SheetRect sheet_place_page(const SheetRect &box, int pw, int ph, bool fit, bool center,
                           int per_sheet, int device_dpi);

// Rows of one printer band for a page width: at most 2 MiB of 24-bit pixels,
// at least 16 rows, at most the page height.
int print_band_rows(int width, int height);

// ---- Halftone palette and ordered dithering ----

// Entry 0..255 of the halftone palette as 0x00RRGGBB: a 6 x 6 x 6 cube (red
// slowest), then 40 grays.
uint32_t halftone_entry(int index);
// Palette index of one pixel at (x, y) under the 8 x 8 Bayer threshold.
int halftone_dither(int red, int green, int blue, int x, int y);
// Gray of a printed pixel in grayscale mode.
inline int print_gray(int red, int green, int blue) { return (29 * blue + 150 * green + 77 * red) >> 8; }
