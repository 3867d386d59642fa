// The frame window: class, creation and placement, one handler per message,
// layout of the children, title and status texts, splitter, panel modes,
// help and About.
#include "shell/frame.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "shell/features.h"
#include "shell/panels.h"
#include "shell/print.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"

namespace {

FrameState *g_frame;  // the one frame of the process
FrameState *g_pending;  // handed to CreateWindowEx, not yet attached to a window
FrameMessageBox g_message_box;

constexpr int BUILD_NUMBER = 269;

bool is_nt6_or_later()
{
    DWORD v = GetVersion();
    return !(v & 0x80000000u) && LOBYTE(LOWORD(v)) >= 6;
}

void lookup_wide_api(FrameState &fs)
{
    HMODULE k = GetModuleHandleA("kernel32.dll");
    HMODULE c = LoadLibraryA("comdlg32.dll");
    HMODULE s = LoadLibraryA("shell32.dll");
    auto get = [](HMODULE m, const char *name) {
        return m ? reinterpret_cast<void *>(GetProcAddress(m, name)) : nullptr;
    };
    WideApi &w = fs.wide;
    w.CreateFileW = reinterpret_cast<decltype(w.CreateFileW)>(get(k, "CreateFileW"));
    w.MoveFileW = reinterpret_cast<decltype(w.MoveFileW)>(get(k, "MoveFileW"));
    w.DeleteFileW = reinterpret_cast<decltype(w.DeleteFileW)>(get(k, "DeleteFileW"));
    w.GetCommandLineW = reinterpret_cast<decltype(w.GetCommandLineW)>(get(k, "GetCommandLineW"));
    w.GetOpenFileNameW = reinterpret_cast<decltype(w.GetOpenFileNameW)>(get(c, "GetOpenFileNameW"));
    w.GetSaveFileNameW = reinterpret_cast<decltype(w.GetSaveFileNameW)>(get(c, "GetSaveFileNameW"));
    w.CommandLineToArgvW = reinterpret_cast<decltype(w.CommandLineToArgvW)>(get(s, "CommandLineToArgvW"));
    w.DragQueryFileW = reinterpret_cast<decltype(w.DragQueryFileW)>(get(s, "DragQueryFileW"));
}

// ---- Message handlers -------------------------------------------------------

LRESULT on_create(HWND hwnd, FrameState &fs)
{
    fs.frame = hwnd;
    fs.isNT = !(GetVersion() & 0x80000000u);
    if (fs.isNT)
        lookup_wide_api(fs);
    frame_install_file_hook(fs);
    fs.largeButtons = settings_get("LargeButtons") != 0;
    fs.panelWidth = settings_get("PanelWidth");
    if (fs.panelWidth < PANEL_MIN_WIDTH)
        fs.panelWidth = PANEL_MIN_WIDTH;
    toolbar_build(fs);
    frame_check_menu(fs, CMD_LARGE_BUTTONS, fs.largeButtons);
    fs.view = view_create(hwnd, fs.instance);
    if (!fs.view)
        return -1;
    settings_apply_view(fs.view);
    fs.thumbs = thumbs_create(hwnd, fs.instance);
    fs.bookmarks = bookmarks_create(hwnd, fs.instance);
    fs.status = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, "", hwnd, IDC_STATUSBAR);
    DragAcceptFiles(hwnd, TRUE);
    recent_load(fs);
    recent_build_menu(fs);
    toolbar_refresh_states(fs);
    frame_refresh_title(fs);
    return 0;
}

void store_placement(FrameState &fs)
{
    if (fullscreen_active(fs.frame) || !settings_get("RememberWindow"))
        return;
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(fs.frame, &wp))
        return;
    const RECT &r = wp.rcNormalPosition;
    settings_write("WinX", r.left);
    settings_write("WinY", r.top);
    settings_write("WinW", r.right - r.left);
    settings_write("WinH", r.bottom - r.top);
    settings_write("WinMax", wp.showCmd == SW_SHOWMAXIMIZED || IsZoomed(fs.frame) ? 1 : 0);
}

LRESULT on_destroy(FrameState &fs)
{
    frame_help(fs, HELP_QUIT);
    store_placement(fs);
    toolbar_destroy(fs);
    PostQuitMessage(0);
    return 0;
}

