#include "shell/logic/tools_logic.h"

#include <algorithm>
#include <cstdlib>

ToolRect tool_drag_rect(int x0, int y0, int x1, int y1)
{
    return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

bool tool_is_click(int dx, int dy) { return std::abs(dx) < 4 && std::abs(dy) < 4; }

bool snapshot_big_enough(const ToolRect &r) { return r.width() > 2 || r.height() > 2; }

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

bool alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

UriAction uri_action(const char *uri)
{
    if (!uri || !uri[0])
        return URI_IGNORE;
    // A scheme: a letter, then letters, digits, "+", "-" or ".", then ":".
    // One letter before the colon is a drive ("C:\..."), not a scheme.
    std::string scheme;
    const char *p = uri;
    if (!alpha(*p))
        return URI_SHOW;
    while (alpha(*p) || (*p >= '0' && *p <= '9') || *p == '+' || *p == '-' || *p == '.')
        scheme.push_back(lower(*p++));
    if (*p != ':')
        return URI_SHOW;
    for (const char *allowed : {"http", "https", "mailto", "ftp"})
        if (scheme == allowed)
            return URI_OPEN;
    return URI_SHOW;
}

ExportFormat export_format_for(std::wstring &name, int filter_index)
{
    const ExportFormat by_filter = filter_index == 2 ? EXPORT_BMP : filter_index == 3 ? EXPORT_JPEG : EXPORT_PNG;
    const size_t sep = name.find_last_of(L"\\/");
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || (sep != std::wstring::npos && dot < sep)) {
        name += by_filter == EXPORT_BMP ? L".bmp" : by_filter == EXPORT_JPEG ? L".jpg" : L".png";
        return by_filter;
    }
    std::wstring ext = name.substr(dot);
    for (wchar_t &c : ext)
        if (c >= L'A' && c <= L'Z')
            c = wchar_t(c + 32);
    if (ext == L".bmp")
        return EXPORT_BMP;
    if (ext == L".jpg" || ext == L".jpeg")
        return EXPORT_JPEG;
    if (ext == L".png")
        return EXPORT_PNG;
    return by_filter;
}

PreviewSize snapshot_preview_size(int width, int height)
{
    PreviewSize p = {};
    const int longer = std::max(1, std::max(width, height));
    const double scale = std::min(1.0, 240.0 / longer);
    p.pictureW = std::max(1, int(width * scale));
    p.pictureH = std::max(1, int(height * scale));
    p.clientW = std::max(p.pictureW + 4, 80);
    p.clientH = std::max(p.pictureH + 4, 40);
    return p;
}
