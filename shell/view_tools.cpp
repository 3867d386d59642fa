// The mouse in the page view: the hand tool (drag to scroll, click a link),
// the text-selection tool (anchor to the nearest character, selection in
// character order), the snapshot tool (rubber band copied to the clipboard),
// their cursors, the link areas of the visible pages and what a link does.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "bitmap/bitmap.h"
#include "pdf/nav.h"
#include "shell/features.h"
#include "shell/frame.h"
#include "shell/logic/tools_logic.h"
#include "shell/logic/view_logic.h"
#include "shell/resource.h"
#include "shell/tools.h"
#include "shell/view_internal.h"
#include "text/page_text.h"

namespace {

// The link cursor: a pointing hand, 32 x 32, hot spot on the fingertip.
// '#' black, '*' white, anything else (and everything past a row's end)
// transparent.
const char *const kHandRows[32] = {
    "",
    "...........##",
    "..........#**#",
    "..........#**#",
    "..........#**#",
    "..........#**#",
    "..........#**###",
    "..........#**#**###",
    "..........#**#**#**##",
    "..........#**#**#**#*#",
    "......##..#**#**#**#**#",
    "......#*#.#***********#",
    "......#**##***********#",
    ".......#**#***********#",
    ".......#**************#",
    "........#*************#",
    "........#************#",
    ".........#***********#",
    ".........#**********#",
    "..........#*********#",
    "..........#*********#",
    "..........###########",
};
constexpr int kHandHotX = 11, kHandHotY = 1;

HCURSOR g_link_cursor;
bool g_link_cursor_tried;

HCURSOR link_cursor()
{
    if (!g_link_cursor_tried) {
        g_link_cursor_tried = true;
        BYTE and_plane[32 * 4], xor_plane[32 * 4];
        std::memset(and_plane, 0xFF, sizeof and_plane);
        std::memset(xor_plane, 0, sizeof xor_plane);
        for (int y = 0; y < 32; y++) {
            const char *row = kHandRows[y] ? kHandRows[y] : "";
            for (int x = 0; x < 32 && row[x]; x++) {
                const BYTE bit = BYTE(0x80 >> (x & 7));
                if (row[x] == '#' || row[x] == '*')
                    and_plane[y * 4 + x / 8] &= BYTE(~bit);
                if (row[x] == '*')
                    xor_plane[y * 4 + x / 8] |= bit;
            }
        }
        g_link_cursor = CreateCursor(GetModuleHandleA(nullptr), kHandHotX, kHandHotY, 32, 32, and_plane, xor_plane);
    }
    if (g_link_cursor)
        return g_link_cursor;
    if (HCURSOR hand = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)))
        return hand;
    return LoadCursorA(nullptr, MAKEINTRESOURCEA(32646));  // four-way arrow
}

void shell_open_default(HWND owner, const char *uri)
{
    ShellExecuteA(owner, "open", uri, nullptr, nullptr, SW_SHOWNORMAL);
}

ShellOpen g_shell_open = shell_open_default;

POINT client_point(LPARAM lp) { return {short(LOWORD(lp)), short(HIWORD(lp))}; }

// The first link whose rectangle holds a client point, or -1.
int link_at(const ViewState &s, POINT p)
{
    const POINT c = {p.x + s.scrollX, p.y + s.scrollY};
    for (int i = 0; i < s.linkCount && i < VIEW_MAX_LINKS; i++)
        if (PtInRect(&s.links[i].rect, c))
            return i;
    return -1;
}

// ---- Selection ----

void invalidate_selection(HWND view, const ViewState &s)
{
    for (int i = 0; i < s.selectionRectCount && i < VIEW_MAX_SELECTION_RECTS; i++) {
        RECT r = s.selectionRects[i];
        OffsetRect(&r, -s.scrollX, -s.scrollY);
        InvalidateRect(view, &r, FALSE);
    }
}

void clear_selection(HWND view, ViewState &s)
{
    invalidate_selection(view, s);
    s.selectionPresent = false;
    s.selectionRectCount = 0;
    s.selectionText.clear();
}

