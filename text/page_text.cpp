// Page text: the growing item array, search, selection text and excerpts.
#include "text/page_text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

PageText *page_text_new(int initial)
{
    auto *text = static_cast<PageText *>(std::calloc(1, sizeof(PageText)));
    if (!text)
        return nullptr;
    text->capacity = initial > 0 ? initial : PAGE_TEXT_INITIAL;
    text->items = static_cast<TextItem *>(std::malloc(sizeof(TextItem) * size_t(text->capacity)));
    if (!text->items) {
        std::free(text);
        return nullptr;
    }
    return text;
}

void page_text_add(PageText *text, uint32_t unicode, float x0, float y0, float x1, float y1,
                   int vertical)
{
    if (!text)
        return;
    if (text->count == text->capacity) {
        if (text->capacity > (1 << 28))
            return;
        int capacity = text->capacity * 2;
        auto *grown = static_cast<TextItem *>(std::malloc(sizeof(TextItem) * size_t(capacity)));
        if (!grown)
            return;
        if (text->count)
            std::memcpy(grown, text->items, sizeof(TextItem) * size_t(text->count));
        std::free(text->items);
        text->items = grown;
        text->capacity = capacity;
    }
    text->items[text->count++] = {unicode, x0, y0, x1, y1, vertical};
}

void page_text_free(PageText *text)
{
    if (!text)
        return;
    std::free(text->items);
    std::free(text);
}

uint32_t fold_case(uint32_t c)
{
    if (c == 0x49 || c == 0x130 || c == 0x131)
        return 0x69;
    if (c >= 0x41 && c <= 0x5A)
        return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c == 0x100 || c == 0x102 || c == 0x104)
        return c + 1;
    if (c == 0x11E)
        return 0x11F;
    if (c == 0x15E)
        return 0x15F;
    return c;
}

namespace {

// The query's code points: continuation bits are not checked; a lead byte
// that starts no sequence, or one cut by the end, is a code point itself.
int decode_query(const char *query, uint32_t *out, int max)
{
    const auto *s = reinterpret_cast<const uint8_t *>(query);
    int n = 0;
    while (*s && n < max) {
        uint8_t b = *s;
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2
                  : (b & 0xF8) == 0xF0 ? 3 : -1;
        bool cut = false;
        for (int i = 1; i <= extra && !cut; i++)
            cut = s[i] == 0;
        if (extra <= 0 || cut) {
            out[n++] = b;
            s++;
            continue;
        }
        uint32_t c = b & (0x3F >> extra);
        for (int i = 1; i <= extra; i++)
            c = c << 6 | (s[i] & 0x3F);
        out[n++] = c;
        s += 1 + extra;
    }
    return n;
}

}  // namespace

int text_search(const PageText *text, const char *query, int max_hits, SearchHit *hits,
                int case_sensitive)
{
    if (!text || !query || !hits || max_hits <= 0 || text->count <= 0)
        return 0;
    uint32_t q[TEXT_SEARCH_MAX_QUERY];
    const int n = decode_query(query, q, TEXT_SEARCH_MAX_QUERY);
    if (n == 0)
        return 0;
    if (!case_sensitive)
        for (int i = 0; i < n; i++)
            q[i] = fold_case(q[i]);
    int found = 0;
    int start = 0;
    while (start + n <= text->count && found < max_hits) {
        const TextItem *it = text->items + start;
        int k = 0;
        while (k < n && (case_sensitive ? it[k].unicode : fold_case(it[k].unicode)) == q[k])
            k++;
        if (k < n) {
            start++;
            continue;
        }
        SearchHit &h = hits[found++];
        h = {start, start + n, it[0].x0, it[0].y0, it[0].x1, it[0].y1};
        for (int i = 1; i < n; i++) {
            h.x0 = std::fmin(h.x0, it[i].x0);
            h.y0 = std::fmin(h.y0, it[i].y0);
            h.x1 = std::fmax(h.x1, it[i].x1);
            h.y1 = std::fmax(h.y1, it[i].y1);
        }
        start += n;
    }
    return found;
}

