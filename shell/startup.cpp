// The program's start: common controls, the association and uninstall
// switches, font sources, window classes, the frame, the document named on
// the command line (or silent printing), and the message loop.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "shell/assoc.h"
#include "shell/features.h"
#include "shell/frame.h"
#include "shell/panels.h"
#include "shell/resource.h"
#include "shell/settings.h"
#include "shell/view.h"

namespace {

void run_associations_alone()
{
    // The associations point at the installed copy in the Windows directory.
    char program[MAX_PATH + 16];
    GetWindowsDirectoryA(program, MAX_PATH);
    std::strcat(program, "\\pagrix.exe");
    associations_set_program(program);
    associations_dialog(nullptr);
}

void run_uninstall()
{
    associations_restore();
    char dir[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, dir, sizeof dir);
    while (n > 0 && dir[n - 1] != '\\')
        n--;
    dir[n] = 0;
    char command[MAX_PATH + 96];
    std::snprintf(command, sizeof command,
                  "rundll.exe setupx.dll,InstallHinfSection DefaultUninstall 132 %spagrix.inf", dir);
    WinExec(command, SW_SHOWNORMAL);
}

// The message loop; the find dialog and the accelerators come first.
int message_loop(HWND frame, HACCEL accelerators)
{
    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        HWND find = find_dialog_window();
        if (find && IsDialogMessageA(find, &msg))
            continue;
        if (accelerators && TranslateAcceleratorA(frame, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}

}  // namespace

int frame_main(HINSTANCE instance, LPSTR command_line, int show)
{
    const char *args = command_line ? command_line : "";
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES | ICC_WIN95_CLASSES};
    if (!InitCommonControlsEx(&icc))
        InitCommonControls();
    switch (cmdline_switch(args)) {
    case CMDLINE_ASSOCIATIONS: run_associations_alone(); return 0;
    case CMDLINE_UNINSTALL: run_uninstall(); return 0;
    }
    fonts_prepare(instance);
    if (!frame_register_class(instance) || !view_register_class(instance) ||
        !thumbs_register_class(instance))
        return 1;
    const char *print_args = cmdline_print_path(args);
    HWND frame = frame_create(instance, show, print_args == nullptr);
    if (!frame)
        return 1;
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCEL));
    FrameState &fs = *frame_state(frame);
    if (print_args) {
        char path[260];
        cmdline_path(print_args, path, sizeof path);
        if (path[0] && frame_open_path(fs, path, nullptr) == 0)
            print_silent(frame);
        DestroyWindow(frame);
    } else {
        const wchar_t *wide = fs.isNT && fs.wide.GetCommandLineW ? fs.wide.GetCommandLineW() : nullptr;
        if (!frame_open_command_line(fs, args, wide) && settings_get("OpenDlgStartup"))
            PostMessageA(frame, WM_COMMAND, CMD_OPEN, 0);
    }
    return message_loop(frame, accelerators);
}
