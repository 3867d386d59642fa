// pagrix-render render: pages or bands of a document to PNG, BMP or JPEG
// files, with the diagnostics of each PDF page. Pages are rendered in bands
// streamed to the image writer, so memory stays one band; the page runner
// spreads the pages over worker processes.
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
#include "tools/cli.h"

namespace {

// OUT with its first %d replaced by the page number and its first %f by
// the input's name without folder and extension.
std::string output_name(const CliOptions &o, const std::string &path, int page)
{
    std::string s = o.out;
    auto at = s.find("%f");
    if (at != std::string::npos) {
        const auto slash = path.rfind('/');
        std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        const auto dot = base.rfind('.');
        if (dot != std::string::npos && dot > 0)
            base.erase(dot);
        s.replace(at, 2, base);
    }
    at = s.find("%d");
    if (at != std::string::npos)
        s.replace(at, 2, std::to_string(page));
    return s;
}

ImageFormat image_format(const CliOptions &o)
{
    return o.format == "bmp" ? IMAGE_BMP : o.format == "jpeg" ? IMAGE_JPEG : IMAGE_PNG;
}

const char *format_label(ImageFormat f) { return f == IMAGE_BMP ? "BMP" : f == IMAGE_JPEG ? "JPEG" : "PNG"; }

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

std::string page_label(const std::string &path, int page)
{
    return message_prefix(path) + "page " + std::to_string(page) + ": ";
}

// A page's thumbnail, written whole (it is at most 104 pixels wide).
void render_thumbnail(const CliOptions &o, const std::string &path, Document *doc, int page,
                      PageOutput *result)
{
    PageBitmap *thumb = nullptr;
    const int rc = doc_render_thumbnail(doc, page - 1, &thumb);
    if (rc != 0) {
        result->err = page_label(path, page) + "rendering failed: " + render_failure_words(rc) + "\n";
        result->failed = true;
        return;
    }
    const std::string name = output_name(o, path, page);
    ImageWriter *writer = image_writer_open(name.c_str(), image_format(o), thumb->width, thumb->height, o.quality);
    bool failed = !writer || image_writer_write(writer, thumb) != 0;
    if (writer && image_writer_close(writer) != 0)
        failed = true;
    bitmap_free(thumb);
    if (failed) {
        result->err = message_prefix(path) + "cannot write " + name + "\n";
        result->failed = true;
    }
}

// Renders one page (or the --band rows of it) band by band, streaming each
// band to the image file.
void render_one(const CliOptions &o, const std::string &path, Document *doc, int page,
                PageOutput *result)
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
    const ImageFormat format = image_format(o);
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    // An image the file format cannot hold is refused before any band is
    // rendered for it; a row wider than a raster fails in the renderer.
    if (rc == 0 && width <= BITMAP_MAX_SIDE && last - first > image_max_height(format, width)) {
        result->err = page_label(path, page) + "the page is " + size + " at this resolution, taller than the " +
                      std::to_string(image_max_height(format, width)) + " rows a " + format_label(format) +
                      " file holds\n";
        result->failed = true;
        return;
    }
    const std::string name = output_name(o, path, page);
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
            writer = image_writer_open(name.c_str(), format, width, last - first, o.quality);
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
        result->err += (several_files() ? path + ": " : "") + line + "\n";
    }
    if (rc != 0) {
        std::string words = render_failure_words(rc);
        if (rc == -3 && width > BITMAP_MAX_SIDE)
            words = "the page is " + size + " at this resolution, wider than the " +
                    std::to_string(BITMAP_MAX_SIDE) + " pixels a row can hold " + words.substr(words.find('('));
        result->err += page_label(path, page) + "rendering failed: " + words + "\n";
        result->failed = true;
    } else if (write_failed) {
        result->err += message_prefix(path) + "cannot write " + name + "\n";
        result->failed = true;
    }
}

Document *open_for_render(const CliOptions &o, const std::string &path)
{
    Document *doc = open_document(o, path);
    if (doc && o.quarter_turns)
        doc_rotate(doc, o.quarter_turns);
    return doc;
}

}  // namespace

// render FILE... -o OUT: 0, 1 when a page failed, 2 for a usage error.
int cmd_render(const CliOptions &o, const std::string &path)
{
    Document *doc = open_for_render(o, path);
    if (!doc)
        return 1;
    const int count = doc_page_count(doc);
    const int first = o.all ? 1 : o.first > 0 ? o.first : 1;
    int last = o.all ? count : o.last > 0 ? o.last : 1;
    if (count <= 0 || first > count) {
        report(path, "no such page: " + std::to_string(first) + " (document has " + std::to_string(count) + ")");
        doc_close(doc);
        return 1;
    }
    if (last > count)
        last = count;
    if (last > first && !std::strstr(o.out, "%d")) {
        doc_close(doc);
        return usage_error("OUT needs %d when several pages are rendered");
    }
    composite_set_antialias(!o.no_aa);
    PageRun run = page_run(o, path, first, last);
    run.open = [&] { return open_for_render(o, path); };
    run.work = [&](Document *d, int page, PageOutput *result) {
        if (o.thumbnail)
            render_thumbnail(o, path, d, page, result);
        else
            render_one(o, path, d, page, result);
    };
    const PageTotals totals = run_pages(doc, run);
    doc_close(doc);
    return totals.failures ? 1 : 0;
}
