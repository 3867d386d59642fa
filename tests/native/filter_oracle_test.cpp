// Stream decoders checked against independent encoders: zlib (Flate with every PNG
// predictor), libtiff's tiffcp (LZW, TIFF predictor 2, CCITT G3/G4), libjpeg (DCT) and
// Python's base64 module (ASCII85).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

extern "C" {
#include <jpeglib.h>
}

#include "jpeg_support.h"
#include "pdf/filters.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::scratch_path;

// Reads a chain to its end and closes it.
Bytes drain(ByteReader *r)
{
    Bytes out;
    if (!r)
        return out;
    uint8_t tmp[1000];
    int n;
    while ((n = reader_read(r, tmp, sizeof tmp)) > 0)
        out.insert(out.end(), tmp, tmp + n);
    reader_close_chain(r);
    return out;
}

bool run(const std::string &command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool have_program(const char *name) { return run(std::string("command -v ") + name); }

Bytes read_bytes(const std::string &path)
{
    std::string s = testsupport::read_file(path);
    return Bytes(s.begin(), s.end());
}

uint32_t lcg(uint32_t &state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// ---- Flate with PNG and TIFF predictors, encoded here and compressed with zlib ----

Bytes zlib_compress(const Bytes &in)
{
    uLongf size = compressBound(uLong(in.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, in.data(), uLong(in.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

uint8_t paeth(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// PNG-filters one row with the given type.
Bytes png_encode_row(const Bytes &row, const Bytes &prev, int bpp, int type)
{
    Bytes out{uint8_t(type)};
    for (size_t i = 0; i < row.size(); i++) {
        int a = i >= size_t(bpp) ? row[i - bpp] : 0, b = prev[i], c = i >= size_t(bpp) ? prev[i - bpp] : 0;
        int pred = type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : type == 4 ? paeth(a, b, c) : 0;
        out.push_back(uint8_t(row[i] - pred));
    }
    return out;
}

Bytes decode_flate(const Bytes &compressed, const PredictorParams &p)
{
    ByteReader *r = reader_open_memory(compressed.data(), int64_t(compressed.size()));
    ByteReader *f = pdf_filter_flate(r);
    ByteReader *top = p.predictor > 1 ? pdf_filter_predictor(f, p) : f;
    EXPECT_NE(top, nullptr);
    return drain(top);
}

TEST(FilterOracle, FlateWithEveryPngPredictor)
{
    struct Case {
        int colors, bits, columns, rows;
        int type;  // 0..4 for every row, 5: row i uses type i % 5
    };
    const Case cases[] = {
        {3, 8, 37, 20, 0}, {3, 8, 37, 20, 1}, {3, 8, 37, 20, 2}, {3, 8, 37, 20, 3},
        {3, 8, 37, 20, 4}, {3, 8, 37, 20, 5},
        {1, 8, 100, 30, 5},   // grey: one byte per pixel
        {4, 8, 17, 12, 5},    // CMYK
        {1, 1, 77, 25, 5},    // bilevel: a "pixel" is one byte for the left neighbour
        {2, 16, 23, 9, 5},    // 16-bit samples: four bytes per pixel
        {1, 4, 33, 8, 4},     // partial last byte
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "colors " << c.colors << " bits " << c.bits << " type " << c.type);
        PredictorParams p{12, c.colors, c.bits, c.columns};
        const int row_bytes = (c.colors * c.bits * c.columns + 7) / 8;
        const int bpp = std::max(1, (c.colors * c.bits + 7) / 8);
        uint32_t seed = 7;
        Bytes plain, encoded, prev(size_t(row_bytes), 0);
        for (int y = 0; y < c.rows; y++) {
            Bytes row(static_cast<size_t>(row_bytes));
            for (int x = 0; x < row_bytes; x++)
                row[size_t(x)] = uint8_t(x * 3 + y * 5 + (lcg(seed) % 7));
            Bytes enc = png_encode_row(row, prev, bpp, c.type == 5 ? y % 5 : c.type);
            encoded.insert(encoded.end(), enc.begin(), enc.end());
            plain.insert(plain.end(), row.begin(), row.end());
            prev = row;
        }
        for (int predictor = 10; predictor <= 15; predictor++) {
            p.predictor = predictor;  // the type byte of each row decides, not the number
            EXPECT_EQ(decode_flate(zlib_compress(encoded), p), plain) << "Predictor " << predictor;
        }
    }
}

TEST(FilterOracle, FlateLargeStreamWithoutPredictor)
{
    Bytes plain(3 << 20);
    uint32_t seed = 3;
    for (size_t i = 0; i < plain.size(); i++)
        plain[i] = uint8_t(i % 251 < 120 ? i / 4096 : lcg(seed) & 15);
    EXPECT_EQ(decode_flate(zlib_compress(plain), PredictorParams{}), plain);
}

// ---- TIFF files written by ImageMagick and tiffcp ----

struct TiffImage {
    int width = 0, height = 0, photometric = -1, bits = 0, samples = 1;
    Bytes strip;  // all strips, concatenated
};

uint32_t tiff_get(const Bytes &f, size_t at, int size, bool big)
{
    uint32_t v = 0;
    for (int i = 0; i < size; i++) {
        uint32_t b = at + size_t(i) < f.size() ? f[at + size_t(i)] : 0;
        v |= big ? b << (8 * (size - 1 - i)) : b << (8 * i);
    }
    return v;
}

// The first image of a TIFF file; width 0 when it cannot be read.
TiffImage tiff_load(const std::string &path)
{
    TiffImage img;
    Bytes f = read_bytes(path);
    if (f.size() < 8)
        return img;
    const bool big = f[0] == 'M';
    size_t ifd = tiff_get(f, 4, 4, big);
    int entries = int(tiff_get(f, ifd, 2, big));
    std::vector<uint32_t> offsets, counts;
    for (int i = 0; i < entries; i++) {
        size_t e = ifd + 2 + size_t(i) * 12;
        uint32_t tag = tiff_get(f, e, 2, big), type = tiff_get(f, e + 2, 2, big), n = tiff_get(f, e + 4, 4, big);
        int size = type == 3 ? 2 : 4;
        size_t values = size * n <= 4 ? e + 8 : tiff_get(f, e + 8, 4, big);
        std::vector<uint32_t> v;
        for (uint32_t k = 0; k < n; k++)
            v.push_back(tiff_get(f, values + k * size_t(size), size, big));
        if (tag == 256) img.width = int(v[0]);
        if (tag == 257) img.height = int(v[0]);
        if (tag == 258) img.bits = int(v[0]);
        if (tag == 262) img.photometric = int(v[0]);
        if (tag == 277) img.samples = int(v[0]);
        if (tag == 273) offsets = v;
        if (tag == 279) counts = v;
    }
    for (size_t i = 0; i < offsets.size() && i < counts.size(); i++)
        img.strip.insert(img.strip.end(), f.begin() + offsets[i], f.begin() + offsets[i] + counts[i]);
    return img;
}

// Writes a binary PBM (1 = black) with fax-like content: random runs from 1 pixel to
// longer than the widest make-up code, rows shifted slightly from the row above, blank
// and solid rows.
Bytes make_bilevel(int width, int height, uint32_t seed)
{
    const int row_bytes = (width + 7) / 8;
    Bytes bits(size_t(row_bytes * height), 0);
    std::vector<int> prev_edges;
    for (int y = 0; y < height; y++) {
        std::vector<int> edges;
        int kind = y % 6;
        if (kind == 0 || prev_edges.empty()) {
            for (int x = int(lcg(seed) % 5); x < width;) {
                edges.push_back(x);
                int r = lcg(seed) % 10;
                x += r < 6 ? 1 + int(lcg(seed) % 12) : r < 9 ? 1 + int(lcg(seed) % 300) : 1 + int(lcg(seed) % 3000);
            }
        } else if (kind == 2) {
            // blank row
        } else if (kind == 3) {
            edges = {0};  // solid row
        } else {
            for (int e : prev_edges) {
                int moved = e + int(lcg(seed) % 7) - 3;
                if (moved >= 0 && moved < width && (edges.empty() || moved > edges.back()))
                    edges.push_back(moved);
            }
        }
        for (size_t i = 0; i < edges.size(); i += 2) {
            int end = i + 1 < edges.size() ? edges[i + 1] : width;
            for (int x = edges[i]; x < end; x++)
                bits[size_t(y * row_bytes + x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
        if (kind != 2 && kind != 3)
            prev_edges = edges;
    }
    return bits;
}

// Writes the PBM, converts it to an uncompressed TIFF with ImageMagick, returns its path.
std::string bilevel_tiff(const Bytes &bits, int width, int height, const std::string &name)
{
    std::string pbm = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
    pbm.append(bits.begin(), bits.end());
    std::string pbm_path = scratch_path(name + ".pbm"), tif = scratch_path(name + ".tif");
    EXPECT_TRUE(testsupport::write_file(pbm_path, pbm));
    EXPECT_TRUE(run("convert " + pbm_path + " -compress none " + tif));
    return tif;
}

// Rows of an uncompressed bilevel TIFF as 1 = black.
Bytes black_is_one(const TiffImage &img)
{
    Bytes out = img.strip;
    if (img.photometric == 1)  // min-is-black: 1 is white
        for (auto &b : out)
            b = uint8_t(~b);
    const int row_bytes = (img.width + 7) / 8;
    if (img.width % 8)
        for (int y = 0; y < img.height; y++)
            out[size_t(y * row_bytes + row_bytes - 1)] &= uint8_t(0xFF << (8 - img.width % 8));
    return out;
}

#define SKIP_WITHOUT_TOOLS()                                                          \
    do {                                                                              \
        if (!have_program("tiffcp") || !have_program("convert"))                     \
            GTEST_SKIP() << "tiffcp or ImageMagick convert missing";                 \
    } while (0)

TEST(FilterOracle, CcittAgainstTiffcp)
{
    SKIP_WITHOUT_TOOLS();
    struct Size {
        int width, height;
    };
    const Size sizes[] = {{2600, 60}, {77, 40}, {1728, 30}};
    struct Scheme {
        const char *option;  // tiffcp -c value
        int k;
        int byte_align;
    };
    const Scheme schemes[] = {
        {"g4", -1, 0},          // T.6
        {"g3", 0, 0},           // T.4 one-dimensional with EOLs
        {"g3:2d", 1, 0},        // T.4 mixed with tag bits
        {"g3:fill", 0, 1},      // EOLs padded to end on byte boundaries
        {"g3:2d:fill", 1, 1},
    };
    for (const Size &size : sizes) {
        std::string base = "ccitt" + std::to_string(size.width);
        Bytes bits = make_bilevel(size.width, size.height, uint32_t(size.width));
        std::string tif = bilevel_tiff(bits, size.width, size.height, base);
        std::string none = scratch_path(base + "_none.tif");
        ASSERT_TRUE(run("tiffcp -c none -r 100000 " + tif + " " + none));
        TiffImage plain = tiff_load(none);
        ASSERT_EQ(plain.width, size.width);
        Bytes expected = black_is_one(plain);
        ASSERT_EQ(expected, bits) << "uncompressed TIFF differs from the PBM";
        for (const Scheme &sc : schemes) {
            SCOPED_TRACE(testing::Message() << sc.option << " width " << size.width);
            std::string out = scratch_path(base + "_" + sc.option + ".tif");
            ASSERT_TRUE(run(std::string("tiffcp -c ") + sc.option + " -r 100000 " + tif + " " + out));
            TiffImage coded = tiff_load(out);
            ASSERT_FALSE(coded.strip.empty());
            CcittParams p;
            p.k = sc.k;
            p.columns = size.width;
            p.rows = size.height;
            p.black_is_1 = 1;
            p.encoded_byte_align = sc.byte_align;
            // libtiff inverts the sense of the codes for min-is-black images.
            ByteReader *r = pdf_filter_ccitt(reader_open_memory(coded.strip.data(), int64_t(coded.strip.size())), p);
            Bytes got = drain(r);
            if (coded.photometric == 1) {
                for (auto &b : got)
                    b = uint8_t(~b);
                const int row_bytes = (size.width + 7) / 8;
                if (size.width % 8)
                    for (int y = 0; y < size.height; y++)
                        got[size_t(y * row_bytes + row_bytes - 1)] &= uint8_t(0xFF << (8 - size.width % 8));
            }
            ASSERT_EQ(got.size(), expected.size());
            EXPECT_TRUE(got == expected);
        }
    }
}

TEST(FilterOracle, LzwAndTiffPredictorAgainstTiffcp)
{
    SKIP_WITHOUT_TOOLS();
    struct Case {
        const char *name;
        const char *magick;  // P5 grey or P6 RGB
        int channels, depth, width, height;
        const char *option;  // tiffcp -c value
    };
    const Case cases[] = {
        {"grey8", "P5", 1, 8, 301, 97, "lzw"},
        {"rgb8", "P6", 3, 8, 211, 64, "lzw"},
        {"grey8p", "P5", 1, 8, 301, 97, "lzw:2"},    // TIFF predictor 2
        {"rgb8p", "P6", 3, 8, 211, 64, "lzw:2"},
        {"rgb16p", "P6", 3, 16, 57, 31, "lzw:2"},     // 16-bit big-endian samples
        {"noise", "P5", 1, 8, 640, 480, "lzw"},       // incompressible: the table fills up
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int maxval = c.depth == 8 ? 255 : 65535;
        std::string pnm = std::string(c.magick) + "\n" + std::to_string(c.width) + " " + std::to_string(c.height) +
                          "\n" + std::to_string(maxval) + "\n";
        uint32_t seed = 11;
        const bool noise = std::strcmp(c.name, "noise") == 0;
        for (int y = 0; y < c.height; y++)
            for (int x = 0; x < c.width * c.channels; x++) {
                int v = noise ? int(lcg(seed) & 0xFFFF) : (x * 37 / 10 + y * 3 + int(lcg(seed) % 4)) * 97;
                if (c.depth == 16)
                    pnm += char(v >> 8);
                pnm += char(v);
            }
        std::string src = scratch_path(std::string(c.name) + ".pnm"), tif = scratch_path(std::string(c.name) + ".tif");
        std::string none = scratch_path(std::string(c.name) + "_none.tif"), lzw = scratch_path(std::string(c.name) + "_lzw.tif");
        ASSERT_TRUE(testsupport::write_file(src, pnm));
        ASSERT_TRUE(run("convert " + src + " -compress none " + tif));
        ASSERT_TRUE(run("tiffcp -B -c none -r 100000 " + tif + " " + none));
        ASSERT_TRUE(run(std::string("tiffcp -B -c ") + c.option + " -r 100000 " + tif + " " + lzw));
        TiffImage plain = tiff_load(none), coded = tiff_load(lzw);
        ASSERT_EQ(plain.bits, c.depth);
        ASSERT_EQ(plain.strip.size(), size_t(c.width * c.height * c.channels * c.depth / 8));
        ByteReader *r = pdf_filter_lzw(reader_open_memory(coded.strip.data(), int64_t(coded.strip.size())), LzwParams{1});
        if (std::strchr(c.option, ':')) {
            ByteReader *p = pdf_filter_predictor(r, PredictorParams{2, c.channels, c.depth, c.width});
            ASSERT_NE(p, nullptr);
            r = p;
        }
        Bytes got = drain(r);
        ASSERT_EQ(got.size(), plain.strip.size());
        EXPECT_TRUE(got == plain.strip);
    }
}

// ---- DCT against libjpeg's own decoding ----

struct Jpeg {
    Bytes data;
    int width, height, components;
};

Jpeg jpeg_encode(int width, int height, int components, J_COLOR_SPACE in, J_COLOR_SPACE stored, bool adobe, bool progressive)
{
    const auto pixel = [](int x, int y, int k) { return (x * (k + 2) + y * (5 - k) + (x ^ y) * k) & 255; };
    const auto configure = [&](jpeg_compress_struct *c) {
        jpeg_set_colorspace(c, stored);
        c->write_Adobe_marker = adobe ? TRUE : FALSE;
        jpeg_set_quality(c, 85, TRUE);
        if (progressive)
            jpeg_simple_progression(c);
    };
    return Jpeg{testsupport::jpeg_encode(width, height, components, in, pixel, configure), width, height, components};
}

TEST(FilterOracle, DctAgainstLibjpeg)
{
    struct Case {
        const char *name;
        int in_components;
        J_COLOR_SPACE in, stored;
        bool adobe, progressive;
        int requested;          // components asked of the filter
        J_COLOR_SPACE ref_out;  // libjpeg output to compare with
    };
    const Case cases[] = {
        {"grey", 1, JCS_GRAYSCALE, JCS_GRAYSCALE, false, false, 1, JCS_GRAYSCALE},
        {"grey as RGB", 1, JCS_GRAYSCALE, JCS_GRAYSCALE, false, false, 3, JCS_RGB},
        {"RGB", 3, JCS_RGB, JCS_YCbCr, false, false, 3, JCS_RGB},
        {"RGB progressive", 3, JCS_RGB, JCS_YCbCr, false, true, 3, JCS_RGB},
        {"RGB asked for 4", 3, JCS_RGB, JCS_YCbCr, false, false, 4, JCS_RGB},
        {"RGB as grey", 3, JCS_RGB, JCS_YCbCr, false, false, 1, JCS_GRAYSCALE},
        {"RGB stored as RGB, Adobe", 3, JCS_RGB, JCS_RGB, true, false, 3, JCS_RGB},
        {"CMYK", 4, JCS_CMYK, JCS_CMYK, false, false, 4, JCS_CMYK},
        {"CMYK Adobe", 4, JCS_CMYK, JCS_CMYK, true, false, 4, JCS_CMYK},
        {"YCCK Adobe", 4, JCS_CMYK, JCS_YCCK, true, false, 4, JCS_CMYK},
        {"CMYK asked for 3", 4, JCS_CMYK, JCS_CMYK, true, false, 3, JCS_CMYK},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Jpeg j = jpeg_encode(53, 41, c.in_components, c.in, c.stored, c.adobe, c.progressive);
        // CMYK comes out as stored, with or without an Adobe marker.
        const Bytes ref = testsupport::jpeg_decode(j.data, c.ref_out);
        ByteReader *r = pdf_filter_dct(reader_open_memory(j.data.data(), int64_t(j.data.size())), DctParams{c.requested});
        ASSERT_NE(r, nullptr);
        const int expect_components = c.ref_out == JCS_GRAYSCALE ? 1 : c.ref_out == JCS_RGB ? 3 : 4;
        EXPECT_EQ(pdf_dct_output_components(r), expect_components);
        Bytes got = drain(r);
        EXPECT_EQ(got.size(), size_t(53 * 41 * expect_components));
        EXPECT_TRUE(got == ref);
    }
}

// ---- ASCII85 against Python ----

TEST(FilterOracle, Ascii85AgainstPython)
{
    if (!have_program("python3"))
        GTEST_SKIP() << "python3 missing";
    const size_t lengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 13, 100, 4099};
    for (size_t n : lengths) {
        SCOPED_TRACE(n);
        Bytes data(n);
        uint32_t seed = uint32_t(n) + 1;
        for (size_t i = 0; i < n; i++)
            data[i] = i % 9 < 4 ? 0 : uint8_t(lcg(seed));  // zero groups become 'z'
        std::string in = scratch_path("a85_in.bin"), out = scratch_path("a85_out.txt");
        ASSERT_TRUE(testsupport::write_file(in, std::string(data.begin(), data.end())));
        ASSERT_TRUE(run("python3 -c \"import base64,sys; d=open(sys.argv[1],'rb').read(); "
                        "open(sys.argv[2],'wb').write(base64.a85encode(d, wrapcol=30) + b'~>')\" " +
                        in + " " + out));
        Bytes text = read_bytes(out);
        Bytes got = drain(pdf_filter_ascii85(reader_open_memory(text.data(), int64_t(text.size()))));
        EXPECT_TRUE(got == data);
    }
}

}  // namespace
