// Decoding filters on small hand-made inputs: the documented edge cases of each filter,
// and damaged data (truncated or corrupted), which must end the stream after what could
// be decoded without crashing or running away.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <zlib.h>

#include "jpeg_support.h"
#include "pdf/document.h"
#include "pdf/filters.h"
#include "pdf/stream.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using MakeFilter = std::function<ByteReader *(ByteReader *)>;

// A string literal with its embedded zero bytes.
#define S(literal) std::string(literal, sizeof(literal) - 1)

Bytes to_bytes(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes from_hex(const char *hex)
{
    Bytes out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out.push_back(uint8_t(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return out;
}

// Runs `input` through a filter built by `make` and returns everything it delivers,
// stopping at `cap` bytes so that a runaway decoder shows up as a failure, not a hang.
Bytes decode(const Bytes &input, const MakeFilter &make, size_t cap = 64 << 20)
{
    ByteReader *src = reader_open_memory(input.data(), int64_t(input.size()));
    ByteReader *r = make(src);
    if (!r) {
        reader_close(src);
        return {};
    }
    Bytes out;
    uint8_t tmp[777];
    int n;
    while (out.size() < cap && (n = reader_read(r, tmp, sizeof tmp)) > 0)
        out.insert(out.end(), tmp, tmp + n);
    // Once finished, a filter stays finished.
    EXPECT_TRUE(out.size() >= cap || reader_getc(r) < 0);
    reader_close_chain(r);
    return out;
}

const MakeFilter A85 = [](ByteReader *s) { return pdf_filter_ascii85(s); };
const MakeFilter AHX = [](ByteReader *s) { return pdf_filter_asciihex(s); };
const MakeFilter RL = [](ByteReader *s) { return pdf_filter_runlength(s); };
const MakeFilter FLATE = [](ByteReader *s) { return pdf_filter_flate(s); };
MakeFilter limit(int64_t n) { return [n](ByteReader *s) { return pdf_filter_limit(s, n); }; }
MakeFilter lzw(int early) { return [early](ByteReader *s) { return pdf_filter_lzw(s, LzwParams{early}); }; }
MakeFilter predictor(PredictorParams p) { return [p](ByteReader *s) { return pdf_filter_predictor(s, p); }; }
MakeFilter ccitt(CcittParams p) { return [p](ByteReader *s) { return pdf_filter_ccitt(s, p); }; }
MakeFilter flate_predictor(PredictorParams p)
{
    return [p](ByteReader *s) -> ByteReader * {
        ByteReader *f = pdf_filter_flate(s);
        ByteReader *r = f ? pdf_filter_predictor(f, p) : nullptr;
        if (!r && f)
            reader_close(f);
        return r;
    };
}

TEST(Filters, SmallInputs)
{
    struct Row {
        const char *what;
        MakeFilter make;
        std::string input, expected;
    };
    const Row rows[] = {
        {"A85 one group", A85, S("9jqo^~>"), S("Man ")},
        {"A85 z group", A85, S("9jqo^z~>"), S("Man \0\0\0\0")},
        {"A85 whitespace anywhere", A85, S("9j q\r\no\t^~>"), S("Man ")},
        {"A85 4-digit tail gives 3 bytes", A85, S("9jqo~>"), S("Man")},
        {"A85 2-digit tail gives 1 byte", A85, S("9j~>"), S("M")},
        {"A85 single leftover digit gives nothing", A85, S("9~>"), S("")},
        {"A85 data after ~> ignored", A85, S("9jqo^~>9jqo^"), S("Man ")},
        {"A85 no end marker", A85, S("9jqo^9jqo^"), S("Man Man ")},
        {"A85 bytes outside the alphabet skipped", A85, S("9j{qo^|~>"), S("Man ")},
        {"AHx pairs and case", AHX, S("48656c6C6f>"), S("Hello")},
        {"AHx odd digit before >", AHX, S("6>"), S("\x60")},
        {"AHx odd digit at the end", AHX, S("486"), S("H\x60")},
        {"AHx junk and whitespace skipped", AHX, S("4 8\nx6\t5>4142"), S("He")},
        {"AHx empty", AHX, S(">"), S("")},
        {"RL literal, repeat, end", RL, S("\x02" "abc" "\xfe" "z" "\x80" "q"), S("abczzz")},
        {"RL single byte literal and 128 repeat", RL, S("\x00" "x" "\x81" "y"), "x" + std::string(128, 'y')},
        {"RL truncated literal", RL, S("\x05" "ab"), S("ab")},
        {"RL repeat without its byte", RL, S("\xc8"), S("")},
        {"limit shorter", limit(4), S("abcdef"), S("abcd")},
        {"limit longer", limit(10), S("abcdef"), S("abcdef")},
        {"limit zero", limit(0), S("abcdef"), S("")},
        // TIFF predictor 2 on packed samples: each adds the sample Colors to its left.
        {"TIFF 1 bit", predictor({2, 1, 1, 8}), S("\x80"), S("\xff")},
        {"TIFF 2 bits", predictor({2, 1, 2, 4}), S("\x55"), S("\x6c")},
        {"TIFF 4 bits, 2 colours", predictor({2, 2, 4, 2}), S("\x12\x34"), S("\x12\x46")},
        {"TIFF 4 bits, padding nibble untouched", predictor({2, 1, 4, 3}), S("\x11\x1f"), S("\x12\x3f")},
        {"TIFF 8 bits, 3 colours", predictor({2, 3, 8, 2}), S("\x01\x02\x03\x01\x01\x01"), S("\x01\x02\x03\x02\x03\x04")},
        {"TIFF 16 bits wraps", predictor({2, 1, 16, 2}), S("\xff\xff\x00\x02"), S("\xff\xff\x00\x01")},
        {"TIFF short last row zero-filled", predictor({2, 1, 8, 3}), S("\x01\x01\x01\x05"), S("\x01\x02\x03\x05\x05\x05")},
        // PNG predictors: the type byte of each row decides.
        {"PNG Sub then Up", predictor({12, 1, 8, 3}), S("\x01\x01\x01\x01\x02\x01\x01\x01"), S("\x01\x02\x03\x02\x03\x04")},
        {"PNG Average and Paeth", predictor({15, 1, 8, 2}), S("\x00\x10\x20\x03\x02\x02\x04\x01\x01"),
         "\x10\x20\x0a\x17\x0b\x18"},
        {"PNG type 5 ends the stream at that row", predictor({12, 1, 8, 2}), S("\x00\x01\x02\x05\x03\x04\x00\x05\x06"), S("\x01\x02")},
        {"PNG short row zero-filled", predictor({10, 1, 8, 3}), S("\x02\x01"), S("\x01\x00\x00")},
        {"PNG 2 bytes per pixel", predictor({11, 2, 8, 2}), S("\x01\x01\x02\x01\x01"), S("\x01\x02\x02\x03")},
        // CCITT: a white row of 8 coded as V0 against the white row above.
        {"G4 white row, 0 is black", ccitt({-1, 8, 0}), S("\x80"), S("\xff")},
        {"G4 white row, BlackIs1", ccitt({-1, 8, 0, 1}), S("\x80"), S("\x00")},
        {"G4 Rows limit", ccitt({-1, 8, 2}), S("\xff"), S("\xff\xff")},
        {"G4 EOFB ends", ccitt({-1, 8, 0}), S("\x80\x01\x00\x10"), S("\xff")},
        // 1-D row of 8 with BlackIs1: white 3 (1000), black 2 (11), white 3 (1000).
        {"G3 1-D row", ccitt({0, 8, 0, 1}), S("\x8e\x00"), S("\x18")},
        {"G3 1-D row after EOLs", ccitt({0, 8, 0, 1}), S("\x00\x10\x01\x8e\x00"), S("\x18")},
        {"Columns out of range become 1728", ccitt({-1, 70000, 1}), S("\x80"), std::string(216, '\xff')},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(decode(to_bytes(row.input), row.make), to_bytes(row.expected));
    }
}

TEST(Filters, PredictorParameterChecks)
{
    struct Row {
        PredictorParams p;
        bool valid;
    };
    const Row rows[] = {
        {{12, 1, 8, 1}, true},
        {{12, 32, 16, 2048}, true},        // 32 colours of 16 bits: 128 KiB rows
        {{12, 0, 8, 1}, false},            // no colours
        {{12, 33, 8, 1}, false},           // too many colours
        {{12, 1, 8, 0}, false},            // no columns
        {{12, 1, 8, 1000001}, false},      // too many columns
        {{12, 1, 3, 8}, false},            // bits not a power of two
        {{12, 1, 32, 8}, false},
        {{12, 8, 16, 65536}, true},        // exactly 1 MiB per row
        {{12, 8, 16, 65537}, false},       // beyond 1 MiB per row
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.p.colors << " colours " << row.p.bits_per_component << " bits "
                                        << row.p.columns << " columns");
        EXPECT_EQ(pdf_predictor_params_valid(row.p), row.valid ? 1 : 0);
        ByteReader *src = reader_open_memory(nullptr, 0);
        ByteReader *r = pdf_filter_predictor(src, row.p);
        EXPECT_EQ(r != nullptr, row.valid);
        if (r)
            reader_close(r);
        reader_close(src);
    }
    ByteReader *src = reader_open_memory(nullptr, 0);
    EXPECT_EQ(pdf_filter_predictor(src, PredictorParams{1, 1, 8, 1}), nullptr);  // nothing to undo
    EXPECT_EQ(pdf_filter_dct(src, DctParams{0}), nullptr);                     // DCT not accepted
    reader_close(src);
}

// LZW encoder writing codes MSB first; the code width grows one code earlier with
// early change 1, as the decoder expects. A clear code resets the table before it fills.
Bytes lzw_encode(const Bytes &in, int early)
{
    Bytes out;
    uint32_t acc = 0;
    int bits = 0, width = 9, next = 258;
    auto put = [&](int code) {
        acc = acc << width | uint32_t(code);
        bits += width;
        while (bits >= 8) {
            out.push_back(uint8_t(acc >> (bits - 8)));
            bits -= 8;
        }
    };
    std::vector<std::vector<int>> child(4096, std::vector<int>(256, -1));
    put(256);
    int prefix = -1;
    for (uint8_t c : in) {
        if (prefix < 0) {
            prefix = c;
            continue;
        }
        if (child[size_t(prefix)][c] >= 0) {
            prefix = child[size_t(prefix)][c];
            continue;
        }
        put(prefix);
        child[size_t(prefix)][c] = next++;
        if (next - 1 + early >= (1 << width) && width < 12)
            width++;
        prefix = c;
        if (next >= 4000) {
            put(prefix);
            put(256);
            for (auto &v : child)
                std::fill(v.begin(), v.end(), -1);
            width = 9;
            next = 258;
            prefix = -1;
        }
    }
    if (prefix >= 0)
        put(prefix);
    put(257);
    if (bits > 0)
        out.push_back(uint8_t(acc << (8 - bits)));
    return out;
}

Bytes sample_text(size_t n)
{
    Bytes b(n);
    uint32_t seed = 5;
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1103515245u + 12345u;
        b[i] = i % 300 < 150 ? uint8_t('a' + (i / 7) % 5) : uint8_t(seed >> 16);
    }
    return b;
}

TEST(Filters, LzwEarlyChange)
{
    const Bytes plain = sample_text(20000);
    const Bytes runs(5000, 'a');  // every code is the one being defined
    for (int early : {0, 1}) {
        SCOPED_TRACE(early);
        EXPECT_EQ(decode(lzw_encode(plain, early), lzw(early)), plain);
        EXPECT_EQ(decode(lzw_encode(runs, early), lzw(early)), runs);
        // The wrong setting falls out of step once the codes reach 10 bits.
        EXPECT_NE(decode(lzw_encode(plain, early), lzw(1 - early)), plain);
    }
    // Codes after the end code are ignored; a stream without an end code ends with the data.
    Bytes no_end = lzw_encode(to_bytes("abcabcabc"), 1);
    EXPECT_EQ(decode(no_end, lzw(1)), to_bytes("abcabcabc"));
    // A first code that refers to the table before anything was defined ends the stream.
    EXPECT_EQ(decode(from_hex("8040a0"), lzw(1)), Bytes{});
}

Bytes zlib_compress(const Bytes &in, int level)
{
    uLongf size = compressBound(uLong(in.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, in.data(), uLong(in.size()), level), Z_OK);
    out.resize(size);
    return out;
}

TEST(Filters, FlateEnds)
{
    const Bytes plain = sample_text(100000);
    Bytes z = zlib_compress(plain, 6);
    EXPECT_EQ(decode(z, FLATE), plain);
    Bytes tail = z;
    tail.insert(tail.end(), {'g', 'a', 'r', 'b'});
    EXPECT_EQ(decode(tail, FLATE), plain) << "bytes after the end of the stream are ignored";
    Bytes sum = z;
    sum.back() ^= 0xFF;
    EXPECT_EQ(decode(sum, FLATE), plain) << "a bad checksum keeps the data";
    EXPECT_EQ(decode(to_bytes("not zlib at all"), FLATE), Bytes{});
    EXPECT_EQ(decode(Bytes{}, FLATE), Bytes{});
}

// Made from this picture with ImageMagick (min-is-white) and tiffcp -c g4 / g3 / g3:2d;
// '#' is a 1 bit of the decoded rows with BlackIs1 set.
const char *const FAX_PICTURE[] = {
    "........................................",
    "..######....##....##..#######...........",
    "..##...##...###..###..##.......#.#.#.#..",
    "..##...##...########..#####.............",
    "..######....##.##.##..##.......#.#.#.#..",
    "..##........##....##..##................",
    "..##........##....##..#######..#.#.#.#..",
    "........................................",
    "########################################",
    "#......................................#",
    "#.####################################.#",
    "########################################",
};
const char FAX_G4[] =
    "972379bcb8f3c3b59fca1ca1ca1c2fc70622238a9c70447e08fa23a23a041679c7c4447fc8dca1ca1ca1c288888888c9a8364a17e470d4e230010010";
const char FAX_G3[] =
    "0012900172bef71a0005f8e279ff43a1d0e9c005f8e05730c005caf1f1f7fd0e8743a70017e7defd4002fcfbdc6e8743a1d3800948009a8360009aa1740026a870d41d0009a83600";
const char FAX_G3_2D[] =
    "001948008b91bcde5c7001bf1c4f3fe8743a1d3800be3831111800dcaf1f1f7fd0e8743a70014f38f8888c006fcfbdc6e8743a1d38008444444460033506c0014a17800cd50e1a83a0014460";

Bytes fax_rows()
{
    Bytes out;
    for (const char *row : FAX_PICTURE)
        for (int x = 0; x < 40; x += 8) {
            uint8_t b = 0;
            for (int i = 0; i < 8; i++)
                b = uint8_t(b << 1 | (row[x + i] == '#'));
            out.push_back(b);
        }
    return out;
}

TEST(Filters, CcittFaxPicture)
{
    struct Row {
        const char *what;
        const char *hex;
        int k;
    };
    const Row rows[] = {{"G4", FAX_G4, -1}, {"G3 1-D", FAX_G3, 0}, {"G3 2-D", FAX_G3_2D, 1}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        CcittParams p;
        p.k = row.k;
        p.columns = 40;
        p.black_is_1 = 1;
        EXPECT_EQ(decode(from_hex(row.hex), ccitt(p)), fax_rows());
        p.rows = 5;
        const Bytes all = fax_rows();
        EXPECT_EQ(decode(from_hex(row.hex), ccitt(p)), Bytes(all.begin(), all.begin() + 25));
    }
}

// Packs a text of '0' and '1' (spaces ignored) into bytes, zero-padded.
Bytes bits(const std::string &text)
{
    Bytes out;
    int n = 0;
    for (char c : text) {
        if (c != '0' && c != '1')
            continue;
        if (n % 8 == 0)
            out.push_back(0);
        if (c == '1')
            out.back() |= uint8_t(0x80 >> (n % 8));
        n++;
    }
    return out;
}

TEST(Filters, CcittDamagedRowsRepeatTheRowAbove)
{
    // G3 1-D rows of 8 behind EOLs: white 3, black 2, white 3 (0x18); then a row whose
    // first code is invalid; then white 2, black 6 (0x3F).
    const Bytes data = bits("000000000001 1000 11 1000"
                            "000000000001 00000000 1111111111"
                            "000000000001 0111 0010");
    CcittParams p;
    p.columns = 8;
    p.black_is_1 = 1;
    EXPECT_EQ(decode(data, ccitt(p)), (Bytes{0x18}));
    p.damaged_rows_before_error = 1;
    EXPECT_EQ(decode(data, ccitt(p)), (Bytes{0x18, 0x18, 0x3F}));
    p.k = -1;  // Group 4 has no EOLs to start again from
    EXPECT_EQ(decode(bits("1 0000000 1"), ccitt(p)), (Bytes{0x00}));
}

// Output rows start on byte boundaries and the bits after the last pixel of a row are 0,
// with and without BlackIs1. Four Group 4 rows: the last pixel black, all white, the
// first pixel black, the last pixel black again (each coded against the row above).
TEST(Filters, CcittRowPaddingBitsAreZero)
{
    for (int width : {1, 7, 9, 15, 1728}) {
        const bool one = width == 1;
        const std::string code = "010 1"                                // VL1 to the last pixel, V0
                                 "0001"                                 // pass to the row end
                                 "001 00110101 010" + std::string(one ? "" : " 1") +  // H(white 0, black 1), V0
                                 (one ? " 1 1" : " 0001 010 1") +       // to the last pixel again
                                 " 000000000001 000000000001";          // EOFB
        const std::vector<std::vector<int>> black = {{width - 1}, {}, {0}, {width - 1}};
        for (int black_is_1 : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "width " << width << " BlackIs1 " << black_is_1);
            Bytes expected;
            for (const auto &row : black) {
                Bytes bytes(size_t((width + 7) / 8), 0);
                for (int x = 0; x < width; x++) {
                    const bool is_black = std::find(row.begin(), row.end(), x) != row.end();
                    if (is_black == bool(black_is_1))
                        bytes[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
                }
                expected.insert(expected.end(), bytes.begin(), bytes.end());
            }
            CcittParams p;
            p.k = -1;
            p.columns = width;
            p.black_is_1 = black_is_1;
            EXPECT_EQ(decode(bits(code), ccitt(p)), expected);
        }
    }
}

TEST(Filters, CcittZeroLengthRunsStayOnTheReferenceLine)
{
    // Row 1: H(white 0, black 0), H(white 3, black 2), V0. Row 2 starts with a pass over
    // the two zero-length runs (as libtiff reads it), then H(1, 1), V0, V0, V0.
    const Bytes data = bits("001 00110101 0000110111 001 1000 11 1"
                            "0001 001 000111 010 1 1 1");
    CcittParams p;
    p.k = -1;
    p.columns = 8;
    p.black_is_1 = 1;
    EXPECT_EQ(decode(data, ccitt(p)), (Bytes{0x18, 0x58}));
}

// Length of the common prefix of two byte strings.
size_t common_prefix(const Bytes &a, const Bytes &b)
{
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        n++;
    return n;
}

TEST(Filters, DamagedDataEndsAfterWhatWasDecoded)
{
    const Bytes text = sample_text(30000);
    std::string a85;
    {
        // Encode ASCII85 here: groups of 4 bytes, a partial last group, "~>".
        for (size_t i = 0; i < text.size(); i += 4) {
            size_t n = std::min<size_t>(4, text.size() - i);
            uint32_t v = 0;
            for (size_t k = 0; k < 4; k++)
                v = v << 8 | (k < n ? text[i + k] : 0);
            char d[5];
            for (int k = 4; k >= 0; k--, v /= 85)
                d[k] = char('!' + v % 85);
            a85.append(d, n + 1);
        }
        a85 += "~>";
    }
    std::string hex;
    for (uint8_t c : text) {
        static const char digits[] = "0123456789abcdef";
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    Bytes rl;
    for (size_t i = 0; i < text.size();) {
        size_t run = 1;
        while (i + run < text.size() && run < 128 && text[i + run] == text[i])
            run++;
        if (run > 1) {
            rl.push_back(uint8_t(257 - run));
            rl.push_back(text[i]);
        } else {
            size_t n = 1;
            while (i + n < text.size() && n < 128 && text[i + n] != text[i + n - 1])
                n++;
            rl.push_back(uint8_t(n - 1));
            rl.insert(rl.end(), text.begin() + long(i), text.begin() + long(i + n));
            run = n;
        }
        i += run;
    }
    rl.push_back(128);
    // PNG Up rows of 100 bytes for the predictor case.
    Bytes up;
    for (size_t y = 0; y < 300; y++) {
        up.push_back(2);
        for (size_t x = 0; x < 100; x++)
            up.push_back(uint8_t(text[y * 100 + x] - (y ? text[(y - 1) * 100 + x] : 0)));
    }
    const Bytes png_plain(text.begin(), text.begin() + 30000);
    CcittParams fax;
    fax.columns = 40;
    fax.black_is_1 = 1;
    CcittParams fax_g4 = fax;
    fax_g4.k = -1;
    CcittParams fax_2d = fax;
    fax_2d.k = 1;

    struct Row {
        const char *what;
        MakeFilter make;
        Bytes encoded, plain;
        size_t slack;  // bytes at the cut that may differ (a partial group or row)
    };
    const Row rows[] = {
        {"Flate", FLATE, zlib_compress(text, 9), text, 0},
        {"Flate stored blocks", FLATE, zlib_compress(text, 0), text, 0},
        {"Flate + PNG predictor", flate_predictor({12, 1, 8, 100}), zlib_compress(up, 6), png_plain, 100},
        {"LZW", lzw(1), lzw_encode(text, 1), text, 0},
        {"ASCII85", A85, to_bytes(a85), text, 3},
        {"ASCIIHex", AHX, to_bytes(hex), text, 1},
        {"RunLength", RL, rl, text, 0},
        {"CCITT G4", ccitt(fax_g4), from_hex(FAX_G4), fax_rows(), 5},
        {"CCITT G3 1-D", ccitt(fax), from_hex(FAX_G3), fax_rows(), 5},
        {"CCITT G3 2-D", ccitt(fax_2d), from_hex(FAX_G3_2D), fax_rows(), 5},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(decode(row.encoded, row.make), row.plain);
        const size_t n = row.encoded.size();
        for (size_t cut : {size_t(0), size_t(1), n / 7, n / 3, n / 2, n - n / 5, n - 1}) {
            SCOPED_TRACE(testing::Message() << "cut at " << cut << " of " << n);
            Bytes head(row.encoded.begin(), row.encoded.begin() + long(cut));
            Bytes truncated = decode(head, row.make);
            EXPECT_LE(truncated.size(), row.plain.size());
            EXPECT_GE(common_prefix(truncated, row.plain) + row.slack, truncated.size());
            // Corrupt bytes at the cut: what came before still decodes the same.
            for (uint8_t mask : {uint8_t(0xFF), uint8_t(0x10), uint8_t(0x80)}) {
                Bytes corrupt = row.encoded;
                for (size_t i = cut; i < n && i < cut + 3; i++)
                    corrupt[i] ^= mask;
                Bytes got = decode(corrupt, row.make, row.plain.size() * 4 + 100000);
                EXPECT_GE(common_prefix(got, row.plain) + row.slack, std::min(truncated.size(), got.size()));
                EXPECT_GE(got.size() + row.slack, truncated.size() > row.slack ? truncated.size() - row.slack : 0);
            }
        }
    }
}

// The markers of a JPEG in order, as (offset, code): segments are stepped over by their
// length, entropy-coded data byte by byte.
std::vector<std::pair<size_t, uint8_t>> jpeg_markers(const Bytes &j)
{
    std::vector<std::pair<size_t, uint8_t>> out;
    size_t i = 0;
    while (i + 1 < j.size()) {
        const uint8_t c = j[i + 1];
        if (j[i] != 0xFF || c == 0x00 || c == 0xFF) {
            i += j[i] == 0xFF && c == 0x00 ? 2 : 1;
            continue;
        }
        out.push_back({i, c});
        if (c == 0xD9)
            break;
        i += c == 0xD8 || (c >= 0xD0 && c <= 0xD7) ? 2 : 2 + size_t(j[i + 2] << 8 | j[i + 3]);
    }
    return out;
}

// Offset of the n-th marker `code` (0 = the first); the data end when there is none.
size_t marker_at(const Bytes &j, uint8_t code, int n = 0)
{
    for (const auto &m : jpeg_markers(j))
        if (m.second == code && n-- == 0)
            return m.first;
    return j.size();
}

// Offset of the entropy-coded data after the n-th SOS segment.
size_t scan_data(const Bytes &j, int n = 0)
{
    const size_t sos = marker_at(j, 0xDA, n);
    return sos + 2 + size_t(j[sos + 2] << 8 | j[sos + 3]);
}

// The frame header (SOF0 or SOF2) made to declare another size.
Bytes with_declared_size(Bytes j, int width, int height)
{
    size_t sof = marker_at(j, 0xC0);
    if (sof == j.size())
        sof = marker_at(j, 0xC2);
    j[sof + 5] = uint8_t(height >> 8);
    j[sof + 6] = uint8_t(height);
    j[sof + 7] = uint8_t(width >> 8);
    j[sof + 8] = uint8_t(width);
    return j;
}

Bytes head(const Bytes &j, size_t n) { return Bytes(j.begin(), j.begin() + long(std::min(n, j.size()))); }

Bytes jpeg_rgb(int width, int height, const std::function<void(jpeg_compress_struct *)> &configure = {})
{
    return testsupport::jpeg_encode(
        width, height, 3, JCS_RGB, [](int x, int y, int k) { return (x * 3 + k) * 5 + y * 3 + (x * y) % 7; }, configure);
}

const MakeFilter DCT_RGB = [](ByteReader *s) { return pdf_filter_dct(s, DctParams{3}); };

// A damaged JPEG delivers the rows its data cover and at most two iMCU rows (16 rows
// here, 4:2:0) of libjpeg's padding after them: never the zero-filled rest of the
// declared picture. Rows come out as libjpeg decodes them.
TEST(Filters, JpegEndsWhereItsDataEnd)
{
    constexpr int W = 64, H = 256, IMCU = 16;
    const Bytes base = jpeg_rgb(W, H);
    const Bytes prog = jpeg_rgb(W, H, [](jpeg_compress_struct *c) { jpeg_simple_progression(c); });
    const Bytes restart = jpeg_rgb(W, H, [](jpeg_compress_struct *c) { c->restart_in_rows = 1; });
    const Bytes intact = testsupport::jpeg_decode(base, JCS_RGB);
    const size_t data = scan_data(base), end = marker_at(base, 0xD9);
    Bytes early_eoi = head(base, data + (end - data) / 2);
    early_eoi.insert(early_eoi.end(), {0xFF, 0xD9});
    Bytes lost_interval = restart;  // the data of the fourth restart interval are gone
    lost_interval.erase(lost_interval.begin() + long(marker_at(restart, 0xD2) + 2),
                        lost_interval.begin() + long(marker_at(restart, 0xD3)));
    const auto prog_markers = jpeg_markers(prog);
    const int prog_scans =
        int(std::count_if(prog_markers.begin(), prog_markers.end(), [](const auto &m) { return m.second == 0xDA; }));
    ASSERT_GT(prog_scans, 2);

    enum Expect {
        ALL_ROWS,   // the whole picture
        COVERED,    // the rows libjpeg decoded from data, then at most two iMCU rows of padding
        CUT_SHORT,  // fewer rows than the picture (a progressive first scan: no row is exact)
        REFUSED,    // nothing (the data cannot code every block once: 48 bytes here)
    };
    struct Row {
        const char *what;
        Bytes jpeg;
        Expect expect;
    };
    const Row rows[] = {
        {"intact baseline", base, ALL_ROWS},
        {"intact progressive", prog, ALL_ROWS},
        {"baseline cut at a third of its data", head(base, data + (end - data) / 3), COVERED},
        {"baseline cut two bytes before its end", head(base, end - 2), ALL_ROWS},
        {"baseline with an end marker half-way", early_eoi, COVERED},
        {"progressive cut in its first scan", head(prog, (scan_data(prog) + marker_at(prog, 0xDA, 1)) / 2), CUT_SHORT},
        {"progressive cut 40 bytes into its first scan", head(prog, scan_data(prog) + 40), REFUSED},
        {"progressive cut in its last scan", head(prog, scan_data(prog, prog_scans - 1) + 20), ALL_ROWS},
        {"a lost restart interval is padded, then decoding resumes", lost_interval, ALL_ROWS},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const Bytes ref = testsupport::jpeg_decode(row.jpeg, JCS_RGB);  // padded to full height
        ASSERT_EQ(ref.size(), size_t(W * H * 3));
        const Bytes got = decode(row.jpeg, DCT_RGB);
        if (row.expect == REFUSED) {
            EXPECT_EQ(got.size(), 0u);
            continue;
        }
        ASSERT_EQ(got.size() % (W * 3), 0u);
        const size_t got_rows = got.size() / (W * 3);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), ref.begin())) << "rows differ from libjpeg's";
        if (row.expect == ALL_ROWS) {
            EXPECT_EQ(got_rows, size_t(H));
        } else if (row.expect == COVERED) {
            const size_t covered = common_prefix(ref, intact) / (W * 3);
            EXPECT_GE(got_rows, covered);
            // The last row above an iMCU row borrows its chroma from that row.
            EXPECT_LE(got_rows, ((covered + 1) / IMCU + 2) * IMCU);
        } else {
            EXPECT_GT(got_rows, 0u);
            EXPECT_LT(got_rows, size_t(H));
        }
    }
    // Corrupt bytes anywhere never deliver more than the picture.
    for (const Bytes &jpeg : {base, prog})
        for (size_t at = 0; at < jpeg.size(); at += jpeg.size() / 9) {
            Bytes corrupt = jpeg;
            for (size_t i = at; i < jpeg.size() && i < at + 4; i++)
                corrupt[i] ^= 0xA5;
            EXPECT_LE(decode(corrupt, DCT_RGB).size(), size_t(W * H * 3)) << at;
        }
    EXPECT_EQ(decode(to_bytes("\xff\xd8 not really a JPEG"), DCT_RGB), Bytes{});
}

