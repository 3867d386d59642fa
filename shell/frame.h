// The frame window: start-up, the one top-level window with its menu,
// toolbar, status bar, view and panels, the single open routine, recent
// files, title and status texts, layout, splitter and panel modes.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "shell/logic/shell_logic.h"

#define FRAME_CLASS "Pagrix95Frame"

// Private notifications the frame's children send it.
#define WM_FRAME_REFRESH (WM_APP + 1)      // refresh status and toolbar fields
#define WM_FRAME_THUMB_PAGE (WM_APP + 3)   // wParam: zero-based page chosen in the thumbnails
#define WM_FRAME_FS_ESCAPE (WM_APP + 4)    // Esc in full screen
#define WM_FRAME_FS_MENU (WM_APP + 5)      // right click in full screen at (wParam, lParam)
#define WM_FRAME_FS_CLICK (WM_APP + 6)     // left click in full screen

// The eight wide entry points looked up by name on the NT family.
struct WideApi {
    HANDLE(WINAPI *CreateFileW)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI *MoveFileW)(LPCWSTR, LPCWSTR);
    BOOL(WINAPI *DeleteFileW)(LPCWSTR);
    LPWSTR(WINAPI *GetCommandLineW)();
    BOOL(WINAPI *GetOpenFileNameW)(void *);
    BOOL(WINAPI *GetSaveFileNameW)(void *);
    LPWSTR *(WINAPI *CommandLineToArgvW)(LPCWSTR, int *);
    UINT(WINAPI *DragQueryFileW)(HANDLE, UINT, LPWSTR, UINT);
};

struct FrameState {
    HINSTANCE instance;
    HWND frame, view, thumbs, bookmarks, status, toolbar;
    HWND pageEdit, zoomCombo;
    HIMAGELIST toolbarImages, toolbarDisabledImages;  // owned by the frame, not the toolbar
    HFONT largeFont;
    bool isNT;
    WideApi wide;
    int panelMode;
    bool thumbsFullWindow, thumbsVisible, bookmarksVisible;
    bool toolbarVisible, statusVisible, largeButtons;
    int panelWidth;
    int splitterX;
    bool splitterDrag;
    int dragLastX;
    bool menuHelpShown;  // the status bar shows a menu item's help text
    bool fullScreen;     // the normal frame's style, menu and rectangle are kept to return to
    LONG_PTR savedStyle;
    HMENU savedMenu;
    RECT savedRect;
    WINDOWPLACEMENT savedPlacement;
    char documentName[260];
    char openPathA[260];
    wchar_t openPathW[260];
    bool openPathWPending;
    RecentFiles recentFiles;
};

// The one frame's state; null before the frame exists and after it is gone.
FrameState *frame_state();
FrameState *frame_state(HWND frame);

BOOL frame_register_class(HINSTANCE instance);
// Creates the frame at its stored or default placement; shows it with `show`
// unless visible is false (silent printing). Null on failure.
HWND frame_create(HINSTANCE instance, int show, bool visible);
// The program: start-up, message loop; returns the exit code.
int frame_main(HINSTANCE instance, LPSTR command_line, int show);

// Message boxes of the frame go through this hook so that tests can answer
// them; the default is MessageBoxA.
using FrameMessageBox = int (*)(HWND owner, const char *text, const char *caption, UINT flags);
void frame_set_message_box(FrameMessageBox hook);
int frame_message_box(HWND owner, const char *text, const char *caption, UINT flags);
// A string of the string table (empty when missing).
const char *frame_string(UINT id, char *buf, int size);
// Moves a dialog or message box so that it is centred on its owner's top-level
// window, inside that window's work area; on the work area when the owner is
// missing, hidden or minimised.
void window_center_on_owner(HWND wnd, HWND owner);

// Operations other parts of the shell call.
void frame_refresh_title(FrameState &fs);
void frame_refresh_status(FrameState &fs);
void frame_layout(FrameState &fs);
void frame_set_panel_mode(FrameState &fs, int mode);
// The single open routine: `wide` may be null (no wide path pending).
// Returns the view's open status.
int frame_open_path(FrameState &fs, const char *path, const wchar_t *wide);
// Opens the Document named on the command line; `wide_command_line` is
// GetCommandLineW's text on NT (null to use the ANSI arguments alone).
bool frame_open_command_line(FrameState &fs, const char *args, const wchar_t *wide_command_line);
void frame_open_dialog(FrameState &fs);
void frame_open_recent(FrameState &fs, int index);
void frame_close_document(FrameState &fs);
void recent_load(FrameState &fs);
void recent_save(const FrameState &fs);
void recent_build_menu(FrameState &fs);
void frame_show_type_notice(FrameState &fs);
void frame_install_file_hook(FrameState &fs);
void frame_help(FrameState &fs, UINT command);
void frame_about(FrameState &fs);
void frame_on_drop(FrameState &fs, HDROP drop);

// Menus, toolbar and commands.
void toolbar_build(FrameState &fs);
void toolbar_destroy(FrameState &fs);
void toolbar_refresh_states(FrameState &fs);
void toolbar_refresh_fields(FrameState &fs);
void menu_apply_rules(FrameState &fs, HMENU menu);
void menu_select_help(FrameState &fs, UINT item, UINT flags, HMENU menu);
bool toolbar_tooltip(FrameState &fs, NMHDR *hdr);
void command_dispatch(FrameState &fs, int id, int code);
DocFacts frame_doc_facts(const FrameState &fs);
void frame_check_menu(FrameState &fs, int id, bool checked);
// Options property sheet; modeless returns the sheet's window.
HWND options_show(FrameState &fs, bool modeless);
