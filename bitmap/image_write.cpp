// Page image writers for export and the command-line renderer: BMP (24-bit,
// bottom-up), PNG (PNG 1.2, zlib level 6) and JPEG (libjpeg, baseline
// tables), each fed band by band so that memory stays one band.
#include "bitmap/bitmap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csetjmp>
#include <cstdint>

#include <zlib.h>
extern "C" {
#include <jpeglib.h>
}

namespace {

constexpr size_t kPngChunk = 64 << 10;  // deflated bytes per IDAT chunk
// BMP bytes handed to the file at once (whole rows): a few large writes cost
// the system about half of what a write per row does.
constexpr size_t kBmpBlock = 256 << 10;
constexpr int kJpegMaxSide = 65500;     // the largest side a JPEG frame header takes

// libjpeg's standard error manager ends the process on a fatal error; this
// one jumps back into the writer call that was running, which reports -1.
struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf escape;
};

void jpeg_error_exit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegError *>(cinfo->err)->escape, 1);
}

}  // namespace

struct ImageWriter {
    ImageFormat format;
    FILE *file;
    int width, height;
    int rows_done;
    bool failed;      // a write failed; nothing more is written
    uint8_t *row;     // one converted row (BMP: block_rows rows of stride bytes, zero padded)
    int block_rows;   // BMP: rows written at once
    // BMP: the file offset the stream stands at, so that a write that needs
    // no seek (a whole image at once) works on unseekable outputs too.
    uint64_t position;
    // PNG
    z_stream zs;
    bool deflating;
    uint8_t *packed;  // kPngChunk bytes of deflated data awaiting an IDAT
    // JPEG
    jpeg_compress_struct cinfo;
    JpegError jerr;
    bool compressing;
};

namespace {

int bmp_stride(int width) { return (3 * width + 3) & ~3; }

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

// Writes n bytes or marks the writer failed.
bool put(ImageWriter *w, const void *data, size_t n)
{
    if (w->failed)
        return false;
    if (n && std::fwrite(data, 1, n, w->file) != n)
        w->failed = true;
    return !w->failed;
}

bool seek_to(ImageWriter *w, uint64_t offset)
{
    if (w->failed)
        return false;
    if (offset == w->position)
        return true;
#ifdef _WIN32
    const bool ok = _fseeki64(w->file, int64_t(offset), SEEK_SET) == 0;
#else
    const bool ok = fseeko(w->file, off_t(offset), SEEK_SET) == 0;
#endif
    if (!ok)
        w->failed = true;
    else
        w->position = offset;
    return ok;
}

bool png_chunk(ImageWriter *w, const char *type, const uint8_t *data, uint32_t length)
{
    uint8_t head[8];
    put_be32(head, length);
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(type), 4);
    if (length)
        crc = crc32(crc, data, length);
    uint8_t tail[4];
    put_be32(tail, uint32_t(crc));
    return put(w, head, 8) && put(w, data, length) && put(w, tail, 4);
}

// Runs deflate over the pending input with `flush`, emitting an IDAT for
// every full output buffer (and for the rest at Z_FINISH).
bool png_deflate(ImageWriter *w, int flush)
{
    for (;;) {
        const int zrc = deflate(&w->zs, flush);
        if (zrc == Z_STREAM_ERROR) {
            w->failed = true;
            return false;
        }
        const size_t have = kPngChunk - w->zs.avail_out;
        const bool done = flush == Z_FINISH ? zrc == Z_STREAM_END
                                            : w->zs.avail_in == 0 && w->zs.avail_out > 0;
        if (w->zs.avail_out == 0 || (done && flush == Z_FINISH && have > 0)) {
            if (!png_chunk(w, "IDAT", w->packed, uint32_t(have)))
                return false;
            w->zs.next_out = w->packed;
            w->zs.avail_out = uInt(kPngChunk);
        }
        if (done)
            return true;
    }
}

bool open_bmp(ImageWriter *w)
{
    const uint64_t image_size = uint64_t(bmp_stride(w->width)) * uint64_t(w->height);
    if (54 + image_size > UINT32_MAX)
        return false;
    uint8_t h[54] = {'B', 'M'};
    put_le(h + 2, uint32_t(54 + image_size), 4);
    put_le(h + 10, 54, 4);
    put_le(h + 14, 40, 4);
    put_le(h + 18, uint32_t(w->width), 4);
    put_le(h + 22, uint32_t(w->height), 4);  // positive: rows bottom-up
    put_le(h + 26, 1, 2);
    put_le(h + 28, 24, 2);
    put_le(h + 34, uint32_t(image_size), 4);
    put_le(h + 38, 2835, 4);  // 72 dpi in pixels per metre
    put_le(h + 42, 2835, 4);
    const size_t stride = size_t(bmp_stride(w->width));
    const size_t rows = kBmpBlock / stride > 0 ? kBmpBlock / stride : 1;
    w->block_rows = rows < size_t(w->height) ? int(rows) : w->height;
    w->row = static_cast<uint8_t *>(std::calloc(size_t(w->block_rows), stride));
    if (!w->row || !put(w, h, sizeof h))
        return false;
    w->position = sizeof h;
    return true;
}

