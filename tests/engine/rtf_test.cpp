// RTF reader: what the parser makes of escapes, code pages, destinations and
// hostile structure; where the layout puts lines, table cells and pictures;
// that a band is exactly the matching rows of its page; and the document
// layer's view of an RTF file.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "font_support.h"
#include "formats/rtf.h"
#include "formats/rtf_internal.h"
#include "jpeg_support.h"
#include "test_support.h"
#include "text/page_text.h"

namespace {

struct Doc {
    RtfDoc *d;
    explicit Doc(const std::string &s) : d(rtf_open_memory(reinterpret_cast<const uint8_t *>(s.data()), s.size())) {}
    ~Doc() { rtf_close(d); }
    RtfDoc *operator->() const { return d; }
};

std::string utf8(const std::vector<RtfChar> &chars)
{
    std::string s;
    for (const RtfChar &c : chars)
        append_utf8(&s, c.code);
    return s;
}

std::string page_utf8(RtfDoc *doc, int page)
{
    PageText *t = rtf_page_text(doc, page, 1.0f);
    std::string s = page_text_utf8(t);
    page_text_free(t);
    return s;
}

std::string hex(const std::vector<uint8_t> &b) { return testsupport::hex_encode(b.data(), b.size()); }

void put32(std::string *s, uint32_t v)
{
    for (int k = 3; k >= 0; k--)
        s->push_back(char(v >> (8 * k)));
}

void chunk(std::string *png, const char *type, const std::string &data)
{
    put32(png, uint32_t(data.size()));
    std::string body = std::string(type, 4) + data;
    *png += body;
    put32(png, uint32_t(crc32(0, reinterpret_cast<const Bytef *>(body.data()), uInt(body.size()))));
}

// A PNG of 8-bit RGB rows (filter 0) whose IDAT holds `idat` when given,
// else the deflated pixels.
std::vector<uint8_t> png_rgb(int w, int h, uint8_t r, uint8_t g, uint8_t b, const std::string *idat = nullptr)
{
    std::string raw;
    for (int y = 0; y < h; y++) {
        raw.push_back(0);
        for (int x = 0; x < w; x++)
            raw += std::string{char(r), char(g), char(b)};
    }
    std::string z(compressBound(uLong(raw.size())), '\0');
    uLongf zn = uLongf(z.size());
    compress(reinterpret_cast<Bytef *>(z.data()), &zn, reinterpret_cast<const Bytef *>(raw.data()), uLong(raw.size()));
    z.resize(zn);
    std::string png = "\x89PNG\r\n\x1a\n", ihdr;
    put32(&ihdr, uint32_t(w));
    put32(&ihdr, uint32_t(h));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    chunk(&png, "IHDR", ihdr);
    chunk(&png, "IDAT", idat ? *idat : z);
    chunk(&png, "IEND", "");
    return std::vector<uint8_t>(png.begin(), png.end());
}

const uint8_t *pixel(const PageBitmap *bm, int x, int y) { return bm->pixels + size_t(y) * bm->stride + 3 * x; }

class Rtf : public ::testing::Test {
protected:
    void SetUp() override { testsupport::install_base_fonts(); }
};

}  // namespace

