// Helpers of the Windows shell tests.
#include "shell_test_support.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "shell/panels.h"
#include "shell/settings.h"
#include "shell/view.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace shelltest {

namespace {

void delete_tree(HKEY parent, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char sub[256];
    for (;;) {
        DWORD n = sizeof sub;
        if (RegEnumKeyExA(key, 0, sub, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        delete_tree(key, sub);
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name);
}

int record_box(HWND, const char *text, const char *caption, UINT flags)
{
    boxes().push_back({text, caption, flags});
    return IDOK;
}

}  // namespace

void clear_settings() { delete_tree(HKEY_CURRENT_USER, SETTINGS_KEY); }

bool settings_key_exists()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void write_raw(const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
}

void pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message != WM_QUIT) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
}

std::vector<Box> &boxes()
{
    static std::vector<Box> list;
    return list;
}

HWND wait_for_dialog(int ms)
{
    for (int waited = 0;; waited += 10) {
        HWND box = FindWindowA("#32770", nullptr);
        if (box && IsWindowVisible(box))
            return box;
        if (waited >= ms)
            return nullptr;
        Sleep(10);
    }
}

Frame::Frame(int show)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    static bool registered = false;
    if (!registered) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        registered = frame_register_class(instance) && view_register_class(instance) &&
                     thumbs_register_class(instance);
    }
    frame_set_message_box(record_box);
    boxes().clear();
    hwnd = frame_create(instance, show, true);
    pump();
}

Frame::~Frame()
{
    if (hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
    pump();
}

void Frame::command(int id) const
{
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    pump();
}

std::string window_text(HWND hwnd)
{
    char buf[512] = "";
    GetWindowTextA(hwnd, buf, sizeof buf);
    return buf;
}

std::string status_text(HWND status, int part)
{
    char buf[512] = "";
    LRESULT len = SendMessageA(status, SB_GETTEXTLENGTHA, part, 0);
    if (LOWORD(len) < sizeof buf)
        SendMessageA(status, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(buf));
    return buf;
}

std::string menu_text(HMENU menu, UINT id)
{
    char buf[256] = "";
    if (!GetMenuStringA(menu, id, buf, sizeof buf, MF_BYCOMMAND))
        return "";
    return buf;
}

bool menu_enabled(HMENU menu, UINT id)
{
    UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
    return state != UINT(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

bool menu_checked(HMENU menu, UINT id)
{
    UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
    return state != UINT(-1) && (state & MF_CHECKED);
}

std::string scratch_file(const std::string &name, const std::string &bytes)
{
    std::string path = testsupport::scratch_path(name);
    testsupport::write_file(path, bytes);
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string a4_pdf(int pages) { return testsupport::simple_pdf(pages, "[0 0 595 842]"); }

namespace {

uint32_t le32(const std::string &b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

}  // namespace

Capture read_bmp24(const std::string &path)
{
    Capture im;
    const std::string b = testsupport::read_file(path);
    if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || (le32(b, 28) & 0xFFFF) != 24 || le32(b, 30) != 0)
        return im;
    const size_t off = le32(b, 10);
    const int w = int(le32(b, 18)), h = int(int32_t(le32(b, 22)));
    const int rows = h < 0 ? -h : h;
    const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
    if (w <= 0 || rows <= 0 || off + stride * size_t(rows) > b.size())
        return im;
    im.w = w;
    im.h = rows;
    im.px.resize(size_t(w) * size_t(rows));
    for (int y = 0; y < rows; y++) {
        const size_t row = off + stride * size_t(h < 0 ? y : rows - 1 - y);
        for (int x = 0; x < w; x++) {
            const uint8_t *p = reinterpret_cast<const uint8_t *>(b.data()) + row + size_t(x) * 3;
            im.px[size_t(y) * size_t(w) + size_t(x)] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    }
    return im;
}

long process_finish(PROCESS_INFORMATION &pi, DWORD timeout_ms)
{
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(pi.hProcess, timeout_ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return long(code);
}

BITMAPINFO dib32_info(int width, int height)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

Capture capture(HWND window)
{
    Capture c;
    RECT rc;
    GetClientRect(window, &rc);
    c.w = rc.right;
    c.h = rc.bottom;
    BITMAPINFO bmi = dib32_info(c.w, c.h);
    void *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const uint32_t *p = static_cast<const uint32_t *>(bits);
    c.px.assign(p, p + size_t(c.w) * size_t(c.h));
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return c;
}

namespace {

struct Windows {
    std::vector<HWND> dialogs;
};
BOOL CALLBACK collect(HWND hwnd, LPARAM lp)
{
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) == "#32770" && IsWindowVisible(hwnd))
        reinterpret_cast<Windows *>(lp)->dialogs.push_back(hwnd);
    return TRUE;
}

// The file name box: edt1, or the edit inside cmb13 (a combo box, itself
// maybe inside a ComboBoxEx).
BOOL CALLBACK find_name_edit(HWND child, LPARAM lp)
{
    char cls[16] = "";
    GetClassNameA(child, cls, sizeof cls);
    if (GetDlgCtrlID(child) == 0x47C && std::string(cls) == "Edit") {
        *reinterpret_cast<HWND *>(lp) = child;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND dialog_with(int control)
{
    Windows w;
    EnumThreadWindows(GetCurrentThreadId(), collect, reinterpret_cast<LPARAM>(&w));
    for (HWND d : w.dialogs)
        if (GetDlgItem(d, control))
            return d;
    return nullptr;
}

bool file_dialog_accept(const std::wstring &name)
{
    Windows w;
    EnumThreadWindows(GetCurrentThreadId(), collect, reinterpret_cast<LPARAM>(&w));
    for (HWND d : w.dialogs) {
        HWND edit = GetDlgItem(d, 0x480);
        if (!edit || !IsWindowVisible(edit)) {
            edit = nullptr;
            EnumChildWindows(d, find_name_edit, reinterpret_cast<LPARAM>(&edit));
        }
        if (!edit)
            continue;
        SetWindowTextW(edit, name.c_str());
        PostMessageA(d, WM_COMMAND, IDOK, 0);
        return true;
    }
    return false;
}

namespace {

template <class Char>
std::basic_string<Char> clipboard_text(UINT format)
{
    std::basic_string<Char> s;
    if (!OpenClipboard(nullptr))
        return s;
    if (HANDLE h = GetClipboardData(format))
        if (const auto *p = static_cast<const Char *>(GlobalLock(h))) {
            s = p;
            GlobalUnlock(h);
        }
    CloseClipboard();
    return s;
}

}  // namespace

std::wstring clipboard_unicode() { return clipboard_text<wchar_t>(CF_UNICODETEXT); }
std::string clipboard_ansi() { return clipboard_text<char>(CF_TEXT); }

void send_key(WORD vk, bool up)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = WORD(MapVirtualKeyA(vk, 0));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

void send_click(HWND wnd, int x, int y)
{
    POINT pt = {x, y};
    ClientToScreen(wnd, &pt);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT &i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = LONG((pt.x * 65536LL + sw / 2) / sw);
        i.mi.dy = LONG((pt.y * 65536LL + sh / 2) / sh);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, in, sizeof(INPUT));
}

}  // namespace shelltest
