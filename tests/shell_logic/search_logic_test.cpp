// The page history's limits and the order in which search hits are visited.
#include <gtest/gtest.h>

#include <vector>

#include "shell/logic/search_logic.h"

namespace {

constexpr int CAP = 64;

struct History {
    int pages[CAP] = {};
    int count = 1, pos = 0;  // as after opening: page 0
    void jump(int page) { history_record(pages, CAP, &count, &pos, page); }
    int step(int direction) { return history_move(pages, count, &pos, direction); }
};

TEST(SearchLogic, HistoryStepsAndLimits)
{
    History h;
    // Back and forward at the ends do nothing.
    EXPECT_EQ(h.step(-1), -1);
    EXPECT_EQ(h.step(+1), -1);
    EXPECT_EQ(h.pos, 0);
    h.jump(4);
    h.jump(9);
    EXPECT_EQ(h.step(-1), 4);
    EXPECT_EQ(h.step(-1), 0);
    EXPECT_EQ(h.step(+1), 4);
    // A jump after going back drops the forward entry (page 9).
    h.jump(7);
    EXPECT_EQ(h.count, 3);
    EXPECT_EQ(h.step(+1), -1);
    EXPECT_EQ(h.step(-1), 4);
    EXPECT_EQ(h.step(-1), 0);

    // 70 jumps from a fresh list: the list stays at 64 entries, holding the
    // last 64 pages; the opening page and the first six jumps are gone.
    History full;
    for (int page = 1; page <= 70; page++)
        full.jump(page);
    EXPECT_EQ(full.count, CAP);
    EXPECT_EQ(full.pos, CAP - 1);
    std::vector<int> back;
    for (int page; (page = full.step(-1)) >= 0;)
        back.push_back(page);
    ASSERT_EQ(back.size(), size_t(CAP - 1));
    EXPECT_EQ(back.front(), 69);
    EXPECT_EQ(back.back(), 7);
    // Jumping at the oldest position of a full list keeps only it and the new page.
    full.jump(99);
    EXPECT_EQ(full.count, 2);
    EXPECT_EQ(full.step(-1), 7);
}

// Pages with the given hit counts; records every page asked about.
struct Pages {
    std::vector<int> hits;
    std::vector<int> asked;
    int operator()(int page)
    {
        asked.push_back(page);
        return hits[size_t(page)];
    }
};

TEST(SearchLogic, HitOrderAcrossPagesWithWrapAround)
{
    Pages p{{2, 0, 3, 0}, {}};
    auto count = [&p](int page) { return p(page); };
    struct Row {
        int current_page;
        HitPlace current;
        bool from_start;
        int direction;
        HitPlace expect;
    } rows[] = {
        {3, {-1, -1}, true, +1, {0, 0}},   // find first forward: page 0 whatever is shown
        {1, {-1, -1}, true, -1, {2, 2}},   // find first backward: the last hit of the last page
        {0, {0, 0}, false, +1, {0, 1}},    // next hit on the same page
        {0, {0, 1}, false, +1, {2, 0}},    // last on its page: the next page with hits, first hit
        {2, {2, 2}, false, +1, {0, 0}},    // wraps at the end
        {2, {2, 0}, false, -1, {0, 1}},    // backward to the previous page's last hit
        {0, {0, 0}, false, -1, {2, 2}},    // wraps at the start
        {1, {0, 1}, false, +1, {2, 0}},    // the hit is not on the page shown: from the page after it
        {3, {0, 0}, false, -1, {2, 2}},    // ... or before it
        {0, {-1, -1}, false, +1, {2, 0}},  // F3 without a hit: the pages after the current one
    };
    for (const Row &r : rows) {
        const HitPlace got = search_next_hit(4, r.current_page, r.current, r.from_start, r.direction, count);
        EXPECT_EQ(got.page, r.expect.page) << r.current_page << " " << r.current.page << ":" << r.current.index;
        EXPECT_EQ(got.index, r.expect.index) << r.current_page << " " << r.current.page << ":" << r.current.index;
    }

    // Hits only on the page shown, at its last hit: F3 visits every other
    // page once and comes back to the same page's first hit.
    Pages only{{0, 0, 2, 0, 0}, {}};
    auto count_only = [&only](int page) { return only(page); };
    HitPlace got = search_next_hit(5, 2, {2, 1}, false, +1, count_only);
    EXPECT_EQ(got.page, 2);
    EXPECT_EQ(got.index, 0);
    EXPECT_EQ(only.asked, (std::vector<int>{2, 3, 4, 0, 1, 2}));
    // No hits anywhere: every page once, then failure.
    Pages none{{0, 0, 0}, {}};
    auto count_none = [&none](int page) { return none(page); };
    got = search_next_hit(3, 1, {-1, -1}, false, -1, count_none);
    EXPECT_EQ(got.page, -1);
    EXPECT_EQ(none.asked, (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(search_next_hit(0, 0, {-1, -1}, true, +1, count_none).page, -1);
}

}  // namespace
