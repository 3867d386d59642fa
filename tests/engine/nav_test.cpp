// Navigation data: the outline walk and its guards, destinations through
// arrays, names and name trees, link rectangles under page and view
// rotation, link kinds and borders, threads, and title decoding. Documents
// are written as text by the PDF builder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "document/document.h"
#include "nav_docs.h"
#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/nav.h"
#include "pdf/object.h"
#include "pdf/pages.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

using Objects = std::vector<std::pair<int, std::string>>;

// Catalogue with `extra` entries and three pages 3, 4, 5 (indices 0, 1, 2)
// of 200 x 100 points; more objects follow.
Objects three_pages(const std::string &extra, const std::string &page_extra = "")
{
    Objects o = {{1, "<< /Type /Catalog /Pages 2 0 R " + extra + " >>"},
                 {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>"}};
    for (int num = 3; num <= 5; num++)
        o.push_back({num, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] " + page_extra + " >>"});
    return o;
}

Objects operator+(Objects a, const Objects &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Doc {
    PdfDoc *doc = nullptr;
    int rc = -1;
    std::string path;
    explicit Doc(const std::string &pdf, const char *name = "nav.pdf")
    {
        path = testsupport::scratch_path(name);
        testsupport::write_file(path, pdf);
        rc = pdf_open(&doc, path.c_str(), nullptr);
    }
    explicit Doc(const Objects &objects) : Doc(testsupport::objects_pdf(objects)) {}
    ~Doc() { pdf_close(doc); }
};

using Outline = std::vector<std::tuple<int, int, std::string>>;  // level, page, title

Outline outline_of(PdfDoc *doc, int max)
{
    std::vector<OutlineItem> items(size_t(max > 0 ? max : 1));
    const int n = pdf_get_outline(doc, items.data(), max);
    Outline out;
    for (int i = 0; i < n; i++)
        out.emplace_back(items[size_t(i)].level, items[size_t(i)].page, items[size_t(i)].title);
    return out;
}

TEST(NavOutline, WalkAndDestinationRules)
{
    // A Dests dictionary and a Dests name tree whose second leaf declares
    // Limits that exclude its own keys, and a third leaf with a Limits that
    // is not an array: the search ignores both.
    const Objects names = {
        {40, "<< /named [4 0 R /Fit] /wrapped << /D [5 0 R /Fit] >> /viaref 45 0 R /str [3 0 R /Fit] >>"},
        {41, "<< /Kids [42 0 R 43 0 R 44 0 R] >>"},
        {42, "<< /Limits [(a) (b)] /Names [(a) [3 0 R /Fit] (b) 5] >>"},
        {43, "<< /Limits [(x) (y)] /Names [(tree) [5 0 R /Fit] (wrapped) << /D [4 0 R /Fit] >>] >>"},
        {44, "<< /Limits 7 /Names [(late) [4 0 R /Fit] (tree) [3 0 R /Fit]] >>"},
        {45, "[5 0 R /XYZ 0 0 0]"},
    };
    const std::string catalog = "/Outlines 10 0 R /Dests 40 0 R /Names << /Dests 41 0 R >>";
    // A sibling chain 11 .. (below 40) of the given items, twice: the first
    // lookups of a call search the name tables directly, later ones go
    // through indexes, and both must agree.
    auto chain = [](const std::vector<std::string> &bodies) {
        Objects o = {{10, "<< /First 11 0 R >>"}};
        const size_t n = 2 * bodies.size();
        for (size_t i = 0; i < n; i++) {
            std::string next = i + 1 < n ? " /Next " + std::to_string(12 + i) + " 0 R" : "";
            o.push_back({int(11 + i), "<< " + bodies[i % bodies.size()] + next + " >>"});
        }
        return o;
    };
    struct Row {
        const char *what;
        Objects objects;
        Outline expected;
        bool twice = false;  // built by chain: the expected items repeat
    } rows[] = {
        {"pre-order with levels; an item without destination has page -1",
         {{10, "<< /First 11 0 R >>"},
          {11, "<< /Title (A) /Dest [4 0 R /XYZ 0 0 0] /First 12 0 R /Next 13 0 R >>"},
          {12, "<< /Title (A1) /Dest [5 0 R /Fit] /First 14 0 R >>"},
          {14, "<< /Title (A1a) /Dest [3 0 R /Fit] >>"},
          {13, "<< /Title (B) >>"}},
         {{0, 1, "A"}, {1, 2, "A1"}, {2, 0, "A1a"}, {0, -1, "B"}}},
        {"an untitled item is not listed, its children are, one level below it",
         {{10, "<< /First 11 0 R >>"},
          {11, "<< /Title ( ) /First 12 0 R /Next 13 0 R >>"},
          {12, "<< /Title (Kid) >>"},
          {13, "<< /Title (Next) >>"}},
         {{1, -1, "Kid"}, {0, -1, "Next"}}},
        {"a non-dictionary ends the chain",
         {{10, "<< /First 11 0 R >>"}, {11, "<< /Title (A) /Next 12 0 R >>"}, {12, "[/Title (B)]"}},
         {{0, -1, "A"}}},
        {"a Next pointing back ends the chain; a First to an ancestor is not walked",
         {{10, "<< /First 11 0 R >>"},
          {11, "<< /Title (A) /First 12 0 R /Next 13 0 R >>"},
          {12, "<< /Title (A1) /First 11 0 R /Next 12 0 R >>"},
          {13, "<< /Title (B) /First 10 0 R /Next 11 0 R >>"}},
         {{0, -1, "A"}, {1, -1, "A1"}, {0, -1, "B"}}},
        {"destination forms",
         chain({"/Title (page number) /Dest [3 /Fit]",
                "/Title (goto) /A << /S /GoTo /D [5 0 R /Fit] >>",
                "/Title (remote goto) /A << /S /GoToR /F (x.pdf) /D [0 /Fit] >>",
                "/Title (name) /Dest /named",
                "/Title (name to dict with D) /Dest /wrapped",
                "/Title (name to referenced array) /Dest /viaref",
                "/Title (goto with a name) /A << /S /GoTo /D /named >>",
                "/Title (unknown name) /Dest /nowhere",
                "/Title (page object, not an array) /Dest 3 0 R",
                "/Title (Dest wins over A) /Dest [4 0 R /Fit] /A << /S /GoTo /D [5 0 R /Fit] >>"}),
         {{0, -1, "page number"}, {0, 2, "goto"}, {0, -1, "remote goto"}, {0, 1, "name"},
          {0, 2, "name to dict with D"}, {0, 2, "name to referenced array"}, {0, 1, "goto with a name"},
          {0, -1, "unknown name"}, {0, -1, "page object, not an array"}, {0, 1, "Dest wins over A"}},
         true},
        {"strings go through the name tree, names through Dests only",
         chain({"/Title (leaf under lying Limits) /Dest (tree)",
                "/Title (after a Limits that is no array) /Dest (late)",
                "/Title (tree value dict with D) /Dest (wrapped)",
                "/Title (value that is no destination) /Dest (b)",
                "/Title (string only Dests has) /Dest (named)",
                "/Title (name only the tree has) /Dest /tree",
                "/Title (string key cut short) /Dest (tre)"}),
         {{0, 2, "leaf under lying Limits"}, {0, 1, "after a Limits that is no array"},
          {0, 1, "tree value dict with D"}, {0, -1, "value that is no destination"},
          {0, -1, "string only Dests has"}, {0, -1, "name only the tree has"},
          {0, -1, "string key cut short"}},
         true},
    };
    for (const Row &row : rows) {
        Doc d(three_pages(catalog) + names + row.objects);
        ASSERT_EQ(d.rc, 0) << row.what;
        Outline expected = row.expected;
        if (row.twice)
            expected.insert(expected.end(), row.expected.begin(), row.expected.end());
        EXPECT_EQ(outline_of(d.doc, 64), expected) << row.what;
        EXPECT_EQ(pdf_get_outline(d.doc, nullptr, 0), int(expected.size())) << row.what << " (counting)";
        Outline first = outline_of(d.doc, 1);
        EXPECT_EQ(first, Outline(row.expected.begin(), row.expected.begin() + 1)) << row.what << " (max 1)";
    }
}

// Direct calls with the search's own rules: Names before Kids, first match,
// depth 32, byte-exact keys.
TEST(NavNameTree, LookupRules)
{
    Objects o = three_pages("") + Objects{
        {20, "<< /Names [(k) 1 (k) 2 /n 3 (a\\000b) 4] /Kids [21 0 R] >>"},
        {21, "<< /Names [(k) 5 (kid) 6] /Kids [21 0 R 20 0 R 22 0 R] >>"},
        {22, "<< /Names [(short)] /Kids [23 0 R] >>"},
        {23, "<< /Names [(deep) 7] >>"},
    };
    // A chain 30 .. 63 whose node 30 + i sits at depth i; each holds (d<i>).
    for (int i = 0; i < 34; i++) {
        std::string kids = i < 33 ? " /Kids [" + std::to_string(31 + i) + " 0 R]" : "";
        o.push_back({30 + i, "<< /Names [(d" + std::to_string(i) + ") " + std::to_string(100 + i) + "]" + kids + " >>"});
    }
    Doc d(o);
    ASSERT_EQ(d.rc, 0);
    struct Row {
        const char *what;
        int node;
        std::string key;
        int expected;  // the integer value found, -1 for null
    } rows[] = {
        {"first of two equal keys in one node", 20, "k", 1},
        {"a name is not a string key", 20, "n", -1},
        {"key with an embedded NUL compared by length", 20, std::string("a\0b", 3), 4},
        {"prefix of a key does not match", 20, "a", -1},
        {"found through Kids", 20, "kid", 6},
        {"a Names array with one element is skipped, Kids still searched", 20, "deep", 7},
        {"Kids that repeat their node or loop back are searched once", 21, "missing", -1},
        {"depth 32 is searched", 30, "d32", 132},
        {"depth 33 is not", 30, "d33", -1},
    };
    for (const Row &row : rows) {
        PdfObject *found = pdf_name_tree_lookup(d.doc, pdf_fetch(d.doc, row.node, 0),
                                                reinterpret_cast<const uint8_t *>(row.key.data()),
                                                int(row.key.size()), 0);
        EXPECT_EQ(found ? pdf_to_int(found, -2) : -1, row.expected) << row.what;
    }
}

TEST(NavLinks, RectanglesUnderPageAndViewRotation)
{
    struct Row {
        const char *what;
        std::string media_box;
        int rotate;
        int view;  // degrees
        const char *rect;
        float expected[4];  // device pixels at scale 2
    } rows[] = {
        {"upright", "[0 0 200 100]", 0, 0, "[10 20 30 40]", {20, 120, 60, 160}},
        {"corners given in the other order", "[0 0 200 100]", 0, 0, "[30 40 10 20]", {20, 120, 60, 160}},
        {"box origin away from zero", "[100 50 300 150]", 0, 0, "[110 70 130 90]", {20, 120, 60, 160}},
        {"/Rotate 90", "[0 0 200 100]", 90, 0, "[10 20 30 40]", {40, 20, 80, 60}},
        {"/Rotate 180", "[0 0 200 100]", 180, 0, "[10 20 30 40]", {340, 40, 380, 80}},
        {"/Rotate 270", "[0 0 200 100]", 270, 0, "[10 20 30 40]", {120, 340, 160, 380}},
        {"/Rotate -90 is 270", "[0 0 200 100]", -90, 0, "[10 20 30 40]", {120, 340, 160, 380}},
        {"view rotation 90 alone", "[0 0 200 100]", 0, 90, "[10 20 30 40]", {40, 20, 80, 60}},
        {"/Rotate 90 and view rotation 90", "[0 0 200 100]", 90, 90, "[10 20 30 40]", {340, 40, 380, 80}},
        {"/Rotate 90 and view rotation 270 cancel", "[0 0 200 100]", 90, 270, "[10 20 30 40]", {20, 120, 60, 160}},
    };
    for (const Row &row : rows) {
        Objects o = {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                     {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
                     {3, "<< /Type /Page /Parent 2 0 R /MediaBox " + row.media_box + " /Rotate " +
                             std::to_string(row.rotate) + " /Annots [4 0 R] >>"},
                     {4, std::string("<< /Subtype /Link /Rect ") + row.rect + " /Dest [3 0 R /Fit] >>"}};
        Doc d(o);
        ASSERT_EQ(d.rc, 0) << row.what;
        pdf_set_view_rotation(d.doc, row.view);
        LinkItem link;
        ASSERT_EQ(pdf_get_page_links(d.doc, 0, 2.0f, &link, 1), 1) << row.what;
        const float got[4] = {link.x0, link.y0, link.x1, link.y1};
        for (int i = 0; i < 4; i++)
            EXPECT_NEAR(got[i], row.expected[i], 1e-3) << row.what << " coordinate " << i;
        // Back in points of the unrotated page: the Rect as written, normalised.
        float back[4], points[4];
        ASSERT_EQ(pdf_link_page_rect(d.doc, 0, 2.0f, &link, back), 0) << row.what;
        ASSERT_EQ(std::sscanf(row.rect, "[%f %f %f %f]", &points[0], &points[1], &points[2], &points[3]), 4);
        const float normal[4] = {std::min(points[0], points[2]), std::min(points[1], points[3]),
                                 std::max(points[0], points[2]), std::max(points[1], points[3])};
        for (int i = 0; i < 4; i++)
            EXPECT_NEAR(back[i], normal[i], 1e-3) << row.what << " back in points, coordinate " << i;
    }
}

// Through the document layer: doc_rotate turns the links with the page.
TEST(NavLinks, DocumentViewRotationReachesLinks)
{
    Objects o = three_pages("", "/Annots [10 0 R]") + Objects{{10, "<< /Subtype /Link /Rect [10 20 30 40] /Dest [5 0 R /Fit] >>"}};
    const std::string path = testsupport::scratch_path("nav-doc.pdf");
    testsupport::write_file(path, testsupport::objects_pdf(o));
    Document *doc = nullptr;
    ASSERT_EQ(doc_open(&doc, path.c_str(), nullptr), 0);
    doc_rotate(doc, 1);
    LinkItem link;
    ASSERT_EQ(doc_page_links(doc, 1, 2.0f, &link, 1), 1);
    EXPECT_EQ(link.page, 2);
    EXPECT_NEAR(link.x0, 40, 1e-3);
    EXPECT_NEAR(link.y0, 20, 1e-3);
    EXPECT_NEAR(link.x1, 80, 1e-3);
    EXPECT_NEAR(link.y1, 60, 1e-3);
    EXPECT_EQ(doc_page_links(doc, 3, 2.0f, &link, 1), 0);  // no such page
    doc_close(doc);
}

TEST(NavLinks, KindsAndTargets)
{
    const std::vector<std::string> annots = {
        "/Subtype /Link /Rect [0 0 10 10] /Dest [5 0 R /Fit]",
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /GoTo /D /named >>",
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /URI /URI (http://example.org/\\344?a=1) >>",
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /URI /URI () >>",                    // skipped
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /Launch /F (calc.exe) >>",           // skipped
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /JavaScript /JS (app.alert(1)) >>",  // skipped
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /Named /N /NextPage >>",
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /Named /N /PrevPage >>",
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /Named /N /FirstPage >>",
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /Named /N /LastPage >>",
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /Named /N /GoBack >>",
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /Named /N /GoForward >>",
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /Named /N /Print >>",   // skipped
        "/Subtype /Link /Rect [0 0 10 10] /Dest [0 /Fit]",                 // unresolvable: skipped
        "/Subtype /Link /Rect [0 0 10 10] /A << /S /GoTo /D /nowhere >>",  // skipped
        "/Subtype /Widget /Rect [0 0 10 10] /Dest [5 0 R /Fit]",           // skipped
        "/Subtype /Link /Rect [0 0 10] /Dest [5 0 R /Fit]",                // skipped
        "/Subtype /Link /Rect [0 0 10 (x)] /Dest [4 0 R /Fit]",            // (x) counts as 0
    };
    Objects o = three_pages("/Dests << /named [4 0 R /Fit] >>");
    std::string refs;
    for (size_t i = 0; i < annots.size(); i++) {
        o.push_back({int(20 + i), "<< " + annots[i] + " >>"});
        refs += std::to_string(20 + i) + " 0 R ";
    }
    o[2].second = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Annots [" + refs + " 99 0 R 3] >>";
    Doc d(o);
    ASSERT_EQ(d.rc, 0);
    struct Expected {
        int kind, page;
        const char *uri;
    } expected[] = {
        {LINK_GOTO, 2, ""},        {LINK_GOTO, 1, ""},       {LINK_URI, -1, "http://example.org/ ?a=1"},
        {LINK_NEXT_PAGE, -1, ""},  {LINK_PREV_PAGE, -1, ""}, {LINK_FIRST_PAGE, -1, ""},
        {LINK_LAST_PAGE, -1, ""},  {LINK_GO_BACK, -1, ""},   {LINK_GO_FORWARD, -1, ""},
        {LINK_GOTO, 1, ""},
    };
    const int n = int(sizeof expected / sizeof *expected);
    std::vector<LinkItem> links(40);
    ASSERT_EQ(pdf_get_page_links(d.doc, 0, 1.0f, links.data(), 40), n);
    EXPECT_EQ(pdf_get_page_links(d.doc, 0, 1.0f, nullptr, 0), n);
    for (int i = 0; i < n; i++) {
        EXPECT_EQ(links[size_t(i)].kind, expected[i].kind) << "link " << i;
        EXPECT_EQ(links[size_t(i)].page, expected[i].page) << "link " << i;
        EXPECT_STREQ(links[size_t(i)].uri, expected[i].uri) << "link " << i;
    }
    // The Rect with a non-number: its corner (10, 0) in user space.
    EXPECT_NEAR(links[size_t(n - 1)].y1, 100, 1e-3);
    EXPECT_EQ(pdf_get_page_links(d.doc, 0, 1.0f, links.data(), 2), 2);
    EXPECT_EQ(pdf_get_page_links(d.doc, 0, 1.0f, links.data(), 0), 0);
    EXPECT_EQ(pdf_get_page_links(d.doc, 3, 1.0f, links.data(), 40), 0);
    EXPECT_EQ(pdf_get_page_links(d.doc, -1, 1.0f, links.data(), 40), 0);
}

TEST(NavLinks, Borders)
{
    struct Row {
        const char *what;
        const char *entries;
        float scale;
        int width;
        uint8_t rgb[3];
    } rows[] = {
        {"neither BS nor Border: none", "", 1, 0, {0, 0, 0}},
        {"Border [0 0 2] at 1.5", "/Border [0 0 2]", 1.5f, 3, {0, 0, 0}},
        {"BS W 0.2 at 1 rounds up to 1", "/BS << /W 0.2 >>", 1, 1, {0, 0, 0}},
        {"BS without W is 1", "/BS << /S /D >>", 2, 2, {0, 0, 0}},
        {"BS wins over Border", "/BS << /W 0 >> /Border [0 0 3]", 1, 0, {0, 0, 0}},
        {"Border with two elements: none", "/Border [0 0]", 1, 0, {0, 0, 0}},
        {"Border width not a number counts as 1", "/Border [0 0 /x]", 3, 3, {0, 0, 0}},
        {"negative width: none", "/Border [0 0 -4]", 1, 0, {0, 0, 0}},
        {"absurd width is capped", "/BS << /W 100000000 >>", 1, PDF_NAV_MAX_BORDER, {0, 0, 0}},
        {"RGB colour", "/C [1 0 0.5]", 1, 0, {255, 0, 128}},
        {"grey colour", "/C [0.25]", 1, 0, {64, 64, 64}},
        {"four components: black", "/C [0 1 1 0]", 1, 0, {0, 0, 0}},
        {"components outside 0..1 are clamped", "/C [7 -3 300]", 1, 0, {255, 0, 255}},
    };
    for (const Row &row : rows) {
        Objects o = three_pages("", "/Annots [10 0 R]") +
                    Objects{{10, std::string("<< /Subtype /Link /Rect [0 0 10 10] /Dest [3 0 R] ") + row.entries + " >>"}};
        Doc d(o);
        ASSERT_EQ(d.rc, 0) << row.what;
        LinkItem link;
        ASSERT_EQ(pdf_get_page_links(d.doc, 0, row.scale, &link, 1), 1) << row.what;
        EXPECT_EQ(link.border_width, row.width) << row.what;
        EXPECT_EQ(std::vector<int>(link.border_rgb, link.border_rgb + 3),
                  std::vector<int>(row.rgb, row.rgb + 3)) << row.what;
    }
}

TEST(NavThreads, TitlesAndFirstPages)
{
    Objects o = three_pages("/Threads [20 0 R 21 0 R 7 22 0 R 23 0 R]") + Objects{
        {20, "<< /I << /Title (Intro) >> /F 30 0 R >>"},
        {30, "<< /T 20 0 R /N 31 0 R /V 31 0 R /P 4 0 R >>"},
        {31, "<< /T 20 0 R /N 30 0 R /V 30 0 R /P 5 0 R >>"},
        {21, "<< /I << /Title () >> /F 32 0 R >>"},  // untitled
        {32, "<< /T 21 0 R /P 5 0 R >>"},            // ring cut: no N, no V
        {22, "<< /F 33 0 R >>"},                     // no I; first bead's page is not a page
        {33, "<< /T 22 0 R /N 33 0 R /P 1 0 R >>"},
        {23, "<< /I << /Title (No beads) >> >>"},
    };
    Doc d(o);
    ASSERT_EQ(d.rc, 0);
    std::vector<ThreadItem> items(8);
    ASSERT_EQ(pdf_get_threads(d.doc, items.data(), 8), 4);
    EXPECT_EQ(pdf_get_threads(d.doc, nullptr, 0), 4);
    const std::pair<const char *, int> expected[] = {
        {"Intro", 1}, {"Article 2", 2}, {"Article 3", -1}, {"No beads", -1}};
    for (int i = 0; i < 4; i++) {
        EXPECT_STREQ(items[size_t(i)].title, expected[i].first) << "thread " << i;
        EXPECT_EQ(items[size_t(i)].page, expected[i].second) << "thread " << i;
    }
    EXPECT_EQ(pdf_get_threads(d.doc, items.data(), 1), 1);
}

// Titles decode to code page 1252 (hex of the expected bytes for clarity).
TEST(NavText, TitleDecoding)
{
    struct Row {
        const char *what;
        std::string bytes;
        std::string expected;
        int size = 128;
    } rows[] = {
        {"PDFDocEncoding Latin-1 letters keep their code", "K\xE4se \xDF", "K\xE4se \xDF"},
        {"PDFDocEncoding 80..A0 map by character, not by code", "\x80\x84\x8D\x92\xA0", "\x95\x97\x93\x99\x80"},
        {"characters code page 1252 lacks become ?", "\x93\x87\x95", "???"},  // fi, fraction slash, Lslash
        {"control characters become spaces, trailing spaces go", "a\tb\r\n  ", "a b"},
        {"a NUL ends the text", std::string("ab\0cd", 5), "ab"},
        {"UTF-16BE umlauts and euro", std::string("\xFE\xFF\x00K\x00\xE4\x20\xAC", 8), "K\xE4\x80"},
        {"UTF-16BE surrogate pair is one ?", std::string("\xFE\xFF\xD8\x3D\xDE\x00\x00x", 8), "?x"},
        {"UTF-16BE lone surrogate is ?", std::string("\xFE\xFF\xDC\x00\x00x", 6), "?x"},
        {"UTF-16BE NUL ends", std::string("\xFE\xFF\x00" "a\x00\x00\x00" "b", 8), "a"},
        {"UTF-16BE odd last byte ignored", std::string("\xFE\xFF\x00" "a\x00", 5), "a"},
        {"UTF-16LE by its mark", std::string("\xFF\xFEK\x00\xE4\x00", 6), "K\xE4"},
        {"UTF-8 by its mark", "\xEF\xBB\xBFK\xC3\xA4se \xE2\x82\xAC \xF0\x9F\x98\x80", "K\xE4se \x80 ?"},
        {"UTF-8 broken sequence is ?", "\xEF\xBB\xBF" "a\xC3(\xFF", "a?(?"},
        {"cut to size - 1 bytes", std::string(200, 'x'), std::string(127, 'x')},
        {"cut inside a UTF-16 text", std::string("\xFE\xFF\x00" "a\x00" "b\x00" "c", 8), "ab", 3},
    };
    Arena *arena = arena_create(0);
    for (const Row &row : rows) {
        PdfObject *s = pdf_new_string(arena, reinterpret_cast<const uint8_t *>(row.bytes.data()), int(row.bytes.size()));
        char out[128];
        std::memset(out, 'Z', sizeof out);
        pdf_text_to_cp1252(s, out, row.size);
        EXPECT_EQ(testsupport::hex_encode(reinterpret_cast<const uint8_t *>(out), std::strlen(out)),
                  testsupport::hex_encode(reinterpret_cast<const uint8_t *>(row.expected.data()), row.expected.size()))
            << row.what;
    }
    char out[8] = "Z";
    pdf_text_to_cp1252(pdf_new_int(arena, 5), out, 8);
    EXPECT_STREQ(out, "") << "a non-string";
    arena_destroy(arena);
}

// Loops, shared kids, huge tables and the limits: what each reader returns.
// A missing guard shows as a hang here; the command-line test bounds the time.
TEST(NavHostile, ReadersReturnBoundedResults)
{
    for (const testsupport::NavHostileDoc &h : testsupport::nav_hostile_docs()) {
        Doc d(h.pdf);
        ASSERT_EQ(d.rc, 0) << h.what;
        const int n = int(h.outline_pages.size());
        EXPECT_EQ(pdf_get_outline(d.doc, nullptr, 0), n) << h.what;
        std::vector<OutlineItem> items(size_t(n + 1));
        ASSERT_EQ(pdf_get_outline(d.doc, items.data(), n + 1), n) << h.what;
        std::vector<int> pages;
        for (int i = 0; i < n; i++)
            pages.push_back(items[size_t(i)].page);
        EXPECT_EQ(pages, h.outline_pages) << h.what;
    }
}

}  // namespace
