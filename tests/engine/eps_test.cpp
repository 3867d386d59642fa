// EPS pages: which preview is taken, the EPSI hexadecimal reader, and the
// placeholder's size, frame and text positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "font_support.h"
#include "formats/eps.h"
#include "test_support.h"
#include "tiff_builder.h"

namespace {

std::string le32(uint32_t v)
{
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

// A DOS EPS binary header naming a TIFF preview at `offset`, `length`, then `rest`.
std::string dos_eps(uint32_t offset, uint32_t length, const std::string &rest)
{
    std::string h = "\xC5\xD0\xD3\xC6" + le32(30) + le32(uint32_t(rest.size())) + le32(0) + le32(0) + le32(offset) +
                    le32(length) + std::string(2, '\xFF');
    return h + rest;
}

const std::string kPs = "%!PS-Adobe-3.0 EPSF-3.0\n";

struct Rendered {
    EpsSource source = EPS_PLACEHOLDER;
    int width = 0, height = 0;
    std::vector<int> row0;  // grey of row 0 (blue channel)
};

Rendered render(const std::string &bytes, EpsTextPainter painter = nullptr)
{
    Rendered r;
    EpsDoc *doc = eps_open_memory(reinterpret_cast<const uint8_t *>(bytes.data()), int64_t(bytes.size()));
    EXPECT_NE(nullptr, doc);
    if (!doc)
        return r;
    int dx, dy;
    PageBitmap *page = eps_render(doc, painter, &dx, &dy, &r.source);
    EXPECT_NE(nullptr, page);
    if (page) {
        r.width = page->width;
        r.height = page->height;
        for (int x = 0; x < page->width; x++)
            r.row0.push_back(page->pixels[3 * x]);
        bitmap_free(page);
    }
    eps_close(doc);
    return r;
}

TEST(Eps, PreviewChoiceHexReadingAndPlaceholderSize)
{
    const std::string tiff = testsupport::tiff_simple(3, 2, 8, 1, 1, std::string("\x00\x80\xFF\x00\x80\xFF", 6));
    const std::string epsi = "%%BeginPreview: 12 2 1 2\n% 0F\n% F0\n% FFF0\n%%EndPreview\n";
    struct Case {
        const char *what;
        std::string file;
        EpsSource source;
        int width, height;
        std::vector<int> row0;  // empty: not checked
    } cases[] = {
        {"TIFF preview inside the file", dos_eps(30 + uint32_t(kPs.size()), uint32_t(tiff.size()), kPs + tiff),
         EPS_TIFF_PREVIEW, 3, 2, {0, 128, 255}},
        {"TIFF length 0 falls through to EPSI", dos_eps(30, 0, kPs + epsi), EPS_EPSI_PREVIEW, 12, 2, {}},
        {"offset + length wrapping past 2^32 falls through", dos_eps(0xFFFFFF00u, 0x200, kPs), EPS_PLACEHOLDER, 400,
         300, {}},
        // Depth 1: 0 is white; a row's bytes continue on the next "%" line.
        {"EPSI row spanning lines, 0 white", kPs + epsi, EPS_EPSI_PREVIEW, 12, 2,
         {255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"EPSI depth 8, data cut short stays white", kPs + "%%BeginPreview: 4 1 8 1\n% 00 80\n%%EndPreview\n",
         EPS_EPSI_PREVIEW, 4, 1, {255, 127, 255, 255}},
        {"EPSI depth 2", kPs + "%%BeginPreview: 4 1 2 1\n% 1B\n", EPS_EPSI_PREVIEW, 4, 1, {255, 170, 85, 0}},
        {"BeginPreview with two numbers is ignored", kPs + "%%BeginPreview: 12 2\n% 0F0F\n", EPS_PLACEHOLDER, 400, 300,
         {}},
        {"EPSI depth 3 is ignored", kPs + "%%BeginPreview: 8 1 3 1\n% 0F0F\n", EPS_PLACEHOLDER, 400, 300, {}},
        {"bounding box at the trailer gives the default",
         kPs + "%%BoundingBox: (atend)\n%%Trailer\n%%BoundingBox: 0 0 100 100\n", EPS_PLACEHOLDER, 400, 300, {}},
        {"wide box scaled to 800", kPs + "%%BoundingBox: 0 0 1600 800\n", EPS_PLACEHOLDER, 800, 400, {}},
        {"tall box scaled to 1000", kPs + "%%BoundingBox: 10 10 510 3010\n", EPS_PLACEHOLDER, 166, 1000, {}},
        {"small box grows to 120 x 90", kPs + "%%BoundingBox: 0 0 50 20\n", EPS_PLACEHOLDER, 120, 90, {}},
        {"box side of 20000 gives the default", kPs + "%%BoundingBox: 0 0 20000 100\n", EPS_PLACEHOLDER, 400, 300,
         {}},
        {"tabs before the box", kPs + "%%BoundingBox:\t 5 5 305 205\n", EPS_PLACEHOLDER, 300, 200, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Rendered r = render(c.file);
        EXPECT_EQ(c.source, r.source);
        EXPECT_EQ(c.width, r.width);
        EXPECT_EQ(c.height, r.height);
        if (!c.row0.empty()) {
            EXPECT_EQ(c.row0, r.row0);
        }
    }
}

struct PainterCall {
    std::string text;
    int middle, baseline, em;
};
std::vector<PainterCall> g_calls;

TEST(Eps, PlaceholderFrameAndTextPlacement)
{
    g_calls.clear();
    Rendered r = render(kPs + "%%BoundingBox: 0 0 301 201\n", [](PageBitmap *, const char *text, int m, int b, int em) {
        g_calls.push_back(PainterCall{text, m, b, em});
    });
    EXPECT_EQ(301, r.width);
    EXPECT_EQ(std::vector<int>(301, 150), r.row0);  // the grey frame's top edge
    ASSERT_EQ(2u, g_calls.size());
    EXPECT_EQ("EPS - No preview available", g_calls[0].text);
    EXPECT_EQ(150, g_calls[0].middle);
    EXPECT_EQ(100 - 4, g_calls[0].baseline);
    EXPECT_EQ(15, g_calls[0].em);
    EXPECT_EQ("(PostScript is not rendered)", g_calls[1].text);
    EXPECT_EQ(100 + 12, g_calls[1].baseline);
    EXPECT_EQ(11, g_calls[1].em);
}

// Through the document layer the placeholder carries its two lines in dark
// grey with the base sans-serif face: the first line's ink lies on its
// baseline's side of the middle and spans about the line's width.
TEST(Eps, PlaceholderTextDrawnWithTheBaseFace)
{
    ASSERT_TRUE(testsupport::install_base_fonts());
    const std::string path = testsupport::scratch_path("placeholder.eps");
    testsupport::write_file(path, kPs + "%%BoundingBox: 0 0 400 300\n");
    Document *doc = nullptr;
    ASSERT_EQ(0, doc_open(&doc, path.c_str(), nullptr));
    PageBitmap *page = doc_raster_page(doc, 0);
    ASSERT_NE(nullptr, page);
    int darkest = 255, left = page->width, right = -1;
    for (int y = 130; y < 147; y++)  // the first line: 15-pixel em, baseline at 146
        for (int x = 1; x < page->width - 1; x++) {
            int v = page->pixels[y * page->stride + 3 * x];
            darkest = std::min(darkest, v);
            if (v < 200) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    EXPECT_LE(darkest, 100);  // full coverage blends to grey 90
    EXPECT_GE(darkest, 90);
    // "EPS - No preview available" is about 190 pixels wide at 15 pixels per em.
    EXPECT_NEAR((left + right) / 2, 200, 3);
    EXPECT_NEAR(right - left, 190, 20);
    doc_close(doc);
}

}  // namespace
