// The frame as a real window under the real registry: placement, title,
// status bar, menus and accelerators, enable rules, toolbar, recent files,
// the command line, the open routine's failure path and panel layout.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"
#include "shell_test_support.h"

using namespace shelltest;

namespace {

RECT window_rect(HWND hwnd)
{
    RECT r;
    GetWindowRect(hwnd, &r);
    return r;
}

// Sends WM_INITMENUPOPUP for every submenu, as opening each would.
void init_all_menus(HWND frame, HMENU menu)
{
    for (int i = 0; i < GetMenuItemCount(menu); i++)
        if (HMENU sub = GetSubMenu(menu, i)) {
            SendMessageA(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), MAKELPARAM(i, 0));
            init_all_menus(frame, sub);
        }
}

}  // namespace

TEST(Frame, PlacementRules)
{
    const int U = 0x7FFFFFFF;
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    struct Row {
        int x, y, w, h, max;
        int ew, eh;  // expected size
        bool stored, maximized;
    } rows[] = {
        {40, 30, 640, 480, 0, 640, 480, true, false},
        {40, 30, 199, 480, 1, 720, 560, false, false},  // W = 199: ignored entirely
        {U, 30, 640, 480, 1, 720, 560, false, false},   // X unset
        {0, 0, cx + 40, cy + 40, 0, cx, cy, true, false},  // clamped to the screen
        {40, 30, 640, 480, 1, 0, 0, true, true},        // maximised
    };
    for (const Row &r : rows) {
        clear_settings();
        settings_write("WinX", r.x);
        settings_write("WinY", r.y);
        settings_write("WinW", r.w);
        settings_write("WinH", r.h);
        settings_write("WinMax", r.max);
        Frame f;
        SCOPED_TRACE(testing::Message() << r.x << "," << r.y << " " << r.w << "x" << r.h);
        WINDOWPLACEMENT wp = {sizeof wp};
        GetWindowPlacement(f.hwnd, &wp);
        RECT n = wp.rcNormalPosition;
        EXPECT_EQ(bool(IsZoomed(f.hwnd)), r.maximized);
        if (!r.maximized) {
            EXPECT_EQ(n.right - n.left, r.ew);
            EXPECT_EQ(n.bottom - n.top, r.eh);
        }
        if (r.stored) {
            EXPECT_EQ(n.left, r.x);
            EXPECT_EQ(n.top, r.y);
        }
    }
    clear_settings();
}

TEST(Frame, PlacementStoredOnDestroy)
{
    clear_settings();
    {
        Frame f;
        MoveWindow(f.hwnd, 33, 44, 500, 400, TRUE);
    }
    EXPECT_EQ(settings_get("WinX"), 33);
    EXPECT_EQ(settings_get("WinY"), 44);
    EXPECT_EQ(settings_get("WinW"), 500);
    EXPECT_EQ(settings_get("WinH"), 400);
    EXPECT_EQ(settings_get("WinMax"), 0);
    clear_settings();
    settings_write("RememberWindow", 0);
    { Frame f; }
    EXPECT_EQ(settings_get("WinW"), 0);  // nothing stored
    clear_settings();
}

