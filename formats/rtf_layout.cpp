// RTF layout: the parsed characters and items become pages of positioned
// characters, rules (table borders, underlines) and pictures, all in points.
// Paragraphs fill lines greedily and break after the last space; table rows
// lay their cells side by side; headers and footers are laid out once and
// drawn on every page.
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "fonts/font_state.h"
#include "fonts/pdf_font.h"
#include "formats/rtf_internal.h"

namespace {

constexpr const char *kFaceFiles[12] = {
    "n021003l.pfb", "n021004l.pfb", "n021023l.pfb", "n021024l.pfb",  // serif
    "n019003l.pfb", "n019004l.pfb", "n019023l.pfb", "n019024l.pfb",  // sans-serif
    "n022003l.pfb", "n022004l.pfb", "n022023l.pfb", "n022024l.pfb",  // monospaced
};
constexpr float kTabStop = 36;        // points between default tab stops
constexpr float kEmptyLine = 14.4f;   // height of an empty paragraph or line
constexpr float kCellPad = 2;         // points between a cell boundary and its text
constexpr float kMinCell = 20;        // narrowest cell text
constexpr float kMinLine = 20;        // narrowest paragraph line, whatever its indent
constexpr float kBorder = 0.6f;       // table border thickness
constexpr uint8_t kBorderGrey = 0xA0;
constexpr float kPictureGap = 4;      // points below a picture
constexpr float kRowGap = 2;          // points below a table row

struct Pen {
    int page;
    float y;
};

bool later(const Pen &a, const Pen &b) { return a.page > b.page || (a.page == b.page && a.y > b.y); }

// Where laid-out characters and rules go; a measuring pass keeps nothing.
struct Sink {
    std::vector<RtfGlyph> *glyphs;
    std::vector<RtfRule> *rules;
    bool measure;
};

// A paragraph of a table cell: characters from..to, aligned.
struct Piece {
    int from, to, align;
};

struct Layout {
    RtfDoc *doc;
    float left, right, top, bottom;
    Pen pen;
    bool full;  // the page limit was reached: nothing more is laid out
    std::unordered_map<uint64_t, float> advances;

    // Moves to a new page; false (and the layout ends) at the page limit.
    bool new_page(Pen *p)
    {
        if (p->page + 1 >= RTF_MAX_PAGES) {
            full = true;
            return false;
        }
        p->page++;
        p->y = top;
        return true;
    }

    float advance(const RtfChar &c)
    {
        const uint64_t key = uint64_t(c.style) << 32 | c.code;
        auto it = advances.find(key);
        if (it != advances.end())
            return it->second;
        const float a = rtf_advance(doc, doc->styles[c.style], c.code);
        advances.emplace(key, a);
        return a;
    }

    // A tab at pen offset `at` from the paragraph's start goes to the next
    // stop, or the one after when that is nearer than 4 points.
    // On a first line that hangs `hang` points left of the paragraph's
    // other lines, a tab before their start goes to it.
    static float tab_advance(float at, float hang = 0)
    {
        if (at < hang)
            return hang - at;
        float stop = (std::floor(at / kTabStop) + 1) * kTabStop;
        if (stop - at < 4)
            stop += kTabStop;
        return stop - at;
    }

    void add_rule(const Sink &s, int page, float x0, float y0, float x1, float y1, uint8_t r, uint8_t g, uint8_t b)
    {
        if (s.measure)
            return;
        if (!s.rules->empty()) {
            // Underlines of neighbouring characters join into one rule.
            RtfRule &last = s.rules->back();
            if (last.page == page && last.y0 == y0 && last.y1 == y1 && last.x1 == x0 && last.red == r &&
                last.green == g && last.blue == b) {
                last.x1 = x1;
                return;
            }
        }
        if (s.rules->size() < size_t(RTF_MAX_GLYPHS))
            s.rules->push_back(RtfRule{page, x0, y0, x1, y1, r, g, b});
    }

