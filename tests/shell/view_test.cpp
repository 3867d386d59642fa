// The page view as a real window: zoom with its memory limit, centring,
// page keys, the continuous column, re-banding, what it paints against what
// the renderer draws, progressive repaints and their abort, bad files, and
// the password prompt.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bitmap/bitmap.h"
#include "shell/logic/view_logic.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"
#include "pdf_builder.h"
#include "shell_test_support.h"
#include "test_support.h"

using namespace shelltest;

namespace {

const std::string kSample = std::string(PAGRIX_SOURCE_DIR) + "/tests/data/sample.pdf";
const std::string kEncrypted = std::string(PAGRIX_SOURCE_DIR) + "/tests/data/encrypted.pdf";

int g_notifications;  // WM_APP+1 received by the host
int g_escapes;        // WM_APP+4 received by the host

LRESULT CALLBACK host_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP + 1)
        g_notifications++;
    if (msg == WM_APP + 4)
        g_escapes++;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// A borderless top-level window of the given size with a view filling it.
struct Host {
    HWND hwnd = nullptr, view = nullptr;
    Host(int w, int h)
    {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = host_proc;
            wc.hInstance = instance;
            wc.lpszClassName = "PagrixViewTestHost";
            registered = RegisterClassA(&wc) && view_register_class(instance);
        }
        clear_settings();
        settings_apply_view(nullptr);
        hwnd = CreateWindowExA(0, "PagrixViewTestHost", "host", WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr,
                               nullptr, instance, nullptr);
        view = view_create(hwnd, instance);
        MoveWindow(view, 0, 0, w, h, TRUE);
        pump();
    }
    ~Host()
    {
        DestroyWindow(hwnd);
        pump();
        clear_settings();
        settings_apply_view(nullptr);
    }
    ViewGeometry geo() const { return view_geometry(view); }
    void key(WPARAM vk) const
    {
        SendMessageA(view, WM_KEYDOWN, vk, 0);
        pump();
    }
};

uint32_t rgb_of(const PageBitmap *bm, int x, int y)
{
    const uint8_t *p = bm->pixels + size_t(y) * size_t(bm->stride) + size_t(x) * 3;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

uint32_t rgb(COLORREF c) { return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c); }

// Pixels of the visible page area that differ from the renderer's page
// (single layout); `visible` receives how many were compared.
int page_mismatches(const Capture &cap, const ViewGeometry &g, const PageBitmap *page, bool gray, int *visible)
{
    int bad = 0, seen = 0;
    for (int y = 0; y < cap.h; y++)
        for (int x = 0; x < cap.w; x++) {
            const int cx = x + g.scrollX, cy = y + g.scrollY;
            if (cx < 0 || cy < 0 || cx >= page->width || cy >= page->height)
                continue;
            uint32_t want = rgb_of(page, cx, cy);
            if (gray) {
                uint8_t px[3] = {uint8_t(want), uint8_t(want >> 8), uint8_t(want >> 16)};
                view_grayscale(px, 1);
                want = uint32_t(px[0]) * 0x010101u;
            }
            seen++;
            bad += cap.at(x, y) != want;
        }
    *visible = seen;
    return bad;
}

// Reference render of the view's current page at the view's scale.
PageBitmap *reference(HWND view)
{
    PageBitmap *bm = nullptr;
    doc_render_page(view_document(view), view_page(view) - 1, view_scale(view), 0, 0, &bm);
    return bm;
}