// A band's rows occupy one stretch of the bottom-up file, its last row first.
bool write_bmp_rows(ImageWriter *w, const PageBitmap *band)
{
    const size_t stride = size_t(bmp_stride(w->width));
    const int below = w->height - w->rows_done - band->height;  // rows under the band
    if (!seek_to(w, 54 + uint64_t(below) * stride))
        return false;
    // Rows go out in blocks of up to w->block_rows, last row first; our own
    // padding bytes may hold anything, the file's are zero.
    for (int y = band->height - 1; y >= 0;) {
        int n = 0;
        for (; n < w->block_rows && y >= 0; n++, y--)
            std::memcpy(w->row + size_t(n) * stride, band->pixels + size_t(y) * band->stride,
                        size_t(3 * w->width));
        if (!put(w, w->row, stride * size_t(n)))
            return false;
    }
    w->position += stride * size_t(band->height);
    return true;
}

bool open_png(ImageWriter *w)
{
    w->row = static_cast<uint8_t *>(std::malloc(1 + 3 * size_t(w->width)));
    w->packed = static_cast<uint8_t *>(std::malloc(kPngChunk));
    if (!w->row || !w->packed || deflateInit(&w->zs, 6) != Z_OK)
        return false;
    w->deflating = true;
    w->zs.next_out = w->packed;
    w->zs.avail_out = uInt(kPngChunk);
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t ihdr[13] = {};
    put_be32(ihdr, uint32_t(w->width));
    put_be32(ihdr + 4, uint32_t(w->height));
    ihdr[8] = 8;  // bit depth
    ihdr[9] = 2;  // truecolour
    return put(w, signature, 8) && png_chunk(w, "IHDR", ihdr, 13);
}

bool write_png_rows(ImageWriter *w, const PageBitmap *band)
{
    for (int y = 0; y < band->height; y++) {
        const uint8_t *s = band->pixels + size_t(y) * band->stride;
        uint8_t *d = w->row;
        *d++ = 0;  // filter type None
        for (int x = 0; x < w->width; x++, s += 3, d += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
        w->zs.next_in = w->row;
        w->zs.avail_in = uInt(1 + 3 * w->width);
        if (!png_deflate(w, Z_NO_FLUSH))
            return false;
    }
    return true;
}

bool finish_png(ImageWriter *w)
{
    return png_deflate(w, Z_FINISH) && png_chunk(w, "IEND", nullptr, 0);
}

// The three JPEG steps each catch libjpeg's errors themselves: the jump
// must land in a function that is still running.
bool open_jpeg(ImageWriter *w, int quality)
{
    w->row = static_cast<uint8_t *>(std::malloc(3 * size_t(w->width)));
    if (!w->row)
        return false;
    w->cinfo.err = jpeg_std_error(&w->jerr.mgr);
    w->jerr.mgr.error_exit = jpeg_error_exit;
    if (setjmp(w->jerr.escape))
        return false;
    jpeg_create_compress(&w->cinfo);
    w->compressing = true;
    jpeg_stdio_dest(&w->cinfo, w->file);
    w->cinfo.image_width = JDIMENSION(w->width);
    w->cinfo.image_height = JDIMENSION(w->height);
    w->cinfo.input_components = 3;
    w->cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&w->cinfo);
    jpeg_set_quality(&w->cinfo, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
    jpeg_start_compress(&w->cinfo, TRUE);
    return true;
}

bool write_jpeg_rows(ImageWriter *w, const PageBitmap *band)
{
    if (setjmp(w->jerr.escape))
        return false;
    for (int y = 0; y < band->height; y++) {
        const uint8_t *s = band->pixels + size_t(y) * band->stride;
        for (int x = 0; x < w->width; x++) {
            w->row[3 * x] = s[3 * x + 2];
            w->row[3 * x + 1] = s[3 * x + 1];
            w->row[3 * x + 2] = s[3 * x];
        }
        JSAMPROW rows[1] = {w->row};
        jpeg_write_scanlines(&w->cinfo, rows, 1);
    }
    return true;
}

bool finish_jpeg(ImageWriter *w)
{
    if (setjmp(w->jerr.escape))
        return false;
    jpeg_finish_compress(&w->cinfo);  // flushes the stream and checks it
    return true;
}

void release(ImageWriter *w)
{
    if (w->deflating)
        deflateEnd(&w->zs);
    if (w->compressing)
        jpeg_destroy_compress(&w->cinfo);
    std::free(w->row);
    std::free(w->packed);
    std::free(w);
}

}  // namespace

