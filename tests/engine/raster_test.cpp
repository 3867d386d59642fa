// Scan conversion: coverage arithmetic, fill rules, span delivery, agreement
// with a double-precision reference, and hostile geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <limits>
#include <random>
#include <vector>

#include "coverage_reference.h"
#include "pdf/arena.h"
#include "render/limits.h"
#include "render/path.h"
#include "render/rasterizer.h"

namespace {

struct ArenaGuard {
    Arena *a = arena_create(0);
    ~ArenaGuard() { arena_destroy(a); }
};

struct RasterGuard {
    Rasterizer *r = raster_create();
    ~RasterGuard() { raster_free(r); }
};

struct Plane {
    int w = 0, h = 0;
    std::vector<uint8_t> px;
    int calls = 0;
    int longest = 0;
    bool out_of_order = false;
    int last_y = -1, last_end = 0;
    uint8_t at(int x, int y) const { return px[size_t(y) * w + x]; }
};

void plane_span(void *user, int y, int x, int length, const uint8_t *coverage)
{
    auto *p = static_cast<Plane *>(user);
    p->calls++;
    p->longest = std::max(p->longest, length);
    if (y < p->last_y || (y == p->last_y && x < p->last_end))
        p->out_of_order = true;
    p->last_y = y;
    p->last_end = x + length;
    ASSERT_TRUE(y >= 0 && y < p->h && x >= 0 && length > 0 && x + length <= p->w);
    std::memcpy(&p->px[size_t(y) * p->w + x], coverage, size_t(length));
}

void polygon(Path *p, const std::vector<double> &xy)
{
    path_move_to(p, float(xy[0]), float(xy[1]));
    for (size_t i = 2; i + 1 < xy.size(); i += 2)
        path_line_to(p, float(xy[i]), float(xy[i + 1]));
    path_close(p);
}

// A lower cell pool and step budget for raster_fill (0: the defaults).
struct FillLimits {
    int cell_limit;
    long long budget;
};

// Rasterises polygons over w x h: in one sweep (status of the sweep in
// *status), or with `limits` through raster_fill (what it lost in *status).
Plane rasterise(const std::vector<std::vector<double>> &polys, int w, int h, int rule, int *status = nullptr,
                const FillLimits *limits = nullptr)
{
    ArenaGuard arena;
    RasterGuard r;
    Path path;
    path_init(&path, arena.a);
    for (const auto &poly : polys)
        polygon(&path, poly);
    Plane p;
    p.w = w;
    p.h = h;
    p.px.assign(size_t(w) * h, 0);
    int st;
    if (limits) {
        if (limits->cell_limit)
            r.r->cell_limit = limits->cell_limit;
        if (limits->budget)
            r.r->fill_budget = limits->budget;
        st = raster_fill(r.r, &path, 0, 0, w, h, rule, plane_span, &p);
        EXPECT_LE(r.r->cell_capacity, limits->cell_limit ? limits->cell_limit : RASTER_MAX_CELLS);
    } else {
        raster_reset(r.r, 0, 0, w, h);
        raster_add_path(r.r, &path);
        st = raster_sweep(r.r, rule, plane_span, &p);
    }
    if (status)
        *status = st;
    return p;
}

std::vector<double> rect(double x0, double y0, double x1, double y1) { return {x0, y0, x1, y0, x1, y1, x0, y1}; }

TEST(Raster, CoverageArithmetic)
{
    struct Row {
        const char *what;
        std::vector<std::vector<double>> polys;
        int rule;
        int x, y;
        int expected;
    } rows[] = {
        {"half a row's height gives 128", {rect(2, 10.5, 30, 20)}, RASTER_NONZERO, 10, 10, 128},
        {"full coverage is 255, not 256", {rect(2, 10.5, 30, 20)}, RASTER_NONZERO, 10, 15, 255},
        {"a quarter of a pixel", {rect(4.5, 4.5, 5, 5)}, RASTER_NONZERO, 4, 4, 64},
        {"reversed orientation, same bytes", {{4.5, 4.5, 4.5, 5, 5, 5, 5, 4.5}}, RASTER_NONZERO, 4, 4, 64},
        {"half column", {rect(10.5, 0, 20, 40)}, RASTER_NONZERO, 10, 5, 128},
        {"double cover, nonzero", {rect(2, 2, 30, 30), rect(2, 2, 30, 30)}, RASTER_NONZERO, 10, 10, 255},
        {"double cover, even-odd", {rect(2, 2, 30, 30), rect(2, 2, 30, 30)}, RASTER_EVEN_ODD, 10, 10, 0},
        {"single cover, even-odd", {rect(2, 2, 30, 30)}, RASTER_EVEN_ODD, 10, 10, 255},
        {"hole by opposite winding", {rect(2, 2, 30, 30), {10, 10, 10, 20, 20, 20, 20, 10}}, RASTER_NONZERO, 15, 15, 0},
        {"same winding inside, nonzero", {rect(2, 2, 30, 30), rect(10, 10, 20, 20)}, RASTER_NONZERO, 15, 15, 255},
        {"same winding inside, even-odd", {rect(2, 2, 30, 30), rect(10, 10, 20, 20)}, RASTER_EVEN_ODD, 15, 15, 0},
        // Edges left of the raster still wind: the shape stays solid at x = 0.
        {"off-left rectangle", {rect(-500, 5, 10, 15)}, RASTER_NONZERO, 0, 10, 255},
        {"off-left triangle, far vertices", {{-1e6, -1e6, 30, 20, -1e6, 1e6}}, RASTER_NONZERO, 5, 20, 255},
        // The visible part of an edge from far left keeps its slope: at
        // x = 20..21 the edge from (-1000, 0) to (40, 32) runs at y = 31.38..31.42,
        // leaving 0.6 of pixel (20, 31) below it.
        {"sloped edge from far left", {{-1000, 0, 40, 32, -1000, 40}}, RASTER_NONZERO, 20, 31, 153},
        {"off-right edges are dropped", {rect(10, 5, 5000, 15)}, RASTER_NONZERO, 39, 10, 255},
        {"above and below the raster", {rect(5, -100, 15, 100)}, RASTER_NONZERO, 10, 0, 255},
        {"sliver of 1/8 pixel", {rect(5, 5.25, 30, 5.375)}, RASTER_NONZERO, 10, 5, 32},
    };
    for (const Row &row : rows) {
        Plane p = rasterise(row.polys, 40, 40, row.rule);
        EXPECT_NEAR(p.at(row.x, row.y), row.expected, 1) << row.what;
    }
}

TEST(Raster, DegenerateSubpathsPaintNothing)
{
    struct Row {
        const char *what;
        std::vector<double> xy;
    } rows[] = {
        {"single point", {5, 5}},
        {"two points: a line has no area", {5, 5, 20, 20}},
        {"all points equal", {5, 5, 5, 5, 5, 5}},
        {"horizontal only", {2, 7, 30, 7, 12, 7}},
    };
    for (const Row &row : rows) {
        Plane p = rasterise({row.xy}, 32, 32, RASTER_NONZERO);
        EXPECT_EQ(p.calls, 0) << row.what;
    }
}

TEST(Raster, SpansAreOrderedClippedAndAtMost512)
{
    // 1300 pixels wide: every row arrives in pieces of at most 512, in order.
    Plane p = rasterise({rect(-10, 0.5, 1310, 3)}, 1300, 4, RASTER_NONZERO);
    EXPECT_EQ(p.longest, RASTER_SPAN_MAX);
    EXPECT_FALSE(p.out_of_order);
    for (int x = 0; x < 1300; x++) {
        ASSERT_EQ(p.at(x, 0), 128) << x;
        ASSERT_EQ(p.at(x, 1), 255) << x;
        ASSERT_EQ(p.at(x, 3), 0) << x;
    }
}

TEST(Raster, BoundsOffsetAndReuse)
{
    ArenaGuard arena;
    RasterGuard r;
    Path path;
    path_init(&path, arena.a);
    polygon(&path, rect(100.5, 200, 110, 210));
    // The same rasterizer, reset to different bounds, gives the same bytes.
    for (int pass = 0; pass < 2; pass++) {
        struct Hit {
            int y, x, len;
            uint8_t first;
        };
        std::vector<Hit> hits;
        raster_reset(r.r, 95, 195, 120, 215);
        raster_add_path(r.r, &path);
        ASSERT_EQ(raster_sweep(
                      r.r, RASTER_NONZERO,
                      [](void *u, int y, int x, int len, const uint8_t *c) {
                          static_cast<std::vector<Hit> *>(u)->push_back({y, x, len, c[0]});
                      },
                      &hits),
                  0);
        ASSERT_EQ(hits.size(), 10u);
        EXPECT_EQ(hits[0].y, 200);
        EXPECT_EQ(hits[0].x, 100);
        EXPECT_EQ(hits[0].len, 10);
        EXPECT_EQ(hits[0].first, 128);
    }
    // Bounds beyond the fixed-point range leave an empty rasterizer.
    EXPECT_EQ(raster_reset(r.r, 0, 0, RASTER_MAX_BOUND + 1, 10), 0);
    raster_add_path(r.r, &path);
    EXPECT_EQ(r.r->cell_count, 0);
}

// Random polygons against the double-precision reference of the same cell
// arithmetic: every byte within 2 (crossings are rounded to 1/256 pixel).
TEST(Raster, AgreesWithExactReference)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> u(-15, 75);
    int worst = 0;
    for (int i = 0; i < 60; i++) {
        std::vector<double> xy;
        int n = 3 + i % 12;
        for (int k = 0; k < 2 * n; k++)
            xy.push_back(u(rng));
        int rule = i % 2 ? RASTER_EVEN_ODD : RASTER_NONZERO;
        Plane p = rasterise({xy}, 60, 60, rule);
        testsupport::CoverageReference ref(60, 60);
        ref.add_polygon(xy);
        std::vector<uint8_t> e = ref.coverage(rule == RASTER_EVEN_ODD);
        for (size_t k = 0; k < e.size(); k++)
            worst = std::max(worst, std::abs(int(p.px[k]) - int(e[k])));
    }
    EXPECT_LE(worst, 3);
}

