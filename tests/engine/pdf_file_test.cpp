// Opening PDF files: the cross-reference chain (classic, stream, hybrid,
// updates, Prev loops), the repair scan, object streams, stream lengths and
// the fetch guards. Documents are written as text by the PDF builder.
#include <gtest/gtest.h>

#include <string>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/pages.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "pdf_builder.h"
#include "test_support.h"

using testsupport::PdfBuilder;

namespace {

// An open document over a scratch file, closed at scope end.
struct Opened {
    PdfDoc *doc = nullptr;
    int rc = 0;
    Opened(const std::string &name, const std::string &bytes, const char *password = nullptr)
    {
        std::string path = testsupport::scratch_path(name);
        testsupport::write_file(path, bytes);
        rc = pdf_open(&doc, path.c_str(), password);
    }
    ~Opened() { pdf_close(doc); }
    int int_of(int num) { return pdf_to_int(pdf_fetch(doc, num, 0), -999); }
};

const char *kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";
const char *kPages = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
const char *kPage = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>";

std::string read_stream(PdfDoc *doc, PdfObject *stream)
{
    return testsupport::read_and_close(pdf_open_stream(doc, stream));
}

TEST(PdfOpen, ClassicTable)
{
    Opened o("classic.pdf", testsupport::simple_pdf(3));
    ASSERT_EQ(o.rc, 0);
    EXPECT_EQ(o.doc->page_count, 3);
    EXPECT_FALSE(o.doc->repaired);
    EXPECT_STREQ(o.doc->version, "1.4");
    EXPECT_EQ(o.doc->xref_size, 6);
    EXPECT_TRUE(pdf_is_name(pdf_dict_get(pdf_page(o.doc, 2), "Type"), "Page"));
}

TEST(PdfOpen, StreamTableWithObjectStreams)
{
    PdfBuilder b("%PDF-1.5\n");
    b.objstm(10, {{1, kCatalog}, {2, kPages}, {3, kPage}, {4, "42"}});
    int64_t x = b.xref_stream(11, "/Root 1 0 R");
    b.startxref(x);
    Opened o("xrefstm.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    EXPECT_FALSE(o.doc->repaired);
    EXPECT_EQ(o.doc->page_count, 1);
    EXPECT_EQ(o.int_of(4), 42);
    EXPECT_EQ(pdf_xref_slot(o.doc, 4)->entry.type, 2);
    EXPECT_EQ(pdf_xref_slot(o.doc, 4)->entry.offset, 10);
}

TEST(PdfOpen, ObjectStreamIgnoresWrongIndexAndBadHeaders)
{
    // The entry index of object 4 is wrong (7); the lookup goes by number.
    PdfBuilder b("%PDF-1.5\n");
    b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage);
    b.objstm(10, {{5, "(five)"}, {4, "[4]"}}, false);
    b.stream(12, "/Type /ObjStm /N 1 /First 1000", "1 0 7");   // First beyond the data
    b.stream(13, "/Type /ObjStm /N 0 /First 0", "1 0 7");      // N out of range
    int64_t x = b.xref_stream(11, "/Root 1 0 R");
    b.startxref(x);
    Opened o("objstm.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    pdf_xref_slot(o.doc, 4)->entry.gen = 7;
    EXPECT_EQ(pdf_to_int(pdf_array_get(pdf_fetch(o.doc, 4, 0), 0), -1), 4);
    EXPECT_EQ(pdf_objstm_fetch(o.doc, 10, 99), nullptr);
    EXPECT_EQ(pdf_objstm_fetch(o.doc, 12, 1), nullptr);
    EXPECT_EQ(pdf_objstm_fetch(o.doc, 13, 1), nullptr);
    EXPECT_EQ(pdf_objstm_fetch(o.doc, 3, 1), nullptr);  // not a stream
}

// The first fetch from an object stream reads the stream once and caches
// every object the table places in it; a copy of a number the table places
// elsewhere, and a repeated number's second copy, are not taken.
TEST(PdfOpen, ObjectStreamReadOnceForAllItsObjects)
{
    PdfBuilder b("%PDF-1.5\n");
    b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage);
    b.objstm(10, {{20, "20"}, {21, "<< /A 21 >>"}, {22, "(stale)"}, {23, "[23]"}, {21, "(second copy)"}});
    b.obj(22, "(plain)");
    int64_t x = b.xref_stream(11, "/Root 1 0 R");
    b.startxref(x);
    Opened o("objstm_once.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    ASSERT_EQ(pdf_xref_slot(o.doc, 22)->entry.type, 1);  // the plain copy is the table's
    EXPECT_EQ(o.int_of(20), 20);
    EXPECT_TRUE(pdf_xref_slot(o.doc, 10)->objstm_read);
    EXPECT_EQ(pdf_to_int(pdf_dict_get(pdf_xref_slot(o.doc, 21)->obj, "A"), 0), 21);
    EXPECT_EQ(pdf_array_len(pdf_xref_slot(o.doc, 23)->obj), 1);
    EXPECT_EQ(pdf_xref_slot(o.doc, 22)->obj, nullptr);
    PdfObject *plain = pdf_fetch(o.doc, 22, 0);
    ASSERT_TRUE(pdf_is_type(plain, PDF_STRING));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(plain->bytes), size_t(plain->length)), "plain");
}

