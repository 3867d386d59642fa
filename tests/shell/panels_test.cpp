// The panels and full screen in a real frame: thumbnails against the
// command-line renderer's --thumbnail pixels, a click on a thumbnail, a page
// that cannot render, a 2,000-page Document that stays responsive, the
// bookmarks tree against pagrix-render nav, the articles dialog, and full
// screen with its background, automatic advance, loop and the way back.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pdf_builder.h"
#include "shell/panels.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"
#include "shell_test_support.h"
#include "test_support.h"

using namespace shelltest;

namespace {

double now_ms()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

// Pumps messages until `done` holds or `ms` pass; whether it held.
template <typename Done>
bool pump_until(Done done, int ms)
{
    const double end = now_ms() + ms;
    while (!done()) {
        if (now_ms() > end)
            return false;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_QUIT) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
    return true;
}

bool thumbs_idle(HWND thumbs) { return !thumbs_stats(thumbs).timerRunning; }

// Top-left of page `page`'s thumbnail (w pixels wide) in the thumbnails window.
POINT cell_origin(HWND thumbs, int page, int w)
{
    RECT rc;
    GetClientRect(thumbs, &rc);
    const int columns = std::max(1, int(rc.right) / 124), left = std::max(0, (int(rc.right) - columns * 124) / 2);
    return {left + page % columns * 124 + (124 - w) / 2, page / columns * 169 + 10 - thumbs_stats(thumbs).scrollY};
}

std::string cli_reference_dir()
{
    const char *dir = std::getenv("PAGRIX_CLI_REFERENCE");
    return dir ? dir : "";
}

// Five pages, the second 10 x 200000 points: at thumbnail scale (1, as it is
// narrower than 104) it is too tall for any bitmap, so its render fails.
std::string pdf_with_unrenderable_page_2()
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R 7 0 R] /Count 5 /MediaBox [0 0 200 300] >>");
    b.stream(8, "", "0 0 1 rg 20 20 160 260 re f");
    for (int i = 0; i < 5; i++)
        b.obj(3 + i, std::string("<< /Type /Page /Parent 2 0 R /Contents 8 0 R") +
                         (i == 1 ? " /MediaBox [0 0 10 200000]" : "") + " >>");
    b.startxref(b.xref_section("/Size 9 /Root 1 0 R"));
    return b.str();
}

// `pages` A4 pages sharing one content stream of a few hundred curves, so
// that each thumbnail takes the renderer a moment.
std::string many_pages_with_art(int pages)
{
    std::string art = "0.2 0.4 0.8 RG 2 w\n";
    for (int i = 0; i < 400; i++) {
        const int x = 20 + (i * 37) % 540, y = 20 + (i * 53) % 790;
        art += std::to_string(x) + " " + std::to_string(y) + " m " + std::to_string(x + 40) + " " +
               std::to_string(y + 90) + " " + std::to_string(x + 80) + " " + std::to_string(y - 60) + " " +
               std::to_string(x + 120) + " " + std::to_string(y + 20) + " c S\n";
    }
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    std::string kids;
    for (int i = 0; i < pages; i++)
        kids += std::to_string(4 + i) + " 0 R ";
    b.obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " /MediaBox [0 0 595 842] >>");
    b.stream(3, "", art);
    for (int i = 0; i < pages; i++)
        b.obj(4 + i, "<< /Type /Page /Parent 2 0 R /Contents 3 0 R >>");
    b.startxref(b.xref_section("/Size " + std::to_string(4 + pages) + " /Root 1 0 R"));
    return b.str();
}

}  // namespace

