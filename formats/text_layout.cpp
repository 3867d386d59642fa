// Plain text pages: the rows of a page drawn into a band of pixels with the
// monospaced or proportional base font, and the page's text items with
// their boxes. Layout is by character cells: rows wrap after 90 characters,
// never by measured width.
#include <cstdlib>

#include "bitmap/bitmap.h"
#include "fonts/glyph.h"
#include "fonts/pdf_font.h"
#include "formats/limits.h"
#include "formats/text_internal.h"
#include "text/page_text.h"

namespace {

constexpr float kMissingAdvance = 5;    // points, for a glyph without a positive advance
constexpr float kAscentEms = 1.1f;      // rows reaching a band: glyph extent above the baseline
constexpr float kDescentEms = 0.35f;    // and below it
constexpr float kBoxTop = 8;            // character boxes: points above the baseline
constexpr float kBoxBottom = 4;         // and below it
constexpr int kAdvanceSlots = 65536;    // one per 16-bit character

FT_Face face_of(TextDoc *doc)
{
    FT_Face *face = doc->mono ? &doc->mono_face : &doc->prop_face;
    bool *tried = doc->mono ? &doc->mono_tried : &doc->prop_tried;
    if (!*face && !*tried) {
        *tried = true;
        *face = font_open_base(doc->mono ? TEXT_MONO_FACE : TEXT_PROP_FACE);
    }
    return *face;
}

// A character's advance in the proportional face, in points at 10 points.
// Measured once per character: measuring loads the glyph outline.
float prop_advance(TextDoc *doc, FT_Face face, uint16_t c)
{
    if (!doc->prop_advance) {
        doc->prop_advance = static_cast<float *>(std::malloc(sizeof(float) * kAdvanceSlots));
        if (doc->prop_advance) {
            for (int i = 0; i < kAdvanceSlots; i++)
                doc->prop_advance[i] = -1;
        }
    }
    if (doc->prop_advance && doc->prop_advance[c] >= 0)
        return doc->prop_advance[c];
    const uint32_t glyph = ft_char_index_unicode(face, c);
    const float thousandths = glyph ? ft_glyph_advance(face, glyph) : -1;
    const float points = thousandths > 0 ? thousandths * TEXT_EM / 1000 : kMissingAdvance;
    if (doc->prop_advance)
        doc->prop_advance[c] = points;
    return points;
}

bool scale_usable(float scale) { return scale > 0 && scale <= TEXT_MAX_SCALE; }

int pixels(float v) { return int(v + 0.5f); }

// Darkens the band under a glyph's coverage; pixels outside are skipped.
void darken(PageBitmap *band, const GlyphBitmap &g, int x0, int y0)
{
    for (int y = 0; y < g.rows; y++) {
        const int py = y0 + y;
        if (py < 0 || py >= band->height)
            continue;
        const uint8_t *cov = g.buffer + size_t(y) * size_t(g.pitch);
        uint8_t *row = band->pixels + size_t(py) * size_t(band->stride);
        for (int x = 0; x < g.width; x++) {
            const int px = x0 + x;
            if (px < 0 || px >= band->width || cov[x] == 0)
                continue;
            uint8_t *p = row + 3 * size_t(px);
            for (int k = 0; k < 3; k++)
                p[k] = uint8_t(p[k] * (255 - cov[x]) / 255);
        }
    }
}

// The characters of document row `row`: a pointer into the decoded line
// and their count (at most one row's worth). `line` carries the line found
// for the previous row, so a page's rows walk the index forward.
const uint16_t *row_chars(TextDoc *doc, int row, int *line, int *count)
{
    *count = 0;
    if (*line < 0 || *line + 1 >= doc->line_count || doc->lines[*line + 1].first_row <= row)
        *line = text_line_of_row(doc, row);
    while (*line + 1 < doc->line_count && doc->lines[*line + 1].first_row <= row)
        ++*line;
    int length = 0;
    const uint16_t *chars = text_line_chars(doc, *line, &length);
    if (!chars)
        return nullptr;
    int from = (row - doc->lines[*line].first_row) * doc->columns;
    if (from > length)
        from = length;
    *count = length - from < doc->columns ? length - from : doc->columns;
    return chars + from;
}

void draw_row(TextDoc *doc, FT_Face face, PageBitmap *band, const uint16_t *chars, int count,
              float scale, int baseline)
{
    const float em = TEXT_EM * scale;
    float x = TEXT_LEFT * scale;  // proportional pen
    for (int j = 0; j < count; j++) {
        const uint16_t c = chars[j];
        const int pen = doc->mono ? pixels((TEXT_LEFT + TEXT_CELL_WIDTH * float(j)) * scale) : pixels(x);
        if (c != ' ') {
            GlyphBitmap g;
            const uint32_t glyph = ft_char_index_unicode(face, c);
            if (glyph && ft_render_glyph(face, glyph, em, 0, 0, -em, &g) == 0 && g.buffer)
                darken(band, g, pen + g.left, baseline - g.top);
        }
        if (!doc->mono)
            x += prop_advance(doc, face, c) * scale;
    }
}

// The first document row of a page and the page's row count.
int page_rows(const TextDoc *doc, int page, int *first)
{
    *first = page * doc->rows_per_page;
    const int left = doc->total_rows - *first;
    return left < 0 ? 0 : left < doc->rows_per_page ? left : doc->rows_per_page;
}

}  // namespace

