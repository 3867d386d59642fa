// PageBitmap creation, fill, quarter-turn rotation and bilinear band resampling.
#include "bitmap/bitmap.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

PageBitmap *bitmap_create(int width, int height)
{
    if (width < 1 || width > BITMAP_MAX_SIDE || height < 1 || height > BITMAP_MAX_SIDE)
        return nullptr;
    auto *bm = static_cast<PageBitmap *>(std::calloc(1, sizeof(PageBitmap)));
    if (!bm)
        return nullptr;
    bm->width = width;
    bm->height = height;
    bm->stride = (3 * width + 3) & ~3;
    bm->pixels = static_cast<uint8_t *>(std::malloc(size_t(bm->stride) * size_t(height)));
    if (!bm->pixels) {
        std::free(bm);
        return nullptr;
    }
    bm->dirty_top = height;
    bm->dirty_bottom = 0;
    return bm;
}

void bitmap_free(PageBitmap *bitmap)
{
    if (!bitmap)
        return;
    std::free(bitmap->pixels);
    std::free(bitmap);
}

void bitmap_fill(PageBitmap *bitmap, int red, int green, int blue)
{
    if (!bitmap)
        return;
    uint8_t *row = bitmap->pixels;
    for (int x = 0; x < bitmap->width; x++) {
        row[3 * x] = uint8_t(blue);
        row[3 * x + 1] = uint8_t(green);
        row[3 * x + 2] = uint8_t(red);
    }
    std::memset(row + 3 * bitmap->width, uint8_t(blue), size_t(bitmap->stride - 3 * bitmap->width));
    for (int y = 1; y < bitmap->height; y++)
        std::memcpy(bitmap->pixels + size_t(y) * bitmap->stride, row, size_t(bitmap->stride));
    if (bitmap->dirty_top > 0)
        bitmap->dirty_top = 0;
    if (bitmap->dirty_bottom < bitmap->height)
        bitmap->dirty_bottom = bitmap->height;
}

PageBitmap *bitmap_rotate(const PageBitmap *src, int quarter_turns)
{
    if (!src)
        return nullptr;
    const int turns = quarter_turns & 3;
    const int w = src->width, h = src->height;
    PageBitmap *dst = (turns & 1) ? bitmap_create(h, w) : bitmap_create(w, h);
    if (!dst)
        return nullptr;
    if (turns == 0) {
        std::memcpy(dst->pixels, src->pixels, size_t(src->stride) * size_t(h));
        return dst;
    }
    // Padding bytes stay defined; every pixel is written below.
    std::memset(dst->pixels, 0, size_t(dst->stride) * size_t(dst->height));
    for (int y = 0; y < h; y++) {
        const uint8_t *s = src->pixels + size_t(y) * src->stride;
        for (int x = 0; x < w; x++, s += 3) {
            int dx, dy;
            if (turns == 1) {
                dx = h - 1 - y;
                dy = x;
            } else if (turns == 2) {
                dx = w - 1 - x;
                dy = h - 1 - y;
            } else {
                dx = y;
                dy = w - 1 - x;
            }
            uint8_t *d = dst->pixels + size_t(dy) * dst->stride + size_t(dx) * 3;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
    return dst;
}

namespace {

// Source sample position for one target coordinate: index, next index, weight.
struct Tap {
    int i0, i1;
    double f;
};

Tap bilinear_tap(int target, int src_size, int dst_size)
{
    double s = (target + 0.5) * src_size / dst_size - 0.5;
    if (s < 0)
        s = 0;
    int i = int(s);
    if (i > src_size - 1)
        i = src_size - 1;
    Tap t;
    t.i0 = i;
    t.f = s - i;
    t.i1 = (i + 1 < src_size) ? i + 1 : i;
    return t;
}

}  // namespace

PageBitmap *bitmap_scale_band(const PageBitmap *src, int dst_width, int dst_height, int y0, int rows)
{
    if (!src || src->width <= 0 || src->height <= 0 || dst_width <= 0)
        return nullptr;
    if (y0 < 0)
        y0 = 0;
    if (int64_t(y0) + rows > dst_height)
        rows = dst_height - y0;
    if (rows <= 0)
        return nullptr;
    PageBitmap *dst = bitmap_create(dst_width, rows);
    if (!dst)
        return nullptr;
    std::memset(dst->pixels, 0, size_t(dst->stride) * size_t(rows));

    // Column taps are the same for every row; compute them once.
    Tap *cols = static_cast<Tap *>(std::malloc(sizeof(Tap) * size_t(dst_width)));
    if (!cols) {
        bitmap_free(dst);
        return nullptr;
    }
    for (int i = 0; i < dst_width; i++)
        cols[i] = bilinear_tap(i, src->width, dst_width);

    for (int j = 0; j < rows; j++) {
        const Tap ty = bilinear_tap(y0 + j, src->height, dst_height);
        const uint8_t *r0 = src->pixels + size_t(ty.i0) * src->stride;
        const uint8_t *r1 = src->pixels + size_t(ty.i1) * src->stride;
        uint8_t *d = dst->pixels + size_t(j) * dst->stride;
        for (int i = 0; i < dst_width; i++) {
            const Tap &tx = cols[i];
            for (int c = 0; c < 3; c++) {
                double top = r0[3 * tx.i0 + c] * (1 - tx.f) + r0[3 * tx.i1 + c] * tx.f;
                double bottom = r1[3 * tx.i0 + c] * (1 - tx.f) + r1[3 * tx.i1 + c] * tx.f;
                d[3 * i + c] = uint8_t(int(top * (1 - ty.f) + bottom * ty.f + 0.5));
            }
        }
    }
    std::free(cols);
    return dst;
}
