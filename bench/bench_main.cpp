// Benchmark entry: the Google Benchmark table, then the side-by-side comparisons.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"

namespace benchsupport {

namespace {

struct Comparison {
    std::string name;
    std::function<void()> ours, ref;
    int runs;
};

std::vector<Comparison> &comparisons()
{
    static std::vector<Comparison> list;
    return list;
}

std::vector<std::pair<std::string, std::function<void()>>> &custom_steps()
{
    static std::vector<std::pair<std::string, std::function<void()>>> list;
    return list;
}

}  // namespace

double median_ms(const std::function<void()> &fn, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < std::max(1, runs); i++) {
        auto t0 = std::chrono::steady_clock::now();
        fn();
        auto t1 = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void add_comparison(const std::string &name, std::function<void()> ours, std::function<void()> ref, int runs)
{
    comparisons().push_back({name, std::move(ours), std::move(ref), runs});
}

void add_custom(const std::string &name, std::function<void()> fn)
{
    custom_steps().push_back({name, std::move(fn)});
}

int run_command(const std::string &command) { return std::system(command.c_str()); }

void report(const std::string &name, double ours_ms, double ref_ms)
{
    std::printf("BENCH %s: ours=%.3f ref=%.3f ratio=%.3f\n", name.c_str(), ours_ms, ref_ms,
                ref_ms > 0 ? ours_ms / ref_ms : 0.0);
    std::fflush(stdout);
}

std::string corpus_dir()
{
    if (const char *env = std::getenv("PAGRIX_CORPUS"); env && *env)
        return env;
    std::filesystem::path p = std::filesystem::path(PAGRIX_SOURCE_DIR) / ".." / "shared" / "corpus";
    std::error_code ec;
    return std::filesystem::is_directory(p, ec) ? p.lexically_normal().string() : "";
}

}  // namespace benchsupport

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (auto &c : benchsupport::comparisons()) {
        double ours = benchsupport::median_ms(c.ours, c.runs);
        double ref = benchsupport::median_ms(c.ref, c.runs);
        benchsupport::report(c.name, ours, ref);
    }
    // PAGRIX_BENCH_ONLY=<part of a name> runs only the matching custom steps.
    const char *only = std::getenv("PAGRIX_BENCH_ONLY");
    for (auto &[name, step] : benchsupport::custom_steps())
        if (!only || name.find(only) != std::string::npos)
            step();
    return 0;
}
