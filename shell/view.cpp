// The page view window: owner of the open Document and of the page, zoom,
// rotation, layout, tool and grayscale state that the frame shows. It paints
// the empty-view text; drawing pages is the renderer's job and not built yet.
#include "shell/view.h"

#include <cstdlib>

#include "shell/logic/view_logic.h"
#include "shell/resource.h"
#include "shell/settings.h"

namespace {

struct ViewState {
    Document *doc;
    int page;       // 1-based, 0 without a Document
    int zoomMode;   // ZoomMode
    int zoom;       // percent, for ZOOM_PERCENT
    int layout;     // 0 single page, otherwise continuous
    int tool;       // ToolMode
    bool gray;
    ViewDefaults defaults;
};

ViewState *state_of(HWND view)
{
    return view ? reinterpret_cast<ViewState *>(GetWindowLongPtrA(view, GWLP_USERDATA)) : nullptr;
}

constexpr int ZOOM_STEPS[] = {10, 25, 50, 75, 100, 125, 150, 200, 300, 400, 800, 1600};

// Zoom of a fit mode: one point is one pixel at 100 %.
int fit_percent(HWND view, const ViewState &s)
{
    float w = 612, h = 792;
    int rot = 0;
    if (s.doc)
        doc_page_size(s.doc, s.page - 1, &w, &h, &rot);
    RECT rc;
    GetClientRect(view, &rc);
    int mode = s.zoomMode == ZOOM_FIT_WIDTH ? FIT_WIDTH : FIT_PAGE;
    return view_zoom_percent(view_limit_scale(view_fit_scale(mode, w, h, rot, rc.right, rc.bottom)));
}

void apply_default_zoom(ViewState &s)
{
    int z = s.defaults.defaultZoom;
    if (z == 2) {
        s.zoomMode = ZOOM_FIT_WIDTH;
    } else if (z < 25) {
        s.zoomMode = ZOOM_FIT_PAGE;
    } else {
        s.zoomMode = ZOOM_PERCENT;
        s.zoom = z > 1600 ? 1600 : z;
    }
}

void paint_empty(HWND view, HDC dc)
{
    RECT rc;
    GetClientRect(view, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_APPWORKSPACE));
    char text[256];
    if (!LoadStringA(GetModuleHandleA(nullptr), IDS_EMPTY_VIEW, text, sizeof text))
        return;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOW));
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

LRESULT on_paint(HWND view, ViewState *s)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(view, &ps);
    if (!s || !s->doc) {
        paint_empty(view, dc);
    } else {
        RECT rc;
        GetClientRect(view, &rc);
        FillRect(dc, &rc, GetSysColorBrush(s->defaults.pageToEdge ? COLOR_WINDOW : COLOR_APPWORKSPACE));
    }
    EndPaint(view, &ps);
    return 0;
}

LRESULT CALLBACK view_proc(HWND view, UINT msg, WPARAM wp, LPARAM lp)
{
    ViewState *s = state_of(view);
    switch (msg) {
    case WM_NCCREATE: {
        auto *ns = static_cast<ViewState *>(std::calloc(1, sizeof(ViewState)));
        if (!ns)
            return FALSE;
        ns->zoom = 100;
        ns->defaults = settings_view_defaults();
        apply_default_zoom(*ns);
        SetWindowLongPtrA(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ns));
        break;
    }
    case WM_NCDESTROY:
        if (s) {
            doc_close(s->doc);
            std::free(s);
            SetWindowLongPtrA(view, GWLP_USERDATA, 0);
        }
        break;
    case WM_PAINT:
        return on_paint(view, s);
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        InvalidateRect(view, nullptr, FALSE);
        return 0;
    }
    return DefWindowProcA(view, msg, wp, lp);
}

}  // namespace

BOOL view_register_class(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, VIEW_CLASS, &wc))
        return TRUE;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = view_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // arrow
    wc.lpszClassName = VIEW_CLASS;
    return RegisterClassA(&wc) != 0;
}

HWND view_create(HWND parent, HINSTANCE instance)
{
    return CreateWindowExA(WS_EX_CLIENTEDGE, VIEW_CLASS, "",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                           0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(IDC_VIEW)), instance,
                           nullptr);
}

int view_open(HWND view, const char *path)
{
    ViewState *s = state_of(view);
    if (!s)
        return -2;
    Document *doc = nullptr;
    int rc = doc_open(&doc, path, nullptr);
    if (rc != 0)
        return rc;
    if (doc_page_count(doc) <= 0) {
        doc_close(doc);
        return -1;
    }
    doc_close(s->doc);
    s->doc = doc;
    s->page = 1;
    s->gray = s->defaults.openGray != 0;
    s->layout = s->defaults.pageLayout;
    apply_default_zoom(*s);
    InvalidateRect(view, nullptr, FALSE);
    return 0;
}