namespace {

enum Gap { GAP_NONE, GAP_SPACE, GAP_LINE };

// The gap, in item heights (the em), that counts as a word space. Serif
// faces space words by a quarter em or less, justified lines by less still:
// 0.15 em keeps those apart and still stays above the kerning inside words.
constexpr float kWordGap = 0.15f;

// What goes between the previous selected item and this one: a line break
// when the centre drops by more than 0.7 of the item's height, else a space
// when the item is not one itself and the gap exceeds a quarter of it.
// Content need not run down the page: a centre that rises by more than 0.7
// of the taller of the two heights starts a new line too (a superscript,
// smaller and raised less than that, stays on its line), so that lines drawn
// bottom first do not run into one another. Text that goes back to the left
// by more than an em while moving up or down by over a quarter of its height
// starts a new line too: lines set closer than 0.7 em, or on a slope, wrap
// that way; sub- and superscripts move up or down but not back.
Gap gap_before(const TextItem &prev, const TextItem &it)
{
    // Text written top to bottom runs down a column: the rules turned a
    // quarter, with the column's width as the em. A move across by more
    // than 0.7 of it, or back up, starts a new column.
    if (it.vertical && prev.vertical) {
        const float w = std::fmax(it.x1 - it.x0, prev.x1 - prev.x0);
        const float cx = (it.x0 + it.x1) * 0.5f, prev_cx = (prev.x0 + prev.x1) * 0.5f;
        if (std::fabs(cx - prev_cx) > w * 0.7f || it.y0 < prev.y0 - w * 0.25f)
            return GAP_LINE;
        if (it.unicode != 0x20 && it.y0 - prev.y1 > w * kWordGap)
            return GAP_SPACE;
        return GAP_NONE;
    }
    const float h = it.y1 - it.y0, prev_h = prev.y1 - prev.y0;
    const float cy = (it.y0 + it.y1) * 0.5f, prev_cy = (prev.y0 + prev.y1) * 0.5f;
    if (cy > prev_cy + h * 0.7f || cy < prev_cy - (h > prev_h ? h : prev_h) * 0.7f)
        return GAP_LINE;
    if (it.x0 < prev.x0 - h && std::fabs(cy - prev_cy) > h * 0.25f)
        return GAP_LINE;
    if (it.unicode != 0x20 && it.x0 - prev.x1 > h * kWordGap)
        return GAP_SPACE;
    return GAP_NONE;
}

void extend(LineRect *r, const TextItem &it, bool first)
{
    const int l = int(std::trunc(std::fmax(std::fmin(it.x0, 2e9f), -2e9f)));
    const int t = int(std::trunc(std::fmax(std::fmin(it.y0, 2e9f), -2e9f)));
    const int rt = int(std::trunc(std::fmax(std::fmin(it.x1, 2e9f), -2e9f)));
    const int b = int(std::trunc(std::fmax(std::fmin(it.y1, 2e9f), -2e9f)));
    if (first) {
        *r = {l, t, rt, b};
        return;
    }
    if (l < r->left) r->left = l;
    if (t < r->top) r->top = t;
    if (rt > r->right) r->right = rt;
    if (b > r->bottom) r->bottom = b;
}

}  // namespace

namespace {

// Walks the items `accept` takes, in drawing order, and reports to `sink`
// what each adds: a line break or a space before it (by gap_before, never a
// second space after one), then the item. Line rectangles (at most
// SELECTION_MAX_LINES) go to `lines` when it is not null; returns their count.
// The sink's `room(n)` says whether n more bytes fit; `last_is_space()`
// whether the text so far ends in a space.
template <class Accept, class Sink>
int walk_selection(const PageText *text, Accept accept, Sink &sink, LineRect *lines)
{
    int nlines = 0;
    const TextItem *prev = nullptr;
    bool line_open = false;  // the current line's rectangle is being extended
    for (int i = 0; i < text->count; i++) {
        const TextItem &it = text->items[i];
        if (!accept(i, it))
            continue;
        bool new_line = prev == nullptr;
        if (prev && !sink.empty()) {
            Gap g = gap_before(*prev, it);
            if (g == GAP_LINE) {
                sink.line_break();
                new_line = true;
            } else if (g == GAP_SPACE && !sink.last_is_space()) {
                sink.space();
            }
        }
        if (new_line) {
            line_open = nlines < SELECTION_MAX_LINES;
            if (line_open && lines)
                extend(&lines[nlines], it, true);
            if (line_open)
                nlines++;
        } else if (line_open && lines) {
            extend(&lines[nlines - 1], it, false);
        }
        if (it.unicode != 0)
            sink.item(it.unicode);
        prev = &it;
    }
    return nlines;
}

// Printable ASCII and tab into a fixed buffer, "?" for anything else.
struct AsciiSink {
    char *out;
    int len, cap;
    bool empty() const { return len == 0; }
    bool last_is_space() const { return len > 0 && out[len - 1] == ' '; }
    void line_break()
    {
        if (len < cap - 1) {
            out[len++] = '\r';
            out[len++] = '\n';
        }
    }
    void space()
    {
        if (len < cap)
            out[len++] = ' ';
    }
    void item(uint32_t c)
    {
        if (len < cap)
            out[len++] = (c >= 0x20 && c <= 0x7E) || c == 9 ? char(c) : '?';
    }
};

// Every character as UTF-8, CR LF between lines, no limit.
struct Utf8Sink {
    std::string *out;
    bool empty() const { return out->empty(); }
    bool last_is_space() const { return !out->empty() && out->back() == ' '; }
    void line_break() { out->append("\r\n"); }
    void space() { out->push_back(' '); }
    void item(uint32_t c) { append_utf8(out, c); }
};

bool centre_in(const TextItem &it, float x0, float y0, float x1, float y1)
{
    const float cx = (it.x0 + it.x1) * 0.5f, cy = (it.y0 + it.y1) * 0.5f;
    return cx >= x0 && cx <= x1 && cy >= y0 && cy <= y1;
}

}  // namespace

