// AES block cipher (FIPS-197) with 128-, 192- and 256-bit keys, and CBC mode
// (NIST SP 800-38A). The viewer needs decryption; encryption is here because it
// shares the key schedule and lets tests build ciphertexts of their own.
#pragma once
#include <cstddef>
#include <cstdint>

struct AesKey {
    uint32_t enc[60];  // encryption round keys, one column a word (byte 0 lowest)
    uint32_t dec[60];  // round keys of the equivalent inverse cipher
    int rounds;        // 10, 12 or 14
};

// 0, or -7 when key_bytes is not 16, 24 or 32.
int aes_set_key(AesKey *key, const uint8_t *bytes, int key_bytes);
void aes_encrypt_block(const AesKey *key, const uint8_t in[16], uint8_t out[16]);
void aes_decrypt_block(const AesKey *key, const uint8_t in[16], uint8_t out[16]);
// CBC over whole blocks in place (a trailing partial block is left alone);
// `iv` is updated to the last ciphertext block so calls can be chained.
void aes_cbc_decrypt(const AesKey *key, uint8_t iv[16], uint8_t *data, size_t n);
void aes_cbc_encrypt(const AesKey *key, uint8_t iv[16], uint8_t *data, size_t n);