// A page of `paths` small filled curves in rows from the top down: slow to render.
std::string slow_pdf(int paths)
{
    std::string content;
    char buf[160];
    const int cols = 60;
    for (int i = 0; i < paths; i++) {
        const double x = 10 + (i % cols) * 10, y = 780 - (i / cols) * (770.0 * cols / paths);
        std::snprintf(buf, sizeof buf, "%.2f %.2f %.2f rg %.1f %.1f m %.1f %.1f %.1f %.1f %.1f %.1f c %.1f %.1f l f\n",
                      (i % 7) / 7.0, (i % 5) / 5.0, (i % 3) / 3.0, x, y, x + 3, y + 9, x + 9, y - 6, x + 8, y + 4,
                      x + 1, y + 8);
        content += buf;
    }
    testsupport::PdfBuilder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 5 0 R >>");
    b.obj(4, "<< /Type /Page /Parent 2 0 R >>");
    b.stream(5, "", content);
    b.startxref(b.xref_section("/Size 6 /Root 1 0 R"));
    return b.str();
}

}  // namespace

TEST(View, ZoomStepsAndTheMemoryLimit)
{
    Host h(700, 560);
    ASSERT_EQ(view_open(h.view, kSample.c_str()), 0);
    EXPECT_EQ(view_zoom_mode(h.view), ZOOM_FIT_PAGE) << "DefaultZoom 1 opens at fit page";
    view_set_zoom_percent(h.view, 100);
    // Zooming in from 100 % is held at 239 % by the memory limit, which stays stored.
    for (int expect : {125, 156, 195, 239, 239}) {
        view_zoom_step(h.view, +1);
        EXPECT_EQ(view_zoom_percent(h.view), expect);
    }
    EXPECT_EQ(h.geo().contentW, int(612 * view_scale(h.view) + 0.5f));
    view_set_zoom_percent(h.view, 600);
    EXPECT_EQ(view_zoom_percent(h.view), 240);
    view_set_zoom_percent(h.view, 16);
    view_zoom_step(h.view, -1);
    EXPECT_EQ(view_zoom_percent(h.view), 15);
    view_zoom_step(h.view, -1);
    EXPECT_EQ(view_zoom_percent(h.view), 15);
    view_set_zoom_percent(h.view, 3);
    EXPECT_EQ(view_zoom_percent(h.view), 15);

    // Ctrl+wheel zooms once per notch; the registered wheel message carries the delta.
    view_set_zoom_percent(h.view, 100);
    SendMessageA(h.view, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 240), 0);
    EXPECT_EQ(view_zoom_percent(h.view), 156);
    SendMessageA(h.view, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WORD(-120)), 0);
    EXPECT_EQ(view_zoom_percent(h.view), 125);
    view_set_zoom_percent(h.view, 100);
    SendMessageA(h.view, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), 0);
    EXPECT_EQ(h.geo().scrollY, 3 * VIEW_LINE) << "one notch down scrolls three lines";
    SendMessageA(h.view, RegisterWindowMessageA("MSWHEEL_ROLLMSG"), WPARAM(INT_PTR(60)), 0);
    EXPECT_EQ(h.geo().scrollY, 0) << "a part notch still counts as one";

    // Fit page shows the whole page without scroll bars; fit width fills the width.
    view_set_zoom_mode(h.view, ZOOM_FIT_PAGE);
    ViewGeometry g = h.geo();
    EXPECT_LE(g.contentH, g.clientH - 4 + 1);
    EXPECT_LE(g.contentW, g.clientW);
    EXPECT_FALSE(GetWindowLongA(h.view, GWL_STYLE) & WS_VSCROLL);
    view_set_zoom_mode(h.view, ZOOM_FIT_WIDTH);
    g = h.geo();
    EXPECT_NEAR(g.contentW, g.clientW - 4, 1);
    EXPECT_GT(g.contentH, g.clientH);
    EXPECT_TRUE(GetWindowLongA(h.view, GWL_STYLE) & WS_VSCROLL);
    // Rotation swaps the content's sides.
    view_set_zoom_percent(h.view, 50);
    g = h.geo();
    view_rotate(h.view, 1);
    EXPECT_EQ(h.geo().contentW, g.contentH);
    EXPECT_EQ(h.geo().contentH, g.contentW);
}

