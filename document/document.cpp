// Document dispatch: kind detection, open and close, page geometry, banded
// rendering with the raster-page and rotated-page caches, and the queries the
// shell forwards to the kind's reader.
#include "document/document.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "bitmap/bitmap.h"
#include "document/eps_text.h"
#include "formats/eps.h"
#include "formats/rtf.h"
#include "formats/text_doc.h"
#include "formats/tiff.h"
#include "pdf/document.h"
#include "pdf/nav.h"
#include "pdf/pages.h"
#include "pdf/reader.h"
#include "render/page.h"
#include "render/page_text.h"

namespace {

// The readers of the other kinds, reached only through this table; a kind
// whose reader is not built has no `open` and fails to open with -1.
struct DocReaderOps {
    // Handle or null; raster kinds fill the page count.
    void *(*open)(const char *path, int *page_count);
    void (*close)(void *handle);
    int (*page_count)(void *handle);                                 // text, RTF
    void (*page_size)(void *handle, int page, float *w, float *h);   // text, RTF
    PageBitmap *(*render_band)(void *handle, int page, float scale, int y0, int rows);
    PageBitmap *(*decode_page)(void *handle, int page, int *dpi_x, int *dpi_y);  // raster
    PageText *(*page_text)(void *handle, int page, float scale);
};

constexpr DocReaderOps kNoReader{};

constexpr DocReaderOps kTiffReader{
    [](const char *path, int *n) -> void * { return tiff_open(path, n); },
    [](void *h) { tiff_close(static_cast<TiffDoc *>(h)); },
    nullptr,
    nullptr,
    nullptr,
    [](void *h, int page, int *dx, int *dy) { return tiff_decode_page(static_cast<TiffDoc *>(h), page, dx, dy); },
    nullptr,
};

constexpr DocReaderOps kDcxReader{
    [](const char *path, int *n) -> void * { return dcx_open(path, n); },
    [](void *h) { dcx_close(static_cast<DcxDoc *>(h)); },
    nullptr,
    nullptr,
    nullptr,
    [](void *h, int page, int *dx, int *dy) { return dcx_decode_page(static_cast<DcxDoc *>(h), page, dx, dy); },
    nullptr,
};

// An EPS file is one raster page: its preview, or a placeholder.
constexpr DocReaderOps kEpsReader{
    [](const char *path, int *n) -> void * {
        *n = 1;
        return eps_open(path);
    },
    [](void *h) { eps_close(static_cast<EpsDoc *>(h)); },
    nullptr,
    nullptr,
    nullptr,
    [](void *h, int, int *dx, int *dy) {
        return eps_render(static_cast<EpsDoc *>(h), eps_paint_text, dx, dy, nullptr);
    },
    nullptr,
};

constexpr DocReaderOps kTextReader{
    [](const char *path, int *) -> void * { return text_open(path); },
    [](void *h) { text_close(static_cast<TextDoc *>(h)); },
    [](void *h) { return text_page_count(static_cast<TextDoc *>(h)); },
    [](void *h, int page, float *w, float *hh) { text_page_size(static_cast<TextDoc *>(h), page, w, hh); },
    [](void *h, int page, float scale, int y0, int rows) -> PageBitmap * {
        PageBitmap *band = nullptr;
        text_render_page(static_cast<TextDoc *>(h), page, scale, y0, rows, &band);
        return band;
    },
    nullptr,
    [](void *h, int page, float scale) { return text_page_text(static_cast<TextDoc *>(h), page, scale); },
};

constexpr DocReaderOps kRtfReader{
    [](const char *path, int *) -> void * { return rtf_open(path); },
    [](void *h) { rtf_close(static_cast<RtfDoc *>(h)); },
    [](void *h) { return rtf_page_count(static_cast<RtfDoc *>(h)); },
    [](void *h, int, float *w, float *ht) { rtf_page_size(static_cast<RtfDoc *>(h), w, ht); },
    [](void *h, int page, float scale, int y0, int rows) {
        return rtf_render_page(static_cast<RtfDoc *>(h), page, scale, y0, rows);
    },
    nullptr,
    [](void *h, int page, float scale) { return rtf_page_text(static_cast<RtfDoc *>(h), page, scale); },
};

const DocReaderOps *const kReaders[7] = {
    &kNoReader,    // DOC_UNKNOWN
    &kNoReader,    // DOC_PDF: handled directly
    &kTiffReader,  // DOC_TIFF
    &kDcxReader,   // DOC_DCX
    &kTextReader,  // DOC_TEXT
    &kRtfReader,   // DOC_RTF
    &kEpsReader,   // DOC_EPS
};

constexpr const char *kKindNames[7] = {
    "", "PDF Document", "TIFF Image", "DCX Fax Document", "Text Document", "Rich Text Document", "EPS Preview",
};

const DocReaderOps &ops(const Document *doc)
{
    return *kReaders[doc->kind >= 0 && doc->kind <= 6 ? doc->kind : 0];
}

void *reader_handle(const Document *doc)
{
    switch (doc->kind) {
    case DOC_TEXT: return doc->text;
    case DOC_RTF: return doc->rtf;
    case DOC_TIFF:
    case DOC_DCX:
    case DOC_EPS: return doc->raster;
    default: return nullptr;
    }
}

bool is_raster_kind(int kind) { return kind == DOC_TIFF || kind == DOC_DCX || kind == DOC_EPS; }

// Up to n bytes from the start of a file; the count read, -1 when it cannot be opened.
int read_head(const char *path, uint8_t *buf, int n)
{
    FILE *f = reader_fopen(path);  // through the shell's hook, like every open
    if (!f)
        return -1;
    int got = int(std::fread(buf, 1, size_t(n), f));
    std::fclose(f);
    return got;
}

bool extension_in(const char *path, std::initializer_list<const char *> list)
{
    char ext[8];
    if (!doc_file_extension(path, ext))
        return false;
    for (const char *e : list) {
        if (std::strcmp(ext, e) == 0)
            return true;
    }
    return false;
}

// Pixel size of an unrotated page of w x h points, by the page geometry the
// PDF renderer uses, so that every kind rounds and clamps alike.
void pixel_size(float w, float h, float scale, int *w_px, int *h_px)
{
    page_box_geometry(PdfBox{0, 0, w, h}, 0, scale, w_px, h_px, nullptr);
}

// The whole rotated text/RTF page at `scale`, cached; null on failure.
PageBitmap *rotated_text_page(Document *doc, int page, float scale)
{
    if (doc->render_cache && doc->render_cache_page == page &&
        doc->render_cache_rotation == doc->rotation && doc->render_cache_scale == scale)
        return doc->render_cache;
    bitmap_free(doc->render_cache);
    doc->render_cache = nullptr;
    doc->render_cache_page = -1;
    const DocReaderOps &o = ops(doc);
    if (!o.render_band)
        return nullptr;
    float w = 612, h = 792;
    if (o.page_size)
        o.page_size(reader_handle(doc), page, &w, &h);
    int width_px, rows;
    pixel_size(w, h, scale, &width_px, &rows);
    PageBitmap *flat = o.render_band(reader_handle(doc), page, scale, 0, rows);
    if (!flat)
        return nullptr;
    PageBitmap *turned = bitmap_rotate(flat, doc->rotation);
    bitmap_free(flat);
    if (!turned)
        return nullptr;
    doc->render_cache = turned;
    doc->render_cache_page = page;
    doc->render_cache_rotation = doc->rotation;
    doc->render_cache_scale = scale;
    return turned;
}

}  // namespace

