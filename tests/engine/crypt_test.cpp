// The standard security handler over plain bytes: file keys and password
// checks against values taken from files that qpdf encrypted, object keys,
// and the AES padding and length fallbacks of string and stream decryption.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pdf/aes.h"
#include "pdf/crypt.h"
#include "pdf/password.h"
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
        {"R 5 (the 256-bit revisions have their own check)", {5, 16, uint32_t(-4), true, o, u, id}},
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

// Revision 5 and 6 dictionaries written by qpdf 11 (--encrypt USER OWNER 256
// [--force-R5]) and the file keys it reports for them.
struct Qpdf256File {
    const char *what;
    int revision;
    int32_t p;
    bool encrypt_metadata;
    const char *user_password, *owner_password;
    const char *o, *u, *oe, *ue, *perms, *key;
};
const Qpdf256File k256Files[] = {
    {"R6 user/owner", 6, -4, true, "user", "owner",
     "b122459f6d9cf050a33d5fe0b8292e6056d799fbd445112767acedf49d3d1efa9d191f2c9bff3e056b3c0f22ba23347b",
     "264602f4b58f83a5476e68b97e7ff808f2acff44adda29022a5d6071b80d4d28c0864166830aff1505e1aaec034610e6",
     "078d43ad0c709a95ee02ef7b28368ae3fc3c301d930c199bdc9482eaeccfeb6b",
     "7006e7d3788a90f36cf971e43d4aa1e53b352dc5580bf86481bdf236e373e23b", "5c6781845b98a7d497a57c1cf216f7a3",
     "bf9646d4a368de3e0f68a2ccce734b6555bb50c01558a54a51dc1103870949f6"},
    {"R5 user/owner", 5, -4, true, "user", "owner",
     "a2ce30a89bdf5f7c3bff4dbaf8db17515f9617fb337344b92463a176869dce6549ed86b050704ef65185bc5fd40bf212",
     "954418f6801b4957dbf142859057f292e4d9b39214b7f41cb474ef8874b3e815af22334fc283b705a70879ea1ac35e14",
     "9b24383e33b732cbd88fb7f5434bbd4201aff969a153d48f01cdfff324fdec77",
     "50e85f8315ae5af0179dda03c60993478d3d21233ced9c88a057831aed9a058f", "b6bb32bfb1d8e68297f141be182b1e4a",
     "3f46d023dacab3c526e9c7a1cca15063bebf71af931fce90c5aa4a1ada6a4f81"},
    {"R6 UTF-8 passwords", 6, -4, true, "Gr\xC3\xBC\xC3\x9F" "e", "\xCE\xA9mega",
     "e6a05e4b21664c4bf5a13e0b9c43c97705e1b5f0ffba47a7beb855a43f560bf5e3f9fcd86bea7d027fc458248cfd73f8",
     "728063c1d6b822131173c1be63fd7689a89655e1938716d17ed57cafdc7fd54172e6f74d5355594c6c3345575cbbb76e",
     "6b0d09f5f6395087498bc5298ce5f3d621b98b67ebbda62337215ede19088d46",
     "4eaecfd318fa86e5b548a2ac203a3e44973c2cf3cad1a24e7fd04886c1937faf", "0910dc8b7fd524c126189363b29751de",
     "fa2f3cd481b4b071e535884b6dde8ce4e8cc1a46eb232a42cdb06254725de407"},
    {"R6 empty user, metadata in clear", 6, -2056, false, "", "owner",
     "955cb3dead145e5659e76e918e9993816f93122a2afee0d8f21fe1aaa67699c223655a42764e504f221a33fff7beafb2",
     "140bd5973a7b1a91e3e79fe31860bed7df534114ea56e246f87b8d7acc002693d8e4852b2e62387d343b2a90d7365af0",
     "88063735a7c8dc273535672055c9b1f2ee2724eee46d31ab8134f0a047518ba5",
     "f04111033d2aa01c970c76654fe0582eb101fd184cb856b1d75de4d91449abea", "00a2c6776826d78da280d65c3321ba8a",
     "dfe0e300ae1945e0f1eb90f06229918a594ee987ea38567c6e5e041960c1e6bb"},
};

