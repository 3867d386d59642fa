// Entry points of the frame's commands that lead into printing, full screen,
// export, file associations, document properties and the view's dialogs.
// Their bodies live in features.cpp; the ones not built yet do nothing and
// their commands stay disabled or silent.
#pragma once
#include <windows.h>

// Printing.
void print_dialog(HWND frame);
// Prints the open Document with the stored settings, no dialog; false when
// nothing was printed.
bool print_silent(HWND frame);
// Full screen.
bool fullscreen_active(HWND frame);
void fullscreen_toggle(HWND frame);
void fullscreen_advance(HWND frame);
void fullscreen_context_menu(HWND frame, int x, int y);
// Export and clipboard.
void export_page(HWND frame);
void copy_page_image(HWND frame);
void copy_selected_text(HWND frame);
void select_all_text(HWND frame);
// File associations: the dialog (owner may be null for the stand-alone run)
// and the restore before uninstalling.
void associations_dialog(HWND owner);
void associations_restore();
// Document properties and its sub-dialogs.
void properties_dialog(HWND frame);
void fonts_dialog(HWND frame);
void security_dialog(HWND frame);
// View dialogs and search.
void zoom_dialog(HWND frame);
void goto_dialog(HWND frame);
void articles_dialog(HWND frame);
void find_dialog_show(HWND frame);
HWND find_dialog_window();  // the modeless find dialog or null
void find_next(HWND frame, int direction);
void history_step(HWND frame, int direction);
// Font sources: font directory, font library, font packs, system fonts.
void fonts_prepare(HINSTANCE instance);
// Plain-text Documents: the encoding chooser shown after an unsure
// detection; the chosen index 0..10, or -1 when cancelled.
int encoding_dialog(HWND frame, int detected);

// False for commands whose feature is not part of the program yet; the enable
// rules grey them out.
bool feature_available(int command);
