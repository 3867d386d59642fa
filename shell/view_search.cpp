// Search in the page view: the hits of a page at the view's scale, the order
// in which F3 and Shift+F3 visit them, scrolling a hit to the window's
// centre, find all with excerpts, and the history steps.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "shell/logic/search_logic.h"
#include "shell/search.h"
#include "shell/view_internal.h"
#include "text/page_text.h"

namespace {

ViewState *open_state(HWND view)
{
    ViewState *s = view_state(view);
    return s && s->document ? s : nullptr;
}

void forget_hits(ViewState &s)
{
    s.hitCount = 0;
    s.hitRectsPage = -1;
    s.hitsFresh = false;
}

// The hits of a page at the view's scale into hitRects; their count.
int load_hits(ViewState &s, int page)
{
    forget_hits(s);
    if (!s.searchText[0] || page < 0 || page >= doc_page_count(s.document))
        return 0;
    PageText *text = doc_page_text(s.document, page, s.scale);
    SearchHit hits[VIEW_MAX_HITS];
    const int n = text_search(text, s.searchText, VIEW_MAX_HITS, hits, s.matchCase ? 1 : 0);
    page_text_free(text);
    for (int i = 0; i < n; i++)
        s.hitRects[i] = {LONG(std::floor(hits[i].x0)), LONG(std::floor(hits[i].y0)), LONG(std::ceil(hits[i].x1)),
                         LONG(std::ceil(hits[i].y1))};
    s.hitCount = n;
    s.hitRectsPage = page;
    s.hitsFresh = true;
    return n;
}

int page_width(ViewState &s, int page)
{
    int w = 0, h = 0;
    return doc_page_pixel_size(s.document, page, s.scale, &w, &h) == 0 ? w : 0;
}

// Scroll position that puts the centre of the current hit at the window's
// centre (not yet clamped).
POINT hit_scroll(HWND view, ViewState &s)
{
    int cw, ch;
    view_client_size(view, &cw, &ch);
    POINT p = {s.scrollX, s.scrollY};
    const int i = s.searchHitIndex;
    if (s.hitRectsPage != s.searchHitPage || i < 0 || i >= s.hitCount)
        return p;
    const RECT &r = s.hitRects[i];
    int ox = 0, oy = 0;
    if (s.continuous && s.searchHitPage < s.pageTopCount) {
        ox = (s.contentW - page_width(s, s.searchHitPage)) / 2;
        oy = s.pageTop[size_t(s.searchHitPage)];
    }
    p.x = ox + (r.left + r.right) / 2 - cw / 2;
    p.y = oy + (r.top + r.bottom) / 2 - ch / 2;
    return p;
}

// Makes `place` the current hit and its page the current page. With
// `retint` (or another page) the page is laid out and rendered again, so
// that the band shows the hits now in hitRects.
void show_hit(HWND view, ViewState &s, HitPlace place, bool retint)
{
    s.searchHitPage = place.page;
    s.searchHitIndex = place.index;
    if (place.page != s.page || retint) {
        s.page = place.page;
        // Aim first, so that the layout renders the band around the hit.
        const float scale = s.scale;
        POINT p = hit_scroll(view, s);
        s.scrollX = p.x;
        s.scrollY = p.y;
        s.hitsFresh = true;
        view_relayout(view, s, place.index >= 0 ? SCROLL_KEEP : SCROLL_RESET);
        if (s.scale != scale && place.index >= 0) {
            // A fit mode chose another scale for this page: find the hits at
            // it, aim with them and render again.
            load_hits(s, place.page);
            p = hit_scroll(view, s);
            s.scrollX = p.x;
            s.scrollY = p.y;
            view_relayout(view, s, SCROLL_KEEP);
        }
    }
    if (place.index >= 0) {
        const POINT p = hit_scroll(view, s);
        view_scroll_to(view, s, p.x, p.y, true);
    }
    s.page = place.page;  // continuous layout: the hit's page, whatever row is at the top
    InvalidateRect(view, nullptr, FALSE);
    view_notify(view);
}

// The page loop of find first / find next; false when no page has a hit.
bool find_from(HWND view, ViewState &s, bool from_start, int direction)
{
    const int count = doc_page_count(s.document);
    const HitPlace current = {s.searchHitPage, s.searchHitIndex};
    bool cached_current = false;
    const HitPlace found = search_next_hit(count, s.page, current, from_start, direction, [&](int page) {
        if (s.hitRectsPage == page) {
            cached_current = true;
            return s.hitCount;
        }
        cached_current = false;
        return load_hits(s, page);
    });
    if (found.page < 0) {
        s.searchHitPage = s.searchHitIndex = -1;
        forget_hits(s);
        return false;
    }
    // The last page asked about is the one found: hitRects hold its hits.
    show_hit(view, s, found, !cached_current);
    return true;
}

// Copies UTF-8 text cut to at most `max_chars` characters, never inside a
// character, into `out` of `size` bytes.
void copy_chars(char *out, size_t size, const char *text, int max_chars)
{
    size_t n = 0;
    int chars = 0;
    while (text[n]) {
        size_t len = 1;
        while (text[n + len] && (static_cast<unsigned char>(text[n + len]) & 0xC0) == 0x80)
            len++;
        if (chars == max_chars || n + len >= size)
            break;
        n += len;
        chars++;
    }
    std::memcpy(out, text, n);
    out[n] = 0;
}

// A new search text: the previous hit and the shown hits are forgotten, and
// a band that showed them is rendered again without their tint.
void set_search_text(HWND view, ViewState &s, const char *utf8)
{
    copy_chars(s.searchText, sizeof s.searchText, utf8 ? utf8 : "", FIND_TEXT_MAX_CHARS);
    s.searchHitPage = s.searchHitIndex = -1;
    const bool shown = s.hitCount > 0;
    forget_hits(s);
    if (shown)
        view_relayout(view, s, SCROLL_KEEP);
}

}  // namespace