int image_max_height(ImageFormat format, int width)
{
    if (width < 1 || width > BITMAP_MAX_SIDE)
        return 0;
    if (format == IMAGE_JPEG)
        return kJpegMaxSide;
    if (format == IMAGE_BMP) {
        // The file size is a 32-bit field: 54 header bytes and the rows.
        const uint64_t rows = (uint64_t(UINT32_MAX) - 54) / uint64_t(bmp_stride(width));
        return rows > uint64_t(INT32_MAX) ? INT32_MAX : int(rows);
    }
    return format == IMAGE_PNG ? INT32_MAX : 0;
}

namespace {

bool request_valid(ImageFormat format, int width, int height)
{
    return height >= 1 && height <= image_max_height(format, width);
}

}  // namespace

ImageWriter *image_writer_open_file(FILE *file, ImageFormat format, int width, int height,
                                    int quality)
{
    if (!file)
        return nullptr;
    auto *w = request_valid(format, width, height)
                  ? static_cast<ImageWriter *>(std::calloc(1, sizeof(ImageWriter)))
                  : nullptr;
    if (!w) {
        std::fclose(file);
        return nullptr;
    }
    w->format = format;
    w->width = width;
    w->height = height;
    w->file = file;
    bool ok = format == IMAGE_BMP ? open_bmp(w)
              : format == IMAGE_PNG ? open_png(w)
                                    : open_jpeg(w, quality);
    if (!ok) {
        std::fclose(w->file);
        release(w);
        return nullptr;
    }
    return w;
}

ImageWriter *image_writer_open(const char *path, ImageFormat format, int width, int height,
                               int quality)
{
    if (!path || !request_valid(format, width, height))
        return nullptr;
    FILE *file = std::fopen(path, "wb");
    return file ? image_writer_open_file(file, format, width, height, quality) : nullptr;
}

int image_writer_write(ImageWriter *w, const PageBitmap *band)
{
    if (!w || w->failed)
        return -1;
    if (!band || !band->pixels || band->width != w->width || band->height < 1 ||
        band->height > w->height - w->rows_done) {
        w->failed = true;
        return -1;
    }
    bool ok = w->format == IMAGE_BMP ? write_bmp_rows(w, band)
              : w->format == IMAGE_PNG ? write_png_rows(w, band)
                                       : write_jpeg_rows(w, band);
    if (!ok) {
        w->failed = true;
        return -1;
    }
    w->rows_done += band->height;
    return 0;
}

int image_writer_close(ImageWriter *w)
{
    if (!w)
        return -1;
    bool ok = !w->failed && w->rows_done == w->height;
    if (ok && w->format == IMAGE_PNG)
        ok = finish_png(w);
    else if (ok && w->format == IMAGE_JPEG)
        ok = finish_jpeg(w);
    // The last bytes reach the file (and their errors show) only here.
    if (std::fflush(w->file) != 0 || std::ferror(w->file))
        ok = false;
    if (std::fclose(w->file) != 0)
        ok = false;
    release(w);
    return ok ? 0 : -1;
}

namespace {

int write_whole(const char *path, const PageBitmap *bm, ImageFormat format, int quality)
{
    if (!bm || bm->width <= 0 || bm->height <= 0 || !bm->pixels || !path)
        return -1;
    ImageWriter *w = image_writer_open(path, format, bm->width, bm->height, quality);
    if (!w)
        return -1;
    int rc = image_writer_write(w, bm);
    return image_writer_close(w) == 0 && rc == 0 ? 0 : -1;
}

}  // namespace

int write_bmp(const char *path, const PageBitmap *bm) { return write_whole(path, bm, IMAGE_BMP, 0); }

int write_png(const char *path, const PageBitmap *bm) { return write_whole(path, bm, IMAGE_PNG, 0); }

int write_jpeg(const char *path, const PageBitmap *bm, int quality)
{
    return write_whole(path, bm, IMAGE_JPEG, quality);
}
