// PDF page text through the glyph loop's collection hook.
#include "render/page_text.h"

#include <cmath>

#include "fonts/pdf_font.h"
#include "render/page.h"
#include "render/text.h"
#include "text/page_text.h"

namespace {

// The letters of U+FB00..U+FB06 into `out` (room for 3); the count.
int ligature_letters(uint32_t c, uint32_t *out)
{
    static const char *const letters[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
    const char *s = letters[c - 0xFB00];
    int n = 0;
    for (; s[n]; n++)
        out[n] = uint8_t(s[n]);
    return n;
}

// One shown code: its Unicode values share the code's box in equal slices
// across (a ligature's letters each get their part of the advance); a word
// space without a value still counts as a space; a code without any value
// adds nothing.
void add_char(void *user, const TextChar *ch)
{
    auto *text = static_cast<PageText *>(user);
    uint32_t values[4] = {0, 0, 0, 0};
    int n = pdf_font_unicode_seq(ch->font, ch->code, values, 4);
    if (n <= 0)
        values[0] = 0;
    // A Latin ligature character counts as its letters, as a ToUnicode
    // sequence would give them: search and copied text then find the word.
    if (n == 1 && values[0] >= 0xFB00 && values[0] <= 0xFB06)
        n = ligature_letters(values[0], values);
    // A no-break space separates words like a space: search and copied text
    // treat it as one.
    for (int i = 0; i < n; i++)
        if (values[i] == 0xA0)
            values[i] = 0x20;
    float w1y, vx, vy;
    const int vertical = pdf_font_vertical(ch->font, ch->code, &w1y, &vx, &vy) ? 1 : 0;
    if (ch->word_space && values[0] == 0) {
        page_text_add(text, 0x20, ch->x0, ch->y0, ch->x1, ch->y1, vertical);
    } else if (n > 1) {
        const float w = (ch->x1 - ch->x0) / float(n);
        for (int i = 0; i < n; i++) {
            const float left = ch->x0 + float(i) * w;
            const float right = i + 1 == n ? ch->x1 : ch->x0 + float(i + 1) * w;
            page_text_add(text, values[i], left, ch->y0, right, ch->y1, vertical);
        }
    } else if (values[0] != 0) {
        page_text_add(text, values[0], ch->x0, ch->y0, ch->x1, ch->y1, vertical);
    }
}

// ---- Right-to-left scripts ----

// Hebrew, Arabic and the scripts between and beside them, with their
// presentation forms.
bool is_rtl(uint32_t c)
{
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
           (c >= 0xFE70 && c <= 0xFEFC);
}

bool is_digit(uint32_t c)
{
    return (c >= '0' && c <= '9') || (c >= 0x660 && c <= 0x669) || (c >= 0x6F0 && c <= 0x6F9);
}

bool is_number_separator(uint32_t c) { return c == '.' || c == ',' || c == ':' || c == '/'; }

// Hebrew points and Arabic vowel signs: drawn over the letter before them.
bool is_mark(uint32_t c)
{
    return (c >= 0x591 && c <= 0x5C7 && c != 0x5BE && c != 0x5C0 && c != 0x5C3 && c != 0x5C6) ||
           (c >= 0x610 && c <= 0x61A) || (c >= 0x64B && c <= 0x65F) || c == 0x670 ||
           (c >= 0x6D6 && c <= 0x6ED && c != 0x6DD && c != 0x6DE);
}

// Characters that take the direction of the text around them: spaces,
// digits, ASCII and Latin-1 punctuation, general punctuation.
bool is_neutral(uint32_t c)
{
    if (c < 0x80)
        return !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
    return (c >= 0xA0 && c <= 0xBF) || c == 0xD7 || c == 0xF7 || (c >= 0x2000 && c <= 0x206F);
}

uint32_t mirrored(uint32_t c)
{
    switch (c) {
    case '(': return ')';
    case ')': return '(';
    case '[': return ']';
    case ']': return '[';
    case '{': return '}';
    case '}': return '{';
    case '<': return '>';
    case '>': return '<';
    case 0xAB: return 0xBB;
    case 0xBB: return 0xAB;
    default: return c;
    }
}

// Whether b follows a on the same line, to its right.
bool runs_right(const TextItem &a, const TextItem &b)
{
    const float h = std::fmax(a.y1 - a.y0, b.y1 - b.y0);
    const float dy = (b.y0 + b.y1) * 0.5f - (a.y0 + a.y1) * 0.5f;
    return b.x0 >= a.x0 && std::fabs(dy) <= h * 0.5f;
}

void reverse_items(TextItem *items, int n)
{
    for (int i = 0, j = n - 1; i < j; i++, j--) {
        const TextItem t = items[i];
        items[i] = items[j];
        items[j] = t;
    }
}

// A run drawn left to right in display order, into reading order: the
// run reversed, each letter's marks kept after it, numbers kept left to
// right, brackets turned to face the reading direction.
void to_reading_order(TextItem *items, int n)
{
    reverse_items(items, n);
    for (int i = 0; i < n;) {
        int j = i;
        while (j < n && is_mark(items[j].unicode))
            j++;
        if (j > i && j < n)
            reverse_items(items + i, j - i + 1);  // marks then their letter
        i = j + 1;
    }
    for (int i = 0; i < n;) {
        if (!is_digit(items[i].unicode)) {
            items[i].unicode = mirrored(items[i].unicode);
            i++;
            continue;
        }
        // Digits with single separators between them read left to right.
        int end = i + 1, j = i + 1;
        while (j < n && (is_digit(items[j].unicode) ||
                         (j + 1 < n && is_number_separator(items[j].unicode) &&
                          is_digit(items[j + 1].unicode)))) {
            j++;
            if (is_digit(items[j - 1].unicode))
                end = j;
        }
        reverse_items(items + i, end - i);
        i = end;
    }
}

// Right-to-left text drawn glyph by glyph from the left (display order) is
// turned into reading order, so that search and copied text find its words
// as they are typed. A run starts and ends at a right-to-left letter, takes
// the neutral characters between such letters and stays on one line going
// right; text drawn from the right is in reading order already.
void order_right_to_left(PageText *text)
{
    TextItem *items = text->items;
    const int n = text->count;
    for (int i = 0; i < n;) {
        if (!is_rtl(items[i].unicode) || is_digit(items[i].unicode) || is_mark(items[i].unicode)) {
            i++;
            continue;
        }
        int last = i;
        for (int j = i + 1; j < n && runs_right(items[j - 1], items[j]); j++) {
            const uint32_t c = items[j].unicode;
            if (is_rtl(c) && !is_digit(c))
                last = j;
            else if (!is_rtl(c) && !is_neutral(c))
                break;
        }
        if (last > i)
            to_reading_order(items + i, last - i + 1);
        i = last + 1;
    }
}

}  // namespace

PageText *pdf_page_text(PdfDoc *doc, int index, float scale)
{
    PageText *text = page_text_new(PAGE_TEXT_INITIAL);
    if (!text)
        return nullptr;
    if (scale <= 0)
        scale = 1;
    TextSink sink = {add_char, text};
    collect_page_text(doc, index, scale, &sink);
    order_right_to_left(text);
    return text;
}
