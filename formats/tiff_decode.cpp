// One TIFF page (TIFF 6.0): strips or tiles, chunky or one plane per sample,
// decompressed row by row through the engine's decoders (LZW, Deflate, CCITT
// fax, PackBits), undone horizontal differencing, and samples of 1, 2, 4, 8
// or 16 bits turned into the 24-bit page by the photometric interpretation.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bitmap/bitmap.h"
#include "formats/limits.h"
#include "formats/tiff_internal.h"
#include "pdf/filters.h"

namespace {

// ---- Layout and conversion ----

constexpr uint8_t reverse_bits(uint8_t b)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; i++)
        r = uint8_t(r | ((b >> i) & 1) << (7 - i));
    return r;
}

struct ReverseTable {
    uint8_t v[256];
    constexpr ReverseTable() : v{}
    {
        for (int i = 0; i < 256; i++)
            v[i] = reverse_bits(uint8_t(i));
    }
};
constexpr ReverseTable kReverse;

// Eight 1-bit pixels (most significant first) as 24 bytes of grey.
struct BitSpread {
    uint8_t v[256][24];
    constexpr BitSpread() : v{}
    {
        for (int i = 0; i < 256; i++)
            for (int k = 0; k < 24; k++)
                v[i][k] = (i >> (7 - k / 3)) & 1 ? 255 : 0;
    }
};
constexpr BitSpread kSpread;

bool is_fax(int compression)
{
    return compression == TIFF_CCITT_RLE || compression == TIFF_CCITT_T4 || compression == TIFF_CCITT_T6;
}

// How the strips or tiles cover the page.
struct Layout {
    int unit_w, unit_h;   // pixels a unit encodes (a tile is coded whole even at the edges)
    int across, down;     // units per plane horizontally and vertically
    int planes;           // 1, or the sample count for one plane per sample
    int unit_samples;     // samples of one pixel inside a unit
    int bits;             // bits per sample inside a unit
    int64_t row_bytes;
};

// How decoded samples become page pixels.
enum ColorMode { MODE_GRAY, MODE_RGB, MODE_PALETTE };

struct Converter {
    ColorMode mode;
    bool invert;   // WhiteIsZero
    bool little;   // 16-bit samples in little-endian order
    int bits;
    const uint16_t *map;
    uint64_t map_n;  // entries per channel
};

inline uint32_t raw_sample(const uint8_t *row, int64_t i, int bits, bool little)
{
    switch (bits) {
    case 8: return row[i];
    case 16: return little ? uint32_t(row[2 * i] | row[2 * i + 1] << 8) : uint32_t(row[2 * i] << 8 | row[2 * i + 1]);
    default: {
        int64_t bit = i * bits;
        int shift = 8 - bits - int(bit & 7);
        return uint32_t(row[bit >> 3] >> shift) & ((1u << bits) - 1);
    }
    }
}

// A sample scaled to 8 bits: 16-bit samples by their high byte, fewer bits
// spread over 0..255.
inline uint8_t to8(uint32_t v, int bits)
{
    switch (bits) {
    case 8: return uint8_t(v);
    case 16: return uint8_t(v >> 8);
    case 1: return v ? 255 : 0;
    default: return uint8_t(v * 255 / ((1u << bits) - 1));
    }
}

