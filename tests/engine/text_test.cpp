// Text drawing: the glyph layer and its cache, pen positions of the text
// operators, render modes, greeking, bands, Type 3 glyphs, transformed text
// and hostile text content.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "font_support.h"
#include "fonts/font_state.h"
#include "fonts/glyph.h"
#include "fonts/pdf_font.h"
#include "page_doc.h"
#include "pdf/document.h"
#include "render/page.h"
#include "render/text.h"
#include "test_support.h"

using testsupport::one_page_pdf;
using testsupport::render_doc;
using testsupport::Rendered;
using testsupport::stream_obj;

namespace {

// Object 5: Helvetica (substituted) with every code 500 wide; object 6: a
// Type0 font with 1000-wide CIDs; object 7: its descendant; object 8: a
// Type 3 font of glyph-space units 0.01 em whose glyph /a fills its em
// square; object 9: that glyph's procedure; object 10: a Type 3 font whose
// glyph shows itself; object 12: a form that sets text parameters; object
// 13: a Type0 font written top to bottom (Identity-V) whose CID 3 has its
// own vertical metrics in W2; object 14: its descendant.
std::vector<std::string> font_objects()
{
    std::string widths = "[";
    for (int i = 32; i <= 126; i++)
        widths += " 500";
    widths += "]";
    return {
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FirstChar 32 /LastChar 126 "
        "/Widths " + widths + " >>",
        "<< /Type /Font /Subtype /Type0 /BaseFont /Helvetica /Encoding /Identity-H "
        "/DescendantFonts [7 0 R] >>",
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Helvetica /DW 1000 >>",
        "<< /Type /Font /Subtype /Type3 /FontMatrix [0.01 0 0 0.01 0 0] /FontBBox [0 0 100 100] "
        "/CharProcs << /a 9 0 R >> /Encoding << /Differences [97 /a] >> /FirstChar 97 "
        "/LastChar 97 /Widths [100] >>",
        stream_obj("", "100 0 d0 0 0 100 100 re f"),
        "<< /Type /Font /Subtype /Type3 /FontMatrix [0.01 0 0 0.01 0 0] /FontBBox [0 0 100 100] "
        "/CharProcs << /a 11 0 R >> /Encoding << /Differences [97 /a] >> /FirstChar 97 "
        "/LastChar 97 /Widths [100] /Resources << /Font << /S 10 0 R >> >> >>",
        stream_obj("", "BT /S 1 Tf (aaaaaaaaaaaaaaaaaaaa) Tj ET 0 0 10 10 re f"),
        stream_obj("/Type /XObject /Subtype /Form /BBox [0 0 100 100] "
                   "/Resources << /Font << /CID 6 0 R >> >>",
                   "0 TL 0 Tc 50 Tz /CID 5 Tf"),
        "<< /Type /Font /Subtype /Type0 /BaseFont /Helvetica /Encoding /Identity-V "
        "/DescendantFonts [14 0 R] >>",
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Helvetica /DW 1000 /W2 [3 [-500 250 400]] >>",
    };
}

const char *kResources =
    "/Resources << /Font << /F1 5 0 R /CID 6 0 R /T3 8 0 R /Self 10 0 R /V 13 0 R >> "
    "/XObject << /Fx 12 0 R >> >>";

std::string text_pdf(const std::string &content, const std::string &media = "[0 0 100 100]")
{
    return one_page_pdf(content, media, kResources, font_objects());
}

class TextTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testsupport::install_base_fonts()); }
};

struct Collected {
    std::vector<TextChar> chars;
    static void add(void *user, const TextChar *ch)
    {
        static_cast<Collected *>(user)->chars.push_back(*ch);
    }
};

