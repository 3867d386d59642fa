// Plain text documents: the eleven encodings at their tricky codes, the
// detection rules, logical lines and visual rows, the size limits, page
// geometry and text boxes, band rendering, and the document layer's
// forwarding of the encoding and font settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "formats/limits.h"
#include "formats/text_doc.h"
#include "text/page_text.h"
#include "font_support.h"
#include "test_support.h"

namespace {

using Rows = std::vector<std::u16string>;

TextDoc *open_bytes(const std::string &bytes, const char *name = nullptr)
{
    return text_open_memory(reinterpret_cast<const uint8_t *>(bytes.data()), int64_t(bytes.size()), name);
}

// The characters of each visual row of a page, by the rows of its items.
Rows page_rows(TextDoc *doc, int page)
{
    Rows rows;
    PageText *text = text_page_text(doc, page, 1.0f);
    if (!text)
        return rows;
    float y = -1;
    for (int i = 0; i < text->count; i++) {
        const TextItem &it = text->items[i];
        if (rows.empty() || it.y0 != y) {
            // Empty rows have no items: fill the rows they skip.
            const int row = int((it.y0 - 36) / 13 + 0.5f);
            while (int(rows.size()) <= row)
                rows.emplace_back();
            y = it.y0;
        }
        rows.back().push_back(char16_t(it.unicode));
    }
    page_text_free(text);
    return rows;
}

// All rows of all pages of a document, joined without separators.
std::u16string all_text(TextDoc *doc)
{
    std::u16string s;
    for (int p = 0; p < text_page_count(doc); p++) {
        for (const std::u16string &r : page_rows(doc, p))
            s += r;
    }
    return s;
}

std::string bytes_of(std::initializer_list<int> v)
{
    std::string s;
    for (int b : v)
        s.push_back(char(b));
    return s;
}

std::string hex16(const std::u16string &s)
{
    std::string out;
    char buf[8];
    for (char16_t c : s) {
        std::snprintf(buf, sizeof buf, "%04X ", unsigned(c));
        out += buf;
    }
    return out;
}

// Each encoding at the codes where its table differs from its neighbours
// or where decoding takes a decision.
TEST(TextDoc, EncodingsAtTrickyCodes)
{
    struct Row {
        int encoding;
        std::string bytes;
        std::u16string shown;
    } rows[] = {
        // OEM 437: box drawing, blocks, German sharp s, the peseta sign.
        {TEXT_OEM_437, bytes_of({0xC9, 0xCD, 0xBB, 0xB0, 0xDB, 0xE1, 0x9E}), u"╔═╗░█ß₧"},
        // OEM 850: the accented capitals that replace 437's box corners.
        {TEXT_OEM_850, bytes_of({0x9B, 0x9D, 0x9E, 0xB5, 0xD5, 0xE1, 0xC9}), u"øØ×Áıß╔"},
        // OEM 857: Turkish letters; 0xD5, 0xE7 and 0xF2 are undefined and dropped.
        {TEXT_OEM_857, bytes_of({0x8D, 0x98, 0x9E, 0x9F, 0xA6, 0xA7, 0xD5, 0xE7, 0xF2, 0xEC}), u"ıİŞşĞğì"},
        // Windows-1252 at 0x80..0x9F; 0x81, 0x8D, 0x8F, 0x90, 0x9D undefined.
        {TEXT_WINDOWS_1252, bytes_of({0x80, 0x81, 0x8A, 0x8D, 0x8E, 0x8F, 0x90, 0x9D, 0x9E, 0x9F, 0xD0, 0xF0}), u"€ŠŽžŸÐð"},
        // Windows-1254: 0x8E/0x9E undefined, D0/F0/DD/FD/DE/FE Turkish.
        {TEXT_WINDOWS_1254, bytes_of({0x80, 0x8A, 0x8E, 0x9E, 0x9F, 0xD0, 0xF0, 0xDD, 0xFD, 0xDE, 0xFE}), u"€ŠŸĞğİıŞş"},
        // ISO-8859-9: the C1 range passes through as control-free code points.
        {TEXT_ISO_8859_9, bytes_of({0x80, 0x9F, 0xA4, 0xD0, 0xF0, 0xDD, 0xFD, 0xFF}), u"\u0080\u009F¤Ğğİıÿ"},
        // Mac Turkish: Mac Roman's high half with the Turkish letters; 0xF5 undefined.
        {TEXT_MAC_TURKISH, bytes_of({0x80, 0x8E, 0xA5, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xF5, 0xDB, 0xF0}), u"Äé•ĞğİıŞşğ\uF8FF"},
        // ASCII: every high byte is a question mark.
        {TEXT_ASCII, bytes_of({'a', 0x80, 0xFF}), u"a??"},
        // UTF-8: two-, three- and four-byte sequences (beyond U+FFFF: "?"),
        // a stray continuation and a lead cut by the line's end as themselves.
        {TEXT_UTF8, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x80x\xE2\x82", u"é€?\u0080x\u00E2\u0082"},
        // UTF-16 both byte orders: a surrogate pair becomes one "?", a lone
        // high surrogate stays a unit; a byte 0x0A inside a unit is no line break.
        {TEXT_UTF16LE, bytes_of({'A', 0, 0x3D, 0xD8, 0x00, 0xDE, 0x0A, 0x01, 0x1E, 0x01}), u"A?\u010AĞ"},
        {TEXT_UTF16BE, bytes_of({0, 'A', 0xD8, 0x3D, 0xDE, 0x00, 0x01, 0x0A, 0xD8, 0x00, 0, 'z'}), u"A?\u010A\xD800z"},
    };
    for (const Row &row : rows) {
        TextDoc *doc = open_bytes(row.bytes);
        ASSERT_NE(doc, nullptr);
        ASSERT_TRUE(text_set_encoding(doc, row.encoding));
        EXPECT_EQ(text_encoding_sure(doc), 1);
        const std::u16string got = all_text(doc);
        EXPECT_EQ(hex16(got), hex16(row.shown)) << text_encoding_name(row.encoding);
        text_close(doc);
    }
}

TEST(TextDoc, NamesAndIndexes)
{
    for (int i = 0; i < TEXT_ENCODING_COUNT; i++)
        EXPECT_EQ(text_encoding_by_name(text_encoding_name(i)), i) << i;
    EXPECT_STREQ(text_encoding_name(11), "?");
    EXPECT_STREQ(text_encoding_name(-1), "?");
    EXPECT_EQ(text_encoding_by_name("oem437"), TEXT_OEM_437);
    EXPECT_EQ(text_encoding_by_name("utf-16le"), TEXT_UTF16LE);
    EXPECT_EQ(text_encoding_by_name("MAC_TURKISH"), TEXT_MAC_TURKISH);
    EXPECT_EQ(text_encoding_by_name("latin1"), -1);
    EXPECT_EQ(text_encoding_by_name(""), -1);
    TextDoc *doc = open_bytes("abc");
    EXPECT_FALSE(text_set_encoding(doc, 11));
    EXPECT_FALSE(text_set_encoding(doc, -2));
    EXPECT_EQ(text_encoding(doc), TEXT_ASCII);
    text_close(doc);
    EXPECT_EQ(text_encoding(nullptr), TEXT_ASCII);
    EXPECT_EQ(text_encoding_sure(nullptr), 1);
}

TEST(TextDoc, DetectionRules)
{
    const std::string cut_by_limit = std::string(TEXT_DETECT_SAMPLE - 1, 'a') + "\xC3\xA9";
    // Three-byte letters from the start, one straddling the sample's limit.
    std::string cjk;
    while (cjk.size() < size_t(TEXT_DETECT_SAMPLE) + 3)
        cjk += "\xE4\xB8\xAD";
    cjk = "x" + cjk;
    struct Row {
        std::string bytes;
        const char *path;
        int encoding;
        int sure;
    } rows[] = {
        {"\xEF\xBB\xBF" "abc", nullptr, TEXT_UTF8, 1},
        {"\xFF\xFE" "a\0", nullptr, TEXT_UTF16LE, 1},
        {"\xFE\xFF\0a", nullptr, TEXT_UTF16BE, 1},
        {"gr\xC3\xBC\xC3\x9F", nullptr, TEXT_UTF8, 1},
        {"plain words\n", nullptr, TEXT_ASCII, 1},
        {"", nullptr, TEXT_ASCII, 1},
        {"da\xF0" "a", nullptr, TEXT_WINDOWS_1254, 0},
        {"da\xF0" "a", "dir/x.nfo", TEXT_OEM_437, 0},
        {"da\xF0" "a", "X.NFO", TEXT_OEM_437, 0},
        {"da\xF0" "a", "x.info", TEXT_WINDOWS_1254, 0},
        {"da\xF0" "a", "old.nf/readme", TEXT_WINDOWS_1254, 0},  // a directory's dot is no extension
        {"\xC3(", nullptr, TEXT_WINDOWS_1254, 0},          // bad continuation
        {"abc\xE2\x82", nullptr, TEXT_WINDOWS_1254, 0},    // cut by the end of the data
        {"\xF8\x88\x80\x80\x80", nullptr, TEXT_WINDOWS_1254, 0},  // no such lead byte
        // The only sequence cut by the sample's limit: nothing valid seen.
        {cut_by_limit, nullptr, TEXT_WINDOWS_1254, 0},
        // Many whole sequences before the cut one: UTF-8.
        {cjk, nullptr, TEXT_UTF8, 1},
        // A high byte beyond the sample is not looked at.
        {std::string(TEXT_DETECT_SAMPLE, 'a') + "\xF0", nullptr, TEXT_ASCII, 1},
    };
    for (const Row &row : rows) {
        int sure = -1;
        EXPECT_EQ(text_detect_encoding(reinterpret_cast<const uint8_t *>(row.bytes.data()),
                                       int64_t(row.bytes.size()), row.path, &sure),
                  row.encoding)
            << row.bytes.size() << " bytes, " << (row.path ? row.path : "no name");
        EXPECT_EQ(sure, row.sure) << row.bytes.size() << " bytes";
    }
    // Opened under an "nf" name it is OEM 437; detecting again forgets the name.
    TextDoc *doc = open_bytes("da\xF0" "a", "x.nfo");
    EXPECT_EQ(text_encoding(doc), TEXT_OEM_437);
    EXPECT_EQ(page_rows(doc, 0), Rows{u"da≡a"});
    ASSERT_TRUE(text_set_encoding(doc, -1));
    EXPECT_EQ(text_encoding(doc), TEXT_WINDOWS_1254);
    EXPECT_EQ(text_encoding_sure(doc), 0);
    EXPECT_EQ(page_rows(doc, 0), Rows{u"dağa"});
    // Read as UTF-16 LE by hand: each byte pair is one character.
    ASSERT_TRUE(text_set_encoding(doc, TEXT_UTF16LE));
    EXPECT_EQ(text_encoding_sure(doc), 1);
    EXPECT_EQ(page_rows(doc, 0), Rows{u"\u6164\u61F0"});
    text_close(doc);
}

TEST(TextDoc, LinesRowsAndPages)
{
    const std::u16string s90(90, u'x');
    struct Row {
        const char *what;
        std::string bytes;
        int encoding;  // -1: detected
        int lines, total_rows, pages;
        Rows page0;  // empty: not compared
    } rows[] = {
        {"empty file", "", -1, 1, 1, 1, {}},
        {"LF, CRLF, CR", "a\nb\r\nc\rd", -1, 4, 4, 1, {u"a", u"b", u"c", u"d"}},
        {"CR CR", "a\r\rb", -1, 3, 3, 1, {u"a", u"", u"b"}},
        {"CR LF", "a\r\nb", -1, 2, 2, 1, {u"a", u"b"}},
        {"trailing break adds no line", "a\n", -1, 1, 1, 1, {u"a"}},
        {"blank last line", "a\n\n", -1, 2, 2, 1, {u"a"}},
        {"90 characters: one row", std::string(90, 'x'), -1, 1, 1, 1, {s90}},
        {"200 characters: 90 + 90 + 20", std::string(200, 'x'), -1, 1, 3, 1, {s90, s90, std::u16string(20, u'x')}},
        {"tab at column 5 and 8", "abcde\tx\nabcdefgh\ty", -1, 2, 2, 1, {u"abcde   x", u"abcdefgh        y"}},
        {"tabs only", "\t\t\t\t\t\t\t\t\t\t\t\t", -1, 1, 2, 1, {std::u16string(90, u' '), u"      "}},
        {"control characters dropped", "a\x01\x1b" "b\x7f\x0c", -1, 1, 1, 1, {u"ab\x7f"}},
        {"UTF-16 CR LF units, odd last byte", bytes_of({0xFF, 0xFE, 'a', 0, '\r', 0, '\n', 0, 'b', 0, 'c'}), -1,
         2, 2, 1, {u"a", u"b"}},
        {"UTF-16 BE lone CR", bytes_of({0xFE, 0xFF, 0, 'a', 0, '\r', 0, 'b'}), -1, 2, 2, 1, {u"a", u"b"}},
        {"55 rows: one page", std::string(54, '\n') + "x", -1, 55, 55, 1, {}},
        {"56 rows: two pages", std::string(55, '\n') + "x", -1, 56, 56, 2, {}},
    };
    for (const Row &row : rows) {
        TextDoc *doc = open_bytes(row.bytes);
        ASSERT_NE(doc, nullptr) << row.what;
        if (row.encoding >= 0)
            text_set_encoding(doc, row.encoding);
        EXPECT_EQ(doc->line_count, row.lines) << row.what;
        EXPECT_EQ(doc->total_rows, row.total_rows) << row.what;
        EXPECT_EQ(text_page_count(doc), row.pages) << row.what;
        if (!row.page0.empty()) {
            EXPECT_EQ(page_rows(doc, 0), row.page0) << row.what;
        }
        text_close(doc);
    }
}

// Lines longer than the decoded-line buffer keep every character, with the
// rows and tab stops they would have in one piece.
TEST(TextDoc, LongLinesKeepEveryCharacter)
{
    std::string line;
    std::u16string expect;
    for (int i = 0; i < 20000; i++) {
        const char c = char('a' + i % 26);
        line += c;
        expect += char16_t(c);
    }
    // A tab straddling nothing: piece boundaries fall on tab stops.
    line += "\t\xC3\xA9";
    expect += std::u16string(8 - expect.size() % 8, u' ') + u"é";
    TextDoc *doc = open_bytes(line + "\nnext");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(text_encoding(doc), TEXT_UTF8);
    const int rows = int((expect.size() + 89) / 90);
    EXPECT_EQ(doc->total_rows, rows + 1);
    EXPECT_EQ(all_text(doc), expect + u"next");
    // Rows stay 90 characters wide across the piece boundary.
    const Rows page3 = page_rows(doc, 16200 / 90 / 55);
    for (size_t r = 0; r + 1 < page3.size(); r++)
        EXPECT_EQ(page3[r].size(), 90u) << "row " << r;
    text_close(doc);
}

// The first 16 MiB are read; a byte more is cut. Rows past page 32767 are
// never indexed.
TEST(TextDoc, SizeLimits)
{
    // 90-byte lines of 89 letters; the file ends inside a line.
    std::string big;
    big.reserve(size_t(TEXT_MAX_FILE) + 1);
    for (int i = 0; big.size() + 90 <= size_t(TEXT_MAX_FILE); i++)
        big += std::string(89, char('a' + i % 26)) + "\n";
    big += std::string(size_t(TEXT_MAX_FILE) - big.size(), 'Z');
    ASSERT_EQ(big.size(), size_t(TEXT_MAX_FILE));
    const std::string exact = testsupport::scratch_path("exact.txt");
    const std::string over = testsupport::scratch_path("over.txt");
    ASSERT_TRUE(testsupport::write_file(exact, big));
    ASSERT_TRUE(testsupport::write_file(over, big + "Q"));
    for (const std::string &path : {exact, over}) {
        TextDoc *doc = text_open(path.c_str());
        ASSERT_NE(doc, nullptr) << path;
        EXPECT_EQ(doc->length, TEXT_MAX_FILE) << path;
        const int last = text_page_count(doc) - 1;
        EXPECT_EQ(last, (doc->total_rows - 1) / 55);
        const Rows rows = page_rows(doc, last);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back(), std::u16string(size_t(TEXT_MAX_FILE) - big.rfind('\n') - 1, u'Z')) << path;
        text_close(doc);
    }
    // Two million empty lines: the index stops at the last page's rows.
    TextDoc *doc = open_bytes(std::string(2000000, '\n'));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(text_page_count(doc), TEXT_MAX_PAGES);
    EXPECT_EQ(doc->total_rows, TEXT_MAX_PAGES * 55);
    text_close(doc);
    EXPECT_EQ(text_open(testsupport::scratch_path("missing.txt").c_str()), nullptr);
}

// Item boxes: monospaced cells of 6 points, proportional advances from the
// face, rows 13 points apart.
TEST(TextDoc, PageTextBoxes)
{
    ASSERT_TRUE(testsupport::install_base_fonts());
    std::string text;
    for (int i = 0; i < 54; i++)
        text += "\n";
    text += "iiiiimmmmm" + std::string(80, 'w');
    TextDoc *doc = open_bytes(text);
    const float scale = 1.5f;
    PageText *t = text_page_text(doc, 0, scale);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->count, 90);
    // Row 54: boxes from 54 * 13 + 36 to 54 * 13 + 48 points.
    EXPECT_FLOAT_EQ(t->items[0].y0, (54 * 13 + 36) * scale);
    EXPECT_FLOAT_EQ(t->items[0].y1, (54 * 13 + 48) * scale);
    EXPECT_EQ(t->items[0].x0, 54);   // trunc(36 * 1.5)
    EXPECT_EQ(t->items[0].x1, 63);   // trunc(42 * 1.5)
    EXPECT_EQ(t->items[89].x0, 54 + 89 * 9);
    EXPECT_EQ(t->items[89].x1, 54 + 90 * 9);
    page_text_free(t);
    text_set_mono(doc, 0);
    EXPECT_EQ(text_mono(doc), 0);
    t = text_page_text(doc, 0, scale);
    ASSERT_NE(t, nullptr);
    const float i_width = t->items[0].x1 - t->items[0].x0, m_width = t->items[5].x1 - t->items[5].x0;
    EXPECT_GT(i_width, 0);
    EXPECT_GT(m_width, 2 * i_width);  // Helvetica: i 222, m 833 thousandths
    EXPECT_EQ(t->items[1].x0, t->items[0].x1);  // a running position
    page_text_free(t);
    EXPECT_EQ(text_page_text(doc, 1, 1.0f), nullptr);
    EXPECT_EQ(text_page_text(doc, 0, 0.0f), nullptr);
    text_close(doc);
}