// Writes `w` pixels of one decoded row, holding samples first .. first + n - 1
// of each pixel, at (x0, y) of the page.
void put_row(const Converter &c, const uint8_t *row, int first, int n, PageBitmap *page, int x0, int y, int w)
{
    uint8_t *out = page->pixels + int64_t(y) * page->stride + 3 * int64_t(x0);
    if (c.mode == MODE_RGB) {
        for (int k = 0; k < n && first + k < 3; k++) {
            const int channel = 2 - (first + k);
            for (int x = 0; x < w; x++)
                out[3 * x + channel] = to8(raw_sample(row, int64_t(x) * n + k, c.bits, c.little), c.bits);
        }
        return;
    }
    if (first != 0)
        return;  // planes after the first carry nothing for grey or palette pages
    if (c.mode == MODE_PALETTE) {
        for (int x = 0; x < w; x++, out += 3) {
            if (c.map_n == 0) {
                out[0] = out[1] = out[2] = 0;
                continue;
            }
            uint64_t i = raw_sample(row, int64_t(x) * n, c.bits, c.little);
            if (i >= c.map_n)
                i = c.map_n - 1;
            out[2] = uint8_t(c.map[i] >> 8);
            out[1] = uint8_t(c.map[c.map_n + i] >> 8);
            out[0] = uint8_t(c.map[2 * c.map_n + i] >> 8);
        }
        return;
    }
    const uint8_t flip = c.invert ? 255 : 0;
    if (c.bits == 1 && n == 1) {  // bilevel pages, fax above all: eight pixels a step
        int x = 0;
        for (; x + 8 <= w; x += 8, out += 24)
            std::memcpy(out, kSpread.v[row[x >> 3] ^ flip], 24);
        for (; x < w; x++, out += 3) {
            uint8_t v = uint8_t(((row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0) ^ flip);
            out[0] = out[1] = out[2] = v;
        }
        return;
    }
    if (c.bits == 8) {
        for (int x = 0; x < w; x++, out += 3)
            out[0] = out[1] = out[2] = uint8_t(row[int64_t(x) * n] ^ flip);
        return;
    }
    for (int x = 0; x < w; x++, out += 3)
        out[0] = out[1] = out[2] = uint8_t(to8(raw_sample(row, int64_t(x) * n, c.bits, c.little), c.bits) ^ flip);
}

// Undoes horizontal differencing of 8- and 16-bit samples (other depths have none).
void undo_predictor(uint8_t *row, int pixels, int n, int bits, bool little)
{
    const int64_t count = int64_t(pixels) * n;
    if (bits == 8) {
        for (int64_t i = n; i < count; i++)
            row[i] = uint8_t(row[i] + row[i - n]);
    } else if (bits == 16) {
        for (int64_t i = n; i < count; i++) {
            uint8_t *p = row + 2 * i, *q = row + 2 * (i - n);
            const int lo = little ? 0 : 1, hi = 1 - lo;
            uint32_t v = uint32_t(p[lo] | p[hi] << 8) + uint32_t(q[lo] | q[hi] << 8);
            p[lo] = uint8_t(v);
            p[hi] = uint8_t(v >> 8);
        }
    }
}

// The decoder chain over one unit's bytes, or null when it has none. `copy`
// receives a bit-reversed copy the caller frees.
ByteReader *open_unit(const TiffFile &f, const TiffImage &img, const Layout &L, uint64_t index, uint8_t **copy)
{
    *copy = nullptr;
    if (index >= img.unit_count)
        return nullptr;
    const uint64_t at = img.offsets[index];
    if (at >= f.size)
        return nullptr;
    uint64_t n = index < img.count_count ? img.counts[index] : 0;
    if (n > f.size - at)
        n = f.size - at;
    if (n == 0)
        return nullptr;
    const uint8_t *data = f.data + at;
    if (img.fill_order == 2) {
        *copy = static_cast<uint8_t *>(std::malloc(size_t(n)));
        if (!*copy)
            return nullptr;
        for (uint64_t i = 0; i < n; i++)
            (*copy)[i] = kReverse.v[data[i]];
        data = *copy;
    }
    ByteReader *src = reader_open_memory(data, int64_t(n));
    if (!src)
        return nullptr;
    ByteReader *r = nullptr;
    switch (img.compression) {
    case TIFF_NONE: return src;
    case TIFF_LZW: r = pdf_filter_lzw(src, LzwParams{1}); break;
    case TIFF_ADOBE_DEFLATE:
    case TIFF_DEFLATE: r = pdf_filter_flate(src); break;
    case TIFF_PACKBITS: r = pdf_filter_packbits(src); break;
    default: {
        CcittParams p;
        p.k = img.compression == TIFF_CCITT_T6 ? -1 : (img.compression == TIFF_CCITT_T4 && (img.t4_options & 1)) ? 1 : 0;
        p.columns = L.unit_w;
        p.rows = L.unit_h;
        p.black_is_1 = img.photometric_given && img.photometric == 1;
        p.encoded_byte_align = img.compression == TIFF_CCITT_RLE;  // modified Huffman rows start on bytes
        p.broken_row_ends = 1;
        r = pdf_filter_ccitt(src, p);
        break;
    }
    }
    if (!r)
        reader_close(src);
    return r;
}

// Decodes one strip or tile (unit `index`, plane `plane`, at unit column ux and
// row uy) and paints it. Rows without data are zero, or white for fax data.
void decode_unit(const TiffFile &f, const TiffImage &img, const Layout &L, const Converter &c, uint64_t index,
                 int plane, int ux, int uy, uint8_t *row, PageBitmap *page)
{
    uint8_t *copy;
    ByteReader *r = open_unit(f, img, L, index, &copy);
    const uint8_t fill = is_fax(img.compression) ? 0xFF : 0;
    const int x0 = ux * L.unit_w;
    const int w = img.width - x0 < L.unit_w ? img.width - x0 : L.unit_w;
    const bool predict = img.predictor == 2 && !is_fax(img.compression);
    for (int y = 0; y < L.unit_h; y++) {
        const int64_t py = int64_t(uy) * L.unit_h + y;
        if (py >= img.height)
            break;
        int got = r ? reader_read(r, row, int(L.row_bytes)) : 0;
        if (got < L.row_bytes) {
            std::memset(row + got, fill, size_t(L.row_bytes - got));
            reader_close_chain(r);
            r = nullptr;
        }
        if (predict)
            undo_predictor(row, L.unit_w, L.unit_samples, L.bits, f.little);
        put_row(c, row, L.planes > 1 ? plane : 0, L.unit_samples, page, x0, int(py), w);
    }
    reader_close_chain(r);
    std::free(copy);
}

// Checks the directory and works out the layout: 0, -1 (invalid) or -7 (unsupported).
int plan(const TiffImage &img, Layout *L, Converter *c, bool little)
{
    if (img.width < 1 || img.width > TIFF_MAX_SIDE || img.height < 1 || img.height > TIFF_MAX_SIDE)
        return -1;
    if (img.samples < 1 || img.samples > TIFF_MAX_SAMPLES || (img.planar != 1 && img.planar != 2))
        return -7;
    if (img.unit_count == 0 || img.count_count == 0)
        return -1;
    const bool fax = is_fax(img.compression);
    switch (img.compression) {
    case TIFF_NONE: case TIFF_LZW: case TIFF_ADOBE_DEFLATE: case TIFF_DEFLATE: case TIFF_PACKBITS:
        if (img.bits != 1 && img.bits != 2 && img.bits != 4 && img.bits != 8 && img.bits != 16)
            return -7;
        break;
    case TIFF_CCITT_RLE: case TIFF_CCITT_T4: case TIFF_CCITT_T6: break;
    default: return -7;
    }
    if (img.tiled) {
        if (img.tile_width < 1 || img.tile_width > TIFF_MAX_SIDE || img.tile_height < 1 ||
            img.tile_height > TIFF_MAX_SIDE)
            return -1;
        L->unit_w = img.tile_width;
        L->unit_h = img.tile_height;
    } else {
        L->unit_w = img.width;
        L->unit_h = img.rows_per_strip;
    }
    L->across = (img.width + L->unit_w - 1) / L->unit_w;
    L->down = (img.height + L->unit_h - 1) / L->unit_h;
    L->planes = fax || img.planar == 1 ? 1 : img.samples;
    L->unit_samples = fax ? 1 : img.planar == 1 ? img.samples : 1;
    L->bits = fax ? 1 : img.bits;
    L->row_bytes = (int64_t(L->unit_w) * L->unit_samples * L->bits + 7) / 8;
    if (L->row_bytes > TIFF_MAX_ROW_BYTES)
        return -7;
    c->bits = L->bits;
    c->little = little;
    c->invert = false;
    c->map = nullptr;
    c->map_n = 0;
    if (fax) {
        c->mode = MODE_GRAY;  // the fax decoder's 1 bits are the page's white
    } else if (img.photometric == 2) {
        if (img.samples < 3)
            return -1;
        c->mode = MODE_RGB;
    } else if (img.photometric == 3 && img.colormap) {
        c->mode = MODE_PALETTE;
        c->map = img.colormap;
        c->map_n = img.colormap_len / 3;
    } else {
        c->mode = MODE_GRAY;
        c->invert = img.photometric == 0;
    }
    return 0;
}

int resolution(double v, int unit)
{
    if (unit == 3)
        v *= 2.54;
    if (!(v > 1) || v > 1e6)  // also NaN
        return 0;
    return int(std::floor(v + 0.5));
}

}  // namespace

