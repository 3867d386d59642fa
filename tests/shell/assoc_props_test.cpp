// File associations in Wine's real registry (register, register again,
// unregister, restore: the classes end exactly as they began, a previous
// handler survives) and the associations and properties dialogs as the user
// sees them.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/assoc.h"
#include "shell/features.h"
#include "shell/logic/props_logic.h"
#include "shell/resource.h"
#include "shell_test_support.h"
#include "test_support.h"

using namespace shelltest;

namespace {

constexpr const char *kExtensions[] = {".pdf", ".tif", ".tiff", ".dcx", ".txt", ".asc",
                                       ".nfo", ".log", ".rtf",  ".eps", ".epsf", ".epsi"};

// A key with all its values (name, type, bytes) and subkeys, as text.
void dump_key(HKEY parent, const std::string &path, std::string &out)
{
    HKEY key;
    if (RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        out += path + " <missing>\n";
        return;
    }
    out += path + "\n";
    for (DWORD i = 0;; i++) {
        char name[256];
        BYTE data[1024];
        DWORD name_size = sizeof name, data_size = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &name_size, nullptr, &type, data, &data_size) != ERROR_SUCCESS)
            break;
        out += "  \"" + std::string(name, name_size) + "\" " + std::to_string(type) + " " +
               testsupport::hex_encode(data, data_size) + "\n";
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; i++) {
        char name[256];
        DWORD name_size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string &sub : subkeys)
        dump_key(parent, path + "\\" + sub, out);
}

// Every key the associations may touch, per user, per machine and merged.
std::string dump_classes()
{
    std::string out;
    std::vector<std::string> names(std::begin(kExtensions), std::end(kExtensions));
    for (const AssocType &t : ASSOC_TYPES)
        names.push_back(t.prog_id);
    for (const std::string &name : names) {
        dump_key(HKEY_CURRENT_USER, "Software\\Classes\\" + name, out);
        dump_key(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + name, out);
        dump_key(HKEY_CLASSES_ROOT, name, out);
    }
    return out;
}

std::string read_value(const char *sub, const char *name)
{
    char buf[512] = "";
    DWORD size = sizeof buf - 1, type = 0;
    HKEY key;
    std::string path = std::string("Software\\Classes\\") + sub;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<no key>";
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buf), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::string(buf) : "<no value>";
}

void set_user_default(const char *extension, const char *value)
{
    HKEY key;
    std::string path = std::string("Software\\Classes\\") + extension;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value), DWORD(strlen(value) + 1));
    RegCloseKey(key);
}

void delete_user_key(const char *extension)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\") + extension).c_str());
}

// Runs `script` on the enabled dialog of this thread every 50 ms while a
// modal dialog loop is running; the script returns false when it is done.
struct DialogDriver {
    static std::function<bool(HWND)> script;
    static BOOL CALLBACK pick(HWND w, LPARAM lp)
    {
        char cls[16];
        GetClassNameA(w, cls, sizeof cls);
        if (strcmp(cls, "#32770") == 0 && IsWindowVisible(w) && IsWindowEnabled(w)) {
            *reinterpret_cast<HWND *>(lp) = w;
            return FALSE;
        }
        return TRUE;
    }
    static HWND find()
    {
        HWND found = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), pick, reinterpret_cast<LPARAM>(&found));
        return found;
    }
    static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        HWND dlg = find();
        if (dlg && !script(dlg))
            KillTimer(nullptr, id);
    }
    UINT_PTR timer;
    explicit DialogDriver(std::function<bool(HWND)> s)
    {
        script = std::move(s);
        timer = SetTimer(nullptr, 0, 50, tick);
    }
    ~DialogDriver() { KillTimer(nullptr, timer); }
};
std::function<bool(HWND)> DialogDriver::script;

void press(HWND dlg, int id)
{
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

// The texts of the controls with these ids.
std::map<int, std::string> texts(HWND dlg, std::initializer_list<int> ids)
{
    std::map<int, std::string> out;
    for (int id : ids)
        out[id] = window_text(GetDlgItem(dlg, id));
    return out;
}

// The lines of a list box.
std::vector<std::string> list_items(HWND list)
{
    std::vector<std::string> out;
    const int n = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; i++) {
        char line[256] = "";
        if (SendMessageA(list, LB_GETTEXTLEN, i, 0) < LRESULT(sizeof line))
            SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line));
        out.push_back(line);
    }
    return out;
}

}  // namespace

