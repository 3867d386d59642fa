// The JPX and JBIG2 filters against independent decoders: JPEG 2000 files that
// opj_compress writes, decoded by us and by opj_decompress (also at reduced
// resolutions); the ITU-T T.88 Annex H test stream from Debian's jbig2dec
// source package, split into embedded page streams and globals, decoded by us
// and by the jbig2dec program. Damaged copies of both must fail or decode to
// exactly the promised size, never more. The same files embedded in PDFs are
// drawn like mutool and pdftoppm draw them, a damaged one as the gray
// placeholder, and a 10,000 x 10,000 JPEG 2000 page at 72 dpi in bounded
// memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "command_support.h"
#include "oracle_image.h"
#include "page_doc.h"
#include "pdf/document.h"
#include "pdf/filters.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

using testsupport::run_command;

bool have(const char *tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

struct Decoded {
    int status = -99;  // of the info call
    JpxInfo info{};
    std::string samples, alpha;
};

Decoded decode_jpx(const std::string &data, int reduce)
{
    Decoded out;
    ByteReader *src = reader_open_memory(reinterpret_cast<const uint8_t *>(data.data()), int64_t(data.size()));
    ByteReader *r = pdf_filter_jpx(src, JpxParams{reduce});
    out.status = pdf_jpx_info(r, &out.info);
    if (out.status == 0) {
        if (const uint8_t *a = pdf_jpx_alpha(r))
            out.alpha.assign(reinterpret_cast<const char *>(a), size_t(out.info.width) * size_t(out.info.height));
    }
    out.samples = testsupport::read_and_close(r);  // closes the chain
    return out;
}

// A PNM/PAM image: header fields and the raw samples (8-bit only).
struct Pnm {
    int width = 0, height = 0, depth = 0, maxval = 0;
    std::string samples;
};

Pnm parse_pnm(const std::string &d)
{
    Pnm p;
    size_t at = 0;
    auto token = [&]() {
        while (at < d.size() && (std::isspace(uint8_t(d[at])) || d[at] == '#')) {
            if (d[at] == '#')
                while (at < d.size() && d[at] != '\n')
                    at++;
            else
                at++;
        }
        const size_t from = at;
        while (at < d.size() && !std::isspace(uint8_t(d[at])))
            at++;
        return d.substr(from, at - from);
    };
    const std::string magic = token();
    if (magic == "P5" || magic == "P6") {
        p.depth = magic == "P5" ? 1 : 3;
        p.width = std::stoi(token());
        p.height = std::stoi(token());
        p.maxval = std::stoi(token());
    } else if (magic == "P7") {
        for (std::string t = token(); !t.empty() && t != "ENDHDR"; t = token()) {
            if (t == "WIDTH") p.width = std::stoi(token());
            else if (t == "HEIGHT") p.height = std::stoi(token());
            else if (t == "DEPTH") p.depth = std::stoi(token());
            else if (t == "MAXVAL") p.maxval = std::stoi(token());
            else if (t == "TUPLTYPE") token();
        }
    } else {
        return p;
    }
    p.samples = d.substr(at + 1);
    return p;
}

// A deterministic test picture with edges, gradients and noise.
std::string picture(int width, int height, int depth)
{
    std::string header = depth == 1 ? "P5\n" : depth == 3 ? "P6\n" : "P7\n";
    if (depth == 4)
        header += "WIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height) +
                  "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    else
        header += std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::string s = header;
    std::mt19937 rng(7);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            for (int c = 0; c < depth; c++) {
                int v = (x * 255 / width + c * 60) & 255;
                if ((x / 9 + y / 7) % 2)
                    v = 255 - v;
                if (c == 3)
                    v = y * 255 / height;  // a vertical alpha ramp
                s += char((v + int(rng() % 5)) & 255);
            }
    return s;
}

TEST(JpxFilter, DecodesLikeOpjDecompress)
{
    if (!have("opj_compress") || !have("opj_decompress"))
        GTEST_SKIP() << "libopenjp2-tools not installed";
    struct Row {
        const char *what;
        int width, height, depth;
        const char *ext;       // jp2: file format, j2k: bare codestream
        const char *options;   // opj_compress options
        int reduce;
        int colour;            // expected JpxColour
    } rows[] = {
        {"gray, lossless JP2", 61, 47, 1, "jp2", "-n 4", 0, JPX_GRAY},
        {"RGB, lossless JP2", 64, 40, 3, "jp2", "-n 4", 0, JPX_RGB},
        {"RGB, lossy 9/7 codestream", 80, 33, 3, "j2k", "-I -r 20 -n 4", 0, JPX_RGB},
        {"RGB, tiles and precincts", 130, 90, 3, "jp2", "-t 32,32 -n 3 -c [32,32],[32,32],[32,32]", 0, JPX_RGB},
        {"RGB with alpha", 37, 23, 4, "jp2", "-n 3", 0, JPX_RGB},
        {"gray, reduced one level", 61, 47, 1, "jp2", "-n 4", 1, JPX_GRAY},
        {"RGB, reduced two levels, odd size", 99, 77, 3, "j2k", "-n 5", 2, JPX_RGB},
        {"RGB, reduction beyond the levels is capped", 40, 40, 3, "jp2", "-n 2", 5, JPX_RGB},
        {"RGB, progression RPCL with SOP and EPH", 70, 50, 3, "jp2", "-p RPCL -SOP -EPH -n 4", 1, JPX_RGB},
    };
    int n = 0;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string base = testsupport::scratch_path("jpx" + std::to_string(n++));
        const std::string in = base + (row.depth == 4 ? ".pam" : row.depth == 1 ? ".pgm" : ".ppm");
        ASSERT_TRUE(testsupport::write_file(in, picture(row.width, row.height, row.depth)));
        const std::string jpx = base + "." + row.ext;
        int rc = 0;
        run_command("opj_compress -i " + in + " -o " + jpx + " " + row.options + " 2>&1", &rc);
        ASSERT_EQ(rc, 0);
        const int levels = row.reduce > 1 && std::string(row.options).find("-n 2") != std::string::npos ? 1 : row.reduce;
        const std::string ref_path = base + "_ref" + (row.depth == 4 ? ".pnm" : row.depth == 1 ? ".pgm" : ".ppm");
        run_command("opj_decompress -i " + jpx + " -o " + ref_path + " -r " + std::to_string(levels) + " 2>&1", &rc);
        ASSERT_EQ(rc, 0);
        const Pnm ref = parse_pnm(testsupport::read_file(ref_path));
        const Decoded ours = decode_jpx(testsupport::read_file(jpx), row.reduce);
        ASSERT_EQ(ours.status, 0);
        EXPECT_EQ(ours.info.reduce, levels);
        EXPECT_EQ(ours.info.colour, row.colour);
        ASSERT_EQ(ours.info.width, ref.width);
        ASSERT_EQ(ours.info.height, ref.height);
        const int colours = row.depth == 4 ? 3 : row.depth;
        ASSERT_EQ(ours.info.components, colours);
        ASSERT_EQ(ours.samples.size(), size_t(ref.width) * ref.height * colours);
        // The reference interleaves alpha with the colours; ours keeps it apart.
        std::string ref_colours, ref_alpha;
        for (size_t i = 0; i < ref.samples.size(); i += size_t(ref.depth)) {
            ref_colours.append(ref.samples, i, size_t(colours));
            if (ref.depth == 4)
                ref_alpha += ref.samples[i + 3];
        }
        EXPECT_TRUE(ours.samples == ref_colours);
        EXPECT_EQ(ours.info.has_alpha, row.depth == 4 ? 1 : 0);
        EXPECT_TRUE(ours.alpha == ref_alpha);
    }
}