// Each row: a body, and the characters the parser must store for it.
TEST_F(Rtf, EscapesCodePagesAndDestinations)
{
    const struct {
        const char *rtf, *body;
    } rows[] = {
        {R"({\rtf1 \u8364?x})", "€x"},                        // \u drops one replacement
        {R"({\rtf1\uc0 \u8364?})", "€?"},                     // \uc0 drops none
        {R"({\rtf1\uc2 \u8364\'80\'80y})", "€y"},             // \uc2: a pair of escapes dropped
        {R"({\rtf1 {\uc2 \u8364}ab})", "€ab"},                // the group end stops the dropping
        {R"({\rtf1 \u-10179?\u-8704?})", "😀"},                // a UTF-16 pair written as two \u
        {R"({\rtf1 \'e7\'f0})", "çð"},                        // 1252 by default
        {R"({\rtf1\ansicpg1254 \'e7\'f0})", "çğ"},            // Turkish
        {R"({\rtf1\ansicpg1251 \'e0\'c1})", "аБ"},            // Cyrillic
        {R"({\rtf1\ansicpg1253 \'e1})", "α"},                 // Greek
        {R"({\rtf1\ansicpg1250 \'9a})", "š"},                 // Central European
        {R"({\rtf1\ansicpg437 \'81})", "ü"},
        {R"({\rtf1\ansicpg850 \'d0})", "ð"},
        {R"({\rtf1\ansicpg857 \'a7})", "ğ"},
        {R"({\rtf1\ansicpg28599 \'fd})", "ı"},
        {R"({\rtf1\ansicpg10000 \'de})", "ﬁ"},                // Mac Roman
        {R"({\rtf1\ansicpg10081 \'de})", "Ş"},                // Mac Turkish
        {R"({\rtf1\ansicpg4711 \'e9})", "é"},                 // unknown: 1252
        // \fcharset gives a font its own code page.
        {R"({\rtf1{\fonttbl{\f0\fcharset204 A;}{\f1\fcharset161 B;}}\f0\'e0\f1\'e1\f2\'e1})", "аαá"},
        {R"({\rtf1 a\{b\}c\\d\~e\-f\_g})", "a{b}c\\d\u00a0efg"},
        // Skipped: starred groups with everything nested in them, field
        // instructions, a picture's alternative; kept: field results.
        {R"({\rtf1 a{\*\unknown b{c}d}e{\field{\*\fldinst X}{\fldrslt f}}{\nonshppict{\pict 00}}g})", "aefg"},
        // A SYMBOL field shows its character when its result is empty.
        {R"({\rtf1 {\field{\*\fldinst SYMBOL 65 \\f "Symbol"}{\fldrslt }}{\field{\*\fldinst SYMBOL 66}{\fldrslt C}}})", "AC"},
        {R"({\rtf1 x\bin4 {}}\y})", "xy"},                    // \bin data are never parsed
        {"{\\rtf1 x\\bin99999999 abc", "x"},                  // \bin beyond the data end
        {"{\\rtf1 a\\'", "a"},                                // \' at the very end
        {"{\\rtf1 a\\'4", "a"},
        {R"({\rtf1 a}}}}b{{{c)", "abc"},                      // unbalanced braces
        {R"({\rtf1{\header H\par I}{\footer F}B\tab C})", "B\tC"},  // header and footer text kept apart
    };
    for (const auto &row : rows) {
        Doc doc(row.rtf);
        ASSERT_NE(doc.d, nullptr) << row.rtf;
        EXPECT_EQ(utf8(doc->chars), row.body) << row.rtf;
    }
    Doc doc(R"({\rtf1{\header H\par I}B})");
    EXPECT_EQ(utf8(doc->header_chars), "H\nI");
    EXPECT_TRUE(doc->items.empty());  // a header's paragraph ends make no body paragraphs
}