TEST(Panels, ThumbnailsEqualTheCommandLineAndAClickShowsThePage)
{
    const std::string refs = cli_reference_dir();
    const std::string corpus = testsupport::corpus_dir();
    if (refs.empty() || corpus.empty())
        GTEST_SKIP() << "needs the corpus and PAGRIX_CLI_REFERENCE";
    const std::string pdf = corpus + "/pdf/samples-GeoTopo-komprimiert.pdf";
    if (read_bmp24(refs + "/thumb-1.bmp").w == 0)
        GTEST_SKIP() << "no thumbnail references (the fixture found no corpus)";
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    SetWindowPos(f.hwnd, nullptr, 0, 0, 1000, 1000, SWP_NOZORDER);
    ASSERT_EQ(frame_open_path(fs, pdf.c_str(), nullptr), 0);
    SetFocus(fs.view);
    f.command(CMD_PANEL_THUMBS);
    ASSERT_TRUE(IsWindowVisible(fs.thumbs));
    EXPECT_FALSE(IsWindowVisible(fs.view)) << "the grid fills the frame";
    EXPECT_EQ(GetFocus(), fs.thumbs) << "the keyboard goes with it";
    ASSERT_TRUE(pump_until([&] { return thumbs_idle(fs.thumbs); }, 20000));
    const Capture got = capture(fs.thumbs);
    for (int k = 1; k <= 20; k++) {
        SCOPED_TRACE(testing::Message() << "page " << k);
        const Capture want = read_bmp24(refs + "/thumb-" + std::to_string(k) + ".bmp");
        ASSERT_GT(want.w, 0);
        const POINT o = cell_origin(fs.thumbs, k - 1, want.w);
        ASSERT_LE(o.y + want.h, got.h) << "thumbnail " << k << " is not in the window";
        int differ = 0;
        for (int y = 0; y < want.h; y++)
            for (int x = 0; x < want.w; x++)
                differ += got.at(o.x + x, o.y + y) != want.at(x, y);
        EXPECT_EQ(differ, 0) << "of " << want.w * want.h << " pixels";
    }
    // The seventh cell: the view shows page 7 and the grid moves aside.
    const POINT o = cell_origin(fs.thumbs, 6, 104);
    SendMessageA(fs.thumbs, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(o.x + 50, o.y + 60));
    pump();
    EXPECT_EQ(view_page(fs.view), 7);
    EXPECT_EQ(fs.panelMode, PANEL_THUMBS_AND_PAGE);
    EXPECT_TRUE(IsWindowVisible(fs.view));
    EXPECT_EQ(thumbs_stats(fs.thumbs).current, 6) << "the highlight follows the view";
    // A page key in the view moves the highlight too.
    f.command(CMD_NEXT_PAGE);
    EXPECT_EQ(thumbs_stats(fs.thumbs).current, 7);
    // Keys in the grid move the highlight (one column wide beside the page:
    // Down is the next page); Enter shows the highlighted page.
    SendMessageA(fs.thumbs, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(fs.thumbs, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(fs.thumbs, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(thumbs_stats(fs.thumbs).current, 8);
    EXPECT_EQ(view_page(fs.view), 8) << "the view waits for Enter";
    SendMessageA(fs.thumbs, WM_KEYDOWN, VK_RETURN, 0);
    pump();
    EXPECT_EQ(view_page(fs.view), 9);
    SendMessageA(fs.thumbs, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(thumbs_stats(fs.thumbs).current, 116) << "the last of 117 pages";
    clear_settings();
}

TEST(Panels, AnUnrenderablePageIsSkippedAndTheTimerStops)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    SetWindowPos(f.hwnd, nullptr, 0, 0, 900, 700, SWP_NOZORDER);
    const std::string pdf = scratch_file("thumb-fail.pdf", pdf_with_unrenderable_page_2());
    ASSERT_EQ(frame_open_path(fs, pdf.c_str(), nullptr), 0);
    f.command(CMD_PANEL_THUMBS);  // all five cells in sight
    EXPECT_TRUE(pump_until([&] { return thumbs_idle(fs.thumbs); }, 3000)) << "the timer kept retrying";
    ThumbStats st = thumbs_stats(fs.thumbs);
    EXPECT_EQ(st.failures, 1);
    EXPECT_EQ(st.cached, 4) << "every other page has its thumbnail";
    EXPECT_EQ(st.renders, 5) << "the failed page was tried once";
    // The pages after the failed one are drawn; the failed one is an empty frame.
    const Capture cap = capture(fs.thumbs);
    const POINT p3 = cell_origin(fs.thumbs, 2, 104);
    EXPECT_EQ(cap.at(p3.x + 52, p3.y + 75), 0x0000FFu) << "page 3's blue rectangle";
    const POINT p2 = cell_origin(fs.thumbs, 1, 104);
    EXPECT_NE(cap.at(p2.x + 52, p2.y + 75), 0xFFFFFFu) << "no white placeholder for the failed page";
    // Showing the panel again tries the page once more, and only that page.
    f.command(CMD_PANEL_PAGE);
    f.command(CMD_PANEL_THUMBS);
    EXPECT_TRUE(pump_until([&] { return thumbs_idle(fs.thumbs); }, 3000));
    st = thumbs_stats(fs.thumbs);
    EXPECT_EQ(st.renders, 6);
    EXPECT_EQ(st.failures, 2);
    // Turning the pages renders the thumbnails again, the new way round:
    // page 3 is now 104 x 69, so 100 rows down is below its blue.
    f.command(CMD_ROTATE_CW);
    EXPECT_TRUE(pump_until([&] { return thumbs_idle(fs.thumbs); }, 3000));
    EXPECT_GE(thumbs_stats(fs.thumbs).renders, 6 + 4);
    const POINT q3 = cell_origin(fs.thumbs, 2, 104);
    const Capture turned = capture(fs.thumbs);
    EXPECT_EQ(turned.at(q3.x + 52, q3.y + 30), 0x0000FFu);
    EXPECT_NE(turned.at(q3.x + 52, q3.y + 100), 0x0000FFu);
    clear_settings();
}

TEST(Panels, TwoThousandPagesStayResponsiveWhileThumbnailsRender)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    SetWindowPos(f.hwnd, nullptr, 0, 0, 1000, 900, SWP_NOZORDER);
    const std::string pdf = scratch_file("thumb-2000.pdf", many_pages_with_art(2000));
    ASSERT_EQ(frame_open_path(fs, pdf.c_str(), nullptr), 0);
    view_set_zoom_percent(fs.view, 40);
    f.command(CMD_PANEL_THUMBS_PAGE);
    // Page Down for the view, twelve times. Before each, the thumbnails
    // scroll on, so their timer has rows to render; the key arrives from
    // another thread at different moments of its ticks. What the thumbnails
    // cost the key is the time it waits in the queue before the view gets
    // it; the view's own work on it is measured beside that.
    const int rounds = 12;
    double worst_wait = 0, worst_total = 0;
    for (int round = 0; round < rounds; round++) {
        SendMessageA(fs.thumbs, WM_VSCROLL, SB_PAGEDOWN, 0);
        SendMessageA(fs.thumbs, WM_VSCROLL, SB_PAGEDOWN, 0);
        const int page0 = view_page(fs.view), scroll0 = view_geometry(fs.view).scrollY;
        const DWORD delay = 35 + DWORD(round) * 11;
        std::atomic<double> posted{0};
        std::thread sender([&] {
            Sleep(delay);
            posted = now_ms();
            PostMessageA(fs.view, WM_KEYDOWN, VK_NEXT, 0);
        });
        double reached = 0;
        const double give_up = now_ms() + 3000;
        while ((view_page(fs.view) == page0 && view_geometry(fs.view).scrollY == scroll0) && now_ms() < give_up) {
            MSG msg;
            if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
                continue;
            }
            if (msg.hwnd == fs.view && msg.message == WM_KEYDOWN && reached == 0)
                reached = now_ms();
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const double done = now_ms();
        sender.join();
        ASSERT_GT(reached, 0.0) << "round " << round << ": the key never reached the view";
        worst_wait = std::max(worst_wait, reached - posted);
        worst_total = std::max(worst_total, done - posted);
    }
    EXPECT_GE(thumbs_stats(fs.thumbs).renders, rounds) << "thumbnails were rendering meanwhile";
    EXPECT_LT(worst_wait, 200.0) << "slowest of " << rounds << " keys to reach the view, ms";
    std::printf("thumbnails of 2000 pages: %d renders; a key waited at most %.1f ms, handled within %.1f ms\n",
                thumbs_stats(fs.thumbs).renders, worst_wait, worst_total);
    clear_settings();
}

TEST(Panels, BookmarksShowTheOutlineInOrderAndGoToTheTarget)
{
    const std::string refs = cli_reference_dir(), corpus = testsupport::corpus_dir();
    const std::string nav = refs.empty() ? "" : testsupport::read_file(refs + "/outline.tsv");
    if (corpus.empty() || nav.empty())
        GTEST_SKIP() << "needs the corpus and the fixture's pagrix-render nav output";
    struct Line {
        int level, page;
        std::wstring title;
    };
    std::vector<Line> want;
    std::istringstream in(nav);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::stringstream ls(line);
        for (std::string field; std::getline(ls, field, '\t');)
            f.push_back(field);
        if (f.size() < 4 || f[0] != "outline")
            continue;
        wchar_t w[256] = L"";
        MultiByteToWideChar(CP_UTF8, 0, f[3].c_str(), -1, w, 256);
        want.push_back({std::atoi(f[1].c_str()), std::atoi(f[2].c_str()), w});
    }
    ASSERT_GT(want.size(), 3u);

    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    ASSERT_EQ(frame_open_path(fs, (corpus + "/pdf/qpdf-lin5.pdf").c_str(), nullptr), 0);
    f.command(CMD_PANEL_BOOKMARKS_PAGE);
    ASSERT_TRUE(IsWindowVisible(fs.bookmarks));
    // Depth-first walk: every item, its depth, collapsed.
    struct Item {
        HTREEITEM h;
        int level;
    };
    std::vector<Item> got;
    std::vector<Item> stack;
    auto next = [&](HTREEITEM h, UINT how) {
        return reinterpret_cast<HTREEITEM>(SendMessageA(fs.bookmarks, TVM_GETNEXTITEM, how, LPARAM(h)));
    };
    std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM h, int level) {
        for (; h; h = next(h, TVGN_NEXT)) {
            got.push_back({h, level});
            walk(next(h, TVGN_CHILD), level + 1);
        }
    };
    walk(next(nullptr, TVGN_ROOT), 1);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        char text[256] = "";
        TVITEMA item = {};
        item.mask = TVIF_TEXT | TVIF_STATE | TVIF_PARAM;
        item.hItem = got[i].h;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        item.stateMask = TVIS_EXPANDED;
        SendMessageA(fs.bookmarks, TVM_GETITEMA, 0, LPARAM(&item));
        wchar_t w[256] = L"";
        MultiByteToWideChar(1252, 0, text, -1, w, 256);
        EXPECT_EQ(std::wstring(w), want[i].title) << "item " << i;
        EXPECT_EQ(got[i].level, want[i].level) << "item " << i;
        EXPECT_EQ(int(item.lParam) + 1, want[i].page) << "item " << i;
        EXPECT_FALSE(item.state & TVIS_EXPANDED) << "item " << i << " starts collapsed";
    }
    // Choosing items goes to their pages (the third one, then the first).
    for (size_t i : {size_t(2), size_t(0)}) {
        SendMessageA(fs.bookmarks, TVM_SELECTITEM, TVGN_CARET, LPARAM(got[i].h));
        pump();
        EXPECT_EQ(view_page(fs.view), want[i].page) << "item " << i;
    }
    clear_settings();
}