TEST(CryptHandler, Aes256QpdfKnownAnswers)
{
    for (const Qpdf256File &f : k256Files) {
        const std::vector<uint8_t> o = hex_decode(f.o), u = hex_decode(f.u), oe = hex_decode(f.oe),
                                   ue = hex_decode(f.ue), perms = hex_decode(f.perms);
        const Crypt256Params p{f.revision, o, u, oe, ue, perms, uint32_t(f.p), f.encrypt_metadata};
        struct {
            const char *password;
            int status;
        } tries[] = {
            {f.user_password, 0},
            {f.owner_password, 0},
            {"wrong", -6},
            {*f.user_password ? "" : "user", -6},
            {"Owner", -6},  // case matters
        };
        for (const auto &t : tries) {
            uint8_t key[32] = {};
            EXPECT_EQ(crypt_authenticate_256(p, text_span(t.password), key), t.status)
                << f.what << " password '" << t.password << "'";
            if (t.status == 0) {
                EXPECT_EQ(hex_encode(key, 32), f.key) << f.what << " password '" << t.password << "'";
                EXPECT_TRUE(crypt_perms_valid(p, key)) << f.what;
            }
        }
        // Perms must repeat P and EncryptMetadata, and needs the right key.
        const std::vector<uint8_t> key = hex_decode(f.key);
        Crypt256Params other_p = p, other_metadata = p, no_perms = p;
        other_p.permissions ^= 4;
        other_metadata.encrypt_metadata = !p.encrypt_metadata;
        no_perms.perms = {};
        EXPECT_FALSE(crypt_perms_valid(other_p, key.data())) << f.what;
        EXPECT_FALSE(crypt_perms_valid(other_metadata, key.data())) << f.what;
        EXPECT_FALSE(crypt_perms_valid(no_perms, key.data())) << f.what;
        std::vector<uint8_t> wrong_key = key;
        wrong_key[31] ^= 1;
        EXPECT_FALSE(crypt_perms_valid(p, wrong_key.data())) << f.what;
    }
    // Too short O, U, OE or UE, or another revision: unsupported, not "wrong password".
    const Qpdf256File &f = k256Files[0];
    const std::vector<uint8_t> o = hex_decode(f.o), u = hex_decode(f.u), oe = hex_decode(f.oe),
                               ue = hex_decode(f.ue);
    const std::span<const uint8_t> o47(o.data(), 47), u47(u.data(), 47), oe31(oe.data(), 31), ue31(ue.data(), 31);
    struct {
        const char *what;
        Crypt256Params p;
    } rows[] = {
        {"O of 47 bytes", {6, o47, u, oe, ue, {}, uint32_t(-4), true}},
        {"U of 47 bytes", {6, o, u47, oe, ue, {}, uint32_t(-4), true}},
        {"OE of 31 bytes", {6, o, u, oe31, ue, {}, uint32_t(-4), true}},
        {"UE of 31 bytes", {6, o, u, oe, ue31, {}, uint32_t(-4), true}},
        {"R 4", {4, o, u, oe, ue, {}, uint32_t(-4), true}},
        {"R 7", {7, o, u, oe, ue, {}, uint32_t(-4), true}},
    };
    for (const auto &row : rows) {
        uint8_t key[32];
        EXPECT_EQ(crypt_authenticate_256(row.p, text_span("user"), key), -7) << row.what;
    }
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
        {CRYPT_AES256, "bf9646d4a368de3e0f68a2ccce734b6555bb50c01558a54a51dc1103870949f6", 0x123456, 7,
         "bf9646d4a368de3e0f68a2ccce734b6555bb50c01558a54a51dc1103870949f6"},  // the file key itself
    };
    for (const auto &row : rows) {
        PdfCrypt c = make_crypt(row.method, row.file_key);
        uint8_t key[32];
        const int n = crypt_object_key(&c, row.method, row.num, row.gen, key);
        EXPECT_EQ(hex_encode(key, size_t(n)), row.object_key) << row.num;
    }
}

// IV + CBC ciphertext of `plain` (whose length must be a multiple of 16).
std::vector<uint8_t> aes_encrypt_for(const PdfCrypt &c, int num, int gen,
                                     const std::vector<uint8_t> &plain)
{
    uint8_t key[32];
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
    uint8_t key[32];
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
    uint8_t key[32];
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

namespace {

TEST(CryptPassword, PreparedLikeSaslprep)
{
    struct {
        const char *what;
        std::string in, out;  // bytes as typed, prepared UTF-8
    } rows[] = {
        {"ASCII unchanged", "user", "user"},
        {"composed UTF-8 unchanged", "Gr\xC3\xBC\xC3\x9F" "e", "Gr\xC3\xBC\xC3\x9F" "e"},
        {"u + combining diaeresis composed", "Gru\xCC\x88\xC3\x9F" "e", "Gr\xC3\xBC\xC3\x9F" "e"},
        {"e + combining acute composed", "e\xCC\x81t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
        {"mark after a letter without composition stays", "q\xCC\x81", "q\xCC\x81"},
        {"Windows-1252 bytes taken as such", "Gr\xFC\xDF" "e", "Gr\xC3\xBC\xC3\x9F" "e"},
        {"Windows-1252 euro sign", "\x80" "5", "\xE2\x82\xAC" "5"},
        {"broken UTF-8 is Windows-1252", "a\xC3", "a\xC3\x83"},
        {"no-break space becomes a space", "a\xC2\xA0" "b", "a b"},
        {"ideographic space becomes a space", "a\xE3\x80\x80" "b", "a b"},
        {"soft hyphen removed", "Pass\xC2\xAD" "wort", "Passwort"},
        {"zero-width joiner removed", "a\xE2\x80\x8D" "b", "ab"},
        {"full-width letters", "\xEF\xBC\xB0\xEF\xBD\x97", "Pw"},
        {"ligature fi", "\xEF\xAC\x81" "x", "fix"},
        {"superscript two", "m\xC2\xB2", "m2"},
        {"Angstrom sign", "\xE2\x84\xAB", "\xC3\x85"},
        {"Greek left alone", "\xCE\xA9mega", "\xCE\xA9mega"},
        {"cut at 127 bytes", std::string(130, 'x'), std::string(127, 'x')},
        {"empty", "", ""},
    };
    for (const auto &row : rows) {
        uint8_t out[CRYPT_PASSWORD_MAX];
        const int n = crypt_prepare_password(
            {reinterpret_cast<const uint8_t *>(row.in.data()), row.in.size()}, out);
        EXPECT_EQ(hex_encode(out, size_t(n)), hex_encode(reinterpret_cast<const uint8_t *>(row.out.data()),
                                                       row.out.size()))
            << row.what;
    }
}

}  // namespace
