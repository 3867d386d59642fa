// The font list and information entries of the document properties on small
// written documents: encodings, composite fonts, subset prefixes, names listed
// once across pages, entries that are no fonts, and Info values of the wrong
// kind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/doc_info.h"
#include "pdf/document.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

struct Opened {
    PdfDoc *doc = nullptr;
    explicit Opened(const std::string &text)
    {
        const std::string path = testsupport::scratch_path("doc_info.pdf");
        testsupport::write_file(path, text);
        pdf_open(&doc, path.c_str(), nullptr);
    }
    ~Opened() { pdf_close(doc); }
};

}  // namespace

TEST(DocInfo, FontListRules)
{
    // Page 1 has resources of its own; page 2 inherits the page tree's.
    const std::string pdf = testsupport::objects_pdf({
        {1, "<< /Type /Catalog /Pages 2 0 R >>"},
        {2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] "
            "/Resources << /Font << /F9 20 0 R >> >> >>"},
        {3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << "
            "/F1 10 0 R /F2 11 0 R /F3 12 0 R /F4 13 0 R /F5 14 0 R /F6 15 0 R /F7 16 0 R /F8 17 0 R "
            "/X 5 >> >> >>"},
        {4, "<< /Type /Page /Parent 2 0 R >>"},  // inherits F9 only
        // Subset of Helvetica, named encoding, no font program.
        {10, "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+Helvetica /Encoding /WinAnsiEncoding >>"},
        // Differences on a base encoding, embedded TrueType.
        {11, "<< /Type /Font /Subtype /TrueType /BaseFont /Arial /Encoding << /BaseEncoding /MacRomanEncoding "
             "/Differences [32 /space] >> /FontDescriptor << /FontFile2 30 0 R >> >>"},
        // Differences without a base; FontFile3 counts as embedded.
        {12, "<< /Type /Font /Subtype /Type1 /BaseFont /Symbolic /Encoding << /Differences [1 /a] >> "
             "/FontDescriptor << /FontFile3 30 0 R >> >>"},
        // Composite: the descendant's descriptor decides; a CMap stream is "Embedded CMap".
        {13, "<< /Type /Font /Subtype /Type0 /BaseFont /QRSTUV+MSMincho /Encoding 30 0 R "
             "/DescendantFonts [<< /Subtype /CIDFontType2 /FontDescriptor << /FontFile2 30 0 R >> >>] >>"},
        // Type 3 without a name: always embedded.
        {14, "<< /Type /Font /Subtype /Type3 /CharProcs << >> /Encoding << /Differences [0 /x] >> >>"},
        // A kind the list does not show.
        {15, "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /Hidden >>"},
        // No BaseFont, no Encoding.
        {16, "<< /Type /Font /Subtype /MMType1 >>"},
        // F1's name under another subset prefix and in capitals: listed once.
        {17, "<< /Type /Font /Subtype /Type1 /BaseFont /ZYXWVU+HELVETICA >>"},
        // Inherited by page 2; composite without descendants: not embedded.
        {20, "<< /Type /Font /Subtype /Type0 /BaseFont /Courier /Encoding /Identity-H >>"},
        {30, "<< /Length 0 >>\nstream\n\nendstream"},
    });
    Opened opened(pdf);
    ASSERT_TRUE(opened.doc);
    std::vector<PdfFontEntry> fonts(16);
    const int count = pdf_font_list(opened.doc, fonts.data(), int(fonts.size()));
    std::vector<std::string> lines;
    for (int i = 0; i < count; i++)
        lines.push_back(std::string(fonts[size_t(i)].name) + "|" + fonts[size_t(i)].type + "|" +
                        fonts[size_t(i)].encoding + "|" + (fonts[size_t(i)].embedded ? "emb" : "-"));
    EXPECT_EQ(lines, std::vector<std::string>({
                         "Helvetica|Type1|WinAnsiEncoding|-",
                         "Arial|TrueType|MacRomanEncoding|emb",
                         "Symbolic|Type1|Custom|emb",
                         "MSMincho|Type0|Embedded CMap|emb",
                         "(Embedded Type3)|Type3|Custom|emb",
                         "(Unnamed)|MMType1|Built-in|-",
                         "Courier|Type0|Identity-H|-",
                     }));
    // The limit holds.
    EXPECT_EQ(pdf_font_list(opened.doc, fonts.data(), 2), 2);
}

TEST(DocInfo, InformationEntries)
{
    struct Row {
        const char *info;      // the trailer's Info value (object 9 is a dictionary)
        const char *expected;  // its Title as shown
    } rows[] = {
        {"9 0 R", "Caf\xE9 \x80 \xAE"},                     // PDFDocEncoding: é, euro (A0), ®
        {"<< /Title <FEFF00FC20AC0416> >>", "\xFC\x80?"},  // UTF-16: ü, euro, Cyrillic
        {"<< /Title /NotAString >>", ""},
        {"7", ""},                                         // Info is no dictionary
        {"99 0 R", ""},                                    // a missing object
    };
    for (const Row &row : rows) {
        const std::string pdf = testsupport::objects_pdf(
            {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
             {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
             {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"},
             {9, "<< /Title (Caf\xE9 \xA0 \xAE) >>"}},
            std::string("/Root 1 0 R /Info ") + row.info);
        Opened opened(pdf);
        ASSERT_TRUE(opened.doc) << row.info;
        char text[64];
        pdf_info_text(opened.doc, "Title", text, sizeof text);
        EXPECT_STREQ(text, row.expected) << row.info;
    }
}
