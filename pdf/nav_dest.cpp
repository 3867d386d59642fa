// Destinations (PDF Reference 1.7, sections 8.2.1 and 3.8.5): explicit
// destination arrays, named destinations through the catalogue's Dests
// dictionary and the Dests name tree, and the page a destination points to.
// Also the walk guard that keeps looping or shared nodes from multiplying work.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "pdf/document.h"
#include "pdf/limits.h"
#include "pdf/nav.h"
#include "pdf/nav_walk.h"
#include "pdf/object.h"
#include "pdf/pages.h"

// ---- Walk guard ----

void nav_walk_init(NavWalk *w, int budget)
{
    *w = NavWalk{nullptr, 0, 0, budget, false};
}

void nav_walk_free(NavWalk *w)
{
    std::free(w->slots);
    w->slots = nullptr;
    w->capacity = w->count = 0;
}

namespace {

// 64-bit arithmetic on 32-bit builds too, so that the high bits taken are
// well mixed whatever the pointer width.
size_t slot_of(const void *node, int capacity)
{
    uint64_t h = uint64_t(reinterpret_cast<uintptr_t>(node));
    h ^= h >> 17;
    h *= 0x9E3779B97F4A7C15ull;
    return size_t(h >> 32) & size_t(capacity - 1);
}

// Inserts into a table known to have room.
void place(const void **slots, int capacity, const void *node)
{
    size_t i = slot_of(node, capacity);
    while (slots[i])
        i = (i + 1) & size_t(capacity - 1);
    slots[i] = node;
}

bool grow(NavWalk *w)
{
    const int capacity = w->capacity ? w->capacity * 2 : 64;
    auto *slots = static_cast<const void **>(std::calloc(size_t(capacity), sizeof(void *)));
    if (!slots)
        return false;
    for (int i = 0; i < w->capacity; i++) {
        if (w->slots[i])
            place(slots, capacity, w->slots[i]);
    }
    std::free(w->slots);
    w->slots = slots;
    w->capacity = capacity;
    return true;
}

}  // namespace

bool nav_walk_enter(NavWalk *w, const void *node)
{
    if (w->tripped || !node)
        return false;
    if (w->capacity) {
        for (size_t i = slot_of(node, w->capacity); w->slots[i]; i = (i + 1) & size_t(w->capacity - 1)) {
            if (w->slots[i] == node)
                return false;
        }
    }
    if (w->budget <= 0 || ((w->count + 1) * 2 > w->capacity && !grow(w))) {
        w->tripped = true;
        return false;
    }
    place(w->slots, w->capacity, node);
    w->count++;
    w->budget--;
    return true;
}

// ---- Name trees ----

namespace {

// Called for each (key, value) pair in walk order; true stops the walk.
using PairVisitor = bool (*)(void *user, const PdfObject *key, PdfObject *value);

// Names before Kids at every node, in array order; nodes deeper than the
// limit, seen before or past the budget are skipped. True when stopped.
bool walk_name_tree(PdfDoc *doc, PdfObject *node, int depth, NavWalk *walk, PairVisitor visit,
                    void *user)
{
    if (depth > PDF_NAV_MAX_DEPTH)
        return false;
    node = pdf_resolve(doc, node);
    if (!pdf_is_type(node, PDF_DICT) || !nav_walk_enter(walk, node))
        return false;
    PdfObject *names = pdf_dict_get_resolved(doc, node, "Names");
    const int n = pdf_array_len(names);
    if (n >= 2) {
        for (int i = 0; i + 1 < n; i += 2) {
            const PdfObject *key = pdf_resolve(doc, pdf_array_get(names, i));
            if (pdf_is_type(key, PDF_STRING) && visit(user, key, pdf_array_get(names, i + 1)))
                return true;
        }
    }
    PdfObject *kids = pdf_dict_get_resolved(doc, node, "Kids");
    const int k = pdf_array_len(kids);
    for (int i = 0; i < k && !walk->tripped; i++) {
        if (walk_name_tree(doc, pdf_array_get(kids, i), depth + 1, walk, visit, user))
            return true;
    }
    return false;
}

struct KeySearch {
    const uint8_t *key;
    int length;
    PdfObject *found;
};

bool match_key(void *user, const PdfObject *key, PdfObject *value)
{
    auto *s = static_cast<KeySearch *>(user);
    if (key->length != s->length || (s->length && std::memcmp(key->bytes, s->key, size_t(s->length)) != 0))
        return false;
    s->found = value;
    return true;
}

bool index_add(NavNameIndex *ix, const uint8_t *key, int length, PdfObject *value)
{
    if (ix->count >= PDF_NAV_MAX_NAMES)
        return false;
    if (ix->count == ix->capacity) {
        const int capacity = ix->capacity ? ix->capacity * 2 : 64;
        void *p = std::realloc(ix->entries, sizeof(NavNameEntry) * size_t(capacity));
        if (!p)
            return false;
        ix->entries = static_cast<NavNameEntry *>(p);
        ix->capacity = capacity;
    }
    ix->entries[ix->count] = NavNameEntry{key, length, ix->count, value};
    ix->count++;
    return true;
}

bool collect_pair(void *user, const PdfObject *key, PdfObject *value)
{
    return !index_add(static_cast<NavNameIndex *>(user), key->bytes, key->length, value);
}

int compare_keys(const uint8_t *a, int an, const uint8_t *b, int bn)
{
    const int n = std::min(an, bn);
    const int c = n > 0 ? std::memcmp(a, b, size_t(n)) : 0;
    return c != 0 ? c : (an > bn) - (an < bn);
}

void index_sort(NavNameIndex *ix)
{
    std::sort(ix->entries, ix->entries + ix->count, [](const NavNameEntry &a, const NavNameEntry &b) {
        const int c = compare_keys(a.key, a.length, b.key, b.length);
        return c != 0 ? c < 0 : a.order < b.order;
    });
    ix->built = true;
}

// The value of the first entry with this key, or null.
PdfObject *index_find(const NavNameIndex *ix, const uint8_t *key, int length)
{
    int lo = 0, hi = ix->count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const NavNameEntry &e = ix->entries[mid];
        if (compare_keys(e.key, e.length, key, length) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < ix->count && compare_keys(ix->entries[lo].key, ix->entries[lo].length, key, length) == 0)
        return ix->entries[lo].value;
    return nullptr;
}

PdfObject *dests_tree_root(PdfDoc *doc)
{
    PdfObject *names = pdf_dict_get_resolved(doc, doc->catalog, "Names");
    return pdf_dict_get(names, "Dests");
}

}  // namespace

