// Damaged and hostile input: empty, truncated and random files, deep
// nesting, self-referencing lengths and absurd declared sizes must give a
// clean status without crashing, hanging or unbounded memory; plus a sweep
// over every PDF of the shared corpus.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/pages.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "pdf/xref.h"
#include "render/page.h"
#include "bitmap/bitmap.h"

#include <zlib.h>

#ifndef _WIN32
#include "command_support.h"
#endif
#include "corpus_pages.h"
#include "pdf_builder.h"
#include "test_support.h"

using testsupport::PdfBuilder;

namespace {

const std::set<int> kOpenCodes = {0, -1, -2, -3, -5, -6, -7};

// Touches every object (up to a limit), decodes every stream and asks for
// every page box.
void walk_document(PdfDoc *doc, int max_objects)
{
    for (int i = pdf_xref_next(doc, 0); i >= 0 && i < max_objects; i = pdf_xref_next(doc, i + 1)) {
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
        int rc = open_and_walk("absurd.pdf", row.text);
        EXPECT_TRUE(kOpenCodes.count(rc)) << row.what << " gave " << rc;
        // Memory follows what the file holds (at most a few megabytes here),
        // not the numbers and sizes it declares.
        EXPECT_LT(g_last_arena_bytes, size_t(32) << 20) << row.what;
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

// ---- Hostile files that once cost far too much, or lost pages ----

const char *kReproCatalog = "<< /Type /Catalog /Pages 2 0 R >>";
const char *kReproContent = "0 0 1 rg 10 10 50 50 re f";

std::string repro_page(int width, const std::string &extra = "")
{
    return "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(width) + " 100] /Contents 4 0 R" +
           extra + " >>";
}

// Runs `pagrix-render info` on the file under a memory and processor-time
// limit; true when it exits 0. Skips (true) where processes cannot be limited
// or the tool is not built.
bool info_within_limits(const std::string &path, long memory_mb, int cpu_seconds, long *peak_kb)
{
#if defined(_WIN32)
    (void)path, (void)memory_mb, (void)cpu_seconds, (void)peak_kb;
    return true;
#else
#if defined(__SANITIZE_ADDRESS__)
    memory_mb = 0;  // the tool may be the sanitizer build: its shadow needs the address space
#endif
    const std::string tool = testsupport::pagrix_render_path();
    if (tool.empty())
        return true;
    testsupport::LimitedRun run = testsupport::run_limited(tool + " info '" + path + "'", memory_mb, cpu_seconds);
    *peak_kb = run.peak_rss_kb;
    return run.exit_status == 0 && run.signal == 0;
#endif
}

struct OpenedRepro {
    PdfDoc *doc = nullptr;
    int rc = -1;
    std::string path;
    OpenedRepro(const std::string &name, const std::string &bytes) : path(testsupport::scratch_path(name))
    {
        testsupport::write_file(path, bytes);
        rc = pdf_open(&doc, path.c_str(), nullptr);
    }
    ~OpenedRepro() { pdf_close(doc); }
    float page_width(int i)
    {
        PdfBox box{};
        pdf_page_box(doc, pdf_page(doc, i), &box);
        return box.x1 - box.x0;
    }
};

// A page dictionary of 200,000 keys: building it must be linear (it took
// minutes when every insertion searched all keys before it).
TEST(PdfRepro, DictionaryOf200000Keys)
{
    std::string extra;
    for (int i = 0; i < 200000; i++)
        extra += " /k" + std::to_string(i) + " " + std::to_string(i);
    PdfBuilder b;
    b.obj(1, kReproCatalog).obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>").obj(3, repro_page(200, extra));
    b.stream(4, "", kReproContent);
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R"));
    const std::string path = testsupport::scratch_path("dict-200k-keys.pdf");
    testsupport::write_file(path, b.str());
    // First in a limited process: quadratic insertion would run for minutes.
    long peak = 0;
    ASSERT_TRUE(info_within_limits(path, 256, 5, &peak)) << "peak " << peak << " KB";
    OpenedRepro o("dict-200k-keys.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    ASSERT_EQ(pdf_page_count(o.doc), 1);
    EXPECT_EQ(pdf_to_int(pdf_dict_get(pdf_page(o.doc, 0), "k199999"), -1), 199999);
}

// zlib data of `prefix` followed by `zeros` zero bytes, made from one shared
// compressed run of zeros: a stored block for the prefix, the run, an empty
// final block and the checksum of the whole.
std::string zlib_with_zero_tail(const std::string &prefix, const std::string &zero_run, uLong zeros)
{
    std::string out("\x78\x01", 2);
    const size_t n = prefix.size();
    out += char(0);  // stored block, not final
    out += char(n & 0xFF);
    out += char(n >> 8);
    out += char(~n & 0xFF);
    out += char((~n >> 8) & 0xFF);
    out += prefix;
    out += zero_run;
    out += std::string("\x01\x00\x00\xff\xff", 5);  // final empty stored block
    uLong head = adler32(1, reinterpret_cast<const Bytef *>(prefix.data()), uInt(n));
    uLong zero_sum = adler32(1, nullptr, 0);
    std::string zero_chunk(1 << 16, '\0');
    for (uLong done = 0; done < zeros; done += zero_chunk.size())
        zero_sum = adler32(zero_sum, reinterpret_cast<const Bytef *>(zero_chunk.data()), uInt(zero_chunk.size()));
    uLong sum = adler32_combine(head, zero_sum, z_off_t(zeros));
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((sum >> shift) & 0xFF);
    return out;
}

// Raw deflate of `zeros` zero bytes, flushed to a byte boundary, not final.
std::string raw_zero_run(uLong zeros)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string in(1 << 20, '\0'), out;
    std::string buf(1 << 16, '\0');
    for (uLong done = 0; done < zeros; done += in.size()) {
        z.next_in = reinterpret_cast<Bytef *>(in.data());
        z.avail_in = uInt(in.size());
        const int flush = done + in.size() >= zeros ? Z_SYNC_FLUSH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef *>(buf.data());
            z.avail_out = uInt(buf.size());
            deflate(&z, flush);
            out.append(buf.data(), buf.size() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return out;
}

// Twenty object streams, each holding one page and then 16 MiB of zeros:
// reading a page must not decode, let alone keep, the zeros (it once took
// every stream whole: 64 MiB each in the original file, over a gigabyte).
TEST(PdfRepro, ObjectStreamBombs)
{
    const uLong zeros = 16 << 20;
    const std::string run = raw_zero_run(zeros);
    PdfBuilder b("%PDF-1.5\n");
    std::string kids;
    for (int i = 0; i < 20; i++)
        kids += std::to_string(100 + i) + " 0 R ";
    b.obj(1, kReproCatalog).obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count 20 >>");
    b.stream(4, "", kReproContent);
    for (int i = 0; i < 20; i++) {
        const std::string head = std::to_string(100 + i) + " 0 ";
        const std::string plain = head + repro_page(100 + i) + "\n";
        b.stream(10 + i, "/Type /ObjStm /N 1 /First " + std::to_string(head.size()) + " /Filter /FlateDecode",
                 zlib_with_zero_tail(plain, run, zeros));
    }
    for (int i = 0; i < 20; i++)
        b.compressed(100 + i, 10 + i, 0);
    b.startxref(b.xref_stream(50, "/Root 1 0 R"));
    OpenedRepro o("objstm-bombs.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    ASSERT_EQ(pdf_page_count(o.doc), 20);  // as qpdf and mutool count
    for (int i = 0; i < 20; i++)
        EXPECT_EQ(o.page_width(i), 100 + i);
    EXPECT_LT(o.doc->arena->total, size_t(4) << 20);
    long peak = 0;
    EXPECT_TRUE(info_within_limits(o.path, 96, 5, &peak)) << "peak " << peak << " KB";
}

// A 500-byte file whose table defines object 8388606: memory follows the
// objects present (it cost a table of 8 M entries, 200 MB).
TEST(PdfRepro, HighObjectNumber)
{
    PdfBuilder b;
    b.obj(1, kReproCatalog).obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>").obj(3, repro_page(200));
    b.stream(4, "", kReproContent);
    int64_t x = b.xref_section("/Size 5 /Root 1 0 R");
    std::string text = b.str();
    // One more subsection: the highest legal number but one, pointing at the header.
    text.insert(size_t(text.find("trailer", size_t(x))), "8388606 1\n0000000009 00000 n \n");
    PdfBuilder out(text);
    out.startxref(x);
    OpenedRepro o("high-object-number.pdf", out.str());
    ASSERT_EQ(o.rc, 0);
    EXPECT_EQ(pdf_page_count(o.doc), 1);
    EXPECT_EQ(o.doc->xref_size, 8388607);
    EXPECT_EQ(pdf_xref_next(o.doc, 5), 8388606);
    EXPECT_LT(o.doc->arena->total, size_t(1) << 20);
    long peak = 0;
    EXPECT_TRUE(info_within_limits(o.path, 48, 5, &peak)) << "peak " << peak << " KB";
}

// A table offset that does not lead to "num gen obj" of its entry is damage:
// the object is read where a scan finds its header, and the other entries
// stay as they are (the file is not repaired as a whole). qpdf and mutool
// find all three pages of each file.
TEST(PdfRepro, WrongTableOffsetFindsObjectByScan)
{
    struct Row {
        const char *what;
        int shift;  // added to the offset of object 5 in the table
        int gen;    // written as the generation of object 5's entry
    } rows[] = {
        {"offset a few bytes early (inside endobj of 4)", -9, 0},
        {"offset at the header of object 6", 0, 0},  // replaced below
        {"offset past the end of the file", 100000, 0},
        {"right offset, generation of the entry differs", 0, 3},
    };
    for (size_t r = 0; r < sizeof rows / sizeof rows[0]; r++) {
        const Row &row = rows[r];
        PdfBuilder b;
        b.obj(1, kReproCatalog).obj(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 6 0 R] /Count 3 >>");
        b.obj(3, repro_page(200));
        b.stream(4, "", kReproContent);
        b.obj(5, repro_page(300)).obj(6, repro_page(400));
        int64_t x = b.xref_section("/Size 7 /Root 1 0 R");
        std::string text = b.str();
        char good[24], bad[24];
        std::snprintf(good, sizeof good, "%010lld 00000 n", (long long)b.offset_of(5));
        int64_t wrong = r == 1 ? b.offset_of(6) : b.offset_of(5) + row.shift;
        std::snprintf(bad, sizeof bad, "%010lld %05d n", (long long)wrong, row.gen);
        text.replace(text.find(good, size_t(x)), std::strlen(good), bad);
        PdfBuilder out(text);
        out.startxref(x);
        OpenedRepro o("one-xref-offset-wrong.pdf", out.str());
        ASSERT_EQ(o.rc, 0) << row.what;
        EXPECT_FALSE(o.doc->repaired) << row.what;
        ASSERT_EQ(pdf_page_count(o.doc), 3) << row.what;
        EXPECT_EQ(o.page_width(1), 300) << row.what;
        EXPECT_EQ(o.page_width(2), 400) << row.what;
    }
}

// The repair scan skips the data of the streams whose dictionaries it reads:
// a stream holding "3 0 obj" (an embedded file, say) does not redefine
// object 3, whatever way the stream's end is found.
TEST(PdfRepro, RepairSkipsStreamData)
{
    const std::string inner = "junk\n3 0 obj\n<< /Type /Page /MediaBox [0 0 9 9] >>\nendobj\n";
    struct Row {
        const char *what;
        std::string length;  // the Length entry of the stream holding `inner`
    } rows[] = {
        {"direct Length", std::to_string(inner.size())},
        {"Length too long: ends at endstream", "999999"},
        {"Length too short: ends at endstream", "3"},
        {"indirect Length", "9 0 R"},
    };
    for (const Row &row : rows) {
        std::string text = "%PDF-1.4\n";
        auto obj = [&text](int num, const std::string &body) {
            text += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
        };
        obj(1, kReproCatalog);
        obj(2, "<< /Type /Pages /Kids [3 0 R 5 0 R 6 0 R] /Count 3 >>");
        obj(3, repro_page(200));
        obj(4, "<< /Length 25 >>\nstream\n" + std::string(kReproContent) + "\nendstream");
        obj(5, repro_page(300));
        obj(6, repro_page(400));
        obj(8, "<< /Length " + row.length + " >>\nstream\n" + inner + "\nendstream");
        obj(9, std::to_string(inner.size()));
        text += "trailer\n<< /Root 1 0 R >>\n";  // no table: opened by the repair scan
        OpenedRepro o("repair-obj-inside-stream.pdf", text);
        ASSERT_EQ(o.rc, 0) << row.what;
        EXPECT_TRUE(o.doc->repaired) << row.what;
        ASSERT_EQ(pdf_page_count(o.doc), 3) << row.what;
        EXPECT_EQ(o.page_width(0), 200) << row.what;
    }
}

// A value nested too deeply inside a page dictionary becomes null; the page
// and its other entries stay (the whole page was dropped: 0 pages where qpdf
// and mutool find 1).
TEST(PdfRepro, TooDeepValueInPageDictionary)
{
    std::string junk = " /Junk ";
    for (int i = 0; i < 70; i++)
        junk += "<< /A ";
    junk += "1";
    for (int i = 0; i < 70; i++)
        junk += " >>";
    PdfBuilder b;
    b.obj(1, kReproCatalog).obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, repro_page(200, junk + " /Rotate 90"));
    b.stream(4, "", kReproContent);
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R"));
    OpenedRepro o("page-dict-70-deep.pdf", b.str());
    ASSERT_EQ(o.rc, 0);
    ASSERT_EQ(pdf_page_count(o.doc), 1);
    PdfObject *page = pdf_page(o.doc, 0);
    EXPECT_EQ(o.page_width(0), 200);
    EXPECT_EQ(pdf_page_rotate(o.doc, page), 90);  // a key after the deep value
    EXPECT_TRUE(pdf_is_type(pdf_dict_get_resolved(o.doc, page, "Contents"), PDF_STREAM));
    // The first 64 levels are kept; the level beyond the limit reads as null.
    PdfObject *v = pdf_dict_get(page, "Junk");
    int levels = 0;
    for (; pdf_is_type(v, PDF_DICT); levels++)
        v = pdf_dict_get(v, "A");
    EXPECT_EQ(levels, 64);
    EXPECT_TRUE(pdf_is_type(v, PDF_NULL));
    // The page draws its blue square (10..60 from the bottom left; shown turned by 90 degrees).
    PageBitmap *bm = nullptr;
    ASSERT_EQ(render_page(o.doc, 0, 1.0f, 0, 0, &bm), 0);
    ASSERT_EQ(bm->width, 100);
    auto pixel = [bm](int x, int y) {
        const uint8_t *p = bm->pixels + size_t(y) * size_t(bm->stride) + size_t(x) * 3;
        return (int(p[0]) << 16) | (int(p[1]) << 8) | p[2];  // blue, green, red
    };
    EXPECT_EQ(pixel(35, 35), 0xFF0000);  // inside the square: blue
    EXPECT_EQ(pixel(80, 150), 0xFFFFFF);
    bitmap_free(bm);
}

// Every PDF of the shared corpus opens (the encrypted ones with the user
// password of the reference table, else the owner's) and has the reference
// page count, qpdf's else mutool's, except the files of the one exception
// table, whose outcome it states with a reason. Each document is then walked
// (every object fetched, every stream decoded) without a crash.
TEST(PdfCorpus, SweepPageCountsMatchReference)
{
    SKIP_WITHOUT_CORPUS();
    int total = 0, as_reference = 0, excepted = 0, repaired = 0;
    std::string listed;
    for (const std::string &path : testsupport::corpus_files("pdf", ".pdf")) {
        const std::string name = path.substr(path.find_last_of("/\\") + 1);
        const testsupport::CorpusPages want = testsupport::corpus_pages(name);
        PdfDoc *doc = nullptr;
        const int rc = pdf_open(&doc, path.c_str(), want.has_password ? want.password.c_str() : nullptr);
        total++;
        EXPECT_TRUE(want.known) << name << ": no reference count; add it to the exception table";
        EXPECT_EQ(rc, want.open_code) << name;
        const int pages = rc == 0 ? doc->page_count : -1;
        if (rc == 0) {
            EXPECT_EQ(pages, want.pages) << name;
            repaired += doc->repaired;
            walk_document(doc, 1 << 30);
        }
        if (want.reason) {
            excepted++;
            listed += "  " + name + ": open " + std::to_string(rc) + ", " + std::to_string(pages) +
                      " pages: " + want.reason + "\n";
        } else if (rc == 0 && pages == want.pages) {
            as_reference++;
        }
        pdf_close(doc);
    }
    std::printf("corpus sweep: %d files, %d with the reference page count, %d listed exceptions, "
                "%d repaired\n%s",
                total, as_reference, excepted, repaired, listed.c_str());
    EXPECT_GT(total, 0);
}

}  // namespace