// Truncated and bit-flipped copies (fixed seed): each either fails or serves
// exactly width x height x components bytes.
template <typename Decode>
void damaged_copies(const std::string &good, uint32_t seed, Decode decode)
{
    std::mt19937 rng(seed);
    for (int i = 0; i < 200; i++) {
        std::string bad = good;
        if (i % 2 == 0) {
            bad.resize(rng() % good.size());
        } else {
            const int flips = 1 + int(rng() % 8);
            for (int k = 0; k < flips; k++)
                bad[rng() % bad.size()] ^= char(1 << (rng() % 8));
        }
        decode(bad, i);
    }
}

TEST(JpxFilter, DamagedStreamsFailOrKeepTheirSize)
{
    if (!have("opj_compress"))
        GTEST_SKIP() << "libopenjp2-tools not installed";
    const std::string in = testsupport::scratch_path("jpx_damage.ppm");
    const std::string out = testsupport::scratch_path("jpx_damage.jp2");
    ASSERT_TRUE(testsupport::write_file(in, picture(48, 40, 3)));
    int rc = 0;
    run_command("opj_compress -i " + in + " -o " + out + " -n 3 -t 24,24 -I -r 10 2>&1", &rc);
    ASSERT_EQ(rc, 0);
    int decoded = 0;
    damaged_copies(testsupport::read_file(out), 30, [&](const std::string &bad, int i) {
        const Decoded d = decode_jpx(bad, i % 3);
        if (d.status == 0) {
            decoded++;
            EXPECT_EQ(d.samples.size(), size_t(d.info.width) * d.info.height * d.info.components) << "variant " << i;
        } else {
            EXPECT_TRUE(d.samples.empty()) << "variant " << i;
        }
    });
    std::printf("damaged JPX copies still decoded: %d of 200\n", decoded);
}