TEST(View, SmallPageIsCentredAndScrollBarsAreInert)
{
    Host h(800, 700);
    ASSERT_EQ(view_open(h.view, kSample.c_str()), 0);
    view_set_zoom_percent(h.view, 50);  // 306 x 396
    ViewGeometry g = h.geo();
    EXPECT_EQ(g.contentW, 306);
    EXPECT_EQ(g.scrollX, -(g.clientW - 306) / 2);
    EXPECT_EQ(g.scrollY, -(g.clientH - 396) / 2);
    for (int bar : {SB_HORZ, SB_VERT}) {
        SCROLLINFO si = {sizeof si, SIF_ALL};
        GetScrollInfo(h.view, bar, &si);
        EXPECT_GT(int(si.nPage), si.nMax - si.nMin) << "no movement left";
    }
    const struct {
        UINT msg;
        WPARAM wp;
    } moves[] = {{WM_VSCROLL, SB_LINEDOWN}, {WM_VSCROLL, SB_BOTTOM}, {WM_HSCROLL, SB_PAGERIGHT},
                 {WM_KEYDOWN, VK_DOWN},     {WM_KEYDOWN, VK_RIGHT},   {WM_KEYDOWN, VK_NEXT}};
    for (const auto &m : moves) {
        SendMessageA(h.view, m.msg, m.wp, 0);
        EXPECT_EQ(h.geo().scrollX, g.scrollX);
        EXPECT_EQ(h.geo().scrollY, g.scrollY);
    }
    EXPECT_EQ(view_page(h.view), 2) << "Page Down on a page that fits goes to the next page";
}

TEST(View, PageKeysInSingleLayout)
{
    Host h(700, 304);
    ASSERT_EQ(view_open(h.view, kSample.c_str()), 0);
    view_set_zoom_percent(h.view, 100);
    const int ch = h.geo().clientH, page_h = 792;
    ASSERT_EQ(ch, 300);
    const int SCREEN = -1, BOTTOM = -2;  // one client height; the page's bottom
    struct Step {
        WPARAM key;
        int page, scrollY;  // expected afterwards
    } steps[] = {
        {VK_PRIOR, 1, 0},                   // top of the first page: nothing
        {VK_NEXT, 1, ch},                   // scroll one screen inside the page
        {VK_NEXT, 1, page_h - ch},          // clamped at the page's bottom
        {VK_NEXT, 2, 0},                    // next page at its top
        {VK_PRIOR, 1, page_h - ch},         // previous page at its bottom
        {VK_PRIOR, 1, page_h - 2 * ch},     // one screen up
        {VK_END, 3, 0},                     // the last page is turned: 792 x 612, wider than the window
        {VK_NEXT, 3, SCREEN},
        {VK_NEXT, 3, BOTTOM},
        {VK_NEXT, 3, BOTTOM},               // bottom of the last page: nothing
        {VK_HOME, 1, 0},
    };
    for (const Step &s : steps) {
        ViewStats before = view_stats(h.view);
        h.key(s.key);
        SCOPED_TRACE(testing::Message() << "key " << s.key << " to page " << s.page);
        EXPECT_EQ(view_page(h.view), s.page);
        const ViewGeometry g = h.geo();
        EXPECT_EQ(g.scrollY, s.scrollY == SCREEN ? g.clientH : s.scrollY == BOTTOM ? g.contentH - g.clientH : s.scrollY);
        if (s.key == VK_PRIOR && s.page == 1 && s.scrollY == 0) {
            EXPECT_EQ(view_stats(h.view).renders, before.renders) << "nothing rendered";
        }
    }
    // The page commands do the same without the history; every change tells the frame.
    int n = g_notifications;
    view_page_command(h.view, CMD_LAST_PAGE);
    EXPECT_EQ(view_page(h.view), 3);
    view_page_command(h.view, CMD_NEXT_PAGE);
    EXPECT_EQ(view_page(h.view), 3);
    view_goto_page(h.view, 99);
    EXPECT_EQ(view_page(h.view), 3);
    view_goto_page(h.view, 2);
    EXPECT_EQ(view_page(h.view), 2);
    EXPECT_GT(g_notifications, n);
}

