// The JBIG2 decoding filter (PDF Reference 1.7, 3.3.6; ITU-T T.88 embedded
// streams) through jbig2dec, with the segments of JBIG2Globals decoded first.
// The page is decoded in one piece at the first read and served with 0 = black,
// the opposite of JBIG2's own convention. jbig2dec's memory is counted and capped.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "pdf/filters.h"
#include "pdf/limits.h"

// jbig2.h comes last: it uses the fixed-width types without including their
// header, and defines `inline` away when it is no macro, which would turn the
// inline functions of any header read after it into duplicate definitions.
extern "C" {
#include <jbig2.h>
}
#undef inline

namespace {

// jbig2dec allocates through this: every block carries its size in front, so
// that the total in use can be capped (a page information segment may ask for
// gigapixels).
struct CappedAllocator {
    Jbig2Allocator base;
    int64_t used;
};

constexpr size_t kHeader = 16;  // keeps the blocks' alignment

void *capped_alloc(Jbig2Allocator *a, size_t size)
{
    auto *c = reinterpret_cast<CappedAllocator *>(a);
    if (size > size_t(FILTER_JBIG2_MAX_MEMORY) || c->used + int64_t(size) > FILTER_JBIG2_MAX_MEMORY)
        return nullptr;
    auto *p = static_cast<uint8_t *>(std::malloc(size + kHeader));
    if (!p)
        return nullptr;
    std::memcpy(p, &size, sizeof size);
    c->used += int64_t(size);
    return p + kHeader;
}

void capped_free(Jbig2Allocator *a, void *block)
{
    if (!block)
        return;
    auto *c = reinterpret_cast<CappedAllocator *>(a);
    uint8_t *p = static_cast<uint8_t *>(block) - kHeader;
    size_t size;
    std::memcpy(&size, p, sizeof size);
    c->used -= int64_t(size);
    std::free(p);
}

void *capped_realloc(Jbig2Allocator *a, void *block, size_t size)
{
    if (!block)
        return capped_alloc(a, size);
    auto *c = reinterpret_cast<CappedAllocator *>(a);
    uint8_t *p = static_cast<uint8_t *>(block) - kHeader;
    size_t old;
    std::memcpy(&old, p, sizeof old);
    if (size > size_t(FILTER_JBIG2_MAX_MEMORY) || c->used - int64_t(old) + int64_t(size) > FILTER_JBIG2_MAX_MEMORY)
        return nullptr;
    auto *q = static_cast<uint8_t *>(std::realloc(p, size + kHeader));
    if (!q)
        return nullptr;
    std::memcpy(q, &size, sizeof size);
    c->used += int64_t(size) - int64_t(old);
    return q + kHeader;
}

// jbig2dec reports through this; damaged data end in a failed decode instead.
void quiet(void *, const char *, Jbig2Severity, uint32_t) {}

struct Jbig2State {
    uint8_t *globals;  // heap copy, or null
    int globals_length;
    int decoded;       // 0 not yet, 1 done, -1 failed
    int width, height;
    uint8_t *bits;     // rows of (width + 7) / 8 bytes
    int64_t length;
    int64_t at;
};

// Decodes `data` with the globals into s->bits. 0, or -7.
int decode_page(Jbig2State *s, const uint8_t *data, int n)
{
    CappedAllocator alloc{{capped_alloc, capped_free, capped_realloc}, 0};
    Jbig2GlobalCtx *global = nullptr;
    if (s->globals_length > 0) {
        Jbig2Ctx *g = jbig2_ctx_new(&alloc.base, JBIG2_OPTIONS_EMBEDDED, nullptr, quiet, nullptr);
        if (!g)
            return -7;
        if (jbig2_data_in(g, s->globals, size_t(s->globals_length)) < 0) {
            jbig2_ctx_free(g);
            return -7;
        }
        global = jbig2_make_global_ctx(g);
    }
    int rc = -7;
    Jbig2Ctx *ctx = jbig2_ctx_new(&alloc.base, JBIG2_OPTIONS_EMBEDDED, global, quiet, nullptr);
    if (ctx && jbig2_data_in(ctx, data, size_t(n)) >= 0 && jbig2_complete_page(ctx) >= 0) {
        if (Jbig2Image *image = jbig2_page_out(ctx)) {
            const int stride = int((image->width + 7) / 8);
            const int64_t length = int64_t(stride) * image->height;
            if (image->width > 0 && image->height > 0 && image->width <= 0x7FFFFFF8u &&
                image->stride >= uint32_t(stride) && length <= FILTER_JBIG2_MAX_MEMORY &&
                (s->bits = static_cast<uint8_t *>(std::malloc(size_t(length)))) != nullptr) {
                for (uint32_t y = 0; y < image->height; y++) {
                    const uint8_t *in = image->data + size_t(y) * image->stride;
                    uint8_t *out = s->bits + int64_t(y) * stride;
                    for (int x = 0; x < stride; x++)
                        out[x] = uint8_t(~in[x]);
                }
                s->width = int(image->width);
                s->height = int(image->height);
                s->length = length;
                rc = 0;
            }
            jbig2_release_page(ctx, image);
        }
    }
    if (ctx)
        jbig2_ctx_free(ctx);
    if (global)
        jbig2_global_ctx_free(global);
    return rc;
}

bool ensure_decoded(ByteReader *r)
{
    auto *s = static_cast<Jbig2State *>(r->ctx);
    return filter_decode_once(r->next, FILTER_JBIG2_MAX_DATA, &s->decoded,
                              [s](const uint8_t *data, int n) { return decode_page(s, data, n); });
}

int jbig2_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<Jbig2State *>(r->ctx);
    if (!ensure_decoded(r))
        return -1;
    return filter_serve(buffer, capacity, s->bits, s->length, &s->at);
}

void jbig2_close(ByteReader *r)
{
    auto *s = static_cast<Jbig2State *>(r->ctx);
    if (s) {
        std::free(s->globals);
        std::free(s->bits);
    }
    std::free(s);
}

}  // namespace

ByteReader *pdf_filter_jbig2(ByteReader *source, const Jbig2Params &params)
{
    if (!source || params.globals_length < 0 || params.globals_length > FILTER_JBIG2_MAX_DATA)
        return nullptr;
    auto *s = static_cast<Jbig2State *>(std::calloc(1, sizeof(Jbig2State)));
    if (!s)
        return nullptr;
    if (params.globals && params.globals_length > 0) {
        s->globals = static_cast<uint8_t *>(std::malloc(size_t(params.globals_length)));
        if (!s->globals) {
            std::free(s);
            return nullptr;
        }
        std::memcpy(s->globals, params.globals, size_t(params.globals_length));
        s->globals_length = params.globals_length;
    }
    ByteReader *r = reader_new(jbig2_fill, s, source);
    if (!r) {
        std::free(s->globals);
        std::free(s);
        return nullptr;
    }
    r->close = jbig2_close;
    return r;
}

int pdf_jbig2_size(ByteReader *reader, int *width, int *height)
{
    if (!reader || reader->fill != jbig2_fill)
        return -1;
    if (!ensure_decoded(reader))
        return -7;
    auto *s = static_cast<Jbig2State *>(reader->ctx);
    *width = s->width;
    *height = s->height;
    return 0;
}
