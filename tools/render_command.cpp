// pagrix-render render: pages or bands of a document to PNG, BMP or JPEG
// files, with the diagnostics of each PDF page and a progress bar. Pages are
// rendered in bands streamed to the image writer, so memory stays one band.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "render/composite.h"
#include "render/page.h"

int render_usage_error(const char *what);
void report_open_failure(const char *path, int rc);
int open_document(Document **doc, const char *path, const char *password);

namespace {

struct RenderOptions {
    const char *path = nullptr;
    const char *out = nullptr;
    const char *password = nullptr;
    int first = 1, last = 1;  // 1-based; last = 0: through the last page
    bool all = false;
    float scale = 1.0f;
    int quarter_turns = 0;
    int band_y0 = 0, band_rows = 0;
    std::string format;
    int quality = 90;
    bool no_aa = false;
    bool diag = false;
    bool thumbnail = false;  // as the thumbnail panel renders: 104 pixels wide
};

bool parse_int(const char *s, int *out)
{
    char *end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (!s[0] || *end || v < -1000000000L || v > 1000000000L)
        return false;
    *out = int(v);
    return true;
}

bool parse_float(const char *s, float *out)
{
    char *end = nullptr;
    double v = std::strtod(s, &end);
    if (!s[0] || *end || !(v > 0 && v < 1e6))
        return false;
    *out = float(v);
    return true;
}

// 0 on success, else the usage error already reported (2).
int parse_options(int argc, char **argv, RenderOptions *o)
{
    o->path = argv[2];
    for (int i = 3; i < argc; i++) {
        std::string a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        bool takes = a == "-o" || a == "--page" || a == "--pages" || a == "--dpi" ||
                     a == "--scale" || a == "--rotate" || a == "--band" || a == "--format" ||
                     a == "--quality" || a == "--password";
        if (takes && !v)
            return render_usage_error(("missing value for " + a).c_str());
        if (takes)
            i++;
        if (a == "-o") {
            o->out = v;
        } else if (a == "--page") {
            if (!parse_int(v, &o->first) || o->first < 1)
                return render_usage_error("bad --page");
            o->last = o->first;
        } else if (a == "--pages") {
            const char *dash = std::strchr(v, '-');
            if (!dash || !parse_int(std::string(v, dash).c_str(), &o->first) ||
                !parse_int(dash + 1, &o->last) || o->first < 1 || o->last < o->first)
                return render_usage_error("bad --pages");
        } else if (a == "--all") {
            o->all = true;
        } else if (a == "--dpi") {
            float dpi;
            if (!parse_float(v, &dpi))
                return render_usage_error("bad --dpi");
            o->scale = dpi / 72.0f;
        } else if (a == "--scale") {
            if (!parse_float(v, &o->scale))
                return render_usage_error("bad --scale");
        } else if (a == "--rotate") {
            int q;
            if (!parse_int(v, &q))
                return render_usage_error("bad --rotate");
            // Quarter turns 0..3, or degrees in steps of 90.
            if (q % 90 == 0 && (q >= 90 || q <= -90))
                q /= 90;
            o->quarter_turns = ((q % 4) + 4) % 4;
        } else if (a == "--band") {
            const char *colon = std::strchr(v, ':');
            if (!colon || !parse_int(std::string(v, colon).c_str(), &o->band_y0) ||
                !parse_int(colon + 1, &o->band_rows) || o->band_y0 < 0 || o->band_rows < 1)
                return render_usage_error("bad --band");
        } else if (a == "--format") {
            o->format = v;
            if (o->format != "png" && o->format != "bmp" && o->format != "jpeg")
                return render_usage_error("bad --format");
        } else if (a == "--quality") {
            if (!parse_int(v, &o->quality) || o->quality < 1 || o->quality > 100)
                return render_usage_error("bad --quality");
        } else if (a == "--password") {
            o->password = v;
        } else if (a == "--no-aa") {
            o->no_aa = true;
        } else if (a == "--diag") {
            o->diag = true;
        } else if (a == "--thumbnail") {
            o->thumbnail = true;
        } else {
            return render_usage_error(("unknown option: " + a).c_str());
        }
    }
    if (!o->out)
        return render_usage_error("missing -o OUT");
    if (o->thumbnail && o->band_rows > 0)
        return render_usage_error("--thumbnail renders whole pages, not bands");
    if (o->format.empty()) {
        std::string out = o->out;
        auto dot = out.rfind('.');
        std::string ext = dot == std::string::npos ? "" : out.substr(dot + 1);
        for (char &c : ext)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        o->format = ext == "bmp" ? "bmp" : (ext == "jpg" || ext == "jpeg") ? "jpeg" : "png";
    }
    return 0;
}

// OUT with its first %d replaced by the page number.
std::string output_name(const char *pattern, int page)
{
    std::string s = pattern;
    auto at = s.find("%d");
    if (at != std::string::npos)
        s.replace(at, 2, std::to_string(page));
    return s;
}

void progress(int done, int total)
{
    const int width = 40;
    int filled = total > 0 ? done * width / total : width;
    std::fprintf(stderr, "\r[%.*s%*s] %d/%d", filled,
                 "########################################", width - filled, "", done, total);
    if (done == total)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

ImageFormat image_format(const RenderOptions &o)
{
    return o.format == "bmp" ? IMAGE_BMP : o.format == "jpeg" ? IMAGE_JPEG : IMAGE_PNG;
}

// Rows per band: a band's raster stays near kBandBytes whatever the page
// size, so memory does not grow with the resolution.
constexpr size_t kBandBytes = 8u << 20;

int band_rows_for(int width)
{
    // A page that cannot be measured has width 0: one row, and the caller
    // reports the page's failure before any band is asked for.
    if (width <= 0)
        return 1;
    const size_t stride = (3 * size_t(width) + 3) & ~size_t(3);
    const size_t rows = kBandBytes / stride;
    return rows < 1 ? 1 : rows > size_t(BITMAP_MAX_SIDE) ? BITMAP_MAX_SIDE : int(rows);
}

// Appends the NUL-separated tags in `diags` that `seen` does not hold yet.
void collect_diags(const char *diags, std::vector<std::string> *seen)
{
    for (const char *d = diags; *d; d += std::strlen(d) + 1) {
        if (std::find(seen->begin(), seen->end(), d) == seen->end())
            seen->push_back(d);
    }
}

// Renders rows y .. y + rows - 1 of a page into *out; the render status.
int render_band(Document *doc, int page, float scale, int y, int rows, PageBitmap **out,
                std::vector<std::string> *diags)
{
    if (PdfDoc *pdf = doc_pdf(doc)) {
        char tags[24 * 24 + 1];
        int rc = render_page_diag(pdf, page - 1, scale, y, rows, out, tags, sizeof tags);
        collect_diags(tags, diags);
        return rc;
    }
    return doc_render_page(doc, page - 1, scale, y, rows, out);
}

// A page's thumbnail, written whole (it is at most 104 pixels wide); 0, or
// 1 with the message printed.
int render_thumbnail(const RenderOptions &o, Document *doc, int page)
{
    PageBitmap *thumb = nullptr;
    const int rc = doc_render_thumbnail(doc, page - 1, &thumb);
    if (rc != 0) {
        std::fprintf(stderr, "pagrix-render: page %d: rendering failed (%d)\n", page, rc);
        return 1;
    }
    const std::string name = output_name(o.out, page);
    ImageWriter *writer = image_writer_open(name.c_str(), image_format(o), thumb->width, thumb->height, o.quality);
    bool failed = !writer || image_writer_write(writer, thumb) != 0;
    if (writer && image_writer_close(writer) != 0)
        failed = true;
    bitmap_free(thumb);
    if (failed) {
        std::fprintf(stderr, "pagrix-render: cannot write %s\n", name.c_str());
        return 1;
    }
    return 0;
}

// Renders one page (or the --band rows of it) band by band, streaming each
// band to the image file; 0, or 1 with the message printed.
int render_one(const RenderOptions &o, Document *doc, int page)
{
    int width = 0, height = 0;
    int rc = doc_page_pixel_size(doc, page - 1, o.scale, &width, &height);
    int first = 0, last = height;  // rows first .. last - 1 of the page
    if (rc == 0 && o.band_rows > 0) {
        first = o.band_y0;
        last = o.band_rows < height - first ? first + o.band_rows : height;
        if (first >= height)
            rc = -5;  // an empty band, as the renderer reports it
    }
    const std::string name = output_name(o.out, page);
    std::vector<std::string> diags;
    ImageWriter *writer = nullptr;
    bool write_failed = false;
    const int step = band_rows_for(width);
    for (int y = first; rc == 0 && y < last; y += step) {
        PageBitmap *band = nullptr;
        const int rows = last - y < step ? last - y : step;
        const int brc = render_band(doc, page, o.scale, y, rows, &band, &diags);
        if (!band || band->width != width || band->height != rows) {
            rc = brc != 0 ? brc : -1;
            bitmap_free(band);
            break;
        }
        // The file is created once the first band exists, so a page that
        // cannot be rendered leaves no empty file behind.
        if (!writer)
            writer = image_writer_open(name.c_str(), image_format(o), width, last - first,
                                       o.quality);
        write_failed = !writer || image_writer_write(writer, band) != 0;
        bitmap_free(band);
        if (write_failed)
            break;
    }
    if (writer && image_writer_close(writer) != 0)
        write_failed = true;
    if (o.diag) {
        std::string line = "page " + std::to_string(page) + ":";
        for (const std::string &d : diags)
            line += " " + d;
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (rc != 0) {
        std::fprintf(stderr, "pagrix-render: page %d: rendering failed (%d)\n", page, rc);
        return 1;
    }
    if (write_failed) {
        std::fprintf(stderr, "pagrix-render: cannot write %s\n", name.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int cmd_render(int argc, char **argv)
{
    RenderOptions o;
    if (int rc = parse_options(argc, argv, &o))
        return rc;
    Document *doc = nullptr;
    if (int orc = open_document(&doc, o.path, o.password); orc != 0) {
        report_open_failure(o.path, orc);
        return 1;
    }
    int count = doc_page_count(doc);
    int first = o.all ? 1 : o.first;
    int last = o.all ? count : o.last;
    if (count <= 0 || first > count) {
        std::fprintf(stderr, "pagrix-render: no such page: %d (document has %d)\n", first, count);
        doc_close(doc);
        return 1;
    }
    if (last > count)
        last = count;
    if (last > first && !std::strstr(o.out, "%d")) {
        doc_close(doc);
        return render_usage_error("OUT needs %d when several pages are rendered");
    }
    composite_set_antialias(!o.no_aa);
    if (o.quarter_turns)
        doc_rotate(doc, o.quarter_turns);
    bool bar = last > first && isatty(2) && !o.diag;
    int failures = 0;
    for (int p = first; p <= last; p++) {
        failures += o.thumbnail ? render_thumbnail(o, doc, p) : render_one(o, doc, p);
        if (bar)
            progress(p - first + 1, last - first + 1);
    }
    doc_close(doc);
    return failures ? 1 : 0;
}
