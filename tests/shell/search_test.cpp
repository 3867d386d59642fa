// Search, find all, history and the go-to and zoom dialogs in the real frame:
// the hits the command-line search lists, visited in its order with their
// highlights where its boxes say; the find-all list with its cap and its
// life tied to the Document; and, in the real program, every key of these
// commands typed into the view.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "fonts/font_library.h"
#include "shell/features.h"
#include "shell/logic/view_logic.h"
#include "shell/resource.h"
#include "shell/search.h"
#include "shell/settings.h"
#include "shell/view.h"
#include "text/page_text.h"
#include "pdf_builder.h"
#include "shell_test_support.h"
#include "test_support.h"

using namespace shelltest;

namespace {

struct CliHit {
    int page;  // zero-based
    RECT box;  // the box widened to whole pixels
};

// `pagrix-render search` output: "page N: x0 y0 x1 y1" lines.
std::vector<CliHit> read_cli_hits(const std::string &path)
{
    std::vector<CliHit> hits;
    FILE *f = std::fopen(path.c_str(), "r");
    if (!f)
        return hits;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        int page;
        double x0, y0, x1, y1;
        if (std::sscanf(line, "page %d: %lf %lf %lf %lf", &page, &x0, &y0, &x1, &y1) == 5)
            hits.push_back({page - 1, {LONG(std::floor(x0)), LONG(std::floor(y0)), LONG(std::ceil(x1)),
                                       LONG(std::ceil(y1))}});
    }
    std::fclose(f);
    return hits;
}

uint32_t rgb_at(const PageBitmap *bm, int x, int y)
{
    const uint8_t *p = bm->pixels + size_t(y) * size_t(bm->stride) + size_t(x) * 3;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

uint32_t tinted(uint32_t c, int times)
{
    uint8_t px[3] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)};
    for (int i = 0; i < times; i++)
        view_tint_hit(px, 1);
    return uint32_t(px[2]) << 16 | uint32_t(px[1]) << 8 | px[0];
}

bool inside(const RECT &r, int x, int y, int margin)
{
    return x >= r.left - margin && x < r.right + margin && y >= r.top - margin && y < r.bottom + margin;
}

// Pixels of the visible rows around `hit` that differ from the reference
// page tinted once per hit box holding them; the 2-pixel outlines of the
// boxes are left out. `compared` receives how many were looked at.
int highlight_mismatches(const Capture &cap, const ViewGeometry &g, const PageBitmap *page,
                         const std::vector<RECT> &boxes, const RECT &hit, int *compared)
{
    int bad = 0;
    *compared = 0;
    for (int cy = hit.top - 12; cy < hit.bottom + 12; cy++)
        for (int cx = hit.left - 40; cx < hit.right + 40; cx++) {
            const int x = cx - g.scrollX, y = cy - g.scrollY;
            if (x < 0 || y < 0 || x >= cap.w || y >= cap.h || cx < 0 || cy < 0 || cx >= page->width ||
                cy >= page->height)
                continue;
            int times = 0;
            bool edge = false;
            for (const RECT &b : boxes) {
                edge = edge || (inside(b, cx, cy, 2) && !inside(b, cx, cy, -2));
                times += inside(b, cx, cy, 0);
            }
            if (edge)
                continue;
            ++*compared;
            bad += cap.at(x, y) != tinted(rgb_at(page, cx, cy), times);
        }
    return bad;
}

HWND find_list() { return GetDlgItem(find_dialog_window(), IDC_FIND_LIST); }

int list_count() { return int(SendMessageA(find_list(), LB_GETCOUNT, 0, 0)); }

std::string list_line(int i)
{
    char text[512] = "";
    if (SendMessageA(find_list(), LB_GETTEXTLEN, WPARAM(i), 0) < LRESULT(sizeof text))
        SendMessageA(find_list(), LB_GETTEXT, WPARAM(i), LPARAM(text));
    return text;
}

std::string status_line()
{
    char text[128] = "";
    GetDlgItemTextA(find_dialog_window(), IDC_FIND_STATUS, text, sizeof text);
    return text;
}

