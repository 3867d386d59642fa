// Decoding chains built from stream dictionaries: filter names and abbreviations,
// parameter arrays, indirect entries, unsupported filters, and pdf_open_stream on files
// written by the PDF builder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jpeg_support.h"
#include "pdf/document.h"
#include "pdf/filters.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "pdf/limits.h"
#include "pdf/pages.h"
#include "pdf_builder.h"
#include "stack_support.h"
#include "test_support.h"

using testsupport::PdfBuilder;
using testsupport::run_on_stack;
using testsupport::WIN32_DEFAULT_STACK;

namespace {

#define S(literal) std::string(literal, sizeof(literal) - 1)

std::string ascii85(const std::string &data)
{
    std::string out;
    for (size_t i = 0; i < data.size(); i += 4) {
        size_t n = std::min<size_t>(4, data.size() - i);
        uint32_t v = 0;
        for (size_t k = 0; k < 4; k++)
            v = v << 8 | (k < n ? uint8_t(data[i + k]) : 0);
        char d[5];
        for (int k = 4; k >= 0; k--, v /= 85)
            d[k] = char('!' + v % 85);
        out.append(d, n + 1);
    }
    return out + "~>";
}

std::string hex(const std::string &data)
{
    std::string out;
    for (unsigned char c : data) {
        out += "0123456789ABCDEF"[c >> 4];
        out += "0123456789ABCDEF"[c & 15];
    }
    return out + ">";
}

// Two rows of four bytes, PNG-filtered with Sub and Up.
const std::string PNG_ROWS = S("\x01\x01\x01\x01\x01\x02\x01\x01\x01\x01");
const std::string PNG_PLAIN = S("\x01\x02\x03\x04\x02\x03\x04\x05");

std::string tiny_jpeg_rgb()
{
    const std::vector<uint8_t> jpeg = testsupport::jpeg_encode(8, 2, 3, JCS_RGB, [](int, int, int) { return 0; });
    return std::string(jpeg.begin(), jpeg.end());
}

// A document whose object 4 is a stream with the given dictionary entries and data;
// objects 5 and 6 are there for indirect entries.
struct StreamDoc {
    PdfDoc *doc = nullptr;
    PdfObject *stream = nullptr;
    StreamDoc(const std::string &dict, const std::string &data)
    {
        PdfBuilder b;
        b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >>");
        b.stream(4, dict, data);
        b.obj(5, "/FlateDecode");
        b.obj(6, "<< /Predictor 12 /Columns 4 >>");
        int64_t x = b.xref_section("/Size 7 /Root 1 0 R");
        b.startxref(x);
        std::string path = testsupport::scratch_path("chain.pdf");
        testsupport::write_file(path, b.str());
        if (pdf_open(&doc, path.c_str(), nullptr) == 0)
            stream = pdf_fetch(doc, 4, 0);
    }
    ~StreamDoc() { pdf_close(doc); }
};

std::string drain(ByteReader *r) { return testsupport::read_and_close(r); }

TEST(FilterChain, OpenStream)
{
    const std::string z = testsupport::deflate_bytes(PNG_ROWS);
    struct Row {
        const char *what;
        std::string dict, data, expected;
    };
    const Row rows[] = {
        {"no filter", "", "plain", "plain"},
        {"a name", "/Filter /ASCIIHexDecode", "414243>", "ABC"},
        {"abbreviated key and name", "/F /AHx", "414243>", "ABC"},
        {"two filters in order", "/Filter [/AHx /A85]", hex("9jqo^~>"), "Man "},
        {"parameters only for the second filter", "/Filter [/A85 /Fl] /DecodeParms [null << /Predictor 12 /Columns 4 >>]",
         ascii85(z), PNG_PLAIN},
        {"one dictionary applies to the first filter only", "/Filter [/AHx /Fl] /DP << /Predictor 12 /Columns 4 >>",
         hex(z), PNG_ROWS},
        {"indirect filter and parameters", "/Filter 5 0 R /DecodeParms 6 0 R", z, PNG_PLAIN},
        {"indirect array elements", "/Filter [5 0 R] /DecodeParms [6 0 R]", z, PNG_PLAIN},
        {"one-element parameter array beside a name", "/Filter /Fl /DecodeParms [<< /Predictor 12 /Columns 4 >>]", z, PNG_PLAIN},
        {"predictor 1 is none", "/Filter /Fl /DecodeParms << /Predictor 1 /Columns 4 >>", z, PNG_ROWS},
        {"invalid predictor parameters", "/Filter /Fl /DecodeParms << /Predictor 12 /Colors 0 >>", z, "<null>"},
        {"RunLength", "/Filter /RL", S("\x02" "abc" "\xfd" "d" "\x80"), "abcdddd"},
        {"LZW EarlyChange 0", "/Filter /LZW /DecodeParms << /EarlyChange 0 >>", S("\x80\x10\x48\x44\x38\x08"), "ABC"},
        {"CCITT G4", "/Filter /CCF /DecodeParms << /K -1 /Columns 8 /Rows 1 >>", S("\x80"), "\xff"},
        {"BlackIs1 needs a boolean", "/Filter /CCF /DecodeParms << /K -1 /Columns 8 /Rows 1 /BlackIs1 1 >>", S("\x80"), "\xff"},
        {"BlackIs1 true", "/Filter /CCF /DecodeParms << /K -1 /Columns 8 /Rows 1 /BlackIs1 true >>", S("\x80"), S("\x00")},
        {"the stream length ends the data", "/Filter /AHx", "4142", "AB"},
        {"a filter that is not a name or array", "/Filter 7", "as is", "as is"},
        {"empty filter array", "/Filter []", "as is", "as is"},
        {"unsupported filter", "/Filter /JPXDecode", "x", "<null>"},
        {"DCT refused for plain streams", "/Filter /DCT", "x", "<null>"},
        {"unknown filter in an array", "/Filter [/AHx /JBIG2Decode]", "41>", "<null>"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        StreamDoc d(row.dict, row.data);
        ASSERT_NE(d.stream, nullptr);
        EXPECT_EQ(drain(pdf_open_stream(d.doc, d.stream)), row.expected);
    }
}

TEST(FilterChain, UnsupportedNamesAndComponents)
{
    const std::string jpeg = tiny_jpeg_rgb();
    struct Row {
        const char *what;
        std::string dict, data;
        int components;
        const char *unsupported;  // null: the chain is built
        int decoded_size;
    };
    const Row rows[] = {
        {"JPX without components", "/Filter /JPXDecode", "x", 0, "JPXDecode", 0},
        {"JPX for images: built; broken data decode to nothing", "/Filter /JPXDecode", "x", 3, nullptr, 0},
        {"JBIG2 after Flate without components", "/Filter [/Fl /JBIG2Decode]", "x", 0, "JBIG2Decode", 0},
        {"JBIG2 for images: built; broken data decode to nothing", "/Filter [/AHx /JBIG2Decode]", "9741>", 1,
         nullptr, 0},
        {"Crypt", "/Filter [/Crypt]", "x", 0, "Crypt", 0},
        {"DCT without components", "/Filter /DCT", jpeg, 0, "DCTDecode", 0},
        {"DCT grey", "/Filter /DCTDecode", jpeg, 1, nullptr, 8 * 2},
        {"DCT RGB asked for 4", "/Filter /DCT", jpeg, 4, nullptr, 8 * 2 * 3},
        {"DCT behind ASCIIHex", "/Filter [/AHx /DCT]", hex(jpeg), 3, nullptr, 8 * 2 * 3},
        {"invalid predictor: no name", "/Filter /Fl /DecodeParms << /Predictor 12 /Columns 0 >>", "x", 0, nullptr, -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        StreamDoc d(row.dict, row.data);
        ASSERT_NE(d.stream, nullptr);
        ByteReader *raw = pdf_open_raw_stream(d.doc, d.stream);
        ASSERT_NE(raw, nullptr);
        const char *name = "untouched";
        ByteReader *r = pdf_apply_filters(d.doc, raw, d.stream->dict, &name, row.components);
        if (row.unsupported) {
            EXPECT_EQ(r, nullptr);
            EXPECT_STREQ(name, row.unsupported);
            reader_close_chain(raw);  // still the caller's
        } else if (row.decoded_size < 0) {
            EXPECT_EQ(r, nullptr);
            EXPECT_EQ(name, nullptr);
            reader_close_chain(raw);
        } else {
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(name, nullptr);
            EXPECT_EQ(drain(r).size(), size_t(row.decoded_size));
        }
    }
}

TEST(FilterChain, InterleavedStreamsOfOneDocument)
{
    StreamDoc d("/Filter /AHx", "41424344454647>");
    ASSERT_NE(d.stream, nullptr);
    ByteReader *a = pdf_open_stream(d.doc, d.stream);
    ByteReader *b = pdf_open_stream(d.doc, d.stream);
    ASSERT_TRUE(a && b);
    std::string s;
    for (int i = 0; i < 7; i++) {
        s += char(reader_getc(a));
        s += char(reader_getc(b));
    }
    EXPECT_EQ(s, "AABBCCDDEEFFGG");
    reader_close_chain(a);
    reader_close_chain(b);
}

// RunLength literal runs of the data, then the end byte.
std::string runlength(const std::string &data)
{
    std::string out;
    for (size_t i = 0; i < data.size(); i += 128) {
        const std::string chunk = data.substr(i, 128);
        out += char(chunk.size() - 1) + chunk;
    }
    return out + "\x80";
}

std::string repeat(const std::string &item, int n)
{
    std::string out;
    for (int i = 0; i < n; i++)
        out += item;
    return out;
}

// Every read through a chain nests one call per filter: a chain of the longest allowed
// length decodes on a 1 MiB stack; one filter more and the chain is refused.
TEST(FilterChain, ChainLengthIsBounded)
{
    const std::string plain = "BT /F1 12 Tf (chained) Tj ET";
    struct Row {
        int filters;
        bool built;
    };
    const Row rows[] = {{1, true}, {PDF_MAX_FILTERS, true}, {PDF_MAX_FILTERS + 1, false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.filters);
        std::string data = plain;
        for (int i = 0; i < row.filters; i++)
            data = runlength(data);
        StreamDoc d("/Filter [" + repeat("/RL ", row.filters) + "]", data);
        ASSERT_NE(d.stream, nullptr);
        std::string got;
        ASSERT_TRUE(run_on_stack(WIN32_DEFAULT_STACK, [&] { got = drain(pdf_open_stream(d.doc, d.stream)); }));
        EXPECT_EQ(got, row.built ? plain : "<null>");
    }
}

// A page whose content stream declares 100,000 filters: the chain is refused before any
// filter is built (no stack overflow, no memory per filter); the document and its other
// streams stay usable.
TEST(FilterChain, HundredThousandFiltersOnAContentStream)
{
    PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents [4 0 R 5 0 R] >>");
    b.stream(4, "/Filter [" + repeat("/AHx ", 100000) + "]", ">");
    b.stream(5, "/Filter /AHx", "3020302032302031302072652066>");
    b.startxref(b.xref_section("/Size 6 /Root 1 0 R"));
    const std::string path = testsupport::scratch_path("filter-chain-100000.pdf");
    ASSERT_TRUE(testsupport::write_file(path, b.str()));
    ASSERT_TRUE(run_on_stack(WIN32_DEFAULT_STACK, [&] {
        PdfDoc *doc = nullptr;
        ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
        EXPECT_EQ(pdf_page_count(doc), 1);
        EXPECT_EQ(drain(pdf_open_stream(doc, pdf_fetch(doc, 4, 0))), "<null>");
        EXPECT_EQ(drain(pdf_open_stream(doc, pdf_fetch(doc, 5, 0))), "0 0 20 10 re f");
        pdf_close(doc);
    }));
}

// The same chain on the cross-reference stream: that section fails and the repair scan
// opens the file.
TEST(FilterChain, HundredThousandFiltersOnTheXrefStream)
{
    PdfBuilder b("%PDF-1.5\n");
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>");
    b.startxref(b.xref_stream(4, "/Root 1 0 R /Filter [" + repeat("/RL ", 100000) + "]", false));
    const std::string path = testsupport::scratch_path("filter-chain-xrefstream.pdf");
    ASSERT_TRUE(testsupport::write_file(path, b.str()));
    ASSERT_TRUE(run_on_stack(WIN32_DEFAULT_STACK, [&] {
        PdfDoc *doc = nullptr;
        ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
        EXPECT_EQ(doc->repaired, 1);
        EXPECT_EQ(pdf_page_count(doc), 1);
        pdf_close(doc);
    }));
}

}  // namespace
