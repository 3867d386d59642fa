// pagrix-render fonts: one line per font dictionary a page uses (every page
// without --page, each dictionary once): BaseFont, Subtype and where the face
// came from, tab-separated.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "document/document.h"
#include "fonts/font_scan.h"
#include "fonts/pdf_font.h"
#include "pdf/document.h"
#include "pdf/object.h"

int render_usage_error(const char *what);
void report_open_failure(const char *path, int rc);

namespace {

const char *name_or_none(PdfDoc *doc, PdfObject *dict, const char *key)
{
    PdfObject *v = pdf_dict_get_resolved(doc, dict, key);
    return pdf_is_type(v, PDF_NAME) && v->name[0] ? v->name : "[none]";
}

void print_font(PdfDoc *doc, PdfObject *dict)
{
    PdfFont *font = pdf_font_load(doc, dict);
    std::string source = "missing";
    if (font && (font->is_type3 || font->embedded))
        source = "embedded";
    else if (font && font->face)
        source = std::string("substituted ") + (font->subst_file ? font->subst_file : "?");
    std::printf("%s\t%s\t%s\n", name_or_none(doc, dict, "BaseFont"),
                name_or_none(doc, dict, "Subtype"), source.c_str());
}

}  // namespace

// fonts FILE [--page K] [--password PW]
int cmd_fonts(int argc, char **argv)
{
    const char *path = argv[2];
    const char *password = nullptr;
    int page = 0;  // 0: every page
    for (int i = 3; i < argc; i++) {
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(argv[i], "--password") == 0 && v) {
            password = v;
            i++;
        } else if (std::strcmp(argv[i], "--page") == 0 && v) {
            char *end = nullptr;
            long k = std::strtol(v, &end, 10);
            if (!v[0] || *end || k < 1 || k > 1000000000L)
                return render_usage_error("bad value for --page");
            page = int(k);
            i++;
        } else {
            return render_usage_error((std::string("bad option: ") + argv[i]).c_str());
        }
    }
    Document *doc = nullptr;
    if (int rc = doc_open(&doc, path, password); rc != 0) {
        report_open_failure(path, rc);
        return 1;
    }
    PdfDoc *pdf = doc_pdf(doc);
    if (!pdf) {
        doc_close(doc);
        return 0;  // other kinds carry no font dictionaries
    }
    if (page > doc_page_count(doc)) {
        std::fprintf(stderr, "pagrix-render: no such page\n");
        doc_close(doc);
        return 1;
    }
    FontScan scan;
    const int first = page ? page - 1 : 0, last = page ? page : doc_page_count(doc);
    for (int k = first; k < last; k++) {
        const size_t before = scan.fonts.size();
        pdf_scan_page_fonts(pdf, k, &scan);
        for (size_t i = before; i < scan.fonts.size(); i++)
            print_font(pdf, const_cast<PdfObject *>(scan.fonts[i]));
    }
    doc_close(doc);
    return 0;
}
