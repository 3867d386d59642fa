// MD5 message digest (RFC 1321): incremental init/update/final and a one-shot
// helper. Used by the standard security handler to derive file and object
// keys; it is not meant for anything that needs a secure hash.
#pragma once
#include <cstddef>
#include <cstdint>

struct Md5 {
    uint32_t state[4];   // A, B, C, D
    uint64_t bit_count;  // message length so far, in bits
    uint8_t block[64];   // pending partial block
    int block_used;      // bytes held in `block`
};

void md5_init(Md5 *md);
void md5_update(Md5 *md, const uint8_t *data, size_t n);
// Writes the 16-byte digest; the record must be initialised again before reuse.
void md5_final(Md5 *md, uint8_t digest[16]);
void md5(const uint8_t *data, size_t n, uint8_t digest[16]);
