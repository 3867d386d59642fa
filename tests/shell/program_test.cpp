// The real program under Wine: it shows its frame, closes on WM_CLOSE and
// exits with code 0; the print and association switches end it without a
// frame.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "shell/settings.h"
#include "shell_test_support.h"

namespace {

const char *program()
{
    const char *exe = std::getenv("PAGRIX_EXE");
    return exe && *exe ? exe : nullptr;
}

bool start(const std::string &args, PROCESS_INFORMATION &pi)
{
    std::string command = std::string("\"") + program() + "\" " + args;
    STARTUPINFOA si = {sizeof si};
    return CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
}

// Waits for the process; its exit code, or 99 after the timeout.
long finish(PROCESS_INFORMATION &pi, DWORD timeout_ms) { return shelltest::process_finish(pi, timeout_ms); }

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK find_dialog(HWND hwnd, LPARAM lp)
{
    auto *s = reinterpret_cast<Search *>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == s->pid && std::string(cls) == "#32770" && IsWindowVisible(hwnd)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog of the process (message box or common dialog), waiting
// up to 10 seconds.
HWND wait_for_dialog(DWORD pid)
{
    for (int i = 0; i < 200; i++) {
        Search s = {pid, nullptr};
        EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&s));
        if (s.found)
            return s.found;
        Sleep(50);
    }
    return nullptr;
}

// Text of the message box's static control.
std::string box_text(HWND box)
{
    char text[512] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

}  // namespace

TEST(Program, StartsAndClosesCleanly)
{
    if (!program())
        GTEST_SKIP() << "PAGRIX_EXE not set";
    shelltest::clear_settings();
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(start("", pi));
    // The frame is created with an empty title that is set right after.
    HWND frame = nullptr;
    char title[64] = "";
    for (int i = 0; i < 300 && !title[0]; i++) {
        frame = FindWindowA("Pagrix95Frame", nullptr);
        if (frame)
            GetWindowTextA(frame, title, sizeof title);
        if (!title[0])
            Sleep(50);
    }
    ASSERT_TRUE(frame) << "no frame window";
    EXPECT_STREQ(title, "Vellumix");
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(finish(pi, 15000), 0);
    shelltest::clear_settings();
}

TEST(Program, SwitchesEndWithoutFrame)
{
    if (!program())
        GTEST_SKIP() << "PAGRIX_EXE not set";
    shelltest::clear_settings();
    std::string pdf = shelltest::scratch_file("print me.pdf", shelltest::a4_pdf(2));
    const std::string rows[] = {
        "/p \"" + pdf + "\"",  // silent printing: the frame is never shown
        "-P\t\"" + pdf + "\"",
        "/fil",                // the associations dialog stand-alone, cancelled
    };
    for (const std::string &args : rows) {
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(start(args, pi)) << args;
        if (args == "/fil") {
            HWND dialog = wait_for_dialog(pi.dwProcessId);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(shelltest::window_text(dialog), "Dateizuordnungen festlegen");
            EXPECT_EQ(IsDlgButtonChecked(dialog, 364), UINT(BST_CHECKED)) << "stand-alone: every type checked";
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        } else {
            // Without a usable printer silent printing says so in a message box
            // and ends when it is answered.
            for (int i = 0; i < 300 && WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT; i++) {
                Search s = {pi.dwProcessId, nullptr};
                EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&s));
                if (s.found && !box_text(s.found).empty())
                    PostMessageA(s.found, WM_COMMAND, IDOK, 0);
            }
        }
        long code = finish(pi, 15000);
        EXPECT_EQ(code, 0) << args;
        HWND frame = FindWindowA("Pagrix95Frame", nullptr);
        EXPECT_FALSE(frame && IsWindowVisible(frame)) << args;
    }
    shelltest::clear_settings();
}

namespace {

// A value of the per-user classes, or "<none>".
std::string user_class_value(const char *sub)
{
    char buf[512] = "";
    LONG size = sizeof buf;
    if (RegQueryValueA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\") + sub).c_str(), buf, &size) !=
        ERROR_SUCCESS)
        return "<none>";
    return buf;
}

}  // namespace