int selection_text(const PageText *text, float x0, float y0, float x1, float y1, char *out,
                   LineRect *lines, int *line_count)
{
    if (out)
        out[0] = 0;
    if (line_count)
        *line_count = 0;
    if (!text || !out)
        return 0;
    if (y0 > y1) {
        float t = y0;
        y0 = y1;
        y1 = t;
    }
    AsciiSink sink = {out, 0, SELECTION_TEXT_SIZE - 1};
    const int nlines = walk_selection(
        text, [&](int, const TextItem &it) { return centre_in(it, x0, y0, x1, y1); }, sink, lines);
    out[sink.len] = 0;
    if (line_count)
        *line_count = nlines;
    return sink.len;
}

int text_nearest_item(const PageText *text, float x, float y)
{
    if (!text)
        return -1;
    int best = -1;
    double best_d = 0;
    for (int i = 0; i < text->count; i++) {
        const TextItem &it = text->items[i];
        const double dx = (it.x0 + it.x1) * 0.5 - x, dy = ((it.y0 + it.y1) * 0.5 - y) * 4.0;
        const double d = dx * dx + dy * dy;
        if (best < 0 || d < best_d) {
            best = i;
            best_d = d;
        }
    }
    return best;
}

int selection_range_text(const PageText *text, int from, int to, const float *within,
                         std::string *out, LineRect *lines, int *line_count)
{
    if (line_count)
        *line_count = 0;
    if (!out)
        return 0;
    out->clear();
    if (!text || text->count <= 0)
        return 0;
    if (from > to) {
        int t = from;
        from = to;
        to = t;
    }
    Utf8Sink sink = {out};
    const int nlines = walk_selection(
        text,
        [&](int i, const TextItem &it) {
            return i >= from && i <= to &&
                   (!within || centre_in(it, within[0], within[1], within[2], within[3]));
        },
        sink, lines);
    if (line_count)
        *line_count = nlines;
    return int(out->size());
}

void append_utf8(std::string *s, uint32_t c)
{
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        c = 0xFFFD;
    if (c < 0x80) {
        s->push_back(char(c));
    } else if (c < 0x800) {
        s->push_back(char(0xC0 | c >> 6));
        s->push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        s->push_back(char(0xE0 | c >> 12));
        s->push_back(char(0x80 | (c >> 6 & 0x3F)));
        s->push_back(char(0x80 | (c & 0x3F)));
    } else {
        s->push_back(char(0xF0 | c >> 18));
        s->push_back(char(0x80 | (c >> 12 & 0x3F)));
        s->push_back(char(0x80 | (c >> 6 & 0x3F)));
        s->push_back(char(0x80 | (c & 0x3F)));
    }
}

std::string page_text_utf8(const PageText *text)
{
    std::string s;
    if (!text)
        return s;
    const TextItem *prev = nullptr;
    for (int i = 0; i < text->count; i++) {
        const TextItem &it = text->items[i];
        if (prev && !s.empty()) {
            Gap g = gap_before(*prev, it);
            if (g == GAP_LINE)
                s.push_back('\n');
            else if (g == GAP_SPACE && s.back() != ' ')
                s.push_back(' ');
        }
        if (it.unicode != 0)
            append_utf8(&s, it.unicode);
        prev = &it;
    }
    return s;
}

void hit_context(const PageText *text, const SearchHit *hit, char *out, int size)
{
    if (!out || size <= 0)
        return;
    out[0] = 0;
    if (!text || !hit)
        return;
    int from = hit->first - HIT_CONTEXT_BEFORE, to = hit->end + HIT_CONTEXT_AFTER;
    if (from < 0)
        from = 0;
    if (to > text->count)
        to = text->count;
    std::string s;
    for (int i = from, n = 0; i < to && n < HIT_CONTEXT_MAX_CHARS; i++, n++) {
        uint32_t c = text->items[i].unicode;
        if (c == 0 || c == '\r' || c == '\n' || c == '\t')
            c = ' ';
        else if (c > 0xFFFF)
            c = '?';
        append_utf8(&s, c);
    }
    // Cut at a whole character.
    size_t len = s.size() < size_t(size - 1) ? s.size() : size_t(size - 1);
    while (len > 0 && len < s.size() && (uint8_t(s[len]) & 0xC0) == 0x80)
        len--;
    std::memcpy(out, s.data(), len);
    out[len] = 0;
}
