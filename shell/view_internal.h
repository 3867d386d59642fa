// The page view's window state and the functions its source files share:
// layout, the rendered band, painting and input. Only the view's own files
// include this; the rest of the shell goes through view.h.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "shell/settings.h"
#include "shell/view.h"

struct PageBitmap;

constexpr int VIEW_MAX_HITS = 512;
constexpr int VIEW_MAX_SELECTION_RECTS = 256;
constexpr int VIEW_MAX_LINKS = 64;
constexpr int VIEW_HISTORY = 64;
constexpr int VIEW_PASSWORD_MAX = 127;        // characters of a typed password
constexpr DWORD VIEW_REPAINT_MS = 100;  // progressive repaints during a render, at most this often
constexpr UINT_PTR VIEW_CURSOR_TIMER = 2;  // full screen: hides the cursor
constexpr UINT VIEW_CURSOR_HIDE_MS = 3000;

// A link area of the visible page, in content pixels.
struct ViewLink {
    RECT rect;
    int action;       // 0 page, 1 URI, 2 next, 3 previous, 4 first, 5 last, 6 back, 7 forward
    int targetPage;
    char uri[256];
    bool border;
    COLORREF borderColor;
    int borderWidth;
};

// How a layout places the scroll position.
enum ViewScrollMode {
    SCROLL_RESET = 0,   // top of the current page
    SCROLL_KEEP = 1,    // keep it (clamped)
    SCROLL_BOTTOM = 2,  // bottom of the current page (Page Up onto the previous page)
};

struct ViewState {
    Document *document;
    PageBitmap *band;
    int page;      // zero-based
    int fitMode;   // ViewFitMode
    float scale;   // pixels per point
    int scrollX, scrollY;
    char searchText[512];  // UTF-8, at most 127 characters
    int searchHitPage, searchHitIndex;
    RECT hitRects[VIEW_MAX_HITS];  // content pixels at the current scale
    int hitCount;
    int hitRectsPage;
    bool matchCase;
    int contentW, contentH;
    int bandTop;
    bool grayscale;
    bool fullScreen;
    bool cursorHidden;
    int tool;
    bool dragging;
    POINT dragStart, dragNow;
    bool selectionPresent;
    int selectionPage;
    int selectionRectCount;
    RECT selectionRects[VIEW_MAX_SELECTION_RECTS];
    std::string selectionText;  // UTF-8, CR LF between lines
    void *selectionPageText;    // PageText while the selection tool drags
    int selectionAnchor, selectionLast;  // its items: where the drag began, where it is
    bool handDrag;
    POINT handStart;
    ViewLink links[VIEW_MAX_LINKS];
    int linkCount;
    int pressedLink;
    int history[VIEW_HISTORY];
    int historyCount, historyPos;
    bool historyReplay;
    bool continuous;
    std::vector<int> pageTop;  // continuous: page tops plus the column height
    int pageTopCount;
    POINT handScrollStart;

    // Bookkeeping of this implementation.
    ViewDefaults defaults;
    bool bandIncomplete;     // a render stopped early: the band is redone on the next move
    bool settingScrollBars;  // scroll bars are being changed (their WM_SIZE is ignored)
    POINT lastMouse;         // full screen: where the pointer last was, to ignore moves that are not
    ViewStats stats;
    bool hitsFresh;  // hitRects were just found for the coming layout
};

ViewState *view_state(HWND view);
void view_client_size(HWND view, int *w, int *h);
// Sends WM_APP+1 to the frame.
void view_notify(HWND view);

// Layout after a change of Document, page, zoom, rotation, layout or
// grayscale: scale, content size, scroll position, band, render.
void view_relayout(HWND view, ViewState &s, int scroll_mode);
void view_free_band(ViewState &s);
// Replaces the band with the strip the scroll position needs and renders
// only its rows that the old strip did not hold.
void view_reband(HWND view, ViewState &s);
// Scroll bars from the content and client size; hidden without content.
void view_update_scroll_bars(HWND view, ViewState &s);

// Colour around the page(s): full-screen colour, white with PageToEdge, else
// the application workspace colour.
COLORREF view_background(const ViewState &s);
// Painting into the given device context (the window's or WM_PRINTCLIENT's).
void view_paint(HWND view, ViewState *s, HDC dc, const RECT &area);
void view_release_buffer();

// Input: scroll bars, keys, wheel.
LRESULT view_on_scroll(HWND view, ViewState &s, int bar, int code);
LRESULT view_on_key(HWND view, ViewState &s, WPARAM key);
void view_on_wheel(HWND view, ViewState &s, int delta, bool ctrl);
// Moves to a page with the scroll reset (or at its bottom); false when the
// page does not change.
bool view_show_page(HWND view, ViewState &s, int page, int scroll_mode);
void view_scroll_to(HWND view, ViewState &s, int x, int y, bool reband);
// Layout hook of the search: finds the shown hits again at the new scale,
// rotation or text layout (view_search.cpp).
void view_search_relayout(ViewState &s);

// Mouse tools, links and selection (view_tools.cpp). view_tool_mouse takes
// the button and move messages and lost captures outside full screen (true
// when handled); view_tool_cursor sets the tool's cursor over the client area
// (false: the class cursor); view_tool_end ends a drag in progress.
bool view_tool_mouse(HWND view, ViewState &s, UINT msg, LPARAM lp);
bool view_tool_cursor(HWND view, ViewState &s);
void view_tool_end(HWND view, ViewState &s);
// The link areas of the page in view (continuous: of every page the band
// meets), in content pixels.
void view_collect_links(ViewState &s);
