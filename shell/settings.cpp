// Registry access for the settings, and the hand-over of view and renderer
// settings. Every failure is silent: reads give defaults, writes are lost.
#include "shell/settings.h"

#include <cstdio>
#include <cstring>

#include "fonts/font_state.h"
#include "shell/resource.h"
#include "shell/view.h"

namespace {

ViewDefaults g_view_defaults = {6.0f, 1, 0, 0, 0, 0, 0, 1};
RenderSwitches g_render = {1, 1, 1, 0};

void subkey_path(const char *subkey, char *out, size_t n)
{
    if (subkey && *subkey)
        std::snprintf(out, n, "%s\\%s", SETTINGS_KEY, subkey);
    else
        std::snprintf(out, n, "%s", SETTINGS_KEY);
}

}  // namespace

int settings_read(const char *name, int def)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return def;
    DWORD value = 0, type = 0, size = sizeof value;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    // A string or a short binary value would give a number nobody stored.
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return def;
    return int(value);
}

int settings_get(const char *name) { return settings_read(name, settings_default(name)); }

void settings_write(const char *name, int value)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    DWORD v = DWORD(value);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), sizeof v);
    RegCloseKey(key);
}

bool settings_read_string(const char *subkey, const char *name, char *buf, DWORD size)
{
    if (size == 0)
        return false;
    buf[0] = 0;
    char path[300];
    subkey_path(subkey, path, sizeof path);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, got = size;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buf), &got);
    RegCloseKey(key);
    buf[size - 1] = 0;
    if (rc != ERROR_SUCCESS || type != REG_SZ) {
        buf[0] = 0;
        return false;
    }
    if (got < size)
        buf[got] = 0;
    return true;
}

void settings_write_string(const char *subkey, const char *name, const char *value)
{
    char path[300];
    subkey_path(subkey, path, sizeof path);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                   DWORD(std::strlen(value) + 1));
    RegCloseKey(key);
}

void settings_delete_value(const char *subkey, const char *name)
{
    char path[300];
    subkey_path(subkey, path, sizeof path);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

const ViewDefaults &settings_view_defaults() { return g_view_defaults; }
const RenderSwitches &settings_render_switches() { return g_render; }

void settings_apply_view(HWND view)
{
    ViewDefaults &d = g_view_defaults;
    int greek = settings_get("GreekPx");
    d.defaultZoom = settings_get("DefaultZoom");
    d.openGray = settings_get("OpenGray");
    g_render.smoothing = settings_get("SmoothText") != 0;
    g_render.showLargeImages = settings_get("ShowLargeImages") != 0;
    d.pageToEdge = settings_get("PageToEdge");
    d.highlightLinks = settings_get("HighlightLinks");
    g_render.cropToCropBox = !settings_get("ShowPrintMarks");
    int subst = settings_get("SubstFonts");
    g_render.substMode = subst >= 0 && subst <= 2 ? subst : 0;
    font_set_subst_mode(g_render.substMode);
    d.pageLayout = settings_get("PageLayout");
    d.fsBgColor = settings_get("FsBgColor");
    d.fsCursor = settings_get("FsCursor");
    d.greekPx = settings_greek_threshold(greek);
    if (view)
        view_apply_defaults(view, d);
}

void settings_page_size_label(float width_pt, float height_pt, char *out, size_t n)
{
    char inch[64];
    if (!LoadStringA(GetModuleHandleA(nullptr), IDS_PAGE_SIZE_INCHES, inch, sizeof inch))
        std::snprintf(inch, sizeof inch, "%%d,%%d x %%d,%%d");
    settings_page_size_text(width_pt, height_pt, settings_get("PageUnits"), inch, out, n);
}