// ---- Kind detection ----

DocKind doc_sniff_kind(const char *path)
{
    uint8_t b[8];
    int n = read_head(path, b, 8);
    auto starts = [&](int need, std::initializer_list<uint8_t> bytes) {
        if (n < need)
            return false;
        int i = 0;
        for (uint8_t v : bytes) {
            if (b[i++] != v)
                return false;
        }
        return true;
    };
    if (starts(5, {'%', 'P', 'D', 'F'}))
        return DOC_PDF;
    // Classic TIFF (42) and BigTIFF (43) in either byte order.
    if (starts(4, {0x49, 0x49, 0x2A, 0x00}) || starts(4, {0x4D, 0x4D, 0x00, 0x2A}) ||
        starts(4, {0x49, 0x49, 0x2B, 0x00}) || starts(4, {0x4D, 0x4D, 0x00, 0x2B}))
        return DOC_TIFF;
    if (starts(4, {0xB1, 0x68, 0xDE, 0x3A}))
        return DOC_DCX;
    if (starts(5, {'{', '\\', 'r', 't', 'f'}))
        return DOC_RTF;
    if (starts(4, {0xC5, 0xD0, 0xD3, 0xC6}))
        return DOC_EPS;
    return DOC_UNKNOWN;
}

bool doc_file_extension(const char *path, char out[8])
{
    out[0] = 0;
    const char *dot = path ? std::strrchr(path, '.') : nullptr;
    if (!dot)
        return false;
    int n = 0;
    for (const char *p = dot + 1; *p && n < 7; p++, n++)
        out[n] = (*p >= 'A' && *p <= 'Z') ? char(*p - 'A' + 'a') : *p;
    out[n] = 0;
    return true;
}

