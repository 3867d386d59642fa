// Scan conversion: our path filling beside FreeType's anti-aliasing
// rasterizer on the same glyph outlines of the base-35 Type 1 fonts. Each
// side flattens the curves itself and writes its coverage into a raster.
#include <benchmark/benchmark.h>

#include <cstring>
#include <glob.h>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "bench_support.h"
#include "pdf/arena.h"
#include "render/path.h"
#include "render/rasterizer.h"

namespace {

// One glyph: its FreeType outline (26.6, y up) and the same as path commands
// in pixels with y down.
struct Glyph {
    FT_Outline outline;
    std::vector<float> cmds;  // op (0 move, 1 line, 2 cubic), then 2 or 6 floats
    int w, h;
};

struct Set {
    FT_Library lib = nullptr;
    std::vector<Glyph> glyphs;
    std::vector<uint8_t> raster;
};

struct Decode {
    Glyph *g;
    float last_x, last_y;
};

float gx(const Decode *d, const FT_Vector *v) { return float(v->x / 64.0 + 4); }
float gy(const Decode *d, const FT_Vector *v) { return float(d->g->h - 4 - v->y / 64.0); }

int on_move(const FT_Vector *to, void *u)
{
    auto *d = static_cast<Decode *>(u);
    d->g->cmds.insert(d->g->cmds.end(), {0, gx(d, to), gy(d, to)});
    d->last_x = gx(d, to), d->last_y = gy(d, to);
    return 0;
}
int on_line(const FT_Vector *to, void *u)
{
    auto *d = static_cast<Decode *>(u);
    d->g->cmds.insert(d->g->cmds.end(), {1, gx(d, to), gy(d, to)});
    d->last_x = gx(d, to), d->last_y = gy(d, to);
    return 0;
}
int on_conic(const FT_Vector *c, const FT_Vector *to, void *u)
{
    auto *d = static_cast<Decode *>(u);
    float cx = gx(d, c), cy = gy(d, c), x = gx(d, to), y = gy(d, to);
    d->g->cmds.insert(d->g->cmds.end(), {2, d->last_x + 2 * (cx - d->last_x) / 3, d->last_y + 2 * (cy - d->last_y) / 3,
                                         x + 2 * (cx - x) / 3, y + 2 * (cy - y) / 3, x, y});
    d->last_x = x, d->last_y = y;
    return 0;
}
int on_cubic(const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *u)
{
    auto *d = static_cast<Decode *>(u);
    d->g->cmds.insert(d->g->cmds.end(), {2, gx(d, c1), gy(d, c1), gx(d, c2), gy(d, c2), gx(d, to), gy(d, to)});
    d->last_x = gx(d, to), d->last_y = gy(d, to);
    return 0;
}

Set &glyph_set()
{
    static Set set;
    if (set.lib)
        return set;
    FT_Init_FreeType(&set.lib);
    glob_t g;
    if (glob("/usr/share/fonts/type1/urw-base35/*.t1", 0, nullptr, &g) != 0)
        return set;
    const char *text = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789&@%?";
    const int sizes[] = {16, 48, 160};  // body text, headings, display
    for (size_t f = 0; f < g.gl_pathc; f += 5) {
        FT_Face face;
        if (FT_New_Face(set.lib, g.gl_pathv[f], 0, &face) != 0)
            continue;
        for (int size : sizes) {
            FT_Set_Pixel_Sizes(face, 0, size);
            for (const char *c = text; *c; c++) {
                if (FT_Load_Char(face, FT_ULong(*c), FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
                    continue;
                Glyph gl = {};
                FT_Outline_New(set.lib, face->glyph->outline.n_points, face->glyph->outline.n_contours,
                               &gl.outline);
                FT_Outline_Copy(&face->glyph->outline, &gl.outline);
                gl.w = size + 8;
                gl.h = size + 8;
                // Put the origin 4 pixels in from the bottom left, like the decoded path.
                FT_Outline_Translate(&gl.outline, 4 * 64, 4 * 64 + size / 4 * 64);
                Decode d = {&gl, 0, 0};
                FT_Outline_Funcs funcs = {on_move, on_line, on_conic, on_cubic, 0, 0};
                FT_Outline_Decompose(&face->glyph->outline, &funcs, &d);
                for (size_t k = 0; k < gl.cmds.size();) {  // same vertical shift
                    int n = gl.cmds[k] == 2 ? 6 : 2;
                    for (int j = 0; j < n; j += 2)
                        gl.cmds[k + 2 + j] -= float(size / 4);
                    k += 1 + n;
                }
                set.glyphs.push_back(std::move(gl));
            }
        }
        FT_Done_Face(face);
    }
    globfree(&g);
    set.raster.assign(size_t(200) * 200, 0);
    return set;
}

struct Target {
    uint8_t *raster;
    int w, h;
};

void our_span(void *user, int y, int x, int length, const uint8_t *coverage)
{
    auto *t = static_cast<Target *>(user);
    std::memcpy(t->raster + size_t(y) * t->w + x, coverage, size_t(length));
}

void ft_span(int y, int count, const FT_Span *spans, void *user)
{
    auto *t = static_cast<Target *>(user);
    uint8_t *row = t->raster + size_t(t->h - 1 - y) * t->w;
    for (int i = 0; i < count; i++)
        std::memset(row + spans[i].x, spans[i].coverage, spans[i].len);
}

constexpr int PASSES = 20;  // renders of the whole set per timed run

void fill_ours()
{
    Set &set = glyph_set();
    Rasterizer *r = raster_create();
    for (int pass = 0; pass < PASSES; pass++) {
        Arena *arena = arena_create(256 << 10);
        for (Glyph &g : set.glyphs) {
            Path path;
            path_init(&path, arena);
            const float *c = g.cmds.data(), *end = c + g.cmds.size();
            while (c < end) {
                if (c[0] == 0)
                    path_move_to(&path, c[1], c[2]), c += 3;
                else if (c[0] == 1)
                    path_line_to(&path, c[1], c[2]), c += 3;
                else
                    path_curve_to(&path, c[1], c[2], c[3], c[4], c[5], c[6]), c += 7;
            }
            Target t = {set.raster.data(), g.w, g.h};
            raster_reset(r, 0, 0, g.w, g.h);
            raster_add_path(r, &path);
            raster_sweep(r, RASTER_NONZERO, our_span, &t);
        }
        arena_destroy(arena);
    }
    raster_free(r);
}

void fill_freetype()
{
    Set &set = glyph_set();
    for (int pass = 0; pass < PASSES; pass++)
        for (Glyph &g : set.glyphs) {
            Target t = {set.raster.data(), g.w, g.h};
            FT_Raster_Params params = {};
            params.source = &g.outline;
            params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
            params.gray_spans = ft_span;
            params.user = &t;
            params.clip_box = {0, 0, g.w, g.h};
            FT_Outline_Render(set.lib, &g.outline, &params);
        }
}

void BM_RasterFillGlyphs(benchmark::State &state)
{
    glyph_set();
    for (auto _ : state)
        fill_ours();
    state.counters["glyphs"] = double(glyph_set().glyphs.size());
}
BENCHMARK(BM_RasterFillGlyphs)->Unit(benchmark::kMillisecond);

void BM_FreeTypeFillGlyphs(benchmark::State &state)
{
    glyph_set();
    for (auto _ : state)
        fill_freetype();
}
BENCHMARK(BM_FreeTypeFillGlyphs)->Unit(benchmark::kMillisecond);

BENCH_COMPARISON_NAMED(raster_fill_vs_freetype, "raster-fill-vs-freetype", fill_ours, fill_freetype);

}  // namespace
