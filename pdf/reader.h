// ByteReader: a buffered byte source over a file, a memory block or a
// decoding filter. Filters chain through `next`; callers read from the buffer
// inline and `fill` runs only when it is empty. Reading past the end returns
// -1 and sets a flag; it never faults.
#pragma once
#include <cstdint>
#include <cstdio>

#include "pdf/limits.h"

struct Arena;

struct ByteReader {
    int (*fill)(ByteReader *reader, uint8_t *buffer, int capacity);  // >0 bytes, 0 end, <0 error
    int (*seek)(ByteReader *reader, int64_t offset);                  // may be null
    void (*close)(ByteReader *reader);                                // may be null
    ByteReader *next;  // source of a filter; null ends a chain
    void *ctx;         // the source's own context
    uint8_t buf[READER_BUFFER_SIZE];
    int pos;           // next byte in buf
    int count;         // valid bytes in buf
    int64_t base;      // absolute offset of buf[0]
    int at_eof;
    int failed;
};

// The process-wide file-open hook (path -> open binary stream). The Windows
// shell installs one that understands non-ANSI names; null means fopen.
using ReaderFileOpenHook = FILE *(*)(const char *path);
void reader_set_file_open_hook(ReaderFileOpenHook hook);
// Opens a file the way the document layer opens every file (through the hook).
FILE *reader_fopen(const char *path);

ByteReader *reader_open_file(const char *path);
// The data are not copied and must outlive the reader.
ByteReader *reader_open_memory(const uint8_t *data, int64_t size);
// A zeroed reader with the given callbacks, for filters and special sources.
ByteReader *reader_new(int (*fill)(ByteReader *, uint8_t *, int), void *ctx, ByteReader *next);
// reader_new for a context that is one heap block: closing the reader frees it.
// Null when `ctx` is null or memory is short; `ctx` is freed then too.
ByteReader *reader_new_owning(int (*fill)(ByteReader *, uint8_t *, int), void *ctx, ByteReader *next);

int reader_refill(ByteReader *r);  // slow path of reader_getc
inline int reader_getc(ByteReader *r)
{
    if (r->pos < r->count)
        return r->buf[r->pos++];
    return reader_refill(r);
}
inline void reader_ungetc(ByteReader *r)
{
    if (r->pos > 0)
        r->pos--;
}
inline int reader_peek(ByteReader *r)
{
    int c = reader_getc(r);
    if (c >= 0)
        reader_ungetc(r);
    return c;
}
inline int64_t reader_tell(const ByteReader *r) { return r->base + r->pos; }

int reader_read(ByteReader *r, uint8_t *dst, int n);
// 0, -1 (the source's seek failed) or -7 (outside the buffer and no seek).
int reader_seek(ByteReader *r, int64_t offset);
void reader_close(ByteReader *r);
void reader_close_chain(ByteReader *r);
// Reads the rest of a reader into arena bytes (plus a terminating zero);
// at most `max` bytes (64 MiB when max <= 0). Null when memory is short.
uint8_t *reader_read_all(ByteReader *r, Arena *arena, int max, int *out_length);
// The same into a malloc'd buffer the caller frees (no terminating zero).
uint8_t *reader_read_all_heap(ByteReader *r, int max, int *out_length);