bool doc_is_eps_file(const char *path)
{
    if (extension_in(path, {"eps", "epsf", "epsi"}))
        return true;
    uint8_t b[256];
    int n = read_head(path, b, 256);
    if (n < 4 || b[0] != '%' || b[1] != '!')
        return false;
    for (int i = 0; i + 4 <= n; i++) {
        if (std::memcmp(b + i, "EPSF", 4) == 0)
            return true;
    }
    return false;
}

bool doc_is_text_file(const char *path)
{
    if (extension_in(path, {"txt", "asc", "nfo", "log", "text", "me", "diz", "1st"}))
        return true;
    uint8_t b[512];
    int n = read_head(path, b, 512);
    if (n <= 0)
        return false;
    int printable = 0;
    for (int i = 0; i < n; i++) {
        if (b[i] == 0)
            return false;
        if (b[i] >= 0x20 || b[i] == '\t' || b[i] == '\r' || b[i] == '\n')
            printable++;
    }
    return printable * 10 >= n * 9;
}

const char *doc_expected_kind_text(const char *ext)
{
    static constexpr struct {
        const char *ext;
        const char *text;
    } kExpected[] = {
        {"pdf", "PDF"},   {"rtf", "Rich Text"}, {"tif", "TIFF"},  {"tiff", "TIFF"},
        {"dcx", "DCX"},   {"eps", "EPS"},       {"epsf", "EPS"},  {"epsi", "EPS"},
        {"txt", "Text"},  {"asc", "Text"},      {"nfo", "Text"},  {"log", "Text"},
    };
    for (const auto &e : kExpected) {
        if (ext && std::strcmp(ext, e.ext) == 0)
            return e.text;
    }
    return nullptr;
}

bool doc_kind_mismatch(const Document *doc, const char *path)
{
    char ext[8];
    if (!doc || !doc_file_extension(path, ext))
        return false;
    const char *expected = doc_expected_kind_text(ext);
    return expected && !std::strstr(doc_kind_name(doc), expected);
}

// ---- Open and close ----

