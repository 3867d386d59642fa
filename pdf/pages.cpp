// The page tree flattened into an array of page dictionaries in document
// order, and the inherited page attributes (PDF Reference 1.7, 3.6.2).
#include "pdf/pages.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_set>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/limits.h"

namespace {

int g_crop_to_cropbox = 0;

using Visited = std::unordered_set<const PdfObject *>;

int append_page(PdfDoc *doc, PdfObject *page)
{
    if (doc->page_count % 32 == 0) {
        auto *grown = static_cast<PdfObject **>(
            arena_alloc(doc->arena, sizeof(PdfObject *) * size_t(doc->page_count + 32)));
        if (!grown)
            return -3;
        if (doc->page_count)
            std::memcpy(grown, doc->pages, sizeof(PdfObject *) * size_t(doc->page_count));
        doc->pages = grown;
    }
    doc->pages[doc->page_count++] = page;
    return 0;
}

// Intermediate nodes are visited once: Kids that point back to an ancestor,
// or a node shared by many parents, cannot multiply the work.
int walk(PdfDoc *doc, PdfObject *node, int depth, Visited *visited)
{
    node = pdf_resolve(doc, node);
    if (!node || depth > PDF_PAGE_TREE_DEPTH || node->type != PDF_DICT)
        return 0;
    PdfObject *type = pdf_dict_get_resolved(doc, node, "Type");
    PdfObject *kids = pdf_dict_get_resolved(doc, node, "Kids");
    if (pdf_is_name(type, "Page") || (!type && !kids && pdf_dict_get(node, "Contents")))
        return append_page(doc, node);
    if (!kids || kids->type != PDF_ARRAY)
        return 0;
    if (visited) {
        try {
            if (!visited->insert(node).second)
                return 0;
        } catch (const std::bad_alloc &) {
            return -3;
        }
    }
    for (int i = 0; i < kids->count; i++) {
        int rc = walk(doc, kids->items[i], depth + 1, visited);
        if (rc != 0)
            return rc;
    }
    return 0;
}

void normalised_box(PdfDoc *doc, PdfObject *arr, PdfBox *out)
{
    float v[4];
    for (int i = 0; i < 4; i++)
        v[i] = float(pdf_to_number(pdf_resolve(doc, pdf_array_get(arr, i)), 0));
    out->x0 = std::min(v[0], v[2]);
    out->x1 = std::max(v[0], v[2]);
    out->y0 = std::min(v[1], v[3]);
    out->y1 = std::max(v[1], v[3]);
}

}  // namespace

int pdf_walk_page_node(PdfDoc *doc, PdfObject *node, int depth)
{
    return walk(doc, node, depth, nullptr);
}

int pdf_load_pages(PdfDoc *doc)
{
    doc->catalog = pdf_dict_get_resolved(doc, doc->trailer, "Root");
    PdfObject *pages = pdf_dict_get_resolved(doc, doc->catalog, "Pages");
    if (!pages)
        return 0;
    try {
        Visited visited;
        return walk(doc, pages, 0, &visited);
    } catch (const std::bad_alloc &) {
        return -3;
    }
}

int pdf_page_count(const PdfDoc *doc) { return doc ? doc->page_count : 0; }

PdfObject *pdf_page(const PdfDoc *doc, int index)
{
    if (!doc || index < 0 || index >= doc->page_count)
        return nullptr;
    return doc->pages[index];
}

PdfObject *pdf_page_attr(PdfDoc *doc, PdfObject *page, const char *key)
{
    PdfObject *node = page;
    for (int i = 0; node && i < PDF_MAX_ATTR_DEPTH; i++) {
        if (PdfObject *v = pdf_dict_get(node, key))
            return pdf_resolve(doc, v);
        node = pdf_dict_get_resolved(doc, node, "Parent");
    }
    return nullptr;
}

void pdf_page_box(PdfDoc *doc, PdfObject *page, PdfBox *out)
{
    *out = PdfBox{0, 0, 612, 792};
    PdfObject *media = pdf_page_attr(doc, page, "MediaBox");
    if (pdf_is_type(media, PDF_ARRAY) && media->count == 4)
        normalised_box(doc, media, out);
    PdfObject *crop = g_crop_to_cropbox ? pdf_page_attr(doc, page, "CropBox") : nullptr;
    if (pdf_is_type(crop, PDF_ARRAY) && crop->count == 4) {
        PdfBox c;
        normalised_box(doc, crop, &c);
        PdfBox cut{std::max(c.x0, out->x0), std::max(c.y0, out->y0), std::min(c.x1, out->x1),
                   std::min(c.y1, out->y1)};
        if (cut.x1 - cut.x0 > 1 && cut.y1 - cut.y0 > 1)
            *out = cut;
    }
}

int pdf_page_rotate(PdfDoc *doc, PdfObject *page)
{
    return pdf_to_int(pdf_page_attr(doc, page, "Rotate"), 0);
}

void pdf_set_view_rotation(PdfDoc *doc, int degrees)
{
    if (doc)
        doc->view_rotation = ((degrees % 360) + 360) % 360;
}

void pdf_set_crop_to_cropbox(int flag) { g_crop_to_cropbox = flag; }