// Group states beyond the stack, font numbers outside the table and a huge
// font table: states return at the group end, nothing is written outside
// the table, and the table keeps its first 512 fonts.
TEST_F(Rtf, NestingAndFontNumbersStayInBounds)
{
    std::string deep = R"({\rtf1 )" + std::string(10000, '{') + R"(\b x)" + std::string(10000, '}') + "y}";
    Doc d1(deep);
    ASSERT_EQ(utf8(d1->chars), "xy");
    EXPECT_EQ(d1->styles[d1->chars[0].style].face, 1);  // bold
    EXPECT_EQ(d1->styles[d1->chars[1].style].face, 0);  // the outer state again

    Doc d2(R"({\rtf1{\fonttbl{\f100000\fswiss;}{\f-3\fmodern;}{\f2\fswiss;}}\f100000 a\f-3 b\f2 c})");
    ASSERT_EQ(utf8(d2->chars), "abc");
    EXPECT_EQ(d2->styles[d2->chars[0].style].face, 0);  // unknown numbers read as serif
    EXPECT_EQ(d2->styles[d2->chars[1].style].face, 0);
    EXPECT_EQ(d2->styles[d2->chars[2].style].face, 4);  // sans-serif
    EXPECT_EQ(d2->font_count, 3);

    std::string big = R"({\rtf1{\fonttbl)";
    for (int i = 0; i < 100000; i++)
        big += "{\\f" + std::to_string(i) + (i % 2 ? "\\fswiss" : "\\fmodern") + " F;}";
    big += R"(}\f511 z})";
    Doc d3(big);
    EXPECT_EQ(d3->font_count, RTF_MAX_FONTS);
    EXPECT_EQ(d3->styles[d3->chars[0].style].face, 4);  // font 511: sans-serif

    // A list table of 100,000 lists of 20 levels, starting at the largest
    // number: the first lists are kept with 9 levels, numbers are held to
    // six digits, a list beyond those kept leaves its paragraphs unnumbered.
    std::string lists = R"({\rtf1{\*\listtable)";
    std::string levels;
    for (int k = 0; k < 20; k++)
        levels += R"({\listlevel\levelnfc1\levelstartat2147483647{\leveltext\'02\'00\'08;}{\levelnumbers\'01\'02;}})";
    for (int i = 0; i < 100000; i++)
        lists += "{\\list" + (i < 2 ? levels : std::string()) + "\\listid" + std::to_string(i) + "}";
    lists += R"(}{\*\listoverridetable{\listoverride\listid1\ls1}{\listoverride\listid99999\ls2}})";
    lists += R"(\pard\ls1\ilvl30 a\par\ilvl0 b\par c\par\pard\ls2 d\par})";
    Doc d4(lists);
    // (each number is the first level's, then the ninth's)
    EXPECT_EQ(utf8(d4->chars), "999999999999\ta999999999999\tb1000000999999\tcd");
}

// List 7: "1." then "1.a)" (the second level's number in its own letters),
// 36 points in, hanging 18; list 8: a Symbol-font bullet followed by a space;
// list 9: upper roman from 4, right-aligned, over upper letters from 27 with
// nothing after them. \ls4 is list 7 again with its first level from 5.
const char *const kListTable =
    R"({\rtf1{\*\listtable)"
    R"({\list{\listlevel\levelnfc0\levelstartat1{\leveltext\'02\'00.;}{\levelnumbers\'01;}\fi-360\li720})"
    R"({\listlevel\levelnfc4\levelstartat1{\leveltext\leveltemplateid5\'04\'00.\'01);}{\levelnumbers\'01\'03;})"
    R"(\fi-360\li1440}\listid7})"
    R"({\list{\listlevel\levelnfc23\levelfollow1{\leveltext\'01\u-3913 ?;}{\levelnumbers;}}{\listname ;}\listid8})"
    R"({\list{\listlevel\levelnfc1\leveljc2\levelstartat4{\leveltext\'01\'00;}{\levelnumbers\'01;}\fi-360\li720})"
    R"({\listlevel\levelnfc3\levelstartat27\levelfollow2{\leveltext\'01\'01;}{\levelnumbers\'01;}}\listid9}})"
    R"({\*\listoverridetable{\listoverride\listid7\listoverridecount0\ls1}{\listoverride\listid8\ls2})"
    R"({\listoverride\listid9\ls3}{\listoverride\listid7\listoverridecount1{\lfolevel\listoverridestartat)"
    R"(\levelstartat5}\ls4}})";

