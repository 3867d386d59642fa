// Images for comparisons with other renderers.
#include "image_compare.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "bitmap/bitmap.h"
#include "test_support.h"

namespace testsupport {

bool read_ppm(const std::string &path, Image *out)
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

Image from_bitmap(const PageBitmap *bm)
{
    Image im;
    im.width = bm->width;
    im.height = bm->height;
    im.rgb.resize(size_t(bm->width) * size_t(bm->height) * 3);
    for (int y = 0; y < bm->height; y++)
        for (int x = 0; x < bm->width; x++) {
            const uint8_t *p = bm->pixels + size_t(y) * size_t(bm->stride) + 3 * size_t(x);
            uint8_t *q = &im.rgb[(size_t(y) * size_t(bm->width) + size_t(x)) * 3];
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    return im;
}

double psnr(const Image &a, const Image &b)
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

}  // namespace testsupport