TEST(PdfOpen, HybridFile)
{
    // Classic table: 4 free with generation 0 (found through XRefStm),
    // 5 free with generation 1 (stays free).
    PdfBuilder b;
    b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage);
    b.objstm(6, {{4, "44"}, {5, "55"}});
    int64_t stm = b.xref_stream(7, "");
    // the classic section covers everything again, with 4 and 5 marked free
    std::string table = "xref\n0 8\n0000000000 65535 f \n";
    for (int n = 1; n <= 7; n++) {
        char line[32];
        if (n == 4)
            std::snprintf(line, sizeof line, "0000000000 00000 f \n");
        else if (n == 5)
            std::snprintf(line, sizeof line, "0000000000 00001 f \n");
        else
            std::snprintf(line, sizeof line, "%010lld 00000 n \n", (long long)b.offset_of(n));
        table += line;
    }
    int64_t x = b.size();
    b.raw(table + "trailer\n<< /Size 8 /Root 1 0 R /XRefStm " + std::to_string(stm) + " >>\n");
    b.startxref(x);
    Opened o("hybrid.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    EXPECT_FALSE(o.doc->repaired);
    EXPECT_EQ(o.int_of(4), 44);
    EXPECT_EQ(pdf_fetch(o.doc, 5, 0), nullptr);
    EXPECT_EQ(o.doc->page_count, 1);
}

TEST(PdfOpen, UpdateSectionsAndPrevLoops)
{
    struct Row {
        const char *what;
        int prev_mode;  // 0 older section via Prev, 1 Prev to itself, 2 Prev to garbage
        int expect_rc;
        int expect_repaired;
        int expect_obj5;
    } rows[] = {
        {"update redefines object 5", 0, 0, 0, 2},
        {"Prev loop stops after 64 sections", 1, 0, 0, 2},
        {"Prev to garbage triggers repair", 2, 0, 1, 2},
    };
    for (const Row &row : rows) {
        PdfBuilder b;
        b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage).obj(5, "1");
        int64_t first = b.xref_section("/Size 6 /Root 1 0 R");
        b.startxref(first);
        b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage).obj(5, "2");
        int64_t second = b.size();
        std::string prev = row.prev_mode == 0 ? std::to_string(first)
                           : row.prev_mode == 1 ? std::to_string(second)
                                                : std::to_string(first + 3);
        b.xref_section("/Size 6 /Root 1 0 R /Prev " + prev);
        b.startxref(second);
        Opened o("update.pdf", b.str());
        ASSERT_EQ(o.rc, row.expect_rc) << row.what;
        EXPECT_EQ(o.doc->repaired, row.expect_repaired) << row.what;
        EXPECT_EQ(o.int_of(5), row.expect_obj5) << row.what;
        EXPECT_EQ(o.doc->page_count, 1) << row.what;
    }
}

