// Painting onto a raster: span compositing with every mask, fills through
// the clip, rectangular and mask clips, and strokes through a render context.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "bitmap/bitmap.h"
#include "pdf/arena.h"
#include "render/clip.h"
#include "render/composite.h"
#include "render/context.h"
#include "render/fill.h"
#include "render/gstate.h"
#include "render/limits.h"
#include "render/stroke.h"

namespace {

struct BitmapDeleter {
    void operator()(PageBitmap *b) const { bitmap_free(b); }
};
using Bitmap = std::unique_ptr<PageBitmap, BitmapDeleter>;

uint8_t *px(PageBitmap *b, int x, int y) { return b->pixels + size_t(y) * b->stride + 3 * size_t(x); }

// A white page with a render context over it.
struct Page {
    Bitmap surface;
    Arena *arena;
    GraphicsState gs;
    RenderContext ctx = {};

    Page(int w, int h) : surface(bitmap_create(w, h)), arena(arena_create(64 << 10))
    {
        bitmap_fill(surface.get(), 255, 255, 255);
        surface->dirty_top = h;
        surface->dirty_bottom = 0;
        gs_init(&gs, surface.get());
        ctx.arena = arena;
        ctx.surface = surface.get();
        ctx.rasterizer = raster_create();
        ctx.gs = &gs;
        path_init(&ctx.path, arena);
    }
    ~Page()
    {
        render_context_release(&ctx);
        raster_free(ctx.rasterizer);
        arena_destroy(arena);
    }
    Path rect(float x0, float y0, float x1, float y1)
    {
        Path p;
        path_init(&p, arena);
        path_move_to(&p, x0, y0);
        path_line_to(&p, x1, y0);
        path_line_to(&p, x1, y1);
        path_line_to(&p, x0, y1);
        path_close(&p);
        return p;
    }
    Path triangle(float x0, float y0, float x1, float y1, float x2, float y2)
    {
        Path p;
        path_init(&p, arena);
        path_move_to(&p, x0, y0);
        path_line_to(&p, x1, y1);
        path_line_to(&p, x2, y2);
        path_close(&p);
        return p;
    }
    int red(int x, int y) { return px(surface.get(), x, y)[2]; }
    int blue(int x, int y) { return px(surface.get(), x, y)[0]; }
};

TEST(Composite, OnePixelUnderEveryMask)
{
    struct Row {
        const char *what;
        bool antialias;
        int backdrop;                // grey level of the page
        int coverage, clip, smask;   // clip/smask < 0: absent
        int alpha;
        int r;                       // span colour red (green and blue 0)
        int expected_red, expected_blue;
    } rows[] = {
        {"full coverage writes the colour", true, 255, 255, -1, -1, 255, 10, 10, 0},
        // 255 + (-255 * 128 + 127) / 255 with the quotient truncated toward zero.
        {"half coverage: B + ((S - B) a + 127) / 255", true, 255, 128, -1, -1, 255, 0, 128, 128},
        {"darkening: 200 + (-19873 / 255)", true, 200, 100, -1, -1, 255, 0, 123, 123},
        {"clip multiplies: (255 * 128 + 127) / 255 = 128", true, 255, 255, 128, -1, 255, 0, 128, 128},
        {"clip and soft mask: a = 64", true, 255, 255, 128, 128, 255, 0, 192, 192},
        {"alpha 0.5", true, 255, 255, -1, -1, 128, 0, 128, 128},
        {"zero clip skips", true, 255, 255, 0, -1, 255, 0, 255, 255},
        {"coverage 0 skips", true, 255, 0, -1, -1, 255, 0, 255, 255},
        {"aliased: 127 paints nothing", false, 255, 127, -1, -1, 255, 0, 255, 255},
        {"aliased: 128 paints fully", false, 255, 128, -1, -1, 255, 0, 0, 0},
        {"aliased coverage still masked", false, 255, 200, 128, -1, 255, 0, 128, 128},
    };
    for (const Row &row : rows) {
        Bitmap b(bitmap_create(2, 1));
        bitmap_fill(b.get(), row.backdrop, row.backdrop, row.backdrop);
        composite_set_antialias(row.antialias);
        uint8_t cov = uint8_t(row.coverage), clip = uint8_t(row.clip), smask = uint8_t(row.smask);
        composite_span(b.get(), 0, 0, 1, &cov, row.clip >= 0 ? &clip : nullptr, row.smask >= 0 ? &smask : nullptr,
                       row.alpha, 0, row.r, 0, 0);
        composite_set_antialias(true);
        EXPECT_EQ(px(b.get(), 0, 0)[2], row.expected_red) << row.what;
        EXPECT_EQ(px(b.get(), 0, 0)[0], row.expected_blue) << row.what;
        EXPECT_EQ(px(b.get(), 1, 0)[2], row.backdrop) << row.what;  // outside the run
    }
}

TEST(Composite, GroupSurfaceKeepsAlpha)
{
    // Source-over with the group's own alpha: ar = ab (255 - a) / 255,
    // t = a + ar, channel = (S a + B ar) / t.
    struct Row {
        const char *what;
        int backdrop_alpha, backdrop_red, coverage, red;
        int expected_red, expected_alpha;
    } rows[] = {
        {"empty group takes the colour", 0, 0, 128, 200, 200, 128},
        {"opaque backdrop, full coverage", 255, 10, 255, 200, 200, 255},
        {"half over half: (200 * 128 + 100 * 63) / 191", 128, 100, 128, 200, 167, 191},
    };
    for (const Row &row : rows) {
        Bitmap b(bitmap_create(1, 1));
        bitmap_fill(b.get(), row.backdrop_red, 0, 0);
        std::vector<uint8_t> alpha(1, uint8_t(row.backdrop_alpha));
        b->alpha = alpha.data();
        uint8_t cov = uint8_t(row.coverage);
        composite_span(b.get(), 0, 0, 1, &cov, nullptr, nullptr, 255, 0, row.red, 0, 0);
        EXPECT_EQ(px(b.get(), 0, 0)[2], row.expected_red) << row.what;
        EXPECT_EQ(alpha[0], row.expected_alpha) << row.what;
        b->alpha = nullptr;
    }
}

TEST(Composite, RunsAreCutToTheRasterAndMarkDirtyRows)
{
    Bitmap b(bitmap_create(4, 3));
    bitmap_fill(b.get(), 255, 255, 255);
    b->dirty_top = 3;
    b->dirty_bottom = 0;
    uint8_t cov[6] = {255, 255, 255, 64, 128, 255};
    uint8_t clip[6] = {0, 0, 255, 255, 255, 255};
    // Starts two pixels left of the raster: pixel 0 gets cov[2] and clip[2].
    composite_span(b.get(), 1, -2, 6, cov, clip, nullptr, 255, 0, 0, 0, 0);
    EXPECT_EQ(px(b.get(), 0, 1)[0], 0);
    EXPECT_EQ(px(b.get(), 1, 1)[0], 192);
    EXPECT_EQ(px(b.get(), 2, 1)[0], 128);
    EXPECT_EQ(px(b.get(), 3, 1)[0], 0);
    EXPECT_EQ(b->dirty_top, 1);
    EXPECT_EQ(b->dirty_bottom, 2);
    // Rows outside the raster and runs beyond either side change nothing.
    composite_span(b.get(), 3, 0, 4, cov, nullptr, nullptr, 255, 0, 0, 0, 0);
    composite_span(b.get(), -1, 0, 4, cov, nullptr, nullptr, 255, 0, 0, 0, 0);
    composite_span(b.get(), 0, 4, 4, cov, nullptr, nullptr, 255, 0, 0, 0, 0);
    composite_span(b.get(), 0, -6, 6, cov, nullptr, nullptr, 255, 0, 0, 0, 0);
    EXPECT_EQ(b->dirty_top, 1);
    EXPECT_EQ(b->dirty_bottom, 2);
    EXPECT_EQ(px(b.get(), 0, 0)[0], 255);
}

// A block of rows equals its rows composited one by one, wherever it lies
// against the raster, on the plain path and off it (constant alpha, a blend
// mode), dirty rows included.
TEST(Composite, RowsEqualTheirSpansOneByOne)
{
    uint8_t cov[5 * 7];
    for (int i = 0; i < 5 * 7; i++)
        cov[i] = uint8_t(i * 37 % 7 == 0 ? 255 : i * 53 % 256);
    struct Row {
        int y, x, alpha, mode;
    } const rows[] = {
        {2, 3, 255, 0},    // inside
        {-3, -4, 255, 0},  // over the top left corner
        {6, 7, 255, 0},    // over the bottom right corner
        {-5, 0, 255, 0},   // wholly above
        {0, 10, 255, 0},   // wholly right
        {1, -7, 255, 0},   // wholly left
        {6, 2, 128, 0},    // constant alpha
        {-2, 1, 255, 1},   // a blend mode (Multiply)
    };
    for (const Row &row : rows) {
        Bitmap a(bitmap_create(10, 8)), b(bitmap_create(10, 8));
        for (PageBitmap *s : {a.get(), b.get()}) {
            for (int y = 0; y < 8; y++)
                for (int x = 0; x < 10; x++)
                    for (int k = 0; k < 3; k++)
                        px(s, x, y)[k] = uint8_t(x * 20 + y * 9 + k * 50);
            s->dirty_top = 8;
            s->dirty_bottom = 0;
        }
        composite_rows(a.get(), row.y, row.x, 5, 7, cov, 5, row.alpha, row.mode, 200, 40, 90);
        for (int r = 0; r < 7; r++)
            composite_span(b.get(), row.y + r, row.x, 5, cov + 5 * r, nullptr, nullptr, row.alpha,
                           row.mode, 200, 40, 90);
        for (int y = 0; y < 8; y++)
            EXPECT_EQ(std::memcmp(px(a.get(), 0, y), px(b.get(), 0, y), 30), 0) << row.y << "," << row.x;
        EXPECT_EQ(a->dirty_top, b->dirty_top) << row.y << "," << row.x;
        EXPECT_EQ(a->dirty_bottom, b->dirty_bottom) << row.y << "," << row.x;
    }
}

TEST(Fill, ColourAlphaAndClipRectangle)
{
    Page page(40, 30);
    float red[3] = {1, 0, 0};
    Path r = page.rect(5, 5, 35, 25);
    page.gs.clip_x0 = 10;
    page.gs.clip_x1 = 20;
    fill_path(&page.ctx, &r, 0, red, 1);
    EXPECT_EQ(page.blue(9, 10), 255);   // left of the clip
    EXPECT_EQ(page.blue(10, 10), 0);
    EXPECT_EQ(page.red(10, 10), 255);
    EXPECT_EQ(page.blue(20, 10), 255);  // right of the clip
    EXPECT_EQ(page.surface->dirty_top, 5);
    EXPECT_EQ(page.surface->dirty_bottom, 25);

    struct Row {
        float value;
        int byte;
    } bytes[] = {{0.5f, 128}, {0.499f, 127}, {-3, 0}, {7, 255}, {1, 255}, {0, 0}};
    for (const Row &row : bytes)
        EXPECT_EQ(color_byte(row.value), row.byte) << row.value;

    // Half alpha over white, grey fill at 0.5: 255 + ((128 - 255) * 128 + 127) / 255.
    float grey[3] = {0.5f, 0.5f, 0.5f};
    Path full = page.rect(0, 0, 40, 30);
    page.gs.clip_x0 = 0;
    page.gs.clip_x1 = 40;
    fill_path(&page.ctx, &full, 0, grey, 0.5f);
    EXPECT_EQ(page.blue(2, 2), 255 + ((128 - 255) * 128 + 127) / 255);

    // Nothing is painted in text-collection mode.
    page.ctx.text_only = 1;
    float black[3] = {0, 0, 0};
    fill_path(&page.ctx, &full, 0, black, 1);
    EXPECT_NE(page.blue(2, 2), 0);
}

TEST(Clip, RectanglesRoundOutward)
{
    struct Row {
        const char *what;
        float x0, y0, x1, y1;
        int cx0, cy0, cx1, cy1;
    } rows[] = {
        {"fractional edges: near down, far up", 10.3f, 5.7f, 20.2f, 15.01f, 10, 5, 21, 16},
        {"0.0001 past an integer stays (0.999 is added)", 10, 5, 20, 15.0001f, 10, 5, 20, 15},
        {"integral edges stay", 10, 5, 20, 15, 10, 5, 20, 15},
        {"0.001 past an integer stays", 10, 5, 20.001f, 15, 10, 5, 20, 15},
        {"beyond the page: intersected", -50, -50, 500, 500, 0, 0, 40, 30},
        {"disjoint: empty, not inverted", 50, 50, 60, 60, 50, 50, 50, 50},
        {"huge values", -1e30f, -1e30f, 1e30f, 1e30f, 0, 0, 40, 30},
    };
    for (const Row &row : rows) {
        Page page(40, 30);
        Path r = page.rect(row.x0, row.y0, row.x1, row.y1);
        clip_path(&page.ctx, &r, 0);
        EXPECT_EQ(page.gs.clip_x0, row.cx0) << row.what;
        EXPECT_EQ(page.gs.clip_y0, row.cy0) << row.what;
        EXPECT_EQ(page.gs.clip_x1, row.cx1) << row.what;
        EXPECT_EQ(page.gs.clip_y1, row.cy1) << row.what;
        EXPECT_EQ(page.gs.clip_mask, nullptr) << row.what;
    }
    // Two rectangles intersect.
    Page page(40, 30);
    Path a = page.rect(5, 5, 25, 25), b = page.rect(15.5f, 0, 40, 20.5f);
    clip_path(&page.ctx, &a, 0);
    clip_path(&page.ctx, &b, 1);
    EXPECT_EQ(page.gs.clip_x0, 15);
    EXPECT_EQ(page.gs.clip_y0, 5);
    EXPECT_EQ(page.gs.clip_x1, 25);
    EXPECT_EQ(page.gs.clip_y1, 21);
}

TEST(Clip, PlanesCoverTheirBoxMultiplyAndEndWithTheirState)
{
    Page page(40, 30);
    // A half-pixel-high band at row 10 gives 128 in the mask; the plane
    // covers the path's box within the page, rows 10 to 29.
    Path band = page.triangle(-100, 10.5f, 140, 10.5f, 20, 1000);
    clip_path(&page.ctx, &band, 0);
    const ClipPlane *first = page.gs.clip_mask;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->x0, 0);
    EXPECT_EQ(first->y0, 10);
    EXPECT_EQ(first->x1, 40);
    EXPECT_EQ(first->y1, 30);
    EXPECT_EQ(*first->at(20, 10), 128);
    EXPECT_EQ(*first->at(20, 20), 255);
    const size_t one_plane = page.ctx.clip_bytes;