// The characters of page 1 at scale 1 (device y = 100 - page y).
std::vector<TextChar> collect(const std::string &content)
{
    std::string path = testsupport::scratch_path("text_collect.pdf");
    EXPECT_TRUE(testsupport::write_file(path, text_pdf(content)));
    PdfDoc *doc = nullptr;
    EXPECT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
    Collected c;
    TextSink sink = {Collected::add, &c};
    EXPECT_EQ(collect_page_text(doc, 0, 1.0f, &sink), 0);
    pdf_close(doc);
    return c.chars;
}

struct PenRow {
    const char *what;
    const char *content;
    std::vector<float> x;  // left edge of each character's box
    float baseline;        // device y of the box bottom (all characters)
    std::vector<float> bottoms = {};  // or of each character's box
};

// Pens computed by hand: F1 codes are 0.5 em wide, CIDs 1 em.
TEST_F(TextTest, PenPositionsFollowTheTextMatrixAndSpacing)
{
    const PenRow rows[] = {
        {"plain advance", "BT /F1 10 Tf 10 20 Td (abc) Tj ET", {10, 15, 20}, 80},
        // Tc after every glyph, Tw only after byte 32.
        {"Tc and Tw", "BT /F1 10 Tf 2 Tc 3 Tw 10 20 Td (a b) Tj ET", {10, 17, 27}, 80},
        // Tw never applies to 2-byte codes, even 0x0020; a trailing odd byte is dropped.
        {"Tw on Type0", "BT /CID 10 Tf 3 Tw 10 20 Td <0020002000> Tj ET", {10, 20}, 80},
        // Tz scales the advance and the spacing.
        {"Tz", "BT /F1 10 Tf 1 Tc 50 Tz 10 20 Td (ab) Tj ET", {10, 13}, 80},
        // TJ numbers move back by n/1000 em, scaled by Tz.
        {"TJ", "BT /F1 10 Tf 10 20 Td [(a) -500 (b) 1000 (c)] TJ ET", {10, 20, 15}, 80},
        {"TJ with Tz", "BT /F1 10 Tf 200 Tz 10 20 Td [(a) -500 (b)] TJ ET", {10, 30}, 80},
        // T* moves down by TL from the line start; TD sets TL.
        {"T* and TL", "BT /F1 10 Tf 12 TL 10 40 Td (ab) Tj T* (c) Tj ET", {10, 15, 10}, -1},
        // Ts raises the box, not the pen.
        {"Ts", "BT /F1 10 Tf 5 Ts 10 20 Td (a) Tj ET", {10}, 75},
        // Tm replaces both matrices; Td is relative to the line matrix.
        {"Tm then Td", "BT /F1 10 Tf 2 0 0 2 5 5 Tm (a) Tj 1 1 Td (a) Tj ET", {5, 7}, -1},
        // ' moves to the next line, " also sets Tw and Tc first.
        {"quote operators", "BT /F1 10 Tf 10 TL 10 50 Td (a) ' 4 1 (a b) \" ET", {10, 10, 16, 26},
         -1},
        // A Type 3 advance is its width through FontMatrix.
        {"Type3 advance", "BT /T3 20 Tf 10 20 Td (aa) Tj ET", {10, 30}, 80},
        // Text parameters a form sets end with the form.
        {"form leaves the text state", "BT /F1 10 Tf 12 TL 2 Tc ET /Fx Do BT 10 40 Td (ab) Tj T* (a) Tj ET",
         {10, 17, 10}, -1},
        // Text of a font the resources lack advances by the default half em.
        {"missing font", "BT /Nope 10 Tf 10 20 Td (ab) Tj ET", {10, 15}, 80},
        // Top to bottom: each glyph hangs from the pen by its position vector
        // (DW2 880 and half the width, or W2's 250 400 for CID 3), the pen
        // moves down by 1000 (or W2's 500) and a TJ number moves it further.
        {"vertical", "BT /V 10 Tf 50 80 Td <000100020003> Tj [<0001> 200 <0001>] TJ ET",
         {45, 45, 47.5f, 45, 45}, -1, {28.8f, 38.8f, 44, 53.8f, 65.8f}},
    };
    for (const PenRow &row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<TextChar> chars = collect(row.content);
        ASSERT_EQ(chars.size(), row.x.size());
        for (size_t i = 0; i < chars.size(); i++) {
            EXPECT_NEAR(chars[i].x0, row.x[i], 1e-3) << "char " << i;
            if (row.baseline >= 0) {
                EXPECT_NEAR(chars[i].y1, row.baseline, 1e-3) << "char " << i;
            }
            if (i < row.bottoms.size()) {
                EXPECT_NEAR(chars[i].y1, row.bottoms[i], 1e-3) << "char " << i;
            }
        }
    }
    // The pen of T* and ' lines: 12 and 10 points below the line start.
    std::vector<TextChar> lines = collect("BT /F1 10 Tf 12 TL 10 40 Td (a) Tj T* (c) Tj ET");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NEAR(lines[1].y1 - lines[0].y1, 12, 1e-3);
    // Unicode from the encoding and the word-space flag reach the hook.
    std::vector<TextChar> word = collect("BT /F1 10 Tf (A ) Tj ET");
    ASSERT_EQ(word.size(), 2u);
    EXPECT_EQ(word[0].unicode, uint32_t('A'));
    EXPECT_EQ(word[0].word_space, 0);
    EXPECT_EQ(word[1].word_space, 1);
}