// The Annex H stream of ITU-T T.88 as Debian's jbig2dec source package ships
// it (jbig2dec_0.19, annex-h.jbig2), once scripts/setup has fetched it.
std::string annex_h_path()
{
    namespace fs = std::filesystem;
    const char *home = std::getenv("HOME");
    const fs::path src = fs::path(home ? home : "/root") / ".cache" / "pagrix" / "src";
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(src, ec))
        if (e.path().filename().string().rfind("jbig2dec-", 0) == 0 && fs::exists(e.path() / "annex-h.jbig2"))
            return (e.path() / "annex-h.jbig2").string();
    return "";
}

uint32_t be32(const std::string &d, size_t at)
{
    return uint32_t(uint8_t(d[at])) << 24 | uint32_t(uint8_t(d[at + 1])) << 16 | uint32_t(uint8_t(d[at + 2])) << 8 |
           uint8_t(d[at + 3]);
}

// Splits a sequential JBIG2 file into the segments of page 0 (the globals) and
// those of each page, renumbering pages to 1 as an embedded stream has them.
// End-of-file segments are dropped.
bool split_jbig2(const std::string &d, std::string *globals, std::vector<std::string> *pages)
{
    if (d.size() < 13 || (d[8] & 1) == 0)
        return false;  // not sequential
    size_t at = (d[8] & 2) ? 9 : 13;
    while (at + 11 <= d.size()) {
        const size_t start = at;
        const uint32_t number = be32(d, at);
        const uint8_t flags = uint8_t(d[at + 4]);
        at += 5;
        uint32_t refs = uint8_t(d[at]) >> 5;
        if (refs == 7) {
            refs = be32(d, at) & 0x1FFFFFFF;
            at += 4 + (refs + 8) / 8;
        } else {
            at += 1;
        }
        at += refs * (number <= 256 ? 1 : number <= 65536 ? 2 : 4);
        const size_t page_at = at;
        const uint32_t page = (flags & 0x40) ? be32(d, at) : uint8_t(d[at]);
        at += (flags & 0x40) ? 4 : 1;
        const uint32_t length = be32(d, at);
        at += 4;
        if (length == 0xFFFFFFFF || at + length > d.size())
            return false;
        at += length;
        std::string segment = d.substr(start, at - start);
        if ((flags & 0x3F) == 51)
            continue;
        if (page == 0) {
            *globals += segment;
            continue;
        }
        if ((flags & 0x40) == 0)
            segment[page_at - start] = 1;
        else
            segment.replace(page_at - start, 4, std::string("\0\0\0\1", 4));
        if (pages->size() < page)
            pages->resize(page);
        (*pages)[page - 1] += segment;
    }
    return !pages->empty();
}

