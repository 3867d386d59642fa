// PageBitmap operations and the BMP/PNG/JPEG writers, whole and band by band
// (JPEG read back with libjpeg).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "test_support.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

struct BitmapDeleter {
    void operator()(PageBitmap *b) const { bitmap_free(b); }
};
using Bitmap = std::unique_ptr<PageBitmap, BitmapDeleter>;

uint8_t *px(PageBitmap *b, int x, int y) { return b->pixels + y * b->stride + 3 * x; }

// Fills each pixel with a colour derived from its position.
void paint_gradient(PageBitmap *b)
{
    for (int y = 0; y < b->height; y++)
        for (int x = 0; x < b->width; x++) {
            uint8_t *p = px(b, x, y);
            p[0] = uint8_t(x * 7 + y);
            p[1] = uint8_t(y * 13);
            p[2] = uint8_t(x * 3 + y * 5);
        }
}

uint32_t le32(const std::string &s, size_t at)
{
    return uint8_t(s[at]) | uint8_t(s[at + 1]) << 8 | uint8_t(s[at + 2]) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}

TEST(Bitmap, CreateChecksSidesAndStride)
{
    struct Row {
        int w, h, stride;  // stride 0: creation must fail
    } rows[] = {
        {1, 1, 4},        // 3 bytes padded to 4
        {4, 2, 12},       // exact multiple
        {5, 1, 16},       // 15 padded to 16
        {20000, 1, 60000},
        {20001, 1, 0},    // too wide
        {0, 5, 0},        // empty
        {5, -1, 0},
        {1, 20001, 0},
    };
    for (const Row &r : rows) {
        Bitmap b(bitmap_create(r.w, r.h));
        if (!r.stride) {
            EXPECT_EQ(b, nullptr) << r.w << "x" << r.h;
            continue;
        }
        ASSERT_NE(b, nullptr) << r.w << "x" << r.h;
        EXPECT_EQ(b->stride, r.stride);
        EXPECT_EQ(b->dirty_top, r.h);
        EXPECT_EQ(b->dirty_bottom, 0);
        EXPECT_EQ(b->alpha, nullptr);
    }
}

TEST(Bitmap, FillSetsPixelsPaddingAndDirtyRange)
{
    Bitmap b(bitmap_create(3, 4));  // 9 bytes of pixels, 3 of padding a row
    bitmap_fill(b.get(), 10, 20, 30);
    for (int y = 0; y < 4; y++) {
        const uint8_t *row = b->pixels + y * b->stride;
        for (int x = 0; x < 3; x++) {
            EXPECT_EQ(row[3 * x], 30);
            EXPECT_EQ(row[3 * x + 1], 20);
            EXPECT_EQ(row[3 * x + 2], 10);
        }
        for (int i = 9; i < 12; i++)
            EXPECT_EQ(row[i], 30) << "padding takes the blue value";
    }
    EXPECT_EQ(b->dirty_top, 0);
    EXPECT_EQ(b->dirty_bottom, 4);
    bitmap_fill(nullptr, 0, 0, 0);  // ignored
    bitmap_free(nullptr);
}

TEST(Bitmap, RotateMapsEveryPixel)
{
    Bitmap src(bitmap_create(3, 2));
    bitmap_fill(src.get(), 0, 0, 0);
    paint_gradient(src.get());
    for (int turns : {0, 1, 2, 3, 4, 5, -1}) {
        Bitmap r(bitmap_rotate(src.get(), turns));
        ASSERT_NE(r, nullptr);
        const int q = turns & 3;
        EXPECT_EQ(r->width, (q & 1) ? 2 : 3) << turns;
        EXPECT_EQ(r->height, (q & 1) ? 3 : 2) << turns;
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 3; x++) {
                int dx = x, dy = y;
                if (q == 1) { dx = 2 - 1 - y; dy = x; }
                if (q == 2) { dx = 3 - 1 - x; dy = 2 - 1 - y; }
                if (q == 3) { dx = y; dy = 3 - 1 - x; }
                EXPECT_EQ(0, std::memcmp(px(src.get(), x, y), px(r.get(), dx, dy), 3))
                    << "turns " << turns << " pixel " << x << "," << y;
            }
        if (q == 0) {
            EXPECT_EQ(0, std::memcmp(src->pixels, r->pixels, size_t(src->stride) * 2)) << "exact copy with padding";
        }
    }
    // A quarter turn puts the source's top-left pixel at the top right.
    Bitmap q1(bitmap_rotate(src.get(), 1));
    EXPECT_EQ(0, std::memcmp(px(src.get(), 0, 0), px(q1.get(), 1, 0), 3));
    EXPECT_EQ(bitmap_rotate(nullptr, 1), nullptr);
}

