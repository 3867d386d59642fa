// The page view window: its state in the window's user data, opening with
// the password prompt, closing, the commands the frame forwards, and the
// layout that derives scale, content size and scroll position from them.
#include "shell/view.h"

#include <new>

#include "bitmap/bitmap.h"
#include "shell/frame.h"
#include "shell/logic/search_logic.h"
#include "shell/logic/view_logic.h"
#include "shell/resource.h"
#include "shell/search.h"
#include "shell/settings.h"
#include "shell/view_internal.h"

namespace {

UINT g_wheel_message;  // registered "MSWHEEL_ROLLMSG"

// ---- Password prompt ----

INT_PTR CALLBACK password_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        SendDlgItemMessageA(dlg, IDC_PASSWORD, EM_LIMITTEXT, VIEW_PASSWORD_MAX, 0);
        window_center_on_owner(dlg, GetWindow(dlg, GW_OWNER));
        SetFocus(GetDlgItem(dlg, IDC_PASSWORD));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            char *buf = reinterpret_cast<char *>(GetWindowLongPtrA(dlg, DWLP_USER));
            GetDlgItemTextA(dlg, IDC_PASSWORD, buf, VIEW_PASSWORD_MAX + 1);
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// doc_open, asking for a password while the file refuses the one given.
int open_with_password(HWND view, const char *path, Document **out)
{
    int rc = doc_open(out, path, nullptr);
    char password[VIEW_PASSWORD_MAX + 1];
    while (rc == -6) {
        password[0] = 0;
        HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(view, GWLP_HINSTANCE));
        INT_PTR answer = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PASSWORD), view, password_proc,
                                         reinterpret_cast<LPARAM>(password));
        if (answer != IDOK)
            break;
        rc = doc_open(out, path, password);
    }
    SecureZeroMemory(password, sizeof password);
    return rc;
}

// ---- Lifecycle ----

void reset_document_state(ViewState &s)
{
    view_free_band(s);
    s.page = 0;
    s.scrollX = s.scrollY = 0;
    s.contentW = s.contentH = 0;
    s.pageTop.clear();
    s.pageTopCount = 0;
    s.selectionPresent = false;
    s.selectionRectCount = 0;
    s.selectionText.clear();
    s.hitCount = 0;
    s.hitRectsPage = s.searchHitPage = s.searchHitIndex = -1;
    s.linkCount = 0;
    s.pressedLink = -1;
    s.historyCount = s.historyPos = 0;
    s.historyReplay = false;
    s.bandIncomplete = false;
}

LRESULT on_create(HWND view)
{
    ViewState *s = new (std::nothrow) ViewState();
    if (!s)
        return -1;
    s->scale = 1.0f;
    s->defaults = settings_view_defaults();
    reset_document_state(*s);
    SetWindowLongPtrA(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(s));
    ShowScrollBar(view, SB_BOTH, FALSE);
    return 0;
}

LRESULT on_destroy(HWND view, ViewState *s)
{
    view_release_buffer();
    if (s) {
        view_tool_end(view, *s);
        KillTimer(view, VIEW_CURSOR_TIMER);
        if (s->cursorHidden)
            ShowCursor(TRUE);  // the display count belongs to the thread, not the window
        view_free_band(*s);
        doc_close(s->document);
        delete s;
        SetWindowLongPtrA(view, GWLP_USERDATA, 0);
    }
    return 0;
}

LRESULT on_size(HWND view, ViewState *s)
{
    if (!s || s->settingScrollBars || !s->document)
        return 0;
    if (s->fitMode != FIT_NONE) {
        view_relayout(view, *s, SCROLL_KEEP);
        return 0;
    }
    view_scroll_to(view, *s, s->scrollX, s->scrollY, true);
    return 0;
}

LRESULT on_paint(HWND view, ViewState *s)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(view, &ps);
    view_paint(view, s, dc, ps.rcPaint);
    EndPaint(view, &ps);
    return 0;
}

LRESULT on_print_client(HWND view, ViewState *s, HDC dc)
{
    RECT rc;
    GetClientRect(view, &rc);
    view_paint(view, s, dc, rc);
    return 0;
}

// A pointer movement in full screen shows a hidden cursor and starts the
// delay after which it hides again. Windows also reports "movements" when a
// window appears under a resting pointer; those are not the user's and are
// ignored, or a cursor hidden on entry would come straight back.
void on_full_screen_mouse(HWND view, ViewState &s)
{
    POINT p;
    GetCursorPos(&p);
    if (p.x == s.lastMouse.x && p.y == s.lastMouse.y)
        return;
    s.lastMouse = p;
    if (s.defaults.fsCursor != 1 && s.defaults.fsCursor != 2)
        return;
    if (s.cursorHidden) {
        ShowCursor(TRUE);
        s.cursorHidden = false;
    }
    SetTimer(view, VIEW_CURSOR_TIMER, VIEW_CURSOR_HIDE_MS, nullptr);
}

