// The standard security handler of PDF Reference 1.6, section 3.5 (algorithms
// 3.1, 3.1a, 3.2, 3.4, 3.5 and 3.7) and its 256-bit AES revisions (ISO
// 32000-2, algorithms 2.A and 2.B; revision 5 as the earlier plain SHA-256
// variant), over plain bytes. The object model glue that reads the Encrypt
// dictionary lives elsewhere.
#include "pdf/crypt.h"

#include <cstdlib>
#include <cstring>

#include "pdf/aes.h"
#include "pdf/limits.h"
#include "pdf/md5.h"
#include "pdf/rc4.h"
#include "pdf/reader.h"
#include "pdf/sha2.h"

const uint8_t crypt_padding[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41,
                                   0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
                                   0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80,
                                   0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

namespace {

constexpr uint8_t kAesSalt[4] = {'s', 'A', 'l', 'T'};

bool params_usable(const CryptParams &p)
{
    return p.revision >= 2 && p.revision <= 4 && p.key_length >= 5 && p.key_length <= 16 &&
           p.owner.size() >= 32 && p.user.size() >= crypt_user_bytes_needed(p.revision);
}

// RC4 with `key` XOR-ed with `step`, used by the 20-pass loops of R >= 3.
void rc4_pass(const uint8_t *key, int key_length, int step, uint8_t *data, size_t n)
{
    uint8_t k[16];
    for (int i = 0; i < key_length; i++)
        k[i] = uint8_t(key[i] ^ step);
    Rc4 rc;
    rc4_init(&rc, k, key_length);
    rc4_crypt(&rc, data, n);
}

}  // namespace

size_t crypt_user_bytes_needed(int revision) { return revision == 2 ? 32 : 16; }

void crypt_pad_password(std::span<const uint8_t> password, uint8_t padded[32])
{
    const size_t n = password.size() < 32 ? password.size() : 32;
    if (n > 0)
        std::memcpy(padded, password.data(), n);
    std::memcpy(padded + n, crypt_padding, 32 - n);
}

void crypt_file_key(const CryptParams &params, const uint8_t padded[32], uint8_t key[16])
{
    Md5 md;
    md5_init(&md);
    md5_update(&md, padded, 32);
    md5_update(&md, params.owner.data(), 32);
    const uint8_t p[4] = {uint8_t(params.permissions), uint8_t(params.permissions >> 8),
                          uint8_t(params.permissions >> 16), uint8_t(params.permissions >> 24)};
    md5_update(&md, p, 4);
    md5_update(&md, params.doc_id.data(), params.doc_id.size());
    if (params.revision >= 4 && !params.encrypt_metadata) {
        static constexpr uint8_t kNoMetadata[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        md5_update(&md, kNoMetadata, 4);
    }
    uint8_t digest[16];
    md5_final(&md, digest);
    if (params.revision >= 3)
        for (int i = 0; i < 50; i++)
            md5(digest, size_t(params.key_length), digest);
    std::memcpy(key, digest, size_t(params.key_length));
}

bool crypt_key_matches_user(const CryptParams &params, const uint8_t key[16])
{
    if (params.revision == 2) {
        uint8_t u[32];
        std::memcpy(u, crypt_padding, 32);
        rc4_pass(key, params.key_length, 0, u, 32);
        return std::memcmp(u, params.user.data(), 32) == 0;
    }
    uint8_t u[16];
    Md5 md;
    md5_init(&md);
    md5_update(&md, crypt_padding, 32);
    md5_update(&md, params.doc_id.data(), params.doc_id.size());
    md5_final(&md, u);
    for (int step = 0; step < 20; step++)
        rc4_pass(key, params.key_length, step, u, 16);
    return std::memcmp(u, params.user.data(), 16) == 0;
}

void crypt_owner_to_user(const CryptParams &params, std::span<const uint8_t> owner_password,
                         uint8_t padded_user[32])
{
    uint8_t padded[32], digest[16];
    crypt_pad_password(owner_password, padded);
    md5(padded, 32, digest);
    if (params.revision >= 3)
        for (int i = 0; i < 50; i++)
            md5(digest, 16, digest);
    std::memcpy(padded_user, params.owner.data(), 32);
    if (params.revision == 2) {
        rc4_pass(digest, params.key_length, 0, padded_user, 32);
        return;
    }
    for (int step = 19; step >= 0; step--)
        rc4_pass(digest, params.key_length, step, padded_user, 32);
}

int crypt_authenticate(const CryptParams &params, std::span<const uint8_t> password,
                       uint8_t key[16])
{
    if (!params_usable(params))
        return -7;
    uint8_t padded[32];
    crypt_pad_password(password, padded);
    crypt_file_key(params, padded, key);
    if (crypt_key_matches_user(params, key))
        return 0;
    crypt_owner_to_user(params, password, padded);
    crypt_file_key(params, padded, key);
    if (crypt_key_matches_user(params, key))
        return 0;
    std::memset(key, 0, 16);
    return -6;
}

int crypt_object_key(const PdfCrypt *crypt, int method, int num, int gen, uint8_t out[32])
{
    if (method == CRYPT_AES256) {
        std::memcpy(out, crypt->key, 32);
        return 32;
    }
    int n = crypt->key_length;
    if (n < 5 || n > 16)
        n = n < 5 ? 5 : 16;
    uint8_t tail[9] = {uint8_t(num), uint8_t(num >> 8), uint8_t(num >> 16), uint8_t(gen),
                       uint8_t(gen >> 8)};
    size_t tail_length = 5;
    if (method == CRYPT_AES128) {
        std::memcpy(tail + 5, kAesSalt, 4);
        tail_length = 9;
    }
    Md5 md;
    md5_init(&md);
    md5_update(&md, crypt->key, size_t(n));
    md5_update(&md, tail, tail_length);
    uint8_t digest[16];
    md5_final(&md, digest);
    const int length = n + 5 < 16 ? n + 5 : 16;
    std::memcpy(out, digest, size_t(length));
    return length;
}

void crypt_hash_256(int revision, std::span<const uint8_t> password, const uint8_t salt[8],
                    std::span<const uint8_t> user, uint8_t out[32])
{
    if (password.size() > 127)
        password = password.first(127);
    if (user.size() > 48)
        user = user.first(48);
    uint8_t k[64];
    Sha256 sha;
    sha256_init(&sha);
    sha256_update(&sha, password.data(), password.size());
    sha256_update(&sha, salt, 8);
    sha256_update(&sha, user.data(), user.size());
    sha256_final(&sha, k);
    if (revision >= 6) {
        // Each round encrypts 64 copies of password, K and user with AES-128
        // (key and IV from K) and hashes the result with the function that
        // its first 16 bytes (as a number modulo 3) select. At least 64
        // rounds; then until the last ciphertext byte is at most round - 32.
        uint8_t e[64 * (127 + 64 + 48)];
        size_t k_length = 32;
        for (int round = 1;; round++) {
            const size_t one = password.size() + k_length + user.size();
            // Empty spans may have no data pointer at all.
            if (!password.empty())
                std::memcpy(e, password.data(), password.size());
            std::memcpy(e + password.size(), k, k_length);
            if (!user.empty())
                std::memcpy(e + password.size() + k_length, user.data(), user.size());
            for (int copy = 1; copy < 64; copy++)
                std::memcpy(e + copy * one, e, one);
            AesKey aes;
            aes_set_key(&aes, k, 16);
            uint8_t iv[16];
            std::memcpy(iv, k + 16, 16);
            aes_cbc_encrypt(&aes, iv, e, 64 * one);
            int sum = 0;
            for (int i = 0; i < 16; i++)
                sum += e[i];
            switch (sum % 3) {
            case 0: sha256(e, 64 * one, k); k_length = 32; break;
            case 1: sha384(e, 64 * one, k); k_length = 48; break;
            default: sha512(e, 64 * one, k); k_length = 64; break;
            }
            if (round >= 64 && e[64 * one - 1] <= round - 32)
                break;
        }
    }
    std::memcpy(out, k, 32);
}

namespace {

// The file key from OE or UE: AES-256 CBC with a zero IV under the hash of
// the password with the key salt, no padding.
void unwrap_file_key(int revision, std::span<const uint8_t> password, const uint8_t key_salt[8],
                     std::span<const uint8_t> user, std::span<const uint8_t> wrapped, uint8_t key[32])
{
    uint8_t kek[32];
    crypt_hash_256(revision, password, key_salt, user, kek);
    AesKey aes;
    aes_set_key(&aes, kek, 32);
    uint8_t iv[16] = {};
    std::memcpy(key, wrapped.data(), 32);
    aes_cbc_decrypt(&aes, iv, key, 32);
}

}  // namespace

int crypt_authenticate_256(const Crypt256Params &params, std::span<const uint8_t> password, uint8_t key[32])
{
    if ((params.revision != 5 && params.revision != 6) || params.owner.size() < 48 || params.user.size() < 48 ||
        params.owner_key.size() < 32 || params.user_key.size() < 32)
        return -7;
    const std::span<const uint8_t> user48 = params.user.first(48);
    uint8_t hash[32];
    crypt_hash_256(params.revision, password, params.user.data() + 32, {}, hash);
    if (std::memcmp(hash, params.user.data(), 32) == 0) {
        unwrap_file_key(params.revision, password, params.user.data() + 40, {}, params.user_key, key);
        return 0;
    }
    crypt_hash_256(params.revision, password, params.owner.data() + 32, user48, hash);
    if (std::memcmp(hash, params.owner.data(), 32) == 0) {
        unwrap_file_key(params.revision, password, params.owner.data() + 40, user48, params.owner_key, key);
        return 0;
    }
    std::memset(key, 0, 32);
    return -6;
}

bool crypt_perms_valid(const Crypt256Params &params, const uint8_t key[32])
{
    if (params.perms.size() < 16)
        return false;
    AesKey aes;
    aes_set_key(&aes, key, 32);
    uint8_t p[16];
    aes_decrypt_block(&aes, params.perms.data(), p);
    const uint32_t permissions = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return p[9] == 'a' && p[10] == 'd' && p[11] == 'b' && permissions == params.permissions &&
           (p[8] == 'T') == params.encrypt_metadata;
}

namespace {

// AES-CBC over bytes whose first 16 are the IV; returns the plaintext length
// (moved to the start). Lengths that do not fit whole blocks are handled by
// the caller's fallback.
int aes_decrypt_in_place(const AesKey *aes, uint8_t *bytes, int length)
{
    uint8_t iv[16];
    std::memcpy(iv, bytes, 16);
    int n = length - 16;
    std::memmove(bytes, bytes + 16, size_t(n));
    if (n == 0 || n % 16 != 0)
        return n;
    aes_cbc_decrypt(aes, iv, bytes, size_t(n));
    // Padding by a count of 1..16 equal bytes; a damaged count is left in place.
    const int pad = bytes[n - 1];
    if (pad >= 1 && pad <= 16 && pad <= n)
        n -= pad;
    return n;
}

}  // namespace

int crypt_decrypt_string(const PdfCrypt *crypt, int num, int gen, uint8_t *bytes, int length)
{
    if (!crypt || !bytes || length <= 0 || crypt->string_method == CRYPT_NONE)
        return length;
    uint8_t key[32];
    const int key_length = crypt_object_key(crypt, crypt->string_method, num, gen, key);
    if (crypt->string_method == CRYPT_RC4) {
        Rc4 rc;
        rc4_init(&rc, key, key_length);
        rc4_crypt(&rc, bytes, size_t(length));
        return length;
    }
    AesKey aes;
    if (length < 16 || aes_set_key(&aes, key, key_length) != 0)
        return length;
    return aes_decrypt_in_place(&aes, bytes, length);
}

namespace {

int rc4_reader_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    int n = reader_read(r->next, buffer, capacity);
    if (n <= 0)
        return r->next->failed ? -1 : 0;
    rc4_crypt(static_cast<Rc4 *>(r->ctx), buffer, size_t(n));
    return n;
}

struct AesStream {
    AesKey key;
    int key_ok;     // the object key gave a usable AES key
    int loaded;     // the source has been read and decrypted
    uint8_t *data;  // heap plaintext
    int length;
    int at;
};

int aes_reader_fill(ByteReader *r, uint8_t *buffer, int capacity)
{
    auto *s = static_cast<AesStream *>(r->ctx);
    if (!s->loaded) {
        s->loaded = 1;
        int length = 0;
        s->data = reader_read_all_heap(r->next, PDF_MAX_AES_STREAM, &length);
        if (!s->data)
            return -1;
        s->length = length < 16 || !s->key_ok ? 0 : aes_decrypt_in_place(&s->key, s->data, length);
    }
    const int left = s->length - s->at;
    const int n = left < capacity ? left : capacity;
    if (n <= 0)
        return 0;
    std::memcpy(buffer, s->data + s->at, size_t(n));
    s->at += n;
    return n;
}

void aes_reader_close(ByteReader *r)
{
    auto *s = static_cast<AesStream *>(r->ctx);
    if (s)
        std::free(s->data);
    std::free(s);
}

}  // namespace

ByteReader *crypt_stream_reader(const PdfCrypt *crypt, ByteReader *source, int num, int gen)
{
    if (!crypt || !source || crypt->method == CRYPT_NONE)
        return source;
    uint8_t key[32];
    const int key_length = crypt_object_key(crypt, crypt->method, num, gen, key);
    if (crypt->method == CRYPT_RC4) {
        auto *rc = static_cast<Rc4 *>(std::malloc(sizeof(Rc4)));
        if (!rc)
            return nullptr;
        rc4_init(rc, key, key_length);
        return reader_new_owning(rc4_reader_fill, rc, source);
    }
    auto *s = static_cast<AesStream *>(std::calloc(1, sizeof(AesStream)));
    if (!s)
        return nullptr;
    s->key_ok = aes_set_key(&s->key, key, key_length) == 0;
    ByteReader *r = reader_new(aes_reader_fill, s, source);
    if (!r) {
        std::free(s);
        return nullptr;
    }
    r->close = aes_reader_close;
    return r;
}
