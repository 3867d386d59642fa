// Commands whose features are not part of the program yet. Each entry point
// exists so that the command table, the menus and the start-up sequence are
// complete; none of them does anything so far.
#include "shell/features.h"

void export_page(HWND) {}
void copy_page_image(HWND) {}
void copy_selected_text(HWND) {}
void select_all_text(HWND) {}
int encoding_dialog(HWND, int) { return -2; }

bool feature_available(int command)
{
    switch (command) {
    case 40010:  // export
    case 40253: case 40254: case 40255:  // clipboard
        return false;
    default:
        return true;
    }
}
