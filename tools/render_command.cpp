// pagrix-render render: pages or bands of a document to PNG, BMP or JPEG
// files, with the diagnostics of each PDF page and a progress bar.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "render/composite.h"
#include "render/page.h"

int render_usage_error(const char *what);

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
        } else {
            return render_usage_error(("unknown option: " + a).c_str());
        }
    }
    if (!o->out)
        return render_usage_error("missing -o OUT");
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

int write_page(const RenderOptions &o, const PageBitmap *bm, const std::string &name)
{
    if (o.format == "bmp")
        return write_bmp(name.c_str(), bm);
    if (o.format == "jpeg")
        return write_jpeg(name.c_str(), bm, o.quality);
    return write_png(name.c_str(), bm);
}

// Renders one page; 0 or 1 with the message printed.
int render_one(const RenderOptions &o, Document *doc, int page)
{
    PageBitmap *bm = nullptr;
    int rc;
    if (PdfDoc *pdf = doc_pdf(doc)) {
        char diags[24 * 24 + 1];
        rc = render_page_diag(pdf, page - 1, o.scale, o.band_y0, o.band_rows, &bm, diags,
                              sizeof diags);
        if (o.diag) {
            std::string line = "page " + std::to_string(page) + ":";
            for (const char *d = diags; *d; d += std::strlen(d) + 1)
                line += std::string(" ") + d;
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    } else {
        rc = doc_render_page(doc, page - 1, o.scale, o.band_y0, o.band_rows, &bm);
    }
    if (!bm) {
        std::fprintf(stderr, "pagrix-render: page %d: rendering failed (%d)\n", page, rc);
        return 1;
    }
    std::string name = output_name(o.out, page);
    int wrc = write_page(o, bm, name);
    bitmap_free(bm);
    if (wrc != 0) {
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
    int orc = doc_open(&doc, o.path, o.password);
    if (orc != 0) {
        std::fprintf(stderr, "pagrix-render: cannot open %s (%d)\n", o.path, orc);
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
        failures += render_one(o, doc, p);
        if (bar)
            progress(p - first + 1, last - first + 1);
    }
    doc_close(doc);
    return failures ? 1 : 0;
}
