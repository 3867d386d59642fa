// The view's back/forward page history and the order in which search hits
// are visited across pages: pure decisions, tested natively.
#pragma once
#include <functional>

// Records a jump to `page` after the current position: the position
// advances by one (a full list instead shifts down, dropping its oldest
// entry), the page is stored there and every forward entry is dropped.
void history_record(int *pages, int capacity, int *count, int *pos, int page);
// One step back (direction < 0) or forward (> 0): moves the position and
// returns the page stored there, or -1 (position unchanged) when the list
// holds no entry in that direction.
int history_move(const int *pages, int count, int *pos, int direction);

// A search hit: page and index among that page's hits; page -1 for none.
struct HitPlace {
    int page;
    int index;
};

// Where a search goes next. `hits_on(page)` gives the number of hits on a
// page. With `from_start` the search begins at the first page (forward) or
// the last (backward); otherwise, when `current` is a hit on `current_page`
// and the next index in `direction` exists there, that hit is taken, else the
// pages after (or before) the current page are visited. The page loop visits
// each page at most once, wrapping around at the ends, and takes the first
// hit (forward) or the last (backward) of the first page with hits. Returns
// page -1 when no page has a hit.
HitPlace search_next_hit(int page_count, int current_page, HitPlace current, bool from_start,
                         int direction, const std::function<int(int page)> &hits_on);
