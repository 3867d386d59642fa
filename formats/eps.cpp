// EPS documents: one raster page taken from the file's preview. The DOS EPS
// binary header points at a TIFF preview; EPSI files carry a hexadecimal
// bitmap in "%" comment lines; anything else gets a placeholder page.
#include "formats/eps.h"

#include <cstdlib>
#include <cstring>

#include "bitmap/bitmap.h"
#include "formats/file_bytes.h"
#include "formats/limits.h"
#include "formats/tiff.h"
#include "pdf/object.h"

struct EpsDoc {
    const uint8_t *data;
    int64_t size;
    uint8_t *owned;  // the file's bytes when eps_open read them
};

namespace {

constexpr int64_t DOS_HEADER_MIN = 30;
constexpr int PLACEHOLDER_W = 400, PLACEHOLDER_H = 300;
constexpr int PLACEHOLDER_MIN_W = 120, PLACEHOLDER_MIN_H = 90;
constexpr int PLACEHOLDER_MAX_W = 800, PLACEHOLDER_MAX_H = 1000;
constexpr int FRAME_GREY = 150;

uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

bool has_dos_header(const EpsDoc *doc)
{
    static const uint8_t kMagic[4] = {0xC5, 0xD0, 0xD3, 0xC6};
    return doc->size >= DOS_HEADER_MIN && std::memcmp(doc->data, kMagic, 4) == 0;
}

// The TIFF preview's bytes, when the header names a range inside the file.
// Offset and length are compared separately so that their sum cannot wrap.
bool tiff_preview_range(const EpsDoc *doc, int64_t *offset, int64_t *length)
{
    if (!has_dos_header(doc))
        return false;
    *offset = le32(doc->data + 20);
    *length = le32(doc->data + 24);
    return *offset >= 1 && *length >= 1 && *offset <= doc->size && *length <= doc->size - *offset;
}

// Position just past the first occurrence of `key`, or -1.
int64_t find_after(const EpsDoc *doc, const char *key)
{
    size_t n = std::strlen(key);
    const uint8_t *p = doc->data, *end = doc->data + doc->size;
    while (size_t(end - p) >= n) {
        const void *hit = std::memchr(p, key[0], size_t(end - p) - n + 1);
        if (!hit)
            return -1;
        p = static_cast<const uint8_t *>(hit);
        if (std::memcmp(p, key, n) == 0)
            return (p - doc->data) + int64_t(n);
        p++;
    }
    return -1;
}

// Up to `max` integers from the rest of a line of at most `window` bytes,
// separated by spaces or tabs; the count read. Values saturate instead of
// overflowing.
int read_line_ints(const EpsDoc *doc, int64_t pos, int window, int64_t *out, int max)
{
    int64_t end = pos + window < doc->size ? pos + window : doc->size;
    int count = 0;
    while (count < max) {
        while (pos < end && (doc->data[pos] == ' ' || doc->data[pos] == '\t'))
            pos++;
        bool negative = false;
        if (pos < end && (doc->data[pos] == '-' || doc->data[pos] == '+'))
            negative = doc->data[pos++] == '-';
        if (pos >= end || doc->data[pos] < '0' || doc->data[pos] > '9')
            break;
        int64_t v = 0;
        while (pos < end && doc->data[pos] >= '0' && doc->data[pos] <= '9') {
            if (v < (int64_t(1) << 40))
                v = v * 10 + (doc->data[pos] - '0');
            pos++;
        }
        out[count++] = negative ? -v : v;
    }
    return count;
}

void put_grey(PageBitmap *page, int x, int y, int grey)
{
    uint8_t *px = page->pixels + int64_t(y) * page->stride + x * 3;
    px[0] = px[1] = px[2] = uint8_t(grey);
}

// Reads the preview's hexadecimal data from `pos` on: each data line starts
// with "%", a row's bytes may span several lines, and a line starting "%%"
// (the "%%EndPreview" comment) ends the data.
class HexReader {
  public:
    HexReader(const EpsDoc *doc, int64_t pos) : doc_(doc), pos_(pos) {}

    // The next byte, or -1 at the end of the data.
    int next()
    {
        int high = -1;
        while (pos_ < doc_->size) {
            uint8_t c = doc_->data[pos_];
            if (c == '\r' || c == '\n') {
                in_line_ = false;
                pos_++;
                continue;
            }
            if (!in_line_) {
                if (!enter_line())
                    return -1;
                continue;
            }
            pos_++;
            int v = pdf_hex_value(c);
            if (v < 0)
                continue;
            if (high < 0) {
                high = v;
                continue;
            }
            return high << 4 | v;
        }
        return -1;
    }

  private:
    // Moves past the "%" that starts the next data line; false at the end.
    bool enter_line()
    {
        while (pos_ < doc_->size && doc_->data[pos_] != '%')
            pos_++;
        if (pos_ + 1 >= doc_->size || doc_->data[pos_ + 1] == '%')
            return false;
        pos_++;
        in_line_ = true;
        return true;
    }

