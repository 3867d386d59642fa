// TIFF pages written field by field: sample depths and photometric
// interpretations, strips, tiles and planes, the compressions, fax data,
// orientation and resolution, the directory chain, and hostile directories.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "formats/tiff.h"
#include "jpeg_support.h"
#include "tiff_builder.h"

namespace {

using testsupport::TiffBuilder;
using Sample = std::function<uint32_t(int x, int y, int k)>;

// Samples packed MSB first, rows padded to bytes; 16-bit samples in the file's order.
std::string pack(int w, int h, int samples, int bits, const Sample &v, bool little = true)
{
    std::string out;
    for (int y = 0; y < h; y++) {
        std::string row((size_t(w) * size_t(samples) * size_t(bits) + 7) / 8, '\0');
        for (int x = 0; x < w; x++)
            for (int k = 0; k < samples; k++) {
                uint32_t s = v(x, y, k) & ((bits == 16 ? 0x10000u : 1u << bits) - 1);
                size_t i = size_t(x) * size_t(samples) + size_t(k);
                if (bits == 16) {
                    row[2 * i + (little ? 0 : 1)] = char(s & 0xFF);
                    row[2 * i + (little ? 1 : 0)] = char(s >> 8);
                } else if (bits == 8) {
                    row[i] = char(s);
                } else {
                    size_t bit = i * size_t(bits);
                    row[bit / 8] = char(uint8_t(row[bit / 8]) | s << (8 - bits - bit % 8));
                }
            }
        out += row;
    }
    return out;
}

struct Decoded {
    PageBitmap *bm = nullptr;
    int dpi_x = -1, dpi_y = -1;
    int pages = 0;
    ~Decoded() { bitmap_free(bm); }
};

void decode(const std::string &file, Decoded *d, int page = 0)
{
    TiffDoc *doc = tiff_open_memory(reinterpret_cast<const uint8_t *>(file.data()), int64_t(file.size()), &d->pages);
    d->bm = tiff_decode_page(doc, page, &d->dpi_x, &d->dpi_y);
    tiff_close(doc);
}

uint32_t rgb_at(const PageBitmap *bm, int x, int y)
{
    const uint8_t *p = bm->pixels + y * bm->stride + 3 * x;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

uint32_t grey(uint32_t v) { return v << 16 | v << 8 | v; }

// Every pixel equals expect(x, y); reports the first difference.
::testing::AssertionResult matches(const PageBitmap *bm, int w, int h, const std::function<uint32_t(int, int)> &expect)
{
    if (!bm)
        return ::testing::AssertionFailure() << "no page";
    if (bm->width != w || bm->height != h)
        return ::testing::AssertionFailure() << "size " << bm->width << "x" << bm->height;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (rgb_at(bm, x, y) != expect(x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex
                                                     << rgb_at(bm, x, y) << " not " << expect(x, y);
    return ::testing::AssertionSuccess();
}

uint32_t wave(int x, int y, int k) { return uint32_t(x * 37 + y * 11 + k * 80 + x * y); }

TEST(TiffDecode, SampleDepthsAndPhotometrics)
{
    const int W = 13, H = 5;  // odd width: rows of packed samples end mid-byte
    struct Row {
        const char *name;
        int bits, samples, photometric;
        bool little;
        int rows_per_strip;
        std::function<uint32_t(int, int)> expect;
    } rows[] = {
        {"grey 8 LE, a strip a row", 8, 1, 1, true, 1, [](int x, int y) { return grey(wave(x, y, 0) & 255); }},
        {"grey 8 BE, strips of 2", 8, 1, 1, false, 2, [](int x, int y) { return grey(wave(x, y, 0) & 255); }},
        {"white-is-zero 8", 8, 1, 0, true, 0, [](int x, int y) { return grey(255 - (wave(x, y, 0) & 255)); }},
        {"min-is-black 1", 1, 1, 1, true, 0, [](int x, int y) { return grey(wave(x, y, 0) & 1 ? 255 : 0); }},
        {"min-is-white 1", 1, 1, 0, false, 3, [](int x, int y) { return grey(wave(x, y, 0) & 1 ? 0 : 255); }},
        {"grey 2", 2, 1, 1, true, 0, [](int x, int y) { return grey((wave(x, y, 0) & 3) * 85); }},
        {"grey 4", 4, 1, 1, false, 0, [](int x, int y) { return grey((wave(x, y, 0) & 15) * 17); }},
        {"grey 16 LE: high byte", 16, 1, 1, true, 0, [](int x, int y) { return grey((wave(x, y, 0) >> 8) & 255); }},
        {"grey 16 BE: high byte", 16, 1, 1, false, 0, [](int x, int y) { return grey((wave(x, y, 0) >> 8) & 255); }},
        {"RGB 8", 8, 3, 2, true, 2,
         [](int x, int y) { return (wave(x, y, 0) & 255) << 16 | (wave(x, y, 1) & 255) << 8 | (wave(x, y, 2) & 255); }},
        {"RGBA 8: alpha ignored", 8, 4, 2, false, 0,
         [](int x, int y) { return (wave(x, y, 0) & 255) << 16 | (wave(x, y, 1) & 255) << 8 | (wave(x, y, 2) & 255); }},
        {"RGB 16 BE", 16, 3, 2, false, 0,
         [](int x, int y) {
             return (wave(x, y, 0) >> 8 & 255) << 16 | (wave(x, y, 1) >> 8 & 255) << 8 | (wave(x, y, 2) >> 8 & 255);
         }},
        {"CMYK: first channel as grey", 8, 4, 5, true, 0, [](int x, int y) { return grey(wave(x, y, 0) & 255); }},
        {"palette without a map: grey", 8, 1, 3, true, 0, [](int x, int y) { return grey(wave(x, y, 0) & 255); }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        std::string file = testsupport::tiff_simple(W, H, r.bits, r.samples, r.photometric,
                                                    pack(W, H, r.samples, r.bits, wave, r.little), r.little,
                                                    r.rows_per_strip);
        Decoded d;
        decode(file, &d);
        EXPECT_TRUE(matches(d.bm, W, H, r.expect));
    }
}

TEST(TiffDecode, PaletteTakesHighBytesAndClampsIndices)
{
    const int W = 9, H = 2;
    struct Row {
        int bits;
        int entries;  // per channel
    } rows[] = {{4, 16}, {8, 7}, {2, 4}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.bits);
        std::vector<uint64_t> map;
        for (int c = 0; c < 3; c++)
            for (int i = 0; i < r.entries; i++)
                map.push_back(uint64_t(((i * 20 + c * 70) & 255) << 8 | 0xAB));  // low bytes are noise
        TiffBuilder b;
        std::string px = pack(W, H, 1, r.bits, wave);
        uint64_t at = b.data(px);
        b.tag(256, testsupport::T_SHORT, {W}).tag(257, testsupport::T_SHORT, {H});
        b.tag(258, testsupport::T_SHORT, {uint64_t(r.bits)}).tag(262, testsupport::T_SHORT, {3});
        b.tag(273, testsupport::T_LONG, {at}).tag(279, testsupport::T_LONG, {px.size()});
        b.tag(320, testsupport::T_SHORT, map);
        Decoded d;
        decode(b.finish(), &d);
        EXPECT_TRUE(matches(d.bm, W, H, [&](int x, int y) {
            uint32_t i = wave(x, y, 0) & ((1u << r.bits) - 1);
            if (i >= uint32_t(r.entries))
                i = uint32_t(r.entries - 1);
            return uint32_t((i * 20) & 255) << 16 | ((i * 20 + 70) & 255) << 8 | ((i * 20 + 140) & 255);
        }));
    }
}

// LZW as a TIFF writer without a string table would emit it: 9-bit literals,
// a clear code before the table would widen the codes.
std::string lzw_literals(const std::string &data)
{
    std::string out;
    uint32_t acc = 0;
    int n = 0;
    auto put = [&](int code) {
        acc = acc << 9 | uint32_t(code);
        n += 9;
        while (n >= 8) {
            out += char((acc >> (n - 8)) & 0xFF);
            n -= 8;
        }
    };
    for (size_t i = 0; i < data.size(); i++) {
        if (i % 250 == 0)
            put(256);
        put(uint8_t(data[i]));
    }
    put(257);
    if (n > 0)
        out += char((acc << (8 - n)) & 0xFF);
    return out;
}

std::string zlib_bytes(const std::string &data)
{
    uLongf n = compressBound(uLong(data.size()));
    std::string out(n, '\0');
    compress2(reinterpret_cast<Bytef *>(&out[0]), &n, reinterpret_cast<const Bytef *>(data.data()), uLong(data.size()), 6);
    out.resize(n);
    return out;
}

// Horizontal differencing of 8-bit samples, `samples` to a pixel.
std::string difference(const std::string &rows, int w, int samples)
{
    std::string out = rows;
    const size_t row = size_t(w) * size_t(samples);
    for (size_t y = 0; y < rows.size() / row; y++)
        for (size_t i = row - 1; i >= size_t(samples); i--)
            out[y * row + i] = char(uint8_t(rows[y * row + i]) - uint8_t(rows[y * row + i - size_t(samples)]));
    return out;
}

// PackBits with a literal run, a repeat and the -128 no-op between them.
std::string packbits(const std::string &data)
{
    std::string out;
    for (size_t i = 0; i < data.size();) {
        size_t run = 1;
        while (i + run < data.size() && run < 128 && data[i + run] == data[i])
            run++;
        if (run >= 2) {
            out += char(uint8_t(257 - run));
            out += data[i];
            i += run;
        } else {
            size_t lit = std::min<size_t>(data.size() - i, 3);
            out += char(lit - 1);
            out += data.substr(i, lit);
            i += lit;
        }
        out += '\x80';
    }
    return out;
}

// One RGB image in every way of storing it; each must read back the same.
TEST(TiffDecode, StripsTilesPlanesAndCompressions)
{
    const int W = 20, H = 18, TW = 16, TH = 16;
    auto rgb = [](int x, int y) {
        return (wave(x, y, 0) & 255) << 16 | (wave(x, y, 1) & 255) << 8 | (wave(x, y, 2) & 255);
    };
    const std::string chunky = pack(W, H, 3, 8, wave);
    auto base = [&](TiffBuilder &b, int planar, int compression) {
        b.tag(256, testsupport::T_SHORT, {W}).tag(257, testsupport::T_SHORT, {H});
        b.tag(258, testsupport::T_SHORT, {8, 8, 8}).tag(259, testsupport::T_SHORT, {uint64_t(compression)});
        b.tag(262, testsupport::T_SHORT, {2}).tag(277, testsupport::T_SHORT, {3});
        b.tag(284, testsupport::T_SHORT, {uint64_t(planar)});
    };
    // Strips of 7 rows, each through `code`, optionally differenced first.
    auto strips = [&](bool little, bool big, int compression, bool predictor, std::string (*code)(const std::string &)) {
        TiffBuilder b(little, big);
        std::vector<uint64_t> offs, counts;
        for (int y = 0; y < H; y += 7) {
            std::string raw = chunky.substr(size_t(y) * W * 3, size_t(std::min(7, H - y)) * W * 3);
            std::string coded = code(predictor ? difference(raw, W, 3) : raw);
            offs.push_back(b.data(coded));
            counts.push_back(coded.size());
        }
        base(b, 1, compression);
        b.tag(273, big ? testsupport::T_LONG8 : testsupport::T_LONG, offs).tag(278, testsupport::T_SHORT, {7});
        b.tag(279, testsupport::T_LONG, counts);
        if (predictor)
            b.tag(317, testsupport::T_SHORT, {2});
        return b.finish();
    };
    auto same = [](const std::string &s) { return s; };
    // Tiles of 16 x 16 (edge tiles padded), one plane per sample when planar.
    auto tiles = [&](int planar) {
        TiffBuilder b;
        std::vector<uint64_t> offs, counts;
        const int planes = planar == 2 ? 3 : 1, per = planar == 2 ? 1 : 3;
        for (int p = 0; p < planes; p++)
            for (int ty = 0; ty < H; ty += TH)
                for (int tx = 0; tx < W; tx += TW) {
                    std::string tile = pack(TW, TH, per, 8, [&](int x, int y, int k) {
                        return x + tx < W && y + ty < H ? wave(x + tx, y + ty, planar == 2 ? p : k) : 0x55;
                    });
                    offs.push_back(b.data(tile));
                    counts.push_back(tile.size());
                }
        base(b, planar, 1);
        b.tag(322, testsupport::T_SHORT, {TW}).tag(323, testsupport::T_SHORT, {TH});
        b.tag(324, testsupport::T_LONG, offs).tag(325, testsupport::T_LONG, counts);
        return b.finish();
    };
    auto planar_strips = [&] {
        TiffBuilder b(false);
        std::vector<uint64_t> offs, counts;
        for (int p = 0; p < 3; p++)
            for (int y = 0; y < H; y += 5) {
                std::string s = zlib_bytes(pack(W, std::min(5, H - y), 1, 8, [&](int x, int yy, int) { return wave(x, y + yy, p); }));
                offs.push_back(b.data(s));
                counts.push_back(s.size());
            }
        base(b, 2, 8);
        b.tag(273, testsupport::T_LONG, offs).tag(278, testsupport::T_SHORT, {5}).tag(279, testsupport::T_LONG, counts);
        return b.finish();
    };
    struct Row {
        const char *name;
        std::string file;
    } rows[] = {
        {"uncompressed LE", strips(true, false, 1, false, same)},
        {"uncompressed BE", strips(false, false, 1, false, same)},
        {"BigTIFF LE", strips(true, true, 1, false, same)},
        {"BigTIFF BE with LZW", strips(false, true, 5, false, lzw_literals)},
        {"LZW with predictor", strips(true, false, 5, true, lzw_literals)},
        {"Deflate (8) with predictor", strips(true, false, 8, true, zlib_bytes)},
        {"Deflate (32946)", strips(false, false, 32946, false, zlib_bytes)},
        {"PackBits with -128 no-ops", strips(true, false, 32773, false, packbits)},
        {"tiles", tiles(1)},
        {"tiles, planar 2", tiles(2)},
        {"strips, planar 2, Deflate", planar_strips()},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Decoded d;
        decode(r.file, &d);
        EXPECT_TRUE(matches(d.bm, W, H, rgb));
    }
}

TEST(TiffDecode, SixteenBitPredictorInFileByteOrder)
{
    const int W = 6, H = 3;
    for (bool little : {true, false}) {
        SCOPED_TRACE(little);
        auto v = [](int x, int y, int) { return uint32_t(x * 9000 + y * 300 + 65000); };  // wraps
        std::string diff = pack(W, H, 1, 16, [&](int x, int y, int k) { return x == 0 ? v(x, y, k) : v(x, y, k) - v(x - 1, y, k); }, little);
        TiffBuilder b(little);
        std::string z = zlib_bytes(diff);
        uint64_t at = b.data(z);
        b.tag(256, testsupport::T_SHORT, {W}).tag(257, testsupport::T_SHORT, {H}).tag(258, testsupport::T_SHORT, {16});
        b.tag(259, testsupport::T_SHORT, {8}).tag(262, testsupport::T_SHORT, {1});
        b.tag(273, testsupport::T_LONG, {at}).tag(279, testsupport::T_LONG, {z.size()}).tag(317, testsupport::T_SHORT, {2});
        Decoded d;
        decode(b.finish(), &d);
        EXPECT_TRUE(matches(d.bm, W, H, [&](int x, int y) { return grey((v(x, y, 0) & 0xFFFF) >> 8); }));
    }
}

// A one-strip fax image of `w` x `h` from hand-coded bits ("0111 011" ...).
std::string fax_file(int compression, int w, int h, const std::string &bit_text, int photometric = -1, int t4 = 0)
{
    std::string bytes;
    int n = 0;
    for (char c : bit_text) {
        if (c != '0' && c != '1')
            continue;
        if (n % 8 == 0)
            bytes += '\0';
        if (c == '1')
            bytes.back() = char(uint8_t(bytes.back()) | 0x80 >> (n % 8));
        n++;
    }
    TiffBuilder b;
    uint64_t at = b.data(bytes);
    b.tag(256, testsupport::T_SHORT, {uint64_t(w)}).tag(257, testsupport::T_SHORT, {uint64_t(h)});
    b.tag(258, testsupport::T_SHORT, {1}).tag(259, testsupport::T_SHORT, {uint64_t(compression)});
    if (photometric >= 0)
        b.tag(262, testsupport::T_SHORT, {uint64_t(photometric)});
    if (t4)
        b.tag(292, testsupport::T_LONG, {uint64_t(t4)});
    b.tag(273, testsupport::T_LONG, {at}).tag(279, testsupport::T_LONG, {bytes.size()});
    return b.finish();
}

TEST(TiffDecode, FaxRowsPhotometricAndDamage)
{
    // Row "WWBBBBWW": white 2 = 0111, black 4 = 011, white 2 = 0111.
    const std::string row = "0111 011 0111";
    const std::string eol = "000000000001";
    auto pattern = [](int x) { return x >= 2 && x < 6; };  // black pixels
    struct Row {
        const char *name;
        std::string file;
        int patterned;  // bit y set: row y holds the pattern; the other rows must be white
        bool inverted;
    } rows[] = {
        {"MH rows are byte-aligned", fax_file(2, 8, 2, row + "0 0000" + row), 0b11, false},
        {"G3 1-D with EOLs", fax_file(3, 8, 2, eol + row + eol + row), 0b11, false},
        {"G3 1-D without EOLs", fax_file(3, 8, 2, row + row), 0b11, false},
        {"G3 2-D: 1-D row, then three V0", fax_file(3, 8, 2, eol + "1" + row + eol + "0" + "1 1 1", -1, 1), 0b11, false},
        {"G4: two all-white rows", fax_file(4, 8, 2, "1 1"), 0, false},
        {"photometric 1: black runs are 255", fax_file(3, 8, 1, row, 1), 0b1, true},
        {"data end early: rest white", fax_file(3, 8, 3, row), 0b1, false},
        {"invalid code: row and rest white", fax_file(3, 8, 3, row + "0111 0000000 0000000" + row), 0b1, false},
        {"over-long make-up run clamped to the row", fax_file(3, 8, 2, "010011011 00110101" + row), 0b10, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Decoded d;
        decode(r.file, &d);
        ASSERT_NE(d.bm, nullptr);
        EXPECT_TRUE(matches(d.bm, 8, d.bm->height, [&](int x, int y) {
            const bool decoded = r.patterned >> y & 1;
            const bool black = decoded && pattern(x);
            if (r.inverted)
                return grey(decoded ? (black ? 255 : 0) : 255);
            return grey(black ? 0 : 255);
        }));
    }
}

TEST(TiffDecode, OrientationAndResolution)
{
    const int W = 5, H = 3;
    auto file = [&](int orientation, std::vector<uint64_t> xres, std::vector<uint64_t> yres, int unit) {
        TiffBuilder b;
        std::string px = pack(W, H, 1, 8, wave);
        uint64_t at = b.data(px);
        b.tag(256, testsupport::T_SHORT, {W}).tag(257, testsupport::T_SHORT, {H}).tag(262, testsupport::T_SHORT, {1});
        b.tag(273, testsupport::T_LONG, {at}).tag(279, testsupport::T_LONG, {px.size()});
        if (orientation)
            b.tag(274, testsupport::T_SHORT, {uint64_t(orientation)});
        if (!xres.empty())
            b.tag(282, testsupport::T_RATIONAL, xres).tag(283, testsupport::T_RATIONAL, yres);
        if (unit)
            b.tag(296, testsupport::T_SHORT, {uint64_t(unit)});
        return b.finish();
    };
    auto g = [](int x, int y) { return grey(wave(x, y, 0) & 255); };
    struct Row {
        const char *name;
        std::string file;
        int w, h, dpi_x, dpi_y;
        std::function<uint32_t(int, int)> expect;
    } rows[] = {
        {"standard fax 204 x 98", file(0, {204, 1}, {98, 1}, 2), W, H, 204, 98, g},
        {"centimetres: 80 -> 203", file(0, {80, 1}, {160, 2}, 3), W, H, 203, 203, g},
        {"no resolution", file(0, {}, {}, 0), W, H, 0, 0, g},
        {"resolution 0 and 1 read as unknown", file(0, {0, 1}, {1, 1}, 2), W, H, 0, 0, g},
        {"zero denominator", file(0, {300, 0}, {300, 1}, 2), W, H, 0, 300, g},
        {"orientation 3: half turn", file(3, {}, {}, 0), W, H, 0, 0, [&](int x, int y) { return g(W - 1 - x, H - 1 - y); }},
        {"orientation 6: quarter turn, resolutions swap", file(6, {204, 1}, {98, 1}, 2), H, W, 98, 204,
         [&](int x, int y) { return g(y, H - 1 - x); }},
        {"orientation 8: three quarters", file(8, {}, {}, 0), H, W, 0, 0, [&](int x, int y) { return g(W - 1 - y, x); }},
        {"orientation 2 (mirror) left alone", file(2, {}, {}, 0), W, H, 0, 0, g},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Decoded d;
        decode(r.file, &d);
        EXPECT_TRUE(matches(d.bm, r.w, r.h, r.expect));
        EXPECT_EQ(r.dpi_x, d.dpi_x);
        EXPECT_EQ(r.dpi_y, d.dpi_y);
    }
}

std::string grey_page_ifd(TiffBuilder &b)
{
    static const std::string px(4, '\x40');
    uint64_t at = b.data(px);
    b.tag(256, testsupport::T_SHORT, {2}).tag(257, testsupport::T_SHORT, {2});
    b.tag(273, testsupport::T_LONG, {at}).tag(279, testsupport::T_LONG, {4});
    return px;
}

TEST(TiffOpen, DirectoryChain)
{
    auto chain = [](int n, bool big, uint64_t next_of_last, bool loop_to_first) {
        TiffBuilder b(true, big);
        for (int i = 0; i < n; i++) {
            if (i)
                b.next();
            grey_page_ifd(b);
        }
        std::string f = b.finish(next_of_last);
        if (loop_to_first)
            f = b.finish(b.ifd_offsets[0]);
        return f;
    };
    struct Row {
        const char *name;
        std::string file;
        int pages;  // 0: the open fails
    } rows[] = {
        {"one", chain(1, false, 0, false), 1},
        {"three", chain(3, false, 0, false), 3},
        {"BigTIFF two", chain(2, true, 0, false), 2},
        {"a chain that loops back ends at the loop", chain(3, false, 0, true), 3},
        {"next offset past the end ends the chain", chain(2, false, 0xFFFFFF00u, false), 2},
        {"600 directories list 512", chain(600, false, 0, false), 512},
        {"first offset past the end", std::string("II*\0\xF0\xFF\x00\x00", 8), 0},
        {"wrong version", std::string("II+\0\x08\0\0\0\0\0", 10), 0},
        {"too short", std::string("II*\0", 4), 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        int pages = -1;
        TiffDoc *doc = tiff_open_memory(reinterpret_cast<const uint8_t *>(r.file.data()), int64_t(r.file.size()), &pages);
        EXPECT_EQ(r.pages, r.pages ? tiff_page_count(doc) : 0);
        EXPECT_EQ(r.pages, pages);
        EXPECT_EQ(r.pages == 0, doc == nullptr);
        if (doc) {
            int dx, dy;
            PageBitmap *last = tiff_decode_page(doc, r.pages - 1, &dx, &dy);
            EXPECT_NE(last, nullptr);
            bitmap_free(last);
            EXPECT_EQ(nullptr, tiff_decode_page(doc, r.pages, &dx, &dy));
        }
        tiff_close(doc);
    }
}

// Directories that lie about their arrays and sizes: each page is rejected or
// shown, never read out of bounds (the sanitizer build checks the reads).
TEST(TiffHostile, ArraysAndSizesOutsideTheFile)
{
    auto page = [](const std::function<void(TiffBuilder &)> &extra, bool with_strips = true) {
        TiffBuilder b;
        if (with_strips) {
            uint64_t at = b.data(std::string(6, '\x80'));
            b.tag(273, testsupport::T_LONG, {at}).tag(279, testsupport::T_LONG, {6});
        }
        b.tag(257, testsupport::T_SHORT, {2});
        extra(b);
        return b.finish();
    };
    auto width3 = [](TiffBuilder &b) { b.tag(256, testsupport::T_SHORT, {3}); };
    struct Row {
        const char *name;
        std::string file;
        bool shown;
    } rows[] = {
        {"plain", page(width3), true},
        {"StripOffsets past the end", page([&](TiffBuilder &b) {
             width3(b);
             b.tag_at(273, testsupport::T_LONG, 4, 0xFFFFFFF0u).tag(279, testsupport::T_LONG, {6});
         }, false), false},
        {"StripOffsets wrapping 32 bits", page([&](TiffBuilder &b) {
             width3(b);
             b.tag_at(273, testsupport::T_LONG, 0x40000000u, 0xFFFFFFFCu).tag(279, testsupport::T_LONG, {6});
         }, false), false},
        {"strip count 2^31", page([&](TiffBuilder &b) {
             width3(b);
             b.tag_at(273, testsupport::T_LONG, 0x80000000u, 8).tag(279, testsupport::T_LONG, {6});
         }, false), false},
        {"StripByteCounts past the end", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(273, testsupport::T_LONG, {b.data(std::string(6, '\x80'))});
             b.tag_at(279, testsupport::T_LONG, 2, 0x7FFFFFF0u);
         }, false), false},
        {"strip offset past the end: zero data", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(273, testsupport::T_LONG, {0xFFFFFFF0u}).tag(279, testsupport::T_LONG, {0xFFFFFFFFu});
         }, false), true},
        {"ColorMap past the end", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(262, testsupport::T_SHORT, {3}).tag_at(320, testsupport::T_SHORT, 768, 0xFFFFFF00u);
         }), true},
        {"ColorMap above its limit", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(262, testsupport::T_SHORT, {3}).tag_at(320, testsupport::T_SHORT, 262145, 8);
         }), false},
        {"BitsPerSample past the end", page([&](TiffBuilder &b) {
             width3(b);
             b.tag_at(258, testsupport::T_SHORT, 3, 0xFFFFFFF0u);
         }), true},
        {"RowsPerStrip 0xFFFFFFFF", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(278, testsupport::T_LONG, {0xFFFFFFFFu});
         }), true},
        {"width 30001", page([&](TiffBuilder &b) { b.tag(256, testsupport::T_LONG, {30001}); }), false},
        {"width x height beyond 32 bits", page([&](TiffBuilder &b) {
             b.tag(256, testsupport::T_LONG, {0x10000}).tag(257, testsupport::T_LONG, {0x10000});
         }), false},
        {"width 0", page([&](TiffBuilder &b) { b.tag(256, testsupport::T_LONG, {0}); }), false},
        {"5 samples", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(277, testsupport::T_SHORT, {5});
         }), false},
        {"RGB with one sample", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(262, testsupport::T_SHORT, {2});
         }), false},
        {"12 bits", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(258, testsupport::T_SHORT, {12});
         }), false},
        {"unknown compression", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(259, testsupport::T_SHORT, {34676});
         }), false},
        {"JPEG single strip past the end", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(259, testsupport::T_SHORT, {7}).tag(273, testsupport::T_LONG, {0xFFFFFF00u});
         }, false), false},
        {"JPEG strip without a JPEG", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(259, testsupport::T_SHORT, {7});
         }), false},
        {"old-style JPEG header past the end", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(259, testsupport::T_SHORT, {6}).tag(513, testsupport::T_LONG, {0xFFFFFF00u});
         }), false},
        {"tile of 0 x 0", page([&](TiffBuilder &b) {
             width3(b);
             b.tag(322, testsupport::T_SHORT, {0}).tag(323, testsupport::T_SHORT, {0});
             b.tag_at(324, testsupport::T_LONG, 1, 8).tag(325, testsupport::T_LONG, {6});
         }, false), false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Decoded d;
        decode(r.file, &d);
        EXPECT_EQ(r.shown, d.bm != nullptr);
    }
}

