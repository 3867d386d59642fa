// Print sheet layout: page ranges, grids, cells, page placement, bands and
// the halftone dither.
#include <gtest/gtest.h>

#include <cmath>

#include "shell/logic/sheet_layout.h"

namespace {

TEST(SheetLayout, RangesCopiesAndSheetCounts)
{
    struct Row {
        int kind, current, from, to, pages;
        int first, count;
    } rows[] = {
        {0, 3, 1, 1, 10, 0, 10},   // all pages
        {1, 3, 1, 1, 10, 3, 1},    // the current page (zero-based)
        {2, 0, 2, 4, 10, 1, 3},    // from-to, one-based
        {2, 0, 8, 20, 10, 7, 3},   // the end is cut to the document
        {2, 0, 5, 3, 10, 4, 0},    // from after to: nothing
        {2, 0, 12, 15, 10, 11, 0}, // wholly beyond the end
        {2, 0, 0, 2, 10, 0, 2},    // from 0 counts as 1
        {1, 12, 1, 1, 10, 12, 0},  // a current page beyond the end
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << r.kind << " " << r.from << ".." << r.to);
        PrintRange range = print_range(r.kind, r.current, r.from, r.to, r.pages);
        EXPECT_EQ(range.count, r.count);
        if (r.count > 0) {
            EXPECT_EQ(range.first, r.first);
        }
    }
    // 9 per sheet with 10 pages: two sheets; 0 pages: none.
    EXPECT_EQ(sheet_count(10, 9), 2);
    EXPECT_EQ(sheet_count(9, 9), 1);
    EXPECT_EQ(sheet_count(0, 4), 0);
    for (int typed : {0, 100, -3})
        EXPECT_EQ(print_copies(typed), 1) << typed;
    EXPECT_EQ(print_copies(99), 99);
}

TEST(SheetLayout, GridsAndOrientation)
{
    struct Row {
        int index;
        bool landscape;
        int columns, rows;
    } rows[] = {
        {0, false, 1, 1}, {1, false, 1, 2},  // 2 on a portrait sheet stack vertically
        {1, true, 2, 1},  {2, false, 2, 2}, {3, false, 2, 3}, {3, true, 3, 2},
        {4, true, 3, 3},  {7, false, 1, 1},  // an unknown index prints one a sheet
    };
    for (const Row &r : rows) {
        SheetGrid g = sheet_grid(sheet_pages_per_sheet(r.index), r.landscape);
        EXPECT_EQ(g.columns, r.columns) << r.index << " " << r.landscape;
        EXPECT_EQ(g.rows, r.rows) << r.index << " " << r.landscape;
    }
    // Auto follows the reference page; the explicit choices ignore it.
    EXPECT_TRUE(sheet_is_landscape(0, 842, 595));
    EXPECT_FALSE(sheet_is_landscape(0, 595, 842));
    EXPECT_FALSE(sheet_is_landscape(0, 600, 600));  // square: portrait
    EXPECT_FALSE(sheet_is_landscape(1, 842, 595));
    EXPECT_TRUE(sheet_is_landscape(2, 595, 842));
}

// Every cell of every layout lies inside the margins, cells do not overlap,
// slots run in rows from the top, left to right, and the gap is a twentieth
// (printing) or a twelfth (preview) of the smaller cell side.
TEST(SheetLayout, CellsForEveryLayoutAndMargin)
{
    const int W = 2400, H = 3300;  // a printable area at 300 dpi
    const int margins[4] = {100, 50, 200, 0};  // Normal, Schmal, Breit, Keine
    for (int mi = 0; mi < 4; mi++)
        for (int pi = 0; pi < SHEET_PER_SHEET_CHOICES; pi++)
            for (bool landscape : {false, true})
                for (int divisor : {20, 12}) {
                    const int per = sheet_pages_per_sheet(pi);
                    const SheetGrid g = sheet_grid(per, landscape);
                    const int cw = (W - 2 * margins[mi]) / g.columns, ch = (H - 2 * margins[mi]) / g.rows;
                    const int gap = per >= 2 ? std::min(cw, ch) / divisor : 0;
                    SCOPED_TRACE(testing::Message() << "margin " << mi << " per " << per << " land "
                                                    << landscape << " div " << divisor);
                    SheetRect prev = {};
                    for (int slot = 0; slot < per; slot++) {
                        SheetRect b = sheet_slot_box(W, H, mi, per, landscape, slot, divisor);
                        EXPECT_EQ(b.w, cw - 2 * gap);
                        EXPECT_EQ(b.h, ch - 2 * gap);
                        EXPECT_GE(b.x, margins[mi]);
                        EXPECT_GE(b.y, margins[mi]);
                        EXPECT_LE(b.x + b.w, W - margins[mi]);
                        EXPECT_LE(b.y + b.h, H - margins[mi]);
                        if (slot > 0) {
                            if (slot % g.columns == 0) {  // a new row starts below the last
                                EXPECT_GE(b.y, prev.y + prev.h + 2 * gap);
                                EXPECT_EQ(b.x, margins[mi] + gap);
                            } else {                      // right of the last, same row
                                EXPECT_EQ(b.x, prev.x + prev.w + 2 * gap);
                                EXPECT_EQ(b.y, prev.y);
                            }
                        }
                        prev = b;
                    }
                }
    // One worked example: 4 a sheet, Normal margin.
    SheetRect b = sheet_slot_box(W, H, 0, 4, false, 3, 20);
    EXPECT_EQ(b.x, 100 + 1100 + 55);
    EXPECT_EQ(b.y, 100 + 1550 + 55);
    EXPECT_EQ(b.w, 990);
    EXPECT_EQ(b.h, 1440);
}

