// Functions, shadings and patterns: each function type against values
// worked out by hand, shading geometry and mesh colours at known pixels,
// tiling patterns over many cells, and hostile functions, meshes and
// patterns that must stay bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "page_doc.h"
#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf_builder.h"
#include "render/context.h"
#include "render/function.h"
#include "test_support.h"

namespace {

using testsupport::one_page_pdf;
using testsupport::render_doc;
using testsupport::Rendered;
using testsupport::stream_obj;

// A document of function objects (numbered from 1) opened with a render
// context over it, so that functions can be parsed and evaluated directly.
struct FunctionDoc {
    PdfDoc *doc = nullptr;
    Arena *arena = arena_create(0);
    RenderContext ctx = {};
    explicit FunctionDoc(const std::vector<std::string> &bodies)
    {
        std::vector<std::pair<int, std::string>> objects;
        for (size_t i = 0; i < bodies.size(); i++)
            objects.push_back({int(i) + 1, bodies[i]});
        const std::string path = testsupport::scratch_path("functions.pdf");
        testsupport::write_file(path, testsupport::objects_pdf(objects, ""));
        pdf_open(&doc, path.c_str(), nullptr);
        ctx.doc = doc;
        ctx.arena = arena;
    }
    ~FunctionDoc()
    {
        arena_destroy(arena);
        if (doc)
            pdf_close(doc);
    }
    PdfFunction *parse(int num)
    {
        PdfObject ref{};
        ref.type = PDF_REF;
        ref.num = num;
        return function_parse(&ctx, &ref);
    }
};

std::string hex_bytes(const std::vector<int> &bytes)
{
    std::string s;
    for (int b : bytes)
        s += char(b);
    return s;
}

std::string calc(const std::string &program, const std::string &domain = "[0 1]",
                 const std::string &range = "[-100 100]")
{
    return stream_obj("/FunctionType 4 /Domain " + domain + " /Range " + range, program);
}

std::string nested_ifs(int levels)
{
    std::string p = "{ pop ";
    for (int i = 0; i < levels; i++)
        p += "1 { ";
    p += "9";
    for (int i = 0; i < levels; i++)
        p += " } if";
    return p + " }";
}

TEST(Functions, EachTypeMatchesHandComputedValues)
{
    struct Row {
        std::string body;
        std::vector<float> in;
        std::vector<float> want;
        const char *what;
    };
    const std::string exp_a = "<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] /N 1 >>";
    const std::string exp_b = "<< /FunctionType 2 /Domain [0 1] /C0 [10] /C1 [20] /N 1 >>";
    const std::vector<Row> rows = {
        // Exponential: C0 + x^N (C1 - C0) per output, x clamped to the domain.
        {"<< /FunctionType 2 /Domain [0 1] /C0 [0 0.5] /C1 [1 1] /N 2 >>", {0.5f}, {0.25f, 0.625f}, "exp N=2"},
        {"<< /FunctionType 2 /Domain [0 1] /C0 [0 0.5] /C1 [1 1] /N 2 >>", {3}, {1, 1}, "exp clamps input"},
        {"<< /FunctionType 2 /Domain [0 1] /N 1 /Range [0 0.4] >>", {0.9f}, {0.4f}, "exp clamps to Range"},
        // Stitching with Bounds [0.5]: the bound itself belongs to the upper piece.
        {"<< /FunctionType 3 /Domain [0 1] /Functions [2 0 R 3 0 R] /Bounds [0.5] /Encode [0 1 0 1] >>",
         {0.5f}, {10}, "stitch at bound"},
        {"<< /FunctionType 3 /Domain [0 1] /Functions [2 0 R 3 0 R] /Bounds [0.5] /Encode [0 1 0 1] >>",
         {0.25f}, {0.5f}, "stitch lower piece"},
        {"<< /FunctionType 3 /Domain [0 1] /Functions [2 0 R 3 0 R] /Bounds [0.5] /Encode [1 0 1 0] >>",
         {0.75f}, {15}, "stitch reversed encode"},
        // Sampled: linear along input 0, 8/16/12/1-bit samples, Decode.
        {stream_obj("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] /BitsPerSample 8",
                    hex_bytes({0, 255})), {0.5f}, {0.5f}, "sampled midpoint"},
        {stream_obj("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [3] /BitsPerSample 16",
                    hex_bytes({0, 0, 0xff, 0xff, 0, 0})), {0.75f}, {0.5f}, "sampled 16 bit"},
        {stream_obj("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2] /BitsPerSample 12",
                    hex_bytes({0xff, 0xf0, 0})), {0.25f}, {0.75f}, "sampled 12 bit"},
        {stream_obj("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [4] /BitsPerSample 1",
                    hex_bytes({0x50})), {1.0f / 3}, {1}, "sampled 1 bit"},
        {stream_obj("/FunctionType 0 /Domain [0 1] /Range [0 10] /Decode [2 4] /Size [2] /BitsPerSample 8",
                    hex_bytes({0, 255})), {1}, {4}, "sampled decode"},
        // Two inputs: the second is rounded to the nearest sample.
        {stream_obj("/FunctionType 0 /Domain [0 1 0 1] /Range [0 1] /Size [2 2] /BitsPerSample 8",
                    hex_bytes({0, 0, 255, 255})), {0.2f, 0.7f}, {1}, "sampled second input"},
        // Calculator.
        {calc("{ 0.5 gt { 5 } { 6 } ifelse }"), {0.7f}, {5}, "ifelse true"},
        {calc("{ 0.5 gt { 5 } { 6 } ifelse }"), {0.2f}, {6}, "ifelse false"},
        {calc("{ 0.5 gt { 7 } if }"), {0.2f}, {0}, "if false leaves nothing"},
        {calc("{ pop 2 0 div }"), {0}, {0}, "div by zero"},
        {calc("{ pop -4 sqrt }"), {0}, {0}, "sqrt negative"},
        {calc("{ pop 30 sin }"), {0}, {0.5f}, "sin in degrees"},
        {calc("{ pop 1 1 atan }"), {0}, {45}, "atan in degrees"},
        {calc("{ pop 7 2 idiv 7 2 mod add }"), {0}, {4}, "idiv and mod"},
        {calc("{ add add add }"), {0.25f}, {0.25f}, "stack underflow reads 0"},
        {calc("{ pop 1 2 3 3 1 roll }"), {0}, {2}, "roll"},
        {calc("{ pop 1 2 3 2 index }"), {0}, {1}, "index"},
        {calc("{ pop 1 2 2 copy add add }"), {0}, {5}, "copy"},
        {calc("{ 10 mul 1 add"), {0.5f}, {0.5f}, "unbalanced: nothing runs"},
        {calc(nested_ifs(60)), {0}, {9}, "60 nested ifs run"},
        {calc(nested_ifs(100)), {0}, {0}, "blocks beyond depth 64 do nothing"},
    };
    std::vector<std::string> bodies = {"<< >>", exp_a, exp_b};
    for (const Row &r : rows)
        bodies.push_back(r.body);
    FunctionDoc fd(bodies);
    ASSERT_TRUE(fd.doc);
    for (size_t i = 0; i < rows.size(); i++) {
        const Row &r = rows[i];
        PdfFunction *fn = fd.parse(int(i) + 4);
        ASSERT_TRUE(fn) << r.what;
        float out[FN_MAX_OUTPUTS];
        int n = function_eval(fn, r.in.data(), int(r.in.size()), out, FN_MAX_OUTPUTS);
        ASSERT_EQ(n, int(r.want.size())) << r.what;
        for (int j = 0; j < n; j++)
            EXPECT_NEAR(out[j], r.want[size_t(j)], 2e-3) << r.what << " output " << j;
    }
}

// Sample data shorter than Size x outputs x BitsPerSample, counts whose
// product overflows, over-long Domain and Range arrays, shared stitching
// sub-functions fanning out 16^16 ways, and a 1 MB calculator program:
// parsed into no function or a bounded one, quickly, without reading past
// any buffer.
TEST(Functions, HostileSizesAndFanOutStayBounded)
{
    std::vector<std::string> bodies = {
        stream_obj("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [1000000] /BitsPerSample 8", "abcd"),
        stream_obj("/FunctionType 0 /Domain [0 1] /Range [0 1] /Size [2147483648] /BitsPerSample 32", "abcd"),
        stream_obj("/FunctionType 0 /Domain [0 1 0 1 0 1 0 1] /Range [0 1] /Size [65536 65536 65536 65536] "
                   "/BitsPerSample 32", "abcd"),
        "<< /FunctionType 2 /Domain [0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1] /C0 [0] /C1 [1] >>",
        stream_obj("/FunctionType 0 /Domain [0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1] /Range [0 1] "
                   "/Size [1 1 1 1 1 1 1 1 1 1] /BitsPerSample 8", "z"),
    };
    // Objects 6.. : level 0 is an exponential function, level i stitches 16
    // references to level i - 1.
    int first_level = int(bodies.size()) + 1;
    bodies.push_back("<< /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] >>");
    for (int level = 1; level <= 16; level++) {
        std::string fns, bounds;
        for (int k = 0; k < 16; k++)
            fns += std::to_string(first_level + level - 1) + " 0 R ";
        for (int k = 1; k < 16; k++)
            bounds += std::to_string(k / 16.0) + " ";
        bodies.push_back("<< /FunctionType 3 /Domain [0 1] /Functions [" + fns + "] /Bounds [" + bounds +
                         "] >>");
    }
    std::string big = "{ ";
    while (big.size() < (1u << 20))
        big += "1 add { 2 mul } pop ";
    bodies.push_back(calc(big + "}"));
    FunctionDoc fd(bodies);
    ASSERT_TRUE(fd.doc);
    EXPECT_EQ(fd.parse(1), nullptr) << "Size [1000000] over 4 bytes";
    EXPECT_EQ(fd.parse(2), nullptr) << "2^31 samples";
    EXPECT_EQ(fd.parse(3), nullptr) << "sample count overflowing 32 bits";
    float in[10] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}, out[FN_MAX_OUTPUTS];
    PdfFunction *wide = fd.parse(4);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->m, FN_MAX_INPUTS);
    EXPECT_EQ(function_eval(wide, in, 10, out, FN_MAX_OUTPUTS), 1);
    EXPECT_NEAR(out[0], 0.5f, 1e-6);
    PdfFunction *wide_sampled = fd.parse(5);
    ASSERT_TRUE(wide_sampled);
    EXPECT_EQ(function_eval(wide_sampled, in, 10, out, FN_MAX_OUTPUTS), 1);
    EXPECT_NEAR(out[0], 'z' / 255.0f, 1e-6);

    auto start = std::chrono::steady_clock::now();
    PdfFunction *deep = fd.parse(first_level + 16);
    ASSERT_TRUE(deep);
    float x = 0.7f;
    ASSERT_EQ(function_eval(deep, &x, 1, out, 1), 1);
    EXPECT_GE(out[0], 0.0f);
    EXPECT_LE(out[0], 1.0f);
    PdfFunction *program = fd.parse(first_level + 17);
    ASSERT_TRUE(program);
    for (int i = 0; i < 100; i++)
        function_eval(program, &x, 1, out, 1);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 2.0);
    EXPECT_LE(program->op_count, FN_CALC_MAX_OPS);
}

