// Full-screen mode: the frame becomes a borderless popup over the primary
// screen with only the view inside, advances automatically or on a click,
// loops when asked, and returns to exactly the style, menu and rectangle it
// had before.
#include <windows.h>

#include <initializer_list>

#include "shell/features.h"
#include "shell/frame.h"
#include "shell/logic/panels_logic.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"

namespace {

constexpr UINT_PTR ADVANCE_TIMER = 1;  // on the frame

// The view's sunken edge would draw a frame around the screen; it goes with
// full screen and comes back after.
void set_view_edge(HWND view, bool on)
{
    LONG_PTR ex = GetWindowLongPtrA(view, GWL_EXSTYLE);
    ex = on ? ex | WS_EX_CLIENTEDGE : ex & ~LONG_PTR(WS_EX_CLIENTEDGE);
    SetWindowLongPtrA(view, GWL_EXSTYLE, ex);
    SetWindowPos(view, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void enter(FrameState &fs)
{
    fs.fullScreen = true;
    fs.savedStyle = GetWindowLongPtrA(fs.frame, GWL_STYLE);
    fs.savedMenu = GetMenu(fs.frame);
    GetWindowRect(fs.frame, &fs.savedRect);
    fs.savedPlacement.length = sizeof fs.savedPlacement;
    GetWindowPlacement(fs.frame, &fs.savedPlacement);

    for (HWND w : {fs.toolbar, fs.status, fs.thumbs, fs.bookmarks})
        if (w)
            ShowWindow(w, SW_HIDE);
    SetMenu(fs.frame, nullptr);
    SetWindowLongPtrA(fs.frame, GWL_STYLE, WS_POPUP | WS_VISIBLE | (fs.savedStyle & WS_CLIPCHILDREN));
    SetWindowPos(fs.frame, HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_FRAMECHANGED | SWP_SHOWWINDOW);

    set_view_edge(fs.view, false);
    view_set_full_screen_options(fs.view, settings_get("FsBgColor"), settings_get("FsCursor"));
    view_set_full_screen(fs.view, true);
    if (settings_get("FsAdvance"))
        SetTimer(fs.frame, ADVANCE_TIMER, UINT(fullscreen_advance_ms(settings_get("FsAdvSec"))), nullptr);
    frame_layout(fs);
    SetFocus(fs.view);
}

void leave(FrameState &fs)
{
    fs.fullScreen = false;
    KillTimer(fs.frame, ADVANCE_TIMER);
    view_set_full_screen(fs.view, false);
    set_view_edge(fs.view, true);
    SetMenu(fs.frame, fs.savedMenu);
    SetWindowLongPtrA(fs.frame, GWL_STYLE, fs.savedStyle);
    if (fs.toolbarVisible && fs.toolbar)
        ShowWindow(fs.toolbar, SW_SHOW);
    if (fs.statusVisible && fs.status)
        ShowWindow(fs.status, SW_SHOW);
    // The placement first, so that a maximised frame is maximised again and
    // keeps the normal rectangle it returns to; then exactly the old rectangle.
    SetWindowPlacement(fs.frame, &fs.savedPlacement);
    const RECT &r = fs.savedRect;
    SetWindowPos(fs.frame, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_FRAMECHANGED);
    frame_layout(fs);  // shows the thumbnails or bookmarks where the panel mode says so
    SetFocus(fs.view);
}

}  // namespace

bool fullscreen_active(HWND frame)
{
    FrameState *fs = frame_state(frame);
    return fs && fs->fullScreen;
}

void fullscreen_toggle(HWND frame)
{
    FrameState *fs = frame_state(frame);
    if (!fs)
        return;
    if (fs->fullScreen)
        leave(*fs);
    else
        enter(*fs);
}

void fullscreen_advance(HWND frame)
{
    FrameState *fs = frame_state(frame);
    if (!fs)
        return;
    const int page = view_page(fs->view) - 1, count = view_page_count(fs->view);
    const int target = fullscreen_advance_target(page, count, settings_get("FsLoop") != 0);
    if (target < 0)
        return;
    if (target == page + 1)
        view_page_command(fs->view, CMD_NEXT_PAGE);  // not recorded in the history
    else
        view_goto_page(fs->view, target + 1);  // the loop back is a jump like any other
    frame_refresh_status(*fs);
}

void fullscreen_context_menu(HWND frame, int x, int y)
{
    FrameState *fs = frame_state(frame);
    if (!fs || !fs->fullScreen)
        return;
    static constexpr struct {
        UINT text, command;  // text 0: separator
    } ITEMS[] = {
        {IDS_TIP_PREV, CMD_PREV_PAGE}, {IDS_TIP_NEXT, CMD_NEXT_PAGE}, {0, 0},
        {IDS_ZOOM_IN, CMD_ZOOM_IN},    {IDS_ZOOM_OUT, CMD_ZOOM_OUT},  {IDS_ZOOM_FIT_PAGE, CMD_FIT_PAGE},
        {0, 0},                        {IDS_FS_LEAVE, CMD_FULLSCREEN},
    };
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    for (const auto &item : ITEMS) {
        char text[64];
        if (item.text)
            AppendMenuA(menu, MF_STRING, item.command, frame_string(item.text, text, sizeof text));
        else
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
    POINT p = {x, y};
    ClientToScreen(fs->view, &p);
    const int chosen = int(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN,
                                          p.x, p.y, 0, frame, nullptr));
    DestroyMenu(menu);
    if (chosen)
        command_dispatch(*fs, chosen, 0);
}