// ---- JPEG data ----

uint32_t smooth(int x, int y, int k) { return uint32_t(k == 0 ? 40 + 6 * x : k == 1 ? 200 - 5 * y : 90 + 2 * (x + y)); }

std::string jpeg_of(int w, int h, int y0, bool rgb_stored)
{
    std::vector<uint8_t> j = testsupport::jpeg_encode(
        w, h, 3, JCS_RGB, [&](int x, int y, int k) { return int(smooth(x, y + y0, k)); },
        [&](jpeg_compress_struct *c) {
            jpeg_set_quality(c, 95, TRUE);
            if (rgb_stored)
                jpeg_set_colorspace(c, JCS_RGB);
        });
    return std::string(j.begin(), j.end());
}

// Offset of the start-of-scan marker.
size_t sos_at(const std::string &j)
{
    size_t i = 2;
    while (i + 4 <= j.size() && !(uint8_t(j[i]) == 0xFF && uint8_t(j[i + 1]) == 0xDA))
        i += 2 + (size_t(uint8_t(j[i + 2])) << 8 | uint8_t(j[i + 3]));
    return i;
}

::testing::AssertionResult near_smooth(const PageBitmap *bm, int w, int h, int tolerance)
{
    if (!bm)
        return ::testing::AssertionFailure() << "no page";
    if (bm->width != w || bm->height != h)
        return ::testing::AssertionFailure() << "size " << bm->width << "x" << bm->height;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t got = rgb_at(bm, x, y);
            for (int k = 0; k < 3; k++) {
                int v = int(got >> (16 - 8 * k) & 255), want = int(smooth(x, y, k));
                if (std::abs(v - want) > tolerance)
                    return ::testing::AssertionFailure() << "pixel " << x << "," << y << " channel " << k << " is " << v
                                                         << " not " << want;
            }
        }
    return ::testing::AssertionSuccess();
}

