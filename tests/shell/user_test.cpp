// The shell as a user meets it: keys typed and buttons clicked through the
// system's input queue (SendInput), and the pixels that end up on the screen
// read back from the windows' device contexts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"
#include "shell_test_support.h"

using namespace shelltest;

namespace {

constexpr uint32_t STRIP_BACKGROUND = 0xC0C0C0;

uint32_t rgb(COLORREF c) { return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c); }

bool is_grey(uint32_t c) { return (c >> 16 & 0xFF) == (c >> 8 & 0xFF) && (c >> 8 & 0xFF) == (c & 0xFF); }

int luminance(uint32_t c) { return int((c >> 16 & 0xFF) * 299 + (c >> 8 & 0xFF) * 587 + (c & 0xFF) * 114) / 1000; }

struct Pixels {
    int w = 0, h = 0;
    std::vector<uint32_t> px;  // 0x00RRGGBB, top-down
    uint32_t at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)] & 0xFFFFFF; }
};

// What the window's client area shows now, copied from its device context.
Pixels grab(HWND wnd)
{
    UpdateWindow(wnd);
    pump();
    Pixels p;
    RECT rc;
    GetClientRect(wnd, &rc);
    p.w = rc.right;
    p.h = rc.bottom;
    BITMAPINFO bi = dib32_info(p.w, p.h);
    void *bits = nullptr;
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    HDC dc = GetDC(wnd);
    BitBlt(mem, 0, 0, p.w, p.h, dc, 0, 0, SRCCOPY);
    ReleaseDC(wnd, dc);
    GdiFlush();
    const uint32_t *q = static_cast<const uint32_t *>(bits);
    p.px.assign(q, q + size_t(p.w) * size_t(p.h));
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    return p;
}

// Lets injected input arrive and be handled.
void settle(int ms = 120)
{
    for (int t = 0; t < ms; t += 10) {
        pump();
        Sleep(10);
    }
    pump();
}

// Pumps until `done` holds or about two seconds have passed; injected input
// takes its time on a busy machine.
template <class F>
bool wait_until(F done)
{
    for (int t = 0; t < 2000; t += 10) {
        pump();
        if (done())
            return true;
        Sleep(10);
    }
    pump();
    return done();
}

void press(WORD vk, bool shift = false)
{
    if (shift)
        send_key(VK_SHIFT, false);
    send_key(vk, false);
    send_key(vk, true);
    if (shift)
        send_key(VK_SHIFT, true);
}

// Types ASCII text key by key, with Shift for capitals.
void type_text(const char *text)
{
    for (const char *c = text; *c; c++) {
        SHORT k = VkKeyScanA(*c);
        press(WORD(LOBYTE(k)), (HIBYTE(k) & 1) != 0);
    }
    settle();
}

// A left click at a point of the window's client area.
void click(HWND wnd, int x, int y)
{
    send_click(wnd, x, y);
    settle();
}

void click_centre(HWND wnd)
{
    RECT r;
    GetClientRect(wnd, &r);
    click(wnd, r.right / 2, r.bottom / 2);
}

// Moves the pointer out of the way, so that no button is drawn hot.
void park_pointer()
{
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
    settle(60);
}

void bring_to_front(HWND top)
{
    SetForegroundWindow(top);
    SetActiveWindow(top);
    settle(60);
}

// The toolbar strip as the resource holds it: size x size images side by side.
Pixels strip(int id)
{
    HBITMAP bmp = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info = {};
    GetObjectA(bmp, sizeof info, &info);
    Pixels p;
    p.w = info.bmWidth;
    p.h = info.bmHeight;
    p.px.resize(size_t(p.w) * p.h);
    BITMAPINFO bi = dib32_info(p.w, p.h);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bmp, 0, p.h, p.px.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(bmp);
    return p;
}

struct Found {
    bool ok = false;
    int x = 0, y = 0;
};