TEST(Frame, TitleStatusAndClasses)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    EXPECT_EQ(window_text(f.hwnd), "Vellumix");
    char name[64];
    GetClassNameA(fs.view, name, sizeof name);
    EXPECT_STREQ(name, "Pagrix95View");
    GetClassNameA(fs.thumbs, name, sizeof name);
    EXPECT_STREQ(name, "Pagrix95Thumbs");
    EXPECT_EQ(GetDlgCtrlID(fs.status), IDC_STATUSBAR);
    EXPECT_EQ(GetDlgCtrlID(fs.bookmarks), IDC_BOOKMARKS);

    RECT client;
    GetClientRect(f.hwnd, &client);
    int parts[4] = {};
    ASSERT_EQ(SendMessageA(fs.status, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)), 3);
    EXPECT_EQ(parts[0], client.right - 240);
    EXPECT_EQ(parts[1], client.right - 56);
    EXPECT_EQ(status_text(fs.status, 0), "");  // no page shown
    EXPECT_EQ(status_text(fs.status, 2), "");

    // The view sits between toolbar and status bar over the full width.
    RECT view = window_rect(fs.view), tb = window_rect(fs.toolbar), sb = window_rect(fs.status);
    EXPECT_EQ(view.top, tb.bottom);
    EXPECT_EQ(view.bottom, sb.top);
    EXPECT_EQ(view.right - view.left, client.right);

    // Documents named like this would show the full path in the title.
    strcpy(fs.documentName, "C:\\x\\a.pdf");
    frame_refresh_title(fs);
    EXPECT_EQ(window_text(f.hwnd), "C:\\x\\a.pdf - Vellumix");
    fs.documentName[0] = 0;
}