// Rows of ink in a band: the rows whose pixel has any channel below 128.
std::vector<int> inked_rows(const PageBitmap *b)
{
    std::vector<int> rows;
    for (int y = 0; y < b->height; y++) {
        const uint8_t *p = b->pixels + size_t(y) * size_t(b->stride);
        for (int x = 0; x < 3 * b->width; x++) {
            if (p[x] < 128) {
                rows.push_back(y);
                break;
            }
        }
    }
    return rows;
}

bool same_pixels(const PageBitmap *a, int a_top, const PageBitmap *b, int rows)
{
    for (int y = 0; y < rows; y++) {
        if (std::memcmp(a->pixels + size_t(a_top + y) * size_t(a->stride), b->pixels + size_t(y) * size_t(b->stride),
                        size_t(3 * a->width)) != 0)
            return false;
    }
    return true;
}

TEST(TextDoc, BandsMatchTheWholePage)
{
    ASSERT_TRUE(testsupport::install_base_fonts());
    std::string text;
    for (int i = 0; i < 60; i++)
        text += "Row " + std::to_string(i) + " \xC4\xB0\xC4\x9F\xC3\xA9 {|} gjpqy\n";
    TextDoc *doc = open_bytes(text);
    for (int mono : {1, 0}) {
        text_set_mono(doc, mono);
        const float scale = 1.25f;
        PageBitmap *whole = nullptr;
        ASSERT_EQ(text_render_page(doc, 0, scale, 0, 990, &whole), 0);
        ASSERT_EQ(whole->width, 765);
        ASSERT_EQ(whole->height, 990);
        // Ink stays within an em and a bit around the baselines of rows
        // 0 and 54: the five rows of page 2 are not drawn here.
        const std::vector<int> ink = inked_rows(whole);
        ASSERT_FALSE(ink.empty());
        EXPECT_GE(ink.front(), int((44 - 11) * scale));
        EXPECT_LE(ink.back(), int((54 * 13 + 44 + 4) * scale));
        // Bands cut through glyphs anywhere give the same pixels.
        for (int top : {0, 1, 57, 300, 987}) {
            for (int rows : {1, 13, 200}) {
                PageBitmap *band = nullptr;
                ASSERT_EQ(text_render_page(doc, 0, scale, top, rows, &band), 0);
                const int n = band->height;
                EXPECT_EQ(n, rows < 990 - top ? rows : 990 - top);
                EXPECT_TRUE(same_pixels(whole, top, band, n)) << "mono " << mono << " band " << top << "+" << rows;
                bitmap_free(band);
            }
        }
        bitmap_free(whole);
    }
    PageBitmap *none = nullptr;
    EXPECT_EQ(text_render_page(doc, 0, 1.0f, 792, 10, &none), -5);
    EXPECT_EQ(text_render_page(doc, 0, 1.0f, -1, 10, &none), -5);
    EXPECT_EQ(text_render_page(doc, 0, 0.0f, 0, 10, &none), -5);
    EXPECT_EQ(text_render_page(doc, 2, 1.0f, 0, 10, &none), -4);
    EXPECT_EQ(none, nullptr);
    text_close(doc);
}

