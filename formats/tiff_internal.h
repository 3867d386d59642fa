// Shared between the pieces of the TIFF reader: the file view, one parsed image
// directory, and the decoders that fill a page from it.
#pragma once
#include <cstdint>

struct PageBitmap;

// The bytes of a TIFF file (classic or BigTIFF) and how to read its numbers.
struct TiffFile {
    const uint8_t *data;
    uint64_t size;
    bool little;  // "II"
    bool big;     // BigTIFF: 8-byte offsets and counts, 20-byte entries
};

uint16_t tiff_u16(const TiffFile &f, uint64_t at);  // callers check the bounds
uint32_t tiff_u32(const TiffFile &f, uint64_t at);
uint64_t tiff_u64(const TiffFile &f, uint64_t at);

// Compression values.
enum {
    TIFF_NONE = 1,
    TIFF_CCITT_RLE = 2,
    TIFF_CCITT_T4 = 3,
    TIFF_CCITT_T6 = 4,
    TIFF_LZW = 5,
    TIFF_OJPEG = 6,
    TIFF_JPEG = 7,
    TIFF_ADOBE_DEFLATE = 8,
    TIFF_DEFLATE = 32946,
    TIFF_PACKBITS = 32773,
};

// One image file directory, with every array checked to lie inside the file.
struct TiffImage {
    int width, height;
    int bits;          // first BitsPerSample value
    int samples;       // SamplesPerPixel
    int compression;
    int photometric;
    bool photometric_given;
    int planar;        // 1 chunky, 2 one plane per sample
    int predictor;
    int fill_order;    // 2: bits of each byte stored least significant first
    int orientation;
    int t4_options;
    double x_res, y_res;
    int res_unit;
    bool tiled;
    int rows_per_strip;  // clamped to 1..height
    int tile_width, tile_height;
    uint64_t *offsets;   // strip or tile offsets (malloc'd)
    uint64_t *counts;    // byte counts (malloc'd; may be shorter than offsets)
    uint64_t unit_count, count_count;
    uint16_t *colormap;  // malloc'd, colormap_len entries
    uint64_t colormap_len;
    uint64_t jpeg_tables_at, jpeg_tables_len;  // 0 length: none
    uint64_t jpeg_if_at, jpeg_if_len;          // old-style JPEGInterchangeFormat; 0 length: to the end
    bool jpeg_if_given;
};

// Reads the directory at `ifd` into `img`: 0, -1 (entries outside the file or
// an array above its limit), -3 (memory). The arrays are freed by
// tiff_image_free also after a failure.
int tiff_read_image(const TiffFile &f, uint64_t ifd, TiffImage *img);
void tiff_image_free(TiffImage *img);
// The page of one directory: decoded, converted, resolution and Orientation applied.
PageBitmap *tiff_decode_ifd(const TiffFile &f, uint64_t ifd, int *dpi_x, int *dpi_y);
// JPEG-compressed strips or tiles into `page` (already white); false when no
// image data could be found at all.
bool tiff_decode_jpeg(const TiffFile &f, const TiffImage &img, PageBitmap *page);