// Cross-reference streams written by hand: W and Index variants.
TEST(PdfOpen, StreamTableFields)
{
    struct Row {
        const char *what;
        const char *dict;
        std::string rows;
        int num;  // entry to check
        XrefEntry expect;
        int size;
    } rows[] = {
        {"W [1 2 1] with two Index pairs", "/W [1 2 1] /Index [0 3 10 2] /Size 12",
         std::string("\x00\x00\x00\xff\x01\x00\x10\x00\x01\x00\x20\x00\x02\x00\x09\x03\x01\x00\x30\x05", 20), 11,
         {0x30, 5, 1}, 12},
        {"same, checking the compressed entry", "/W [1 2 1] /Index [0 3 10 2] /Size 12",
         std::string("\x00\x00\x00\xff\x01\x00\x10\x00\x01\x00\x20\x00\x02\x00\x09\x03\x01\x00\x30\x05", 20), 10,
         {9, 3, 2}, 12},
        {"W [0 3 0]: type 1, generation 0", "/W [0 3 0] /Size 2", std::string("\x00\x00\x00\x00\x00\x40", 6), 1,
         {0x40, 0, 1}, 2},
        {"rows stop at the end of the data", "/W [1 1 1] /Size 5", std::string("\x01\x10\x00\x01\x20\x00", 6), 1,
         {0x20, 0, 1}, 2},
        {"unknown type is free", "/W [1 1 1] /Size 2", std::string("\x01\x10\x00\x07\x20\x03", 6), 1, {0, 3, 0}, 2},
    };
    for (const Row &row : rows) {
        PdfBuilder b("%PDF-1.5\n");
        b.raw(std::string(300, ' ') + "\n");
        int64_t x = b.size();
        b.raw("1 0 obj\n<< /Type /XRef " + std::string(row.dict) + " /Length " + std::to_string(row.rows.size()) +
              " >>\nstream\n" + row.rows + "\nendstream\nendobj\n");
        b.startxref(x);
        std::string path = testsupport::scratch_path("xrefw.pdf");
        testsupport::write_file(path, b.str());
        // Only the table is of interest: read the chain on a bare document.
        Arena *a = arena_create(0);
        auto *doc = static_cast<PdfDoc *>(arena_alloc(a, sizeof(PdfDoc)));
        doc->arena = a;
        doc->path = const_cast<char *>(path.c_str());
        doc->file = reader_open_file(path.c_str());
        doc->file_size = b.size();
        ASSERT_EQ(pdf_read_xref_chain(doc), 0) << row.what;
        EXPECT_EQ(doc->xref_size, row.size) << row.what;
        ASSERT_NE(pdf_xref_slot(doc, row.num), nullptr) << row.what;
        const XrefEntry &e = pdf_xref_slot(doc, row.num)->entry;
        EXPECT_EQ(e.offset, row.expect.offset) << row.what;
        EXPECT_EQ(e.gen, row.expect.gen) << row.what;
        EXPECT_EQ(e.type, row.expect.type) << row.what;
        reader_close(doc->file);
        arena_destroy(a);
    }
}

