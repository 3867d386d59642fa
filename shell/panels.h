// The side panels as the frame sees them: the thumbnail grid window and the
// bookmarks tree. Both windows exist; filling them is not built yet.
#pragma once
#include <windows.h>

#define THUMBS_CLASS "Pagrix95Thumbs"

BOOL thumbs_register_class(HINSTANCE instance);
HWND thumbs_create(HWND parent, HINSTANCE instance);
void thumbs_reset(HWND thumbs, int page_count);
void thumbs_set_page(HWND thumbs, int page);  // 1-based, scrolled into sight
HWND bookmarks_create(HWND parent, HINSTANCE instance);
// Rebuilds the tree from the open Document's outline (cleared without one).
void bookmarks_rebuild(HWND tree, HWND view);