int text_render_page(TextDoc *doc, int page, float scale, int band_top, int band_rows, PageBitmap **out)
{
    if (out)
        *out = nullptr;
    if (!doc || !out)
        return -2;
    if (page < 0 || page >= text_page_count(doc))
        return -4;
    if (!scale_usable(scale))
        return -5;
    const int width = pixels(TEXT_PAGE_WIDTH * scale), height = pixels(TEXT_PAGE_HEIGHT * scale);
    if (width < 1 || width > BITMAP_MAX_SIDE || band_rows <= 0 || band_top < 0 || band_top >= height)
        return -5;
    if (band_rows > height - band_top)
        band_rows = height - band_top;
    PageBitmap *band = bitmap_create(width, band_rows);
    if (!band)
        return -3;
    bitmap_fill(band, 255, 255, 255);
    if (FT_Face face = face_of(doc)) {
        const float em = TEXT_EM * scale;
        int first, line = -1;
        const int rows = page_rows(doc, page, &first);
        for (int r = 0; r < rows; r++) {
            const int baseline = pixels((float(r) * TEXT_ROW_PITCH + TEXT_FIRST_BASELINE) * scale) - band_top;
            if (baseline + int(kDescentEms * em) < 0 || baseline - int(kAscentEms * em) >= band_rows)
                continue;
            int count = 0;
            const uint16_t *chars = row_chars(doc, first + r, &line, &count);
            if (chars)
                draw_row(doc, face, band, chars, count, scale, baseline);
        }
    }
    *out = band;
    return 0;
}

PageText *text_page_text(TextDoc *doc, int page, float scale)
{
    if (!doc || page < 0 || page >= text_page_count(doc) || !scale_usable(scale))
        return nullptr;
    PageText *text = page_text_new(0);
    if (!text)
        return nullptr;
    FT_Face face = doc->mono ? nullptr : face_of(doc);
    int first, line = -1;
    const int rows = page_rows(doc, page, &first);
    for (int r = 0; r < rows; r++) {
        int count = 0;
        const uint16_t *chars = row_chars(doc, first + r, &line, &count);
        if (!chars)
            continue;
        const float baseline = float(r) * TEXT_ROW_PITCH + TEXT_FIRST_BASELINE;
        const float y0 = (baseline - kBoxTop) * scale, y1 = (baseline + kBoxBottom) * scale;
        int x = int(TEXT_LEFT * scale);  // proportional: a running integer position
        for (int j = 0; j < count; j++) {
            int x0, x1;
            if (doc->mono) {
                x0 = int((TEXT_LEFT + TEXT_CELL_WIDTH * float(j)) * scale);
                x1 = int((TEXT_LEFT + TEXT_CELL_WIDTH * float(j + 1)) * scale);
            } else {
                const float advance = face ? prop_advance(doc, face, chars[j]) : TEXT_CELL_WIDTH;
                x0 = x;
                x1 = x += int(advance * scale);
            }
            page_text_add(text, chars[j], float(x0), y0, float(x1), y1);
        }
    }
    return text;
}