    // A saved state shares the plane; clipping there makes its own plane,
    // (128 * 128 + 127) / 255 = 64 on row 10, and leaves the first alone.
    GraphicsState *base = page.ctx.gs;
    ASSERT_NE(gstate_save(&page.ctx), nullptr);
    EXPECT_EQ(page.ctx.gs->clip_mask, first);
    Path band2 = page.triangle(-100, 10.5f, 140, 10.5f, 20, 2000);
    clip_path(&page.ctx, &band2, 0);
    const ClipPlane *second = page.ctx.gs->clip_mask;
    ASSERT_NE(second, first);
    EXPECT_EQ(*second->at(20, 10), 64);
    EXPECT_EQ(*first->at(20, 10), 128);
    // Clipping the same state again frees the plane it replaces.
    Path wide = page.rect(-5, -5, 50, 50);
    wide.subpaths[0].points[0] = -6;  // not a rectangle any more
    clip_path(&page.ctx, &wide, 0);
    EXPECT_EQ(*page.ctx.gs->clip_mask->at(20, 10), 64);
    EXPECT_EQ(page.ctx.clip_bytes, 2 * one_plane);
    // Restoring frees the saved state's plane; the first is current again.
    gstate_restore(&page.ctx, base);
    EXPECT_EQ(page.ctx.gs->clip_mask, first);
    EXPECT_EQ(page.ctx.clip_bytes, one_plane);

