// RTF documents (RTF 1.x): the file is parsed once at open into characters
// with styles and structural items, laid out once into pages of positioned
// characters, rules and pictures, and drawn band by band with the base fonts.
#pragma once
#include <cstddef>
#include <cstdint>

struct PageBitmap;
struct PageText;
struct RtfDoc;

// The first RTF_MAX_FILE bytes of the file, parsed and laid out; null when
// the file cannot be read or memory is short.
RtfDoc *rtf_open(const char *path);
RtfDoc *rtf_open_memory(const uint8_t *data, size_t size);
void rtf_close(RtfDoc *doc);
int rtf_page_count(const RtfDoc *doc);  // at least 1
// The paper size in points (every page has the same).
void rtf_page_size(const RtfDoc *doc, float *width_pt, float *height_pt);
// Rows band_top .. band_top + band_rows - 1 of page `page` at `scale` pixels
// per point into a new bitmap as wide as the page; null for a page outside the
// document, an empty band, a bad scale or lack of memory.
PageBitmap *rtf_render_page(RtfDoc *doc, int page, float scale, int band_top, int band_rows);
// The page's characters, spaces and tabs included, with their boxes in pixels
// at `scale`; null when memory is short. The caller frees it.
PageText *rtf_page_text(RtfDoc *doc, int page, float scale);

// ---- Code pages ----

// The Unicode value of a byte under a Windows, DOS, ISO or Mac code page
// number; unknown numbers read as 1252.
uint32_t rtf_code_page_char(int code_page, uint8_t byte);
// The code page a font's \fcharset implies, or 0 for "the document's".
int rtf_charset_code_page(int charset);
