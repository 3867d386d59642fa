// Print sheet arithmetic and the halftone palette; see sheet_layout.h.
#include "shell/logic/sheet_layout.h"

#include <algorithm>

int sheet_pages_per_sheet(int index)
{
    static const int choices[SHEET_PER_SHEET_CHOICES] = {1, 2, 4, 6, 9};
    return index >= 0 && index < SHEET_PER_SHEET_CHOICES ? choices[index] : 1;
}

double sheet_margin_factor(int margin_index)
{
    switch (margin_index) {
    case 1: return 1.0 / 48;
    case 2: return 1.0 / 12;
    case 3: return 0.0;
    default: return 1.0 / 24;
    }
}

bool sheet_is_landscape(int orientation_index, int ref_w, int ref_h)
{
    if (orientation_index == 1)
        return false;
    if (orientation_index == 2)
        return true;
    return ref_w > ref_h;
}

SheetGrid sheet_grid(int per_sheet, bool landscape)
{
    switch (per_sheet) {
    case 2: return landscape ? SheetGrid{2, 1} : SheetGrid{1, 2};
    case 4: return {2, 2};
    case 6: return landscape ? SheetGrid{3, 2} : SheetGrid{2, 3};
    case 9: return {3, 3};
    default: return {1, 1};
    }
}

PrintRange print_range(int range_kind, int current, int from, int to, int page_count)
{
    int first, last;
    if (range_kind == 1) {
        first = last = current;
    } else if (range_kind == 2) {
        first = std::max(from - 1, 0);
        last = to - 1;
    } else {
        first = 0;
        last = page_count - 1;
    }
    last = std::min(last, page_count - 1);
    if (first < 0 || last < first)
        return {std::max(first, 0), 0};
    return {first, last - first + 1};
}

int sheet_count(int pages, int per_sheet)
{
    if (pages <= 0 || per_sheet <= 0)
        return 0;
    return (pages + per_sheet - 1) / per_sheet;
}

int print_copies(int typed)
{
    return typed >= 1 && typed <= PRINT_MAX_COPIES ? typed : 1;
}

SheetRect sheet_slot_box(int width, int height, int margin_index, int per_sheet, bool landscape,
                         int slot, int gap_divisor)
{
    const SheetGrid grid = sheet_grid(per_sheet, landscape);
    const int margin = int(width * sheet_margin_factor(margin_index) + 0.5);
    const int usable_w = std::max(width - 2 * margin, 1), usable_h = std::max(height - 2 * margin, 1);
    const int cell_w = usable_w / grid.columns, cell_h = usable_h / grid.rows;
    const int gap = grid.columns * grid.rows >= 2 && gap_divisor > 0 ? std::min(cell_w, cell_h) / gap_divisor : 0;
    const int column = slot % grid.columns, row = slot / grid.columns;
    return {margin + column * cell_w + gap, margin + row * cell_h + gap, cell_w - 2 * gap, cell_h - 2 * gap};
}

SheetRect sheet_place_page(const SheetRect &box, int pw, int ph, bool fit, bool center, int per_sheet,
                           int device_dpi)
{
    if (pw <= 0 || ph <= 0)
        return {box.x, box.y, 0, 0};
    const double fitting = std::min(double(box.w) / pw, double(box.h) / ph);
    double s = fitting;
    bool centred = fit || center || per_sheet >= 2;
    if (!fit && per_sheet < 2) {
        s = (device_dpi > 0 ? device_dpi : 300) / 72.0;
        if (pw * s > box.w || ph * s > box.h) {
            // A page larger than the box is shrunk to it and, like every
            // fitted page, centred.
            s = fitting;
            centred = true;
        }
    }
    const int w = std::max(int(pw * s + 0.5), 1), h = std::max(int(ph * s + 0.5), 1);
    if (!centred)
        return {box.x, box.y, w, h};
    return {box.x + (box.w - w) / 2, box.y + (box.h - h) / 2, w, h};
}

int print_band_rows(int width, int height)
{
    int rows = width > 0 ? PRINT_BAND_BYTES / (width * 3) : 256;
    rows = std::max(rows, PRINT_MIN_BAND_ROWS);
    return std::max(std::min(rows, height), 1);
}

// ---- Halftone palette ----

namespace {

const uint8_t BAYER[8][8] = {
    {0, 48, 12, 60, 3, 51, 15, 63},  {32, 16, 44, 28, 35, 19, 47, 31},
    {8, 56, 4, 52, 11, 59, 7, 55},   {40, 24, 36, 20, 43, 27, 39, 23},
    {2, 50, 14, 62, 1, 49, 13, 61},  {34, 18, 46, 30, 33, 17, 45, 29},
    {10, 58, 6, 54, 9, 57, 5, 53},   {42, 26, 38, 22, 41, 25, 37, 21},
};

// Quantises v (0..255) to `levels` + 1 steps, rounding up where the
// remainder exceeds the threshold t (0..254).
int dither_level(int v, int levels, int t)
{
    int level = v * levels / 255;
    if (t < v * levels - 255 * level)
        level++;
    return std::min(level, levels);
}

}  // namespace

uint32_t halftone_entry(int index)
{
    if (index < 0 || index > 255)
        return 0;
    if (index < 216) {
        const uint32_t r = uint32_t(index / 36) * 255 / 5, g = uint32_t(index / 6 % 6) * 255 / 5,
                       b = uint32_t(index % 6) * 255 / 5;
        return r << 16 | g << 8 | b;
    }
    const uint32_t v = uint32_t(index - 216) * 255 / 39;
    return v << 16 | v << 8 | v;
}

int halftone_dither(int red, int green, int blue, int x, int y)
{
    const int t = BAYER[y & 7][x & 7] * 254 / 63;
    const int hi = std::max({red, green, blue}), lo = std::min({red, green, blue});
    if (hi - lo < 13)
        return 216 + dither_level(print_gray(red, green, blue), 39, t);
    return dither_level(red, 5, t) * 36 + dither_level(green, 5, t) * 6 + dither_level(blue, 5, t);
}