// Each row: paragraphs of the lists above, and the characters the parser
// must store for them (a list number, then a tab unless the level says
// otherwise, then the text).
TEST_F(Rtf, ListsAreNumberedFromTheListTable)
{
    const struct {
        const char *body, *chars;
    } rows[] = {
        // Counting on at a level, from its start again below a higher one;
        // \ls holds until \pard.
        {R"(\pard\ls1 A\par B\par\ilvl1 C\par D\par\pard\ls1 E\par\ls1\ilvl1 F\par\pard G\par)",
         "1.\tA2.\tB2.a)\tC2.b)\tD3.\tE3.a)\tFG"},
        // The writer's own list text, before \pard or after it, gives way to
        // the list table's number.
        {R"({\listtext 9.\tab}\pard\ls1 A\par\pard{\listtext 9.\tab}\ls1 B\par)", "1.\tA2.\tB"},
        // Without a list behind \ls the paragraph's own list text shows, one
        // group of it per paragraph.
        {R"({\listtext (a)\tab}{\pntext X\tab}\pard\ls77 A\par{\pntext *\tab}\pard B\par)", "(a)\tA*\tB"},
        // A Symbol bullet, roman and letter numbers, what follows them.
        {R"(\pard\ls2 A\par\pard\ls3 B\par\ilvl1 C\par)", "\u2022 AIV\tBAAC"},
        // An override with its own first number restarts the list.
        {R"(\pard\ls1 A\par\pard\ls4 B\par C\par)", "1.\tA5.\tB6.\tC"},
        // An empty list paragraph is numbered too.
        {R"(\pard\ls1\par B\par)", "1.\t2.\tB"},
        // Numbering of the older kind: the paragraph's own text, its Symbol
        // bullet as the bullet it shows; without that text, numbers that
        // count on until a paragraph without them.
        {R"({\fonttbl{\f1\fcharset2 Symbol;}}\pard{\pntext\f1\'B7\tab}{\*\pn\pnlvlblt\pnf1{\pntxtb\'B7}}A\par)",
         "\u2022\tA"},
        {R"(\pard{\*\pn\pnlvlbody\pnstart3\pnucrm{\pntxta .}}A\par B\par\pard C\par)"
         R"(\pard{\*\pn\pnlvlbody\pnlcltr{\pntxtb (}{\pntxta )}}D\par)",
         "III.\tAIV.\tBC(a)\tD"},
    };
    for (const auto &row : rows) {
        Doc doc(std::string(kListTable) + row.body + "}");
        ASSERT_NE(doc.d, nullptr) << row.body;
        EXPECT_EQ(utf8(doc->chars), row.chars) << row.body;
    }

    // The level's indents place the paragraph: the number hangs at 90
    // points, the text after the tab starts at 108; a right-aligned number
    // ends at 90. The paragraph's own indent wins over the level's.
    Doc doc(std::string(kListTable) + R"(\pard\ls1 A\par\pard\ls3 B\par\pard\ls1\li1440 C\par})");
    ASSERT_EQ(utf8(doc->chars), "1.\tAIV\tB2.\tC");
    EXPECT_FLOAT_EQ(doc->glyphs[0].x, 90);
    EXPECT_FLOAT_EQ(doc->glyphs[3].x, 108);
    EXPECT_NEAR(doc->glyphs[5].x + doc->glyphs[5].advance, 90, 0.01);  // "V"
    EXPECT_FLOAT_EQ(doc->glyphs[7].x, 108);
    EXPECT_FLOAT_EQ(doc->glyphs[8].x, 72 + 72 - 18);
    EXPECT_FLOAT_EQ(doc->glyphs[11].x, 72 + 72);
    EXPECT_NE(page_utf8(doc.d, 0).find("IV"), std::string::npos);  // numbers are page text
}

