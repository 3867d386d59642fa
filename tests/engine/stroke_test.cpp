// Strokes: minimum width, caps, joins and the miter limit, dash patterns,
// degenerate subpaths, and bounded work on hostile dash patterns.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
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
};

// Strokes in device space (identity CTM) and rasterises the outline.
Plane stroke(const Stroke &s, int w = 64, int h = 64, int *status = nullptr)
{
    Arena *arena = arena_create(0);
    Path path, out;
    path_init(&path, arena);
    path_init(&out, arena);
    for (size_t k = 0; k < s.subpaths.size(); k++) {
        const auto &sp = s.subpaths[k];
        path_move_to(&path, sp[0], sp[1]);
        for (size_t i = 2; i < sp.size(); i += 2)
            path_line_to(&path, sp[i], sp[i + 1]);
        if (k < s.closed.size() && s.closed[k])
            path_close(&path);
    }
    GraphicsState gs;
    gs_init(&gs, nullptr);
    gs.line_cap = s.cap;
    gs.line_join = s.join;
    gs.miter_limit = s.miter;
    gs.dash_count = int(s.dash.size());
    for (size_t i = 0; i < s.dash.size(); i++)
        gs.dash[i] = s.dash[i];
    gs.dash_phase = s.phase;
    int st = stroke_outline(&path, &gs, s.width, &out);
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

int column_sum(const Plane &p, int x)
{
    int s = 0;
    for (int y = 0; y < p.h; y++)
        s += p.at(x, y);
    return s;
}

TEST(Stroke, WidthAndThinLineMinimum)
{
    struct Row {
        const char *what;
        float width;
        double expected_px;  // covered height of one column
    } rows[] = {
        {"zero width draws 0.8 pixel", 0, 0.8},
        {"0.1 is raised to 0.8", 0.1f, 0.8},
        {"0.8 stays", 0.8f, 0.8},
        {"1.5", 1.5f, 1.5},
        {"6", 6, 6},
    };
    for (const Row &row : rows) {
        Stroke s;
        s.subpaths = {{5, 20.3f, 50, 20.3f}};
        s.width = row.width;
        Plane p = stroke(s);
        EXPECT_NEAR(column_sum(p, 30) / 255.0, row.expected_px, 0.02) << row.what;
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

TEST(Stroke, DashesRestartPerSubpath)
{
    Stroke s;
    // Two lines starting at different x: each begins with a dash.
    s.subpaths = {{2, 10.5f, 60, 10.5f}, {7, 30.5f, 60, 30.5f}};
    s.width = 2;
    s.dash = {4, 4};
    Plane p = stroke(s);
    for (int d = 0; d < 4; d++) {
        EXPECT_EQ(p.at(2 + d, 10), 255) << d;
        EXPECT_EQ(p.at(7 + d, 30), 255) << d;
        EXPECT_EQ(p.at(6 + d, 10), 0) << d;
        EXPECT_EQ(p.at(11 + d, 30), 0) << d;
    }
    // A phase of 4 starts in the gap; a phase of a million patterns later is the same.
    for (float phase : {4.0f, 8e6f + 4}) {
        s.phase = phase;
        Plane q = stroke(s);
        EXPECT_EQ(q.at(3, 10), 0) << phase;
        EXPECT_EQ(q.at(7, 10), 255) << phase;
    }
}

TEST(Stroke, DashesFollowCornersAndClosingSegments)
{
    Stroke s;
    // A dash of 12 around the corner of an L: 6 before the corner, 6 after.
    s.subpaths = {{14, 20, 20, 20, 20, 40}};
    s.width = 2;
    s.dash = {12, 100};
    s.cap = 0;
    Plane p = stroke(s);
    EXPECT_EQ(p.at(15, 19), 255);
    EXPECT_EQ(p.at(20, 24), 255);
    EXPECT_EQ(p.at(20, 27), 0);
    // A closed triangle's closing segment is dashed too.
    s.subpaths = {{10, 10, 50, 10, 10, 50}};
    s.closed = {true};
    s.dash = {5, 5};
    Plane q = stroke(s);
    long long on_closing = 0;
    for (int y = 12; y < 48; y++)
        on_closing += q.at(9, y) + q.at(10, y);
    EXPECT_GT(on_closing, 0);
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

TEST(Stroke, ZeroDashesWithRoundCapsAreDots)
{
    // Lengths below 0.01 become 0.01: dots at 10, 20.01, 30.02, 40.03.
    Stroke s;
    s.subpaths = {{10, 20, 50, 20}};
    s.width = 4;
    s.cap = 1;
    s.dash = {0, 10};
    Plane p = stroke(s);
    for (int x : {10, 20, 30, 40}) {
        EXPECT_EQ(p.at(x, 19), 255) << x;
        EXPECT_EQ(p.at(x - 1, 20), 255) << x;
        EXPECT_EQ(p.at(x + 5, 20), 0) << x;
    }
    EXPECT_EQ(p.at(50, 20), 0);
}

TEST(Stroke, HostileDashPatternsStop)
{
    Stroke s;
    s.subpaths = {{0, 10, 1e9f, 10}};
    s.dash = {0, 0};  // every length is raised to 0.01
    auto t0 = std::chrono::steady_clock::now();
    int status = 0;
    stroke(s, 16, 16, &status);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(status, -3);
    EXPECT_LT(seconds, 30.0);
}

}  // namespace
