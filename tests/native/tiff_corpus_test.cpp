// The corpus TIFF and DCX files against independent readers: page counts from
// tiffinfo and the DCX tables (image_ref.tsv), and page 1 against
// ImageMagick's decode (ref_image/); the EPS files' previews against the
// extracted previews (eps_ref.tsv, ref_eps_preview/). Then every file
// damaged: cut short and with bytes flipped, each variant opened and decoded
// without a fault.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "formats/eps.h"
#include "formats/tiff.h"
#include "test_support.h"

namespace {

struct RefRow {
    std::string file;  // "tiff/x.tif"
    int pages = 0;
    std::string bits, compression, photometric;
};

// The cells of each row of a corpus table, header skipped.
std::vector<std::vector<std::string>> tsv_rows(const std::string &name)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(testsupport::read_file(testsupport::corpus_dir() + "/" + name));
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t'))
            f.push_back(cell);
        rows.push_back(f);
    }
    return rows;
}

std::vector<RefRow> image_refs()
{
    std::vector<RefRow> rows;
    for (const auto &f : tsv_rows("image_ref.tsv"))
        if (f.size() >= 8)
            rows.push_back(RefRow{f[0], std::atoi(f[2].c_str()), f[5], f[6], f[7]});
    return rows;
}

// A PNG as 8-bit RGB rows (16-bit samples by their high byte).
bool read_png(const std::string &path, int *w, int *h, std::vector<uint8_t> *rgb)
{
    FILE *fp = std::fopen(path.c_str(), "rb");
    if (!fp)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(fp);
        return false;
    }
    png_init_io(png, fp);
    png_read_png(png, info,
                 PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_PACKING | PNG_TRANSFORM_EXPAND | PNG_TRANSFORM_STRIP_ALPHA |
                     PNG_TRANSFORM_GRAY_TO_RGB,
                 nullptr);
    *w = int(png_get_image_width(png, info));
    *h = int(png_get_image_height(png, info));
    png_bytepp rows = png_get_rows(png, info);
    rgb->resize(size_t(*w) * size_t(*h) * 3);
    for (int y = 0; y < *h; y++)
        std::copy(rows[y], rows[y] + 3 * *w, rgb->begin() + long(y) * 3 * *w);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(fp);
    return true;
}

std::string base_name(const std::string &path)
{
    std::string b = path.substr(path.rfind('/') + 1);
    return b.substr(0, b.rfind('.'));
}

// Files where we deliberately differ from ImageMagick, and how.
enum Difference { SAME, INVERTED, SIZE_ONLY };
struct Known {
    const char *file;
    Difference how;
    const char *why;
};
constexpr Known kKnownDifferences[] = {
    // Their 1-bit pages declare header palette entry 0 black and entry 1 white;
    // we follow the palette, ImageMagick shows set bits black.
    {"dcx/im-fax-3pages.dcx", INVERTED, "1-bit page drawn through its header palette"},
    {"dcx/im-testfax4-bilevel.dcx", INVERTED, "1-bit page drawn through its header palette"},
    // ImageMagick's colours are green and magenta where the picture is brown
    // and cream: its old-style JPEG path takes the YCbCr samples as RGB.
    {"tiff/tiff-ojpeg_chewey_subsamp21_multi_strip.tiff", SIZE_ONLY, "reference colours are not the picture's"},
};

Difference known_difference(const std::string &file)
{
    for (const Known &k : kKnownDifferences)
        if (file == k.file)
            return k.how;
    return SAME;
}

// The orientation a corpus file asks for (ImageMagick's reference stays unturned).
int orientation_turns(const std::string &name) { return name.find("orientation_6") != std::string::npos ? 1 : 0; }

