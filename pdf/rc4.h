// RC4 stream cipher: key schedule and in-place encryption/decryption (the same
// operation). Used by the standard security handler for 40..128-bit keys.
#pragma once
#include <cstddef>
#include <cstdint>

struct Rc4 {
    uint8_t s[256];
    uint8_t i, j;
};

// Key lengths outside 1..256 bytes are clamped; an empty key gives the
// identity permutation so the cipher stays defined.
void rc4_init(Rc4 *rc, const uint8_t *key, int key_length);
// XORs n bytes with the key stream, continuing where the last call stopped.
void rc4_crypt(Rc4 *rc, uint8_t *data, size_t n);