// OK in the stand-alone dialog points every type at the copy in the Windows
// directory; the uninstall switch takes it all out again.
TEST(Program, AssociationAndUninstallSwitches)
{
    if (!program())
        GTEST_SKIP() << "PAGRIX_EXE not set";
    const std::string pdf_before = user_class_value(".pdf");
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(start("-Fil", pi));
    HWND dialog = wait_for_dialog(pi.dwProcessId);
    ASSERT_TRUE(dialog);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(finish(pi, 15000), 0);
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_EQ(user_class_value("Vellumix.PDF\\shell\\open\\command"),
              "\"" + std::string(windows) + "\\pagrix.exe\" \"%1\"");
    EXPECT_EQ(user_class_value(".epsf"), "Vellumix.EPS");

    ASSERT_TRUE(start("/una", pi));
    EXPECT_EQ(finish(pi, 15000), 0);
    EXPECT_EQ(user_class_value("Vellumix.PDF"), "<none>");
    EXPECT_EQ(user_class_value(".pdf"), pdf_before);
}

TEST(Program, OpenDialogAtStartupWhenNothingWasOpened)
{
    if (!program())
        GTEST_SKIP() << "PAGRIX_EXE not set";
    // Blank quoted arguments name no document either: no failure message
    // (captioned with the program's name) comes before the open dialog.
    for (const char *args : {"   ", "/p", "\"\"", "\" \""}) {
        shelltest::clear_settings();
        settings_write("OpenDlgStartup", 1);
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(start(args, pi));
        HWND dialog = wait_for_dialog(pi.dwProcessId);
        EXPECT_TRUE(dialog) << "no open dialog for [" << args << "]";
        EXPECT_NE(shelltest::window_text(dialog), "Vellumix") << "a message box for [" << args << "]";
        if (dialog)
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        HWND frame = nullptr;
        for (int i = 0; i < 100 && !frame; i++, Sleep(50))
            frame = FindWindowA("Pagrix95Frame", nullptr);
        if (frame)
            PostMessageA(frame, WM_CLOSE, 0, 0);
        EXPECT_EQ(finish(pi, 15000), 0) << args;
    }
    shelltest::clear_settings();
}

TEST(Program, PrintSwitchWithUnopenablePath)
{
    if (!program())
        GTEST_SKIP() << "PAGRIX_EXE not set";
    shelltest::clear_settings();
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(start("/p C:\\nirgends\\fehlt.pdf", pi));
    HWND box = wait_for_dialog(pi.dwProcessId);
    ASSERT_TRUE(box);
    EXPECT_EQ(box_text(box), "Diese Datei kann nicht als Dokument ge\xF6" "ffnet werden.");
    HWND frame = FindWindowA("Pagrix95Frame", nullptr);
    EXPECT_FALSE(frame && IsWindowVisible(frame));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(finish(pi, 15000), 0);
    shelltest::clear_settings();
}

TEST(Program, MessageBoxCentredOnTheFrame)
{
    if (!program())
        GTEST_SKIP() << "PAGRIX_EXE not set";
    shelltest::clear_settings();
    // The frame away from the screen's centre, where the box would otherwise go.
    settings_write("WinX", 40);
    settings_write("WinY", 30);
    settings_write("WinW", 640);
    settings_write("WinH", 480);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(start("C:\\nirgends\\fehlt.pdf", pi));
    HWND box = wait_for_dialog(pi.dwProcessId);
    ASSERT_TRUE(box);
    EXPECT_EQ(box_text(box), "Diese Datei kann nicht als Dokument ge\xF6" "ffnet werden.");
    HWND frame = FindWindowA("Pagrix95Frame", nullptr);
    ASSERT_TRUE(frame);
    RECT b, f;
    GetWindowRect(box, &b);
    GetWindowRect(frame, &f);
    EXPECT_EQ(f.left, 40);
    EXPECT_LE(std::abs((b.left + b.right) - (f.left + f.right)), 2) << b.left << " " << f.left;
    EXPECT_LE(std::abs((b.top + b.bottom) - (f.top + f.bottom)), 2) << b.top << " " << f.top;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(box); i++)
        Sleep(20);
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(finish(pi, 15000), 0);
    shelltest::clear_settings();
}
