// The frame window and the program's message loop.
#include "shell/frame.h"

#include "shell/resource.h"

namespace {

LRESULT CALLBACK frame_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

}  // namespace

BOOL frame_register_class(HINSTANCE instance)
{
    WNDCLASSA wc = {};
    if (GetClassInfoA(instance, FRAME_CLASS, &wc))
        return TRUE;
    wc.lpfnWndProc = frame_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = FRAME_CLASS;
    return RegisterClassA(&wc) != 0;
}

HWND frame_create(HINSTANCE instance, int show)
{
    HWND hwnd = CreateWindowExA(WS_EX_ACCEPTFILES, FRAME_CLASS, FRAME_TITLE, WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance,
                                nullptr);
    if (hwnd) {
        ShowWindow(hwnd, show);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

int frame_main(HINSTANCE instance, LPSTR, int show)
{
    if (!frame_register_class(instance) || !frame_create(instance, show))
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}
