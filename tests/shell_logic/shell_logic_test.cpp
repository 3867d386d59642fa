// Pure decisions of the Windows shell: placement, recent files, menu labels,
// layout, enable rules, the command line and the toolbar fields.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/logic/shell_logic.h"

TEST(Placement, StoredValuesUsedOnlyWhenAllTestsHold)
{
    const int U = PLACEMENT_UNSET;
    struct Row {
        int remember;
        StoredPlacement s;
        bool stored;  // stored rectangle used
        int w, h;     // expected size
        bool maximized;
    } rows[] = {
        {1, {10, 20, 800, 600, 0}, true, 800, 600, false},     // plain
        {1, {10, 20, 800, 600, 1}, true, 800, 600, true},      // maximised
        {0, {10, 20, 800, 600, 1}, false, 720, 560, false},    // RememberWindow off
        {1, {10, 20, 199, 600, 1}, false, 720, 560, false},    // W = 199
        {1, {10, 20, 200, 150, 0}, true, 200, 150, false},     // the smallest allowed
        {1, {10, 20, 800, 149, 0}, false, 720, 560, false},    // H = 149
        {1, {U, 20, 800, 600, 1}, false, 720, 560, false},     // X unset
        {1, {10, U, 800, 600, 0}, false, 720, 560, false},     // Y unset
        {1, {-750, 0, 800, 600, 0}, false, 720, 560, false},   // X + W = 50
        {1, {-749, 0, 800, 600, 0}, true, 800, 600, false},    // X + W = 51
        {1, {0, -50, 800, 600, 0}, false, 720, 560, false},    // Y + 50 = 0
        {1, {1230, 0, 800, 600, 0}, false, 720, 560, false},   // X = cx - 50
        {1, {0, 974, 800, 600, 0}, false, 720, 560, false},    // Y = cy - 50
        {1, {0, 0, 1312, 1056, 0}, true, 1280, 1024, false},   // clamped to the screen
        {1, {0, 0, 1311, 1055, 0}, true, 1311, 1055, false},   // just below the clamp
        {1, {2147483000, 0, 2147483000, 600, 0}, false, 720, 560, false},  // no overflow
    };
    for (const Row &r : rows) {
        Placement p = placement_decide(r.remember, r.s, 1280, 1024);
        SCOPED_TRACE(testing::Message() << r.s.x << "," << r.s.y << " " << r.s.w << "x" << r.s.h);
        EXPECT_EQ(!p.use_default_position, r.stored);
        EXPECT_EQ(p.w, r.w);
        EXPECT_EQ(p.h, r.h);
        EXPECT_EQ(p.maximized, r.maximized);
        if (r.stored) {
            EXPECT_EQ(p.x, r.s.x);
            EXPECT_EQ(p.y, r.s.y);
        }
    }
}

static std::string paths(const RecentFiles &l)
{
    std::string s;
    for (int i = 0; i < l.count; i++)
        s += std::string(l.entries[i].path) + (i + 1 < l.count ? " " : "");
    return s;
}

TEST(Placement, BoxCentredOnOwnerInsideTheWorkArea)
{
    const int work[4] = {0, 0, 1280, 1000};
    struct Row {
        int owner[4];
        int w, h;
        int x, y;
    } rows[] = {
        {{100, 50, 820, 610}, 300, 120, 310, 270},     // centred on the owner, not the screen
        {{101, 50, 820, 611}, 300, 121, 310, 270},     // odd differences round towards the top left
        {{-600, -400, 120, 160}, 300, 120, 0, 0},      // owner mostly off screen: pushed inside
        {{1100, 900, 1820, 1460}, 300, 120, 980, 880}, // off the bottom right: pushed inside
        {{0, 0, 200, 100}, 1500, 1200, 0, 0},          // larger than the work area: top left shows
        {{-2147483647, 0, 2147483647, 100}, 300, 120, 0, 0},  // extreme rectangles do not overflow
    };
    for (const Row &r : rows) {
        BoxOrigin o = center_box_on_owner(r.owner, r.w, r.h, work);
        EXPECT_EQ(o.x, r.x) << r.owner[0] << "," << r.owner[1];
        EXPECT_EQ(o.y, r.y) << r.owner[0] << "," << r.owner[1];
    }
}

