// The print dialog: printer, page range, pages per sheet, orientation,
// quality, margins, copies and print to file, with a live preview of the
// sheets drawn by the same layout rules as the printout. Preview pages are
// rendered one per timer tick into a small cache; a page that fails to
// render is remembered and left empty instead of being tried on every tick.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "render/page.h"
#include "shell/features.h"
#include "shell/frame.h"
#include "shell/logic/sheet_layout.h"
#include "shell/print.h"
#include "shell/resource.h"
#include "shell/view.h"

namespace {

constexpr UINT_PTR PREVIEW_TIMER = 1;
constexpr UINT PREVIEW_TICK_MS = 40;
constexpr int PREVIEW_CACHE = 16;
constexpr int QUALITY_DPI[4] = {600, 300, 150, 75};

int g_preview_renders;

struct PreviewEntry {
    int page;
    PageBitmap *bitmap;
};

struct PrintDialogState {
    HWND frame;
    Document *doc;
    int current;    // zero-based page the dialog was opened on
    int pageCount;
    int sheet;      // zero-based preview sheet
    PreviewEntry cache[PREVIEW_CACHE];  // most recently used first
    int cacheCount;
    std::vector<bool> failed;           // pages whose preview render failed
};

// The dialog's choices as print settings (the held ones are changed only
// when the user prints).
PrintSettings read_controls(HWND dlg)
{
    PrintSettings s = print_settings();
    s.rangeKind = IsDlgButtonChecked(dlg, IDC_PRINT_CURRENT) ? 1 : IsDlgButtonChecked(dlg, IDC_PRINT_RANGE) ? 2 : 0;
    s.rangeFrom = std::max(int(GetDlgItemInt(dlg, IDC_PRINT_FROM, nullptr, FALSE)), 1);
    s.rangeTo = std::max(int(GetDlgItemInt(dlg, IDC_PRINT_TO, nullptr, FALSE)), 1);
    s.pagesPerSheetIndex = std::max(int(SendDlgItemMessageA(dlg, IDC_PRINT_PER_SHEET, CB_GETCURSEL, 0, 0)), 0);
    s.orientationIndex = std::max(int(SendDlgItemMessageA(dlg, IDC_PRINT_ORIENTATION, CB_GETCURSEL, 0, 0)), 0);
    s.marginIndex = std::max(int(SendDlgItemMessageA(dlg, IDC_PRINT_MARGINS, CB_GETCURSEL, 0, 0)), 0);
    const int quality = int(SendDlgItemMessageA(dlg, IDC_PRINT_QUALITY, CB_GETCURSEL, 0, 0));
    s.dpi = quality >= 0 && quality < 4 ? QUALITY_DPI[quality] : 300;
    s.fitToPage = IsDlgButtonChecked(dlg, IDC_PRINT_FIT) == BST_CHECKED;
    s.centerOnPage = IsDlgButtonChecked(dlg, IDC_PRINT_CENTER) == BST_CHECKED;
    s.grayscale = IsDlgButtonChecked(dlg, IDC_PRINT_GRAY) == BST_CHECKED;
    s.printToFile = IsDlgButtonChecked(dlg, IDC_PRINT_TO_FILE) == BST_CHECKED;
    BOOL ok = FALSE;
    s.copies = print_copies(int(GetDlgItemInt(dlg, IDC_PRINT_COPIES, &ok, FALSE)));
    return s;
}

struct SheetPlan {
    PrintRange range;
    int perSheet, sheets;
    bool landscape;
};

SheetPlan plan_for(const PrintDialogState &st, const PrintSettings &s)
{
    SheetPlan p;
    p.range = print_range(s.rangeKind, st.current, s.rangeFrom, s.rangeTo, st.pageCount);
    p.perSheet = sheet_pages_per_sheet(s.pagesPerSheetIndex);
    p.sheets = sheet_count(p.range.count, p.perSheet);
    int w = 0, h = 0;
    doc_page_pixel_size(st.doc, st.current >= 0 && st.current < st.pageCount ? st.current : 0, 1.0f, &w, &h);
    p.landscape = sheet_is_landscape(s.orientationIndex, w, h);
    return p;
}

void fill_combo(HWND dlg, int id, const UINT *strings, int n, int selected)
{
    SendDlgItemMessageA(dlg, id, CB_RESETCONTENT, 0, 0);
    char text[64];
    for (int i = 0; i < n; i++)
        SendDlgItemMessageA(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(frame_string(strings[i], text, sizeof text)));
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, WPARAM(selected), 0);
}