void view_close(HWND view)
{
    ViewState *s = state_of(view);
    if (!s)
        return;
    doc_close(s->doc);
    s->doc = nullptr;
    s->page = 0;
    InvalidateRect(view, nullptr, FALSE);
}

Document *view_document(HWND view)
{
    ViewState *s = state_of(view);
    return s ? s->doc : nullptr;
}

int view_page(HWND view)
{
    ViewState *s = state_of(view);
    return s && s->doc ? s->page : 0;
}

int view_page_count(HWND view)
{
    ViewState *s = state_of(view);
    return s && s->doc ? doc_page_count(s->doc) : 0;
}

void view_goto_page(HWND view, int page)
{
    ViewState *s = state_of(view);
    if (!s || !s->doc)
        return;
    int n = doc_page_count(s->doc);
    s->page = page < 1 ? 1 : page > n ? n : page;
    InvalidateRect(view, nullptr, FALSE);
}

int view_zoom_percent(HWND view)
{
    ViewState *s = state_of(view);
    if (!s)
        return 100;
    return s->zoomMode == ZOOM_PERCENT ? s->zoom : fit_percent(view, *s);
}

int view_zoom_mode(HWND view)
{
    ViewState *s = state_of(view);
    return s ? s->zoomMode : ZOOM_FIT_PAGE;
}

void view_set_zoom_percent(HWND view, int percent)
{
    ViewState *s = state_of(view);
    if (!s || !s->doc)
        return;
    s->zoomMode = ZOOM_PERCENT;
    s->zoom = percent < 10 ? 10 : percent > 1600 ? 1600 : percent;
    InvalidateRect(view, nullptr, FALSE);
}

void view_set_zoom_mode(HWND view, int mode)
{
    ViewState *s = state_of(view);
    if (!s || !s->doc)
        return;
    s->zoomMode = mode;
    InvalidateRect(view, nullptr, FALSE);
}

void view_zoom_step(HWND view, int direction)
{
    int z = view_zoom_percent(view), next = z;
    if (direction > 0) {
        for (int step : ZOOM_STEPS)
            if (step > z) {
                next = step;
                break;
            }
    } else {
        for (int step : ZOOM_STEPS)
            if (step < z)
                next = step;
    }
    view_set_zoom_percent(view, next);
}

void view_rotate(HWND view, int quarter_turns)
{
    ViewState *s = state_of(view);
    if (s && s->doc) {
        doc_rotate(s->doc, quarter_turns);
        InvalidateRect(view, nullptr, FALSE);
    }
}

int view_layout(HWND view)
{
    ViewState *s = state_of(view);
    return s ? s->layout : 0;
}

void view_set_layout(HWND view, int layout)
{
    if (ViewState *s = state_of(view)) {
        s->layout = layout;
        InvalidateRect(view, nullptr, FALSE);
    }
}

int view_tool(HWND view)
{
    ViewState *s = state_of(view);
    return s ? s->tool : TOOL_HAND;
}

void view_set_tool(HWND view, int tool)
{
    if (ViewState *s = state_of(view))
        s->tool = tool;
}

bool view_grayscale(HWND view)
{
    ViewState *s = state_of(view);
    return s && s->gray;
}

void view_toggle_grayscale(HWND view)
{
    if (ViewState *s = state_of(view)) {
        s->gray = !s->gray;
        InvalidateRect(view, nullptr, FALSE);
    }
}

void view_set_text_encoding(HWND view, int index)
{
    ViewState *s = state_of(view);
    if (!s || !s->doc || !doc_text_set_encoding(s->doc, index))
        return;
    view_goto_page(view, s->page);  // re-paginated: keep the page within the count
}

void view_toggle_text_mono(HWND view)
{
    ViewState *s = state_of(view);
    if (!s || !s->doc)
        return;
    doc_text_set_mono(s->doc, !doc_text_mono(s->doc));
    InvalidateRect(view, nullptr, FALSE);
}

void view_apply_defaults(HWND view, const ViewDefaults &defaults)
{
    if (ViewState *s = state_of(view)) {
        s->defaults = defaults;
        if (s->doc)
            apply_default_zoom(*s);
        InvalidateRect(view, nullptr, FALSE);
    }
}
