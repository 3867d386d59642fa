// PDF font records: the face (embedded, substituted or none), the encoding
// of simple fonts, widths, Type0 and Type3 records, the per-code queries,
// the record cache and the release of faces. Documents are written as text.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "font_support.h"
#include "fonts/font_scan.h"
#include "fonts/font_state.h"
#include "fonts/pdf_font.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf_builder.h"
#include "test_support.h"

using testsupport::PdfBuilder;

namespace {

struct Obj {
    int num;
    std::string body;
    std::string data;  // a stream when set
    bool is_stream = false;
};

Obj obj(int num, std::string body) { return {num, std::move(body), "", false}; }
Obj stream(int num, std::string dict, std::string data) { return {num, std::move(dict), std::move(data), true}; }

// A one-page document whose page names fonts /F<n> for the font objects
// given (numbers from 10 on); closed, with its faces, at scope end.
struct FontDoc {
    PdfDoc *doc = nullptr;
    explicit FontDoc(const std::vector<Obj> &objects, const std::string &font_resources = "")
    {
        PdfBuilder b;
        b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << /Font << " +
                     font_resources + " >> >> >>");
        int size = 4;
        for (const Obj &o : objects) {
            if (o.is_stream)
                b.stream(o.num, o.body, o.data);
            else
                b.obj(o.num, o.body);
            size = std::max(size, o.num + 1);
        }
        b.startxref(b.xref_section("/Size " + std::to_string(size) + " /Root 1 0 R"));
        std::string path = testsupport::scratch_path("fonts.pdf");
        testsupport::write_file(path, b.str());
        EXPECT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
    }
    ~FontDoc() { pdf_close(doc); }
    PdfFont *font(int num) { return pdf_font_load(doc, pdf_fetch(doc, num, 0)); }
};

// The glyph a base font gives a name, for comparing with the record's table.
uint32_t base_glyph(const char *file, const char *name)
{
    FT_Face face = font_open_base(file);
    if (!face)
        return 0;
    uint32_t g = FT_Get_Name_Index(face, const_cast<char *>(name));
    ft_face_release(face);
    return g;
}

class PdfFontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testsupport::install_base_fonts());
        live_before_ = ft_live_faces();
    }
    // Every test closes its documents: no face may be left behind.
    void TearDown() override { EXPECT_EQ(ft_live_faces(), live_before_); }
    int live_before_ = 0;
};

TEST_F(PdfFontTest, SubstitutedSimpleFontEncodingAndWidths)
{
    FontDoc d({obj(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /FirstChar 65"
                       " /Widths [600 /x 7 0 R] /Encoding << /Differences [65 /a /b 200 /eacute] >> >>"),
               obj(7, "610")});
    PdfFont *f = d.font(10);
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->face, nullptr);
    EXPECT_FALSE(f->embedded);
    EXPECT_STREQ(f->subst_file, "n019004l.pfb");
    struct Row {
        int code;
        const char *glyph;  // name of the glyph expected in the substitute
        uint32_t unicode;
    } const rows[] = {
        {65, "a", 'a'},          // Differences: 65 then the next code
        {66, "b", 'b'},
        {67, "C", 'C'},          // StandardEncoding under the differences
        {200, "eacute", 0xE9},   // the code set by the integer 200
        {0x27, "quoteright", 0x2019},
        {0xC9, nullptr, 0},      // no name: no glyph, no value
        {0x05, nullptr, 0},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(pdf_font_glyph(f, r.code), r.glyph ? base_glyph("n019004l.pfb", r.glyph) : 0u)
            << r.code;
        if (r.glyph) {
            EXPECT_NE(pdf_font_glyph(f, r.code), 0u) << r.code;
        }
        EXPECT_EQ(pdf_font_unicode(f, r.code), r.unicode) << r.code;
    }
    // Widths: a number, a name (skipped: the face's own advance), a reference.
    EXPECT_FLOAT_EQ(pdf_font_width(f, 65), 600);
    EXPECT_FLOAT_EQ(pdf_font_width(f, 66), ft_glyph_advance(f->face, pdf_font_glyph(f, 66)));
    EXPECT_GT(pdf_font_width(f, 66), 100);
    EXPECT_FLOAT_EQ(pdf_font_width(f, 67), 610);
    EXPECT_FLOAT_EQ(pdf_font_advance(f, 65), 0.6f);
    // The same dictionary yields the same record.
    EXPECT_EQ(d.font(10), f);
    EXPECT_EQ(pdf_font_glyph(f, 300), 0u);
    EXPECT_FLOAT_EQ(pdf_font_width(nullptr, 65), 500);
}

