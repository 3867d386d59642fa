// The PNG writer's output decoded by libpng, an independent reader: whole
// images, images written band by band, and the command-line renderer's
// banded pages against the page rendered whole.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "command_support.h"
#include "pdf/document.h"
#include "pdf_builder.h"
#include "render/page.h"
#include "test_support.h"

namespace {

// Decodes a PNG file with libpng into top-down RGB rows; false on failure.
bool read_png_rgb(const std::string &path, int *w, int *h, std::vector<uint8_t> *rgb)
{
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str()))
        return false;
    img.format = PNG_FORMAT_RGB;
    *w = int(img.width);
    *h = int(img.height);
    rgb->assign(PNG_IMAGE_SIZE(img), 0);
    return png_image_finish_read(&img, nullptr, rgb->data(), 0, nullptr) != 0;
}

// Rows first .. first + rows - 1 of `bm` equal the decoded RGB image.
::testing::AssertionResult same_pixels(const PageBitmap *bm, int first, int rows,
                                       const std::vector<uint8_t> &rgb)
{
    if (rgb.size() != size_t(bm->width) * size_t(rows) * 3)
        return ::testing::AssertionFailure() << "decoded size " << rgb.size();
    for (int y = 0; y < rows; y++)
        for (int x = 0; x < bm->width; x++) {
            const uint8_t *q = &rgb[(size_t(y) * bm->width + x) * 3];
            const uint8_t *p = bm->pixels + size_t(first + y) * bm->stride + 3 * x;
            if (q[0] != p[2] || q[1] != p[1] || q[2] != p[0])
                return ::testing::AssertionFailure() << "first difference at " << x << "," << y;
        }
    return ::testing::AssertionSuccess();
}

TEST(ImageWriters, PngReadsBackWithLibpng)
{
    struct Size {
        int w, h;
    } sizes[] = {{1, 1}, {3, 2}, {101, 37}};
    for (const Size &sz : sizes) {
        PageBitmap *b = bitmap_create(sz.w, sz.h);
        for (int y = 0; y < sz.h; y++)
            for (int x = 0; x < sz.w; x++) {
                uint8_t *p = b->pixels + y * b->stride + 3 * x;
                p[0] = uint8_t(10 + x);  // blue
                p[1] = uint8_t(20 + y);  // green
                p[2] = uint8_t(30 + x + y);  // red
            }
        const std::string path = testsupport::scratch_path("rb" + std::to_string(sz.w) + ".png");
        ASSERT_EQ(write_png(path.c_str(), b), 0);

        int pw = 0, ph = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(read_png_rgb(path, &pw, &ph, &rgb));
        EXPECT_EQ(pw, sz.w);
        EXPECT_EQ(ph, sz.h);
        EXPECT_TRUE(same_pixels(b, 0, sz.h, rgb)) << sz.w;
        bitmap_free(b);
    }
}

// Written band by band with an image large enough for several IDAT chunks.
TEST(ImageWriters, BandedPngOfManyChunksReadsBack)
{
    PageBitmap *b = bitmap_create(613, 301);
    uint32_t seed = 12345;  // noise: barely compressible, about 550 kB of IDAT data
    for (int y = 0; y < b->height; y++)
        for (int x = 0; x < 3 * b->width; x++) {
            seed = seed * 1103515245u + 12345u;
            b->pixels[y * b->stride + x] = uint8_t(seed >> 24);
        }
    const std::string path = testsupport::scratch_path("banded.png");
    ImageWriter *w = image_writer_open(path.c_str(), IMAGE_PNG, b->width, b->height, 0);
    ASSERT_NE(w, nullptr);
    for (int y = 0; y < b->height; y += 37) {
        PageBitmap *band = bitmap_scale_band(b, b->width, b->height, y, 37);  // a crop
        EXPECT_EQ(image_writer_write(w, band), 0);
        bitmap_free(band);
    }
    ASSERT_EQ(image_writer_close(w), 0);
    int pw = 0, ph = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(read_png_rgb(path, &pw, &ph, &rgb));
    EXPECT_EQ(pw, b->width);
    EXPECT_EQ(ph, b->height);
    EXPECT_TRUE(same_pixels(b, 0, b->height, rgb));
    bitmap_free(b);
}