TEST(TiffDecode, JpegStripsTilesTablesAndOldStyle)
{
    using testsupport::T_LONG;
    using testsupport::T_SHORT;
    using testsupport::T_UNDEFINED;
    auto head = [](TiffBuilder &b, int w, int h, int compression, int photometric) {
        b.tag(256, T_SHORT, {uint64_t(w)}).tag(257, T_SHORT, {uint64_t(h)}).tag(258, T_SHORT, {8, 8, 8});
        b.tag(259, T_SHORT, {uint64_t(compression)}).tag(262, T_SHORT, {uint64_t(photometric)});
        b.tag(277, T_SHORT, {3});
    };
    // Strips of 16 rows, each a JPEG of its own; with `tables`, a JPEGTables
    // block (a comment between SOI and EOI) is spliced in front of each.
    auto strips = [&](bool tables, int photometric) {
        TiffBuilder b;
        std::vector<uint64_t> offs, counts;
        for (int y = 0; y < 32; y += 16) {
            std::string j = jpeg_of(24, 16, y, photometric == 2);
            offs.push_back(b.data(j));
            counts.push_back(j.size());
        }
        head(b, 24, 32, 7, photometric);
        b.tag(273, T_LONG, offs).tag(278, T_SHORT, {16}).tag(279, T_LONG, counts);
        if (tables)
            b.tag_bytes(347, T_UNDEFINED, std::string("\xFF\xD8\xFF\xFE\x00\x04hi\xFF\xD9", 10));
        return b.finish();
    };
    auto single = [&] {
        TiffBuilder b;
        std::string j = jpeg_of(24, 32, 0, false);
        head(b, 24, 32, 7, 6);
        b.tag(273, T_LONG, {b.data(j)}).tag(279, T_LONG, {j.size()});
        return b.finish();
    };
    // Tiles of 16 x 16 over 24 x 32: the right column's tiles are cut.
    auto tiles = [&] {
        TiffBuilder b;
        std::vector<uint64_t> offs, counts;
        for (int ty = 0; ty < 32; ty += 16)
            for (int tx = 0; tx < 24; tx += 16) {
                std::vector<uint8_t> v = testsupport::jpeg_encode(
                    16, 16, 3, JCS_RGB, [&](int x, int y, int k) { return int(smooth(x + tx, y + ty, k)); },
                    [](jpeg_compress_struct *c) { jpeg_set_quality(c, 95, TRUE); });
                offs.push_back(b.data(std::string(v.begin(), v.end())));
                counts.push_back(v.size());
            }
        head(b, 24, 32, 7, 6);
        b.tag(322, T_SHORT, {16}).tag(323, T_SHORT, {16}).tag(324, T_LONG, offs).tag(325, T_LONG, counts);
        return b.finish();
    };
    // Old-style: the header of a 24 x 32 image at JPEGInterchangeFormat; the
    // first strip holds the scan header and its data, the second only data,
    // each strip coded on its own.
    auto old_style = [&](bool two_strips) {
        TiffBuilder b;
        std::string whole = jpeg_of(24, 32, 0, false);
        std::string hdr = whole.substr(0, sos_at(whole));
        std::vector<uint64_t> offs, counts;
        if (two_strips) {
            for (int y = 0; y < 32; y += 16) {
                std::string j = jpeg_of(24, 16, y, false);
                size_t sos = sos_at(j), sos_len = 2 + (size_t(uint8_t(j[sos + 2])) << 8 | uint8_t(j[sos + 3]));
                std::string part = j.substr(y == 0 ? sos : sos + sos_len);
                part.resize(part.size() - 2);  // no EOI
                offs.push_back(b.data(part));
                counts.push_back(part.size());
            }
        } else {
            std::string part = whole.substr(hdr.size());
            offs.push_back(b.data(part));
            counts.push_back(part.size());
        }
        uint64_t at = b.data(hdr);
        head(b, 24, 32, 6, 6);
        b.tag(273, T_LONG, offs).tag(278, T_SHORT, {16}).tag(279, T_LONG, counts);
        b.tag(513, T_LONG, {at}).tag(514, T_LONG, {hdr.size()});
        return b.finish();
    };
    struct Row {
        const char *name;
        std::string file;
    } rows[] = {
        {"YCbCr strips", strips(false, 6)},
        {"YCbCr strips with JPEGTables", strips(true, 6)},
        {"RGB strips stored without the colour transform", strips(false, 2)},
        {"one strip read to the end of the file", single()},
        {"tiles", tiles()},
        {"old-style, strips coded one by one", old_style(true)},
        {"old-style, one strip", old_style(false)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Decoded d;
        decode(r.file, &d);
        EXPECT_TRUE(near_smooth(d.bm, 24, 32, 8));
    }
}

}  // namespace
