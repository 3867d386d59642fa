// Settings in the real registry: defaults, round trips, values of the wrong
// type or size, the Recent subkey strings, the page-size label and the
// options sheet writing what its pages show.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "fonts/font_state.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell_test_support.h"

using namespace shelltest;

TEST(Settings, DefaultsWithoutKeyAndNoKeyCreated)
{
    clear_settings();
    for (int i = 0; i < SETTINGS_COUNT; i++)
        EXPECT_EQ(settings_get(SETTINGS_TABLE[i].name), SETTINGS_TABLE[i].def) << SETTINGS_TABLE[i].name;
    char buf[32];
    EXPECT_FALSE(settings_read_string("Recent", "File1", buf, sizeof buf));
    settings_apply_view(nullptr);
    EXPECT_FALSE(settings_key_exists());  // reading never creates the key
}

TEST(Settings, RoundTripOfEverySetting)
{
    clear_settings();
    for (int i = 0; i < SETTINGS_COUNT; i++)
        settings_write(SETTINGS_TABLE[i].name, 1000 + i);
    for (int i = 0; i < SETTINGS_COUNT; i++)
        EXPECT_EQ(settings_get(SETTINGS_TABLE[i].name), 1000 + i) << SETTINGS_TABLE[i].name;
    settings_write("WinX", -32000);  // negative values survive the DWORD
    EXPECT_EQ(settings_get("WinX"), -32000);
    clear_settings();
}

TEST(Settings, WrongTypeOrSizeGivesDefault)
{
    clear_settings();
    const DWORD seven = 7;
    const unsigned char two[2] = {9, 0};
    const unsigned char eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    struct Row {
        const char *name;
        DWORD type;
        const void *data;
        DWORD size;
        int expected;
    } rows[] = {
        {"GreekPx", REG_DWORD, &seven, 4, 7},            // the right kind
        {"JpegQuality", REG_SZ, "123", 4, 90},           // a 4-byte string
        {"PanelWidth", REG_BINARY, &seven, 4, 180},      // binary, not a DWORD
        {"FsAdvSec", REG_DWORD, two, 2, 5},              // too short
        {"WinW", REG_QWORD, eight, 8, 0},                // too long
    };
    for (const Row &r : rows) {
        write_raw(r.name, r.type, r.data, r.size);
        EXPECT_EQ(settings_get(r.name), r.expected) << r.name;
    }
    clear_settings();
}

TEST(Settings, SubkeyStrings)
{
    clear_settings();
    settings_write_string("Recent", "File1", "C:\\Dokumente\\\xE4rger.pdf");
    char buf[260];
    ASSERT_TRUE(settings_read_string("Recent", "File1", buf, sizeof buf));
    EXPECT_STREQ(buf, "C:\\Dokumente\\\xE4rger.pdf");
    char small[6];
    settings_read_string("Recent", "File1", small, sizeof small);  // too small: terminated anyway
    EXPECT_LT(strlen(small), sizeof small);
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY "\\Recent", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    DWORD v = 5;
    RegSetValueExA(key, "File2", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4);
    RegCloseKey(key);
    EXPECT_FALSE(settings_read_string("Recent", "File2", buf, sizeof buf));
    settings_delete_value("Recent", "File1");
    EXPECT_FALSE(settings_read_string("Recent", "File1", buf, sizeof buf));
    clear_settings();
}

TEST(Settings, PageSizeLabelFollowsUnits)
{
    clear_settings();
    const char *expected[] = {"8,3 x 11,7 Zoll", "595 x 842 pt", "210 x 297 mm"};
    for (int unit = 0; unit < 3; unit++) {
        settings_write("PageUnits", unit);
        char out[64];
        settings_page_size_label(595, 842, out, sizeof out);
        EXPECT_STREQ(out, expected[unit]);
    }
    clear_settings();
}

