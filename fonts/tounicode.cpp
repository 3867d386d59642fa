// ToUnicode CMaps: the stream is tokenised with the PDF lexer; only the
// bfchar and bfrange blocks are read, everything else is skipped.
#include "fonts/tounicode.h"

#include <cstdlib>
#include <cstring>

#include "pdf/arena.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"

namespace {

struct MapBuilder {
    Arena *arena;
    ToUnicodeMap *map;
};

bool add_entry(MapBuilder *b, uint32_t lo, uint32_t hi, const uint32_t *values, int n)
{
    if (n < 1)
        return true;
    if (!b->map) {
        b->map = static_cast<ToUnicodeMap *>(arena_alloc(b->arena, sizeof(ToUnicodeMap)));
        if (!b->map)
            return false;
    }
    ToUnicodeMap *m = b->map;
    if (m->count >= TOUNICODE_MAX_ENTRIES)
        return false;
    if (m->count == m->capacity) {
        int capacity = m->capacity ? m->capacity * 2 : 64;
        auto *grown = static_cast<ToUnicodeEntry *>(
            arena_alloc(b->arena, sizeof(ToUnicodeEntry) * size_t(capacity)));
        if (!grown)
            return false;
        if (m->count)
            std::memcpy(grown, m->entries, sizeof(ToUnicodeEntry) * size_t(m->count));
        m->entries = grown;
        m->capacity = capacity;
    }
    ToUnicodeEntry *e = &m->entries[m->count++];
    e->lo = lo;
    e->hi = hi;
    e->n = n > TOUNICODE_MAX_VALUES ? TOUNICODE_MAX_VALUES : n;
    for (int i = 0; i < e->n; i++)
        e->values[i] = values[i];
    return true;
}

// A source code: the string's first up to 4 bytes, big-endian.
uint32_t source_code(const PdfToken &t)
{
    uint32_t code = 0;
    for (int i = 0; i < t.text_length && i < 4; i++)
        code = code << 8 | uint8_t(t.text[i]);
    return code;
}

// A destination read as UTF-16BE into at most 4 code points. A high
// surrogate pairs with the following unit only when that is a low
// surrogate; an unpaired one stands for itself. A trailing odd byte is
// ignored, so a destination under 2 bytes gives no value.
int destination(const PdfToken &t, uint32_t *out)
{
    const auto *s = reinterpret_cast<const uint8_t *>(t.text);
    int n = 0;
    for (int i = 0; i + 1 < t.text_length && n < TOUNICODE_MAX_VALUES; i += 2) {
        uint32_t u = uint32_t(s[i]) << 8 | s[i + 1];
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < t.text_length) {
            uint32_t low = uint32_t(s[i + 2]) << 8 | s[i + 3];
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = (u - 0xD800) * 0x400 + low + 0x2400;
                i += 2;
            }
        }
        out[n++] = u;
    }
    return n;
}

enum { OUTSIDE = 0, IN_BFCHAR = 1, IN_BFRANGE = 2 };

}  // namespace

