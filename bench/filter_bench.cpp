// Stream decoding throughput: our Flate filter beside zlib's own uncompress, and our
// CCITT Group 4 decoder beside libtiff's, on the same data. The Google Benchmark rows
// report MB/s of decoded output; the BENCH lines compare the times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <tiffio.h>
#include <zlib.h>

#include "bench_support.h"
#include "pdf/filters.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ~24 MB of page-like data: content-stream text and smooth image rows.
const Bytes &flate_plain()
{
    static Bytes plain;
    if (plain.empty()) {
        uint32_t seed = 1;
        std::string ops = "BT /F1 12 Tf 72 700 Td (Hello, world) Tj ET 0.5 g 10 10 200 300 re f q 1 0 0 1 5 5 cm Q\n";
        for (int block = 0; block < 96; block++) {
            for (int i = 0; i < 1000; i++)
                plain.insert(plain.end(), ops.begin(), ops.end());
            for (int i = 0; i < 160000; i++) {
                seed = seed * 1664525u + 1013904223u;
                plain.push_back(uint8_t(i / 700 + (seed >> 29)));
            }
        }
    }
    return plain;
}

const Bytes &flate_compressed()
{
    static Bytes z;
    if (z.empty()) {
        const Bytes &plain = flate_plain();
        uLongf n = compressBound(uLong(plain.size()));
        z.resize(n);
        compress2(z.data(), &n, plain.data(), uLong(plain.size()), 6);
        z.resize(n);
    }
    return z;
}

size_t decode_ours(ByteReader *r, Bytes &out)
{
    size_t total = 0;
    int n;
    while (r && total < out.size() && (n = reader_read(r, out.data() + total, int(std::min<size_t>(out.size() - total, 1 << 20)))) > 0)
        total += size_t(n);
    reader_close_chain(r);
    return total;
}

size_t flate_ours(Bytes &out)
{
    const Bytes &z = flate_compressed();
    return decode_ours(pdf_filter_flate(reader_open_memory(z.data(), int64_t(z.size()))), out);
}

size_t flate_zlib(Bytes &out)
{
    const Bytes &z = flate_compressed();
    uLongf n = uLongf(out.size());
    uncompress(out.data(), &n, z.data(), uLong(z.size()));
    return n;
}

// An A4 page at 300 dpi (2480 x 3508) of text-like marks, written by libtiff as one G4
// strip. Holds the file name and the raw strip.
struct FaxPage {
    int width = 2480, height = 3508;
    std::string path;
    Bytes strip;
};

const FaxPage &fax_page()
{
    static FaxPage page;
    if (!page.path.empty())
        return page;
    page.path = std::string(PAGRIX_BINARY_DIR) + "/bench_g4.tif";
    const int row_bytes = (page.width + 7) / 8;
    Bytes image(size_t(row_bytes) * size_t(page.height), 0);
    uint32_t seed = 7;
    auto rnd = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % uint32_t(n));
    };
    // Lines of "glyphs": small blocks with holes, 40 rows of text per page.
    for (int line = 0; line < 60; line++) {
        int top = 150 + line * 52;
        for (int x = 200; x < page.width - 250;) {
            int w = 8 + rnd(18), h = 20 + rnd(12);
            for (int y = top + (32 - h); y < top + 32; y++)
                for (int k = x; k < x + w; k++)
                    if (!((k - x) > 2 && (k - x) < w - 3 && (y - top) % 9 > 3 && rnd(3)))
                        image[size_t(y * row_bytes + k / 8)] |= uint8_t(0x80 >> (k % 8));
            x += w + 2 + (rnd(6) == 0 ? 20 : 3);
        }
    }
    TIFF *t = TIFFOpen(page.path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, page.height);
    for (int y = 0; y < page.height; y++)
        TIFFWriteScanline(t, image.data() + size_t(y) * size_t(row_bytes), uint32_t(y), 0);
    TIFFClose(t);
    t = TIFFOpen(page.path.c_str(), "r");
    page.strip.resize(size_t(TIFFRawStripSize(t, 0)));
    TIFFReadRawStrip(t, 0, page.strip.data(), tmsize_t(page.strip.size()));
    TIFFClose(t);
    return page;
}

size_t g4_ours(Bytes &out)
{
    const FaxPage &p = fax_page();
    CcittParams params;
    params.k = -1;
    params.columns = p.width;
    params.rows = p.height;
    params.black_is_1 = 1;
    return decode_ours(pdf_filter_ccitt(reader_open_memory(p.strip.data(), int64_t(p.strip.size())), params), out);
}

// libtiff decoding the same strip (opening the file is part of its cost, as it is of ours
// to set up the decoder; both are small beside the decoding).
size_t g4_libtiff(Bytes &out)
{
    const FaxPage &p = fax_page();
    TIFF *t = TIFFOpen(p.path.c_str(), "r");
    tmsize_t n = TIFFReadEncodedStrip(t, 0, out.data(), tmsize_t(out.size()));
    TIFFClose(t);
    return n > 0 ? size_t(n) : 0;
}

void run_decoder(benchmark::State &state, size_t (*decode)(Bytes &), size_t capacity)
{
    Bytes out(capacity);
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = decode(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(bytes) * state.iterations());
}

size_t fax_bytes() { return size_t((fax_page().width + 7) / 8) * size_t(fax_page().height); }

void BM_FlateOurs(benchmark::State &s)
{
    Bytes a(flate_plain().size());
    if (flate_ours(a) != a.size() || a != flate_plain()) {
        s.SkipWithError("Flate output differs from the input");
        return;
    }
    run_decoder(s, flate_ours, flate_plain().size());
}
void BM_FlateZlibUncompress(benchmark::State &s) { run_decoder(s, flate_zlib, flate_plain().size()); }
void BM_G4Ours(benchmark::State &s)
{
    // Both decoders must agree before their speed means anything.
    Bytes a(fax_bytes()), b(fax_bytes());
    if (g4_ours(a) != a.size() || g4_libtiff(b) != b.size() || a != b) {
        s.SkipWithError("G4 output differs from libtiff's");
        return;
    }
    run_decoder(s, g4_ours, fax_bytes());
}
void BM_G4Libtiff(benchmark::State &s) { run_decoder(s, g4_libtiff, fax_bytes()); }
BENCHMARK(BM_FlateOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlateZlibUncompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4Libtiff)->Unit(benchmark::kMillisecond);

Bytes g_out;

BENCH_COMPARISON(
    flate_decode_vs_zlib_uncompress,
    [] {
        g_out.resize(flate_plain().size());
        flate_ours(g_out);
    },
    [] {
        g_out.resize(flate_plain().size());
        flate_zlib(g_out);
    });

BENCH_COMPARISON(
    ccitt_g4_decode_vs_libtiff,
    [] {
        g_out.resize(fax_bytes());
        g4_ours(g_out);
    },
    [] {
        g_out.resize(fax_bytes());
        g4_libtiff(g_out);
    });

}  // namespace