// Ink box of non-white pixels: x0, y0, x1, y1 inclusive; x0 = -1 when none.
struct Box {
    int x0 = -1, y0 = -1, x1 = -1, y1 = -1;
};
Box ink(const Rendered &r)
{
    Box b;
    for (int y = 0; y < r.bm->height; y++)
        for (int x = 0; x < r.bm->width; x++)
            if (r.px(x, y) != 0xffffff) {
                if (b.x0 < 0 || x < b.x0)
                    b.x0 = x;
                if (b.y0 < 0)
                    b.y0 = y;
                b.x1 = std::max(b.x1, x);
                b.y1 = y;
            }
    return b;
}

struct ModeRow {
    int mode;
    unsigned in_glyph;        // colour inside the H stem after the later green fill
    unsigned outside;         // colour beside the glyph after it
};

// The H of 40-point Helvetica at (10, 30): its left stem covers (15, 60).
// Red fill, blue stroke; a green fill of the page follows the text object.
TEST_F(TextTest, RenderModesPaintAndClip)
{
    const unsigned RED = 0xff0000, BLUE = 0x0000ff, GREEN = 0x00ff00, WHITE = 0xffffff;
    const ModeRow rows[] = {
        {0, GREEN, GREEN},  // fill, no clip
        {1, GREEN, GREEN},
        {2, GREEN, GREEN},
        {3, GREEN, GREEN},
        {4, GREEN, WHITE},  // the clip modes: the later fill lands only inside the glyph
        {5, GREEN, WHITE},
        {6, GREEN, WHITE},
        {7, GREEN, WHITE},
    };
    for (const ModeRow &row : rows) {
        SCOPED_TRACE(row.mode);
        const std::string text = "1 0 0 rg 0 0 1 RG BT /F1 40 Tf " + std::to_string(row.mode) +
                                 " Tr 10 30 Td (H) Tj ET";
        Rendered before, after;
        render_doc(text_pdf(text), &before);
        render_doc(text_pdf(text + " 0 1 0 rg 0 0 100 100 re f"), &after);
        ASSERT_NE(before.bm, nullptr);
        ASSERT_NE(after.bm, nullptr);
        // Modes 1 and 5 fill in the stroke colour; 3 and 7 paint nothing.
        const unsigned painted = row.mode == 3 || row.mode == 7          ? WHITE
                                 : row.mode == 1 || row.mode == 5 ? BLUE
                                                                  : RED;
        EXPECT_EQ(before.px(15, 60), painted);
        EXPECT_EQ(before.px(5, 60), WHITE);
        EXPECT_EQ(after.px(15, 60), row.in_glyph);
        EXPECT_EQ(after.px(5, 60), row.outside);
        EXPECT_EQ(after.px(90, 10), row.outside);
        EXPECT_EQ(after.diags, "");
    }
    // A clip-mode text object that shows only spaces clips everything away,
    // and the clip ends with the Q around it.
    Rendered spaces;
    render_doc(text_pdf("q BT /F1 40 Tf 7 Tr 10 30 Td (  ) Tj ET 0 0 100 100 re f Q "
                        "0 0 1 rg 0 0 10 10 re f"),
               &spaces);
    EXPECT_EQ(spaces.px(50, 50), WHITE);
    EXPECT_EQ(spaces.px(5, 95), BLUE);
}

