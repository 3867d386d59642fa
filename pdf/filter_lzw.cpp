// The LZW decoding filter (PDF Reference 1.7, 3.3.3; TIFF 6.0 section 13): variable
// width codes of 9 to 12 bits, most significant bit first, with the early-change option.
#include <cstdlib>

#include "pdf/filters.h"

namespace {

constexpr int LZW_CLEAR = 256;
constexpr int LZW_END = 257;
constexpr int LZW_FIRST = 258;

struct LzwState {
    uint16_t prefix[FILTER_LZW_TABLE];  // code of the string without its last byte
    uint8_t suffix[FILTER_LZW_TABLE];   // last byte of the string
    uint8_t first[FILTER_LZW_TABLE];    // first byte of the string
    int width;
    int next_code;
    int previous;  // -1 after a clear
    int early_change;
    uint32_t bits;
    int bit_count;
    int finished;
    uint8_t stack[FILTER_LZW_TABLE];  // one expanded string, last byte first
    int stack_len;
};

// The next code, or -1 when the source has ended.
int read_code(LzwState *s, ByteReader *source)
{
    while (s->bit_count < s->width) {
        int c = reader_getc(source);
        if (c < 0)
            return -1;
        s->bits = s->bits << 8 | uint32_t(c);
        s->bit_count += 8;
    }
    s->bit_count -= s->width;
    return int(s->bits >> s->bit_count) & ((1 << s->width) - 1);
}

void reset(LzwState *s)
{
    s->width = 9;
    s->next_code = LZW_FIRST;
    s->previous = -1;
}

// Pushes the string of `code` (last byte first) onto the stack; the string is at most
// 4096 bytes long because every entry extends an older one.
void expand(LzwState *s, int code)
{
    int links = 0;
    while (code >= LZW_FIRST && links < FILTER_LZW_TABLE - 1 && s->stack_len < FILTER_LZW_TABLE - 1) {
        s->stack[s->stack_len++] = s->suffix[code];
        code = s->prefix[code];
        links++;
    }
    s->stack[s->stack_len++] = uint8_t(code);
}

void add_entry(LzwState *s, int prefix_code, uint8_t byte)
{
    if (s->next_code >= FILTER_LZW_TABLE)
        return;
    s->prefix[s->next_code] = uint16_t(prefix_code);
    s->suffix[s->next_code] = byte;
    s->first[s->next_code] = prefix_code < 256 ? uint8_t(prefix_code) : s->first[prefix_code];
    s->next_code++;
    if (s->next_code + s->early_change >= (1 << s->width) && s->width < 12)
        s->width++;
}

// Decodes one code into the stack; false at the end of the data.
bool decode_code(LzwState *s, ByteReader *source)
{
    for (;;) {
        int code = read_code(s, source);
        if (code < 0 || code == LZW_END)
            return false;
        if (code == LZW_CLEAR) {
            reset(s);
            continue;
        }
        if (s->previous < 0) {
            if (code > 255)
                return false;  // nothing to refer to after a clear
            s->stack[s->stack_len++] = uint8_t(code);
            s->previous = code;
            return true;
        }
        if (code < s->next_code) {
            expand(s, code);
            uint8_t head = code < 256 ? uint8_t(code) : s->first[code];
            add_entry(s, s->previous, head);
        } else {
            // The string being defined: previous string plus its own first byte.
            uint8_t head = s->previous < 256 ? uint8_t(s->previous) : s->first[s->previous];
            s->stack[s->stack_len++] = head;
            expand(s, s->previous);
            add_entry(s, s->previous, head);
        }
        s->previous = code < s->next_code ? code : s->next_code - 1;
        return true;
    }
}

int lzw_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<LzwState *>(r->ctx);
    int produced = 0;
    while (produced < capacity) {
        if (s->stack_len == 0) {
            if (s->finished || !decode_code(s, r->next)) {
                s->finished = 1;
                break;
            }
        }
        while (s->stack_len > 0 && produced < capacity)
            buffer[produced++] = s->stack[--s->stack_len];
    }
    return produced;
}

}  // namespace

ByteReader *pdf_filter_lzw(ByteReader *source, const LzwParams &params)
{
    if (!source)
        return nullptr;
    auto *s = static_cast<LzwState *>(std::calloc(1, sizeof(LzwState)));
    if (!s)
        return nullptr;
    s->early_change = params.early_change ? 1 : 0;
    reset(s);
    return reader_new_owning(lzw_fill, s, source);
}