TEST(Menus, CaptionsOfEveryCommand)
{
    clear_settings();
    Frame f;
    HMENU menu = GetMenu(f.hwnd);
    ASSERT_TRUE(menu);
    const char *bar[] = {"&Datei", "&Bearbeiten", "&Ansicht", "E&xtras", "&Seite", "&Hilfe"};
    ASSERT_EQ(GetMenuItemCount(menu), 6);
    for (int i = 0; i < 6; i++) {
        char text[64];
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, bar[i]);
    }
    struct Row {
        int id;
        const char *caption;
    } rows[] = {
        {40001, "&\xD6" "ffnen...\tStrg+O"}, {40002, "S&chlie\xDF" "en\tStrg+W"},
        {40006, "Doku&menteigenschaften...\tStrg+D"}, {40010, "Seite &exportieren als..."},
        {40004, "&Drucken...\tStrg+P"}, {40009, "&Optionen...\tStrg+K"}, {40003, "&Beenden"},
        {40254, "&Kopieren\tStrg+C"}, {40255, "Alles &markieren\tStrg+A"},
        {40253, "Seite als Bild ko&pieren"}, {40250, "&Suchen...\tStrg+F"},
        {40251, "&Weitersuchen\tF3"}, {40252, "&Vorherige suchen\tUmschalt+F3"},
        {40103, "&Originalgr\xF6\xDF" "e\tStrg+1"}, {40104, "Ganze &Seite\tStrg+2"},
        {40105, "Seiten&breite\tStrg+3"}, {40110, "&Zoom...\tStrg+L"},
        {40101, "Ver&gr\xF6\xDF" "ern\t+"}, {40102, "Ver&kleinern\t-"},
        {40122, "Im &Uhrzeigersinn drehen\tStrg+R"},
        {40123, "&Gegen den Uhrzeigersinn drehen\tStrg+Umschalt+R"},
        {40111, "&Vollbild\tStrg+Umschalt+L"}, {40112, "&Einzelne Seite"}, {40113, "&Fortlaufend"},
        {40117, "&Nur Seite"}, {40118, "&Miniaturansichten"}, {40119, "Miniaturansichten und Sei&te"},
        {40120, "&Lesezeichen und Seite"}, {40121, "&Artikel...\tStrg+Umschalt+A"},
        {40130, "&Automatisch erkennen"}, {40131, "&UTF-8"}, {40132, "UTF-16 &LE"},
        {40133, "UTF-16 &BE"}, {40134, "&Windows-1254 (T\xFCrkisch)"},
        {40135, "&ISO-8859-9 (Latin-5)"}, {40136, "OEM 8&57 (DOS-T\xFCrkisch)"},
        {40137, "OEM 8&50 (DOS-Latin-1)"}, {40138, "Windows-125&2"}, {40139, "OEM &437 (DOS-USA)"},
        {40140, "A&SCII"}, {40141, "&Mac-T\xFCrkisch"}, {40142, "Nicht&proportionale Schrift"},
        {40109, "G&raustufen"}, {40107, "S&ymbolleiste"}, {40115, "Gro\xDF" "e Sc&haltfl\xE4" "chen"},
        {40108, "Statusle&iste"}, {40260, "&Hand"}, {40261, "&Text ausw\xE4hlen"},
        {40201, "&N\xE4" "chste\tBild-ab"}, {40202, "&Vorherige\tBild-auf"}, {40203, "&Erste\tPos1"},
        {40204, "&Letzte\tEnde"}, {40205, "&Gehe zu...\tStrg+G"}, {40206, "&Zur\xFC" "ck\tAlt+Nach-links"},
        {40207, "Vor&w\xE4rts\tAlt+Nach-rechts"}, {40300, "&Hilfethemen\tF1"},
        {40301, "&Info \xFC" "ber Vellumix..."},
    };
    for (const Row &r : rows)
        EXPECT_EQ(menu_text(menu, r.id), r.caption) << r.id;
    // 40262 appears twice: once under Bearbeiten, once under Extras.
    char text[64];
    GetMenuStringA(GetSubMenu(menu, 1), 3, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Auswahl als Bild kopieren");
    GetMenuStringA(GetSubMenu(menu, 3), 2, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&Schnappschuss");
    // Initial marks.
    for (int id : {40112, 40117, 40142, 40107, 40108, 40260})
        EXPECT_TRUE(menu_checked(menu, id)) << id;
    for (int id : {40113, 40118, 40115, 40261, 40109})
        EXPECT_FALSE(menu_checked(menu, id)) << id;
    MENUITEMINFOA help = {sizeof help, MIIM_TYPE};
    GetMenuItemInfoA(menu, 5, TRUE, &help);
    EXPECT_TRUE(help.fType & MFT_RIGHTJUSTIFY);
}

TEST(Menus, AcceleratorTable)
{
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCEL));
    ASSERT_TRUE(table);
    ACCEL keys[64];
    int n = CopyAcceleratorTableA(table, keys, 64);
    struct Row {
        BYTE mods;  // FCONTROL, FSHIFT, FALT
        WORD key;
        WORD command;
    } rows[] = {
        {0, VK_F1, 40300}, {FCONTROL, 'O', 40001}, {FCONTROL, 'W', 40002}, {FCONTROL, 'D', 40006},
        {FCONTROL, 'P', 40004}, {0, VK_ADD, 40101}, {0, VK_SUBTRACT, 40102}, {0, 0xBB, 40101},
        {0, 0xBD, 40102}, {FCONTROL, '1', 40103}, {FCONTROL, '2', 40104}, {FCONTROL, '3', 40105},
        {FALT, VK_LEFT, 40206}, {FALT, VK_RIGHT, 40207}, {FCONTROL, 'F', 40250},
        {FCONTROL, 'C', 40254}, {FCONTROL, 'A', 40255}, {0, VK_F3, 40251}, {FSHIFT, VK_F3, 40252},
        {FCONTROL, 'G', 40205}, {FCONTROL, 'T', 40106}, {FCONTROL, 'B', 40116},
        {FCONTROL, 'L', 40110}, {FCONTROL | FSHIFT, 'L', 40111}, {FCONTROL, 'R', 40122},
        {FCONTROL | FSHIFT, 'R', 40123}, {FCONTROL | FSHIFT, 'A', 40121}, {FCONTROL, 'K', 40009},
    };
    EXPECT_EQ(n, int(sizeof rows / sizeof rows[0]));
    for (const Row &r : rows) {
        bool found = false;
        for (int i = 0; i < n; i++)
            if (keys[i].key == r.key && (keys[i].fVirt & (FCONTROL | FSHIFT | FALT)) == r.mods &&
                (keys[i].fVirt & FVIRTKEY))
                found = keys[i].cmd == r.command;
        EXPECT_TRUE(found) << r.command;
    }
    DestroyAcceleratorTable(table);
}