// Glyphs filled with a pattern show the pattern inside their outline: an
// axial shading from red at x 0 to blue at x 100, and an uncoloured tiling
// pattern whose cell takes the blue given with scn.
TEST_F(TextTest, PatternFilledGlyphsShowThePattern)
{
    std::vector<std::string> objects = font_objects();
    const std::string shading = std::to_string(5 + objects.size()), tiling = std::to_string(6 + objects.size());
    objects.push_back("<< /PatternType 2 /Shading << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] "
                      "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >> >>");
    objects.push_back(stream_obj("/PatternType 1 /PaintType 2 /TilingType 1 /BBox [0 0 4 4] /XStep 4 /YStep 4 "
                                 "/Resources << >>",
                                 "0 0 4 4 re f"));
    const std::string resources =
        "/Resources << /Font << /F1 5 0 R >> /Pattern << /Sh " + shading + " 0 R /U " + tiling + " 0 R >> >>";
    struct Row {
        const char *colour;
        unsigned want;  // at x 15, inside the stem of the H
    } rows[] = {
        {"/Pattern cs /Sh scn", 0xd80027},
        {"[/Pattern /DeviceRGB] cs 0 0 1 /U scn", 0x0000ff},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.colour);
        Rendered r;
        render_doc(one_page_pdf(std::string(row.colour) + " BT /F1 40 Tf 10 30 Td (H) Tj ET", "[0 0 100 100]",
                                resources, objects),
                   &r);
        ASSERT_NE(r.bm, nullptr);
        const unsigned got = r.px(15, 60);
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(int(got >> shift & 255), int(row.want >> shift & 255), 12) << std::hex << got;
        EXPECT_EQ(r.px(5, 60), 0xffffffu);
        EXPECT_EQ(r.diags, "");
    }
}

// Black at coverage 140 over white, as the compositor rounds it.
constexpr unsigned kBarGrey = 0x747474;

// 8 pt at 96 dpi (10.7 pixels per em) draws glyphs, 4 pt (5.3) bars of
// coverage 140, 0.2 pt (0.27 pixels) nothing.
TEST_F(TextTest, GreekingThresholds)
{
    struct Row {
        const char *size;
        int expect;  // 0 nothing, 1 bar, 2 glyphs
    } rows[] = {{"8", 2}, {"4", 1}, {"0.2", 0}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.size);
        set_greek_threshold(6.0f);
        Rendered r;
        render_doc(text_pdf(std::string("BT /F1 ") + row.size +
                            " Tf 10 50 Td (HHHH) Tj ET"),
                   &r, 96.0f / 72.0f);
        ASSERT_NE(r.bm, nullptr);
        int bar = 0, other = 0;
        for (int y = 0; y < r.bm->height; y++)
            for (int x = 0; x < r.bm->width; x++) {
                unsigned p = r.px(x, y);
                bar += p == kBarGrey;
                other += p != kBarGrey && p != 0xffffff;
            }
        if (row.expect == 0) {
            EXPECT_EQ(bar + other, 0);
        }
        if (row.expect == 1) {
            EXPECT_GT(bar, 20);
            EXPECT_EQ(other, 0);
        }
        if (row.expect == 2) {
            EXPECT_LT(bar, other / 4);  // antialiased edges may hit 140 by chance
            EXPECT_GT(other, 20);
        }
    }
    // The threshold is reset after each render.
    Rendered r;
    render_doc(text_pdf("BT /F1 4 Tf 10 50 Td (HHHH) Tj ET"), &r, 96.0f / 72.0f);
    int bar = 0;
    for (int y = 0; y < r.bm->height; y++)
        for (int x = 0; x < r.bm->width; x++)
            bar += r.px(x, y) == kBarGrey;
    EXPECT_LT(bar, 5);
}

