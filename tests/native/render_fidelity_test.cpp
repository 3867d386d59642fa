// Rendering fidelity of vector pages (no text, no images) against mutool
// draw, with pdftoppm's own distance from mutool as the measure of how much
// two independent renderers disagree on the same page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "render/page.h"
#include "command_support.h"
#include "oracle_image.h"
#include "test_support.h"

namespace {

constexpr int kMaxPagesPerFile = 40;  // long manuals: their first pages suffice

std::string quoted(const std::string &s) { return "'" + s + "'"; }

struct VectorPage {
    std::string file;
    int page;  // 1-based
};

// Pages with neither extractable text nor images, found with pdftotext and
// pdfimages (both from Poppler); computed once per test run.
const std::vector<VectorPage> &vector_pages()
{
    static std::vector<VectorPage> pages;
    static bool done = false;
    if (done)
        return pages;
    done = true;
    for (const std::string &f : testsupport::corpus_files("pdf", ".pdf")) {
        std::string info = testsupport::run_command("timeout 20 pdfinfo " + quoted(f) + " 2>/dev/null");
        auto at = info.find("Pages:");
        if (at == std::string::npos)
            continue;
        int count = std::atoi(info.c_str() + at + 6);
        count = std::min(count, kMaxPagesPerFile);
        std::set<int> with_images;
        std::istringstream list(testsupport::run_command("timeout 20 pdfimages -list -l " +
                                            std::to_string(count) + " " + quoted(f) +
                                            " 2>/dev/null"));
        std::string line;
        for (int i = 0; std::getline(list, line); i++)
            if (i >= 2)
                with_images.insert(std::atoi(line.c_str()));
        std::string text = testsupport::run_command("timeout 20 pdftotext -l " + std::to_string(count) + " " +
                                       quoted(f) + " - 2>/dev/null");
        std::vector<int> chars(size_t(count) + 1, 0);
        int page = 1;
        for (char c : text) {
            if (c == '\f')
                page++;
            else if (page <= count && !std::isspace(static_cast<unsigned char>(c)))
                chars[size_t(page)]++;
        }
        for (int p = 1; p <= count; p++)
            if (!with_images.count(p) && chars[size_t(p)] == 0)
                pages.push_back({f, p});
    }
    return pages;
}

// file name + "\t" + page -> reason, from tests/data/render_suppressions.tsv.
std::map<std::string, std::string> suppressions()
{
    std::map<std::string, std::string> out;
    std::istringstream in(testsupport::read_file(std::string(PAGRIX_SOURCE_DIR) +
                                                 "/tests/data/render_suppressions.tsv"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream row(line);
        std::string file, page, reason;
        std::getline(row, file, '\t');
        std::getline(row, page, '\t');
        std::getline(row, reason);
        out[file + "\t" + page] = reason;
    }
    return out;
}

struct Result {
    std::string name;  // file:page
    double ours, poppler;
    bool agrees, suppressed;
    std::string diags;
};

std::string base_name(const std::string &path) { return path.substr(path.rfind('/') + 1); }

void measure_at(int dpi)
{
    SKIP_WITHOUT_CORPUS();
    if (!testsupport::have_oracle_renderers())
        GTEST_SKIP() << "mutool or pdftoppm missing";
    const auto &pages = vector_pages();
    const auto suppressed = suppressions();
    std::vector<Result> results;
    for (const VectorPage &vp : pages) {
        std::string p = std::to_string(vp.page);
        testsupport::RgbImage mu, pp;
        if (!testsupport::oracle_render(vp.file, vp.page, dpi, false, &mu))
            continue;  // no reference: mutool cannot draw this page
        PdfDoc *doc = nullptr;
        Result r{base_name(vp.file) + ":" + p, -1, -1, false, false, ""};
        if (pdf_open(&doc, vp.file.c_str(), nullptr) == 0) {
            PageBitmap *bm = nullptr;
            char diags[600];
            render_page_diag(doc, vp.page - 1, float(dpi) / 72.0f, 0, 0, &bm, diags,
                             sizeof diags);
            if (bm) {
                r.ours = testsupport::psnr(testsupport::rgb_from_bitmap(bm), mu);
                for (const char *t = diags; *t; t += std::strlen(t) + 1)
                    r.diags += std::string(r.diags.empty() ? "" : " ") + t;
            }
            bitmap_free(bm);
            pdf_close(doc);
        }
        if (testsupport::oracle_render(vp.file, vp.page, dpi, true, &pp))
            r.poppler = testsupport::psnr(pp, mu);
        r.agrees = r.ours >= 30.0 || (r.poppler >= 0 && r.ours >= r.poppler - 1.0);
        r.suppressed = suppressed.count(base_name(vp.file) + "\t" + p) > 0;
        results.push_back(r);
    }
    ASSERT_FALSE(results.empty());

    std::vector<double> values;
    int agree = 0, counted = 0, agree_all = 0;
    for (const Result &r : results) {
        values.push_back(r.ours);
        agree_all += r.agrees;
        if (!r.suppressed) {
            counted++;
            agree += r.agrees;
        }
    }
    std::sort(values.begin(), values.end());
    auto pct = [&](double q) { return values[size_t(q * double(values.size() - 1))]; };
    int over30 = int(std::count_if(values.begin(), values.end(), [](double v) { return v >= 30; }));
    int over40 = int(std::count_if(values.begin(), values.end(), [](double v) { return v >= 40; }));
    std::printf("FIDELITY %d dpi: %zu vector pages; PSNR vs mutool min %.1f p10 %.1f p25 %.1f "
                "median %.1f p75 %.1f max %.1f; >=30 dB: %d, >=40 dB: %d\n",
                dpi, results.size(), pct(0), pct(0.1), pct(0.25), pct(0.5), pct(0.75), pct(1.0),
                over30, over40);
    std::printf("FIDELITY %d dpi: agree %d/%zu of all pages, %d/%d without suppressions\n", dpi,
                agree_all, results.size(), agree, counted);
    std::vector<Result> worst = results;
    std::sort(worst.begin(), worst.end(),
              [](const Result &a, const Result &b) { return a.ours - a.poppler < b.ours - b.poppler; });
    std::printf("worst pages (ours - pdftoppm, both vs mutool):\n");
    for (size_t i = 0; i < worst.size() && i < 10; i++)
        std::printf("  %-45s ours %6.1f  pdftoppm %6.1f  %s%s [%s]\n", worst[i].name.c_str(),
                    worst[i].ours, worst[i].poppler, worst[i].agrees ? "agrees" : "DIFFERS",
                    worst[i].suppressed ? " (suppressed)" : "", worst[i].diags.c_str());
    ASSERT_GT(counted, 0);
    EXPECT_GE(agree * 100, counted * 95) << agree << " of " << counted << " pages agree";
}

TEST(RenderFidelity, VectorPagesAt72Dpi) { measure_at(72); }
TEST(RenderFidelity, VectorPagesAt150Dpi) { measure_at(150); }

}  // namespace
