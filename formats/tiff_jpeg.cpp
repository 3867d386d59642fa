// JPEG-compressed TIFF images (TIFF 6.0 section 22 and Technical Note 2):
// strips or tiles that are JPEG images of their own, completed by the shared
// JPEGTables where there are some, and old-style files whose strips continue
// one scan begun by the JPEGInterchangeFormat header. Decoding goes through the
// engine's DCT filter.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "bitmap/bitmap.h"
#include "formats/limits.h"
#include "formats/tiff_internal.h"
#include "pdf/filters.h"

namespace {

struct Frame {
    int width, height;
    uint64_t sof_at;  // offset of the frame header's marker
    bool has_scan;  // a start-of-scan marker follows the frame header
};

// Walks the markers from byte 2 to the first frame header (and on to a scan);
// false when there is no frame or its size is outside 1..TIFF_MAX_SIDE.
bool read_frame(const uint8_t *d, uint64_t n, Frame *fr)
{
    *fr = Frame{};
    bool found = false;
    uint64_t i = 2;
    while (i + 1 < n) {
        if (d[i] != 0xFF) {
            i++;
            continue;
        }
        const uint8_t m = d[i + 1];
        if (m == 0xFF || m == 0x00) {
            i++;
            continue;
        }
        if ((m >= 0xD0 && m <= 0xD9) || m == 0x01) {
            i += 2;
            continue;
        }
        if (i + 3 >= n)
            break;
        const uint64_t len = uint64_t(d[i + 2]) << 8 | d[i + 3];
        if (m == 0xDA) {
            fr->has_scan = true;
            break;
        }
        if (!found && m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC && i + 8 < n) {
            fr->height = d[i + 5] << 8 | d[i + 6];
            fr->width = d[i + 7] << 8 | d[i + 8];
            fr->sof_at = i;
            found = true;
        }
        i += 2 + len;
    }
    return found && fr->width >= 1 && fr->width <= TIFF_MAX_SIDE && fr->height >= 1 && fr->height <= TIFF_MAX_SIDE;
}

// Decodes one JPEG image and copies at most max_w x max_h of it to (x0, y0);
// false when its header cannot be read.
bool paint_jpeg(const uint8_t *d, uint64_t n, int transform, PageBitmap *page, int x0, int y0, int max_w, int max_h)
{
    Frame fr;
    if (!read_frame(d, n, &fr))
        return false;
    ByteReader *src = reader_open_memory(d, int64_t(n));
    if (!src)
        return false;
    DctParams params;
    params.components = 3;
    params.color_transform = transform;
    ByteReader *r = pdf_filter_dct(src, params);
    if (!r) {
        reader_close(src);
        return false;
    }
    const int comps = pdf_dct_output_components(r);
    uint8_t *row = comps > 0 ? static_cast<uint8_t *>(std::malloc(size_t(fr.width) * size_t(comps))) : nullptr;
    const int row_len = fr.width * comps;
    int w = fr.width < max_w ? fr.width : max_w;
    if (w > page->width - x0)
        w = page->width - x0;
    for (int y = 0; row && y < fr.height && y < max_h && y0 + y < page->height; y++) {
        int got = reader_read(r, row, row_len);
        if (got <= 0)
            break;
        std::memset(row + got, 255, size_t(row_len - got));
        uint8_t *out = page->pixels + int64_t(y0 + y) * page->stride + 3 * int64_t(x0);
        for (int x = 0; x < w; x++, out += 3) {
            const uint8_t *p = row + x * comps;
            if (comps == 1) {
                out[0] = out[1] = out[2] = p[0];
            } else if (comps == 3) {
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            } else {  // CMYK
                const int k = 255 - p[3];
                out[0] = uint8_t((255 - p[2]) * k / 255);
                out[1] = uint8_t((255 - p[1]) * k / 255);
                out[2] = uint8_t((255 - p[0]) * k / 255);
            }
        }
    }
    std::free(row);
    reader_close_chain(r);
    return comps > 0;
}

// The bytes of unit i cut to the file end; false when it has none.
bool unit_bytes(const TiffFile &f, const TiffImage &img, uint64_t i, const uint8_t **d, uint64_t *n)
{
    if (i >= img.unit_count || img.offsets[i] >= f.size)
        return false;
    uint64_t len = i < img.count_count ? img.counts[i] : 0;
    if (len > f.size - img.offsets[i])
        len = f.size - img.offsets[i];
    *d = f.data + img.offsets[i];
    *n = len;
    return len > 1;
}

bool starts_jpeg(const uint8_t *d, uint64_t n) { return n >= 2 && d[0] == 0xFF && d[1] == 0xD8; }

// Old-style JPEG whose strips hold no image of their own: the header at
// JPEGInterchangeFormat either carries the whole image, or the strips carry
// its scan. The first strip then opens with the start-of-scan segment and each
// strip restarts the entropy coding: every strip is decoded as the header
// (its frame height set to the strip's rows, so that the last row of a strip
// is not blended with rows it does not have), that segment and its own data.
// Strips without that segment are taken as one scan in pieces.
bool paint_old_style(const TiffFile &f, const TiffImage &img, int transform, PageBitmap *page)
{
    if (!img.jpeg_if_given || img.jpeg_if_at >= f.size)
        return false;
    const uint8_t *head = f.data + img.jpeg_if_at;
    const uint64_t to_end = f.size - img.jpeg_if_at;
    uint64_t head_len = img.jpeg_if_len == 0 || img.jpeg_if_len > to_end ? to_end : img.jpeg_if_len;
    Frame fr;
    if (!starts_jpeg(head, head_len) || !read_frame(head, head_len, &fr))
        return false;
    if (fr.has_scan)
        return paint_jpeg(head, to_end, transform, page, 0, 0, page->width, page->height);
    if (head_len >= 2 && head[head_len - 2] == 0xFF && head[head_len - 1] == 0xD9)
        head_len -= 2;
    const uint8_t *d0 = nullptr;
    uint64_t n0 = 0;
    uint64_t sos_len = 0;
    if (unit_bytes(f, img, 0, &d0, &n0) && n0 >= 4 && d0[0] == 0xFF && d0[1] == 0xDA)
        sos_len = 2 + (uint64_t(d0[2]) << 8 | d0[3]);
    if (sos_len > n0)
        return false;
    const bool per_strip = sos_len > 0 && !img.tiled && img.unit_count > 1;
    uint64_t total = head_len + 2;
    for (uint64_t i = 0; i < img.unit_count; i++) {
        const uint8_t *d;
        uint64_t n;
        if (unit_bytes(f, img, i, &d, &n))
            total = per_strip ? std::max(total, head_len + sos_len + n + 2) : total + n;
    }
    if (total > f.size + sos_len + 2)
        return false;  // strips that overlap or repeat: not one scan
    auto *buf = static_cast<uint8_t *>(std::malloc(size_t(total)));
    if (!buf)
        return false;
    std::memcpy(buf, head, size_t(head_len));
    uint64_t at = head_len;
    bool any = false;
    for (uint64_t i = 0; i < img.unit_count; i++) {
        const uint8_t *d;
        uint64_t n;
        if (!unit_bytes(f, img, i, &d, &n))
            continue;
        if (per_strip) {
            at = head_len;
            if (i > 0) {
                std::memcpy(buf + at, d0, size_t(sos_len));
                at += sos_len;
            }
        }
        std::memcpy(buf + at, d, size_t(n));
        at += n;
        const int64_t y0 = int64_t(i) * img.rows_per_strip;
        if (per_strip && y0 < page->height) {
            buf[at] = 0xFF;
            buf[at + 1] = 0xD9;
            const int64_t rows = std::min<int64_t>(img.rows_per_strip, page->height - y0);
            buf[fr.sof_at + 5] = uint8_t(rows >> 8);
            buf[fr.sof_at + 6] = uint8_t(rows);
            any |= paint_jpeg(buf, at + 2, transform, page, 0, int(y0), page->width, int(rows));
        }
    }
    if (!per_strip) {
        buf[at++] = 0xFF;
        buf[at++] = 0xD9;
        any = paint_jpeg(buf, at, transform, page, 0, 0, page->width, page->height);
    }
    std::free(buf);
    return any;
}

}  // namespace

