// The real program under Wine: it shows its frame, closes on WM_CLOSE and
// exits with code 0.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

TEST(Program, StartsAndClosesCleanly)
{
    const char *exe = std::getenv("PAGRIX_EXE");
    if (!exe || !*exe)
        GTEST_SKIP() << "PAGRIX_EXE not set";
    std::string command = std::string("\"") + exe + "\"";
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
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
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 15000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}