// Quality choices; the printer's own resolution is preselected when it is
// one of them, else 300 dpi.
void fill_quality(HWND dlg)
{
    int own = 0;
    const PrintSettings &s = print_settings();
    if (auto *mode = static_cast<DEVMODEA *>(s.devMode ? GlobalLock(s.devMode) : nullptr)) {
        own = mode->dmPrintQuality > 0 ? mode->dmPrintQuality : mode->dmYResolution;
        GlobalUnlock(s.devMode);
    }
    SendDlgItemMessageA(dlg, IDC_PRINT_QUALITY, CB_RESETCONTENT, 0, 0);
    int selected = 1;
    for (int i = 0; i < 4; i++) {
        char text[32];
        std::snprintf(text, sizeof text, "%d dpi", QUALITY_DPI[i]);
        SendDlgItemMessageA(dlg, IDC_PRINT_QUALITY, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (QUALITY_DPI[i] == own)
            selected = i;
    }
    SendDlgItemMessageA(dlg, IDC_PRINT_QUALITY, CB_SETCURSEL, WPARAM(selected), 0);
}

void show_printer_name(HWND dlg)
{
    char name[128] = "";
    const PrintSettings &s = print_settings();
    if (auto *names = static_cast<DEVNAMES *>(s.devNames ? GlobalLock(s.devNames) : nullptr)) {
        std::snprintf(name, sizeof name, "%s", reinterpret_cast<const char *>(names) + names->wDeviceOffset);
        GlobalUnlock(s.devNames);
    }
    if (!name[0])
        frame_string(IDS_DEFAULT_PRINTER, name, sizeof name);
    SetDlgItemTextA(dlg, IDC_PRINT_PRINTER, name);
}

// ---- Preview ----

void free_cache(PrintDialogState &st)
{
    for (int i = 0; i < st.cacheCount; i++)
        bitmap_free(st.cache[i].bitmap);
    st.cacheCount = 0;
}

const PageBitmap *cached(const PrintDialogState &st, int page)
{
    for (int i = 0; i < st.cacheCount; i++)
        if (st.cache[i].page == page)
            return st.cache[i].bitmap;
    return nullptr;
}

void cache_insert(PrintDialogState &st, int page, PageBitmap *bitmap)
{
    if (st.cacheCount == PREVIEW_CACHE)
        bitmap_free(st.cache[--st.cacheCount].bitmap);
    std::memmove(st.cache + 1, st.cache, sizeof st.cache[0] * size_t(st.cacheCount));
    st.cache[0] = {page, bitmap};
    st.cacheCount++;
}

void refresh_label(HWND dlg, const PrintDialogState &st, const SheetPlan &p)
{
    char format[64], text[96];
    frame_string(p.perSheet > 1 ? IDS_PRINT_SHEET_OF : IDS_PRINT_PAGE_OF, format, sizeof format);
    std::snprintf(text, sizeof text, format, st.sheet + 1, std::max(p.sheets, 1));
    SetDlgItemTextA(dlg, IDC_PRINT_SHEET_LABEL, text);
}

// After any change: keep the sheet in range, relabel, repaint, render.
void preview_changed(HWND dlg, PrintDialogState &st)
{
    const SheetPlan p = plan_for(st, read_controls(dlg));
    st.sheet = std::max(std::min(st.sheet, p.sheets - 1), 0);
    refresh_label(dlg, st, p);
    InvalidateRect(GetDlgItem(dlg, IDC_PRINT_PREVIEW), nullptr, FALSE);
    SetTimer(dlg, PREVIEW_TIMER, PREVIEW_TICK_MS, nullptr);
}

// One tick: the next page of the shown sheet that is neither cached nor
// known to fail is rendered; the timer stops when none is left.
void preview_tick(HWND dlg, PrintDialogState &st)
{
    const SheetPlan p = plan_for(st, read_controls(dlg));
    for (int slot = 0; slot < p.perSheet; slot++) {
        const int index = st.sheet * p.perSheet + slot;
        if (index >= p.range.count)
            break;
        const int page = p.range.first + index;
        if (cached(st, page) || st.failed[size_t(page)])
            continue;
        float w = 0, h = 0;
        int rotation = 0;
        PageBitmap *bitmap = nullptr;
        g_preview_renders++;
        if (doc_page_size(st.doc, page, &w, &h, &rotation) == 0 && std::max(w, h) > 0) {
            const float scale = std::min(std::max(160.0f / std::max(w, h), 0.02f), 1.0f);
            set_greek_threshold(7.0f);
            if (doc_render_page(st.doc, page, scale, 0, 0, &bitmap) != 0) {
                bitmap_free(bitmap);
                bitmap = nullptr;
            }
            set_greek_threshold(0.0f);
        }
        if (bitmap)
            cache_insert(st, page, bitmap);
        else
            st.failed[size_t(page)] = true;
        InvalidateRect(GetDlgItem(dlg, IDC_PRINT_PREVIEW), nullptr, FALSE);
        return;
    }
    KillTimer(dlg, PREVIEW_TIMER);
}

void draw_placeholder(HDC dc, const RECT &r, int number, int box_h)
{
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    // A folded top-right corner.
    const int fold = std::max(int(std::min(r.right - r.left, r.bottom - r.top)) / 5, 2);
    MoveToEx(dc, r.right - 1 - fold, r.top, nullptr);
    LineTo(dc, r.right - 1 - fold, r.top + fold);
    LineTo(dc, r.right - 1, r.top + fold);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    HFONT font = CreateFontA(-std::max(box_h / 3, 8), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    HGDIOBJ old_font = SelectObject(dc, font);
    char text[16];
    std::snprintf(text, sizeof text, "%d", number);
    RECT tr = r;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextA(dc, text, -1, &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old_font);
    DeleteObject(font);
}

void draw_sheet(HDC dc, int cw, int ch, const PrintDialogState &st, const PrintSettings &s, const SheetPlan &p)
{
    RECT all = {0, 0, cw, ch};
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    const double aspect = p.landscape ? 11.0 / 8.5 : 8.5 / 11.0;  // width / height
    const int avail_w = std::max(cw - 8, 1), avail_h = std::max(ch - 8, 1);
    int sw = avail_w, sh = int(avail_w / aspect);
    if (sh > avail_h) {
        sh = avail_h;
        sw = int(avail_h * aspect);
    }
    const int sx = (cw - sw) / 2, sy = (ch - sh) / 2;
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    HGDIOBJ old_pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, sx, sy, sx + sw, sy + sh);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    const int preview_dpi = std::max(int((p.landscape ? sh : sw) / 8.5), 1);
    for (int slot = 0; slot < p.perSheet; slot++) {
        const int index = st.sheet * p.perSheet + slot;
        if (index >= p.range.count)
            break;
        const int page = p.range.first + index;
        SheetRect box = sheet_slot_box(sw, sh, s.marginIndex, p.perSheet, p.landscape, slot, 12);
        box.x += sx;
        box.y += sy;
        int pw = 0, ph = 0;
        if (doc_page_pixel_size(st.doc, page, 1.0f, &pw, &ph) != 0 || pw <= 0 || ph <= 0)
            pw = 85, ph = 110;
        const SheetRect at = sheet_place_page(box, pw, ph, s.fitToPage, s.centerOnPage, p.perSheet, preview_dpi);
        const RECT r = {at.x, at.y, at.x + at.w, at.y + at.h};
        if (const PageBitmap *b = cached(st, page))
            bitmap_draw(dc, b, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, b->width, b->height,
                        HALFTONE);
        else if (!st.failed[size_t(page)])
            draw_placeholder(dc, r, page + 1, box.h);
        // A page whose preview failed leaves its cell empty.
    }
}

void on_draw_preview(HWND dlg, PrintDialogState &st, const DRAWITEMSTRUCT *di)
{
    const int cw = di->rcItem.right - di->rcItem.left, ch = di->rcItem.bottom - di->rcItem.top;
    if (cw <= 0 || ch <= 0)
        return;
    HDC mem = CreateCompatibleDC(di->hDC);
    HBITMAP bmp = CreateCompatibleBitmap(di->hDC, cw, ch);
    if (!mem || !bmp) {
        if (bmp)
            DeleteObject(bmp);
        if (mem)
            DeleteDC(mem);
        return;
    }
    HGDIOBJ old = SelectObject(mem, bmp);
    const PrintSettings s = read_controls(dlg);
    draw_sheet(mem, cw, ch, st, s, plan_for(st, s));
    BitBlt(di->hDC, di->rcItem.left, di->rcItem.top, cw, ch, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
}

// ---- Print file ----

// A temporary file for a wide print file: in "<temp>Vellumix" (made when
// missing), or in the temporary directory itself when that path would be
// too long or cannot be made.
bool make_temp_output(char *out)
{
    char temp[MAX_PATH], dir[MAX_PATH + 16];
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH)
        return false;
    std::snprintf(dir, sizeof dir, "%sVellumix", temp);
    if (std::strlen(dir) >= 240 || (!CreateDirectoryA(dir, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS))
        std::snprintf(dir, sizeof dir, "%s", temp);
    return GetTempFileNameA(dir, "pxp", 0, out) != 0;
}

// Asks for the print file; false when the user cancelled.
bool choose_output(HWND dlg)
{
    PrintSettings &s = print_settings();
    s.outputPath[0] = 0;
    s.outputPathW[0] = 0;
    FrameState *fs = frame_state();
    if (fs && fs->isNT && fs->wide.GetSaveFileNameW) {
        wchar_t file[MAX_PATH] = L"";
        OPENFILENAMEW ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = dlg;
        ofn.lpstrFilter = L"Printer File (*.prn)\0*.prn\0All Files (*.*)\0*.*\0";
        ofn.lpstrFile = file;
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrDefExt = L"prn";
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
        if (!fs->wide.GetSaveFileNameW(&ofn))
            return false;
        if (!make_temp_output(s.outputPath))
            return false;
        std::memcpy(s.outputPathW, file, sizeof file);
        return true;
    }
    char filter[128], a[48], b[48];
    frame_string(IDS_PRN_FILTER, a, sizeof a);
    frame_string(IDS_ALL_FILES_FILTER, b, sizeof b);
    const int n = std::snprintf(filter, sizeof filter, "%s%c*.prn%c%s%c*.*%c", a, 0, 0, b, 0, 0);
    if (n < 0 || n >= int(sizeof filter) - 1)
        return false;
    filter[n] = filter[n + 1] = 0;
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dlg;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = s.outputPath;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = "prn";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    return GetSaveFileNameA(&ofn) != 0;
}

// ---- The dialog ----

void on_init(HWND dlg, PrintDialogState &st)
{
    const PrintSettings &s = print_settings();
    window_center_on_owner(dlg, st.frame);
    show_printer_name(dlg);
    CheckRadioButton(dlg, IDC_PRINT_ALL, IDC_PRINT_RANGE, IDC_PRINT_ALL + std::min(std::max(s.rangeKind, 0), 2));
    SetDlgItemInt(dlg, IDC_PRINT_FROM, 1, FALSE);
    SetDlgItemInt(dlg, IDC_PRINT_TO, UINT(st.pageCount), FALSE);
    static const UINT per[] = {IDS_PER_SHEET_1, IDS_PER_SHEET_2, IDS_PER_SHEET_4, IDS_PER_SHEET_6, IDS_PER_SHEET_9};
    static const UINT orient[] = {IDS_ORIENT_AUTO, IDS_ORIENT_PORTRAIT, IDS_ORIENT_LANDSCAPE};
    static const UINT margins[] = {IDS_MARGIN_NORMAL, IDS_MARGIN_NARROW, IDS_MARGIN_WIDE, IDS_MARGIN_NONE};
    fill_combo(dlg, IDC_PRINT_PER_SHEET, per, 5, s.pagesPerSheetIndex);
    fill_combo(dlg, IDC_PRINT_ORIENTATION, orient, 3, s.orientationIndex);
    fill_combo(dlg, IDC_PRINT_MARGINS, margins, 4, s.marginIndex);
    fill_quality(dlg);
    CheckDlgButton(dlg, IDC_PRINT_FIT, s.fitToPage ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dlg, IDC_PRINT_CENTER, s.centerOnPage ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dlg, IDC_PRINT_GRAY, s.grayscale ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dlg, IDC_PRINT_TO_FILE, s.printToFile ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(dlg, IDC_PRINT_COPIES_SPIN, UDM_SETRANGE32, 1, PRINT_MAX_COPIES);
    SendDlgItemMessageA(dlg, IDC_PRINT_COPIES_SPIN, UDM_SETPOS32, 0, print_copies(s.copies));
    SetDlgItemInt(dlg, IDC_PRINT_COPIES, UINT(print_copies(s.copies)), FALSE);
    st.sheet = 0;
    preview_changed(dlg, st);
}

void on_printer_setup(HWND dlg, PrintDialogState &st)
{
    PrintSettings &s = print_settings();
    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = dlg;
    pd.hDevMode = s.devMode;
    pd.hDevNames = s.devNames;
    pd.Flags = PD_PRINTSETUP;
    if (!PrintDlgA(&pd))
        return;
    s.devMode = pd.hDevMode;
    s.devNames = pd.hDevNames;
    show_printer_name(dlg);
    fill_quality(dlg);
    preview_changed(dlg, st);
}

void on_accept(HWND dlg)
{
    const PrintSettings chosen = read_controls(dlg);
    PrintSettings &s = print_settings();
    const HGLOBAL mode = s.devMode, names = s.devNames;
    char path[MAX_PATH];
    wchar_t wide[MAX_PATH];
    std::memcpy(path, s.outputPath, sizeof path);
    std::memcpy(wide, s.outputPathW, sizeof wide);
    s = chosen;
    s.devMode = mode;
    s.devNames = names;
    std::memcpy(s.outputPath, path, sizeof path);
    std::memcpy(s.outputPathW, wide, sizeof wide);
    if (s.printToFile && !choose_output(dlg))
        return;  // the dialog stays open
    EndDialog(dlg, IDOK);
}

void on_command(HWND dlg, PrintDialogState &st, int id, int code)
{
    switch (id) {
    case IDOK: on_accept(dlg); return;
    case IDCANCEL: EndDialog(dlg, IDCANCEL); return;
    case IDC_PRINT_SETUP: on_printer_setup(dlg, st); return;
    case IDC_PRINT_PREV_SHEET:
    case IDC_PRINT_NEXT_SHEET: {
        const SheetPlan p = plan_for(st, read_controls(dlg));
        st.sheet = std::max(std::min(st.sheet + (id == IDC_PRINT_NEXT_SHEET ? 1 : -1), p.sheets - 1), 0);
        preview_changed(dlg, st);
        return;
    }
    case IDC_PRINT_PER_SHEET:
        if (code == CBN_SELCHANGE) {
            st.sheet = 0;
            preview_changed(dlg, st);
        }
        return;
    case IDC_PRINT_ORIENTATION:
    case IDC_PRINT_MARGINS:
        if (code == CBN_SELCHANGE)
            preview_changed(dlg, st);
        return;
    case IDC_PRINT_FROM:
    case IDC_PRINT_TO:
        if (code == EN_CHANGE)
            preview_changed(dlg, st);
        return;
    case IDC_PRINT_ALL:
    case IDC_PRINT_CURRENT:
    case IDC_PRINT_RANGE:
    case IDC_PRINT_FIT:
    case IDC_PRINT_CENTER:
    case IDC_PRINT_GRAY:
        if (code == BN_CLICKED)
            preview_changed(dlg, st);
        return;
    }
}

INT_PTR CALLBACK print_dialog_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp)
{
    auto *st = reinterpret_cast<PrintDialogState *>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dlg, DWLP_USER, lp);
        on_init(dlg, *reinterpret_cast<PrintDialogState *>(lp));
        return TRUE;
    case WM_COMMAND:
        if (st)
            on_command(dlg, *st, LOWORD(wp), HIWORD(wp));
        return TRUE;
    case WM_TIMER:
        if (st && wp == PREVIEW_TIMER)
            preview_tick(dlg, *st);
        return TRUE;
    case WM_DRAWITEM:
        if (st && wp == IDC_PRINT_PREVIEW) {
            on_draw_preview(dlg, *st, reinterpret_cast<const DRAWITEMSTRUCT *>(lp));
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        KillTimer(dlg, PREVIEW_TIMER);
        return FALSE;
    }
    return FALSE;
}

}  // namespace

