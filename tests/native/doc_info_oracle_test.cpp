// What the document properties show of corpus PDFs, against other programs:
// the information entries and dates of pdfinfo, the encryption parameters of
// qpdf --json, and the fonts of pdffonts with the same embedded flags.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "command_support.h"
#include "pdf/doc_info.h"
#include "pdf/document.h"
#include "pdf/nav.h"
#include "pdf/pages.h"
#include "shell/logic/props_logic.h"
#include "test_support.h"

namespace {

using testsupport::run_command;
using testsupport::shell_quote;

bool have(const char *tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string corpus_pdf(const char *name) { return testsupport::corpus_dir() + "/pdf/" + name; }

struct OpenPdf {
    PdfDoc *doc = nullptr;
    OpenPdf(const std::string &path, const char *password) { pdf_open(&doc, path.c_str(), password); }
    ~OpenPdf() { pdf_close(doc); }
};

// UTF-8 text as the dialog draws it: code page 1252, "?" for what it lacks.
std::string to_cp1252(const std::string &utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = utf8[i];
        int u = c, extra = 0;
        if (c >= 0xF0)
            u = c & 0x07, extra = 3;
        else if (c >= 0xE0)
            u = c & 0x0F, extra = 2;
        else if (c >= 0xC0)
            u = c & 0x1F, extra = 1;
        for (int k = 1; k <= extra && i + size_t(k) < utf8.size(); k++)
            u = (u << 6) | (utf8[i + size_t(k)] & 0x3F);
        i += size_t(extra) + 1;
        out += char(pdf_unicode_to_cp1252(u));
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// "Key: value" lines of pdfinfo (dates in ISO form).
std::map<std::string, std::string> pdfinfo(const std::string &path, const char *password)
{
    std::map<std::string, std::string> fields;
    const std::string out = run_command("pdfinfo -isodates -enc UTF-8 " +
                                        (password ? "-upw " + shell_quote(password) + " " : std::string()) +
                                        shell_quote(path) + " 2>/dev/null");
    for (const std::string &line : testsupport::split(out, '\n')) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const size_t value = line.find_first_not_of(' ', colon + 1);
        fields[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
    }
    return fields;
}

// The number after "key": in qpdf's JSON, or "" when missing.
std::string json_value(const std::string &json, const std::string &key)
{
    const size_t at = json.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "";
    size_t start = json.find_first_not_of(" \"", at + key.size() + 3);
    size_t end = json.find_first_of(",\"\n}", start);
    return json.substr(start, end - start);
}

}  // namespace

// The information entries (PDFDocEncoding, UTF-16 with characters code page
// 1252 lacks, encrypted strings, an Info that is no dictionary), the dates,
// the version and the page count read as pdfinfo reads them.
TEST(DocInfoOracle, InformationMatchesPdfinfo)
{
    SKIP_WITHOUT_CORPUS();
    if (!have("pdfinfo"))
        GTEST_SKIP() << "pdfinfo missing";
    struct Row {
        const char *file, *password;
    } rows[] = {
        {"gs-architecture.pdf", nullptr},                  // "®" in PDFDocEncoding, dates with zones
        {"lo-cp1251-russian-alphabet-rtf.pdf", nullptr},   // UTF-16: Cyrillic title, ASCII author
        {"enc-rc4-128-ownerpw-simple5.pdf", nullptr},      // RC4-encrypted strings
        {"enc-aes-128-ownerpw-issue12750.pdf", nullptr},   // AES-encrypted strings
        {"enc-rc4-40-userpw-maint-guide.en.pdf", "user"},  // user password, UTF-16 title
        {"pdfjs-issue9418.pdf", nullptr},                  // Info is an integer
        {"dmg-shift-issue3214.pdf", nullptr},              // offsets shifted: Info found by the repair
    };
    static constexpr const char *kTexts[] = {"Title", "Author", "Subject", "Keywords", "Creator", "Producer"};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = corpus_pdf(row.file);
        OpenPdf pdf(path, row.password);
        ASSERT_TRUE(pdf.doc);
        auto expected = pdfinfo(path, row.password);
        for (const char *key : kTexts) {
            char text[256];
            pdf_info_text(pdf.doc, key, text, sizeof text);
            EXPECT_EQ(std::string(text), to_cp1252(expected[key])) << key;
        }
        for (const char *key : {"CreationDate", "ModDate"}) {
            char raw[64], shown[64];
            pdf_info_text(pdf.doc, key, raw, sizeof raw);
            props_date_text(raw, shown, sizeof shown);
            std::string iso = expected[key].substr(0, 19);  // without the zone
            if (iso.size() > 10)
                iso[10] = ' ';
            EXPECT_EQ(std::string(shown), iso) << key << " " << raw;
        }
        if (expected.count("PDF version")) {
            EXPECT_EQ(std::string(pdf.doc->version), expected["PDF version"]);
        }
        if (expected.count("Pages")) {
            EXPECT_EQ(std::to_string(pdf_page_count(pdf.doc)), expected["Pages"]);
        }
    }
}

// The method, key length and permission flags, as qpdf reports them.
TEST(DocInfoOracle, SecurityMatchesQpdf)
{
    SKIP_WITHOUT_CORPUS();
    if (!have("qpdf"))
        GTEST_SKIP() << "qpdf missing";
    struct Row {
        const char *file, *password;
        const char *method;  // the dialog's text
    } rows[] = {
        {"enc-rc4-40-userpw-maint-guide.en.pdf", "user", "RC4 40-bit"},  // R2
        {"qpdf-encrypted-40-bit-R3.pdf", "623", "RC4 40-bit"},           // R3 with a short key
        {"enc-rc4-128-ownerpw-simple5.pdf", "", "RC4 128-bit"},
        {"qpdf-V4.pdf", "", "RC4 128-bit"},                              // crypt filters, RC4
        {"enc-aes-128-ownerpw-issue12750.pdf", "", "AES 128-bit"},
        {"enc-aes-256-userpw-refcard-letter.pdf", "user", "AES 256-bit"},
        {"gs-architecture.pdf", "", "None"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = corpus_pdf(row.file);
        OpenPdf pdf(path, row.password);
        ASSERT_TRUE(pdf.doc);
        PdfSecurityInfo info;
        pdf_security_info(pdf.doc, &info);
        char method[32];
        props_method_text(info.encrypted ? info.cipher : PDF_CIPHER_NONE, info.key_bits, method, sizeof method);
        EXPECT_STREQ(method, row.method);
        const std::string json = run_command("qpdf --json=2 --json-key=encrypt --password=" +
                                             shell_quote(row.password) + " " + shell_quote(path) + " 2>/dev/null");
        EXPECT_EQ(info.encrypted != 0, json_value(json, "encrypted") == "true");
        if (!info.encrypted) {
            EXPECT_EQ(info.permissions, 0xFFFFFFFFu);
            continue;
        }
        EXPECT_EQ(std::to_string(info.key_bits), json_value(json, "bits"));
        EXPECT_EQ(info.permissions, uint32_t(std::stoll(json_value(json, "P"))));
        const std::string qpdf_method = json_value(json, "streammethod");
        EXPECT_EQ(info.cipher == PDF_CIPHER_RC4, qpdf_method == "RC4") << qpdf_method;
    }
}

// Every listed font is one pdffonts names, with its subset prefix removed, of
// a matching type and with the same embedded flag; each name once.
TEST(DocInfoOracle, FontsMatchPdffonts)
{
    SKIP_WITHOUT_CORPUS();
    if (!have("pdffonts"))
        GTEST_SKIP() << "pdffonts missing";
    struct Row {
        const char *file;
        bool all_on_pages;  // every font pdffonts lists sits in a page's resources
    } rows[] = {
        {"samples-GeoTopo-komprimiert.pdf", false},  // the corpus file with the most fonts: subsets, Type 3
        {"gs-architecture.pdf", true},               // CID TrueType (Type0) and TrueType
        {"pypdf-indirect-rotation.pdf", true},       // 60 font objects, 12 names, none embedded
        {"pdfjs-pr4922.pdf", false},                 // multiple-master and Type 3 fonts
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = corpus_pdf(row.file);
        OpenPdf pdf(path, nullptr);
        ASSERT_TRUE(pdf.doc);
        std::vector<PdfFontEntry> fonts(128);
        const int count = pdf_font_list(pdf.doc, fonts.data(), int(fonts.size()));
        // pdffonts: name, type words, encoding, emb, sub, uni, object number, generation.
        std::map<std::string, std::set<std::string>> oracle;  // "name" -> {"type|emb"}
        const std::string out = run_command("pdffonts " + shell_quote(path) + " 2>/dev/null");
        const auto lines = testsupport::split(out, '\n');
        for (size_t i = 2; i < lines.size(); i++) {
            auto words = testsupport::split(lines[i], ' ');
            std::erase(words, std::string());
            if (words.size() < 8)
                continue;
            std::string name = words[0] == "[none]" ? "(Embedded Type3)" : words[0];
            if (name.size() > 7 && name[6] == '+')
                name = name.substr(7);
            for (char &c : name)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            oracle[name].insert(words[1] + "|" + words[words.size() - 5]);
        }
        std::set<std::string> seen;
        for (int i = 0; i < count; i++) {
            std::string name = fonts[size_t(i)].name;
            for (char &c : name)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            EXPECT_TRUE(seen.insert(name).second) << name << " listed twice";
            ASSERT_TRUE(oracle.count(name)) << fonts[size_t(i)].name << " is not in pdffonts";
            const std::string type = fonts[size_t(i)].type;
            // pdffonts' first type word: "Type" (1, 1C, 3), "TrueType", "CID".
            const std::string word = type == "Type0" ? "CID" : type == "TrueType" ? "TrueType" : "Type";
            const std::string emb = fonts[size_t(i)].embedded ? "yes" : "no";
            EXPECT_TRUE(oracle[name].count(word + "|" + emb))
                << fonts[size_t(i)].name << " " << type << " embedded=" << emb;
        }
        if (row.all_on_pages)
            EXPECT_EQ(size_t(count), oracle.size());
        else
            EXPECT_GE(size_t(count), oracle.size() / 2);
    }
}
