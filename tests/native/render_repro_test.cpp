// Pages that overflow what one fill, clip or render used to hold: a hatch
// of 800 lines in one stroke, 300 round clips, clips at 1200 dpi and a
// quarter of a million strokes. Each is drawn whole (pixels where pixels
// belong), close to mutool, in bounded memory, and its bands equal the page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "command_support.h"
#include "oracle_image.h"
#include "pdf/document.h"
#include "pdf_builder.h"
#include "render/page.h"
#include "test_support.h"

namespace {

// A one-page US Letter document with the given contents (Flate-compressed)
// written to the scratch folder; returns its path.
std::string write_page(const std::string &name, const std::string &content)
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << >> /Contents 4 0 R >>");
    b.stream(4, "/Filter /FlateDecode", testsupport::deflate_bytes(content));
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R"));
    std::string path = testsupport::scratch_path(name);
    EXPECT_TRUE(b.write(path));
    return path;
}

std::string num(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    return buf;
}

// 800 slanted lines 0.765 pt apart in one stroke: more cells than the
// rasterizer's pool holds from about 250 dpi on.
const std::string &hatch_pdf()
{
    static const std::string path = [] {
        std::string c = "0 0 0 RG 0.5 w\n";
        for (int i = 0; i < 800; i++)
            c += num(i * 0.765) + " 0 m " + num(100 + i * 0.765) + " 792 l\n";
        return write_page("hatch.pdf", c + "S\n");
    }();
    return path;
}

// The colour of clip k of many_clips_pdf, 0..1 each.
void clip_colour(int k, double rgb[3])
{
    const double step[3] = {0.37, 0.59, 0.13};
    for (int i = 0; i < 3; i++) {
        rgb[i] = k * step[i] - int(k * step[i]);
        rgb[i] = int(rgb[i] * 100 + 0.5) / 100.0;
    }
}

// Centre of round clip k (radius 10 pt): 20 a row, 15 rows.
void clip_centre(int k, double *x, double *y)
{
    *x = 30 + 28 * (k % 20);
    *y = 60 + 45 * (k / 20);
}

// 300 round clips, each with a fill of the whole page under it.
const std::string &many_clips_pdf()
{
    static const std::string path = [] {
        std::string c;
        const double r = 10, k = 5.523;  // Bezier quarter circle: r * 0.5523
        for (int i = 0; i < 300; i++) {
            double x, y, rgb[3];
            clip_centre(i, &x, &y);
            clip_colour(i, rgb);
            c += "q " + num(x + r) + " " + num(y) + " m " + num(x + r) + " " + num(y + k) + " " +
                 num(x + k) + " " + num(y + r) + " " + num(x) + " " + num(y + r) + " c " + num(x - k) +
                 " " + num(y + r) + " " + num(x - r) + " " + num(y + k) + " " + num(x - r) + " " +
                 num(y) + " c " + num(x - r) + " " + num(y - k) + " " + num(x - k) + " " +
                 num(y - r) + " " + num(x) + " " + num(y - r) + " c " + num(x + k) + " " +
                 num(y - r) + " " + num(x + r) + " " + num(y - k) + " " + num(x + r) + " " +
                 num(y) + " c h W n " + num(rgb[0]) + " " + num(rgb[1]) + " " + num(rgb[2]) +
                 " rg 0 0 612 792 re f Q\n";
        }
        return write_page("many-clips.pdf", c);
    }();
    return path;
}

// Clips of every kind: a rectangle, a pentagram under W and under W*, a
// circle with a rectangle clip nested in it, W with a fill, a squashed
// circle with strokes, a clip off the page and a rotated rectangle.
const std::string &clipping_pdf()
{
    static const std::string path = write_page(
        "clipping.pdf",
        "q 50.3 650.6 100.4 100.7 re W n 0 0 1 rg 0 600 300 200 re f Q\n"
        "q 400 780 m 352.977 635.279 l 476.085 724.721 l 323.915 724.721 l 447.023 635.279 l h\n"
        "W n 0.8 0 0 rg 300 600 200 200 re f Q\n"
        "q 150 560 m 102.977 415.279 l 226.085 504.721 l 73.915 504.721 l 197.023 415.279 l h\n"
        "W* n 0 0.6 0 rg 50 380 200 200 re f Q\n"
        "q 490 480 m 490 529.707 449.707 570 400 570 c 350.293 570 310 529.707 310 480 c "
        "310 430.293 350.293 390 400 390 c 449.707 390 490 430.293 490 480 c h\n"
        "W n q 380 380 200 60 re W n 0.5 0 0.5 rg 300 380 200 200 re f Q 0.9 0.7 0 rg 300 520 200 60 re f Q\n"
        "q 0 0 0 rg 60 200 120 120 re W f 0 0.5 1 rg 0 180 300 80 re f Q\n"
        "q 1 0 0 0.5 400 250 cm 120 0 m 120 66.276 66.276 120 0 120 c -66.276 120 -120 66.276 -120 0 c "
        "-120 -66.276 -66.276 -120 0 -120 c 66.276 -120 120 -66.276 120 0 c h\n"
        "W n 1 0 0 2 0 0 cm 6 w 0 0 0 RG -200 -100 m 200 100 l S -200 100 m 200 -100 l S Q\n"
        "q -500 -500 10 10 re W n 0 0 0 rg 0 0 612 792 re f Q\n"
        "q 0.9659 0.2588 -0.2588 0.9659 120 40 cm 0 0 120 80 re W n 0.3 0.3 0.3 rg -50 -50 300 300 re f Q\n");
    return path;
}

