// Content interpreter and page driver: operator rules checked through the
// pixels they paint, page geometry for every rotation, bands, annotation
// placement and the progress callback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "render/page.h"
#include "page_doc.h"
#include "test_support.h"

namespace {

using testsupport::one_page_pdf;
using testsupport::render_doc;
using testsupport::Rendered;
using testsupport::stream_obj;

constexpr unsigned WHITE = 0xffffff, BLACK = 0x000000, RED = 0xff0000, GREEN = 0x00ff00;

// Pixel (x, y) in device space of a 100 x 100 page at scale 1: user (x, 99 - y).
struct Probe {
    int x, y;
    unsigned rgb;
};

struct OperatorRow {
    const char *what;
    const char *content;
    std::vector<Probe> probes;
    const char *diags;
};

TEST(RenderOperators, PaintedPixelsFollowTheOperatorRules)
{
    const OperatorRow rows[] = {
        // q/Q restore the colour; the fill after Q is black.
        {"q Q balance", "q 1 0 0 rg Q 0 0 10 10 re f", {{5, 95, BLACK}}, ""},
        // Q at the bottom of the stack does nothing.
        {"unbalanced Q", "Q Q 1 0 0 rg 0 0 10 10 re f", {{5, 95, RED}}, ""},
        // cm between q and Q is undone.
        {"cm undone by Q", "q 5 0 0 5 0 0 cm Q 0 0 10 10 re f", {{5, 95, BLACK}, {15, 95, WHITE}},
         ""},
        // The later cm applies first: scale by 2, then move right by 50.
        {"cm order", "1 0 0 1 50 0 cm 2 0 0 2 0 0 cm 0 0 10 10 re f",
         {{55, 95, BLACK}, {69, 81, BLACK}, {71, 95, WHITE}, {45, 95, WHITE}}, ""},
        // re x y w h covers x..x+w, y..y+h in user space (y up).
        {"re mapping", "10 20 30 40 re f",
         {{11, 78, BLACK}, {39, 40, BLACK}, {9, 60, WHITE}, {41, 60, WHITE}, {20, 81, WHITE},
          {20, 38, WHITE}},
         ""},
        // W n: the clip path itself is not painted; later fills are clipped.
        {"W n then fill", "0 0 50 50 re W n 1 0 0 rg 0 0 100 100 re f",
         {{10, 90, RED}, {60, 90, WHITE}, {10, 40, WHITE}}, ""},
        // The fill that carries W is not clipped by it; later ones are.
        {"W with fill", "0 0 30 30 re 60 60 30 30 re W f 0 1 0 rg 0 0 100 100 re f",
         {{10, 90, GREEN}, {70, 30, GREEN}, {45, 50, WHITE}}, ""},
        // A pentagram's centre winds twice: inside under W, outside under W*;
        // its points are inside under both.
        {"W pentagram", "50 95 m 21 5 l 97.5 60 l 2.5 60 l 79 5 l h W n 1 0 0 rg 0 0 100 100 re f",
         {{50, 54, RED}, {50, 14, RED}, {50, 99, WHITE}}, ""},
        {"W* pentagram", "50 95 m 21 5 l 97.5 60 l 2.5 60 l 79 5 l h W* n 1 0 0 rg 0 0 100 100 re f",
         {{50, 54, WHITE}, {50, 14, RED}, {50, 99, WHITE}}, ""},
        // A round clip ends with its Q; a fill after Q reaches the corner.
        {"clip plane ends at Q",
         "q 50 50 m 80 50 l 50 80 l h W n 0 0 1 rg 0 0 100 100 re f Q 0 1 0 rg 0 0 10 10 re f",
         {{55, 45, 0x0000ff}, {5, 95, GREEN}, {20, 60, WHITE}}, ""},
        // k converts CMYK by the device formula.
        {"k", "0 1 1 0 k 0 0 10 10 re f", {{5, 95, RED}}, ""},
        // An unknown operator empties the stack (rg then reads zeros) and is reported.
        {"unknown operator", "1 0 0 zz rg 0 0 10 10 re f", {{5, 95, BLACK}}, "zz"},
        // Inside BX ... EX unknown operators are silent.
        {"BX EX", "BX 1 zz EX 1 0 0 rg 0 0 10 10 re f", {{5, 95, RED}}, ""},
        // 33 operands: the 33rd push is dropped, m uses the 31st and 32nd.
        {"operand overflow",
         "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 "
         "0 0 90 90 m 90 0 l 0 0 l f",
         {{20, 49, BLACK}, {80, 49, WHITE}}, ""},
        // Inline image data are stepped over: "EI" inside counted data is data.
        {"inline image data",
         "BI /W 2 /H 2 /BPC 8 /CS /RGB ID EI EI EI ab\nEI 1 0 0 rg 0 0 10 10 re f",
         {{5, 95, RED}}, ""},
        {"filtered inline image data",
         "BI /W 2 /H 2 /F /AHx ID 00ff00ff> EI 0 1 0 rg 0 0 10 10 re f", {{5, 95, GREEN}}, ""},
        // A name operand in a pattern space changes nothing.
        {"scn with a pattern name", "1 0 0 rg /Pattern cs /P0 scn 0 0 10 10 re f",
         {{5, 95, BLACK}}, "pattern"},
        {"missing XObject", "/Nope Do 0 0 10 10 re f", {{5, 95, BLACK}}, "xobject-missing"},
        // Mode 7 with no text shown leaves the clip alone.
        {"Tr clip mode without text", "BT 7 Tr ET 0 0 10 10 re f", {{5, 95, BLACK}}, ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        Rendered r;
        render_doc(one_page_pdf(row.content), &r);
        ASSERT_NE(r.bm, nullptr);
        EXPECT_EQ(r.status, 0);
        for (const Probe &p : row.probes)
            EXPECT_EQ(r.px(p.x, p.y), p.rgb) << "at " << p.x << "," << p.y;
        EXPECT_EQ(r.diags, row.diags);
    }
}

struct FormRow {
    const char *what;
    const char *page;  // page content; the form is /F
    const char *form_dict;
    const char *form_data;
    std::vector<Probe> probes;
    const char *diags;
};

TEST(RenderOperators, FormsApplyMatrixBBoxAndDepthLimit)
{
    const FormRow rows[] = {
        // Matrix scales by 2; the BBox 10 x 10 (form space) clips at 20 x 20.
        {"matrix and bbox", "/F Do", "/Matrix [2 0 0 2 0 0] /BBox [0 0 10 10]",
         "0 0 100 100 re f", {{5, 95, BLACK}, {19, 81, BLACK}, {21, 95, WHITE}, {5, 78, WHITE}},
         ""},
        // The form's Matrix applies before the caller's CTM.
        {"matrix after caller cm", "2 0 0 2 0 0 cm /F Do", "/Matrix [1 0 0 1 10 0] /BBox [0 0 10 10]",
         "0 0 10 10 re f", {{15, 95, WHITE}, {25, 95, BLACK}, {39, 81, BLACK}, {41, 95, WHITE}},
         ""},
        // The form inherits the caller's colour, and its own changes do not leak out.
        {"state restored", "1 0 0 rg /F Do 0 0 10 10 re f", "/BBox [0 0 100 100]",
         "50 50 10 10 re f 0 1 0 rg", {{5, 95, RED}, {55, 45, RED}}, ""},
        // Unbalanced Q inside a form cannot pop the caller's state.
        {"unbalanced Q in form", "q 1 0 0 rg /F Do 0 0 10 10 re f Q", "/BBox [0 0 100 100]",
         "Q Q 0 1 0 rg", {{5, 95, RED}}, ""},
        // A form that draws itself stops at the depth limit and says so once.
        {"self reference", "/F Do", "/BBox [0 0 100 100] /Resources << /XObject << /F 5 0 R >> >>",
         "/F Do 0 0 10 10 re f", {{5, 95, BLACK}}, "form-depth"},
        // A BBox clip does not outlive the form.
        {"bbox clip ends with the form", "/F Do 50 50 10 10 re f", "/BBox [0 0 10 10]", "",
         {{55, 45, BLACK}}, ""},
        {"not a form", "/F Do", "/BBox [0 0 10 10] /Subtype2 /X", "", {}, ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        std::string dict = std::string("/Type /XObject ") +
                           (std::strstr(row.form_dict, "Subtype2") ? "/Subtype /PS " : "/Subtype /Form ") +
                           row.form_dict;
        Rendered r;
        render_doc(one_page_pdf(row.page, "[0 0 100 100]",
                                "/Resources << /XObject << /F 5 0 R >> >>",
                                {stream_obj(dict, row.form_data)}),
                   &r);
        ASSERT_NE(r.bm, nullptr);
        for (const Probe &p : row.probes)
            EXPECT_EQ(r.px(p.x, p.y), p.rgb) << "at " << p.x << "," << p.y;
        if (std::strstr(row.form_dict, "Subtype2"))
            EXPECT_EQ(r.diags, "xobject-subtype");
        else
            EXPECT_EQ(r.diags, row.diags);
    }
}

TEST(RenderPage, GeometryForEveryRotation)
{
    // A 200 x 100 page with a 10 x 10 black square at its lower-left corner.
    struct Row {
        const char *rotate;
        int width, height;
        int corner_x, corner_y;  // device pixel inside the square
    } rows[] = {
        {"0", 200, 100, 2, 97},      // lower left stays lower left
        {"90", 100, 200, 2, 2},      // clockwise: lower left goes to the top left
        {"180", 200, 100, 197, 2},   // upside down: top right
        {"270", 100, 200, 97, 197},  // bottom right
        {"-90", 100, 200, 97, 197},  // same as 270
        {"45", 200, 100, 2, 97},     // not a quarter turn: unrotated
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.rotate);
        std::string pdf = one_page_pdf("0 0 10 10 re f", "[0 0 200 100]",
                                       std::string("/Rotate ") + row.rotate);
        std::string path = testsupport::scratch_path("interp_rot.pdf");
        ASSERT_TRUE(testsupport::write_file(path, pdf));
        PdfDoc *doc = nullptr;
        ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
        int w = 0, h = 0;
        EXPECT_EQ(page_pixel_size(doc, 0, 0.0f, &w, &h), 0);  // scale 0 means 1
        EXPECT_EQ(w, row.width);
        EXPECT_EQ(h, row.height);
        PageBitmap *bm = nullptr;
        ASSERT_EQ(render_page(doc, 0, 1.0f, 0, 0, &bm), 0);
        const uint8_t *p = bm->pixels + row.corner_y * bm->stride + 3 * row.corner_x;
        EXPECT_EQ(p[0] + p[1] + p[2], 0);
        // Exactly 100 black pixels: the square, nowhere else.
        int black = 0;
        for (int y = 0; y < bm->height; y++)
            for (int x = 0; x < bm->width; x++)
                black += bm->pixels[y * bm->stride + 3 * x] == 0;
        EXPECT_EQ(black, 100);
        bitmap_free(bm);
        EXPECT_EQ(page_pixel_size(doc, 1, 1.0f, &w, &h), -4);
        pdf_close(doc);
    }
}

TEST(RenderPage, BandEqualsRowsOfTheWholePage)
{
    // Curves, dashed strokes, an even-odd fill, a non-rectangular clip and
    // shapes reaching beyond the page: every painter must agree between a
    // band and the same rows of the page.
    const char *content =
        "q 10 10 m 200 10 150 300 20 280 c h W n 0 0 1 rg 0 0 300 300 re f Q "
        "1 0 0 RG 7 w 1 J [9 4] 0 d 5 5 m 290 170 l 20 290 l S "
        "0 0.5 0 rg 50 50 200 200 re 80 80 140 140 re f* "
        "0.3 g -40 350 m 310 120 l 330 -20 l f "
        "2 w 0 j 30 150 m 150 270 270 150 150 30 y h S";
    std::string pdf = one_page_pdf(content, "[0 0 300 300]");
    Rendered whole;
    render_doc(pdf, &whole, 1.37f);
    ASSERT_NE(whole.bm, nullptr);
    // 100: rows 100..149, the rule's example; 390: the last 21 rows (the band
    // is shortened at the page's bottom).
    const int firsts[] = {100, 1, 37, 255, 350, 390};
    for (int first : firsts) {
        SCOPED_TRACE(first);
        Rendered band;
        render_doc(pdf, &band, 1.37f, first, 50);
        ASSERT_NE(band.bm, nullptr);
        int rows = std::min(50, whole.bm->height - first);
        ASSERT_EQ(band.bm->height, rows);
        ASSERT_EQ(band.bm->width, whole.bm->width);
        for (int y = 0; y < rows; y++)
            ASSERT_EQ(std::memcmp(band.bm->pixels + y * band.bm->stride,
                                  whole.bm->pixels + (first + y) * whole.bm->stride,
                                  size_t(3 * whole.bm->width)),
                      0)
                << "row " << first + y;
    }
    // A band starting below the page is empty.
    Rendered empty;
    render_doc(pdf, &empty, 1.37f, whole.bm->height, 5);
    EXPECT_EQ(empty.status, -5);
    EXPECT_EQ(empty.bm, nullptr);
}

struct AnnotRow {
    const char *what;
    const char *annot;  // the annotation dictionary (object 5); objects 6 to 9 are appearances
    std::vector<Probe> probes;
};

TEST(RenderPage, AnnotationAppearancesArePlacedInTheirRect)
{
    // Appearance: BBox 100 x 20, fills its left half (50 x 20) black.
    const std::string ap = stream_obj("/Type /XObject /Subtype /Form /BBox [0 0 100 20]",
                                      "0 0 50 20 re f");
    // Object 8 paints red far beyond its BBox, and blue in the box's lower
    // left quarter; object 9 paints everything black inside a BBox that its
    // Matrix turns by 45 degrees.
    const std::string spill = stream_obj("/Type /XObject /Subtype /Form /BBox [0 0 100 100]",
                                         "1 0 0 rg -100 -100 300 300 re f 0 0 1 rg 0 0 50 50 re f");
    const std::string turned = stream_obj(
        "/Type /XObject /Subtype /Form /BBox [0 0 10 10] /Matrix [0.7071 0.7071 -0.7071 0.7071 0 0]",
        "-500 -500 1000 1000 re f");
    constexpr unsigned BLUE = 0x0000ff;
    const AnnotRow rows[] = {
        // Rect 200 x 40 at (0, 0): drawn twice the size, the half is 100 x 40.
        {"scaled into rect", "/Subtype /Square /Rect [0 0 200 40] /AP << /N 6 0 R >>",
         {{5, 95, BLACK}, {95, 62, BLACK}, {105, 95, WHITE}, {5, 58, WHITE}}},
        // The rectangle's corners may come in any order.
        {"rect normalised", "/Subtype /Square /Rect [200 40 0 0] /AP << /N 6 0 R >>",
         {{95, 62, BLACK}, {105, 95, WHITE}}},
        {"hidden", "/Subtype /Square /F 2 /Rect [0 0 200 40] /AP << /N 6 0 R >>",
         {{5, 95, WHITE}}},
        {"no view", "/Subtype /Square /F 32 /Rect [0 0 200 40] /AP << /N 6 0 R >>",
         {{5, 95, WHITE}}},
        {"popup", "/Subtype /Popup /Rect [0 0 200 40] /AP << /N 6 0 R >>", {{5, 95, WHITE}}},
        {"link", "/Subtype /Link /Rect [0 0 200 40] /AP << /N 6 0 R >>", {{5, 95, WHITE}}},
        // A state dictionary needs AS to pick the entry.
        {"widget with AS", "/Subtype /Widget /AS /On /Rect [0 0 200 40] "
                           "/AP << /N << /On 6 0 R /Off 7 0 R >> >>",
         {{5, 95, BLACK}}},
        {"widget without AS", "/Subtype /Widget /Rect [0 0 200 40] "
                              "/AP << /N << /On 6 0 R /Off 7 0 R >> >>",
         {{5, 95, WHITE}}},
        {"no appearance", "/Subtype /Square /Rect [0 0 200 40]", {{5, 95, WHITE}}},
        // Appearances are clipped to their BBox, mapped like their content.
        {"clipped to the BBox", "/Subtype /Square /Rect [50 0 100 50] /AP << /N 8 0 R >>",
         {{60, 90, BLUE}, {90, 60, RED}, {45, 90, WHITE}, {105, 60, WHITE}, {60, 45, WHITE}}},
        {"the BBox clip turns with the Matrix", "/Subtype /Square /Rect [0 0 100 100] /AP << /N 9 0 R >>",
         {{50, 50, BLACK}, {97, 50, BLACK}, {5, 5, WHITE}, {94, 94, WHITE}, {150, 50, WHITE}}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        std::string pdf = one_page_pdf("", "[0 0 200 100]", "/Annots [5 0 R]",
                                       {std::string("<< ") + row.annot + " >>", ap, ap, spill, turned});
        Rendered r;
        render_doc(pdf, &r);
        ASSERT_NE(r.bm, nullptr);
        for (const Probe &p : row.probes)
            EXPECT_EQ(r.px(p.x, p.y), p.rgb) << "at " << p.x << "," << p.y;
    }
}

TEST(RenderPage, ContentsArrayWithABrokenStream)
{
    std::string pdf = one_page_pdf("1 0 0 rg", "[0 0 100 100]", "",
                                   {stream_obj("/Filter /Bogus", "junk"),
                                    stream_obj("", "0 0 10 10 re f")});
    // Replace the single Contents by an array of the three streams.
    auto at = pdf.find("/Contents 4 0 R");
    pdf.replace(at, 15, "/Contents [4 0 R 5 0 R 6 0 R]");
    // Offsets shifted: rebuild through the repair scan is not wanted, so
    // rewrite the table by re-creating the document with the array inline.
    pdf = one_page_pdf("1 0 0 rg", "[0 0 100 100]", "",
                       {stream_obj("/Filter /Bogus", "junk"), stream_obj("", "0 0 10 10 re f")});
    pdf.replace(pdf.find("/Contents 4 0 R "), 16, "/Contents [4 0 R 5 0 R 6 0 R]");
    Rendered r;
    render_doc(pdf, &r);
    ASSERT_NE(r.bm, nullptr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.px(5, 95), RED);
    EXPECT_EQ(r.diags, "content-unreadable");
}

int g_polls = 0;
int stop_at_first_poll(void *user, PageBitmap *surface)
{
    g_polls++;
    *static_cast<PageBitmap **>(user) = surface;
    return 1;
}

TEST(RenderPage, PollCallbackStopsTheRender)
{
    // 200 fills: the callback comes within 32 operators and stops the page;
    // the annotation is skipped and the partial raster comes back with 0.
    std::string content;
    for (int i = 0; i < 200; i++)
        content += "0 0 10 10 re f\n";
    std::string pdf = one_page_pdf(
        content, "[0 0 100 100]", "/Annots [5 0 R]",
        {"<< /Subtype /Square /Rect [50 50 100 100] /AP << /N 6 0 R >> >>",
         stream_obj("/Subtype /Form /BBox [0 0 50 50]", "0 0 50 50 re f")});
    PageBitmap *seen = nullptr;
    g_polls = 0;
    set_render_poll(stop_at_first_poll, &seen);
    Rendered r;
    render_doc(pdf, &r);
    set_render_poll(nullptr, nullptr);
    ASSERT_NE(r.bm, nullptr);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(g_polls, 1);
    EXPECT_EQ(seen, r.bm);
    EXPECT_EQ(r.px(5, 95), BLACK);
    EXPECT_EQ(r.px(75, 25), WHITE);  // annotation not drawn
}

TEST(RenderPage, MissingPageAndTextCollection)
{
    std::string path = testsupport::scratch_path("interp_missing.pdf");
    ASSERT_TRUE(testsupport::write_file(path, one_page_pdf("0 0 10 10 re f")));
    PdfDoc *doc = nullptr;
    ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
    PageBitmap *bm = reinterpret_cast<PageBitmap *>(1);
    EXPECT_EQ(render_page(doc, 1, 1.0f, 0, 0, &bm), -4);
    EXPECT_EQ(bm, nullptr);
    EXPECT_EQ(render_page(doc, -1, 1.0f, 0, 0, &bm), -4);
    EXPECT_EQ(collect_page_text(doc, 0, 1.0f, nullptr), 0);
    EXPECT_EQ(collect_page_text(doc, 3, 1.0f, nullptr), -4);
    pdf_close(doc);
}

}  // namespace

namespace {

TEST(RenderOperators, HostileContentStillGivesAPage)
{
    static const char kBinary[] = "0 0 m \0\1\2\xff 10 10 l f";
    std::string many_q, balanced, deep;
    for (int i = 0; i < 100000; i++)
        many_q += "q ";
    for (int i = 0; i < 100000; i++)
        balanced += "q 0 0 1 1 re W n Q ";
    for (int i = 0; i < 2000; i++)
        deep += "[";
    const std::string rows[] = {
        many_q + "0 0 10 10 re f",
        balanced + "0 0 10 10 re f",
        deep + " 0 0 10 10 re f",
        "(unterminated 0 0 10 10 re f",
        "<< /A [1 2 0 0 10 10 re f",
        "BI /W 100000 /H 100000 ID xxxx EI 0 0 10 10 re f",
        "BI ID EI",
        "BI",
        "BI /W 4 /H 4 ID ab",
        "1e308 1e308 1e308 1e308 1e308 1e308 cm 0 0 10 10 re f",
        "0 0 0 0 0 0 cm 0 0 10 10 re f 0 0 m 5 5 l S",
        "10 10 m 1e30 1e30 l 0 1e30 l f -1e30 -1e30 m 1e30 -1e30 l 1e30 1e30 l h B",
        "0 0 m 100 100 l 1000000 w S",
        "[0.0001 0.0001] 0 d 0 0 m 100 100 l S",
        "[1 2] (x) d /N J 3.7 j -5 M 0 0 m 50 50 l S",
        "W n W* f f* B* b*",
        "EI ID ET EMC Q Q Q",
        "Tf Tc Tz TL Ts Td TD T* Tm Tj TJ ' \" /F1 Tf 5 TJ 1 2 \"",
        "/Missing gs /Missing sh /Missing Do /Missing cs 1 sc 5 /X 7 scn",
        "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 "
        "32 33 34 35 SCN 0 0 10 10 re f",
        std::string(kBinary, sizeof kBinary - 1),
    };
    for (const std::string &content : rows) {
        SCOPED_TRACE(content.substr(0, 60));
        Rendered r;
        render_doc(one_page_pdf(content), &r);
        EXPECT_NE(r.bm, nullptr);
        EXPECT_EQ(r.status, 0);
    }
}

}  // namespace

#include "pdf/arena.h"
#include "render/gstate.h"
#include "render/interp.h"
#include "render/rasterizer.h"

namespace {

TEST(RenderOperators, GlyphProceduresRunWithTheGlyphMatrixAndAreCached)
{
    std::string pdf = one_page_pdf("", "[0 0 100 100]", "",
                                   {stream_obj("", "0 0 1 1 re f"),  // object 5: the procedure
                                    "<< /Font << >> >>"});           // object 6: font resources
    std::string path = testsupport::scratch_path("interp_t3.pdf");
    ASSERT_TRUE(testsupport::write_file(path, pdf));
    PdfDoc *doc = nullptr;
    ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
    Arena *arena = arena_create(0);
    PageBitmap *bm = bitmap_create(100, 100);
    bitmap_fill(bm, 255, 255, 255);
    Rasterizer *raster = raster_create();
    static RenderContext ctx;
    std::memset(&ctx, 0, sizeof ctx);
    GraphicsState base;
    const float page[6] = {1, 0, 0, -1, 0, 100};
    gstate_init(&base, page, 100, 100);
    ctx.doc = doc;
    ctx.arena = arena;
    ctx.surface = bm;
    ctx.rasterizer = raster;
    ctx.gs = &base;
    ctx.gs_floor = &base;
    path_init(&ctx.path, arena);
    // A 10-unit glyph at (20, 30) in page space.
    const float glyph[6] = {10, 0, 0, -10, 20, 70};
    PdfObject *proc = pdf_fetch(doc, 5, 0);
    run_glyph_procedure(&ctx, proc, pdf_fetch(doc, 6, 0), glyph);
    run_glyph_procedure(&ctx, proc, nullptr, glyph);
    EXPECT_EQ(ctx.t3_count, 1);          // decoded once
    EXPECT_EQ(ctx.gs, &base);            // state restored
    EXPECT_EQ(bm->pixels[65 * bm->stride + 3 * 25], 0);     // inside the glyph square
    EXPECT_EQ(bm->pixels[55 * bm->stride + 3 * 25], 255);   // above it
    bitmap_fill(bm, 255, 255, 255);
    ctx.depth = INTERP_GLYPH_DEPTH;      // too deep: nothing runs
    run_glyph_procedure(&ctx, proc, nullptr, glyph);
    EXPECT_EQ(bm->pixels[65 * bm->stride + 3 * 25], 255);
    raster_free(raster);
    bitmap_free(bm);
    arena_destroy(arena);
    pdf_close(doc);
}

}  // namespace