// A comb of 1500 slanted teeth puts thousands of cells in each row: those
// rows are ordered by the sweep instead of on insertion, with the same bytes.
TEST(Raster, LongRowsAreSortedAtTheSweep)
{
    std::vector<double> xy = {0, 0};
    for (int i = 0; i < 1500; i++) {
        xy.insert(xy.end(), {i * 2.0 + 0.3, 39.7, i * 2.0 + 1.1, 0.2});
    }
    xy.insert(xy.end(), {3000, 0});
    int status = 1;
    Plane p = rasterise({xy}, 3000, 40, RASTER_NONZERO, &status);
    ASSERT_EQ(status, 0);
    testsupport::CoverageReference ref(3000, 40);
    ref.add_polygon(xy);
    std::vector<uint8_t> e = ref.coverage(false);
    int worst = 0;
    for (size_t k = 0; k < e.size(); k++)
        worst = std::max(worst, std::abs(int(p.px[k]) - int(e[k])));
    EXPECT_LE(worst, 2);
}

TEST(Raster, HostileGeometryEndsQuickly)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char *what;
        std::vector<double> xy;
        int x, y, expected;  // expected < 0: any value
    } rows[] = {
        {"NaN vertex is left out", {2, 2, 30, 2, nan, 5, 30, 30, 2, 30}, 15, 15, 255},
        {"all NaN", {nan, nan, nan, 1, 3, nan}, 15, 15, 0},
        {"infinite vertex", {2, 2, inf, 2, 30, 30}, 20, 10, -1},
        {"minus infinity", {-inf, -inf, 30, 2, 2, 30}, 5, 5, -1},
        {"1e9 pixel triangle", {-1e9, -1e9, 1e9, 16.5, -1e9, 1e9}, 10, 10, 255},
        {"1e9 pixel sliver crossing", {-1e9, 10, 1e9, 20, 1e9, 21, -1e9, 11}, 16, 15, -1},
        {"float maximum", {-3e38, 5, 3e38, 5, 3e38, 25, -3e38, 25}, 16, 15, 255},
    };
    for (const Row &row : rows) {
        int status = 1;
        Plane p = rasterise({row.xy}, 32, 32, RASTER_NONZERO, &status);
        EXPECT_EQ(status, 0) << row.what;
        if (row.expected >= 0) {
            EXPECT_EQ(p.at(row.x, row.y), row.expected) << row.what;
        }
    }
}

