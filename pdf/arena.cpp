// Block allocator for documents and page renders.
#include "pdf/arena.h"

#include <cstdlib>
#include <cstring>

#include "pdf/limits.h"

struct ArenaBlock {
    ArenaBlock *next;
    size_t capacity;
    size_t used;
    alignas(8) unsigned char data[];
};

Arena *arena_create(size_t block_size)
{
    auto *a = static_cast<Arena *>(std::calloc(1, sizeof(Arena)));
    if (!a)
        return nullptr;
    a->block_size = block_size ? block_size : ARENA_DEFAULT_BLOCK;
    return a;
}

void *arena_alloc(Arena *a, size_t size)
{
    if (!a)
        return nullptr;
    size = size ? (size + 7) & ~size_t(7) : 8;
    if (size < 8) {  // wrapped around
        a->failed = 1;
        return nullptr;
    }
    ArenaBlock *b = a->blocks;
    if (!b || b->capacity - b->used < size) {
        size_t cap = size > a->block_size ? size : a->block_size;
        if (a->limit && a->total + cap > a->limit) {
            a->failed = 1;
            return nullptr;
        }
        b = static_cast<ArenaBlock *>(std::malloc(sizeof(ArenaBlock) + cap));
        if (!b) {
            a->failed = 1;
            return nullptr;
        }
        b->capacity = cap;
        b->used = 0;
        // A large request gets its own block behind the current one, so the
        // current block's free space is not abandoned.
        if (a->blocks && cap > a->block_size) {
            b->next = a->blocks->next;
            a->blocks->next = b;
        } else {
            b->next = a->blocks;
            a->blocks = b;
        }
        a->total += cap;
    }
    void *p = b->data + b->used;
    b->used += size;
    std::memset(p, 0, size);
    return p;
}

uint8_t *arena_copy(Arena *a, const void *bytes, size_t n)
{
    auto *p = static_cast<uint8_t *>(arena_alloc(a, n + 1));
    if (!p)
        return nullptr;
    if (n)
        std::memcpy(p, bytes, n);
    p[n] = 0;
    return p;
}

void arena_destroy(Arena *a)
{
    if (!a)
        return;
    ArenaBlock *b = a->blocks;
    while (b) {
        ArenaBlock *next = b->next;
        std::free(b);
        b = next;
    }
    std::free(a);
}