// The selection from items `from` .. `to` of the page text (those whose
// centres lie in `within` when it is given).
void set_selection(HWND view, ViewState &s, const PageText *text, int from, int to, const float *within)
{
    invalidate_selection(view, s);
    LineRect lines[SELECTION_MAX_LINES];
    int n = 0;
    try {
        selection_range_text(text, from, to, within, &s.selectionText, lines, &n);
    } catch (const std::bad_alloc &) {
        s.selectionText.clear();  // no memory for the text: no selection
        s.selectionPresent = false;
        s.selectionRectCount = 0;
        return;
    }
    s.selectionRectCount = std::min(n, VIEW_MAX_SELECTION_RECTS);
    for (int i = 0; i < s.selectionRectCount; i++)
        s.selectionRects[i] = {lines[i].left, lines[i].top, lines[i].right, lines[i].bottom};
    s.selectionPresent = true;
    s.selectionPage = s.page;
    invalidate_selection(view, s);
}

void free_page_text(ViewState &s)
{
    page_text_free(static_cast<PageText *>(s.selectionPageText));
    s.selectionPageText = nullptr;
}

// ---- Snapshot rubber band ----

void draw_band(HWND view, const ViewState &s)
{
    const ToolRect r = tool_drag_rect(s.dragStart.x, s.dragStart.y, s.dragNow.x, s.dragNow.y);
    RECT rc = {r.left, r.top, r.right, r.bottom};
    if (IsRectEmpty(&rc))
        return;
    HDC dc = GetDC(view);
    DrawFocusRect(dc, &rc);
    ReleaseDC(view, dc);
}

// Copies the band under a client rectangle to the clipboard and previews it.
void copy_snapshot(HWND view, const ViewState &s, const ToolRect &client)
{
    if (!snapshot_big_enough(client) || !s.band)
        return;
    const int x0 = std::max(0, client.left + s.scrollX);
    const int x1 = std::min(s.band->width, client.right + s.scrollX);
    const int y0 = std::max(0, client.top + s.scrollY - s.bandTop);
    const int y1 = std::min(s.band->height, client.bottom + s.scrollY - s.bandTop);
    if (x1 <= x0 || y1 <= y0)
        return;
    const unsigned char *origin = s.band->pixels + size_t(y0) * size_t(s.band->stride) + size_t(x0) * 3;
    HGLOBAL dib = dib_from_rows(origin, s.band->stride, x1 - x0, y1 - y0, false);
    if (!dib)
        return;
    if (clipboard_put_dib(GetParent(view), dib))
        snapshot_preview_show(view, origin, s.band->stride, x1 - x0, y1 - y0);
}

// ---- Links ----