int print_preview_renders() { return g_preview_renders; }

bool print_dialog_run(HWND frame, Document *doc, int current)
{
    if (!doc || doc_page_count(doc) <= 0)
        return false;
    PrintDialogState st = {};
    st.frame = frame;
    st.doc = doc;
    st.pageCount = doc_page_count(doc);
    st.current = current;
    st.failed.assign(size_t(st.pageCount), false);
    const INT_PTR answer = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PRINT), frame,
                                           print_dialog_proc, reinterpret_cast<LPARAM>(&st));
    free_cache(st);
    if (answer != IDOK)
        return false;
    return print_run_job(frame, doc, current);
}

void print_dialog(HWND frame)
{
    FrameState *fs = frame_state(frame);
    if (!fs)
        return;
    print_dialog_run(frame, view_document(fs->view), view_page(fs->view) - 1);
}

bool print_silent(HWND frame)
{
    FrameState *fs = frame_state(frame);
    Document *doc = fs ? view_document(fs->view) : nullptr;
    if (!doc || doc_page_count(doc) <= 0)
        return false;
    PrintSettings &s = print_settings();
    s.rangeKind = 0;
    s.pagesPerSheetIndex = 0;
    s.fitToPage = true;
    s.centerOnPage = true;
    s.printToFile = false;
    return print_run_job(frame, doc, 0);
}
