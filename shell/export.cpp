// Export of the current page as PNG, BMP or JPEG, the page and the selected
// text on the clipboard, select all, and the snapshot's clipboard block with
// its preview window.
//
// An export never leaves a half-written image behind and never loses the
// file it replaces: the image goes into a temporary file beside the target,
// every write and the close are checked, and only a complete file replaces
// the target, in one step. On any failure the temporary file is deleted and
// the user is told.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "shell/features.h"
#include "shell/frame.h"
#include "shell/logic/tools_logic.h"
#include "shell/print.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/tools.h"
#include "shell/view.h"

namespace {

constexpr int kPathChars = 260;

HWND frame_view(HWND frame)
{
    FrameState *fs = frame_state(frame);
    return fs ? fs->view : nullptr;
}

// ---- Rendering the whole page at the export resolution ----

PageBitmap *render_export_page(Document *doc, int page)
{
    const float scale = export_scale([&](float s, int *w, int *h) {
        return doc_page_pixel_size(doc, page, s, w, h) == 0;
    });
    int w = 0, h = 0;
    if (doc_page_pixel_size(doc, page, scale, &w, &h) != 0 || h <= 0)
        return nullptr;
    PageBitmap *bm = nullptr;
    doc_render_page(doc, page, scale, 0, h, &bm);
    return bm;
}

// ---- The file dialog ----

struct ExportTarget {
    bool wide;           // the name is in `pathW` (NT), else in `pathA`
    wchar_t pathW[kPathChars + 8];
    char pathA[kPathChars + 8];
    ExportFormat format;
};

bool choose_target(FrameState &fs, ExportTarget &t)
{
    std::memset(&t, 0, sizeof t);
    if (fs.isNT && fs.wide.GetSaveFileNameW) {
        OPENFILENAMEW ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = fs.frame;
        ofn.lpstrFilter = L"PNG Image (*.png)\0*.png\0BMP Image (*.bmp)\0*.bmp\0JPEG Image (*.jpg)\0*.jpg\0";
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = t.pathW;
        ofn.nMaxFile = kPathChars;
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
        if (!fs.wide.GetSaveFileNameW(&ofn))
            return false;
        std::wstring name = t.pathW;
        t.format = export_format_for(name, int(ofn.nFilterIndex));
        if (name.size() >= sizeof t.pathW / sizeof t.pathW[0])
            return false;
        std::memcpy(t.pathW, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        t.wide = true;
        return true;
    }
    char filter[256], a[64], b[64], c[64];
    frame_string(IDS_EXPORT_FILTER_PNG, a, sizeof a);
    frame_string(IDS_EXPORT_FILTER_BMP, b, sizeof b);
    frame_string(IDS_EXPORT_FILTER_JPEG, c, sizeof c);
    const int n = std::snprintf(filter, sizeof filter, "%s%c*.png%c%s%c*.bmp%c%s%c*.jpg%c", a, 0, 0, b, 0, 0, c,
                                0, 0);
    if (n < 0 || n >= int(sizeof filter) - 1)
        return false;
    filter[n] = filter[n + 1] = 0;
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = fs.frame;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = t.pathA;
    ofn.nMaxFile = kPathChars;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameA(&ofn))
        return false;
    // The extension rule reads the name as characters; an appended
    // extension is plain ASCII and goes onto the ANSI name alike.
    wchar_t wide[kPathChars + 8];
    if (!MultiByteToWideChar(CP_ACP, 0, t.pathA, -1, wide, kPathChars + 8))
        return false;
    std::wstring name = wide;
    const size_t before = name.size();
    t.format = export_format_for(name, int(ofn.nFilterIndex));
    for (size_t i = before; i < name.size(); i++) {
        const size_t len = std::strlen(t.pathA);
        if (len + 1 >= sizeof t.pathA)
            return false;
        t.pathA[len] = char(name[i]);
        t.pathA[len + 1] = 0;
    }
    return true;
}

// ---- Writing ----

ImageFormat image_format(ExportFormat f)
{
    return f == EXPORT_BMP ? IMAGE_BMP : f == EXPORT_JPEG ? IMAGE_JPEG : IMAGE_PNG;
}

// Writes the raster into an open file, which the writer closes; true when
// every byte reached the file.
bool write_image(FILE *file, const PageBitmap *bm, ExportFormat format)
{
    const int quality = settings_get("JpegQuality");
    ImageWriter *w = image_writer_open_file(file, image_format(format), bm->width, bm->height, quality);
    if (!w)
        return false;
    const int rc = image_writer_write(w, bm);
    return image_writer_close(w) == 0 && rc == 0;
}

template <class Char>
size_t folder_length(const Char *path)
{
    size_t cut = 0;
    for (size_t i = 0; path[i]; i++)
        if (path[i] == '\\' || path[i] == '/')
            cut = i + 1;
    return cut;
}

using MoveFileExWFn = BOOL(WINAPI *)(LPCWSTR, LPCWSTR, DWORD);
using MoveFileExAFn = BOOL(WINAPI *)(LPCSTR, LPCSTR, DWORD);

template <class Fn>
Fn kernel_entry(const char *name)
{
    HMODULE k = GetModuleHandleA("kernel32.dll");
    return k ? reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(k, name))) : nullptr;
}