TEST(SheetLayout, PagePlacementInItsBox)
{
    const SheetRect box = {100, 100, 2200, 3100};
    struct Row {
        int pw, ph;  // page at scale 1
        bool fit, center;
        int per, dpi;
        SheetRect want;
    } rows[] = {
        // Fit: the page fills the box's width, centred vertically.
        {612, 792, true, false, 1, 300, {100, 100 + (3100 - 2847) / 2, 2200, 2847}},
        // Natural size at 300 dpi, top-left corner.
        {288, 144, false, false, 1, 300, {100, 100, 1200, 600}},
        // Natural size, centred.
        {288, 144, false, true, 1, 300, {100 + 500, 100 + 1250, 1200, 600}},
        // Too large at natural size: shrunk to the box and centred.
        {1224, 792, false, false, 1, 300, {100, 100 + (3100 - 1424) / 2, 2200, 1424}},
        // Two or more a sheet always fit and centre, whatever the check boxes say.
        {288, 144, false, false, 2, 300, {100, 100 + 1000, 2200, 1100}},
        // A page without size is skipped.
        {0, 792, true, true, 1, 300, {100, 100, 0, 0}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.pw << "x" << r.ph << " fit " << r.fit << " per " << r.per);
        SheetRect p = sheet_place_page(box, r.pw, r.ph, r.fit, r.center, r.per, r.dpi);
        EXPECT_EQ(p.x, r.want.x);
        EXPECT_EQ(p.y, r.want.y);
        EXPECT_EQ(p.w, r.want.w);
        EXPECT_EQ(p.h, r.want.h);
    }
}

TEST(SheetLayout, BandRowsStayWithinTwoMebibytes)
{
    struct Row {
        int w, h, rows;
    } rows[] = {
        {4960, 7016, 140},     // A4 at 600 dpi: 2 MiB / (4960 * 3)
        {100000, 500, 16},     // never fewer than 16 rows
        {100, 50, 50},         // never more than the page
        {0, 300, 256},         // no width: 256 rows
    };
    for (const Row &r : rows)
        EXPECT_EQ(print_band_rows(r.w, r.h), r.rows) << r.w << "x" << r.h;
}

// Dithering a flat colour over one 8 x 8 tile must average to that colour:
// a threshold turned round or a level off by one moves the mean by a step.
TEST(SheetLayout, DitherAveragesToTheColour)
{
    EXPECT_EQ(halftone_entry(0), 0x000000u);
    EXPECT_EQ(halftone_entry(215), 0xFFFFFFu);
    EXPECT_EQ(halftone_entry(36 * 5), 0xFF0000u);  // red varies slowest
    EXPECT_EQ(halftone_entry(1), 0x000033u);       // blue fastest
    EXPECT_EQ(halftone_entry(216 + 39), 0xFFFFFFu);
    const int colours[][3] = {{0, 0, 0}, {255, 255, 255}, {128, 128, 128}, {200, 30, 90},
                              {17, 240, 160}, {100, 104, 98}, {250, 128, 5}};
    for (const auto &c : colours) {
        double sum[3] = {};
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++) {
                const uint32_t e = halftone_entry(halftone_dither(c[0], c[1], c[2], x, y));
                sum[0] += (e >> 16) & 255;
                sum[1] += (e >> 8) & 255;
                sum[2] += e & 255;
            }
        const bool gray = std::max({c[0], c[1], c[2]}) - std::min({c[0], c[1], c[2]}) < 13;
        const int g = (29 * c[2] + 150 * c[1] + 77 * c[0]) >> 8;
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(sum[k] / 64, gray ? g : c[k], 3.0)
                << c[0] << "," << c[1] << "," << c[2] << " component " << k;
    }
}

}  // namespace
