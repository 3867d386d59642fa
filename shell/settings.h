// Persistent settings: REG_DWORD values under one key of the current user,
// string values in its subkeys (recent files), the process-wide view
// defaults and renderer switches that the options hand on.
#pragma once
#include <windows.h>

#include <cstddef>

#include "shell/logic/settings_table.h"

#define SETTINGS_KEY "Software\\Ostrelan\\Vellumix"

// The 4-byte REG_DWORD value, or `def` when the key or value is missing or
// the stored value is of another type or size.
int settings_read(const char *name, int def);
// settings_read with the documented default of the value.
int settings_get(const char *name);
// Creates the key when needed; failures are ignored.
void settings_write(const char *name, int value);
// REG_SZ value of SETTINGS_KEY\subkey into buf (always terminated); false
// when missing, empty-handed or not a string.
bool settings_read_string(const char *subkey, const char *name, char *buf, DWORD size);
void settings_write_string(const char *subkey, const char *name, const char *value);
void settings_delete_value(const char *subkey, const char *name);

// What the view reads when it opens and paints a Document.
struct ViewDefaults {
    float greekPx;        // greeking threshold in pixels, 0 = never
    int defaultZoom;      // 2 fit width, below 25 fit page, else percent
    int openGray;
    int pageLayout;       // 0 single page, otherwise continuous
    int pageToEdge;
    int highlightLinks;
    int fsBgColor, fsCursor;
};
// Switches the renderer and font substitution read (process-wide).
struct RenderSwitches {
    int smoothing;        // anti-aliasing of text, paths and images
    int showLargeImages;
    int cropToCropBox;    // negation of ShowPrintMarks
    int substMode;        // 0..2; other stored values count as 0
};
const ViewDefaults &settings_view_defaults();
const RenderSwitches &settings_render_switches();
// Reads the view-related settings into the view defaults and the renderer
// switches and hands them to the view (null: no view yet).
void settings_apply_view(HWND view);

// Status-bar text of a page size in the unit of PageUnits.
void settings_page_size_label(float width_pt, float height_pt, char *out, size_t n);
