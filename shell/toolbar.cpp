// The toolbar with its page edit and zoom combo, the enable and check rules
// of menu items and buttons, tooltips and the menu help in the status bar.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "shell/features.h"
#include "shell/frame.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"

namespace {

constexpr int SEPARATOR = -1, PAGE_EDIT_SLOT = -2, ZOOM_COMBO_SLOT = -3;

struct ButtonRow {
    int image;    // index into the image strip, or one of the slot markers
    int command;
    int tooltip;  // string id
    BYTE style;
};

constexpr BYTE PLAIN = TBSTYLE_BUTTON, GROUP = TBSTYLE_CHECKGROUP;

constexpr ButtonRow BUTTONS[27] = {
    {2, CMD_OPEN, IDS_TIP_OPEN, PLAIN},
    {4, CMD_PRINT, IDS_TIP_PRINT, PLAIN},
    {SEPARATOR, 0, 0, 0},
    {19, CMD_FIRST_PAGE, IDS_TIP_FIRST, PLAIN},
    {13, CMD_PREV_PAGE, IDS_TIP_PREV, PLAIN},
    {PAGE_EDIT_SLOT, 0, 0, 0},
    {14, CMD_NEXT_PAGE, IDS_TIP_NEXT, PLAIN},
    {20, CMD_LAST_PAGE, IDS_TIP_LAST, PLAIN},
    {SEPARATOR, 0, 0, 0},
    {6, CMD_TOOL_HAND, IDS_TIP_HAND, GROUP},
    {22, CMD_TOOL_SELECT, IDS_TIP_SELECT, GROUP},
    {5, CMD_TOOL_SNAPSHOT, IDS_TIP_SNAPSHOT, GROUP},
    {SEPARATOR, 0, 0, 0},
    {15, CMD_PANEL_PAGE, IDS_TIP_PAGE_ONLY, GROUP},
    {16, CMD_PANEL_THUMBS, IDS_TIP_THUMBS, GROUP},
    {17, CMD_PANEL_THUMBS_PAGE, IDS_TIP_THUMBS_PAGE, GROUP},
    {23, CMD_PANEL_BOOKMARKS_PAGE, IDS_TIP_BOOKMARKS_PAGE, GROUP},
    {SEPARATOR, 0, 0, 0},
    {12, CMD_ROTATE_CW, IDS_TIP_ROTATE_CW, PLAIN},
    {11, CMD_ROTATE_CCW, IDS_TIP_ROTATE_CCW, PLAIN},
    {SEPARATOR, 0, 0, 0},
    {8, CMD_ZOOM_IN, IDS_ZOOM_IN, PLAIN},
    {9, CMD_ZOOM_OUT, IDS_ZOOM_OUT, PLAIN},
    {18, CMD_ACTUAL_SIZE, IDS_ZOOM_ACTUAL, PLAIN},
    {10, CMD_FIT_PAGE, IDS_ZOOM_FIT_PAGE, PLAIN},
    {21, CMD_FIT_WIDTH, IDS_ZOOM_FIT_WIDTH, PLAIN},
    {ZOOM_COMBO_SLOT, 0, 0, 0},
};
constexpr int PAGE_EDIT_INDEX = 5, ZOOM_COMBO_INDEX = 26;
constexpr const char *ZOOM_LIST[] = {"50%", "75%", "100%", "125%", "150%", "200%", "400%"};

// Enter and Esc in the page edit and the zoom combo's edit field. The
// original window procedure is kept in the control's user data.
LRESULT CALLBACK field_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    FrameState *fs = frame_state();
    if (fs && msg == WM_KEYDOWN && (wp == VK_RETURN || wp == VK_ESCAPE)) {
        bool is_page = hwnd == fs->pageEdit;
        if (wp == VK_RETURN) {
            char text[24] = "";
            GetWindowTextA(hwnd, text, is_page ? 16 : 24);
            if (is_page) {
                if (int page = page_entry_parse(text)) {
                    view_goto_page(fs->view, page);
                }
            } else {
                int value = 0;
                int kind = zoom_entry_parse(text, &value);
                if (kind == ZOOM_ENTRY_COMMAND)
                    command_dispatch(*fs, value, 0);
                else if (kind == ZOOM_ENTRY_PERCENT)
                    view_set_zoom_percent(fs->view, value);
            }
        }
        SetFocus(fs->view);
        frame_refresh_status(*fs);
        return 0;
    }
    if (msg == WM_CHAR && (wp == '\r' || wp == '\n' || wp == 27))
        return 0;  // no beep, no line break
    return CallWindowProcA(old, hwnd, msg, wp, lp);
}