struct Bilevel {
    int status = -99;
    int width = 0, height = 0;
    std::string bits;
};

Bilevel decode_jbig2(const std::string &data, const std::string &globals)
{
    Bilevel out;
    ByteReader *src = reader_open_memory(reinterpret_cast<const uint8_t *>(data.data()), int64_t(data.size()));
    Jbig2Params p;
    p.globals = reinterpret_cast<const uint8_t *>(globals.data());
    p.globals_length = int(globals.size());
    ByteReader *r = pdf_filter_jbig2(src, p);
    out.status = pdf_jbig2_size(r, &out.width, &out.height);
    out.bits = testsupport::read_and_close(r);
    return out;
}

// The Annex H stream split into globals and its three pages; false without it.
bool annex_h_streams(std::string *globals, std::vector<std::string> *pages)
{
    const std::string annex = annex_h_path();
    return !annex.empty() && split_jbig2(testsupport::read_file(annex), globals, pages) && pages->size() == 3;
}

TEST(Jbig2Filter, AnnexHPagesLikeJbig2dec)
{
    std::string globals;
    std::vector<std::string> pages;
    if (!annex_h_streams(&globals, &pages) || !have("jbig2dec"))
        GTEST_SKIP() << "jbig2dec source (scripts/setup) or the jbig2dec program missing";
    const std::string globals_path = testsupport::scratch_path("annexh_globals.jb2");
    testsupport::write_file(globals_path, globals);
    for (size_t i = 0; i < pages.size(); i++) {
        SCOPED_TRACE("page " + std::to_string(i + 1));
        const std::string page_path = testsupport::scratch_path("annexh_page" + std::to_string(i + 1) + ".jb2");
        const std::string pbm = page_path + ".pbm";
        testsupport::write_file(page_path, pages[i]);
        int rc = 0;
        run_command("jbig2dec -q -e -t pbm -o " + pbm + " " + globals_path + " " + page_path + " 2>&1", &rc);
        const std::string ref = testsupport::read_file(pbm);
        ASSERT_FALSE(ref.empty());
        // P4: "P4\n<w> <h>\n" then rows of whole bytes, 1 = black.
        size_t at = 0;
        int w = 0, h = 0;
        ASSERT_EQ(std::sscanf(ref.c_str(), "P4 %d %d%zn", &w, &h, &at), 2);
        const std::string ref_bits = ref.substr(at + 1);
        const Bilevel ours = decode_jbig2(pages[i], globals);
        ASSERT_EQ(ours.status, 0);
        EXPECT_EQ(ours.width, w);
        EXPECT_EQ(ours.height, h);
        ASSERT_EQ(ours.bits.size(), ref_bits.size());
        const int stride = (w + 7) / 8;
        int differing = 0;
        for (size_t k = 0; k < ref_bits.size(); k++) {
            // Padding bits past the width are not compared.
            const int bits_here = int(k % size_t(stride)) == stride - 1 && w % 8 ? w % 8 : 8;
            const uint8_t mask = uint8_t(0xFF << (8 - bits_here));
            if ((uint8_t(~ours.bits[k]) & mask) != (uint8_t(ref_bits[k]) & mask))
                differing++;
        }
        EXPECT_EQ(differing, 0);
    }
    // Without its globals the first page cannot be decoded (its text region
    // refers to the global symbol dictionary).
    EXPECT_NE(decode_jbig2(pages[0], "").status, 0);
}