ToUnicodeMap *tounicode_parse_bytes(PdfDoc *doc, const uint8_t *data, int length)
{
    if (!doc || !data || length <= 0)
        return nullptr;
    ByteReader *r = reader_open_memory(data, length);
    // Token text goes to a scratch arena so that a long stream costs the
    // document only its entries.
    Arena *scratch = r ? arena_create(0) : nullptr;
    if (!scratch) {
        if (r)
            reader_close_chain(r);
        return nullptr;
    }
    MapBuilder b = {doc->arena, nullptr};
    int state = OUTSIDE;
    PdfToken t;
    bool full = false;
    auto next = [&](PdfToken *out) {
        if (!scratch)
            return false;
        // A scratch arena per block of tokens keeps memory flat over long streams.
        if (scratch->total > (4u << 20)) {
            arena_destroy(scratch);
            scratch = arena_create(0);
            if (!scratch)
                return false;
        }
        return pdf_next_token(r, scratch, out) == 0 && out->kind != TOK_END &&
               out->kind != TOK_ERROR;
    };
    while (!full && next(&t)) {
        if (t.kind == TOK_KEYWORD) {
            if (pdf_token_is(t, "beginbfchar"))
                state = IN_BFCHAR;
            else if (pdf_token_is(t, "beginbfrange"))
                state = IN_BFRANGE;
            else if (pdf_token_is(t, "endbfchar") || pdf_token_is(t, "endbfrange"))
                state = OUTSIDE;
            continue;
        }
        if (state == OUTSIDE || t.kind != TOK_STRING)
            continue;
        uint32_t lo = source_code(t);
        uint32_t values[TOUNICODE_MAX_VALUES];
        if (state == IN_BFCHAR) {
            if (!next(&t))
                break;
            if (t.kind == TOK_STRING)
                full = !add_entry(&b, lo, lo, values, destination(t, values));
            else if (t.kind == TOK_KEYWORD && (pdf_token_is(t, "endbfchar") ||
                                                pdf_token_is(t, "endbfrange")))
                state = OUTSIDE;  // a count that promised more pairs than follow
            continue;
        }
        // bfrange: the high code must follow, or the map ends here.
        if (!next(&t) || t.kind != TOK_STRING)
            break;
        uint32_t hi = source_code(t);
        if (!next(&t))
            break;
        if (t.kind == TOK_STRING) {
            // A range whose low code exceeds its high code holds no code.
            if (lo <= hi && destination(t, values) > 0)
                full = !add_entry(&b, lo, hi, values, 1);
        } else if (t.kind == TOK_ARRAY_OPEN) {
            // One element per code from lo; elements past hi are read and dropped.
            uint64_t c = lo;
            while (!full && next(&t) && t.kind != TOK_ARRAY_CLOSE) {
                if (t.kind == TOK_STRING && c <= hi)
                    full = !add_entry(&b, uint32_t(c), uint32_t(c), values,
                                      destination(t, values));
                c++;
            }
        } else if (t.kind == TOK_KEYWORD && pdf_token_is(t, "endbfrange")) {
            state = OUTSIDE;
        }
    }
    if (scratch)
        arena_destroy(scratch);
    reader_close_chain(r);
    return b.map;
}

ToUnicodeMap *tounicode_parse(PdfDoc *doc, PdfObject *stream)
{
    if (!doc)
        return nullptr;
    stream = pdf_resolve(doc, stream);
    if (!pdf_is_type(stream, PDF_STREAM))
        return nullptr;
    ByteReader *r = pdf_open_stream(doc, stream);
    if (!r)
        return nullptr;
    int length = 0;
    uint8_t *data = reader_read_all_heap(r, TOUNICODE_MAX_STREAM, &length);
    reader_close_chain(r);
    ToUnicodeMap *map = data ? tounicode_parse_bytes(doc, data, length) : nullptr;
    free(data);
    return map;
}

namespace {

const ToUnicodeEntry *find_entry(const ToUnicodeMap *map, uint32_t code)
{
    if (!map)
        return nullptr;
    for (int i = 0; i < map->count; i++) {
        const ToUnicodeEntry &e = map->entries[i];
        if (e.lo <= code && code <= e.hi)
            return &e;
    }
    return nullptr;
}

}  // namespace

uint32_t tounicode_lookup(const ToUnicodeMap *map, uint32_t code)
{
    const ToUnicodeEntry *e = find_entry(map, code);
    return e ? e->values[0] + (code - e->lo) : 0;
}

int tounicode_lookup_seq(const ToUnicodeMap *map, uint32_t code, uint32_t *values, int capacity)
{
    const ToUnicodeEntry *e = find_entry(map, code);
    if (!e || !values || capacity < 1)
        return 0;
    if (e->lo != e->hi) {
        values[0] = e->values[0] + (code - e->lo);
        return 1;
    }
    int n = e->n < capacity ? e->n : capacity;
    for (int i = 0; i < n; i++)
        values[i] = e->values[i];
    return n;
}