// Each row: a body and what the layout must do with it (US Letter, 1-inch
// margins: text between x 72 and 540, y 72 and 720).
TEST_F(Rtf, LayoutPlacesLinesCellsAndPictures)
{
    {   // two paragraphs: two 12-point lines on one page
        Doc doc(R"({\rtf1 Hello\par World})");
        ASSERT_EQ(doc->page_count, 1);
        ASSERT_EQ(doc->glyphs.size(), 10u);
        EXPECT_FLOAT_EQ(doc->glyphs[0].x, 72);
        EXPECT_FLOAT_EQ(doc->glyphs[0].y, 72 + 9.6f);
        EXPECT_FLOAT_EQ(doc->glyphs[5].y, 72 + 14.4f + 9.6f);
        EXPECT_FLOAT_EQ(doc->styles[doc->glyphs[0].style].size, 12);
    }
    {   // \fs48 is 24 points, \fs0 the default 12
        Doc doc(R"({\rtf1\fs48 a\fs0 b})");
        EXPECT_FLOAT_EQ(doc->styles[doc->chars[0].style].size, 24);
        EXPECT_FLOAT_EQ(doc->styles[doc->chars[1].style].size, 12);
    }
    {   // a paragraph longer than a page runs on, every line inside the margins
        std::string words;
        for (int i = 0; i < 3000; i++)
            words += "word" + std::to_string(i) + " ";
        Doc doc("{\\rtf1\\qj " + words + "\\par}");
        EXPECT_GE(doc->page_count, 3);
        for (const RtfGlyph &g : doc->glyphs) {
            ASSERT_LE(g.y, 720.0f);
            ASSERT_LE(g.x, 540.0f + 0.01f);
        }
        std::string all;
        for (int p = 0; p < doc->page_count; p++)
            all += page_utf8(doc.d, p) + "\n";
        for (char &c : all)
            c = c == '\n' ? ' ' : c;
        EXPECT_NE(all.find(" word1500 word1501 "), std::string::npos);  // spaces are text
    }
    {   // a word longer than the line breaks mid-word
        Doc doc("{\\rtf1 " + std::string(300, 'm') + "}");
        EXPECT_GT(doc->glyphs.back().y, doc->glyphs.front().y);
        for (const RtfGlyph &g : doc->glyphs)
            ASSERT_LE(g.x + g.advance, 540.01f);
    }
    {   // three cells side by side, grey borders; a fourth cell without a width
        // still gets room to the right, inside the page
        Doc doc(R"({\rtf1\trowd\cellx2000\cellx4000\cellx6000 a\cell b\cell c\cell d\cell\row after})");
        ASSERT_EQ(utf8(doc->chars), "abcdafter");
        const float xa = doc->glyphs[0].x, xb = doc->glyphs[1].x, xc = doc->glyphs[2].x, xd = doc->glyphs[3].x;
        EXPECT_FLOAT_EQ(xa, 74);
        EXPECT_FLOAT_EQ(xb, 72 + 100 + 2);
        EXPECT_FLOAT_EQ(xc, 72 + 200 + 2);
        EXPECT_GT(xd, 72 + 300);
        EXPECT_LT(xd, 540);
        EXPECT_FLOAT_EQ(doc->glyphs[0].y, doc->glyphs[3].y);
        EXPECT_GT(doc->glyphs[4].y, doc->glyphs[0].y);  // the text after the row comes below it
        ASSERT_FALSE(doc->rules.empty());
        EXPECT_EQ(doc->rules[0].red, 0xA0);
    }
    {   // a table longer than a page: rows move to the next page whole; a page
        // break inside a row takes effect below it
        std::string rows;
        for (int i = 0; i < 80; i++)
            rows += "\\trowd\\cellx3000 r" + std::to_string(i) + "\\cell\\row ";
        Doc doc("{\\rtf1 " + rows + "\\trowd\\cellx3000 x\\page\\cell\\row\\trowd\\cellx3000 y\\cell\\row}");
        EXPECT_GE(doc->page_count, 3);
        for (const RtfGlyph &g : doc->glyphs)
            ASSERT_LE(g.y, 720.0f);
        for (const RtfRule &r : doc->rules)
            ASSERT_LE(r.y0, 720.0f + 2);
        EXPECT_EQ(doc->glyphs.back().code, uint32_t('y'));
        EXPECT_EQ(doc->glyphs.back().page, doc->page_count - 1);
        EXPECT_GT(doc->glyphs.back().page, doc->glyphs[doc->glyphs.size() - 2].page);
    }
    {   // a picture larger than the page is scaled into the content box;
        // one without a size is 72 x 48 points
        Doc doc(R"({\rtf1{\pict\wmetafile8\picwgoal20000\pichgoal40000 0102}{\pict\emfblip 0102}})");
        ASSERT_EQ(doc->placed.size(), 2u);
        EXPECT_FLOAT_EQ(doc->placed[0].height, 648);
        EXPECT_FLOAT_EQ(doc->placed[0].width, 324);
        EXPECT_EQ(doc->placed[1].page, 1);
        EXPECT_FLOAT_EQ(doc->placed[1].width, 72);
        EXPECT_FLOAT_EQ(doc->placed[1].height, 48);
    }
}