TEST(Jbig2Filter, ChainTakesJBIG2GlobalsFromDecodeParms)
{
    std::string globals;
    std::vector<std::string> pages;
    if (!annex_h_streams(&globals, &pages))
        GTEST_SKIP() << "jbig2dec source not fetched (scripts/setup)";
    const Bilevel direct = decode_jbig2(pages[0], globals);
    ASSERT_EQ(direct.status, 0);
    struct {
        const char *what;
        std::string dict;
        bool decodes;
    } rows[] = {
        {"globals by reference", "/Filter /JBIG2Decode /DecodeParms << /JBIG2Globals 5 0 R >>", true},
        {"globals behind their own filter", "/Filter /JBIG2Decode /DecodeParms << /JBIG2Globals 6 0 R >>", true},
        {"parameters in an array", "/Filter [/JBIG2Decode] /DecodeParms [<< /JBIG2Globals 5 0 R >>]", true},
        {"no globals", "/Filter /JBIG2Decode", false},
        {"globals not a stream", "/Filter /JBIG2Decode /DecodeParms << /JBIG2Globals 7 0 R >>", false},
    };
    int n = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        testsupport::PdfBuilder b;
        b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
        b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
        b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >>");
        b.stream(4, row.dict, pages[0]);
        b.stream(5, "", globals);
        b.stream(6, "/Filter /FlateDecode", testsupport::deflate_bytes(globals));
        b.obj(7, "<< /Length 3 >>");
        b.startxref(b.xref_section("/Size 8 /Root 1 0 R"));
        const std::string path = testsupport::scratch_path("jbig2_chain" + std::to_string(n++) + ".pdf");
        testsupport::write_file(path, b.str());
        PdfDoc *doc = nullptr;
        ASSERT_EQ(pdf_open(&doc, path.c_str(), nullptr), 0);
        PdfObject *stream = pdf_fetch(doc, 4, 0);
        ByteReader *raw = pdf_open_raw_stream(doc, stream);
        const char *unsupported = nullptr;
        ByteReader *r = pdf_apply_filters(doc, raw, stream->dict, &unsupported, 1);
        ASSERT_NE(r, nullptr);
        const std::string bits = testsupport::read_and_close(r);
        if (row.decodes)
            EXPECT_TRUE(bits == direct.bits);
        else
            EXPECT_TRUE(bits.empty());
        pdf_close(doc);
    }
}

TEST(Jbig2Filter, DamagedStreamsFailOrKeepTheirSize)
{
    std::string globals;
    std::vector<std::string> pages;
    if (!annex_h_streams(&globals, &pages))
        GTEST_SKIP() << "jbig2dec source not fetched (scripts/setup)";
    int decoded = 0;
    damaged_copies(pages[0], 30, [&](const std::string &bad, int i) {
        const Bilevel b = decode_jbig2(bad, i % 4 == 1 ? bad : globals);
        if (b.status == 0) {
            decoded++;
            EXPECT_EQ(b.bits.size(), size_t((b.width + 7) / 8) * b.height) << "variant " << i;
        } else {
            EXPECT_TRUE(b.bits.empty()) << "variant " << i;
        }
    });
    std::printf("damaged JBIG2 copies still decoded: %d of 200\n", decoded);
}

// A JPEG 2000 file written by opj_compress from the test picture; "" when
// the encoder failed.
std::string opj_file(const std::string &name, int width, int height, int depth, const std::string &ext,
                     const std::string &options)
{
    const std::string base = testsupport::scratch_path(name);
    const std::string in = base + (depth == 4 ? ".pam" : depth == 1 ? ".pgm" : ".ppm");
    if (!testsupport::write_file(in, picture(width, height, depth)))
        return "";
    int rc = 0;
    run_command("opj_compress -i " + in + " -o " + base + "." + ext + " " + options + " 2>&1", &rc);
    return rc == 0 ? testsupport::read_file(base + "." + ext) : "";
}

