// The page tree flattened into an array of page dictionaries in document
// order, inherited page attributes, page boxes and rotation (PDF Reference
// 1.7, sections 3.6.2 "Page Tree" and 10.10.1 "Page Boundaries").
#include "pdf/pages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <unordered_set>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/limits.h"

namespace {

// Read at every page-box query; the viewer writes it from its settings.
int g_crop_to_cropbox = 1;

constexpr int kFirstPageCapacity = 32;

// Intermediate nodes whose Kids were already walked in this walk.
using Visited = std::unordered_set<const PdfObject *>;

// The page array starts at 32 slots and doubles, so its capacity follows from
// the count alone: it is full at 0, 32, 64, 128 ...
bool page_array_full(int count)
{
    if (count == 0)
        return true;
    if (count < kFirstPageCapacity || count % kFirstPageCapacity != 0)
        return false;
    int steps = count / kFirstPageCapacity;
    return (steps & (steps - 1)) == 0;
}

// 0, or -3 when the arena is exhausted. Pages beyond the limit are dropped.
int append_page(PdfDoc *doc, PdfObject *page)
{
    if (doc->page_count >= PDF_MAX_PAGES)
        return 0;
    if (page_array_full(doc->page_count)) {
        size_t capacity = doc->page_count ? size_t(doc->page_count) * 2 : kFirstPageCapacity;
        auto *grown =
            static_cast<PdfObject **>(arena_alloc(doc->arena, sizeof(PdfObject *) * capacity));
        if (!grown)
            return -3;
        if (doc->page_count)
            std::memcpy(grown, doc->pages, sizeof(PdfObject *) * size_t(doc->page_count));
        doc->pages = grown;
    }
    doc->pages[doc->page_count++] = page;
    return 0;
}

// A node is a page when its Type says so, or when it has neither Type nor
// Kids but has content (some writers leave out Type on leaves). A page's own
// Kids are never followed. An intermediate node is expanded once per walk, so
// Kids pointing back to an ancestor, or one subtree shared by many parents,
// cannot multiply the work; a page listed twice is listed twice.
int walk(PdfDoc *doc, PdfObject *node, int depth, Visited *visited)
{
    if (depth > PDF_PAGE_TREE_DEPTH)
        return 0;
    node = pdf_resolve(doc, node);
    if (!node || node->type != PDF_DICT)
        return 0;
    PdfObject *type = pdf_resolve(doc, pdf_dict_get(node, "Type"));
    PdfObject *kids = pdf_resolve(doc, pdf_dict_get(node, "Kids"));
    if (pdf_is_name(type, "Page") || (!type && !kids && pdf_dict_get(node, "Contents")))
        return append_page(doc, node);
    if (!pdf_is_type(kids, PDF_ARRAY) || depth == PDF_PAGE_TREE_DEPTH)
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

// A box coordinate: non-numbers count as 0; values are bounded so that widths
// and heights stay finite floats.
float box_coordinate(PdfDoc *doc, PdfObject *arr, int i)
{
    double v = pdf_to_number(pdf_resolve(doc, pdf_array_get(arr, i)), 0);
    if (std::isnan(v))
        return 0;
    return float(std::clamp(v, -PDF_MAX_PAGE_COORD, PDF_MAX_PAGE_COORD));
}

// Reads an array of exactly four numbers as a normalised box.
bool read_box(PdfDoc *doc, PdfObject *arr, PdfBox *out)
{
    if (!pdf_is_type(arr, PDF_ARRAY) || arr->count != 4)
        return false;
    float v[4];
    for (int i = 0; i < 4; i++)
        v[i] = box_coordinate(doc, arr, i);
    out->x0 = std::min(v[0], v[2]);
    out->x1 = std::max(v[0], v[2]);
    out->y0 = std::min(v[1], v[3]);
    out->y1 = std::max(v[1], v[3]);
    return true;
}

// A node that could not be parsed for lack of memory reads as missing; the
// arena's sticky flag tells that apart from a broken file. The flag is
// watched for the span of one page-list operation.
struct ArenaFailureWatch {
    Arena *arena;
    int before;
    explicit ArenaFailureWatch(Arena *a) : arena(a), before(a->failed) { a->failed = 0; }
    ~ArenaFailureWatch() { arena->failed |= before; }
    int result(int rc) const { return arena->failed ? -3 : rc; }
};

int walk_from(PdfDoc *doc, PdfObject *node, int depth)
{
    if (depth >= PDF_PAGE_TREE_DEPTH)
        return walk(doc, node, depth, nullptr);  // the node alone: no Kids followed
    try {
        Visited visited;
        return walk(doc, node, depth, &visited);
    } catch (const std::bad_alloc &) {
        return -3;
    }
}

}  // namespace

int pdf_walk_page_node(PdfDoc *doc, PdfObject *node, int depth)
{
    if (!doc || !doc->arena)
        return 0;
    ArenaFailureWatch watch(doc->arena);
    return watch.result(walk_from(doc, node, depth));
}

int pdf_load_pages(PdfDoc *doc)
{
    if (!doc || !doc->arena)
        return 0;
    ArenaFailureWatch watch(doc->arena);
    doc->pages = nullptr;
    doc->page_count = 0;
    PdfObject *catalog = pdf_resolve(doc, pdf_dict_get(doc->trailer, "Root"));
    doc->catalog = pdf_is_type(catalog, PDF_DICT) ? catalog : nullptr;
    PdfObject *root = pdf_dict_get(doc->catalog, "Pages");
    return watch.result(root ? walk_from(doc, root, 0) : 0);
}

int pdf_collect_loose_pages(PdfDoc *doc)
{
    if (!doc || !doc->arena || !doc->xref)
        return 0;
    ArenaFailureWatch watch(doc->arena);
    for (int num = pdf_xref_next(doc, 0); num >= 0; num = pdf_xref_next(doc, num + 1)) {
        const XrefEntry &e = pdf_xref_slot(doc, num)->entry;
        // Strings of an encrypted file are decrypted with the generation the
        // object was written under; compressed objects always have 0.
        PdfObject *obj = pdf_fetch(doc, num, e.type == 1 ? e.gen : 0);
        if (!pdf_is_type(obj, PDF_DICT) ||
            !pdf_is_name(pdf_resolve(doc, pdf_dict_get(obj, "Type")), "Page"))
            continue;
        int rc = walk_from(doc, obj, PDF_PAGE_TREE_DEPTH);
        if (rc != 0)
            return rc;
    }
    return watch.result(0);
}

int pdf_page_count(const PdfDoc *doc) { return doc ? doc->page_count : 0; }

PdfObject *pdf_page(const PdfDoc *doc, int index)
{
    if (!doc || !doc->pages || index < 0 || index >= doc->page_count)
        return nullptr;
    return doc->pages[index];
}

PdfObject *pdf_page_attr(PdfDoc *doc, PdfObject *page, const char *key)
{
    PdfObject *node = pdf_resolve(doc, page);
    for (int i = 0; i < PDF_MAX_ATTR_DEPTH && pdf_is_type(node, PDF_DICT); i++) {
        PdfObject *v = pdf_resolve(doc, pdf_dict_get(node, key));
        if (v && v->type != PDF_NULL)
            return v;
        node = pdf_resolve(doc, pdf_dict_get(node, "Parent"));
    }
    return nullptr;
}

void pdf_page_box(PdfDoc *doc, PdfObject *page, PdfBox *out)
{
    PdfBox media{0, 0, 612, 792};
    read_box(doc, pdf_page_attr(doc, page, "MediaBox"), &media);
    *out = media;
    PdfBox crop;
    if (!g_crop_to_cropbox || !read_box(doc, pdf_page_attr(doc, page, "CropBox"), &crop))
        return;
    PdfBox cut{std::max(crop.x0, media.x0), std::max(crop.y0, media.y0),
               std::min(crop.x1, media.x1), std::min(crop.y1, media.y1)};
    // A crop box (nearly) outside the media box is a writer's mistake, not a
    // request to show nothing.
    if (cut.x1 - cut.x0 > 1 && cut.y1 - cut.y0 > 1)
        *out = cut;
}

int pdf_page_rotate(PdfDoc *doc, PdfObject *page)
{
    return pdf_to_int(pdf_page_attr(doc, page, "Rotate"), 0);
}

int pdf_page_rotation(PdfDoc *doc, PdfObject *page)
{
    int rotate = pdf_page_rotate(doc, page) % 360;  // reduced first: no overflow below
    if (rotate % 90 != 0)
        rotate = 0;
    int view = doc ? doc->view_rotation : 0;
    return ((rotate + view) % 360 + 360) % 360;
}

void pdf_set_view_rotation(PdfDoc *doc, int degrees)
{
    if (doc)
        doc->view_rotation = ((degrees % 360) + 360) % 360;
}

void pdf_set_crop_to_cropbox(int flag) { g_crop_to_cropbox = flag ? 1 : 0; }

int pdf_crop_to_cropbox() { return g_crop_to_cropbox; }