// ---- Pages ----

const unsigned RED = 0xff0000, BLUE = 0x0000ff, WHITE = 0xffffff;

// Axial red-to-blue shading over the whole page as `sh`.
std::string axial_page(const std::string &coords, const std::string &extend, const std::string &type = "2")
{
    return one_page_pdf("/Sh1 sh", "[0 0 100 100]", "/Resources << /Shading << /Sh1 5 0 R >> >>",
                        {"<< /ShadingType " + type + " /ColorSpace /DeviceRGB /Coords " + coords +
                         " /Extend " + extend +
                         " /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >>"});
}

// Rows: page y from the top (device), x; expected colour or -1 for "between".
TEST(Shadings, AxialAndRadialGeometryAtKnownPixels)
{
    struct Probe {
        int x, y;
        unsigned want;  // 0xRRGGBB, or 1 for a blend of red and blue
    };
    struct Row {
        std::string pdf;
        std::vector<Probe> probes;
        const char *what;
    };
    const std::vector<Row> rows = {
        {axial_page("[20 0 80 0]", "[false false]"),
         {{10, 50, WHITE}, {21, 50, RED}, {50, 50, 1}, {79, 50, BLUE}, {90, 50, WHITE}},
         "axial without extend leaves both ends"},
        {axial_page("[20 0 80 0]", "[true true]"),
         {{2, 50, RED}, {50, 50, 1}, {97, 50, BLUE}},
         "axial extended to the page edges"},
        {axial_page("[50 50 50 50]", "[true true]"), {{10, 10, RED}, {90, 90, RED}},
         "coincident axial points paint an end colour"},
        // Concentric circles r 10 .. 40 at the centre (50, 50).
        {axial_page("[50 50 10 50 50 40]", "[false false]", "3"),
         {{50, 50, WHITE}, {50 + 11, 50, RED}, {50 + 25, 50, 1}, {50 + 39, 50, BLUE}, {95, 50, WHITE}},
         "radial annulus"},
        {axial_page("[50 50 10 50 50 40]", "[true true]", "3"),
         {{50, 50, RED}, {52, 49, RED}, {98, 50, BLUE}},
         "radial extended inside and out"},
        // Circle 0 inside circle 1, off centre: everything inside circle 1.
        {axial_page("[40 50 0 50 50 30]", "[false false]", "3"),
         {{40, 49, RED}, {79, 49, BLUE}, {90, 50, WHITE}, {50, 15, WHITE}},
         "radial with one circle inside the other"},
        // Function-based: gray = u over Domain [0 1 0 1], placed by Matrix
        // on the square (25, 25)-(75, 75); outside it nothing.
        {one_page_pdf("/F sh", "[0 0 100 100]", "/Resources << /Shading << /F 5 0 R >> >>",
                      {"<< /ShadingType 1 /ColorSpace /DeviceGray /Domain [0 1 0 1] /Matrix [50 0 0 50 25 25] "
                       "/Function 6 0 R >>",
                       stream_obj("/FunctionType 4 /Domain [0 1 0 1] /Range [0 1]", "{ pop }")}),
         {{50, 50, 0x808080}, {27, 60, 0x0a0a0a}, {73, 30, 0xf4f4f4}, {10, 10, WHITE}, {80, 50, WHITE}},
         "function-based with Matrix and Domain"},
        // Equal circles touching at x = 50: the band they sweep, its
        // far half reached through the later circles.
        {axial_page("[30 50 10 50 50 10]", "[false false]", "3"),
         {{45, 50, 1}, {59, 50, BLUE}, {50, 50, 1}, {50, 30, WHITE}, {15, 50, WHITE}, {65, 50, WHITE}},
         "radial with equal touching circles"},
    };
    for (const Row &r : rows) {
        Rendered out;
        render_doc(r.pdf, &out);
        ASSERT_TRUE(out.bm) << r.what;
        EXPECT_EQ(out.diags.find("sh"), std::string::npos) << r.what << ": " << out.diags;
        for (const Probe &p : r.probes) {
            unsigned c = out.px(p.x, 99 - p.y);
            if (p.want == 1) {
                int red = int(c >> 16), green = int((c >> 8) & 255), blue = int(c & 255);
                EXPECT_TRUE(red > 30 && blue > 30 && green == 0 && red + blue > 240 && red + blue < 270)
                    << r.what << " at " << p.x << "," << p.y << ": " << std::hex << c;
            } else {
                // End colours within the table's first or last steps.
                for (int shift : {0, 8, 16})
                    EXPECT_NEAR(int((c >> shift) & 255), int((p.want >> shift) & 255), 24)
                        << r.what << " at " << p.x << "," << p.y << ": " << std::hex << c;
            }
        }
    }
}