// Register all nine types twice, give one back, restore: every key is as it
// was before, byte for byte; the handler .asc had before is back.
TEST(Associations, RegisterRestoreCycleLeavesClassesAsBefore)
{
    set_user_default(".asc", "Other.Handler");
    const std::string before = dump_classes();
    const bool all[9] = {true, true, true, true, true, true, true, true, true};
    const char *program = "C:\\Programme\\pagrix.exe";
    ASSERT_TRUE(associations_apply(all, program));
    for (int row = 0; row < 9; row++)
        EXPECT_TRUE(associations_registered(row)) << ASSOC_TYPES[row].prog_id;
    EXPECT_EQ(read_value(".epsi", nullptr), "Vellumix.EPS");
    EXPECT_EQ(read_value(".asc", "VellumixBackup"), "Other.Handler");
    EXPECT_EQ(read_value("Vellumix.PDF", nullptr), "PDF-Dokument");
    EXPECT_EQ(read_value("Vellumix.PDF\\DefaultIcon", nullptr), "C:\\Programme\\pagrix.exe,-2");
    EXPECT_EQ(read_value("Vellumix.LOG\\shell\\open\\command", nullptr), "\"C:\\Programme\\pagrix.exe\" \"%1\"");
    EXPECT_EQ(read_value("Vellumix.RTF\\shell\\print\\command", nullptr),
              "\"C:\\Programme\\pagrix.exe\" /p \"%1\"");

    // Again: the saved handler is not replaced by our own ProgID.
    ASSERT_TRUE(associations_apply(all, program));
    EXPECT_EQ(read_value(".asc", "VellumixBackup"), "Other.Handler");

    // Unchecked: .asc goes back to its handler, the backup value goes away.
    bool some[9] = {true, true, true, true, false, true, true, true, true};
    ASSERT_TRUE(associations_apply(some, program));
    EXPECT_FALSE(associations_registered(4));
    EXPECT_EQ(read_value(".asc", nullptr), "Other.Handler");
    EXPECT_EQ(read_value(".asc", "VellumixBackup"), "<no value>");

    // Another program takes .pdf meanwhile: the restore leaves it alone.
    set_user_default(".pdf", "Someone.Else");
    associations_restore();
    EXPECT_EQ(read_value(".pdf", nullptr), "Someone.Else");
    set_user_default(".pdf", "Vellumix.PDF");  // ours again, so that the restore takes it back
    associations_restore();
    EXPECT_EQ(dump_classes(), before);
    delete_user_key(".asc");
}

