// Page text: ToUnicode CMaps, PDF pages turned into items, search with case
// folding, selection text and hit excerpts.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "font_support.h"
#include "fonts/pdf_font.h"
#include "fonts/tounicode.h"
#include "page_doc.h"
#include "pdf/document.h"
#include "render/page_text.h"
#include "test_support.h"
#include "text/page_text.h"

using testsupport::one_page_pdf;
using testsupport::stream_obj;

namespace {

// A document to hold CMap entries (its arena is all the parser needs).
struct ScratchDoc {
    PdfDoc *doc = nullptr;
    ScratchDoc()
    {
        std::string path = testsupport::scratch_path("tounicode_host.pdf");
        EXPECT_TRUE(testsupport::write_file(path, one_page_pdf("")));
        EXPECT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
    }
    ~ScratchDoc() { pdf_close(doc); }
    ToUnicodeMap *parse(const std::string &cmap)
    {
        return tounicode_parse_bytes(doc, reinterpret_cast<const uint8_t *>(cmap.data()),
                                     int(cmap.size()));
    }
};

std::vector<uint32_t> seq(const ToUnicodeMap *map, uint32_t code)
{
    uint32_t v[4];
    int n = tounicode_lookup_seq(map, code, v, 4);
    return std::vector<uint32_t>(v, v + n);
}

struct CMapRow {
    const char *what;
    const char *cmap;
    uint32_t code;
    std::vector<uint32_t> want;  // empty: no value
};

TEST(ToUnicode, BlocksRangesAndSurrogates)
{
    const CMapRow rows[] = {
        {"bfchar", "1 beginbfchar <03> <0041> endbfchar", 3, {0x41}},
        {"ligature of three letters", "1 beginbfchar <01> <006600660069> endbfchar", 1,
         {0x66, 0x66, 0x69}},
        {"surrogate pair", "1 beginbfchar <0002> <D835DC00> endbfchar", 2, {0x1D400}},
        {"high surrogate without its low half stands alone",
         "1 beginbfchar <02> <D8350041> endbfchar", 2, {0xD835, 0x41}},
        {"range adds the offset", "1 beginbfrange <41> <43> <0061> endbfrange", 0x42, {0x62}},
        // 0x00FE..0x0102 crosses from one high byte to the next.
        {"range across a byte boundary", "1 beginbfrange <00FE> <0102> <0100> endbfrange", 0x101,
         {0x103}},
        {"range past its end", "1 beginbfrange <41> <43> <0061> endbfrange", 0x44, {}},
        {"array: element per code", "1 beginbfrange <10> <12> [<0058> <00660069>] endbfrange",
         0x11, {0x66, 0x69}},
        {"array shorter than the range leaves the rest",
         "1 beginbfrange <10> <12> [<0058> <0059>] endbfrange", 0x12, {}},
        {"array longer than the range is cut",
         "1 beginbfrange <10> <11> [<0058> <0059> <005A>] endbfrange", 0x12, {}},
        {"non-string array elements still take a code",
         "1 beginbfrange <10> <12> [/x <0059> <005A>] endbfrange", 0x12, {0x5A}},
        {"range with lo above hi holds nothing", "1 beginbfrange <43> <41> <0061> endbfrange",
         0x42, {}},
        {"first entry wins",
         "2 beginbfchar <05> <0031> <05> <0032> endbfchar", 5, {0x31}},
        {"a count that promises more pairs than follow",
         "9 beginbfchar <05> <0031> endbfchar 1 beginbfchar <06> <0032> endbfchar", 6, {0x32}},
        {"tokens outside blocks are ignored", "<07> <0041> 1 beginbfchar <08> <0042> endbfchar",
         7, {}},
        {"destination under two bytes gives no entry", "1 beginbfchar <09> <41> endbfchar", 9, {}},
        {"16-bit source codes in a surrounding CMap",
         "/CIDInit /ProcSet findresource begin 12 dict begin begincmap 1 begincodespacerange "
         "<0000> <FFFF> endcodespacerange 1 beginbfrange <0020> <0022> <0041> endbfrange "
         "endcmap end end",
         0x21, {0x42}},
        {"a bfrange whose high code is missing ends the map",
         "2 beginbfrange <10> /x <0041> <20> <20> <0042> endbfrange", 0x20, {}},
    };
    ScratchDoc host;
    for (const CMapRow &row : rows) {
        SCOPED_TRACE(row.what);
        ToUnicodeMap *map = host.parse(row.cmap);
        EXPECT_EQ(seq(map, row.code), row.want);
        EXPECT_EQ(tounicode_lookup(map, row.code), row.want.empty() ? 0u : row.want[0]);
    }
}

TEST(ToUnicode, HostileMapsStayBoundedUnderTime)
{
    ScratchDoc host;
    // 10 MB of bfchar pairs: entries stop at the limit, the parse ends in time.
    std::string big = "1 beginbfchar ";
    while (big.size() < 10u << 20)
        big += "<0041> <0042> ";
    big += "endbfchar";
    auto t0 = std::chrono::steady_clock::now();
    ToUnicodeMap *map = host.parse(big);
    ASSERT_NE(map, nullptr);
    EXPECT_LE(map->count, TOUNICODE_MAX_ENTRIES);
    // A range of 2^24 codes is one entry, not 2^24.
    map = host.parse("1 beginbfrange <000000> <FFFFFF> <0041> endbfrange");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->count, 1);
    EXPECT_EQ(tounicode_lookup(map, 0x10), 0x51u);
    // An array over a huge range costs its elements only.
    map = host.parse("1 beginbfrange <000000> <FFFFFF> [<0041> <0042>] endbfrange");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->count, 2);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 20.0);
}