// A page of `w` x `h` points, red, with the image (object 5, from `dict`
// and `data`) drawn over the square from (`x`, `y`) with sides `iw`, `ih`;
// image masks paint in blue.
std::string image_page(double w, double h, const std::string &dict, const std::string &data, double x,
                       double y, double iw, double ih, const std::string &globals = "")
{
    char content[200];
    std::snprintf(content, sizeof content, "1 0 0 rg 0 0 %g %g re f 0 0 1 rg q %g 0 0 %g %g %g cm /Im Do Q",
                  w, h, iw, ih, x, y);
    char media[80];
    std::snprintf(media, sizeof media, "[0 0 %g %g]", w, h);
    std::vector<std::string> extra = {
        testsupport::stream_obj("/Type /XObject /Subtype /Image " + dict, data)};
    if (!globals.empty())
        extra.push_back(testsupport::stream_obj("", globals));
    return testsupport::one_page_pdf(content, media, "/Resources << /XObject << /Im 5 0 R >> >>", extra);
}

TEST(JpxJbig2Images, DrawnLikeMutoolAndPdftoppm)
{
    if (!have("opj_compress") || !testsupport::have_oracle_renderers())
        GTEST_SKIP() << "opj_compress, mutool or pdftoppm missing";
    std::string globals;
    std::vector<std::string> pages;
    const bool jbig2 = annex_h_streams(&globals, &pages);
    const std::string gray = opj_file("img_gray", 61, 47, 1, "jp2", "-n 4");
    const std::string rgb = opj_file("img_rgb", 400, 300, 3, "j2k", "-I -r 20 -n 5");
    ASSERT_FALSE(gray.empty() || rgb.empty());
    struct Row {
        const char *what;
        std::string pdf;
    } rows[] = {
        // Size, depth and colour from the codestream alone.
        {"gray JP2 without ColorSpace or BitsPerComponent, drawn at its size",
         image_page(81, 67, "/Width 61 /Height 47 /Filter /JPXDecode", gray, 10, 10, 61, 47)},
        // Decoded one resolution level down, then averaged.
        {"RGB codestream drawn at a sixth of its size",
         image_page(87, 70, "/Width 400 /Height 300 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /JPXDecode",
                    rgb, 10, 10, 66.7, 50)},
        // The dictionary's gray is overruled by the three components of the data.
        {"RGB codestream whose dictionary says gray, drawn at half its size",
         image_page(220, 170, "/Width 400 /Height 300 /ColorSpace /DeviceGray /Filter /JPXDecode", rgb, 10, 10,
                    200, 150)},
    };
    std::vector<Row> all(std::begin(rows), std::end(rows));
    if (jbig2) {
        const std::string dict = "/Filter /JBIG2Decode /DecodeParms << /JBIG2Globals 6 0 R >> ";
        const Bilevel page = decode_jbig2(pages[0], globals);
        ASSERT_EQ(page.status, 0);
        const std::string size = "/Width " + std::to_string(page.width) + " /Height " + std::to_string(page.height);
        all.push_back({"JBIG2 page with globals as an image mask",
                       image_page(100, 80, dict + size + " /ImageMask true", pages[0], 10, 10, page.width * 0.8,
                                  page.height * 0.8, globals)});
        all.push_back({"JBIG2 page with globals as 1-bit gray",
                       image_page(100, 80, dict + size + " /ColorSpace /DeviceGray /BitsPerComponent 1", pages[0],
                                  10, 10, page.width * 0.8, page.height * 0.8, globals)});
    } else {
        std::printf("JBIG2 rows skipped: jbig2dec source not fetched (scripts/setup)\n");
    }
    int n = 0;
    for (const Row &row : all) {
        SCOPED_TRACE(row.what);
        const std::string path = testsupport::scratch_path("jpx_jbig2_page" + std::to_string(n++) + ".pdf");
        ASSERT_TRUE(testsupport::write_file(path, row.pdf));
        testsupport::Rendered ours;
        testsupport::render_doc(row.pdf, &ours);
        ASSERT_NE(ours.bm, nullptr);
        EXPECT_EQ(ours.diags, "");
        testsupport::RgbImage mu, pp;
        ASSERT_TRUE(testsupport::oracle_render(path, 1, 72, false, &mu));
        ASSERT_TRUE(testsupport::oracle_render(path, 1, 72, true, &pp));
        const double psnr = testsupport::psnr(testsupport::rgb_from_bitmap(ours.bm), mu);
        const double honest = testsupport::psnr(pp, mu);
        std::printf("  %-66s ours %5.1f dB, pdftoppm %5.1f dB (vs mutool)\n", row.what, psnr, honest);
        EXPECT_TRUE(psnr >= 40.0 || psnr >= honest - 1.0) << psnr << " dB against " << honest;
    }
}