TEST(Settings, ApplyViewHandsOnSwitches)
{
    clear_settings();
    settings_write("GreekPx", -3);
    settings_write("ShowPrintMarks", 1);
    settings_write("SubstFonts", 7);
    settings_write("SmoothText", 0);
    settings_write("DefaultZoom", 25);
    settings_apply_view(nullptr);
    EXPECT_EQ(settings_view_defaults().greekPx, 0.0f);
    EXPECT_EQ(settings_view_defaults().defaultZoom, 25);
    EXPECT_EQ(settings_render_switches().cropToCropBox, 0);
    EXPECT_EQ(settings_render_switches().substMode, 0);
    EXPECT_EQ(settings_render_switches().smoothing, 0);
    // The substitution mode reaches the font layer: 2 stays, 7 counts as 0.
    settings_write("SubstFonts", 2);
    settings_apply_view(nullptr);
    EXPECT_EQ(font_subst_mode(), 2);
    EXPECT_STREQ(font_substitute("Times-Roman"), "n019003l.pfb");
    settings_write("SubstFonts", 7);
    settings_apply_view(nullptr);
    EXPECT_EQ(font_subst_mode(), 0);
    clear_settings();
    settings_apply_view(nullptr);
}

namespace {

HWND page_at(HWND sheet, int index)
{
    SendMessageA(sheet, PSM_SETCURSEL, index, 0);
    shelltest::pump();
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

}  // namespace

TEST(Options, PagesLoadAndApply)
{
    clear_settings();
    settings_write("GreekPx", 0);
    settings_write("DefaultZoom", 125);
    settings_write("PageUnits", 9);  // outside the list: first entry
    Frame frame;
    HWND sheet = options_show(frame.state(), true);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(window_text(sheet), "Optionen");

    HWND view = page_at(sheet, 0);
    ASSERT_TRUE(view);
    EXPECT_EQ(IsDlgButtonChecked(view, IDC_OPT_GREEK), BST_UNCHECKED);
    EXPECT_EQ(window_text(GetDlgItem(view, IDC_OPT_GREEK_EDIT)), "6");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(view, IDC_OPT_GREEK_EDIT)));
    EXPECT_EQ(SendDlgItemMessageA(view, IDC_OPT_ZOOM, CB_GETCURSEL, 0, 0), 5);  // 125%
    EXPECT_EQ(SendDlgItemMessageA(view, IDC_OPT_UNITS, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendDlgItemMessageA(view, IDC_OPT_ZOOM, CB_GETCOUNT, 0, 0), 9);
    SendDlgItemMessageA(view, IDC_OPT_UNITS, CB_SETCURSEL, 2, 0);
    CheckDlgButton(view, IDC_OPT_SMOOTH, BST_UNCHECKED);

    HWND general = page_at(sheet, 1);
    ASSERT_TRUE(general);
    EXPECT_EQ(window_text(GetDlgItem(general, IDC_OPT_JPEG)), "90");
    SetDlgItemTextA(general, IDC_OPT_JPEG, "250");

    HWND full = page_at(sheet, 2);
    ASSERT_TRUE(full);
    EXPECT_EQ(SendDlgItemMessageA(full, IDC_OPT_FS_CURSOR, CB_GETCURSEL, 0, 0), 1);
    CheckDlgButton(full, IDC_OPT_FS_ADVANCE, BST_CHECKED);
    SetDlgItemTextA(full, IDC_OPT_FS_SECONDS, "0");

    SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    pump();
    EXPECT_EQ(settings_get("PageUnits"), 2);
    EXPECT_EQ(settings_get("SmoothText"), 0);
    EXPECT_EQ(settings_get("GreekPx"), 0);         // unchecked stores 0
    EXPECT_EQ(settings_get("DefaultZoom"), 125);
    EXPECT_EQ(settings_get("JpegQuality"), 100);   // clamped
    EXPECT_EQ(settings_get("FsAdvance"), 1);
    EXPECT_EQ(settings_get("FsAdvSec"), 5);        // below 1
    EXPECT_EQ(settings_get("FsCursor"), 1);
    EXPECT_EQ(settings_render_switches().smoothing, 0);  // applied at once
    if (IsWindow(sheet))
        DestroyWindow(sheet);
    clear_settings();
}