// A band is exactly the rows of the whole page it covers (text, underline,
// table borders, a PNG, a JPEG and a placeholder), and each element shows
// where it was laid out, also with cell boundaries far beyond the page.
TEST_F(Rtf, BandsMatchTheWholePage)
{
    const std::vector<uint8_t> png = png_rgb(4, 2, 255, 0, 0);
    const std::vector<uint8_t> jpeg = testsupport::jpeg_encode(16, 16, 3, JCS_RGB, [](int, int, int k) {
        return k == 2 ? 255 : 0;
    });
    const std::string rtf = R"({\rtf1{\colortbl;\red0\green128\blue0;}\cf1\ul\b Green underlined\ul0\cf0\par)"
                            R"(\trowd\cellx2000\cellx2000000 a\cell b\cell\row)"
                            R"({\pict\pngblip\picwgoal1440\pichgoal720 )" + hex(png) + "}\\par"
                            R"({\pict\jpegblip\picwgoal1440\pichgoal1440 )" + hex(jpeg) + "}\\par"
                            R"({\pict\wmetafile8\picwgoal1440\pichgoal1440 00}})";
    Doc doc(rtf);
    ASSERT_EQ(doc->placed.size(), 3u);
    const float s = 1.5f;
    PageBitmap *whole = rtf_render_page(doc.d, 0, s, 0, 1188);
    ASSERT_NE(whole, nullptr);
    ASSERT_EQ(whole->width, 918);
    for (int top : {0, 97, 250, 1100}) {
        PageBitmap *band = rtf_render_page(doc.d, 0, s, top, 61);
        ASSERT_NE(band, nullptr);
        for (int y = 0; y < 61 && top + y < whole->height; y++)
            ASSERT_EQ(std::memcmp(pixel(band, 0, y), pixel(whole, 0, top + y), size_t(3 * whole->width)), 0)
                << "band at " << top << ", row " << y;
        bitmap_free(band);
    }
    auto centre = [&](const RtfPlaced &p) {
        return pixel(whole, int((p.x + p.width / 2) * s), int((p.y + p.height / 2) * s));
    };
    const uint8_t *red = centre(doc->placed[0]), *blue = centre(doc->placed[1]), *grey = centre(doc->placed[2]);
    EXPECT_EQ(red[2], 255);
    EXPECT_EQ(red[1], 0);
    EXPECT_GT(blue[0], 200);
    EXPECT_LT(blue[2], 60);
    EXPECT_EQ(grey[0], 0xE8);
    // The underline: green, under the first glyph.
    const RtfGlyph &g = doc->glyphs[0];
    const uint8_t *ul = pixel(whole, int((g.x + 1) * s), int((g.y + 0.12f * 12 + 0.5f) * s));
    EXPECT_GT(ul[1], ul[2] + 40) << int(ul[0]) << " " << int(ul[1]) << " " << int(ul[2]);
    bitmap_free(whole);
    EXPECT_EQ(rtf_render_page(doc.d, 1, s, 0, 10), nullptr);  // no such page
}