// Fills a path and returns the sweep status and the sum of all coverage.
int fill_sum(Rasterizer *r, const Path &path, int w, int h, long long *sum)
{
    raster_reset(r, 0, 0, w, h);
    raster_add_path(r, &path);
    *sum = 0;
    return raster_sweep(
        r, RASTER_NONZERO,
        [](void *u, int, int, int len, const uint8_t *c) {
            for (int i = 0; i < len; i++)
                *static_cast<long long *>(u) += c[i];
        },
        sum);
}

TEST(Raster, MillionSegmentPaths)
{
    ArenaGuard arena;
    RasterGuard r;
    Path path;
    path_init(&path, arena.a);
    // A circle of radius 150 as a million-sided polygon: filled exactly.
    for (int i = 0; i < 1000000; i++) {
        double a = 2 * std::numbers::pi * i / 1000000;
        ASSERT_EQ(path_line_to(&path, float(200 + 150 * std::cos(a)), float(200 + 150 * std::sin(a))), 0);
    }
    long long sum = 0;
    ASSERT_EQ(fill_sum(r.r, path, 400, 400, &sum), 0);
    EXPECT_NEAR(double(sum) / 255, std::numbers::pi * 150 * 150, 150.0);

    // A scribble of long random edges needs more cells than one fill may
    // use: the pool or the step budget stops it with -3 (the budget bounds the time).
    path_reset(&path);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0, 400);
    for (int i = 0; i < 200000; i++)
        path_line_to(&path, float(u(rng)), float(u(rng)));
    int status = fill_sum(r.r, path, 400, 400, &sum);
    EXPECT_EQ(status, -3);
    EXPECT_EQ(sum, 0);
    EXPECT_LE(r.r->cell_capacity, RASTER_MAX_CELLS);
}