// Proportional rows are narrower than monospaced ones for narrow letters,
// and a glyph the face lacks draws nothing.
TEST(TextDoc, FacesShapeTheRow)
{
    ASSERT_TRUE(testsupport::install_base_fonts());
    auto ink_extent = [](TextDoc *doc, int *left, int *right) {
        PageBitmap *b = nullptr;
        ASSERT_EQ(text_render_page(doc, 0, 2.0f, 0, 120, &b), 0);
        *left = b->width;
        *right = -1;
        for (int y = 0; y < b->height; y++) {
            for (int x = 0; x < b->width; x++) {
                if (b->pixels[size_t(y) * size_t(b->stride) + 3 * size_t(x)] < 128) {
                    *left = std::min(*left, x);
                    *right = std::max(*right, x);
                }
            }
        }
        bitmap_free(b);
    };
    TextDoc *doc = open_bytes("iiiiiiiiiiiiiiiiiiii");
    int l, r;
    ink_extent(doc, &l, &r);
    EXPECT_NEAR(l, 72 + 4, 6);  // the first cell starts at 36 points
    EXPECT_NEAR(r, 72 + 19 * 12 + 8, 6);
    text_set_mono(doc, 0);
    int pl, pr;
    ink_extent(doc, &pl, &pr);
    EXPECT_LT(pr - pl, (r - l) / 2);
    text_close(doc);
    // CJK letters: neither base face has them, the page stays white.
    doc = open_bytes("\xE4\xB8\xAD\xE6\x96\x87");
    ink_extent(doc, &l, &r);
    EXPECT_EQ(r, -1);
    text_close(doc);
}

