// The toolbar with its page edit and zoom combo, the enable and check rules
// of menu items and buttons, tooltips and the menu help in the status bar.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

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
constexpr int ZOOM_TEXT_MAX = 23;  // characters of the zoom combo's edit field
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
            char text[ZOOM_TEXT_MAX + 1] = "";
            GetWindowTextA(hwnd, text, is_page ? 16 : ZOOM_TEXT_MAX + 1);
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

// The image strips are 24-bit drawings on a light grey background. The
// toolbar gets two image lists made from them: the images with that
// background masked out (and, under the mask, turned into the button face
// colour), and the disabled images, embossed from each image's dark pixels
// in the shadow and highlight colours.
constexpr uint32_t STRIP_BACKGROUND = 0xC0C0C0;  // 0xRRGGBB

uint32_t rgb_of_sys(int index)
{
    COLORREF c = GetSysColor(index);
    return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

// A pixel that stays visible, as a shadow, in the disabled image.
bool strip_ink(uint32_t px)
{
    if ((px & 0xFFFFFF) == STRIP_BACKGROUND)
        return false;
    int r = px >> 16 & 0xFF, g = px >> 8 & 0xFF, b = px & 0xFF;
    return r * 299 + g * 587 + b * 114 < 160 * 1000;
}

// A 32-bit top-down bitmap of w x h holding `pixels` (0xRRGGBB each).
HBITMAP colour_bitmap(int w, int h, const std::vector<uint32_t> &pixels)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp)
        std::memcpy(bits, pixels.data(), pixels.size() * 4);
    return bmp;
}

// A monochrome mask of w x h: set bits are transparent.
HBITMAP mask_bitmap(int w, int h, const std::vector<bool> &transparent)
{
    const int stride = (w + 15) / 16 * 2;  // rows of whole 16-bit words
    std::vector<uint8_t> bits(size_t(stride) * h, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (transparent[size_t(y) * w + x])
                bits[size_t(y) * stride + x / 8] |= uint8_t(0x80 >> (x % 8));
    return CreateBitmap(w, h, 1, 1, bits.data());
}

HIMAGELIST image_list(int size, int w, int h, const std::vector<uint32_t> &pixels,
                      const std::vector<bool> &transparent)
{
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, w / size, 0);
    HBITMAP colour = colour_bitmap(w, h, pixels), mask = mask_bitmap(w, h, transparent);
    if (list && (!colour || !mask || ImageList_Add(list, colour, mask) < 0)) {
        ImageList_Destroy(list);
        list = nullptr;
    }
    if (colour)
        DeleteObject(colour);
    if (mask)
        DeleteObject(mask);
    return list;
}

void add_images(FrameState &fs, int size)
{
    int id = fs.largeButtons ? IDB_TOOLBAR_LARGE : IDB_TOOLBAR_SMALL;
    HBITMAP strip = static_cast<HBITMAP>(LoadImageA(fs.instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0,
                                                    LR_CREATEDIBSECTION));
    BITMAP info = {};
    if (!strip || !GetObjectA(strip, sizeof info, &info) || info.bmWidth < size || info.bmHeight < size) {
        if (strip)
            DeleteObject(strip);
        return;  // the toolbar goes without images
    }
    const int w = info.bmWidth, h = size;
    std::vector<uint32_t> pixels(size_t(w) * h);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(nullptr);
    int rows = GetDIBits(dc, strip, 0, h, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(strip);
    if (rows != h)
        return;

    const uint32_t face = rgb_of_sys(COLOR_BTNFACE), shadow = rgb_of_sys(COLOR_BTNSHADOW),
                   light = rgb_of_sys(COLOR_BTNHIGHLIGHT);
    std::vector<uint32_t> normal(pixels.size()), disabled(pixels.size());
    std::vector<bool> normal_mask(pixels.size()), disabled_mask(pixels.size());
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const size_t i = size_t(y) * w + x;
            const uint32_t px = pixels[i] & 0xFFFFFF;
            normal_mask[i] = px == STRIP_BACKGROUND;
            normal[i] = normal_mask[i] ? face : px;
            // The highlight is the ink moved one pixel down and right, within the same image.
            const bool ink = strip_ink(px);
            const bool lit = !ink && x % size > 0 && y > 0 && strip_ink(pixels[i - w - 1]);
            disabled_mask[i] = !ink && !lit;
            disabled[i] = ink ? shadow : lit ? light : face;
        }
    fs.toolbarImages = image_list(size, w, h, normal, normal_mask);
    fs.toolbarDisabledImages = image_list(size, w, h, disabled, disabled_mask);
    if (fs.toolbarImages)
        SendMessageA(fs.toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(fs.toolbarImages));
    if (fs.toolbarDisabledImages)
        SendMessageA(fs.toolbar, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(fs.toolbarDisabledImages));
}