// 250,000 zigzag polylines of 11 points, each stroked on its own: 500 rows
// of 500 from the top of the page down to y = 31.5 pt.
const std::string &many_strokes_pdf()
{
    static const std::string path = [] {
        std::string c = "0 0 0 RG 0.5 w\n";
        c.reserve(40u << 20);
        char buf[32];
        for (int row = 0; row < 500; row++) {
            double y = 780 - 1.5 * row;
            for (int i = 0; i < 500; i++) {
                double x = 10 + 1.18 * i;
                for (int k = 0; k <= 10; k++) {
                    std::snprintf(buf, sizeof buf, "%.1f %.1f %s ", x + 0.1 * k, y + 0.5 * (k & 1),
                                  k ? "l" : "m");
                    c += buf;
                }
                c += "S\n";
            }
        }
        return write_page("many-strokes.pdf", c);
    }();
    return path;
}

struct Rendered {
    PageBitmap *bm = nullptr;
    int status = -1;
    std::string diags;  // space-separated
    Rendered() = default;
    Rendered(const Rendered &) = delete;
    ~Rendered() { bitmap_free(bm); }
    // Red, green, blue of a pixel.
    const uint8_t *px(int x, int y) const { return bm->pixels + size_t(y) * size_t(bm->stride) + 3 * size_t(x); }
    // Mean grey level of row y over columns x0..x1-1.
    double mean_row(int y, int x0, int x1) const
    {
        long sum = 0;
        for (int x = x0; x < x1; x++)
            sum += px(x, y)[0] + px(x, y)[1] + px(x, y)[2];
        return double(sum) / (3.0 * (x1 - x0));
    }
};

// Renders page 1 (rows first .. first + rows - 1; rows 0 = all) at `dpi`.
void render(const std::string &path, double dpi, Rendered *out, int first = 0, int rows = 0)
{
    PdfDoc *doc = nullptr;
    ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0) << path;
    char diags[600];
    out->status = render_page_diag(doc, 0, float(dpi / 72.0), first, rows, &out->bm, diags, sizeof diags);
    for (const char *d = diags; *d; d += std::strlen(d) + 1)
        out->diags += (out->diags.empty() ? "" : " ") + std::string(d);
    pdf_close(doc);
    ASSERT_NE(out->bm, nullptr);
}

// The relative fidelity rule: our PSNR against mutool is at least
// pdftoppm's less 1 dB, or at least 40 dB.
void expect_close_to_mutool(const std::string &path, int dpi, const Rendered &ours)
{
    testsupport::RgbImage mu, pp;
    ASSERT_TRUE(testsupport::oracle_render(path, 1, dpi, false, &mu));
    ASSERT_TRUE(testsupport::oracle_render(path, 1, dpi, true, &pp));
    const double us = testsupport::psnr(testsupport::rgb_from_bitmap(ours.bm), mu), them = testsupport::psnr(pp, mu);
    std::printf("PSNR vs mutool at %d dpi: ours %.1f dB, pdftoppm %.1f dB\n", dpi, us, them);
    EXPECT_TRUE(us >= them - 1.0 || us >= 40.0) << "ours " << us << " dB, pdftoppm " << them << " dB";
}

// Bands of `rows` rows starting at each of `firsts` equal those rows of
// the whole page, byte for byte.
void expect_bands_equal(const std::string &path, double dpi, const Rendered &whole, int rows,
                        const std::vector<int> &firsts)
{
    for (int first : firsts) {
        Rendered band;
        render(path, dpi, &band, first, rows);
        const int expected = std::min(rows, whole.bm->height - first);
        ASSERT_EQ(band.bm->height, expected) << "band at " << first;
        for (int y = 0; y < expected; y++)
            ASSERT_EQ(std::memcmp(band.px(0, y), whole.px(0, first + y), 3 * size_t(whole.bm->width)), 0)
                << rows << "-row band at " << first << ": row " << first + y;
    }
}

