// EPS files shown as one raster page: the TIFF preview of a DOS EPS binary
// header, else the EPSI hexadecimal preview, else a placeholder page naming
// the file as an EPS without preview. PostScript itself is not interpreted.
#pragma once
#include <cstdint>

struct PageBitmap;
struct EpsDoc;

// Draws `text` in dark grey centred on column `middle` with its baseline on row
// `baseline` and an em of `em` pixels. The placeholder's text needs fonts,
// which live above this layer: the document layer passes its painter in.
using EpsTextPainter = void (*)(PageBitmap *page, const char *text, int middle, int baseline, int em);

// Null when the file cannot be read or its size is outside 4 bytes .. 64 MiB.
EpsDoc *eps_open(const char *path);
// The same over bytes the caller keeps alive while the document is open.
EpsDoc *eps_open_memory(const uint8_t *data, int64_t size);
void eps_close(EpsDoc *doc);
enum EpsSource { EPS_TIFF_PREVIEW = 1, EPS_EPSI_PREVIEW, EPS_PLACEHOLDER };

// The page at its own size and resolution, and which of the three it is
// (`source` may be null); null only when memory is short. `painter` may be
// null: the placeholder then has no text.
PageBitmap *eps_render(EpsDoc *doc, EpsTextPainter painter, int *dpi_x, int *dpi_y, EpsSource *source);
