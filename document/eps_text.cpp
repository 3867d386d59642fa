// The text of the EPS placeholder page: drawn here, above the raster
// readers, because it needs a base font and the glyph layer.
#include "document/eps_text.h"

#include <cstring>

#include "bitmap/bitmap.h"
#include "fonts/font_state.h"
#include "fonts/glyph.h"
#include "fonts/pdf_font.h"

namespace {

constexpr const char *kPlaceholderFace = "n019003l.pfb";
constexpr int kTextGrey = 90;
constexpr float kMissingAdvance = 500;  // thousandths of an em

// Advance of a glyph in thousandths of an em; missing glyphs and those
// without a positive advance take half an em.
float advance_of(FT_Face face, uint32_t glyph)
{
    float a = glyph ? ft_glyph_advance(face, glyph) : -1;
    return a > 0 ? a : kMissingAdvance;
}

// Coverage blended toward dark grey, clipped to the page.
void blend_glyph(PageBitmap *page, const GlyphBitmap &g, int x0, int y0)
{
    for (int y = 0; y < g.rows; y++) {
        const int py = y0 + y;
        if (py < 0 || py >= page->height)
            continue;
        for (int x = 0; x < g.width; x++) {
            const int px = x0 + x, c = g.buffer[y * g.pitch + x];
            if (px < 0 || px >= page->width || !c)
                continue;
            uint8_t *p = page->pixels + size_t(py) * size_t(page->stride) + 3 * size_t(px);
            for (int k = 0; k < 3; k++)
                p[k] = uint8_t((p[k] * (255 - c) + kTextGrey * c) / 255);
        }
    }
}

}  // namespace

void eps_paint_text(PageBitmap *page, const char *text, int middle, int baseline, int em)
{
    FT_Face face = font_open_base(kPlaceholderFace);
    if (!face)
        return;
    const size_t n = std::strlen(text);
    float width = 0;
    for (size_t i = 0; i < n; i++)
        width += advance_of(face, FT_Get_Char_Index(face, uint8_t(text[i]))) * float(em) / 1000;
    float pen = float(middle) - width * 0.5f;
    for (size_t i = 0; i < n; i++) {
        const uint32_t glyph = FT_Get_Char_Index(face, uint8_t(text[i]));
        GlyphBitmap g;
        if (text[i] != ' ' && glyph && ft_render_glyph(face, glyph, float(em), 0, 0, -float(em), &g) == 0 && g.buffer)
            blend_glyph(page, g, int(pen) + g.left, baseline - g.top);
        pen += advance_of(face, glyph) * float(em) / 1000;
    }
    ft_face_release(face);
}