namespace {

// How far into a file the PDF signs are looked for.
constexpr int kPdfHeaderWindow = 1024;

bool is_pdf_space(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == 0; }
bool is_digit(uint8_t c) { return c >= '0' && c <= '9'; }

// An object header "<number> <number> obj" on a line of its own start,
// ending at b[end] ("obj" at end .. end + 2, followed by a delimiter).
bool object_header_ends_at(const uint8_t *b, int n, int end)
{
    if (end + 3 < n && !is_pdf_space(b[end + 3]) && b[end + 3] != '<' && b[end + 3] != '[')
        return false;
    int i = end - 1;
    for (int field = 0; field < 2; field++) {
        const int spaces = i;
        while (i >= 0 && (b[i] == ' ' || b[i] == '\t'))
            i--;
        if (i == spaces)
            return false;
        const int digits = i;
        while (i >= 0 && is_digit(b[i]))
            i--;
        if (i == digits || digits - i > 10)
            return false;
    }
    return i < 0 || b[i] == '\r' || b[i] == '\n';
}

// "%PDF-" within the first kPdfHeaderWindow bytes, or, for a file that lost
// its header, an object header there ("1 0 obj" at the start of a line).
bool pdf_signs_near_start(const char *path)
{
    uint8_t b[kPdfHeaderWindow];
    int n = read_head(path, b, kPdfHeaderWindow);
    for (int i = 0; i + 5 <= n; i++) {
        if (std::memcmp(b + i, "%PDF-", 5) == 0)
            return true;
    }
    for (int i = 0; i + 3 <= n; i++) {
        if (std::memcmp(b + i, "obj", 3) == 0 && object_header_ends_at(b, n, i))
            return true;
    }
    return false;
}

// A PDF without a single page is no document to show: -1, nothing left open.
int open_pdf(Document *doc, const char *path, const char *password)
{
    doc->kind = DOC_PDF;
    int rc = pdf_open(&doc->pdf, path, password);
    if (rc == 0)
        doc->page_count = pdf_page_count(doc->pdf);
    if (rc == 0 && doc->page_count <= 0) {
        pdf_close(doc->pdf);
        doc->pdf = nullptr;
        doc->page_count = 0;
        rc = -1;
    }
    return rc;
}

// Hands out the document after a successful PDF open, or frees it and
// passes the opener's status on.
int finish_pdf_open(Document *doc, int rc, Document **out)
{
    if (rc != 0) {
        std::free(doc);
        return rc;
    }
    *out = doc;
    return 0;
}

}  // namespace

int doc_open(Document **out, const char *path, const char *password)
{
    if (!out)
        return -2;
    *out = nullptr;
    auto *doc = static_cast<Document *>(std::calloc(1, sizeof(Document)));
    if (!doc)
        return -3;
    doc->raster_cache_page = -1;
    doc->render_cache_page = -1;
    DocKind kind = doc_sniff_kind(path);
    int pdf_rc = 1;  // not tried yet
    if (kind == DOC_UNKNOWN && pdf_signs_near_start(path)) {
        // Leading junk before the header (a mail or spooler prefix), or a
        // file that lost its header, is often printable and would pass the
        // text test: the PDF opener goes first. A document with pages or a
        // password it asks for settles the kind, and so does running out of
        // memory on the way; any other failure leaves the decision to the
        // tests below, as for a "PDF" without a single page (open_pdf fails
        // it): what the repair scan makes of a text that quotes a header (a
        // tutorial, a mail log) is no document to show.
        pdf_rc = open_pdf(doc, path, password);
        if (pdf_rc == 0 || pdf_rc == -3 || pdf_rc == -6 || pdf_rc == -7)
            return finish_pdf_open(doc, pdf_rc, out);
    }
    if (kind == DOC_UNKNOWN)
        kind = doc_is_eps_file(path) ? DOC_EPS : doc_is_text_file(path) ? DOC_TEXT : DOC_PDF;
    doc->kind = kind;
    if (kind == DOC_PDF)
        return finish_pdf_open(doc, pdf_rc == 1 ? open_pdf(doc, path, password) : pdf_rc, out);
    const DocReaderOps &o = ops(doc);
    void *handle = o.open ? o.open(path, &doc->page_count) : nullptr;
    if (handle && !is_raster_kind(kind) && o.page_count)
        doc->page_count = o.page_count(handle);
    if (!handle || (is_raster_kind(kind) && doc->page_count <= 0)) {
        if (handle && o.close)
            o.close(handle);
        std::free(doc);
        return -1;
    }
    if (kind == DOC_TEXT)
        doc->text = static_cast<TextDoc *>(handle);
    else if (kind == DOC_RTF)
        doc->rtf = static_cast<RtfDoc *>(handle);
    else
        doc->raster = handle;
    *out = doc;
    return 0;
}