    // A fill through the plane: masked on row 10, nothing above the box.
    float black[3] = {0, 0, 0};
    Path all = page.rect(0, 0, 40, 30);
    fill_path(&page.ctx, &all, 0, black, 1);
    EXPECT_EQ(page.blue(20, 10), 128);  // 255 + (-255 * 128 + 127) / 255
    EXPECT_EQ(page.blue(20, 5), 255);
    EXPECT_EQ(page.blue(20, 20), 0);

    // A bow tie is not a rectangle: both lobes are inside, the wedge between is not.
    Page bow_page(40, 30);
    Path bow;
    path_init(&bow, bow_page.arena);
    path_move_to(&bow, 0, 0);
    path_line_to(&bow, 40, 30);
    path_line_to(&bow, 40, 0);
    path_line_to(&bow, 0, 30);
    path_close(&bow);
    clip_path(&bow_page.ctx, &bow, 0);
    ASSERT_NE(bow_page.gs.clip_mask, nullptr);
    EXPECT_EQ(*bow_page.gs.clip_mask->at(20, 2), 0);
    EXPECT_EQ(*bow_page.gs.clip_mask->at(2, 15), 255);
    EXPECT_EQ(*bow_page.gs.clip_mask->at(38, 15), 255);
}

TEST(Clip, FillThroughAClipEqualsTheFillOfItsPath)
{
    // Filling the page through a clip path gives the pixels of filling the
    // path itself, partly covered edge pixels included on every side.
    struct Row {
        const char *what;
        std::vector<float> xy;
        int even_odd;
        bool banded;  // the surface is a band starting at page row 7
    } rows[] = {
        {"triangle, fractional right and bottom", {3.2f, 2.6f, 20.5f, 2.6f, 11.f, 17.5f}, 0, false},
        {"diamond ending mid-pixel on every side", {10.5f, 1.25f, 19.75f, 9.5f, 10.5f, 18.6f, 1.4f, 9.5f}, 0, false},
        {"thin sliver in one partial column", {30.1f, 2.f, 30.9f, 2.f, 30.6f, 25.f}, 0, false},
        {"self-intersecting star, even-odd", {20, 2, 32, 28, 6, 11, 34, 11, 8, 28}, 1, false},
        {"triangle in a band", {3.2f, 6.6f, 20.5f, 9.6f, 11.f, 27.5f}, 0, true},
    };
    for (const Row &row : rows) {
        Page direct(40, 30), clipped(40, 30);
        for (Page *pg : {&direct, &clipped})
            pg->ctx.band_top = pg->ctx.rasterizer->band_origin = row.banded ? 7 : 0;
        auto make = [&](Page &pg) {
            Path p;
            path_init(&p, pg.arena);
            path_move_to(&p, row.xy[0], row.xy[1]);
            for (size_t i = 2; i < row.xy.size(); i += 2)
                path_line_to(&p, row.xy[i], row.xy[i + 1]);
            path_close(&p);
            return p;
        };
        float black[3] = {0, 0, 0};
        Path p = make(direct);
        fill_path(&direct.ctx, &p, row.even_odd, black, 1);
        Path c = make(clipped);
        clip_path(&clipped.ctx, &c, row.even_odd);
        ASSERT_NE(clipped.gs.clip_mask, nullptr) << row.what;
        Path all = clipped.rect(-10, -10, 50, 50);
        fill_path(&clipped.ctx, &all, 0, black, 1);
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 40; x++)
                ASSERT_EQ(clipped.blue(x, y), direct.blue(x, y)) << row.what << " at " << x << "," << y;
    }
}

