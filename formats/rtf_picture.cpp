// Pictures of RTF documents: PNG (8-bit grey, RGB or RGBA, not interlaced)
// and JPEG data, checked at parse time from their headers and decoded only
// when a page that shows them is drawn, through the engine's Flate, PNG
// predictor and DCT filters, within a budget of decoded pixels.
#include <cstdlib>
#include <cstring>

#include "bitmap/bitmap.h"
#include "formats/rtf_internal.h"
#include "pdf/filters.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Deflate turns at most about 1032 bytes into one: compressed data shorter
// than the rows divided by that cannot hold the image its header claims.
constexpr uint64_t kDeflateMaxRatio = 1032;
// A baseline or progressive JPEG spends at least one bit on each 8 x 8 block
// of its first component.
constexpr uint64_t kJpegPixelsPerByte = 8 * 64;

uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

struct PngInfo {
    int width, height, channels;
    uint64_t idat_bytes;
};

// Walks the chunks to IEND (or the data end); calls `idat` for each IDAT.
template <typename F>
bool png_chunks(const uint8_t *d, size_t n, PngInfo *info, F idat)
{
    if (n < 33 || std::memcmp(d, kPngSignature, 8) != 0 || std::memcmp(d + 12, "IHDR", 4) != 0)
        return false;
    const uint32_t w = be32(d + 16), h = be32(d + 20);
    const int depth = d[24], type = d[25], interlace = d[28];
    if (w < 1 || h < 1 || w > uint32_t(RTF_MAX_PICTURE_SIDE) || h > uint32_t(RTF_MAX_PICTURE_SIDE) || depth != 8 ||
        (type != 0 && type != 2 && type != 6) || interlace != 0)
        return false;
    *info = PngInfo{int(w), int(h), type == 0 ? 1 : type == 2 ? 3 : 4, 0};
    size_t at = 8;
    while (at + 8 <= n) {
        const uint64_t len = be32(d + at);
        const uint8_t *type_at = d + at + 4;
        if (len > n - at - 8)
            break;  // a cut chunk ends the data
        if (std::memcmp(type_at, "IDAT", 4) == 0) {
            info->idat_bytes += len;
            idat(d + at + 8, size_t(len));
        } else if (std::memcmp(type_at, "IEND", 4) == 0) {
            break;
        }
        at += 8 + size_t(len) + 4;
    }
    return true;
}

bool png_header(const uint8_t *d, size_t n, int *w, int *h)
{
    PngInfo info;
    if (!png_chunks(d, n, &info, [](const uint8_t *, size_t) {}))
        return false;
    const uint64_t raw = uint64_t(info.height) * (1 + uint64_t(info.width) * uint64_t(info.channels));
    if (info.idat_bytes * kDeflateMaxRatio < raw)
        return false;
    *w = info.width;
    *h = info.height;
    return true;
}

bool jpeg_header(const uint8_t *d, size_t n, int *w, int *h)
{
    if (n < 4 || d[0] != 0xFF || d[1] != 0xD8)
        return false;
    size_t i = 2;
    while (i + 3 < n) {
        if (d[i] != 0xFF) {
            i++;
            continue;
        }
        const uint8_t m = d[i + 1];
        if (m == 0xFF || m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD8)) {
            i += m == 0xFF ? 1 : 2;
            continue;
        }
        if (m == 0xD9 || m == 0xDA)
            return false;  // no frame header before the scan
        const size_t len = size_t(d[i + 2]) << 8 | d[i + 3];
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
            if (i + 8 >= n)
                return false;
            const int height = d[i + 5] << 8 | d[i + 6], width = d[i + 7] << 8 | d[i + 8];
            if (width < 1 || height < 1 || width > RTF_MAX_PICTURE_SIDE || height > RTF_MAX_PICTURE_SIDE ||
                uint64_t(n) * kJpegPixelsPerByte < uint64_t(width) * uint64_t(height))
                return false;
            *w = width;
            *h = height;
            return true;
        }
        i += 2 + len;
    }
    return false;
}

