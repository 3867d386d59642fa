// MD5 message digest as specified by RFC 1321 (section 3): 64-byte blocks,
// four rounds of sixteen steps, little-endian words.
#include "pdf/md5.h"

#include <cstring>

namespace {

// Per-step left-rotation amounts, four per round (RFC 1321, section 3.4).
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// T[i] = floor(2^32 * |sin(i + 1)|), written out so no floating point is involved.
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void md5_block(uint32_t state[4], const uint8_t *p)
{
    uint32_t x[16];
    for (int i = 0; i < 16; i++)
        x[i] = uint32_t(p[4 * i]) | uint32_t(p[4 * i + 1]) << 8 | uint32_t(p[4 * i + 2]) << 16 |
               uint32_t(p[4 * i + 3]) << 24;
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; i++) {
        const int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
        case 0: f = (b & c) | (~b & d); k = i; break;
        case 1: f = (b & d) | (c & ~d); k = (5 * i + 1) & 15; break;
        case 2: f = b ^ c ^ d; k = (3 * i + 5) & 15; break;
        default: f = c ^ (b | ~d); k = (7 * i) & 15; break;
        }
        const uint32_t sum = a + f + kSine[i] + x[k];
        a = d;
        d = c;
        c = b;
        b = b + rotl(sum, kShift[round][i & 3]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

void md5_init(Md5 *md)
{
    md->state[0] = 0x67452301;
    md->state[1] = 0xefcdab89;
    md->state[2] = 0x98badcfe;
    md->state[3] = 0x10325476;
    md->bit_count = 0;
    md->block_used = 0;
}

void md5_update(Md5 *md, const uint8_t *data, size_t n)
{
    if (!data || n == 0)
        return;
    md->bit_count += uint64_t(n) << 3;
    if (md->block_used > 0) {
        size_t take = size_t(64 - md->block_used);
        if (take > n)
            take = n;
        std::memcpy(md->block + md->block_used, data, take);
        md->block_used += int(take);
        data += take;
        n -= take;
        if (md->block_used < 64)
            return;
        md5_block(md->state, md->block);
        md->block_used = 0;
    }
    for (; n >= 64; n -= 64, data += 64)
        md5_block(md->state, data);
    std::memcpy(md->block, data, n);
    md->block_used = int(n);
}

void md5_final(Md5 *md, uint8_t digest[16])
{
    uint8_t length[8];
    for (int i = 0; i < 8; i++)
        length[i] = uint8_t(md->bit_count >> (8 * i));
    // One 0x80 byte, zeros up to 56 mod 64, then the original bit length.
    static constexpr uint8_t kPad[64] = {0x80};
    const int pad = md->block_used < 56 ? 56 - md->block_used : 120 - md->block_used;
    const uint64_t saved = md->bit_count;
    md5_update(md, kPad, size_t(pad));
    md5_update(md, length, 8);
    md->bit_count = saved;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            digest[4 * i + j] = uint8_t(md->state[i] >> (8 * j));
}

void md5(const uint8_t *data, size_t n, uint8_t digest[16])
{
    Md5 md;
    md5_init(&md);
    md5_update(&md, data, n);
    md5_final(&md, digest);
}