// Bands equal the page: glyphs cut by band edges, glyphs whose pen lies in
// another band, culling near both raster edges.
TEST_F(TextTest, BandsMatchTheWholePage)
{
    const std::string content =
        "BT /F1 30 Tf 5 2 Td (Hgy) Tj 0 25 Td (jQ) Tj /T3 15 Tf 5 30 Td (aa) Tj "
        "0 1 -1 0 90 10 Tm /F1 20 Tf (Rot) Tj ET";
    Rendered whole;
    render_doc(text_pdf(content), &whole, 1.5f);
    ASSERT_NE(whole.bm, nullptr);
    const int h = whole.bm->height;
    for (int first = 0; first < h; first += 7) {
        Rendered band;
        render_doc(text_pdf(content), &band, 1.5f, first, 7);
        ASSERT_NE(band.bm, nullptr);
        for (int y = 0; y < band.bm->height; y++)
            ASSERT_EQ(std::memcmp(band.bm->pixels + y * band.bm->stride,
                                  whole.bm->pixels + (first + y) * whole.bm->stride,
                                  size_t(whole.bm->width) * 3),
                      0)
                << "page row " << first + y;
    }
}

// A Type 3 glyph is its procedure under FontMatrix x TRM: the 100-unit
// square of glyph space is one em.
TEST_F(TextTest, Type3GlyphsUseTheGlyphMatrix)
{
    Rendered r;
    render_doc(text_pdf("0 0 1 rg BT /T3 20 Tf 10 10 Td (a) Tj 2 0 0 1 0 0 Tm 30 40 Td (a) Tj ET"), &r);
    ASSERT_NE(r.bm, nullptr);
    // First square: x 10..30, page y 10..30 (device rows 70..90).
    EXPECT_EQ(r.px(12, 88), 0x0000ffu);
    EXPECT_EQ(r.px(28, 72), 0x0000ffu);
    EXPECT_EQ(r.px(31, 80), 0xffffffu);
    EXPECT_EQ(r.px(20, 68), 0xffffffu);
    // Under Tm [2 0 0 1]: x 60..100 (Td 30 is scaled too), page y 40..60.
    EXPECT_EQ(r.px(62, 45), 0x0000ffu);
    EXPECT_EQ(r.px(97, 58), 0x0000ffu);
    EXPECT_EQ(r.px(58, 50), 0xffffffu);
    EXPECT_EQ(r.diags, "");

    // A glyph procedure with text of its own leaves the caller's text state
    // alone: the next glyph follows at the caller's pen and size.
    Rendered nested;
    render_doc(text_pdf("BT /Self 10 Tf 10 50 Td (a) Tj 0 0 1 rg /T3 20 Tf (a) Tj ET"), &nested);
    ASSERT_NE(nested.bm, nullptr);
    EXPECT_EQ(nested.px(22, 48), 0x0000ffu);  // square x 20..40, page y 50..70
    EXPECT_EQ(nested.px(38, 32), 0x0000ffu);
    EXPECT_EQ(nested.px(42, 40), 0xffffffu);
}