// Pictures are decoded when drawn, never beyond what their data can hold, and
// headers are laid out once however many pages show them.
TEST_F(Rtf, PicturesAndHeadersCostWhatTheyShow)
{
    const std::string junk(60000, 'x');
    const std::vector<uint8_t> liar = png_rgb(5000, 5000, 0, 0, 0, &junk);
    Doc doc("{\\rtf1{\\pict\\pngblip " + hex(liar) + "}}");
    ASSERT_EQ(doc->pictures.size(), 1u);
    EXPECT_EQ(doc->pictures[0].kind, RTF_PICT_OTHER);  // refused at once
    EXPECT_FLOAT_EQ(doc->placed[0].width, 72);
    PageBitmap *bm = rtf_render_page(doc.d, 0, 1, 0, 792);
    bitmap_free(bm);
    EXPECT_EQ(doc->decoded_pixels, 0);


    // Sizes that contradict the data or make no sense still place the
    // picture inside the content box.
    const std::vector<uint8_t> tiny = png_rgb(2, 2, 0, 0, 0);
    Doc wrong("{\\rtf1{\\pict\\pngblip\\picwgoal-5\\pichgoal2147483647\\picw99999999 " + hex(tiny) + "}}");
    ASSERT_EQ(wrong->placed.size(), 1u);
    EXPECT_LE(wrong->placed[0].height, 648);
    EXPECT_GT(wrong->placed[0].width, 0);
    bm = rtf_render_page(wrong.d, 0, 1, 0, 792);
    ASSERT_NE(bm, nullptr);
    bitmap_free(bm);

    const std::vector<uint8_t> small = png_rgb(30, 20, 0, 0, 255);
    Doc lazy("{\\rtf1 a\\page{\\pict\\pngblip " + hex(small) + "}}");
    EXPECT_EQ(lazy->pictures[0].bitmap, nullptr);  // not decoded at open
    bm = rtf_render_page(lazy.d, 0, 1, 0, 792);
    bitmap_free(bm);
    EXPECT_EQ(lazy->pictures[0].bitmap, nullptr);  // nor for a page without it
    bm = rtf_render_page(lazy.d, 1, 1, 0, 792);
    bitmap_free(bm);
    EXPECT_NE(lazy->pictures[0].bitmap, nullptr);

    std::string header = "{\\header ";
    for (int i = 0; i < 10000; i++)
        header += "h\\par ";
    std::string pages;
    for (int i = 0; i < 1000; i++)
        pages += "p\\page ";
    Doc many("{\\rtf1" + header + "}" + pages + "}");
    EXPECT_EQ(many->page_count, 1001);
    EXPECT_EQ(many->band_glyphs.size(), 10000u);
    EXPECT_LE(many->glyphs.size(), 1000u);
    bm = rtf_render_page(many.d, 999, 0.5f, 0, 396);
    ASSERT_NE(bm, nullptr);
    bitmap_free(bm);
    const std::string text = page_utf8(many.d, 999);
    EXPECT_EQ(text.front(), 'h');
    EXPECT_LT(text.size(), 200u);  // only the header lines on the page
}

// The document layer opens an RTF file by its content, searches its text with
// spaces between words, and rotates its pages.
TEST_F(Rtf, DocumentLayer)
{
    const std::string path = testsupport::scratch_path("letter.txt");
    ASSERT_TRUE(testsupport::write_file(path, R"({\rtf1\paperw12240\paperh15840 Hello world\par Again\page Two})"));
    Document *doc = nullptr;
    ASSERT_EQ(doc_open(&doc, path.c_str(), nullptr), 0);
    EXPECT_EQ(doc->kind, DOC_RTF);
    EXPECT_EQ(doc_page_count(doc), 2);
    PageText *t = doc_page_text(doc, 0, 2.0f);
    SearchHit hits[4];
    ASSERT_EQ(text_search(t, "hello world", 4, hits, 0), 1);
    EXPECT_NEAR(hits[0].x0, 144, 0.01);
    page_text_free(t);
    doc_rotate(doc, 1);
    float w, h;
    doc_page_size(doc, 0, &w, &h, nullptr);
    EXPECT_FLOAT_EQ(w, 792);
    PageBitmap *bm = nullptr;
    ASSERT_EQ(doc_render_page(doc, 1, 0.5f, 0, 0, &bm), 0);
    EXPECT_EQ(bm->width, 396);
    bitmap_free(bm);
    doc_close(doc);
}
