// The thumbnail grid window (class Pagrix95Thumbs): cells of 124 x 169
// pixels with a page thumbnail and its number, rendered lazily by a 30 ms
// timer for the visible rows only and kept in a cache of 128 entries that
// loses the least recently used. A page whose thumbnail cannot be rendered
// is marked and drawn as an empty frame until the next reset, so the timer
// does not retry it forever and the pages after it still get theirs.
#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "shell/logic/panels_logic.h"
#include "shell/panels.h"
#include "shell/print.h"
#include "shell/resource.h"
#include "shell/view.h"

namespace {

constexpr UINT_PTR THUMB_TIMER = 1;
constexpr UINT THUMB_TIMER_MS = 30;
constexpr int THUMB_CACHE = 128;
constexpr int THUMBS_PER_TICK = 4;
constexpr int THUMB_PLACEHOLDER_W = 104;

struct ThumbEntry {
    int page;
    PageBitmap *bitmap;
    unsigned stamp;
};

struct ThumbState {
    Document *document;
    int pageCount;
    int current;  // zero-based, -1 none
    int scrollY;
    ThumbEntry cache[THUMB_CACHE];
    int cacheCount;
    unsigned stampCounter;
    std::vector<bool> failed;  // pages whose render failed since the last reset
    bool timerRunning;
    int renders, failures;
    int rotation;  // the Document's view rotation the cached thumbnails were rendered at
};

ThumbState *state_of(HWND w)
{
    return w ? reinterpret_cast<ThumbState *>(GetWindowLongPtrA(w, GWLP_USERDATA)) : nullptr;
}

void client_size(HWND w, int *cw, int *ch)
{
    RECT rc = {};
    GetClientRect(w, &rc);
    *cw = std::max(0, int(rc.right));
    *ch = std::max(0, int(rc.bottom));
}

ThumbGrid grid_of(HWND w, const ThumbState &s)
{
    int cw, ch;
    client_size(w, &cw, &ch);
    return thumb_grid(cw, ch, s.pageCount);
}

void free_cache(ThumbState &s)
{
    for (int i = 0; i < s.cacheCount; i++)
        bitmap_free(s.cache[i].bitmap);
    s.cacheCount = 0;
}

// The cached thumbnail of a page (its stamp refreshed), or null.
PageBitmap *lookup(ThumbState &s, int page)
{
    for (int i = 0; i < s.cacheCount; i++)
        if (s.cache[i].page == page) {
            s.cache[i].stamp = ++s.stampCounter;
            return s.cache[i].bitmap;
        }
    return nullptr;
}

bool cached(const ThumbState &s, int page)
{
    for (int i = 0; i < s.cacheCount; i++)
        if (s.cache[i].page == page)
            return true;
    return false;
}

void insert(ThumbState &s, int page, PageBitmap *bitmap)
{
    int slot = s.cacheCount;
    if (s.cacheCount == THUMB_CACHE) {
        slot = 0;
        for (int i = 1; i < THUMB_CACHE; i++)
            if (s.cache[i].stamp < s.cache[slot].stamp)
                slot = i;
        bitmap_free(s.cache[slot].bitmap);
    } else {
        s.cacheCount++;
    }
    s.cache[slot] = {page, bitmap, ++s.stampCounter};
}

bool has_failed(const ThumbState &s, int page)
{
    return page >= 0 && size_t(page) < s.failed.size() && s.failed[size_t(page)];
}

void start_timer(HWND w, ThumbState &s)
{
    if (s.document && s.pageCount > 0) {
        SetTimer(w, THUMB_TIMER, THUMB_TIMER_MS, nullptr);
        s.timerRunning = true;
    }
}

void stop_timer(HWND w, ThumbState &s)
{
    KillTimer(w, THUMB_TIMER);
    s.timerRunning = false;
}

void update_scroll_bar(HWND w, ThumbState &s)
{
    int cw, ch;
    client_size(w, &cw, &ch);
    const ThumbGrid g = thumb_grid(cw, ch, s.pageCount);
    s.scrollY = thumb_clamp_scroll(g, s.scrollY);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = g.content_h - 1;
    si.nPage = UINT(ch);
    si.nPos = s.scrollY;
    SetScrollInfo(w, SB_VERT, &si, TRUE);
}

void scroll_to(HWND w, ThumbState &s, int y)
{
    const int old = s.scrollY;
    s.scrollY = thumb_clamp_scroll(grid_of(w, s), y);
    update_scroll_bar(w, s);
    if (s.scrollY != old) {
        InvalidateRect(w, nullptr, FALSE);
        start_timer(w, s);
    }
}

// Keys, clicks and posted commands (a key may also arrive posted) waiting in
// the queue.
bool input_waiting() { return HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE)) != 0; }

