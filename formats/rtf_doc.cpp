// An open RTF document: reading and laying it out at open, drawing a page
// band (rules, pictures, then characters, each clipped to the band) and the
// page's text for search and selection.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "bitmap/bitmap.h"
#include "fonts/font_state.h"
#include "fonts/glyph.h"
#include "formats/rtf_internal.h"
#include "pdf/reader.h"
#include "text/page_text.h"

namespace {

constexpr int kPageTextInitial = 512;

// A device coordinate from points: rounded, NaN as 0, far values held
// where integer arithmetic stays exact.
int device(float v)
{
    if (!(v == v))
        return 0;
    if (v > 1e9f)
        return 1000000000;
    if (v < -1e9f)
        return -1000000000;
    return int(std::lround(v));
}

void fill_rect(PageBitmap *bm, int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, bm->width);
    y1 = std::min(y1, bm->height);
    if (x0 >= x1)
        return;
    for (int y = y0; y < y1; y++) {
        uint8_t *p = bm->pixels + size_t(y) * size_t(bm->stride) + 3 * size_t(x0);
        for (int x = x0; x < x1; x++, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}

void draw_rule(PageBitmap *bm, const RtfRule &r, float s, int band_top)
{
    const int x0 = device(r.x0 * s), y0 = device(r.y0 * s) - band_top;
    int x1 = device(r.x1 * s), y1 = device(r.y1 * s) - band_top;
    x1 = std::max(x1, x0 + 1);
    y1 = std::max(y1, y0 + 1);
    fill_rect(bm, x0, y0, x1, y1, r.red, r.green, r.blue);
}

// A placed picture: its bitmap sampled nearest-neighbour, or a grey
// placeholder when it has none.
void draw_picture(RtfDoc *doc, PageBitmap *bm, const RtfPlaced &pl, float s, int band_top,
                  const std::vector<int> &keep)
{
    const int x0 = device(pl.x * s), y0 = device(pl.y * s) - band_top;
    const int w = std::max(device(pl.width * s), 1), h = std::max(device(pl.height * s), 1);
    const int64_t x1 = int64_t(x0) + w, y1 = int64_t(y0) + h;
    if (x1 <= 0 || y1 <= 0 || x0 >= bm->width || y0 >= bm->height)
        return;
    const PageBitmap *src = rtf_picture_bitmap(doc, pl.picture, keep);
    const int cx0 = std::max(x0, 0), cy0 = std::max(y0, 0);
    const int cx1 = int(std::min<int64_t>(x1, bm->width)), cy1 = int(std::min<int64_t>(y1, bm->height));
    for (int y = cy0; y < cy1; y++) {
        uint8_t *out = bm->pixels + size_t(y) * size_t(bm->stride) + 3 * size_t(cx0);
        for (int x = cx0; x < cx1; x++, out += 3) {
            if (src) {
                const int sx = int(int64_t(x - x0) * src->width / w), sy = int(int64_t(y - y0) * src->height / h);
                const uint8_t *in = src->pixels + size_t(sy) * size_t(src->stride) + 3 * size_t(sx);
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            } else {
                const bool edge = x == x0 || y == y0 || x == x1 - 1 || y == y1 - 1;
                out[0] = out[1] = out[2] = edge ? 0x80 : 0xE8;
            }
        }
    }
}

bool invisible(uint32_t code) { return code == ' ' || code == '\t' || code == 0xA0 || code < 0x20; }

void draw_glyph(RtfDoc *doc, PageBitmap *bm, const RtfGlyph &gl, float s, int band_top)
{
    if (invisible(gl.code))
        return;
    const RtfStyle &st = doc->styles[gl.style];
    const float em = st.size * s;
    const int base = device(std::trunc(gl.y * s + 0.5f)) - band_top;
    if (int64_t(base) + int64_t(0.4f * em) < 0 || int64_t(base) - int64_t(1.2f * em) >= bm->height)
        return;
    const float pen_x = gl.x * s;
    if (!(pen_x > -1e9f && pen_x < 1e9f) || pen_x - em * 2 > float(bm->width) || pen_x + em * 2 < 0)
        return;
    FT_Face face;
    uint32_t glyph;
    if (!rtf_find_glyph(doc, st, gl.code, &face, &glyph))
        return;
    float frac;
    const int px = glyph_pen_pixel(pen_x, true, &frac);
    GlyphBitmap g;
    if (ft_render_glyph_at(face, glyph, em, 0, 0, -em, frac, 0, &g) != 0 || !g.buffer)
        return;
    const int ox = px + g.left, oy = base - g.top;
    for (int y = std::max(0, -oy); y < g.rows && oy + y < bm->height; y++) {
        uint8_t *row = bm->pixels + size_t(oy + y) * size_t(bm->stride);
        for (int x = std::max(0, -ox); x < g.width && ox + x < bm->width; x++) {
            const int c = g.buffer[y * g.pitch + x];
            if (!c)
                continue;
            uint8_t *p = row + 3 * size_t(ox + x);
            p[0] = uint8_t((p[0] * (255 - c) + st.blue * c) / 255);
            p[1] = uint8_t((p[1] * (255 - c) + st.green * c) / 255);
            p[2] = uint8_t((p[2] * (255 - c) + st.red * c) / 255);
        }
    }
}

bool valid_page(const RtfDoc *doc, int page) { return doc && page >= 0 && page < doc->page_count; }

void set_defaults(RtfDoc *doc)
{
    doc->paper_w = 612;
    doc->paper_h = 792;
    doc->margin_l = doc->margin_r = doc->margin_t = doc->margin_b = 72;
    doc->code_page = 1252;
    doc->page_count = 1;
}

float clamp(float v, float lo, float hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

RtfDoc *rtf_open_memory(const uint8_t *data, size_t size)
{
    auto *doc = new (std::nothrow) RtfDoc{};
    if (!doc)
        return nullptr;
    set_defaults(doc);
    try {
        rtf_parse(doc, data, size < size_t(RTF_MAX_FILE) ? size : size_t(RTF_MAX_FILE));
        // Paper from 0.5 to 200 inches; margins within it.
        doc->paper_w = clamp(doc->paper_w, RTF_MIN_PAPER, RTF_MAX_PAPER);
        doc->paper_h = clamp(doc->paper_h, RTF_MIN_PAPER, RTF_MAX_PAPER);
        doc->margin_l = clamp(doc->margin_l, 0, doc->paper_w);
        doc->margin_r = clamp(doc->margin_r, 0, doc->paper_w);
        doc->margin_t = clamp(doc->margin_t, 0, doc->paper_h);
        doc->margin_b = clamp(doc->margin_b, 0, doc->paper_h);
        rtf_layout(doc);
    } catch (const std::bad_alloc &) {
        rtf_close(doc);
        return nullptr;
    }
    return doc;
}

RtfDoc *rtf_open(const char *path)
{
    FILE *f = reader_fopen(path);
    if (!f)
        return nullptr;
    // The file's length when it can be told, else the whole allowance.
    long len = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
    if (std::fseek(f, 0, SEEK_SET) != 0)
        len = -1;
    const size_t cap = len >= 0 && len < RTF_MAX_FILE ? size_t(len) + 1 : size_t(RTF_MAX_FILE);
    auto *buf = static_cast<uint8_t *>(std::malloc(cap));
    const size_t n = buf ? std::fread(buf, 1, cap, f) : 0;
    std::fclose(f);
    RtfDoc *doc = buf ? rtf_open_memory(buf, n) : nullptr;
    std::free(buf);
    return doc;
}

void rtf_close(RtfDoc *doc)
{
    if (!doc)
        return;
    for (int i = 0; i < 12; i++)
        ft_face_release(doc->faces[i]);
    for (RtfPicture &p : doc->pictures)
        bitmap_free(p.bitmap);
    delete doc;
}

int rtf_page_count(const RtfDoc *doc) { return doc ? doc->page_count : 0; }

void rtf_page_size(const RtfDoc *doc, float *width_pt, float *height_pt)
{
    if (width_pt)
        *width_pt = doc ? doc->paper_w : 612;
    if (height_pt)
        *height_pt = doc ? doc->paper_h : 792;
}

PageBitmap *rtf_render_page(RtfDoc *doc, int page, float scale, int band_top, int band_rows)
{
    if (!valid_page(doc, page) || !(scale > 0) || !std::isfinite(scale) || band_rows <= 0)
        return nullptr;
    const float w = doc->paper_w * scale + 0.5f;
    PageBitmap *bm = bitmap_create(w >= 1 && w < float(BITMAP_MAX_SIDE) ? int(w) : w >= 1 ? BITMAP_MAX_SIDE : 1,
                                   std::min(band_rows, BITMAP_MAX_SIDE));
    if (!bm)
        return nullptr;
    bitmap_fill(bm, 255, 255, 255);
    const size_t p = size_t(page);
    for (int i = doc->rule_start[p]; i < doc->rule_start[p + 1]; i++)
        draw_rule(bm, doc->rules[size_t(i)], scale, band_top);
    for (const RtfRule &r : doc->band_rules)
        draw_rule(bm, r, scale, band_top);
    std::vector<int> keep;
    for (int i = doc->placed_start[p]; i < doc->placed_start[p + 1]; i++)
        keep.push_back(doc->placed[size_t(i)].picture);
    for (int i = doc->placed_start[p]; i < doc->placed_start[p + 1]; i++)
        draw_picture(doc, bm, doc->placed[size_t(i)], scale, band_top, keep);
    for (const RtfGlyph &g : doc->band_glyphs)
        draw_glyph(doc, bm, g, scale, band_top);
    for (int i = doc->glyph_start[p]; i < doc->glyph_start[p + 1]; i++)
        draw_glyph(doc, bm, doc->glyphs[size_t(i)], scale, band_top);
    return bm;
}

PageText *rtf_page_text(RtfDoc *doc, int page, float scale)
{
    PageText *text = page_text_new(kPageTextInitial);
    if (!text || !valid_page(doc, page))
        return text;
    const float s = scale > 0 && std::isfinite(scale) ? scale : 1.0f;
    auto add = [&](const RtfGlyph &g) {
        if (g.code == '\n')
            return;
        const float size = doc->styles[g.style].size;
        page_text_add(text, g.code, g.x * s, (g.y - 0.8f * size) * s, (g.x + g.advance) * s, (g.y + 0.2f * size) * s);
    };
    // Headers and footers count where they land on the page.
    auto add_band = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; i++) {
            const RtfGlyph &g = doc->band_glyphs[i];
            if (g.y >= 0 && g.y - 0.8f * doc->styles[g.style].size < doc->paper_h)
                add(g);
        }
    };
    add_band(0, doc->footer_first);
    const size_t p = size_t(page);
    for (int i = doc->glyph_start[p]; i < doc->glyph_start[p + 1]; i++)
        add(doc->glyphs[size_t(i)]);
    add_band(doc->footer_first, doc->band_glyphs.size());
    return text;
}