// A Gouraud triangle and a Coons patch from their packed streams: corner
// colours, the centroid's mean colour, and nothing outside.
TEST(Shadings, MeshCornersAndCentroid)
{
    // Type 4: 8-bit flag, 16-bit coordinates over [0 100], 8-bit RGB.
    auto vertex = [](int x, int y, int r, int g, int b) {
        int X = x * 65535 / 100, Y = y * 65535 / 100;
        return hex_bytes({0, X >> 8, X & 255, Y >> 8, Y & 255, r, g, b});
    };
    std::string tri = vertex(10, 10, 255, 0, 0) + vertex(90, 10, 0, 255, 0) + vertex(10, 90, 0, 0, 255);
    std::string tri_pdf = one_page_pdf(
        "/M sh", "[0 0 100 100]", "/Resources << /Shading << /M 5 0 R >> >>",
        {stream_obj("/ShadingType 4 /ColorSpace /DeviceRGB /BitsPerCoordinate 16 /BitsPerComponent 8 "
                    "/BitsPerFlag 8 /Decode [0 100 0 100 0 1 0 1 0 1]", tri)});
    Rendered t;
    render_doc(tri_pdf, &t);
    ASSERT_TRUE(t.bm);
    EXPECT_EQ(t.diags.find("shading"), std::string::npos) << t.diags;
    auto near = [](unsigned c, int r, int g, int b, int tol) {
        return std::abs(int(c >> 16) - r) <= tol && std::abs(int((c >> 8) & 255) - g) <= tol &&
               std::abs(int(c & 255) - b) <= tol;
    };
    // Inside, red, green and blue weigh 1 - wb - wc, wb = (x - 10) / 80 and
    // wc = (y - 10) / 80 at page point (x, y); probes near each corner and
    // at the centroid (36.7, 36.7).
    const int probes[][2] = {{12, 12}, {85, 12}, {12, 85}, {36, 36}, {50, 30}};
    for (const auto &p : probes) {
        double x = p[0] + 0.5, y = p[1] + 0.5, wb = (x - 10) / 80, wc = (y - 10) / 80;
        unsigned got = t.px(p[0], 99 - p[1]);
        EXPECT_TRUE(near(got, int(255 * (1 - wb - wc) + 0.5), int(255 * wb + 0.5), int(255 * wc + 0.5), 3))
            << p[0] << "," << p[1] << ": " << std::hex << got;
    }
    EXPECT_EQ(t.px(80, 20), WHITE);

    // Type 6, one Coons patch with straight edges over (20,20)-(80,80):
    // corners red (0,0), green (0,1), blue (1,1), white (1,0) in u, v.
    auto point = [](int x, int y) { return hex_bytes({x, y}); };
    std::string patch = hex_bytes({0});
    const int pts[12][2] = {{20, 20}, {20, 40}, {20, 60}, {20, 80}, {40, 80}, {60, 80},
                            {80, 80}, {80, 60}, {80, 40}, {80, 20}, {60, 20}, {40, 20}};
    for (const auto &p : pts)
        patch += point(p[0], p[1]);
    patch += hex_bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
    std::string coons_pdf = one_page_pdf(
        "/M sh", "[0 0 100 100]", "/Resources << /Shading << /M 5 0 R >> >>",
        {stream_obj("/ShadingType 6 /ColorSpace /DeviceRGB /BitsPerCoordinate 8 /BitsPerComponent 8 "
                    "/BitsPerFlag 8 /Decode [0 255 0 255 0 1 0 1 0 1]", patch)});
    Rendered c;
    render_doc(coons_pdf, &c);
    ASSERT_TRUE(c.bm);
    EXPECT_TRUE(near(c.px(20, 99 - 20), 255, 0, 0, 16)) << std::hex << c.px(20, 79);
    EXPECT_TRUE(near(c.px(20, 99 - 79), 0, 255, 0, 16)) << std::hex << c.px(20, 20);
    EXPECT_TRUE(near(c.px(79, 99 - 79), 0, 0, 255, 16)) << std::hex << c.px(79, 20);
    EXPECT_TRUE(near(c.px(79, 99 - 20), 255, 255, 255, 16)) << std::hex << c.px(79, 79);
    EXPECT_TRUE(near(c.px(50, 49), 128, 128, 128, 10)) << std::hex << c.px(50, 49);
    EXPECT_EQ(c.px(10, 50), WHITE);
}