TEST(Menus, EnableRulesWithoutDocument)
{
    clear_settings();
    Frame f;
    HMENU menu = GetMenu(f.hwnd);
    init_all_menus(f.hwnd, menu);
    for (int id : {40001, 40003, 40009, 40107, 40108, 40115, 40300, 40301})
        EXPECT_TRUE(menu_enabled(menu, id)) << id;
    for (int id : {40002, 40004, 40006, 40010, 40101, 40103, 40117, 40120, 40121, 40122, 40201,
                   40205, 40250, 40254, 40260, 40262, 40130, 40142})
        EXPECT_FALSE(menu_enabled(menu, id)) << id;
    // The toolbar follows the same rules.
    FrameState &fs = f.state();
    EXPECT_TRUE(SendMessageA(fs.toolbar, TB_ISBUTTONENABLED, 40001, 0));
    for (int id : {40004, 40201, 40117, 40120, 40101})
        EXPECT_FALSE(SendMessageA(fs.toolbar, TB_ISBUTTONENABLED, id, 0)) << id;
    EXPECT_FALSE(IsWindowEnabled(fs.pageEdit));
    EXPECT_FALSE(IsWindowEnabled(fs.zoomCombo));
    // Commands that need a Document do nothing without one.
    for (int id : {40004, 40006, 40007, 40008, 40110, 40121, 40205, 40201, 40101})
        f.command(id);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(window_text(f.hwnd), "Vellumix");
}

TEST(Menus, HelpTextsInStatusBar)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    HMENU file = GetSubMenu(GetMenu(f.hwnd), 0);
    struct Row {
        UINT item, flags;
        const char *text;
    } rows[] = {
        {40001, MF_STRING, "\xD6" "ffnet ein Dokument"},
        {40402, MF_STRING, "\xD6" "ffnet dieses zuletzt verwendete Dokument"},
        {40135, MF_STRING, "Interpretiert die Textdatei mit dieser Zeichencodierung"},
        {0, MF_POPUP, ""},
        {0, MF_SEPARATOR, ""},
    };
    for (const Row &r : rows) {
        SendMessageA(f.hwnd, WM_MENUSELECT, MAKEWPARAM(r.item, r.flags), reinterpret_cast<LPARAM>(file));
        EXPECT_TRUE(SendMessageA(fs.status, SB_ISSIMPLE, 0, 0));
        EXPECT_EQ(status_text(fs.status, 0), r.text) << r.item;  // the simple pane
    }
    SendMessageA(f.hwnd, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);  // the menu closed
    EXPECT_FALSE(SendMessageA(fs.status, SB_ISSIMPLE, 0, 0));
}