// Every first row of a tiling of the page by bands of `rows`.
std::vector<int> tiling(int height, int rows)
{
    std::vector<int> out;
    for (int y = 0; y < height; y += rows)
        out.push_back(y);
    return out;
}

// Runs `command` under an address-space limit of `memory_mb` (0 = none) and
// gives its exit status and peak resident memory.
int peak_kb(const std::string &command, long memory_mb, long *kb)
{
    testsupport::LimitedRun run = testsupport::run_limited(command + " 2>/dev/null", memory_mb, 120);
    *kb = run.peak_rss_kb;
    return run.exit_status;
}

TEST(RenderRepro, HatchBeyondTheCellPoolIsDrawnWhole)
{
    const std::string &pdf = hatch_pdf();
    for (int dpi : {150, 300, 600}) {
        SCOPED_TRACE(dpi);
        Rendered r;
        render(pdf, dpi, &r);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.diags, "");
        // Lines run from x = 0..611 pt at the bottom to 100..711 pt at the
        // top, 0.5 pt wide every 0.765 pt: about two thirds ink.
        const double px = dpi / 72.0;
        const int top = 0, bottom = r.bm->height - 1, middle = r.bm->height / 2;
        EXPECT_EQ(r.mean_row(top, 0, int(95 * px)), 255.0);
        EXPECT_LT(r.mean_row(top, int(110 * px), int(600 * px)), 160.0);
        EXPECT_LT(r.mean_row(middle, int(60 * px), int(600 * px)), 160.0);
        EXPECT_LT(r.mean_row(bottom, int(5 * px), int(600 * px)), 160.0);
        if (testsupport::have_oracle_renderers())
            expect_close_to_mutool(pdf, dpi, r);
    }
}

TEST(RenderRepro, ThreeHundredRoundClipsEachClipTheirFill)
{
    const std::string &pdf = many_clips_pdf();
    Rendered r;
    render(pdf, 150, &r);
    EXPECT_EQ(r.diags, "");
    const double px = 150 / 72.0;
    for (int k = 0; k < 300; k++) {
        double x, y, rgb[3];
        clip_centre(k, &x, &y);
        clip_colour(k, rgb);
        const int cx = int(x * px), cy = int((792 - y) * px);
        const uint8_t *centre = r.px(cx, cy);
        for (int i = 0; i < 3; i++)
            ASSERT_NEAR(centre[2 - i], rgb[i] * 255, 1.0) << "clip " << k;
        // Between two clips and above each the page stays white.
        const uint8_t *between = r.px(int((x + 14) * px), cy), *above = r.px(cx, int((792 - y - 15) * px));
        ASSERT_EQ(between[0] & between[1] & between[2], 255) << "clip " << k;
        ASSERT_EQ(above[0] & above[1] & above[2], 255) << "clip " << k;
    }
    if (testsupport::have_oracle_renderers())
        expect_close_to_mutool(pdf, 150, r);
}

TEST(RenderRepro, ClipsAt1200DpiAreAllApplied)
{
    // The page is 10200 x 13200 pixels at 1200 dpi: each probe renders only
    // the band of rows around it.
    const std::string &pdf = clipping_pdf();
    struct Probe {
        const char *what;
        double x, y;     // user space
        unsigned rgb;    // 0xRRGGBB
    } probes[] = {
        {"inside the rectangle clip", 100, 700, 0x0000ff},
        {"outside the rectangle clip", 160, 700, 0xffffff},
        {"W: the pentagram's centre is inside", 400, 700, 0xcc0000},
        {"W: outside between two points", 350, 760, 0xffffff},
        {"W*: the pentagram's centre is outside", 150, 480, 0xffffff},
        {"W*: a point is inside", 150, 550, 0x009900},
        {"nested rectangle clip inside the circle", 400, 420, 0x800080},
        {"nested clip: outside the circle", 320, 390, 0xffffff},
        {"after the nested Q: the circle's clip only", 400, 550, 0xe6b300},
        {"rectangle outside the circle", 480, 570, 0xffffff},
        {"W f: the clip path is filled", 100, 300, 0x000000},
        {"W f: later fills are clipped", 120, 240, 0x0080ff},
        {"W f: outside the clip", 30, 220, 0xffffff},
        {"clip off the page paints nothing", 590, 100, 0xffffff},
        {"rotated rectangle clip", 160, 100, 0x4d4d4d},
    };
    const double px = 1200 / 72.0;
    for (const Probe &p : probes) {
        const int y = int((792 - p.y) * px);
        Rendered band;
        render(pdf, 1200, &band, y - 2, 5);
        EXPECT_EQ(band.diags, "") << p.what;
        const uint8_t *c = band.px(int(p.x * px), 2);
        const unsigned got = unsigned(c[2]) << 16 | unsigned(c[1]) << 8 | c[0];
        EXPECT_EQ(got, p.rgb) << p.what << std::hex << " got " << got;
    }
}

