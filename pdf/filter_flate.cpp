// The Flate decoding filter (PDF Reference 1.7, 3.3.3; RFC 1950/1951) through zlib's
// inflate. Errors end the stream after the bytes inflated so far.
#include <cstdint>
#include <cstdlib>

#include <zlib.h>

#include "pdf/filters.h"

namespace {

struct FlateState {
    z_stream zs;
    int finished;
    int input_done;  // the source has ended (or failed)
    uint8_t input[PDF_FLATE_CHUNK];
};

int flate_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<FlateState *>(r->ctx);
    if (s->finished)
        return 0;
    s->zs.next_out = buffer;
    s->zs.avail_out = uInt(capacity);
    while (s->zs.avail_out > 0 && !s->finished) {
        if (s->zs.avail_in == 0 && !s->input_done) {
            int got = reader_read(r->next, s->input, PDF_FLATE_CHUNK);
            if (got <= 0)
                s->input_done = 1;
            s->zs.next_in = s->input;
            s->zs.avail_in = uInt(got > 0 ? got : 0);
        }
        uInt before = s->zs.avail_out;
        int rc = inflate(&s->zs, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            s->finished = 1;
        } else if (rc == Z_BUF_ERROR) {
            // No progress possible: only more input could help.
            if (s->input_done)
                s->finished = 1;
        } else if (rc != Z_OK) {
            s->finished = 1;  // corrupt data or a preset dictionary
        } else if (s->zs.avail_out == before && s->zs.avail_in == 0 && s->input_done) {
            s->finished = 1;
        }
    }
    return capacity - int(s->zs.avail_out);
}

// zlib's memory through the engine's own allocation calls (the default
// would call the C library from inside zlib).
voidpf z_alloc(voidpf, uInt items, uInt size)
{
    return size && items > SIZE_MAX / size ? nullptr : std::malloc(size_t(items) * size);
}
void z_free(voidpf, voidpf block) { std::free(block); }

void flate_close(ByteReader *r)
{
    auto *s = static_cast<FlateState *>(r->ctx);
    inflateEnd(&s->zs);
    std::free(s);
}

}  // namespace

ByteReader *pdf_filter_flate(ByteReader *source)
{
    if (!source)
        return nullptr;
    auto *s = static_cast<FlateState *>(std::calloc(1, sizeof(FlateState)));
    if (!s)
        return nullptr;
    s->zs.zalloc = z_alloc;
    s->zs.zfree = z_free;
    if (inflateInit(&s->zs) != Z_OK) {
        std::free(s);
        return nullptr;
    }
    ByteReader *r = reader_new(flate_fill, s, source);
    if (!r) {
        inflateEnd(&s->zs);
        std::free(s);
        return nullptr;
    }
    r->close = flate_close;
    return r;
}