    void paragraph(const Sink &s, int from, int to, const std::vector<RtfChar> &text, float x0, float x1, int align,
                   bool breaks, Pen *p, float first = 0, int label = 0, int label_align = RTF_LEFT);
    void place_line(const Sink &s, const RtfChar *text, int n, float x0, float x1, int align, bool justify,
                    float width, float max_size, bool breaks, Pen *p, float hang);
    size_t table_row(size_t first, int *pending);
    Pen cells(const Sink &s, const std::vector<std::vector<Piece>> &pieces, const std::vector<float> &bounds,
              bool breaks, Pen at);
    void picture(const RtfItem &it);
    void run();
    void band(const std::vector<RtfChar> &text, float y);
};

// Lines filled greedily between x0 and x1, breaking after the line's last
// space, else before the character that does not fit; U+000A ends a line.
// The first line starts `first` points right of x0 (left when negative, as
// far as the paper's edge: a list number hangs there); a list number of
// `label` characters ends there or is centred on it when so aligned.
void Layout::paragraph(const Sink &s, int from, int to, const std::vector<RtfChar> &text, float x0, float x1,
                       int align, bool breaks, Pen *p, float first, int label, int label_align)
{
    if (x0 > x1 - kMinLine)
        x0 = x1 - kMinLine;
    float shift = 0;
    if (label_align != RTF_LEFT) {
        for (int k = from; k < std::min(to, from + label); k++)
            shift += advance(text[size_t(k)]);
        if (label_align == RTF_CENTRE)
            shift *= 0.5f;
    }
    int i = from;
    bool first_line = true;
    while (i < to && !full) {
        const float lx0 = first_line ? std::clamp(x0 + first - shift, std::min(0.0f, x0), x1 - kMinLine) : x0;
        const float hang = x0 - lx0, room = x1 - lx0;
        first_line = false;
        const int start = i;
        float w = 0;
        int last_space = -1, j = i;
        bool newline = false;
        for (; j < to; j++) {
            const RtfChar &c = text[size_t(j)];
            if (c.code == '\n') {
                newline = true;
                break;
            }
            const float adv = c.code == '\t' ? tab_advance(w, hang) : advance(c);
            if (j > start && w + adv > room)
                break;
            if (c.code == ' ' && j > start)
                last_space = j;
            w += adv;
        }
        int stop = j, next = newline ? j + 1 : j;
        if (!newline && j < to) {
            if (last_space > start) {
                stop = last_space;
                next = last_space + 1;
            } else if (text[size_t(j)].code == ' ') {
                next = j + 1;  // the space that did not fit ends the line and is dropped
            }
        }
        float width = 0, max_size = 0;
        for (int k = start; k < stop; k++) {
            const RtfChar &c = text[size_t(k)];
            width += c.code == '\t' ? tab_advance(width, hang) : advance(c);
            max_size = std::max(max_size, doc->styles[c.style].size);
        }
        const bool last = next >= to || newline;
        place_line(s, text.data() + start, stop - start, lx0, x1, align, align == RTF_JUSTIFY && !last, width,
                   max_size, breaks, p, hang);
        i = next;
    }
}

void Layout::place_line(const Sink &s, const RtfChar *text, int n, float x0, float x1, int align, bool justify,
                        float width, float max_size, bool breaks, Pen *p, float hang)
{
    const float size = max_size > 0 ? max_size : 12;
    const float height = 1.2f * size;
    if (breaks && p->y + height > bottom && p->y > top && !new_page(p))
        return;
    const float baseline = p->y + 0.8f * size;
    p->y += height;
    if (s.measure)
        return;
    float x = align == RTF_RIGHT ? x1 - width : align == RTF_CENTRE ? x0 + (x1 - x0 - width) * 0.5f : x0;
    float share = 0;
    if (justify && x1 - x0 > width) {
        int spaces = 0;
        for (int k = 0; k < n; k++)
            spaces += text[k].code == ' ';
        if (spaces)
            share = (x1 - x0 - width) / float(spaces);
    }
    const int page = p->page;
    for (int k = 0; k < n; k++) {
        const RtfChar &c = text[k];
        const RtfStyle &st = doc->styles[c.style];
        float adv = c.code == '\t' ? tab_advance(x - x0, hang) : advance(c);
        if (c.code == ' ')
            adv += share;
        if (doc->glyphs.size() + doc->band_glyphs.size() < size_t(RTF_MAX_GLYPHS))
            s.glyphs->push_back(RtfGlyph{page, x, baseline, adv, c.code, c.style});
        if (st.underline) {
            const float uy = baseline + 0.12f * st.size;
            add_rule(s, page, x, uy, x + adv, uy + 0.05f * st.size + 0.4f, st.red, st.green, st.blue);
        }
        x += adv;
    }
}

// Cell i's text boxes side by side, all starting at `at`; the lowest end.
Pen Layout::cells(const Sink &s, const std::vector<std::vector<Piece>> &pieces, const std::vector<float> &bounds,
                  bool breaks, Pen at)
{
    Pen end = at;
    for (size_t i = 0; i < pieces.size(); i++) {
        const float x0 = left + (i ? bounds[i - 1] : 0) + kCellPad;
        float x1 = left + bounds[i] - kCellPad;
        if (x1 - x0 < kMinCell)
            x1 = x0 + kMinCell;
        Pen p = at;
        for (const Piece &pc : pieces[i]) {
            if (pc.to > pc.from)
                paragraph(s, pc.from, pc.to, doc->chars, x0, x1, pc.align, breaks, &p);
            else
                p.y += kEmptyLine;
        }
        if (later(p, end))
            end = p;
    }
    return end;
}

// A table row from item `first` (a row start, or the first cell item of a
// row written without one) to its row end: the cells' text side by side with
// grey borders, moved to a new page when it does not fit. Returns the item
// after the row; *pending becomes the row's last character position.
size_t Layout::table_row(size_t first, int *pending)
{
    const std::vector<RtfItem> &items = doc->items;
    size_t end = first;
    while (end < items.size() && items[end].kind != RTF_ITEM_ROW_END)
        end++;
    const int start_pos = *pending;
    const int end_pos = end < items.size() ? items[end].pos : int(doc->chars.size());
    std::vector<float> bounds;
    std::vector<std::vector<Piece>> pieces(1);
    int from = start_pos;
    bool page_break = false;
    for (size_t k = first; k < end; k++) {
        const RtfItem &it = items[k];
        if (it.kind == RTF_ITEM_ROW && !bounds.empty()) {
            bounds.clear();  // the row's definition written again after its cells
        } else if (it.kind == RTF_ITEM_CELL && it.sub == 0) {
            if (bounds.size() < size_t(RTF_MAX_CELLS))
                bounds.push_back(it.f[0]);
        } else if (it.kind == RTF_ITEM_CELL) {
            pieces.back().push_back(Piece{from, it.pos, int(it.f[1])});
            from = it.pos;
            // Cells beyond the limit continue the last one.
            if (pieces.size() < size_t(RTF_MAX_CELLS))
                pieces.emplace_back();
        } else if (it.kind == RTF_ITEM_PAR || it.kind == RTF_ITEM_LINE) {
            pieces.back().push_back(Piece{from, it.pos, it.sub});
            from = it.pos;
        } else if (it.kind == RTF_ITEM_PAGE) {
            page_break = true;  // takes effect below the row
        }
    }
    if (end_pos > from)
        pieces.back().push_back(Piece{from, end_pos, RTF_LEFT});
    if (pieces.back().empty() && pieces.size() > 1)
        pieces.pop_back();
    *pending = end_pos;
    // Cells without a boundary share the room right of the last one (or the
    // whole line when there is none).
    const size_t n = pieces.size();
    if (bounds.empty()) {
        for (size_t i = 0; i < n; i++)
            bounds.push_back((right - left) * float(i + 1) / float(n));
    } else if (bounds.size() < n) {
        const float last = bounds.back();
        const size_t extra = n - bounds.size();
        float w = (right - left - last) / float(extra);
        if (!(w >= kTabStop))
            w = 2 * kTabStop;
        for (size_t i = 1; i <= extra; i++)
            bounds.push_back(last + w * float(i));
    }
    bounds.resize(n);

    const Sink measure{nullptr, nullptr, true};
    const Pen probe = cells(measure, pieces, bounds, false, Pen{pen.page, pen.y});
    const float height = probe.y - pen.y;
    if (pen.y + height > bottom && pen.y > top && !new_page(&pen))
        return end + 1;
    // A row taller than a page breaks its cells' lines across pages.
    const bool breaks = pen.y + height > bottom;
    const Sink sink{&doc->glyphs, &doc->rules, false};
    const Pen row_top = pen;
    const Pen row_end = cells(sink, pieces, bounds, breaks, row_top);
    for (size_t i = 0; i < n; i++) {
        const float xl = left + (i ? bounds[i - 1] : 0), xr = left + bounds[i];
        add_rule(sink, row_top.page, xl, row_top.y, xr, row_top.y + kBorder, kBorderGrey, kBorderGrey, kBorderGrey);
        add_rule(sink, row_end.page, xl, row_end.y, xr, row_end.y + kBorder, kBorderGrey, kBorderGrey, kBorderGrey);
        for (int pg = row_top.page; pg <= row_end.page; pg++) {
            const float y0 = pg == row_top.page ? row_top.y : top, y1 = pg == row_end.page ? row_end.y : bottom;
            add_rule(sink, pg, xl, y0, xl + kBorder, y1, kBorderGrey, kBorderGrey, kBorderGrey);
            if (i + 1 == n)
                add_rule(sink, pg, xr, y0, xr + kBorder, y1, kBorderGrey, kBorderGrey, kBorderGrey);
        }
    }
    pen = row_end;
    pen.y += kRowGap;
    if (page_break)
        new_page(&pen);
    return end + 1;
}

// A picture at the left margin, scaled down to fit the content box.
void Layout::picture(const RtfItem &it)
{
    if (it.sub >= doc->pictures.size())
        return;
    const RtfPicture &pic = doc->pictures[it.sub];
    float w = pic.width, h = pic.height;
    if (w > right - left) {
        h *= (right - left) / w;
        w = right - left;
    }
    if (h > bottom - top) {
        w *= (bottom - top) / h;
        h = bottom - top;
    }
    if (pen.y + h > bottom && pen.y > top && !new_page(&pen))
        return;
    doc->placed.push_back(RtfPlaced{pen.page, left, pen.y, w, h, int(it.sub)});
    pen.y += h + kPictureGap;
}

void Layout::run()
{
    const Sink body{&doc->glyphs, &doc->rules, false};
    const std::vector<RtfItem> &items = doc->items;
    int pending = 0;
    bool starts = true;  // the next text begins a paragraph: its first-line indent applies
    size_t i = 0;
    while (i < items.size() && !full) {
        const RtfItem &it = items[i];
        const int pos = std::min(it.pos, int(doc->chars.size()));
        switch (it.kind) {
        case RTF_ITEM_PAR:
        case RTF_ITEM_LINE:
            if (it.kind == RTF_ITEM_PAR)
                pen.y += it.f[0];
            if (pos > pending)
                paragraph(body, pending, pos, doc->chars, left + it.f[2], right, it.sub, true, &pen,
                          starts ? it.f[3] : 0, starts ? it.label_chars : 0, it.label_align);
            else
                pen.y += kEmptyLine;
            if (it.kind == RTF_ITEM_PAR)
                pen.y += it.f[1];
            starts = it.kind == RTF_ITEM_PAR;
            break;
        case RTF_ITEM_PAGE:
            if (pos > pending) {
                paragraph(body, pending, pos, doc->chars, left, right, RTF_LEFT, true, &pen);
                starts = false;
            }
            new_page(&pen);
            break;
        case RTF_ITEM_PICTURE:
            if (pos > pending) {
                paragraph(body, pending, pos, doc->chars, left, right, RTF_LEFT, true, &pen);
                starts = false;
            }
            picture(it);
            break;
        default:  // a table row, also one whose cells come before its definition
            i = table_row(i, &pending);
            starts = true;
            continue;
        }
        pending = std::max(pending, pos);
        i++;
    }
    // Text after the last item is a paragraph of its own.
    if (!full && pending < int(doc->chars.size()))
        paragraph(body, pending, int(doc->chars.size()), doc->chars, left, right, RTF_LEFT, true, &pen);
}

// A header or footer: laid out once at y, left-aligned, on no page of its own.
void Layout::band(const std::vector<RtfChar> &text, float y)
{
    if (text.empty())
        return;
    const Sink sink{&doc->band_glyphs, &doc->band_rules, false};
    Pen p{-1, y};
    paragraph(sink, 0, int(text.size()), text, left, right, RTF_LEFT, false, &p);
}

// Sorts records by page, keeping layout order within a page, and notes where
// each page starts.
template <typename T>
void index_pages(std::vector<T> *records, int pages, std::vector<int> *start)
{
    std::stable_sort(records->begin(), records->end(), [](const T &a, const T &b) { return a.page < b.page; });
    start->assign(size_t(pages) + 1, int(records->size()));
    size_t k = 0;
    for (int pg = 0; pg <= pages; pg++) {
        while (k < records->size() && records->at(k).page < pg)
            k++;
        (*start)[size_t(pg)] = int(k);
    }
}

}  // namespace