bool save_wide(const wchar_t *target, const PageBitmap *bm, ExportFormat format)
{
    const auto move_ex = kernel_entry<MoveFileExWFn>("MoveFileExW");
    const size_t cut = folder_length(target);
    const std::wstring folder = cut ? std::wstring(target, cut) : std::wstring(L".");
    wchar_t temp[MAX_PATH + 16];
    if (!move_ex || !GetTempFileNameW(folder.c_str(), L"pxw", 0, temp))
        return false;
    bool ok = write_image(_wfopen(temp, L"wb"), bm, format);
    if (ok && !move_ex(temp, target, MOVEFILE_REPLACE_EXISTING))
        ok = false;
    if (!ok)
        DeleteFileW(temp);
    return ok;
}

bool save_ansi(const char *target, const PageBitmap *bm, ExportFormat format)
{
    const size_t cut = folder_length(target);
    const std::string folder = cut ? std::string(target, cut) : std::string(".");
    char temp[MAX_PATH + 16];
    if (!GetTempFileNameA(folder.c_str(), "pxw", 0, temp))
        return false;
    bool ok = write_image(std::fopen(temp, "wb"), bm, format);
    if (ok) {
        // Windows 95 and 98 lack MoveFileEx: there the old file has to go first.
        const auto move_ex = kernel_entry<MoveFileExAFn>("MoveFileExA");
        if (move_ex && move_ex(temp, target, MOVEFILE_REPLACE_EXISTING))
            ok = true;
        else if (move_ex && GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            ok = false;
        else
            ok = (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES || DeleteFileA(target)) &&
                 MoveFileA(temp, target);
    }
    if (!ok)
        DeleteFileA(temp);
    return ok;
}

// ---- Clipboard ----

HGLOBAL global_copy(const void *data, size_t size)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!h)
        return nullptr;
    void *p = GlobalLock(h);
    if (!p) {
        GlobalFree(h);
        return nullptr;
    }
    std::memcpy(p, data, size);
    GlobalUnlock(h);
    return h;
}

// ---- Snapshot preview ----

constexpr char kPreviewClass[] = "PxSnapPrev";
constexpr UINT_PTR kPreviewTimer = 1;
constexpr UINT kPreviewMs = 3000;

HWND g_preview;
std::vector<unsigned char> g_preview_pixels;  // top-down rows of 4-byte-aligned stride
int g_preview_w, g_preview_h;

void paint_preview(HWND wnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    RECT rc;
    GetClientRect(wnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    if (!g_preview_pixels.empty() && rc.right > 4 && rc.bottom > 4) {
        BITMAPINFO bmi = {};
        bmi.bmiHeader = dib_header(g_preview_w, g_preview_h, 24);
        SetStretchBltMode(dc, HALFTONE);
        StretchDIBits(dc, 2, 2, rc.right - 4, rc.bottom - 4, 0, 0, g_preview_w, g_preview_h,
                      g_preview_pixels.data(), &bmi, DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(wnd, &ps);
}

LRESULT CALLBACK preview_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_PAINT: paint_preview(wnd); return 0;
    case WM_TIMER:
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        DestroyWindow(wnd);
        return 0;
    case WM_DESTROY:
        KillTimer(wnd, kPreviewTimer);
        if (g_preview == wnd) {
            g_preview = nullptr;
            std::vector<unsigned char>().swap(g_preview_pixels);
        }
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

bool preview_class(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, kPreviewClass, &wc))
        return true;
    wc.lpfnWndProc = preview_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // arrow
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPreviewClass;
    return RegisterClassA(&wc) != 0;
}

// Unicode and code page 1252 text on the clipboard.
void copy_text(HWND frame, const std::string &text)
{
    if (text.empty())
        return;
    // Unicode for every program that takes it; code page 1252 (Western,
    // the interface's) for those that read only CF_TEXT, with the locale
    // that says so.
    const int wn = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (wn <= 0)
        return;
    std::vector<wchar_t> wide(size_t(wn), 0);
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), wn);
    const int an = WideCharToMultiByte(1252, 0, wide.data(), -1, nullptr, 0, "?", nullptr);
    std::vector<char> ansi(size_t(an > 0 ? an : 1), 0);
    if (an > 0)
        WideCharToMultiByte(1252, 0, wide.data(), -1, ansi.data(), an, "?", nullptr);
    const LCID german = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
    HGLOBAL blocks[3] = {global_copy(wide.data(), wide.size() * sizeof(wchar_t)),
                         global_copy(ansi.data(), ansi.size()), global_copy(&german, sizeof german)};
    const UINT formats[3] = {CF_UNICODETEXT, CF_TEXT, CF_LOCALE};
    bool open = blocks[0] && blocks[1] && OpenClipboard(frame);
    if (open) {
        EmptyClipboard();
        for (int i = 0; i < 3; i++)
            if (blocks[i] && SetClipboardData(formats[i], blocks[i]))
                blocks[i] = nullptr;  // the clipboard owns it now
        CloseClipboard();
    }
    for (HGLOBAL h : blocks)
        if (h)
            GlobalFree(h);
}

}  // namespace