TEST(Raster, CellPoolOverflowReportsMinus3)
{
    ArenaGuard arena;
    RasterGuard r;
    Path path;
    path_init(&path, arena.a);
    // Long diagonals over a 20000 x 20000 raster: about 40000 cells each,
    // 600 of them need more cells than the pool may hold.
    for (int i = 0; i < 600; i++) {
        float o = float(i) * 0.37f;
        path_move_to(&path, o, 0);
        path_line_to(&path, 20000, 20000 - o);
        path_line_to(&path, 20000 - o, 20000);
        path_close(&path);
    }
    raster_reset(r.r, 0, 0, 20000, 20000);
    raster_add_path(r.r, &path);
    int calls = 0;
    EXPECT_EQ(raster_sweep(
                  r.r, RASTER_NONZERO, [](void *u, int, int, int, const uint8_t *) { ++*static_cast<int *>(u); },
                  &calls),
              -3);
    EXPECT_EQ(calls, 0);  // nothing of a failed fill is emitted
    EXPECT_LE(r.r->cell_capacity, RASTER_MAX_CELLS);
    // The next fill after a reset works again.
    path_reset(&path);
    polygon(&path, rect(1, 1, 3, 3));
    raster_reset(r.r, 0, 0, 8, 8);
    raster_add_path(r.r, &path);
    EXPECT_EQ(raster_sweep(
                  r.r, RASTER_NONZERO, [](void *u, int, int, int, const uint8_t *) { ++*static_cast<int *>(u); },
                  &calls),
              0);
    EXPECT_EQ(calls, 2);
}

}  // namespace

