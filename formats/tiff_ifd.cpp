// TIFF files (TIFF 6.0, and BigTIFF's 64-bit layout): the header, the chain of
// image file directories, and the tags of one directory. Every offset and
// array length taken from the file is checked against its size in 64 bits.
#include <cstdlib>
#include <cstring>

#include "formats/file_bytes.h"
#include "formats/limits.h"
#include "formats/tiff.h"
#include "formats/tiff_internal.h"

struct TiffDoc {
    uint8_t *owned;  // the file's bytes when read by tiff_open
    TiffFile file;
    int pages;
    uint64_t ifds[TIFF_MAX_PAGES];
};

uint16_t tiff_u16(const TiffFile &f, uint64_t at)
{
    const uint8_t *p = f.data + at;
    return f.little ? uint16_t(p[0] | p[1] << 8) : uint16_t(p[0] << 8 | p[1]);
}

uint32_t tiff_u32(const TiffFile &f, uint64_t at)
{
    const uint8_t *p = f.data + at;
    return f.little ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24
                    : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

uint64_t tiff_u64(const TiffFile &f, uint64_t at)
{
    uint64_t a = tiff_u32(f, at), b = tiff_u32(f, at + 4);
    return f.little ? b << 32 | a : a << 32 | b;
}

namespace {

// True when `n` bytes at `at` lie inside the file (no wrap-around).
bool inside(const TiffFile &f, uint64_t at, uint64_t n) { return at <= f.size && n <= f.size - at; }

int entry_size(const TiffFile &f) { return f.big ? 20 : 12; }
int count_size(const TiffFile &f) { return f.big ? 8 : 2; }
int offset_size(const TiffFile &f) { return f.big ? 8 : 4; }

uint64_t read_offset(const TiffFile &f, uint64_t at) { return f.big ? tiff_u64(f, at) : tiff_u32(f, at); }

// Reads the header: the first directory's offset, or false when it is no TIFF.
bool read_header(TiffFile *f, uint64_t *first)
{
    if (f->size < uint64_t(TIFF_MIN_FILE))
        return false;
    if (f->data[0] == 'I' && f->data[1] == 'I')
        f->little = true;
    else if (f->data[0] == 'M' && f->data[1] == 'M')
        f->little = false;
    else
        return false;
    uint16_t version = tiff_u16(*f, 2);
    if (version == 42) {
        f->big = false;
        *first = tiff_u32(*f, 4);
        return true;
    }
    // BigTIFF: byte size of offsets 8, a zero, then the 64-bit first offset.
    if (version != 43 || f->size < 16 || tiff_u16(*f, 4) != 8 || tiff_u16(*f, 6) != 0)
        return false;
    f->big = true;
    *first = tiff_u64(*f, 8);
    return true;
}

// Lists the directories: a chain that loops or leaves the file ends the list.
void list_pages(TiffDoc *doc, uint64_t offset)
{
    const TiffFile &f = doc->file;
    const int cs = count_size(f), es = entry_size(f), os = offset_size(f);
    while (offset != 0 && inside(f, offset, uint64_t(cs)) && doc->pages < TIFF_MAX_PAGES) {
        uint64_t n = f.big ? tiff_u64(f, offset) : tiff_u16(f, offset);
        if (n > TIFF_MAX_IFD_ENTRIES || !inside(f, offset, uint64_t(cs) + n * uint64_t(es) + uint64_t(os)))
            break;
        for (int i = 0; i < doc->pages; i++) {
            if (doc->ifds[i] == offset)
                return;  // a loop in the chain
        }
        doc->ifds[doc->pages++] = offset;
        offset = read_offset(f, offset + uint64_t(cs) + n * uint64_t(es));
    }
}

TiffDoc *open_bytes(uint8_t *owned, const uint8_t *data, int64_t size, int *page_count)
{
    auto *doc = static_cast<TiffDoc *>(std::calloc(1, sizeof(TiffDoc)));
    if (!doc)
        return nullptr;
    doc->owned = owned;
    doc->file.data = data;
    doc->file.size = uint64_t(size);
    uint64_t first = 0;
    if (read_header(&doc->file, &first))
        list_pages(doc, first);
    if (doc->pages == 0) {
        std::free(doc);
        return nullptr;
    }
    if (page_count)
        *page_count = doc->pages;
    return doc;
}

// ---- Tags ----

int type_size(int type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;   // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                   // SHORT, SSHORT
    case 4: case 9: case 11: case 13: return 4; // LONG, SLONG, FLOAT, IFD
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;  // RATIONAL, DOUBLE, LONG8, IFD8
    default: return 0;
    }
}

// One directory entry with its values located: `at` is where value 0 starts.
struct Entry {
    int tag, type;
    uint64_t count;
    uint64_t at;
    bool valid;  // the values lie inside the file
};

Entry read_entry(const TiffFile &f, uint64_t pos)
{
    Entry e{};
    e.tag = tiff_u16(f, pos);
    e.type = tiff_u16(f, pos + 2);
    e.count = f.big ? tiff_u64(f, pos + 4) : tiff_u32(f, pos + 4);
    const uint64_t field = pos + (f.big ? 12 : 8);
    const int size = type_size(e.type);
    if (size == 0 || e.count > (uint64_t(1) << 40))
        return e;
    const uint64_t bytes = e.count * uint64_t(size);
    e.at = bytes <= uint64_t(offset_size(f)) ? field : read_offset(f, field);
    e.valid = inside(f, e.at, bytes);
    return e;
}

// Value i of an integer entry (0 for other types).
uint64_t value(const TiffFile &f, const Entry &e, uint64_t i)
{
    switch (e.type) {
    case 1: case 2: case 6: case 7: return f.data[e.at + i];
    case 3: return tiff_u16(f, e.at + 2 * i);
    case 8: { int16_t v = int16_t(tiff_u16(f, e.at + 2 * i)); return v < 0 ? 0 : uint64_t(v); }
    case 4: case 13: return tiff_u32(f, e.at + 4 * i);
    case 9: { int32_t v = int32_t(tiff_u32(f, e.at + 4 * i)); return v < 0 ? 0 : uint64_t(v); }
    case 16: case 18: return tiff_u64(f, e.at + 8 * i);
    case 17: { int64_t v = int64_t(tiff_u64(f, e.at + 8 * i)); return v < 0 ? 0 : uint64_t(v); }
    default: return 0;
    }
}

// The first value as a number: integers, RATIONAL as numerator / denominator.
double number(const TiffFile &f, const Entry &e)
{
    if (!e.valid || e.count == 0)
        return 0;
    if (e.type == 5 || e.type == 10) {
        double num = e.type == 5 ? double(tiff_u32(f, e.at)) : double(int32_t(tiff_u32(f, e.at)));
        double den = e.type == 5 ? double(tiff_u32(f, e.at + 4)) : double(int32_t(tiff_u32(f, e.at + 4)));
        return den == 0 ? 0 : num / den;
    }
    if (e.type == 11 || e.type == 12)
        return 0;
    return double(value(f, e, 0));
}

int clamp_int(uint64_t v, int hi) { return v > uint64_t(hi) ? hi : int(v); }

// A copy of an integer array entry: 0, or -3 when memory is short.
int read_array(const TiffFile &f, const Entry &e, uint64_t **out, uint64_t *n)
{
    std::free(*out);
    *n = 0;
    *out = static_cast<uint64_t *>(std::malloc(size_t(e.count) * sizeof(uint64_t)));
    if (!*out)
        return -3;
    for (uint64_t i = 0; i < e.count; i++)
        (*out)[i] = value(f, e, i);
    *n = e.count;
    return 0;
}

}  // namespace

