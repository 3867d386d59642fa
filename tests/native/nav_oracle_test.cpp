// Navigation data compared with qpdf: outline titles, levels and target pages
// of every corpus PDF, the link annotations of every corpus page 1, and the
// decoding of titles in every PDFDocEncoding byte and in UTF-16. qpdf's JSON
// is flattened by qpdf_nav.py beside this file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "command_support.h"
#include "pdf/document.h"
#include "pdf/nav.h"
#include "pdf/pages.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

std::string shell_quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool have_oracle()
{
    int status = -1;
    testsupport::run_command("command -v qpdf python3 >/dev/null 2>&1", &status);
    return status == 0;
}

std::vector<std::vector<std::string>> split_rows(const std::string &text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cols;
        std::istringstream ls(line);
        for (std::string c; std::getline(ls, c, '\t');)
            cols.push_back(c);
        rows.push_back(cols);
    }
    return rows;
}

// qpdf's view of one file; `ok` is false when qpdf could not read it.
struct QpdfNav {
    bool ok = false;
    std::vector<std::string> outline;  // "level page title-hex"
    std::vector<std::vector<std::string>> links;
};

QpdfNav run_qpdf_nav(const std::string &path, const std::string *password)
{
    const std::string script = std::string(PAGRIX_SOURCE_DIR) + "/tests/native/qpdf_nav.py";
    std::string cmd = "python3 " + shell_quote(script) + " " + shell_quote(path);
    if (password)
        cmd += " " + shell_quote(*password);
    int status = -1;
    const std::string out = testsupport::run_command(cmd + " 2>/dev/null", &status);
    QpdfNav q;
    q.ok = status == 0;
    for (const auto &row : split_rows(out)) {
        if (row.size() == 4 && row[0] == "outline")
            q.outline.push_back(row[1] + " " + row[2] + " " + row[3]);
        else if (row.size() == 7 && row[0] == "link")
            q.links.push_back(row);
    }
    return q;
}

// One qpdf run per corpus file, shared by the outline and the link test.
const QpdfNav &qpdf_nav_cached(const std::string &path, const std::string *password)
{
    static std::map<std::string, QpdfNav> cache;
    auto it = cache.find(path);
    if (it == cache.end())
        it = cache.emplace(path, run_qpdf_nav(path, password)).first;
    return it->second;
}

std::vector<std::string> our_outline(PdfDoc *doc)
{
    const int n = pdf_get_outline(doc, nullptr, 0);
    std::vector<OutlineItem> items(static_cast<size_t>(std::max(n, 1)));
    const int got = pdf_get_outline(doc, items.data(), n);
    std::vector<std::string> out;
    for (int i = 0; i < got; i++) {
        const OutlineItem &it = items[size_t(i)];
        out.push_back(std::to_string(it.level + 1) + " " + std::to_string(it.page + 1) + " " +
                      testsupport::hex_encode(reinterpret_cast<const uint8_t *>(it.title), std::strlen(it.title)));
    }
    return out;
}

// Length of the longest common subsequence: items in the same order in both.
size_t common_items(const std::vector<std::string> &a, const std::vector<std::string> &b)
{
    std::vector<size_t> prev(b.size() + 1, 0), cur(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); i++) {
        for (size_t j = 1; j <= b.size(); j++)
            cur[j] = a[i - 1] == b[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], cur[j - 1]);
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

struct CorpusPdf {
    std::string path, name;
    bool has_password = false;
    std::string password;
};

std::vector<CorpusPdf> corpus_pdfs()
{
    std::map<std::string, std::string> passwords;  // file -> passwords column
    for (const auto &cols : split_rows(testsupport::read_file(testsupport::corpus_dir() + "/pdf_ref.tsv"))) {
        if (cols.size() > 5)
            passwords[cols[0]] = cols[5];
    }
    std::vector<CorpusPdf> out;
    for (const std::string &path : testsupport::corpus_files("pdf", ".pdf")) {
        CorpusPdf f;
        f.path = path;
        f.name = path.substr(path.rfind('/') + 1);
        const std::string field = passwords["pdf/" + f.name];
        bool known = false;
        f.password = testsupport::corpus_password(field, "user", &known);
        if (!known)
            f.password = testsupport::corpus_password(field, "owner", &known);
        f.has_password = known;
        out.push_back(f);
    }
    return out;
}

struct OpenPdf {
    PdfDoc *doc = nullptr;
    int rc = -1;
    explicit OpenPdf(const CorpusPdf &f)
    {
        rc = pdf_open(&doc, f.path.c_str(), f.has_password ? f.password.c_str() : nullptr);
    }
    ~OpenPdf() { pdf_close(doc); }
};

TEST(NavOracle, CorpusOutlinesMatchQpdf)
{
    SKIP_WITHOUT_CORPUS();
    if (!have_oracle())
        GTEST_SKIP() << "qpdf or python3 not installed";
    size_t total = 0, matched = 0;
    int files = 0;
    std::string report, skipped;
    for (const CorpusPdf &f : corpus_pdfs()) {
        const QpdfNav &q = qpdf_nav_cached(f.path, f.has_password ? &f.password : nullptr);
        if (!q.ok || q.outline.empty())
            continue;
        OpenPdf ours(f);
        if (ours.rc == -7) {
            skipped += " " + f.name;  // encryption the engine does not support
            continue;
        }
        const std::vector<std::string> mine = ours.rc == 0 ? our_outline(ours.doc) : std::vector<std::string>();
        const size_t common = common_items(q.outline, mine);
        files++;
        total += q.outline.size();
        matched += common;
        if (common < q.outline.size() || mine.size() != q.outline.size()) {
            report += "  " + f.name + ": " + std::to_string(common) + " of " + std::to_string(q.outline.size()) +
                      " qpdf items matched, ours " + std::to_string(mine.size()) + " (open " +
                      std::to_string(ours.rc) + ")\n";
            for (size_t i = 0; i < std::max(mine.size(), q.outline.size()) && i < 200; i++) {
                const std::string a = i < q.outline.size() ? q.outline[i] : "-", b = i < mine.size() ? mine[i] : "-";
                if (a != b) {
                    report += "    first difference at " + std::to_string(i) + ": qpdf " + a + ", ours " + b + "\n";
                    break;
                }
            }
        }
    }
    std::printf("outlines: %zu of %zu qpdf items matched over %d files\n%s", matched, total, files, report.c_str());
    if (!skipped.empty())
        std::printf("not compared (unsupported encryption):%s\n", skipped.c_str());
    ASSERT_GT(total, 0u);
    EXPECT_GE(double(matched), 0.98 * double(total)) << report;
}

