// Page render driver: device geometry of a page at a scale, banded
// rendering of contents and annotation appearances into a PageBitmap, the
// text-collection run, and the process-wide rendering settings.
#pragma once
#include <cstddef>
#include <cstdint>

struct PageBitmap;
struct PdfBox;
struct PdfDoc;
struct PdfObject;
struct RenderContext;

constexpr int RENDER_ARENA_BLOCK = 64 << 10;   // block size of the per-render arena
constexpr size_t RENDER_ARENA_LIMIT = 512u << 20;  // bytes of a render's lasting data (states, glyph procedures)

// Largest page side in pixels. Sizes are clamped to it before any conversion
// to int, so a page box of any size gives a defined size; the raster itself
// stops at BITMAP_MAX_SIDE, and taller pages are rendered in bands.
constexpr int PAGE_MAX_PIXELS = 1000000;

// The one page geometry, shared by the document layer and the driver: a box
// in points shown `rotation` degrees clockwise (90, 180, 270; anything else
// counts as 0) at `scale` pixels per point (<= 0 or not finite means 1).
// Each side is trunc(length * scale + 0.5), clamped to 1..PAGE_MAX_PIXELS;
// the matrix maps the box onto the pixels, device y pointing down.
void page_box_geometry(const PdfBox &box, int rotation, float scale, int *out_width,
                       int *out_height, float out_matrix[6]);
// Page dictionary, pixel size and device matrix of page `index` at `scale`
// with its Rotate and the view rotation. 0, or -4 when the page does not exist.
int page_geometry(PdfDoc *doc, int index, float scale, PdfObject **out_page, int *out_width,
                  int *out_height, float out_matrix[6]);
int page_pixel_size(PdfDoc *doc, int index, float scale, int *out_width, int *out_height);
int page_matrix(PdfDoc *doc, int index, float scale, float out_matrix[6]);

// Renders rows first .. first + rows - 1 (rows <= 0: the whole page) into a
// new raster owned by the caller. 0; -4 no such page; -5 empty band; -3 out
// of memory; or the status of running the contents. *out is null at entry
// and receives the band on every path that created one.
int render_page(PdfDoc *doc, int index, float scale, int first, int rows, PageBitmap **out);
// The same, also copying the diagnostic tags (NUL-separated, up to
// `capacity` bytes) for tools and tests.
int render_page_diag(PdfDoc *doc, int index, float scale, int first, int rows, PageBitmap **out,
                     char *diags, int capacity);
// Runs the page, then its annotations' appearances, in text-collection mode:
// nothing is painted, and each shown character goes to `text_sink`, a
// TextSink (render/text.h): 0, -4 or -3.
int collect_page_text(PdfDoc *doc, int index, float scale, void *text_sink);

void draw_annotations(RenderContext *ctx, PdfObject *page, const float device_matrix[6]);
void draw_annotation(RenderContext *ctx, PdfObject *annot, const float device_matrix[6]);

// Process-wide settings read at each render.
void set_greek_threshold(float pixels);  // cleared after each render
void set_render_poll(int (*fn)(void *user, PageBitmap *surface), void *user);
void set_show_large_images(int flag);
void set_thumbnail_mode(int flag);
int show_large_images();
int thumbnail_mode();