LRESULT CALLBACK view_proc(HWND view, UINT msg, WPARAM wp, LPARAM lp)
{
    ViewState *s = view_state(view);
    switch (msg) {
    case WM_CREATE: return on_create(view);
    case WM_DESTROY: return on_destroy(view, s);
    case WM_SIZE: return on_size(view, s);
    case WM_PAINT: return on_paint(view, s);
    case WM_PRINTCLIENT: return on_print_client(view, s, reinterpret_cast<HDC>(wp));
    case WM_ERASEBKGND: return 1;
    case WM_HSCROLL:
        return s ? view_on_scroll(view, *s, SB_HORZ, LOWORD(wp)) : 0;
    case WM_VSCROLL:
        return s ? view_on_scroll(view, *s, SB_VERT, LOWORD(wp)) : 0;
    case WM_KEYDOWN:
        return s ? view_on_key(view, *s, wp) : 0;
    case WM_MOUSEWHEEL:
        if (s)
            view_on_wheel(view, *s, GET_WHEEL_DELTA_WPARAM(wp), (GET_KEYSTATE_WPARAM(wp) & MK_CONTROL) != 0);
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(view);
        if (s && s->fullScreen) {
            PostMessageA(GetParent(view), WM_APP + 6, 0, 0);
            return 0;  // no tool acts in full screen
        }
        if (s && view_tool_mouse(view, *s, msg, lp))
            return 0;
        break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        if (s && view_tool_mouse(view, *s, msg, lp))
            return 0;
        break;
    case WM_SETCURSOR:
        if (s && LOWORD(lp) == HTCLIENT && view_tool_cursor(view, *s))
            return TRUE;
        break;
    case WM_RBUTTONUP:
        if (s && s->fullScreen) {
            PostMessageA(GetParent(view), WM_APP + 5, WPARAM(short(LOWORD(lp))), LPARAM(short(HIWORD(lp))));
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        if (s && s->fullScreen)
            on_full_screen_mouse(view, *s);
        else if (s && view_tool_mouse(view, *s, msg, lp))
            return 0;
        break;
    case WM_TIMER:
        if (s && wp == VIEW_CURSOR_TIMER) {
            KillTimer(view, VIEW_CURSOR_TIMER);
            if (s->fullScreen && !s->cursorHidden) {
                ShowCursor(FALSE);
                s->cursorHidden = true;
            }
            return 0;
        }
        break;
    }
    if (msg == g_wheel_message && g_wheel_message != 0) {
        if (s)
            view_on_wheel(view, *s, int(INT_PTR(wp)), GetKeyState(VK_CONTROL) < 0);
        return 0;
    }
    return DefWindowProcA(view, msg, wp, lp);
}

ViewState *open_state(HWND view)
{
    ViewState *s = view_state(view);
    return s && s->document ? s : nullptr;
}

void record_history(ViewState &s, int page)
{
    if (!s.historyReplay)
        history_record(s.history, VIEW_HISTORY, &s.historyCount, &s.historyPos, page);
}

}  // namespace

// ---- Shared helpers ----

ViewState *view_state(HWND view)
{
    return view ? reinterpret_cast<ViewState *>(GetWindowLongPtrA(view, GWLP_USERDATA)) : nullptr;
}

void view_client_size(HWND view, int *w, int *h)
{
    RECT rc = {};
    GetClientRect(view, &rc);
    *w = rc.right > 0 ? rc.right : 0;
    *h = rc.bottom > 0 ? rc.bottom : 0;
}

void view_notify(HWND view)
{
    if (HWND parent = GetParent(view))
        SendMessageA(parent, WM_APP + 1, 0, 0);
}

// ---- Class and window ----

BOOL view_register_class(HINSTANCE instance)
{
    if (!g_wheel_message)
        g_wheel_message = RegisterWindowMessageA("MSWHEEL_ROLLMSG");
    return shell_register_child_class(instance, VIEW_CLASS, view_proc);
}

BOOL shell_register_child_class(HINSTANCE instance, const char *name, WNDPROC proc)
{
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, name, &wc))
        return TRUE;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // arrow
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0;
}

HWND view_create(HWND parent, HINSTANCE instance)
{
    return CreateWindowExA(WS_EX_CLIENTEDGE, VIEW_CLASS, "",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL, 0, 0, 0,
                           0, parent, reinterpret_cast<HMENU>(INT_PTR(IDC_VIEW)), instance, nullptr);
}

