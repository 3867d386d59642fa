// The program's settings: every registry value name with its default, the
// rules the options pages apply to typed numbers, and the page-size text the
// status bar shows in the chosen unit.
#pragma once
#include <cstddef>

struct SettingDef {
    const char *name;
    int def;
};
// Every setting, in the order of the settings documentation.
extern const SettingDef SETTINGS_TABLE[];
extern const int SETTINGS_COUNT;
// Default of a setting by name; 0 for an unknown name.
int settings_default(const char *name);

enum PageUnit { UNIT_INCHES = 0, UNIT_POINTS = 1, UNIT_MILLIMETRES = 2 };
// Page size text: inches with `inch_format` (four %d: whole and tenth of
// width, then of height), otherwise "%d x %d pt" or "%d x %d mm". Units
// outside 0..2 count as inches.
void settings_page_size_text(float width_pt, float height_pt, int unit, const char *inch_format,
                             char *out, size_t n);

// Value stored for a text typed into a number field: `fallback` when it is
// not a number, else clamped to lo..hi.
int settings_number_clamped(const char *text, int fallback, int lo, int hi);
// Full-screen seconds: not a number or below 1 -> 5, above 600 -> 600.
int settings_fs_seconds(const char *text);
// Greeking threshold in pixels that the view gets (negative counts as 0).
float settings_greek_threshold(int greek_px);

// The zoom drop-down of the options: its values in list order.
extern const int OPTIONS_ZOOM_VALUES[9];
// List index whose value equals `value`, the first (0) when none does.
int options_zoom_index(int value);
// Stored value for a list index; 1 for an invalid one.
int options_zoom_value(int index);
// Selection for a stored value of a drop-down with `count` entries.
int options_list_index(int value, int count);
