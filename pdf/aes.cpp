// AES (FIPS-197) with table-driven rounds: the S-boxes and the combined
// SubBytes/MixColumns tables are computed at compile time from the field
// arithmetic, decryption uses the equivalent inverse cipher (FIPS-197 5.3.5).
#include "pdf/aes.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t gf_mul(uint8_t a, uint8_t b)
{
    uint8_t p = 0;
    for (int i = 0; i < 8; i++) {
        if (b & 1)
            p ^= a;
        const bool carry = a & 0x80;
        a = uint8_t(a << 1);
        if (carry)
            a ^= 0x1b;  // x^8 = x^4 + x^3 + x + 1
        b >>= 1;
    }
    return p;
}

struct SBoxes {
    std::array<uint8_t, 256> fwd{}, inv{};
};

// Multiplicative inverse through powers of the generator 3, then the affine map.
constexpr SBoxes make_sboxes()
{
    std::array<uint8_t, 256> exp{}, log{};
    uint8_t p = 1;
    for (int i = 0; i < 255; i++) {
        exp[i] = p;
        log[p] = uint8_t(i);
        p = gf_mul(p, 3);
    }
    SBoxes s;
    for (int x = 0; x < 256; x++) {
        const uint8_t inverse = x == 0 ? 0 : exp[(255 - log[x]) % 255];
        uint8_t b = inverse, r = inverse;
        for (int k = 0; k < 4; k++) {
            b = uint8_t(b << 1 | b >> 7);
            r ^= b;
        }
        r ^= 0x63;
        s.fwd[x] = r;
        s.inv[r] = uint8_t(x);
    }
    return s;
}

constexpr SBoxes kBox = make_sboxes();

constexpr uint32_t pack(uint8_t r0, uint8_t r1, uint8_t r2, uint8_t r3)
{
    return uint32_t(r0) | uint32_t(r1) << 8 | uint32_t(r2) << 16 | uint32_t(r3) << 24;
}

// Round tables: table r, entry x = the column that row r's byte x contributes
// after (Inv)SubBytes and (Inv)MixColumns.
using Tables = std::array<std::array<uint32_t, 256>, 4>;

constexpr Tables make_tables(bool inverse)
{
    // Column j of the (Inv)MixColumns matrix, rotated per row.
    const uint8_t fwd[4] = {2, 1, 1, 3};
    const uint8_t inv[4] = {14, 9, 13, 11};
    const uint8_t *m = inverse ? inv : fwd;
    Tables t{};
    for (int x = 0; x < 256; x++) {
        const uint8_t s = inverse ? kBox.inv[x] : kBox.fwd[x];
        for (int r = 0; r < 4; r++)
            t[r][x] = pack(gf_mul(s, m[(4 - r) & 3]), gf_mul(s, m[(5 - r) & 3]),
                           gf_mul(s, m[(6 - r) & 3]), gf_mul(s, m[(7 - r) & 3]));
    }
    return t;
}

constexpr Tables kEnc = make_tables(false);
constexpr Tables kDec = make_tables(true);

inline uint8_t byte_of(uint32_t w, int r) { return uint8_t(w >> (8 * r)); }

inline uint32_t load(const uint8_t *p) { return pack(p[0], p[1], p[2], p[3]); }

inline void store(uint8_t *p, uint32_t w)
{
    for (int r = 0; r < 4; r++)
        p[r] = byte_of(w, r);
}

uint32_t sub_word(uint32_t w)
{
    return pack(kBox.fwd[byte_of(w, 0)], kBox.fwd[byte_of(w, 1)], kBox.fwd[byte_of(w, 2)],
                kBox.fwd[byte_of(w, 3)]);
}

uint32_t inv_mix_column(uint32_t w)
{
    // The decryption tables start with InvSubBytes; feeding them S-box outputs cancels it.
    return kDec[0][kBox.fwd[byte_of(w, 0)]] ^ kDec[1][kBox.fwd[byte_of(w, 1)]] ^
           kDec[2][kBox.fwd[byte_of(w, 2)]] ^ kDec[3][kBox.fwd[byte_of(w, 3)]];
}