int tiff_read_image(const TiffFile &f, uint64_t ifd, TiffImage *img)
{
    std::memset(img, 0, sizeof *img);
    img->bits = 8;
    img->samples = 1;
    img->compression = TIFF_NONE;
    img->photometric = 1;
    img->planar = 1;
    img->predictor = 1;
    img->fill_order = 1;
    img->orientation = 1;
    img->res_unit = 2;
    const int cs = count_size(f), es = entry_size(f);
    if (!inside(f, ifd, uint64_t(cs)))
        return -1;
    uint64_t n = f.big ? tiff_u64(f, ifd) : tiff_u16(f, ifd);
    if (n > TIFF_MAX_IFD_ENTRIES || !inside(f, ifd + uint64_t(cs), n * uint64_t(es)))
        return -1;
    uint64_t rows_per_strip = 0;
    int rc = 0;
    for (uint64_t i = 0; i < n; i++) {
        Entry e = read_entry(f, ifd + uint64_t(cs) + i * uint64_t(es));
        const bool unit_array = e.tag == 273 || e.tag == 279 || e.tag == 324 || e.tag == 325;
        if ((unit_array && e.count > TIFF_MAX_UNITS) || (e.tag == 320 && e.count > TIFF_MAX_COLORMAP))
            return -1;  // above the limits: the page is rejected
        if (!e.valid || e.count == 0)
            continue;
        const uint64_t v = value(f, e, 0);
        switch (e.tag) {
        case 256: img->width = clamp_int(v, TIFF_MAX_SIDE + 1); break;
        case 257: img->height = clamp_int(v, TIFF_MAX_SIDE + 1); break;
        case 258: img->bits = clamp_int(v, 255); break;
        case 259: img->compression = clamp_int(v, 65535); break;
        case 262:
            img->photometric = clamp_int(v, 65535);
            img->photometric_given = true;
            break;
        case 266: img->fill_order = clamp_int(v, 65535); break;
        case 273:
        case 324:
            if (e.tag == 324)
                img->tiled = true;
            rc = read_array(f, e, &img->offsets, &img->unit_count);
            break;
        case 279:
        case 325:
            rc = read_array(f, e, &img->counts, &img->count_count);
            break;
        case 274: img->orientation = clamp_int(v, 65535); break;
        case 277: img->samples = clamp_int(v, 65535); break;
        case 278: rows_per_strip = v; break;
        case 282: img->x_res = number(f, e); break;
        case 283: img->y_res = number(f, e); break;
        case 284: img->planar = clamp_int(v, 65535); break;
        case 292: img->t4_options = int(v & 0xFFFF); break;
        case 296: img->res_unit = clamp_int(v, 65535); break;
        case 317: img->predictor = clamp_int(v, 65535); break;
        case 322: img->tile_width = clamp_int(v, TIFF_MAX_SIDE + 1); break;
        case 323: img->tile_height = clamp_int(v, TIFF_MAX_SIDE + 1); break;
        case 320:
            if (e.type != 3)
                break;
            std::free(img->colormap);
            img->colormap = static_cast<uint16_t *>(std::malloc(size_t(e.count) * 2));
            if (!img->colormap)
                return -3;
            for (uint64_t k = 0; k < e.count; k++)
                img->colormap[k] = tiff_u16(f, e.at + 2 * k);
            img->colormap_len = e.count;
            break;
        case 347:
            if (type_size(e.type) == 1 && e.count <= TIFF_MAX_JPEG_TABLES) {
                img->jpeg_tables_at = e.at;
                img->jpeg_tables_len = e.count;
            }
            break;
        case 513:
            img->jpeg_if_at = v;
            img->jpeg_if_given = true;
            break;
        case 514: img->jpeg_if_len = v; break;
        default: break;
        }
        if (rc != 0)
            return rc;
    }
    img->rows_per_strip = rows_per_strip == 0 || rows_per_strip > uint64_t(img->height)
                              ? img->height
                              : int(rows_per_strip);
    return 0;
}