// Where image `index` of the strip appears inside `r` of the capture: the
// offset at which every non-background pixel of the image matches exactly.
Found locate(const Pixels &shot, const RECT &r, const Pixels &art, int index, int size)
{
    for (int y = r.top; y + size <= r.bottom; y++)
        for (int x = r.left; x + size <= r.right; x++) {
            bool match = true;
            for (int j = 0; j < size && match; j++)
                for (int i = 0; i < size && match; i++) {
                    uint32_t a = art.at(index * size + i, j);
                    if (a != STRIP_BACKGROUND && shot.at(x + i, y + j) != a)
                        match = false;
                }
            if (match)
                return {true, x, y};
        }
    return {};
}

int ink_columns_left(const Pixels &p, int *right)
{
    int left = -1;
    *right = -1;
    for (int x = 0; x < p.w; x++)
        for (int y = 0; y < p.h; y++)
            if (luminance(p.at(x, y)) < 100) {
                if (left < 0)
                    left = x;
                *right = x;
                break;
            }
    return left;
}

std::string item_text(HWND dlg, int id)
{
    char buf[512] = "";
    GetDlgItemTextA(dlg, id, buf, sizeof buf);
    return buf;
}

POINT centre_of(HWND wnd)
{
    RECT r;
    GetWindowRect(wnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace

// Enabled icons sit on the button face with no square of the strip's grey
// around them, and disabled icons are greyed drawings, not solid tiles; both
// in the small and the large images.
TEST(UserSees, ToolbarIconsOnTheButtonFace)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    for (int large = 0; large < 2; large++) {
        SCOPED_TRACE(large ? "large buttons" : "small buttons");
        if (large)
            f.command(CMD_LARGE_BUTTONS);
        const int size = large ? 24 : 16;
        const Pixels art = strip(large ? IDB_TOOLBAR_LARGE : IDB_TOOLBAR_SMALL);
        ASSERT_EQ(art.w, 24 * size);
        bring_to_front(f.hwnd);
        park_pointer();
        const Pixels shot = grab(fs.toolbar);
        RECT open_r, print_r;
        SendMessageA(fs.toolbar, TB_GETRECT, CMD_OPEN, reinterpret_cast<LPARAM>(&open_r));
        SendMessageA(fs.toolbar, TB_GETRECT, CMD_PRINT, reinterpret_cast<LPARAM>(&print_r));
        // The toolbar's own background, in the corner of a flat button.
        const uint32_t face = shot.at(open_r.left + 1, open_r.top + 1);
        EXPECT_EQ(face, rgb(GetSysColor(COLOR_BTNFACE)));

        ASSERT_TRUE(SendMessageA(fs.toolbar, TB_ISBUTTONENABLED, CMD_OPEN, 0));
        Found at = locate(shot, open_r, art, 2, size);  // "Öffnen" is image 2
        ASSERT_TRUE(at.ok) << "the open icon's drawing is not on the screen unchanged";
        int background = 0, wrong = 0;
        for (int j = 0; j < size; j++)
            for (int i = 0; i < size; i++)
                if (art.at(2 * size + i, j) == STRIP_BACKGROUND) {
                    background++;
                    wrong += shot.at(at.x + i, at.y + j) != face;
                }
        EXPECT_GT(background, size * size / 4);
        EXPECT_EQ(wrong, 0) << "pixels of the strip's background differ from the button face";

        // "Drucken" (image 4) is disabled without a Document; it is drawn at
        // the same place within its button as the open icon is within its own.
        ASSERT_FALSE(SendMessageA(fs.toolbar, TB_ISBUTTONENABLED, CMD_PRINT, 0));
        const int px = print_r.left + (at.x - open_r.left), py = print_r.top + (at.y - open_r.top);
        int on_face = 0, drawn = 0, coloured = 0, background_drawn = 0;
        for (int j = 0; j < size; j++)
            for (int i = 0; i < size; i++) {
                uint32_t c = shot.at(px + i, py + j);
                if (c == face) {
                    on_face++;
                } else {
                    drawn++;
                    coloured += !is_grey(c);
                }
                if (art.at(4 * size + i, j) == STRIP_BACKGROUND && i > 0 && j > 0 &&
                    art.at(4 * size + i - 1, j - 1) == STRIP_BACKGROUND)
                    background_drawn += c != face;
            }
        EXPECT_EQ(background_drawn, 0) << "the disabled icon's background is not the button face";
        EXPECT_GT(drawn, size) << "the disabled icon shows nothing";
        EXPECT_GT(on_face, size * size / 4) << "the disabled icon is a solid tile";
        EXPECT_EQ(coloured, 0) << "the disabled icon keeps its colours";
    }
    clear_settings();
}

// The zoom box takes the words Enter understands typed key by key, Enter
// applies them and hands the focus back to the view, and its text is centred.
TEST(UserSees, ZoomBoxTypedWordsAndCentredText)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    std::string doc = scratch_file("zoom words.pdf", a4_pdf(2));
    ASSERT_EQ(frame_open_path(fs, doc.c_str(), nullptr), 0);
    f.command(CMD_FIT_WIDTH);
    const std::string fit_width = status_text(fs.status, 2);
    f.command(CMD_FIT_PAGE);
    const std::string fit_page = status_text(fs.status, 2);
    ASSERT_NE(fit_width, fit_page);
    HWND edit = GetWindow(fs.zoomCombo, GW_CHILD);
    ASSERT_TRUE(edit);
    bring_to_front(f.hwnd);

    struct Row {
        const char *typed;
        std::string shown;  // zoom in the status bar afterwards
    } rows[] = {
        {"Seitenbreite", fit_width}, {"Original", "100%"}, {"Ganze Seite", fit_page},
        {"250", "240%"},  // held by the view's memory limit
        {"50", "50%"},
    };
    RECT er;
    GetClientRect(edit, &er);
    int n = 0;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.typed);
        // Each click a few pixels from the last, so that no two make a double click.
        click(edit, er.right / 2 + (n++ % 2 ? 8 : -8), er.bottom / 2);
        ASSERT_TRUE(wait_until([&] { return GetFocus() == edit; })) << "a click does not focus the zoom box";
        press(VK_HOME);
        press(VK_END, true);  // select what is there, as the user would
        type_text(r.typed);
        EXPECT_TRUE(wait_until([&] { return window_text(edit) == r.typed; }))
            << "the zoom box refused characters: " << window_text(edit);
        press(VK_RETURN);
        EXPECT_TRUE(wait_until([&] { return GetFocus() == fs.view; })) << "Enter left the focus in the zoom box";
        EXPECT_EQ(status_text(fs.status, 2), r.shown);
    }

    // "50%" is shown centred: as much room left of the text as right of it.
    EXPECT_EQ(window_text(fs.zoomCombo), "50%");
    park_pointer();
    const Pixels shot = grab(edit);
    int right = -1, left = ink_columns_left(shot, &right);
    ASSERT_GE(left, 0) << "no text in the zoom box";
    const int room_left = left, room_right = shot.w - 1 - right;
    EXPECT_LE(std::abs(room_left - room_right), 3) << "text from " << left << " to " << right << " of " << shot.w;
    clear_settings();
}