// The rounds of either direction; Shift is 1 for ShiftRows and 3 (i.e. -1) for
// InvShiftRows. A template so the column indices are constants and the state
// stays in registers.
template <int Shift>
void run_cipher(const uint32_t *rk, int rounds, const Tables &t, const uint8_t *box,
                const uint8_t in[16], uint8_t out[16])
{
    uint32_t s0 = load(in) ^ rk[0], s1 = load(in + 4) ^ rk[1];
    uint32_t s2 = load(in + 8) ^ rk[2], s3 = load(in + 12) ^ rk[3];
    for (int round = 1; round < rounds; round++) {
        const uint32_t *k = rk + 4 * round;
        const uint32_t s[4] = {s0, s1, s2, s3};
        s0 = t[0][byte_of(s[0], 0)] ^ t[1][byte_of(s[Shift & 3], 1)] ^
             t[2][byte_of(s[(2 * Shift) & 3], 2)] ^ t[3][byte_of(s[(3 * Shift) & 3], 3)] ^ k[0];
        s1 = t[0][byte_of(s[1], 0)] ^ t[1][byte_of(s[(1 + Shift) & 3], 1)] ^
             t[2][byte_of(s[(1 + 2 * Shift) & 3], 2)] ^ t[3][byte_of(s[(1 + 3 * Shift) & 3], 3)] ^ k[1];
        s2 = t[0][byte_of(s[2], 0)] ^ t[1][byte_of(s[(2 + Shift) & 3], 1)] ^
             t[2][byte_of(s[(2 + 2 * Shift) & 3], 2)] ^ t[3][byte_of(s[(2 + 3 * Shift) & 3], 3)] ^ k[2];
        s3 = t[0][byte_of(s[3], 0)] ^ t[1][byte_of(s[(3 + Shift) & 3], 1)] ^
             t[2][byte_of(s[(3 + 2 * Shift) & 3], 2)] ^ t[3][byte_of(s[(3 + 3 * Shift) & 3], 3)] ^ k[3];
    }
    const uint32_t s[4] = {s0, s1, s2, s3};
    const uint32_t *last = rk + 4 * rounds;
    for (int c = 0; c < 4; c++) {
        const uint32_t w = pack(box[byte_of(s[c], 0)], box[byte_of(s[(c + Shift) & 3], 1)],
                                box[byte_of(s[(c + 2 * Shift) & 3], 2)],
                                box[byte_of(s[(c + 3 * Shift) & 3], 3)]);
        store(out + 4 * c, w ^ last[c]);
    }
}

}  // namespace

int aes_set_key(AesKey *key, const uint8_t *bytes, int key_bytes)
{
    if (!key || !bytes || (key_bytes != 16 && key_bytes != 24 && key_bytes != 32))
        return -7;
    const int nk = key_bytes / 4;
    key->rounds = nk + 6;
    const int total = 4 * (key->rounds + 1);
    uint32_t *w = key->enc;
    for (int i = 0; i < nk; i++)
        w[i] = load(bytes + 4 * i);
    uint8_t rcon = 1;
    for (int i = nk; i < total; i++) {
        uint32_t t = w[i - 1];
        if (i % nk == 0) {
            t = sub_word(t >> 8 | t << 24) ^ rcon;
            rcon = gf_mul(rcon, 2);
        } else if (nk > 6 && i % nk == 4) {
            t = sub_word(t);
        }
        w[i] = w[i - nk] ^ t;
    }
    // Equivalent inverse cipher: round keys in reverse order, inner ones through InvMixColumns.
    for (int round = 0; round <= key->rounds; round++)
        for (int c = 0; c < 4; c++) {
            const uint32_t k = w[4 * (key->rounds - round) + c];
            key->dec[4 * round + c] = (round == 0 || round == key->rounds) ? k : inv_mix_column(k);
        }
    return 0;
}

void aes_encrypt_block(const AesKey *key, const uint8_t in[16], uint8_t out[16])
{
    run_cipher<1>(key->enc, key->rounds, kEnc, kBox.fwd.data(), in, out);
}

void aes_decrypt_block(const AesKey *key, const uint8_t in[16], uint8_t out[16])
{
    run_cipher<3>(key->dec, key->rounds, kDec, kBox.inv.data(), in, out);
}

void aes_cbc_decrypt(const AesKey *key, uint8_t iv[16], uint8_t *data, size_t n)
{
    uint8_t cipher[16], plain[16];
    for (size_t at = 0; at + 16 <= n; at += 16) {
        std::memcpy(cipher, data + at, 16);
        aes_decrypt_block(key, cipher, plain);
        for (int k = 0; k < 16; k++)
            data[at + k] = plain[k] ^ iv[k];
        std::memcpy(iv, cipher, 16);
    }
}

void aes_cbc_encrypt(const AesKey *key, uint8_t iv[16], uint8_t *data, size_t n)
{
    for (size_t at = 0; at + 16 <= n; at += 16) {
        for (int k = 0; k < 16; k++)
            iv[k] ^= data[at + k];
        aes_encrypt_block(key, iv, data + at);
        std::memcpy(iv, data + at, 16);
    }
}
