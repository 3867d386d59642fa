// Images for comparisons with other renderers: PPM files as mutool and
// pdftoppm write them, our bitmaps in the same layout, and their PSNR.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PageBitmap;

namespace testsupport {

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // R, G, B per pixel, rows top down
};

// Binary PPM (P6, maxval 255) as written by mutool and pdftoppm.
bool read_ppm(const std::string &path, Image *out);
Image from_bitmap(const PageBitmap *bm);
// PSNR over the common area (sizes may differ by a rounding pixel); 99 for
// identical images, -1 when the sizes differ by more than one pixel.
double psnr(const Image &a, const Image &b);

}  // namespace testsupport