TEST(Bitmap, ScaleBandResamplesAndCrops)
{
    Bitmap one(bitmap_create(1, 1));
    bitmap_fill(one.get(), 200, 100, 50);
    Bitmap up(bitmap_scale_band(one.get(), 4, 4, 0, 4));
    ASSERT_NE(up, nullptr);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(0, std::memcmp(px(up.get(), x, y), px(one.get(), 0, 0), 3));

    Bitmap src(bitmap_create(7, 100));
    bitmap_fill(src.get(), 0, 0, 0);
    paint_gradient(src.get());
    Bitmap same(bitmap_scale_band(src.get(), 7, 100, 30, 5));
    ASSERT_NE(same, nullptr);
    ASSERT_EQ(same->height, 5);
    for (int j = 0; j < 5; j++)
        EXPECT_EQ(0, std::memcmp(same->pixels + j * same->stride, src->pixels + (30 + j) * src->stride, 21));

    // Rows beyond the target bottom are dropped; a band wholly outside is null.
    Bitmap tail(bitmap_scale_band(src.get(), 7, 100, 90, 20));
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(tail->height, 10);
    Bitmap neg(bitmap_scale_band(src.get(), 7, 100, -5, 10));
    ASSERT_NE(neg, nullptr);
    EXPECT_EQ(neg->height, 10);
    EXPECT_EQ(0, std::memcmp(neg->pixels, src->pixels, 21)) << "negative y0 starts at row 0";
    EXPECT_EQ(bitmap_scale_band(src.get(), 7, 100, 100, 5), nullptr);
    EXPECT_EQ(bitmap_scale_band(src.get(), 0, 100, 0, 5), nullptr);
    EXPECT_EQ(bitmap_scale_band(nullptr, 7, 100, 0, 5), nullptr);

    // Halving a two-column source averages: (0 + 255) / 2 rounds to 128.
    Bitmap two(bitmap_create(2, 1));
    std::memset(two->pixels, 0, 8);
    std::memset(two->pixels + 3, 255, 3);
    Bitmap half(bitmap_scale_band(two.get(), 1, 1, 0, 1));
    EXPECT_EQ(half->pixels[0], 128);
}

TEST(ImageWriters, BmpHeaderAndRowsByteForByte)
{
    Bitmap b(bitmap_create(1, 3));  // one pixel wide: 1 padding byte a row
    for (int y = 0; y < 3; y++) {
        uint8_t *p = px(b.get(), 0, y);
        p[0] = uint8_t(10 + y);
        p[1] = uint8_t(20 + y);
        p[2] = uint8_t(30 + y);
        p[3] = 0xEE;  // garbage padding must not reach the file
    }
    const std::string path = testsupport::scratch_path("one.bmp");
    ASSERT_EQ(write_bmp(path.c_str(), b.get()), 0);
    const std::string f = testsupport::read_file(path);
    ASSERT_EQ(f.size(), 54u + 4 * 3);
    EXPECT_EQ(f.substr(0, 2), "BM");
    struct Field {
        size_t at;
        uint32_t value;
        int bytes;
    } fields[] = {
        {2, 66, 4},    // file size
        {6, 0, 4},     // reserved
        {10, 54, 4},   // pixel data offset
        {14, 40, 4},   // info header size
        {18, 1, 4},    // width
        {22, 3, 4},    // height, positive: bottom-up
        {26, 1, 2},    // planes
        {28, 24, 2},   // bits per pixel
        {30, 0, 4},    // no compression
        {34, 12, 4},   // image size
        {38, 2835, 4}, // 72 dpi
        {42, 2835, 4},
        {46, 0, 4},
        {50, 0, 4},
    };
    for (const Field &fd : fields) {
        uint32_t v = fd.bytes == 4 ? le32(f, fd.at) : (uint8_t(f[fd.at]) | uint8_t(f[fd.at + 1]) << 8);
        EXPECT_EQ(v, fd.value) << "offset " << fd.at;
    }
    // Bottom row first, stored as blue, green, red, then a zero pad byte.
    const uint8_t expect[12] = {12, 22, 32, 0, 11, 21, 31, 0, 10, 20, 30, 0};
    EXPECT_EQ(0, std::memcmp(f.data() + 54, expect, 12));
}

