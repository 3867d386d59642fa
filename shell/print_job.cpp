// The print job: the printer's device context from the held (or default)
// printer, the abort dialog, and the sheets of the job, each page rendered by
// the Document layer at the printer's resolution in bands of at most 2 MiB
// and handed to the driver as 24-bit images. Print files are checked after
// the job: a device that refused a write, or a file that did not come out,
// is reported instead of passing for a finished print.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bitmap/bitmap.h"
#include "document/document.h"
#include "shell/frame.h"
#include "shell/logic/sheet_layout.h"
#include "shell/print.h"
#include "shell/resource.h"

namespace {

PrintSettings g_settings = {0, 0, 0, 1, 1, 1, true, true, false, false, 300, 0, nullptr, nullptr, "", L""};
PrintStats g_stats;
HWND g_abort_dialog;
bool g_cancelled;

INT_PTR CALLBACK abort_dialog_proc(HWND dialog, UINT msg, WPARAM wp, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        window_center_on_owner(dialog, GetParent(dialog));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL)
            g_cancelled = true;
        return TRUE;
    case WM_CLOSE:
        g_cancelled = true;
        return TRUE;
    }
    return FALSE;
}

// Dispatches what is pending, the abort dialog's messages through the
// dialog manager; a quit request is put back for the main loop.
void pump_pending()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(int(msg.wParam));
            break;
        }
        if (g_abort_dialog && IsDialogMessageA(g_abort_dialog, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

BOOL CALLBACK abort_proc(HDC, int)
{
    pump_pending();
    return !g_cancelled;
}

// The default printer's blocks, asked of the system print dialog without
// showing it, when no printer is held yet.
bool ensure_printer(HWND owner)
{
    if (g_settings.devNames)
        return true;
    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.Flags = PD_RETURNDEFAULT;
    if (!PrintDlgA(&pd))
        return false;
    g_settings.devMode = pd.hDevMode;
    g_settings.devNames = pd.hDevNames;
    return pd.hDevNames != nullptr;
}

HDC create_from_blocks(bool landscape)
{
    auto *names = static_cast<DEVNAMES *>(GlobalLock(g_settings.devNames));
    if (!names)
        return nullptr;
    const char *base = reinterpret_cast<const char *>(names);
    DEVMODEA *mode = nullptr;
    if (auto *held = static_cast<DEVMODEA *>(g_settings.devMode ? GlobalLock(g_settings.devMode) : nullptr)) {
        const size_t size = size_t(held->dmSize) + held->dmDriverExtra;
        mode = static_cast<DEVMODEA *>(std::malloc(std::max(size, sizeof(DEVMODEA))));
        if (mode) {
            std::memset(mode, 0, std::max(size, sizeof(DEVMODEA)));
            std::memcpy(mode, held, size);
            mode->dmColor = g_settings.grayscale ? DMCOLOR_MONOCHROME : DMCOLOR_COLOR;
            mode->dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
            mode->dmPrintQuality = short(g_settings.dpi);
            mode->dmYResolution = short(g_settings.dpi);
            mode->dmFields |= DM_COLOR | DM_ORIENTATION | DM_PRINTQUALITY | DM_YRESOLUTION;
        }
        GlobalUnlock(g_settings.devMode);
    }
    HDC dc = CreateDCA(base + names->wDriverOffset, base + names->wDeviceOffset, nullptr, mode);
    GlobalUnlock(g_settings.devNames);
    std::free(mode);
    return dc;
}

// The printer's device context; when the held printer cannot make one, the
// system print dialog is asked for one. Null (after telling the user) when
// there is no printer at all.
HDC create_printer_dc(HWND owner, bool landscape)
{
    HDC dc = nullptr;
    if (ensure_printer(owner)) {
        dc = create_from_blocks(landscape);
        if (!dc) {
            PRINTDLGA pd = {};
            pd.lStructSize = sizeof pd;
            pd.hwndOwner = owner;
            pd.hDevMode = g_settings.devMode;
            pd.hDevNames = g_settings.devNames;
            pd.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION;
            if (PrintDlgA(&pd)) {
                dc = pd.hDC;
                g_settings.devMode = pd.hDevMode;
                g_settings.devNames = pd.hDevNames;
            }
        }
    }
    if (!dc) {
        char text[128], caption[64];
        frame_message_box(owner, frame_string(IDS_NO_PRINTER, text, sizeof text),
                          frame_string(IDS_APP_NAME, caption, sizeof caption), MB_OK | MB_ICONWARNING);
    }
    return dc;
}

// PAGRIX_PRINT_FILE when set to 1..259 characters, else the chosen print
// file, else null (the printer itself).
const char *output_file(char *env, DWORD size)
{
    const DWORD n = GetEnvironmentVariableA("PAGRIX_PRINT_FILE", env, size);
    if (n >= 1 && n <= 259)
        return env;
    if (g_settings.printToFile && g_settings.outputPath[0])
        return g_settings.outputPath;
    return nullptr;
}

bool file_has_bytes(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    return data.nFileSizeLow != 0 || data.nFileSizeHigh != 0;
}

void tell(HWND owner, UINT id, const char *arg)
{
    char format[256], text[MAX_PATH + 256], caption[64];
    std::snprintf(text, sizeof text, frame_string(id, format, sizeof format), arg ? arg : "");
    frame_message_box(owner, text, frame_string(IDS_APP_NAME, caption, sizeof caption), MB_OK | MB_ICONWARNING);
}

void device_failed()
{
    // A refusal caused by the user's cancel is not a failure of the device.
    if (!g_cancelled)
        g_stats.failed = true;
}

// Renders one page into its box in bands and sends them to the device.
void print_page(HDC dc, Document *doc, int page, const SheetRect &box, int per_sheet, int device_dpi)
{
    int pw = 0, ph = 0;
    if (doc_page_pixel_size(doc, page, 1.0f, &pw, &ph) != 0)
        return;
    const SheetRect place = sheet_place_page(box, pw, ph, g_settings.fitToPage, g_settings.centerOnPage,
                                             per_sheet, device_dpi);
    if (place.w <= 0 || ph <= 0)
        return;
    const float scale = std::max(float(place.h) / float(ph), 0.01f);
    int w = 0, h = 0;
    if (doc_page_pixel_size(doc, page, scale, &w, &h) != 0 || w <= 0 || h <= 0)
        return;
    if (g_stats.pagesPlaced++ == 0)
        g_stats.firstPage = {place.x, place.y, place.x + w, place.y + h};
    const int rows = print_band_rows(w, h);
    SetStretchBltMode(dc, COLORONCOLOR);
    for (int y = 0; y < h && !g_cancelled; y += rows) {
        PageBitmap *band = nullptr;
        if (doc_render_page(doc, page, scale, y, std::min(rows, h - y), &band) != 0 || !band) {
            bitmap_free(band);
            continue;  // a band that fails to render leaves its rows blank
        }
        if (g_settings.grayscale)
            for (int r = 0; r < band->height; r++) {
                uint8_t *p = band->pixels + size_t(r) * size_t(band->stride);
                for (int x = 0; x < band->width; x++, p += 3)
                    p[0] = p[1] = p[2] = uint8_t(print_gray(p[2], p[1], p[0]));
            }
        BITMAPINFO bmi = dib24_info(band);
        const int done = StretchDIBits(dc, place.x, place.y + y, band->width, band->height, 0, 0, band->width,
                                       band->height, band->pixels, &bmi, DIB_RGB_COLORS, SRCCOPY);
        if (done == 0 || done == int(GDI_ERROR))
            device_failed();
        bitmap_free(band);
        g_stats.bands++;
        pump_pending();  // a cancel takes effect after the band in hand
    }
}

void set_abort_text(int sheet, int sheets)
{
    char format[128], text[160];
    std::snprintf(text, sizeof text, frame_string(IDS_PRINT_SHEET_PROGRESS, format, sizeof format), sheet, sheets);
    SetDlgItemTextA(g_abort_dialog, IDC_PRINT_ABORT_TEXT, text);
}

// The sheets of every copy between StartDoc and EndDoc.
void print_sheets(HDC dc, Document *doc, const PrintRange &range)
{
    const int width = GetDeviceCaps(dc, HORZRES), height = GetDeviceCaps(dc, VERTRES);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    if (dpi <= 0)
        dpi = 300;
    g_stats.deviceW = width;
    g_stats.deviceH = height;
    g_stats.deviceDpi = dpi;
    g_stats.offsetX = GetDeviceCaps(dc, PHYSICALOFFSETX);
    g_stats.offsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
    const bool landscape = width > height;
    const int per = sheet_pages_per_sheet(g_settings.pagesPerSheetIndex);
    const int sheets = sheet_count(range.count, per);
    const int copies = print_copies(g_settings.copies);
    for (int copy = 0; copy < copies && !g_cancelled; copy++)
        for (int sheet = 0; sheet < sheets && !g_cancelled; sheet++) {
            set_abort_text(sheet + 1, sheets);
            if (StartPage(dc) <= 0) {
                device_failed();
                g_cancelled = true;
                break;
            }
            g_stats.sheets++;
            for (int slot = 0; slot < per && !g_cancelled; slot++) {
                const int index = sheet * per + slot;
                if (index >= range.count)
                    break;
                const SheetRect box = sheet_slot_box(width, height, g_settings.marginIndex, per, landscape, slot, 20);
                print_page(dc, doc, range.first + index, box, per, dpi);
                pump_pending();
            }
            if (g_cancelled)
                break;
            if (EndPage(dc) <= 0) {
                device_failed();
                g_cancelled = true;
            }
        }
}

// A wide print file is written to a temporary ANSI file first; after the
// job it is moved to its target, or deleted when the job did not finish.
// False when the move failed.
bool finish_wide_output(bool keep)
{
    FrameState *fs = frame_state();
    bool moved = true;
    if (keep && fs && fs->wide.MoveFileW) {
        wchar_t temp[MAX_PATH];
        if (fs->wide.DeleteFileW)
            fs->wide.DeleteFileW(g_settings.outputPathW);
        moved = MultiByteToWideChar(CP_ACP, 0, g_settings.outputPath, -1, temp, MAX_PATH) > 0 &&
                fs->wide.MoveFileW(temp, g_settings.outputPathW);
    }
    if (!keep)
        DeleteFileA(g_settings.outputPath);  // a failed move leaves the output where it was written
    return moved;
}

}  // namespace

PrintSettings &print_settings() { return g_settings; }
PrintStats print_last_stats() { return g_stats; }

bool print_run_job(HWND frame, Document *doc, int current)
{
    g_stats = {};
    if (!doc)
        return false;
    const int count = doc_page_count(doc);
    int ref_w = 0, ref_h = 0;
    doc_page_pixel_size(doc, current >= 0 && current < count ? current : 0, 1.0f, &ref_w, &ref_h);
    const bool landscape = sheet_is_landscape(g_settings.orientationIndex, ref_w, ref_h);
    HDC dc = create_printer_dc(frame, landscape);
    if (!dc)
        return false;
    const PrintRange range = print_range(g_settings.rangeKind, current, g_settings.rangeFrom, g_settings.rangeTo, count);

    g_cancelled = false;
    g_abort_dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PRINT_ABORT), frame,
                                        abort_dialog_proc, 0);
    EnableWindow(frame, FALSE);
    SetAbortProc(dc, abort_proc);

    char name[64], env[MAX_PATH + 8];
    const char *output = output_file(env, sizeof env);
    DOCINFOA info = {};
    info.cbSize = sizeof info;
    info.lpszDocName = frame_string(IDS_PRINT_DOC_NAME, name, sizeof name);
    info.lpszOutput = output;
    SetLastError(0);
    const bool started = StartDocA(dc, &info) > 0;
    const DWORD start_error = GetLastError();
    g_stats.started = started;
    if (started) {
        print_sheets(dc, doc, range);
        if (g_cancelled)
            AbortDoc(dc);
        else if (EndDoc(dc) <= 0)
            g_stats.failed = true;
    }
    g_stats.cancelled = g_cancelled && !g_stats.failed;
    DeleteDC(dc);

    bool written = started && !g_stats.failed;
    // A job without sheets (an empty range) may leave an empty file behind.
    if (written && !g_stats.cancelled && g_stats.sheets > 0 && output && !file_has_bytes(output))
        written = false;
    char target[MAX_PATH * 2] = "";
    if (g_settings.outputPathW[0]) {
        WideCharToMultiByte(CP_ACP, 0, g_settings.outputPathW, -1, target, sizeof target, nullptr, nullptr);
        const bool keep = started && !g_stats.cancelled && output == g_settings.outputPath;
        if (!finish_wide_output(keep) && keep)
            written = false;
        g_settings.outputPathW[0] = 0;
    }

    EnableWindow(frame, TRUE);
    DestroyWindow(g_abort_dialog);
    g_abort_dialog = nullptr;
    SetForegroundWindow(frame);

    if (!started && !g_cancelled && start_error != ERROR_CANCELLED)
        tell(frame, IDS_PRINT_START_FAILED, nullptr);
    else if (started && !written)
        tell(frame, IDS_PRINT_WRITE_FAILED, target[0] ? target : output ? output : "");
    return started;
}
