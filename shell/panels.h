// The side panels as the frame sees them: the thumbnail grid window, the
// bookmarks tree and the articles dialog.
#pragma once
#include <windows.h>
#include <commctrl.h>

struct Document;

#define THUMBS_CLASS "Pagrix95Thumbs"

BOOL thumbs_register_class(HINSTANCE instance);
HWND thumbs_create(HWND parent, HINSTANCE instance);
// Shows `doc` with `page_count` pages (null / 0: nothing). A different
// Document or count drops every cached thumbnail and scrolls to the top;
// in every case pages whose render failed are tried again.
void thumbs_reset(HWND thumbs, Document *doc, int page_count);
void thumbs_set_page(HWND thumbs, int page);  // 1-based, scrolled into sight

// Counters of the thumbnail window, for tests and diagnostics.
struct ThumbStats {
    int renders;        // thumbnail renders attempted
    int failures;       // of those, failed (the page is then skipped)
    int cached;         // entries in the cache
    bool timerRunning;  // the render timer is set
    int scrollY;
    int current;        // zero-based highlighted page, -1 none
};
ThumbStats thumbs_stats(HWND thumbs);

HWND bookmarks_create(HWND parent, HINSTANCE instance);
// Rebuilds the tree from the open Document's outline (cleared without one).
void bookmarks_rebuild(HWND tree, HWND view);
// The zero-based target page of the item the user chose with this
// notification of the tree, or -1 (none, or an item without a target). A
// selection change chooses its new item, except the first item that the
// tree selects by itself when it gains the focus without a selection; a
// click or double click on the selected item chooses it again.
int bookmarks_chosen_page(const NMHDR *hdr);
