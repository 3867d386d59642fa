// The options property sheet with its three pages (display, general, full
// screen): each page loads its controls from the settings when it is created
// and writes them back when the sheet is applied.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>

#include "shell/features.h"
#include "shell/frame.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"

namespace {

// Control id -> help context id pairs, zero-terminated, for WinHelp.
constexpr DWORD HELP_VIEW[] = {662, 2010, 651, 2011, 663, 2012, 654, 2013, 664, 2014, 665, 2015,
                               650, 2015, 666, 2016, 668, 2017, 671, 2018, 672, 2019, 652, 2020, 0, 0};
constexpr DWORD HELP_GENERAL[] = {667, 2021, 673, 2022, 669, 2023, 653, 2024, 0, 0};
constexpr DWORD HELP_FULLSCREEN[] = {680, 2025, 681, 2026, 682, 2027, 683, 2028, 684, 2029,
                                     685, 2030, 686, 2031, 0, 0};

struct CheckSetting {
    int control;
    const char *name;
};
constexpr CheckSetting VIEW_CHECKS[] = {
    {IDC_OPT_LARGE_IMAGES, "ShowLargeImages"}, {IDC_OPT_SMOOTH, "SmoothText"},
    {IDC_OPT_PAGE_EDGE, "PageToEdge"},         {IDC_OPT_PRINT_MARKS, "ShowPrintMarks"},
    {IDC_OPT_LINKS, "HighlightLinks"},         {IDC_OPT_OPEN_GRAY, "OpenGray"},
};
constexpr CheckSetting GENERAL_CHECKS[] = {
    {IDC_OPT_OPEN_DLG, "OpenDlgStartup"}, {IDC_OPT_REMEMBER, "RememberWindow"},
};
constexpr CheckSetting FULLSCREEN_CHECKS[] = {
    {IDC_OPT_FS_ADVANCE, "FsAdvance"}, {IDC_OPT_FS_CLICK, "FsOnClick"},
    {IDC_OPT_FS_LOOP, "FsLoop"},       {IDC_OPT_FS_ESC, "FsEscExit"},
};

bool is_nt6_or_later()
{
    DWORD v = GetVersion();
    return !(v & 0x80000000u) && LOBYTE(LOWORD(v)) >= 6;
}

template <size_t N>
void load_checks(HWND page, const CheckSetting (&checks)[N])
{
    for (const CheckSetting &c : checks)
        CheckDlgButton(page, c.control, settings_get(c.name) ? BST_CHECKED : BST_UNCHECKED);
}

template <size_t N>
void store_checks(HWND page, const CheckSetting (&checks)[N])
{
    for (const CheckSetting &c : checks)
        settings_write(c.name, IsDlgButtonChecked(page, c.control) == BST_CHECKED);
}

// Fills a drop-down from consecutive strings and selects the stored value.
void fill_list(HWND page, int control, int first_string, int count, int value)
{
    HWND combo = GetDlgItem(page, control);
    for (int i = 0; i < count; i++) {
        char text[64];
        SendMessageA(combo, CB_ADDSTRING, 0, LPARAM(frame_string(first_string + i, text, sizeof text)));
    }
    SendMessageA(combo, CB_SETCURSEL, options_list_index(value, count), 0);
}

int list_selection(HWND page, int control)
{
    return int(SendDlgItemMessageA(page, control, CB_GETCURSEL, 0, 0));
}

void item_text(HWND page, int control, char *buf, int size)
{
    if (!GetDlgItemTextA(page, control, buf, size))
        buf[0] = 0;
}

void load_view_page(HWND page)
{
    fill_list(page, IDC_OPT_LAYOUT, IDS_LAYOUT_SINGLE, 2, settings_get("PageLayout"));
    HWND zoom = GetDlgItem(page, IDC_OPT_ZOOM);
    for (int i = 0; i < 9; i++) {
        char text[64];
        if (i < 3)
            frame_string(IDS_ZOOM_FIT_PAGE + i, text, sizeof text);
        else
            std::snprintf(text, sizeof text, "%d%%", OPTIONS_ZOOM_VALUES[i]);
        SendMessageA(zoom, CB_ADDSTRING, 0, LPARAM(text));
    }
    SendMessageA(zoom, CB_SETCURSEL, options_zoom_index(settings_get("DefaultZoom")), 0);
    fill_list(page, IDC_OPT_SUBST, IDS_SUBST_BOTH, 3, settings_get("SubstFonts"));
    fill_list(page, IDC_OPT_UNITS, IDS_UNIT_INCHES, 3, settings_get("PageUnits"));
    load_checks(page, VIEW_CHECKS);
    int greek = settings_get("GreekPx");
    CheckDlgButton(page, IDC_OPT_GREEK, greek > 0 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(page, IDC_OPT_GREEK_EDIT, greek > 0 ? greek : 6, TRUE);
    EnableWindow(GetDlgItem(page, IDC_OPT_GREEK_EDIT), greek > 0);
}

void apply_view_page(HWND page)
{
    int layout = list_selection(page, IDC_OPT_LAYOUT);
    settings_write("PageLayout", layout < 0 ? 0 : layout);
    settings_write("DefaultZoom", options_zoom_value(list_selection(page, IDC_OPT_ZOOM)));
    int subst = list_selection(page, IDC_OPT_SUBST), units = list_selection(page, IDC_OPT_UNITS);
    settings_write("SubstFonts", subst < 0 ? 0 : subst);
    settings_write("PageUnits", units < 0 ? 0 : units);
    store_checks(page, VIEW_CHECKS);
    int greek = 0;
    if (IsDlgButtonChecked(page, IDC_OPT_GREEK) == BST_CHECKED) {
        char text[16];
        item_text(page, IDC_OPT_GREEK_EDIT, text, sizeof text);
        greek = settings_number_clamped(text, 6, 0, 1000);
    }
    settings_write("GreekPx", greek);
    // Everything at once: renderer switches, view defaults and the open
    // Document's layout.
    if (FrameState *fs = frame_state()) {
        settings_apply_view(fs->view);
        view_set_layout(fs->view, settings_get("PageLayout"));
        frame_refresh_status(*fs);
    }
}

void load_general_page(HWND page)
{
    load_checks(page, GENERAL_CHECKS);
    SetDlgItemInt(page, IDC_OPT_JPEG, settings_get("JpegQuality"), TRUE);
    // Greyed until the associations dialog does something.
    EnableWindow(GetDlgItem(page, IDC_OPT_ASSOCIATIONS), feature_available(CMD_ASSOCIATIONS));
}

void apply_general_page(HWND page)
{
    store_checks(page, GENERAL_CHECKS);
    char text[16];
    item_text(page, IDC_OPT_JPEG, text, sizeof text);
    settings_write("JpegQuality", settings_number_clamped(text, 90, 1, 100));
}

void load_fullscreen_page(HWND page)
{
    load_checks(page, FULLSCREEN_CHECKS);
    char text[16];
    std::snprintf(text, sizeof text, "%d", settings_get("FsAdvSec"));
    SetDlgItemTextA(page, IDC_OPT_FS_SECONDS, text);
    EnableWindow(GetDlgItem(page, IDC_OPT_FS_SECONDS), IsDlgButtonChecked(page, IDC_OPT_FS_ADVANCE) == BST_CHECKED);
    fill_list(page, IDC_OPT_FS_BG, IDS_BG_BLACK, 3, settings_get("FsBgColor"));
    fill_list(page, IDC_OPT_FS_CURSOR, IDS_CURSOR_VISIBLE, 3, settings_get("FsCursor"));
}

void apply_fullscreen_page(HWND page)
{
    store_checks(page, FULLSCREEN_CHECKS);
    char text[16];
    item_text(page, IDC_OPT_FS_SECONDS, text, sizeof text);
    settings_write("FsAdvSec", settings_fs_seconds(text));
    int bg = list_selection(page, IDC_OPT_FS_BG), cursor = list_selection(page, IDC_OPT_FS_CURSOR);
    settings_write("FsBgColor", bg < 0 ? 0 : bg);
    settings_write("FsCursor", cursor < 0 ? 1 : cursor);
}

struct PageKind {
    void (*load)(HWND);
    void (*apply)(HWND);
    const DWORD *help;
};
constexpr PageKind PAGES[3] = {
    {load_view_page, apply_view_page, HELP_VIEW},
    {load_general_page, apply_general_page, HELP_GENERAL},
    {load_fullscreen_page, apply_fullscreen_page, HELP_FULLSCREEN},
};

const PageKind *page_kind(HWND page)
{
    return reinterpret_cast<const PageKind *>(GetWindowLongPtrA(page, DWLP_USER));
}

void page_help(HWND page, const PageKind *kind, HWND control, UINT command)
{
    if (!kind || is_nt6_or_later())
        return;
    char file[MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(nullptr, file, MAX_PATH);
    while (n > 0 && file[n - 1] != '\\')
        n--;
    std::snprintf(file + n, sizeof file - n, "pagrix.hlp");
    WinHelpA(control, file, command, reinterpret_cast<ULONG_PTR>(kind->help));
}

// Set while a page fills its controls: the edit notifications that filling
// causes are not changes by the user and must not enable "Apply".
bool g_loading_page;

void page_command(HWND page, int control, int code)
{
    if (g_loading_page)
        return;
    if (control == IDC_OPT_GREEK)
        EnableWindow(GetDlgItem(page, IDC_OPT_GREEK_EDIT), IsDlgButtonChecked(page, IDC_OPT_GREEK) == BST_CHECKED);
    else if (control == IDC_OPT_FS_ADVANCE)
        EnableWindow(GetDlgItem(page, IDC_OPT_FS_SECONDS), IsDlgButtonChecked(page, IDC_OPT_FS_ADVANCE) == BST_CHECKED);
    else if (control == IDC_OPT_ASSOCIATIONS)
        associations_dialog(GetParent(page));
    if (control != IDC_OPT_ASSOCIATIONS && (code == BN_CLICKED || code == EN_CHANGE || code == CBN_SELCHANGE))
        SendMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

INT_PTR CALLBACK page_proc(HWND page, UINT msg, WPARAM wp, LPARAM lp)
{
    const PageKind *kind = page_kind(page);
    switch (msg) {
    case WM_INITDIALOG: {
        auto *psp = reinterpret_cast<PROPSHEETPAGEA *>(lp);
        kind = reinterpret_cast<const PageKind *>(psp->lParam);
        SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(kind));
        g_loading_page = true;
        kind->load(page);
        g_loading_page = false;
        return TRUE;
    }
    case WM_COMMAND:
        if (kind)
            page_command(page, LOWORD(wp), HIWORD(wp));
        return TRUE;
    case WM_NOTIFY:
        if (kind && reinterpret_cast<NMHDR *>(lp)->code == PSN_APPLY) {
            kind->apply(page);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        }
        return FALSE;
    case WM_HELP:
        page_help(page, kind, static_cast<HWND>(reinterpret_cast<HELPINFO *>(lp)->hItemHandle), HELP_WM_HELP);
        return TRUE;
    case WM_CONTEXTMENU:
        page_help(page, kind, reinterpret_cast<HWND>(wp), HELP_CONTEXTMENU);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

HWND options_show(FrameState &fs, bool modeless)
{
    PROPSHEETPAGEA pages[3] = {};
    const int ids[3] = {IDD_OPT_VIEW, IDD_OPT_GENERAL, IDD_OPT_FULLSCREEN};
    for (int i = 0; i < 3; i++) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].dwFlags = PSP_DEFAULT;
        pages[i].hInstance = fs.instance;
        pages[i].pszTemplate = MAKEINTRESOURCEA(ids[i]);
        pages[i].pfnDlgProc = page_proc;
        pages[i].lParam = reinterpret_cast<LPARAM>(&PAGES[i]);
    }
    char caption[64];
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOCONTEXTHELP | (modeless ? PSH_MODELESS : 0);
    header.hwndParent = fs.frame;
    header.hInstance = fs.instance;
    header.pszCaption = frame_string(IDS_OPTIONS, caption, sizeof caption);
    header.nPages = 3;
    header.ppsp = pages;
    INT_PTR rc = PropertySheetA(&header);
    return modeless ? reinterpret_cast<HWND>(rc) : nullptr;
}