void find_dialog_button(int id)
{
    SendMessageA(find_dialog_window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    pump();
}

void double_click_line(int i)
{
    SendMessageA(find_list(), LB_SETCURSEL, WPARAM(i), 0);
    SendMessageA(find_dialog_window(), WM_COMMAND, MAKEWPARAM(IDC_FIND_LIST, LBN_DBLCLK), LPARAM(find_list()));
    pump();
}

// A document of `pages` pages, each showing one line of text; the last
// page may have a box of its own.
std::string text_pdf(const char *name, int pages, const std::function<std::string(int page)> &line,
                     const std::string &last_box = "")
{
    testsupport::PdfBuilder b;
    std::string kids;
    for (int i = 0; i < pages; i++)
        kids += std::to_string(10 + 2 * i) + " 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) +
                 " /MediaBox [0 0 612 792] >>");
    b.obj(3, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    for (int i = 0; i < pages; i++) {
        const std::string box = i == pages - 1 && !last_box.empty() ? " /MediaBox " + last_box : "";
        b.obj(10 + 2 * i, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 3 0 R >> >> /Contents " +
                              std::to_string(11 + 2 * i) + " 0 R" + box + " >>");
        b.stream(11 + 2 * i, "", "BT /F1 12 Tf 72 700 Td (" + line(i + 1) + ") Tj ET");
    }
    b.startxref(b.xref_section("/Size " + std::to_string(10 + 2 * pages) + " /Root 1 0 R"));
    return scratch_file(name, b.str());
}

// ---- The real program, driven through the input queue ----

struct Match {
    DWORD pid;
    const char *cls;
    const char *title;  // null: any
    HWND found;
};

BOOL CALLBACK match_window(HWND hwnd, LPARAM lp)
{
    auto *m = reinterpret_cast<Match *>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "", title[128] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
    if (pid == m->pid && std::string(cls) == m->cls && IsWindowVisible(hwnd) &&
        (!m->title || std::string(title) == m->title)) {
        m->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the process, waiting up to 5 seconds.
HWND wait_window(DWORD pid, const char *cls, const char *title)
{
    for (int i = 0; i < 100; i++) {
        Match m = {pid, cls, title, nullptr};
        EnumWindows(match_window, reinterpret_cast<LPARAM>(&m));
        if (m.found)
            return m.found;
        Sleep(50);
    }
    return nullptr;
}

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK match_child(HWND w, LPARAM lp)
{
    auto *c = reinterpret_cast<ChildSearch *>(lp);
    if (GetDlgCtrlID(w) != c->id)
        return TRUE;
    c->found = w;
    return FALSE;
}

HWND child_by_id(HWND parent, int id)
{
    ChildSearch c = {id, nullptr};
    EnumChildWindows(parent, match_child, reinterpret_cast<LPARAM>(&c));
    return c.found;
}

// A window's text read through WM_GETTEXT, which crosses processes.
std::string text_of(HWND w)
{
    char text[128] = "";
    DWORD_PTR result = 0;
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, LPARAM(text), SMTO_ABORTIFHUNG, 2000, &result);
    return text;
}

// Waits up to 5 seconds for a window's text.
bool text_becomes(HWND w, const std::string &want)
{
    for (int i = 0; i < 100; i++) {
        if (text_of(w) == want)
            return true;
        Sleep(50);
    }
    return false;
}

// A key with a modifier held (VK_CONTROL, VK_SHIFT, VK_MENU; 0 none).
void chord(WORD mod, WORD vk)
{
    if (mod)
        send_key(mod, false);
    send_key(vk, false);
    send_key(vk, true);
    if (mod)
        send_key(mod, true);
    Sleep(60);
}

void type(const char *text)
{
    for (const char *c = text; *c; c++) {
        const SHORT k = VkKeyScanA(*c);
        chord(HIBYTE(k) & 1 ? VK_SHIFT : 0, LOBYTE(k));
    }
}

// A click near the window's bottom left corner, away from the find dialog.
void click_corner(HWND w)
{
    RECT r;
    GetClientRect(w, &r);
    send_click(w, 30, r.bottom - 30);
    Sleep(150);
}

}  // namespace

// F3 visits the hits `pagrix-render search` lists, in its order, wraps
// around to the first and Shift+F3 back to the last; each hit's centre is
// scrolled to the window's centre (as far as the clamp allows) and the
// view tints exactly the hit boxes of the page.
TEST(Search, VisitsTheCommandLineHitsInOrderWithTheirHighlights)
{
    const char *ref = std::getenv("PAGRIX_CLI_REFERENCE");
    const std::string dir = testsupport::corpus_dir();
    if (!ref || dir.empty())
        GTEST_SKIP() << "needs the corpus and PAGRIX_CLI_REFERENCE";
    const std::vector<CliHit> hits = read_cli_hits(std::string(ref) + "/search-karte.txt");
    if (hits.empty())
        GTEST_SKIP() << "no search reference (the fixture found no corpus)";
    clear_settings();
    settings_write("DefaultZoom", 100);
    Frame f;
    FrameState &fs = f.state();
    ASSERT_EQ(frame_open_path(fs, (dir + "/pdf/samples-GeoTopo-komprimiert.pdf").c_str(), nullptr), 0);
    ASSERT_EQ(view_zoom_percent(fs.view), 100);
    f.command(CMD_FIND);
    ASSERT_TRUE(find_dialog_window());
    SetDlgItemTextA(find_dialog_window(), IDC_FIND_TEXT, "Karte");
    find_dialog_button(IDOK);
    EXPECT_EQ(status_line(), "");

    std::map<int, PageBitmap *> pages;  // reference renders at scale 1
    std::map<int, std::vector<RECT>> boxes;
    for (const CliHit &h : hits)
        boxes[h.page].push_back(h.box);
    // Every hit, then the first again after wrapping around.
    for (size_t i = 0; i <= hits.size(); i++) {
        const CliHit &h = hits[i % hits.size()];
        SCOPED_TRACE(testing::Message() << "hit " << i << " on page " << h.page + 1);
        ASSERT_EQ(view_page(fs.view), h.page + 1);
        const ViewGeometry g = view_geometry(fs.view);
        const int want_x = view_clamp_scroll((h.box.left + h.box.right) / 2 - g.clientW / 2, g.contentW, g.clientW);
        const int want_y = view_clamp_scroll((h.box.top + h.box.bottom) / 2 - g.clientH / 2, g.contentH, g.clientH);
        EXPECT_LE(std::abs(g.scrollX - want_x), 1);
        EXPECT_LE(std::abs(g.scrollY - want_y), 1);
        PageBitmap *&page = pages[h.page];
        if (!page)
            doc_render_page(view_document(fs.view), h.page, 1.0f, 0, 0, &page);
        ASSERT_TRUE(page);
        int compared = 0;
        EXPECT_EQ(highlight_mismatches(capture(fs.view), g, page, boxes[h.page], h.box, &compared), 0);
        EXPECT_GT(compared, 500);
        f.command(CMD_FIND_NEXT);
    }
    // Back from the second hit to the first, and from there to the last.
    f.command(CMD_FIND_PREV);
    f.command(CMD_FIND_PREV);
    EXPECT_EQ(view_page(fs.view), hits.back().page + 1);
    for (auto &p : pages)
        bitmap_free(p.second);
    // No history entries from searching: Back has nowhere to go.
    f.command(CMD_BACK);
    EXPECT_EQ(view_page(fs.view), hits.back().page + 1);
    // A text that is nowhere says so.
    SetDlgItemTextA(find_dialog_window(), IDC_FIND_TEXT, "Zzyzx");
    find_dialog_button(IDOK);
    EXPECT_EQ(status_line(), "Text nicht gefunden.");
    clear_settings();
}

// Find all stops at 512 results in page order with their excerpts; a result
// is shown without a history entry; the list is emptied when another
// Document is opened or the Document is closed, and a result position that
// no longer exists goes nowhere.
TEST(Search, FindAllListAndItsLifeWithTheDocument)
{
    // Six hits a page: 600 in all, 512 listed (85 whole pages and two hits of page 86).
    const std::string big = text_pdf("find-all-100.pdf", 100, [](int page) {
        return "Seite " + std::to_string(page) + ": Anfang Ziel Mitte Ziel Ende Ziel Schluss Ziel Rest Ziel Fuss Ziel";
    });
    // The second page is smaller: fit page shows it at another scale.
    const std::string small =
        text_pdf("find-all-2.pdf", 2, [](int) { return std::string("Blatt mit Ziel"); }, "[0 0 300 760]");
    ASSERT_TRUE(font_library_load(PAGRIX_BINARY_DIR)) << "Helvetica comes from the font library";
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    ASSERT_EQ(frame_open_path(fs, big.c_str(), nullptr), 0);
    HMENU menu = GetMenu(f.hwnd);
    for (int i = 0; i < GetMenuItemCount(menu); i++)
        SendMessageA(f.hwnd, WM_INITMENUPOPUP, WPARAM(GetSubMenu(menu, i)), i);
    for (int id : {CMD_ZOOM_DIALOG, CMD_GOTO_PAGE, CMD_BACK, CMD_FORWARD, CMD_FIND, CMD_FIND_NEXT, CMD_FIND_PREV})
        EXPECT_TRUE(menu_enabled(menu, UINT(id))) << id;
    f.command(CMD_FIND);
    SetDlgItemTextA(find_dialog_window(), IDC_FIND_TEXT, "ziel");
    find_dialog_button(IDC_FIND_ALL);
    ASSERT_EQ(list_count(), 512);
    EXPECT_EQ(status_line(), "512 Treffer gefunden");
    // 8 characters before the hit up to 44 after its end.
    EXPECT_EQ(list_line(0), "Seite 1:   Anfang Ziel Mitte Ziel Ende Ziel Schluss Ziel Rest Ziel");
    EXPECT_EQ(list_line(511), "Seite 86:  l Mitte Ziel Ende Ziel Schluss Ziel Rest Ziel Fuss Ziel");
    EXPECT_EQ(view_page(fs.view), 1) << "find all moves nothing";

    double_click_line(300);  // page 51, its first hit
    EXPECT_EQ(view_page(fs.view), 51);
    f.command(CMD_BACK);
    EXPECT_EQ(view_page(fs.view), 51) << "a result is not a history entry";

    ASSERT_EQ(frame_open_path(fs, small.c_str(), nullptr), 0);
    EXPECT_EQ(list_count(), 0);
    double_click_line(300);
    EXPECT_EQ(view_page(fs.view), 1);
    // A result kept elsewhere is held to the Document's pages.
    view_show_hit(fs.view, 50, 3);
    EXPECT_EQ(view_page(fs.view), 2);

    // F3 onto the smaller page: its hit is tinted where its box lies at the new scale.
    SetDlgItemTextA(find_dialog_window(), IDC_FIND_TEXT, "ziel");
    find_dialog_button(IDOK);
    const float first_scale = view_scale(fs.view);
    f.command(CMD_FIND_NEXT);
    ASSERT_EQ(view_page(fs.view), 2);
    EXPECT_NE(view_scale(fs.view), first_scale);
    {
        PageText *text = doc_page_text(view_document(fs.view), 1, view_scale(fs.view));
        SearchHit hit = {};
        ASSERT_EQ(text_search(text, "ziel", 1, &hit, 0), 1);
        page_text_free(text);
        const RECT box = {LONG(std::floor(hit.x0)), LONG(std::floor(hit.y0)), LONG(std::ceil(hit.x1)),
                          LONG(std::ceil(hit.y1))};
        PageBitmap *page = nullptr;
        doc_render_page(view_document(fs.view), 1, view_scale(fs.view), 0, 0, &page);
        ASSERT_TRUE(page);
        int compared = 0;
        EXPECT_EQ(highlight_mismatches(capture(fs.view), view_geometry(fs.view), page, {box}, box, &compared), 0);
        EXPECT_GT(compared, 100);
        bitmap_free(page);
    }

    // With case sensitivity "ziel" is nowhere; without it both pages have it.
    CheckDlgButton(find_dialog_window(), IDC_FIND_CASE, BST_CHECKED);
    find_dialog_button(IDC_FIND_ALL);
    EXPECT_EQ(list_count(), 0);
    EXPECT_EQ(status_line(), "Text nicht gefunden.");
    CheckDlgButton(find_dialog_window(), IDC_FIND_CASE, BST_UNCHECKED);
    find_dialog_button(IDC_FIND_ALL);
    EXPECT_EQ(list_count(), 2);
    EXPECT_EQ(status_line(), "2 Treffer gefunden");
    f.command(CMD_CLOSE);
    EXPECT_EQ(list_count(), 0);
    find_dialog_button(IDCANCEL);
    EXPECT_FALSE(find_dialog_window());
    clear_settings();
}

// The keys of these commands typed into the real program's view: Ctrl+G
// with a page, 0 and a page past the end; Alt+Left and Alt+Right; Ctrl+L at
// both zoom limits; Ctrl+F with the find dialog taking its own keys first
// (the "-" of the query is text, not the zoom-out key); F3 and Shift+F3
// with wrap-around; Ctrl+A and Ctrl+C copying the page's text.
TEST(SearchKeys, EveryKeyWorksFromTheView)
{
    const char *exe = std::getenv("PAGRIX_EXE");
    if (!exe || !*exe)
        GTEST_SKIP() << "PAGRIX_EXE not set";
    const std::string pdf = text_pdf("keys-10.pdf", 10, [](int page) {
        return "Seite " + std::to_string(page) + (page == 3 || page == 7 ? " mit Ziel-Wert" : " ohne");
    });
    clear_settings();
    std::string command = std::string("\"") + exe + "\" \"" + pdf + "\"";
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    const DWORD pid = pi.dwProcessId;
    HWND frame = wait_window(pid, "Pagrix95Frame", nullptr);
    HWND page = frame ? child_by_id(frame, IDC_PAGE_EDIT) : nullptr;
    HWND zoom = frame ? child_by_id(frame, IDC_ZOOM_COMBO) : nullptr;
    HWND view = frame ? child_by_id(frame, IDC_VIEW) : nullptr;
    if (page && zoom && view && text_becomes(page, "1")) {
        SetForegroundWindow(frame);
        click_corner(view);
        struct Step {
            const char *what;
            WORD mod;  // VK_CONTROL, VK_MENU, VK_SHIFT or 0
            WORD key;
            const char *dialog;  // caption of the dialog the key opens, or null
            const char *typed;   // then typed and confirmed with Enter
            const char *page;    // the page shown afterwards
            const char *zoom;    // the zoom shown afterwards, or null
        } steps[] = {
            {"go to 7", VK_CONTROL, 'G', "Gehe zu Seite", "7", "7", nullptr},
            {"go to 0: nothing", VK_CONTROL, 'G', "Gehe zu Seite", "0", "7", nullptr},
            {"go past the end: the last page", VK_CONTROL, 'G', "Gehe zu Seite", "99", "10", nullptr},
            {"back", VK_MENU, VK_LEFT, nullptr, nullptr, "7", nullptr},
            {"back", VK_MENU, VK_LEFT, nullptr, nullptr, "1", nullptr},
            {"back at the start: nothing", VK_MENU, VK_LEFT, nullptr, nullptr, "1", nullptr},
            {"forward", VK_MENU, VK_RIGHT, nullptr, nullptr, "7", nullptr},
            // 600 % is held by the view's memory limit.
            {"zoom at the top limit", VK_CONTROL, 'L', "Zoom", "600", "7", "240%"},
            {"find in the dialog", VK_CONTROL, 'F', "Suchen", "ziel-wert", "3", "240%"},
            {"F3", 0, VK_F3, nullptr, nullptr, "7", nullptr},
            {"F3 wraps around", 0, VK_F3, nullptr, nullptr, "3", nullptr},
            {"Shift+F3 wraps back", VK_SHIFT, VK_F3, nullptr, nullptr, "7", nullptr},
            {"zoom at the bottom limit", VK_CONTROL, 'L', "Zoom", "5", "7", "15%"},
        };
        for (const Step &s : steps) {
            SCOPED_TRACE(s.what);
            chord(s.mod, s.key);
            if (s.dialog) {
                HWND dlg = wait_window(pid, "#32770", s.dialog);
                ASSERT_TRUE(dlg);
                if (std::string(s.dialog) == "Gehe zu Seite") {
                    EXPECT_EQ(text_of(GetDlgItem(dlg, IDC_GOTO_LABEL)), "Seite (1 - 10):");
                    EXPECT_EQ(text_of(GetDlgItem(dlg, IDC_GOTO_PAGE)), text_of(page)) << "the current page";
                }
                type(s.typed);  // replaces the selected number
                chord(0, VK_RETURN);
                if (std::string(s.dialog) == "Suchen") {
                    EXPECT_TRUE(text_becomes(page, s.page));
                    EXPECT_EQ(text_of(GetDlgItem(dlg, IDC_FIND_TEXT)), "ziel-wert");
                    click_corner(view);  // F3 is the view's key, not the dialog's
                } else {
                    for (int i = 0; i < 100 && IsWindow(dlg); i++)
                        Sleep(50);
                    EXPECT_FALSE(IsWindow(dlg));
                }
            }
            Sleep(200);
            EXPECT_TRUE(text_becomes(page, s.page)) << text_of(page);
            if (s.zoom) {
                EXPECT_TRUE(text_becomes(zoom, s.zoom)) << text_of(zoom);
            }
        }
        // Ctrl+A selects the text of the page in view (7) and Ctrl+C copies it.
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        chord(VK_CONTROL, 'A');
        chord(VK_CONTROL, 'C');
        std::wstring copied;
        for (int i = 0; i < 40 && copied.empty(); i++, Sleep(50))
            copied = clipboard_unicode();
        EXPECT_NE(copied.find(L"Seite 7 mit Ziel-Wert"), std::wstring::npos) << "Ctrl+A, Ctrl+C copied no page text";
    } else {
        ADD_FAILURE() << "the program's frame, page field, zoom box or view did not appear";
    }
    if (frame)
        PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(process_finish(pi, 15000), 0);
    clear_settings();
}