void view_search_relayout(ViewState &s)
{
    if (s.hitsFresh) {
        s.hitsFresh = false;
        return;
    }
    if (s.hitRectsPage < 0)
        return;
    if (!s.continuous && s.hitRectsPage != s.page) {
        // Another page is shown: its hits are found again when a search
        // comes back to it, not on every page turn.
        forget_hits(s);
        return;
    }
    const int page = s.hitRectsPage;
    load_hits(s, page);
    s.hitsFresh = false;
    if (s.searchHitPage >= doc_page_count(s.document) || s.searchHitIndex >= s.hitCount)
        s.searchHitPage = s.searchHitIndex = -1;
}

bool view_find_first(HWND view, const char *utf8, int direction)
{
    ViewState *s = open_state(view);
    if (!s)
        return false;
    set_search_text(view, *s, utf8);
    if (!s->searchText[0])
        return false;
    return find_from(view, *s, true, direction);
}

int view_find_next(HWND view, int direction)
{
    ViewState *s = open_state(view);
    if (!s || !s->searchText[0])
        return -1;
    return find_from(view, *s, false, direction) ? 1 : 0;
}

void view_set_match_case(HWND view, bool on)
{
    ViewState *s = view_state(view);
    if (!s || s->matchCase == on)
        return;
    s->matchCase = on;
    const bool shown = s->hitCount > 0;
    forget_hits(*s);
    if (shown && s->document)
        view_relayout(view, *s, SCROLL_KEEP);
}

int view_find_all(HWND view, const char *utf8, FindResult *out, int max)
{
    ViewState *s = open_state(view);
    if (!s)
        return 0;
    set_search_text(view, *s, utf8);
    if (!s->searchText[0])
        return 0;
    max = std::min(max, FIND_MAX_RESULTS);
    SearchHit hits[FIND_MAX_RESULTS];
    int total = 0;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // wait
    const int pages = doc_page_count(s->document);
    for (int page = 0; page < pages && total < max; page++) {
        PageText *text = doc_page_text(s->document, page, 1.0f);
        const int n = text_search(text, s->searchText, max - total, hits, s->matchCase ? 1 : 0);
        for (int i = 0; i < n; i++, total++) {
            out[total].page = page;
            out[total].index = i;
            hit_context(text, &hits[i], out[total].context, FIND_CONTEXT_SIZE);
        }
        page_text_free(text);
    }
    SetCursor(old);
    return total;
}

void view_show_hit(HWND view, int page, int index)
{
    ViewState *s = open_state(view);
    if (!s)
        return;
    const int count = doc_page_count(s->document);
    page = std::clamp(page, 0, count - 1);
    const int n = load_hits(*s, page);
    if (index < 0 || index >= n)
        index = n > 0 ? 0 : -1;
    show_hit(view, *s, {page, index}, true);
}

void view_history_step(HWND view, int direction)
{
    ViewState *s = open_state(view);
    if (!s)
        return;
    const int page = history_move(s->history, s->historyCount, &s->historyPos, direction);
    if (page < 0)
        return;
    s->historyReplay = true;
    view_goto_page(view, page + 1);
    s->historyReplay = false;
}