TEST(Clip, PlaneBeyondTheMemoryCapBecomesItsBoxAndIsReported)
{
    Page page(400, 300);
    page.ctx.clip_bytes = CLIP_PLANE_BYTES - 1000;  // no room for the plane
    Path tri = page.triangle(10.5f, 20, 300, 20, 10.5f, 250.2f);
    clip_path(&page.ctx, &tri, 0);
    EXPECT_EQ(page.gs.clip_mask, nullptr);
    EXPECT_EQ(page.gs.clip_x0, 10);
    EXPECT_EQ(page.gs.clip_y0, 20);
    EXPECT_EQ(page.gs.clip_x1, 301);  // every pixel the path touches
    EXPECT_EQ(page.gs.clip_y1, 251);
    ASSERT_EQ(page.ctx.diag_count, 1);
    EXPECT_STREQ(page.ctx.diags[0], "clip-plane-memory");
    page.ctx.clip_bytes = 0;
}

TEST(StrokePath, WidthScalesWithTheMatrix)
{
    Page page(60, 40);
    page.gs.ctm[0] = page.gs.ctm[3] = 2;  // width 1 in user space is 2 pixels
    page.gs.stroke_rgb[0] = 1;
    path_move_to(&page.ctx.path, 5, 20);
    path_line_to(&page.ctx.path, 55, 20);
    stroke_path(&page.ctx);
    EXPECT_EQ(page.red(30, 19), 255);
    EXPECT_EQ(page.blue(30, 19), 0);
    EXPECT_EQ(page.blue(30, 20), 0);
    EXPECT_EQ(page.blue(30, 21), 255);
    EXPECT_EQ(page.blue(30, 18), 255);
    EXPECT_EQ(page.ctx.path.count, 1);  // the current path is kept
}