TEST(RenderRepro, QuarterMillionStrokesReachTheBottomInBoundedMemory)
{
    const std::string &pdf = many_strokes_pdf();
    Rendered r;
    render(pdf, 72, &r);
    EXPECT_EQ(r.diags, "");
    // The last row of polylines lies at y = 31.5..32 pt: rows 760..761.
    for (int y : {12, 400, 600, 760}) {
        int inked = 0;
        for (int x = 10; x < 600; x++)
            inked += r.px(x, y)[0] < 200;
        EXPECT_GT(inked, 400) << "row " << y;
    }
    EXPECT_EQ(r.mean_row(765, 0, 612), 255.0);

    // The command-line renderer's peak memory against mutool's, both
    // measured the same way; our address space is capped well above.
    const std::string cli = testsupport::pagrix_render_path();
    if (cli.empty() || std::system("mutool -v >/dev/null 2>&1") != 0 ||
        std::system("/usr/bin/time -f %M true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pagrix-render, mutool or /usr/bin/time missing";
    const std::string out = testsupport::scratch_path("strokes");
    long ours = 0, mutool = 0;
    ASSERT_EQ(peak_kb(cli + " render '" + pdf + "' -o " + out + ".png --dpi 72", 512, &ours), 0);
    ASSERT_EQ(peak_kb("mutool draw -q -r 72 -o " + out + ".mu.png '" + pdf + "' 1", 0, &mutool), 0);
    std::printf("many strokes at 72 dpi: peak %ld KB, mutool %ld KB\n", ours, mutool);
    EXPECT_GT(ours, 0);
    EXPECT_LE(ours, 2 * mutool);
}

// At 300 dpi (3300 rows): tilings by 37 and 256 rows, and one-row bands
// at the top, the bottom and across the hatch's pieces. One test per page,
// so that they can run side by side.
void expect_repro_bands_equal(const std::string &pdf)
{
    Rendered whole;
    render(pdf, 300, &whole);
    const int h = whole.bm->height;
    expect_bands_equal(pdf, 300, whole, 256, tiling(h, 256));
    expect_bands_equal(pdf, 300, whole, 37, tiling(h, 37));
    std::vector<int> rows = {0, 1, 2, h / 4, h / 2 - 1, h / 2, 3 * h / 4, h - 2, h - 1};
    for (int y = 100; y < h; y += 97)
        rows.push_back(y);
    expect_bands_equal(pdf, 300, whole, 1, rows);
}

TEST(RenderRepro, BandsOfTheHatchPageEqualThePage) { expect_repro_bands_equal(hatch_pdf()); }
TEST(RenderRepro, BandsOfTheManyClipsPageEqualThePage) { expect_repro_bands_equal(many_clips_pdf()); }
TEST(RenderRepro, BandsOfTheClippingPageEqualThePage) { expect_repro_bands_equal(clipping_pdf()); }

TEST(RenderRepro, BandsOfTheManyStrokesPageEqualThePage)
{
    // A quarter of a million strokes cost a second a band: a sample of bands,
    // the last of each size running over the page bottom.
    const std::string &strokes = many_strokes_pdf();
    Rendered whole;
    render(strokes, 300, &whole);
    const int h = whole.bm->height;
    expect_bands_equal(strokes, 300, whole, 256, {0, h - 100});
    expect_bands_equal(strokes, 300, whole, 37, {h / 2, h - 20});
    expect_bands_equal(strokes, 300, whole, 1, {0, h / 2, h - 1});
}

TEST(RenderRepro, RowsNoPieceCanHoldAreReportedByTheCli)
{
    // One fill: a zigzag of 100,000 edges across the same 20 rows (more
    // cells in each row than the pool holds) and a square below it. The
    // square is drawn; the lost rows are reported, and --diag prints it.
    std::string c = "0 g 10 400 m\n";
    for (int i = 0; i < 100000; i++)
        c += (i & 1 ? "10 390 l\n" : "600 410 l\n");
    c += "h 100 100 m 200 100 l 200 200 l 100 200 l h f\n";
    const std::string pdf = write_page("zigzag.pdf", c);
    Rendered r;
    render(pdf, 72, &r);
    EXPECT_EQ(r.diags, "raster-cell-pool");
    EXPECT_EQ(r.px(150, 792 - 150)[0], 0);

    const std::string cli = testsupport::pagrix_render_path();
    if (cli.empty())
        GTEST_SKIP() << "pagrix-render not built";
    int status = -1;
    const std::string err = testsupport::run_command(
        cli + " render '" + pdf + "' -o " + testsupport::scratch_path("zigzag.png") + " --diag 2>&1 >/dev/null", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(err.find("raster-cell-pool"), std::string::npos) << err;
}

}  // namespace