bool over_splitter(const FrameState &fs, int x, int y)
{
    if (fs.splitterX < 0 || x < fs.splitterX || x >= fs.splitterX + SPLITTER_WIDTH)
        return false;
    RECT view;
    GetWindowRect(fs.view, &view);
    POINT top = {view.left, view.top}, bottom = {view.right, view.bottom};
    ScreenToClient(fs.frame, &top);
    ScreenToClient(fs.frame, &bottom);
    return y >= top.y && y < bottom.y;
}

LRESULT on_erase_background(FrameState &fs, HDC dc)
{
    // A flat toolbar asks its parent to paint what lies behind its buttons.
    if (WindowFromDC(dc) != fs.frame) {
        RECT clip;
        GetClipBox(dc, &clip);
        FillRect(dc, &clip, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    if (fs.splitterX >= 0) {
        RECT rc;
        GetClientRect(fs.frame, &rc);
        rc.left = fs.splitterX;
        rc.right = fs.splitterX + SPLITTER_WIDTH;
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    }
    return 1;
}

LRESULT on_set_cursor(HWND hwnd, FrameState &fs, WPARAM wp, LPARAM lp)
{
    if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == hwnd) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        if (fs.splitterDrag || over_splitter(fs, pt.x, pt.y)) {
            SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32644)));  // west-east arrow
            return TRUE;
        }
    }
    return DefWindowProcA(hwnd, WM_SETCURSOR, wp, lp);
}

LRESULT on_left_button_down(FrameState &fs, int x, int y)
{
    if (over_splitter(fs, x, y)) {
        SetCapture(fs.frame);
        fs.splitterDrag = true;
        fs.dragLastX = x;
    }
    return 0;
}

LRESULT on_mouse_move(FrameState &fs, int x)
{
    if (!fs.splitterDrag)
        return 0;
    fs.panelWidth += x - fs.dragLastX;
    if (fs.panelWidth < PANEL_MIN_WIDTH)
        fs.panelWidth = PANEL_MIN_WIDTH;
    fs.dragLastX = x;
    frame_layout(fs);
    return 0;
}

LRESULT on_left_button_up(FrameState &fs)
{
    if (fs.splitterDrag) {
        fs.splitterDrag = false;
        ReleaseCapture();
        settings_write("PanelWidth", fs.panelWidth);
    }
    return 0;
}

LRESULT on_thumb_page(FrameState &fs, int index)
{
    view_goto_page(fs.view, index + 1);
    if (fs.thumbsFullWindow)
        frame_set_panel_mode(fs, PANEL_THUMBS_AND_PAGE);
    frame_refresh_status(fs);
    SetFocus(fs.view);
    return 0;
}

LRESULT on_menu_select(FrameState &fs, WPARAM wp, LPARAM lp)
{
    menu_select_help(fs, LOWORD(wp), HIWORD(wp), reinterpret_cast<HMENU>(lp));
    return 0;
}

LRESULT on_init_menu_popup(FrameState &fs, WPARAM wp, LPARAM lp)
{
    if (!HIWORD(lp))  // not the system menu
        menu_apply_rules(fs, reinterpret_cast<HMENU>(wp));
    return 0;
}

LRESULT on_notify(FrameState &fs, NMHDR *hdr)
{
    if (toolbar_tooltip(fs, hdr))
        return 0;
    if (hdr->idFrom == IDC_BOOKMARKS &&
        (hdr->code == TVN_SELCHANGEDA || hdr->code == TVN_SELCHANGEDW || hdr->code == NM_CLICK ||
         hdr->code == NM_DBLCLK)) {
        const int page = bookmarks_chosen_page(hdr);
        if (page >= 0)
            view_goto_page(fs.view, page + 1);
        frame_refresh_status(fs);
    }
    return 0;
}

// The halftone palette is realised in the frame when it gains the focus or
// another window changed the system palette; the view repaints when that
// moved colours.
LRESULT on_palette(FrameState &fs, bool query, HWND changer)
{
    if (!query && changer == fs.frame)
        return 0;
    HDC dc = GetDC(fs.frame);
    HPALETTE old = SelectPalette(dc, halftone_palette(), FALSE);
    const UINT changed = RealizePalette(dc);
    if (old)
        SelectPalette(dc, old, FALSE);
    ReleaseDC(fs.frame, dc);
    if (changed != 0 && changed != GDI_ERROR)
        InvalidateRect(fs.view, nullptr, FALSE);
    return query ? TRUE : 0;
}

