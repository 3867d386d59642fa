// Rendering whole documents with pagrix-render: every page of the ten
// largest corpus PDFs at 72 dpi, one process per file, with two worker
// processes against one, and with two against `mutool draw` writing PPM
// (ours writes BMP, also uncompressed).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "command_support.h"

namespace {

constexpr int kFiles = 10;
constexpr int kRuns = 5;

std::string corpus() { return benchsupport::corpus_dir(); }

struct BenchFile {
    std::string path;
    std::string password;  // the user password, "" for none
};

// The user password of a pdf_ref.tsv passwords field ("user=... owner=...");
// "" for none or an unknown one.
std::string user_password(const std::string &field)
{
    const auto at = field.find("user=");
    if (at == std::string::npos)
        return "";
    const std::string pw = field.substr(at + 5, field.find(' ', at) - at - 5);
    return pw == "?" ? "" : pw;
}

// The largest pdf_ref.tsv files by size, with their user passwords.
std::vector<BenchFile> largest_files()
{
    std::vector<std::pair<long, BenchFile>> rows;
    std::vector<std::string> head;
    for (const testsupport::TableRow &at : testsupport::table_rows(corpus() + "/pdf_ref.tsv", &head)) {
        rows.push_back({std::atol(at("bytes").c_str()), {corpus() + "/" + at("file"), user_password(at("passwords"))}});
    }
    std::sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    std::vector<BenchFile> out;
    for (size_t i = 0; i < rows.size() && int(i) < kFiles; i++)
        out.push_back(rows[i].second);
    return out;
}

// The output goes to memory where the system offers it (both programs write
// about 900 MB a run, and a virtual disk's writeback would time the disk,
// not the renderers), else to the build tree.
std::string out_dir()
{
    std::error_code ec;
    const std::string memory = "/dev/shm/pagrix_bench_batch";
    if (std::filesystem::is_directory("/dev/shm", ec)) {
        std::filesystem::create_directories(memory, ec);
        if (std::filesystem::is_directory(memory, ec))
            return memory;
    }
    const std::string dir = std::string(PAGRIX_BINARY_DIR) + "/bench_batch";
    std::filesystem::create_directories(dir, ec);
    return dir;
}

void clear_out_dir()
{
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(out_dir(), ec))
        std::filesystem::remove(e.path(), ec);
}

// Wall time of one pass over every file with `command_for`.
template <typename Command>
double all_files_ms(const std::vector<BenchFile> &files, Command command_for)
{
    return benchsupport::median_ms(
        [&] {
            for (const BenchFile &f : files)
                std::system(command_for(f).c_str());
            clear_out_dir();
        },
        1);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string ours(const std::string &tool, const BenchFile &f, int jobs)
{
    return tool + " render " + testsupport::shell_quote(f.path) + " --all --dpi 72 --quiet -j " +
           std::to_string(jobs) + (f.password.empty() ? "" : " --password " + testsupport::shell_quote(f.password)) +
           " -o " + testsupport::shell_quote(out_dir() + "/p%d.bmp") + " >/dev/null 2>&1";
}

std::string mutool(const BenchFile &f)
{
    return "mutool draw -q -r 72" + (f.password.empty() ? "" : " -p " + testsupport::shell_quote(f.password)) +
           " -o " + testsupport::shell_quote(out_dir() + "/m%d.ppm") + " " + testsupport::shell_quote(f.path) +
           " >/dev/null 2>&1";
}

void render_all()
{
    const std::string tool = testsupport::pagrix_render_path();
    if (corpus().empty() || tool.empty()) {
        std::printf("render-all: corpus or pagrix-render missing\n");
        return;
    }
    const std::vector<BenchFile> files = largest_files();
    const bool have_mutool = std::system("command -v mutool >/dev/null") == 0;
    // The commands take turns, so a drift of the machine's speed falls on
    // each alike; each figure is the median of its passes.
    std::vector<double> j1, j2, mu;
    for (int run = 0; run < kRuns; run++) {
        j1.push_back(all_files_ms(files, [&](const BenchFile &f) { return ours(tool, f, 1); }));
        j2.push_back(all_files_ms(files, [&](const BenchFile &f) { return ours(tool, f, 2); }));
        if (have_mutool)
            mu.push_back(all_files_ms(files, mutool));
    }
    benchsupport::report("render-all-j2-vs-j1", median(j2), median(j1));
    if (!have_mutool) {
        std::printf("render-all-vs-mutool: mutool missing\n");
        return;
    }
    benchsupport::report("render-all-vs-mutool", median(j2), median(mu));
}

const bool registered = (benchsupport::add_custom("render-all", render_all), true);

}  // namespace
