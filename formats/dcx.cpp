// DCX fax documents: a table of page offsets followed by PCX images (ZSoft PCX
// 3.0, run-length encoded scanlines of 1, 4 or 8 bits in up to four planes).
#include <cstdlib>
#include <cstring>

#include "bitmap/bitmap.h"
#include "formats/file_bytes.h"
#include "formats/limits.h"
#include "formats/tiff.h"

struct DcxDoc {
    uint8_t *data;
    int64_t size;
    int pages;
    uint32_t offsets[DCX_MAX_PAGES];
};

namespace {

constexpr int PCX_HEADER = 128;
constexpr uint32_t DCX_MAGIC = 987654321;

uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Run-length decoding of one scanline from data[*pos .. end). A run that goes
// on past the end of the scanline continues on the next one (*carry bytes of
// *carry_byte still to write): encoders that do not cut runs at row ends
// mean the rest for the following row. Missing data leaves zeros.
void decode_scanline(const uint8_t *data, int64_t end, int64_t *pos, uint8_t *line, int n, int *carry,
                     uint8_t *carry_byte)
{
    int x = 0;
    while (x < n && *carry > 0) {
        line[x++] = *carry_byte;
        (*carry)--;
    }
    while (x < n && *pos < end) {
        uint8_t b = data[(*pos)++];
        if ((b & 0xC0) == 0xC0) {
            int count = b & 0x3F;
            if (*pos >= end)
                break;
            uint8_t v = data[(*pos)++];
            int here = count < n - x ? count : n - x;
            std::memset(line + x, v, size_t(here));
            x += here;
            *carry = count - here;
            *carry_byte = v;
        } else {
            line[x++] = b;
        }
    }
    if (x < n)
        std::memset(line + x, 0, size_t(n - x));
}

void put_rgb(uint8_t *out, const uint8_t *rgb)
{
    out[0] = rgb[2];
    out[1] = rgb[1];
    out[2] = rgb[0];
}

}  // namespace

PageBitmap *pcx_decode(const uint8_t *data, int64_t size, int *dpi_x, int *dpi_y)
{
    if (dpi_x)
        *dpi_x = 0;
    if (dpi_y)
        *dpi_y = 0;
    if (!data || size < PCX_HEADER || data[0] != 0x0A)
        return nullptr;
    const int bits = data[3];
    const int width = int(le16(data + 8)) - int(le16(data + 4)) + 1;
    const int height = int(le16(data + 10)) - int(le16(data + 6)) + 1;
    const uint8_t *header_palette = data + 16;
    const int planes = data[65];
    const int line_bytes = le16(data + 66);
    if (dpi_x)
        *dpi_x = le16(data + 12);
    if (dpi_y)
        *dpi_y = le16(data + 14);
    if (width < 1 || width > PCX_MAX_SIDE || height < 1 || height > PCX_MAX_SIDE || planes < 1 || planes > 4 ||
        (bits != 1 && bits != 4 && bits != 8) || line_bytes == 0 || line_bytes < (width * bits + 7) / 8 ||
        line_bytes * planes > PCX_MAX_SCANLINE)
        return nullptr;
    int64_t end = size;
    const uint8_t *palette256 = nullptr;
    if (bits == 8 && planes == 1 && size - PCX_HEADER > 768 && data[size - 769] == 0x0C) {
        palette256 = data + size - 768;
        end = size - 769;
    }
    const int scan = line_bytes * planes;
    auto *line = static_cast<uint8_t *>(std::malloc(size_t(scan)));
    PageBitmap *page = line ? bitmap_create(width, height) : nullptr;
    if (!page) {
        std::free(line);
        return nullptr;
    }
    int64_t pos = PCX_HEADER;
    int carry = 0;
    uint8_t carry_byte = 0;
    for (int y = 0; y < height; y++) {
        decode_scanline(data, end, &pos, line, scan, &carry, &carry_byte);
        uint8_t *out = page->pixels + int64_t(y) * page->stride;
        for (int x = 0; x < width; x++, out += 3) {
            if (bits == 8 && planes >= 3) {
                out[2] = line[x];
                out[1] = line[line_bytes + x];
                out[0] = line[2 * line_bytes + x];
            } else if (bits == 8 && planes == 1) {
                if (palette256)
                    put_rgb(out, palette256 + 3 * line[x]);
                else
                    out[0] = out[1] = out[2] = line[x];
            } else if (bits == 4 && planes == 1) {
                int v = line[x >> 1];
                put_rgb(out, header_palette + 3 * ((x & 1) ? v & 15 : v >> 4));
            } else if (bits == 1 && planes == 1) {
                put_rgb(out, header_palette + 3 * ((line[x >> 3] >> (7 - (x & 7))) & 1));
            } else {
                int index = 0;
                for (int k = 0; k < planes; k++)
                    index |= ((line[k * line_bytes + (x >> 3)] >> (7 - (x & 7))) & 1) << k;
                put_rgb(out, header_palette + 3 * (index > 15 ? 15 : index));
            }
        }
    }
    std::free(line);
    return page;
}

DcxDoc *dcx_open(const char *path, int *page_count)
{
    if (page_count)
        *page_count = 0;
    int64_t size = 0;
    uint8_t *bytes = formats_read_file(path, 8, DCX_MAX_FILE, &size);
    auto *doc = bytes && le32(bytes) == DCX_MAGIC ? static_cast<DcxDoc *>(std::calloc(1, sizeof(DcxDoc))) : nullptr;
    if (!doc) {
        std::free(bytes);
        return nullptr;
    }
    doc->data = bytes;
    doc->size = size;
    for (int64_t at = 4; at + 4 <= size && doc->pages < DCX_MAX_PAGES; at += 4) {
        uint32_t off = le32(bytes + at);
        if (off == 0)
            break;
        doc->offsets[doc->pages++] = off;
    }
    if (doc->pages == 0) {
        dcx_close(doc);
        return nullptr;
    }
    if (page_count)
        *page_count = doc->pages;
    return doc;
}

void dcx_close(DcxDoc *doc)
{
    if (!doc)
        return;
    std::free(doc->data);
    std::free(doc);
}

int dcx_page_count(const DcxDoc *doc) { return doc ? doc->pages : 0; }

PageBitmap *dcx_decode_page(DcxDoc *doc, int page, int *dpi_x, int *dpi_y)
{
    if (dpi_x)
        *dpi_x = 0;
    if (dpi_y)
        *dpi_y = 0;
    if (!doc || page < 0 || page >= doc->pages)
        return nullptr;
    // A page ends where the next begins, and never beyond the file.
    const int64_t start = doc->offsets[page];
    int64_t end = page + 1 < doc->pages ? int64_t(doc->offsets[page + 1]) : doc->size;
    if (end > doc->size)
        end = doc->size;
    if (start < PCX_HEADER || start >= doc->size || end <= start)
        return nullptr;
    return pcx_decode(doc->data + start, end - start, dpi_x, dpi_y);
}