// ---- PDF pages ----

// F1: Helvetica, every code 500 wide, with a ToUnicode map: code 1 is the
// ligature "ffi", code 2 the character U+FB01, 0x41..0x43 map to lower case,
// 0x61..0x63 to the Hebrew letters U+05D0..U+05D2, 0xA0 to a no-break space.
// F2: a Type 3 font whose codes 32 and 65 name glyphs without a Unicode
// value, code 66 the glyph x. Object 8: an appearance showing "AB" in F1.
// V (object 9): a Type0 font written top to bottom, CIDs 0x41..0x5A the
// capitals, every CID 1 em wide and high.
std::vector<std::string> text_fonts()
{
    std::string widths = "[";
    for (int i = 0; i < 256; i++)
        widths += " 500";
    widths += "]";
    std::string t3_widths;
    for (int i = 32; i <= 66; i++)
        t3_widths += " 500";
    return {
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FirstChar 0 /LastChar 255 /Widths " +
            widths + " /ToUnicode 7 0 R >>",
        "<< /Type /Font /Subtype /Type3 /FontMatrix [0.001 0 0 0.001 0 0] /FontBBox [0 0 1 1] "
        "/CharProcs << >> /Encoding << /Differences [32 /g900 65 /g901 /x] >> /FirstChar 32 "
        "/LastChar 66 /Widths [" + t3_widths + "] >>",
        stream_obj("", "4 beginbfchar <01> <006600660069> <02> <FB01> <20> <0020> <A0> <00A0> "
                       "endbfchar 2 beginbfrange <41> <43> <0061> <61> <63> <05D0> endbfrange"),
        stream_obj("/BBox [0 0 50 20] /Resources << /Font << /F1 5 0 R >> >>",
                   "BT /F1 10 Tf 2 5 Td (AB) Tj ET"),
        "<< /Type /Font /Subtype /Type0 /BaseFont /Helvetica /Encoding /Identity-V "
        "/DescendantFonts [10 0 R] /ToUnicode 11 0 R >>",
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Helvetica /DW 1000 >>",
        stream_obj("", "1 beginbfrange <0041> <005A> <0041> endbfrange"),
    };
}