HHOOK g_centre_edit_hook;
WNDPROC g_edit_proc;  // the edit class's procedure, while the zoom field is created

// The zoom combo's edit field on its first message: centred alignment is
// added to the creation style, where edit controls read it, and the edit
// class's own procedure takes over.
LRESULT CALLBACK centred_edit_create(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    WNDPROC edit_proc = g_edit_proc;
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_proc));
    if (msg == WM_NCCREATE || msg == WM_CREATE) {
        reinterpret_cast<CREATESTRUCTW *>(lp)->style |= ES_CENTER;
        SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | ES_CENTER);
    }
    return CallWindowProcW(edit_proc, hwnd, msg, wp, lp);
}

LRESULT CALLBACK centre_edit_hook(int code, WPARAM wp, LPARAM lp)
{
    if (code == HCBT_CREATEWND) {
        HWND hwnd = reinterpret_cast<HWND>(wp);
        char cls[16] = "";
        GetClassNameA(hwnd, cls, sizeof cls);
        if (!lstrcmpiA(cls, "Edit")) {
            g_edit_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(centred_edit_create));
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
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
    // The combo creates its edit field itself; the hook gives that field its
    // centred alignment at creation, as edit controls ignore a later change
    // of alignment on some systems.
    g_centre_edit_hook = SetWindowsHookExA(WH_CBT, centre_edit_hook, nullptr, GetCurrentThreadId());
    fs.zoomCombo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                                   r.left + 2, r.top, r.right - r.left - 4, slot_h + 160, fs.toolbar,
                                   reinterpret_cast<HMENU>(INT_PTR(IDC_ZOOM_COMBO)), fs.instance, nullptr);
    if (g_centre_edit_hook)
        UnhookWindowsHookEx(g_centre_edit_hook);
    g_centre_edit_hook = nullptr;
    SendMessageA(fs.zoomCombo, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // Room for the words Enter understands ("Seitenbreite", "Originalgröße"),
    // as many characters as Enter reads.
    SendMessageA(fs.zoomCombo, CB_LIMITTEXT, ZOOM_TEXT_MAX, 0);
    for (const char *z : ZOOM_LIST)
        SendMessageA(fs.zoomCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(z));
    RECT cr;
    GetWindowRect(fs.zoomCombo, &cr);
    int combo_h = cr.bottom - cr.top;
    SetWindowPos(fs.zoomCombo, nullptr, r.left + 2, r.top + (slot_h - combo_h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    HWND edit = GetWindow(fs.zoomCombo, GW_CHILD);
    if (edit)
        subclass_field(edit);
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
    if (fs.toolbarImages)
        ImageList_Destroy(fs.toolbarImages);
    if (fs.toolbarDisabledImages)
        ImageList_Destroy(fs.toolbarDisabledImages);
    if (fs.largeFont)
        DeleteObject(fs.largeFont);
    fs.pageEdit = fs.zoomCombo = fs.toolbar = nullptr;
    fs.toolbarImages = fs.toolbarDisabledImages = nullptr;
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