// Rows of `comps` bytes a pixel (1 grey, 3 RGB, 4 RGBA or CMYK) from a
// reader into a new bitmap; rows the data do not fill stay white.
PageBitmap *read_rows(ByteReader *r, int width, int height, int comps, bool cmyk)
{
    PageBitmap *bm = bitmap_create(width, height);
    const size_t row_len = size_t(width) * size_t(comps);
    uint8_t *row = static_cast<uint8_t *>(std::malloc(row_len));
    if (!bm || !row) {
        bitmap_free(bm);
        std::free(row);
        return nullptr;
    }
    bitmap_fill(bm, 255, 255, 255);
    for (int y = 0; y < height; y++) {
        const int got = reader_read(r, row, int(row_len));
        if (got <= 0)
            break;
        std::memset(row + got, 255, row_len - size_t(got));
        uint8_t *out = bm->pixels + size_t(y) * size_t(bm->stride);
        for (int x = 0; x < width; x++, out += 3) {
            const uint8_t *p = row + size_t(x) * size_t(comps);
            if (comps == 1) {
                out[0] = out[1] = out[2] = p[0];
            } else if (cmyk) {
                const int k = 255 - p[3];
                out[0] = uint8_t((255 - p[2]) * k / 255);
                out[1] = uint8_t((255 - p[1]) * k / 255);
                out[2] = uint8_t((255 - p[0]) * k / 255);
            } else {  // RGB, alpha ignored
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            }
        }
    }
    std::free(row);
    return bm;
}

PageBitmap *decode_png(const std::vector<uint8_t> &data)
{
    PngInfo info;
    std::vector<uint8_t> idat;
    if (!png_chunks(data.data(), data.size(), &info,
                    [&](const uint8_t *p, size_t n) { idat.insert(idat.end(), p, p + n); }))
        return nullptr;
    ByteReader *src = reader_open_memory(idat.data(), int64_t(idat.size()));
    ByteReader *flate = src ? pdf_filter_flate(src) : nullptr;
    if (!flate) {
        reader_close(src);
        return nullptr;
    }
    PredictorParams params;
    params.predictor = 15;
    params.colors = info.channels;
    params.bits_per_component = 8;
    params.columns = info.width;
    ByteReader *rows = pdf_filter_predictor(flate, params);
    if (!rows) {
        reader_close_chain(flate);
        return nullptr;
    }
    PageBitmap *bm = read_rows(rows, info.width, info.height, info.channels, false);
    reader_close_chain(rows);
    return bm;
}

PageBitmap *decode_jpeg(const std::vector<uint8_t> &data, int width, int height)
{
    ByteReader *src = reader_open_memory(data.data(), int64_t(data.size()));
    if (!src)
        return nullptr;
    DctParams params;
    params.components = 3;
    ByteReader *r = pdf_filter_dct(src, params);
    if (!r) {
        reader_close(src);
        return nullptr;
    }
    const int comps = pdf_dct_output_components(r);
    PageBitmap *bm = comps == 1 || comps == 3 || comps == 4 ? read_rows(r, width, height, comps, comps == 4) : nullptr;
    reader_close_chain(r);
    return bm;
}

}  // namespace

bool rtf_picture_header(int kind, const uint8_t *data, size_t size, int *width, int *height)
{
    if (kind == RTF_PICT_PNG)
        return png_header(data, size, width, height);
    if (kind == RTF_PICT_JPEG)
        return jpeg_header(data, size, width, height);
    return false;
}

PageBitmap *rtf_picture_bitmap(RtfDoc *doc, int index, const std::vector<int> &keep)
{
    if (index < 0 || size_t(index) >= doc->pictures.size())
        return nullptr;
    RtfPicture &pic = doc->pictures[size_t(index)];
    if (pic.bitmap || pic.failed || pic.kind == RTF_PICT_OTHER)
        return pic.bitmap;
    const int64_t need = int64_t(pic.px_w) * pic.px_h;
    if (doc->decoded_pixels + need > RTF_PICTURE_PIXEL_BUDGET) {
        // Pictures of other pages make room.
        for (size_t i = 0; i < doc->pictures.size(); i++) {
            RtfPicture &other = doc->pictures[i];
            bool wanted = false;
            for (int k : keep)
                wanted = wanted || size_t(k) == i;
            if (other.bitmap && !wanted) {
                doc->decoded_pixels -= int64_t(other.bitmap->width) * other.bitmap->height;
                bitmap_free(other.bitmap);
                other.bitmap = nullptr;
            }
        }
        if (doc->decoded_pixels + need > RTF_PICTURE_PIXEL_BUDGET)
            return nullptr;
    }
    pic.bitmap = pic.kind == RTF_PICT_PNG ? decode_png(pic.data) : decode_jpeg(pic.data, pic.px_w, pic.px_h);
    if (!pic.bitmap) {
        pic.failed = true;
        return nullptr;
    }
    doc->decoded_pixels += int64_t(pic.bitmap->width) * pic.bitmap->height;
    return pic.bitmap;
}