// The dialog checks the types handled now, and OK writes what the boxes say;
// started stand-alone, every box starts checked and the commands name the
// program path the switch gave.
TEST(Associations, DialogShowsAndAppliesTheChecks)
{
    const std::string before = dump_classes();
    const bool only_pdf[9] = {true, false, false, false, false, false, false, false, false};
    ASSERT_TRUE(associations_apply(only_pdf, "C:\\x\\pagrix.exe"));

    std::vector<bool> shown;
    bool topmost = false;
    {
        DialogDriver driver([&](HWND dlg) {
            for (const AssocType &t : ASSOC_TYPES)
                shown.push_back(IsDlgButtonChecked(dlg, t.box) == BST_CHECKED);
            topmost = (GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            CheckDlgButton(dlg, IDC_ASSOC_PDF, BST_UNCHECKED);
            CheckDlgButton(dlg, IDC_ASSOC_RTF, BST_CHECKED);
            press(dlg, IDOK);
            return false;
        });
        associations_dialog(nullptr);
    }
    EXPECT_EQ(shown, std::vector<bool>({true, false, false, false, false, false, false, false, false}));
    EXPECT_TRUE(topmost);
    EXPECT_FALSE(associations_registered(0));
    EXPECT_TRUE(associations_registered(7));

    associations_set_program("C:\\windows\\pagrix.exe");
    shown.clear();
    {
        DialogDriver driver([&](HWND dlg) {
            for (const AssocType &t : ASSOC_TYPES)
                shown.push_back(IsDlgButtonChecked(dlg, t.box) == BST_CHECKED);
            press(dlg, IDOK);
            return false;
        });
        associations_dialog(nullptr);
    }
    associations_set_program(nullptr);
    EXPECT_EQ(shown, std::vector<bool>(9, true));
    EXPECT_EQ(read_value("Vellumix.TIFF\\shell\\open\\command", nullptr), "\"C:\\windows\\pagrix.exe\" \"%1\"");

    // Cancel changes nothing.
    const std::string registered = dump_classes();
    {
        DialogDriver driver([&](HWND dlg) {
            CheckDlgButton(dlg, IDC_ASSOC_TXT, BST_UNCHECKED);
            press(dlg, IDCANCEL);
            return false;
        });
        associations_dialog(nullptr);
    }
    EXPECT_EQ(dump_classes(), registered);
    associations_restore();
    EXPECT_EQ(dump_classes(), before);
}

// The properties dialog on an encrypted PDF with restricted permissions, and
// its fonts and security dialogs opened from its buttons.
TEST(Properties, DialogsShowTheOpenDocument)
{
    const std::string dir = testsupport::corpus_dir();
    if (dir.empty())
        GTEST_SKIP() << "shared corpus not present";
    clear_settings();
    Frame f;
    ASSERT_EQ(frame_open_path(f.state(), (dir + "/pdf/qpdf-enc-R3_V2.pdf").c_str(), nullptr), 0);

    std::map<std::string, std::map<int, std::string>> seen;
    std::vector<std::string> font_lines;
    int props_visits = 0;
    {
        DialogDriver driver([&](HWND dlg) {
            const std::string caption = window_text(dlg);
            if (caption == "Dokumenteigenschaften") {
                props_visits++;
                if (props_visits == 1) {
                    seen[caption] = texts(dlg, {610, 611, 612, 613, 614, 615, 616, 617, 618, 619, 620, 621,
                                                622, 623});
                    press(dlg, IDC_PROPS_FONTS);
                } else if (props_visits == 2) {
                    press(dlg, IDC_PROPS_SECURITY_BUTTON);
                } else {
                    press(dlg, IDOK);
                    return false;
                }
            } else if (caption == "Dokumentsicherheit") {
                seen[caption] = texts(dlg, {640, 641, 642, 643, 644, 645});
                press(dlg, IDOK);
            } else {
                font_lines = list_items(GetDlgItem(dlg, IDC_FONTS_LIST));
                press(dlg, IDOK);
            }
            return true;
        });
        f.command(CMD_PROPERTIES);
    }
    const std::map<int, std::string> info = {
        {610, "-"}, {611, "-"}, {612, "-"}, {613, "-"}, {614, "-"}, {615, "-"},
        {616, "2003-10-10 18:04:32"}, {617, "2003-10-10 18:12:10"},
        {618, "PDF Document"}, {619, "1.4"}, {620, "30"}, {621, "8,5 x 11,0 Zoll"},
        {622, "16.7 KB"}, {623, "RC4 128-bit"},
    };
    EXPECT_EQ(seen["Dokumenteigenschaften"], info);
    const std::map<int, std::string> security = {
        {640, "Kennwortsicherheit"}, {641, "RC4 128-bit"}, {642, "Nicht zul\xE4ssig"},
        {643, "Nicht zul\xE4ssig"},  {644, "Nicht zul\xE4ssig"}, {645, "Zul\xE4ssig"},
    };
    EXPECT_EQ(seen["Dokumentsicherheit"], security);
    EXPECT_EQ(font_lines, std::vector<std::string>({"Helvetica\tType1\tWinAnsiEncoding\tErsetzt"}));

    // A TIFF image: no fonts, no security.
    ASSERT_EQ(frame_open_path(f.state(), (dir + "/tiff/pillow-multipage.tiff").c_str(), nullptr), 0);
    font_lines.clear();
    std::map<int, std::string> sec;
    {
        DialogDriver driver([&](HWND dlg) {
            if (window_text(dlg) == "Dokumentsicherheit")
                sec = texts(dlg, {640, 641, 642});
            else
                font_lines = list_items(GetDlgItem(dlg, IDC_FONTS_LIST));
            press(dlg, IDOK);
            return true;
        });
        f.command(CMD_FONTS);
        f.command(CMD_SECURITY);
    }
    EXPECT_EQ(font_lines, std::vector<std::string>({"(Keine Schriftarten in diesem Dokument)"}));
    EXPECT_EQ(sec, (std::map<int, std::string>{{640, "Keine Sicherheit"}, {641, "None"}, {642, "Zul\xE4ssig"}}));
    clear_settings();
}
