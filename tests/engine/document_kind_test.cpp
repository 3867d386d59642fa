// Kind detection by content and by name, the text test, and the PDF path of
// the document layer (open codes, page sizes with rotation, kind names, the
// page geometry it shares with the renderer).
#include <gtest/gtest.h>

#include <string>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "pdf/document.h"
#include "render/page.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

std::string file_with(const std::string &name, const std::string &bytes)
{
    std::string path = testsupport::scratch_path(name);
    testsupport::write_file(path, bytes);
    return path;
}

TEST(DocumentKind, SniffsContent)
{
    struct Row {
        std::string bytes;
        DocKind kind;
    } rows[] = {
        {"%PDF-1.4\n", DOC_PDF},
        {"%PDF ", DOC_PDF},
        {"%PDF", DOC_UNKNOWN},  // 5 bytes are needed
        {std::string("II*\0rest", 8), DOC_TIFF},
        {std::string("MM\0*", 4), DOC_TIFF},
        {std::string("II+\0\x08\0\0\0", 8), DOC_TIFF},  // BigTIFF
        {std::string("MM\0+", 4), DOC_TIFF},
        {"\xB1\x68\xDE\x3A....", DOC_DCX},
        {"{\\rtf1\\ansi", DOC_RTF},
        {"{\\rt", DOC_UNKNOWN},
        {"\xC5\xD0\xD3\xC6\x1E\x00\x00\x00", DOC_EPS},
        {"%!PS-Adobe-3.0 EPSF-3.0", DOC_UNKNOWN},  // EPS by content is the later test
        {"", DOC_UNKNOWN},
    };
    for (const Row &row : rows)
        EXPECT_EQ(doc_sniff_kind(file_with("sniff.bin", row.bytes).c_str()), row.kind) << row.bytes;
    EXPECT_EQ(doc_sniff_kind(testsupport::scratch_path("missing.bin").c_str()), DOC_UNKNOWN);
}

TEST(DocumentKind, ExtensionRules)
{
    struct Row {
        const char *path;
        const char *ext;  // null: no extension
    } rows[] = {
        {"a/b/README.ME", "me"},
        {"FILE.1ST", "1st"},
        {"x.tar.GZ", "gz"},
        {"name.abcdefghij", "abcdefg"},
        {"noext", nullptr},
        {"trailing.", ""},
    };
    for (const Row &row : rows) {
        char ext[8];
        bool has = doc_file_extension(row.path, ext);
        EXPECT_EQ(has, row.ext != nullptr) << row.path;
        if (row.ext) {
            EXPECT_STREQ(ext, row.ext) << row.path;
        }
    }
    // Names decide before content: binary content still counts as text/EPS.
    std::string binary("\0\0\0\0", 4);
    EXPECT_TRUE(doc_is_text_file(file_with("README.ME", binary).c_str()));
    EXPECT_TRUE(doc_is_text_file(file_with("FILE.1ST", binary).c_str()));
    EXPECT_TRUE(doc_is_text_file(file_with("x.TEXTxyzw", binary).c_str()) == false);
    EXPECT_TRUE(doc_is_eps_file(file_with("fig.EPSI", binary).c_str()));
    // EPS by content: "%!" first and "EPSF" within the first 256 bytes
    EXPECT_TRUE(doc_is_eps_file(file_with("fig.ps", "%!PS-Adobe-3.0 EPSF-3.0\n").c_str()));
    EXPECT_FALSE(doc_is_eps_file(file_with("fig.ps", "%!PS-Adobe-3.0\n").c_str()));
    EXPECT_FALSE(doc_is_eps_file(file_with("fig.ps", "%!" + std::string(260, ' ') + "EPSF").c_str()));
    EXPECT_FALSE(doc_is_eps_file(file_with("fig.ps", " %!EPSF").c_str()));
}