TEST(View, ContinuousColumnAndCurrentPage)
{
    Host h(700, 504);
    ASSERT_EQ(view_open(h.view, kSample.c_str()), 0);
    view_set_layout(h.view, 1);
    view_set_zoom_percent(h.view, 50);
    // Pages 8 pixels apart; the third is turned a quarter (396 x 306).
    std::vector<int> tops = {0};
    int widest = 0;
    for (int i = 0; i < 3; i++) {
        int w = 0, ph = 0;
        ASSERT_EQ(doc_page_pixel_size(view_document(h.view), i, 0.5f, &w, &ph), 0);
        EXPECT_EQ(view_page_top(h.view, i), tops.back());
        tops.push_back(tops.back() + ph + 8);
        widest = std::max(widest, w);
    }
    tops.back() -= 8;
    ViewGeometry g = h.geo();
    EXPECT_EQ(tops, (std::vector<int>{0, 404, 808, 1114}));
    EXPECT_EQ(g.contentH, tops.back());
    EXPECT_EQ(g.contentW, widest);
    // Scrolling makes current the page under the row a quarter down the window.
    for (int i = 0; i < 4; i++) {
        SendMessageA(h.view, WM_VSCROLL, SB_PAGEDOWN, 0);
        g = h.geo();
        EXPECT_EQ(view_page(h.view) - 1, view_page_at(tops, g.scrollY + g.clientH / 4)) << g.scrollY;
    }
    EXPECT_EQ(g.scrollY, g.contentH - g.clientH) << "clamped at the column's end";
    EXPECT_EQ(view_page(h.view), 2) << "row 614 + 125 lies on page 2";
    // Going to a page scrolls to its top.
    view_goto_page(h.view, 1);
    EXPECT_EQ(h.geo().scrollY, 0);
    view_goto_page(h.view, 2);
    EXPECT_EQ(h.geo().scrollY, 404);
    // What is painted is each page at its place in the column.
    PageBitmap *p2 = reference(h.view);
    ASSERT_TRUE(p2);
    Capture cap = capture(h.view);
    g = h.geo();
    int bad = 0;
    const int left = (g.contentW - p2->width) / 2 - g.scrollX;  // narrower pages are centred
    for (int y = 0; y < std::min(cap.h, p2->height); y++)
        for (int x = 0; x < p2->width; x++)
            bad += cap.at(left + x, y) != rgb_of(p2, x, y);
    EXPECT_EQ(bad, 0);
    bitmap_free(p2);
    // The gap between pages 2 and 3 (rows 800..807) shows the background.
    view_goto_page(h.view, 3);
    g = h.geo();
    ASSERT_EQ(g.scrollY, g.contentH - g.clientH);
    cap = capture(h.view);
    EXPECT_EQ(cap.at(100 - g.scrollX, 803 - g.scrollY), rgb(GetSysColor(COLOR_APPWORKSPACE)));
    EXPECT_NE(cap.at(100 - g.scrollX, 812 - g.scrollY), rgb(GetSysColor(COLOR_APPWORKSPACE)));
}

