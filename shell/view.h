// The page view as the frame sees it: it owns the one open Document and
// keeps the current page, zoom, rotation, layout, tool and grayscale state.
// This window paints the empty-view text; page painting is not built yet.
#pragma once
#include <windows.h>

#include "document/document.h"

#define VIEW_CLASS "Pagrix95View"

struct ViewDefaults;

enum ToolMode { TOOL_HAND = 0, TOOL_SELECT_TEXT = 1, TOOL_SNAPSHOT = 2 };
enum ZoomMode { ZOOM_PERCENT = 0, ZOOM_FIT_PAGE = 1, ZOOM_FIT_WIDTH = 2 };

BOOL view_register_class(HINSTANCE instance);
HWND view_create(HWND parent, HINSTANCE instance);

// Opens a Document; the previous one stays open and shown unless the new one
// opened with at least one page. Returns 0 or the document layer's status
// (-1 for a Document without pages).
int view_open(HWND view, const char *path);
void view_close(HWND view);
Document *view_document(HWND view);
int view_page(HWND view);        // 1-based current page, 0 when none is shown
int view_page_count(HWND view);
void view_goto_page(HWND view, int page);  // clamped to the Document
int view_zoom_percent(HWND view);
int view_zoom_mode(HWND view);
void view_set_zoom_percent(HWND view, int percent);  // 10..1600
void view_set_zoom_mode(HWND view, int mode);
void view_zoom_step(HWND view, int direction);       // +1 in, -1 out
void view_rotate(HWND view, int quarter_turns);
int view_layout(HWND view);
void view_set_layout(HWND view, int layout);
int view_tool(HWND view);
void view_set_tool(HWND view, int tool);
bool view_grayscale(HWND view);
void view_toggle_grayscale(HWND view);
// Plain-text Documents: encoding index 0..10, or -1 for automatic detection;
// the page count may change, the current page is kept within it.
void view_set_text_encoding(HWND view, int index);
void view_toggle_text_mono(HWND view);
// New defaults from the settings: kept for the next open, and the open
// Document is laid out again.
void view_apply_defaults(HWND view, const ViewDefaults &defaults);
