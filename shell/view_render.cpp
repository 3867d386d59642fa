// The view's layout and its rendered band: scale and content size, the
// continuous column, the strip of rows that is rendered (re-banded as the
// user scrolls, rendering only rows it did not hold), the progress callback
// that repaints during a render and stops it for a pending page key, and the
// scroll bars.
#include <algorithm>
#include <cstring>
#include <new>

#include "bitmap/bitmap.h"
#include "render/page.h"
#include "shell/logic/view_logic.h"
#include "shell/view_internal.h"

namespace {

// The part of the band a render is filling: the progress callback copies the
// rows the renderer reports into the band at this offset.
struct RenderTarget {
    HWND view;
    ViewState *s;
    int dstX, dstY;  // band position of the render raster's first row and column
    bool aborted;
};

DWORD g_last_repaint;  // tick count of the last progressive repaint

bool page_key_pending()
{
    MSG m;
    if (!PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE))
        return false;
    return m.wParam == VK_PRIOR || m.wParam == VK_NEXT || m.wParam == VK_HOME || m.wParam == VK_END;
}

// Rows y0 .. y1 - 1 of src into dst at (dx, dy + row), cut to dst.
void copy_rows(const PageBitmap *src, int y0, int y1, PageBitmap *dst, int dx, int dy, bool gray)
{
    if (!src || !dst)
        return;
    const int x0 = std::max(0, -dx), x1 = std::min(src->width, dst->width - dx);
    if (x1 <= x0)
        return;
    y0 = std::max({y0, 0, -dy});
    y1 = std::min({y1, src->height, dst->height - dy});
    for (int y = y0; y < y1; y++) {
        uint8_t *to = dst->pixels + size_t(y + dy) * size_t(dst->stride) + size_t(dx + x0) * 3;
        std::memcpy(to, src->pixels + size_t(y) * size_t(src->stride) + size_t(x0) * 3, size_t(x1 - x0) * 3);
        if (gray)
            view_grayscale(to, x1 - x0);
    }
}

// Shows band rows dy .. dy + rows - 1 (columns dx .. dx + w - 1) at once.
void show_band_rows(HWND view, const ViewState &s, int dx, int dy, int w, int rows)
{
    RECT r = {dx - s.scrollX, s.bandTop + dy - s.scrollY, dx - s.scrollX + w, s.bandTop + dy - s.scrollY + rows};
    InvalidateRect(view, &r, FALSE);
    UpdateWindow(view);
}

int progress(void *user, PageBitmap *surface)
{
    auto *t = static_cast<RenderTarget *>(user);
    const DWORD now = GetTickCount();
    if (now - g_last_repaint < VIEW_REPAINT_MS)
        return 0;
    g_last_repaint = now;
    ViewState &s = *t->s;
    const int top = std::max(0, surface->dirty_top), bottom = std::min(surface->height, surface->dirty_bottom);
    if (bottom > top && s.band) {
        copy_rows(surface, top, bottom, s.band, t->dstX, t->dstY, s.grayscale);
        show_band_rows(t->view, s, t->dstX, t->dstY + top, surface->width, bottom - top);
        s.stats.progressRepaints++;
        s.stats.progressRows += bottom - top;
        surface->dirty_top = surface->height;
        surface->dirty_bottom = 0;
    }
    if (page_key_pending()) {
        t->aborted = true;
        s.stats.aborts++;
        return 1;
    }
    return 0;
}

// Renders rows first .. first + rows - 1 of one page into the band at
// (dx, dy). True when a pending page key stopped the render.
bool render_piece(HWND view, ViewState &s, int page, int first, int rows, int dx, int dy)
{
    RenderTarget t = {view, &s, dx, dy, false};
    PageBitmap *surface = nullptr;
    set_greek_threshold(s.defaults.greekPx);
    set_render_poll(progress, &t);
    doc_render_page(s.document, page, s.scale, first, rows, &surface);
    set_render_poll(nullptr, nullptr);
    set_greek_threshold(0.0f);
    s.stats.renders++;
    s.stats.rowsRendered += rows;
    if (surface) {
        copy_rows(surface, 0, surface->height, s.band, dx, dy, s.grayscale);
        bitmap_free(surface);
    }
    return t.aborted;
}

int page_width(ViewState &s, int page)
{
    int w = 0, h = 0;
    return doc_page_pixel_size(s.document, page, s.scale, &w, &h) == 0 ? w : 0;
}

