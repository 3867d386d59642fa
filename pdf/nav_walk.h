// Shared by the navigation readers: the guard every walk over file-linked
// nodes carries (a visited set and a node budget), and the lookup context
// that resolves destinations for one call with indexes built on first use.
#pragma once
#include <cstdint>

struct PdfDoc;
struct PdfObject;

// Nodes are told apart by identity: an indirect object is one record of the
// object cache however it is reached.
struct NavWalk {
    const void **slots;  // open addressing, null = empty
    int capacity;        // power of two, 0 before the first node
    int count;
    int budget;          // nodes still allowed
    bool tripped;        // the budget ran out or memory failed: the walk ends
};

void nav_walk_init(NavWalk *w, int budget);
void nav_walk_free(NavWalk *w);
// True for a node not seen before while the budget lasts (it is then
// recorded). A repeated node gives false; an exhausted budget or a failed
// allocation gives false and sets `tripped`.
bool nav_walk_enter(NavWalk *w, const void *node);

// One sorted key -> value table: the catalogue's Dests dictionary or the
// pairs of the Dests name tree.
struct NavNameEntry {
    const uint8_t *key;
    int length;
    int order;  // position in walk order: the first of equal keys wins
    PdfObject *value;
};

struct NavNameIndex {
    NavNameEntry *entries;
    int count;
    int capacity;
    bool built;
};

// Destination lookups of one reader call. Every lookup would otherwise scan
// the page list and both name tables again: an outline of thousands of items
// over a large name tree would cost their product.
struct NavLookup {
    PdfDoc *doc;
    NavNameIndex dests_dict;
    NavNameIndex dests_tree;
    int dict_lookups, tree_lookups;  // before the indexes are built
    const PdfObject **page_keys;  // page dictionaries sorted by address
    int *page_index_of;           // their first index in the page list
    int page_key_count;
    bool pages_built;
};

void nav_lookup_init(NavLookup *lk, PdfDoc *doc);
void nav_lookup_free(NavLookup *lk);
int nav_dest_page(NavLookup *lk, const PdfObject *dict);
int nav_page_index(NavLookup *lk, const PdfObject *page);
