// Commands whose features are not part of the program yet. Each entry point
// exists so that the command table, the menus and the start-up sequence are
// complete; none of them does anything so far.
#include "shell/features.h"

void export_page(HWND) {}
void copy_page_image(HWND) {}
void copy_selected_text(HWND) {}
void select_all_text(HWND) {}
void zoom_dialog(HWND) {}
void goto_dialog(HWND) {}
void find_dialog_show(HWND) {}
HWND find_dialog_window() { return nullptr; }
void find_next(HWND, int) {}
void history_step(HWND, int) {}

bool feature_available(int command)
{
    switch (command) {
    case 40010:  // export
    case 40110: case 40205: case 40206: case 40207:  // view dialogs
    case 40250: case 40251: case 40252: case 40253: case 40254: case 40255:  // search, clipboard
        return false;
    default:
        return true;
    }
}
