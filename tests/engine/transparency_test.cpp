// Transparency: blend modes against the formulas of the PDF format, and
// pages with constant alpha, soft masks and transparency groups checked
// through the pixels they paint.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "page_doc.h"
#include "render/blend.h"

namespace {

using testsupport::one_page_pdf;
using testsupport::render_doc;
using testsupport::Rendered;
using testsupport::stream_obj;

// The separable blend functions in real arithmetic, written from the
// format's definitions (backdrop b, source s in 0..1).
double reference_channel(int mode, double b, double s)
{
    auto hard_light = [](double b, double s) {
        return s <= 0.5 ? b * 2 * s : 1 - (1 - b) * (1 - (2 * s - 1));
    };
    switch (mode) {
    case BLEND_MULTIPLY: return b * s;
    case BLEND_SCREEN: return b + s - b * s;
    case BLEND_OVERLAY: return hard_light(s, b);
    case BLEND_DARKEN: return std::min(b, s);
    case BLEND_LIGHTEN: return std::max(b, s);
    case BLEND_DIFFERENCE: return std::fabs(b - s);
    case BLEND_EXCLUSION: return b + s - 2 * b * s;
    case BLEND_HARD_LIGHT: return hard_light(b, s);
    case BLEND_SOFT_LIGHT: {
        if (s <= 0.5)
            return b - (1 - 2 * s) * b * (1 - b);
        double d = b <= 0.25 ? ((16 * b - 12) * b + 4) * b : std::sqrt(b);
        return b + (2 * s - 1) * (d - b);
    }
    case BLEND_COLOR_DODGE: return b == 0 ? 0 : s >= 1 ? 1 : std::min(1.0, b / (1 - s));
    case BLEND_COLOR_BURN: return b >= 1 ? 1 : s <= 0 ? 0 : 1 - std::min(1.0, (1 - b) / s);
    default: return s;
    }
}

TEST(BlendModes, SeparableModesFollowTheFormulas)
{
    // Pairs that reach each branch: dark and light backdrops and sources,
    // the 0 and 255 ends (dodge and burn's special cases) and the middle.
    const int pairs[][2] = {{0, 0},     {0, 255},  {255, 0},  {255, 255}, {200, 100}, {100, 200},
                            {30, 140},  {140, 30}, {64, 128}, {63, 129},  {250, 5},   {5, 250},
                            {128, 127}, {17, 240}};
    for (int mode = BLEND_NORMAL; mode <= BLEND_COLOR_BURN; mode++)
        for (const auto &p : pairs) {
            double want = 255 * reference_channel(mode, p[0] / 255.0, p[1] / 255.0);
            int got = blend_channel(mode, p[0], p[1]);
            // Integer divisions truncate: at most two steps below, never above by more than one.
            EXPECT_NEAR(got, want, 2.0) << "mode " << mode << " b " << p[0] << " s " << p[1];
        }
}

TEST(BlendModes, NonSeparableModesMixHueSaturationAndLuminosity)
{
    struct Row {
        const char *what;
        int mode;
        uint8_t backdrop[3];  // blue, green, red
        int source[3];
        int want[3];
    } rows[] = {
        // Colour: the source's hue and saturation at the grey's luminosity;
        // red is too bright there and is pulled in toward the grey.
        {"color red over grey", BLEND_COLOR, {128, 128, 128}, {0, 0, 255}, {74, 74, 255}},
        // Luminosity: the backdrop's colour at the source's luminosity.
        {"luminosity grey over red", BLEND_LUMINOSITY, {0, 0, 255}, {128, 128, 128}, {74, 74, 255}},
        // Hue of a grey source has no saturation: a grey at the backdrop's luminosity.
        {"hue grey over red", BLEND_HUE, {0, 0, 255}, {128, 128, 128}, {77, 77, 77}},
        // Hue: blue at red's saturation and luminosity.
        {"hue blue over red", BLEND_HUE, {0, 0, 255}, {255, 0, 0}, {255, 54, 54}},
        // Saturation from a grey makes the backdrop grey at its own luminosity.
        {"saturation grey over green", BLEND_SATURATION, {0, 255, 0}, {90, 90, 90}, {150, 150, 150}},
        // Luminosity of white makes anything white; of black, black.
        {"luminosity white", BLEND_LUMINOSITY, {10, 200, 60}, {255, 255, 255}, {255, 255, 255}},
        {"luminosity black", BLEND_LUMINOSITY, {10, 200, 60}, {0, 0, 0}, {0, 0, 0}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        int out[3];
        blend_pixel(r.mode, r.backdrop, r.source, out);
        for (int k = 0; k < 3; k++)
            EXPECT_NEAR(out[k], r.want[k], 1) << "channel " << k;
    }
}

// Objects from 5 on; the page's resources name the ExtGStates /A../D as
// objects 5..8 and the XObject /F as object 9 unless a row says otherwise.
struct PageRow {
    const char *what;
    const char *content;
    std::vector<std::string> objects;  // 5, 6, ...
    struct Probe {
        int x, y;
        unsigned rgb;
    };
    std::vector<Probe> probes;  // device pixels of a 100 x 100 page; user y = 99 - y
    int tolerance = 2;          // per channel
};

constexpr unsigned WHITE = 0xffffff, RED = 0xff0000;

std::string form(const std::string &dict, const std::string &content)
{
    return stream_obj("/Type /XObject /Subtype /Form /BBox [0 0 100 100] " + dict, content);
}

bool near_rgb(unsigned a, unsigned b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > tolerance)
            return false;
    return true;
}

const char *const kResources =
    "/Resources << /ExtGState << /A 5 0 R /B 6 0 R /C 7 0 R /D 8 0 R >> "
    "/XObject << /F 9 0 R >> >>";

std::vector<std::string> with_objects(std::vector<std::string> objs)
{
    while (objs.size() < 5)
        objs.push_back("<< >>");
    return objs;
}

TEST(Transparency, PagesPaintWhatTheRulesSay)
{
    const std::string group = "/Group << /S /Transparency >> ";
    const std::string alpha_half = "<< /ca 0.5 /CA 0.5 >>";
    // A mask group painting a 0.5 grey box over the left half.
    const std::string half_grey = form(group, "0.5 g 0 0 50 100 re f");
    const PageRow rows[] = {
        {"fill alpha", "/A gs 1 0 0 rg 0 0 100 100 re f", {alpha_half}, {{50, 50, 0xff8080}}},
        {"alpha below 0 paints nothing", "/A gs 1 0 0 rg 0 0 100 100 re f", {"<< /ca -1 >>"},
         {{50, 50, WHITE}}},
        {"alpha of 1e9 is opaque", "/A gs 1 0 0 rg 0 0 100 100 re f", {"<< /ca 1e9 >>"},
         {{50, 50, RED}}},
        {"multiply over grey", "0.5 g 0 0 100 100 re f /A gs 1 0 0 rg 0 0 50 100 re f",
         {"<< /BM /Multiply >>"}, {{25, 50, 0x800000}, {75, 50, 0x808080}}},
        {"first known name of an array", "0.5 g 0 0 100 100 re f /A gs 1 1 0 rg 0 0 50 100 re f",
         {"<< /BM [/Nonsense /Screen /Multiply] >>"}, {{25, 50, 0xffff80}}},
        {"unknown mode is normal", "0.5 g 0 0 100 100 re f /A gs 1 1 0 rg 0 0 50 100 re f",
         {"<< /BM /Nonsense >>"}, {{25, 50, 0xffff00}}},
        {"difference under a q is restored by Q",
         "0.5 g 0 0 100 100 re f q /A gs 1 1 1 rg 0 0 100 100 re f Q 0 0 1 rg 0 0 50 100 re f",
         {"<< /BM /Difference >>"}, {{25, 50, 0x0000ff}, {75, 50, 0x7f7f7f}}},
        // A page that blends is a group over the paper: Difference meets the
        // blue box on the left and nothing on the right, where the yellow
        // stays yellow instead of meeting white.
        {"blending with nothing on the paper", "0 0 1 rg 0 0 50 100 re f /A gs 1 1 0 rg 0 0 100 100 re f",
         {"<< /BM /Difference >>"}, {{25, 50, WHITE}, {75, 50, 0xffff00}}},
        // Two overlapping red boxes in a group drawn at alpha 0.5: the group
        // is composited once, so the overlap is no darker than either box.
        {"group opacity applied once", "/A gs /F Do",
         {alpha_half, "<< >>", "<< >>", "<< >>",
          form(group, "1 0 0 rg 0 0 60 100 re f 40 0 60 100 re f")},
         {{20, 50, 0xff8080}, {50, 50, 0xff8080}, {80, 50, 0xff8080}}},
        // A group's blend mode applies to its composite, not inside it.
        {"group multiplied onto grey", "0.5 g 0 0 100 100 re f /A gs /F Do",
         {"<< /BM /Multiply >>", "<< >>", "<< >>", "<< >>",
          form(group, "1 1 0 rg 0 0 50 100 re f 0 0 1 rg 0 0 25 100 re f")},
         {{10, 50, 0x000080}, {40, 50, 0x808000}, {75, 50, 0x808080}}},
        // Inside a non-isolated group Multiply meets the page below; an
        // isolated group starts transparent, so the same yellow stays yellow.
        {"non-isolated group over grey", "0.5 g 0 0 100 100 re f /F Do",
         {"<< /BM /Multiply >>", "<< >>", "<< >>", "<< >>",
          form(group + "/Resources << /ExtGState << /M 5 0 R >> >>",
               "/M gs 1 1 0 rg 0 0 50 100 re f")},
         {{25, 50, 0x808000}, {75, 50, 0x808080}}},
        {"non-isolated group at half opacity", "0.5 g 0 0 100 100 re f /B gs /F Do",
         {"<< /BM /Multiply >>", alpha_half, "<< >>", "<< >>",
          form(group + "/Resources << /ExtGState << /M 5 0 R >> >>",
               "/M gs 1 1 0 rg 0 0 50 100 re f")},
         {{25, 50, 0x808040}, {75, 50, 0x808080}}},
        // Inside an isolated group the non-isolated one meets the red box on
        // the left (Multiply keeps red, half opacity changes nothing there)
        // and transparency on the right (yellow at half strength over grey).
        {"non-isolated group inside an isolated group", "0.5 g 0 0 100 100 re f /F Do",
         {"<< /BM /Multiply >>", alpha_half, "<< >>", "<< >>",
          form("/Group << /S /Transparency /I true >> /Resources << /ExtGState << /H 6 0 R >> "
               "/XObject << /G 10 0 R >> >>",
               "1 0 0 rg 0 0 50 100 re f /H gs /G Do"),
          form(group + "/Resources << /ExtGState << /M 5 0 R >> >>", "/M gs 1 1 0 rg 0 0 100 100 re f")},
         {{25, 50, RED}, {75, 50, 0xc0c040}}},
        {"isolated group over grey", "0.5 g 0 0 100 100 re f /F Do",
         {"<< /BM /Multiply >>", "<< >>", "<< >>", "<< >>",
          form("/Group << /S /Transparency /I true >> /Resources << /ExtGState << /M 5 0 R >> >>",
               "/M gs 1 1 0 rg 0 0 50 100 re f")},
         {{25, 50, 0xffff00}, {75, 50, 0x808080}}},
        // Knockout: the half-transparent blue box replaces the red one where
        // they overlap instead of covering it; without K it covers it.
        {"knockout group", "/F Do",
         {alpha_half, "<< >>", "<< >>", "<< >>",
          form("/Group << /S /Transparency /K true >> /Resources << /ExtGState << /H 5 0 R >> >>",
               "1 0 0 rg 0 0 60 100 re f /H gs 0 0 1 rg 40 0 60 100 re f")},
         {{20, 50, RED}, {50, 50, 0x8080ff}, {80, 50, 0x8080ff}}},
        // In a knockout group that is not isolated the yellow box multiplies
        // with the grey backdrop, not with the red box it knocks out.
        {"knockout group blending with its backdrop", "0.5 g 0 0 100 100 re f /F Do",
         {"<< /BM /Multiply >>", "<< >>", "<< >>", "<< >>",
          form("/Group << /S /Transparency /K true >> /Resources << /ExtGState << /M 5 0 R >> >>",
               "1 0 0 rg 0 0 60 100 re f /M gs 1 1 0 rg 40 0 60 100 re f")},
         {{20, 50, RED}, {50, 50, 0x808000}, {80, 50, 0x808000}}},
        {"group without knockout", "/F Do",
         {alpha_half, "<< >>", "<< >>", "<< >>",
          form(group + "/Resources << /ExtGState << /H 5 0 R >> >>",
               "1 0 0 rg 0 0 60 100 re f /H gs 0 0 1 rg 40 0 60 100 re f")},
         {{20, 50, RED}, {50, 50, 0x80007f}, {80, 50, 0x8080ff}}},
        // Luminosity mask: the grey box shows the red half strength; where
        // the group paints nothing the backdrop colour BC decides.
        {"luminosity mask over black", "/A gs 1 0 0 rg 0 0 100 100 re f",
         {"<< /SMask << /S /Luminosity /G 6 0 R >> >>", half_grey},
         {{25, 50, 0xff8080}, {75, 50, WHITE}}},
        {"luminosity mask with a white backdrop colour", "/A gs 1 0 0 rg 0 0 100 100 re f",
         {"<< /SMask << /S /Luminosity /G 6 0 R /BC [1] >> >>", half_grey},
         {{25, 50, 0xff8080}, {75, 50, RED}}},
        // BC in the mask group's own colour space: Lab white lets the red
        // through where the group paints nothing (read as RGB it would be red,
        // whose luminosity shows it at under a third: 0xffb2b2). Lab white
        // converts to within a few steps of white.
        {"backdrop colour in the group's colour space", "/A gs 1 0 0 rg 0 0 100 100 re f",
         {"<< /SMask << /S /Luminosity /G 6 0 R /BC [100 0 0] >> >>",
          form("/Group << /S /Transparency /CS [/Lab << /WhitePoint [0.9505 1 1.089] >>] >> ",
               "0.5 g 0 0 50 100 re f")},
         {{25, 50, 0xff8080}, {75, 50, RED}},
         10},
        // Alpha mask of the same group: its coverage, not its colour.
        {"alpha mask", "/A gs 1 0 0 rg 0 0 100 100 re f",
         {"<< /SMask << /S /Alpha /G 6 0 R /BC [1] >> >>", half_grey},
         {{25, 50, RED}, {75, 50, WHITE}}},
        // An exponential transfer function inverts the mask.
        {"transfer function", "/A gs 1 0 0 rg 0 0 100 100 re f",
         {"<< /SMask << /S /Alpha /G 6 0 R /TR << /FunctionType 2 /Domain [0 1] /C0 [1] /C1 [0] "
          "/N 1 >> >> >>",
          half_grey},
         {{25, 50, WHITE}, {75, 50, RED}}},
        {"mask removed by None", "/A gs /C gs 1 0 0 rg 0 0 100 100 re f",
         {"<< /SMask << /S /Alpha /G 6 0 R >> >>", half_grey, "<< /SMask /None >>"},
         {{75, 50, RED}}},
        {"mask ends with its state", "q /A gs Q 1 0 0 rg 0 0 100 100 re f",
         {"<< /SMask << /S /Alpha /G 6 0 R >> >>", half_grey}, {{75, 50, RED}}},
        // Eight nested groups each at alpha 0.5 compound to 1/256 (one step of 255).
        {"eight nested groups", "/A gs /F Do",
         {alpha_half, "<< >>", "<< >>", "<< >>",
          form(group + "/Resources << /ExtGState << /A 5 0 R >> /XObject << /F 10 0 R >> >>",
               "/A gs /F Do"),
          form(group + "/Resources << /ExtGState << /A 5 0 R >> /XObject << /F 11 0 R >> >>",
               "/A gs /F Do"),
          form(group + "/Resources << /ExtGState << /A 5 0 R >> /XObject << /F 12 0 R >> >>",
               "/A gs /F Do"),
          form(group + "/Resources << /ExtGState << /A 5 0 R >> /XObject << /F 13 0 R >> >>",
               "/A gs /F Do"),
          form(group + "/Resources << /ExtGState << /A 5 0 R >> /XObject << /F 14 0 R >> >>",
               "/A gs /F Do"),
          form(group + "/Resources << /ExtGState << /A 5 0 R >> /XObject << /F 15 0 R >> >>",
               "/A gs /F Do"),
          form(group + "/Resources << /ExtGState << /A 5 0 R >> /XObject << /F 16 0 R >> >>",
               "/A gs /F Do"),
          form(group, "0 0 0 rg 0 0 100 100 re f")},
         {{50, 50, 0xfefefe}}},
        // An empty box paints nothing; an inverted one is the same box.
        {"empty group box", "/F Do",
         {"<< >>", "<< >>", "<< >>", "<< >>",
          stream_obj("/Subtype /Form " + group + "/BBox [10 10 10 10]", "0 0 1 rg 0 0 100 100 re f")},
         {{50, 50, WHITE}, {10, 89, WHITE}}},
        {"inverted group box", "/F Do",
         {"<< >>", "<< >>", "<< >>", "<< >>",
          stream_obj("/Subtype /Form " + group + "/BBox [50 100 0 0]", "1 0 0 rg 0 0 100 100 re f")},
         {{25, 50, RED}, {75, 50, WHITE}}},
    };
    for (const PageRow &row : rows) {
        SCOPED_TRACE(row.what);
        Rendered r;
        render_doc(one_page_pdf(row.content, "[0 0 100 100]", kResources, with_objects(row.objects)),
                   &r);
        ASSERT_NE(r.bm, nullptr);
        for (const auto &p : row.probes)
            EXPECT_PRED3(near_rgb, r.px(p.x, p.y), p.rgb, row.tolerance)
                << "at " << p.x << "," << p.y << ": " << std::hex << r.px(p.x, p.y);
    }
}

TEST(Transparency, HostileTransparencyNeitherCrashesNorHangs)
{
    std::string names;
    for (int i = 0; i < 1000; i++)
        names += "/N" + std::to_string(i) + " ";
    const std::string group = "/Group << /S /Transparency >> ";
    // Objects 5..8 are ExtGStates, 9 .. 10,008 the groups (the last is empty).
    std::vector<std::string> chain = {"<< /BM /Multiply >>", "<< >>", "<< >>", "<< >>"};
    for (int i = 0; i < 10000; i++)
        chain.push_back(form(group + "/Resources << /ExtGState << /M 5 0 R >> /XObject << /F " +
                                 std::to_string(i + 10) + " 0 R >> >>",
                             i < 9999 ? "/M gs /F Do" : ""));
    struct Row {
        const char *what;
        std::string content;
        std::vector<std::string> objects;
        unsigned at_50_50;
    } rows[] = {
        {"BM array of 1000 names", "/A gs 1 0 0 rg 0 0 100 100 re f",
         {"<< /BM [" + names + "/Multiply] >>"}, RED},
        // The mask group sets the same mask again: it stops at the nesting limit.
        {"mask group sets itself", "/A gs 1 0 0 rg 0 0 100 100 re f",
         {"<< /SMask << /S /Alpha /G 6 0 R >> >>",
          form(group + "/Resources << /ExtGState << /A 5 0 R >> >>",
               "/A gs 0 g 0 0 100 100 re f")},
         RED},
        // A group that draws itself stops at the form depth.
        {"group draws itself", "/F Do",
         {"<< >>", "<< >>", "<< >>", "<< >>",
          form(group + "/Resources << /XObject << /F 9 0 R >> >>", "/F Do 1 0 0 rg 0 0 100 100 re f")},
         RED},
        {"mask without a group", "/A gs 1 0 0 rg 0 0 100 100 re f",
         {"<< /SMask << /S /Luminosity /G 42 >> >>"}, RED},
        // 10,000 groups, each drawing the next with Multiply: drawing stops at
        // the nesting limit and the look for blend modes at its budget.
        {"groups nested 10000 deep", "1 0 0 rg 0 0 100 100 re f /F Do", chain, RED},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Rendered r;
        render_doc(one_page_pdf(row.content, "[0 0 100 100]", kResources, with_objects(row.objects)),
                   &r);
        ASSERT_NE(r.bm, nullptr);
        EXPECT_PRED3(near_rgb, r.px(50, 50), row.at_50_50, 2) << std::hex << r.px(50, 50);
    }
}

TEST(Transparency, ReplacedSoftMasksFreeTheirPlanes)
{
    // 300 masks of a 1000 x 1000 page hold 300 MB if none is freed, past the
    // 256 MB the live planes may take: a leak shows as a refused mask.
    std::string content;
    for (int i = 0; i < 150; i++)
        content += "/A gs q /A gs Q ";
    content += "1 0 0 rg 0 0 100 100 re f";
    Rendered r;
    render_doc(one_page_pdf(content, "[0 0 100 100]", kResources,
                            with_objects({"<< /SMask << /S /Alpha /G 6 0 R >> >>",
                                          form("", "0 g 0 0 10 10 re f")})),
               &r, 10.0f);
    ASSERT_NE(r.bm, nullptr);
    EXPECT_EQ(r.diags.find("soft-mask-memory"), std::string::npos) << r.diags;
    EXPECT_EQ(r.px(50, 950), RED);
    EXPECT_EQ(r.px(150, 950), WHITE);
}

// A group's surface covers only its box, its columns counted from the box's
// left edge: every kind of paint inside (fill through a clip, stroke,
// image, shading, text) must land where it lands without the group. An
// opaque group over white differs from direct painting only by rounding.
TEST(Transparency, GroupsPaintWhereTheirContentWouldPaintDirectly)
{
    const std::string content =
        "q 40 10 50 30 re W n 0 0 1 rg 0 0 100 100 re f Q "
        "1 0 0 RG 3 w 38 60 m 92 88 l S "
        "q 30 0 0 20 55 45 cm BI /W 2 /H 2 /CS /RGB /BPC 8 /F /AHx ID ff000000ff000000ffffff00> EI Q "
        "q 36 70 20 24 re W n /S sh Q "
        "BT /T 18 Tf 60 8 Td (Ag) Tj ET";
    const std::string resources =
        "/Resources << /Font << /T 5 0 R >> /Shading << /S 6 0 R >> /XObject << /F 7 0 R >> >>";
    const std::string font = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    const std::string shading =
        "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [36 0 56 0] /Function << /FunctionType 2 "
        "/Domain [0 1] /C0 [1 1 0] /C1 [0 0.5 1] /N 1 >> >>";
    // The box starts 33.3 units in: the group's first column is not page column 0.
    const std::string group = stream_obj(
        "/Type /XObject /Subtype /Form /BBox [33.3 3.7 98 98] /Group << /S /Transparency /I true >> " +
            resources,
        content);
    Rendered direct, grouped;
    render_doc(one_page_pdf(content, "[0 0 100 100]", resources, {font, shading, group}), &direct, 2.0f);
    render_doc(one_page_pdf("/F Do", "[0 0 100 100]", resources, {font, shading, group}), &grouped, 2.0f);
    ASSERT_NE(direct.bm, nullptr);
    ASSERT_NE(grouped.bm, nullptr);
    int worst = 0, painted = 0;
    for (int y = 0; y < direct.bm->height; y++)
        for (int x = 0; x < direct.bm->width; x++) {
            const unsigned a = direct.px(x, y), b = grouped.px(x, y);
            painted += a != WHITE;
            for (int shift = 0; shift < 24; shift += 8)
                worst = std::max(worst, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
        }
    EXPECT_GT(painted, 5000);
    EXPECT_LE(worst, 2);
}

// A group as large as a 2500 x 2500 page (6.25 million pixels) is drawn
// in a surface of its own, not dropped or painted directly: the overlap of
// its two boxes shows the group's opacity once.
TEST(Transparency, GroupsOfManyMegapixelsAreDrawn)
{
    Rendered r;
    render_doc(one_page_pdf("/A gs /F Do", "[0 0 100 100]", kResources,
                            with_objects({"<< /ca 0.5 >>", "<< >>", "<< >>", "<< >>",
                                          form("/Group << /S /Transparency >> ",
                                               "1 0 0 rg 0 0 60 100 re f 40 0 60 100 re f")})),
               &r, 25.0f);
    ASSERT_NE(r.bm, nullptr);
    EXPECT_PRED3(near_rgb, r.px(1250, 1250), 0xff8080u, 2) << std::hex << r.px(1250, 1250);
    EXPECT_EQ(r.diags.find("group"), std::string::npos) << r.diags;
}

TEST(Transparency, BandsEqualTheRowsOfTheWholePage)
{
    const std::string group = "/Group << /S /Transparency >> ";
    const char *content =
        "0 0 1 rg 0 0 300 300 re f q 1 0 0 1 20 30 cm /A gs /F Do Q "
        "/B gs 0 1 0 rg 0 0 300 150 re f";
    std::string pdf = one_page_pdf(
        content, "[0 0 300 300]", kResources,
        with_objects({"<< /ca 0.6 /BM /Screen >>",
                      "<< /SMask << /S /Luminosity /G 10 0 R >> /BM /Hue >>", "<< >>", "<< >>",
                      stream_obj("/Subtype /Form /BBox [0 0 200 200] " + group +
                                     "/Resources << /ExtGState << /M 6 0 R >> >>",
                                 "1 0 0 rg 0 0 120 120 re f q 0.7 0.1 0.3 0.9 40 20 cm /M gs "
                                 "0 1 1 rg 0 0 150 100 re f Q"),
                      stream_obj("/Subtype /Form /BBox [0 0 300 300] " + group,
                                 "0.8 g 30 30 m 270 60 l 150 280 l f")}));
    Rendered whole;
    render_doc(pdf, &whole, 1.37f);
    ASSERT_NE(whole.bm, nullptr);
    const int firsts[] = {0, 37, 100, 255, 390};
    for (int first : firsts) {
        SCOPED_TRACE(first);
        Rendered band;
        render_doc(pdf, &band, 1.37f, first, 50);
        ASSERT_NE(band.bm, nullptr);
        int rows = std::min(50, whole.bm->height - first);
        ASSERT_EQ(band.bm->height, rows);
        for (int y = 0; y < rows; y++)
            ASSERT_EQ(std::memcmp(band.bm->pixels + y * band.bm->stride,
                                  whole.bm->pixels + (first + y) * whole.bm->stride,
                                  size_t(3 * whole.bm->width)),
                      0)
                << "row " << first + y;
    }
}

}  // namespace
