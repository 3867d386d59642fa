// Helpers of the Windows shell tests: a clean settings key, a real frame
// window, message pumping and a recorder for the frame's message boxes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/frame.h"

namespace shelltest {

// Deletes the settings key with all its subkeys.
void clear_settings();
// Whether the settings key exists.
bool settings_key_exists();
void write_raw(const char *name, DWORD type, const void *data, DWORD size);

// Dispatches pending messages of this thread (WM_QUIT is dropped).
void pump();

struct Box {
    std::string text, caption;
    UINT flags;
};
// Message boxes shown since the last reset (the hook answers IDOK).
std::vector<Box> &boxes();

// A frame created and destroyed with the test; classes registered once.
struct Frame {
    HWND hwnd = nullptr;
    explicit Frame(int show = SW_SHOWNORMAL);
    ~Frame();
    FrameState &state() const { return *frame_state(hwnd); }
    void command(int id) const;
};

std::string window_text(HWND hwnd);
std::string status_text(HWND status, int part);
// Menu item text by command id ("" when missing).
std::string menu_text(HMENU menu, UINT id);
bool menu_enabled(HMENU menu, UINT id);
bool menu_checked(HMENU menu, UINT id);
// A file in the scratch directory with the given bytes; returns its path.
std::string scratch_file(const std::string &name, const std::string &bytes);
// A valid PDF of `pages` A4 pages.
std::string a4_pdf(int pages = 1);

// A window's client area as it paints it (WM_PRINTCLIENT into a 32-bit DIB).
struct Capture {
    int w = 0, h = 0;
    std::vector<uint32_t> px;  // 0x00RRGGBB
    uint32_t at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)] & 0xFFFFFF; }
};
Capture capture(HWND window);
// A 24-bit uncompressed BMP (bottom-up or top-down) in the layout of a
// capture; w = 0 when the file is missing or not such a BMP.
Capture read_bmp24(const std::string &path);
// The first visible dialog box (class "#32770") on the desktop, waited for
// up to `ms` milliseconds (from another thread than the one whose modal
// loop shows it); null when none appears.
HWND wait_for_dialog(int ms = 5000);
// Waits for a started process and closes its handles: its exit code, or 99
// after the timeout (the process is then ended).
long process_finish(PROCESS_INFORMATION &pi, DWORD timeout_ms);
// A visible dialog of this thread that has a control with this id, or null.
HWND dialog_with(int control);
// When a file dialog of this thread is showing: types `name` into its file
// name box and accepts it (true); false while there is none.
bool file_dialog_accept(const std::wstring &name);

// A 32-bit top-down device-independent bitmap header of this size.
BITMAPINFO dib32_info(int width, int height);

// The clipboard's CF_UNICODETEXT or CF_TEXT text; empty when it holds none.
std::wstring clipboard_unicode();
std::string clipboard_ansi();

// Presses (up false) or releases one key through SendInput, as a keyboard would.
void send_key(WORD vk, bool up);
// A left click through the input queue at a point of the window's client area.
void send_click(HWND wnd, int x, int y);

}  // namespace shelltest