// A JPEG whose header declares far more than its data hold: the work and the output
// follow the data. (Each case, unbounded, would deliver hundreds of megabytes.)
TEST(Filters, JpegDeclaringMoreThanItsData)
{
    const Bytes tiny_prog = jpeg_rgb(16, 16, [](jpeg_compress_struct *c) { jpeg_simple_progression(c); });
    // 4063 MCUs of 16 x 16 pixels cover a row of 65000; then a scan of restart markers alone.
    Bytes markers_only = with_declared_size(jpeg_rgb(16, 16, [](jpeg_compress_struct *c) { c->restart_interval = 4063; }),
                                            65000, 65000);
    markers_only.resize(scan_data(markers_only));
    for (int i = 0; i < 1000; i++)
        markers_only.insert(markers_only.end(), {0xFF, uint8_t(0xD0 + i % 8)});
    markers_only.insert(markers_only.end(), {0xFF, 0xD9});
    struct Row {
        const char *what;
        Bytes jpeg;
        int width;
        size_t min_rows, max_rows;
    };
    const Row rows[] = {
        // The coefficient buffer (24 MB) would fit the memory limit, but 93750 blocks need
        // 11 KB of data at least: refused before the buffer is allocated.
        {"2000 x 2000 progressive with the data of 16 x 16", with_declared_size(tiny_prog, 2000, 2000), 2000, 0, 0},
        // Each padded restart interval is a row of 4063 MCUs: the padding stops once it
        // outweighs the data read.
        {"restart markers without data", markers_only, 65000, 1, 64},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const Bytes got = decode(row.jpeg, DCT_RGB);
        EXPECT_EQ(got.size() % size_t(row.width * 3), 0u);
        EXPECT_GE(got.size() / size_t(row.width * 3), row.min_rows);
        EXPECT_LE(got.size() / size_t(row.width * 3), row.max_rows);
    }
}