TEST(TiffCorpus, PageCountsAndFirstPagesMatchIndependentDecoders)
{
    SKIP_WITHOUT_CORPUS();
    const std::vector<RefRow> refs = image_refs();
    ASSERT_FALSE(refs.empty());
    std::vector<std::string> unreadable_by_reference;
    for (const RefRow &r : refs) {
        SCOPED_TRACE(r.file);
        const std::string path = testsupport::corpus_dir() + "/" + r.file;
        Document *doc = nullptr;
        ASSERT_EQ(0, doc_open(&doc, path.c_str(), nullptr));
        EXPECT_EQ(r.pages, doc_page_count(doc));
        PageBitmap *page = doc_raster_page(doc, 0);
        const std::string ref = testsupport::corpus_dir() + "/ref_image/" + base_name(r.file) + ".png";
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        if (!read_png(ref, &w, &h, &rgb)) {
            unreadable_by_reference.push_back(r.file + ": we show " +
                                              (page ? std::to_string(page->width) + "x" + std::to_string(page->height)
                                                    : std::string("no page")));
            doc_close(doc);
            continue;
        }
        ASSERT_NE(nullptr, page);
        // The reference turned as the file's Orientation asks.
        PageBitmap *ref_bm = bitmap_create(w, h);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint8_t *p = ref_bm->pixels + y * ref_bm->stride + 3 * x;
                const uint8_t *q = &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
                p[0] = q[2];
                p[1] = q[1];
                p[2] = q[0];
            }
        if (int turns = orientation_turns(r.file)) {
            PageBitmap *t = bitmap_rotate(ref_bm, turns);
            bitmap_free(ref_bm);
            ref_bm = t;
        }
        const bool jpeg = r.compression.find("JPEG") != std::string::npos;
        const bool deep = r.bits == "16" || r.photometric.find("palette") != std::string::npos ||
                          r.bits.find("8bpp*1pl") != std::string::npos;
        const int tolerance = jpeg ? 2 : deep ? 1 : 0;
        ASSERT_EQ(ref_bm->width, page->width);
        ASSERT_EQ(ref_bm->height, page->height);
        const Difference how = known_difference(r.file);
        int worst = 0;
        long off = 0;
        for (int y = 0; y < page->height && how != SIZE_ONLY; y++)
            for (int x = 0; x < 3 * page->width; x++) {
                int ref_v = ref_bm->pixels[y * ref_bm->stride + x];
                if (how == INVERTED)
                    ref_v = 255 - ref_v;
                int d = std::abs(int(page->pixels[y * page->stride + x]) - ref_v);
                worst = std::max(worst, d);
                off += d > tolerance;
            }
        EXPECT_LE(worst, tolerance) << off << " samples beyond the tolerance";
        bitmap_free(ref_bm);
        doc_close(doc);
    }
    for (const std::string &s : unreadable_by_reference)
        std::printf("no reference image: %s\n", s.c_str());
}

// Preview kind and size as eps_ref.tsv gives them; the preview's pixels equal
// the extracted preview image; files without one get the placeholder sized
// from their bounding box.
TEST(EpsCorpus, PreviewKindSizeAndPixelsMatchExtractedPreviews)
{
    SKIP_WITHOUT_CORPUS();
    const auto rows = tsv_rows("eps_ref.tsv");
    ASSERT_FALSE(rows.empty());
    for (const auto &f : rows) {
        ASSERT_GE(f.size(), 11u);
        SCOPED_TRACE(f[0]);
        const std::string bytes = testsupport::read_file(testsupport::corpus_dir() + "/" + f[0]);
        EpsDoc *eps = eps_open_memory(reinterpret_cast<const uint8_t *>(bytes.data()), int64_t(bytes.size()));
        ASSERT_NE(nullptr, eps);
        int dx, dy;
        EpsSource source;
        PageBitmap *page = eps_render(eps, nullptr, &dx, &dy, &source);
        ASSERT_NE(nullptr, page);
        const std::string &kind = f[3];
        const std::string size = kind == "epsi" ? f[4] : f[10];  // "570x695x1" or "72x48x1-bit"
        EXPECT_EQ(kind == "tiff" ? EPS_TIFF_PREVIEW : kind == "epsi" ? EPS_EPSI_PREVIEW : EPS_PLACEHOLDER, source);
        if (source != EPS_PLACEHOLDER) {
            EXPECT_EQ(size.substr(0, size.find('x', size.find('x') + 1)),
                      std::to_string(page->width) + "x" + std::to_string(page->height));
            int w = 0, h = 0;
            std::vector<uint8_t> rgb;
            ASSERT_TRUE(read_png(testsupport::corpus_dir() + "/ref_eps_preview/" + base_name(f[0]) + ".png", &w, &h,
                                 &rgb));
            ASSERT_EQ(w, page->width);
            ASSERT_EQ(h, page->height);
            long off = 0;
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++)
                    for (int c = 0; c < 3; c++)
                        off += page->pixels[y * page->stride + 3 * x + 2 - c] != rgb[(size_t(y) * w + x) * 3 + c];
            EXPECT_EQ(0, off) << "samples differ";
        }
        bitmap_free(page);
        eps_close(eps);
    }
}

