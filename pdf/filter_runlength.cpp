// The RunLength decoding filter (PDF Reference 1.7, 3.3.4), its TIFF sibling PackBits
// (TIFF 6.0 section 9), and the length limiter that ends a stream's raw data at its
// declared length.
#include <cstdlib>

#include "pdf/filters.h"

namespace {

struct RunLengthState {
    int finished;
    int literal_left;  // bytes still to copy of a literal run
    int repeat_left;   // times still to emit repeat_byte
    uint8_t repeat_byte;
    int skip_128;      // PackBits: 128 is a no-op, not the end of the data
};

int runlength_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<RunLengthState *>(r->ctx);
    int produced = 0;
    while (produced < capacity) {
        if (s->literal_left > 0) {
            int want = s->literal_left < capacity - produced ? s->literal_left : capacity - produced;
            int got = reader_read(r->next, buffer + produced, want);
            produced += got;
            s->literal_left -= got;
            if (got < want) {
                s->literal_left = 0;
                s->finished = 1;
            }
            continue;
        }
        if (s->repeat_left > 0) {
            while (s->repeat_left > 0 && produced < capacity) {
                buffer[produced++] = s->repeat_byte;
                s->repeat_left--;
            }
            continue;
        }
        if (s->finished)
            break;
        int length = reader_getc(r->next);
        if (length == 128 && s->skip_128)
            continue;
        if (length < 0 || length == 128) {
            s->finished = 1;
            break;
        }
        if (length < 128) {
            s->literal_left = length + 1;
            continue;
        }
        int c = reader_getc(r->next);
        if (c < 0) {
            s->finished = 1;
            break;
        }
        s->repeat_byte = uint8_t(c);
        s->repeat_left = 257 - length;
    }
    return produced;
}

struct LimitState {
    int64_t left;
};

int limit_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<LimitState *>(r->ctx);
    if (s->left <= 0)
        return 0;
    int want = s->left < capacity ? int(s->left) : capacity;
    int got = reader_read(r->next, buffer, want);
    if (got < want)
        s->left = 0;  // the source ended or failed: so does this stream
    else
        s->left -= got;
    return got;
}

}  // namespace

ByteReader *pdf_filter_runlength(ByteReader *source)
{
    if (!source)
        return nullptr;
    return reader_new_owning(runlength_fill, std::calloc(1, sizeof(RunLengthState)), source);
}

ByteReader *pdf_filter_packbits(ByteReader *source)
{
    if (!source)
        return nullptr;
    auto *s = static_cast<RunLengthState *>(std::calloc(1, sizeof(RunLengthState)));
    if (s)
        s->skip_128 = 1;
    return reader_new_owning(runlength_fill, s, source);
}

ByteReader *pdf_filter_limit(ByteReader *source, int64_t length)
{
    if (!source)
        return nullptr;
    auto *s = static_cast<LimitState *>(std::calloc(1, sizeof(LimitState)));
    if (s)
        s->left = length < 0 ? 0 : length;
    return reader_new_owning(limit_fill, s, source);
}
