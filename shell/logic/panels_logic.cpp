// Thumbnail grid arithmetic, the bookmarks tree's parents and the
// full-screen advance rule.
#include "shell/logic/panels_logic.h"

ThumbGrid thumb_grid(int client_w, int client_h, int page_count)
{
    ThumbGrid g = {};
    g.columns = client_w / THUMB_CELL_W;
    if (g.columns < 1)
        g.columns = 1;
    g.left = (client_w - g.columns * THUMB_CELL_W) / 2;
    if (g.left < 0)
        g.left = 0;
    const int rows = page_count > 0 ? (page_count + g.columns - 1) / g.columns : 0;
    g.content_h = rows * THUMB_ROW_H + THUMB_TOP;
    g.max_scroll = g.content_h - client_h > 0 ? g.content_h - client_h : 0;
    return g;
}

int thumb_row_y(const ThumbGrid &g, int page) { return page / g.columns * THUMB_ROW_H + THUMB_TOP; }

int thumb_hit(const ThumbGrid &g, int page_count, int x, int y, int scroll_y)
{
    const int gx = x - g.left, gy = y + scroll_y - THUMB_TOP;
    if (gx < 0 || gy < 0)
        return -1;
    const int column = gx / THUMB_CELL_W, row = gy / THUMB_ROW_H;
    if (column >= g.columns)
        return -1;
    const long long index = (long long)row * g.columns + column;
    return index < page_count ? int(index) : -1;
}

int thumb_clamp_scroll(const ThumbGrid &g, int scroll_y)
{
    return scroll_y < 0 ? 0 : scroll_y > g.max_scroll ? g.max_scroll : scroll_y;
}

int thumb_scroll_into_view(const ThumbGrid &g, int client_h, int page, int scroll_y)
{
    const int y = page / g.columns * THUMB_ROW_H;
    if (y + THUMB_TOP < scroll_y)
        scroll_y = y;
    else if (y + THUMB_ROW_H + THUMB_TOP > scroll_y + client_h)
        scroll_y = y + THUMB_ROW_H + THUMB_TOP - client_h + THUMB_TOP;
    return thumb_clamp_scroll(g, scroll_y);
}

void bookmark_parents(const int *depths, int count, int *parents)
{
    int last[BOOKMARK_MAX_DEPTH + 1];
    for (int &l : last)
        l = -1;
    for (int i = 0; i < count; i++) {
        int d = depths[i] < 0 ? 0 : depths[i] > BOOKMARK_MAX_DEPTH ? BOOKMARK_MAX_DEPTH : depths[i];
        parents[i] = d == 0 ? -1 : last[d - 1];
        last[d] = i;
    }
}

int fullscreen_advance_target(int page, int page_count, bool loop)
{
    if (page_count <= 0)
        return -1;
    if (page < page_count - 1)
        return page + 1;
    return loop && page != 0 ? 0 : -1;
}

int fullscreen_advance_ms(int seconds)
{
    if (seconds < 1)
        seconds = 5;
    if (seconds > 86400)
        seconds = 86400;  // a day: keeps the product inside a timer's range
    return seconds * 1000;
}