void doc_close(Document *doc)
{
    if (!doc)
        return;
    if (doc->kind == DOC_PDF) {
        pdf_close(doc->pdf);
    } else if (void *h = reader_handle(doc)) {
        if (ops(doc).close)
            ops(doc).close(h);
    }
    bitmap_free(doc->raster_cache);
    bitmap_free(doc->render_cache);
    std::free(doc);
}

// ---- Queries ----

int doc_page_count(const Document *doc) { return doc ? doc->page_count : 0; }

const char *doc_kind_name(const Document *doc)
{
    if (!doc || doc->kind < 1 || doc->kind > 6)
        return "";
    return kKindNames[doc->kind];
}

int doc_has_text(const Document *doc)
{
    return doc && (doc->kind == DOC_PDF || doc->kind == DOC_TEXT || doc->kind == DOC_RTF);
}

PageText *doc_page_text(Document *doc, int page, float scale)
{
    if (!doc)
        return nullptr;
    if (doc->kind == DOC_PDF)
        return pdf_page_text(doc->pdf, page, scale);
    if ((doc->kind == DOC_TEXT || doc->kind == DOC_RTF) && ops(doc).page_text)
        return ops(doc).page_text(reader_handle(doc), page, scale);
    return nullptr;
}

int doc_page_size(Document *doc, int page, float *width_pt, float *height_pt, int *rotation_deg)
{
    float w = 612, h = 792;
    int rot = 0;
    int rc = 0;
    if (!doc) {
        rc = -2;
    } else if (doc->kind == DOC_PDF) {
        // A missing page reads as a default page (Letter, no Rotate).
        PdfObject *p = pdf_page(doc->pdf, page);
        if (p) {
            PdfBox box;
            pdf_page_box(doc->pdf, p, &box);
            w = box.x1 - box.x0;
            h = box.y1 - box.y0;
            rot = pdf_page_rotation(doc->pdf, p);  // Rotate and the view rotation
        }
    } else if (doc->kind == DOC_TEXT || doc->kind == DOC_RTF) {
        if (ops(doc).page_size)
            ops(doc).page_size(reader_handle(doc), page, &w, &h);
        if (doc->rotation & 1)
            std::swap(w, h);
    } else {
        PageBitmap *b = doc_raster_page(doc, page);
        if (!b) {
            rc = -1;
        } else {
            int dx = doc->raster_dpi_x > 0 ? doc->raster_dpi_x : 72;
            int dy = doc->raster_dpi_y > 0 ? doc->raster_dpi_y : 72;
            w = float(b->width) * 72.0f / float(dx);
            h = float(b->height) * 72.0f / float(dy);
        }
    }
    if (width_pt)
        *width_pt = w;
    if (height_pt)
        *height_pt = h;
    if (rotation_deg)
        *rotation_deg = rot;
    return rc;
}

int doc_page_pixel_size(Document *doc, int page, float scale, int *w_px, int *h_px)
{
    if (!doc)
        return -2;
    if (doc->kind == DOC_PDF)
        return page_pixel_size(doc->pdf, page, scale, w_px, h_px);
    float w, h;
    int rc = doc_page_size(doc, page, &w, &h, nullptr);
    if (rc != 0)
        return rc;
    pixel_size(w, h, scale, w_px, h_px);
    return 0;
}

int doc_render_page(Document *doc, int page, float scale, int y0, int rows, PageBitmap **out)
{
    if (out)
        *out = nullptr;
    if (!doc || !out)
        return -2;
    if (doc->kind == DOC_PDF)
        return render_page(doc->pdf, page, scale, y0, rows, out);
    int w, h;
    if (doc->kind == DOC_TEXT || doc->kind == DOC_RTF) {
        if (doc_page_pixel_size(doc, page, scale, &w, &h) != 0)
            return -1;
        if (rows <= 0) {
            y0 = 0;
            rows = h;
        }
        // The band is shortened to the page, as for PDF pages.
        if (y0 < 0)
            y0 = 0;
        if (y0 >= h)
            return -5;
        if (rows > h - y0)
            rows = h - y0;
        if (doc->rotation == 0) {
            if (!ops(doc).render_band)
                return -1;
            *out = ops(doc).render_band(reader_handle(doc), page, scale, y0, rows);
            return *out ? 0 : -3;
        }
        PageBitmap *whole = rotated_text_page(doc, page, scale);
        if (!whole)
            return -1;
        *out = bitmap_scale_band(whole, w, h, y0, rows);
        return *out ? 0 : -3;
    }
    PageBitmap *raster = doc_raster_page(doc, page);
    if (!raster || doc_page_pixel_size(doc, page, scale, &w, &h) != 0)
        return -1;
    if (rows <= 0) {
        y0 = 0;
        rows = h;
    }
    *out = bitmap_scale_band(raster, w, h, y0, rows);
    return *out ? 0 : -3;
}