// One timer tick: up to four thumbnails of visible rows, stopping early when
// the user is waiting for an answer; the timer stops once nothing visible is
// missing.
void on_timer(HWND w, ThumbState &s)
{
    // A hidden grid (another panel mode, full screen) renders nothing; it
    // starts again when it is shown.
    if (!s.document || s.pageCount <= 0 || !IsWindowVisible(w)) {
        stop_timer(w, s);
        return;
    }
    int cw, ch;
    client_size(w, &cw, &ch);
    const ThumbGrid g = thumb_grid(cw, ch, s.pageCount);
    auto missing = [&](int page) { return !cached(s, page) && !has_failed(s, page); };
    HCURSOR old_cursor = nullptr;
    for (int n = 0; n < THUMBS_PER_TICK; n++) {
        const int page = thumb_next_missing(g, s.pageCount, s.scrollY, ch, missing);
        if (page < 0) {
            stop_timer(w, s);
            break;
        }
        if (!old_cursor)
            old_cursor = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // wait
        PageBitmap *bitmap = nullptr;
        s.renders++;
        if (doc_render_thumbnail(s.document, page, &bitmap) == 0 && bitmap) {
            insert(s, page, bitmap);
        } else {
            s.failures++;
            if (s.failed.size() < size_t(s.pageCount))
                s.failed.resize(size_t(s.pageCount));
            s.failed[size_t(page)] = true;
        }
        const int top = thumb_row_y(g, page) - s.scrollY;
        RECT strip = {0, top - 4, cw, top + 165};
        InvalidateRect(w, &strip, FALSE);
        if (input_waiting())
            break;
    }
    if (old_cursor)
        SetCursor(old_cursor);
}

void fill_rect(HDC dc, int l, int t, int r, int b, COLORREF c)
{
    RECT rc = {l, t, r, b};
    HBRUSH brush = CreateSolidBrush(c);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
}

void frame_rect(HDC dc, int l, int t, int r, int b, COLORREF c, int width)
{
    fill_rect(dc, l, t, r, t + width, c);
    fill_rect(dc, l, b - width, r, b, c);
    fill_rect(dc, l, t, l + width, b, c);
    fill_rect(dc, r - width, t, r, b, c);
}

// One cell: the thumbnail (or the placeholder, or for a failed page an
// empty frame), the frame around it and the page number below.
void paint_cell(HDC dc, ThumbState &s, const ThumbGrid &g, int page)
{
    const int column = page % g.columns;
    const int top = thumb_row_y(g, page) - s.scrollY;
    const PageBitmap *b = lookup(s, page);
    const int w = b ? b->width : THUMB_PLACEHOLDER_W, h = b ? b->height : THUMB_PLACEHOLDER_H;
    const int x = g.left + column * THUMB_CELL_W + (THUMB_CELL_W - w) / 2;
    const COLORREF gray = RGB(128, 128, 128);
    if (b) {
        bitmap_draw(dc, b, x, top, b->width, b->height, 0, 0, b->width, b->height, 0);
    } else {
        if (!has_failed(s, page))
            fill_rect(dc, x, top, x + w, top + h, RGB(255, 255, 255));
        frame_rect(dc, x, top, x + w, top + h, gray, 1);
    }
    const bool current = page == s.current;
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    if (current)
        frame_rect(dc, x - 3, top - 3, x + w + 3, top + h + 3, highlight, 2);
    else
        frame_rect(dc, x - 2, top - 2, x + w + 2, top + h + 2, gray, 1);
    char number[16];
    std::snprintf(number, sizeof number, "%d", page + 1);
    RECT strip = {x - 4, top + h + 1, x + w + 4, top + h + 15};
    SetTextColor(dc, current ? highlight : GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, number, -1, &strip, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_TOP);
}