TEST(DocumentKind, TextTest)
{
    auto with_controls = [](int size, int controls) {
        std::string s(size_t(size), 'a');
        for (int i = 0; i < controls; i++)
            s[size_t(i * 3)] = '\x01';
        return s;
    };
    struct Row {
        std::string bytes;
        bool text;
    } rows[] = {
        {with_controls(100, 10), true},   // exactly 90 % printable
        {with_controls(100, 11), false},
        {"line\r\n\ttabbed\n", true},
        {"caf\xE9 \xFC\xFC", true},        // high bytes count as printable
        {std::string(511, 'a') + '\0', false},
        {std::string(600, 'a') + '\0', true},  // the zero lies beyond the 512-byte sample
        {"", false},
    };
    for (const Row &row : rows)
        EXPECT_EQ(doc_is_text_file(file_with("sample.dat", row.bytes).c_str()), row.text)
            << row.bytes.size() << " bytes";
}

// The PDF without its "%PDF-" line (offsets now off by its length).
std::string headerless_pdf(int pages)
{
    const std::string pdf = testsupport::simple_pdf(pages);
    return pdf.substr(pdf.find('\n') + 1);
}

TEST(DocumentKind, OpenDispatch)
{
    struct Row {
        const char *name;
        std::string bytes;
        int rc;
        const char *kind;
    } rows[] = {
        {"doc.pdf", testsupport::simple_pdf(2), 0, "PDF Document"},
        {"doc.txt", testsupport::simple_pdf(2), 0, "PDF Document"},  // content wins
        {"short.pdf", "%PDF", 0, "Text Document"},  // not sniffed as PDF; four printable bytes pass the text test
        {"image.pdf", std::string("II*\0\0\0\0\0", 8), -1, nullptr},  // a TIFF without image directories
        {"notes.txt", "plain words\n", 0, "Text Document"},
        {"blob.bin", std::string(64, '\0'), -2, nullptr},
        // "%PDF-" within the first 1024 bytes: tried as PDF before the text test.
        {"late.dat", std::string(1018, '#') + "\n" + testsupport::simple_pdf(2), 0, "PDF Document"},
        {"later.dat", std::string(1019, '#') + "\n" + testsupport::simple_pdf(2), 0, "Text Document"},
        // Not a PDF after all: the text test decides (the PDF opener would say -2).
        {"mention.dat", "notes on %PDF-1.7 headers\n", 0, "Text Document"},
        // A text quoting a whole page-less PDF: the repair scan would make an
        // empty PDF of it.
        {"tutorial.txt",
         "How a PDF starts:\n%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj\n"
         "<< /Type /Pages /Kids [] /Count 0 >>\nendobj\ntrailer\n<< /Root 1 0 R >>\n%%EOF\nThat is all.\n",
         0, "Text Document"},
        {"mention.bin", "x%PDF-" + std::string(64, '\0'), -2, nullptr},  // binary: the PDF's code
        // No header at all, but an object header at a line start: tried as PDF first.
        {"headerless.dat", headerless_pdf(2), 0, "PDF Document"},
        {"binhead.dat", "%\xE2\xE3\xCF\xD3\n" + headerless_pdf(2), 0, "PDF Document"},
        // Object syntax in prose: no pages as PDF, so text.
        {"syntax.dat", "write\n1 0 obj\n<< /Type /Catalog >>\nendobj\nto start\n", 0, "Text Document"},
        // A PDF without pages is no document: -1; found late, behind junk,
        // the text test decides (this one is all printable).
        {"empty.pdf", testsupport::simple_pdf(0), -1, nullptr},
        {"empty.dat", "junk\n" + testsupport::simple_pdf(0), 0, "Text Document"},
    };
    for (const Row &row : rows) {
        Document *doc = reinterpret_cast<Document *>(1);
        int rc = doc_open(&doc, file_with(row.name, row.bytes).c_str(), nullptr);
        EXPECT_EQ(rc, row.rc) << row.name;
        if (rc != 0) {
            EXPECT_EQ(doc, nullptr);
            continue;
        }
        EXPECT_STREQ(doc_kind_name(doc), row.kind) << row.name;
        const bool pdf = std::string(row.kind) == "PDF Document";
        if (pdf) {
            EXPECT_EQ(doc_page_count(doc), 2);
        }
        EXPECT_EQ(doc_has_text(doc), 1);
        EXPECT_EQ(doc_pdf(doc) != nullptr, pdf) << row.name;
        doc_close(doc);
    }
    EXPECT_EQ(doc_open(nullptr, "x", nullptr), -2);
    EXPECT_STREQ(doc_kind_name(nullptr), "");
    EXPECT_EQ(doc_page_count(nullptr), 0);
    doc_close(nullptr);
}