void subclass_field(HWND hwnd)
{
    if (!hwnd)
        return;
    LONG_PTR old = SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(field_proc));
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, old);
}

void add_images(FrameState &fs, int size)
{
    int id = fs.largeButtons ? IDB_TOOLBAR_LARGE : IDB_TOOLBAR_SMALL;
    TBADDBITMAP ab = {};
    if (fs.isNT) {
        // The light gray background becomes the button face colour.
        fs.toolbarBitmap = CreateMappedBitmap(fs.instance, id, 0, nullptr, 0);
        if (!fs.toolbarBitmap)
            return;
        ab.hInst = nullptr;
        ab.nID = reinterpret_cast<UINT_PTR>(fs.toolbarBitmap);
    } else {
        ab.hInst = fs.instance;
        ab.nID = id;
    }
    SendMessageA(fs.toolbar, TB_ADDBITMAP, 24, reinterpret_cast<LPARAM>(&ab));
    (void)size;
}

void create_fields(FrameState &fs)
{
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (fs.largeButtons) {
        fs.largeFont = CreateFontA(15, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
        if (fs.largeFont)
            font = fs.largeFont;
    }
    RECT r;
    SendMessageA(fs.toolbar, TB_GETITEMRECT, PAGE_EDIT_INDEX, reinterpret_cast<LPARAM>(&r));
    int slot_h = r.bottom - r.top, h = slot_h < 18 ? slot_h : 18;
    if (fs.largeButtons)
        h = 22;
    fs.pageEdit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_CENTER | ES_AUTOHSCROLL,
                                  r.left + 2, r.top + (slot_h - h) / 2, r.right - r.left - 4, h, fs.toolbar,
                                  reinterpret_cast<HMENU>(INT_PTR(IDC_PAGE_EDIT)), fs.instance, nullptr);
    SendMessageA(fs.pageEdit, EM_LIMITTEXT, 6, 0);
    SendMessageA(fs.pageEdit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    subclass_field(fs.pageEdit);

    SendMessageA(fs.toolbar, TB_GETITEMRECT, ZOOM_COMBO_INDEX, reinterpret_cast<LPARAM>(&r));
    slot_h = r.bottom - r.top;
    fs.zoomCombo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                                   r.left + 2, r.top, r.right - r.left - 4, slot_h + 160, fs.toolbar,
                                   reinterpret_cast<HMENU>(INT_PTR(IDC_ZOOM_COMBO)), fs.instance, nullptr);
    SendMessageA(fs.zoomCombo, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(fs.zoomCombo, CB_LIMITTEXT, 7, 0);
    for (const char *z : ZOOM_LIST)
        SendMessageA(fs.zoomCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(z));
    RECT cr;
    GetWindowRect(fs.zoomCombo, &cr);
    int combo_h = cr.bottom - cr.top;
    SetWindowPos(fs.zoomCombo, nullptr, r.left + 2, r.top + (slot_h - combo_h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    HWND edit = GetWindow(fs.zoomCombo, GW_CHILD);
    if (edit) {
        SetWindowLongPtrA(edit, GWL_STYLE, GetWindowLongPtrA(edit, GWL_STYLE) | ES_CENTER);
        subclass_field(edit);
    }
}

// Radio mark on `id` among first..last in the menu, and the toolbar's
// check group follows.
void set_radio(FrameState &fs, int first, int last, int id)
{
    if (HMENU menu = GetMenu(fs.frame))
        CheckMenuRadioItem(menu, first, last, id, MF_BYCOMMAND);
    if (fs.toolbar)
        SendMessageA(fs.toolbar, TB_CHECKBUTTON, id, TRUE);
}

}  // namespace

DocFacts frame_doc_facts(const FrameState &fs)
{
    DocFacts f = {};
    Document *doc = view_document(fs.view);
    if (!doc)
        return f;
    f.open = true;
    f.page_count = view_page_count(fs.view);
    f.has_text = doc_has_text(doc) != 0;
    f.is_plain_text = doc->kind == DOC_TEXT;
    // With no room for items the readers only count them.
    f.has_outline = doc_outline(doc, nullptr, 0) > 0;
    f.has_threads = doc_threads(doc, nullptr, 0) > 0;
    return f;
}

void frame_check_menu(FrameState &fs, int id, bool checked)
{
    if (HMENU menu = GetMenu(fs.frame))
        CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void toolbar_build(FrameState &fs)
{
    int size = fs.largeButtons ? 24 : 16;
    fs.toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                                 WS_CHILD | WS_CLIPCHILDREN | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | CCS_TOP |
                                     (fs.toolbarVisible ? WS_VISIBLE : 0),
                                 0, 0, 0, 0, fs.frame, reinterpret_cast<HMENU>(INT_PTR(IDC_TOOLBAR)),
                                 fs.instance, nullptr);
    if (!fs.toolbar)
        return;
    SendMessageA(fs.toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(fs.toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(size, size));
    add_images(fs, size);
    TBBUTTON buttons[27] = {};
    for (int i = 0; i < 27; i++) {
        const ButtonRow &row = BUTTONS[i];
        TBBUTTON &b = buttons[i];
        if (row.image < 0) {
            b.fsStyle = TBSTYLE_SEP;
            b.iBitmap = row.image == PAGE_EDIT_SLOT ? (fs.largeButtons ? 52 : 40)
                        : row.image == ZOOM_COMBO_SLOT ? 66 : 0;
        } else {
            b.iBitmap = row.image;
            b.idCommand = row.command;
            b.fsState = TBSTATE_ENABLED;
            b.fsStyle = row.style;
        }
    }
    SendMessageA(fs.toolbar, TB_ADDBUTTONS, 27, reinterpret_cast<LPARAM>(buttons));
    SendMessageA(fs.toolbar, TB_AUTOSIZE, 0, 0);
    SendMessageA(fs.toolbar, TB_CHECKBUTTON, CMD_PANEL_PAGE + fs.panelMode, TRUE);
    SendMessageA(fs.toolbar, TB_CHECKBUTTON, CMD_TOOL_HAND + (fs.view ? view_tool(fs.view) : 0), TRUE);
    create_fields(fs);
}

void toolbar_destroy(FrameState &fs)
{
    if (fs.pageEdit)
        DestroyWindow(fs.pageEdit);
    if (fs.zoomCombo)
        DestroyWindow(fs.zoomCombo);
    if (fs.toolbar)
        DestroyWindow(fs.toolbar);
    if (fs.toolbarBitmap)
        DeleteObject(fs.toolbarBitmap);
    if (fs.largeFont)
        DeleteObject(fs.largeFont);
    fs.pageEdit = fs.zoomCombo = fs.toolbar = nullptr;
    fs.toolbarBitmap = nullptr;
    fs.largeFont = nullptr;
}

void toolbar_refresh_states(FrameState &fs)
{
    DocFacts facts = frame_doc_facts(fs);
    if (fs.toolbar) {
        for (const ButtonRow &row : BUTTONS)
            if (row.image >= 0)
                SendMessageA(fs.toolbar, TB_ENABLEBUTTON, row.command,
                             MAKELONG(command_enabled_toolbar(row.command, facts) && feature_available(row.command), 0));
    }
    if (fs.pageEdit)
        EnableWindow(fs.pageEdit, facts.open && facts.page_count > 1);
    if (fs.zoomCombo)
        EnableWindow(fs.zoomCombo, facts.open);
    set_radio(fs, CMD_PANEL_PAGE, CMD_PANEL_BOOKMARKS_PAGE, CMD_PANEL_PAGE + fs.panelMode);
    set_radio(fs, CMD_TOOL_HAND, CMD_TOOL_SNAPSHOT, CMD_TOOL_HAND + view_tool(fs.view));
}

void toolbar_refresh_fields(FrameState &fs)
{
    int page = view_page(fs.view);
    HWND focus = GetFocus();
    char text[16] = "";
    if (fs.pageEdit && focus != fs.pageEdit) {
        if (page > 0)
            std::snprintf(text, sizeof text, "%d", page);
        SetWindowTextA(fs.pageEdit, text);
    }
    if (fs.zoomCombo && focus != fs.zoomCombo && !IsChild(fs.zoomCombo, focus)) {
        text[0] = 0;
        if (page > 0)
            std::snprintf(text, sizeof text, "%d%%", view_zoom_percent(fs.view));
        SetWindowTextA(fs.zoomCombo, text);
    }
}

void menu_apply_rules(FrameState &fs, HMENU menu)
{
    DocFacts facts = frame_doc_facts(fs);
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; i++) {
        UINT id = GetMenuItemID(menu, i);
        if (id == UINT(-1) || id == 0)
            continue;  // submenu or separator
        bool on = command_enabled_menu(int(id), facts) && feature_available(int(id));
        EnableMenuItem(menu, i, MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
    }
    Document *doc = view_document(fs.view);
    CheckMenuRadioItem(menu, CMD_LAYOUT_SINGLE, CMD_LAYOUT_CONTINUOUS,
                       view_layout(fs.view) ? CMD_LAYOUT_CONTINUOUS : CMD_LAYOUT_SINGLE, MF_BYCOMMAND);
    CheckMenuItem(menu, CMD_GRAYSCALE, MF_BYCOMMAND | (view_grayscale(fs.view) ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, CMD_TOOLBAR, MF_BYCOMMAND | (fs.toolbarVisible ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, CMD_STATUSBAR, MF_BYCOMMAND | (fs.statusVisible ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, CMD_LARGE_BUTTONS, MF_BYCOMMAND | (fs.largeButtons ? MF_CHECKED : MF_UNCHECKED));
    // The current encoding carries the radio mark; automatic detection never does.
    int encoding = doc ? doc_text_encoding(doc) : -2;
    for (int id = CMD_ENCODING_FIRST; id <= CMD_ENCODING_LAST; id++)
        CheckMenuItem(menu, id, MF_BYCOMMAND | (id - CMD_ENCODING_FIRST == encoding ? MF_CHECKED : MF_UNCHECKED));
    if (encoding >= 0)
        CheckMenuRadioItem(menu, CMD_ENCODING_FIRST, CMD_ENCODING_LAST, CMD_ENCODING_FIRST + encoding, MF_BYCOMMAND);
    bool mono = doc && doc->kind == DOC_TEXT ? doc_text_mono(doc) != 0 : settings_get("TextMono") != 0;
    CheckMenuItem(menu, CMD_TEXT_MONO, MF_BYCOMMAND | (mono ? MF_CHECKED : MF_UNCHECKED));
}

void menu_select_help(FrameState &fs, UINT item, UINT flags, HMENU menu)
{
    if (!fs.status)
        return;
    if (flags == 0xFFFF && !menu) {  // the menu closed
        fs.menuHelpShown = false;
        SendMessageA(fs.status, SB_SIMPLE, FALSE, 0);
        frame_refresh_status(fs);
        return;
    }
    char text[256] = "";
    if (!(flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU))) {
        UINT id = item;
        if (id >= CMD_RECENT_FIRST && id <= CMD_RECENT_LAST)
            id = IDS_HELP_RECENT;
        else if (id >= CMD_ENCODING_AUTO && id <= CMD_ENCODING_LAST)
            id = IDS_HELP_ENCODING;
        frame_string(id, text, sizeof text);
    }
    fs.menuHelpShown = true;
    SendMessageA(fs.status, SB_SIMPLE, TRUE, 0);
    SendMessageA(fs.status, SB_SETTEXTA, 255 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(text));
}

bool toolbar_tooltip(FrameState &fs, NMHDR *hdr)
{
    if (hdr->code != TTN_GETDISPINFOA && hdr->code != TTN_GETDISPINFOW)
        return false;
    for (const ButtonRow &row : BUTTONS) {
        if (row.image < 0 || UINT_PTR(row.command) != hdr->idFrom)
            continue;
        if (hdr->code == TTN_GETDISPINFOA) {
            auto *info = reinterpret_cast<NMTTDISPINFOA *>(hdr);
            frame_string(row.tooltip, info->szText, sizeof info->szText);
            info->lpszText = info->szText;
            info->hinst = nullptr;
        } else {
            auto *info = reinterpret_cast<NMTTDISPINFOW *>(hdr);
            if (!LoadStringW(fs.instance, row.tooltip, info->szText, 80))
                info->szText[0] = 0;
            info->lpszText = info->szText;
            info->hinst = nullptr;
        }
        return true;
    }
    return false;
}