PdfObject *pdf_name_tree_lookup(PdfDoc *doc, PdfObject *node, const uint8_t *key, int length,
                                int depth)
{
    if (!doc || (!key && length > 0) || length < 0)
        return nullptr;
    NavWalk walk;
    nav_walk_init(&walk, PDF_NAV_MAX_NODES);
    KeySearch s = {key, length, nullptr};
    walk_name_tree(doc, node, depth, &walk, match_key, &s);
    nav_walk_free(&walk);
    return pdf_resolve(doc, s.found);
}

// ---- Lookup context ----

void nav_lookup_init(NavLookup *lk, PdfDoc *doc)
{
    std::memset(lk, 0, sizeof *lk);
    lk->doc = doc;
}

void nav_lookup_free(NavLookup *lk)
{
    std::free(lk->dests_dict.entries);
    std::free(lk->dests_tree.entries);
    std::free(lk->page_keys);
    std::free(lk->page_index_of);
    nav_lookup_init(lk, lk->doc);
}

namespace {

void build_dests_dict(NavLookup *lk)
{
    NavNameIndex *ix = &lk->dests_dict;
    const PdfObject *dests = pdf_dict_get_resolved(lk->doc, lk->doc->catalog, "Dests");
    if (pdf_is_type(dests, PDF_STREAM))
        dests = dests->dict;
    if (pdf_is_type(dests, PDF_DICT)) {
        for (int i = 0; i < dests->count; i++) {
            const char *name = dests->entries[i].key;
            if (!index_add(ix, reinterpret_cast<const uint8_t *>(name), int(std::strlen(name)),
                           dests->entries[i].value))
                break;
        }
    }
    index_sort(ix);
}

void build_dests_tree(NavLookup *lk)
{
    NavWalk walk;
    nav_walk_init(&walk, PDF_NAV_MAX_NODES);
    walk_name_tree(lk->doc, dests_tree_root(lk->doc), 0, &walk, collect_pair, &lk->dests_tree);
    nav_walk_free(&walk);
    index_sort(&lk->dests_tree);
}

// The first lookups of a call search the tables directly; an index pays
// only when more follow (an outline, not the few links of a page).
constexpr int kDirectLookups = 8;

// The destination array a name or string stands for, or null.
PdfObject *named_dest(NavLookup *lk, const PdfObject *name)
{
    PdfDoc *doc = lk->doc;
    PdfObject *found = nullptr;
    if (pdf_is_type(name, PDF_NAME) && name->name) {
        if (!lk->dests_dict.built && ++lk->dict_lookups > kDirectLookups)
            build_dests_dict(lk);
        if (lk->dests_dict.built)
            found = index_find(&lk->dests_dict, reinterpret_cast<const uint8_t *>(name->name),
                               int(std::strlen(name->name)));
        else
            found = pdf_dict_get(pdf_dict_get_resolved(doc, doc->catalog, "Dests"), name->name);
    } else if (pdf_is_type(name, PDF_STRING)) {
        if (!lk->dests_tree.built && ++lk->tree_lookups > kDirectLookups)
            build_dests_tree(lk);
        if (lk->dests_tree.built)
            found = index_find(&lk->dests_tree, name->bytes, name->length);
        else
            found = pdf_name_tree_lookup(doc, dests_tree_root(doc), name->bytes, name->length, 0);
    }
    found = pdf_resolve(doc, found);
    if (pdf_is_type(found, PDF_DICT))
        found = pdf_dict_get_resolved(doc, found, "D");
    return pdf_is_type(found, PDF_ARRAY) ? found : nullptr;
}

void build_page_keys(NavLookup *lk)
{
    lk->pages_built = true;
    const int n = pdf_page_count(lk->doc);
    // Pairs (page, index) sorted by page address then index, kept as two arrays.
    struct Pair {
        const PdfObject *page;
        int index;
    };
    auto *pairs = static_cast<Pair *>(std::malloc(sizeof(Pair) * size_t(n)));
    lk->page_keys = static_cast<const PdfObject **>(std::malloc(sizeof(void *) * size_t(n)));
    lk->page_index_of = static_cast<int *>(std::malloc(sizeof(int) * size_t(n)));
    if (!pairs || !lk->page_keys || !lk->page_index_of) {
        std::free(pairs);
        return;  // lookups fall back to the linear scan
    }
    for (int i = 0; i < n; i++)
        pairs[i] = Pair{pdf_page(lk->doc, i), i};
    std::sort(pairs, pairs + n, [](const Pair &a, const Pair &b) {
        return a.page != b.page ? std::less<const PdfObject *>()(a.page, b.page) : a.index < b.index;
    });
    int m = 0;
    for (int i = 0; i < n; i++) {
        if (m > 0 && lk->page_keys[m - 1] == pairs[i].page)
            continue;  // a page listed twice: its first place counts
        lk->page_keys[m] = pairs[i].page;
        lk->page_index_of[m] = pairs[i].index;
        m++;
    }
    lk->page_key_count = m;
    std::free(pairs);
}

// Below this many pages a scan is as quick as building the index.
constexpr int kLinearPageScan = 64;

}  // namespace

