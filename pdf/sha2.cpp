// SHA-2 as specified by FIPS 180-4: SHA-256 on 32-bit words and 64-byte
// blocks (section 6.2), SHA-512 and SHA-384 on 64-bit words and 128-byte blocks
// (sections 6.4 and 6.5), all big-endian.
#include "pdf/sha2.h"

#include <cstring>

namespace {

// The first 32 (64) bits of the fractional parts of the cube roots of the
// first 64 (80) primes (FIPS 180-4, 4.2.2 and 4.2.3).
constexpr uint32_t kRound256[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};
constexpr uint64_t kRound512[80] = {
    0x428a2f98d728ae22ull, 0x7137449123ef65cdull, 0xb5c0fbcfec4d3b2full, 0xe9b5dba58189dbbcull,
    0x3956c25bf348b538ull, 0x59f111f1b605d019ull, 0x923f82a4af194f9bull, 0xab1c5ed5da6d8118ull,
    0xd807aa98a3030242ull, 0x12835b0145706fbeull, 0x243185be4ee4b28cull, 0x550c7dc3d5ffb4e2ull,
    0x72be5d74f27b896full, 0x80deb1fe3b1696b1ull, 0x9bdc06a725c71235ull, 0xc19bf174cf692694ull,
    0xe49b69c19ef14ad2ull, 0xefbe4786384f25e3ull, 0x0fc19dc68b8cd5b5ull, 0x240ca1cc77ac9c65ull,
    0x2de92c6f592b0275ull, 0x4a7484aa6ea6e483ull, 0x5cb0a9dcbd41fbd4ull, 0x76f988da831153b5ull,
    0x983e5152ee66dfabull, 0xa831c66d2db43210ull, 0xb00327c898fb213full, 0xbf597fc7beef0ee4ull,
    0xc6e00bf33da88fc2ull, 0xd5a79147930aa725ull, 0x06ca6351e003826full, 0x142929670a0e6e70ull,
    0x27b70a8546d22ffcull, 0x2e1b21385c26c926ull, 0x4d2c6dfc5ac42aedull, 0x53380d139d95b3dfull,
    0x650a73548baf63deull, 0x766a0abb3c77b2a8ull, 0x81c2c92e47edaee6ull, 0x92722c851482353bull,
    0xa2bfe8a14cf10364ull, 0xa81a664bbc423001ull, 0xc24b8b70d0f89791ull, 0xc76c51a30654be30ull,
    0xd192e819d6ef5218ull, 0xd69906245565a910ull, 0xf40e35855771202aull, 0x106aa07032bbd1b8ull,
    0x19a4c116b8d2d0c8ull, 0x1e376c085141ab53ull, 0x2748774cdf8eeb99ull, 0x34b0bcb5e19b48a8ull,
    0x391c0cb3c5c95a63ull, 0x4ed8aa4ae3418acbull, 0x5b9cca4f7763e373ull, 0x682e6ff3d6b2b8a3ull,
    0x748f82ee5defb2fcull, 0x78a5636f43172f60ull, 0x84c87814a1f0ab72ull, 0x8cc702081a6439ecull,
    0x90befffa23631e28ull, 0xa4506cebde82bde9ull, 0xbef9a3f7b2c67915ull, 0xc67178f2e372532bull,
    0xca273eceea26619cull, 0xd186b8c721c0c207ull, 0xeada7dd6cde0eb1eull, 0xf57d4f7fee6ed178ull,
    0x06f067aa72176fbaull, 0x0a637dc5a2c898a6ull, 0x113f9804bef90daeull, 0x1b710b35131c471bull,
    0x28db77f523047d84ull, 0x32caab7b40c72493ull, 0x3c9ebe0a15c9bebcull, 0x431d67c49c100d4cull,
    0x4cc5d4becb3e42b6ull, 0x597f299cfc657e2aull, 0x5fcb6fab3ad6faecull, 0x6c44198c4a475817ull,
};
// Initial hash values: square roots of the first eight primes (SHA-256,
// SHA-512) and of the ninth to sixteenth (SHA-384) (FIPS 180-4, 5.3).
constexpr uint32_t kInit256[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};
constexpr uint64_t kInit512[8] = {
    0x6a09e667f3bcc908ull, 0xbb67ae8584caa73bull, 0x3c6ef372fe94f82bull, 0xa54ff53a5f1d36f1ull,
    0x510e527fade682d1ull, 0x9b05688c2b3e6c1full, 0x1f83d9abfb41bd6bull, 0x5be0cd19137e2179ull,
};
constexpr uint64_t kInit384[8] = {
    0xcbbb9d5dc1059ed8ull, 0x629a292a367cd507ull, 0x9159015a3070dd17ull, 0x152fecd8f70e5939ull,
    0x67332667ffc00b31ull, 0x8eb44a8768581511ull, 0xdb0c2e0d64f98fa7ull, 0x47b5481dbefa4fa4ull,
};

inline uint32_t rotr32(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline uint64_t rotr64(uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }

void sha256_block(uint32_t h[8], const uint8_t *p)
{
    uint32_t w[64];
    for (int i = 0; i < 16; i++)
        w[i] = uint32_t(p[4 * i]) << 24 | uint32_t(p[4 * i + 1]) << 16 | uint32_t(p[4 * i + 2]) << 8 |
               uint32_t(p[4 * i + 3]);
    for (int i = 16; i < 64; i++) {
        const uint32_t s0 = rotr32(w[i - 15], 7) ^ rotr32(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = rotr32(w[i - 2], 17) ^ rotr32(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t v[8];
    std::memcpy(v, h, sizeof v);
    for (int i = 0; i < 64; i++) {
        const uint32_t e = v[4], a = v[0];
        const uint32_t t1 = v[7] + (rotr32(e, 6) ^ rotr32(e, 11) ^ rotr32(e, 25)) + ((e & v[5]) ^ (~e & v[6])) +
                            kRound256[i] + w[i];
        const uint32_t t2 = (rotr32(a, 2) ^ rotr32(a, 13) ^ rotr32(a, 22)) + ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
        std::memmove(v + 1, v, 7 * sizeof v[0]);
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; i++)
        h[i] += v[i];
}

void sha512_block(uint64_t h[8], const uint8_t *p)
{
    uint64_t w[80];
    for (int i = 0; i < 16; i++) {
        w[i] = 0;
        for (int j = 0; j < 8; j++)
            w[i] = w[i] << 8 | p[8 * i + j];
    }
    for (int i = 16; i < 80; i++) {
        const uint64_t s0 = rotr64(w[i - 15], 1) ^ rotr64(w[i - 15], 8) ^ (w[i - 15] >> 7);
        const uint64_t s1 = rotr64(w[i - 2], 19) ^ rotr64(w[i - 2], 61) ^ (w[i - 2] >> 6);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint64_t v[8];
    std::memcpy(v, h, sizeof v);
    for (int i = 0; i < 80; i++) {
        const uint64_t e = v[4], a = v[0];
        const uint64_t t1 = v[7] + (rotr64(e, 14) ^ rotr64(e, 18) ^ rotr64(e, 41)) + ((e & v[5]) ^ (~e & v[6])) +
                            kRound512[i] + w[i];
        const uint64_t t2 = (rotr64(a, 28) ^ rotr64(a, 34) ^ rotr64(a, 39)) + ((a & v[1]) ^ (a & v[2]) ^ (v[1] & v[2]));
        std::memmove(v + 1, v, 7 * sizeof v[0]);
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; i++)
        h[i] += v[i];
}

// Appends 0x80, zeros and the big-endian bit length so that the message ends
// on a block boundary; the length field is 8 bytes for SHA-256 and 16 for
// SHA-512, whose upper bytes only ever hold the bits shifted out of the count.
template <typename Block>
void pad_final(uint8_t *block, int used, int block_size, int length_bytes, uint64_t byte_count, Block process)
{
    block[used++] = 0x80;
    if (used > block_size - length_bytes) {
        std::memset(block + used, 0, size_t(block_size - used));
        process(block);
        used = 0;
    }
    std::memset(block + used, 0, size_t(block_size - used));
    const uint64_t bits = byte_count << 3;
    if (length_bytes == 16)
        block[block_size - 9] = uint8_t(byte_count >> 61);
    for (int i = 0; i < 8; i++)
        block[block_size - 1 - i] = uint8_t(bits >> (8 * i));
    process(block);
}

// Appends message bytes to a partial block, processing every block filled.
template <typename Block>
void feed(uint8_t *block, int *used, int block_size, const uint8_t *data, size_t n, Block process)
{
    while (n > 0) {
        const size_t take = n < size_t(block_size - *used) ? n : size_t(block_size - *used);
        std::memcpy(block + *used, data, take);
        *used += int(take);
        data += take;
        n -= take;
        if (*used == block_size) {
            process(block);
            *used = 0;
        }
    }
}

}  // namespace

void sha256_init(Sha256 *s)
{
    std::memcpy(s->state, kInit256, sizeof kInit256);
    s->byte_count = 0;
    s->block_used = 0;
}

void sha256_update(Sha256 *s, const uint8_t *data, size_t n)
{
    s->byte_count += n;
    feed(s->block, &s->block_used, 64, data, n, [s](const uint8_t *b) { sha256_block(s->state, b); });
}

void sha256_final(Sha256 *s, uint8_t digest[32])
{
    pad_final(s->block, s->block_used, 64, 8, s->byte_count, [s](const uint8_t *b) { sha256_block(s->state, b); });
    for (int i = 0; i < 32; i++)
        digest[i] = uint8_t(s->state[i / 4] >> (24 - 8 * (i % 4)));
}

void sha256(const uint8_t *data, size_t n, uint8_t digest[32])
{
    Sha256 s;
    sha256_init(&s);
    sha256_update(&s, data, n);
    sha256_final(&s, digest);
}

void sha512_init(Sha512 *s)
{
    std::memcpy(s->state, kInit512, sizeof kInit512);
    s->byte_count = 0;
    s->block_used = 0;
    s->digest_bytes = 64;
}

void sha384_init(Sha512 *s)
{
    std::memcpy(s->state, kInit384, sizeof kInit384);
    s->byte_count = 0;
    s->block_used = 0;
    s->digest_bytes = 48;
}

void sha512_update(Sha512 *s, const uint8_t *data, size_t n)
{
    s->byte_count += n;
    feed(s->block, &s->block_used, 128, data, n, [s](const uint8_t *b) { sha512_block(s->state, b); });
}

void sha512_final(Sha512 *s, uint8_t *digest)
{
    pad_final(s->block, s->block_used, 128, 16, s->byte_count, [s](const uint8_t *b) { sha512_block(s->state, b); });
    for (int i = 0; i < s->digest_bytes; i++)
        digest[i] = uint8_t(s->state[i / 8] >> (56 - 8 * (i % 8)));
}

void sha384(const uint8_t *data, size_t n, uint8_t digest[48])
{
    Sha512 s;
    sha384_init(&s);
    sha512_update(&s, data, n);
    sha512_final(&s, digest);
}

void sha512(const uint8_t *data, size_t n, uint8_t digest[64])
{
    Sha512 s;
    sha512_init(&s);
    sha512_update(&s, data, n);
    sha512_final(&s, digest);
}
