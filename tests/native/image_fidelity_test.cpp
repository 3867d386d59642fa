// Images against independent decoders: every corpus page 1 that draws
// images, rendered by us and by mutool draw at 72 and 150 dpi, with
// pdftoppm's distance from mutool as the measure of honest disagreement;
// and the memory of the largest scan beside mutool's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "render/page.h"
#include "command_support.h"
#include "image_pages.h"
#include "oracle_image.h"
#include "shading_pages.h"
#include "test_support.h"

namespace {

// Diagnostics of content that other parts of the renderer draw: such pages
// are listed apart from the image pages the rule is counted over.
const char *const kOtherWork[] = {"font-unavailable", "sh", "shading-mesh", "soft-mask", "group",
                                  "blend-mode", "pattern", "Tr(clip-mode)"};

// Corpus files (as pdf_ref.tsv names them) whose page 1 also has text,
// shadings or transparency by the table: listed apart whatever we draw, so
// that the pages counted stay the same as those parts land.
bool needs_other_work(const std::string &file)
{
    static const std::vector<std::string> listed = [] {
        std::vector<std::string> out;
        const std::string corpus = testsupport::corpus_dir();
        for (const char *column : {"p1_text_chars", "shading_types", "transparency"})
            for (const auto &[name, value] : testsupport::corpus_column(corpus, column))
                if (!value.empty() && value != "-" && value != "0")
                    out.push_back(corpus + "/" + name);
        return out;
    }();
    return std::find(listed.begin(), listed.end(), file) != listed.end();
}

struct Result {
    std::string name;
    double ours = -1, poppler = -1;
    bool agrees = false, other = false;
    std::string diags;
};

std::string base_name(const std::string &path) { return path.substr(path.rfind('/') + 1); }

const std::vector<testsupport::ImagePage> &image_pages()
{
    static const std::vector<testsupport::ImagePage> pages =
        testsupport::first_pages_with_images(testsupport::corpus_files("pdf", ".pdf"));
    return pages;
}

// `floor` is the share of image pages (percent) that must agree (all of
// them did when the floor was set).
void measure_at(int dpi, int floor)
{
    SKIP_WITHOUT_CORPUS();
    if (!testsupport::have_oracle_renderers())
        GTEST_SKIP() << "mutool or pdftoppm missing";
    std::vector<Result> results;
    for (const auto &ip : image_pages()) {
        testsupport::RgbImage mu, pp;
        if (!testsupport::oracle_render(ip.file, 1, dpi, false, &mu))
            continue;  // no reference
        Result r;
        r.name = base_name(ip.file);
        r.other = needs_other_work(ip.file);
        PdfDoc *doc = nullptr;
        if (pdf_open(&doc, ip.file.c_str(), nullptr) == 0) {
            PageBitmap *bm = nullptr;
            char diags[600];
            render_page_diag(doc, 0, float(dpi) / 72.0f, 0, 0, &bm, diags, sizeof diags);
            if (bm)
                r.ours = testsupport::psnr(testsupport::rgb_from_bitmap(bm), mu);
            for (const char *t = diags; bm && *t; t += std::strlen(t) + 1) {
                r.diags += std::string(r.diags.empty() ? "" : " ") + t;
                for (const char *w : kOtherWork)
                    r.other = r.other || std::strcmp(t, w) == 0;
            }
            bitmap_free(bm);
            pdf_close(doc);
        }
        if (testsupport::oracle_render(ip.file, 1, dpi, true, &pp))
            r.poppler = testsupport::psnr(pp, mu);
        r.agrees = r.ours >= 40.0 || (r.poppler >= 0 && r.ours >= r.poppler - 1.0);
        results.push_back(r);
    }
    ASSERT_FALSE(results.empty());
    std::vector<double> values;
    int counted = 0, agree = 0;
    for (const Result &r : results) {
        values.push_back(r.ours);
        if (!r.other) {
            counted++;
            agree += r.agrees;
        }
    }
    std::sort(values.begin(), values.end());
    auto pct = [&](double q) { return values[size_t(q * double(values.size() - 1))]; };
    std::printf("IMAGES %d dpi: %zu pages; PSNR vs mutool min %.1f p25 %.1f median %.1f p75 %.1f "
                "max %.1f\n",
                dpi, results.size(), pct(0), pct(0.25), pct(0.5), pct(0.75), pct(1.0));
    std::printf("IMAGES %d dpi: %d of %d image pages agree; %zu pages need other work\n", dpi, agree,
                counted, results.size() - size_t(counted));
    std::vector<Result> sorted = results;
    std::sort(sorted.begin(), sorted.end(), [](const Result &a, const Result &b) {
        return a.ours - a.poppler < b.ours - b.poppler;
    });
    for (int other = 0; other < 2; other++) {
        std::printf(other ? "pages that also need text, shadings or transparency:\n"
                          : "worst image pages (ours, pdftoppm; both vs mutool):\n");
        int shown = 0;
        for (const Result &r : sorted)
            if (r.other == bool(other) && (other || shown < 10)) {
                std::printf("  %-42s ours %6.1f  pdftoppm %6.1f  %s [%s]\n", r.name.c_str(), r.ours,
                            r.poppler, r.agrees ? "agrees" : "DIFFERS", r.diags.c_str());
                shown++;
            }
    }
    ASSERT_GT(counted, 0);
    EXPECT_GE(agree * 100, counted * floor) << agree << " of " << counted << " image pages agree";
}

TEST(ImageFidelity, FirstPagesWithImagesAt72Dpi) { measure_at(72, 95); }
TEST(ImageFidelity, FirstPagesWithImagesAt150Dpi) { measure_at(150, 95); }

// Peak resident memory of a command in KiB; 0 when it failed.
long peak_kb(const std::string &command)
{
    const auto run = testsupport::run_limited(command + " 2>/dev/null", 0, 120);
    return run.exit_status == 0 ? run.peak_rss_kb : 0;
}

TEST(ImageFidelity, LargestScanMemoryWithinMutoolAndTheOutputLimit)
{
    SKIP_WITHOUT_CORPUS();
    const std::string tool = testsupport::pagrix_render_path();
    if (tool.empty() || !testsupport::have_oracle_renderers())
        GTEST_SKIP() << "pagrix-render or mutool missing";
    const auto &pages = image_pages();
    ASSERT_FALSE(pages.empty());
    const auto largest = *std::max_element(pages.begin(), pages.end(), [](const auto &a, const auto &b) {
        return a.largest < b.largest;
    });
    const std::string q = "'" + largest.file + "'";
    const std::string out = testsupport::scratch_path("scan");
    const long ours = peak_kb(tool + " render " + q + " -o " + out + ".bmp --dpi 150");
    const long opened = peak_kb(tool + " info " + q);
    const long mutool = peak_kb("mutool draw -q -r 150 -o " + out + ".ppm " + q + " 1");
    ASSERT_GT(ours, 0);
    ASSERT_GT(mutool, 0);
    PdfDoc *doc = nullptr;
    ASSERT_EQ(pdf_open(&doc, largest.file.c_str(), nullptr), 0);
    int w = 0, h = 0;
    page_pixel_size(doc, 0, 150.0f / 72.0f, &w, &h);
    pdf_close(doc);
    const long raster_kb = long((size_t(w) * 3 + 3) / 4 * 4 * size_t(h) / 1024);
    std::printf("LARGEST SCAN %s (%lld image pixels) at 150 dpi: peak ours %ld KiB (opening the "
                "file alone %ld KiB), mutool %ld KiB, raster %ld KiB\n",
                base_name(largest.file).c_str(), largest.largest, ours,
                opened, mutool, raster_kb);
    EXPECT_LE(ours, mutool);
    // What the render adds to an open document: the decoded image (at most
    // 24 MiB) and the page raster.
    EXPECT_LE(ours - opened, 24 * 1024 + raster_kb);
}

}  // namespace