namespace {

// Thin slanted quadrilaterals side by side, like a stroked hatch.
std::vector<std::vector<double>> hatch(int lines, double w, double h)
{
    std::vector<std::vector<double>> out;
    for (int i = 0; i < lines; i++) {
        double x = 0.37 * i;
        out.push_back({x, -1, x + 0.6, -1, x + w / 3 + 0.6, h + 1, x + w / 3, h + 1});
    }
    return out;
}

}  // namespace

TEST(Raster, FillTooBigForThePoolIsDrawnInPiecesWithTheBytesOfOnePass)
{
    const std::vector<double> star = {40, 2, 64, 76, 2, 30, 78, 30, 16, 76};  // self-intersecting
    struct Row {
        const char *what;
        std::vector<std::vector<double>> polys;
        int rule;
        int cell_limit;  // far below what one pass needs
    } rows[] = {
        {"hatch of 60 lines, nonzero", hatch(60, 80, 80), RASTER_NONZERO, 1024},
        {"hatch, pieces of a few rows", hatch(60, 80, 80), RASTER_NONZERO, 300},
        {"even-odd star and a ring", {star, rect(10, 10, 70, 70), rect(20, 20, 60, 60)}, RASTER_EVEN_ODD, 64},
        {"nonzero star, a pool of 32 cells", {star}, RASTER_NONZERO, 32},
    };
    for (const Row &row : rows) {
        int status = 1, lost = -1;
        Plane whole = rasterise(row.polys, 80, 80, row.rule, &status);
        ASSERT_EQ(status, 0) << row.what;
        const FillLimits limits = {row.cell_limit, 0};
        Plane pieces = rasterise(row.polys, 80, 80, row.rule, &lost, &limits);
        EXPECT_EQ(lost, 0) << row.what;
        EXPECT_FALSE(pieces.out_of_order) << row.what;  // pieces come top to bottom
        EXPECT_EQ(pieces.px, whole.px) << row.what;
    }
}

TEST(Raster, WhatPiecesCannotHoldIsReportedNotHidden)
{
    // A row crossed by 60 edges needs more than 16 cells: those rows are left
    // out and reported; rows the pieces could hold are still drawn.
    std::vector<std::vector<double>> polys = hatch(30, 60, 40);
    polys.push_back(rect(0, 45, 10, 50));  // a small block below the hatch
    int status = 1, lost = 0;
    Plane whole = rasterise(polys, 80, 60, RASTER_NONZERO, &status);
    ASSERT_EQ(status, 0);
    const FillLimits tiny_pool = {16, 0}, tiny_budget = {256, 2000};
    Plane small = rasterise(polys, 80, 60, RASTER_NONZERO, &lost, &tiny_pool);
    EXPECT_EQ(lost, RASTER_LOST_ROWS);
    EXPECT_EQ(small.at(5, 47), 255);  // the block is drawn
    EXPECT_EQ(std::memcmp(&small.px[45 * 80], &whole.px[45 * 80], 5 * 80), 0);

    // A spent step budget stops the fill: rows above are drawn, the rest is
    // left out and reported.
    Plane budget = rasterise(polys, 80, 60, RASTER_NONZERO, &lost, &tiny_budget);
    EXPECT_EQ(lost, RASTER_LOST_BUDGET);
    EXPECT_EQ(std::memcmp(budget.px.data(), whole.px.data(), 80), 0);
    EXPECT_EQ(budget.at(5, 47), 0);
}
