// PageBitmap: the 24-bit raster every reader renders into. Rows are top-down,
// pixels blue-green-red, rows padded to 4 bytes, so a raster can be handed to
// the display, the printer and the clipboard as a device-independent bitmap.
#pragma once
#include <cstdint>
#include <cstdio>

constexpr int BITMAP_MAX_SIDE = 20000;  // bounds one raster at about 1.2 GB

struct PageBitmap {
    int width;
    int height;
    int stride;          // 3 * width rounded up to a multiple of 4
    uint8_t *pixels;     // stride * height bytes, row 0 at the top
    uint8_t *alpha;      // transparency-group surfaces only; owned by their user
    int dirty_top;       // first row changed since creation (height = none)
    int dirty_bottom;    // one past the last changed row (0 = none)
};

// Null for a side outside 1..BITMAP_MAX_SIDE or when memory is short.
// The pixel bytes are not initialised.
PageBitmap *bitmap_create(int width, int height);
void bitmap_free(PageBitmap *bitmap);
// Fills every pixel; padding bytes get the blue value.
void bitmap_fill(PageBitmap *bitmap, int red, int green, int blue);
// Clockwise rotation by (quarter_turns & 3) * 90 degrees into a new raster.
PageBitmap *bitmap_rotate(const PageBitmap *bitmap, int quarter_turns);
// Bilinear resample of source to dst_width x dst_height, producing only rows
// y0 .. y0 + rows - 1 (clipped to the target). Null on an empty band.
PageBitmap *bitmap_scale_band(const PageBitmap *source, int dst_width, int dst_height, int y0,
                              int rows);

// ---- Image writers ----
//
// A page image is written band by band, top rows first, so that a page of
// any height needs only one band in memory. Every write error counts: a
// short write, a failed flush or close makes the writer report -1 (a partly
// written file is left on disk).

enum ImageFormat {
    IMAGE_BMP = 0,   // 24-bit, rows stored bottom-up: the output must be seekable
    IMAGE_PNG = 1,   // truecolour, deflated (level 6) into IDAT chunks as rows arrive
    IMAGE_JPEG = 2,  // baseline, `quality` clamped to 1..100
};

struct ImageWriter;

// Creates the file and writes its header. Null for a width outside
// 1..BITMAP_MAX_SIDE, a height the format cannot hold, a file that cannot be
// created, or lack of memory.
ImageWriter *image_writer_open(const char *path, ImageFormat format, int width, int height,
                               int quality);
// As image_writer_open, over a file the caller opened for binary writing
// (a name the narrow path functions cannot reach, a temporary file); the
// writer owns it from here and closes it, also when it returns null.
ImageWriter *image_writer_open_file(FILE *file, ImageFormat format, int width, int height,
                                    int quality);
// Appends every row of `band` (its width must be the image's) below the rows
// already written. 0, or -1 for a wrong band, too many rows or a failed
// write; after -1 the writer only awaits image_writer_close.
int image_writer_write(ImageWriter *writer, const PageBitmap *band);
// Finishes the file and frees the writer: 0 when all rows arrived and every
// byte reached the file, else -1 (also for null).
int image_writer_close(ImageWriter *writer);

// Whole-image writers over the above: 0, or -1 for a null or empty bitmap, a
// file that cannot be created or written, or lack of memory.
int write_bmp(const char *path, const PageBitmap *bitmap);
int write_png(const char *path, const PageBitmap *bitmap);
int write_jpeg(const char *path, const PageBitmap *bitmap, int quality);