void activate_link(HWND view, ViewState &s, const ViewLink &link)
{
    const int count = doc_page_count(s.document);
    HWND frame = GetParent(view);
    switch (link.action) {
    case LINK_GOTO:
        if (link.targetPage >= 0)  // a destination that names no page goes nowhere
            view_goto_page(view, link.targetPage + 1);
        break;
    case LINK_NEXT_PAGE: view_goto_page(view, s.page + 2); break;
    case LINK_PREV_PAGE: view_goto_page(view, s.page); break;
    case LINK_FIRST_PAGE: view_goto_page(view, 1); break;
    case LINK_LAST_PAGE: view_goto_page(view, count); break;
    case LINK_GO_BACK: history_step(frame, -1); break;
    case LINK_GO_FORWARD: history_step(frame, 1); break;
    case LINK_URI: {
        const UriAction action = uri_action(link.uri);
        if (action == URI_IGNORE)
            return;
        char fmt[256], text[800], caption[128];
        frame_string(IDS_LINK_CAPTION, caption, sizeof caption);
        if (action == URI_OPEN) {
            std::snprintf(text, sizeof text, frame_string(IDS_LINK_OPEN, fmt, sizeof fmt), link.uri);
            if (frame_message_box(frame, text, caption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK)
                tools_shell_open(frame, link.uri);
        } else {
            std::snprintf(text, sizeof text, frame_string(IDS_LINK_NOT_OPENED, fmt, sizeof fmt), link.uri);
            frame_message_box(frame, text, caption, MB_OK | MB_ICONINFORMATION);
        }
        return;
    }
    default: return;
    }
    if (frame)
        SendMessageA(frame, WM_APP + 1, 0, 0);
}

// ---- Mouse messages ----

void on_down(HWND view, ViewState &s, POINT p)
{
    if (!s.document)
        return;
    switch (s.tool) {
    case TOOL_HAND:
        SetCapture(view);
        s.handDrag = true;
        s.handStart = p;
        s.handScrollStart = {s.scrollX, s.scrollY};
        s.pressedLink = link_at(s, p);
        break;
    case TOOL_SELECT_TEXT: {
        clear_selection(view, s);
        if (s.continuous)
            break;
        free_page_text(s);
        PageText *text = doc_page_text(s.document, s.page, s.scale);
        if (!text || text->count <= 0) {
            page_text_free(text);
            break;
        }
        s.selectionPageText = text;
        s.selectionAnchor = text_nearest_item(text, float(p.x + s.scrollX), float(p.y + s.scrollY));
        s.selectionLast = s.selectionAnchor;
        s.dragging = true;
        SetCapture(view);
        break;
    }
    case TOOL_SNAPSHOT:
        SetCapture(view);
        s.dragging = true;
        s.dragStart = s.dragNow = p;
        break;
    }
}

void on_move(HWND view, ViewState &s, POINT p)
{
    if (s.handDrag) {
        view_scroll_to(view, s, s.handScrollStart.x - (p.x - s.handStart.x),
                       s.handScrollStart.y - (p.y - s.handStart.y), true);
        UpdateWindow(view);
        return;
    }
    if (!s.dragging)
        return;
    if (s.tool == TOOL_SELECT_TEXT && s.selectionPageText) {
        const auto *text = static_cast<const PageText *>(s.selectionPageText);
        const int nearest = text_nearest_item(text, float(p.x + s.scrollX), float(p.y + s.scrollY));
        if (nearest < 0 || nearest == s.selectionLast)
            return;
        s.selectionLast = nearest;
        set_selection(view, s, text, s.selectionAnchor, nearest, nullptr);
        UpdateWindow(view);
    } else if (s.tool == TOOL_SNAPSHOT) {
        draw_band(view, s);
        s.dragNow = p;
        draw_band(view, s);
    }
}

void on_up(HWND view, ViewState &s, POINT p)
{
    if (s.handDrag) {
        s.handDrag = false;
        const int pressed = s.pressedLink;
        s.pressedLink = -1;
        if (GetCapture() == view)
            ReleaseCapture();
        if (tool_is_click(p.x - s.handStart.x, p.y - s.handStart.y) && pressed >= 0 && link_at(s, p) == pressed) {
            const ViewLink link = s.links[pressed];  // activation lays the view out anew
            activate_link(view, s, link);
        } else {
            view_reband(view, s);
        }
        return;
    }
    if (!s.dragging)
        return;
    if (s.tool == TOOL_SNAPSHOT) {
        draw_band(view, s);
        s.dragNow = p;
        s.dragging = false;
        if (GetCapture() == view)
            ReleaseCapture();
        copy_snapshot(view, s, tool_drag_rect(s.dragStart.x, s.dragStart.y, p.x, p.y));
        return;
    }
    view_tool_end(view, s);
}

}  // namespace

// ---- Shared with the view ----

bool view_tool_mouse(HWND view, ViewState &s, UINT msg, LPARAM lp)
{
    if (s.fullScreen)
        return false;
    switch (msg) {
    case WM_LBUTTONDOWN: on_down(view, s, client_point(lp)); return true;
    case WM_MOUSEMOVE: on_move(view, s, client_point(lp)); return true;
    case WM_LBUTTONUP: on_up(view, s, client_point(lp)); return true;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lp) != view)
            view_tool_end(view, s);
        return true;
    }
    return false;
}