FT_Face rtf_face(RtfDoc *doc, int slot)
{
    if (slot < 0 || slot >= 12)
        return nullptr;
    if (!doc->face_tried[slot]) {
        doc->face_tried[slot] = true;
        doc->faces[slot] = font_open_base(kFaceFiles[slot]);
    }
    return doc->faces[slot];
}

bool rtf_find_glyph(RtfDoc *doc, const RtfStyle &style, uint32_t code, FT_Face *face, uint32_t *glyph)
{
    FT_Face f = rtf_face(doc, style.face);
    if (!f)
        return false;
    if (uint32_t g = ft_char_index_unicode(f, code)) {
        *face = f;
        *glyph = g;
        return true;
    }
    return fallback_glyph(code, face, glyph);
}

float rtf_advance(RtfDoc *doc, const RtfStyle &style, uint32_t code)
{
    FT_Face face;
    uint32_t glyph;
    if (!rtf_find_glyph(doc, style, code, &face, &glyph))
        return style.size * 0.5f;
    float a = ft_glyph_advance(face, glyph);
    if (a < 0)
        a = 500;
    return a * style.size / 1000.0f;
}

void rtf_layout(RtfDoc *doc)
{
    Layout L{};
    L.doc = doc;
    L.left = doc->margin_l;
    L.right = doc->paper_w - doc->margin_r;
    if (!(L.right > L.left))
        L.right = L.left + 100;
    L.top = doc->margin_t;
    L.bottom = doc->paper_h - doc->margin_b;
    if (!(L.bottom > L.top + kEmptyLine))
        L.bottom = L.top + 100;
    L.pen = Pen{0, L.top};
    if (doc->styles.empty())
        doc->styles.push_back(RtfStyle{0, 0, 0, 0, 0, 12});
    L.run();
    L.band(doc->header_chars, doc->margin_t * 0.45f + 8);
    doc->footer_first = doc->band_glyphs.size();
    L.band(doc->footer_chars, doc->paper_h - doc->margin_b + 12);
    doc->page_count = L.pen.page + 1;
    // Rows whose cells ran onto later pages may have left the pen above them.
    for (const RtfGlyph &g : doc->glyphs)
        doc->page_count = std::max(doc->page_count, g.page + 1);
    index_pages(&doc->glyphs, doc->page_count, &doc->glyph_start);
    index_pages(&doc->rules, doc->page_count, &doc->rule_start);
    index_pages(&doc->placed, doc->page_count, &doc->placed_start);
}
