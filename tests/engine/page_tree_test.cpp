// The page tree walk, inherited attributes, page boxes and rotation, and the
// last steps of opening a file whose page tree yields nothing. Documents are
// written as text by the PDF builder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/pages.h"
#include "pdf_builder.h"
#include "test_support.h"

using testsupport::PdfBuilder;

namespace {

using Objects = std::vector<std::pair<int, std::string>>;

// An open document built from numbered objects with a classic table whose
// trailer names object 1 as Root; closed at scope end.
struct Doc {
    PdfDoc *doc = nullptr;
    int rc = -1;
    explicit Doc(const Objects &objects, const std::string &trailer = "/Root 1 0 R")
    {
        PdfBuilder b;
        int size = 1;
        for (const auto &[num, body] : objects) {
            b.obj(num, body);
            size = std::max(size, num + 1);
        }
        b.startxref(b.xref_section("/Size " + std::to_string(size) + " " + trailer));
        std::string path = testsupport::scratch_path("pages.pdf");
        testsupport::write_file(path, b.str());
        rc = pdf_open(&doc, path.c_str(), nullptr);
    }
    ~Doc() { pdf_close(doc); }
    // Object numbers of the listed pages, in order (-1 for a page not found).
    std::vector<int> page_numbers() const
    {
        std::vector<int> out;
        for (int i = 0; i < pdf_page_count(doc); i++) {
            int found = -1;
            for (int num = pdf_xref_next(doc, 0); num >= 0 && found < 0; num = pdf_xref_next(doc, num + 1))
                if (pdf_xref_slot(doc, num)->obj == pdf_page(doc, i))
                    found = num;
            out.push_back(found);
        }
        return out;
    }
};

const char *kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";

std::string page(int parent = 2) { return "<< /Type /Page /Parent " + std::to_string(parent) + " 0 R >>"; }

// Restores the process-wide crop setting when a test ends.
struct CropSetting {
    int saved = pdf_crop_to_cropbox();
    explicit CropSetting(int flag) { pdf_set_crop_to_cropbox(flag); }
    ~CropSetting() { pdf_set_crop_to_cropbox(saved); }
};

TEST(PageTree, WalkRules)
{
    struct Row {
        const char *what;
        Objects objects;
        std::vector<int> pages;  // object numbers in document order
    } rows[] = {
        {"nested tree in document order",
         {{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] >>"}, {3, page()},
          {4, "<< /Type /Pages /Kids [6 0 R 7 0 R] >>"}, {5, page()}, {6, page(4)}, {7, page(4)}},
         {3, 6, 7, 5}},
        {"intermediate node without Type is walked through",
         {{1, kCatalog}, {2, "<< /Kids [3 0 R] >>"}, {3, "<< /Kids [4 0 R] >>"}, {4, page(3)}},
         {4}},
        {"leaf without Type: a page with Contents, skipped without",
         {{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] >>"},
          {3, "<< /Contents 9 0 R >>"}, {4, "<< /Resources << >> >>"}, {5, page()}},
         {3, 5}},
        {"wrong Type with Kids is still walked; a Page's own Kids are not",
         {{1, kCatalog}, {2, "<< /Type /Catalog /Kids [3 0 R] >>"},
          {3, "<< /Type /Page /Kids [4 0 R] >>"}, {4, page()}},
         {3}},
        {"Kids elements that are not dictionaries are skipped",
         {{1, kCatalog}, {2, "<< /Type /Pages /Kids [null 7 /Page 30 0 R (x) [3 0 R] 3 0 R] >>"},
          {3, page()}},
         {3}},
        {"a page listed twice appears twice",
         {{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R 4 0 R 3 0 R] >>"}, {3, page()},
          {4, page()}},
         {3, 4, 3}},
        {"a subtree listed twice is walked once",
         {{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R 3 0 R 5 0 R] >>"},
          {3, "<< /Type /Pages /Kids [4 0 R] >>"}, {4, page(3)}, {5, page()}},
         {4, 5}},
        {"Kids pointing back to an ancestor",
         {{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R 4 0 R] >>"},
          {3, "<< /Type /Pages /Kids [2 0 R 5 0 R 3 0 R] >>"}, {4, page()}, {5, page(3)}},
         {5, 4}},
        {"Pages as a direct dictionary in the catalogue",
         {{1, "<< /Type /Catalog /Pages << /Type /Pages /Kids [3 0 R 4 0 R] >> >>"}, {3, page()},
          {4, page()}},
         {3, 4}},
        {"Kids given by reference",
         {{1, kCatalog}, {2, "<< /Type /Pages /Kids 5 0 R >>"}, {3, page()}, {5, "[3 0 R]"}},
         {3}},
        {"Kids not an array", {{1, kCatalog}, {2, "<< /Type /Pages /Kids 3 0 R >>"}, {3, page()}}, {}},
        {"catalogue without Pages", {{1, "<< /Type /Catalog >>"}, {3, page()}}, {}},
        {"Pages points to a missing object", {{1, kCatalog}, {3, page()}}, {}},
    };
    for (const Row &row : rows) {
        Doc d(row.objects);
        ASSERT_EQ(d.rc, 0) << row.what;
        // The open may have repaired and scanned for loose pages; walk the tree alone.
        ASSERT_EQ(pdf_load_pages(d.doc), 0) << row.what;
        EXPECT_EQ(d.page_numbers(), row.pages) << row.what;
    }
}

TEST(PageTree, MissingRootIsNoError)
{
    Doc d({{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R] >>"}, {3, page()}}, "/Info 1 0 R");
    ASSERT_EQ(d.rc, 0);
    ASSERT_EQ(pdf_load_pages(d.doc), 0);
    EXPECT_EQ(pdf_page_count(d.doc), 0);
    EXPECT_EQ(d.doc->catalog, nullptr);
    EXPECT_EQ(pdf_page(d.doc, 0), nullptr);
}

// A chain of nodes: the node at depth k has Kids [page at depth k+1, node k+1].
Objects chain_tree(int levels)
{
    Objects objs{{1, "<< /Type /Catalog /Pages 100 0 R >>"}};
    for (int k = 0; k + 1 < levels; k++) {
        int node = 100 + k, pg = 300 + k + 1;
        std::string kids = std::to_string(pg) + " 0 R";
        if (k + 2 < levels)
            kids += " " + std::to_string(node + 1) + " 0 R";
        objs.push_back({node, "<< /Type /Pages /Kids [" + kids + "] >>"});
        objs.push_back({pg, page(node)});
    }
    return objs;
}

TEST(PageTree, DepthLimit)
{
    struct Row {
        int levels;     // levels of the tree, the root being level 0
        int pages;      // pages found
        int deepest;    // object number of the last page found
    } rows[] = {
        {65, 64, 364},  // pages down to depth 64: all found
        {66, 64, 364},  // the page at depth 65 is lost
        {70, 64, 364},
    };
    for (const Row &row : rows) {
        Doc d(chain_tree(row.levels));
        ASSERT_EQ(d.rc, 0);
        EXPECT_EQ(pdf_page_count(d.doc), row.pages) << row.levels;
        std::vector<int> nums = d.page_numbers();
        ASSERT_FALSE(nums.empty());
        EXPECT_EQ(nums.back(), row.deepest) << row.levels;
    }
}

TEST(PageTree, SharedSubtreesDoNotMultiplyTheWork)
{
    // 60 levels, each node listing the next one twice: 2^60 paths to the page.
    Objects objs{{1, "<< /Type /Catalog /Pages 100 0 R >>"}};
    for (int k = 0; k < 59; k++)
        objs.push_back({100 + k, "<< /Type /Pages /Kids [" + std::to_string(101 + k) + " 0 R " +
                                     std::to_string(101 + k) + " 0 R] >>"});
    objs.push_back({159, "<< /Type /Pages /Kids [160 0 R] >>"});
    objs.push_back({160, page(159)});
    Doc d(objs);
    ASSERT_EQ(d.rc, 0);
    EXPECT_EQ(d.page_numbers(), std::vector<int>{160});
}

TEST(PageTree, PageArrayGrowsPastManyPages)
{
    // 4000 pages in one Kids array: the array is regrown several times.
    std::string kids;
    Objects objs{{1, kCatalog}};
    for (int i = 0; i < 4000; i++) {
        kids += std::to_string(10 + i) + " 0 R ";
        objs.push_back({10 + i, "<< /Type /Page /Parent 2 0 R /Rotate " + std::to_string(i) + " >>"});
    }
    objs.push_back({2, "<< /Type /Pages /Kids [" + kids + "] >>"});
    Doc d(objs);
    ASSERT_EQ(d.rc, 0);
    ASSERT_EQ(pdf_page_count(d.doc), 4000);
    for (int i : {0, 31, 32, 33, 63, 64, 3999})
        EXPECT_EQ(pdf_page_rotate(d.doc, pdf_page(d.doc, i)), i);
    EXPECT_EQ(pdf_page(d.doc, 4000), nullptr);
    EXPECT_EQ(pdf_page(d.doc, -1), nullptr);
    // Walking again (objects cached) costs only the page arrays: a few times
    // 4000 pointers, not the 2 MB that growing by a fixed step would abandon.
    size_t before = d.doc->arena->total;
    ASSERT_EQ(pdf_load_pages(d.doc), 0);
    EXPECT_EQ(pdf_page_count(d.doc), 4000);
    EXPECT_LT(d.doc->arena->total - before, size_t(256) << 10);
}

TEST(PageTree, OutOfMemoryIsReported)
{
    std::string kids;
    Objects objs{{1, kCatalog}};
    for (int i = 0; i < 300; i++) {
        kids += std::to_string(10 + i) + " 0 R ";
        objs.push_back({10 + i, page()});
    }
    objs.push_back({2, "<< /Type /Pages /Kids [" + kids + "] >>"});
    Doc d(objs);
    ASSERT_EQ(d.rc, 0);
    ASSERT_EQ(pdf_page_count(d.doc), 300);
    // Allow n more kilobytes each run, with the object cache emptied so that
    // the walk has to parse again: every run fails with -3 or lists all pages.
    int rc = -3, runs = 0;
    for (size_t n = 0; n < 400 && rc == -3; n++, runs++) {
        for (int num = pdf_xref_next(d.doc, 0); num >= 0; num = pdf_xref_next(d.doc, num + 1))
            pdf_xref_slot(d.doc, num)->obj = nullptr;
        d.doc->arena->limit = d.doc->arena->total + n * 1024;
        rc = pdf_load_pages(d.doc);
        ASSERT_TRUE(rc == 0 || rc == -3) << rc;
    }
    EXPECT_GT(runs, 1);  // the first runs did run out
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(pdf_page_count(d.doc), 300);
}

TEST(PageTree, InheritedAttributes)
{
    // Page 5 sits under 4 under 3 under the root 2.
    Doc d({{1, kCatalog},
           {2, "<< /Type /Pages /Kids [3 0 R] /Resources << /Root true >> /MediaBox [0 0 100 200]"
               " /Rotate 90 /CropBox [1 1 50 50] >>"},
           {3, "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R] /Resources 9 0 R /Rotate 7 0 R >>"},
           {4, "<< /Type /Pages /Parent 3 0 R /Kids [5 0 R 6 0 R] /MediaBox null /CropBox 99 0 R >>"},
           {5, "<< /Type /Page /Parent 4 0 R /Rotate 180 >>"},
           {6, "<< /Type /Page /Parent 4 0 R /Resources << /Own true >> /MediaBox [0 0 1 1] >>"},
           {7, "270"},
           {9, "<< /Middle true >>"}});
    ASSERT_EQ(d.rc, 0);
    ASSERT_EQ(pdf_page_count(d.doc), 2);
    PdfObject *p5 = pdf_page(d.doc, 0), *p6 = pdf_page(d.doc, 1);
    struct Row {
        PdfObject *page;
        const char *key;
        const char *entry;  // key expected in the resulting dictionary, or null
        int rotate;         // for key Rotate
        float width;        // for key MediaBox: x1 of the result
    } rows[] = {
        {p5, "Resources", "Middle", 0, 0},  // nearest ancestor wins, reference resolved
        {p6, "Resources", "Own", 0, 0},     // the page's own value
        {p5, "Rotate", nullptr, 180, 0},
        {p6, "Rotate", nullptr, 270, 0},    // from node 3, through a reference
        {p5, "MediaBox", nullptr, 0, 100},  // explicit null on node 4 counts as absent
        {p6, "MediaBox", nullptr, 0, 1},
        {p5, "CropBox", nullptr, 0, 50},    // dangling reference on node 4 counts as absent
    };
    for (const Row &row : rows) {
        PdfObject *v = pdf_page_attr(d.doc, row.page, row.key);
        ASSERT_NE(v, nullptr) << row.key;
        if (row.entry)
            EXPECT_NE(pdf_dict_get(v, row.entry), nullptr) << row.key;
        else if (std::strcmp(row.key, "Rotate") == 0)
            EXPECT_EQ(pdf_to_int(v, -1), row.rotate);
        else
            EXPECT_EQ(pdf_to_number(pdf_array_get(v, 2), -1), row.width) << row.key;
    }
    EXPECT_EQ(pdf_page_attr(d.doc, p5, "Annots"), nullptr);
    EXPECT_EQ(pdf_page_attr(d.doc, nullptr, "Rotate"), nullptr);
}

TEST(PageTree, InheritanceStopsAfter64Dictionaries)
{
    // The page and a chain of Parent links; only the last ancestor has Rotate.
    struct Row {
        int ancestors;  // dictionaries above the page
        int rotate;     // expected
    } rows[] = {{63, 90}, {64, 0}};
    for (const Row &row : rows) {
        Objects objs{{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R] >>"},
                     {3, "<< /Type /Page /Parent 100 0 R >>"}};
        for (int k = 0; k < row.ancestors; k++) {
            std::string parent = k + 1 < row.ancestors ? " /Parent " + std::to_string(101 + k) + " 0 R" : " /Rotate 90";
            objs.push_back({100 + k, "<< /Type /Pages" + parent + " >>"});
        }
        Doc d(objs);
        ASSERT_EQ(d.rc, 0);
        EXPECT_EQ(pdf_page_rotate(d.doc, pdf_page(d.doc, 0)), row.rotate) << row.ancestors;
    }
    // A Parent loop ends at the same bound.
    Doc loop({{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R] /Parent 2 0 R >>"}, {3, page()}});
    ASSERT_EQ(loop.rc, 0);
    EXPECT_EQ(pdf_page_attr(loop.doc, pdf_page(loop.doc, 0), "Rotate"), nullptr);
}

TEST(PageTree, PageBoxes)
{
    struct Row {
        const char *what;
        std::string page_entries;    // entries of the page dictionary
        std::string parent_entries;  // entries of the Pages node
        PdfBox media;                // crop setting off
        PdfBox visible;              // crop setting on
    } rows[] = {
        {"no box: US Letter", "", "", {0, 0, 612, 792}, {0, 0, 612, 792}},
        {"reversed corners", "/MediaBox [612 792 0 0]", "", {0, 0, 612, 792}, {0, 0, 612, 792}},
        {"mixed corners", "/MediaBox [10 792 600 -8]", "", {10, -8, 600, 792}, {10, -8, 600, 792}},
        {"three numbers", "/MediaBox [0 0 300]", "", {0, 0, 612, 792}, {0, 0, 612, 792}},
        {"five numbers", "/MediaBox [0 0 300 400 5]", "", {0, 0, 612, 792}, {0, 0, 612, 792}},
        {"not an array", "/MediaBox 5", "", {0, 0, 612, 792}, {0, 0, 612, 792}},
        {"a non-number counts as 0", "/MediaBox [/a 20 300.5 (x)]", "", {0, 0, 300.5f, 20},
         {0, 0, 300.5f, 20}},
        {"elements by reference", "/MediaBox [0 0 8 0 R 8 0 R]", "", {0, 0, 500, 500},
         {0, 0, 500, 500}},
        {"crop box inside", "/MediaBox [0 0 600 800] /CropBox [10 20 300 400]", "",
         {0, 0, 600, 800}, {10, 20, 300, 400}},
        {"crop box reversed and partly outside", "/MediaBox [0 0 600 800] /CropBox [700 400 -50 20]",
         "", {0, 0, 600, 800}, {0, 20, 600, 400}},
        {"crop box too small", "/CropBox [0 0 0.5 0.5]", "", {0, 0, 612, 792}, {0, 0, 612, 792}},
        {"crop box one unit wide", "/CropBox [0 0 1 100]", "", {0, 0, 612, 792}, {0, 0, 612, 792}},
        {"crop box just over one unit", "/CropBox [0 0 1.5 1.5]", "", {0, 0, 612, 792},
         {0, 0, 1.5f, 1.5f}},
        {"crop box outside the media box", "/MediaBox [0 0 100 100] /CropBox [200 200 300 300]", "",
         {0, 0, 100, 100}, {0, 0, 100, 100}},
        {"crop box with three numbers", "/CropBox [0 0 10]", "", {0, 0, 612, 792}, {0, 0, 612, 792}},
        {"both inherited", "", "/MediaBox [0 0 400 500] /CropBox [50 50 350 450]", {0, 0, 400, 500},
         {50, 50, 350, 450}},
        {"page media box, inherited crop box", "/MediaBox [0 0 200 200]", "/CropBox [50 50 350 450]",
         {0, 0, 200, 200}, {50, 50, 200, 200}},
        {"huge coordinates are bounded", "/MediaBox [-99999999999999999999.0 0 99999999999999999999.0 12345678901.5]", "",
         {-1e9f, 0, 1e9f, 1e9f}, {-1e9f, 0, 1e9f, 1e9f}},
    };
    for (const Row &row : rows) {
        Doc d({{1, kCatalog},
               {2, "<< /Type /Pages /Kids [3 0 R] " + row.parent_entries + " >>"},
               {3, "<< /Type /Page /Parent 2 0 R " + row.page_entries + " >>"},
               {8, "500"}});
        ASSERT_EQ(d.rc, 0) << row.what;
        for (int crop = 0; crop < 2; crop++) {
            CropSetting setting(crop);
            PdfBox box;
            pdf_page_box(d.doc, pdf_page(d.doc, 0), &box);
            const PdfBox &want = crop ? row.visible : row.media;
            EXPECT_EQ(box.x0, want.x0) << row.what << " crop " << crop;
            EXPECT_EQ(box.y0, want.y0) << row.what << " crop " << crop;
            EXPECT_EQ(box.x1, want.x1) << row.what << " crop " << crop;
            EXPECT_EQ(box.y1, want.y1) << row.what << " crop " << crop;
        }
    }
}

TEST(PageTree, Rotation)
{
    struct Row {
        const char *rotate;  // the page's Rotate entry ("" for none)
        int view;            // degrees given to pdf_set_view_rotation
        int raw;             // pdf_page_rotate
        int shown;           // pdf_page_rotation
    } rows[] = {
        {"", 0, 0, 0},
        {"90", 0, 90, 90},
        {"-90", 0, -90, 270},
        {"450", 0, 450, 90},
        {"-450", 0, -450, 270},
        {"270", 90, 270, 0},
        {"180.9", 0, 180, 180},      // reals are truncated
        {"45", 0, 45, 0},            // not a multiple of 90: shown unrotated
        {"45", 90, 45, 90},          // ... but the view rotation still applies
        {"2147483647", 270, 2147483647, 270},
        {"99999999999.5", 0, 0, 0},  // a real beyond int range counts as absent
        {"/East", 0, 0, 0},
        {"90", -90, 90, 0},          // view rotation normalised to 270
        {"0", 720, 0, 0},
    };
    for (const Row &row : rows) {
        std::string entry = *row.rotate ? std::string("/Rotate ") + row.rotate : "";
        Doc d({{1, kCatalog}, {2, "<< /Type /Pages /Kids [3 0 R] >>"},
               {3, "<< /Type /Page /Parent 2 0 R " + entry + " >>"}});
        ASSERT_EQ(d.rc, 0);
        pdf_set_view_rotation(d.doc, row.view);
        EXPECT_EQ(d.doc->view_rotation, ((row.view % 360) + 360) % 360);
        PdfObject *p = pdf_page(d.doc, 0);
        EXPECT_EQ(pdf_page_rotate(d.doc, p), row.raw) << row.rotate;
        EXPECT_EQ(pdf_page_rotation(d.doc, p), row.shown) << row.rotate << " view " << row.view;
    }
    pdf_set_view_rotation(nullptr, 90);  // ignored
}

// A file whose table or tree yields no pages: the open repairs once, then
// lists loose Page objects.
TEST(PageTree, OpenWithoutPageTree)
{
    struct Row {
        const char *what;
        std::string text;
        bool repaired;
        int pages;
    } rows[] = {
        {"table lists only the catalogue: repaired, tree walked",
         "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
         "2 0 obj\n<< /Type /Pages /Kids [3 0 R 4 0 R] >>\nendobj\n"
         "3 0 obj\n<< /Type /Page >>\nendobj\n4 0 obj\n<< /Type /Page >>\nendobj\n"
         "xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \n"
         "trailer\n<< /Size 2 /Root 1 0 R >>\n",
         true, 2},
        {"no catalogue anywhere: loose pages in object-number order, Kids not followed",
         "%PDF-1.4\n9 0 obj\n<< /Type /Page /Kids [4 0 R] >>\nendobj\n"
         "4 0 obj\n<< /Type /Page >>\nendobj\n"
         "5 0 obj\n<< /Type /Pages /Kids [4 0 R] >>\nendobj\n"
         "6 0 obj\n<< /Contents 7 0 R >>\nendobj\n",
         true, 2},
        {"nothing that looks like a page",
         "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n2 0 obj\n<< /Type /Pages >>\nendobj\n",
         true, 0},
    };
    for (const Row &row : rows) {
        std::string text = row.text;
        size_t xref = text.find("xref\n");
        if (xref != std::string::npos)
            text += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
        std::string path = testsupport::scratch_path("nopagetree.pdf");
        testsupport::write_file(path, text);
        PdfDoc *doc = nullptr;
        ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0) << row.what;
        EXPECT_EQ(doc->repaired != 0, row.repaired) << row.what;
        EXPECT_EQ(pdf_page_count(doc), row.pages) << row.what;
        pdf_close(doc);
    }
}

}  // namespace
