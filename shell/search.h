// Search in the page view (find first, find next and previous, find all,
// showing a hit), the back/forward history steps, and the find dialog's
// result list, which must not outlive the Document it was found in.
#pragma once
#include <windows.h>

constexpr int FIND_MAX_RESULTS = 512;    // lines of the find-all list
constexpr int FIND_TEXT_MAX_CHARS = 127; // characters of a search text
constexpr int FIND_CONTEXT_SIZE = 320;   // bytes of a result's UTF-8 excerpt (78 characters)

// One line of the find-all list.
struct FindResult {
    int page;   // zero-based
    int index;  // hit index on the page
    char context[FIND_CONTEXT_SIZE];
};

// Stores `utf8` (cut to 127 characters) as the search text, forgets the
// previous hit and searches from the first page (direction > 0) or the last.
// False when no page has a hit.
bool view_find_first(HWND view, const char *utf8, int direction);
// F3 (+1) / Shift+F3 (-1): the next hit after the current one, wrapping
// around. 1 found, 0 no hit, -1 no search text (nothing done).
int view_find_next(HWND view, int direction);
// Case-sensitive matching; a change forgets the cached hits.
void view_set_match_case(HWND view, bool on);
// Makes `utf8` the search text and collects at most `max` hits over all
// pages in page order, with their excerpts; the number written to `out`.
int view_find_all(HWND view, const char *utf8, FindResult *out, int max);
// Goes to hit `index` of a zero-based page (clamped to the Document; an
// index the page lacks means its first hit); not recorded in the history.
void view_show_hit(HWND view, int page, int index);
// One step back (-1) or forward (+1) in the page history.
void view_history_step(HWND view, int direction);

// Empties the find dialog's result list (on every open and close).
void find_results_clear();
