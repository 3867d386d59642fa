// Damaged and hostile input: empty, truncated and random files, deep
// nesting, self-referencing lengths and absurd declared sizes must give a
// clean status without crashing, hanging or unbounded memory; plus a sweep
// over every PDF of the shared corpus.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <sstream>
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

const std::set<int> kOpenCodes = {0, -1, -2, -3, -5, -6, -7};

// Touches every object (up to a limit), decodes every stream and asks for
// every page box.
void walk_document(PdfDoc *doc, int max_objects)
{
    for (int i = 0; i < doc->xref_size && i < max_objects; i++) {
        PdfObject *o = pdf_fetch(doc, i, 0);
        if (pdf_is_type(o, PDF_STREAM)) {
            if (ByteReader *r = pdf_open_stream(doc, o)) {
                uint8_t buf[4096];
                while (reader_read(r, buf, sizeof buf) > 0) {
                }
                reader_close_chain(r);
            }
        }
    }
    for (int p = 0; p < doc->page_count; p++) {
        PdfBox box;
        pdf_page_box(doc, pdf_page(doc, p), &box);
    }
}

size_t g_last_arena_bytes = 0;  // document arena size of the last open_and_walk

// Opens the bytes as a file and walks the document.
int open_and_walk(const std::string &name, const std::string &bytes)
{
    g_last_arena_bytes = 0;
    std::string path = testsupport::scratch_path(name);
    testsupport::write_file(path, bytes);
    PdfDoc *doc = nullptr;
    int rc = pdf_open(&doc, path.c_str(), nullptr);
    if (rc == 0) {
        walk_document(doc, 5000);
        g_last_arena_bytes = doc->arena->total;
    }
    pdf_close(doc);
    return rc;
}