void tiff_image_free(TiffImage *img)
{
    std::free(img->offsets);
    std::free(img->counts);
    std::free(img->colormap);
    img->offsets = img->counts = nullptr;
    img->colormap = nullptr;
}

// ---- Documents ----

TiffDoc *tiff_open(const char *path, int *page_count)
{
    if (page_count)
        *page_count = 0;
    int64_t size = 0;
    uint8_t *bytes = formats_read_file(path, TIFF_MIN_FILE, TIFF_MAX_FILE, &size);
    if (!bytes)
        return nullptr;
    TiffDoc *doc = open_bytes(bytes, bytes, size, page_count);
    if (!doc)
        std::free(bytes);
    return doc;
}

TiffDoc *tiff_open_memory(const uint8_t *data, int64_t size, int *page_count)
{
    if (page_count)
        *page_count = 0;
    if (!data || size < TIFF_MIN_FILE || size > TIFF_MAX_FILE)
        return nullptr;
    return open_bytes(nullptr, data, size, page_count);
}

void tiff_close(TiffDoc *doc)
{
    if (!doc)
        return;
    std::free(doc->owned);
    std::free(doc);
}

int tiff_page_count(const TiffDoc *doc) { return doc ? doc->pages : 0; }

PageBitmap *tiff_decode_page(TiffDoc *doc, int page, int *dpi_x, int *dpi_y)
{
    if (dpi_x)
        *dpi_x = 0;
    if (dpi_y)
        *dpi_y = 0;
    if (!doc || page < 0 || page >= doc->pages)
        return nullptr;
    return tiff_decode_ifd(doc->file, doc->ifds[page], dpi_x, dpi_y);
}

PageBitmap *tiff_decode_memory(const uint8_t *data, int64_t size, int *dpi_x, int *dpi_y)
{
    TiffDoc *doc = tiff_open_memory(data, size, nullptr);
    PageBitmap *b = tiff_decode_page(doc, 0, dpi_x, dpi_y);  // null doc: resolutions 0
    tiff_close(doc);
    return b;
}