TEST(Recent, AddMovesAndDrops)
{
    RecentFiles l = {};
    for (const char *p : {"a", "b", "c", "d", "e", "f"})
        recent_add(l, p, nullptr);
    EXPECT_EQ(paths(l), "f e d c b a");
    recent_add(l, "g", nullptr);  // a seventh file drops the oldest
    EXPECT_EQ(paths(l), "g f e d c b");
    recent_add(l, "D", nullptr);  // re-opening moves to the top, ASCII case ignored
    EXPECT_EQ(paths(l), "D g f e c b");
    recent_add(l, l.entries[3].path, u"w\u00e9");  // an argument that lives inside the list
    EXPECT_EQ(paths(l), "e D g f c b");
    EXPECT_EQ(std::u16string(l.entries[0].wide), u"w\u00e9");
    recent_add(l, "E", nullptr);  // the front entry's wide path is the pending one
    EXPECT_EQ(l.entries[0].wide[0], 0);
    EXPECT_EQ(recent_find(l, "c"), 4);
    EXPECT_EQ(recent_find(l, "x"), -1);
}

TEST(Recent, MenuLabel)
{
    struct Row {
        int index;
        const char *path, *label;
    } rows[] = {
        {0, "C:\\docs\\a.pdf", "&1 a.pdf"},
        {5, "plain.pdf", "&6 plain.pdf"},  // no backslash: the whole path
        {1, "C:\\x\\0123456789012345678901234567890123456789", "&2 0123456789012345678901234567890123456789"},  // 40
        {2, "C:\\x\\0123456789abcdefghijklmnopqrstuvwxyzABCDE",  // 41 characters
         "&3 0123456789abcdefgh...mnopqrstuvwxyzABCDE"},
        {0, "dir\\", "&1 "},
    };
    for (const Row &r : rows) {
        char out[80];
        recent_menu_label(r.index, r.path, out, sizeof out);
        EXPECT_STREQ(out, r.label);
    }
    char out[80];
    recent_menu_label(0, "C:\\x\\0123456789abcdefghijklmnopqrstuvwxyzABCDE", out, sizeof out);
    EXPECT_EQ(std::strlen(out), 3u + 18 + 3 + 19);
}

TEST(Layout, PanelsSplitterAndClamping)
{
    struct Row {
        int w, mode, panel;
        int view_x, view_w, splitter, stored;
        bool thumbs, bookmarks;
    } rows[] = {
        {800, PANEL_PAGE_ONLY, 180, 0, 800, -1, 180, false, false},
        {800, PANEL_THUMBS_AND_PAGE, 180, 185, 615, 180, 180, true, false},
        {800, PANEL_BOOKMARKS_AND_PAGE, 180, 185, 615, 180, 180, false, true},
        {800, PANEL_BOOKMARKS_AND_PAGE, 700, 600, 200, 595, 595, false, true},  // view keeps 205
        {250, PANEL_THUMBS_AND_PAGE, 180, 95, 155, 90, 90, true, false},       // 90 wins
        {800, PANEL_THUMBS_AND_PAGE, 40, 95, 705, 90, 90, true, false},        // minimum 90
    };
    for (const Row &r : rows) {
        LayoutResult o = layout_compute({r.w, 600, 26, 20, false, r.mode, r.panel});
        SCOPED_TRACE(testing::Message() << r.w << " mode " << r.mode << " panel " << r.panel);
        EXPECT_EQ(o.view.x, r.view_x);
        EXPECT_EQ(o.view.w, r.view_w);
        EXPECT_EQ(o.view.y, 26);
        EXPECT_EQ(o.view.h, 554);
        EXPECT_EQ(o.splitter_x, r.splitter);
        EXPECT_EQ(o.panel_width, r.stored);
        EXPECT_EQ(o.thumbs.visible, r.thumbs);
        EXPECT_EQ(o.bookmarks.visible, r.bookmarks);
    }
    LayoutResult full = layout_compute({800, 600, 26, 20, false, PANEL_THUMBS_ONLY, 180});
    EXPECT_FALSE(full.view.visible);
    EXPECT_EQ(full.thumbs.w, 800);
    EXPECT_EQ(full.thumbs.h, 554);
    LayoutResult fs = layout_compute({800, 600, 26, 20, true, PANEL_THUMBS_AND_PAGE, 180});
    EXPECT_EQ(fs.view.h, 600);
    EXPECT_FALSE(fs.thumbs.visible);
    EXPECT_EQ(full.status_parts[0], 560);
    EXPECT_EQ(full.status_parts[1], 744);
    EXPECT_EQ(full.status_parts[2], -1);
}