TEST(View, RebandingRendersOnlyMissingRows)
{
    Host h(700, 304);
    ASSERT_EQ(view_open(h.view, kSample.c_str()), 0);
    view_set_zoom_percent(h.view, 100);
    ViewGeometry g = h.geo();
    const int margin = std::max(VIEW_MIN_MARGIN, g.clientH / 4);
    EXPECT_EQ(g.bandTop, 0);
    EXPECT_EQ(g.bandHeight, g.clientH + 2 * margin);
    ASSERT_EQ(g.clientH, 300) << "margin 75: the band holds rows 0..449";
    PageBitmap *page = reference(h.view);
    ASSERT_TRUE(page);
    struct Row {
        int scroll;      // new scroll position (792 is clamped to 492)
        long long rows;  // rows rendered for it
    } rows[] = {
        {40, 0},     // inside the band
        {200, 125},  // the window's bottom left the band: band 125..574, rows 450..574 new
        {230, 0},
        {20, 125},   // above the band: band 0..449, rows 0..124 new
        {792, 342},  // to the end: band 417..791, rows 450..791 new
    };
    for (const Row &r : rows) {
        view_reset_stats(h.view);
        SCROLLINFO si = {sizeof si, SIF_POS};
        si.nPos = r.scroll;
        SetScrollInfo(h.view, SB_VERT, &si, FALSE);
        SendMessageA(h.view, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, r.scroll), 0);
        g = h.geo();
        SCOPED_TRACE(testing::Message() << "scroll " << r.scroll << " band " << g.bandTop << "+" << g.bandHeight);
        EXPECT_EQ(g.scrollY, std::min(r.scroll, 792 - g.clientH));
        EXPECT_EQ(view_stats(h.view).rowsRendered, r.rows);
        EXPECT_EQ(view_stats(h.view).renders, r.rows ? 1 : 0);
        // Shared rows moved over and new rows rendered: the picture is the page.
        int visible = 0;
        EXPECT_EQ(page_mismatches(capture(h.view), g, page, false, &visible), 0);
        EXPECT_GT(visible, 0);
    }
    bitmap_free(page);
}

TEST(View, PaintsWhatTheRendererDraws)
{
    std::vector<std::string> files = {kSample};
    for (const char *name : {"ps2pdf-golfer.pdf", "pdfjs-xobject-image.pdf", "pdfjs-shading_extend.pdf",
                             "gs-text_graphic_image.pdf"}) {
        std::string dir = testsupport::corpus_dir();
        if (!dir.empty())
            files.push_back(dir + "/pdf/" + name);
    }
    struct Mode {
        int rotation;
        bool gray, edge;
    } modes[] = {{0, false, false}, {1, false, false}, {0, true, true}};
    Host h(900, 700);
    for (const std::string &file : files) {
        if (view_open(h.view, file.c_str()) != 0) {
            ADD_FAILURE() << "cannot open " << file;
            continue;
        }
        for (const Mode &m : modes) {
            SCOPED_TRACE(testing::Message() << file << " rotation " << m.rotation << " gray " << m.gray);
            if (view_grayscale(h.view) != m.gray)
                view_toggle_grayscale(h.view);
            settings_write("PageToEdge", m.edge);
            settings_apply_view(h.view);
            if (m.rotation)
                view_rotate(h.view, m.rotation);
            view_set_zoom_percent(h.view, 100);
            PageBitmap *page = reference(h.view);
            ASSERT_TRUE(page);
            ViewGeometry g = h.geo();
            Capture cap = capture(h.view);
            int visible = 0;
            EXPECT_EQ(page_mismatches(cap, g, page, m.gray, &visible), 0);
            EXPECT_GT(visible, 1000);
            // Outside the page: the frame and shadow, or white to the edge.
            const int right = g.contentW - g.scrollX, top = -g.scrollY, row = std::max(top, 0) + 10;
            if (right + 3 < cap.w) {
                const uint32_t back = m.edge ? 0xFFFFFFu : rgb(GetSysColor(COLOR_APPWORKSPACE));
                EXPECT_EQ(cap.at(right, row), m.edge ? back : 0u) << "shadow";
                EXPECT_EQ(cap.at(right + 1, row), m.edge ? back : 0u) << "shadow";
                EXPECT_EQ(cap.at(right + 2, row), back);
                if (top > 1) {
                    EXPECT_EQ(cap.at(right - 10, top - 1), m.edge ? back : 0x606060u) << "top edge";
                }
            }
            bitmap_free(page);
            if (m.rotation)
                view_rotate(h.view, 4 - m.rotation);
        }
    }
}

