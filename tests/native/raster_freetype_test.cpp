// Our scan converter against FreeType's anti-aliasing rasterizer on the same
// polygons: glyph outlines of the base-35 Type 1 fonts, stars, random
// self-intersecting polygons, thin slivers and huge coordinates.
//
// Both accumulate exact cell areas from the same 26.6 points and round the
// crossings with cell borders alike, but FreeType divides by multiplying
// with a truncated reciprocal, which puts a few of its pixels 2 levels (and
// on edges hundreds of thousands of pixels long, up to 5) off the exact
// area, and where both are off in opposite directions they differ by 2 (3
// where many edges cross in one pixel). So the test holds us to within that
// of FreeType, counts the pixels beyond 1,
// and holds us to within 2 of a double-precision reference of the same cell
// arithmetic. Even-odd fills and huge edges are held to the reference only
// (FreeType mirrors even-odd coverage as 511 - v where we take 512 - v).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <glob.h>
#include <random>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "pdf/arena.h"
#include "render/path.h"
#include "render/rasterizer.h"
#include "coverage_reference.h"

namespace {

struct Plane {
    int w, h;
    std::vector<uint8_t> px;
};

void plane_span(void *user, int y, int x, int length, const uint8_t *coverage)
{
    auto *p = static_cast<Plane *>(user);
    std::memcpy(&p->px[size_t(y) * p->w + x], coverage, size_t(length));
}

Plane ours(const Path &path, int w, int h, int rule)
{
    Plane p = {w, h, std::vector<uint8_t>(size_t(w) * h)};
    Rasterizer *r = raster_create();
    raster_reset(r, 0, 0, w, h);
    raster_add_path(r, &path);
    EXPECT_EQ(raster_sweep(r, rule, plane_span, &p), 0);
    raster_free(r);
    return p;
}

struct FtTarget {
    Plane *plane;
};

void ft_span(int y, int count, const FT_Span *spans, void *user)
{
    auto *t = static_cast<FtTarget *>(user);
    int row = t->plane->h - 1 - y;  // FreeType counts rows from the bottom
    for (int i = 0; i < count; i++)
        std::memset(&t->plane->px[size_t(row) * t->plane->w + spans[i].x], spans[i].coverage,
                    spans[i].len);
}

// The same polygons in 26.6 with y flipped, every point on the curve.
Plane freetype(FT_Library lib, const Path &path, int w, int h, int rule)
{
    std::vector<FT_Vector> pts;
    std::vector<short> ends;
    std::vector<char> tags;
    for (int i = 0; i < path.count; i++) {
        const SubPath &s = path.subpaths[i];
        if (s.count < 2)
            continue;
        for (int k = 0; k < s.count; k++) {
            FT_Pos x = FT_Pos(double(s.points[2 * k]) * 64);
            FT_Pos y = FT_Pos(h) * 64 - FT_Pos(double(s.points[2 * k + 1]) * 64);
            pts.push_back({x, y});
            tags.push_back(FT_CURVE_TAG_ON);
        }
        ends.push_back(short(pts.size() - 1));
    }
    Plane p = {w, h, std::vector<uint8_t>(size_t(w) * h)};
    if (pts.empty())
        return p;
    FT_Outline o = {};
    o.n_points = short(pts.size());
    o.n_contours = short(ends.size());
    o.points = pts.data();
    o.tags = tags.data();
    o.contours = ends.data();
    o.flags = rule == RASTER_EVEN_ODD ? FT_OUTLINE_EVEN_ODD_FILL : FT_OUTLINE_NONE;
    FtTarget t = {&p};
    FT_Raster_Params params = {};
    params.source = &o;
    params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
    params.gray_spans = ft_span;
    params.user = &t;
    params.clip_box = {0, 0, w, h};
    EXPECT_EQ(FT_Outline_Render(lib, &o, &params), 0);
    return p;
}

struct Builder {
    Path *path;
    double ox, oy;  // pixel position of the glyph origin (y down)
};

double fx(const Builder *b, const FT_Vector *v) { return b->ox + v->x / 64.0; }
double fy(const Builder *b, const FT_Vector *v) { return b->oy - v->y / 64.0; }

int dec_move(const FT_Vector *to, void *u)
{
    auto *b = static_cast<Builder *>(u);
    return path_move_to(b->path, float(fx(b, to)), float(fy(b, to)));
}
int dec_line(const FT_Vector *to, void *u)
{
    auto *b = static_cast<Builder *>(u);
    return path_line_to(b->path, float(fx(b, to)), float(fy(b, to)));
}
int dec_conic(const FT_Vector *c, const FT_Vector *to, void *u)
{
    auto *b = static_cast<Builder *>(u);
    double x0 = b->path->cur_x, y0 = b->path->cur_y;
    double cx = fx(b, c), cy = fy(b, c), x3 = fx(b, to), y3 = fy(b, to);
    return path_curve_to(b->path, float(x0 + 2 * (cx - x0) / 3), float(y0 + 2 * (cy - y0) / 3),
                         float(x3 + 2 * (cx - x3) / 3), float(y3 + 2 * (cy - y3) / 3), float(x3),
                         float(y3));
}
int dec_cubic(const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *u)
{
    auto *b = static_cast<Builder *>(u);
    return path_curve_to(b->path, float(fx(b, c1)), float(fy(b, c1)), float(fx(b, c2)),
                         float(fy(b, c2)), float(fx(b, to)), float(fy(b, to)));
}

struct Tally {
    int max_diff = 0;           // |ours - FreeType|
    int max_ref_diff = 0;       // |ours - exact reference|
    long long pixels = 0;
    long long covered = 0;
    long long differing = 0;
    long long beyond_one = 0;   // |ours - FreeType| > 1, each explained by FreeType's error
};

std::vector<uint8_t> reference(const Path &path, int w, int h, int rule)
{
    testsupport::CoverageReference ref(w, h);
    for (int i = 0; i < path.count; i++) {
        const SubPath &s = path.subpaths[i];
        if (s.count >= 2)
            ref.add_polygon(std::vector<double>(s.points, s.points + 2 * s.count));
    }
    return ref.coverage(rule == RASTER_EVEN_ODD);
}

// Compares one path under one rule; FreeType is held to nonzero fills only.
void compare(FT_Library lib, const Path &path, int w, int h, const std::string &what, Tally *t,
             int rule = RASTER_NONZERO, int freetype_tolerance = 2)
{
    Plane a = ours(path, w, h, rule);
    Plane b = freetype(lib, path, w, h, rule);
    std::vector<uint8_t> e = reference(path, w, h, rule);
    if (rule != RASTER_NONZERO)
        freetype_tolerance = 255;
    // Several edges in one pixel add their rounding; under even-odd that is
    // not hidden by the clamp at 255.
    const int exact_tolerance = rule == RASTER_NONZERO ? 2 : 3;
    int failures = 0;
    for (size_t i = 0; i < a.px.size(); i++) {
        int d = std::abs(a.px[i] - b.px[i]), de = std::abs(a.px[i] - e[i]);
        t->max_diff = std::max(t->max_diff, d);
        t->max_ref_diff = std::max(t->max_ref_diff, de);
        t->differing += d != 0;
        t->beyond_one += d > 1;
        t->covered += b.px[i] != 0;
        if ((d > freetype_tolerance || de > exact_tolerance) && failures++ < 3)
            ADD_FAILURE() << what << " at " << i % w << "," << i / w << ": ours " << int(a.px[i])
                          << " FreeType " << int(b.px[i]) << " exact " << int(e[i]);
    }
    t->pixels += (long long)a.px.size();
}

struct FreeTypeLib {
    FT_Library lib = nullptr;
    FreeTypeLib() { FT_Init_FreeType(&lib); }
    ~FreeTypeLib() { FT_Done_FreeType(lib); }
};

struct ArenaGuard {
    Arena *a = arena_create(0);
    ~ArenaGuard() { arena_destroy(a); }
};

std::vector<std::string> type1_fonts()
{
    std::vector<std::string> out;
    glob_t g;
    if (glob("/usr/share/fonts/type1/urw-base35/*.t1", 0, nullptr, &g) == 0) {
        for (size_t i = 0; i < g.gl_pathc; i++)
            out.push_back(g.gl_pathv[i]);
        globfree(&g);
    }
    return out;
}

void report(const char *what, const Tally &t)
{
    std::printf("AGREEMENT %s: max_diff=%d pixels=%lld covered=%lld differing=%lld beyond_1=%lld "
                "max_diff_to_exact=%d\n",
                what, t.max_diff, t.pixels, t.covered, t.differing, t.beyond_one, t.max_ref_diff);
}

TEST(RasterVsFreeType, GlyphOutlines)
{
    auto fonts = type1_fonts();
    if (fonts.empty())
        GTEST_SKIP() << "no base-35 Type 1 fonts installed";
    FreeTypeLib ft;
    Tally tally;
    const char *text = "AaBgQ&@%Rsx8W?";
    // {pixel size, x offset, y offset}: sizes from text to display, fractional origins.
    const struct {
        int size;
        double ox, oy;
    } rows[] = {
        {9, 2.3, 12.7},     // small text: every pixel an edge pixel
        {17, 3.0, 20.0},    // integral origin
        {41, 5.61, 47.13},
        {120, 10.25, 130.5},
        {333, -20.4, 300.9},  // larger than the raster: cut on every side
    };
    for (size_t f = 0; f < fonts.size(); f += 3) {
        FT_Face face;
        ASSERT_EQ(FT_New_Face(ft.lib, fonts[f].c_str(), 0, &face), 0) << fonts[f];
        for (const auto &row : rows) {
            FT_Set_Pixel_Sizes(face, 0, row.size);
            for (const char *c = text; *c; c++) {
                if (FT_Load_Char(face, FT_ULong(*c), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
                    continue;
                ArenaGuard arena;
                Path path;
                path_init(&path, arena.a);
                Builder b = {&path, row.ox, row.oy};
                FT_Outline_Funcs funcs = {dec_move, dec_line, dec_conic, dec_cubic, 0, 0};
                ASSERT_EQ(FT_Outline_Decompose(&face->glyph->outline, &funcs, &b), 0);
                int w = row.size + 12, h = row.size + 20;
                std::string what = fonts[f] + " '" + *c + "' " + std::to_string(row.size) + "px";
                compare(ft.lib, path, w, h, what, &tally);
            }
        }
        FT_Done_Face(face);
    }
    report("glyphs", tally);
    EXPECT_GT(tally.covered, 100000);
    EXPECT_LE(tally.max_diff, 2);
}

// Polygons made from point lists: stars, random scribbles, slivers, huge ones.
void polygon(Path *p, const std::vector<double> &xy)
{
    path_move_to(p, float(xy[0]), float(xy[1]));
    for (size_t i = 2; i + 1 < xy.size(); i += 2)
        path_line_to(p, float(xy[i]), float(xy[i + 1]));
    path_close(p);
}

std::vector<double> star(double cx, double cy, double r, int n, int k, double turn)
{
    std::vector<double> xy;
    for (int i = 0; i < n; i++) {
        double a = turn + 2 * std::numbers::pi * (double(i) * k / n);
        xy.push_back(cx + r * std::cos(a));
        xy.push_back(cy + r * std::sin(a));
    }
    return xy;
}

TEST(RasterVsFreeType, Polygons)
{
    FreeTypeLib ft;
    Tally tally, even_odd, huge;
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> u(0, 1);
    const int w = 160, h = 120;
    struct Case {
        const char *what;
        std::vector<std::vector<double>> polys;
    };
    std::vector<Case> cases = {
        {"pentagram", {star(80, 60, 55, 5, 2, 0.1)}},
        {"7/3 star", {star(80.3, 59.7, 70, 7, 3, 0.37)}},
        {"17/8 star off the edges", {star(40.5, 50.25, 90, 17, 8, 1.0)}},
        {"thin sliver 0.05px", {{10, 10, 150.05, 110, 150, 110}}},
        {"thin sliver 0.3px horizontal", {{5, 60, 155, 60.3, 155, 60.31, 5, 60.01}}},
        {"needle steep", {{80, 1, 80.2, 118, 80.1, 118}}},
        // FreeType refuses outlines beyond +-262144 pixels.
        {"huge triangle 2.6e5", {{-2.6e5, -2.6e5, 2.6e5, 70.5, -2.6e5, 2.6e5}}},
        {"huge edges crossing", {{-2.5e5, 10, 2.5e5, 100, 2.5e5, 101, -2.5e5, 30}}},
        {"huge star", {star(80, 60, 2e5, 11, 5, 0.2)}},
        {"off-left winding", {{-500, 20, 100, 20, 100, 40, -500, 40}}},
        {"nested opposite", {{20, 20, 140, 20, 140, 100, 20, 100}, {40, 40, 40, 80, 120, 80, 120, 40}}},
        {"nested same", {{20, 20, 140, 20, 140, 100, 20, 100}, {40, 40, 120, 40, 120, 80, 40, 80}}},
    };
    for (int i = 0; i < 40; i++) {
        std::vector<double> xy;
        int n = 3 + int(u(rng) * 30);
        for (int k = 0; k < n; k++) {
            xy.push_back(-20 + u(rng) * (w + 40));
            xy.push_back(-20 + u(rng) * (h + 40));
        }
        cases.push_back({"random scribble", {xy}});
    }
    for (const Case &c : cases) {
        ArenaGuard arena;
        Path path;
        path_init(&path, arena.a);
        for (const auto &poly : c.polys)
            polygon(&path, poly);
        bool is_huge = std::strstr(c.what, "huge") != nullptr;
        // Where many edges cross in one pixel the two roundings can part by 3.
        compare(ft.lib, path, w, h, c.what, is_huge ? &huge : &tally, RASTER_NONZERO, is_huge ? 255 : 3);
        compare(ft.lib, path, w, h, std::string(c.what) + " even-odd", &even_odd, RASTER_EVEN_ODD);
    }
    report("polygons", tally);
    report("polygons even-odd", even_odd);
    report("huge polygons", huge);
}

}  // namespace