// Rotated and skewed text lands where the matrix puts the upright ink box.
TEST_F(TextTest, RotatedAndSkewedText)
{
    Rendered up, rot, up_i, skew;
    render_doc(text_pdf("BT /F1 40 Tf 30 30 Td (L) Tj ET"), &up);
    render_doc(text_pdf("BT /F1 40 Tf 0 1 -1 0 70 30 Tm (L) Tj ET"), &rot);
    render_doc(text_pdf("BT /F1 40 Tf 30 30 Td (I) Tj ET"), &up_i);
    render_doc(text_pdf("BT /F1 40 Tf 1 0 0.5 1 30 30 Tm (I) Tj ET"), &skew);
    const Box u = ink(up), r = ink(rot), ui = ink(up_i), s = ink(skew);
    ASSERT_GE(u.x0, 0);
    // Upright ink relative to the pen (30, device 70).
    const int left = u.x0 - 30, right = u.x1 - 30, above = 70 - u.y0, below = u.y1 - 70;
    // 90 degrees counter-clockwise about the pen (70, device 70): x' = -y, y' = x.
    EXPECT_NEAR(r.x0, 70 - above, 2);
    EXPECT_NEAR(r.x1, 70 + below, 2);
    EXPECT_NEAR(r.y0, 70 - right, 2);
    EXPECT_NEAR(r.y1, 70 - left, 2);
    // Skew: the I keeps its rows, its top moves right by half its height.
    const int height = 70 - ui.y0;
    EXPECT_NEAR(s.y0, ui.y0, 1);
    EXPECT_NEAR(s.y1, ui.y1, 1);
    EXPECT_NEAR(s.x0, ui.x0, 1);
    EXPECT_NEAR(s.x1, ui.x1 + 0.5 * height, 2);
}

// The cache: repeated upright glyphs hit, rotated and large ones are never
// stored, and releasing a face drops its entries.
TEST_F(TextTest, GlyphCacheHitsAndEviction)
{
    FT_Face face = font_open_base("n019003l.pfb");
    ASSERT_NE(face, nullptr);
    const uint32_t g = FT_Get_Name_Index(face, const_cast<char *>("H"));
    ASSERT_NE(g, 0u);
    GlyphBitmap out;
    EXPECT_EQ(ft_render_glyph(nullptr, g, 20, 0, 0, -20, &out), -4);
    EXPECT_EQ(ft_render_glyph(face, 0, 20, 0, 0, -20, &out), -4);
    EXPECT_EQ(ft_render_glyph(face, g, 0.04f, 0, 0, -0.04f, &out), -5);
    EXPECT_EQ(ft_render_glyph(face, g, NAN, 0, 0, -20, &out), -5);
    EXPECT_EQ(ft_render_glyph(face, g, 5000, 0, 0, -5000, &out), -5);
    // 1225 pixels per em sheared across a box of 30000 x 30100 pixels: its
    // bitmap would take 900 MB.
    EXPECT_EQ(ft_render_glyph(face, g, 15000, 15000, 15000, 15100, &out), -5);

    GlyphCacheStats s0 = glyph_cache_stats();
    ASSERT_EQ(ft_render_glyph(face, g, 20, 0, 0, -20, &out), 0);
    const int w = out.width, rows = out.rows, top = out.top;
    const std::vector<uint8_t> first(out.buffer, out.buffer + size_t(out.pitch) * size_t(out.rows));
    ASSERT_EQ(ft_render_glyph(face, g, 20, 0, 0, -20, &out), 0);
    GlyphCacheStats s1 = glyph_cache_stats();
    EXPECT_EQ(s1.stores - s0.stores, 1);
    EXPECT_EQ(s1.hits - s0.hits, 1);
    EXPECT_EQ(out.width, w);
    EXPECT_EQ(out.rows, rows);
    EXPECT_EQ(out.top, top);
    EXPECT_EQ(out.pitch, out.width);
    for (int y = 0; y < rows; y++)
        EXPECT_EQ(std::memcmp(out.buffer + y * out.pitch, &first[size_t(y) * size_t(w)], size_t(w)), 0);
    EXPECT_GT(top, 10);  // y grows down on the device: the H stands above the pen

    // Rotated 90 degrees counter-clockwise: drawn, never cached. The face
    // keeps that transform, which must not turn the unscaled advance.
    const float advance = ft_glyph_advance(face, g);
    ASSERT_EQ(ft_render_glyph(face, g, 0, -20, -20, 0, &out), 0);
    EXPECT_FLOAT_EQ(ft_glyph_advance(face, g), advance);
    EXPECT_NEAR(out.rows, w, 1);
    ASSERT_EQ(ft_render_glyph(face, g, 0, -20, -20, 0, &out), 0);
    // 100 pixels per em: the H is more than 72 pixels tall, drawn, not cached.
    ASSERT_EQ(ft_render_glyph(face, g, 100, 0, 0, -100, &out), 0);
    EXPECT_GT(out.rows, 72);
    ASSERT_EQ(ft_render_glyph(face, g, 100, 0, 0, -100, &out), 0);
    GlyphCacheStats s2 = glyph_cache_stats();
    EXPECT_EQ(s2.stores, s1.stores);
    EXPECT_EQ(s2.hits, s1.hits);

    // Pens a quarter pixel across are cached apart from whole ones; other
    // fractions, across or down, are not cached.
    ASSERT_EQ(ft_render_glyph_at(face, g, 20, 0, 0, -20, 0.25f, 0, &out), 0);
    ASSERT_EQ(ft_render_glyph_at(face, g, 20, 0, 0, -20, 0.25f, 0, &out), 0);
    ASSERT_EQ(ft_render_glyph_at(face, g, 20, 0, 0, -20, 0.3f, 0, &out), 0);
    ASSERT_EQ(ft_render_glyph_at(face, g, 20, 0, 0, -20, 0, 0.5f, &out), 0);
    GlyphCacheStats s3 = glyph_cache_stats();
    EXPECT_EQ(s3.stores - s2.stores, 1);
    EXPECT_EQ(s3.hits - s2.hits, 1);

    EXPECT_EQ(glyph_cache_count(face), 2);
    ft_face_release(face);
    EXPECT_EQ(glyph_cache_count(face), 0);
}