void paint(HWND w, ThumbState *s, HDC dc, const RECT &area)
{
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    if (!s || s->pageCount <= 0)
        return;
    int cw, ch;
    client_size(w, &cw, &ch);
    const ThumbGrid g = thumb_grid(cw, ch, s->pageCount);
    const int saved = SaveDC(dc);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    const int first_row = std::max(0, (s->scrollY - THUMB_TOP) / THUMB_ROW_H);
    for (int page = first_row * g.columns; page < s->pageCount; page++) {
        const int top = thumb_row_y(g, page) - s->scrollY;
        if (top >= ch)
            break;
        if (top + THUMB_ROW_H > 0)
            paint_cell(dc, *s, g, page);
    }
    RestoreDC(dc, saved);
}

LRESULT on_paint(HWND w, ThumbState *s)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    // Drawn into a memory bitmap first, so the cells do not flicker while
    // thumbnails arrive.
    const int pw = ps.rcPaint.right - ps.rcPaint.left, ph = ps.rcPaint.bottom - ps.rcPaint.top;
    HDC mem = pw > 0 && ph > 0 ? CreateCompatibleDC(dc) : nullptr;
    HBITMAP bmp = mem ? CreateCompatibleBitmap(dc, pw, ph) : nullptr;
    if (bmp) {
        HGDIOBJ old = SelectObject(mem, bmp);
        SetViewportOrgEx(mem, -ps.rcPaint.left, -ps.rcPaint.top, nullptr);
        paint(w, s, mem, ps.rcPaint);
        SetViewportOrgEx(mem, 0, 0, nullptr);
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, pw, ph, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteObject(bmp);
    } else {
        paint(w, s, dc, ps.rcPaint);
    }
    if (mem)
        DeleteDC(mem);
    EndPaint(w, &ps);
    return 0;
}

LRESULT on_vscroll(HWND w, ThumbState &s, int code)
{
    int cw, ch;
    client_size(w, &cw, &ch);
    const ThumbGrid g = thumb_grid(cw, ch, s.pageCount);
    int y = s.scrollY;
    switch (code) {
    case SB_LINEUP: y -= THUMB_LINE; break;
    case SB_LINEDOWN: y += THUMB_LINE; break;
    case SB_PAGEUP: y -= ch; break;
    case SB_PAGEDOWN: y += ch; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(w, SB_VERT, &si);
        y = si.nTrackPos;
        break;
    }
    case SB_TOP: y = 0; break;
    case SB_BOTTOM: y = g.content_h; break;
    default: return 0;
    }
    scroll_to(w, s, y);
    return 0;
}

void set_current(HWND w, ThumbState &s, int page)
{
    if (page == s.current)
        return;
    s.current = page;
    int cw, ch;
    client_size(w, &cw, &ch);
    if (page >= 0 && s.pageCount > 0)
        s.scrollY = thumb_scroll_into_view(thumb_grid(cw, ch, s.pageCount), ch, page, s.scrollY);
    update_scroll_bar(w, s);
    InvalidateRect(w, nullptr, FALSE);
    start_timer(w, s);
}

// Arrows, Home/End and Page Up/Down move the highlight through the grid;
// Enter or Space shows the highlighted page in the view.
LRESULT on_key(HWND w, ThumbState &s, WPARAM key)
{
    if (s.pageCount <= 0)
        return 0;
    int cw, ch;
    client_size(w, &cw, &ch);
    const ThumbGrid g = thumb_grid(cw, ch, s.pageCount);
    const int rows_per_page = std::max(1, ch / THUMB_ROW_H);
    int page = s.current < 0 ? 0 : s.current;
    switch (key) {
    case VK_LEFT: page--; break;
    case VK_RIGHT: page++; break;
    case VK_UP: page -= g.columns; break;
    case VK_DOWN: page += g.columns; break;
    case VK_PRIOR: page -= g.columns * rows_per_page; break;
    case VK_NEXT: page += g.columns * rows_per_page; break;
    case VK_HOME: page = 0; break;
    case VK_END: page = s.pageCount - 1; break;
    case VK_RETURN:
    case VK_SPACE:
        if (s.current >= 0)
            PostMessageA(GetParent(w), WM_APP + 3, WPARAM(s.current), 0);
        return 0;
    default: return 0;
    }
    set_current(w, s, std::clamp(page, 0, s.pageCount - 1));
    return 0;
}

