// Collecting the font dictionaries reachable from a page's resources.
#include "fonts/font_scan.h"

#include <algorithm>

#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/pages.h"

namespace {

constexpr int kMaxDepth = 64;  // nested resource dictionaries followed

bool contains(const std::vector<const PdfObject *> &list, const PdfObject *obj)
{
    return std::find(list.begin(), list.end(), obj) != list.end();
}

void scan_resources(PdfDoc *doc, PdfObject *resources, FontScan *scan, int depth);

// The Resources of each entry (streams and dictionaries) of one category.
void scan_category(PdfDoc *doc, PdfObject *resources, const char *category, FontScan *scan,
                   int depth)
{
    PdfObject *dict = pdf_dict_get_resolved(doc, resources, category);
    if (!pdf_is_type(dict, PDF_DICT))
        return;
    for (int i = 0; i < dict->count; i++) {
        PdfObject *item = pdf_resolve(doc, dict->entries[i].value);
        scan_resources(doc, pdf_dict_get_resolved(doc, item, "Resources"), scan, depth + 1);
    }
}

void scan_resources(PdfDoc *doc, PdfObject *resources, FontScan *scan, int depth)
{
    if (!pdf_is_type(resources, PDF_DICT) || depth > kMaxDepth || contains(scan->visited, resources))
        return;
    scan->visited.push_back(resources);
    PdfObject *fonts = pdf_dict_get_resolved(doc, resources, "Font");
    if (pdf_is_type(fonts, PDF_DICT)) {
        for (int i = 0; i < fonts->count; i++) {
            PdfObject *font = pdf_resolve(doc, fonts->entries[i].value);
            if (!pdf_is_type(font, PDF_DICT) || contains(scan->fonts, font))
                continue;
            scan->fonts.push_back(font);
            if (pdf_is_name(pdf_dict_get_resolved(doc, font, "Subtype"), "Type3"))
                scan_resources(doc, pdf_dict_get_resolved(doc, font, "Resources"), scan, depth + 1);
        }
    }
    scan_category(doc, resources, "XObject", scan, depth);
    scan_category(doc, resources, "Pattern", scan, depth);
}

}  // namespace

int pdf_scan_page_fonts(PdfDoc *doc, int page_index, FontScan *scan)
{
    PdfObject *page = pdf_page(doc, page_index);
    if (!page)
        return 0;
    const size_t before = scan->fonts.size();
    scan_resources(doc, pdf_page_attr(doc, page, "Resources"), scan, 0);
    PdfObject *annots = pdf_dict_get_resolved(doc, page, "Annots");
    for (int i = 0; i < pdf_array_len(annots); i++) {
        PdfObject *annot = pdf_resolve(doc, pdf_array_get(annots, i));
        PdfObject *normal = pdf_dict_get_resolved(doc, pdf_dict_get_resolved(doc, annot, "AP"), "N");
        if (pdf_is_type(normal, PDF_DICT)) {
            PdfObject *state = pdf_dict_get_resolved(doc, annot, "AS");
            normal = pdf_is_type(state, PDF_NAME) ? pdf_dict_get_resolved(doc, normal, state->name)
                                                  : nullptr;
        }
        if (pdf_is_type(normal, PDF_STREAM))
            scan_resources(doc, pdf_dict_get_resolved(doc, normal, "Resources"), scan, 1);
    }
    return int(scan->fonts.size() - before);
}
