// The view tools' and the export's decisions: drag rectangles, what a link's
// address may open, the export format and resolution, the snapshot
// preview's size. Pure functions, tested natively.
#pragma once
#include <string>

// A drag rectangle with left <= right and top <= bottom, whichever corner
// the drag started from.
struct ToolRect {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};
ToolRect tool_drag_rect(int x0, int y0, int x1, int y1);

// A hand-tool press that moved less than 4 pixels in both directions is a
// click (it activates the link under it) rather than a drag.
bool tool_is_click(int dx, int dy);
// A snapshot copies only a rectangle more than 2 pixels wide or high.
bool snapshot_big_enough(const ToolRect &r);

// What a link's address may do. Handing any text to the shell's "open" verb
// would also start a program named by a file: URI, a bare path or a UNC
// path, so only web and mail addresses are opened; everything else is shown.
enum UriAction {
    URI_IGNORE = 0,  // empty: nothing happens
    URI_OPEN = 1,    // http, https, mailto, ftp: opened after the confirmation
    URI_SHOW = 2,    // any other scheme or none: shown in an information box
};
UriAction uri_action(const char *uri);

// Export formats, and the save dialog's filters in this order (1-based).
enum ExportFormat { EXPORT_PNG = 1, EXPORT_BMP = 2, EXPORT_JPEG = 3 };
// The format for a chosen file name: its extension (after the last path
// separator) decides, case-insensitively (.png, .bmp, .jpg, .jpeg); an
// unknown extension takes the filter's format; a name without one gets the
// filter's extension appended.
ExportFormat export_format_for(std::wstring &name, int filter_index);

constexpr double EXPORT_MAX_BYTES = 25165824.0;  // 24 MiB of 24-bit pixels
constexpr float EXPORT_DPI_SCALE = 150.0f / 72.0f;
// The export and page-copy resolution: 150 pixels per inch, shrunk by 0.85
// while the raster needs more than 24 MiB and the scale is above 0.3.
// `pixel_size(scale, &w, &h)` gives the page's pixel size, false on failure.
template <class PixelSize>
float export_scale(PixelSize pixel_size)
{
    float scale = EXPORT_DPI_SCALE;
    int w = 0, h = 0;
    while (scale > 0.3f && pixel_size(scale, &w, &h) && double(w) * double(h) * 3.0 > EXPORT_MAX_BYTES)
        scale *= 0.85f;
    return scale;
}

// The snapshot preview: the picture at most 240 pixels on its longer side
// (never enlarged), in a client area 4 pixels larger, at least 80 x 40.
struct PreviewSize {
    int pictureW, pictureH;
    int clientW, clientH;
};
PreviewSize snapshot_preview_size(int width, int height);