// Sizes of 0, -12 and 1e30, a NaN text matrix, 100,000 glyphs in one TJ,
// and a Type 3 glyph that shows itself end in time without a crash.
TEST_F(TextTest, HostileText_NoCrash)
{
    std::string many = "BT /F1 10 Tf [";
    for (int i = 0; i < 100000; i++)
        many += "(a)-1 ";
    many += "] TJ ET";
    const std::string rows[] = {
        "BT /F1 0 Tf (abc) Tj ET",
        "BT /F1 -12 Tf 10 50 Td (abc) Tj ET",
        "BT /F1 1e30 Tf 10 50 Td (abc) Tj ET",
        "BT /F1 12 Tf 1e30 1e30 1e30 1e30 1e30 1e30 Tm (abc) Tj 1e38 0 0 1e38 0 0 Tm 1e38 1e38 Td "
        "(abc) Tj ET",
        "1e30 0 0 1e30 0 0 cm BT /F1 1e30 Tf 1e30 -1e30 Td 7 Tr (abc) Tj ET 0 0 1 1 re f",
        "BT /T3 1e30 Tf (aaa) Tj /T3 0 Tf (a) Tj ET",
        "BT /Self 10 Tf 10 50 Td (a) Tj ET",
        many,
    };
    for (const std::string &content : rows) {
        SCOPED_TRACE(content.substr(0, 60));
        set_greek_threshold(6.0f);
        const auto start = std::chrono::steady_clock::now();
        Rendered r;
        render_doc(text_pdf(content), &r, 2.0f);
        EXPECT_NE(r.bm, nullptr);
        EXPECT_EQ(r.status, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    }
}

}  // namespace