// ---- Open and close ----

int view_open(HWND view, const char *path)
{
    ViewState *s = view_state(view);
    if (!s || !path)
        return -2;
    Document *doc = nullptr;
    int rc = open_with_password(view, path, &doc);
    if (rc != 0)
        return rc;
    if (doc_page_count(doc) <= 0) {
        doc_close(doc);
        return -1;
    }
    view_close(view);
    find_results_clear();  // results of another Document name pages it may not have
    s->document = doc;
    s->page = 0;
    view_default_zoom(s->defaults.defaultZoom, &s->fitMode, &s->scale);
    s->grayscale = s->defaults.openGray != 0;
    s->continuous = s->defaults.pageLayout != 0;
    if (doc->kind == DOC_TEXT)
        doc_text_set_mono(doc, settings_get("TextMono"));
    s->historyCount = 1;
    s->history[0] = 0;
    s->historyPos = 0;
    s->historyReplay = false;
    view_relayout(view, *s, SCROLL_RESET);
    return 0;
}

void view_close(HWND view)
{
    ViewState *s = view_state(view);
    if (!s || !s->document)
        return;
    view_tool_end(view, *s);
    reset_document_state(*s);
    find_results_clear();
    doc_close(s->document);
    s->document = nullptr;
    view_update_scroll_bars(view, *s);
    InvalidateRect(view, nullptr, FALSE);
    view_notify(view);
}

// ---- Queries ----

Document *view_document(HWND view)
{
    ViewState *s = view_state(view);
    return s ? s->document : nullptr;
}

int view_page(HWND view)
{
    ViewState *s = open_state(view);
    return s ? s->page + 1 : 0;
}

int view_page_count(HWND view)
{
    ViewState *s = open_state(view);
    return s ? doc_page_count(s->document) : 0;
}

int view_zoom_percent(HWND view)
{
    ViewState *s = open_state(view);
    return s ? view_zoom_percent(s->scale) : 0;
}

int view_zoom_mode(HWND view)
{
    ViewState *s = view_state(view);
    return s ? s->fitMode : ZOOM_FIT_PAGE;
}

float view_scale(HWND view)
{
    ViewState *s = view_state(view);
    return s ? s->scale : 1.0f;
}

int view_layout(HWND view)
{
    ViewState *s = view_state(view);
    return s && s->continuous ? 1 : 0;
}

int view_tool(HWND view)
{
    ViewState *s = view_state(view);
    return s ? s->tool : TOOL_HAND;
}

bool view_grayscale(HWND view)
{
    ViewState *s = view_state(view);
    return s && s->grayscale;
}

bool view_full_screen(HWND view)
{
    ViewState *s = view_state(view);
    return s && s->fullScreen;
}

ViewGeometry view_geometry(HWND view)
{
    ViewGeometry g = {};
    ViewState *s = view_state(view);
    if (!s)
        return g;
    g.scrollX = s->scrollX;
    g.scrollY = s->scrollY;
    g.contentW = s->contentW;
    g.contentH = s->contentH;
    view_client_size(view, &g.clientW, &g.clientH);
    g.bandTop = s->bandTop;
    g.bandHeight = s->band ? s->band->height : 0;
    g.pageTop = view_page_top(view, s->page);
    if (g.pageTop < 0)
        g.pageTop = 0;
    return g;
}

int view_page_top(HWND view, int page)
{
    ViewState *s = open_state(view);
    if (!s || !s->continuous || page < 0 || page >= s->pageTopCount)
        return -1;
    return s->pageTop[size_t(page)];
}

ViewStats view_stats(HWND view)
{
    ViewState *s = view_state(view);
    return s ? s->stats : ViewStats{};
}

void view_reset_stats(HWND view)
{
    if (ViewState *s = view_state(view))
        s->stats = ViewStats{};
}

// ---- Commands ----

void view_goto_page(HWND view, int page)
{
    ViewState *s = open_state(view);
    if (!s)
        return;
    int n = doc_page_count(s->document);
    int target = (page < 1 ? 1 : page > n ? n : page) - 1;
    if (target == s->page)
        return;
    record_history(*s, target);
    view_show_page(view, *s, target, SCROLL_RESET);
}

void view_page_command(HWND view, int command)
{
    ViewState *s = open_state(view);
    if (!s)
        return;
    int n = doc_page_count(s->document), target = s->page;
    switch (command) {
    case CMD_NEXT_PAGE: target = s->page + 1; break;
    case CMD_PREV_PAGE: target = s->page - 1; break;
    case CMD_FIRST_PAGE: target = 0; break;
    case CMD_LAST_PAGE: target = n - 1; break;
    }
    if (target >= 0 && target < n)
        view_show_page(view, *s, target, SCROLL_RESET);
}