TEST(View, EmptyViewShowsTheHint)
{
    Host h(600, 400);
    Capture cap = capture(h.view);
    const uint32_t back = rgb(GetSysColor(COLOR_APPWORKSPACE)), text = rgb(GetSysColor(COLOR_GRAYTEXT));
    int text_px = 0, other = 0, text_rows_lo = cap.h, text_rows_hi = 0;
    for (int y = 0; y < cap.h; y++)
        for (int x = 0; x < cap.w; x++) {
            uint32_t c = cap.at(x, y);
            if (c == back)
                continue;
            other++;
            if (c == text) {
                text_px++;
                text_rows_lo = std::min(text_rows_lo, y);
                text_rows_hi = std::max(text_rows_hi, y);
            }
        }
    EXPECT_GT(text_px, 50);
    EXPECT_LT(text_rows_hi - text_rows_lo, 20) << "one line";
    EXPECT_NEAR((text_rows_lo + text_rows_hi) / 2, cap.h / 2, 8) << "centred vertically";
    EXPECT_FALSE(GetWindowLongA(h.view, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL));
}

TEST(View, FullScreenBackgroundAndEscape)
{
    Host h(800, 700);
    ASSERT_EQ(view_open(h.view, kSample.c_str()), 0);
    view_set_zoom_percent(h.view, 50);
    struct Row {
        int color;          // FsBgColor
        uint32_t expect;    // around the page, right next to it too (no shadow)
    } rows[] = {{0, 0x000000u}, {1, 0x808080u}, {2, 0xFFFFFFu}};
    view_set_full_screen(h.view, true);
    for (const Row &r : rows) {
        settings_write("FsBgColor", r.color);
        settings_apply_view(h.view);
        Capture cap = capture(h.view);
        ViewGeometry g = h.geo();
        const int right = g.contentW - g.scrollX, mid = -g.scrollY + 100;
        EXPECT_EQ(cap.at(right, mid), r.expect) << r.color;
        EXPECT_EQ(cap.at(right + 1, mid), r.expect) << r.color;
        EXPECT_EQ(cap.at(5, 5), r.expect) << r.color;
    }
    g_escapes = 0;
    h.key(VK_ESCAPE);
    EXPECT_EQ(g_escapes, 1) << "Esc in full screen goes to the frame";
    view_set_full_screen(h.view, false);
    h.key(VK_ESCAPE);
    EXPECT_EQ(g_escapes, 1);
    EXPECT_EQ(capture(h.view).at(5, 5), rgb(GetSysColor(COLOR_APPWORKSPACE)));
}

TEST(View, SlowPageRepaintsProgressivelyAndAPageKeyStopsIt)
{
    std::string doc = scratch_file("slow.pdf", slow_pdf(60000));
    Host h(700, 560);
    ASSERT_EQ(view_open(h.view, doc.c_str()), 0);
    // A whole render first, to see how long it takes and how often it repaints.
    view_reset_stats(h.view);
    auto t0 = std::chrono::steady_clock::now();
    view_set_zoom_percent(h.view, 100);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    ViewStats full = view_stats(h.view);
    const ViewGeometry g = h.geo();
    std::printf("slow page: %.0f ms, %d progressive repaints, %lld rows shown of %d\n", ms,
                full.progressRepaints, full.progressRows, g.bandHeight);
    EXPECT_EQ(full.aborts, 0);
    if (ms > 300) {
        EXPECT_GE(full.progressRepaints, 1);
        EXPECT_LE(full.progressRepaints, int(ms / 100) + 1) << "at most every 100 ms";
    }
    // A Page Down waiting in the queue stops the next render at its first repaint.
    Sleep(120);
    PostMessageA(h.view, WM_KEYDOWN, VK_NEXT, 0);
    view_reset_stats(h.view);
    t0 = std::chrono::steady_clock::now();
    view_set_zoom_percent(h.view, 100);
    const double stopped_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    ViewStats st = view_stats(h.view);
    std::printf("aborted render: %.0f ms, %lld rows shown before the abort\n", stopped_ms, st.progressRows);
    EXPECT_EQ(st.aborts, 1);
    EXPECT_LT(st.progressRows, g.bandHeight / 2);
    EXPECT_LT(stopped_ms, ms / 2);
    // The key then acts: one screen down in the tall page, and the band is completed.
    pump();
    EXPECT_EQ(h.geo().scrollY, view_clamp_scroll(g.clientH, g.contentH, g.clientH));
    EXPECT_EQ(view_stats(h.view).aborts, 1);
    EXPECT_GE(h.geo().bandHeight, 1);
}