// Rows of a sixth of the writer's block go out a few at a time:
// every block keeps the bottom-up order and the zero padding.
TEST(ImageWriters, BmpOfWideRowsByteForByte)
{
    const int w = 19999, h = 9;  // 59,997 bytes a row and three padding bytes
    Bitmap b(bitmap_create(w, h));
    ASSERT_NE(b, nullptr);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++)
            for (int k = 0; k < 3; k++)
                px(b.get(), x, y)[k] = uint8_t(x * 7 + y * 13 + k);
        std::memset(px(b.get(), w, y), 0xEE, 3);  // padding
    }
    const size_t stride = 3 * size_t(w) + 3;
    std::string expected;
    for (int y = h - 1; y >= 0; y--) {
        expected.append(reinterpret_cast<const char *>(px(b.get(), 0, y)), 3 * size_t(w));
        expected.append(3, '\0');
    }
    const std::string path = testsupport::scratch_path("wide.bmp");
    ASSERT_EQ(write_bmp(path.c_str(), b.get()), 0);
    const std::string f = testsupport::read_file(path);
    ASSERT_EQ(f.size(), 54 + stride * h);
    EXPECT_TRUE(f.substr(54) == expected);
}

TEST(ImageWriters, JpegReadsBackWithLibjpeg)
{
    Bitmap b(bitmap_create(33, 17));
    bitmap_fill(b.get(), 200, 40, 90);  // red 200, green 40, blue 90
    for (int quality : {0, 75, 150}) {
        const std::string path = testsupport::scratch_path("q" + std::to_string(quality) + ".jpg");
        ASSERT_EQ(write_jpeg(path.c_str(), b.get(), quality), 0);
        FILE *f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        jpeg_decompress_struct d;
        jpeg_error_mgr err;
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_stdio_src(&d, f);
        ASSERT_EQ(jpeg_read_header(&d, TRUE), JPEG_HEADER_OK);
        EXPECT_EQ(d.jpeg_color_space, JCS_YCbCr);
        jpeg_start_decompress(&d);
        EXPECT_EQ(d.output_width, 33u);
        EXPECT_EQ(d.output_height, 17u);
        std::vector<uint8_t> row(33 * 3);
        JSAMPROW rp = row.data();
        while (d.output_scanline < d.output_height)
            jpeg_read_scanlines(&d, &rp, 1);
        // A flat colour survives; quality 1 quantises the DC terms coarsely.
        const int tolerance = quality < 1 ? 24 : 6;
        EXPECT_NEAR(row[0], 200, tolerance) << quality;
        EXPECT_NEAR(row[1], 40, tolerance) << quality;
        EXPECT_NEAR(row[2], 90, tolerance) << quality;
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        std::fclose(f);
    }
    const std::string low = testsupport::read_file(testsupport::scratch_path("q0.jpg"));
    const std::string high = testsupport::read_file(testsupport::scratch_path("q150.jpg"));
    EXPECT_LT(low.size(), high.size()) << "quality 0 is written as 1, 150 as 100";
}