TEST(Paint, HostileGeometryNeitherCrashesNorHangs)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const std::vector<std::vector<float>> paths = {
        {nan, nan, 10, 10, 20, 5},
        {0, 0, inf, 0, inf, inf, 0, inf},
        {-inf, 5, 10, -inf, nan, 3},
        {-1e9f, -1e9f, 1e9f, 3, -1e9f, 1e9f},
        {3e38f, 3e38f, -3e38f, 3e38f, 0, -3e38f},
    };
    for (const auto &xy : paths) {
        for (int cap = 0; cap < 3; cap++) {
            Page page(64, 48);
            path_move_to(&page.ctx.path, xy[0], xy[1]);
            for (size_t i = 2; i < xy.size(); i += 2)
                path_line_to(&page.ctx.path, xy[i], xy[i + 1]);
            path_curve_to(&page.ctx.path, xy[0], xy[3], xy[2], xy[1], xy[4], xy[5]);
            path_close(&page.ctx.path);
            page.gs.line_cap = page.gs.line_join = cap;
            page.gs.line_width = cap == 2 ? inf : 3;
            if (cap == 1) {
                page.gs.dash_count = 2;
                page.gs.dash[0] = 5;
                page.gs.dash[1] = nan;
                page.gs.dash_phase = inf;
            }
            float black[3] = {0, nan, 2};
            fill_path(&page.ctx, &page.ctx.path, cap & 1, black, nan);
            fill_path(&page.ctx, &page.ctx.path, 0, black, 1);
            stroke_path(&page.ctx);
            clip_path(&page.ctx, &page.ctx.path, 1);
            fill_path(&page.ctx, &page.ctx.path, 0, black, 1);
            EXPECT_LE(page.gs.clip_x0, page.gs.clip_x1);
        }
    }
}

}  // namespace
