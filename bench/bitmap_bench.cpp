// Raster operations: our PNG writer beside libpng-free zlib compression of the same rows.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <zlib.h>

#include "bench_support.h"
#include "bitmap/bitmap.h"

namespace {

PageBitmap *letter_page_150dpi()
{
    PageBitmap *b = bitmap_create(1275, 1650);
    bitmap_fill(b, 255, 255, 255);
    for (int y = 100; y < 1500; y += 20)
        for (int x = 100; x < 1100; x++)
            b->pixels[y * b->stride + 3 * x] = uint8_t(x);
    return b;
}

void BM_ScaleBand(benchmark::State &state)
{
    PageBitmap *b = letter_page_150dpi();
    for (auto _ : state) {
        PageBitmap *s = bitmap_scale_band(b, 850, 1100, 0, 1100);
        benchmark::DoNotOptimize(s);
        bitmap_free(s);
    }
    bitmap_free(b);
}
BENCHMARK(BM_ScaleBand)->Unit(benchmark::kMillisecond);

void BM_Rotate(benchmark::State &state)
{
    PageBitmap *b = letter_page_150dpi();
    for (auto _ : state) {
        PageBitmap *r = bitmap_rotate(b, 1);
        benchmark::DoNotOptimize(r);
        bitmap_free(r);
    }
    bitmap_free(b);
}
BENCHMARK(BM_Rotate)->Unit(benchmark::kMillisecond);

// The PNG writer is dominated by zlib; compare it with compressing the same raw rows.
PageBitmap *g_page = nullptr;
BENCH_COMPARISON(
    png_write_vs_zlib_compress,
    [] {
        if (!g_page)
            g_page = letter_page_150dpi();
        write_png((std::string(PAGRIX_BINARY_DIR) + "/bench.png").c_str(), g_page);
    },
    [] {
        if (!g_page)
            g_page = letter_page_150dpi();
        std::vector<uint8_t> raw(size_t(g_page->height) * (1 + 3 * g_page->width), 255);
        uLongf n = compressBound(uLong(raw.size()));
        std::vector<uint8_t> out(n);
        compress2(out.data(), &n, raw.data(), uLong(raw.size()), 6);
    });

}  // namespace