TEST(Panels, ModesAndToggles)
{
    EXPECT_TRUE(panel_flags(1).thumbsFullWindow && panel_flags(1).thumbsVisible);
    EXPECT_TRUE(panel_flags(2).thumbsVisible && !panel_flags(2).thumbsFullWindow);
    EXPECT_TRUE(panel_flags(3).bookmarksVisible && !panel_flags(3).thumbsVisible);
    int m = PANEL_PAGE_ONLY;
    m = panel_toggle(m, PANEL_THUMBS_AND_PAGE);
    EXPECT_EQ(m, PANEL_THUMBS_AND_PAGE);
    m = panel_toggle(m, PANEL_THUMBS_AND_PAGE);  // Ctrl+T twice
    EXPECT_EQ(m, PANEL_PAGE_ONLY);
    EXPECT_EQ(panel_toggle(PANEL_BOOKMARKS_AND_PAGE, PANEL_BOOKMARKS_AND_PAGE), PANEL_PAGE_ONLY);
    EXPECT_EQ(panel_toggle(PANEL_THUMBS_ONLY, PANEL_BOOKMARKS_AND_PAGE), PANEL_BOOKMARKS_AND_PAGE);
}

TEST(EnableRules, MenuAndToolbar)
{
    const DocFacts none = {}, one = {true, 1, false, false, false, false},
                   many = {true, 5, true, true, true, false}, text = {true, 2, true, false, false, true};
    struct Row {
        int id;
        bool none, one, many, text;
    } rows[] = {
        {40001, 1, 1, 1, 1}, {40003, 1, 1, 1, 1}, {40009, 1, 1, 1, 1}, {40300, 1, 1, 1, 1},
        {40002, 0, 1, 1, 1}, {40004, 0, 1, 1, 1}, {40117, 0, 1, 1, 1}, {40253, 0, 1, 1, 1},
        {40201, 0, 0, 1, 1}, {40205, 0, 0, 1, 1},  // more than one page
        {40254, 0, 0, 1, 1}, {40250, 0, 0, 1, 1},  // text
        {40116, 0, 0, 1, 0}, {40120, 0, 0, 1, 0},  // outline
        {40121, 0, 0, 1, 0},                        // threads
        {40122, 0, 1, 1, 1},                        // rotation
        {40130, 0, 0, 0, 1}, {40141, 0, 0, 0, 1}, {40142, 0, 0, 0, 1},  // plain text only
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.id);
        EXPECT_EQ(command_enabled_menu(r.id, none), r.none);
        EXPECT_EQ(command_enabled_menu(r.id, one), r.one);
        EXPECT_EQ(command_enabled_menu(r.id, many), r.many);
        EXPECT_EQ(command_enabled_menu(r.id, text), r.text);
    }
    EXPECT_TRUE(command_enabled_toolbar(40001, none));
    EXPECT_FALSE(command_enabled_toolbar(40004, none));
    EXPECT_TRUE(command_enabled_toolbar(40117, one));
    EXPECT_FALSE(command_enabled_toolbar(40201, one));
    EXPECT_TRUE(command_enabled_toolbar(40204, many));
    EXPECT_FALSE(command_enabled_toolbar(40120, one));
    for (int id : {40004, 40006, 40007, 40008, 40110, 40121, 40205})
        EXPECT_TRUE(command_needs_document(id)) << id;
    EXPECT_FALSE(command_needs_document(40001));
}