// A progressive image of 65 scans (each a pass over every block) is read up to its 64th
// scan: the output is libjpeg's decoding of the file cut before the 65th.
TEST(Filters, JpegReadsAtMostMaxScans)
{
    static jpeg_scan_info script[FILTER_DCT_MAX_SCANS + 1];
    script[0] = {1, {0}, 0, 0, 0, 1};  // DC without its lowest bit
    for (int k = 1; k < 64; k++)
        script[k] = {1, {0}, k, k, 0, 0};  // one AC coefficient a scan
    script[64] = {1, {0}, 0, 0, 1, 0};  // the DC's lowest bit
    static_assert(FILTER_DCT_MAX_SCANS == 64, "the script has one scan more than the limit");
    const Bytes jpeg = testsupport::jpeg_encode(
        48, 40, 1, JCS_GRAYSCALE, [](int x, int y, int) { return x * 5 + y * 3 + (x * y) % 11; },
        [](jpeg_compress_struct *c) {
            c->scan_info = script;
            c->num_scans = FILTER_DCT_MAX_SCANS + 1;
        });
    Bytes cut = head(jpeg, marker_at(jpeg, 0xDA, FILTER_DCT_MAX_SCANS));
    cut.insert(cut.end(), {0xFF, 0xD9});
    const Bytes got = decode(jpeg, [](ByteReader *s) { return pdf_filter_dct(s, DctParams{1}); });
    EXPECT_EQ(got, testsupport::jpeg_decode(cut, JCS_GRAYSCALE));
    EXPECT_NE(got, testsupport::jpeg_decode(jpeg, JCS_GRAYSCALE));
}