// The opacity channel of a JPEG 2000 image against opj_decompress's RGBA
// composed over the page by hand (mutool takes the fourth channel for
// black, pdftoppm does not draw such files): used with SMaskInData,
// ignored without it. The image is drawn at its own size.
TEST(JpxJbig2Images, OpacityChannelWithSMaskInData)
{
    if (!have("opj_compress") || !have("opj_decompress"))
        GTEST_SKIP() << "libopenjp2-tools not installed";
    const std::string rgba = opj_file("img_alpha", 60, 40, 4, "jp2", "-n 4");
    ASSERT_FALSE(rgba.empty());
    const std::string ref_path = testsupport::scratch_path("img_alpha_ref.pnm");
    int rc = 0;
    run_command("opj_decompress -i " + testsupport::scratch_path("img_alpha.jp2") + " -o " + ref_path + " 2>&1", &rc);
    ASSERT_EQ(rc, 0);
    const Pnm ref = parse_pnm(testsupport::read_file(ref_path));
    ASSERT_EQ(ref.depth, 4);
    for (int in_data = 0; in_data < 2; in_data++) {
        SCOPED_TRACE(in_data ? "SMaskInData 1" : "no SMaskInData");
        testsupport::Rendered ours;
        testsupport::render_doc(image_page(60, 40, std::string("/Width 60 /Height 40 /Filter /JPXDecode") +
                                                       (in_data ? " /SMaskInData 1" : ""),
                                           rgba, 0, 0, 60, 40),
                                &ours);
        ASSERT_NE(ours.bm, nullptr);
        int worst = 0;
        for (int y = 0; y < 40; y++)
            for (int x = 0; x < 60; x++) {
                const uint8_t *px = reinterpret_cast<const uint8_t *>(ref.samples.data()) + (y * 60 + x) * 4;
                const int a = in_data ? px[3] : 255;
                const unsigned got = ours.px(x, y);
                for (int k = 0; k < 3; k++) {
                    const int page = k == 0 ? 255 : 0;  // red
                    const int want = (px[k] * a + page * (255 - a) + 127) / 255;
                    worst = std::max(worst, std::abs(int((got >> (16 - 8 * k)) & 0xFF) - want));
                }
            }
        EXPECT_LE(worst, 2);
    }
}

