// The view window's arithmetic: zoom and its memory limit, fit scales, scroll
// clamping, the rendered band, the continuous column and the page keys. Pure
// functions, so that they are tested natively.
#pragma once
#include <cstdint>
#include <vector>

constexpr float VIEW_MIN_SCALE = 0.15f;
constexpr float VIEW_MAX_SCALE = 6.0f;
constexpr float VIEW_ZOOM_STEP = 1.25f;
constexpr double VIEW_MEMORY_LIMIT = 8388608.0;  // bytes of a Letter page raster
constexpr int VIEW_PAGE_GAP = 8;                 // pixels between pages in continuous layout
constexpr int VIEW_LINE = 40;                    // pixels of one scroll line
constexpr int VIEW_MIN_MARGIN = 48;              // band rows above and below the window, at least

enum ViewFitMode { FIT_NONE = 0, FIT_PAGE = 1, FIT_WIDTH = 2 };

// Scale for a fit mode: page size in points (rotation 90/270 swaps it) into
// the client area less 4 pixels. An empty client area gives 1.0.
float view_fit_scale(int fit_mode, float page_w, float page_h, int rotation_deg, int client_w,
                     int client_h);
// Clamps to 0.15 .. 6.0 and then applies the memory limit, computed for a
// 612 x 792 point page whatever the real page size.
float view_limit_scale(float scale);
// Zoom percentage shown to the user: scale * 100 rounded to the nearest
// integer (halves up); 0 for a scale that is not a positive number.
int view_zoom_percent(float scale);

// One axis of scroll clamping: a smaller content is centred (negative
// scroll), otherwise the position stays within 0 .. content - client.
int view_clamp_scroll(int scroll, int content, int client);

// The strip of content rows that is rendered: the window plus a margin of a
// quarter of its height (at least 48 rows) above and below.
struct ViewBand {
    int top;
    int height;
};
ViewBand view_band_for(int scroll_y, int client_h, int content_h);
// True when the window no longer lies inside the band and a new one is due.
bool view_band_stale(const ViewBand &band, int scroll_y, int client_h, int content_h);
// Rows of `next` that must be rendered, given what `prev` holds: up to two
// ranges (above and below the shared rows). Returns the number of ranges.
int view_band_missing(const ViewBand &prev, const ViewBand &next, ViewBand out[2]);

// Continuous layout: tops of each page plus the column height as the last
// entry. Heights <= 0 (failed sizes) count as 0.
std::vector<int> view_page_tops(const std::vector<int> &page_heights);
// Page whose extent holds content row y (binary search over page tops).
int view_page_at(const std::vector<int> &tops, int y);
// Pixel height of page i recovered from the tops (the gap is not part of it).
int view_page_height(const std::vector<int> &tops, int page);
// The part of one page that falls into content rows y0 .. y0 + rows - 1.
struct ViewPiece {
    int page;
    int first;  // first page row
    int rows;   // number of page rows
};
// Pieces of the pages that intersect the rows, in page order; returns how
// many were written (at most `max`).
int view_band_pieces(const std::vector<int> &tops, int y0, int rows, ViewPiece *out, int max);

// Zoom for a newly opened Document from the setting DefaultZoom: 2 fit
// width, below 25 fit page, else that percentage (scale = p / 100).
void view_default_zoom(int setting, int *fit_mode, float *scale);

// Page Down / Page Up in single-page layout.
struct ViewKeyMove {
    int page;     // page to show (unchanged when only scrolling)
    int scroll_y; // new vertical scroll before clamping
    bool moved;   // false: nothing to do
};
ViewKeyMove view_page_down(int page, int page_count, int scroll_y, int content_h, int client_h);
// prev_page_h: pixel height of the previous page at the current scale.
ViewKeyMove view_page_up(int page, int scroll_y, int client_h, int prev_page_h);

// Wheel notches from a delta: delta / 120, at least one in the delta's direction.
int view_wheel_notches(int delta);

// Pixel effects on a blue-green-red raster row span.
void view_grayscale(uint8_t *bgr, int pixels);
void view_tint_hit(uint8_t *bgr, int pixels);
