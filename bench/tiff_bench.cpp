// A G4 fax page decoded by our TIFF reader into its 24-bit page beside libtiff
// decoding the same page: into its RGBA raster (the same product, a page to
// show) and, for scale, into bare 1-bit strips. The largest G4 TIFF of the
// corpus, or a generated A4 page without it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <tiffio.h>

#include "bench_support.h"
#include "bitmap/bitmap.h"
#include "formats/tiff.h"

namespace {

std::string read_all(const std::string &path)
{
    std::string s;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

bool is_g4(const std::string &path)
{
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    TIFF *t = TIFFOpen(path.c_str(), "r");
    if (!t)
        return false;
    uint16_t c = 0;
    TIFFGetField(t, TIFFTAG_COMPRESSION, &c);
    TIFFClose(t);
    return c == COMPRESSION_CCITTFAX4;
}

// An A4 page at 300 dpi of text-like marks written by libtiff as G4.
std::string generated_page()
{
    const std::string path = std::string(PAGRIX_BINARY_DIR) + "/bench_tiff_g4.tif";
    const int w = 2480, h = 3508, row_bytes = (w + 7) / 8;
    std::vector<uint8_t> image(size_t(row_bytes) * h, 0);
    uint32_t seed = 11;
    for (int line = 0; line < 60; line++)
        for (int x = 200; x < w - 250; x += 14) {
            seed = seed * 1103515245u + 12345u;
            if ((seed >> 16) % 5 == 0)
                continue;
            for (int y = 150 + line * 52; y < 150 + line * 52 + 30; y++)
                for (int k = x; k < x + 9; k++)
                    image[size_t(y) * row_bytes + size_t(k / 8)] |= uint8_t(0x80 >> (k % 8));
        }
    TIFF *t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, h);
    for (int y = 0; y < h; y++)
        TIFFWriteScanline(t, image.data() + size_t(y) * row_bytes, uint32_t(y), 0);
    TIFFClose(t);
    return path;
}

const std::string &page_path()
{
    static std::string path;
    if (!path.empty())
        return path;
    size_t best = 0;
    const std::string dir = benchsupport::corpus_dir();
    if (!dir.empty()) {
        for (const char *name : {"tiff-testfax4.tiff", "pillow-g4-multi.tiff", "pillow-hopper_g4_500.tif"}) {
            std::string p = dir + "/tiff/" + name;
            size_t n = read_all(p).size();
            if (n > best && is_g4(p)) {
                best = n;
                path = p;
            }
        }
    }
    if (path.empty())
        path = generated_page();
    return path;
}

const std::string &page_bytes()
{
    static std::string bytes = read_all(page_path());
    return bytes;
}

void ours()
{
    const std::string &b = page_bytes();
    int dx, dy;
    PageBitmap *bm = tiff_decode_memory(reinterpret_cast<const uint8_t *>(b.data()), int64_t(b.size()), &dx, &dy);
    benchmark::DoNotOptimize(bm);
    bitmap_free(bm);
}

void libtiff_rgba()
{
    TIFF *t = TIFFOpen(page_path().c_str(), "r");
    uint32_t w = 0, h = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    std::vector<uint32_t> raster(size_t(w) * h);
    TIFFReadRGBAImageOriented(t, w, h, raster.data(), ORIENTATION_TOPLEFT, 0);
    benchmark::DoNotOptimize(raster.data());
    TIFFClose(t);
}

void libtiff_strips()
{
    TIFF *t = TIFFOpen(page_path().c_str(), "r");
    std::vector<uint8_t> buf(size_t(TIFFStripSize(t)));
    for (uint32_t s = 0; s < TIFFNumberOfStrips(t); s++)
        TIFFReadEncodedStrip(t, s, buf.data(), tmsize_t(buf.size()));
    benchmark::DoNotOptimize(buf.data());
    TIFFClose(t);
}

void BM_TiffG4PageOurs(benchmark::State &s)
{
    for (auto _ : s)
        ours();
}
void BM_TiffG4PageLibtiffRgba(benchmark::State &s)
{
    for (auto _ : s)
        libtiff_rgba();
}
BENCHMARK(BM_TiffG4PageOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffG4PageLibtiffRgba)->Unit(benchmark::kMillisecond);

BENCH_COMPARISON_NAMED(tiff_g4_page, "tiff-g4-page-vs-libtiff", ours, libtiff_rgba);
BENCH_COMPARISON_NAMED(tiff_g4_page_strips, "tiff-g4-page-vs-libtiff-strips", ours, libtiff_strips);

}  // namespace
