// Side-by-side comparisons for `make bench`: each prints one line
//   BENCH <name>: ours=<ms> ref=<ms> ratio=<ours/ref>
// so that scripts can collect the figures.
#pragma once
#include <functional>
#include <string>

namespace benchsupport {

// Median wall time in milliseconds of `runs` calls of fn.
double median_ms(const std::function<void()> &fn, int runs);
// Registers a comparison that runs after the Google Benchmark table.
void add_comparison(const std::string &name, std::function<void()> ours, std::function<void()> ref,
                    int runs = 5);
// Registers a step that runs after the comparisons and prints its own BENCH
// lines (names may contain dashes, and the figure need not be a ratio of medians).
void add_custom(const std::string &name, std::function<void()> fn);
// Runs a shell command and returns its exit status (for external reference programs).
int run_command(const std::string &command);
// Prints the BENCH line.
void report(const std::string &name, double ours_ms, double ref_ms);
// The shared corpus folder (PAGRIX_CORPUS, else ../shared/corpus beside the
// source tree), or "" when absent.
std::string corpus_dir();

}  // namespace benchsupport

// Registers a comparison at static-initialisation time.
#define BENCH_COMPARISON(name, ours, ref) \
    static const bool bench_cmp_##name = (benchsupport::add_comparison(#name, ours, ref), true)
// The same with a printed name that is not an identifier ("raster-fill-vs-freetype").
#define BENCH_COMPARISON_NAMED(name, printed, ours, ref) \
    static const bool bench_cmp_##name = (benchsupport::add_comparison(printed, ours, ref), true)
