// Settings defaults, the page-size text and the number rules of the options.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "shell/logic/settings_table.h"

TEST(SettingsTable, DefaultsAndUniqueNames)
{
    std::set<std::string> names;
    for (int i = 0; i < SETTINGS_COUNT; i++)
        EXPECT_TRUE(names.insert(SETTINGS_TABLE[i].name).second) << SETTINGS_TABLE[i].name;
    EXPECT_EQ(SETTINGS_COUNT, 29);
    EXPECT_EQ(settings_default("GreekPx"), 6);
    EXPECT_EQ(settings_default("JpegQuality"), 90);
    EXPECT_EQ(settings_default("WinX"), 0x7FFFFFFF);
    EXPECT_EQ(settings_default("PanelWidth"), 180);
    EXPECT_EQ(settings_default("FsAdvSec"), 5);
    EXPECT_EQ(settings_default("NoSuchValue"), 0);
}

TEST(SettingsTable, PageSizeText)
{
    const char *inch = "%d,%d x %d,%d Zoll";
    struct Row {
        float w, h;
        int unit;
        const char *text;
    } rows[] = {
        {595, 842, 0, "8,3 x 11,7 Zoll"}, {595, 842, 1, "595 x 842 pt"}, {595, 842, 2, "210 x 297 mm"},
        {612, 792, 0, "8,5 x 11,0 Zoll"}, {612.4f, 791.6f, 1, "612 x 792 pt"},
        {595, 842, 7, "8,3 x 11,7 Zoll"},  // unknown unit: inches
    };
    for (const Row &r : rows) {
        char out[64];
        settings_page_size_text(r.w, r.h, r.unit, inch, out, sizeof out);
        EXPECT_STREQ(out, r.text);
    }
}

TEST(SettingsTable, NumberRules)
{
    EXPECT_EQ(settings_number_clamped("abc", 90, 1, 100), 90);
    EXPECT_EQ(settings_number_clamped("", 90, 1, 100), 90);
    EXPECT_EQ(settings_number_clamped("0", 90, 1, 100), 1);
    EXPECT_EQ(settings_number_clamped("250", 90, 1, 100), 100);
    EXPECT_EQ(settings_number_clamped(" 42", 90, 1, 100), 42);
    EXPECT_EQ(settings_fs_seconds("x"), 5);
    EXPECT_EQ(settings_fs_seconds("0"), 5);
    EXPECT_EQ(settings_fs_seconds("-9"), 5);
    EXPECT_EQ(settings_fs_seconds("601"), 600);
    EXPECT_EQ(settings_fs_seconds("12"), 12);
    EXPECT_EQ(settings_greek_threshold(-4), 0.0f);
    EXPECT_EQ(options_zoom_index(125), 5);
    EXPECT_EQ(options_zoom_index(10), 0);  // no entry: the first
    EXPECT_EQ(options_zoom_value(2), 100);
    EXPECT_EQ(options_zoom_value(-1), 1);  // invalid selection
    EXPECT_EQ(options_list_index(3, 3), 0);
    EXPECT_EQ(options_list_index(2, 3), 2);
}
