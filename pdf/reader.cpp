// Buffered byte sources: files (through the process-wide open hook), memory
// blocks, and the generic plumbing that decoding filters build on.
#include "pdf/reader.h"

#include <cstdlib>
#include <cstring>

#include "pdf/arena.h"

namespace {

ReaderFileOpenHook g_file_open_hook = nullptr;

int file_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    FILE *f = static_cast<FILE *>(r->ctx);
    size_t n = std::fread(buffer, 1, size_t(capacity), f);
    if (n == 0 && std::ferror(f))
        return -1;
    return int(n);
}

int file_seek(ByteReader *r, int64_t offset)
{
    FILE *f = static_cast<FILE *>(r->ctx);
#ifdef _WIN32
    return _fseeki64(f, offset, SEEK_SET) == 0 ? 0 : -1;
#else
    return fseeko(f, off_t(offset), SEEK_SET) == 0 ? 0 : -1;
#endif
}

void file_close(ByteReader *r)
{
    if (r->ctx)
        std::fclose(static_cast<FILE *>(r->ctx));
}

struct MemoryCursor {
    const uint8_t *data;
    int64_t size;
    int64_t at;
};

int memory_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *m = static_cast<MemoryCursor *>(r->ctx);
    int64_t left = m->size - m->at;
    int n = left < capacity ? int(left) : capacity;
    if (n > 0) {
        std::memcpy(buffer, m->data + m->at, size_t(n));
        m->at += n;
    }
    return n;
}

int memory_seek(ByteReader *r, int64_t offset)
{
    auto *m = static_cast<MemoryCursor *>(r->ctx);
    if (offset < 0 || offset > m->size)
        return -1;
    m->at = offset;
    return 0;
}

void free_ctx(ByteReader *r) { std::free(r->ctx); }

}  // namespace

void reader_set_file_open_hook(ReaderFileOpenHook hook) { g_file_open_hook = hook; }

FILE *reader_fopen(const char *path)
{
    if (!path)
        return nullptr;
    return g_file_open_hook ? g_file_open_hook(path) : std::fopen(path, "rb");
}

ByteReader *reader_new(int (*fill)(ByteReader *, uint8_t *, int), void *ctx, ByteReader *next)
{
    auto *r = static_cast<ByteReader *>(std::calloc(1, sizeof(ByteReader)));
    if (!r)
        return nullptr;
    r->fill = fill;
    r->ctx = ctx;
    r->next = next;
    return r;
}

ByteReader *reader_new_owning(int (*fill)(ByteReader *, uint8_t *, int), void *ctx, ByteReader *next)
{
    if (!ctx)
        return nullptr;
    ByteReader *r = reader_new(fill, ctx, next);
    if (!r) {
        std::free(ctx);
        return nullptr;
    }
    r->close = free_ctx;
    return r;
}

ByteReader *reader_open_file(const char *path)
{
    FILE *f = reader_fopen(path);
    if (!f)
        return nullptr;
    ByteReader *r = reader_new(file_fill, f, nullptr);
    if (!r) {
        std::fclose(f);
        return nullptr;
    }
    r->seek = file_seek;
    r->close = file_close;
    return r;
}

ByteReader *reader_open_memory(const uint8_t *data, int64_t size)
{
    if (!data && size > 0)
        return nullptr;
    auto *m = static_cast<MemoryCursor *>(std::calloc(1, sizeof(MemoryCursor)));
    if (!m)
        return nullptr;
    m->data = data;
    m->size = size < 0 ? 0 : size;
    ByteReader *r = reader_new_owning(memory_fill, m, nullptr);
    if (r)
        r->seek = memory_seek;
    return r;
}

int reader_refill(ByteReader *r)
{
    if (r->at_eof || r->failed)
        return -1;
    r->base += r->count;
    r->pos = r->count = 0;
    int n = r->fill(r, r->buf, READER_BUFFER_SIZE);
    if (n <= 0) {
        if (n < 0)
            r->failed = 1;
        else
            r->at_eof = 1;
        return -1;
    }
    r->count = n > READER_BUFFER_SIZE ? READER_BUFFER_SIZE : n;
    return r->buf[r->pos++];
}

int reader_read(ByteReader *r, uint8_t *dst, int n)
{
    int done = 0;
    while (done < n) {
        if (r->pos >= r->count) {
            int c = reader_refill(r);
            if (c < 0)
                break;
            dst[done++] = uint8_t(c);
            continue;
        }
        int chunk = r->count - r->pos;
        if (chunk > n - done)
            chunk = n - done;
        std::memcpy(dst + done, r->buf + r->pos, size_t(chunk));
        r->pos += chunk;
        done += chunk;
    }
    return done;
}

int reader_seek(ByteReader *r, int64_t offset)
{
    if (offset >= r->base && offset < r->base + r->count) {
        r->pos = int(offset - r->base);
        r->at_eof = 0;
        return 0;
    }
    if (!r->seek)
        return -7;
    if (r->seek(r, offset) < 0)
        return -1;
    r->pos = r->count = 0;
    r->at_eof = r->failed = 0;
    r->base = offset;
    return 0;
}

void reader_close(ByteReader *r)
{
    if (!r)
        return;
    if (r->close)
        r->close(r);
    std::free(r);
}

void reader_close_chain(ByteReader *r)
{
    while (r) {
        ByteReader *next = r->next;
        reader_close(r);
        r = next;
    }
}

uint8_t *reader_read_all_heap(ByteReader *r, int max, int *out_length)
{
    const int cap = max > 0 ? max : READ_ALL_DEFAULT_MAX;
    int size = READ_ALL_INITIAL < cap ? READ_ALL_INITIAL : cap;
    auto *heap = static_cast<uint8_t *>(std::malloc(size_t(size)));
    if (!heap)
        return nullptr;
    int length = 0;
    for (;;) {
        if (length == size) {
            if (size >= cap)
                break;
            int grown = size > cap / 2 ? cap : size * 2;
            auto *bigger = static_cast<uint8_t *>(std::realloc(heap, size_t(grown)));
            if (!bigger) {
                std::free(heap);
                return nullptr;
            }
            heap = bigger;
            size = grown;
        }
        int n = reader_read(r, heap + length, size - length);
        if (n <= 0)
            break;
        length += n;
    }
    *out_length = length;
    return heap;
}

uint8_t *reader_read_all(ByteReader *r, Arena *arena, int max, int *out_length)
{
    if (out_length)
        *out_length = 0;
    if (!r || !arena)
        return nullptr;
    int length = 0;
    uint8_t *heap = reader_read_all_heap(r, max, &length);
    if (!heap)
        return nullptr;
    uint8_t *result = arena_copy(arena, heap, size_t(length));
    std::free(heap);
    if (result && out_length)
        *out_length = length;
    return result;
}
