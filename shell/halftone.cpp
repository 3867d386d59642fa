// The 256-colour halftone palette and the ordered-dither blitter with which
// the view, the thumbnails and the print preview draw 24-bit rasters on
// palette displays (or wherever PAGRIX_DITHER asks for it).
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "bitmap/bitmap.h"
#include "shell/logic/sheet_layout.h"
#include "shell/print.h"

namespace {

HPALETTE g_palette;

}  // namespace

BITMAPINFOHEADER dib_header(int width, int height, int bits)
{
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = -height;
    h.biPlanes = 1;
    h.biBitCount = WORD(bits);
    h.biCompression = BI_RGB;
    return h;
}

BITMAPINFO dib24_info(const PageBitmap *bitmap)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader = dib_header(bitmap->width, bitmap->height, 24);
    return bmi;
}

HPALETTE halftone_palette()
{
    if (g_palette)
        return g_palette;
    struct {
        WORD version, count;
        PALETTEENTRY entries[256];
    } pal = {0x300, 256, {}};
    for (int i = 0; i < 256; i++) {
        const uint32_t c = halftone_entry(i);
        pal.entries[i] = {BYTE(c >> 16), BYTE(c >> 8), BYTE(c), 0};
    }
    g_palette = CreatePalette(reinterpret_cast<LOGPALETTE *>(&pal));
    return g_palette;
}

void halftone_realize(HDC dc)
{
    if (HPALETTE pal = halftone_palette()) {
        SelectPalette(dc, pal, FALSE);
        RealizePalette(dc);
    }
}

bool halftone_needed(HDC dc)
{
    if (GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) <= 8)
        return true;
    char env[8];
    const DWORD n = GetEnvironmentVariableA("PAGRIX_DITHER", env, sizeof env);
    return n > 0 && n < sizeof env && env[0] == '1';
}

void halftone_draw(HDC dc, const PageBitmap *bitmap, int dx, int dy, int dw, int dh, int sx, int sy, int sw,
                   int sh)
{
    if (!bitmap || sw <= 0 || sh <= 0)
        return;
    sx = std::max(sx, 0);
    sy = std::max(sy, 0);
    sw = std::min(sw, bitmap->width - sx);
    sh = std::min(sh, bitmap->height - sy);
    if (sw <= 0 || sh <= 0)
        return;
    const int stride = (sw + 3) & ~3;
    std::vector<uint8_t> indexes(size_t(stride) * size_t(sh));
    for (int y = 0; y < sh; y++) {
        const uint8_t *p = bitmap->pixels + size_t(sy + y) * size_t(bitmap->stride) + size_t(sx) * 3;
        uint8_t *out = indexes.data() + size_t(y) * size_t(stride);
        for (int x = 0; x < sw; x++, p += 3)
            out[x] = uint8_t(halftone_dither(p[2], p[1], p[0], sx + x, sy + y));
    }
    // An 8-bit image whose colour table refers to the selected palette.
    struct {
        BITMAPINFOHEADER header;
        WORD colours[256];
    } info = {};
    info.header = dib_header(sw, sh, 8);
    info.header.biClrUsed = 256;
    for (int i = 0; i < 256; i++)
        info.colours[i] = WORD(i);
    HPALETTE old = SelectPalette(dc, halftone_palette(), FALSE);
    RealizePalette(dc);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, dx, dy, dw, dh, 0, 0, sw, sh, indexes.data(), reinterpret_cast<BITMAPINFO *>(&info),
                  DIB_PAL_COLORS, SRCCOPY);
    if (old)
        SelectPalette(dc, old, FALSE);
}

void bitmap_draw(HDC dc, const PageBitmap *bitmap, int dx, int dy, int dw, int dh, int sx, int sy, int sw,
                 int sh, int stretch_mode)
{
    if (halftone_needed(dc)) {
        halftone_draw(dc, bitmap, dx, dy, dw, dh, sx, sy, sw, sh);
        return;
    }
    if (!bitmap || sx < 0 || sy < 0 || sw <= 0 || sh <= 0 || sx + sw > bitmap->width || sy + sh > bitmap->height)
        return;
    // The rows start at sy in memory: a top-down image's source y is read
    // from the wrong end by some drivers.
    BITMAPINFO bmi = {};
    bmi.bmiHeader = dib_header(bitmap->width, sh, 24);
    if (stretch_mode != 0) {
        SetStretchBltMode(dc, stretch_mode);
        SetBrushOrgEx(dc, 0, 0, nullptr);
    }
    StretchDIBits(dc, dx, dy, dw, dh, sx, 0, sw, sh, bitmap->pixels + size_t(sy) * size_t(bitmap->stride), &bmi,
                  DIB_RGB_COLORS, SRCCOPY);
}
