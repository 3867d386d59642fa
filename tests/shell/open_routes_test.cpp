// The other ways into the open routine and what follows an open: drag and
// drop, a wide file name through the document layer's file-open hook, the
// toolbar's page and zoom fields, thumbnail picks and help.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"
#include "shell_test_support.h"
#include "test_support.h"

using namespace shelltest;

namespace {

// An HDROP as the shell builds it: DROPFILES and a double-terminated list.
HDROP make_drop(const std::wstring &file)
{
    size_t bytes = sizeof(DROPFILES) + (file.size() + 2) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GHND, bytes);
    auto *df = static_cast<DROPFILES *>(GlobalLock(mem));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    std::memcpy(reinterpret_cast<char *>(df) + sizeof(DROPFILES), file.c_str(), file.size() * sizeof(wchar_t));
    GlobalUnlock(mem);
    return static_cast<HDROP>(mem);
}

std::wstring widen(const std::string &s)
{
    wchar_t buf[300];
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, buf, 300);
    return n > 0 ? buf : L"";
}

void press_enter(HWND control)
{
    SendMessageA(control, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(control, WM_CHAR, '\r', 0);
}

}  // namespace

TEST(OpenRoutes, DroppedFileIsOpened)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    std::string good = scratch_file("dropped.pdf", a4_pdf());
    SendMessageA(f.hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop(widen(good))), 0);
    pump();
    EXPECT_EQ(window_text(f.hwnd), good + " - Vellumix");
    EXPECT_TRUE(boxes().empty());
    SendMessageA(f.hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop(L"C:\\nirgends\\weg.pdf")), 0);
    pump();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_STREQ(fs.openPathA, "C:\\nirgends\\weg.pdf");
    EXPECT_EQ(window_text(f.hwnd), good + " - Vellumix");  // the previous Document stays
    clear_settings();
}

TEST(OpenRoutes, WideNameGoesThroughTheHook)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    if (!fs.isNT || !fs.wide.CreateFileW)
        GTEST_SKIP() << "not the NT family";
    // A Greek name has no ANSI form in Windows-1252: only the wide path finds it.
    std::string ansi_dir = scratch_file("x", "");
    ansi_dir.resize(ansi_dir.size() - 1);
    std::wstring wide = widen(ansi_dir);
    wide.append(L"\u03b1\u03b2\u03b3.pdf");
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::string pdf = a4_pdf(3);
    DWORD written = 0;
    WriteFile(h, pdf.data(), DWORD(pdf.size()), &written, nullptr);
    CloseHandle(h);
    char ansi[300];
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    EXPECT_NE(frame_open_path(fs, ansi, nullptr), 0);  // the ANSI name alone fails
    boxes().clear();
    ASSERT_EQ(frame_open_path(fs, ansi, wide.c_str()), 0);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(view_page_count(fs.view), 3);
    // The recent entry keeps the wide name, stored as UTF-8.
    char utf8[300];
    ASSERT_TRUE(settings_read_string("Recent", "FileW1", utf8, sizeof utf8));
    EXPECT_NE(std::string(utf8).find("\xCE\xB1\xCE\xB2\xCE\xB3.pdf"), std::string::npos);
    view_close(fs.view);
    f.command(CMD_RECENT_FIRST);  // re-opened through the stored wide path
    EXPECT_EQ(view_page_count(fs.view), 3);
    DeleteFileW(wide.c_str());
    clear_settings();
}

TEST(OpenRoutes, PageEditZoomComboAndThumbnailPick)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    std::string doc = scratch_file("five.pdf", a4_pdf(5));
    ASSERT_EQ(frame_open_path(fs, doc.c_str(), nullptr), 0);
    EXPECT_EQ(status_text(fs.status, 0), "Seite 1 / 5");
    EXPECT_TRUE(IsWindowEnabled(fs.pageEdit));
    EXPECT_TRUE(SendMessageA(fs.toolbar, TB_ISBUTTONENABLED, CMD_NEXT_PAGE, 0));
    EXPECT_FALSE(SendMessageA(fs.toolbar, TB_ISBUTTONENABLED, CMD_PANEL_BOOKMARKS_PAGE, 0));

    SetWindowTextA(fs.pageEdit, "4");
    press_enter(fs.pageEdit);
    EXPECT_EQ(status_text(fs.status, 0), "Seite 4 / 5");
    EXPECT_EQ(window_text(fs.pageEdit), "4");
    f.command(CMD_NEXT_PAGE);
    f.command(CMD_NEXT_PAGE);  // stays on the last page
    EXPECT_EQ(status_text(fs.status, 0), "Seite 5 / 5");
    f.command(CMD_FIRST_PAGE);
    EXPECT_EQ(status_text(fs.status, 0), "Seite 1 / 5");

    HWND zoom_edit = GetWindow(fs.zoomCombo, GW_CHILD);
    ASSERT_TRUE(zoom_edit);
    struct Row {
        const char *typed;
        const char *shown;  // status part 2 afterwards
    } rows[] = {
        // 250 % of a page is held at 240 % by the view's memory limit.
        {"250", "240%"}, {"5", "240%"}, {"2000", "240%"}, {"original", "100%"}, {"75 %", "75%"},
    };
    for (const Row &r : rows) {
        SetWindowTextA(zoom_edit, r.typed);
        press_enter(zoom_edit);
        EXPECT_EQ(status_text(fs.status, 2), r.shown) << r.typed;
    }
    SendMessageA(fs.zoomCombo, CB_SETCURSEL, 5, 0);  // "200%"
    SendMessageA(f.hwnd, WM_COMMAND, MAKEWPARAM(IDC_ZOOM_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(fs.zoomCombo));
    EXPECT_EQ(status_text(fs.status, 2), "200%");
    EXPECT_EQ(window_text(fs.zoomCombo), "200%");

    f.command(CMD_PANEL_THUMBS);
    EXPECT_FALSE(IsWindowVisible(fs.view));
    SendMessageA(f.hwnd, WM_APP + 3, 2, 0);  // the third thumbnail
    EXPECT_EQ(status_text(fs.status, 0), "Seite 3 / 5");
    EXPECT_EQ(fs.panelMode, PANEL_THUMBS_AND_PAGE);
    EXPECT_TRUE(IsWindowVisible(fs.view));
    EXPECT_TRUE(SendMessageA(fs.toolbar, TB_ISBUTTONCHECKED, CMD_PANEL_THUMBS_PAGE, 0));
    clear_settings();
}

TEST(OpenRoutes, HelpWithoutWinHelp)
{
    clear_settings();
    Frame f;
    DWORD v = GetVersion();
    if ((v & 0x80000000u) || LOBYTE(LOWORD(v)) < 6)
        GTEST_SKIP() << "WinHelp is present on this version";
    f.command(CMD_HELP);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text.rfind("Die Hilfe erfordert WinHelp", 0), 0u);
    EXPECT_EQ(boxes()[0].caption, "Vellumix");
    EXPECT_TRUE(boxes()[0].flags & MB_ICONINFORMATION);
}
