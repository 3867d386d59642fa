// The thumbnail grid, the bookmarks tree's shape and the full-screen advance.
#include <gtest/gtest.h>

#include <vector>

#include "shell/logic/panels_logic.h"

namespace {

TEST(ThumbGrid, ColumnsCentringAndScrollRange)
{
    struct Row {
        int w, h, pages;
        int columns, left, content_h, max_scroll;
    } rows[] = {
        {100, 400, 1, 1, 0, 179, 0},          // narrower than a cell: still one column, not centred off-screen
        {124, 400, 3, 1, 0, 517, 117},        // exactly one cell
        {250, 400, 3, 2, 1, 348, 0},          // two columns, 2 pixels spare split evenly
        {371, 300, 7, 2, 61, 686, 386},       // 371 / 124 = 2 (not rounded up to 3)
        {372, 300, 7, 3, 0, 517, 217},        // three columns fit exactly; 7 pages need 3 rows
        {600, 500, 500, 4, 52, 21135, 20635}, // 125 rows
        {600, 500, 0, 4, 52, 10, 0},          // no pages: only the top margin
    };
    for (const Row &r : rows) {
        ThumbGrid g = thumb_grid(r.w, r.h, r.pages);
        EXPECT_EQ(g.columns, r.columns) << r.w << "x" << r.h << " pages " << r.pages;
        EXPECT_EQ(g.left, r.left) << r.w;
        EXPECT_EQ(g.content_h, r.content_h) << r.w << " pages " << r.pages;
        EXPECT_EQ(g.max_scroll, r.max_scroll) << r.w << " pages " << r.pages;
    }
}

TEST(ThumbGrid, ClickFindsTheCellOrNothing)
{
    const ThumbGrid g = thumb_grid(400, 300, 7);  // 3 columns, left 14
    struct Row {
        int x, y, scroll, page;
    } rows[] = {
        {14, 10, 0, 0},     // first pixel of the first cell
        {13, 50, 0, -1},    // left margin
        {14, 9, 0, -1},     // top margin
        {14 + 372, 50, 0, -1},  // right margin beside the grid
        {14 + 248, 10 + 168, 0, 2},  // last pixel of cell 2
        {14 + 248, 10 + 169, 0, 5},  // first pixel of the second row
        {14 + 124, 10 + 338, 0, -1}, // third row, column 1: page 7 does not exist
        {14, 10 + 338, 0, 6},        // page 7 of 7
        {14, 10, 169, 3},            // scrolled one row down
    };
    for (const Row &r : rows)
        EXPECT_EQ(thumb_hit(g, 7, r.x, r.y, r.scroll), r.page) << r.x << "," << r.y << " scroll " << r.scroll;
}

TEST(ThumbGrid, ScrollIntoViewAndRenderOrder)
{
    const ThumbGrid g = thumb_grid(130, 400, 500);  // one column, 500 rows
    EXPECT_EQ(thumb_scroll_into_view(g, 400, 0, 0), 0);
    EXPECT_EQ(thumb_scroll_into_view(g, 400, 1, 0), 0) << "row 1 ends at 348 < 400";
    EXPECT_EQ(thumb_scroll_into_view(g, 400, 2, 0), 2 * 169 + 179 - 400 + 10) << "bottom-aligned plus margin";
    EXPECT_EQ(thumb_scroll_into_view(g, 400, 3, 5000), 3 * 169) << "above: its row top";
    EXPECT_EQ(thumb_scroll_into_view(g, 400, 499, 0), g.max_scroll) << "clamped";

    // Scrolled to the end, only pages whose rows meet the window are asked for.
    const int end = g.max_scroll;
    std::vector<int> asked;
    int next;
    while ((next = thumb_next_missing(g, 500, end, 400, [&](int p) {
                for (int a : asked)
                    if (a == p)
                        return false;
                return true;
            })) >= 0)
        asked.push_back(next);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), 499);
    for (int p : asked) {
        const int y = thumb_row_y(g, p);
        EXPECT_GE(y, end - 169) << p;
        EXPECT_LE(y, end + 400) << p;
    }
    EXPECT_LE(asked.size(), 5u);
}

TEST(BookmarkTree, DepthsAreClampedAndJumpsHangUnderTheLastItemAbove)
{
    const int depths[] = {
        1,   // 0: no item at depth 0 yet: under the root
        0,   // 1: top level
        1,   // 2: under 1
        3,   // 3: jumps two levels: under the last depth-2 item, none yet: root
        2,   // 4: under 2
        40,  // 5: clamped to 30: under the last depth-29 item, none: root
        -2,  // 6: clamped to 0
        31,  // 7: clamped to 30, like 5
        4,   // 8: under the last depth-3 item (3)
    };
    const int expect[] = {-1, -1, 1, -1, 2, -1, -1, -1, 3};
    int parents[9];
    bookmark_parents(depths, 9, parents);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(parents[i], expect[i]) << "entry " << i;

    // 35 nested levels: the levels beyond 30 become siblings at depth 30.
    std::vector<int> deep(35), deep_parents(35);
    for (int i = 0; i < 35; i++)
        deep[size_t(i)] = i;
    bookmark_parents(deep.data(), 35, deep_parents.data());
    EXPECT_EQ(deep_parents[30], 29);
    EXPECT_EQ(deep_parents[31], 29);
    EXPECT_EQ(deep_parents[34], 29);
}

TEST(FullScreen, AdvanceRuleAndInterval)
{
    struct Row {
        int page, count;
        bool loop;
        int target;
    } rows[] = {
        {0, 5, false, 1},
        {3, 5, false, 4},
        {4, 5, false, -1},  // last page without looping: stays
        {4, 5, true, 0},    // last page with looping: first page
        {0, 1, true, -1},   // a single page never moves
        {0, 0, true, -1},   // no pages
    };
    for (const Row &r : rows)
        EXPECT_EQ(fullscreen_advance_target(r.page, r.count, r.loop), r.target)
            << r.page << "/" << r.count << " loop " << r.loop;
    EXPECT_EQ(fullscreen_advance_ms(0), 5000) << "below 1 second counts as 5";
    EXPECT_EQ(fullscreen_advance_ms(-3), 5000);
    EXPECT_EQ(fullscreen_advance_ms(1), 1000);
    EXPECT_EQ(fullscreen_advance_ms(0x7FFFFFFF), 86400000) << "no overflow";
}

}  // namespace
