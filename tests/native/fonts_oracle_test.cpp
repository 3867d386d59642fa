// The fonts command beside pdffonts over the shared corpus: the same number
// of font dictionaries and of embedded ones per file, and every substituted
// file the one the substitution table gives; and the memory kept by fonts
// across many documents opened and closed in one process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command_support.h"
#include "document/document.h"
#include "font_support.h"
#include "fonts/font_scan.h"
#include "fonts/font_state.h"
#include "fonts/pdf_font.h"
#include "test_support.h"

namespace {


using testsupport::split;

struct CorpusPdf {
    std::string path;
    std::string password;  // "" = none known
    bool aes256;
};

// The corpus PDFs with their encryption facts from pdf_ref.tsv.
std::vector<CorpusPdf> corpus_pdfs()
{
    std::vector<CorpusPdf> out;
    std::ifstream tsv(testsupport::corpus_dir() + "/pdf_ref.tsv");
    std::string line;
    std::getline(tsv, line);
    while (std::getline(tsv, line)) {
        std::vector<std::string> col = split(line, '\t');
        if (col.size() < 6)
            continue;
        bool known = false;
        std::string pw = testsupport::corpus_password(col[5], "user", &known);
        out.push_back({testsupport::corpus_dir() + "/" + col[0], known ? pw : "",
                       col[4].rfind("y:R5", 0) == 0 || col[4].rfind("y:R6", 0) == 0});
    }
    return out;
}

std::string quote(const std::string &s) { return testsupport::shell_quote(s); }

TEST(FontsOracle, CountsAndEmbeddingAgreeWithPdffonts)
{
    SKIP_WITHOUT_CORPUS();
    const std::string tool = testsupport::pagrix_render_path();
    if (tool.empty() || std::system("command -v pdffonts >/dev/null") != 0)
        GTEST_SKIP() << "pagrix-render or pdffonts missing";
    int compared = 0, agreed = 0, aes256 = 0;
    std::string report, unreadable;
    for (const CorpusPdf &pdf : corpus_pdfs()) {
        if (pdf.aes256) {
            aes256++;
            continue;
        }
        const std::string pw = pdf.password.empty() ? "" : " --password " + quote(pdf.password);
        const std::string upw = pdf.password.empty() ? "" : " -upw " + quote(pdf.password);
        int theirs_status = 0;
        std::string theirs = testsupport::run_command("pdffonts" + upw + " " + quote(pdf.path) + " 2>/dev/null",
                                                      &theirs_status);
        if (theirs_status != 0) {
            unreadable += " " + pdf.path.substr(pdf.path.rfind('/') + 1);  // nothing to compare with
            continue;
        }
        std::string ours = testsupport::run_command(tool + " fonts " + quote(pdf.path) + pw + " 2>/dev/null");
        int their_count = 0, their_embedded = 0;
        std::vector<std::string> lines = split(theirs, '\n');
        for (size_t i = 2; i < lines.size(); i++) {
            std::vector<std::string> f;
            for (const std::string &w : split(lines[i], ' '))
                if (!w.empty())
                    f.push_back(w);
            if (f.size() < 6)
                continue;
            their_count++;
            their_embedded += f[f.size() - 5] == "yes";
        }
        int our_count = 0, our_embedded = 0;
        for (const std::string &line : split(ours, '\n')) {
            std::vector<std::string> f = split(line, '\t');
            if (f.size() != 3)
                continue;
            our_count++;
            our_embedded += f[2] == "embedded";
            // A substitute is always the table's file for the BaseFont.
            if (f[2].rfind("substituted ", 0) == 0) {
                const char *expect = font_substitute(f[0] == "[none]" ? "" : f[0].c_str());
                EXPECT_EQ(f[2].substr(12), expect) << pdf.path << ": " << f[0];
            }
        }
        compared++;
        if (our_count == their_count && our_embedded == their_embedded)
            agreed++;
        else
            report += "  " + pdf.path.substr(pdf.path.rfind('/') + 1) + ": ours " + std::to_string(our_count) +
                      " (" + std::to_string(our_embedded) + " embedded), pdffonts " +
                      std::to_string(their_count) + " (" + std::to_string(their_embedded) + ")\n";
    }
    std::printf("fonts oracle: %d of %d files agree; set apart: %d with 256-bit AES, pdffonts failed on%s\n%s",
                agreed, compared, aes256, unreadable.c_str(), report.c_str());
    ASSERT_GT(compared, 0);
    EXPECT_GE(agreed * 100, compared * 95) << report;
}

// The 50 documents with the most fonts, opened, walked and closed one after
// the other: every face goes with its document (the sanitizer build checks
// the memory).
TEST(FontsOracle, ManyDocumentsLeaveNoFaceBehind)
{
    SKIP_WITHOUT_CORPUS();
    ASSERT_TRUE(testsupport::install_base_fonts());
    const int live_before = ft_live_faces();
    std::vector<std::pair<int, std::string>> by_fonts;
    for (const CorpusPdf &pdf : corpus_pdfs()) {
        if (pdf.aes256 || !pdf.password.empty())
            continue;
        Document *doc = nullptr;
        if (doc_open(&doc, pdf.path.c_str(), nullptr) != 0)
            continue;
        FontScan scan;
        for (int k = 0; k < doc_page_count(doc); k++)
            pdf_scan_page_fonts(doc_pdf(doc), k, &scan);
        by_fonts.push_back({int(scan.fonts.size()), pdf.path});
        doc_close(doc);
    }
    std::sort(by_fonts.rbegin(), by_fonts.rend());
    by_fonts.resize(std::min<size_t>(by_fonts.size(), 50));
    int faces = 0;
    for (const auto &[count, path] : by_fonts) {
        Document *doc = nullptr;
        ASSERT_EQ(doc_open(&doc, path.c_str(), nullptr), 0) << path;
        FontScan scan;
        for (int k = 0; k < doc_page_count(doc); k++)
            pdf_scan_page_fonts(doc_pdf(doc), k, &scan);
        for (const PdfObject *dict : scan.fonts) {
            PdfFont *font = pdf_font_load(doc_pdf(doc), const_cast<PdfObject *>(dict));
            faces += font && font->face;
        }
        doc_close(doc);
        EXPECT_EQ(ft_live_faces(), live_before) << path;
    }
    std::printf("fonts memory: %zu documents, %d faces made and released\n", by_fonts.size(), faces);
    EXPECT_GT(faces, 100);
}

}  // namespace