// Real clicks into the tree: the first focus (a click on empty space) leaves
// the page alone, although the tree then selects its first item by itself;
// a click on that item goes to its page, and a later click on it after the
// page changed goes there again.
TEST(Panels, BookmarkClicksGoWhereTheUserPoints)
{
    const std::string corpus = testsupport::corpus_dir();
    if (corpus.empty())
        GTEST_SKIP() << "needs the corpus";
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    SetForegroundWindow(f.hwnd);
    ASSERT_EQ(frame_open_path(fs, (corpus + "/pdf/qpdf-lin5.pdf").c_str(), nullptr), 0);
    f.command(CMD_PANEL_BOOKMARKS_PAGE);
    view_goto_page(fs.view, 10);
    pump();
    RECT client;
    GetClientRect(fs.bookmarks, &client);
    const auto settled = [] { return pump_until([] { return false; }, 200), true; };
    send_click(fs.bookmarks, client.right / 2, client.bottom - 10);
    settled();
    EXPECT_EQ(GetFocus(), fs.bookmarks);
    EXPECT_EQ(view_page(fs.view), 10) << "focusing the tree is no choice";
    // The first top-level item, "Isis 1", goes to page 6.
    const auto first = reinterpret_cast<HTREEITEM>(SendMessageA(fs.bookmarks, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    RECT label;
    *reinterpret_cast<HTREEITEM *>(&label) = first;
    ASSERT_TRUE(SendMessageA(fs.bookmarks, TVM_GETITEMRECT, TRUE, LPARAM(&label)));
    for (int round = 0; round < 2; round++) {
        send_click(fs.bookmarks, (label.left + label.right) / 2, (label.top + label.bottom) / 2);
        settled();
        EXPECT_EQ(view_page(fs.view), 6) << "click " << round + 1 << " on the first item";
        view_goto_page(fs.view, 10);
        pump();
        Sleep(GetDoubleClickTime() + 50);  // a second click, not a double click
    }
    clear_settings();
}

namespace {

struct ArticlesSeen {
    std::vector<std::string> titles;
    int selected = -1;
};
ArticlesSeen g_seen;

// Reads the articles dialog, picks its second title and presses "Anzeigen".
void CALLBACK answer_articles(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND dlg = FindWindowA("#32770", "Artikel");
    if (!dlg)
        return;
    KillTimer(nullptr, id);
    HWND list = GetDlgItem(dlg, IDC_ARTICLES_LIST);
    const int n = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; i++) {
        char t[256] = "";
        SendMessageA(list, LB_GETTEXT, i, LPARAM(t));
        g_seen.titles.push_back(t);
    }
    g_seen.selected = int(SendMessageA(list, LB_GETCURSEL, 0, 0));
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    SendMessageA(dlg, WM_COMMAND, IDOK, 0);
}

}  // namespace

TEST(Panels, ArticlesDialogListsTheThreadsAndShowsTheChosenOne)
{
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R /Threads [10 0 R 11 0 R] >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R] /Count 4 /MediaBox [0 0 300 400] >>");
    for (int i = 0; i < 4; i++)
        b.obj(3 + i, "<< /Type /Page /Parent 2 0 R >>");
    b.obj(10, "<< /I << /Title (Einleitung) >> /F 20 0 R >>");
    b.obj(20, "<< /T 10 0 R /N 20 0 R /V 20 0 R /P 4 0 R /R [0 0 100 100] >>");
    b.obj(11, "<< /I << /Title (Schlu\\337) >> /F 21 0 R >>");
    b.obj(21, "<< /T 11 0 R /N 21 0 R /V 21 0 R /P 6 0 R /R [0 0 100 100] >>");
    b.startxref(b.xref_section("/Size 22 /Root 1 0 R"));
    const std::string pdf = scratch_file("articles.pdf", b.str());

    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    ASSERT_EQ(frame_open_path(fs, pdf.c_str(), nullptr), 0);
    // Full screen and the articles are offered for it.
    HMENU menu = GetMenu(f.hwnd);
    for (int i = 0; i < GetMenuItemCount(menu); i++)
        SendMessageA(f.hwnd, WM_INITMENUPOPUP, WPARAM(GetSubMenu(menu, i)), i);
    EXPECT_TRUE(menu_enabled(menu, CMD_ARTICLES));
    EXPECT_TRUE(menu_enabled(menu, CMD_FULLSCREEN));
    g_seen = {};
    SetTimer(nullptr, 0, 50, answer_articles);
    f.command(CMD_ARTICLES);
    EXPECT_EQ(g_seen.titles, (std::vector<std::string>{"Einleitung", "Schlu\xDF"}));
    EXPECT_EQ(g_seen.selected, 0) << "the first title is selected";
    EXPECT_EQ(view_page(fs.view), 4) << "the second thread starts on page 4";
    clear_settings();
}

