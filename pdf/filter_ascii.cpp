// The ASCII85 and ASCIIHex decoding filters (PDF Reference 1.7, 3.3.1 and 3.3.2):
// printable encodings of binary data. Bytes outside the alphabets are skipped.
#include <cstdlib>

#include "pdf/filters.h"
#include "pdf/object.h"

namespace {

struct Ascii85State {
    int finished;
};

bool is_pdf_space(int c) { return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32; }

// Emits the first n bytes of a big-endian group.
int put_group(uint8_t *out, uint32_t value, int n)
{
    for (int i = 0; i < n; i++)
        out[i] = uint8_t(value >> (24 - 8 * i));
    return n;
}

int ascii85_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<Ascii85State *>(r->ctx);
    int produced = 0;
    // A group yields at most 4 bytes, so stop while 4 still fit.
    while (!s->finished && produced + 4 <= capacity) {
        uint32_t value = 0;
        int digits = 0;
        bool end = false;
        while (digits < 5) {
            int c = reader_getc(r->next);
            if (c < 0) {
                end = true;
                break;
            }
            if (c == '~') {
                reader_getc(r->next);  // the '>' of "~>"
                end = true;
                break;
            }
            if (c == 'z' && digits == 0) {
                value = 0;
                digits = 5;
                break;
            }
            if (is_pdf_space(c) || c < '!' || c > 'u')
                continue;
            value = value * 85 + uint32_t(c - '!');
            digits++;
        }
        if (digits == 5) {
            produced += put_group(buffer + produced, value, 4);
            continue;
        }
        // A final partial group is completed with the highest digit.
        if (digits >= 2) {
            for (int i = digits; i < 5; i++)
                value = value * 85 + 84;
            produced += put_group(buffer + produced, value, digits - 1);
        }
        if (end)
            s->finished = 1;
    }
    return produced;
}

struct AsciiHexState {
    int finished;
};

// The next hex digit, -1 at '>' or the end of the data.
int next_hex_digit(ByteReader *source)
{
    for (;;) {
        int c = reader_getc(source);
        if (c < 0 || c == '>')
            return -1;
        int v = pdf_hex_value(c);
        if (v >= 0)
            return v;
    }
}

int asciihex_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<AsciiHexState *>(r->ctx);
    int produced = 0;
    while (!s->finished && produced < capacity) {
        int high = next_hex_digit(r->next);
        if (high < 0) {
            s->finished = 1;
            break;
        }
        int low = next_hex_digit(r->next);
        buffer[produced++] = uint8_t(high << 4 | (low < 0 ? 0 : low));
        if (low < 0)
            s->finished = 1;
    }
    return produced;
}

template <typename State>
ByteReader *make_filter(ByteReader *source, int (*fill)(ByteReader *, uint8_t *, int))
{
    if (!source)
        return nullptr;
    return reader_new_owning(fill, std::calloc(1, sizeof(State)), source);
}

}  // namespace

ByteReader *pdf_filter_ascii85(ByteReader *source) { return make_filter<Ascii85State>(source, ascii85_fill); }

ByteReader *pdf_filter_asciihex(ByteReader *source) { return make_filter<AsciiHexState>(source, asciihex_fill); }