// Content rows y0 .. y0 + rows - 1 into the band: the current page in single
// layout, the pages that meet the rows in continuous layout, each shown as
// soon as it is done. True when a page key stopped the rendering.
bool render_rows(HWND view, ViewState &s, int y0, int rows)
{
    if (!s.band || rows <= 0)
        return false;
    if (!s.continuous) {
        bool stopped = render_piece(view, s, s.page, y0, rows, 0, y0 - s.bandTop);
        show_band_rows(view, s, 0, y0 - s.bandTop, s.band->width, rows);
        return stopped;
    }
    std::vector<ViewPiece> pieces(size_t(std::max(1, s.pageTopCount)));
    const int n = view_band_pieces(s.pageTop, y0, rows, pieces.data(), int(pieces.size()));
    for (int i = 0; i < n; i++) {
        const ViewPiece &p = pieces[size_t(i)];
        const int dx = (s.contentW - page_width(s, p.page)) / 2;
        const int dy = s.pageTop[size_t(p.page)] + p.first - s.bandTop;
        const bool stopped = render_piece(view, s, p.page, p.first, p.rows, dx, dy);
        show_band_rows(view, s, 0, dy, s.band->width, p.rows);
        if (stopped)
            return true;
    }
    return false;
}

PageBitmap *blank_band(const ViewState &s, int height)
{
    PageBitmap *band = bitmap_create(s.contentW, height);
    if (band) {
        const COLORREF c = s.continuous ? view_background(s) : RGB(255, 255, 255);
        bitmap_fill(band, GetRValue(c), GetGValue(c), GetBValue(c));
    }
    return band;
}

// Search hits of the page in view turn yellowish in the band, within
// content rows y0 .. y1 - 1 (the rows just rendered).
void tint_hits(ViewState &s, int y0, int y1)
{
    if (!s.band || s.hitCount <= 0 || s.hitRectsPage < 0)
        return;
    int ox = 0, oy = 0;
    if (s.continuous) {
        if (s.hitRectsPage >= s.pageTopCount)
            return;
        ox = (s.contentW - page_width(s, s.hitRectsPage)) / 2;
        oy = s.pageTop[size_t(s.hitRectsPage)];
    } else if (s.hitRectsPage != s.page) {
        return;
    }
    for (int i = 0; i < s.hitCount && i < VIEW_MAX_HITS; i++) {
        const RECT &r = s.hitRects[i];
        const int x0 = std::max(0, int(r.left) + ox), x1 = std::min(s.band->width, int(r.right) + ox);
        const int top = std::max({0, int(r.top) + oy, y0}) - s.bandTop;
        const int bottom = std::min({s.band->height + s.bandTop, int(r.bottom) + oy, y1}) - s.bandTop;
        for (int y = std::max(top, 0); y < bottom && x1 > x0; y++)
            view_tint_hit(s.band->pixels + size_t(y) * size_t(s.band->stride) + size_t(x0) * 3, x1 - x0);
    }
}

// A fresh band for the scroll position, rendered completely.
void render_band(HWND view, ViewState &s)
{
    view_free_band(s);
    int cw, ch;
    view_client_size(view, &cw, &ch);
    if (!s.document || s.contentW <= 0 || s.contentH <= 0)
        return;
    const ViewBand b = view_band_for(s.scrollY, ch, s.contentH);
    s.band = blank_band(s, b.height);
    s.bandTop = b.top;
    s.bandIncomplete = s.band && render_rows(view, s, b.top, b.height);
    tint_hits(s, b.top, b.top + b.height);
}

void compute_scale(ViewState &s, int cw, int ch)
{
    if (s.fitMode != FIT_NONE) {
        float w = 612, h = 792;
        int rot = 0;
        doc_page_size(s.document, s.page, &w, &h, &rot);
        s.scale = view_fit_scale(s.fitMode, w, h, rot, cw, ch);
    }
    s.scale = view_limit_scale(s.scale);
}

void compute_content(ViewState &s)
{
    s.contentW = s.contentH = 0;
    if (!s.continuous) {
        int w = 0, h = 0;
        if (doc_page_pixel_size(s.document, s.page, s.scale, &w, &h) == 0) {
            s.contentW = w;
            s.contentH = h;
        }
        return;
    }
    const int n = doc_page_count(s.document);
    try {
        std::vector<int> heights(size_t(std::max(n, 0)));
        for (int i = 0; i < n; i++) {
            int w = 0, h = 0;
            if (doc_page_pixel_size(s.document, i, s.scale, &w, &h) != 0)
                w = h = 0;
            heights[size_t(i)] = h;
            s.contentW = std::max(s.contentW, w);
        }
        s.pageTop = view_page_tops(heights);
        s.pageTopCount = n;
        s.contentH = s.pageTop.back();
    } catch (const std::bad_alloc &) {
        s.pageTop.clear();
        s.pageTopCount = 0;
        s.contentW = s.contentH = 0;
    }
}