PageBitmap *tiff_decode_ifd(const TiffFile &f, uint64_t ifd, int *dpi_x, int *dpi_y)
{
    TiffImage img;
    if (tiff_read_image(f, ifd, &img) != 0) {
        tiff_image_free(&img);
        return nullptr;
    }
    if (dpi_x)
        *dpi_x = resolution(img.x_res, img.res_unit);
    if (dpi_y)
        *dpi_y = resolution(img.y_res, img.res_unit);
    PageBitmap *page = nullptr;
    if (img.compression == TIFF_OJPEG || img.compression == TIFF_JPEG) {
        if (img.width >= 1 && img.width <= TIFF_MAX_SIDE && img.height >= 1 && img.height <= TIFF_MAX_SIDE &&
            img.unit_count > 0 && (page = bitmap_create(img.width, img.height)) != nullptr) {
            bitmap_fill(page, 255, 255, 255);
            if (!tiff_decode_jpeg(f, img, page)) {
                bitmap_free(page);
                page = nullptr;
            }
        }
    } else {
        Layout L;
        Converter c;
        uint8_t *row = nullptr;
        if (plan(img, &L, &c, f.little) == 0 && (page = bitmap_create(img.width, img.height)) != nullptr &&
            (row = static_cast<uint8_t *>(std::malloc(size_t(L.row_bytes) + 8))) != nullptr) {
            // Every pixel is written below (each unit is converted, rows without
            // data too); only the row padding is set here.
            const int pad = page->stride - 3 * page->width;
            for (int y = 0; pad > 0 && y < page->height; y++)
                std::memset(page->pixels + int64_t(y) * page->stride + 3 * page->width, 0, size_t(pad));
            const uint64_t per_plane = uint64_t(L.across) * uint64_t(L.down);
            for (int p = 0; p < L.planes; p++)
                for (int uy = 0; uy < L.down; uy++)
                    for (int ux = 0; ux < L.across; ux++)
                        decode_unit(f, img, L, c, uint64_t(p) * per_plane + uint64_t(uy) * uint64_t(L.across) + uint64_t(ux),
                                    p, ux, uy, row, page);
        } else {
            bitmap_free(page);
            page = nullptr;
        }
        std::free(row);
    }
    const int orientation = img.orientation;
    tiff_image_free(&img);
    if (page && (orientation == 3 || orientation == 6 || orientation == 8)) {
        PageBitmap *turned = bitmap_rotate(page, orientation == 3 ? 2 : orientation == 6 ? 1 : 3);
        bitmap_free(page);
        page = turned;
        // A quarter turn swaps the axes, and with them the resolutions.
        if (page && orientation != 3 && dpi_x && dpi_y) {
            int t = *dpi_x;
            *dpi_x = *dpi_y;
            *dpi_y = t;
        }
    }
    return page;
}