int nav_page_index(NavLookup *lk, const PdfObject *page)
{
    PdfDoc *doc = lk->doc;
    page = pdf_resolve(doc, const_cast<PdfObject *>(page));
    if (!page)
        return -1;
    const int n = pdf_page_count(doc);
    if (n > kLinearPageScan && !lk->pages_built)
        build_page_keys(lk);
    if (n <= kLinearPageScan || !lk->page_keys) {
        for (int i = 0; i < n; i++) {
            if (pdf_page(doc, i) == page)
                return i;
        }
        return -1;
    }
    const PdfObject **end = lk->page_keys + lk->page_key_count;
    const PdfObject **at = std::lower_bound(lk->page_keys, end, page, std::less<const PdfObject *>());
    return at != end && *at == page ? lk->page_index_of[at - lk->page_keys] : -1;
}

int nav_dest_page(NavLookup *lk, const PdfObject *dict)
{
    PdfDoc *doc = lk->doc;
    PdfObject *dest = pdf_dict_get_resolved(doc, dict, "Dest");
    if (!dest) {
        PdfObject *action = pdf_dict_get_resolved(doc, dict, "A");
        if (pdf_is_name(pdf_dict_get_resolved(doc, action, "S"), "GoTo"))
            dest = pdf_dict_get_resolved(doc, action, "D");
    }
    if (pdf_is_type(dest, PDF_NAME) || pdf_is_type(dest, PDF_STRING))
        dest = named_dest(lk, dest);
    if (!pdf_is_type(dest, PDF_ARRAY))
        return -1;
    // A page number instead of a page reference is a remote destination's form.
    const PdfObject *target = pdf_resolve(doc, pdf_array_get(dest, 0));
    return pdf_is_type(target, PDF_DICT) ? nav_page_index(lk, target) : -1;
}

// ---- Public single lookups ----

namespace {

// Runs one lookup in a context of its own; `none` for a null document.
template <typename Result, typename Lookup>
Result single_lookup(PdfDoc *doc, Result none, Lookup lookup)
{
    if (!doc)
        return none;
    NavLookup lk;
    nav_lookup_init(&lk, doc);
    const Result result = lookup(&lk);
    nav_lookup_free(&lk);
    return result;
}

}  // namespace

int pdf_dest_page(PdfDoc *doc, const PdfObject *dict)
{
    return single_lookup(doc, -1, [&](NavLookup *lk) { return nav_dest_page(lk, dict); });
}

PdfObject *pdf_lookup_named_dest(PdfDoc *doc, const PdfObject *name)
{
    return single_lookup<PdfObject *>(doc, nullptr, [&](NavLookup *lk) { return named_dest(lk, name); });
}

int pdf_page_index(PdfDoc *doc, const PdfObject *page)
{
    return single_lookup(doc, -1, [&](NavLookup *lk) { return nav_page_index(lk, page); });
}