bool tiff_decode_jpeg(const TiffFile &f, const TiffImage &img, PageBitmap *page)
{
    // YCbCr data is transformed; RGB data was stored without the transform.
    const int transform = img.photometric == 6 ? 1 : img.photometric == 2 ? 0 : -1;
    const uint8_t *tables = img.jpeg_tables_len >= 5 ? f.data + img.jpeg_tables_at : nullptr;
    const uint64_t tables_len = tables ? img.jpeg_tables_len : 0;
    const uint8_t *d0 = nullptr;
    uint64_t n0 = 0;
    const bool first = unit_bytes(f, img, 0, &d0, &n0);
    if (img.compression == TIFF_OJPEG && !(first && starts_jpeg(d0, n0)) && !tables)
        return paint_old_style(f, img, transform, page);
    if (img.unit_count == 1 && !tables && !img.tiled) {
        if (img.offsets[0] >= f.size)
            return false;
        return paint_jpeg(f.data + img.offsets[0], f.size - img.offsets[0], transform, page, 0, 0, page->width,
                          page->height);
    }
    const int unit_w = img.tiled ? img.tile_width : img.width;
    const int unit_h = img.tiled ? img.tile_height : img.rows_per_strip;
    if (unit_w < 1 || unit_h < 1)
        return false;
    const uint64_t across = uint64_t((img.width + unit_w - 1) / unit_w);
    const uint64_t units = across * uint64_t((img.height + unit_h - 1) / unit_h);
    bool any = false;
    uint8_t *buf = nullptr;
    for (uint64_t i = 0; i < units && i < img.unit_count; i++) {
        const uint8_t *d;
        uint64_t n;
        if (!unit_bytes(f, img, i, &d, &n))
            continue;
        const int x0 = int(i % across) * unit_w, y0 = int(i / across) * unit_h;
        if (!tables) {
            any |= paint_jpeg(d, n, transform, page, x0, y0, unit_w, unit_h);
            continue;
        }
        // SOI, the tables without their SOI and EOI, the unit without its SOI.
        const uint64_t total = 2 + (tables_len - 4) + (n - 2);
        auto *grown = static_cast<uint8_t *>(std::realloc(buf, size_t(total)));
        if (!grown)
            break;
        buf = grown;
        buf[0] = 0xFF;
        buf[1] = 0xD8;
        std::memcpy(buf + 2, tables + 2, size_t(tables_len - 4));
        std::memcpy(buf + 2 + (tables_len - 4), d + 2, size_t(n - 2));
        any |= paint_jpeg(buf, total, transform, page, x0, y0, unit_w, unit_h);
    }
    std::free(buf);
    return any;
}