TEST(Toolbar, ButtonsTooltipsAndLargeButtons)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    EXPECT_EQ(SendMessageA(fs.toolbar, TB_BUTTONCOUNT, 0, 0), 27);
    struct Row {
        int command;
        const char *tip;
    } rows[] = {
        {40001, "\xD6" "ffnen"}, {40201, "N\xE4" "chste Seite"}, {40262, "Schnappschuss - Auswahl kopieren"},
        {40120, "Lesezeichen und Seite"}, {40123, "Gegen den Uhrzeigersinn drehen"},
        {40103, "Originalgr\xF6\xDF" "e"}, {40105, "Seitenbreite"},
    };
    for (const Row &r : rows) {
        NMTTDISPINFOA info = {};
        info.hdr.hwndFrom = fs.toolbar;
        info.hdr.idFrom = r.command;
        info.hdr.code = TTN_GETDISPINFOA;
        SendMessageA(f.hwnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_STREQ(info.lpszText, r.tip);
    }
    EXPECT_EQ(GetDlgCtrlID(fs.pageEdit), IDC_PAGE_EDIT);
    EXPECT_EQ(GetDlgCtrlID(fs.zoomCombo), IDC_ZOOM_COMBO);
    EXPECT_EQ(SendMessageA(fs.zoomCombo, CB_GETCOUNT, 0, 0), 7);
    RECT slot;
    SendMessageA(fs.toolbar, TB_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&slot));
    EXPECT_EQ(slot.right - slot.left, 40);

    f.command(40119);  // panel mode and tool survive the rebuild
    f.command(40115);
    EXPECT_EQ(settings_get("LargeButtons"), 1);
    EXPECT_TRUE(menu_checked(GetMenu(f.hwnd), 40115));
    EXPECT_EQ(SendMessageA(fs.toolbar, TB_BUTTONCOUNT, 0, 0), 27);
    SendMessageA(fs.toolbar, TB_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&slot));
    EXPECT_EQ(slot.right - slot.left, 52);
    EXPECT_TRUE(fs.largeFont);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(fs.pageEdit, WM_GETFONT, 0, 0)), fs.largeFont);
    EXPECT_TRUE(SendMessageA(fs.toolbar, TB_ISBUTTONCHECKED, 40119, 0));
    EXPECT_TRUE(SendMessageA(fs.toolbar, TB_ISBUTTONCHECKED, 40260, 0));
    f.command(40115);
    EXPECT_EQ(settings_get("LargeButtons"), 0);
    clear_settings();
}

TEST(Panels, ModesTogglesAndSplitter)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    HMENU menu = GetMenu(f.hwnd);
    f.command(40106);  // Ctrl+T
    EXPECT_EQ(fs.panelMode, PANEL_THUMBS_AND_PAGE);
    EXPECT_TRUE(menu_checked(menu, 40119));
    EXPECT_TRUE(IsWindowVisible(fs.thumbs));
    EXPECT_EQ(fs.splitterX, 180);
    EXPECT_EQ(window_rect(fs.view).left - window_rect(fs.thumbs).left, 185);
    f.command(40106);  // Ctrl+T again
    EXPECT_EQ(fs.panelMode, PANEL_PAGE_ONLY);
    EXPECT_TRUE(menu_checked(menu, 40117));
    EXPECT_FALSE(IsWindowVisible(fs.thumbs));
    f.command(40120);
    f.command(40116);  // Ctrl+B in the bookmarks layout
    EXPECT_EQ(fs.panelMode, PANEL_PAGE_ONLY);
    f.command(40118);
    EXPECT_FALSE(IsWindowVisible(fs.view));

    // Dragging the splitter to the left stops at 90 and is stored.
    f.command(40120);
    RECT view = window_rect(fs.view);
    POINT pt = {view.left, view.top};
    ScreenToClient(f.hwnd, &pt);
    int y = pt.y + 10, x = fs.splitterX + 2;
    SendMessageA(f.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(f.hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x - 150, y));
    SendMessageA(f.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x - 150, y));
    EXPECT_EQ(fs.panelWidth, 90);
    EXPECT_EQ(settings_get("PanelWidth"), 90);
    // A narrow window keeps the view at client width - 205, but 90 wins.
    MoveWindow(f.hwnd, 0, 0, 260, 400, TRUE);
    pump();
    EXPECT_EQ(fs.panelWidth, 90);
    fs.panelWidth = 5000;
    MoveWindow(f.hwnd, 0, 0, 700, 400, TRUE);
    pump();
    RECT client;
    GetClientRect(f.hwnd, &client);
    EXPECT_EQ(fs.panelWidth, client.right - 205);
    // The status bar and toolbar toggles.
    f.command(40108);
    EXPECT_FALSE(IsWindowVisible(fs.status));
    EXPECT_FALSE(menu_checked(menu, 40108));
    f.command(40107);
    EXPECT_FALSE(IsWindowVisible(fs.toolbar));
    clear_settings();
}