// A page written band by band gives the very file the whole image gives,
// whatever the band heights (BMP stores rows bottom-up, so every band lands
// before the bands above it).
TEST(ImageWriters, BandsWriteTheFileOfTheWholeImage)
{
    Bitmap whole(bitmap_create(7, 13));  // 21 bytes a row: 3 padding bytes
    paint_gradient(whole.get());
    struct Format {
        ImageFormat format;
        int (*write)(const char *, const PageBitmap *);
    } formats[] = {
        {IMAGE_BMP, write_bmp},
        {IMAGE_PNG, write_png},
        {IMAGE_JPEG, [](const char *path, const PageBitmap *b) { return write_jpeg(path, b, 90); }},
    };
    const std::vector<int> heights[] = {
        {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},  // row by row
        {5, 5, 3},                                // a short last band
        {12, 1},
    };
    for (const Format &f : formats) {
        const std::string expected_path = testsupport::scratch_path("whole.img");
        ASSERT_EQ(f.write(expected_path.c_str(), whole.get()), 0) << f.format;
        const std::string expected = testsupport::read_file(expected_path);
        for (const std::vector<int> &bands : heights) {
            const std::string path = testsupport::scratch_path("banded.img");
            ImageWriter *w = image_writer_open(path.c_str(), f.format, 7, 13, 90);
            ASSERT_NE(w, nullptr);
            int y = 0;
            for (int rows : bands) {
                Bitmap band(bitmap_scale_band(whole.get(), 7, 13, y, rows));  // a crop
                EXPECT_EQ(image_writer_write(w, band.get()), 0);
                y += rows;
            }
            EXPECT_EQ(image_writer_close(w), 0);
            EXPECT_TRUE(testsupport::read_file(path) == expected)
                << "format " << f.format << ", " << bands.size() << " bands";
        }
    }
}

// A writer reports the image it could not complete.
TEST(ImageWriters, IncompleteOrFailedImagesReportMinusOne)
{
    Bitmap rows3(bitmap_create(4, 3));
    bitmap_fill(rows3.get(), 1, 2, 3);
    Bitmap wide(bitmap_create(5, 1));
    bitmap_fill(wide.get(), 1, 2, 3);
    const std::string path = testsupport::scratch_path("part.img");
    for (ImageFormat format : {IMAGE_BMP, IMAGE_PNG, IMAGE_JPEG}) {
        // Closed with rows missing.
        ImageWriter *w = image_writer_open(path.c_str(), format, 4, 4, 90);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(image_writer_write(w, rows3.get()), 0);
        EXPECT_EQ(image_writer_close(w), -1) << format;
        // More rows than the image has, and a band of another width.
        w = image_writer_open(path.c_str(), format, 4, 2, 90);
        EXPECT_EQ(image_writer_write(w, rows3.get()), -1) << format;
        EXPECT_EQ(image_writer_close(w), -1) << format;
        w = image_writer_open(path.c_str(), format, 4, 1, 90);
        EXPECT_EQ(image_writer_write(w, wide.get()), -1) << format;
        EXPECT_EQ(image_writer_close(w), -1) << format;
#ifndef _WIN32
        // A device that takes no bytes: the error shows at the latest on close.
        EXPECT_EQ(format == IMAGE_BMP   ? write_bmp("/dev/full", rows3.get())
                  : format == IMAGE_PNG ? write_png("/dev/full", rows3.get())
                                        : write_jpeg("/dev/full", rows3.get(), 90),
                  -1)
            << format;
#endif
    }
    // Sizes the formats cannot hold.
    EXPECT_EQ(image_writer_open(path.c_str(), IMAGE_PNG, BITMAP_MAX_SIDE + 1, 1, 0), nullptr);
    EXPECT_EQ(image_writer_open(path.c_str(), IMAGE_PNG, 1, 0, 0), nullptr);
    EXPECT_EQ(image_writer_open(path.c_str(), IMAGE_JPEG, 1, 65501, 90), nullptr);
    EXPECT_EQ(image_writer_open(path.c_str(), IMAGE_BMP, BITMAP_MAX_SIDE, 100000, 0), nullptr);
    EXPECT_EQ(image_writer_close(nullptr), -1);
}

TEST(ImageWriters, BadArgumentsReturnMinusOne)
{
    Bitmap b(bitmap_create(2, 2));
    bitmap_fill(b.get(), 1, 2, 3);
    const std::string missing = testsupport::scratch_path("no/such/folder/x");
    EXPECT_EQ(write_bmp((missing + ".bmp").c_str(), b.get()), -1);
    EXPECT_EQ(write_png((missing + ".png").c_str(), b.get()), -1);
    EXPECT_EQ(write_jpeg((missing + ".jpg").c_str(), b.get(), 90), -1);
    const std::string ok = testsupport::scratch_path("null");
    EXPECT_EQ(write_bmp(ok.c_str(), nullptr), -1);
    EXPECT_EQ(write_png(ok.c_str(), nullptr), -1);
    EXPECT_EQ(write_jpeg(ok.c_str(), nullptr, 90), -1);
}

}  // namespace
