// Settings names and defaults, number rules of the options pages, and the
// page-size text of the status bar.
#include "shell/logic/settings_table.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/logic/shell_logic.h"

const SettingDef SETTINGS_TABLE[] = {
    {"GreekPx", 6},          // greeking threshold in pixels, 0 = never
    {"DefaultZoom", 1},      // 2 fit width, <25 fit page, else percent
    {"OpenGray", 0},         // open Documents in grayscale
    {"SmoothText", 1},       // anti-aliasing
    {"ShowLargeImages", 1},  // draw large images
    {"PageToEdge", 0},       // white up to the window edges
    {"HighlightLinks", 0},   // draw borderless link areas
    {"ShowPrintMarks", 0},   // show the whole media box
    {"SubstFonts", 0},       // font substitution family
    {"PageLayout", 0},       // 0 single page, 1 continuous
    {"PageUnits", 0},        // 0 inches, 1 points, 2 mm
    {"OpenDlgStartup", 0},   // open dialog at start-up
    {"RememberWindow", 1},   // store and restore the placement
    {"JpegQuality", 90},     // JPEG export quality
    {"FsAdvance", 0},        // full screen: advance automatically
    {"FsAdvSec", 5},         // full screen: seconds per page
    {"FsOnClick", 0},        // full screen: advance on click
    {"FsLoop", 0},           // full screen: loop after the last page
    {"FsEscExit", 1},        // full screen: Esc leaves
    {"FsBgColor", 0},        // full screen: background colour
    {"FsCursor", 1},         // full screen: cursor mode
    {"LargeButtons", 0},     // 24x24 toolbar images
    {"PanelWidth", PANEL_DEFAULT_WIDTH},  // side panel width
    {"WinX", PLACEMENT_UNSET},
    {"WinY", PLACEMENT_UNSET},
    {"WinW", 0},
    {"WinH", 0},
    {"WinMax", 0},
    {"TextMono", 1},         // monospaced plain text
};
const int SETTINGS_COUNT = int(sizeof SETTINGS_TABLE / sizeof SETTINGS_TABLE[0]);

int settings_default(const char *name)
{
    for (int i = 0; i < SETTINGS_COUNT; i++)
        if (std::strcmp(SETTINGS_TABLE[i].name, name) == 0)
            return SETTINGS_TABLE[i].def;
    return 0;
}

void settings_page_size_text(float width_pt, float height_pt, int unit, const char *inch_format,
                             char *out, size_t n)
{
    if (n == 0)
        return;
    if (unit == UNIT_POINTS) {
        std::snprintf(out, n, "%d x %d pt", int(width_pt + 0.5f), int(height_pt + 0.5f));
    } else if (unit == UNIT_MILLIMETRES) {
        std::snprintf(out, n, "%d x %d mm", int(width_pt * 25.4f / 72 + 0.5f),
                      int(height_pt * 25.4f / 72 + 0.5f));
    } else {
        int tw = int(width_pt * 10 / 72 + 0.5f), th = int(height_pt * 10 / 72 + 0.5f);
        std::snprintf(out, n, inch_format, tw / 10, tw % 10, th / 10, th % 10);
    }
}

int settings_number_clamped(const char *text, int fallback, int lo, int hi)
{
    while (*text == ' ' || *text == '\t')
        text++;
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text)
        return fallback;
    return v < lo ? lo : v > hi ? hi : int(v);
}

int settings_fs_seconds(const char *text)
{
    int v = settings_number_clamped(text, 5, -1, 600);
    return v < 1 ? 5 : v;
}

float settings_greek_threshold(int greek_px) { return greek_px < 0 ? 0.0f : float(greek_px); }

const int OPTIONS_ZOOM_VALUES[9] = {1, 2, 100, 50, 75, 125, 150, 200, 400};

int options_zoom_index(int value)
{
    for (int i = 0; i < 9; i++)
        if (OPTIONS_ZOOM_VALUES[i] == value)
            return i;
    return 0;
}

int options_zoom_value(int index) { return index >= 0 && index < 9 ? OPTIONS_ZOOM_VALUES[index] : 1; }

int options_list_index(int value, int count) { return value >= 0 && value < count ? value : 0; }
