// Frame placement from stored values, the recent-files list and its menu
// labels, and the layout arithmetic of the frame's children.
#include <cstdio>
#include <cstring>

#include "shell/logic/shell_logic.h"

Placement placement_decide(int remember, const StoredPlacement &s, int cx, int cy)
{
    Placement p = {true, 0, 0, FRAME_DEFAULT_W, FRAME_DEFAULT_H, false};
    if (!remember)
        return p;
    // Every test must hold, otherwise the stored values are ignored entirely.
    // 64-bit sums: stored values are arbitrary 32-bit numbers.
    long long x = s.x, y = s.y, w = s.w, h = s.h;
    bool usable = w >= 200 && h >= 150 && s.x != PLACEMENT_UNSET && s.y != PLACEMENT_UNSET &&
                  x + w > 50 && y + 50 > 0 && x < cx - 50 && y < cy - 50;
    if (!usable)
        return p;
    if (w >= cx + 32)
        w = cx;
    if (h >= cy + 32)
        h = cy;
    return {false, s.x, s.y, int(w), int(h), s.maximized != 0};
}

BoxOrigin center_box_on_owner(const int owner[4], int w, int h, const int work[4])
{
    // 64-bit sums: window rectangles may lie far outside the screen.
    auto place = [](long long lo, long long hi, long long size, long long work_lo, long long work_hi) {
        long long p = lo + (hi - lo - size) / 2;
        if (p + size > work_hi)
            p = work_hi - size;
        if (p < work_lo)
            p = work_lo;  // the caption stays reachable when the box is larger than the work area
        return int(p);
    };
    return {place(owner[0], owner[2], w, work[0], work[2]), place(owner[1], owner[3], h, work[1], work[3])};
}

static int ascii_lower(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

static bool ascii_equal_nocase(const char *a, const char *b)
{
    for (; *a && *b; a++, b++)
        if (ascii_lower((unsigned char)*a) != ascii_lower((unsigned char)*b))
            return false;
    return *a == *b;
}

int recent_find(const RecentFiles &list, const char *path)
{
    for (int i = 0; i < list.count; i++)
        if (ascii_equal_nocase(list.entries[i].path, path))
            return i;
    return -1;
}

void recent_add(RecentFiles &list, const char *path_in, const char16_t *wide_in)
{
    // The arguments may point into the list itself (re-opening an entry).
    char path[RECENT_PATH];
    char16_t wide[RECENT_PATH];
    std::snprintf(path, sizeof path, "%s", path_in);
    int n = 0;
    if (wide_in)
        for (; n < RECENT_PATH - 1 && wide_in[n]; n++)
            wide[n] = wide_in[n];
    wide[n] = 0;
    int found = recent_find(list, path);
    int last = found >= 0 ? found : (list.count < RECENT_MAX ? list.count : RECENT_MAX - 1);
    if (found < 0 && list.count < RECENT_MAX)
        list.count++;
    for (int i = last; i > 0; i--)
        list.entries[i] = list.entries[i - 1];
    RecentEntry &e = list.entries[0];
    std::memcpy(e.path, path, sizeof path);
    std::memcpy(e.wide, wide, sizeof wide);
}

void recent_menu_label(int index, const char *path, char *out, size_t n)
{
    const char *slash = std::strrchr(path, '\\');
    const char *name = slash ? slash + 1 : path;
    size_t len = std::strlen(name);
    if (len > 40)
        std::snprintf(out, n, "&%d %.18s...%s", index + 1, name, name + len - 19);
    else
        std::snprintf(out, n, "&%d %s", index + 1, name);
}

PanelFlags panel_flags(int mode)
{
    return {mode == PANEL_THUMBS_ONLY, mode == PANEL_THUMBS_ONLY || mode == PANEL_THUMBS_AND_PAGE,
            mode == PANEL_BOOKMARKS_AND_PAGE};
}

int panel_toggle(int current, int wanted) { return current == wanted ? PANEL_PAGE_ONLY : wanted; }

void layout_status_parts(int client_w, int parts[3])
{
    parts[0] = client_w - 240;
    parts[1] = client_w - 56;
    parts[2] = -1;  // up to the right border
}

LayoutResult layout_compute(const LayoutInput &in)
{
    LayoutResult r = {};
    r.panel_width = in.panel_width;
    r.splitter_x = -1;
    layout_status_parts(in.client_w, r.status_parts);
    if (in.full_screen) {
        r.view = {0, 0, in.client_w, in.client_h, true};
        return r;
    }
    int top = in.toolbar_h, height = in.client_h - in.toolbar_h - in.status_h;
    if (height < 0)
        height = 0;
    PanelFlags f = panel_flags(in.panel_mode);
    if (f.thumbsFullWindow) {
        r.thumbs = {0, top, in.client_w, height, true};
        return r;
    }
    // The view keeps at least 205 pixels, but the panel never gets narrower than 90.
    int pw = in.panel_width;
    if (pw > in.client_w - 205)
        pw = in.client_w - 205;
    if (pw < PANEL_MIN_WIDTH)
        pw = PANEL_MIN_WIDTH;
    r.panel_width = pw;
    int left = 0;
    if (f.bookmarksVisible || f.thumbsVisible) {
        LayoutRect panel = {0, top, pw, height, true};
        if (f.bookmarksVisible)
            r.bookmarks = panel;
        else
            r.thumbs = panel;
        r.splitter_x = pw;
        left = pw + SPLITTER_WIDTH;
    }
    int vw = in.client_w - left;
    r.view = {left, top, vw < 0 ? 0 : vw, height, true};
    return r;
}