// Decodes the JPEG as the image XObject of a generated page, asking for RGB:
// the bytes delivered and the component count reported.
Bytes decode_image_object(const Bytes &jpeg, int width, int height, int *components)
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
             "/Resources << /XObject << /Im 5 0 R >> >> >>");
    b.stream(4, "", "q 200 0 0 200 0 0 cm /Im Do Q");
    b.stream(5,
             "/Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " + std::to_string(height) +
                 " /BitsPerComponent 8 /ColorSpace /DeviceRGB /Filter /DCTDecode",
             std::string(jpeg.begin(), jpeg.end()));
    b.startxref(b.xref_section("/Size 6 /Root 1 0 R"));
    const std::string path = testsupport::scratch_path("dct-image.pdf");
    EXPECT_TRUE(testsupport::write_file(path, b.str()));
    PdfDoc *doc = nullptr;
    Bytes out;
    *components = -1;
    if (pdf_open(&doc, path.c_str(), nullptr) == 0) {
        PdfObject *image = pdf_fetch(doc, 5, 0);
        ByteReader *r = pdf_apply_filters(doc, pdf_open_raw_stream(doc, image), image->dict, nullptr, 3);
        if (r) {
            *components = pdf_dct_output_components(r);
            uint8_t tmp[65536];
            int n;
            while (out.size() < (size_t(256) << 20) && (n = reader_read(r, tmp, sizeof tmp)) > 0)
                out.insert(out.end(), tmp, tmp + n);
            reader_close_chain(r);
        }
    }
    pdf_close(doc);
    return out;
}

