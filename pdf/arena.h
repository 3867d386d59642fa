// Arena: a block allocator. Every PDF object and string of a document lives
// in the document's arena, every transient structure of a page render in the
// render's arena; memory is released only by destroying the arena.
#pragma once
#include <cstddef>
#include <cstdint>

struct ArenaBlock;

struct Arena {
    ArenaBlock *blocks;   // newest first
    size_t block_size;    // default block size
    size_t total;         // bytes of all blocks
    size_t limit;         // 0 = none; allocations beyond fail (tests, memory caps)
    int failed;           // sticky: an allocation has failed
};

Arena *arena_create(size_t block_size);  // 0 gives 32 KiB blocks
// Zero-filled memory rounded up to 8 bytes; null on exhaustion (and `failed` set).
void *arena_alloc(Arena *arena, size_t size);
// Copies n bytes and appends a zero byte.
uint8_t *arena_copy(Arena *arena, const void *bytes, size_t n);
void arena_destroy(Arena *arena);