TEST(PdfOpen, HeaderVersion)
{
    struct Row {
        std::string prefix;
        const char *version;
    } rows[] = {
        {"%PDF-1.7\n", "1.7"},
        {"junk%PDF-2.0\n", "2.0"},
        {std::string(1015, ' ') + "%PDF-1.3\n", "1.3"},  // last position that still fits
        {std::string(1016, ' ') + "%PDF-1.3\n", "?"},
        {"%PDF-12.345678\n", "12.3456"},
        {"%PDF-x\n", "?"},
    };
    for (const Row &row : rows) {
        PdfBuilder b(row.prefix);
        b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage);
        b.startxref(b.xref_section("/Size 4 /Root 1 0 R"));
        Opened o("header.pdf", b.str());
        ASSERT_EQ(o.rc, 0);
        EXPECT_STREQ(o.doc->version, row.version);
        EXPECT_EQ(o.doc->page_count, 1);
        EXPECT_FALSE(o.doc->repaired);
    }
}

TEST(PdfOpen, RepairScan)
{
    struct Row {
        const char *what;
        std::string text;
        int pages;
        const char *trailer_key;  // present in the final trailer, or null
    } rows[] = {
        {"startxref into the middle of an object",
         "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj\n<< /Type /Pages /Kids [3 0 R] >>\n"
         "endobj\n3 0 obj\n<< /Type /Page >>\nendobj\ntrailer\n<< /Root 1 0 R /Mark 1 >>\nstartxref\n20\n%%EOF\n",
         1, "Mark"},
        {"no trailer: pages from the object scan",
         "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n7 0 obj\n<< /Type /Page >>\nendobj\n"
         "8 0 obj\n<< /Type /Page >>\nendobj\n9 0 obj\n<< /Type /Pages >>\nendobj\n",
         2, nullptr},
        {"several trailers: the last wins",
         "%PDF-1.4\n1 0 obj\n<< /Type /Pages /Kids [] >>\nendobj\n2 0 obj\n<< /Type /Catalog /Pages 3 0 R >>\n"
         "endobj\n3 0 obj\n<< /Type /Pages /Kids [4 0 R] >>\nendobj\n4 0 obj\n<< /Type /Page >>\nendobj\n"
         "trailer << /Root 9 0 R >>\ntrailer\n<< /Root 2 0 R /Last true >>\n",
         1, "Last"},
        {"later definition of an object wins",
         "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj\n<< /Kids [] >>\nendobj\n"
         "2 0 obj\n<< /Kids [3 0 R 3 0 R] >>\nendobj\n3 0 obj\n<< /Contents 4 0 R >>\nendobj\n"
         "trailer\n<< /Root 1 0 R >>\n",
         2, "Root"},
        {"headers need whitespace and boundaries",
         "%PDF-1.4\n1 0 obj<< /Type /Catalog /Pages 2 0 R >>endobj 2 0 obj<</Kids[3 0 R]>>endobj\n"
         "3 0 obj<</Type/Page>>endobj x4 0 obj<</Type/Page>>endobj 50obj<</Type/Page>>endobj\n"
         "trailer<</Root 1 0 R>>",
         1, "Root"},
    };
    for (const Row &row : rows) {
        Opened o("repair.pdf", row.text);
        ASSERT_EQ(o.rc, 0) << row.what;
        EXPECT_TRUE(o.doc->repaired) << row.what;
        EXPECT_EQ(o.doc->page_count, row.pages) << row.what;
        ASSERT_TRUE(pdf_is_type(o.doc->trailer, PDF_DICT)) << row.what;
        if (row.trailer_key)
            EXPECT_NE(pdf_dict_get(o.doc->trailer, row.trailer_key), nullptr) << row.what;
        else
            EXPECT_EQ(o.doc->trailer->count, 0) << row.what;
    }
}

