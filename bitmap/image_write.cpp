// Page image writers for export: BMP (24-bit, bottom-up), PNG (one IDAT,
// zlib level 6, PNG 1.2) and JPEG (libjpeg, baseline tables).
#include "bitmap/bitmap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csetjmp>
#include <memory>

#include <zlib.h>
extern "C" {
#include <jpeglib.h>
}

namespace {

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

bool bitmap_usable(const PageBitmap *bm)
{
    return bm && bm->width > 0 && bm->height > 0 && bm->pixels;
}

void put_le(uint8_t *p, uint32_t v, int n)
{
    for (int i = 0; i < n; i++)
        p[i] = uint8_t(v >> (8 * i));
}

void put_be32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

void write_png_chunk(FILE *f, const char *type, const uint8_t *data, uint32_t length)
{
    uint8_t head[8];
    put_be32(head, length);
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(type), 4);
    if (length)
        crc = crc32(crc, data, length);
    uint8_t tail[4];
    put_be32(tail, uint32_t(crc));
    std::fwrite(head, 1, 8, f);
    if (length)
        std::fwrite(data, 1, length, f);
    std::fwrite(tail, 1, 4, f);
}

}  // namespace

int write_bmp(const char *path, const PageBitmap *bm)
{
    if (!bitmap_usable(bm) || !path)
        return -1;
    File f(std::fopen(path, "wb"));
    if (!f)
        return -1;
    const uint32_t image_size = uint32_t(bm->stride) * uint32_t(bm->height);
    uint8_t h[54] = {'B', 'M'};
    put_le(h + 2, 54 + image_size, 4);
    put_le(h + 10, 54, 4);
    put_le(h + 14, 40, 4);
    put_le(h + 18, uint32_t(bm->width), 4);
    put_le(h + 22, uint32_t(bm->height), 4);
    put_le(h + 26, 1, 2);
    put_le(h + 28, 24, 2);
    put_le(h + 34, image_size, 4);
    put_le(h + 38, 2835, 4);  // 72 dpi in pixels per metre
    put_le(h + 42, 2835, 4);
    std::fwrite(h, 1, sizeof h, f.get());

    // Rows bottom-up with zeroed padding (our own padding bytes may hold anything).
    std::unique_ptr<uint8_t, FreeDeleter> row(static_cast<uint8_t *>(std::calloc(1, size_t(bm->stride))));
    if (!row)
        return -1;
    for (int y = bm->height - 1; y >= 0; y--) {
        std::memcpy(row.get(), bm->pixels + size_t(y) * bm->stride, size_t(3 * bm->width));
        std::fwrite(row.get(), 1, size_t(bm->stride), f.get());
    }
    return 0;
}

int write_png(const char *path, const PageBitmap *bm)
{
    if (!bitmap_usable(bm) || !path)
        return -1;
    const size_t row_bytes = 1 + 3 * size_t(bm->width);
    const size_t raw_size = row_bytes * size_t(bm->height);
    std::unique_ptr<uint8_t, FreeDeleter> raw(static_cast<uint8_t *>(std::malloc(raw_size)));
    if (!raw)
        return -1;
    for (int y = 0; y < bm->height; y++) {
        const uint8_t *s = bm->pixels + size_t(y) * bm->stride;
        uint8_t *d = raw.get() + size_t(y) * row_bytes;
        *d++ = 0;  // filter type None
        for (int x = 0; x < bm->width; x++, s += 3, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
    }
    uLongf packed_size = compressBound(uLong(raw_size));
    std::unique_ptr<uint8_t, FreeDeleter> packed(static_cast<uint8_t *>(std::malloc(packed_size)));
    if (!packed)
        return -1;
    if (compress2(packed.get(), &packed_size, raw.get(), uLong(raw_size), 6) != Z_OK)
        return -1;
    raw.reset();

    File f(std::fopen(path, "wb"));
    if (!f)
        return -1;
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::fwrite(signature, 1, 8, f.get());
    uint8_t ihdr[13] = {};
    put_be32(ihdr, uint32_t(bm->width));
    put_be32(ihdr + 4, uint32_t(bm->height));
    ihdr[8] = 8;  // bit depth
    ihdr[9] = 2;  // truecolour
    write_png_chunk(f.get(), "IHDR", ihdr, 13);
    write_png_chunk(f.get(), "IDAT", packed.get(), uint32_t(packed_size));
    write_png_chunk(f.get(), "IEND", nullptr, 0);
    return 0;
}

namespace {

// libjpeg's standard error manager ends the process on a fatal error; this one
// returns to write_jpeg instead, which then reports -1.
struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf escape;
};

void jpeg_error_exit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError *>(cinfo->err)->escape, 1);
}

}  // namespace

int write_jpeg(const char *path, const PageBitmap *bm, int quality)
{
    if (!bitmap_usable(bm) || !path)
        return -1;
    if (quality < 1)
        quality = 1;
    if (quality > 100)
        quality = 100;
    FILE *f = std::fopen(path, "wb");
    if (!f)
        return -1;
    JSAMPLE *row = static_cast<JSAMPLE *>(std::malloc(3 * size_t(bm->width)));
    if (!row) {
        std::fclose(f);
        return -1;
    }
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpeg_error_exit;
    if (setjmp(err.escape)) {
        jpeg_destroy_compress(&cinfo);
        std::free(row);
        std::fclose(f);
        return -1;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = JDIMENSION(bm->width);
    cinfo.image_height = JDIMENSION(bm->height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t *s = bm->pixels + size_t(cinfo.next_scanline) * bm->stride;
        for (int x = 0; x < bm->width; x++) {
            row[3 * x] = s[3 * x + 2];
            row[3 * x + 1] = s[3 * x + 1];
            row[3 * x + 2] = s[3 * x];
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::free(row);
    std::fclose(f);
    return 0;
}
