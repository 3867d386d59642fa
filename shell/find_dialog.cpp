// The modeless find dialog: find first with match case, find all with its
// result list, a double-click to go to a result; F3 / Shift+F3 and the
// history steps of the frame's commands. On the NT family the dialog is a
// Unicode window, so that the search text and the excerpts keep letters
// outside the ANSI code page; elsewhere the excerpts are converted to it.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shell/features.h"
#include "shell/frame.h"
#include "shell/resource.h"
#include "shell/search.h"
#include "shell/view.h"

namespace {

constexpr int FIND_ANSI_CONTEXT = 95;  // bytes of an excerpt in the ANSI code page

HWND g_find;                             // the dialog, null while it is closed
std::vector<FindResult> g_results;       // the list's lines, in list order

bool unicode_ui()
{
    const FrameState *fs = frame_state();
    return fs && fs->isNT;
}

HWND frame_view()
{
    const FrameState *fs = frame_state();
    return fs ? fs->view : nullptr;
}

void refresh_frame()
{
    if (FrameState *fs = frame_state())
        frame_refresh_status(*fs);
}

std::wstring widen(const char *text, UINT code_page)
{
    const int n = MultiByteToWideChar(code_page, 0, text, -1, nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 1), L'\0');
    if (n > 0)
        MultiByteToWideChar(code_page, 0, text, -1, w.data(), n);
    w.resize(std::wcslen(w.c_str()));
    return w;
}

std::string narrow(const std::wstring &text, UINT code_page)
{
    const int n = WideCharToMultiByte(code_page, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n > 0 ? n : 1), '\0');
    if (n > 0)
        WideCharToMultiByte(code_page, 0, text.c_str(), -1, s.data(), n, nullptr, nullptr);
    s.resize(std::strlen(s.c_str()));
    return s;
}

// A string of the string table as UTF-8.
std::string string_utf8(UINT id)
{
    wchar_t buf[256] = L"";
    if (unicode_ui() && LoadStringW(GetModuleHandleA(nullptr), id, buf, 256) > 0)
        return narrow(buf, CP_UTF8);
    char a[256] = "";
    LoadStringA(GetModuleHandleA(nullptr), id, a, sizeof a);
    return narrow(widen(a, CP_ACP), CP_UTF8);
}

// The search text as UTF-8 (the edit holds at most 127 characters).
std::string dialog_text(HWND dlg)
{
    if (unicode_ui()) {
        wchar_t w[FIND_TEXT_MAX_CHARS + 1] = L"";
        GetDlgItemTextW(dlg, IDC_FIND_TEXT, w, FIND_TEXT_MAX_CHARS + 1);
        return narrow(w, CP_UTF8);
    }
    char a[FIND_TEXT_MAX_CHARS + 1] = "";
    GetDlgItemTextA(dlg, IDC_FIND_TEXT, a, sizeof a);
    return narrow(widen(a, CP_ACP), CP_UTF8);
}

void set_status(HWND dlg, const std::string &utf8)
{
    if (unicode_ui())
        SetDlgItemTextW(dlg, IDC_FIND_STATUS, widen(utf8.c_str(), CP_UTF8).c_str());
    else
        SetDlgItemTextA(dlg, IDC_FIND_STATUS, narrow(widen(utf8.c_str(), CP_UTF8), CP_ACP).c_str());
}

std::string formatted(UINT id, int number, const char *text = nullptr)
{
    const std::string format = string_utf8(id);
    char line[512];
    if (text)
        std::snprintf(line, sizeof line, format.c_str(), number, text);
    else
        std::snprintf(line, sizeof line, format.c_str(), number);
    return line;
}

void add_line(HWND list, const FindResult &r)
{
    if (unicode_ui()) {
        const std::string line = formatted(IDS_FIND_LINE, r.page + 1, r.context);
        SendMessageW(list, LB_ADDSTRING, 0, LPARAM(widen(line.c_str(), CP_UTF8).c_str()));
        return;
    }
    std::string context = narrow(widen(r.context, CP_UTF8), CP_ACP);
    if (context.size() > size_t(FIND_ANSI_CONTEXT))
        context.resize(FIND_ANSI_CONTEXT);
    char format[64] = "", line[192];
    frame_string(IDS_FIND_LINE, format, sizeof format);
    std::snprintf(line, sizeof line, format, r.page + 1, context.c_str());
    SendMessageA(list, LB_ADDSTRING, 0, LPARAM(line));
}