// Objects that live only in object streams survive a repair; a plain
// definition of the same number wins over the compressed one.
TEST(PdfOpen, RepairKeepsObjectStreams)
{
    PdfBuilder b("%PDF-1.5\n");
    b.objstm(10, {{1, kCatalog}, {2, kPages}, {3, kPage}, {4, "(old)"}, {5, "5"}});
    b.objstm(12, {{4, "(new)"}});
    b.obj(5, "(plain)");
    b.xref_stream(11, "/Root 1 0 R");
    b.raw("trailer\n<< /Root 1 0 R >>\n");
    b.startxref(7);  // points into the header
    Opened o("repair_objstm.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    EXPECT_TRUE(o.doc->repaired);
    EXPECT_EQ(o.doc->page_count, 1);
    PdfObject *four = pdf_fetch(o.doc, 4, 0);
    ASSERT_TRUE(pdf_is_type(four, PDF_STRING));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(four->bytes), size_t(four->length)), "new");
    EXPECT_TRUE(pdf_is_type(pdf_fetch(o.doc, 5, 0), PDF_STRING));
}

TEST(PdfOpen, ReadableTableWithoutPagesIsRepaired)
{
    // The table lists only the catalogue; the page tree is found by the scan.
    std::string body =
        "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj\n<< /Type /Pages /Kids [3 0 R] >>\n"
        "endobj\n3 0 obj\n<< /Type /Page >>\nendobj\n";
    PdfBuilder b(body);
    int64_t x = b.size();
    b.raw("xref\n0 2\n0000000000 65535 f \n0000000009 00000 n \ntrailer\n<< /Size 2 /Root 1 0 R >>\n");
    b.startxref(x);
    Opened o("nopages.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    EXPECT_TRUE(o.doc->repaired);
    EXPECT_EQ(o.doc->page_count, 1);
}

TEST(PdfOpen, StreamLengths)
{
    struct Row {
        const char *what;
        std::string object;  // object 4
        const char *data;    // expected decoded data, or null for a null object
    } rows[] = {
        {"declared length", "<< /Length 5 >>\nstream\nhello\nendstream", "hello"},
        {"length beyond the file, CR LF removed", "<< /Length 99999 >>\nstream\nhello\r\nendstream", "hello"},
        {"missing length, LF removed", "<< >>\nstream\r\nab\ncd\nendstream", "ab\ncd"},
        {"lone CR before endstream removed", "<< /Length -1 >>\nstream\rxy\rendstream", "xy"},
        {"indirect length", "<< /Length 5 0 R >>\nstream\nabc\nendstream", "abc"},
        // A Length short of "endstream" would cut the data: the scan wins.
        {"length short of endstream", "<< /Length 5 0 R >>\nstream\nabcdefgh\nendstream", "abcdefgh"},
        {"length ending on spaces before endstream", "<< /Length 3 >>\nstream\nabc \r\n endstream", "abc"},
        // The declared Length stands where the scan cannot be right: the
        // data hold the word, or the stream's own keyword is missing and
        // the next one found lies past "endobj".
        {"endstream inside the data", "<< /Length 11 >>\nstream\nendstreamxyz\nendstream", "endstreamxy"},
        {"no endstream before endobj", "<< /Length 3 >>\nstream\nabcendobj\n6 0 obj\n<< >>\nstream\nx\nendstream",
         "abc"},
        {"length referring to itself", "<< /Length 4 0 R >>\nstream\nself\nendstream", "self"},
        {"data start at a non-EOL byte", "<< /Length 4 >>\nstream XYZ\nendstream", " XYZ"},
        {"compressed data", "<< /Filter /FlateDecode /Length 99999 >>\nstream\n" +
                                testsupport::deflate_bytes("inflated!") + "\nendstream",
         "inflated!"},
    };
    for (const Row &row : rows) {
        PdfBuilder b;
        b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage).obj(4, row.object).obj(5, "3");
        b.startxref(b.xref_section("/Size 6 /Root 1 0 R"));
        Opened o("lengths.pdf", b.str());
        ASSERT_EQ(o.rc, 0) << row.what;
        PdfObject *s = pdf_fetch(o.doc, 4, 0);
        ASSERT_TRUE(pdf_is_type(s, PDF_STREAM)) << row.what;
        EXPECT_EQ(read_stream(o.doc, s), row.data) << row.what;
        EXPECT_EQ(s->num, 4);
    }
    // data running to the end of the file without "endstream": null
    PdfBuilder b;
    b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage);
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R"));
    int64_t at = b.size();
    b.raw("4 0 obj\n<< /Length 99999 >>\nstream\nno end here");
    Opened o("noend.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    EXPECT_EQ(pdf_read_indirect(o.doc, at, 4, 0), nullptr);
}