TEST(View, DamagedFilesShowWhatCouldBeDrawn)
{
    std::string bytes = testsupport::read_file(kSample);
    ASSERT_GT(bytes.size(), 2000u);
    struct Row {
        std::string path;
        bool opens;
    };
    std::vector<Row> rows = {
        {scratch_file("cut.pdf", bytes.substr(0, bytes.size() * 3 / 4)), true},  // no cross-reference left
        {scratch_file("junk.pdf", bytes.substr(0, bytes.size() / 2) + std::string(300, '\x9f') +
                                      bytes.substr(bytes.size() / 2)),
         true},  // every offset behind the middle is wrong
    };
    std::string dir = testsupport::corpus_dir();
    if (!dir.empty()) {
        rows.push_back({dir + "/pdf/dmg-no-xref-simple2.pdf", true});       // vector art, no xref
        rows.push_back({dir + "/pdf/dmg-truncate-refcard-lfun.pdf", false});  // nothing left to show
    }
    Host h(600, 700);
    ASSERT_EQ(view_open(h.view, kSample.c_str()), 0);
    for (const Row &r : rows) {
        SCOPED_TRACE(r.path);
        Document *before = view_document(h.view);
        if (!r.opens) {
            EXPECT_NE(view_open(h.view, r.path.c_str()), 0);
            EXPECT_EQ(view_document(h.view), before);
            continue;
        }
        ASSERT_EQ(view_open(h.view, r.path.c_str()), 0);
        view_set_zoom_percent(h.view, 50);
        Capture cap = capture(h.view);
        ViewGeometry g = h.geo();
        int ink = 0;
        for (int y = std::max(0, -g.scrollY); y < std::min(cap.h, g.contentH - g.scrollY); y++)
            for (int x = std::max(0, -g.scrollX); x < std::min(cap.w, g.contentW - g.scrollX); x++)
                ink += cap.at(x, y) != 0xFFFFFFu;
        EXPECT_GT(ink, 100) << "something of the page is drawn";
    }
}

TEST(View, FrameStatusFollowsTheView)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    ASSERT_EQ(frame_open_path(fs, kSample.c_str(), nullptr), 0);
    EXPECT_EQ(status_text(fs.status, 0), "Seite 1 / 3");
    // Changes made inside the view reach the status bar through WM_APP+1.
    SendMessageA(fs.view, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(status_text(fs.status, 0), "Seite 3 / 3");
    view_set_zoom_percent(fs.view, 100);
    SendMessageA(fs.view, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 120), 0);
    EXPECT_EQ(status_text(fs.status, 2), "125%");
    f.command(CMD_ZOOM_IN);
    EXPECT_EQ(status_text(fs.status, 2), "156%");
    f.command(CMD_FIRST_PAGE);
    EXPECT_EQ(status_text(fs.status, 0), "Seite 1 / 3");
    clear_settings();
}