// A line of junk before the header passes the text test; the file opens as
// the PDF it is.
TEST(DocumentKind, JunkBeforeHeaderOpensAsPdf)
{
    Document *doc = nullptr;
    const std::string path =
        file_with("junk-before-header.pdf", "leading junk line\n" + testsupport::simple_pdf(3));
    ASSERT_EQ(doc_open(&doc, path.c_str(), nullptr), 0);
    EXPECT_STREQ(doc_kind_name(doc), "PDF Document");
    EXPECT_EQ(doc_page_count(doc), 3);
    EXPECT_FALSE(doc_kind_mismatch(doc, path.c_str()));
    doc_close(doc);
}

TEST(DocumentKind, CorpusLeadingJunkOpensAsPdf)
{
    SKIP_WITHOUT_CORPUS();
    const std::string path = testsupport::corpus_dir() + "/pdf/qpdf-leading-junk.pdf";
    if (testsupport::read_file(path).empty())
        GTEST_SKIP() << "qpdf-leading-junk.pdf not in the corpus";
    Document *doc = nullptr;
    ASSERT_EQ(doc_open(&doc, path.c_str(), nullptr), 0);
    EXPECT_STREQ(doc_kind_name(doc), "PDF Document");
    EXPECT_GE(doc_page_count(doc), 1);
    doc_close(doc);
}

// A page box of astronomic size: the document layer and the renderer agree
// on one clamped size, and nothing converts an out-of-range float to int.
TEST(DocumentKind, HugePageNumbersGiveOneClampedSize)
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /MediaBox [0 0 "
             "99999999999999999999999 1" + std::string(400, '0') + "] >>");
    b.startxref(b.xref_section("/Size 4 /Root 1 0 R"));
    Document *doc = nullptr;
    ASSERT_EQ(doc_open(&doc, file_with("huge-page-numbers.pdf", b.str()).c_str(), nullptr), 0);
    struct Row {
        float scale;
        int side;  // both sides: the box is clamped square
    } rows[] = {
        {1.0f, PAGE_MAX_PIXELS},
        {1e30f, PAGE_MAX_PIXELS},
        {1e-5f, 10000},  // the box's sides are clamped to 1e9 points
        {1e-12f, 1},
    };
    for (const Row &row : rows) {
        int dw = 0, dh = 0, pw = 0, ph = 0;
        ASSERT_EQ(doc_page_pixel_size(doc, 0, row.scale, &dw, &dh), 0);
        ASSERT_EQ(page_pixel_size(doc_pdf(doc), 0, row.scale, &pw, &ph), 0);
        EXPECT_EQ(dw, row.side) << row.scale;
        EXPECT_EQ(dh, row.side) << row.scale;
        EXPECT_EQ(pw, dw) << row.scale;
        EXPECT_EQ(ph, dh) << row.scale;
    }
    // The driver's band has the width the document layer reports.
    PageBitmap *band = nullptr;
    ASSERT_EQ(doc_render_page(doc, 0, 1e-5f, 5000, 2, &band), 0);
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(band->width, 10000);
    EXPECT_EQ(band->height, 2);
    bitmap_free(band);
    doc_close(doc);
}

