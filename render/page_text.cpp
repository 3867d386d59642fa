// PDF page text through the glyph loop's collection hook.
#include "render/page_text.h"

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
    if (ch->word_space && values[0] == 0) {
        page_text_add(text, 0x20, ch->x0, ch->y0, ch->x1, ch->y1);
    } else if (n > 1) {
        const float w = (ch->x1 - ch->x0) / float(n);
        for (int i = 0; i < n; i++) {
            const float left = ch->x0 + float(i) * w;
            const float right = i + 1 == n ? ch->x1 : ch->x0 + float(i + 1) * w;
            page_text_add(text, values[i], left, ch->y0, right, ch->y1);
        }
    } else if (values[0] != 0) {
        page_text_add(text, values[0], ch->x0, ch->y0, ch->x1, ch->y1);
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
    return text;
}