TEST_F(PdfFontTest, BuiltInEncodingsAndSymbolicFonts)
{
    FontDoc d({obj(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Arial /Encoding /WinAnsiEncoding >>"),
               obj(11, "<< /Type /Font /Subtype /TrueType /BaseFont /Arial /Encoding /MacRomanEncoding >>"),
               obj(12, "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol /FontDescriptor 13 0 R >>"),
               obj(13, "<< /Type /FontDescriptor /Flags 4 /MissingWidth 250 >>"),
               obj(14, "<< /Type /Font /Subtype /Type1 /BaseFont /Symbol >>"),
               obj(15, "<< /Type /Font /Subtype /Type1 /BaseFont /Arial /Encoding"
                       " << /BaseEncoding /WinAnsiEncoding /Differences [128 /minus] >> >>")});
    PdfFont *win = d.font(10), *mac = d.font(11), *sym = d.font(12), *plain = d.font(14),
            *diff = d.font(15);
    ASSERT_TRUE(win && win->face && mac && mac->face && sym && sym->face && plain && diff && diff->face);
    EXPECT_EQ(pdf_font_unicode(win, 0x80), 0x20ACu);
    EXPECT_EQ(pdf_font_glyph(win, 0x80), base_glyph("n019003l.pfb", "Euro"));
    EXPECT_EQ(pdf_font_unicode(mac, 0x80), 0xC4u);
    EXPECT_EQ(pdf_font_glyph(mac, 0x80), base_glyph("n019003l.pfb", "Adieresis"));
    EXPECT_EQ(pdf_font_unicode(diff, 0x80), 0x2212u);
    EXPECT_EQ(pdf_font_unicode(diff, 0xE9), 0xE9u);  // the base encoding under the differences
    // Symbolic without an Encoding: the face's own encoding ("a" is alpha in Symbol).
    EXPECT_STREQ(sym->subst_file, "s050000l.pfb");
    EXPECT_EQ(pdf_font_glyph(sym, 'a'), base_glyph("s050000l.pfb", "alpha"));
    EXPECT_EQ(pdf_font_unicode(sym, 'a'), uint32_t('a'));  // printable ASCII stands for itself
    EXPECT_FLOAT_EQ(pdf_font_width(sym, 'a'), 250);        // MissingWidth
    // Not symbolic: StandardEncoding by name, and "a" has no glyph named "a" in Symbol.
    EXPECT_NE(pdf_font_glyph(plain, 'a'), base_glyph("s050000l.pfb", "alpha"));
}

TEST_F(PdfFontTest, EmbeddedProgramsSharedAndRejected)
{
    const std::string pfb = testsupport::base_font_bytes("n021003l.pfb");
    ASSERT_FALSE(pfb.empty());
    std::mt19937 rng(7);
    std::string junk(3000, 0);
    for (char &c : junk)
        c = char(rng());
    FontDoc d({obj(10, "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+Custom /FontDescriptor 20 0 R >>"),
               obj(11, "<< /Type /Font /Subtype /Type1 /BaseFont /Other /FontDescriptor 21 0 R >>"),
               obj(12, "<< /Type /Font /Subtype /TrueType /BaseFont /Arial-BoldMT /FontDescriptor 22 0 R >>"),
               obj(20, "<< /Type /FontDescriptor /Flags 32 /FontFile 30 0 R >>"),
               obj(21, "<< /Type /FontDescriptor /Flags 32 /FontFile 30 0 R >>"),
               // Random bytes first; then an empty stream: both fall through to substitution.
               obj(22, "<< /Type /FontDescriptor /Flags 32 /FontFile2 31 0 R /FontFile3 32 0 R >>"),
               stream(30, "", pfb), stream(31, "", junk), stream(32, "", "")});
    PdfFont *a = d.font(10), *b = d.font(11), *junked = d.font(12);
    ASSERT_TRUE(a && b && junked);
    EXPECT_TRUE(a->embedded);
    EXPECT_TRUE(b->embedded);
    ASSERT_TRUE(a->face && b->face);
    EXPECT_NE(a->face, b->face);  // each record its own face, over one decoded copy
    int decoded = 0;
    for (PdfFontFile *file = d.doc->font_files; file; file = file->next)
        decoded++;
    EXPECT_EQ(decoded, 3);
    EXPECT_EQ(a->subst_file, nullptr);
    EXPECT_EQ(pdf_font_glyph(a, 'A'), base_glyph("n021003l.pfb", "A"));
    EXPECT_FALSE(junked->embedded);
    EXPECT_NE(junked->face, nullptr);
    EXPECT_STREQ(junked->subst_file, "n019004l.pfb");
}

// Dictionaries that substitute the same base font share one face, each with
// its own encoding; closing the document releases every share (TearDown).
TEST_F(PdfFontTest, SubstitutesOfOneBaseFontShareAFace)
{
    FontDoc d({obj(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"),
               obj(11, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica"
                       " /Encoding << /Differences [65 /B] >> >>"),
               obj(12, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>")});
    PdfFont *a = d.font(10), *b = d.font(11), *bold = d.font(12);
    ASSERT_TRUE(a && b && bold && a->face && b->face && bold->face);
    EXPECT_EQ(a->face, b->face);
    EXPECT_NE(a->face, bold->face);
    EXPECT_EQ(pdf_font_glyph(a, 'A'), base_glyph("n019003l.pfb", "A"));
    EXPECT_EQ(pdf_font_glyph(b, 'A'), base_glyph("n019003l.pfb", "B"));
    EXPECT_EQ(pdf_font_glyph(a, 'A'), base_glyph("n019003l.pfb", "A"));
}

TEST_F(PdfFontTest, Type0WidthsAndCidToGidMap)
{
    FontDoc d({obj(10, "<< /Type /Font /Subtype /Type0 /BaseFont /Arial /Encoding /Identity-H"
                       " /DescendantFonts [20 0 R] >>"),
               obj(20, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Arial /DW 500"
                       " /W [1 [100 /x 300] 10 20 700 40 30 999 /junk 50 [7 0 R] 60 61 62.5]"
                       " /CIDToGIDMap 30 0 R >>"),
               stream(30, "", std::string("\x00\x00\x00\x05\x01\x07", 6)),
               obj(7, "[1]"),
               obj(11, "<< /Type /Font /Subtype /Type0 /BaseFont /Arial /DescendantFonts [21 0 R] >>"),
               obj(21, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Arial /CIDToGIDMap /Identity >>"),
               obj(12, "<< /Type /Font /Subtype /Type0 /BaseFont /Arial /DescendantFonts [22 0 R] >>"),
               obj(22, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Arial /CIDToGIDMap 31 0 R >>"),
               stream(31, "", std::string("\x07", 1)),
               obj(13, "<< /Type /Font /Subtype /Type0 /BaseFont /Arial >>")});
    PdfFont *f = d.font(10);
    ASSERT_TRUE(f && f->is_cid && f->face);
    struct Width {
        uint32_t cid;
        float width;
    } const widths[] = {
        {0, 500},    // before every group: DW
        {1, 100},    // c [w...]
        {2, 500},    // a name inside the list: DW
        {3, 300},
        {4, 500},    // past the list
        {10, 700},   // c1 c2 w, both ends
        {20, 700},
        {21, 500},
        {35, 500},   // 40 30: reversed, covers nothing
        {50, 500},   // an indirect width is not followed
        {61, 62.5f},
        // Asked again, and CIDs that share a remembered slot with earlier ones.
        {10 + FONT_CID_WIDTH_SLOTS, 500},
        {10, 700},
        {1 + FONT_CID_WIDTH_SLOTS, 500},
        {1, 100},
        {61, 62.5f},
    };
    for (const Width &w : widths)
        EXPECT_FLOAT_EQ(pdf_font_width(f, w.cid), w.width) << w.cid;
    struct Glyph {
        uint32_t cid;
        uint32_t gid;
    } const glyphs[] = {{0, 0}, {1, 5}, {2, 0x107}, {3, 0}, {70000, 0}};
    for (const Glyph &g : glyphs)
        EXPECT_EQ(pdf_font_glyph(f, g.cid), g.gid) << g.cid;
    EXPECT_FLOAT_EQ(pdf_font_advance(f, 1), 0.1f);
    // Without a map (Identity, or a 1-byte stream) and without an embedded
    // program: the CID's Unicode value, which a font without ToUnicode lacks.
    for (int num : {11, 12}) {
        PdfFont *g = d.font(num);
        ASSERT_TRUE(g && g->face) << num;
        EXPECT_EQ(g->cid_to_gid, nullptr) << num;
        EXPECT_EQ(pdf_font_glyph(g, 36), 0u) << num;
        EXPECT_FLOAT_EQ(pdf_font_width(g, 36), 1000) << num;
    }
    // No descendant: a record without a face, default widths.
    PdfFont *none = d.font(13);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->face, nullptr);
    EXPECT_FLOAT_EQ(pdf_font_width(none, 5), 1000);
}

// Type0 fonts without ToUnicode: a Unicode CMap's codes are the values; an
// embedded program's charmap gives its glyphs' values (here a Type 1
// program, whose charmap FreeType builds from the glyph names).
TEST_F(PdfFontTest, Type0UnicodeWithoutToUnicode)
{
    const std::string pfb = testsupport::base_font_bytes("n021003l.pfb");
    ASSERT_FALSE(pfb.empty());
    FontDoc d({obj(10, "<< /Type /Font /Subtype /Type0 /BaseFont /Arial /Encoding /UniGB-UTF16-H"
                       " /DescendantFonts [20 0 R] >>"),
               obj(20, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Arial >>"),
               obj(11, "<< /Type /Font /Subtype /Type0 /BaseFont /ABCDEF+Times /Encoding /Identity-H"
                       " /DescendantFonts [21 0 R] >>"),
               obj(21, "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /ABCDEF+Times"
                       " /FontDescriptor 22 0 R >>"),
               obj(22, "<< /Type /FontDescriptor /Flags 32 /FontFile 30 0 R >>"),
               stream(30, "", pfb),
               // The same program with a ToUnicode map: the map alone speaks.
               obj(12, "<< /Type /Font /Subtype /Type0 /BaseFont /ABCDEF+Times /Encoding /Identity-H"
                       " /DescendantFonts [21 0 R] /ToUnicode 31 0 R >>"),
               stream(31, "", "1 beginbfchar <0001> <0078> endbfchar")});
    PdfFont *uni = d.font(10), *embedded = d.font(11), *mapped = d.font(12);
    ASSERT_TRUE(uni && embedded && mapped && embedded->face);
    EXPECT_EQ(pdf_font_unicode(uni, 0x4E2D), 0x4E2Du);
    EXPECT_EQ(pdf_font_unicode(uni, 0xD800), 0u);  // half a surrogate pair
    EXPECT_NE(pdf_font_glyph(uni, 'A'), 0u);        // the substitute's glyph through Unicode
    const uint32_t a = FT_Get_Name_Index(embedded->face, const_cast<char *>("A"));
    ASSERT_NE(a, 0u);
    EXPECT_EQ(pdf_font_unicode(embedded, a), uint32_t('A'));
    EXPECT_EQ(pdf_font_unicode(embedded, 0), 0u);  // .notdef
    EXPECT_EQ(pdf_font_unicode(mapped, 1), uint32_t('x'));
    EXPECT_EQ(pdf_font_unicode(mapped, a), 0u);
}

TEST_F(PdfFontTest, Type3Records)
{
    FontDoc d({obj(10, "<< /Type /Font /Subtype /Type3 /FontMatrix [0.01 0 0 0.01 0 /x]"
                       " /CharProcs << /square 30 0 R /dot 31 0 R >> /FirstChar 65 /Widths [50 60]"
                       " /Encoding << /Differences [65 /square /dot 67 /nothing] >>"
                       " /Resources << /Font << /F1 10 0 R >> >> >>"),
               obj(11, "<< /Type /Font /Subtype /Type3 /FontMatrix [1 0 0 1 0] /CharProcs << >> >>"),
               stream(30, "", "0 0 10 10 re f"), obj(31, "(not a stream)")},
              "/F1 10 0 R");
    PdfFont *f = d.font(10);
    ASSERT_TRUE(f && f->is_type3);
    EXPECT_EQ(f->face, nullptr);
    const float expect[6] = {0.01f, 0, 0, 0.01f, 0, 0};  // a name element takes its default
    for (int i = 0; i < 6; i++)
        EXPECT_FLOAT_EQ(f->font_matrix[i], expect[i]) << i;
    EXPECT_TRUE(pdf_is_type(pdf_font_charproc(d.doc, f, 65), PDF_STREAM));
    EXPECT_EQ(pdf_font_charproc(d.doc, f, 66), nullptr);  // not a stream
    EXPECT_EQ(pdf_font_charproc(d.doc, f, 67), nullptr);  // a name without a procedure
    EXPECT_EQ(pdf_font_charproc(d.doc, f, 68), nullptr);  // no name
    EXPECT_EQ(pdf_font_charproc(d.doc, f, 256 + 65), nullptr);
    EXPECT_FLOAT_EQ(pdf_font_width(f, 65), 50);
    EXPECT_FLOAT_EQ(pdf_font_advance(f, 66), 0.6f);
    // A matrix of 5 elements is ignored: the identity stays.
    PdfFont *g = d.font(11);
    ASSERT_TRUE(g && g->is_type3);
    const float identity[6] = {1, 0, 0, 1, 0, 0};
    for (int i = 0; i < 6; i++)
        EXPECT_FLOAT_EQ(g->font_matrix[i], identity[i]) << i;
    // The font names itself in its resources: listed once, the scan ends.
    FontScan scan;
    EXPECT_EQ(pdf_scan_page_fonts(d.doc, 0, &scan), 1);
    EXPECT_EQ(pdf_scan_page_fonts(d.doc, 0, &scan), 0);
}

TEST_F(PdfFontTest, SelfReferencesAndHostileValues_NoCrash)
{
    std::string widths = "[";
    for (int i = 0; i < 100000; i++)
        widths += i % 2 ? "1 " : "2 ";
    widths += "]";
    FontDoc d({// A Type0 font whose descendant is itself, a descriptor that is the font.
               obj(10, "<< /Type /Font /Subtype /Type0 /BaseFont /Self /DescendantFonts [10 0 R]"
                       " /FontDescriptor 10 0 R /W [5 [1 2] 10 0 R] >>"),
               obj(11, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FirstChar -5 /Widths " + widths + " >>"),
               obj(12, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FirstChar 300 /Widths [1 2 3] >>"),
               obj(13, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding << /Differences"
                       " [300 /a /b -5 /c 254 /x /y /z 2147483647 /q] >> >>"),
               obj(14, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FontDescriptor 15 0 R >>"),
               stream(15, "/Type /FontDescriptor /FontFile 15 0 R", "xyz")});
    PdfFont *self = d.font(10);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->is_cid, 1);
    EXPECT_FLOAT_EQ(pdf_font_width(self, 5), 1);
    EXPECT_FLOAT_EQ(pdf_font_width(self, 7), 1000);
    PdfFont *neg = d.font(11);
    ASSERT_NE(neg, nullptr);
    EXPECT_FLOAT_EQ(pdf_font_width(neg, 0), 1);   // element 5 (odd index)
    EXPECT_FLOAT_EQ(pdf_font_width(neg, 255), 2);  // element 260
    PdfFont *high = d.font(12);
    ASSERT_NE(high, nullptr);
    EXPECT_FLOAT_EQ(pdf_font_width(high, 44), ft_glyph_advance(high->face, pdf_font_glyph(high, 44)));
    PdfFont *diff = d.font(13);
    ASSERT_TRUE(diff && diff->face);
    EXPECT_EQ(pdf_font_unicode(diff, 254), uint32_t('x'));
    EXPECT_EQ(pdf_font_unicode(diff, 255), uint32_t('y'));
    EXPECT_EQ(pdf_font_unicode(diff, 0), 0u);  // -5 /c went nowhere
    EXPECT_NE(d.font(14), nullptr);
}

TEST_F(PdfFontTest, WithoutBaseFontsDocumentsOpenAndFontsHaveNoFace)
{
    font_set_resolver(nullptr);
    font_set_system_dir(nullptr);
    FontDoc d({obj(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FirstChar 32 /Widths [278 333] >>")});
    ASSERT_NE(d.doc, nullptr);
    PdfFont *f = d.font(10);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->face, nullptr);
    EXPECT_EQ(pdf_font_glyph(f, 32), 0u);
    // The pen still moves by the widths the dictionary gives, 500 elsewhere.
    EXPECT_FLOAT_EQ(pdf_font_width(f, 33), 333);
    EXPECT_FLOAT_EQ(pdf_font_width(f, 34), 500);
    EXPECT_EQ(pdf_font_unicode(f, 'A'), 0u);
    testsupport::install_base_fonts();
}

}  // namespace
