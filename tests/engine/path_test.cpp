// Device-space paths: building rules, curve flattening accuracy and limits,
// rectangle recognition, and behaviour when the arena runs out.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "pdf/arena.h"
#include "render/limits.h"
#include "render/path.h"

namespace {

struct ArenaGuard {
    Arena *a = arena_create(0);
    ~ArenaGuard() { arena_destroy(a); }
};

struct P {
    double x, y;
};

P bezier(const P c[4], double t)
{
    double u = 1 - t;
    return {u * u * u * c[0].x + 3 * u * u * t * c[1].x + 3 * u * t * t * c[2].x + t * t * t * c[3].x,
            u * u * u * c[0].y + 3 * u * u * t * c[1].y + 3 * u * t * t * c[2].y + t * t * t * c[3].y};
}

double distance_to_polyline(P p, const SubPath &s)
{
    double best = 1e300;
    for (int i = 0; i + 1 < s.count; i++) {
        P a = {s.points[2 * i], s.points[2 * i + 1]}, b = {s.points[2 * i + 2], s.points[2 * i + 3]};
        double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0;
        best = std::min(best, std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy)));
    }
    return best;
}

TEST(Path, FlatteningStaysWithinAThirdOfAPixel)
{
    struct Row {
        const char *what;
        P c[4];
        int max_points;
    } rows[] = {
        {"quarter circle r=100", {{100, 0}, {100, 55.2}, {55.2, 100}, {0, 100}}, 40},
        {"S curve", {{0, 0}, {300, 0}, {-200, 200}, {100, 200}}, 80},
        {"cusp", {{0, 0}, {100, 100}, {0, 100}, {100, 0}}, 80},
        {"loop returning to its start", {{50, 50}, {150, 0}, {150, 100}, {50, 50}}, 80},
        {"straight: control points on the chord", {{0, 0}, {10, 10}, {20, 20}, {30, 30}}, 2},
        {"tiny", {{5, 5}, {5.1, 5}, {5.2, 5.1}, {5.2, 5.2}}, 2},
    };
    for (const Row &row : rows) {
        ArenaGuard arena;
        Path path;
        path_init(&path, arena.a);
        path_move_to(&path, float(row.c[0].x), float(row.c[0].y));
        ASSERT_EQ(path_curve_to(&path, float(row.c[1].x), float(row.c[1].y), float(row.c[2].x),
                                float(row.c[2].y), float(row.c[3].x), float(row.c[3].y)),
                  0);
        const SubPath &s = path.subpaths[0];
        EXPECT_LE(s.count, row.max_points + 1) << row.what;
        EXPECT_GE(s.count, 2) << row.what;
        double worst = 0;
        for (int i = 0; i <= 200; i++)
            worst = std::max(worst, distance_to_polyline(bezier(row.c, i / 200.0), s));
        EXPECT_LT(worst, 0.33) << row.what;
        EXPECT_EQ(path.cur_x, float(row.c[3].x)) << row.what;
    }
}

// Depth-limited halving bounds every curve; with an area to keep, pieces
// beyond it are not halved at all (the rest of the curve is).
TEST(Path, FlatteningIsBounded)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float area[4] = {0, 0, 1000, 1000};
    struct Row {
        const char *what;
        float c[8];
        const float *keep;
        int max_points;
    } rows[] = {
        {"1e9 pixel curve: depth limit", {0, 0, 1e9f, 0, 1e9f, 1e9f, 0, 1e9f}, nullptr, 65537},
        {"NaN control point stops at once", {0, 0, nan, 5, 10, 10, 20, 0}, nullptr, 2},
        {"infinite control point", {0, 0, inf, 5, 10, 10, 20, 0}, nullptr, 65537},
        {"1e9 pixel curve leaving the area: halved near it", {0, 0, 1e9f, 0, 1e9f, 1e9f, 0, 1e9f}, area, 40},
        {"curve wholly right of the area: its chord", {2000, 0, 3000, 0, 3000, 500, 2000, 500}, area, 2},
    };
    for (const Row &row : rows) {
        ArenaGuard arena;
        Path path;
        path_init(&path, arena.a);
        path_move_to(&path, row.c[0], row.c[1]);
        EXPECT_EQ(path_curve_to(&path, row.c[2], row.c[3], row.c[4], row.c[5], row.c[6], row.c[7], row.keep), 0);
        EXPECT_LE(path.subpaths[0].count, row.max_points) << row.what;
        EXPECT_EQ(path.cur_x, row.c[6]) << row.what;
    }
}