TEST(DocumentKind, PdfPageSizeAndRotation)
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /MediaBox [0 0 200 100] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Rotate 270 >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /MediaBox [10 10 60 110] >>");
    b.obj(5, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 50 100] /Rotate 45 >>");
    b.startxref(b.xref_section("/Size 6 /Root 1 0 R"));
    Document *doc = nullptr;
    ASSERT_EQ(doc_open(&doc, file_with("rot.pdf", b.str()).c_str(), nullptr), 0);
    float w, h;
    int rot;
    struct Row {
        int turns;  // doc_rotate applied before this row
        int page;
        float w, h;
        int rot;
        int w_px, h_px;  // at scale 2
    } rows[] = {
        {0, 0, 200, 100, 270, 200, 400},
        {1, 0, 200, 100, 0, 400, 200},  // 270 + one quarter turn
        {0, 1, 50, 100, 90, 200, 100},
        {3, 1, 50, 100, 0, 100, 200},
        // A Rotate that is not a multiple of 90 counts as 0; the view still turns.
        {0, 2, 50, 100, 0, 100, 200},
        {1, 2, 50, 100, 90, 200, 100},
        {3, 2, 50, 100, 0, 100, 200},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(doc_rotate(doc, row.turns), 1);
        ASSERT_EQ(doc_page_size(doc, row.page, &w, &h, &rot), 0);
        EXPECT_EQ(w, row.w);
        EXPECT_EQ(h, row.h);
        EXPECT_EQ(rot, row.rot);
        int wp, hp;
        ASSERT_EQ(doc_page_pixel_size(doc, row.page, 2.0f, &wp, &hp), 0);
        EXPECT_EQ(wp, row.w_px);
        EXPECT_EQ(hp, row.h_px);
    }
    // out of range: defaults written, page pixel size reports the missing page
    EXPECT_EQ(doc_page_size(doc, 9, &w, &h, &rot), 0);
    EXPECT_EQ(w, 612);
    EXPECT_EQ(h, 792);
    int wp, hp;
    EXPECT_EQ(doc_page_pixel_size(doc, 9, 1.0f, &wp, &hp), -4);
    EXPECT_EQ(doc_page_size(nullptr, 0, &w, &h, &rot), -2);
    EXPECT_EQ(doc_rotate(nullptr, 1), 0);
    doc_close(doc);
}

TEST(DocumentKind, TypeMismatchNotice)
{
    struct Row {
        const char *name;
        std::string bytes;
        bool notice;
    } rows[] = {
        {"a.pdf", testsupport::simple_pdf(), false},
        {"a.txt", testsupport::simple_pdf(), true},
        {"a.RTF", testsupport::simple_pdf(), true},
        {"a.dat", testsupport::simple_pdf(), false},  // unchecked extension
        {"a", testsupport::simple_pdf(), false},
    };
    for (const Row &row : rows) {
        Document *doc = nullptr;
        std::string path = file_with(row.name, row.bytes);
        ASSERT_EQ(doc_open(&doc, path.c_str(), nullptr), 0);
        EXPECT_EQ(doc_kind_mismatch(doc, path.c_str()), row.notice) << row.name;
        doc_close(doc);
    }
    // kinds whose readers come later: the rule only looks at kind and name
    struct KindRow {
        int kind;
        const char *name;
        bool notice;
    } kinds[] = {
        {DOC_RTF, "a.txt", false},  // "Rich Text Document" contains "Text"
        {DOC_TEXT, "a.rtf", true},
        {DOC_TIFF, "x.pdf", true},
        {DOC_TIFF, "x.TIFF", false},
        {DOC_EPS, "x.epsf", false},
        {DOC_DCX, "x.log", true},
    };
    for (const KindRow &row : kinds) {
        Document fake{};
        fake.kind = row.kind;
        EXPECT_EQ(doc_kind_mismatch(&fake, row.name), row.notice) << row.name;
    }
    EXPECT_STREQ(doc_expected_kind_text("txt"), "Text");
    EXPECT_STREQ(doc_expected_kind_text("epsi"), "EPS");
    EXPECT_EQ(doc_expected_kind_text("png"), nullptr);
}

}  // namespace
