// PageBitmap: the 24-bit raster every reader renders into. Rows are top-down,
// pixels blue-green-red, rows padded to 4 bytes, so a raster can be handed to
// the display, the printer and the clipboard as a device-independent bitmap.
#pragma once
#include <cstdint>

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

// Writers: 0, or -1 for a null or empty bitmap, a file that cannot be
// created, or lack of memory.
int write_bmp(const char *path, const PageBitmap *bitmap);
int write_png(const char *path, const PageBitmap *bitmap);
int write_jpeg(const char *path, const PageBitmap *bitmap, int quality);