LRESULT CALLBACK frame_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    FrameState *fs = frame_state(hwnd);
    if (msg == WM_NCCREATE) {
        auto *cs = reinterpret_cast<CREATESTRUCTA *>(lp);
        fs = static_cast<FrameState *>(cs->lpCreateParams);
        fs->frame = hwnd;
        g_pending = nullptr;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(fs));
        g_frame = fs;
    }
    if (!fs)
        return DefWindowProcA(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_CREATE: return on_create(hwnd, *fs);
    case WM_DESTROY: return on_destroy(*fs);
    case WM_NCDESTROY:
        if (g_frame == fs)
            g_frame = nullptr;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete fs;
        return 0;
    case WM_SIZE: frame_layout(*fs); return 0;
    case WM_SETFOCUS: SetFocus(fs->thumbsFullWindow && !fs->fullScreen ? fs->thumbs : fs->view); return 0;
    case WM_ERASEBKGND: return on_erase_background(*fs, reinterpret_cast<HDC>(wp));
    case WM_SETCURSOR: return on_set_cursor(hwnd, *fs, wp, lp);
    case WM_LBUTTONDOWN: return on_left_button_down(*fs, short(LOWORD(lp)), short(HIWORD(lp)));
    case WM_MOUSEMOVE: return on_mouse_move(*fs, short(LOWORD(lp)));
    case WM_LBUTTONUP: return on_left_button_up(*fs);
    case WM_COMMAND: command_dispatch(*fs, LOWORD(wp), HIWORD(wp)); return 0;
    case WM_INITMENUPOPUP: return on_init_menu_popup(*fs, wp, lp);
    case WM_MENUSELECT: return on_menu_select(*fs, wp, lp);
    case WM_NOTIFY: return on_notify(*fs, reinterpret_cast<NMHDR *>(lp));
    case WM_DROPFILES: frame_on_drop(*fs, reinterpret_cast<HDROP>(wp)); return 0;
    case WM_TIMER:
        if (wp == 1 && fullscreen_active(hwnd))
            fullscreen_advance(hwnd);
        return 0;
    case WM_QUERYNEWPALETTE: return on_palette(*fs, true, nullptr);
    case WM_PALETTECHANGED: return on_palette(*fs, false, reinterpret_cast<HWND>(wp));
    case WM_FRAME_REFRESH: frame_refresh_status(*fs); return 0;
    case WM_FRAME_THUMB_PAGE: return on_thumb_page(*fs, int(wp));
    case WM_FRAME_FS_ESCAPE:
        if (fullscreen_active(hwnd) && settings_get("FsEscExit"))
            fullscreen_toggle(hwnd);
        return 0;
    case WM_FRAME_FS_MENU: fullscreen_context_menu(hwnd, int(wp), int(lp)); return 0;
    case WM_FRAME_FS_CLICK:
        if (fullscreen_active(hwnd) && settings_get("FsOnClick"))
            fullscreen_advance(hwnd);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// The message box being shown is centred on this window when it activates.
HWND g_box_owner;
HHOOK g_box_hook;

LRESULT CALLBACK box_hook(int code, WPARAM wp, LPARAM lp)
{
    if (code == HCBT_ACTIVATE && g_box_hook) {
        HWND box = reinterpret_cast<HWND>(wp);
        char cls[16] = "";
        GetClassNameA(box, cls, sizeof cls);
        if (!std::strcmp(cls, "#32770")) {
            UnhookWindowsHookEx(g_box_hook);
            g_box_hook = nullptr;
            window_center_on_owner(box, g_box_owner);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

int message_box_default(HWND owner, const char *text, const char *caption, UINT flags)
{
    g_box_owner = owner;
    g_box_hook = owner ? SetWindowsHookExA(WH_CBT, box_hook, nullptr, GetCurrentThreadId()) : nullptr;
    int rc = MessageBoxA(owner, text, caption, flags);
    if (g_box_hook)
        UnhookWindowsHookEx(g_box_hook);
    g_box_hook = nullptr;
    return rc;
}

// The work area of the monitor that shows `wnd` (the primary one where the
// system knows no monitors).
RECT work_area_of(HWND wnd)
{
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    using FromWindow = HMONITOR(WINAPI *)(HWND, DWORD);
    using Info = BOOL(WINAPI *)(HMONITOR, LPMONITORINFO);
    HMODULE user = GetModuleHandleA("user32.dll");
    auto from_window = user ? reinterpret_cast<FromWindow>(GetProcAddress(user, "MonitorFromWindow")) : nullptr;
    auto info = user ? reinterpret_cast<Info>(GetProcAddress(user, "GetMonitorInfoA")) : nullptr;
    MONITORINFO mi = {sizeof mi};
    if (wnd && from_window && info && info(from_window(wnd, MONITOR_DEFAULTTONEAREST), &mi))
        work = mi.rcWork;
    return work;
}

// The About box: the application text splits at '#' into the title's name
// and the first line; the credits go below, and the box grows to show them.
struct AboutTexts {
    const char *app, *credits;
};

INT_PTR CALLBACK about_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_INITDIALOG: {
        const auto *t = reinterpret_cast<const AboutTexts *>(lp);
        char name[128], fmt[64], title[192];
        std::snprintf(name, sizeof name, "%s", t->app);
        const char *hash = std::strchr(t->app, '#');
        const char *first_line = hash ? hash + 1 : t->app;
        if (hash)
            name[std::min<size_t>(size_t(hash - t->app), sizeof name - 1)] = 0;
        std::snprintf(title, sizeof title, frame_string(IDS_ABOUT_TITLE, fmt, sizeof fmt), name);
        SetWindowTextA(dlg, title);
        SetDlgItemTextA(dlg, IDC_ABOUT_APP, first_line);
        SetDlgItemTextA(dlg, IDC_ABOUT_CREDITS, t->credits);

        // The credits' static grows to the height its text needs at its
        // width; the button and the box's bottom move down by as much.
        HWND credits = GetDlgItem(dlg, IDC_ABOUT_CREDITS), ok = GetDlgItem(dlg, IDOK);
        RECT cr, br, need;
        GetWindowRect(credits, &cr);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT *>(&cr), 2);
        need = {0, 0, cr.right - cr.left, 0};
        HDC dc = GetDC(credits);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(dlg, WM_GETFONT, 0, 0)));
        DrawTextA(dc, t->credits, -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(credits, dc);
        int grow = need.bottom - (cr.bottom - cr.top);
        if (grow > 0) {
            SetWindowPos(credits, nullptr, 0, 0, cr.right - cr.left, need.bottom, SWP_NOMOVE | SWP_NOZORDER);
            GetWindowRect(ok, &br);
            MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT *>(&br), 2);
            SetWindowPos(ok, nullptr, br.left, br.top + grow, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            RECT wr;
            GetWindowRect(dlg, &wr);
            SetWindowPos(dlg, nullptr, 0, 0, wr.right - wr.left, wr.bottom - wr.top + grow,
                         SWP_NOMOVE | SWP_NOZORDER);
        }
        window_center_on_owner(dlg, GetWindow(dlg, GW_OWNER));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, LOWORD(wp));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

FrameState *frame_state() { return g_frame; }

FrameState *frame_state(HWND frame)
{
    return frame ? reinterpret_cast<FrameState *>(GetWindowLongPtrA(frame, GWLP_USERDATA)) : nullptr;
}

void frame_set_message_box(FrameMessageBox hook) { g_message_box = hook; }

void window_center_on_owner(HWND wnd, HWND owner)
{
    HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    RECT r, o;
    GetWindowRect(wnd, &r);
    if (top && IsWindowVisible(top) && !IsIconic(top))
        GetWindowRect(top, &o);
    else
        top = nullptr;
    RECT work = work_area_of(top ? top : wnd);
    if (!top)
        o = work;
    const int owner_box[4] = {o.left, o.top, o.right, o.bottom};
    const int work_box[4] = {work.left, work.top, work.right, work.bottom};
    BoxOrigin at = center_box_on_owner(owner_box, r.right - r.left, r.bottom - r.top, work_box);
    SetWindowPos(wnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int frame_message_box(HWND owner, const char *text, const char *caption, UINT flags)
{
    return (g_message_box ? g_message_box : message_box_default)(owner, text, caption, flags);
}

const char *frame_string(UINT id, char *buf, int size)
{
    if (size > 0 && !LoadStringA(GetModuleHandleA(nullptr), id, buf, size))
        buf[0] = 0;
    return buf;
}

BOOL frame_register_class(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExA(instance, FRAME_CLASS, &wc))
        return TRUE;
    wc.lpfnWndProc = frame_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // arrow
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = FRAME_CLASS;
    return RegisterClassExA(&wc) != 0;
}

HWND frame_create(HINSTANCE instance, int show, bool visible)
{
    StoredPlacement stored = {settings_get("WinX"), settings_get("WinY"), settings_get("WinW"),
                              settings_get("WinH"), settings_get("WinMax")};
    Placement p = placement_decide(settings_get("RememberWindow"), stored,
                                   GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    auto *fs = new FrameState();
    fs->instance = instance;
    fs->toolbarVisible = fs->statusVisible = true;
    fs->splitterX = -1;
    fs->panelWidth = PANEL_DEFAULT_WIDTH;
    g_pending = fs;
    HWND hwnd = CreateWindowExA(0, FRAME_CLASS, "", WS_OVERLAPPEDWINDOW,
                                p.use_default_position ? CW_USEDEFAULT : p.x,
                                p.use_default_position ? CW_USEDEFAULT : p.y, p.w, p.h, nullptr,
                                nullptr, instance, fs);
    if (!hwnd) {
        if (g_pending == fs)  // never attached; otherwise WM_NCDESTROY freed it
            delete fs;
        g_pending = nullptr;
        return nullptr;
    }
    frame_refresh_title(*fs);
    if (visible) {
        bool minimize = show == SW_MINIMIZE || show == SW_SHOWMINIMIZED || show == SW_SHOWMINNOACTIVE;
        ShowWindow(hwnd, p.maximized && !minimize ? SW_SHOWMAXIMIZED : show);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

void frame_refresh_title(FrameState &fs)
{
    char app[64], title[400];
    frame_string(IDS_APP_NAME, app, sizeof app);
    if (fs.documentName[0])
        std::snprintf(title, sizeof title, "%s - %s", fs.documentName, app);
    else
        std::snprintf(title, sizeof title, "%s", app);
    SetWindowTextA(fs.frame, title);
}

void frame_refresh_status(FrameState &fs)
{
    if (fs.status && !fs.menuHelpShown) {
        char part0[64] = "", part1[96] = "", part2[32] = "", fmt[64];
        int page = view_page(fs.view);
        Document *doc = view_document(fs.view);
        if (page > 0 && doc) {
            std::snprintf(part0, sizeof part0, frame_string(IDS_STATUS_PAGE, fmt, sizeof fmt), page,
                          view_page_count(fs.view));
            float w = 0, h = 0;
            int rot = 0;
            doc_page_size(doc, page - 1, &w, &h, &rot);
            if ((rot / 90) & 1) {
                float t = w;
                w = h;
                h = t;
            }
            if (doc->kind == DOC_TEXT)
                std::snprintf(part1, sizeof part1, "%s", doc_text_encoding_name(doc_text_encoding(doc)));
            else
                settings_page_size_label(w, h, part1, sizeof part1);
            std::snprintf(part2, sizeof part2, "%d%%", view_zoom_percent(fs.view));
        }
        SendMessageA(fs.status, SB_SETTEXTA, 0, LPARAM(part0));
        SendMessageA(fs.status, SB_SETTEXTA, 1, LPARAM(part1));
        SendMessageA(fs.status, SB_SETTEXTA, 2, LPARAM(part2));
    }
    toolbar_refresh_fields(fs);
    if (fs.thumbsVisible)
        thumbs_set_page(fs.thumbs, view_page(fs.view));
}

void frame_layout(FrameState &fs)
{
    RECT rc;
    GetClientRect(fs.frame, &rc);
    LayoutInput in = {rc.right, rc.bottom, 0, 0, fullscreen_active(fs.frame), fs.panelMode, fs.panelWidth};
    if (!in.full_screen) {
        RECT r;
        if (fs.toolbarVisible && fs.toolbar) {
            SendMessageA(fs.toolbar, TB_AUTOSIZE, 0, 0);
            GetWindowRect(fs.toolbar, &r);
            in.toolbar_h = r.bottom - r.top;
        }
        if (fs.statusVisible && fs.status) {
            SendMessageA(fs.status, WM_SIZE, 0, 0);
            GetWindowRect(fs.status, &r);
            in.status_h = r.bottom - r.top;
        }
    }
    LayoutResult out = layout_compute(in);
    if (!in.full_screen && fs.statusVisible && fs.status) {
        SendMessageA(fs.status, SB_SETPARTS, 3, LPARAM(out.status_parts));
        frame_refresh_status(fs);
    }
    fs.splitterX = in.full_screen ? -1 : out.splitter_x;
    if (!in.full_screen && !fs.thumbsFullWindow)
        fs.panelWidth = out.panel_width;
    auto place = [](HWND w, const LayoutRect &r) {
        if (!w)
            return;
        if (r.visible)
            MoveWindow(w, r.x, r.y, r.w, r.h, TRUE);
        ShowWindow(w, r.visible ? SW_SHOWNA : SW_HIDE);
    };
    place(fs.view, out.view);
    if (!in.full_screen) {
        place(fs.thumbs, out.thumbs);
        place(fs.bookmarks, out.bookmarks);
    }
    InvalidateRect(fs.frame, nullptr, TRUE);
}

void frame_set_panel_mode(FrameState &fs, int mode)
{
    PanelFlags f = panel_flags(mode);
    bool thumbs_were_visible = fs.thumbsVisible;
    fs.panelMode = mode;
    fs.thumbsFullWindow = f.thumbsFullWindow;
    fs.thumbsVisible = f.thumbsVisible;
    fs.bookmarksVisible = f.bookmarksVisible;
    if (fs.thumbsVisible && !thumbs_were_visible) {
        thumbs_reset(fs.thumbs, view_document(fs.view), view_page_count(fs.view));
        thumbs_set_page(fs.thumbs, view_page(fs.view));
    }
    if (HMENU menu = GetMenu(fs.frame))
        CheckMenuRadioItem(menu, CMD_PANEL_PAGE, CMD_PANEL_BOOKMARKS_PAGE, CMD_PANEL_PAGE + mode, MF_BYCOMMAND);
    if (fs.toolbar)
        SendMessageA(fs.toolbar, TB_CHECKBUTTON, CMD_PANEL_PAGE + mode, TRUE);
    frame_layout(fs);
    // The keyboard stays with a window that can be seen.
    HWND focus = GetFocus();
    if (fs.thumbsFullWindow && focus == fs.view)
        SetFocus(fs.thumbs);
    else if ((focus == fs.thumbs || focus == fs.bookmarks) && !IsWindowVisible(focus))
        SetFocus(fs.view);
}

void frame_help(FrameState &fs, UINT command)
{
    if (is_nt6_or_later()) {
        if (command != HELP_QUIT) {
            char text[512], caption[64];
            frame_message_box(fs.frame, frame_string(IDS_NO_WINHELP, text, sizeof text),
                              frame_string(IDS_APP_NAME, caption, sizeof caption),
                              MB_OK | MB_ICONINFORMATION);
        }
        return;
    }
    char file[MAX_PATH + 32];
    DWORD n = GetModuleFileNameA(nullptr, file, MAX_PATH);
    char *slash = n ? std::strrchr(file, '\\') : nullptr;
    if (slash)
        std::strcpy(slash + 1, "pagrix.hlp");
    if (!slash || GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) {
        char windir[MAX_PATH];
        GetWindowsDirectoryA(windir, sizeof windir);
        std::snprintf(file, sizeof file, "%s\\Help\\pagrix.hlp", windir);
    }
    WinHelpA(fs.frame, file, command, 0);
}

void frame_about(FrameState &fs)
{
    char app[128], credits_fmt[300], credits[320];
    frame_string(IDS_ABOUT_APP, app, sizeof app);
    std::snprintf(credits, sizeof credits, frame_string(IDS_ABOUT_CREDITS, credits_fmt, sizeof credits_fmt),
                  BUILD_NUMBER);
    // Our own box rather than the shell's: the shell of some systems shows the
    // '#' and cuts the credits' second line off.
    AboutTexts texts = {app, credits};
    DialogBoxParamA(fs.instance, MAKEINTRESOURCEA(IDD_ABOUT), fs.frame, about_proc,
                    reinterpret_cast<LPARAM>(&texts));
}