// Switching tabs of the options sheet is no edit: "Apply" stays disabled until
// the user changes a control; the associations button is live.
TEST(UserSees, OptionsApplyOnlyAfterAnEdit)
{
    clear_settings();
    Frame f;
    HWND sheet = options_show(f.state(), true);
    ASSERT_TRUE(sheet);
    bring_to_front(sheet);
    HWND apply = GetDlgItem(sheet, 0x3021);  // the property sheet's Apply button
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    ASSERT_TRUE(apply && tabs);
    EXPECT_FALSE(IsWindowEnabled(apply)) << "when the sheet opens";
    for (int tab : {1, 2, 0, 1}) {
        RECT r;
        ASSERT_TRUE(SendMessageA(tabs, TCM_GETITEMRECT, tab, reinterpret_cast<LPARAM>(&r)));
        click(tabs, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        ASSERT_TRUE(wait_until([&] { return SendMessageA(tabs, TCM_GETCURSEL, 0, 0) == tab; }))
            << "the click missed the tab";
        settle();
        EXPECT_FALSE(IsWindowEnabled(apply)) << "after switching to tab " << tab;
    }
    HWND general = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    HWND associations = GetDlgItem(general, IDC_OPT_ASSOCIATIONS);
    ASSERT_TRUE(associations);
    EXPECT_TRUE(IsWindowEnabled(associations));
    // A real edit: a digit typed into the JPEG quality field.
    HWND jpeg = GetDlgItem(general, IDC_OPT_JPEG);
    click_centre(jpeg);
    ASSERT_TRUE(wait_until([&] { return GetFocus() == jpeg; }));
    press(VK_END);
    type_text("0");
    EXPECT_TRUE(wait_until([&] { return window_text(jpeg) == "900"; })) << window_text(jpeg);
    EXPECT_TRUE(IsWindowEnabled(apply)) << "after typing into a field";
    DestroyWindow(sheet);
    pump();
    clear_settings();
}

// The About box: "Vellumix" before the '#' names the title, the rest is the
// first line, and both credit lines are drawn inside the box, which sits
// centred on the frame. Enter closes it.
TEST(UserSees, AboutBoxTitleAndBothCreditLines)
{
    clear_settings();
    Frame f;
    bring_to_front(f.hwnd);
    struct Seen {
        bool shown = false;
        std::string title, first, credits;
        int credit_lines_drawn = 0;
        bool credits_fit = false, button_inside = false;
        POINT centre = {};
    } seen;
    std::atomic<bool> closed{false};
    std::thread worker([&] {
        HWND box = wait_for_dialog();
        if (!box)
            return;
        Sleep(100);
        seen.shown = true;
        seen.title = window_text(box);
        seen.first = item_text(box, IDC_ABOUT_APP);
        seen.credits = item_text(box, IDC_ABOUT_CREDITS);
        seen.centre = centre_of(box);
        HWND credits = GetDlgItem(box, IDC_ABOUT_CREDITS), ok = GetDlgItem(box, IDOK);
        RECT client, cr, br;
        GetClientRect(box, &client);
        GetWindowRect(credits, &cr);
        GetWindowRect(ok, &br);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT *>(&cr), 2);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT *>(&br), 2);
        // The text's wrapped height at the static's width fits the static,
        // and the static lies inside the box.
        RECT need = {0, 0, cr.right - cr.left, 0};
        HDC dc = GetDC(credits);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(credits, WM_GETFONT, 0, 0)));
        DrawTextA(dc, seen.credits.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(credits, dc);
        seen.credits_fit = need.bottom <= cr.bottom - cr.top && cr.bottom <= client.bottom && cr.top >= 0;
        seen.button_inside = br.top >= cr.bottom && br.bottom <= client.bottom;
        // Dark text pixels in each line's band of the credits static.
        const Pixels shot = grab(credits);
        const int line_h = std::max(1, int(tm.tmHeight));
        for (int line = 0; line * line_h < shot.h; line++) {
            int dark = 0;
            for (int y = line * line_h; y < std::min(shot.h, (line + 1) * line_h); y++)
                for (int x = 0; x < shot.w; x++)
                    dark += luminance(shot.at(x, y)) < 100;
            seen.credit_lines_drawn += dark > 10;
        }
        SetForegroundWindow(box);
        Sleep(50);
        press(VK_RETURN);
        for (int i = 0; i < 300 && IsWindow(box); i++)
            Sleep(10);
        closed = !IsWindow(box);
    });
    f.command(CMD_ABOUT);
    worker.join();
    ASSERT_TRUE(seen.shown) << "no About box";
    EXPECT_EQ(seen.title, "Info \xFC" "ber Vellumix");
    EXPECT_EQ(seen.first, "Windows Vellumix");
    EXPECT_NE(seen.credits.find("\r\nMit FreeType, IJG JPEG und zlib. Build 269"), std::string::npos)
        << seen.credits;
    EXPECT_TRUE(seen.credits_fit) << "the credits are cut off";
    EXPECT_TRUE(seen.button_inside);
    EXPECT_EQ(seen.credit_lines_drawn, 2);
    const POINT frame = centre_of(f.hwnd);
    EXPECT_LE(std::abs(seen.centre.x - frame.x), 1);
    EXPECT_LE(std::abs(seen.centre.y - frame.y), 1);
    EXPECT_TRUE(closed) << "Enter did not close the box";
    clear_settings();
}