// Decodes every page of one damaged variant through the document layer; a
// failure code is fine, a fault or a hang is not.
void open_and_decode(const std::string &path)
{
    Document *doc = nullptr;
    // A variant whose signature is gone goes to the PDF opener, with its codes.
    int rc = doc_open(&doc, path.c_str(), nullptr);
    ASSERT_TRUE(rc == 0 || rc == -1 || rc == -2 || rc == -7) << rc;
    ASSERT_EQ(rc == 0, doc != nullptr);
    // Opening walks the whole directory chain or offset table; the first page
    // is decoded.
    if (doc) {
        float w, h;
        int rot;
        int r = doc_page_size(doc, 0, &w, &h, &rot);
        ASSERT_TRUE(r == 0 || r == -1);
    }
    doc_close(doc);
}

// Every `share`-th file of one corpus folder from `first` on, cut at 10
// points and with bytes flipped (200 variants each, a fixed seed). The
// tests split the files, so that they can run side by side.
void damaged_variants(const char *folder, size_t first = 0, size_t share = 1)
{
    std::vector<std::string> files;
    const std::vector<std::string> all = testsupport::corpus_files(folder, "");
    for (size_t i = first; i < all.size(); i += share)
        files.push_back(all[i]);
    ASSERT_FALSE(files.empty());
    uint32_t seed = 20261207;
    auto rnd = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        const std::string bytes = testsupport::read_file(file);
        const std::string ext = file.substr(file.rfind('.'));
        const std::string path =
            testsupport::scratch_path("variant-" + std::string(folder) + std::to_string(first) + ext);
        for (int cut = 1; cut <= 10; cut++) {
            testsupport::write_file(path, bytes.substr(0, bytes.size() * size_t(cut) / 11));
            open_and_decode(path);
        }
        for (int v = 0; v < 200; v++) {
            std::string damaged = bytes;
            // Flips land in the first 4 KiB (headers, directories, tables) half the time.
            int flips = 1 + int(rnd() % 8);
            for (int k = 0; k < flips; k++) {
                size_t span = (v & 1) && damaged.size() > 4096 ? 4096 : damaged.size();
                damaged[rnd() % span] ^= char(1 << (rnd() % 8));
            }
            testsupport::write_file(path, damaged);
            open_and_decode(path);
        }
    }
}

TEST(TiffCorpus, TruncatedAndFlippedTiffVariantsEven_NoCrash)
{
    SKIP_WITHOUT_CORPUS();
    damaged_variants("tiff", 0, 2);
}

TEST(TiffCorpus, TruncatedAndFlippedTiffVariantsOdd_NoCrash)
{
    SKIP_WITHOUT_CORPUS();
    damaged_variants("tiff", 1, 2);
}

TEST(TiffCorpus, TruncatedAndFlippedDcxAndEpsVariants_NoCrash)
{
    SKIP_WITHOUT_CORPUS();
    damaged_variants("dcx");
    damaged_variants("eps");
}

}  // namespace