PageText *page_text_of(const std::string &content, const std::string &page_extra = "",
                       float scale = 1.0f)
{
    std::string path = testsupport::scratch_path("page_text.pdf");
    EXPECT_TRUE(testsupport::write_file(
        path, one_page_pdf(content, "[0 0 100 100]",
                           "/Resources << /Font << /F1 5 0 R /F2 6 0 R /V 9 0 R >> >> " + page_extra,
                           text_fonts())));
    PdfDoc *doc = nullptr;
    EXPECT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
    PageText *text = pdf_page_text(doc, 0, scale);
    pdf_close(doc);
    return text;
}

// The items' values, anything beyond ASCII in hexadecimal as {5D0}.
std::string values(const PageText *t)
{
    std::string s;
    for (int i = 0; i < t->count; i++) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "{%X}", unsigned(t->items[i].unicode));
        s += t->items[i].unicode < 0x80 ? std::string(1, char(t->items[i].unicode)) : hex;
    }
    return s;
}

class PdfPageText : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testsupport::install_base_fonts()); }
};

TEST_F(PdfPageText, ItemsFollowTheShownCodes)
{
    struct Row {
        const char *what;
        const char *content;
        const char *want;
        const char *page_extra = "";
    } rows[] = {
        {"range and ligature", "BT /F1 10 Tf 10 20 Td (A\\001C) Tj ET", "affic"},
        // A ligature character counts as its letters.
        {"fi ligature character", "BT /F1 10 Tf 10 20 Td (\\002) Tj ET", "fi"},
        // A word space without a Unicode value still counts; a code without one is dropped.
        {"word space of an unnamed glyph", "BT /F2 10 Tf 10 20 Td (A A) Tj ET", " "},
        {"Type 3 glyph names", "BT /F2 10 Tf 10 20 Td (AB) Tj ET", "x"},
        // TJ offsets move the pen but invent no space.
        {"TJ gap", "BT /F1 10 Tf 10 20 Td [(AB) -2000 (C)] TJ ET", "abc"},
        // Invisible text (OCR layers) is text all the same.
        {"render mode 3", "BT 3 Tr /F1 10 Tf 10 20 Td (AB) Tj ET", "ab"},
        {"no-break space", "BT /F1 10 Tf 10 20 Td (A\\240B) Tj ET", "a b"},
        // Hebrew drawn from the left comes in display order and is turned
        // into reading order; numbers inside still read left to right, a
        // Latin word ends the run.
        {"right to left from the left", "BT /F1 10 Tf 10 20 Td (abc) Tj ET", "{5D2}{5D1}{5D0}"},
        {"number inside", "BT /F1 5 Tf 10 20 Td (ab 12 c) Tj ET", "{5D2} 12 {5D1}{5D0}"},
        {"Latin after", "BT /F1 5 Tf 10 20 Td (ab XY) Tj ET", "{5D1}{5D0} XY"},
        // Drawn from the right it is in reading order already.
        {"right to left from the right", "BT /F1 10 Tf -1 0 0 1 60 20 Tm (abc) Tj ET",
         "{5D0}{5D1}{5D2}"},
        // Lines are runs of their own.
        {"two lines", "BT /F1 10 Tf 10 20 Td (ab) Tj 0 20 Td (c) Tj ET", "{5D1}{5D0}{5D2}"},
        // An annotation's appearance is text after the content.
        {"annotation", "BT /F1 10 Tf 10 20 Td (C) Tj ET", "cab",
         "/Annots [<< /Subtype /FreeText /Rect [10 50 60 70] /AP << /N 8 0 R >> >>]"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        PageText *t = page_text_of(row.content, row.page_extra);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(values(t), row.want);
        page_text_free(t);
    }
}

TEST_F(PdfPageText, LigatureSlicesAndRotatedBoxes)
{
    // The ligature's 5-point advance is cut into three equal slices.
    PageText *t = page_text_of("BT /F1 10 Tf 10 20 Td (\\001) Tj ET");
    ASSERT_EQ(t->count, 3);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(t->items[i].x0, 10 + i * 5.0f / 3, 1e-3);
        EXPECT_NEAR(t->items[i].x1, 10 + (i + 1) * 5.0f / 3, 1e-3);
        EXPECT_NEAR(t->items[i].y0, 70, 1e-3);  // one em above the baseline at y 80
        EXPECT_NEAR(t->items[i].y1, 80, 1e-3);
    }
    page_text_free(t);
    // Rotate 90 at scale 2: page (x, y) goes to device (2y, 2x); boxes stay ordered.
    t = page_text_of("BT /F1 10 Tf 10 20 Td (A) Tj ET", "/Rotate 90", 2.0f);
    ASSERT_EQ(t->count, 1);
    EXPECT_NEAR(t->items[0].x0, 40, 1e-3);
    EXPECT_NEAR(t->items[0].x1, 60, 1e-3);
    EXPECT_NEAR(t->items[0].y0, 20, 1e-3);
    EXPECT_NEAR(t->items[0].y1, 30, 1e-3);
    page_text_free(t);
    // Text at 45 degrees: the box holds the whole 5 by 10 rectangle turned
    // about (20, 20), not the sliver between two of its corners, and the
    // two letters stay one word.
    t = page_text_of("BT /F1 10 Tf 0.70711 0.70711 -0.70711 0.70711 20 20 Tm (AB) Tj ET");
    ASSERT_EQ(t->count, 2);
    EXPECT_NEAR(t->items[0].x0, 20 - 7.0711f, 1e-3);
    EXPECT_NEAR(t->items[0].x1, 20 + 3.5355f, 1e-3);
    EXPECT_NEAR(t->items[0].y0, 80 - 10.6066f, 1e-3);
    EXPECT_NEAR(t->items[0].y1, 80, 1e-3);
    EXPECT_EQ(page_text_utf8(t), "ab");
    page_text_free(t);
}

