// The document outline and article threads (PDF Reference 1.7, sections
// 8.2.2 and 8.3.2) as flat lists for the bookmark panel and the article list.
#include <cstdio>
#include <cstring>

#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/nav.h"
#include "pdf/nav_walk.h"
#include "pdf/object.h"

namespace {

struct OutlineWalk {
    PdfDoc *doc;
    NavLookup lookup;
    NavWalk walk;  // every item once: a Next or First that points back ends the chain
    OutlineItem *items;  // null: count only
    int max;
    int count;
};

bool full(const OutlineWalk *o) { return o->items && o->count >= o->max; }

// One sibling chain from `item` and, depth first, the children of each item.
void walk_chain(OutlineWalk *o, PdfObject *item, int level, int depth)
{
    if (depth > PDF_NAV_MAX_DEPTH)
        return;
    for (int n = 0; pdf_is_type(item, PDF_DICT) && n < PDF_NAV_MAX_SIBLINGS; n++) {
        if (full(o) || !nav_walk_enter(&o->walk, item))
            return;
        char title[sizeof(OutlineItem::title)] = {};
        pdf_text_to_cp1252(pdf_dict_get_resolved(o->doc, item, "Title"), title, int(sizeof title));
        if (title[0]) {
            if (o->items) {
                OutlineItem *out = &o->items[o->count];
                std::memcpy(out->title, title, sizeof title);
                out->page = nav_dest_page(&o->lookup, item);
                out->level = level;
            }
            o->count++;
        }
        PdfObject *first = pdf_dict_get_resolved(o->doc, item, "First");
        if (pdf_is_type(first, PDF_DICT))
            walk_chain(o, first, level + 1, depth + 1);
        if (o->walk.tripped)
            return;
        item = pdf_dict_get_resolved(o->doc, item, "Next");
    }
}

}  // namespace

int pdf_get_outline(PdfDoc *doc, OutlineItem *items, int max)
{
    if (!doc || (items && max <= 0))
        return 0;
    PdfObject *root = pdf_dict_get_resolved(doc, doc->catalog, "Outlines");
    if (!pdf_is_type(root, PDF_DICT))
        return 0;
    OutlineWalk o;
    o.doc = doc;
    nav_lookup_init(&o.lookup, doc);
    nav_walk_init(&o.walk, PDF_NAV_MAX_NODES);
    o.items = items;
    o.max = max;
    o.count = 0;
    nav_walk_enter(&o.walk, root);  // an item whose First is the root is a loop too
    walk_chain(&o, pdf_dict_get_resolved(doc, root, "First"), 0, 0);
    nav_walk_free(&o.walk);
    nav_lookup_free(&o.lookup);
    return o.count;
}

int pdf_get_threads(PdfDoc *doc, ThreadItem *items, int max)
{
    if (!doc || (items && max <= 0))
        return 0;
    PdfObject *threads = pdf_dict_get_resolved(doc, doc->catalog, "Threads");
    const int n = pdf_array_len(threads);
    NavLookup lookup;
    nav_lookup_init(&lookup, doc);
    int count = 0;
    for (int i = 0; i < n && (!items || count < max); i++) {
        PdfObject *thread = pdf_resolve(doc, pdf_array_get(threads, i));
        if (!pdf_is_type(thread, PDF_DICT))
            continue;
        if (items) {
            ThreadItem *out = &items[count];
            std::memset(out, 0, sizeof *out);
            PdfObject *info = pdf_dict_get_resolved(doc, thread, "I");
            pdf_text_to_cp1252(pdf_dict_get_resolved(doc, info, "Title"), out->title, int(sizeof out->title));
            if (!out->title[0])
                std::snprintf(out->title, sizeof out->title, "Article %d", count + 1);
            // Only the first bead is read: a cut or looping bead ring does not matter.
            PdfObject *bead = pdf_dict_get_resolved(doc, thread, "F");
            PdfObject *page = pdf_dict_get_resolved(doc, bead, "P");
            out->page = page ? nav_page_index(&lookup, page) : -1;
        }
        count++;
    }
    nav_lookup_free(&lookup);
    return count;
}
