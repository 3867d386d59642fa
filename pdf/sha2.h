// SHA-256, SHA-384 and SHA-512 message digests (FIPS 180-4): incremental
// init/update/final and one-shot helpers. The 256-bit AES security handler
// derives its keys and password checks from them.
#pragma once
#include <cstddef>
#include <cstdint>

struct Sha256 {
    uint32_t state[8];
    uint64_t byte_count;  // message length so far
    uint8_t block[64];    // pending partial block
    int block_used;
};

// SHA-384 is SHA-512 with other initial values and a truncated digest.
struct Sha512 {
    uint64_t state[8];
    uint64_t byte_count;  // message length so far (2^64 bytes is far beyond any use here)
    uint8_t block[128];
    int block_used;
    int digest_bytes;  // 64, or 48 for SHA-384
};

void sha256_init(Sha256 *s);
void sha256_update(Sha256 *s, const uint8_t *data, size_t n);
// Writes the 32-byte digest; the record must be initialised again before reuse.
void sha256_final(Sha256 *s, uint8_t digest[32]);
void sha256(const uint8_t *data, size_t n, uint8_t digest[32]);

void sha512_init(Sha512 *s);
void sha384_init(Sha512 *s);
void sha512_update(Sha512 *s, const uint8_t *data, size_t n);
// Writes s->digest_bytes bytes (64 for SHA-512, 48 for SHA-384).
void sha512_final(Sha512 *s, uint8_t *digest);
void sha384(const uint8_t *data, size_t n, uint8_t digest[48]);
void sha512(const uint8_t *data, size_t n, uint8_t digest[64]);