namespace {

// The cursor's display count (shown while it is 0 or more).
int cursor_count()
{
    const int c = ShowCursor(FALSE);
    ShowCursor(TRUE);
    return c + 1;
}

std::vector<std::pair<UINT, std::string>> g_menu_items;

// Reads the open popup menu's items, then picks its last one.
void CALLBACK choose_last_menu_item(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND popup = FindWindowA("#32768", nullptr);
    HMENU menu = popup ? reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0)) : nullptr;
    if (!menu)
        return;
    KillTimer(nullptr, id);
    const int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; i++) {
        char text[64] = "";
        GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
        g_menu_items.push_back({GetMenuItemID(menu, i), text});
    }
    PostMessageA(popup, WM_KEYDOWN, VK_UP, 0);
    PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
}

}  // namespace

TEST(FullScreen, CoversTheScreenAdvancesLoopsAndRestoresTheFrame)
{
    clear_settings();
    settings_write("FsBgColor", 1);  // gray
    settings_write("FsAdvance", 1);
    settings_write("FsAdvSec", 1);
    settings_write("FsLoop", 1);
    settings_write("FsCursor", 0);
    Frame f;
    FrameState &fs = f.state();
    SetWindowPos(f.hwnd, nullptr, 40, 30, 700, 520, SWP_NOZORDER);
    ASSERT_EQ(frame_open_path(fs, scratch_file("fullscreen.pdf", a4_pdf(3)).c_str(), nullptr), 0);
    f.command(CMD_PANEL_THUMBS_PAGE);
    RECT before;
    GetWindowRect(f.hwnd, &before);
    HMENU menu = GetMenu(f.hwnd);
    const LONG style = GetWindowLongA(f.hwnd, GWL_STYLE);

    SendMessageA(f.hwnd, WM_COMMAND, CMD_FULLSCREEN, 0);
    pump();
    RECT r;
    GetWindowRect(f.hwnd, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(GetMenu(f.hwnd), nullptr);
    EXPECT_FALSE(GetWindowLongA(f.hwnd, GWL_STYLE) & WS_CAPTION);
    EXPECT_FALSE(IsWindowVisible(fs.thumbs));
    EXPECT_FALSE(IsWindowVisible(fs.toolbar));
    RECT vr;
    GetClientRect(fs.view, &vr);
    EXPECT_EQ(vr.right, GetSystemMetrics(SM_CXSCREEN)) << "the view's page area is the whole screen";
    EXPECT_EQ(vr.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(capture(fs.view).at(3, 3), 0x808080u) << "gray background";

    // Automatic advance after about a second each, then round to page 1.
    const int expect_pages[] = {2, 3, 1};
    double last = now_ms();
    for (int want : expect_pages) {
        ASSERT_TRUE(pump_until([&] { return view_page(fs.view) == want; }, 4000)) << "page " << want;
        const double t = now_ms(), step = t - last;
        last = t;
        EXPECT_GT(step, 800.0) << "to page " << want;
        EXPECT_LT(step, 1600.0) << "to page " << want;
        std::printf("full screen: page %d after %.0f ms\n", want, step);
    }

    // Esc leaves; the frame is back exactly as it was.
    SendMessageA(fs.view, WM_KEYDOWN, VK_ESCAPE, 0);
    pump();
    EXPECT_FALSE(fs.fullScreen);
    GetWindowRect(f.hwnd, &r);
    EXPECT_TRUE(EqualRect(&r, &before)) << r.left << "," << r.top << " " << r.right << "," << r.bottom;
    EXPECT_EQ(GetMenu(f.hwnd), menu);
    EXPECT_EQ(GetWindowLongA(f.hwnd, GWL_STYLE), style);
    EXPECT_TRUE(GetWindowLongA(fs.view, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) << "the view's edge is back";
    EXPECT_TRUE(IsWindowVisible(fs.thumbs)) << "the panel mode still says thumbnails";
    EXPECT_TRUE(IsWindowVisible(fs.toolbar));
    const int page = view_page(fs.view);
    Sleep(1300);
    pump();
    EXPECT_EQ(view_page(fs.view), page) << "no advance after leaving";

    // Without FsEscExit, Esc stays; the context menu leaves. A maximised
    // frame comes back maximised at the same rectangle. With cursor mode 2
    // the cursor goes at once, comes back on a movement, and is shown again
    // after leaving.
    settings_write("FsEscExit", 0);
    settings_write("FsAdvance", 0);
    settings_write("FsCursor", 2);
    ShowWindow(f.hwnd, SW_MAXIMIZE);
    pump();
    GetWindowRect(f.hwnd, &before);
    const int shown = cursor_count();
    SetCursorPos(300, 300);
    f.command(CMD_FULLSCREEN);
    pump_until([] { return false; }, 150);
    EXPECT_EQ(cursor_count(), shown - 1) << "hidden on entry";
    SetCursorPos(320, 310);
    SendMessageA(fs.view, WM_MOUSEMOVE, 0, MAKELPARAM(320, 310));
    EXPECT_EQ(cursor_count(), shown) << "back on a movement";
    SendMessageA(fs.view, WM_KEYDOWN, VK_ESCAPE, 0);
    pump();
    EXPECT_TRUE(fs.fullScreen);
    g_menu_items.clear();
    SetTimer(nullptr, 0, 50, choose_last_menu_item);
    SendMessageA(f.hwnd, WM_APP + 5, 10, 10);  // a right click in the view
    pump();
    const std::vector<std::pair<UINT, std::string>> items = {
        {CMD_PREV_PAGE, "Vorherige Seite"}, {CMD_NEXT_PAGE, "N\xE4" "chste Seite"}, {0, ""},
        {CMD_ZOOM_IN, "Vergr\xF6\xDF" "ern"}, {CMD_ZOOM_OUT, "Verkleinern"}, {CMD_FIT_PAGE, "Ganze Seite"}, {0, ""},
        {CMD_FULLSCREEN, "Vollbild beenden"}};
    EXPECT_EQ(g_menu_items, items);
    EXPECT_FALSE(fs.fullScreen) << "the menu's last item leaves";
    GetWindowRect(f.hwnd, &r);
    EXPECT_TRUE(EqualRect(&r, &before)) << r.left << "," << r.top << " " << r.right << "," << r.bottom;
    EXPECT_TRUE(IsZoomed(f.hwnd));
    EXPECT_EQ(cursor_count(), shown);
    clear_settings();
}