TEST(CommandLine, SwitchesAndPaths)
{
    struct Row {
        const char *args;
        int sw;
        const char *print;  // text after the print switch, or null
        const char *path;   // the path taken from args
    } rows[] = {
        {"C:\\a b\\x.pdf", CMDLINE_NONE, nullptr, "C:\\a b\\x.pdf"},
        {"\"C:\\a b\\x.pdf\" ignored", CMDLINE_NONE, nullptr, "C:\\a b\\x.pdf"},   // quoted
        {"  \"C:\\unterminated.pdf", CMDLINE_NONE, nullptr, "C:\\unterminated.pdf"},
        {"x.pdf  \t ", CMDLINE_NONE, nullptr, "x.pdf"},                             // trailing blanks
        {"   \t ", CMDLINE_NONE, nullptr, ""},                                      // blanks only
        {"", CMDLINE_NONE, nullptr, ""},
        {"/p", CMDLINE_NONE, nullptr, ""},                                          // /p without a path
        {"-P\tdoc.pdf", CMDLINE_NONE, "doc.pdf", ""},
        {" /p \"a b.pdf\"", CMDLINE_NONE, "\"a b.pdf\"", ""},
        {"/px.pdf", CMDLINE_NONE, nullptr, ""},
        {"/fil", CMDLINE_ASSOCIATIONS, nullptr, ""}, {"-FiL", CMDLINE_ASSOCIATIONS, nullptr, ""},
        {"/fIl", CMDLINE_NONE, nullptr, ""},  // the middle letter is lower case only
        {"/unA", CMDLINE_UNINSTALL, nullptr, ""}, {" -Una", CMDLINE_UNINSTALL, nullptr, ""},
        {"/un", CMDLINE_NONE, nullptr, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.args);
        EXPECT_EQ(cmdline_switch(r.args), r.sw);
        const char *p = cmdline_print_path(r.args);
        if (r.print) {
            EXPECT_STREQ(p, r.print);
        } else {
            EXPECT_EQ(p, nullptr);
        }
        char out[300];
        cmdline_path(r.args, out, sizeof out);
        EXPECT_STREQ(out, r.path);
        if (p) {
            cmdline_path(p, out, sizeof out);
            EXPECT_STREQ(out, std::string(r.print).find("a b") != std::string::npos ? "a b.pdf" : "doc.pdf");
        }
    }
    std::string longer(400, 'x');
    char out[300];
    cmdline_path(longer.c_str(), out, sizeof out);
    EXPECT_EQ(std::strlen(out), 259u);
}

TEST(ToolbarFields, ZoomAndPageEntries)
{
    struct Row {
        const char *text;
        int kind, value;
    } rows[] = {
        {"250", ZOOM_ENTRY_PERCENT, 250}, {"  75%", ZOOM_ENTRY_PERCENT, 75},
        {"10", ZOOM_ENTRY_PERCENT, 10},   {"1600", ZOOM_ENTRY_PERCENT, 1600},
        {"5", ZOOM_ENTRY_NONE, 0},        {"2000", ZOOM_ENTRY_NONE, 0},
        {"abc", ZOOM_ENTRY_NONE, 0},      {"original", ZOOM_ENTRY_COMMAND, 40103},
        {"ORIGINAL", ZOOM_ENTRY_COMMAND, 40103}, {"Originalgr\xF6\xDF" "e", ZOOM_ENTRY_COMMAND, 40103},
        {"ganze seite", ZOOM_ENTRY_COMMAND, 40104}, {"Seitenbreite", ZOOM_ENTRY_COMMAND, 40105},
    };
    for (const Row &r : rows) {
        int v = 0;
        EXPECT_EQ(zoom_entry_parse(r.text, &v), r.kind) << r.text;
        if (r.kind) {
            EXPECT_EQ(v, r.value) << r.text;
        }
    }
    EXPECT_EQ(page_entry_parse("12"), 12);
    EXPECT_EQ(page_entry_parse("0"), 0);
    EXPECT_EQ(page_entry_parse("-3"), 0);
    EXPECT_EQ(page_entry_parse("x"), 0);
    EXPECT_EQ(page_entry_parse("1234567890123456"), 0);  // 15 characters read, too large
}
