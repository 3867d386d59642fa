// The PNG writer's output decoded by libpng, an independent reader.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "bitmap/bitmap.h"
#include "test_support.h"

namespace {

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

        png_image img;
        std::memset(&img, 0, sizeof img);
        img.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&img, path.c_str())) << img.message;
        EXPECT_EQ(int(img.width), sz.w);
        EXPECT_EQ(int(img.height), sz.h);
        img.format = PNG_FORMAT_RGB;
        std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(img));
        ASSERT_TRUE(png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) << img.message;
        for (int y = 0; y < sz.h; y++)
            for (int x = 0; x < sz.w; x++) {
                const uint8_t *q = &rgb[(y * sz.w + x) * 3];
                const uint8_t *p = b->pixels + y * b->stride + 3 * x;
                ASSERT_EQ(q[0], p[2]) << x << "," << y;
                ASSERT_EQ(q[1], p[1]);
                ASSERT_EQ(q[2], p[0]);
            }
        bitmap_free(b);
    }
}

}  // namespace