bool view_tool_cursor(HWND view, ViewState &s)
{
    LPCSTR id = nullptr;
    HCURSOR cursor = nullptr;
    if (s.tool == TOOL_SELECT_TEXT) {
        id = MAKEINTRESOURCEA(32513);  // I-beam
    } else if (s.tool == TOOL_SNAPSHOT && s.document) {
        id = MAKEINTRESOURCEA(32515);  // cross
    } else if (s.tool == TOOL_HAND && s.document && !s.fullScreen) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(view, &p);
        if (link_at(s, p) >= 0)
            cursor = link_cursor();
        else
            id = MAKEINTRESOURCEA(32646);  // four-way arrow
    } else {
        return false;
    }
    if (!cursor)
        cursor = LoadCursorA(nullptr, id);
    SetCursor(cursor);
    return true;
}

void view_tool_end(HWND view, ViewState &s)
{
    if (s.dragging && s.tool == TOOL_SNAPSHOT)
        draw_band(view, s);
    s.dragging = false;
    s.handDrag = false;
    s.pressedLink = -1;
    free_page_text(s);
    if (GetCapture() == view)
        ReleaseCapture();
}

void view_collect_links(ViewState &s)
{
    s.linkCount = 0;
    s.pressedLink = -1;
    if (!s.document)
        return;
    LinkItem items[VIEW_MAX_LINKS];
    int first = s.page, last = s.page;
    if (s.continuous) {
        if (!s.band || s.pageTopCount <= 0)
            return;
        first = view_page_at(s.pageTop, s.bandTop);
        last = std::min(view_page_at(s.pageTop, s.bandTop + s.band->height - 1), s.pageTopCount - 1);
    }
    for (int page = first; page <= last && s.linkCount < VIEW_MAX_LINKS; page++) {
        int dx = 0, dy = 0;
        if (s.continuous) {
            int w = 0, h = 0;
            doc_page_pixel_size(s.document, page, s.scale, &w, &h);
            dx = (s.contentW - w) / 2;
            dy = s.pageTop[size_t(page)];
        }
        const int n = doc_page_links(s.document, page, s.scale, items, VIEW_MAX_LINKS - s.linkCount);
        for (int i = 0; i < n; i++) {
            const LinkItem &it = items[i];
            ViewLink &l = s.links[s.linkCount++];
            l.rect = {int(it.x0) + dx, int(it.y0) + dy, int(it.x1 + 0.999f) + dx, int(it.y1 + 0.999f) + dy};
            l.action = it.kind;
            l.targetPage = it.page;
            std::memcpy(l.uri, it.uri, sizeof l.uri);
            l.uri[sizeof l.uri - 1] = 0;
            l.border = it.border_width > 0;
            l.borderWidth = it.border_width;
            l.borderColor = RGB(it.border_rgb[0], it.border_rgb[1], it.border_rgb[2]);
        }
    }
}

// ---- For the commands ----

std::string view_selection_text(HWND view)
{
    ViewState *s = view_state(view);
    return s && s->document && s->selectionPresent ? s->selectionText : std::string();
}

bool view_select_all(HWND view)
{
    ViewState *s = view_state(view);
    if (!s || !s->document)
        return false;
    view_tool_end(view, *s);
    clear_selection(view, *s);
    PageText *text = doc_page_text(s->document, s->page, s->scale);
    int w = 0, h = 0;
    if (!text || text->count <= 0 || doc_page_pixel_size(s->document, s->page, s->scale, &w, &h) != 0) {
        page_text_free(text);
        return false;
    }
    const float page[4] = {0, 0, float(w), float(h)};
    set_selection(view, *s, text, 0, text->count - 1, page);
    page_text_free(text);
    if (s->selectionText.empty())
        clear_selection(view, *s);
    return s->selectionPresent;
}

void tools_set_shell_open(ShellOpen hook) { g_shell_open = hook ? hook : shell_open_default; }

void tools_shell_open(HWND owner, const char *uri) { g_shell_open(owner, uri); }