// A tiling pattern whose cell is a one-unit black line every 4 units, over
// 1000 cells at several scales: every period shows the line at the same
// offset (no drift) and the gaps stay white (no seams).
TEST(Patterns, TilingGridKeepsItsPeriodOverAThousandCells)
{
    const std::string cell = "0 0 1 2 re f";
    for (int scale : {1, 2, 3}) {
        std::string pdf = one_page_pdf(
            "/Pattern cs /P1 scn 0 0 4000 8 re f", "[0 0 4000 8]", "/Resources << /Pattern << /P1 5 0 R >> >>",
            {stream_obj("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 4 2] /XStep 4 /YStep 2 "
                        "/Resources << >>", cell)});
        Rendered r;
        render_doc(pdf, &r, float(scale));
        ASSERT_TRUE(r.bm);
        EXPECT_EQ(r.diags.find("pattern"), std::string::npos) << r.diags;
        int y = 4 * scale;
        int bad = 0;
        for (int x = 0; x < 4000 * scale; x++) {
            unsigned want = (x % (4 * scale)) < scale ? 0 : WHITE;
            bad += r.px(x, y) != want;
        }
        EXPECT_EQ(bad, 0) << "scale " << scale;
    }
}

// An uncoloured pattern paints its cell in the colour given with scn; a
// pattern that fills with itself and one with a step of 1e-9 end quickly.
TEST(Patterns, UncolouredTakesTheFillColourAndHostileOnesStayBounded)
{
    std::string pdf = one_page_pdf(
        "[/Pattern /DeviceRGB] cs 0 0 1 /P1 scn 0 0 100 100 re f", "[0 0 100 100]",
        "/Resources << /Pattern << /P1 5 0 R >> >>",
        {stream_obj("/PatternType 1 /PaintType 2 /TilingType 1 /BBox [0 0 10 10] /XStep 10 /YStep 10 "
                    "/Resources << >>", "1 0 0 rg 0 0 5 5 re f")});
    Rendered r;
    render_doc(pdf, &r);
    ASSERT_TRUE(r.bm);
    EXPECT_EQ(r.px(2, 97), BLUE);
    EXPECT_EQ(r.px(7, 97), WHITE);
    EXPECT_EQ(r.px(52, 97), BLUE);

    const std::vector<std::string> hostile = {
        // Uses itself.
        one_page_pdf("/Pattern cs /P1 scn 0 0 100 100 re f", "[0 0 100 100]",
                     "/Resources << /Pattern << /P1 5 0 R >> >>",
                     {stream_obj("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 "
                                 "/YStep 10 /Resources << /Pattern << /P1 5 0 R >> >>",
                                 "/Pattern cs /P1 scn 0 0 10 10 re f 0 0 5 5 re f 0 0 2 2 re f")}),
        // Steps of 0 and 1e-9.
        one_page_pdf("/Pattern cs /P1 scn 0 0 100 100 re f /P2 scn 0 0 100 100 re f", "[0 0 100 100]",
                     "/Resources << /Pattern << /P1 5 0 R /P2 6 0 R >> >>",
                     {stream_obj("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 0 "
                                 "/YStep 0 /Resources << >>", "0 0 5 5 re f"),
                      stream_obj("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 1e-9 "
                                 "/YStep 1e-9 /Resources << >>", "0 0 5 5 re f")}),
        // A mesh cut inside its first patch, and coordinates of 0 and 64 bits.
        one_page_pdf("/A sh /B sh /C sh", "[0 0 100 100]", "/Resources << /Shading << /A 5 0 R /B 6 0 R /C 7 0 R >> >>",
                     {stream_obj("/ShadingType 6 /ColorSpace /DeviceRGB /BitsPerCoordinate 8 /BitsPerComponent 8 "
                                 "/BitsPerFlag 8 /Decode [0 255 0 255 0 1 0 1 0 1]", hex_bytes({0, 20, 20, 20, 40})),
                      stream_obj("/ShadingType 4 /ColorSpace /DeviceRGB /BitsPerCoordinate 0 /BitsPerComponent 8 "
                                 "/BitsPerFlag 8 /Decode [0 1 0 1 0 1 0 1 0 1]", "abcdefghijkl"),
                      stream_obj("/ShadingType 4 /ColorSpace /DeviceRGB /BitsPerCoordinate 64 /BitsPerComponent 8 "
                                 "/BitsPerFlag 8 /Decode [0 1 0 1 0 1 0 1 0 1]", "abcdefghijkl")}),
    };
    for (size_t i = 0; i < hostile.size(); i++) {
        auto start = std::chrono::steady_clock::now();
        Rendered h;
        render_doc(hostile[i], &h, 2.0f);
        EXPECT_TRUE(h.bm) << i;
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0) << i;
    }
}

