// TIFF and DCX documents: the whole file is read at open, its pages listed, and
// one page at a time decoded into a 24-bit PageBitmap with its resolution in
// dots per inch (0 = unknown). Scaling, user rotation and caching belong to the
// document layer.
#pragma once
#include <cstdint>

struct PageBitmap;
struct TiffDoc;
struct DcxDoc;

// Null for an unreadable file, a size outside 8 bytes .. 128 MiB, a wrong
// header or no image directory; else the document and its page count (at most
// 512 directories are listed).
TiffDoc *tiff_open(const char *path, int *page_count);
// The same over bytes the caller keeps alive while the document is open.
TiffDoc *tiff_open_memory(const uint8_t *data, int64_t size, int *page_count);
void tiff_close(TiffDoc *doc);
int tiff_page_count(const TiffDoc *doc);
// The page's image, already turned by its Orientation, or null when the page
// is rejected, its data cannot be decoded or memory is short. The resolutions
// are written before anything is decoded (0 when unknown).
PageBitmap *tiff_decode_page(TiffDoc *doc, int page, int *dpi_x, int *dpi_y);
// The first image directory of a TIFF held in memory.
PageBitmap *tiff_decode_memory(const uint8_t *data, int64_t size, int *dpi_x, int *dpi_y);

// Null for an unreadable file, a size outside 8 bytes .. 80 MiB, a wrong
// signature or no page offsets; else the document and its page count.
DcxDoc *dcx_open(const char *path, int *page_count);
void dcx_close(DcxDoc *doc);
int dcx_page_count(const DcxDoc *doc);
PageBitmap *dcx_decode_page(DcxDoc *doc, int page, int *dpi_x, int *dpi_y);
// One PCX image; null when it is invalid or memory is short.
PageBitmap *pcx_decode(const uint8_t *data, int64_t size, int *dpi_x, int *dpi_y);
