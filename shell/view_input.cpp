// Moving through the view: scroll bars, arrow and page keys, the mouse wheel
// (Ctrl zooms), and the scroll position with its re-banding and, in
// continuous layout, the current page that follows it.
#include <algorithm>
#include <climits>

#include "shell/logic/view_logic.h"
#include "shell/view_internal.h"

namespace {

constexpr int VIEW_FAR = INT_MAX / 2;  // "bottom": the clamp reduces it

int scroll_track_pos(HWND view, int bar)
{
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_TRACKPOS;
    GetScrollInfo(view, bar, &si);
    return si.nTrackPos;
}

// Continuous layout: the page holding the row a quarter down the window.
void track_current_page(HWND view, ViewState &s)
{
    if (!s.continuous || s.pageTopCount <= 0)
        return;
    int cw, ch;
    view_client_size(view, &cw, &ch);
    s.page = view_page_at(s.pageTop, s.scrollY + ch / 4);
    view_notify(view);
}

}  // namespace

void view_scroll_to(HWND view, ViewState &s, int x, int y, bool reband)
{
    int cw, ch;
    view_client_size(view, &cw, &ch);
    const int old_y = s.scrollY;
    s.scrollX = view_clamp_scroll(x, s.contentW, cw);
    s.scrollY = view_clamp_scroll(y, s.contentH, ch);
    view_update_scroll_bars(view, s);
    if (s.scrollY != old_y)
        track_current_page(view, s);
    InvalidateRect(view, nullptr, FALSE);
    if (reband)
        view_reband(view, s);
}

LRESULT view_on_scroll(HWND view, ViewState &s, int bar, int code)
{
    if (!s.document)
        return 0;
    int cw, ch;
    view_client_size(view, &cw, &ch);
    const bool vertical = bar == SB_VERT;
    const int cur = vertical ? s.scrollY : s.scrollX, page = vertical ? ch : cw;
    int pos = cur;
    switch (code) {
    case SB_LINEUP: pos = cur - VIEW_LINE; break;
    case SB_LINEDOWN: pos = cur + VIEW_LINE; break;
    case SB_PAGEUP: pos = cur - page; break;
    case SB_PAGEDOWN: pos = cur + page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = scroll_track_pos(view, bar); break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = VIEW_FAR; break;
    case SB_ENDSCROLL: view_reband(view, s); return 0;
    default: return 0;
    }
    const bool reband = code != SB_THUMBTRACK;
    if (vertical)
        view_scroll_to(view, s, s.scrollX, pos, reband);
    else
        view_scroll_to(view, s, pos, s.scrollY, reband);
    return 0;
}

LRESULT view_on_key(HWND view, ViewState &s, WPARAM key)
{
    if (key == VK_ESCAPE && s.fullScreen) {
        PostMessageA(GetParent(view), WM_APP + 4, 0, 0);
        return 0;
    }
    if (!s.document)
        return 0;
    int cw, ch;
    view_client_size(view, &cw, &ch);
    const int count = doc_page_count(s.document);
    switch (key) {
    case VK_LEFT: view_scroll_to(view, s, s.scrollX - VIEW_LINE, s.scrollY, true); break;
    case VK_RIGHT: view_scroll_to(view, s, s.scrollX + VIEW_LINE, s.scrollY, true); break;
    case VK_UP: view_scroll_to(view, s, s.scrollX, s.scrollY - VIEW_LINE, true); break;
    case VK_DOWN: view_scroll_to(view, s, s.scrollX, s.scrollY + VIEW_LINE, true); break;
    case VK_HOME: view_show_page(view, s, 0, SCROLL_RESET); break;
    case VK_END: view_show_page(view, s, count - 1, SCROLL_RESET); break;
    case VK_NEXT:
        if (s.continuous) {
            view_scroll_to(view, s, s.scrollX, s.scrollY + ch, true);
        } else {
            ViewKeyMove m = view_page_down(s.page, count, s.scrollY, s.contentH, ch);
            if (m.moved && m.page != s.page)
                view_show_page(view, s, m.page, SCROLL_RESET);
            else if (m.moved)
                view_scroll_to(view, s, s.scrollX, m.scroll_y, true);
        }
        break;
    case VK_PRIOR:
        if (s.continuous) {
            view_scroll_to(view, s, s.scrollX, s.scrollY - ch, true);
        } else {
            // The previous page's bottom is found at its own scale (fit modes).
            ViewKeyMove m = view_page_up(s.page, s.scrollY, ch, 0);
            if (m.moved && m.page != s.page)
                view_show_page(view, s, m.page, SCROLL_BOTTOM);
            else if (m.moved)
                view_scroll_to(view, s, s.scrollX, m.scroll_y, true);
        }
        break;
    default: return 0;
    }
    // A render stopped by this very key is completed where the key left us.
    if (s.bandIncomplete)
        view_reband(view, s);
    return 0;
}

void view_on_wheel(HWND view, ViewState &s, int delta, bool ctrl)
{
    const int notches = view_wheel_notches(delta);
    if (!s.document || notches == 0)
        return;
    if (ctrl) {
        s.fitMode = FIT_NONE;
        for (int i = 0; i < std::abs(notches); i++)
            s.scale = view_limit_scale(notches > 0 ? s.scale * VIEW_ZOOM_STEP : s.scale / VIEW_ZOOM_STEP);
        view_relayout(view, s, SCROLL_RESET);
        return;
    }
    view_scroll_to(view, s, s.scrollX, s.scrollY - notches * 3 * VIEW_LINE, true);
}
