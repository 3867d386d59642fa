// Strokes: line width under skewed and non-uniform matrices and the
// thin-line minimum, caps, joins and the miter limit, dash patterns,
// degenerate subpaths, and bounded work on hostile dash patterns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "pdf/arena.h"
#include "render/context.h"
#include "render/rasterizer.h"
#include "render/stroke.h"

namespace {

struct Plane {
    int w, h;
    std::vector<uint8_t> px;
    int at(int x, int y) const { return px[size_t(y) * w + x]; }
    long long sum() const
    {
        long long s = 0;
        for (uint8_t v : px)
            s += v;
        return s;
    }
};

struct Stroke {
    std::vector<std::vector<float>> subpaths;  // x, y pairs
    std::vector<bool> closed;
    float width = 2;
    int cap = 0, join = 0;
    float miter = 10;
    std::vector<float> dash;
    float phase = 0;
    std::vector<float> ctm = {1, 0, 0, 1, 0, 0};  // subpaths are in user space
};

// Maps the subpaths by the CTM as the interpreter does, strokes them and
// rasterises the outline.
Plane stroke(const Stroke &s, int w = 64, int h = 64, int *status = nullptr)
{
    Arena *arena = arena_create(0);
    Path path, out;
    path_init(&path, arena);
    path_init(&out, arena);
    const std::vector<float> &m = s.ctm;
    for (size_t k = 0; k < s.subpaths.size(); k++) {
        const auto &sp = s.subpaths[k];
        for (size_t i = 0; i < sp.size(); i += 2) {
            float x = m[0] * sp[i] + m[2] * sp[i + 1] + m[4];
            float y = m[1] * sp[i] + m[3] * sp[i + 1] + m[5];
            i == 0 ? path_move_to(&path, x, y) : path_line_to(&path, x, y);
        }
        if (k < s.closed.size() && s.closed[k])
            path_close(&path);
    }
    GraphicsState gs;
    gs_init(&gs, nullptr);
    std::copy(m.begin(), m.end(), gs.ctm);
    gs.line_width = s.width;
    gs.line_cap = s.cap;
    gs.line_join = s.join;
    gs.miter_limit = s.miter;
    gs.dash_count = int(s.dash.size());
    for (size_t i = 0; i < s.dash.size(); i++)
        gs.dash[i] = s.dash[i];
    gs.dash_phase = s.phase;
    int st = stroke_outline(&path, &gs, &out);
    if (status)
        *status = st;
    Plane p = {w, h, std::vector<uint8_t>(size_t(w) * h)};
    Rasterizer *r = raster_create();
    raster_reset(r, 0, 0, w, h);
    raster_add_path(r, &out);
    raster_sweep(
        r, RASTER_NONZERO,
        [](void *u, int y, int x, int n, const uint8_t *c) {
            auto *pl = static_cast<Plane *>(u);
            std::memcpy(&pl->px[size_t(y) * pl->w + x], c, size_t(n));
        },
        &p);
    raster_free(r);
    arena_destroy(arena);
    return p;
}

// Covered pixels of column x, or of row y when `row` is set.
double cross_section(const Plane &p, int at, bool row)
{
    int s = 0;
    for (int i = 0; i < (row ? p.w : p.h); i++)
        s += row ? p.at(i, at) : p.at(at, i);
    return s / 255.0;
}

TEST(Stroke, WidthFollowsTheMatrixAndThinLineMinimum)
{
    struct Row {
        const char *what;
        std::vector<float> ctm;
        std::vector<float> line;  // user space
        float width;
        bool across_row;  // measure a row (vertical lines), else a column
        double expected_px;
    } rows[] = {
        {"zero width draws 0.8 pixel", {1, 0, 0, 1, 0, 0}, {5, 20.3f, 50, 20.3f}, 0, false, 0.8},
        {"0.1 is raised to 0.8", {1, 0, 0, 1, 0, 0}, {5, 20.3f, 50, 20.3f}, 0.1f, false, 0.8},
        {"0.8 stays", {1, 0, 0, 1, 0, 0}, {5, 20.3f, 50, 20.3f}, 0.8f, false, 0.8},
        {"1.5", {1, 0, 0, 1, 0, 0}, {5, 20.3f, 50, 20.3f}, 1.5f, false, 1.5},
        {"6", {1, 0, 0, 1, 0, 0}, {5, 20.3f, 50, 20.3f}, 6, false, 6},
        {"uniform scale 2", {2, 0, 0, 2, 0, 0}, {2, 10.15f, 25, 10.15f}, 1.5f, false, 3},
        // Width 6 under x 4, y 0.5: 3 pixels tall when horizontal, 24 wide when vertical.
        {"non-uniform, horizontal line", {4, 0, 0, 0.5f, 0, 0}, {1, 40.6f, 12, 40.6f}, 6, false, 3},
        {"non-uniform, vertical line", {0.5f, 0, 0, 4, 0, 0}, {40.6f, 1, 40.6f, 12}, 6, true, 3},
        // Width 0.1 under x 20: the thin direction is raised to 0.8, the
        // other keeps its 2 pixels.
        {"thin rule, thin direction", {20, 0, 0, 1, 0, 0}, {0.2f, 20.3f, 2.5f, 20.3f}, 0.1f, false, 0.8},
        {"thin rule, wide direction", {20, 0, 0, 1, 0, 0}, {1.5f, 5, 1.5f, 55}, 0.1f, true, 2},
        // Skewed x' = x + 0.6 y: a vertical line slants, and a row crosses
        // it over the width's own 6 pixels (an upright pen would give 7).
        {"skewed vertical line", {1, 0, 0.6f, 1, 0, 0}, {20, 5, 20, 55}, 6, true, 6},
    };
    for (const Row &row : rows) {
        Stroke s;
        s.ctm = row.ctm;
        s.subpaths = {row.line};
        s.width = row.width;
        Plane p = stroke(s);
        EXPECT_NEAR(cross_section(p, 30, row.across_row), row.expected_px, 0.03) << row.what;
    }
}

TEST(Stroke, Caps)
{
    // A horizontal line ending at x = 30, half width 2; pixel (31, 8) lies
    // beyond the end and half inside the square cap's height (8.5 .. 12.5).
    struct Row {
        const char *what;
        int cap;
        int lo, hi;  // coverage of pixel (31, 8)
        int beyond;  // coverage of pixel (32, 10), two pixels past the end
    } rows[] = {
        {"butt ends at the point", 0, 0, 0, 0},
        {"square extends by half the width", 2, 126, 130, 0},
        {"round: a disc of the half width", 1, 1, 60, 0},
    };
    for (const Row &row : rows) {
        Stroke s;
        s.subpaths = {{10, 10.5f, 30, 10.5f}};
        s.width = 4;
        s.cap = row.cap;
        Plane p = stroke(s);
        EXPECT_GE(p.at(31, 8), row.lo) << row.what;
        EXPECT_LE(p.at(31, 8), row.hi) << row.what;
        EXPECT_EQ(p.at(32, 10), row.beyond) << row.what;
        EXPECT_EQ(p.at(20, 10), 255) << row.what;
    }
}

TEST(Stroke, JoinsAndMiterLimit)
{
    // A right-angle corner at (30, 30), half width 3: the miter reaches
    // (33, 33); pixel (32, 32) lies beyond the bevel's diagonal.
    struct Row {
        const char *what;
        int join;
        float limit;
        int lo, hi;
    } rows[] = {
        {"limit 1: bevel", 0, 1, 0, 0},
        {"limit below sqrt 2: bevel", 0, 1.41f, 0, 0},
        {"limit above sqrt 2: miter", 0, 1.42f, 255, 255},
        {"negative limit acts as 1", 0, -5, 0, 0},
        {"bevel join", 2, 10, 0, 0},
        {"round join", 1, 10, 1, 254},
    };
    for (const Row &row : rows) {
        Stroke s;
        s.subpaths = {{10, 30, 30, 30, 30, 10}};
        s.width = 6;
        s.join = row.join;
        s.miter = row.limit;
        Plane p = stroke(s);
        EXPECT_GE(p.at(32, 32), row.lo) << row.what;
        EXPECT_LE(p.at(32, 32), row.hi) << row.what;
        EXPECT_EQ(p.at(30, 30), 255) << row.what;  // inside every join
    }
}

TEST(Stroke, ClosedSubpathsJoinEveryCorner)
{
    // A square drawn back to its start and closed: the start corner is
    // mitered like the others.
    for (bool explicit_return : {false, true}) {
        Stroke s;
        s.subpaths = {{10, 10, 40, 10, 40, 40, 10, 40}};
        if (explicit_return)
            s.subpaths[0].insert(s.subpaths[0].end(), {10, 10});
        s.closed = {true};
        s.width = 4;
        Plane p = stroke(s);
        for (auto [x, y] : {std::pair{8, 8}, {41, 8}, {41, 41}, {8, 41}})
            EXPECT_EQ(p.at(x, y), 255) << x << "," << y << " explicit " << explicit_return;
        EXPECT_EQ(p.at(25, 25), 0);
    }
}

TEST(Stroke, DashPatterns)
{
    // Each row strokes a width-2 butt-capped line along device y = 10.5 (or
    // a path containing it) and lists the coverage of row 10, columns 0..39:
    // '#' fully covered, '.' empty, '?' not checked.
    const std::vector<float> line = {0, 10.5f, 40, 10.5f};
    struct Row {
        const char *what;
        std::vector<float> dash;
        float phase;
        int cap;
        std::vector<std::vector<float>> subpaths;
        std::vector<float> ctm;
        bool closed;
        const char *row10;
    } rows[] = {
        {"even", {4, 4}, 0, 0, {line}, {}, false, "####....####....####....####....####...."},
        {"even, phase inside a dash", {4, 4}, 2, 0, {line}, {}, false,
         "##....####....####....####....####....##"},
        {"negative phase counts back from the start", {4, 4}, -2, 0, {line}, {}, false,
         "..####....####....####....####....####.."},
        // An odd pattern repeats with dashes and gaps swapped.
        {"odd, one entry: dashed, not solid", {5}, 0, 0, {line}, {}, false,
         "#####.....#####.....#####.....#####....."},
        {"odd, three entries: 2 on 1 off 3 on 2 off 1 on 3 off", {2, 1, 3}, 0, 0, {line}, {}, false,
         "##.###..#...##.###..#...##.###..#...##.#"},
        {"odd with a phase past one pattern", {5}, 7, 0, {line}, {}, false,
         "...#####.....#####.....#####.....#####.."},
        // Zero-length dashes: squares of the width with square caps (also
        // at the very end), nothing with butt caps; a zero gap joins dashes.
        {"zero-length dashes, square caps", {0, 8}, 0, 2, {line}, {}, false,
         "#......##......##......##......##......#"},
        {"zero-length dashes, butt caps", {0, 8}, 0, 0, {line}, {}, false,
         "........................................"},
        {"zero-length gap", {3, 0, 2, 3}, 0, 0, {line}, {}, false,
         "#####...#####...#####...#####...#####..."},
        // Lengths are in user space: [3 1] under x 2 is 6 on 2 off.
        {"user-space lengths", {3, 1}, 0, 0, {{0, 21, 20, 21}}, {2, 0, 0, 0.5f, 0, 0}, false,
         "######..######..######..######..######.."},
        {"the pattern restarts at every subpath", {4, 4}, 0, 0,
         {{0, 10.5f, 10, 10.5f}, {10, 10.5f, 40, 10.5f}}, {}, false,
         "####....######....####....####....####.."},
        {"the pattern runs on round a corner", {6, 4}, 0, 0, {{0, 14.5f, 0, 10.5f, 40, 10.5f}}, {},
         false, "##....######....######....######....####"},
        // Three sides of 40 (15 whole patterns), then the closing segment
        // along y = 10.5 from x = 0; column 39 touches the first side's dash.
        {"closed: the closing segment is dashed", {4, 4}, 0, 0,
         {{40, 10.5f, 40, 50.5f, 0, 50.5f, 0, 10.5f}}, {}, true,
         "####....####....####....####....####...?"},
    };
    for (const Row &row : rows) {
        Stroke s;
        s.subpaths = row.subpaths;
        s.closed = {row.closed};
        if (!row.ctm.empty())
            s.ctm = row.ctm;
        s.width = row.ctm.empty() ? 2 : 4;
        s.cap = row.cap;
        s.dash = row.dash;
        s.phase = row.phase;
        Plane p = stroke(s);
        std::string got;
        for (int x = 0; x < 40; x++)
            got += row.row10[x] == '?' ? '?' : p.at(x, 10) == 255 ? '#' : p.at(x, 10) == 0 ? '.' : '~';
        EXPECT_EQ(got, row.row10) << row.what;
    }
}

TEST(Stroke, DegenerateSubpaths)
{
    struct Row {
        const char *what;
        std::vector<float> pts;
        int cap;
        std::vector<float> dash;
        double area;  // covered pixels
    } rows[] = {
        {"single point, round cap: a dot", {20, 20}, 1, {}, 12.25},
        {"single point, butt cap: nothing", {20, 20}, 0, {}, 0},
        {"single point, square cap: nothing", {20, 20}, 2, {}, 0},
        {"zero-length line, round cap: a dot", {20, 20, 20, 20}, 1, {}, 12.25},
        {"zero-length line, butt cap: nothing", {20, 20, 20, 20, 20, 20}, 0, {}, 0},
    };
    for (const Row &row : rows) {
        Stroke s;
        s.subpaths = {row.pts};
        s.width = 4;
        s.cap = row.cap;
        s.dash = row.dash;
        Plane p = stroke(s);
        // The disc is a 16-sided polygon of radius 2: area 12.25.
        EXPECT_NEAR(p.sum() / 255.0, row.area, 0.1 + row.area * 0.02) << row.what;
    }
}

TEST(Stroke, HostileDashPatternsStopOrTurnSolid)
{
    struct Row {
        const char *what;
        std::vector<float> dash;
        int status;  // 0: the outline is a solid line
    } rows[] = {
        {"5e10 dashes run into the limit", {0.02f, 0.02f}, -3},
        {"a pattern shorter than 0.01 pixel is solid", {1e-3f, 1e-3f}, 0},
        {"an all-zero pattern is solid", {0, 0}, 0},
    };
    for (const Row &row : rows) {
        Stroke s;
        s.subpaths = {{0, 10.5f, 1e9f, 10.5f}};
        s.dash = row.dash;
        int status = 1;
        Plane p = stroke(s, 16, 16, &status);
        EXPECT_EQ(status, row.status) << row.what;
        for (int x = 0; x < 16 && row.status == 0; x++)
            EXPECT_EQ(p.at(x, 10), 255) << row.what << " at " << x;
    }
}

}  // namespace