TEST(TextDoc, DocumentLayerForwards)
{
    ASSERT_TRUE(testsupport::install_base_fonts());
    // 0xD0 is Ğ in Windows-1254 and ╨ in OEM 437; 160 short lines.
    std::string bytes;
    for (int i = 0; i < 160; i++)
        bytes += "\xD0\xD0\xD0 line\r\n";
    const std::string path = testsupport::scratch_path("forward.txt");
    ASSERT_TRUE(testsupport::write_file(path, bytes));
    Document *doc = nullptr;
    ASSERT_EQ(doc_open(&doc, path.c_str(), nullptr), 0);
    EXPECT_STREQ(doc_kind_name(doc), "Text Document");
    EXPECT_EQ(doc_has_text(doc), 1);
    EXPECT_EQ(doc_page_count(doc), 3);
    EXPECT_EQ(doc_text_encoding(doc), TEXT_WINDOWS_1254);
    EXPECT_EQ(doc_text_encoding_sure(doc), 0);
    EXPECT_STREQ(doc_text_encoding_name(doc_text_encoding(doc)), "Windows-1254");
    float w, h;
    int rot;
    ASSERT_EQ(doc_page_size(doc, 0, &w, &h, &rot), 0);
    EXPECT_EQ(w, 612);
    EXPECT_EQ(h, 792);
    PageText *t = doc_page_text(doc, 0, 1.0f);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->items[0].unicode, 0x011Eu);
    page_text_free(t);

    // A rotated page is cached; a new encoding or font must not show the old one.
    doc_rotate(doc, 1);
    ASSERT_EQ(doc_page_size(doc, 0, &w, &h, &rot), 0);
    EXPECT_EQ(w, 792);
    PageBitmap *before = nullptr, *after = nullptr, *proportional = nullptr;
    ASSERT_EQ(doc_render_page(doc, 0, 1.0f, 0, 0, &before), 0);
    EXPECT_EQ(doc_text_set_encoding(doc, TEXT_OEM_437), 1);
    EXPECT_EQ(doc_text_encoding_sure(doc), 1);
    ASSERT_EQ(doc_render_page(doc, 0, 1.0f, 0, 0, &after), 0);
    EXPECT_FALSE(same_pixels(before, 0, after, before->height));
    doc_text_set_mono(doc, 0);
    EXPECT_EQ(doc_text_mono(doc), 0);
    ASSERT_EQ(doc_render_page(doc, 0, 1.0f, 0, 0, &proportional), 0);
    EXPECT_FALSE(same_pixels(after, 0, proportional, after->height));
    bitmap_free(before);
    bitmap_free(after);
    bitmap_free(proportional);
    // Bands past the page are refused; one reaching past its end is shortened.
    PageBitmap *band = nullptr;
    EXPECT_EQ(doc_render_page(doc, 0, 1.0f, 612, 10, &band), -5);
    ASSERT_EQ(doc_render_page(doc, 0, 1.0f, 600, 50, &band), 0);
    EXPECT_EQ(band->height, 12);
    bitmap_free(band);

    // Read as UTF-16 the CR LF pairs are gone: one long line, other pages.
    EXPECT_EQ(doc_text_set_encoding(doc, TEXT_UTF16LE), 1);
    EXPECT_EQ(doc_page_count(doc), 1);
    EXPECT_EQ(doc_text_set_encoding(doc, 12), 0);
    EXPECT_EQ(doc_text_set_encoding(doc, -1), 1);
    EXPECT_EQ(doc_text_encoding(doc), TEXT_WINDOWS_1254);
    EXPECT_EQ(doc_page_count(doc), 3);
    doc_close(doc);

    // Other kinds and no document.
    EXPECT_EQ(doc_text_encoding(nullptr), -2);
    EXPECT_EQ(doc_text_set_encoding(nullptr, 0), 0);
    EXPECT_EQ(doc_text_encoding_sure(nullptr), 1);
    EXPECT_EQ(doc_text_mono(nullptr), 1);
    doc_text_set_mono(nullptr, 0);
    EXPECT_STREQ(doc_text_encoding_name(99), "?");
}

}  // namespace