TEST(Recent, LoadedFromRegistryIntoMenu)
{
    clear_settings();
    std::string long_name = "0123456789abcdefghijklmnopqrstuvwxyzABCDE.pdf";  // 45 characters
    settings_write_string("Recent", "File1", "C:\\docs\\first.pdf");
    settings_write_string("Recent", "File2", ("C:\\docs\\" + long_name).c_str());
    settings_write_string("Recent", "File3", "");  // an empty value ends the list
    settings_write_string("Recent", "File4", "C:\\docs\\never.pdf");
    settings_write_string("Recent", "FileW1", "C:\\docs\\f\xC3\xBCrst.pdf");  // UTF-8
    Frame f;
    FrameState &fs = f.state();
    ASSERT_EQ(fs.recentFiles.count, 2);
    if (fs.isNT) {
        EXPECT_EQ(std::wstring(reinterpret_cast<wchar_t *>(fs.recentFiles.entries[0].wide)),
                  L"C:\\docs\\f\u00fcrst.pdf");
    }
    HMENU menu = GetMenu(f.hwnd), file = GetSubMenu(menu, 0);
    EXPECT_EQ(menu_text(menu, 40400), "&1 first.pdf");
    EXPECT_EQ(menu_text(menu, 40401), "&2 0123456789abcdefgh...qrstuvwxyzABCDE.pdf");
    EXPECT_EQ(menu_text(menu, 40402), "");
    // The entries stand right before "&Beenden".
    int n = GetMenuItemCount(file);
    EXPECT_EQ(GetMenuItemID(file, n - 1), 40003u);
    EXPECT_EQ(GetMenuItemID(file, n - 2), 40401u);
    EXPECT_EQ(GetMenuItemID(file, n - 3), 40400u);
    // Choosing an entry whose file is gone shows the open failure.
    f.command(40400);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Diese Datei kann nicht als Dokument ge\xF6" "ffnet werden.");
    EXPECT_EQ(boxes()[0].caption, "Vellumix");
    f.command(40405);  // beyond the count: ignored
    EXPECT_EQ(boxes().size(), 1u);
    clear_settings();
}

TEST(CommandLine, FormsAndFailedOpen)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    struct Row {
        const char *args;
        const wchar_t *wide;  // the wide command line, or null for the ANSI route
        const char *tried;    // path handed to the open routine, "" for none
    } rows[] = {
        {"C:\\nirgends\\a.pdf", nullptr, "C:\\nirgends\\a.pdf"},
        {"\"C:\\nir gends\\b.pdf\" x", nullptr, "C:\\nir gends\\b.pdf"},
        {"   \t ", nullptr, ""},
        {"/p", nullptr, ""},
        {"/x \"C:\\nir gends\\c.pdf\"", L"pagrix.exe /x \"C:\\nir gends\\c.pdf\"", "C:\\nir gends\\c.pdf"},
        {"", L"pagrix.exe   ", ""},
        {"", L"pagrix.exe -p", ""},
    };
    for (const Row &r : rows) {
        boxes().clear();
        fs.openPathA[0] = 0;
        bool opened = frame_open_command_line(fs, r.args, r.wide);
        SCOPED_TRACE(r.args);
        EXPECT_FALSE(opened);
        EXPECT_STREQ(fs.openPathA, r.tried);
        EXPECT_EQ(boxes().size(), r.tried[0] ? 1u : 0u);
        EXPECT_EQ(window_text(f.hwnd), "Vellumix");
    }
    // An unquoted path with blanks is split by the wide parser; the whole
    // text still opens it, and no failure is shown on the way.
    std::string spaced = scratch_file("mit Leerzeichen.pdf", a4_pdf(2));
    wchar_t wide[400];
    MultiByteToWideChar(CP_ACP, 0, ("pagrix.exe " + spaced).c_str(), -1, wide, 400);
    boxes().clear();
    EXPECT_TRUE(frame_open_command_line(fs, spaced.c_str(), fs.isNT ? wide : nullptr));
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(window_text(f.hwnd), spaced + " - Vellumix");
    clear_settings();
}

