// Comparing our pages with other renderers' (mutool draw, pdftoppm): their
// PPM output, our bitmaps in the same RGB order, and PSNR between the two.
// POSIX only, like command_support.h: the Windows builds never include this.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "command_support.h"
#include "test_support.h"

namespace testsupport {

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top-down rows of red, green, blue
};

// Binary PPM (P6, maxval 255) as written by mutool and pdftoppm.
inline bool read_ppm(const std::string &path, RgbImage *out)
{
    std::string data = read_file(path);
    std::istringstream in(data);
    std::string magic;
    int maxval = 0;
    in >> magic >> out->width >> out->height >> maxval;
    if (magic != "P6" || maxval != 255 || out->width <= 0 || out->height <= 0)
        return false;
    in.get();
    size_t at = size_t(in.tellg());
    size_t n = size_t(out->width) * size_t(out->height) * 3;
    if (data.size() < at + n)
        return false;
    out->rgb.assign(data.begin() + long(at), data.begin() + long(at + n));
    return true;
}

inline RgbImage rgb_from_bitmap(const PageBitmap *bm)
{
    RgbImage im;
    im.width = bm->width;
    im.height = bm->height;
    im.rgb.resize(size_t(bm->width) * size_t(bm->height) * 3);
    for (int y = 0; y < bm->height; y++)
        for (int x = 0; x < bm->width; x++) {
            const uint8_t *p = bm->pixels + y * bm->stride + 3 * x;
            uint8_t *q = &im.rgb[(size_t(y) * size_t(bm->width) + size_t(x)) * 3];
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    return im;
}

// PSNR over the common area (sizes may differ by a rounding pixel); 99 for
// identical images, -1 when the sizes differ by more than one pixel.
inline double psnr(const RgbImage &a, const RgbImage &b)
{
    if (std::abs(a.width - b.width) > 1 || std::abs(a.height - b.height) > 1)
        return -1;
    int w = std::min(a.width, b.width), h = std::min(a.height, b.height);
    double sum = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < 3 * w; x++) {
            int d = int(a.rgb[size_t(y) * size_t(a.width) * 3 + size_t(x)]) -
                    int(b.rgb[size_t(y) * size_t(b.width) * 3 + size_t(x)]);
            sum += d * d;
        }
    double mse = sum / (3.0 * w * h);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

inline bool have_oracle_renderers()
{
    return std::system("mutool -v >/dev/null 2>&1") == 0 &&
           std::system("pdftoppm -v >/dev/null 2>&1") == 0;
}

// Page `page` (1-based) of `file` at `dpi` drawn by mutool (`pdftoppm` false)
// or pdftoppm, opened with `password` (user or owner) when one is given;
// false when the program drew nothing.
inline bool oracle_render(const std::string &file, int page, int dpi, bool pdftoppm, RgbImage *out,
                          const std::string &password = "")
{
    const std::string base = scratch_path(pdftoppm ? "oracle.pp" : "oracle.mu");
    const std::string p = std::to_string(page), d = std::to_string(dpi), q = "'" + file + "'";
    const std::string pw = "'" + password + "'";
    std::remove((base + ".ppm").c_str());
    std::string command =
        pdftoppm ? "timeout 60 pdftoppm -r " + d + " -f " + p + " -l " + p +
                       (password.empty() ? "" : " -opw " + pw + " -upw " + pw) + " -singlefile " + q +
                       " " + base
                 : "timeout 60 mutool draw -q -r " + d + (password.empty() ? "" : " -p " + pw) +
                       " -o " + base + ".ppm " + q + " " + p;
    int status = 0;
    run_command(command + " >/dev/null 2>&1", &status);
    return read_ppm(base + ".ppm", out);
}

}  // namespace testsupport
