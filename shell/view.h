// The page view window: it owns the one open Document, decides zoom and
// layout, renders the visible strip of the page(s) into a band and paints it,
// and handles scrolling, the keyboard and the mouse wheel. It tells the frame
// about every change of page, zoom, layout or Document with WM_APP+1.
#pragma once
#include <windows.h>

#include "document/document.h"

#define VIEW_CLASS "Pagrix95View"

struct ViewDefaults;

enum ToolMode { TOOL_HAND = 0, TOOL_SELECT_TEXT = 1, TOOL_SNAPSHOT = 2 };
enum ZoomMode { ZOOM_PERCENT = 0, ZOOM_FIT_PAGE = 1, ZOOM_FIT_WIDTH = 2 };

BOOL view_register_class(HINSTANCE instance);
// Registers a child window class of the frame (redrawn on resize, arrow
// cursor) once; TRUE when it is registered.
BOOL shell_register_child_class(HINSTANCE instance, const char *name, WNDPROC proc);
HWND view_create(HWND parent, HINSTANCE instance);

// Opens a Document, asking for a password while the file refuses the one
// given. The previous Document stays open and shown unless the new one
// opened with at least one page. Returns 0, the document layer's status,
// -1 for a Document without pages, or -6 when the password prompt was
// cancelled.
int view_open(HWND view, const char *path);
void view_close(HWND view);
Document *view_document(HWND view);
int view_page(HWND view);        // 1-based current page, 0 when none is shown
int view_page_count(HWND view);
// Goes to a 1-based page (clamped) and records it in the history.
void view_goto_page(HWND view, int page);
// Next / previous / first / last page commands (40201..40204); not recorded
// in the history.
void view_page_command(HWND view, int command);
int view_zoom_percent(HWND view);  // 0 without a Document
int view_zoom_mode(HWND view);
float view_scale(HWND view);
void view_set_zoom_percent(HWND view, int percent);  // 15..600
void view_set_zoom_mode(HWND view, int mode);
void view_zoom_step(HWND view, int direction);       // +1 in (x 1.25), -1 out
void view_rotate(HWND view, int quarter_turns);
int view_layout(HWND view);
void view_set_layout(HWND view, int layout);
int view_tool(HWND view);
void view_set_tool(HWND view, int tool);
bool view_grayscale(HWND view);
void view_toggle_grayscale(HWND view);
bool view_full_screen(HWND view);
// Full screen: the background all around the page(s) and, on entry, the
// cursor (mode 0 always shown, 1 hidden 3 s after the last movement, 2
// hidden at once and 3 s after each movement). Clicks and Esc go to the
// frame (WM_APP+4..6) while it is on.
void view_set_full_screen(HWND view, bool on);
void view_set_full_screen_options(HWND view, int background, int cursor_mode);
// Plain-text Documents: encoding index 0..10, or -1 for automatic detection;
// the page count may change, the current page is kept within it.
void view_set_text_encoding(HWND view, int index);
void view_toggle_text_mono(HWND view);
// New defaults from the settings: kept for the next open; the open Document
// is laid out again (greeking, page edge and link highlighting take effect).
void view_apply_defaults(HWND view, const ViewDefaults &defaults);

// Where the view stands, in device pixels at the current scale.
struct ViewGeometry {
    int scrollX, scrollY;
    int contentW, contentH;
    int clientW, clientH;
    int bandTop, bandHeight;  // bandHeight 0: no band
    int pageTop;              // continuous: content y of the current page, else 0
};
ViewGeometry view_geometry(HWND view);
// Continuous layout: content y of a zero-based page's top (-1 outside).
int view_page_top(HWND view, int page);

// Render counters, for diagnostics and tests.
struct ViewStats {
    long long rowsRendered;  // rows asked of the renderer
    int renders;             // renderer calls
    int progressRepaints;    // repaints from inside a render
    long long progressRows;  // rows shown by those repaints
    int aborts;              // renders stopped by a pending page key
};
ViewStats view_stats(HWND view);
void view_reset_stats(HWND view);