void place_scroll(ViewState &s, int mode, int cw, int ch)
{
    const int top = s.continuous && s.page < s.pageTopCount ? s.pageTop[size_t(s.page)] : 0;
    const int height = s.continuous ? view_page_height(s.pageTop, s.page) : s.contentH;
    if (mode == SCROLL_RESET) {
        s.scrollX = 0;
        s.scrollY = top;
    } else if (mode == SCROLL_BOTTOM) {
        s.scrollX = 0;
        s.scrollY = top + std::max(0, height - ch);
    }
    s.scrollX = view_clamp_scroll(s.scrollX, s.contentW, cw);
    s.scrollY = view_clamp_scroll(s.scrollY, s.contentH, ch);
}

void set_bar(HWND view, int bar, int content, int client, int pos)
{
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, content - 1);
    si.nPage = UINT(std::max(0, client));
    si.nPos = std::max(0, pos);
    SetScrollInfo(view, bar, &si, TRUE);
}

}  // namespace

void view_free_band(ViewState &s)
{
    bitmap_free(s.band);
    s.band = nullptr;
    s.bandIncomplete = false;
}

void view_update_scroll_bars(HWND view, ViewState &s)
{
    s.settingScrollBars = true;
    if (!s.document || s.contentW <= 0 || s.contentH <= 0) {
        ShowScrollBar(view, SB_BOTH, FALSE);
    } else {
        int cw, ch;
        view_client_size(view, &cw, &ch);
        set_bar(view, SB_HORZ, s.contentW, cw, s.scrollX);
        view_client_size(view, &cw, &ch);
        set_bar(view, SB_VERT, s.contentH, ch, s.scrollY);
        view_client_size(view, &cw, &ch);
        set_bar(view, SB_HORZ, s.contentW, cw, s.scrollX);
    }
    s.settingScrollBars = false;
}

void view_relayout(HWND view, ViewState &s, int scroll_mode)
{
    s.selectionRectCount = 0;
    if (!s.document) {
        view_free_band(s);
        view_update_scroll_bars(view, s);
        InvalidateRect(view, nullptr, FALSE);
        view_notify(view);
        return;
    }
    HCURSOR old = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // wait
    view_free_band(s);
    // Scroll bars that appear or vanish change the client area, and with it
    // a fit scale: settle that before anything is rendered.
    for (int pass = 0; pass < 3; pass++) {
        int cw, ch, cw2, ch2;
        view_client_size(view, &cw, &ch);
        compute_scale(s, cw, ch);
        compute_content(s);
        place_scroll(s, scroll_mode, cw, ch);
        view_update_scroll_bars(view, s);
        view_client_size(view, &cw2, &ch2);
        if (cw2 == cw && ch2 == ch)
            break;
    }
    view_search_relayout(s);
    InvalidateRect(view, nullptr, FALSE);
    UpdateWindow(view);
    view_notify(view);
    render_band(view, s);
    SetCursor(old);
    view_collect_links(s);
    InvalidateRect(view, nullptr, FALSE);
    view_notify(view);
}

void view_reband(HWND view, ViewState &s)
{
    if (!s.document || s.contentW <= 0 || s.contentH <= 0)
        return;
    int cw, ch;
    view_client_size(view, &cw, &ch);
    if (!s.band || s.bandIncomplete || s.band->width != s.contentW) {
        render_band(view, s);
        if (s.continuous)
            view_collect_links(s);
        return;
    }
    const ViewBand cur = {s.bandTop, s.band->height};
    if (!view_band_stale(cur, s.scrollY, ch, s.contentH))
        return;
    const ViewBand next = view_band_for(s.scrollY, ch, s.contentH);
    PageBitmap *fresh = blank_band(s, next.height);
    if (!fresh) {
        view_free_band(s);
        return;
    }
    // The rows both strips hold move over; only the others are rendered.
    const int shared_top = std::max(cur.top, next.top);
    const int shared_bottom = std::min(cur.top + cur.height, next.top + next.height);
    for (int y = shared_top; y < shared_bottom; y++)
        std::memcpy(fresh->pixels + size_t(y - next.top) * size_t(fresh->stride),
                    s.band->pixels + size_t(y - cur.top) * size_t(s.band->stride), size_t(fresh->stride));
    bitmap_free(s.band);
    s.band = fresh;
    s.bandTop = next.top;
    if (s.continuous)
        view_collect_links(s);
    ViewBand missing[2];
    const int n = view_band_missing(cur, next, missing);
    for (int i = 0; i < n; i++) {
        const bool stopped = render_rows(view, s, missing[i].top, missing[i].height);
        tint_hits(s, missing[i].top, missing[i].top + missing[i].height);
        if (stopped) {
            s.bandIncomplete = true;
            break;
        }
    }
    InvalidateRect(view, nullptr, FALSE);
}