// A 600-byte baseline JPEG declaring 65000 x 65000 pixels: unbounded, libjpeg pads
// 12.7 GB of rows. The image ends two iMCU rows (32 rows) after its data.
TEST(Filters, Dct65000BaselineDeliversOnlyTheRowsOfItsData)
{
    const Bytes jpeg = with_declared_size(jpeg_rgb(16, 16), 65000, 65000);
    ASSERT_LT(jpeg.size(), 1000u);
    int components = 0;
    const Bytes got = decode_image_object(jpeg, 65000, 65000, &components);
    EXPECT_EQ(components, 3);
    EXPECT_EQ(got.size() % (65000 * 3), 0u);
    EXPECT_GT(got.size(), 0u);
    EXPECT_LE(got.size(), size_t(32) * 65000 * 3);
}

// The progressive one needs a whole-image coefficient buffer of about 12 GB: refused
// before any work, the image stream is empty.
TEST(Filters, Dct65000ProgressiveIsRefused)
{
    const Bytes jpeg =
        with_declared_size(jpeg_rgb(16, 16, [](jpeg_compress_struct *c) { jpeg_simple_progression(c); }), 65000, 65000);
    int components = -1;
    EXPECT_EQ(decode_image_object(jpeg, 65000, 65000, &components), Bytes{});
    EXPECT_EQ(components, 0);
}

}  // namespace
