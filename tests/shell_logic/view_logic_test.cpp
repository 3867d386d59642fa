// The view's zoom, scroll, band and page-key arithmetic.
#include <gtest/gtest.h>

#include <cmath>

#include "shell/logic/view_logic.h"

namespace {

TEST(ViewLogic, ZoomInIsHeldByTheMemoryLimit)
{
    // 100 -> 125 -> 156 -> 195 -> 239, and 239 stays 239 on every further step.
    const int expect[] = {125, 156, 195, 239, 239, 239};
    float scale = 1.0f;
    for (int percent : expect) {
        scale = view_limit_scale(scale * VIEW_ZOOM_STEP);
        EXPECT_EQ(view_zoom_percent(scale), percent);
    }
    EXPECT_EQ(view_zoom_percent(view_limit_scale(6.0f)), 240) << "600 % set directly";
    // Zoom out from 16 % stops at 15 %.
    EXPECT_EQ(view_zoom_percent(view_limit_scale(0.16f / VIEW_ZOOM_STEP)), 15);
    EXPECT_EQ(view_limit_scale(0.0f), VIEW_MIN_SCALE);
    EXPECT_EQ(view_limit_scale(std::nanf("")), VIEW_MIN_SCALE);
}

TEST(ViewLogic, ZoomPercentIsRoundedNotTruncated)
{
    struct Row {
        float scale;
        int percent;
    } rows[] = {
        {0.996f, 100},       // a fit-width scale just below 1
        {2.0f / 3.0f, 67},   // 66.67
        {1.0f / 3.0f, 33},   // 33.33: rounds down, not up
        {0.149999f, 15},     // the smallest zoom, reached from below
        {1.953125f, 195},    // 195.31 after three zoom-in steps
        {0.125f, 13},        // 12.5: halves round up
        {6.0f, 600},
        {0.0f, 0},
        {-1.0f, 0},
        {std::nanf(""), 0},
        {1e30f, 1000000},    // no float-to-int overflow
    };
    for (const Row &r : rows)
        EXPECT_EQ(view_zoom_percent(r.scale), r.percent) << r.scale;
    // Every percentage the user can set (stored as p / 100 in a float) reads
    // back unchanged; 0.57f, 0.29f and many others lie just below their value.
    int truncated = 0;
    for (int p = 10; p <= 1600; p++) {
        const float scale = float(p) / 100.0f;
        EXPECT_EQ(view_zoom_percent(scale), p);
        truncated += int(scale * 100.0f) != p;
    }
    EXPECT_GT(truncated, 0) << "the rows above no longer contain a value that truncation gets wrong";
}

TEST(ViewLogic, FitScales)
{
    struct Row {
        int mode;
        float w, h;
        int rot, cw, ch;
        float expect;
    } rows[] = {
        {FIT_WIDTH, 612, 792, 0, 616, 400, 1.0f},        // (616 - 4) / 612
        {FIT_PAGE, 612, 792, 0, 616, 400, 396.0f / 792}, // height decides
        {FIT_PAGE, 612, 792, 90, 796, 1000, 1.0f},       // rotated: 792 wide
        {FIT_WIDTH, 0, 0, 0, 104, 104, 100.0f},          // sizes count as at least 1
        {FIT_PAGE, 612, 792, 0, 0, 400, 1.0f},           // empty client area
    };
    for (const Row &r : rows)
        EXPECT_FLOAT_EQ(view_fit_scale(r.mode, r.w, r.h, r.rot, r.cw, r.ch), r.expect);
}

TEST(ViewLogic, ScrollClampCentresSmallContent)
{
    struct Row {
        int scroll, content, client, expect;
    } rows[] = {
        {50, 300, 500, -100},  // smaller page: centred, scroll bar inert
        {-5, 900, 500, 0},
        {450, 900, 500, 400},
        {100, 0, 500, 0},      // no content
        {100, 500, 500, 0},    // exact fit
    };
    for (const Row &r : rows)
        EXPECT_EQ(view_clamp_scroll(r.scroll, r.content, r.client), r.expect);
}

TEST(ViewLogic, BandAndMissingRows)
{
    // 400-row window: margin 100; band from 0 when near the top.
    ViewBand b = view_band_for(50, 400, 5000);
    EXPECT_EQ(b.top, 0);
    EXPECT_EQ(b.height, 600);
    EXPECT_FALSE(view_band_stale(b, 150, 400, 5000));
    EXPECT_TRUE(view_band_stale(b, 250, 400, 5000)) << "window bottom left the band";
    // Small windows still keep 48 rows of margin; the band ends at the content.
    ViewBand small = view_band_for(1000, 100, 1100);
    EXPECT_EQ(small.top, 952);
    EXPECT_EQ(small.height, 148);

    // Scrolling down by 150 rows moves the band by 100: only its new bottom rows render.
    ViewBand next = view_band_for(200, 400, 5000);
    ViewBand miss[2];
    ASSERT_EQ(view_band_missing(b, next, miss), 1);
    EXPECT_EQ(miss[0].top, 600);
    EXPECT_EQ(miss[0].height, 100);  // band 100..699: only rows 600..699 are new
    // A jump far away renders the whole band; scrolling up renders the top part.
    EXPECT_EQ(view_band_missing(b, view_band_for(3000, 400, 5000), miss), 1);
    EXPECT_EQ(miss[0].height, 600);
    ASSERT_EQ(view_band_missing(next, b, miss), 1);
    EXPECT_EQ(miss[0].top, 0);
    EXPECT_EQ(miss[0].height, 100);
}

TEST(ViewLogic, ContinuousColumn)
{
    const std::vector<int> tops = view_page_tops({100, 200, -1, 50});
    const std::vector<int> expect = {0, 108, 316, 324, 374};  // failed size counts 0
    EXPECT_EQ(tops, expect);
    EXPECT_EQ(view_page_tops({}), std::vector<int>{0});
    EXPECT_EQ(view_page_at(tops, 0), 0);
    EXPECT_EQ(view_page_at(tops, 107), 0) << "the gap belongs to the page above";
    EXPECT_EQ(view_page_at(tops, 108), 1);
    EXPECT_EQ(view_page_at(tops, 330), 3);
    EXPECT_EQ(view_page_at(tops, 99999), 3);
    EXPECT_EQ(view_page_at(tops, -5), 0);
}

TEST(ViewLogic, BandPiecesOverPages)
{
    // Pages 100, 200, 0 (failed size) and 50 rows high; tops 0, 108, 316, 324.
    const std::vector<int> tops = view_page_tops({100, 200, -1, 50});
    EXPECT_EQ(view_page_height(tops, 0), 100);
    EXPECT_EQ(view_page_height(tops, 1), 200);
    EXPECT_EQ(view_page_height(tops, 2), 0);
    EXPECT_EQ(view_page_height(tops, 3), 50) << "the last page has no gap below";
    EXPECT_EQ(view_page_height(tops, 4), 0);
    struct Row {
        int y0, rows;
        std::vector<ViewPiece> expect;  // page, first page row, rows
    } rows[] = {
        {0, 50, {{0, 0, 50}}},
        {90, 30, {{0, 90, 10}, {1, 0, 12}}},          // crosses the gap
        {101, 5, {}},                                 // inside the gap only
        {300, 100, {{1, 192, 8}, {3, 0, 50}}},        // the empty page gives no piece
        {0, 1000, {{0, 0, 100}, {1, 0, 200}, {3, 0, 50}}},
        {500, 10, {}},                                // below the column
    };
    for (const Row &r : rows) {
        ViewPiece out[8];
        int n = view_band_pieces(tops, r.y0, r.rows, out, 8);
        ASSERT_EQ(n, int(r.expect.size())) << r.y0;
        for (int i = 0; i < n; i++) {
            EXPECT_EQ(out[i].page, r.expect[size_t(i)].page) << r.y0;
            EXPECT_EQ(out[i].first, r.expect[size_t(i)].first) << r.y0;
            EXPECT_EQ(out[i].rows, r.expect[size_t(i)].rows) << r.y0;
        }
    }
}

TEST(ViewLogic, DefaultZoomSetting)
{
    struct Row {
        int setting, mode;
        float scale;  // when mode is FIT_NONE
    } rows[] = {
        {1, FIT_PAGE, 0}, {2, FIT_WIDTH, 0}, {10, FIT_PAGE, 0}, {0, FIT_PAGE, 0},
        {-7, FIT_PAGE, 0}, {25, FIT_NONE, 0.25f}, {150, FIT_NONE, 1.5f},
        {5000, FIT_NONE, 6.0f},  // beyond 600 % counts as 600 %
    };
    for (const Row &r : rows) {
        int mode = -1;
        float scale = -1;
        view_default_zoom(r.setting, &mode, &scale);
        EXPECT_EQ(mode, r.mode) << r.setting;
        if (r.mode == FIT_NONE) {
            EXPECT_FLOAT_EQ(scale, r.scale) << r.setting;
        }
    }
}

TEST(ViewLogic, PageKeys)
{
    // Page Down inside a tall page scrolls; at its bottom it goes to the next page.
    ViewKeyMove m = view_page_down(0, 3, 0, 1000, 400);
    EXPECT_TRUE(m.moved);
    EXPECT_EQ(m.page, 0);
    EXPECT_EQ(m.scroll_y, 400);
    m = view_page_down(0, 3, 600, 1000, 400);
    EXPECT_EQ(m.page, 1);
    EXPECT_EQ(m.scroll_y, 0);
    EXPECT_FALSE(view_page_down(2, 3, 600, 1000, 400).moved) << "bottom of the last page";
    EXPECT_FALSE(view_page_down(0, 1, -50, 300, 400).moved) << "small centred single page";
    // Page Up at the top goes to the previous page's bottom.
    m = view_page_up(1, 0, 400, 1000);
    EXPECT_EQ(m.page, 0);
    EXPECT_EQ(m.scroll_y, 600);
    EXPECT_EQ(view_page_up(1, 0, 400, 300).scroll_y, 0);
    EXPECT_FALSE(view_page_up(0, 0, 400, 1000).moved) << "top of the first page";
}

TEST(ViewLogic, WheelAndPixelEffects)
{
    EXPECT_EQ(view_wheel_notches(240), 2);
    EXPECT_EQ(view_wheel_notches(30), 1);
    EXPECT_EQ(view_wheel_notches(-30), -1);
    EXPECT_EQ(view_wheel_notches(0), 0);

    uint8_t px[6] = {255, 255, 255, 0, 0, 255};  // white, red (B, G, R)
    view_grayscale(px, 2);
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[3], 76);  // (77 * 255) >> 8
    uint8_t white[3] = {255, 255, 255}, black[3] = {0, 0, 0};
    view_tint_hit(white, 1);
    view_tint_hit(black, 1);
    EXPECT_EQ(white[0], 155);
    EXPECT_EQ(white[2], 255);
    EXPECT_EQ(black[0], 0);
    EXPECT_EQ(black[1], 100);
    EXPECT_EQ(black[2], 100);
}

}  // namespace