TEST(PdfHostile, EmptyTruncatedAndRandom)
{
    EXPECT_EQ(open_and_walk("empty.pdf", ""), -2);
    EXPECT_EQ(pdf_open(nullptr, "x", nullptr), -1);
    PdfDoc *doc = reinterpret_cast<PdfDoc *>(1);
    EXPECT_EQ(pdf_open(&doc, testsupport::scratch_path("does-not-exist.pdf").c_str(), nullptr), -1);
    EXPECT_EQ(doc, nullptr);
    pdf_close(nullptr);

    // every prefix of a compressed document (in steps) and of a plain one
    PdfBuilder b("%PDF-1.5\n");
    b.objstm(10, {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] >>"}});
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.stream(4, "/Filter /FlateDecode", testsupport::deflate_bytes("0 0 m 10 10 l S"));
    b.startxref(b.xref_stream(11, "/Root 1 0 R"));
    for (const std::string &full : {b.str(), testsupport::simple_pdf(3)}) {
        for (size_t n = 0; n <= full.size(); n += 7) {
            int rc = open_and_walk("trunc.pdf", full.substr(0, n));
            EXPECT_TRUE(kOpenCodes.count(rc)) << "prefix " << n << " gave " << rc;
        }
    }
    std::mt19937 rng(1234);
    for (int i = 0; i < 200; i++) {
        std::string bytes(size_t(rng() % 3000), '\0');
        for (char &c : bytes)
            c = char(rng() % 256);
        if (i % 2)  // half of them look like PDF to the sniffers and keywords
            bytes = "%PDF-1.4\n1 0 obj << /Length 2 0 R >> stream\n" + bytes + "\ntrailer << /Root 1 0 R >>";
        int rc = open_and_walk("random.pdf", bytes);
        EXPECT_TRUE(kOpenCodes.count(rc)) << "random file " << i << " gave " << rc;
    }
}

// Mutations of a valid file: single bytes flipped through the whole file.
TEST(PdfHostile, ByteMutations)
{
    PdfBuilder b("%PDF-1.5\n");
    b.objstm(10, {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [3 0 R] >>"}}, false);
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >>");
    b.startxref(b.xref_stream(11, "/Root 1 0 R", false));
    const std::string full = b.str();
    const char replacements[] = {'\0', '<', '(', '[', '9', ' ', '/', '\xff'};
    for (size_t i = 0; i < full.size(); i++) {
        std::string m = full;
        m[i] = replacements[i % sizeof replacements];
        int rc = open_and_walk("mut.pdf", m);
        EXPECT_TRUE(kOpenCodes.count(rc)) << "byte " << i << " gave " << rc;
    }
}

TEST(PdfHostile, AbsurdDeclarations)
{
    struct Row {
        const char *what;
        std::string text;
    } rows[] = {
        {"deep nesting in an object",
         "%PDF-1.4\n1 0 obj\n" + std::string(200000, '[') + "\nendobj\ntrailer << /Root 1 0 R >>"},
        {"deep nesting of dictionaries",
         "%PDF-1.4\n1 0 obj\n" + [] {
             std::string s;
             for (int i = 0; i < 20000; i++)
                 s += "<</A ";
             return s;
         }() + "\nendobj\n"},
        {"classic table with a huge count",
         "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\nxref\n0 2147483647\n0000000000 65535 f \n"
         "trailer << /Size 2147483647 /Root 1 0 R >>\nstartxref\n43\n%%EOF\n"},
        {"classic table with a huge start",
         "%PDF-1.4\n1 0 obj << >> endobj\nxref\n2147483600 2\n0000000009 00000 n \n0000000009 00000 n \n"
         "trailer << /Size 5 >>\nstartxref\n28\n%%EOF\n"},
        {"xref stream with huge Size, W and Index",
         "%PDF-1.5\n1 0 obj << /Type /XRef /Size 2147483647 /W [4 4 4] /Index [0 2147483647 "
         "2147483600 100] /Length 12 >>\nstream\nAAAABBBBCCCC\nendstream\nendobj\nstartxref\n9\n%%EOF\n"},
        {"xref stream with W beyond 4", "%PDF-1.5\n1 0 obj << /Type /XRef /Size 3 /W [1 99999999 1] "
                                         "/Length 3 >>\nstream\nabc\nendstream\nendobj\nstartxref\n9\n%%EOF\n"},
        {"object stream with huge N and First",
         "%PDF-1.5\n1 0 obj << /Type /ObjStm /N 2147483647 /First 2147483647 /Length 3 >>\nstream\n1 0\n"
         "endstream endobj\n2 0 obj << /Type /Catalog /Pages 1 0 R >> endobj\n"},
        {"Length referring to itself",
         "%PDF-1.4\n1 0 obj << /Length 1 0 R >>\nstream\nabc\nendstream\nendobj\ntrailer << /Root 1 0 R >>"},
        {"Length chain of references",
         "%PDF-1.4\n1 0 obj << /Length 2 0 R >>\nstream\nabc\nendstream\nendobj\n2 0 obj 3 0 R endobj\n"
         "3 0 obj 2 0 R endobj\ntrailer << /Root 1 0 R >>"},
        {"page tree cycle", "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                            "2 0 obj << /Kids [2 0 R 3 0 R 2 0 R] >> endobj\n3 0 obj << /Kids [2 0 R 3 0 R] >> "
                            "endobj\ntrailer << /Root 1 0 R >>"},
        {"many streams sharing one distant endstream",
         "%PDF-1.4\n" + [] {
             std::string s;
             for (int i = 1; i <= 30000; i++)
                 s += std::to_string(i) + " 0 obj << /Type /Page >> stream\nxx\n";
             return s;
         }() + "endstream\n"},
        {"many streams without any endstream",
         "%PDF-1.4\n" + [] {
             std::string s;
             for (int i = 1; i <= 30000; i++)
                 s += std::to_string(i) + " 0 obj << /Length 99999999 >> stream\nxx\n";
             return s;
         }()},
        {"many trailers, each without Root",
         "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\n" + [] {
             std::string s;
             for (int i = 0; i < 300000; i++)
                 s += "trailer << /Size 2 /A [1 2 3 4 5 6 7 8] >>\n";
             return s;
         }()},
        {"many cross-reference stream dictionaries",
         "%PDF-1.5\n" + [] {
             std::string s;
             for (int i = 1; i <= 30000; i++)
                 s += std::to_string(i) + " 0 obj << /Type /XRef /Length " + std::to_string(i) +
                      " 0 R >> stream\nxx\nendstream endobj\n";
             return s;
         }()},
        {"startxref far beyond the file", "%PDF-1.4\n1 0 obj 1 endobj\nstartxref\n99999999999999999999\n"},
        {"huge object number in repair", "%PDF-1.4\n99999999999 0 obj 1 endobj\n8388607 0 obj 2 endobj\n"},
        {"negative numbers", "%PDF-1.4\nxref\n-5 -1\ntrailer << /Prev -7 >>\nstartxref\n9\n"},
    };
    for (const Row &row : rows) {
        auto start = std::chrono::steady_clock::now();
        int rc = open_and_walk("absurd.pdf", row.text);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(kOpenCodes.count(rc)) << row.what << " gave " << rc;
        EXPECT_LT(seconds, 20.0) << row.what;
        // The largest legal object number costs a table of 8 M entries and
        // its cache (about 170 MB); nothing may cost more.
        EXPECT_LT(g_last_arena_bytes, size_t(200) << 20) << row.what;
    }
}

// The repair scan refuses files over 64 MiB with -5.
TEST(PdfHostile, RepairSizeLimit)
{
    std::string path = testsupport::scratch_path("big.pdf");
    {
        FILE *f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("%PDF-1.4\n", f);
        std::fseek(f, (64 << 20) + 10, SEEK_SET);
        std::fputc('x', f);
        std::fclose(f);
    }
    PdfDoc *doc = nullptr;
    EXPECT_EQ(pdf_open(&doc, path.c_str(), nullptr), -5);
    std::remove(path.c_str());
}

// Every PDF of the shared corpus opens with 0 or a meaningful code, the
// encrypted ones with the user password of the reference table (else the
// owner's). Prints the codes with their files and the page-count agreement.
TEST(PdfCorpus, SweepOpensEveryFile)
{
    SKIP_WITHOUT_CORPUS();
    struct Ref {
        std::string pages;  // qpdf, else mutool; ERR when neither could count
        std::string password;
        bool has_password = false;
    };
    std::map<std::string, Ref> refs;
    std::istringstream tsv(testsupport::read_file(testsupport::corpus_dir() + "/pdf_ref.tsv"));
    for (std::string line; std::getline(tsv, line);) {
        std::istringstream cols(line);
        std::string col[6];
        for (std::string &c : col)
            std::getline(cols, c, '\t');
        Ref &ref = refs[col[0].substr(col[0].rfind('/') + 1)];
        ref.pages = col[2];
        bool user_known = false, owner_known = false;
        const std::string user = testsupport::corpus_password(col[5], "user", &user_known);
        const std::string owner = testsupport::corpus_password(col[5], "owner", &owner_known);
        ref.has_password = user_known || owner_known;
        ref.password = user_known ? user : owner;
    }
    std::map<int, int> codes;
    std::map<int, std::string> files_by_code;
    int repaired = 0, same_pages = 0, total = 0, no_reference = 0;
    std::string differing;
    for (const std::string &path : testsupport::corpus_files("pdf", ".pdf")) {
        std::string name = path.substr(path.rfind('/') + 1);
        const Ref &ref = refs[name];
        PdfDoc *doc = nullptr;
        int rc = pdf_open(&doc, path.c_str(), ref.has_password ? ref.password.c_str() : nullptr);
        EXPECT_TRUE(kOpenCodes.count(rc)) << name << " gave " << rc;
        codes[rc]++;
        total++;
        if (rc != 0)
            files_by_code[rc] += " " + name;
        if (rc == 0) {
            repaired += doc->repaired;
            if (ref.pages == std::to_string(doc->page_count))
                same_pages++;
            else if (ref.pages == "ERR")
                no_reference++;
            else
                differing += " " + name + "(" + std::to_string(doc->page_count) + "/" + ref.pages + ")";
            walk_document(doc, 1 << 30);
        }
        pdf_close(doc);
    }
    std::string summary;
    for (auto [code, n] : codes) {
        char item[32];
        std::snprintf(item, sizeof item, " %d:%d", code, n);
        summary += item;
    }
    std::printf("corpus sweep: %d files; codes%s; repaired %d; page count as reference %d of %d opened "
                "(%d without a reference count)\n",
                total, summary.c_str(), repaired, same_pages, codes[0], no_reference);
    for (const auto &[code, files] : files_by_code)
        std::printf("corpus sweep: code %d:%s\n", code, files.c_str());
    std::printf("corpus sweep: page counts differing (ours/reference):%s\n", differing.c_str());
    EXPECT_GT(total, 0);
}

}  // namespace