// Drawn at 72 dpi, the image is decoded two resolution levels down: the
// render stays far below the memory of the full image (300 MB as RGB).
TEST(JpxJbig2Images, TenThousandSquareJpxAt72DpiBelow200MB)
{
    const std::string tool = testsupport::pagrix_render_path();
    if (!have("opj_compress") || tool.empty())
        GTEST_SKIP() << "opj_compress or pagrix-render missing";
    const int side = 10000;
    const std::string pgm = testsupport::scratch_path("jpx_huge.pgm"), jpx = testsupport::scratch_path("jpx_huge.j2k");
    {
        std::string image = "P5\n" + std::to_string(side) + " " + std::to_string(side) + "\n255\n";
        image.reserve(image.size() + size_t(side) * side);
        for (int y = 0; y < side; y++)
            for (int x = 0; x < side; x++)
                image += char(((x / 500 + y / 500) % 2 ? 200 : 40) + (x * 7 + y * 3) % 16);
        ASSERT_TRUE(testsupport::write_file(pgm, image));
    }
    int rc = 0;
    run_command("opj_compress -i " + pgm + " -o " + jpx + " -t 1000,1000 -I -r 100 -n 5 2>&1", &rc);
    std::remove(pgm.c_str());
    ASSERT_EQ(rc, 0);
    const std::string pdf = image_page(720, 720, "/Width 10000 /Height 10000 /Filter /JPXDecode",
                                       testsupport::read_file(jpx), 0, 0, 720, 720);
    const std::string path = testsupport::scratch_path("jpx_huge.pdf");
    ASSERT_TRUE(testsupport::write_file(path, pdf));
    const std::string out = testsupport::scratch_path("jpx_huge.bmp");
    const auto run = testsupport::run_limited(tool + " render " + path + " -o " + out + " --dpi 72 2>&1", 0, 120);
    std::printf("10000 x 10000 JPX at 72 dpi: peak %ld KiB\n", run.peak_rss_kb);
    ASSERT_EQ(run.exit_status, 0);
    EXPECT_LT(run.peak_rss_kb, 200 * 1024);
    // The checkerboard came through: a dark and a light square.
    testsupport::Rendered ours;
    testsupport::render_doc(pdf, &ours);
    ASSERT_NE(ours.bm, nullptr);
    EXPECT_LT(ours.px(18, 18) & 0xFF, 80u);
    EXPECT_GT(ours.px(18 + 36, 18) & 0xFF, 180u);
}

// Damaged JPX and JBIG2 data inside a page: whatever the filter cannot decode
// is drawn as the gray placeholder, and nothing crashes (also run under the
// sanitizers).
TEST(JpxJbig2Images, DamagedDataDrawsThePlaceholder)
{
    if (!have("opj_compress"))
        GTEST_SKIP() << "libopenjp2-tools not installed";
    const std::string jpx = opj_file("jpx_page_damage", 48, 40, 3, "jp2", "-n 3 -t 24,24 -I -r 10");
    ASSERT_FALSE(jpx.empty());
    int placeholders = 0;
    damaged_copies(jpx, 31, [&](const std::string &bad, int i) {
        testsupport::Rendered r;
        testsupport::render_doc(image_page(48, 40, "/Width 48 /Height 40 /Filter /JPXDecode", bad, 0, 0, 48, 40), &r);
        ASSERT_NE(r.bm, nullptr) << "variant " << i;
        if (decode_jpx(bad, 0).status != 0) {
            placeholders++;
            EXPECT_EQ(r.px(24, 20), 0xA0A0A0u) << "variant " << i;
        }
    });
    std::printf("damaged JPX pages drawn as the placeholder: %d of 200\n", placeholders);
    std::string globals;
    std::vector<std::string> pages;
    if (!annex_h_streams(&globals, &pages))
        GTEST_SKIP() << "jbig2dec source not fetched (scripts/setup)";
    const Bilevel good = decode_jbig2(pages[0], globals);
    const std::string dict = "/Filter /JBIG2Decode /DecodeParms << /JBIG2Globals 6 0 R >> /Width " +
                             std::to_string(good.width) + " /Height " + std::to_string(good.height);
    placeholders = 0;
    damaged_copies(pages[0], 32, [&](const std::string &bad, int i) {
        const std::string bad_globals = i % 4 == 1 ? bad : globals;
        testsupport::Rendered r;
        testsupport::render_doc(image_page(good.width, good.height, dict + " /ImageMask true", bad, 0, 0,
                                           good.width, good.height, bad_globals),
                                &r);
        ASSERT_NE(r.bm, nullptr) << "variant " << i;
        if (decode_jbig2(bad, bad_globals).status != 0) {
            placeholders++;
            EXPECT_EQ(r.px(good.width / 2, good.height / 2), 0xA0A0A0u) << "variant " << i;
        }
    });
    std::printf("damaged JBIG2 pages drawn as the placeholder: %d of 200\n", placeholders);
}

}  // namespace