// Rows of content and the page text it must give.
struct TextRow {
    const char *what;
    const char *content;
    const char *want;  // page_text_utf8
};

void expect_page_texts(const std::vector<TextRow> &rows)
{
    for (const TextRow &row : rows) {
        SCOPED_TRACE(row.what);
        PageText *t = page_text_of(row.content);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(page_text_utf8(t), row.want);
        page_text_free(t);
    }
}

// Character spacing tracks letters apart; it opens no word gap. F1 codes
// advance 5 points at 10 points, so 3 Tc is a gap of 0.3 em between boxes
// that reached only over the glyphs' advances.
TEST_F(PdfPageText, LetterSpacingKeepsWords)
{
    expect_page_texts({
        {"tracked word", "BT /F1 10 Tf 3 Tc 10 20 Td (ABC) Tj ET", "abc"},
        {"tracked words with a space", "BT /F1 10 Tf 3 Tc 1 Tw 10 20 Td (AB C) Tj ET", "ab c"},
        // Positioning and word spacing still part words.
        {"TJ gap in tracked text", "BT /F1 10 Tf 3 Tc 10 20 Td [(AB) -2000 (C)] TJ ET", "ab c"},
        {"tight text", "BT /F1 10 Tf -1 Tc 10 20 Td (ABC) Tj ET", "abc"},
    });
    // The box reaches over the tracking to the next letter.
    PageText *t = page_text_of("BT /F1 10 Tf 3 Tc 10 20 Td (AB) Tj ET");
    ASSERT_EQ(t->count, 2);
    EXPECT_NEAR(t->items[0].x1, 18, 1e-3);
    EXPECT_NEAR(t->items[1].x0, 18, 1e-3);
    page_text_free(t);
}