void fill_list(HWND dlg)
{
    HWND list = GetDlgItem(dlg, IDC_FIND_LIST);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (const FindResult &r : g_results)
        add_line(list, r);
}

void on_find(HWND dlg)
{
    view_set_match_case(frame_view(), IsDlgButtonChecked(dlg, IDC_FIND_CASE) == BST_CHECKED);
    const std::string text = dialog_text(dlg);
    if (text.empty())
        return;
    const bool found = view_find_first(frame_view(), text.c_str(), +1);
    set_status(dlg, found ? std::string() : string_utf8(IDS_NOT_FOUND));
    refresh_frame();
}

void on_find_all(HWND dlg)
{
    g_results.clear();
    fill_list(dlg);
    view_set_match_case(frame_view(), IsDlgButtonChecked(dlg, IDC_FIND_CASE) == BST_CHECKED);
    const std::string text = dialog_text(dlg);
    int n = 0;
    if (!text.empty()) {
        g_results.resize(FIND_MAX_RESULTS);
        n = view_find_all(frame_view(), text.c_str(), g_results.data(), FIND_MAX_RESULTS);
        g_results.resize(size_t(n));
    }
    fill_list(dlg);
    set_status(dlg, n > 0 ? formatted(IDS_FIND_COUNT, n) : string_utf8(IDS_NOT_FOUND));
}

void on_result_chosen(HWND dlg)
{
    const LRESULT sel = SendDlgItemMessageA(dlg, IDC_FIND_LIST, LB_GETCURSEL, 0, 0);
    if (sel < 0 || size_t(sel) >= g_results.size())
        return;
    const FindResult &r = g_results[size_t(sel)];
    view_show_hit(frame_view(), r.page, r.index);
    refresh_frame();
}

// Top right of the owner's client area, where it covers least of the page.
void place(HWND dlg, HWND owner)
{
    RECT client, box;
    GetClientRect(owner, &client);
    GetWindowRect(dlg, &box);
    POINT corner = {client.right, client.top};
    ClientToScreen(owner, &corner);
    const int w = box.right - box.left;
    SetWindowPos(dlg, nullptr, corner.x - w - 24, corner.y + 48, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK find_proc(HWND dlg, UINT msg, WPARAM wp, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG: {
        SendDlgItemMessageA(dlg, IDC_FIND_TEXT, EM_LIMITTEXT, FIND_TEXT_MAX_CHARS, 0);
        fill_list(dlg);
        place(dlg, GetWindow(dlg, GW_OWNER));
        SetFocus(GetDlgItem(dlg, IDC_FIND_TEXT));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK: on_find(dlg); return TRUE;
        case IDC_FIND_ALL: on_find_all(dlg); return TRUE;
        case IDCANCEL: DestroyWindow(dlg); return TRUE;
        case IDC_FIND_LIST:
            if (HIWORD(wp) == LBN_DBLCLK)
                on_result_chosen(dlg);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        DestroyWindow(dlg);
        return TRUE;
    case WM_DESTROY:
        if (g_find == dlg)
            g_find = nullptr;
        break;
    }
    return FALSE;
}

}  // namespace

void find_dialog_show(HWND frame)
{
    if (!g_find) {
        HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(frame, GWLP_HINSTANCE));
        g_find = unicode_ui() ? CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_FIND), frame, find_proc, 0)
                              : CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_FIND), frame, find_proc, 0);
        if (!g_find)
            return;
        ShowWindow(g_find, SW_SHOW);
    }
    SetActiveWindow(g_find);
    HWND edit = GetDlgItem(g_find, IDC_FIND_TEXT);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
}

HWND find_dialog_window() { return g_find; }

void find_next(HWND frame, int direction)
{
    const FrameState *fs = frame_state(frame);
    if (!fs)
        return;
    const int found = view_find_next(fs->view, direction);
    if (found >= 0 && g_find)
        set_status(g_find, found ? std::string() : string_utf8(IDS_NOT_FOUND));
}

void history_step(HWND frame, int direction)
{
    if (const FrameState *fs = frame_state(frame))
        view_history_step(fs->view, direction);
}

void find_results_clear()
{
    g_results.clear();
    if (g_find)
        SendDlgItemMessageA(g_find, IDC_FIND_LIST, LB_RESETCONTENT, 0, 0);
}