LRESULT on_click(HWND w, ThumbState &s, int x, int y)
{
    SetFocus(w);
    const int page = thumb_hit(grid_of(w, s), s.pageCount, x, y, s.scrollY);
    if (page >= 0)
        PostMessageA(GetParent(w), WM_APP + 3, WPARAM(page), 0);
    return 0;
}

LRESULT CALLBACK thumbs_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    ThumbState *s = state_of(w);
    switch (msg) {
    case WM_CREATE: {
        s = new (std::nothrow) ThumbState();
        if (!s)
            return -1;
        s->current = -1;
        SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
        return 0;
    }
    case WM_DESTROY:
        if (s) {
            stop_timer(w, *s);
            free_cache(*s);
            delete s;
            SetWindowLongPtrA(w, GWLP_USERDATA, 0);
        }
        return 0;
    case WM_SIZE:
        if (s) {
            update_scroll_bar(w, *s);
            start_timer(w, *s);
        }
        return 0;
    case WM_SHOWWINDOW:
        if (s && wp)
            start_timer(w, *s);
        break;
    case WM_PAINT: return on_paint(w, s);
    case WM_PRINTCLIENT: {
        RECT rc;
        GetClientRect(w, &rc);
        paint(w, s, reinterpret_cast<HDC>(wp), rc);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_TIMER:
        if (s && wp == THUMB_TIMER)
            on_timer(w, *s);
        return 0;
    case WM_VSCROLL: return s ? on_vscroll(w, *s, LOWORD(wp)) : 0;
    case WM_MOUSEWHEEL:
        if (s) {
            const int delta = GET_WHEEL_DELTA_WPARAM(wp);
            int notches = delta / WHEEL_DELTA;
            if (notches == 0)
                notches = delta > 0 ? 1 : -1;
            scroll_to(w, *s, s->scrollY - notches * THUMB_LINE);
        }
        return 0;
    case WM_LBUTTONDOWN: return s ? on_click(w, *s, short(LOWORD(lp)), short(HIWORD(lp))) : 0;
    case WM_KEYDOWN: return s ? on_key(w, *s, wp) : 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

}  // namespace

BOOL thumbs_register_class(HINSTANCE instance)
{
    return shell_register_child_class(instance, THUMBS_CLASS, thumbs_proc);
}

HWND thumbs_create(HWND parent, HINSTANCE instance)
{
    return CreateWindowExA(WS_EX_CLIENTEDGE, THUMBS_CLASS, "", WS_CHILD | WS_VSCROLL, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(INT_PTR(IDC_THUMBS)), instance, nullptr);
}

void thumbs_reset(HWND thumbs, Document *doc, int page_count)
{
    ThumbState *s = state_of(thumbs);
    if (!s)
        return;
    if (page_count < 0)
        page_count = 0;
    if (!doc || doc != s->document || page_count != s->pageCount) {
        free_cache(*s);
        s->document = doc;
        s->rotation = doc ? doc->rotation : 0;
        s->pageCount = doc ? page_count : 0;
        s->scrollY = 0;
        s->current = s->pageCount > 0 ? 0 : -1;
    }
    s->failed.assign(size_t(s->pageCount), false);
    update_scroll_bar(thumbs, *s);
    InvalidateRect(thumbs, nullptr, FALSE);
    if (s->document)
        start_timer(thumbs, *s);
    else
        stop_timer(thumbs, *s);
}

void thumbs_set_page(HWND thumbs, int page)
{
    ThumbState *s = state_of(thumbs);
    if (!s)
        return;
    // Thumbnails follow the view's rotation: after a turn the cached ones
    // show the pages the old way round and are rendered again.
    if (s->document && s->document->rotation != s->rotation) {
        free_cache(*s);
        s->failed.assign(size_t(s->pageCount), false);
        s->rotation = s->document->rotation;
        InvalidateRect(thumbs, nullptr, FALSE);
        start_timer(thumbs, *s);
    }
    set_current(thumbs, *s, page > 0 && page <= s->pageCount ? page - 1 : -1);
}

ThumbStats thumbs_stats(HWND thumbs)
{
    ThumbStats st = {};
    if (const ThumbState *s = state_of(thumbs)) {
        st.renders = s->renders;
        st.failures = s->failures;
        st.cached = s->cacheCount;
        st.timerRunning = s->timerRunning;
        st.scrollY = s->scrollY;
        st.current = s->current;
    }
    return st;
}