int doc_rotate(Document *doc, int quarter_turns)
{
    if (!doc)
        return 0;
    doc->rotation = (doc->rotation + (quarter_turns & 3)) & 3;
    if (doc->kind == DOC_PDF)
        pdf_set_view_rotation(doc->pdf, doc->rotation * 90);
    doc->raster_cache_page = -1;
    doc->render_cache_page = -1;
    return 1;
}

PageBitmap *doc_raster_page(Document *doc, int page)
{
    if (!doc || !is_raster_kind(doc->kind))
        return nullptr;
    if (doc->raster_cache && doc->raster_cache_page == page)
        return doc->raster_cache;
    bitmap_free(doc->raster_cache);
    doc->raster_cache = nullptr;
    doc->raster_cache_page = -1;
    if (!ops(doc).decode_page)
        return nullptr;
    PageBitmap *b = ops(doc).decode_page(doc->raster, page, &doc->raster_dpi_x, &doc->raster_dpi_y);
    if (!b)
        return nullptr;
    if (doc->rotation != 0) {
        if (PageBitmap *turned = bitmap_rotate(b, doc->rotation)) {
            bitmap_free(b);
            b = turned;
            if (doc->rotation & 1)
                std::swap(doc->raster_dpi_x, doc->raster_dpi_y);
        }
    }
    doc->raster_cache = b;
    doc->raster_cache_page = page;
    return b;
}

// ---- Pass-through queries ----

PdfDoc *doc_pdf(Document *doc) { return doc && doc->kind == DOC_PDF ? doc->pdf : nullptr; }

int doc_outline(Document *doc, OutlineItem *items, int max)
{
    PdfDoc *pdf = doc_pdf(doc);
    return pdf ? pdf_get_outline(pdf, items, max) : 0;
}

int doc_threads(Document *doc, ThreadItem *items, int max)
{
    PdfDoc *pdf = doc_pdf(doc);
    return pdf ? pdf_get_threads(pdf, items, max) : 0;
}

int doc_page_links(Document *doc, int page, float scale, LinkItem *items, int max)
{
    PdfDoc *pdf = doc_pdf(doc);
    return pdf ? pdf_get_page_links(pdf, page, scale, items, max) : 0;
}

// ---- Text-document settings ----

namespace {

TextDoc *text_of(Document *doc) { return doc && doc->kind == DOC_TEXT ? doc->text : nullptr; }

}  // namespace

int doc_text_encoding(Document *doc)
{
    TextDoc *text = text_of(doc);
    return text ? text_encoding(text) : -2;
}

int doc_text_set_encoding(Document *doc, int index)
{
    TextDoc *text = text_of(doc);
    if (!text || !text_set_encoding(text, index))
        return 0;
    doc->page_count = text_page_count(text);
    doc->render_cache_page = -1;  // a rotated page holds the old letters
    return 1;
}

const char *doc_text_encoding_name(int index) { return text_encoding_name(index); }

int doc_text_encoding_sure(Document *doc)
{
    TextDoc *text = text_of(doc);
    return text ? text_encoding_sure(text) : 1;
}

int doc_text_mono(Document *doc)
{
    TextDoc *text = text_of(doc);
    return text ? text_mono(text) : 1;
}

void doc_text_set_mono(Document *doc, int mono)
{
    if (TextDoc *text = text_of(doc)) {
        text_set_mono(text, mono);
        doc->render_cache_page = -1;
    }
}