TEST(Open, FailureKeepsPreviousDocument)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    std::string good = scratch_file("good.pdf", a4_pdf());
    ASSERT_EQ(frame_open_path(fs, good.c_str(), nullptr), 0);
    EXPECT_EQ(window_text(f.hwnd), good + " - Vellumix");
    EXPECT_EQ(status_text(fs.status, 0), "Seite 1 / 1");
    EXPECT_EQ(status_text(fs.status, 1), "8,3 x 11,7 Zoll");
    EXPECT_NE(status_text(fs.status, 2).find('%'), std::string::npos);
    boxes().clear();
    EXPECT_NE(frame_open_path(fs, "C:\\nirgends\\x.pdf", nullptr), 0);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "Diese Datei kann nicht als Dokument ge\xF6" "ffnet werden.");
    EXPECT_EQ(window_text(f.hwnd), good + " - Vellumix");
    EXPECT_TRUE(view_document(fs.view));
    // With a Document the rules enable the Document commands.
    HMENU menu = GetMenu(f.hwnd);
    init_all_menus(f.hwnd, menu);
    for (int id : {40002, 40101, 40117, 40122, 40260})
        EXPECT_TRUE(menu_enabled(menu, id)) << id;
    for (int id : {40201, 40120, 40121})  // one page, no outline, no threads
        EXPECT_FALSE(menu_enabled(menu, id)) << id;
    f.command(40002);
    EXPECT_EQ(window_text(f.hwnd), "Vellumix");
    EXPECT_EQ(status_text(fs.status, 0), "");
    clear_settings();
}

TEST(Open, TypeNoticeAndRecentOrder)
{
    clear_settings();
    Frame f;
    FrameState &fs = f.state();
    std::string txt = scratch_file("really_pdf.txt", a4_pdf());
    std::string dat = scratch_file("really_pdf.dat", a4_pdf());
    ASSERT_EQ(frame_open_path(fs, txt.c_str(), nullptr), 0);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].caption, "Dateityp stimmt nicht \xFC" "berein");
    EXPECT_EQ(boxes()[0].text, "Diese Datei hat die Erweiterung .txt, aber ihr tats\xE4" "chlicher Inhalt ist ein "
                               "PDF Document.\n\nSie wurde als PDF Document ge\xF6" "ffnet.");
    boxes().clear();
    ASSERT_EQ(frame_open_path(fs, dat.c_str(), nullptr), 0);
    EXPECT_TRUE(boxes().empty());

    // Seven files: the oldest drops off; re-opening moves to the top.
    std::string paths[7];
    for (int i = 0; i < 7; i++) {
        paths[i] = scratch_file("r" + std::to_string(i) + ".pdf", a4_pdf());
        ASSERT_EQ(frame_open_path(fs, paths[i].c_str(), nullptr), 0);
    }
    EXPECT_EQ(fs.recentFiles.count, 6);
    EXPECT_EQ(recent_find(fs.recentFiles, paths[1].c_str()), 5);
    std::string upper = paths[3];
    for (char &c : upper)
        c = char(toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(frame_open_path(fs, upper.c_str(), nullptr), 0);
    EXPECT_EQ(fs.recentFiles.count, 6);
    EXPECT_EQ(recent_find(fs.recentFiles, paths[3].c_str()), 0);
    char stored[260];
    ASSERT_TRUE(settings_read_string("Recent", "File1", stored, sizeof stored));
    EXPECT_EQ(std::string(stored), upper);
    EXPECT_TRUE(settings_read_string("Recent", "File6", stored, sizeof stored));
    EXPECT_EQ(menu_text(GetMenu(f.hwnd), 40400), "&1 R3.PDF");
    clear_settings();
}
