// Plain text documents against other programs: the code page tables against
// the C library's iconv, and pagrix-render's detection and text of the
// corpus text files against their UTF-8 references (made by iconv), row by
// row once the reference is wrapped at 90 characters as the listing wraps.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <string>
#include <vector>

#include "formats/text_doc.h"
#include "text/page_text.h"
#include "command_support.h"
#include "test_support.h"

namespace {

// The code point of one byte in an iconv code page, 0 when it has none.
uint32_t iconv_byte(const char *charset, uint8_t byte)
{
    iconv_t cd = iconv_open("UTF-32LE", charset);
    if (cd == iconv_t(-1))
        return 0;
    char in[1] = {char(byte)};
    uint8_t out[8] = {};
    char *ip = in, *op = reinterpret_cast<char *>(out);
    size_t il = 1, ol = sizeof out;
    const size_t rc = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (rc == size_t(-1) || sizeof out - ol != 4)
        return 0;
    return uint32_t(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

// Every high byte on a line of its own, decoded: undefined bytes leave
// their line empty.
TEST(TextCorpus, CodePagesMatchIconv)
{
    struct Row {
        int encoding;
        const char *charset;
    } rows[] = {
        {TEXT_WINDOWS_1254, "CP1254"}, {TEXT_ISO_8859_9, "ISO-8859-9"}, {TEXT_OEM_857, "CP857"},
        {TEXT_OEM_850, "CP850"},       {TEXT_WINDOWS_1252, "CP1252"},   {TEXT_OEM_437, "CP437"},
    };
    std::string bytes;
    for (int b = 0x80; b <= 0xFF; b++)
        bytes += std::string(1, char(b)) + "\n";
    TextDoc *doc = text_open_memory(reinterpret_cast<const uint8_t *>(bytes.data()), int64_t(bytes.size()), nullptr);
    ASSERT_NE(doc, nullptr);
    for (const Row &row : rows) {
        ASSERT_TRUE(text_set_encoding(doc, row.encoding));
        for (int b = 0x80; b <= 0xFF; b++) {
            const int line = b - 0x80, page = line / 55;
            PageText *text = text_page_text(doc, page, 1.0f);
            ASSERT_NE(text, nullptr);
            const float y0 = float((line % 55) * 13 + 36);
            uint32_t got = 0;
            for (int i = 0; i < text->count; i++) {
                if (text->items[i].y0 == y0)
                    got = text->items[i].unicode;
            }
            page_text_free(text);
            EXPECT_EQ(got, iconv_byte(row.charset, uint8_t(b))) << row.charset << " byte " << std::hex << b;
        }
    }
    text_close(doc);
}

// The reference text as the listing's rows: tabs expanded, control
// characters dropped, characters beyond U+FFFF as "?", lines wrapped at 90
// characters; empty rows left out (the page text has nothing on them).
std::vector<std::u16string> reference_rows(const std::string &utf8)
{
    std::vector<std::u16string> rows;
    std::u16string line;
    auto flush = [&]() {
        for (size_t i = 0; i < line.size(); i += 90)
            rows.push_back(line.substr(i, 90));
        line.clear();
    };
    for (size_t i = 0; i < utf8.size();) {
        const uint8_t b = uint8_t(utf8[i]);
        uint32_t c = b;
        int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        if (n > 1)
            c = b & (0x3F >> (n - 1));
        for (int k = 1; k < n && i + size_t(k) < utf8.size(); k++)
            c = c << 6 | (uint8_t(utf8[i + size_t(k)]) & 0x3F);
        i += size_t(n);
        if (c == '\n' || c == '\r') {
            flush();
        } else if (c == '\t') {
            line.append(8 - line.size() % 8, u' ');
        } else if (c >= 32) {
            line.push_back(c > 0xFFFF ? u'?' : char16_t(c));
        }
    }
    flush();
    return rows;
}

// pagrix-render's text output as rows: lines of every page, empty ones left out.
std::vector<std::u16string> output_rows(const std::string &utf8)
{
    std::string normal = utf8;
    for (char &ch : normal) {
        if (ch == '\f')
            ch = '\n';
    }
    return reference_rows(normal);
}

// The index of the first row that differs, or -1.
int first_difference(const std::vector<std::u16string> &a, const std::vector<std::u16string> &b)
{
    for (size_t i = 0; i < a.size() || i < b.size(); i++) {
        if (i >= a.size() || i >= b.size() || a[i] != b[i])
            return int(i);
    }
    return -1;
}

TEST(TextCorpus, FilesReadAsTheirReferences)
{
    SKIP_WITHOUT_CORPUS();
    const std::string tool = testsupport::pagrix_render_path();
    if (tool.empty())
        GTEST_SKIP() << "pagrix-render not built";
    struct Row {
        const char *name;
        const char *encoding;  // the name given to --encoding; null: one we do not have
        const char *detected;  // what info reports
    } rows[] = {
        {"text-de-utf-8-lf", "UTF-8", "UTF-8"},
        {"text-es-utf-8-crlf-bom", "UTF-8", "UTF-8"},
        {"text-zh-utf-8-lf", "UTF-8", "UTF-8"},
        {"text-ja-utf-16le-crlf-bom", "UTF-16 LE", "UTF-16 LE"},
        {"text-ru-utf-16be-lf-bom", "UTF-16 BE", "UTF-16 BE"},
        {"text-de-windows-1252-crlf", "Windows-1252", "Windows-1254 (guessed)"},
        {"text-fr-iso-8859-1-lf", "Windows-1252", "Windows-1254 (guessed)"},  // the same letters
        {"text-de-cp850-crlf", "OEM 850", "Windows-1254 (guessed)"},
        {"text-en-cp437-crlf", "OEM 437", "Windows-1254 (guessed)"},
        {"text-fr-macintosh-cr", "Mac Turkish", "Windows-1254 (guessed)"},  // French letters as in Mac Roman
        // Code pages the listing does not have: shown as the guess.
        {"text-fr-iso-8859-15-lf", nullptr, "Windows-1254 (guessed)"},
        {"text-pl-iso-8859-2-lf", nullptr, "Windows-1254 (guessed)"},
        {"text-ru-iso-8859-5-lf", nullptr, "Windows-1254 (guessed)"},
        {"text-el-iso-8859-7-lf", nullptr, "Windows-1254 (guessed)"},
    };
    for (const Row &row : rows) {
        const std::string file = testsupport::corpus_dir() + "/text/" + row.name + ".txt";
        const std::string ref = testsupport::read_file(testsupport::corpus_dir() + "/ref_text/" + row.name + ".utf8.txt");
        if (ref.empty())
            continue;
        int status = -1;
        const std::string info = testsupport::run_command(tool + " info " + testsupport::shell_quote(file), &status);
        EXPECT_EQ(status, 0) << row.name;
        EXPECT_NE(info.find(std::string("\nencoding: ") + row.detected + "\n"), std::string::npos)
            << row.name << ":\n" << info;
        std::string args = " text " + testsupport::shell_quote(file);
        if (row.encoding)
            args += " --encoding " + testsupport::shell_quote(row.encoding);
        const std::string out = testsupport::run_command(tool + args, &status);
        EXPECT_EQ(status, 0) << row.name;
        const auto want = reference_rows(ref), got = output_rows(out);
        const int diff = first_difference(want, got);
        if (row.encoding) {
            EXPECT_EQ(diff, -1) << row.name << ": row " << diff << " of " << want.size() << "/" << got.size();
            continue;
        }
        // Same rows, other letters: count the characters that differ.
        ASSERT_EQ(want.size(), got.size()) << row.name;
        size_t differ = 0, total = 0;
        for (size_t i = 0; i < want.size(); i++) {
            total += want[i].size();
            for (size_t k = 0; k < want[i].size() && k < got[i].size(); k++)
                differ += want[i][k] != got[i][k];
        }
        std::printf("[ info     ] %s as Windows-1254: %zu of %zu characters differ\n", row.name, differ, total);
    }
}

}  // namespace
