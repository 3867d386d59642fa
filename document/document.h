// Document: the one format-independent face of an open file that the shell
// sees. Picks the reader by content (then by extension), keeps the small page
// caches of the raster kinds and applies the user's view rotation.
#pragma once

struct PageBitmap;
struct PageText;
struct PdfDoc;
struct TextDoc;
struct RtfDoc;
struct OutlineItem;
struct ThreadItem;
struct LinkItem;

enum DocKind {
    DOC_UNKNOWN = 0,  // sniffing result only
    DOC_PDF = 1,
    DOC_TIFF = 2,
    DOC_DCX = 3,
    DOC_TEXT = 4,
    DOC_RTF = 5,
    DOC_EPS = 6,
};

struct Document {
    int kind;
    PdfDoc *pdf;
    TextDoc *text;
    RtfDoc *rtf;
    void *raster;  // TIFF, DCX and EPS readers
    int page_count;
    PageBitmap *raster_cache;  // decoded raster page, already rotated
    int raster_cache_page;     // -1 = none
    int raster_dpi_x, raster_dpi_y;
    int rotation;              // view rotation in clockwise quarter turns 0..3
    PageBitmap *render_cache;  // rotated whole text/RTF page
    int render_cache_page;     // -1 = none
    int render_cache_rotation;
    float render_cache_scale;
};

// ---- Kind detection ----

// By the first 8 bytes: PDF, TIFF, DCX, RTF, binary EPS, or DOC_UNKNOWN.
DocKind doc_sniff_kind(const char *path);
// The text after the last "." (at most 7 characters, A-Z lowered) into
// out[8]; false when the path has no ".".
bool doc_file_extension(const char *path, char out[8]);
bool doc_is_eps_file(const char *path);
bool doc_is_text_file(const char *path);
// The kind actually opened for a file whose extension promises another: the
// text that must occur in doc_kind_name, or null for unchecked extensions.
const char *doc_expected_kind_text(const char *extension);
// True when the shell should show its type-mismatch notice for this file.
bool doc_kind_mismatch(const Document *doc, const char *path);

// ---- Open, close, queries ----

// 0, -1 (reader failed or no pages), -3 (memory), or pdf_open's code as is.
int doc_open(Document **out, const char *path, const char *password);
void doc_close(Document *doc);
int doc_page_count(const Document *doc);
const char *doc_kind_name(const Document *doc);
int doc_has_text(const Document *doc);
// Caller owns the result; null for kinds without text.
PageText *doc_page_text(Document *doc, int page, float scale);
// Page size in points and the rotation still to apply (0, 90, 180, 270).
int doc_page_size(Document *doc, int page, float *width_pt, float *height_pt, int *rotation_deg);
int doc_page_pixel_size(Document *doc, int page, float scale, int *w_px, int *h_px);
// Rows y0 .. y0 + rows - 1 of the page at `scale` pixels per point (rows <= 0:
// the whole page) into a new bitmap owned by the caller.
int doc_render_page(Document *doc, int page, float scale, int y0, int rows, PageBitmap **out);
int doc_rotate(Document *doc, int quarter_turns);
// A page's thumbnail as the thumbnail panel shows it: 104 pixels wide (never
// enlarged), greeking text under 8 pixels, images simplified by the
// renderer's thumbnail mode. 0, or the render's status with *out null.
int doc_render_thumbnail(Document *doc, int page, PageBitmap **out);
// The raster of a TIFF/DCX/EPS page; owned by the document.
PageBitmap *doc_raster_page(Document *doc, int page);

// ---- Pass-through queries (0 or null for other kinds) ----

PdfDoc *doc_pdf(Document *doc);
int doc_outline(Document *doc, OutlineItem *items, int max);
int doc_threads(Document *doc, ThreadItem *items, int max);
int doc_page_links(Document *doc, int page, float scale, LinkItem *items, int max);

// ---- Text-document settings (forwarded to the text reader) ----

int doc_text_encoding(Document *doc);               // -2 for other kinds
int doc_text_set_encoding(Document *doc, int index);  // 1 done, 0 refused
const char *doc_text_encoding_name(int index);
int doc_text_encoding_sure(Document *doc);          // 1 for other kinds
int doc_text_mono(Document *doc);                   // 1 for other kinds
void doc_text_set_mono(Document *doc, int mono);
