// Decisions of the Windows shell that need no Win32: window placement, the
// recent-files list, menu labels, child layout, command enable rules, the
// command line and the toolbar text fields. Built and tested natively; the
// Win32 glue in shell/ calls these.
#pragma once
#include <cstddef>
#include <cstdint>

// ---- Frame placement ------------------------------------------------------

constexpr int PLACEMENT_UNSET = 0x7FFFFFFF;  // WinX/WinY when nothing was stored
constexpr int FRAME_DEFAULT_W = 720;
constexpr int FRAME_DEFAULT_H = 560;

struct StoredPlacement {
    int x, y, w, h, maximized;
};
struct Placement {
    bool use_default_position;  // let the system choose x and y
    int x, y, w, h;
    bool maximized;
};
// Decides the frame's rectangle from the stored values and the screen size;
// remember = 0 means the stored values are not consulted at all.
Placement placement_decide(int remember, const StoredPlacement &stored, int screen_w, int screen_h);

// Top-left corner that centres a box of w x h on the owner's rectangle
// (left, top, right, bottom), kept inside the work area as far as it fits;
// dialogs and message boxes appear over the window they belong to.
struct BoxOrigin {
    int x, y;
};
BoxOrigin center_box_on_owner(const int owner[4], int w, int h, const int work[4]);

// ---- Recent files ----------------------------------------------------------

constexpr int RECENT_MAX = 6;
constexpr int RECENT_PATH = 260;  // buffer size of one path, ANSI or UTF-16

struct RecentEntry {
    char path[RECENT_PATH];          // ANSI path
    char16_t wide[RECENT_PATH];      // UTF-16 path; empty when opened by an ANSI name
};
struct RecentFiles {
    int count;
    RecentEntry entries[RECENT_MAX];  // most recent first
};
// Index of the entry with this path (ASCII case-insensitive) or -1.
int recent_find(const RecentFiles &list, const char *path);
// Puts the path at the front: an existing entry moves up, a new one pushes
// the oldest out when the list is full. `wide` may be null (no wide path).
void recent_add(RecentFiles &list, const char *path, const char16_t *wide);
// Menu text "&<n> <file name>" for entry `index` (0-based) into out (size n):
// the part after the last backslash, shortened to 18 + "..." + 19 characters
// when longer than 40.
void recent_menu_label(int index, const char *path, char *out, size_t n);

// ---- Layout of the frame's children ---------------------------------------

enum PanelMode { PANEL_PAGE_ONLY = 0, PANEL_THUMBS_ONLY = 1, PANEL_THUMBS_AND_PAGE = 2,
                 PANEL_BOOKMARKS_AND_PAGE = 3 };

constexpr int PANEL_MIN_WIDTH = 90;
constexpr int PANEL_DEFAULT_WIDTH = 180;
constexpr int SPLITTER_WIDTH = 5;

struct PanelFlags {
    bool thumbsFullWindow, thumbsVisible, bookmarksVisible;
};
PanelFlags panel_flags(int mode);
// The mode Ctrl+T (40106) or Ctrl+B (40116) switches to from `current`.
int panel_toggle(int current, int wanted);

struct LayoutRect {
    int x, y, w, h;
    bool visible;
};
struct LayoutInput {
    int client_w, client_h;
    int toolbar_h, status_h;  // 0 when the bar is hidden
    bool full_screen;
    int panel_mode;
    int panel_width;
};
struct LayoutResult {
    LayoutRect view, thumbs, bookmarks;
    int panel_width;  // clamped value to store back
    int splitter_x;   // -1 without a panel
    int status_parts[3];
};
LayoutResult layout_compute(const LayoutInput &in);
// Right edges of the three status-bar parts for a client width.
void layout_status_parts(int client_w, int parts[3]);

// ---- Enable rules -----------------------------------------------------------

struct DocFacts {
    bool open;
    int page_count;
    bool has_text, has_outline, has_threads, is_plain_text;
};
// Whether a menu item is enabled; commands without a rule are always enabled.
bool command_enabled_menu(int id, const DocFacts &doc);
// The same for a toolbar button.
bool command_enabled_toolbar(int id, const DocFacts &doc);
// Commands that do nothing while no Document is open.
bool command_needs_document(int id);

// ---- Command line -----------------------------------------------------------

enum CmdSwitch { CMDLINE_NONE = 0, CMDLINE_ASSOCIATIONS = 1, CMDLINE_UNINSTALL = 2 };
// The association or uninstall switch at the start of the arguments.
int cmdline_switch(const char *args);
// If the arguments begin with the print switch ("/p" or "-p" and a blank or
// tab), returns the text after it; else null.
const char *cmdline_print_path(const char *args);
// The path argument: quoted up to the closing quote or the whole rest, at
// most 259 characters, trailing blanks and tabs removed. Empty when none.
void cmdline_path(const char *args, char *out, size_t n);

// ---- Toolbar text fields ----------------------------------------------------

enum ZoomEntry { ZOOM_ENTRY_NONE = 0, ZOOM_ENTRY_PERCENT, ZOOM_ENTRY_COMMAND };
// Reads the text typed into the zoom combo: a command (40103/40104/40105) or
// a percentage 10..1600 into *value. ZOOM_ENTRY_NONE when it means nothing.
int zoom_entry_parse(const char *text, int *value);
// Page number typed into the page edit (first 15 characters); 0 when none.
int page_entry_parse(const char *text);
