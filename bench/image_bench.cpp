// Image rendering speed: page 1 of every corpus PDF that draws images, at
// 150 dpi, our renderer beside `mutool draw` writing PPM in the same run.
// Both sides open the file, render the page and write an uncompressed image.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "bitmap/bitmap.h"
#include "command_support.h"
#include "image_pages.h"
#include "pdf/document.h"
#include "render/page.h"

namespace {

constexpr int kRuns = 3;

double median_of(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median wall time of kRuns calls in milliseconds; *ok false when a call failed.
double time_ms(const std::function<bool()> &fn, bool *ok)
{
    std::vector<double> t;
    *ok = true;
    for (int i = 0; i < kRuns; i++) {
        auto t0 = std::chrono::steady_clock::now();
        *ok = fn() && *ok;
        t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count());
    }
    return median_of(t);
}

void render_image_vs_mutool()
{
    const char *env = std::getenv("PAGRIX_CORPUS");
    const std::string root = env && *env ? std::string(env) : benchsupport::corpus_dir();
    if (root.empty()) {
        std::printf("render-image-vs-mutool: corpus not present\n");
        return;
    }
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(root + "/pdf", ec))
        if (e.path().extension() == ".pdf")
            files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    const std::string out_ours = std::string(PAGRIX_BINARY_DIR) + "/bench_image.bmp";
    const std::string out_mu = std::string(PAGRIX_BINARY_DIR) + "/bench_image.ppm";
    std::vector<double> ours_ms, ref_ms, ratios;
    for (const auto &page : testsupport::first_pages_with_images(files)) {
        const std::string &file = page.file;
        bool ok_ref, ok_ours;
        double ref = time_ms(
            [&] {
                return std::system(("mutool draw -q -r 150 -o " + out_mu + " '" + file +
                                    "' 1 >/dev/null 2>&1")
                                       .c_str()) == 0;
            },
            &ok_ref);
        double ours = time_ms(
            [&] {
                PdfDoc *doc = nullptr;
                if (pdf_open(&doc, file.c_str(), nullptr) != 0)
                    return false;
                PageBitmap *bm = nullptr;
                render_page(doc, 0, 150.0f / 72.0f, 0, 0, &bm);
                bool ok = bm && write_bmp(out_ours.c_str(), bm) == 0;
                bitmap_free(bm);
                pdf_close(doc);
                return ok;
            },
            &ok_ours);
        if (!ok_ref || !ok_ours)
            continue;
        std::printf("  %-50s ours %8.2f ms  mutool %8.2f ms  ratio %.2f\n",
                    std::filesystem::path(file).filename().c_str(), ours, ref, ours / ref);
        ours_ms.push_back(ours);
        ref_ms.push_back(ref);
        ratios.push_back(ours / ref);
    }
    if (ratios.empty())
        return;
    std::printf("BENCH render-image-vs-mutool: ours=%.3f ref=%.3f ratio=%.3f (median per page over "
                "%zu pages)\n",
                median_of(ours_ms), median_of(ref_ms), median_of(ratios), ratios.size());
    std::fflush(stdout);
}

const bool registered =
    (benchsupport::add_custom("render-image-vs-mutool", render_image_vs_mutool), true);

}  // namespace