TEST(View, DocumentWithoutPagesFailsAndThePreviousOneStays)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    ASSERT_EQ(frame_open_path(fs, kSample.c_str(), nullptr), 0);
    Document *before = view_document(fs.view);
    std::string empty = scratch_file("nopages.pdf", testsupport::simple_pdf(0));
    Document *probe = nullptr;
    ASSERT_EQ(doc_open(&probe, empty.c_str(), nullptr), -1) << "a PDF without pages is no document";
    EXPECT_EQ(probe, nullptr);
    boxes().clear();
    EXPECT_EQ(view_open(fs.view, empty.c_str()), -1);
    EXPECT_NE(frame_open_path(fs, empty.c_str(), nullptr), 0);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Diese Datei kann nicht als Dokument ge\xf6" "ffnet werden.");
    EXPECT_EQ(view_document(fs.view), before);
    EXPECT_EQ(view_page_count(fs.view), 3);
    EXPECT_GT(view_geometry(fs.view).bandHeight, 0) << "still shown";
    clear_settings();
}

namespace {

struct PromptLog {
    int shown = 0;
    int offCentre = 0;  // largest distance of a prompt's centre from the host's
    bool passwordStyle = true;
    std::string prompt;
};

// Opens the file while a second thread answers the password dialogs: each
// answer is typed and confirmed, or "" cancels.
int open_answering(HWND view, const std::string &path, const std::vector<std::string> &answers, PromptLog &log)
{
    std::thread worker([&] {
        for (const std::string &a : answers) {
            HWND dlg = nullptr;
            for (int i = 0; i < 500 && !dlg; i++) {
                dlg = FindWindowA("#32770", "Kennwort erforderlich");
                if (!dlg)
                    Sleep(10);
            }
            if (!dlg)
                return;
            for (int i = 0; i < 500 && !IsWindowVisible(dlg); i++)
                Sleep(10);  // its controls exist once it is shown
            log.shown++;
            RECT d, o;
            GetWindowRect(dlg, &d);
            GetWindowRect(GetAncestor(view, GA_ROOT), &o);
            log.offCentre = std::max({log.offCentre, int(std::abs((d.left + d.right) - (o.left + o.right)) / 2),
                                      int(std::abs((d.top + d.bottom) - (o.top + o.bottom)) / 2)});
            HWND edit = GetDlgItem(dlg, IDC_PASSWORD);
            if (!(GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD))
                log.passwordStyle = false;
            for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                char cls[32] = "", text[200] = "";
                GetClassNameA(c, cls, sizeof cls);
                GetWindowTextA(c, text, sizeof text);
                if (!lstrcmpiA(cls, "Static"))
                    log.prompt = text;
            }
            if (a.empty()) {
                SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
            } else {
                SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.c_str()));
                SendMessageA(dlg, WM_COMMAND, IDOK, 0);
            }
            for (int i = 0; i < 500 && IsWindow(dlg); i++)
                Sleep(10);
        }
    });
    int rc = view_open(view, path.c_str());
    worker.join();
    return rc;
}

}  // namespace

TEST(View, PasswordPromptRetriesUntilAcceptedOrCancelled)
{
    Host h(700, 560);
    struct Row {
        std::vector<std::string> answers;
        int result;
    } rows[] = {
        {{""}, -6},                       // cancelled at once
        {{"falsch", "nochmal", ""}, -6},  // wrong twice, then cancelled
        {{"falsch", "u"}, 0},             // user password on the second try
        {{"o"}, 0},                       // the owner password opens too
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.answers.size() << " answers");
        ASSERT_EQ(view_open(h.view, kSample.c_str()), 0);
        Document *sample = view_document(h.view);
        PromptLog log;
        int rc = open_answering(h.view, kEncrypted, r.answers, log);
        EXPECT_EQ(rc, r.result);
        EXPECT_EQ(log.shown, int(r.answers.size()));
        EXPECT_TRUE(log.passwordStyle);
        EXPECT_LE(log.offCentre, 1) << "the prompt is not centred on its window";
        EXPECT_EQ(log.prompt, "Dieses Dokument ist kennwortgesch\xfctzt. Geben Sie das Kennwort ein:");
        if (rc == 0) {
            EXPECT_EQ(view_page_count(h.view), 3);
            EXPECT_NE(view_document(h.view), sample);
        } else {
            EXPECT_EQ(view_document(h.view), sample) << "the open Document stays";
        }
    }
}