TEST(NavOracle, CorpusPageOneLinksMatchQpdf)
{
    SKIP_WITHOUT_CORPUS();
    if (!have_oracle())
        GTEST_SKIP() << "qpdf or python3 not installed";
    int compared = 0;
    std::string report;
    for (const CorpusPdf &f : corpus_pdfs()) {
        const QpdfNav &q = qpdf_nav_cached(f.path, f.has_password ? &f.password : nullptr);
        if (!q.ok)
            continue;
        OpenPdf ours(f);
        if (ours.rc != 0 || pdf_page_count(ours.doc) < 1)
            continue;  // page counts and opening are compared elsewhere
        const int n = pdf_get_page_links(ours.doc, 0, 1.0f, nullptr, 0);
        std::vector<LinkItem> links(static_cast<size_t>(std::max(n, 1)));
        pdf_get_page_links(ours.doc, 0, 1.0f, links.data(), n);
        if (n != int(q.links.size())) {
            report += "  " + f.name + ": ours " + std::to_string(n) + " links, qpdf " + std::to_string(q.links.size()) + "\n";
            continue;
        }
        static const char *const kinds[] = {"goto", "uri", "next", "prev", "first", "last", "back", "forward"};
        for (int i = 0; i < n; i++) {
            const LinkItem &l = links[size_t(i)];
            const std::vector<std::string> &row = q.links[size_t(i)];
            compared++;
            float r[4];
            pdf_link_page_rect(ours.doc, 0, 1.0f, &l, r);
            std::string target = l.kind == LINK_GOTO ? std::to_string(l.page + 1) : l.kind == LINK_URI ? l.uri : "-";
            bool same = row[5] == kinds[l.kind] && row[6] == target;
            for (int k = 0; k < 4; k++)
                same = same && std::fabs(std::stod(row[1 + size_t(k)]) - r[k]) <= 0.01;
            if (!same) {
                char line[512];
                std::snprintf(line, sizeof line, "  %s link %d: qpdf %s %s %s %s %s %s, ours %.3f %.3f %.3f %.3f %s %s\n",
                              f.name.c_str(), i, row[1].c_str(), row[2].c_str(), row[3].c_str(), row[4].c_str(),
                              row[5].c_str(), row[6].c_str(), double(r[0]), double(r[1]), double(r[2]), double(r[3]),
                              kinds[l.kind], target.c_str());
                report += line;
            }
        }
    }
    std::printf("page-1 links: %d compared with qpdf\n%s", compared, report.c_str());
    ASSERT_GT(compared, 0);
    EXPECT_TRUE(report.empty()) << report;
}

// Every PDFDocEncoding byte from 18 up, and UTF-16BE with umlauts, a
// surrogate pair and a character code page 1252 lacks: our decoding against
// qpdf's, passed through code page 1252 by Python's codec.
TEST(NavOracle, TitleDecodingMatchesQpdf)
{
    if (!have_oracle())
        GTEST_SKIP() << "qpdf or python3 not installed";
    std::string pdfdoc;
    for (int c = 0x18; c <= 0xFF; c++) {
        if (c < 0x20 || c > 0x7E)
            pdfdoc += char(c);
    }
    // "Grüße", a space, U+1F600 as a surrogate pair, Omega, euro, OE.
    std::string utf16 = "\xFE\xFF";
    for (int unit : {0x47, 0x72, 0xFC, 0xDF, 0x65, 0x20, 0xD83D, 0xDE00, 0x3A9, 0x20AC, 0x152}) {
        utf16 += char(unit >> 8);
        utf16 += char(unit & 0xFF);
    }
    const std::string titles[] = {pdfdoc.substr(0, 60), pdfdoc.substr(60), utf16};
    std::vector<std::pair<int, std::string>> objects = {
        {1, "<< /Type /Catalog /Pages 2 0 R /Outlines 10 0 R >>"},
        {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
        {3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>"},
        {10, "<< /First 11 0 R >>"},
    };
    const int n = int(sizeof titles / sizeof *titles);
    for (int i = 0; i < n; i++) {
        std::string next = i + 1 < n ? " /Next " + std::to_string(12 + i) + " 0 R" : "";
        objects.push_back({11 + i, "<< /Title " + testsupport::pdf_hex_string(titles[i]) + " /Dest [3 0 R /Fit]" + next + " >>"});
    }
    const std::string path = testsupport::scratch_path("nav-titles.pdf");
    ASSERT_TRUE(testsupport::write_file(path, testsupport::objects_pdf(objects)));
    const QpdfNav q = run_qpdf_nav(path, nullptr);
    ASSERT_TRUE(q.ok);
    PdfDoc *doc = nullptr;
    ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
    EXPECT_EQ(our_outline(doc), q.outline);
    pdf_close(doc);
}

}  // namespace
