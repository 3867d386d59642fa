// The standard security handler over plain bytes: file keys and password
// checks against values taken from files that qpdf encrypted, object keys,
// and the AES padding and length fallbacks of string and stream decryption.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pdf/aes.h"
#include "pdf/crypt.h"
#include "pdf/rc4.h"
#include "pdf/reader.h"
#include "test_support.h"

namespace {

using testsupport::hex_decode;
using testsupport::hex_encode;

std::span<const uint8_t> text_span(const char *s)
{
    return {reinterpret_cast<const uint8_t *>(s), std::strlen(s)};
}

// Encrypt dictionaries written by qpdf 11 (--encrypt USER OWNER ...) for a
// file whose first ID is 00112233445566778899aabbccddeeff, P = -4, and the
// file keys qpdf reports for them (--show-encryption-key).
struct QpdfFile {
    const char *what;
    int revision, key_length;
    bool encrypt_metadata;
    const char *o, *u, *key;
};
constexpr const char *kRc4Owner = "0ba3835f88f90388e74e54584125ce142be0de24c6b0d37746e075b891756671";
const QpdfFile kFiles[] = {
    {"R2 40-bit, user/owner", 2, 5, true,
     "94e8094419662a774442fb072e3d9f19e9d130ec09a4d0061e78fe920f7ab62f",
     "b1f625689bca1356d125453c43cfa750c0296b5c271c03f1cc359fa658a4fa21", "77867d7fae"},
    {"R3 128-bit, user/owner", 3, 16, true, kRc4Owner,
     "d798239dd347dc3afe3dd10515bb58430122456a91bae5134273a6db134c87c4",
     "2e76247e4b9d5c6aa46d224a2e740d27"},
    {"R4 AES, metadata in clear, user/owner", 4, 16, false, kRc4Owner,
     "4ce462854e8df78de5f814850ddb996d0122456a91bae5134273a6db134c87c4",
     "d2e7baee41ee7ca3218c13d7d57b328c"},
    {"R3 128-bit, empty user, owner 'secret'", 3, 16, true,
     "5588040988e54a8ae991ac9d80aac232a494d494b4bcc37a4dcc6d07206c9192",
     "55bb5967a863cd9b57e06e2cd07188570122456a91bae5134273a6db134c87c4",
     "ca654f5bd73f1e14df1256cda46c8075"},
};

TEST(CryptHandler, QpdfKnownAnswers)
{
    const std::vector<uint8_t> id = hex_decode("00112233445566778899aabbccddeeff");
    for (const QpdfFile &f : kFiles) {
        const std::vector<uint8_t> o = hex_decode(f.o), u = hex_decode(f.u);
        CryptParams p{f.revision, f.key_length, uint32_t(-4), f.encrypt_metadata, o, u, id};
        const bool empty_user = std::strstr(f.what, "empty user") != nullptr;
        struct {
            const char *password;
            int status;
        } tries[] = {
            {empty_user ? "" : "user", 0},
            {empty_user ? "secret" : "owner", 0},  // the owner password opens too
            {"wrong", -6},
            {empty_user ? "secretX" : "", -6},
            {empty_user ? "Secret" : "user ", -6},
        };
        for (const auto &t : tries) {
            uint8_t key[16] = {};
            EXPECT_EQ(crypt_authenticate(p, text_span(t.password), key), t.status)
                << f.what << " password '" << t.password << "'";
            if (t.status == 0) {
                EXPECT_EQ(hex_encode(key, size_t(f.key_length)), f.key) << f.what;
            }
        }
    }
}

TEST(CryptHandler, UnusableParametersAreUnsupported)
{
    const std::vector<uint8_t> id = hex_decode("00112233445566778899aabbccddeeff");
    const std::vector<uint8_t> o = hex_decode(kFiles[1].o), u = hex_decode(kFiles[1].u);
    const std::span<const uint8_t> o31(o.data(), 31), u0, u15(u.data(), 15), u16(u.data(), 16);
    const std::vector<uint8_t> r2o = hex_decode(kFiles[0].o), r2u = hex_decode(kFiles[0].u);
    const std::span<const uint8_t> r2u31(r2u.data(), 31);
    struct {
        const char *what;
        CryptParams p;
    } rows[] = {
        {"O of 31 bytes", {3, 16, uint32_t(-4), true, o31, u, id}},
        {"U empty", {3, 16, uint32_t(-4), true, o, u0, id}},
        {"U of 15 bytes with R 3", {3, 16, uint32_t(-4), true, o, u15, id}},
        {"U of 31 bytes with R 2", {2, 5, uint32_t(-4), true, r2o, r2u31, id}},
        {"R 5", {5, 16, uint32_t(-4), true, o, u, id}},
        {"R 1", {1, 5, uint32_t(-4), true, o, u, id}},
        {"key of 4 bytes", {3, 4, uint32_t(-4), true, o, u, id}},
        {"key of 17 bytes", {3, 17, uint32_t(-4), true, o, u, id}},
    };
    for (const auto &row : rows) {
        uint8_t key[16];
        EXPECT_EQ(crypt_authenticate(row.p, text_span("user"), key), -7) << row.what;
    }
    // Longer O and U are fine: only their first 32 bytes count; R 3 needs 16 of U.
    std::vector<uint8_t> o48 = o, u48 = u;
    o48.resize(48, 0xAA);
    u48.resize(48, 0xAA);
    uint8_t key[16];
    EXPECT_EQ(crypt_authenticate({3, 16, uint32_t(-4), true, o48, u48, id}, text_span("user"), key),
              0);
    EXPECT_EQ(crypt_authenticate({3, 16, uint32_t(-4), true, o, u16, id}, text_span("owner"), key), 0);
}

PdfCrypt make_crypt(int method, const char *key_hex)
{
    PdfCrypt c{};
    const std::vector<uint8_t> key = hex_decode(key_hex);
    c.revision = 4;
    c.key_length = int(key.size());
    c.method = c.string_method = method;
    std::memcpy(c.key, key.data(), key.size());
    return c;
}

TEST(CryptHandler, ObjectKeys)
{
    // Expected values: MD5 computed independently (Python hashlib).
    struct {
        int method;
        const char *file_key;
        int num, gen;
        const char *object_key;
    } rows[] = {
        {CRYPT_RC4, "77867d7fae", 4, 0, "f242c415113f18b795db"},  // 5 + 5 bytes
        {CRYPT_RC4, "2e76247e4b9d5c6aa46d224a2e740d27", 0x123456, 7,
         "475e586d17a1895075916898266a9033"},  // capped at 16
        {CRYPT_AES128, "2e76247e4b9d5c6aa46d224a2e740d27", 0x123456, 7,
         "7303a2990c1f5f2dce372b8c793939a0"},  // with the salt "sAlT"
    };
    for (const auto &row : rows) {
        PdfCrypt c = make_crypt(row.method, row.file_key);
        uint8_t key[16];
        const int n = crypt_object_key(&c, row.method, row.num, row.gen, key);
        EXPECT_EQ(hex_encode(key, size_t(n)), row.object_key) << row.num;
    }
}

// IV + CBC ciphertext of `plain` (whose length must be a multiple of 16).
std::vector<uint8_t> aes_encrypt_for(const PdfCrypt &c, int num, int gen,
                                     const std::vector<uint8_t> &plain)
{
    uint8_t key[16];
    crypt_object_key(&c, CRYPT_AES128, num, gen, key);
    AesKey aes;
    aes_set_key(&aes, key, 16);
    std::vector<uint8_t> out = hex_decode("f0e1d2c3b4a5968778695a4b3c2d1e0f");
    std::vector<uint8_t> iv = out;
    out.insert(out.end(), plain.begin(), plain.end());
    aes_cbc_encrypt(&aes, iv.data(), out.data() + 16, plain.size());
    return out;
}

std::vector<uint8_t> with_tail(std::string text, int count, uint8_t value)
{
    std::vector<uint8_t> v(text.begin(), text.end());
    v.insert(v.end(), size_t(count), value);
    return v;
}

TEST(CryptHandler, AesStringPaddingAndFallbacks)
{
    const PdfCrypt c = make_crypt(CRYPT_AES128, "2e76247e4b9d5c6aa46d224a2e740d27");
    struct {
        const char *what;
        std::vector<uint8_t> plain;  // encrypted before decrypting
        std::string expected;
    } rows[] = {
        {"11 bytes of padding", with_tail("hello", 11, 11), "hello"},
        {"a whole block of padding", with_tail("0123456789abcdef", 16, 16), "0123456789abcdef"},
        {"last byte 0 keeps all", with_tail("abc", 13, 0), std::string("abc") + std::string(13, '\0')},
        {"last byte 17 keeps all", with_tail("abc", 13, 17), std::string("abc") + std::string(13, '\x11')},
        {"count 16 with 16 bytes", with_tail("", 16, 16), ""},
    };
    for (const auto &row : rows) {
        std::vector<uint8_t> s = aes_encrypt_for(c, 12, 0, row.plain);
        const int n = crypt_decrypt_string(&c, 12, 0, s.data(), int(s.size()));
        EXPECT_EQ(std::string(s.begin(), s.begin() + n), row.expected) << row.what;
    }
    // Lengths that are not IV + whole blocks: no decryption.
    struct {
        const char *what;
        int length, expected_length, kept_from;
    } odd[] = {
        {"15 bytes stay as they are", 15, 15, 0},
        {"IV only gives an empty string", 16, 0, 16},
        {"IV + 24 bytes: the 24 bytes as they are", 40, 24, 16},
        {"zero length", 0, 0, 0},
    };
    for (const auto &row : odd) {
        std::vector<uint8_t> s(size_t(row.length));
        for (int i = 0; i < row.length; i++)
            s[size_t(i)] = uint8_t(i * 7 + 1);
        const std::vector<uint8_t> original = s;
        const int n = crypt_decrypt_string(&c, 12, 0, s.data(), row.length);
        ASSERT_EQ(n, row.expected_length) << row.what;
        EXPECT_TRUE(std::equal(s.begin(), s.begin() + n, original.begin() + row.kept_from))
            << row.what;
    }
}

TEST(CryptHandler, Rc4StringsAndIdentity)
{
    PdfCrypt c = make_crypt(CRYPT_RC4, "77867d7fae");
    std::vector<uint8_t> s = {'s', 'e', 'c', 'r', 'e', 't'};
    uint8_t key[16];
    const int key_length = crypt_object_key(&c, CRYPT_RC4, 3, 1, key);
    Rc4 rc;
    rc4_init(&rc, key, key_length);
    rc4_crypt(&rc, s.data(), s.size());
    EXPECT_EQ(crypt_decrypt_string(&c, 3, 1, s.data(), int(s.size())), 6);
    EXPECT_EQ(std::string(s.begin(), s.end()), "secret");

    // Identity strings, or no handler at all: nothing changes.
    c.string_method = CRYPT_NONE;
    EXPECT_EQ(crypt_decrypt_string(&c, 3, 1, s.data(), 6), 6);
    EXPECT_EQ(crypt_decrypt_string(nullptr, 3, 1, s.data(), 6), 6);
    EXPECT_EQ(std::string(s.begin(), s.end()), "secret");
}

std::string read_everything(ByteReader *r)
{
    std::string out;
    for (int ch; (ch = reader_getc(r)) >= 0;)
        out += char(ch);
    return out;
}

TEST(CryptHandler, StreamReaders)
{
    // RC4: a stream longer than several reader buffers decrypts like one string.
    PdfCrypt rc4 = make_crypt(CRYPT_RC4, "2e76247e4b9d5c6aa46d224a2e740d27");
    std::string plain(20000, '\0');
    for (size_t i = 0; i < plain.size(); i++)
        plain[i] = char('a' + i % 23);
    std::vector<uint8_t> data(plain.begin(), plain.end());
    uint8_t key[16];
    Rc4 rc;
    rc4_init(&rc, key, crypt_object_key(&rc4, CRYPT_RC4, 9, 0, key));
    rc4_crypt(&rc, data.data(), data.size());
    ByteReader *r = crypt_stream_reader(&rc4, reader_open_memory(data.data(), int64_t(data.size())), 9, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(read_everything(r), plain);
    reader_close_chain(r);

    // AES: plaintext + 16 bytes of padding, larger than the first heap buffer.
    const PdfCrypt aes = make_crypt(CRYPT_AES128, "d2e7baee41ee7ca3218c13d7d57b328c");
    const std::vector<uint8_t> cipher = aes_encrypt_for(aes, 9, 0, with_tail(plain, 16, 16));
    struct {
        const char *what;
        size_t length;  // bytes of `cipher` given to the reader
        std::string expected;
    } rows[] = {
        {"whole stream", cipher.size(), plain},
        {"15 bytes: empty", 15, ""},
        {"IV only: empty", 16, ""},
        {"cut inside a block: the bytes after the IV as they are", 16 + 40,
         std::string(cipher.begin() + 16, cipher.begin() + 56)},
        // The block ends in 'p', no valid padding count, so nothing is removed.
        {"cut after a block: that block", 32, plain.substr(0, 16)},
    };
    for (const auto &row : rows) {
        ByteReader *s = crypt_stream_reader(&aes, reader_open_memory(cipher.data(), int64_t(row.length)), 9, 0);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(read_everything(s), row.expected) << row.what;
        reader_close_chain(s);
    }

    // Identity streams come back as they are.
    PdfCrypt none = make_crypt(CRYPT_NONE, "d2e7baee41ee7ca3218c13d7d57b328c");
    ByteReader *source = reader_open_memory(cipher.data(), 4);
    EXPECT_EQ(crypt_stream_reader(&none, source, 9, 0), source);
    reader_close(source);
}

}  // namespace