void view_set_zoom_percent(HWND view, int percent)
{
    ViewState *s = open_state(view);
    if (!s)
        return;
    percent = percent < 15 ? 15 : percent > 600 ? 600 : percent;
    s->fitMode = FIT_NONE;
    s->scale = float(percent) / 100.0f;
    view_relayout(view, *s, SCROLL_RESET);
}

void view_set_zoom_mode(HWND view, int mode)
{
    ViewState *s = open_state(view);
    if (!s)
        return;
    s->fitMode = mode == ZOOM_FIT_WIDTH ? FIT_WIDTH : mode == ZOOM_FIT_PAGE ? FIT_PAGE : FIT_NONE;
    if (mode == ZOOM_PERCENT)
        s->scale = 1.0f;  // "actual size"
    view_relayout(view, *s, SCROLL_RESET);
}

void view_zoom_step(HWND view, int direction)
{
    ViewState *s = open_state(view);
    if (!s || direction == 0)
        return;
    s->fitMode = FIT_NONE;
    s->scale = direction > 0 ? s->scale * VIEW_ZOOM_STEP : s->scale / VIEW_ZOOM_STEP;
    view_relayout(view, *s, SCROLL_RESET);
}

void view_rotate(HWND view, int quarter_turns)
{
    ViewState *s = open_state(view);
    if (s && doc_rotate(s->document, quarter_turns))
        view_relayout(view, *s, SCROLL_RESET);
}

void view_set_layout(HWND view, int layout)
{
    ViewState *s = view_state(view);
    if (!s || s->continuous == (layout != 0))
        return;
    s->continuous = layout != 0;
    if (s->document)
        view_relayout(view, *s, SCROLL_RESET);
}

void view_set_tool(HWND view, int tool)
{
    if (ViewState *s = view_state(view)) {
        view_tool_end(view, *s);
        s->tool = tool >= TOOL_HAND && tool <= TOOL_SNAPSHOT ? tool : TOOL_HAND;
    }
}

void view_toggle_grayscale(HWND view)
{
    ViewState *s = view_state(view);
    if (!s)
        return;
    s->grayscale = !s->grayscale;
    if (s->document)
        view_relayout(view, *s, SCROLL_KEEP);
}

void view_set_full_screen(HWND view, bool on)
{
    ViewState *s = view_state(view);
    if (!s || s->fullScreen == on)
        return;
    s->fullScreen = on;
    KillTimer(view, VIEW_CURSOR_TIMER);
    if (on) {
        GetCursorPos(&s->lastMouse);
        if (s->defaults.fsCursor == 1)
            SetTimer(view, VIEW_CURSOR_TIMER, VIEW_CURSOR_HIDE_MS, nullptr);
        else if (s->defaults.fsCursor == 2)
            SetTimer(view, VIEW_CURSOR_TIMER, 1, nullptr);
    } else if (s->cursorHidden) {
        ShowCursor(TRUE);
        s->cursorHidden = false;
    }
    InvalidateRect(view, nullptr, FALSE);
}

void view_set_full_screen_options(HWND view, int background, int cursor_mode)
{
    if (ViewState *s = view_state(view)) {
        s->defaults.fsBgColor = background;
        s->defaults.fsCursor = cursor_mode;
        InvalidateRect(view, nullptr, FALSE);
    }
}

void view_set_text_encoding(HWND view, int index)
{
    ViewState *s = open_state(view);
    if (!s || !doc_text_set_encoding(s->document, index))
        return;
    int n = doc_page_count(s->document);
    if (s->page >= n)
        s->page = n > 0 ? n - 1 : 0;
    view_relayout(view, *s, SCROLL_RESET);
}

void view_toggle_text_mono(HWND view)
{
    ViewState *s = open_state(view);
    if (!s)
        return;
    doc_text_set_mono(s->document, !doc_text_mono(s->document));
    int n = doc_page_count(s->document);
    if (s->page >= n)
        s->page = n > 0 ? n - 1 : 0;
    view_relayout(view, *s, SCROLL_RESET);
}

void view_apply_defaults(HWND view, const ViewDefaults &defaults)
{
    ViewState *s = view_state(view);
    if (!s)
        return;
    s->defaults = defaults;
    if (s->document)
        view_relayout(view, *s, SCROLL_KEEP);
    else
        InvalidateRect(view, nullptr, FALSE);
}

bool view_show_page(HWND view, ViewState &s, int page, int scroll_mode)
{
    if (!s.document || page < 0 || page >= doc_page_count(s.document))
        return false;
    if (page == s.page)
        return false;
    s.page = page;
    view_relayout(view, s, scroll_mode);
    return true;
}
