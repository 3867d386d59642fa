// Painting of the page view, double-buffered through one memory bitmap the
// size of the client area: background, the white page with its frame and
// shadow, the rendered band, link borders, search hits and the selection;
// without a Document the hint text.
#include <algorithm>

#include "bitmap/bitmap.h"
#include "shell/print.h"
#include "shell/resource.h"
#include "shell/view_internal.h"

namespace {

HDC g_mem_dc;
HBITMAP g_mem_bitmap, g_mem_old;
int g_mem_w, g_mem_h;

bool ensure_buffer(int w, int h)
{
    if (g_mem_dc && g_mem_w == w && g_mem_h == h)
        return true;
    view_release_buffer();
    HDC screen = GetDC(nullptr);
    g_mem_dc = CreateCompatibleDC(screen);
    g_mem_bitmap = g_mem_dc ? CreateCompatibleBitmap(screen, w, h) : nullptr;
    ReleaseDC(nullptr, screen);
    if (!g_mem_bitmap) {
        view_release_buffer();
        return false;
    }
    g_mem_old = static_cast<HBITMAP>(SelectObject(g_mem_dc, g_mem_bitmap));
    g_mem_w = w;
    g_mem_h = h;
    return true;
}

void fill(HDC dc, int l, int t, int r, int b, COLORREF c)
{
    RECT rc = {l, t, r, b};
    HBRUSH brush = CreateSolidBrush(c);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
}

void paint_hint(HDC dc, int cw, int ch)
{
    char text[256];
    if (!LoadStringA(GetModuleHandleA(nullptr), IDS_EMPTY_VIEW, text, sizeof text))
        return;
    RECT rc = {0, 0, cw, ch};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(dc, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
}

// The band's rows that fall into client rows top .. bottom - 1, as a
// top-down 24-bit image.
void paint_band(HDC dc, const ViewState &s, int top, int bottom)
{
    const PageBitmap *band = s.band;
    const int y = s.bandTop - s.scrollY;
    const int first = std::max(0, top - y), last = std::min(band->height, bottom - y);
    if (last <= first)
        return;
    bitmap_draw(dc, band, -s.scrollX, y + first, band->width, last - first, 0, first, band->width, last - first, 0);
}

void paint_frame(HDC dc, int x, int y, int w, int h)
{
    const COLORREF edge = RGB(96, 96, 96), shadow = RGB(0, 0, 0);
    fill(dc, x - 1, y - 1, x + w, y, edge);          // top
    fill(dc, x - 1, y - 1, x, y + h, edge);          // left
    fill(dc, x + w, y + 2, x + w + 2, y + h + 2, shadow);  // right
    fill(dc, x + 2, y + h, x + w + 2, y + h + 2, shadow);  // bottom
}

void outline(HDC dc, const RECT &r, COLORREF color, int width)
{
    HPEN pen = CreatePen(PS_SOLID, width, color);
    HGDIOBJ old_pen = SelectObject(dc, pen);
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    DeleteObject(pen);
}

RECT shifted(const RECT &r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

void paint_marks(HDC dc, const ViewState &s)
{
    for (int i = 0; i < s.linkCount && i < VIEW_MAX_LINKS; i++) {
        const ViewLink &l = s.links[i];
        const RECT r = shifted(l.rect, -s.scrollX, -s.scrollY);
        if (l.border)
            outline(dc, r, l.borderColor, std::max(1, l.borderWidth));
        else if (s.defaults.highlightLinks)
            outline(dc, r, RGB(0, 100, 220), 1);
    }
    if (s.hitCount > 0 && s.hitRectsPage == s.page) {
        int ox = 0, oy = 0;
        if (s.continuous && s.page < s.pageTopCount) {
            int w = 0, h = 0;
            doc_page_pixel_size(s.document, s.page, s.scale, &w, &h);
            ox = (s.contentW - w) / 2;
            oy = s.pageTop[size_t(s.page)];
        }
        for (int i = 0; i < s.hitCount && i < VIEW_MAX_HITS; i++)
            outline(dc, shifted(s.hitRects[i], ox - s.scrollX, oy - s.scrollY), RGB(230, 100, 0), 2);
    }
    if (!s.continuous && s.selectionPresent && s.selectionPage == s.page)
        for (int i = 0; i < s.selectionRectCount && i < VIEW_MAX_SELECTION_RECTS; i++) {
            const RECT r = shifted(s.selectionRects[i], -s.scrollX, -s.scrollY);
            InvertRect(dc, &r);
        }
}

void paint_content(HDC dc, const ViewState *s, int cw, int ch, const RECT &area)
{
    fill(dc, 0, 0, cw, ch, s ? view_background(*s) : GetSysColor(COLOR_APPWORKSPACE));
    if (!s || !s->document) {
        if (!s || !s->fullScreen)
            paint_hint(dc, cw, ch);
        return;
    }
    const int px = -s->scrollX, py = -s->scrollY;
    if (!s->continuous && s->contentW > 0 && s->contentH > 0)
        fill(dc, px, py, px + s->contentW, py + s->contentH, RGB(255, 255, 255));
    if (s->band)
        paint_band(dc, *s, int(area.top), int(area.bottom));
    if (!s->continuous && !s->fullScreen && !s->defaults.pageToEdge && s->contentW > 0)
        paint_frame(dc, px, py, s->contentW, s->contentH);
    paint_marks(dc, *s);
}

}  // namespace

COLORREF view_background(const ViewState &s)
{
    if (s.fullScreen) {
        switch (s.defaults.fsBgColor) {
        case 1: return RGB(128, 128, 128);
        case 2: return RGB(255, 255, 255);
        default: return RGB(0, 0, 0);
        }
    }
    return s.defaults.pageToEdge ? RGB(255, 255, 255) : GetSysColor(COLOR_APPWORKSPACE);
}

void view_paint(HWND view, ViewState *s, HDC dc, const RECT &area)
{
    int cw, ch;
    view_client_size(view, &cw, &ch);
    if (cw <= 0 || ch <= 0 || area.right <= area.left || area.bottom <= area.top)
        return;
    const bool buffered = ensure_buffer(cw, ch);
    HDC target = buffered ? g_mem_dc : dc;
    const int saved = SaveDC(target);
    IntersectClipRect(target, area.left, area.top, area.right, area.bottom);
    paint_content(target, s, cw, ch, area);
    RestoreDC(target, saved);
    if (buffered)
        BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, g_mem_dc, area.left,
               area.top, SRCCOPY);
}

void view_release_buffer()
{
    if (g_mem_dc && g_mem_old)
        SelectObject(g_mem_dc, g_mem_old);
    if (g_mem_bitmap)
        DeleteObject(g_mem_bitmap);
    if (g_mem_dc)
        DeleteDC(g_mem_dc);
    g_mem_dc = nullptr;
    g_mem_bitmap = g_mem_old = nullptr;
    g_mem_w = g_mem_h = 0;
}