TEST(PdfOpen, FetchGuards)
{
    PdfBuilder b;
    b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage);
    b.obj(4, "5 0 R").obj(5, "4 0 R").obj(6, "[6 0 R]").obj(7, "7");
    b.startxref(b.xref_section("/Size 8 /Root 1 0 R"));
    Opened o("guards.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    EXPECT_EQ(pdf_fetch(o.doc, -1, 0), nullptr);
    EXPECT_EQ(pdf_fetch(o.doc, 8, 0), nullptr);
    EXPECT_EQ(pdf_fetch(o.doc, 0, 0), nullptr);  // free
    PdfObject ref{};
    ref.type = PDF_REF;
    ref.num = 4;
    EXPECT_EQ(pdf_resolve(o.doc, &ref), nullptr);  // 4 -> 5 -> 4 ... more than 32 references
    ref.num = 7;
    EXPECT_EQ(pdf_to_int(pdf_resolve(o.doc, &ref), 0), 7);
    EXPECT_EQ(pdf_resolve(nullptr, &ref), nullptr);
    PdfObject *self = pdf_fetch(o.doc, 6, 0);
    EXPECT_EQ(pdf_fetch(o.doc, 6, 0), self);  // cached: the same record
    EXPECT_EQ(o.doc->fetch_depth, 0);
    EXPECT_EQ(pdf_xref_slot(o.doc, 6)->loading, 0);
}

TEST(PdfOpen, EncryptedFileReportsUnsupported)
{
    PdfBuilder b;
    b.obj(1, kCatalog).obj(2, kPages).obj(3, kPage);
    b.obj(4, "<< /Filter /Standard /V 1 /R 2 /O <00> /U <00> /P -4 >>");
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R /Encrypt 4 0 R"));
    Opened o("enc.pdf", b.str());
    EXPECT_EQ(o.rc, -7);
    EXPECT_EQ(o.doc, nullptr);
}

TEST(PdfOpen, PageAttributes)
{
    PdfBuilder b;
    b.obj(1, kCatalog);
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /MediaBox [600 800 0 0] /Rotate 90 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 20 30] /Rotate -90 >>");
    b.obj(5, "<< /Parent 2 0 R /Contents 6 0 R /CropBox [-5 -5 100 0.5] /Rotate 180.7 >>");
    b.startxref(b.xref_section("/Size 6 /Root 1 0 R"));
    Opened o("attrs.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    ASSERT_EQ(o.doc->page_count, 3);
    struct Row {
        int page;
        PdfBox box;
        int rotate;
    } rows[] = {
        {0, {0, 0, 600, 800}, 90},   // inherited, normalised
        {1, {0, 0, 612, 792}, -90},  // five numbers: default box
        {2, {0, 0, 600, 800}, 180},  // degenerate crop box ignored; real truncated
    };
    pdf_set_crop_to_cropbox(1);
    for (const Row &row : rows) {
        PdfBox box;
        pdf_page_box(o.doc, pdf_page(o.doc, row.page), &box);
        EXPECT_EQ(box.x0, row.box.x0);
        EXPECT_EQ(box.y0, row.box.y0);
        EXPECT_EQ(box.x1, row.box.x1);
        EXPECT_EQ(box.y1, row.box.y1);
        EXPECT_EQ(pdf_page_rotate(o.doc, pdf_page(o.doc, row.page)), row.rotate);
    }
    pdf_set_crop_to_cropbox(0);
}

}  // namespace
