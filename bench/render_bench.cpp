// Page rendering speed at 150 dpi, our renderer beside `mutool draw` on the
// same pages in the same run: the corpus pages without text and images, the
// first pages that draw images, and the first pages of the corpus files that
// use transparency, shadings and patterns, or show text. Both sides open the
// file, render the page and write an uncompressed image.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "command_support.h"
#include "image_pages.h"
#include "shading_pages.h"
#include "bitmap/bitmap.h"
#include "pdf/document.h"
#include "render/page.h"

namespace {

constexpr int kRuns = 3;
constexpr int kMaxPagesPerFile = 40;

std::string corpus() { return benchsupport::corpus_dir(); }

// The corpus PDFs, sorted.
std::vector<std::string> corpus_pdfs()
{
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(corpus() + "/pdf", ec))
        if (e.path().extension() == ".pdf")
            files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// (file, 1-based page) of pages without extractable text or images.
std::vector<std::pair<std::string, int>> vector_pages()
{
    std::vector<std::pair<std::string, int>> out;
    for (const std::string &f : corpus_pdfs()) {
        std::string q = "'" + f + "'";
        std::string info = testsupport::run_command("timeout 20 pdfinfo " + q + " 2>/dev/null");
        auto at = info.find("Pages:");
        if (at == std::string::npos)
            continue;
        int count = std::min(std::atoi(info.c_str() + at + 6), kMaxPagesPerFile);
        std::set<int> images;
        std::istringstream list(testsupport::run_command("timeout 20 pdfimages -list " + q + " 2>/dev/null"));
        std::string line;
        for (int i = 0; std::getline(list, line); i++)
            if (i >= 2)
                images.insert(std::atoi(line.c_str()));
        std::string text = testsupport::run_command("timeout 20 pdftotext -l " + std::to_string(count) + " " + q +
                                   " - 2>/dev/null");
        std::vector<int> chars(size_t(count) + 2, 0);
        int page = 1;
        for (char c : text) {
            if (c == '\f')
                page++;
            else if (page <= count && c != ' ' && c != '\n' && c != '\t' && c != '\r')
                chars[size_t(page)]++;
        }
        for (int p = 1; p <= count; p++)
            if (!images.count(p) && chars[size_t(p)] == 0)
                out.push_back({f, p});
    }
    return out;
}

double median_ms(const std::function<bool()> &fn, bool *ok)
{
    std::vector<double> t;
    *ok = true;
    for (int i = 0; i < kRuns; i++) {
        auto t0 = std::chrono::steady_clock::now();
        *ok = fn() && *ok;
        t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

// Page 1 of every corpus PDF whose `column` in pdf_ref.tsv passes `take`.
std::vector<std::pair<std::string, int>> tsv_pages(const char *column_name,
                                                   bool (*take)(const std::string &cell))
{
    std::vector<std::pair<std::string, int>> out;
    for (const auto &[name, value] : testsupport::corpus_column(corpus(), column_name))
        if (take(value))
            out.push_back({corpus() + "/" + name, 1});
    return out;
}

// Page 1 of every corpus PDF that uses transparency.
std::vector<std::pair<std::string, int>> transparency_pages()
{
    return tsv_pages("transparency", [](const std::string &cell) { return cell != "-"; });
}

// Our render and `mutool draw` of each (file, page) at 150 dpi, each side
// opening the file, rendering and writing an uncompressed image; prints one
// line per page and the BENCH line `name` with the medians.
void compare_with_mutool(const char *name, const std::vector<std::pair<std::string, int>> &pages)
{
    const std::string out_ours = std::string(PAGRIX_BINARY_DIR) + "/bench_render.bmp";
    const std::string out_mu = std::string(PAGRIX_BINARY_DIR) + "/bench_render.ppm";
    std::vector<double> ours_ms, ref_ms, ratios;
    for (const auto &[file, page] : pages) {
        bool ok_ref, ok_ours;
        double ref = median_ms(
            [&] {
                return std::system(("mutool draw -q -r 150 -o " + out_mu + " '" + file + "' " +
                                    std::to_string(page) + " >/dev/null 2>&1")
                                       .c_str()) == 0;
            },
            &ok_ref);
        double ours = median_ms(
            [&] {
                PdfDoc *doc = nullptr;
                if (pdf_open(&doc, file.c_str(), nullptr) != 0)
                    return false;
                PageBitmap *bm = nullptr;
                render_page(doc, page - 1, 150.0f / 72.0f, 0, 0, &bm);
                bool ok = bm && write_bmp(out_ours.c_str(), bm) == 0;
                bitmap_free(bm);
                pdf_close(doc);
                return ok;
            },
            &ok_ours);
        if (!ok_ref || !ok_ours)
            continue;
        std::printf("  %-50s page %3d  ours %8.2f ms  mutool %8.2f ms  ratio %.2f\n",
                    std::filesystem::path(file).filename().c_str(), page, ours, ref, ours / ref);
        ours_ms.push_back(ours);
        ref_ms.push_back(ref);
        ratios.push_back(ours / ref);
    }
    if (ratios.empty())
        return;
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("BENCH %s: ours=%.3f ref=%.3f ratio=%.3f (median per page "
                "over %zu pages)\n",
                name, median(ours_ms), median(ref_ms), median(ratios), ratios.size());
    std::fflush(stdout);
}

void render_vector_vs_mutool()
{
    if (corpus().empty()) {
        std::printf("render-vector-vs-mutool: corpus not present\n");
        return;
    }
    compare_with_mutool("render-vector-vs-mutool", vector_pages());
}

// Page 1 of every corpus PDF that draws images there.
void render_image_vs_mutool()
{
    if (corpus().empty()) {
        std::printf("render-image-vs-mutool: corpus not present\n");
        return;
    }
    std::vector<std::pair<std::string, int>> pages;
    for (const auto &p : testsupport::first_pages_with_images(corpus_pdfs()))
        pages.push_back({p.file, 1});
    compare_with_mutool("render-image-vs-mutool", pages);
}

void render_transparency_vs_mutool()
{
    if (corpus().empty()) {
        std::printf("render-transparency-vs-mutool: corpus not present\n");
        return;
    }
    compare_with_mutool("render-transparency-vs-mutool", transparency_pages());
}

// Page 1 of every corpus PDF that uses shadings or patterns.
void render_shading_vs_mutool()
{
    if (corpus().empty()) {
        std::printf("render-shading-vs-mutool: corpus not present\n");
        return;
    }
    std::vector<std::pair<std::string, int>> pages;
    for (const std::string &f : testsupport::first_pages_with_shadings(corpus()))
        pages.push_back({f, 1});
    compare_with_mutool("render-shading-vs-mutool", pages);
}

// Page 1 of every corpus PDF with text there.
void render_text_vs_mutool()
{
    if (corpus().empty()) {
        std::printf("render-text-vs-mutool: corpus not present\n");
        return;
    }
    compare_with_mutool("render-text-vs-mutool",
                        tsv_pages("p1_text_chars",
                                  [](const std::string &cell) { return std::atoi(cell.c_str()) > 0; }));
}

const bool registered =
    (benchsupport::add_custom("render-vector-vs-mutool", render_vector_vs_mutool),
     benchsupport::add_custom("render-image-vs-mutool", render_image_vs_mutool),
     benchsupport::add_custom("render-transparency-vs-mutool", render_transparency_vs_mutool),
     benchsupport::add_custom("render-shading-vs-mutool", render_shading_vs_mutool),
     benchsupport::add_custom("render-text-vs-mutool", render_text_vs_mutool), true);

}  // namespace
