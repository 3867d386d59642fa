// Text extraction speed: `pagrix-render text` beside `pdftotext` on every
// page of the ten largest corpus PDFs whose first page has text, each side a
// process that opens the file and writes all its text.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "command_support.h"

namespace {

constexpr int kFiles = 10;
constexpr int kRuns = 3;

std::string corpus() { return benchsupport::corpus_dir(); }

// The largest unencrypted pdf_ref.tsv files with page-1 text.
std::vector<std::string> largest_text_files()
{
    std::vector<std::pair<long, std::string>> rows;
    std::vector<std::string> head;
    for (const testsupport::TableRow &at : testsupport::table_rows(corpus() + "/pdf_ref.tsv", &head)) {
        if (std::atoi(at("p1_text_chars").c_str()) > 0 && at("encrypted") == "n")
            rows.push_back({std::atol(at("bytes").c_str()), corpus() + "/" + at("file")});
    }
    std::sort(rows.begin(), rows.end(), [](auto &a, auto &b) { return a.first > b.first; });
    std::vector<std::string> out;
    for (size_t i = 0; i < rows.size() && int(i) < kFiles; i++)
        out.push_back(rows[i].second);
    return out;
}

void text_extract_vs_pdftotext()
{
    const std::string tool = testsupport::pagrix_render_path();
    if (corpus().empty() || tool.empty() || std::system("command -v pdftotext >/dev/null") != 0) {
        std::printf("text-extract-vs-pdftotext: corpus, pagrix-render or pdftotext missing\n");
        return;
    }
    const std::vector<std::string> files = largest_text_files();
    double ours_total = 0, ref_total = 0;
    for (const std::string &file : files) {
        const std::string q = testsupport::shell_quote(file);
        const double ours = benchsupport::median_ms(
            [&] { std::system((tool + " text " + q + " >/dev/null 2>&1").c_str()); }, kRuns);
        const double ref = benchsupport::median_ms(
            [&] { std::system(("pdftotext -q " + q + " /dev/null").c_str()); }, kRuns);
        std::printf("  %-50s ours %8.2f ms  pdftotext %8.2f ms  ratio %.2f\n",
                    std::filesystem::path(file).filename().c_str(), ours, ref, ours / ref);
        ours_total += ours;
        ref_total += ref;
    }
    benchsupport::report("text-extract-vs-pdftotext", ours_total, ref_total);
}

const bool registered =
    (benchsupport::add_custom("text-extract-vs-pdftotext", text_extract_vs_pdftotext), true);

}  // namespace
