// What the view's mouse tools hand to the rest of the shell, and the
// clipboard and export helpers they use: the selection text, select all, the
// snapshot's clipboard copy with its preview window, and the one place that
// hands a link's address to the system.
#pragma once
#include <windows.h>

#include <string>

// The view's selection text as UTF-8 with CR LF line breaks ("" for none).
std::string view_selection_text(HWND view);
// Selects every character of the current page whose centre lies on the
// page; false when there is no text to select.
bool view_select_all(HWND view);

// Puts a CF_DIB block (BITMAPINFOHEADER and bottom-up rows) on the
// clipboard, owned by `owner`; the block is freed when it cannot be placed.
bool clipboard_put_dib(HWND owner, HGLOBAL dib);
// A CF_DIB block of a top-down blue-green-red area (`stride` bytes a row);
// `image_size` is written into the header as it is. Null when memory is short.
HGLOBAL dib_from_rows(const unsigned char *pixels, int stride, int width, int height, bool with_image_size);
// Shows the snapshot preview of a top-down blue-green-red area over `view`.
void snapshot_preview_show(HWND view, const unsigned char *pixels, int stride, int width, int height);

// Opens a link's address with the shell's "open" verb (tests replace it).
using ShellOpen = void (*)(HWND owner, const char *uri);
void tools_set_shell_open(ShellOpen hook);
void tools_shell_open(HWND owner, const char *uri);
