// Colour spaces and sampled images, checked through the pixels a page
// render paints: colour operators through parsed spaces, sample formats and
// bit depths, Decode, masks, soft masks, reduction, placeholders, inline
// images, progressive painting and hostile image dictionaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "render/colorspace.h"
#include "render/context.h"
#include "render/image.h"
#include "render/composite.h"
#include "render/page.h"
#include "pdf_builder.h"
#include "page_doc.h"
#include "test_support.h"

namespace {

struct Stream {
    int num;
    std::string dict, data;
};

// A 100 x 100 point page: `resources` is the body of its resource
// dictionary; `objects` are streams and `plain` other objects from number 5.
std::string page_pdf(const std::string &content, const std::string &resources,
                     const std::vector<Stream> &streams = {},
                     const std::vector<std::pair<int, std::string>> &plain = {})
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 4 0 R /Resources << " +
                 resources + " >> >>");
    b.stream(4, "", content);
    int size = 5;
    for (const Stream &s : streams) {
        b.stream(s.num, s.dict, s.data);
        size = std::max(size, s.num + 1);
    }
    for (const auto &[num, body] : plain) {
        b.obj(num, body);
        size = std::max(size, num + 1);
    }
    b.startxref(b.xref_section("/Size " + std::to_string(size) + " /Root 1 0 R"));
    return b.str();
}

using Page = testsupport::Rendered;

void render(const std::string &pdf, Page *out, float scale = 1.0f, int first = 0, int rows = 0)
{
    testsupport::render_doc(pdf, out, scale, first, rows);
}

struct Probe {
    int x, y;  // device pixel of the 100 x 100 page at scale 1 (y down)
    unsigned rgb;
};

constexpr unsigned WHITE = 0xffffff, BLACK = 0x000000, RED = 0xff0000, GRAY = 0xa0a0a0;

struct ColourRow {
    const char *what;
    const char *content;  // fills a rectangle at the top left
    const char *resources;
    unsigned rgb;         // the colour at (5, 5)
};