// `pagrix-render render` draws a page in bands streamed to the file; the
// image equals the page rendered whole, byte for byte, and so does a --band.
TEST(RenderCommand, BandedOutputEqualsWholePage)
{
    const std::string tool = testsupport::pagrix_render_path();
    if (tool.empty())
        GTEST_SKIP() << "pagrix-render not built";
    // A wide page: 2400 x 400 pt at 216 dpi is 7200 x 1200 pixels, which the
    // tool renders in several bands. Strokes, curves, an even-odd fill and a
    // clip all cross the band edges.
    std::string content = "q 1 0 0 RG 3 w 1 J ";
    for (int i = 0; i < 40; i++)
        content += std::to_string(60 * i) + " 0 m " + std::to_string(60 * i + 300) + " 400 l ";
    content += "S Q q 0 0.5 0 rg 200 200 m 200 420 600 420 600 200 c 600 -20 200 -20 200 200 c "
               "400 100 m 900 350 l 1300 20 l h f* Q "
               "q 1500 50 m 2300 50 l 1900 390 l h W n 0 0 1 rg 1400 0 1000 400 re f Q "
               "q 0.2 0.2 0.2 rg 3 0 0 3 0 0 cm 10 10 m 790 123 l 10 124 l f Q";
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 2400 400] /Contents 4 0 R >>");
    b.stream(4, "", content);
    b.startxref(b.xref_section("/Size 5 /Root 1 0 R"));
    const std::string path = testsupport::scratch_path("wide.pdf");
    ASSERT_TRUE(b.write(path));

    PdfDoc *pdf = nullptr;
    ASSERT_EQ(pdf_open(&pdf, path.c_str(), nullptr), 0);
    PageBitmap *whole = nullptr;
    ASSERT_EQ(render_page(pdf, 0, 3.0f, 0, 0, &whole), 0);
    ASSERT_EQ(whole->width, 7200);
    ASSERT_EQ(whole->height, 1200);

    struct Row {
        const char *args;
        int first, rows;  // the page rows the image should hold
    } rows[] = {
        {"", 0, 1200},
        {" --band 333:700", 333, 700},
        {" --band 1000:900", 1000, 200},  // cut at the page bottom
    };
    for (const Row &row : rows) {
        const std::string out = testsupport::scratch_path("wide.png");
        int status = -1;
        testsupport::run_command(tool + " render " + path + " --dpi 216 -o " + out + row.args,
                                 &status);
        ASSERT_EQ(status, 0) << row.args;
        int pw = 0, ph = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(read_png_rgb(out, &pw, &ph, &rgb)) << row.args;
        EXPECT_EQ(pw, 7200) << row.args;
        EXPECT_EQ(ph, row.rows) << row.args;
        EXPECT_TRUE(same_pixels(whole, row.first, row.rows, rgb)) << row.args;
    }
    // The other writers give the files their whole-image forms give.
    for (const char *format : {"bmp", "jpeg"}) {
        const std::string out = testsupport::scratch_path(std::string("wide.") + format);
        const std::string ref = testsupport::scratch_path(std::string("whole.") + format);
        int status = -1;
        testsupport::run_command(tool + " render " + path + " --dpi 216 -o " + out, &status);
        ASSERT_EQ(status, 0) << format;
        ASSERT_EQ(std::string(format) == "bmp" ? write_bmp(ref.c_str(), whole)
                                               : write_jpeg(ref.c_str(), whole, 90),
                  0);
        EXPECT_TRUE(testsupport::read_file(out) == testsupport::read_file(ref)) << format;
    }
    bitmap_free(whole);
    pdf_close(pdf);
}

}  // namespace