    const EpsDoc *doc_;
    int64_t pos_;
    bool in_line_ = false;  // the "%" line of the BeginPreview comment is skipped first
};

// The EPSI preview: 0 is white and the largest value black.
PageBitmap *render_epsi(const EpsDoc *doc)
{
    int64_t pos = find_after(doc, "%%BeginPreview:");
    if (pos < 0)
        return nullptr;
    int64_t v[4];
    if (read_line_ints(doc, pos, 79, v, 4) < 3)
        return nullptr;
    int64_t width = v[0], height = v[1], depth = v[2];
    if (width < 1 || width > EPS_MAX_PREVIEW_SIDE || height < 1 || height > EPS_MAX_PREVIEW_SIDE ||
        (depth != 1 && depth != 2 && depth != 4 && depth != 8))
        return nullptr;
    PageBitmap *page = bitmap_create(int(width), int(height));
    if (!page)
        return nullptr;
    bitmap_fill(page, 255, 255, 255);
    while (pos < doc->size && doc->data[pos] != '\r' && doc->data[pos] != '\n')
        pos++;
    HexReader reader(doc, pos);
    const int bits = int(depth), max_value = (1 << bits) - 1;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width;) {
            int byte = reader.next();
            if (byte < 0)
                return page;  // the rows read so far; the rest stays white
            for (int shift = 8 - bits; shift >= 0 && x < width; shift -= bits, x++)
                put_grey(page, x, y, 255 - ((byte >> shift) & max_value) * 255 / max_value);
        }
    }
    return page;
}

// The placeholder's size from the first "%%BoundingBox:" comment, scaled
// down to fit 800 x 1000 and at least 120 x 90; 400 x 300 without one.
void placeholder_size(const EpsDoc *doc, int *width, int *height)
{
    *width = PLACEHOLDER_W;
    *height = PLACEHOLDER_H;
    int64_t pos = find_after(doc, "%%BoundingBox:");
    int64_t box[4];
    if (pos < 0 || read_line_ints(doc, pos, 63, box, 4) < 4)
        return;
    int64_t w = box[2] - box[0], h = box[3] - box[1];
    if (w < 1 || w > EPS_MAX_BOX_SIDE || h < 1 || h > EPS_MAX_BOX_SIDE)
        return;
    double scale = 1;
    if (w > PLACEHOLDER_MAX_W || h > PLACEHOLDER_MAX_H) {
        double sx = double(PLACEHOLDER_MAX_W) / double(w), sy = double(PLACEHOLDER_MAX_H) / double(h);
        scale = sx < sy ? sx : sy;
    }
    int sw = int(double(w) * scale), sh = int(double(h) * scale);
    *width = sw > PLACEHOLDER_MIN_W ? sw : PLACEHOLDER_MIN_W;
    *height = sh > PLACEHOLDER_MIN_H ? sh : PLACEHOLDER_MIN_H;
}

PageBitmap *render_placeholder(const EpsDoc *doc, EpsTextPainter painter)
{
    int width, height;
    placeholder_size(doc, &width, &height);
    PageBitmap *page = bitmap_create(width, height);
    if (!page)
        return nullptr;
    bitmap_fill(page, 255, 255, 255);
    for (int x = 0; x < width; x++) {
        put_grey(page, x, 0, FRAME_GREY);
        put_grey(page, x, height - 1, FRAME_GREY);
    }
    for (int y = 0; y < height; y++) {
        put_grey(page, 0, y, FRAME_GREY);
        put_grey(page, width - 1, y, FRAME_GREY);
    }
    if (painter) {
        painter(page, "EPS - No preview available", width / 2, height / 2 - 4, 15);
        painter(page, "(PostScript is not rendered)", width / 2, height / 2 + 12, 11);
    }
    return page;
}

}  // namespace

EpsDoc *eps_open_memory(const uint8_t *data, int64_t size)
{
    if (!data || size < EPS_MIN_FILE || size > EPS_MAX_FILE)
        return nullptr;
    auto *doc = static_cast<EpsDoc *>(std::calloc(1, sizeof(EpsDoc)));
    if (!doc)
        return nullptr;
    doc->data = data;
    doc->size = size;
    return doc;
}

EpsDoc *eps_open(const char *path)
{
    int64_t size = 0;
    uint8_t *data = formats_read_file(path, EPS_MIN_FILE, EPS_MAX_FILE, &size);
    EpsDoc *doc = eps_open_memory(data, size);
    if (!doc) {
        std::free(data);
        return nullptr;
    }
    doc->owned = data;
    return doc;
}

void eps_close(EpsDoc *doc)
{
    if (!doc)
        return;
    std::free(doc->owned);
    std::free(doc);
}

PageBitmap *eps_render(EpsDoc *doc, EpsTextPainter painter, int *dpi_x, int *dpi_y, EpsSource *source)
{
    EpsSource unused;
    if (!source)
        source = &unused;
    *dpi_x = *dpi_y = 72;
    int64_t offset, length;
    if (tiff_preview_range(doc, &offset, &length)) {
        int dx = 0, dy = 0;
        if (PageBitmap *page = tiff_decode_memory(doc->data + offset, length, &dx, &dy)) {
            if (dx > 0 && dy > 0) {
                *dpi_x = dx;
                *dpi_y = dy;
            }
            *source = EPS_TIFF_PREVIEW;
            return page;
        }
    }
    *source = EPS_EPSI_PREVIEW;
    if (PageBitmap *page = render_epsi(doc))
        return page;
    *source = EPS_PLACEHOLDER;
    return render_placeholder(doc, painter);
}