TEST(ColorSpace, OperatorsConvertThroughTheParsedSpace)
{
    const std::string lookup256 = [] {
        std::string s = "<";
        for (int i = 0; i < 256; i++)
            s += i == 255 ? "0000ff" : "00ff00";
        return s + ">";
    }();
    const std::string indexed = "/ColorSpace << /P [/Indexed /DeviceRGB 300 " + lookup256 +
                                "] /S [/Indexed /DeviceRGB 255 <ff00>] >>";
    const ColourRow rows[] = {
        {"CMYK black", "/DeviceCMYK cs 0 0 0 1 sc", "", BLACK},
        // (0.5, 0, 0, 0) -> (0.5, 1, 1).
        {"CMYK half cyan", "/DeviceCMYK cs 0.5 0 0 0 sc", "", 0x80ffff},
        // Default white point: L = 100 -> R = 0.920 after the gamma, G and B clamped to 1.
        {"Lab default white", "/L cs 100 0 0 sc", "/ColorSpace << /L [/Lab << >>] >>", 0xebffff},
        // D50 white point: L = 50 is the neutral 0.4663.
        {"Lab D50", "/L cs 50 0 0 sc",
         "/ColorSpace << /L [/Lab << /WhitePoint [0.9642 1 0.8249] >>] >>", 0x777777},
        {"Lab L = 0", "/L cs 0 0 0 sc", "/ColorSpace << /L [/Lab << >>] >>", BLACK},
        // hival 300 reads as 255: index 255 is the last entry, 400 clamps to it.
        {"indexed hival 300", "/P cs 255 sc", indexed.c_str(), 0x0000ff},
        {"indexed index above hival", "/P cs 400 sc", indexed.c_str(), 0x0000ff},
        {"indexed negative index", "/P cs -3 sc", indexed.c_str(), 0x00ff00},
        // A 2-byte lookup for 256 entries: the rest of the table is zeros.
        {"short lookup, first entry", "/S cs 0 sc", indexed.c_str(), 0xff0000},
        {"short lookup, zero-filled entry", "/S cs 200 sc", indexed.c_str(), BLACK},
        // The tint transform maps tint 0.25 to cyan 0.25 of the alternate CMYK.
        {"separation", "/Sp cs 0.25 sc",
         "/ColorSpace << /Sp [/Separation /Spot /DeviceCMYK 9 0 R] >>", 0xbfffff},
        // Without a usable tint transform a separation tint is ink on white.
        {"separation without transform", "/Sp cs 0.25 sc",
         "/ColorSpace << /Sp [/Separation /Spot /DeviceCMYK 5 0 R] >>", 0xbfbfbf},
        // 40 colorants: the alternate CMYK space stands in (4 operands).
        {"DeviceN of 40 names", "/N cs 0 0 0 1 sc",
         "/ColorSpace << /N [/DeviceN [/a /b /c /d /e /f /g /h /i /j /k /l /m /n /o /p /q /r /s /t "
         "/u /v /w /x /y /z /A /B /C /D /E /F /G /H /I /J /K /L /M /N] /DeviceCMYK 9 0 R] >>",
         BLACK},
        {"DeviceN of 40 names without alternate", "/N cs 1 0 0 sc",
         "/ColorSpace << /N [/DeviceN [/a /b /c /d /e /f /g /h /i /j /k /l /m /n /o /p /q /r /s /t "
         "/u /v /w /x /y /z /A /B /C /D /E /F /G /H /I /J /K /L /M /N]] >>",
         RED},
        {"ICCBased N 4", "/I cs 0 1 1 0 sc", "/ColorSpace << /I [/ICCBased 6 0 R] >>", RED},
        {"ICCBased alternate", "/I cs 0.5 sc", "/ColorSpace << /I [/ICCBased 7 0 R] >>", 0x808080},
        // A name missing from the resources is RGB.
        {"unknown name", "/Nope cs 1 0 0 sc", "", RED},
        // cs sets black; sc then needs the new count.
        {"cs resets to black", "1 0 0 rg /DeviceGray cs", "", BLACK},
        {"stroke side independent", "/DeviceCMYK CS 0 0 0 1 SC 1 0 0 rg", "", RED},
    };
    for (const ColourRow &row : rows) {
        SCOPED_TRACE(row.what);
        Page p;
        render(page_pdf(std::string(row.content) + " 0 90 10 10 re f", row.resources,
                        {{6, "/N 4", ""}, {7, "/N 3 /Alternate /DeviceGray", ""}},
                        {{9, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [1 0 0 0] /N 1 >>"}}),
               &p);
        ASSERT_NE(p.bm, nullptr);
        EXPECT_EQ(p.px(5, 5), row.rgb) << std::hex << p.px(5, 5);
        EXPECT_EQ(p.diags, "");
    }
}

struct ImageRow {
    const char *what;
    std::string dict;  // of the image XObject /Im, drawn over the whole page
    std::string data;  // hex digits (ASCIIHexDecode is added) unless the dict has a Filter
    std::vector<Probe> probes;
    const char *diags;
    const char *content = "100 0 0 100 0 0 cm /Im Do";
};

const char *kHalves = "/Width 2 /Height 1";  // left half, right half

TEST(Image, SamplesDecodeAndMasksFollowTheRules)
{
    const std::vector<Probe> halves_bw = {{25, 50, BLACK}, {75, 50, WHITE}};
    const ImageRow rows[] = {
        {"gray 8 bit quadrants", "/Width 2 /Height 2 /ColorSpace /DeviceGray /BitsPerComponent 8",
         "00ff8040", {{25, 25, BLACK}, {75, 25, WHITE}, {25, 75, 0x808080}, {75, 75, 0x404040}}, ""},
        {"gray 1 bit", std::string(kHalves) + " /ColorSpace /DeviceGray /BitsPerComponent 1", "40",
         halves_bw, ""},
        {"gray 2 bit x 85", "/Width 4 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 2", "1b",
         {{10, 50, BLACK}, {35, 50, 0x555555}, {60, 50, 0xaaaaaa}, {90, 50, WHITE}}, ""},
        {"gray 4 bit x 17", std::string(kHalves) + " /ColorSpace /DeviceGray /BitsPerComponent 4",
         "3c", {{25, 50, 0x333333}, {75, 50, 0xcccccc}}, ""},
        {"gray 16 bit high byte", std::string(kHalves) + " /ColorSpace /G /BitsPerComponent 16",
         "80ff10ff", {{25, 50, 0x808080}, {75, 50, 0x101010}}, ""},
        {"RGB", std::string(kHalves) + " /ColorSpace /DeviceRGB /BitsPerComponent 8", "ff000000ff00",
         {{25, 50, RED}, {75, 50, 0x00ff00}}, ""},
        {"CMYK bytes", std::string(kHalves) + " /ColorSpace /DeviceCMYK /BitsPerComponent 8",
         "000000ff00ffff00", {{25, 50, BLACK}, {75, 50, RED}}, ""},
        // Palette indexes are the sample values, not scaled: 2-bit index 1 is entry 1.
        {"indexed 2 bit", "/Width 4 /Height 1 /BitsPerComponent 2 /ColorSpace [/Indexed /DeviceRGB 3 "
                          "<ff000000ff000000ffffffff>]",
         "1b", {{10, 50, RED}, {35, 50, 0x00ff00}, {60, 50, 0x0000ff}, {90, 50, WHITE}}, ""},
        // Index 7 above hival 1 uses the last entry; Decode is ignored for palettes.
        {"indexed above hival", std::string(kHalves) +
             " /BitsPerComponent 4 /Decode [1 0] /ColorSpace [/Indexed /DeviceGray 1 <00ff>]",
         "07", halves_bw, ""},
        // hival 255 with a 2-byte lookup: entry 0 is (255, 0, 0 padding), the rest zeros.
        {"indexed short lookup", std::string(kHalves) +
             " /BitsPerComponent 8 /ColorSpace [/Indexed /DeviceRGB 255 <ff00>]",
         "00c8", {{25, 50, RED}, {75, 50, BLACK}}, ""},
        {"indexed CMYK base", std::string(kHalves) +
             " /BitsPerComponent 8 /ColorSpace [/Indexed /DeviceCMYK 1 <000000ff00ffff00>]",
         "0001", {{25, 50, BLACK}, {75, 50, RED}}, ""},
        {"Decode [1 0] inverts gray", std::string(kHalves) + " /BitsPerComponent 8 /Decode [1 0]",
         "ff00", halves_bw, ""},
        {"Decode [0 0.5] is ignored", std::string(kHalves) + " /BitsPerComponent 8 /Decode [0 0.5]",
         "00ff", halves_bw, ""},
        // Masks paint the fill colour where the sample is 0, or 1 with Decode [1 0].
        {"image mask", std::string(kHalves) + " /ImageMask true", "40", {{25, 50, RED}, {75, 50, WHITE}},
         "", "1 0 0 rg 100 0 0 100 0 0 cm /Im Do"},
        {"image mask Decode [1 0]", std::string(kHalves) + " /ImageMask true /Decode [1 0]", "40",
         {{25, 50, WHITE}, {75, 50, RED}}, "", "1 0 0 rg 100 0 0 100 0 0 cm /Im Do"},
        // One pixel over the page is one flat colour (enlarged: nearest sampling).
        {"1 x 1 stretched", "/Width 1 /Height 1 /ColorSpace /DeviceRGB /BitsPerComponent 8", "336699",
         {{0, 0, 0x336699}, {50, 50, 0x336699}, {99, 99, 0x336699}, {99, 0, 0x336699}}, ""},
        // The image covers only the unit square under the CTM.
        {"unit square", "/Width 1 /Height 1 /BitsPerComponent 8", "00",
         {{15, 85, BLACK}, {25, 85, WHITE}, {15, 75, WHITE}}, "", "10 0 0 10 10 10 cm /Im Do"},
        // Flipped by the CTM: the first row is at the bottom.
        {"flipped", "/Width 1 /Height 2 /BitsPerComponent 8", "00ff", {{50, 25, WHITE}, {50, 75, BLACK}},
         "", "100 0 0 -100 0 100 cm /Im Do"},
        // An SMask's gray is the alpha: transparent left, opaque right.
        {"soft mask", std::string(kHalves) + " /ColorSpace /DeviceRGB /BitsPerComponent 8 /SMask 6 0 R",
         "ff0000ff0000", {{25, 50, WHITE}, {75, 50, RED}}, ""},
        // Colours pre-multiplied with the SMask's Matte (blue) are divided
        // back: red at half alpha; a Matte of the wrong length is ignored.
        {"soft mask with Matte",
         std::string(kHalves) + " /ColorSpace /DeviceRGB /BitsPerComponent 8 /SMask 9 0 R",
         "80007f80007f", {{25, 50, 0xff8080}}, ""},
        {"soft mask with a short Matte",
         std::string(kHalves) + " /ColorSpace /DeviceRGB /BitsPerComponent 8 /SMask 10 0 R",
         "80007f80007f", {{25, 50, 0xc080c0}}, ""},
        // A Mask image mask hides the image where its samples are 1.
        {"stencil Mask", std::string(kHalves) + " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Mask 7 0 R",
         "ff0000ff0000", {{25, 50, RED}, {75, 50, WHITE}}, ""},
        {"stencil Mask with Decode [1 0]",
         std::string(kHalves) + " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Mask 8 0 R",
         "ff0000ff0000", {{25, 50, WHITE}, {75, 50, RED}}, ""},
        // Colour keys compare raw samples (before Decode and palette); a
        // pixel is keyed out only when every component is inside its range.
        {"colour key on gray", std::string(kHalves) + " /BitsPerComponent 8 /Mask [0 16]", "0880",
         {{25, 50, WHITE}, {75, 50, 0x808080}}, ""},
        {"colour key on RGB", std::string(kHalves) + " /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                              "/Mask [250 255 0 0 0 16]",
         "ff0010ff0020", {{25, 50, WHITE}, {75, 50, 0xff0020}}, ""},
        {"colour key on 4-bit samples, before Decode", std::string(kHalves) +
             " /BitsPerComponent 4 /Decode [1 0] /Mask [3 3]",
         "3c", {{25, 50, WHITE}, {75, 50, 0x333333}}, ""},
        {"colour key on palette indexes", std::string(kHalves) +
             " /BitsPerComponent 8 /ColorSpace [/Indexed /DeviceRGB 1 <ff000000ff00>] /Mask [1 1]",
         "0001", {{25, 50, RED}, {75, 50, WHITE}}, ""},
        {"colour key of the wrong length is ignored", std::string(kHalves) +
             " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Mask [250 255]",
         "ff0010ff0020", {{25, 50, 0xff0010}, {75, 50, 0xff0020}}, ""},
        // Short data: the missing rows are zeros, without an error.
        {"truncated", "/Width 1 /Height 2 /ColorSpace /DeviceRGB /BitsPerComponent 8", "ff0000",
         {{50, 25, RED}, {50, 75, BLACK}}, ""},
        {"DCT data that are not JPEG", "/Width 1 /Height 2 /BitsPerComponent 8 /Filter /DCTDecode",
         "not a jpeg", {{50, 25, BLACK}, {50, 75, BLACK}}, ""},
        // Failures: the gray placeholder and the reason.
        {"unsupported filter", "/Width 1 /Height 1 /BitsPerComponent 8 /Filter /SketchDecode", "00",
         {{50, 50, GRAY}}, "SketchDecode"},
        {"width 0", "/Width 0 /Height 1 /BitsPerComponent 8", "00", {{50, 50, GRAY}}, "image-load(size)"},
        {"width 20001", "/Width 20001 /Height 1 /BitsPerComponent 8", "00", {{50, 50, GRAY}},
         "image-load(size)"},
        {"3 bits", "/Width 1 /Height 1 /BitsPerComponent 3", "00", {{50, 50, GRAY}},
         "image-load(format)"},
        {"indexed over indexed", "/Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace [/Indexed "
                                 "[/Indexed /DeviceGray 1 <00ff>] 1 <0001>]",
         "00", {{50, 50, GRAY}}, "image-load(format)"},
        // Entirely outside the page: nothing, not even a failure.
        {"outside", "/Width 0 /Height 1 /BitsPerComponent 8", "00", {{50, 50, WHITE}}, "",
         "10 0 0 10 200 200 cm /Im Do"},
    };
    for (const ImageRow &row : rows) {
        SCOPED_TRACE(row.what);
        bool filtered = row.dict.find("/Filter") != std::string::npos;
        std::string dict = "/Type /XObject /Subtype /Image " + row.dict +
                           (filtered ? "" : " /Filter /ASCIIHexDecode");
        Page p;
        render(page_pdf(row.content, "/XObject << /Im 5 0 R >>",
                        {{5, dict, filtered ? row.data : row.data + ">"},
                         {6, "/Type /XObject /Subtype /Image /Width 2 /Height 1 /BitsPerComponent 8 "
                             "/ColorSpace /DeviceGray",
                          std::string("\x00\xff", 2)},
                         {7, "/Type /XObject /Subtype /Image /Width 2 /Height 1 /ImageMask true", "\x40"},
                         {8, "/Type /XObject /Subtype /Image /Width 2 /Height 1 /ImageMask true "
                             "/Decode [1 0]",
                          "\x40"},
                         {9, "/Type /XObject /Subtype /Image /Width 2 /Height 1 /BitsPerComponent 8 "
                             "/ColorSpace /DeviceGray /Matte [0 0 1]",
                          "\x80\x80"},
                         {10, "/Type /XObject /Subtype /Image /Width 2 /Height 1 /BitsPerComponent 8 "
                              "/ColorSpace /DeviceGray /Matte [0 0]",
                          "\x80\x80"}}),
               &p);
        ASSERT_NE(p.bm, nullptr);
        EXPECT_EQ(p.status, 0);
        for (const Probe &pr : row.probes)
            EXPECT_EQ(p.px(pr.x, pr.y), pr.rgb) << "at " << pr.x << "," << pr.y << ": " << std::hex
                                                << p.px(pr.x, pr.y);
        EXPECT_EQ(p.diags, row.diags);
    }
}

// The page with image /Im (object 5) drawn by `content`.
std::string image_pdf(const std::string &dict, const std::string &data,
                      const char *content = "100 0 0 100 0 0 cm /Im Do",
                      const std::string &resources = "")
{
    return page_pdf(content, "/XObject << /Im 5 0 R >> " + resources,
                    {{5, "/Type /XObject /Subtype /Image " + dict, data}});
}

// A width x height gray image, left half black and right half white, Flate-compressed.
std::string halves_data(int width, int height)
{
    std::string row(size_t(width), '\0');
    std::fill(row.begin() + width / 2, row.end(), '\xff');
    std::string all;
    all.reserve(size_t(width) * size_t(height));
    for (int y = 0; y < height; y++)
        all += row;
    return testsupport::deflate_bytes(all);
}

// How an image lands on the pixel grid: drawn smaller it averages the area
// each pixel covers (masks get partial coverage), enlarged up to four times
// it is interpolated, and upright it covers whole pixels.
TEST(Image, ResamplingAveragesInterpolatesAndFitsThePixelGrid)
{
    std::string stripes, mask_stripes;
    for (int x = 0; x < 150; x++)
        stripes += x % 2 ? '\xff' : '\0';
    for (int x = 0; x < 19; x++)
        mask_stripes += '\x55';  // 0101...: every other sample paints
    struct Row {
        const char *what;
        std::string dict, data;  // data as they are
        const char *content;
        std::vector<Probe> probes;
    } rows[] = {
        // 150 one-pixel stripes over 100 pixels: pixel 0 covers a black
        // stripe and half a white one (a third white), pixel 2 a white one
        // and half a black one; bilinear sampling would give a quarter and
        // three quarters.
        {"stripes drawn smaller", "/Width 150 /Height 1 /BitsPerComponent 8", stripes,
         "100 0 0 100 0 0 cm /Im Do", {{0, 50, 0x555555}, {1, 50, 0x555555}, {2, 50, 0xaaaaaa}}},
        {"mask stripes drawn smaller", "/Width 150 /Height 1 /ImageMask true", mask_stripes,
         "1 0 0 rg 100 0 0 100 0 0 cm /Im Do", {{0, 50, 0xff5656}, {2, 50, 0xffabab}}},
        // Black and white over 4 pixels: the inner two are interpolated.
        {"twice enlarged", "/Width 2 /Height 1 /BitsPerComponent 8", std::string("\0\xff", 2),
         "4 0 0 4 0 96 cm /Im Do", {{0, 2, BLACK}, {1, 2, 0x404040}, {2, 2, 0xbfbfbf}, {3, 2, WHITE}}},
        // From x 10.5 to 30.5: the edges move out to pixels 10 and 30.
        {"half-pixel offset", "/Width 2 /Height 1 /ColorSpace /DeviceRGB /BitsPerComponent 8",
         std::string("\0\0\0\xff\0\0", 6), "20 0 0 10 10.5 50 cm /Im Do",
         {{9, 45, WHITE}, {10, 45, BLACK}, {30, 45, RED}, {31, 45, WHITE}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Page p;
        render(image_pdf(row.dict, row.data, row.content), &p);
        ASSERT_NE(p.bm, nullptr);
        for (const Probe &pr : row.probes)
            EXPECT_EQ(p.px(pr.x, pr.y), pr.rgb) << "at " << pr.x << "," << pr.y << ": " << std::hex
                                                << p.px(pr.x, pr.y);
    }
}

TEST(Image, ReductionStepsFollowTheDeviceExtent)
{
    struct Row {
        const char *what;
        float ctm[6];
        int width, height, sx, sy;
        int bytes = 3;  // per output pixel
    };
    const Row rows[] = {
        {"4000 on 100 px", {100, 0, 0, -100, 0, 100}, 4000, 4000, 26, 26},
        {"below three times", {100, 0, 0, -100, 0, 100}, 299, 299, 1, 1},
        {"three times", {100, 0, 0, -100, 0, 100}, 300, 300, 2, 2},
        {"each axis alone", {100, 0, 0, -10, 0, 100}, 200, 200, 1, 13},
        {"rotated: extents are column lengths", {0, 50, -100, 0, 100, 0}, 600, 600, 8, 4},
        {"extent below one counts as one", {0.1f, 0, 0, 0.1f, 0, 0}, 3, 5, 2, 3},
        // 2550 x 3300 at 150 dpi is just over 24 MiB unreduced: steps of 2 and 1.
        {"page scan over the output limit", {1275, 0, 0, -1650, 0, 1650}, 2550, 3300, 2, 1},
        {"masks count 4 bytes", {1275, 0, 0, -1650, 0, 1650}, 2400, 2700, 2, 1, 4},
        {"largest image drawn full size", {20000, 0, 0, -20000, 0, 0}, 20000, 20000, 7, 7},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        GraphicsState gs{};
        std::memcpy(gs.ctm, row.ctm, sizeof gs.ctm);
        RenderContext ctx{};
        ctx.gs = &gs;
        int sx = 0, sy = 0;
        image_reduction(&ctx, row.width, row.height, row.bytes, &sx, &sy);
        EXPECT_EQ(sx, row.sx);
        EXPECT_EQ(sy, row.sy);
    }
}

TEST(Image, LargeImagesDecodeReducedWithinTheOutputLimit)
{
    // 4000 x 4000 RGB is 48 MB unreduced, twice the output limit: it is drawn
    // only because it decodes at 154 x 154.
    Page p;
    render(image_pdf("/Width 4000 /Height 4000 /ColorSpace /DeviceGray /BitsPerComponent 8 "
                     "/Filter /FlateDecode",
                     halves_data(4000, 4000)),
           &p);
    ASSERT_NE(p.bm, nullptr);
    EXPECT_EQ(p.diags, "");
    EXPECT_EQ(p.px(10, 50), BLACK);
    EXPECT_EQ(p.px(90, 50), WHITE);
    // Drawn 5000 px wide, 30 MB at full size: decoded coarser, not replaced.
    Page big;
    render(image_pdf("/Width 5000 /Height 2000 /ColorSpace /DeviceGray /BitsPerComponent 8 "
                     "/Filter /FlateDecode",
                     halves_data(5000, 2000), "5000 0 0 2000 -2450 -1900 cm /Im Do"),
           &big);
    ASSERT_NE(big.bm, nullptr);
    EXPECT_EQ(big.diags, "");
    EXPECT_EQ(big.px(10, 50), BLACK);
    EXPECT_EQ(big.px(90, 50), WHITE);
}

TEST(Image, PlaceholderRulesForLargeImagesAndThumbnails)
{
    std::string gray300 = image_pdf("/Width 300 /Height 300 /BitsPerComponent 8 /Filter /FlateDecode",
                                    halves_data(300, 300));
    std::string gray256 = image_pdf("/Width 256 /Height 256 /BitsPerComponent 8 /Filter /FlateDecode",
                                    halves_data(256, 256));
    std::string mask = image_pdf("/Width 300 /Height 300 /ImageMask true /Filter /FlateDecode",
                                 testsupport::deflate_bytes(std::string(300 * 38, '\0')));
    struct Row {
        const char *what;
        const std::string *pdf;
        int show_large, thumbnail;
        unsigned left;  // colour at (10, 50)
        const char *diags = "";
    };
    const Row rows[] = {
        {"300 x 300 with ShowLargeImages off", &gray300, 0, 0, GRAY, "image-placeholder"},
        {"256 x 256 with ShowLargeImages off", &gray256, 0, 0, BLACK},
        {"300 x 300 with ShowLargeImages on", &gray300, 1, 0, BLACK},
        {"thumbnail mode", &gray256, 1, 1, GRAY},
        {"masks are drawn in thumbnail mode", &mask, 0, 1, BLACK},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        set_show_large_images(row.show_large);
        set_thumbnail_mode(row.thumbnail);
        Page p;
        render(*row.pdf, &p);
        set_show_large_images(1);
        set_thumbnail_mode(0);
        ASSERT_NE(p.bm, nullptr);
        EXPECT_EQ(p.px(10, 50), row.left);
        EXPECT_EQ(p.diags, row.diags);
    }
}

struct InlineRow {
    const char *what;
    std::string content;
    std::vector<Probe> probes;
    const char *diags;
};

TEST(Image, InlineImagesReadTheirDataAndDrawLikeXObjects)
{
    const std::string cm = "100 0 0 100 0 0 cm ";
    const InlineRow rows[] = {
        {"unfiltered, counted", cm + "BI /W 2 /H 1 /CS /RGB /BPC 8 ID " + std::string("\xff\0\0\0\xff\0", 6) +
                                    " EI 0 0 1 rg 0 0 0.1 0.1 re f",
         {{25, 50, RED}, {75, 50, 0x00ff00}, {5, 95, 0x0000ff}}, ""},
        // "EI" after a backslash inside ASCII85 data is not the end.
        {"EI inside filtered data", cm + "BI /W 2 /H 1 /CS /RGB /BPC 8 /F /A85 ID AA\\EI!!!~> EI",
         {{25, 50, 0x64c300}, {75, 50, RED}}, ""},
        {"abbreviations and Decode", cm + "BI /W 2 /H 1 /BPC 8 /F /AHx /D [1 0] ID ff00> EI",
         {{25, 50, BLACK}, {75, 50, WHITE}}, ""},
        {"mask", "1 0 0 rg " + cm + "BI /IM true /W 2 /H 1 /BPC 1 ID \x40 EI",
         {{25, 50, RED}, {75, 50, WHITE}}, ""},
        {"named indexed space", cm + "BI /W 2 /H 1 /BPC 8 /CS /P ID " + std::string("\x01\x00", 2) + " EI",
         {{25, 50, RED}, {75, 50, BLACK}}, ""},
        // Inline images are always decoded: no placeholder for large ones.
        {"bad size: placeholder without a diagnostic", cm + "BI /W 0 /H 1 /F /AHx ID 00> EI",
         {{50, 50, GRAY}}, ""},
        {"unsupported filter", cm + "BI /W 1 /H 1 /F /SketchDecode ID 00 EI", {{50, 50, GRAY}},
         "SketchDecode"},
        // Too few bytes: skipped, and nothing after it runs as content.
        {"short data", cm + "BI /W 100 /H 100 /BPC 8 ID abc", {{50, 50, WHITE}}, ""},
    };
    for (const InlineRow &row : rows) {
        SCOPED_TRACE(row.what);
        Page p;
        render(page_pdf(row.content, "/ColorSpace << /P [/Indexed /DeviceRGB 1 <000000ff0000>] >>"), &p);
        ASSERT_NE(p.bm, nullptr);
        for (const Probe &pr : row.probes)
            EXPECT_EQ(p.px(pr.x, pr.y), pr.rgb) << "at " << pr.x << "," << pr.y << ": " << std::hex
                                                << p.px(pr.x, pr.y);
        EXPECT_EQ(p.diags, row.diags);
    }
}

// A 200 x 200 RGB gradient: drawn at 100 px it is sampled bilinearly.
std::string gradient_pdf(const char *content)
{
    std::string data;
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 200; x++) {
            data += char(x);
            data += char(y);
            data += char((x * y) >> 8);
        }
    return image_pdf("/Width 200 /Height 200 /ColorSpace /DeviceRGB /BitsPerComponent 8 "
                     "/Filter /FlateDecode",
                     testsupport::deflate_bytes(data), content);
}

TEST(Image, BandsAndProgressivePaintingEqualTheWholePage)
{
    // Upright images paint progressively and stop below the band; flipped
    // ones paint once. Either way a band is the same rows of the page.
    for (const char *content : {"10 0 0 80 10 10 cm 8 0 0 1 0 0 cm /Im Do",
                                "80 0 0 -80 10 90 cm /Im Do", "0 80 -80 0 90 10 cm /Im Do"}) {
        SCOPED_TRACE(content);
        std::string pdf = gradient_pdf(content);
        Page whole;
        render(pdf, &whole);
        ASSERT_NE(whole.bm, nullptr);
        for (int first : {0, 7, 33, 60}) {
            Page band;
            render(pdf, &band, 1.0f, first, 25);
            ASSERT_NE(band.bm, nullptr);
            for (int y = 0; y < band.bm->height; y++)
                ASSERT_EQ(std::memcmp(band.bm->pixels + y * band.bm->stride,
                                      whole.bm->pixels + (first + y) * whole.bm->stride,
                                      size_t(whole.bm->width) * 3),
                          0)
                    << "band " << first << " row " << y;
        }
    }
}

int g_polls_left = 0;
int stop_after_polls(void *, PageBitmap *) { return --g_polls_left <= 0; }

TEST(Image, AbortDuringAProgressiveImage)
{
    // 1000 rows poll every 64 rows: the stop comes while the image decodes.
    // What was decoded by then is on the page; the rest and the fill after
    // the image are not.
    std::string pdf = image_pdf("/Width 1000 /Height 1000 /BitsPerComponent 8 /Filter /FlateDecode",
                                testsupport::deflate_bytes(std::string(1000000, '\0')),
                                "q 100 0 0 100 0 0 cm /Im Do Q 0 1 0 rg 0 0 100 100 re f");
    g_polls_left = 3;
    set_render_poll(stop_after_polls, nullptr);
    Page p;
    render(pdf, &p);
    set_render_poll(nullptr, nullptr);
    ASSERT_NE(p.bm, nullptr);
    EXPECT_EQ(p.status, 0);
    EXPECT_LE(g_polls_left, 0);
    EXPECT_EQ(p.px(50, 1), BLACK);
    EXPECT_EQ(p.px(50, 98), WHITE);
}

TEST(Image, HostileColourSpacesAndImageDictionariesAreBounded)
{
    std::string names;
    for (int i = 0; i < 7000; i++)
        names += "/n" + std::to_string(i) + " ";
    const std::string devicen = "[/DeviceN [" + names + "] /DeviceRGB 9 0 R]";
    struct Row {
        const char *what;
        std::string content, resources;
        std::vector<Stream> streams;
        std::vector<std::pair<int, std::string>> plain;
    };
    const Row rows[] = {
        {"7000-name DeviceN image", "100 0 0 100 0 0 cm /Im Do", "/XObject << /Im 5 0 R >>",
         {{5, "/Subtype /Image /Width 50 /Height 50 /BitsPerComponent 8 /ColorSpace " + devicen,
           std::string(7500, '\x80')}}},
        {"7000-name DeviceN colour", "/N cs 1 2 3 4 5 6 7 8 9 10 sc 0 0 50 50 re f",
         "/ColorSpace << /N " + devicen + " >>"},
        {"indexed base names itself", "/C cs 1 sc 0 0 50 50 re f 100 0 0 100 0 0 cm /Im Do",
         "/ColorSpace << /C [/Indexed /C 1 <00ff00ff00ff>] >> /XObject << /Im 5 0 R >>",
         {{5, "/Subtype /Image /Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace /C", "\x01"}}},
        {"indexed base is the same object", "/C cs 1 sc 0 0 50 50 re f 100 0 0 100 0 0 cm /Im Do",
         "/ColorSpace << /C 8 0 R >> /XObject << /Im 5 0 R >>",
         {{5, "/Subtype /Image /Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace 8 0 R", "\x01"}},
         {{8, "[/Indexed 8 0 R 1 <00ff00ff00ff>]"}}},
        {"2 GB claimed length", "100 0 0 100 0 0 cm /Im Do", "/XObject << /Im 5 0 R >>", {},
         {{5, "<< /Subtype /Image /Width 10 /Height 10 /BitsPerComponent 8 /Length 2147483648 >>\n"
              "stream\nabc\nendstream"}}},
        {"image stream that is not a stream", "100 0 0 100 0 0 cm /Im Do", "/XObject << /Im 5 0 R >>",
         {}, {{5, "<< /Subtype /Image /Width 10 /Height 10 /BitsPerComponent 8 >>"}}},
        {"empty and undecodable data", "100 0 0 100 0 0 cm /Im Do /Im2 Do",
         "/XObject << /Im 5 0 R /Im2 6 0 R >>",
         {{5, "/Subtype /Image /Width 10 /Height 10 /BitsPerComponent 8", ""},
          {6, "/Subtype /Image /Width 10 /Height 10 /BitsPerComponent 8 /Filter /FlateDecode", "junk"}}},
        {"soft mask that is no image", "100 0 0 100 0 0 cm /Im Do", "/XObject << /Im 5 0 R >>",
         {{5, "/Subtype /Image /Width 2 /Height 2 /BitsPerComponent 8 /SMask 6 0 R", "abcd"},
          {6, "/Width 0 /Height 3", "x"}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<std::pair<int, std::string>> plain = row.plain;
        plain.push_back({9, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0] /C1 [1 1 1] /N 1 >>"});
        Page p;
        render(page_pdf(row.content, row.resources, row.streams, plain), &p);
        ASSERT_NE(p.bm, nullptr);
        EXPECT_EQ(p.status, 0);
    }
}

}  // namespace
