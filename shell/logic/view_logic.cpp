// The view window's arithmetic (see view_logic.h).
#include "shell/logic/view_logic.h"

#include <algorithm>
#include <cmath>

float view_fit_scale(int fit_mode, float page_w, float page_h, int rotation_deg, int client_w,
                     int client_h)
{
    if (client_w <= 0 || client_h <= 0)
        return 1.0f;
    if (rotation_deg == 90 || rotation_deg == 270)
        std::swap(page_w, page_h);
    page_w = std::max(page_w, 1.0f);
    page_h = std::max(page_h, 1.0f);
    const float sx = float(client_w - 4) / page_w;
    const float sy = float(client_h - 4) / page_h;
    return fit_mode == FIT_WIDTH ? sx : std::min(sx, sy);
}

float view_limit_scale(float scale)
{
    if (!(scale >= VIEW_MIN_SCALE))  // also catches NaN
        scale = VIEW_MIN_SCALE;
    if (scale > VIEW_MAX_SCALE)
        scale = VIEW_MAX_SCALE;
    const double needed = (612.0 * scale) * (792.0 * scale) * 3.0;
    if (needed > VIEW_MEMORY_LIMIT) {
        // Lowered in whole percent steps, as the zoom box shows percentages.
        int percent = 100;
        while (percent > 1 && (percent / 100.0) * (percent / 100.0) > VIEW_MEMORY_LIMIT / needed)
            percent--;
        scale = std::max(VIEW_MIN_SCALE, float(scale * (percent / 100.0)));
    }
    return scale;
}

int view_zoom_percent(float scale)
{
    // Rounded to the nearest percent in double precision: a zoom set as 57 %
    // is stored as 0.57f (slightly below), and must still read 57 %.
    const double p = double(scale) * 100.0 + 0.5;
    if (!(p >= 0.0))
        return 0;
    return p < 1e6 ? int(p) : 1000000;
}

int view_clamp_scroll(int scroll, int content, int client)
{
    if (content > 0 && content < client)
        return -(client - content) / 2;
    return std::clamp(scroll, 0, std::max(0, content - client));
}

ViewBand view_band_for(int scroll_y, int client_h, int content_h)
{
    const int margin = std::max(VIEW_MIN_MARGIN, client_h / 4);
    ViewBand b;
    b.top = std::max(0, scroll_y - margin);
    b.height = std::max(1, std::min(client_h + 2 * margin, content_h - b.top));
    return b;
}

bool view_band_stale(const ViewBand &band, int scroll_y, int client_h, int content_h)
{
    const int bottom = band.top + band.height;
    if (scroll_y < band.top)
        return true;
    return bottom < scroll_y + client_h && bottom < content_h;
}

int view_band_missing(const ViewBand &prev, const ViewBand &next, ViewBand out[2])
{
    const int shared_top = std::max(prev.top, next.top);
    const int shared_bottom = std::min(prev.top + prev.height, next.top + next.height);
    if (shared_bottom <= shared_top) {
        out[0] = next;
        return 1;
    }
    int n = 0;
    if (next.top < shared_top)
        out[n++] = {next.top, shared_top - next.top};
    if (next.top + next.height > shared_bottom)
        out[n++] = {shared_bottom, next.top + next.height - shared_bottom};
    return n;
}

std::vector<int> view_page_tops(const std::vector<int> &page_heights)
{
    std::vector<int> tops;
    tops.reserve(page_heights.size() + 1);
    long long y = 0;
    for (int h : page_heights) {
        tops.push_back(int(std::min<long long>(y, INT32_MAX)));
        y += std::max(h, 0) + VIEW_PAGE_GAP;
    }
    tops.push_back(y < 9 ? 0 : int(std::min<long long>(y - VIEW_PAGE_GAP, INT32_MAX)));
    return tops;
}

int view_page_at(const std::vector<int> &tops, int y)
{
    const int pages = int(tops.size()) - 1;
    if (pages <= 0)
        return 0;
    // Last page whose top is at or above y.
    auto it = std::upper_bound(tops.begin(), tops.begin() + pages, y);
    int page = int(it - tops.begin()) - 1;
    return std::clamp(page, 0, pages - 1);
}

int view_page_height(const std::vector<int> &tops, int page)
{
    const int pages = int(tops.size()) - 1;
    if (page < 0 || page >= pages)
        return 0;
    // Every page but the last is followed by the gap; the column height
    // (the last entry) ends right below the last page.
    const int gap = page + 1 < pages ? VIEW_PAGE_GAP : 0;
    return std::max(0, tops[size_t(page) + 1] - tops[size_t(page)] - gap);
}

int view_band_pieces(const std::vector<int> &tops, int y0, int rows, ViewPiece *out, int max)
{
    const int pages = int(tops.size()) - 1;
    if (pages <= 0 || rows <= 0)
        return 0;
    const long long y1 = (long long)y0 + rows;
    int n = 0;
    for (int i = view_page_at(tops, y0); i < pages && tops[size_t(i)] < y1 && n < max; i++) {
        const long long top = tops[size_t(i)];
        const long long bottom = top + view_page_height(tops, i);
        const long long a = std::max<long long>(y0, top), b = std::min(y1, bottom);
        if (b > a)
            out[n++] = {i, int(a - top), int(b - a)};
    }
    return n;
}

void view_default_zoom(int setting, int *fit_mode, float *scale)
{
    if (setting == 2) {
        *fit_mode = FIT_WIDTH;
    } else if (setting < 25) {
        *fit_mode = FIT_PAGE;
    } else {
        *fit_mode = FIT_NONE;
        *scale = float(std::min(setting, 600)) / 100.0f;
    }
}

ViewKeyMove view_page_down(int page, int page_count, int scroll_y, int content_h, int client_h)
{
    if (scroll_y + client_h < content_h)
        return {page, scroll_y + client_h, true};
    if (page + 1 < page_count)
        return {page + 1, 0, true};
    return {page, scroll_y, false};
}

ViewKeyMove view_page_up(int page, int scroll_y, int client_h, int prev_page_h)
{
    if (scroll_y >= 1)
        return {page, scroll_y - client_h, true};
    if (page > 0)
        return {page - 1, std::max(0, prev_page_h - client_h), true};
    return {page, scroll_y, false};
}

int view_wheel_notches(int delta)
{
    int n = delta / 120;
    if (n == 0 && delta != 0)
        n = delta > 0 ? 1 : -1;
    return n;
}

void view_grayscale(uint8_t *p, int pixels)
{
    for (int i = 0; i < pixels; i++, p += 3) {
        const uint8_t g = uint8_t((29 * p[0] + 150 * p[1] + 77 * p[2]) >> 8);
        p[0] = p[1] = p[2] = g;
    }
}

void view_tint_hit(uint8_t *p, int pixels)
{
    for (int i = 0; i < pixels; i++, p += 3) {
        p[0] = uint8_t(p[0] - p[0] * 100 / 255);
        p[1] = uint8_t(p[1] + (255 - p[1]) * 100 / 255);
        p[2] = uint8_t(p[2] + (255 - p[2]) * 100 / 255);
    }
}