// Two hatchings alternating over 6000 fills, as CAD pages do: each cell is
// drawn once and kept, so the last fills are still patterned.
TEST(Patterns, AlternatingPatternsKeepTheirCells)
{
    std::string content;
    for (int i = 0; i < 3000; i++)
        content += "/Pattern cs /A scn 0 0 8 100 re f /B scn 50 0 8 100 re f\n";
    auto hatch = [](const char *colour) {
        return stream_obj("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 4 4] /XStep 4 /YStep 4 "
                          "/Resources << >>", std::string(colour) + " rg 0 0 2 4 re f");
    };
    std::string pdf = one_page_pdf(content, "[0 0 100 100]", "/Resources << /Pattern << /A 5 0 R /B 6 0 R >> >>",
                                   {hatch("1 0 0"), hatch("0 0 1")});
    Rendered r;
    render_doc(pdf, &r);
    ASSERT_TRUE(r.bm);
    EXPECT_EQ(r.diags.find("pattern"), std::string::npos) << r.diags;
    EXPECT_EQ(r.px(1, 50), RED);
    EXPECT_EQ(r.px(3, 50), WHITE);
    EXPECT_EQ(r.px(53, 50), BLUE);
    EXPECT_EQ(r.px(55, 50), WHITE);
}

// Shadings, meshes, both kinds of pattern and a mesh-pattern stroke, also
// inside a transparency group, rendered whole and as bands: every band row equals the page's row (the
// band offset reaches the shading maths, the mesh buffer and the cell).
TEST(Patterns, BandsEqualThePage)
{
    std::string tri;
    const int v[3][5] = {{10, 10, 255, 0, 0}, {90, 30, 0, 255, 0}, {30, 90, 0, 0, 255}};
    for (const auto &p : v)
        tri += hex_bytes({0, p[0], p[1], p[2], p[3], p[4]});
    std::string pdf = one_page_pdf(
        "/Ax sh /M sh /Pattern cs /T scn 5 5 40 90 re f /S scn 55 5 40 90 re f /B scn 60 62 30 30 re f "
        "/Pattern CS /M2 SCN 6 w 10 90 m 90 50 l S /G gs /F Do", "[0 0 100 100]",
        "/Resources << /Shading << /Ax 5 0 R /M 6 0 R >> /Pattern << /T 7 0 R /S 8 0 R /B 10 0 R "
        "/M2 << /PatternType 2 /Shading 6 0 R >> >> "
        "/XObject << /F 9 0 R >> /ExtGState << /G << /ca 0.5 >> >> >>",
        {"<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 30] /Extend [false false] "
         "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 1 0] /C1 [0 1 1] /N 1 >> >>",
         stream_obj("/ShadingType 4 /ColorSpace /DeviceRGB /BitsPerCoordinate 8 /BitsPerComponent 8 "
                    "/BitsPerFlag 8 /Decode [0 255 0 255 0 1 0 1 0 1]", tri),
         stream_obj("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 7 7] /XStep 7 /YStep 7 "
                    "/Matrix [1 0.3 -0.3 1 0 0] /Resources << >>", "0 0 1 rg 1 1 3 3 re f"),
         "<< /PatternType 2 /Matrix [1 0 0 1 50 0] /Shading << /ShadingType 3 /ColorSpace /DeviceGray "
         "/Coords [25 50 5 25 50 40] /Extend [true false] /Function << /FunctionType 2 /Domain [0 1] "
         "/C0 [0] /C1 [1] >> >> >>",
         stream_obj("/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Group << /S /Transparency >> "
                    "/Resources << /Pattern << /T 7 0 R >> /Shading << /Ax 5 0 R >> >>",
                    "/Pattern cs /T scn 20 40 60 20 re f 0 0 100 10 re W n /Ax sh"),
         // One copy of this cell covers its whole fill.
         stream_obj("/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 200 200] /XStep 200 /YStep 200 "
                    "/Resources << >>", "1 0 1 rg 0 0 200 200 re f 0 0.5 0 rg 50 50 m 100 95 l 70 60 l f")});
    Rendered page;
    render_doc(pdf, &page, 1.5f);
    ASSERT_TRUE(page.bm);
    EXPECT_EQ(page.diags.find("pattern"), std::string::npos) << page.diags;
    for (int first : {0, 37, 101}) {
        Rendered band;
        render_doc(pdf, &band, 1.5f, first, 23);
        ASSERT_TRUE(band.bm);
        int diff = 0;
        for (int y = 0; y < band.bm->height; y++)
            for (int x = 0; x < band.bm->width; x++)
                diff += band.px(x, y) != page.px(x, first + y);
        EXPECT_EQ(diff, 0) << "band from row " << first;
    }
}

}  // namespace