// ---- Entry points of the commands ----

void export_page(HWND frame)
{
    FrameState *fs = frame_state(frame);
    HWND view = frame_view(frame);
    Document *doc = view_document(view);
    if (!fs || !doc)
        return;
    ExportTarget target;
    if (!choose_target(*fs, target))
        return;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // wait
    PageBitmap *bm = render_export_page(doc, view_page(view) - 1);
    bool ok = false;
    if (bm)
        ok = target.wide ? save_wide(target.pathW, bm, target.format) : save_ansi(target.pathA, bm, target.format);
    bitmap_free(bm);
    SetCursor(old);
    if (!ok) {
        char text[256], caption[64];
        frame_message_box(frame, frame_string(IDS_EXPORT_FAILED, text, sizeof text),
                          frame_string(IDS_EXPORT_CAPTION, caption, sizeof caption), MB_OK | MB_ICONWARNING);
    }
}

void copy_page_image(HWND frame)
{
    HWND view = frame_view(frame);
    Document *doc = view_document(view);
    if (!doc)
        return;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));
    PageBitmap *bm = render_export_page(doc, view_page(view) - 1);
    SetCursor(old);
    if (!bm)
        return;
    HGLOBAL dib = dib_from_rows(bm->pixels, bm->stride, bm->width, bm->height, true);
    bitmap_free(bm);
    if (dib)
        clipboard_put_dib(frame, dib);
}

void copy_selected_text(HWND frame)
{
    try {
        copy_text(frame, view_selection_text(frame_view(frame)));
    } catch (const std::bad_alloc &) {
        // Nothing is copied when memory is short.
    }
}

void select_all_text(HWND frame) { view_select_all(frame_view(frame)); }

// ---- Shared with the view's tools ----

HGLOBAL dib_from_rows(const unsigned char *pixels, int stride, int width, int height, bool with_image_size)
{
    if (!pixels || width <= 0 || height <= 0)
        return nullptr;
    const size_t row = (size_t(width) * 3 + 3) & ~size_t(3);
    const size_t size = sizeof(BITMAPINFOHEADER) + row * size_t(height);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!h)
        return nullptr;
    auto *p = static_cast<unsigned char *>(GlobalLock(h));
    if (!p) {
        GlobalFree(h);
        return nullptr;
    }
    BITMAPINFOHEADER bih = dib_header(width, height, 24);
    bih.biHeight = height;  // the clipboard's rows go bottom-up
    bih.biSizeImage = with_image_size ? DWORD(row * size_t(height)) : 0;
    std::memcpy(p, &bih, sizeof bih);
    unsigned char *rows = p + sizeof bih;
    for (int y = 0; y < height; y++)  // bottom-up
        std::memcpy(rows + size_t(height - 1 - y) * row, pixels + size_t(y) * size_t(stride), size_t(width) * 3);
    GlobalUnlock(h);
    return h;
}

bool clipboard_put_dib(HWND owner, HGLOBAL dib)
{
    if (!dib)
        return false;
    if (!OpenClipboard(owner)) {
        GlobalFree(dib);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_DIB, dib) != nullptr;
    CloseClipboard();
    if (!placed)
        GlobalFree(dib);
    return placed;
}

void snapshot_preview_show(HWND view, const unsigned char *pixels, int stride, int width, int height)
{
    if (g_preview)
        DestroyWindow(g_preview);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!pixels || width <= 0 || height <= 0 || !preview_class(instance))
        return;
    const size_t row = (size_t(width) * 3 + 3) & ~size_t(3);
    try {
        g_preview_pixels.assign(row * size_t(height), 0);
    } catch (...) {
        return;
    }
    for (int y = 0; y < height; y++)
        std::memcpy(g_preview_pixels.data() + size_t(y) * row, pixels + size_t(y) * size_t(stride),
                    size_t(width) * 3);
    g_preview_w = width;
    g_preview_h = height;
    const PreviewSize ps = snapshot_preview_size(width, height);
    const DWORD style = WS_POPUP | WS_CAPTION, ex = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    RECT rc = {0, 0, ps.clientW, ps.clientH};
    AdjustWindowRectEx(&rc, style, FALSE, ex);
    RECT over;
    GetWindowRect(view, &over);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    const int x = (over.left + over.right - w) / 2, y = (over.top + over.bottom - h) / 2;
    char title[128];
    frame_string(IDS_SNAPSHOT_TITLE, title, sizeof title);
    g_preview = CreateWindowExA(ex, kPreviewClass, title, style, x, y, w, h, GetParent(view), nullptr, instance,
                                nullptr);
    if (!g_preview) {
        std::vector<unsigned char>().swap(g_preview_pixels);
        return;
    }
    SetTimer(g_preview, kPreviewTimer, kPreviewMs, nullptr);
    ShowWindow(g_preview, SW_SHOW);
    UpdateWindow(g_preview);
}
