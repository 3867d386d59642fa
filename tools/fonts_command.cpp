// pagrix-render fonts: one line per font dictionary a page uses (every page
// without --page, each dictionary once): BaseFont, Subtype and where the face
// came from, tab-separated.
#include <cstdio>
#include <string>

#include "document/document.h"
#include "fonts/font_scan.h"
#include "fonts/pdf_font.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "tools/cli.h"

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

// fonts FILE... [--page K]
int cmd_fonts(const CliOptions &o, const std::string &path)
{
    Document *doc = open_document(o, path);
    if (!doc)
        return 1;
    PdfDoc *pdf = doc_pdf(doc);
    if (!pdf) {
        doc_close(doc);
        return 0;  // other kinds carry no font dictionaries
    }
    if (o.page > doc_page_count(doc)) {
        report(path, "no such page: " + std::to_string(o.page) + " (document has " +
                         std::to_string(doc_page_count(doc)) + ")");
        doc_close(doc);
        return 1;
    }
    if (several_files())
        std::printf("==> %s <==\n", path.c_str());
    FontScan scan;
    const int first = o.page ? o.page - 1 : 0, last = o.page ? o.page : doc_page_count(doc);
    for (int k = first; k < last; k++) {
        const size_t before = scan.fonts.size();
        pdf_scan_page_fonts(pdf, k, &scan);
        for (size_t i = before; i < scan.fonts.size(); i++)
            print_font(pdf, const_cast<PdfObject *>(scan.fonts[i]));
    }
    doc_close(doc);
    return 0;
}