TEST(Path, BuildingRules)
{
    ArenaGuard arena;
    Path p;
    path_init(&p, arena.a);
    // line-to without a subpath starts one.
    path_line_to(&p, 1, 2);
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.subpaths[0].count, 1);
    path_line_to(&p, 3, 4);
    path_close(&p);
    EXPECT_TRUE(p.subpaths[0].closed);
    EXPECT_EQ(p.cur_x, 1);
    EXPECT_EQ(p.cur_y, 2);
    // A line-to after close still extends the closed subpath.
    path_line_to(&p, 5, 6);
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.subpaths[0].count, 3);
    // Many points grow the arrays.
    path_move_to(&p, 0, 0);
    for (int i = 0; i < 1000; i++)
        path_line_to(&p, float(i), float(i));
    EXPECT_EQ(p.subpaths[1].count, 1001);
    EXPECT_EQ(p.subpaths[1].points[2 * 1000], 999);
    for (int i = 0; i < 40; i++)
        path_move_to(&p, float(i), 0);
    EXPECT_EQ(p.count, 42);
    EXPECT_EQ(p.subpaths[0].count, 3);  // copied along when the array grew
    // reset forgets the subpaths but keeps the current point.
    path_reset(&p);
    EXPECT_EQ(p.count, 0);
    EXPECT_EQ(p.cur_x, 39);
    // curve-to with no subpath starts at its first control point.
    path_curve_to(&p, 10, 10, 20, 10, 30, 10);
    EXPECT_EQ(p.subpaths[0].points[0], 10);
    EXPECT_EQ(p.cur_x, 30);
}

TEST(Path, ExhaustedArenaLeavesThePathAsItWas)
{
    Arena *arena = arena_create(1024);
    arena->limit = 4096;
    Path p;
    path_init(&p, arena);
    int status = 0, points = 0;
    path_move_to(&p, 0, 0);
    while (status == 0 && points < 100000) {
        status = path_line_to(&p, float(points), 1);
        if (status == 0)
            points++;
    }
    EXPECT_EQ(status, -3);
    int count = p.subpaths[0].count;
    float cx = p.cur_x;
    EXPECT_EQ(count, points + 1);
    EXPECT_EQ(path_curve_to(&p, 0, 100, 100, 100, 100, 0), -3);
    EXPECT_EQ(p.subpaths[0].count, count);
    EXPECT_EQ(p.cur_x, cx);
    // New subpaths fit in the remaining space until they do not.
    int subpaths = p.count;
    while (path_move_to(&p, 5, 5) == 0)
        subpaths = p.count;
    EXPECT_EQ(p.count, subpaths);
    EXPECT_EQ(p.subpaths[0].count, count);
    arena_destroy(arena);
}

TEST(Path, Bounds)
{
    ArenaGuard arena;
    Path p;
    path_init(&p, arena.a);
    float x0, y0, x1, y1;
    EXPECT_FALSE(path_bounds(&p, &x0, &y0, &x1, &y1));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    path_move_to(&p, nan, 3);
    EXPECT_FALSE(path_bounds(&p, &x0, &y0, &x1, &y1));  // NaN points do not count
    path_line_to(&p, 5, -2);
    path_move_to(&p, -1, 7);
    ASSERT_TRUE(path_bounds(&p, &x0, &y0, &x1, &y1));
    EXPECT_EQ(x0, -1);
    EXPECT_EQ(y0, -2);
    EXPECT_EQ(x1, 5);
    EXPECT_EQ(y1, 7);
}

TEST(Path, RectangleRecognition)
{
    struct Row {
        const char *what;
        std::vector<std::vector<float>> subpaths;
        bool rect;
        float x0, y0, x1, y1;
    } rows[] = {
        {"re: four corners", {{10, 20, 30, 20, 30, 40, 10, 40}}, true, 10, 20, 30, 40},
        {"counter-clockwise", {{10, 20, 10, 40, 30, 40, 30, 20}}, true, 10, 20, 30, 40},
        {"five points, last = first", {{10, 20, 30, 20, 30, 40, 10, 40, 10, 20}}, true, 10, 20, 30, 40},
        {"five points, last differs", {{10, 20, 30, 20, 30, 40, 10, 40, 11, 20}}, false},
        {"bow tie has its corners at the extremes", {{10, 20, 30, 40, 30, 20, 10, 40}}, false},
        {"rotated square", {{20, 10, 30, 20, 20, 30, 10, 20}}, false},
        {"three points", {{10, 20, 30, 20, 30, 40}}, false},
        {"two rectangles", {{0, 0, 1, 0, 1, 1, 0, 1}, {2, 2, 3, 2, 3, 3, 2, 3}}, false},
        {"zero height", {{10, 20, 30, 20, 30, 20, 10, 20}}, true, 10, 20, 30, 20},
    };
    for (const Row &row : rows) {
        ArenaGuard arena;
        Path p;
        path_init(&p, arena.a);
        for (const auto &s : row.subpaths) {
            path_move_to(&p, s[0], s[1]);
            for (size_t i = 2; i < s.size(); i += 2)
                path_line_to(&p, s[i], s[i + 1]);
            path_close(&p);
        }
        float x0, y0, x1, y1;
        ASSERT_EQ(path_is_rectangle(&p, &x0, &y0, &x1, &y1), row.rect) << row.what;
        if (row.rect) {
            EXPECT_EQ(x0, row.x0);
            EXPECT_EQ(y0, row.y0);
            EXPECT_EQ(x1, row.x1);
            EXPECT_EQ(y1, row.y1);
        }
    }
}

}  // namespace