// Text written top to bottom joins down its column; a column to its left
// is the next line.
TEST_F(PdfPageText, VerticalTextRunsDownItsColumn)
{
    expect_page_texts({
        {"one column", "BT /V 10 Tf 50 90 Td <004100420043> Tj ET", "ABC"},
        {"two columns", "BT /V 10 Tf 50 90 Td <00410042> Tj ET BT /V 10 Tf 30 90 Td <0043> Tj ET",
         "AB\nC"},
        // A TJ number opening half an em down the column parts words.
        {"gap down the column", "BT /V 10 Tf 50 90 Td [<0041> 500 <0042>] TJ ET", "A B"},
    });
}

// A Type 3 font whose glyphs stay far below the em (scaled up by the text
// matrix) gets boxes of their height from FontBBox, so that selecting over
// the glyphs finds them and the gaps between them count against their size.
TEST_F(PdfPageText, Type3BoxesFollowAPlausibleFontBBox)
{
    struct Row {
        const char *what;
        const char *bbox;
        int width;       // of codes 65 and 66, glyph space
        float height;    // of the boxes at a 240-point em
        const char *text;
    } rows[] = {
        {"glyphs 30 of 1000 units high", "[0 -5 30 30]", 10, 7.2f, "x x"},
        // Boxes that cannot be the glyphs' keep the em.
        {"placeholder box narrower than the advances", "[0 0 1 1]", 500, 240, "xx"},
        {"box above an em", "[0 -200 600 1200]", 10, 240, "xx"},
        {"empty box", "[0 0 0 0]", 10, 240, "xx"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string font =
            std::string("<< /Type /Font /Subtype /Type3 /FontMatrix [0.001 0 0 0.001 0 0] /FontBBox ") +
            row.bbox + " /CharProcs << >> /Encoding << /Differences [65 /x /x] >> /FirstChar 65 "
            "/LastChar 66 /Widths [" + std::to_string(row.width) + " " + std::to_string(row.width) + "] >>";
        std::string path = testsupport::scratch_path("type3_box.pdf");
        // Two glyphs 0.1 em (24 points) apart: a word gap unless the box is an em high.
        ASSERT_TRUE(testsupport::write_file(
            path, one_page_pdf("BT /F3 1 Tf 240 0 0 240 10 20 Tm (A) Tj 0.1 0 Td (B) Tj ET",
                               "[0 0 400 400]", "/Resources << /Font << /F3 5 0 R >> >>", {font})));
        PdfDoc *doc = nullptr;
        ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
        PageText *t = pdf_page_text(doc, 0, 1.0f);
        pdf_close(doc);
        ASSERT_EQ(t->count, 2);
        EXPECT_NEAR(t->items[0].y1, 380, 1e-2);  // the baseline
        EXPECT_NEAR(t->items[0].y1 - t->items[0].y0, row.height, 1e-2);
        EXPECT_EQ(page_text_utf8(t), row.text);
        page_text_free(t);
    }
}

// ---- Search, selection, excerpts over hand-made items ----

// Items laid out left to right from (x, y), each 5 wide and 10 high.
void add_line(PageText *t, const std::u32string &s, float x, float y, float h = 10)
{
    for (char32_t c : s) {
        page_text_add(t, uint32_t(c), x, y, x + 5, y + h);
        x += 5;
    }
}

struct SearchRow {
    const char *what;
    std::u32string page;
    const char *query;
    int case_sensitive;
    int max_hits;
    std::vector<int> firsts;  // first item of each hit
};

TEST(TextSearch, FoldingAndHits)
{
    const SearchRow rows[] = {
        {"dotted capital I", U"x İstanbul", "ISTANBUL", 0, 10, {2}},
        {"dotless small i", U"ıstanbul", "ISTANBUL", 0, 10, {0}},
        {"plain", U"istanbul", "ISTANBUL", 0, 10, {0}},
        {"dotted capital from the query side", U"istanbul", "\xC4\xB0stanbul", 0, 10, {0}},
        {"case-sensitive", U"istanbul Istanbul", "Istanbul", 1, 10, {9}},
        {"g with breve", U"dağ", "\xC4\x9E", 0, 10, {2}},
        {"s with cedilla", U"ş", "\xC5\x9E", 0, 10, {0}},
        {"umlauts fold", U"über", "ÜBER", 0, 10, {0}},
        {"sharp s stays itself", U"straße", "STRASSE", 0, 10, {}},
        {"multiplication sign is no letter", U"\u00F7", "\xC3\x97", 0, 10, {}},
        {"hits do not overlap", U"aaaa", "aa", 0, 10, {0, 2}},
        {"max_hits", U"a a a a", "a", 0, 3, {0, 2, 4}},
        {"space not invented", U"ab", "a b", 0, 10, {}},
        {"empty query", U"abc", "", 0, 10, {}},
        {"cut sequence is its own code point", U"a\u00C3", "a\xC3", 1, 10, {0}},
    };
    for (const SearchRow &row : rows) {
        SCOPED_TRACE(row.what);
        PageText *t = page_text_new(0);
        add_line(t, row.page, 0, 0);
        std::vector<SearchHit> hits(16);
        int n = text_search(t, row.query, row.max_hits, hits.data(), row.case_sensitive);
        std::vector<int> firsts;
        for (int i = 0; i < n; i++)
            firsts.push_back(hits[i].first);
        EXPECT_EQ(firsts, row.firsts);
        page_text_free(t);
    }
}

TEST(TextSearch, HitBoxIsTheUnionAndHostileQueriesEnd)
{
    PageText *t = page_text_new(0);
    add_line(t, U"ab", 10, 20);
    page_text_add(t, 'c', 20, 15, 24, 35);  // taller
    SearchHit h;
    ASSERT_EQ(text_search(t, "ABC", 1, &h, 0), 1);
    EXPECT_EQ(h.first, 0);
    EXPECT_EQ(h.end, 3);
    EXPECT_FLOAT_EQ(h.x0, 10);
    EXPECT_FLOAT_EQ(h.y0, 15);
    EXPECT_FLOAT_EQ(h.x1, 24);
    EXPECT_FLOAT_EQ(h.y1, 35);
    // A 10,000-character query compares its first 128 code points only.
    std::u32string page(200, U'q');
    add_line(t, page, 0, 50);
    std::string query(10000, 'q');
    std::vector<SearchHit> hits(8);
    EXPECT_EQ(text_search(t, query.c_str(), 8, hits.data(), 0), 1);
    EXPECT_EQ(text_search(nullptr, "a", 8, hits.data(), 0), 0);
    page_text_free(t);
}

struct SelRow {
    const char *what;
    std::vector<TextItem> items;
    float x0, y0, x1, y1;
    const char *want;
    int lines;
};

TEST(SelectionText, LineAndSpaceRules)
{
    auto line = [](const std::u32string &s, float x, float y, float h = 10) {
        PageText *t = page_text_new(0);
        add_line(t, s, x, y, h);
        std::vector<TextItem> v(t->items, t->items + t->count);
        page_text_free(t);
        return v;
    };
    auto cat = [](std::vector<TextItem> a, const std::vector<TextItem> &b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const SelRow rows[] = {
        {"centres 14 apart break the line", cat(line(U"ab", 0, 0), line(U"cd", 0, 14)),
         0, 0, 100, 100, "ab\r\ncd", 2},
        {"centres 6 apart do not", cat(line(U"ab", 0, 0), line(U"cd", 10, 6)),
         0, 0, 100, 100, "abcd", 1},
        // A gap over a quarter of the height gives one space, not two after a space.
        {"gap gives a space", cat(line(U"ab", 0, 0), line(U"cd", 13, 0)), 0, 0, 100, 100,
         "ab cd", 1},
        {"no space after a shown space", cat(line(U"ab ", 0, 0), line(U"cd", 23, 0)), 0, 0, 100,
         100, "ab cd", 1},
        // Column two starts higher than column one ends: a new line.
        {"two columns", cat(cat(line(U"ab", 0, 0), line(U"cd", 0, 14)),
                            cat(line(U"ef", 50, 0), line(U"gh", 50, 14))),
         0, 0, 100, 100, "ab\r\ncd\r\nef\r\ngh", 4},
        // Lines drawn bottom first, the second starting left of the first's end.
        {"line above", cat(line(U"cd", 0, 14), line(U"ab", 0, 0)), 0, 0, 100, 100,
         "cd\r\nab", 2},
        // Back to the left edge and half a line lower: lines set closer than
        // 0.7 of their height, or on a slope, wrap.
        {"line wrapping back", cat(line(U"abcdefgh", 0, 0), line(U"ij", 0, 5)), 0, 0, 100, 100,
         "abcdefgh\r\nij", 2},
        // A superscript 4 pixels up and smaller stays on its line.
        {"superscript", cat(cat(line(U"x", 0, 10), line(U"2", 5, 7, 6)), line(U"y", 10, 10)),
         0, 0, 100, 100, "x2y", 1},
        {"only centres inside, vertical bounds in either order",
         cat(line(U"ab", 0, 0), line(U"cd", 0, 14)), 0, 30, 100, 12, "cd", 1},
        {"horizontal bounds as given", line(U"ab", 0, 0), 100, 0, 0, 100, "", 0},
        {"non-ASCII as a question mark", line(U"añb\t", 0, 0), 0, 0, 100, 100, "a?b\t", 1},
    };
    for (const SelRow &row : rows) {
        SCOPED_TRACE(row.what);
        PageText t = {const_cast<TextItem *>(row.items.data()), int(row.items.size()),
                      int(row.items.size())};
        char out[SELECTION_TEXT_SIZE];
        LineRect rects[SELECTION_MAX_LINES];
        int nrects = -1;
        int len = selection_text(&t, row.x0, row.y0, row.x1, row.y1, out, rects, &nrects);
        EXPECT_STREQ(out, row.want);
        EXPECT_EQ(len, int(std::strlen(row.want)));
        EXPECT_EQ(nrects, row.lines);
    }
}

TEST(SelectionText, LineRectanglesAndTheLengthCap)
{
    PageText *t = page_text_new(0);
    add_line(t, U"ab", 0.6f, 0.4f);
    add_line(t, U"cd", 2.5f, 14.7f);
    char out[SELECTION_TEXT_SIZE];
    LineRect r[SELECTION_MAX_LINES];
    int n = 0;
    selection_text(t, 0, 0, 100, 100, out, r, &n);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(r[0].left, 0);
    EXPECT_EQ(r[0].top, 0);
    EXPECT_EQ(r[0].right, 10);
    EXPECT_EQ(r[0].bottom, 10);
    EXPECT_EQ(r[1].left, 2);
    EXPECT_EQ(r[1].top, 14);
    EXPECT_EQ(r[1].right, 12);
    EXPECT_EQ(r[1].bottom, 24);
    page_text_free(t);
    // 300 lines of text: 8191 bytes at most, 256 rectangles at most.
    t = page_text_new(0);
    for (int i = 0; i < 300; i++)
        add_line(t, std::u32string(40, U'x'), 0, float(i * 20));
    EXPECT_EQ(selection_text(t, 0, 0, 1000, 10000, out, r, &n), SELECTION_TEXT_SIZE - 1);
    EXPECT_EQ(std::strlen(out), size_t(SELECTION_TEXT_SIZE - 1));
    EXPECT_EQ(n, SELECTION_MAX_LINES);
    // The whole-page text has no cap and keeps non-ASCII letters.
    page_text_add(t, 0xE9, 0, 7000, 5, 7010);
    std::string all = page_text_utf8(t);
    EXPECT_EQ(all.size(), 300u * 40 + 299 + 1 + 2);
    EXPECT_EQ(all.substr(all.size() - 3), "\n\xC3\xA9");
    page_text_free(t);
}

// The selection tool's text: items between the anchor and the pointer's
// character in drawing order, every character kept as UTF-8.
TEST(SelectionText, RangeKeepsEveryCharacterInItemOrder)
{
    PageText *t = page_text_new(0);
    add_line(t, U"Grüße an", 0, 0);    // items 0..7
    add_line(t, U"Ελλάδα €", 0, 14);   // items 8..15, next line
    add_line(t, U"\U0001F600z", 80, 14);  // 16..17, a gap on the same line
    std::string out;
    LineRect r[SELECTION_MAX_LINES];
    int n = -1;
    // Backwards (pointer before the anchor) selects the same span.
    const int len = selection_range_text(t, 10, 2, nullptr, &out, r, &n);
    EXPECT_EQ(len, int(out.size()));
    EXPECT_EQ(out, "üße an\r\nΕλλ");
    EXPECT_EQ(n, 2);
    EXPECT_EQ(r[1].left, 0);
    EXPECT_EQ(r[1].right, 15);
    selection_range_text(t, 0, 17, nullptr, &out, r, &n);
    EXPECT_EQ(out, "Grüße an\r\nΕλλάδα € \xF0\x9F\x98\x80z");
    // A bounding rectangle drops the items whose centres lie outside it
    // (select all keeps what is on the page).
    const float page[4] = {0, 0, 60, 100};
    selection_range_text(t, 0, t->count - 1, page, &out, r, &n);
    EXPECT_EQ(out, "Grüße an\r\nΕλλάδα €");
    // No length cap: the page text bounds the selection.
    PageText *big = page_text_new(0);
    for (int i = 0; i < 300; i++)
        add_line(big, std::u32string(40, U'ä'), 0, float(i * 20));
    selection_range_text(big, 0, big->count - 1, nullptr, &out, r, &n);
    EXPECT_EQ(out.size(), 300u * 80 + 299 * 2);
    EXPECT_EQ(n, SELECTION_MAX_LINES);
    // Nearest character: a vertical miss weighs four times a horizontal one.
    PageText *two = page_text_new(0);
    page_text_add(two, 'a', 0, 0, 10, 10);    // centre (5, 5)
    page_text_add(two, 'b', 30, 5, 40, 15);   // centre (35, 10)
    EXPECT_EQ(text_nearest_item(two, 20, 5), 0);   // 15^2 vs 15^2 + 20^2
    EXPECT_EQ(text_nearest_item(two, 21, 10), 1);  // 16^2 + 20^2 vs 14^2
    EXPECT_EQ(text_nearest_item(nullptr, 0, 0), -1);
    out = "stale";
    EXPECT_EQ(selection_range_text(nullptr, 0, 5, nullptr, &out, r, &n), 0);
    EXPECT_TRUE(out.empty());
    page_text_free(two);
    page_text_free(big);
    page_text_free(t);
}

TEST(HitContext, ExcerptAroundTheHit)
{
    PageText *t = page_text_new(0);
    add_line(t, U"0123456789\tABC\U0001D400" + std::u32string(100, U'z'), 0, 0);
    SearchHit h = {10, 11, 0, 0, 0, 0};
    char out[256];
    hit_context(t, &h, out, sizeof out);
    // Items 2 .. 54: tab as a space, beyond the BMP as "?".
    EXPECT_EQ(std::string(out), "23456789 ABC?" + std::string(40, 'z'));
    // A long hit is cut at 78 characters.
    h = {10, 100, 0, 0, 0, 0};
    hit_context(t, &h, out, sizeof out);
    EXPECT_EQ(std::string(out), "23456789 ABC?" + std::string(65, 'z'));
    char small[5];
    t->items[3].unicode = 0xE9;
    hit_context(t, &h, small, sizeof small);
    EXPECT_STREQ(small, "2\xC3\xA9" "4");
    page_text_free(t);
}

}  // namespace
