// The thumbnail and bookmark panels as plain windows: the thumbnails class
// paints an empty grid area and the bookmarks tree stays empty until the
// outline reader and the thumbnail renderer are part of the program.
#include "shell/panels.h"

#include <commctrl.h>

#include "shell/resource.h"

namespace {

LRESULT CALLBACK thumbs_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_APPWORKSPACE));
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

BOOL thumbs_register_class(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, THUMBS_CLASS, &wc))
        return TRUE;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = thumbs_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // arrow
    wc.lpszClassName = THUMBS_CLASS;
    return RegisterClassA(&wc) != 0;
}

HWND thumbs_create(HWND parent, HINSTANCE instance)
{
    return CreateWindowExA(WS_EX_CLIENTEDGE, THUMBS_CLASS, "", WS_CHILD | WS_VSCROLL, 0, 0, 0, 0,
                           parent, reinterpret_cast<HMENU>(INT_PTR(IDC_THUMBS)), instance, nullptr);
}

void thumbs_reset(HWND thumbs, int) { InvalidateRect(thumbs, nullptr, FALSE); }
void thumbs_set_page(HWND thumbs, int) { InvalidateRect(thumbs, nullptr, FALSE); }

HWND bookmarks_create(HWND parent, HINSTANCE instance)
{
    return CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                           WS_CHILD | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                               TVS_SHOWSELALWAYS,
                           0, 0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(IDC_BOOKMARKS)),
                           instance, nullptr);
}

void bookmarks_rebuild(HWND tree, HWND) { SendMessageA(tree, TVM_DELETEITEM, 0, LPARAM(TVI_ROOT)); }
