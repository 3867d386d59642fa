// MD5, RC4 and AES against published test vectors: RFC 1321 appendix A.5,
// RFC 6229 and the classic RC4 examples, FIPS-197 appendix C and NIST SP
// 800-38A F.2 (CBC).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/aes.h"
#include "pdf/md5.h"
#include "pdf/rc4.h"
#include "test_support.h"

namespace {

using testsupport::hex_decode;
using testsupport::hex_encode;

std::vector<uint8_t> bytes_of(const std::string &s) { return {s.begin(), s.end()}; }

TEST(Md5, Rfc1321Suite)
{
    struct Row {
        const char *message;
        const char *digest;
    } rows[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        // 62 bytes: the length field no longer fits the first block.
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        // 80 bytes: more than one block.
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Row &row : rows) {
        const std::string msg = row.message;
        uint8_t digest[16];
        md5(reinterpret_cast<const uint8_t *>(msg.data()), msg.size(), digest);
        EXPECT_EQ(hex_encode(digest, 16), row.digest) << '"' << msg << '"';
        // Fed in uneven pieces the digest must not change.
        for (size_t piece : {1, 3, 63, 64, 65}) {
            Md5 md;
            md5_init(&md);
            for (size_t at = 0; at < msg.size(); at += piece)
                md5_update(&md, reinterpret_cast<const uint8_t *>(msg.data()) + at,
                           std::min(piece, msg.size() - at));
            md5_final(&md, digest);
            EXPECT_EQ(hex_encode(digest, 16), row.digest) << '"' << msg << "\" piece " << piece;
        }
    }
}

TEST(Rc4, PublishedKeyStreams)
{
    // RFC 6229, 40-bit key 0x0102030405: key stream at the given offsets.
    Rc4 rc;
    const std::vector<uint8_t> key = hex_decode("0102030405");
    rc4_init(&rc, key.data(), int(key.size()));
    std::vector<uint8_t> stream(4112, 0);
    rc4_crypt(&rc, stream.data(), 100);  // two calls: the state must carry over
    rc4_crypt(&rc, stream.data() + 100, stream.size() - 100);
    struct {
        size_t offset;
        const char *bytes;
    } rfc6229[] = {
        {0, "b2396305f03dc027ccc3524a0a1118a8"},
        {16, "6982944f18fc82d589c403a47a0d0919"},
        {240, "28cb1132c96ce286421dcaadb8b69eae"},
        {256, "1cfcf62b03eddb641d77dfcf7f8d8c93"},
        {4096, "ff25b58995996707e51fbdf08b34d875"},
    };
    for (const auto &row : rfc6229)
        EXPECT_EQ(hex_encode(stream.data() + row.offset, 16), row.bytes) << "offset " << row.offset;

    // The classic examples: key, plaintext, ciphertext.
    struct {
        const char *key, *plain, *cipher;
    } classic[] = {
        {"Key", "Plaintext", "bbf316e8d940af0ad3"},
        {"Wiki", "pedia", "1021bf0420"},
        {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
    };
    for (const auto &row : classic) {
        std::vector<uint8_t> k = bytes_of(row.key), data = bytes_of(row.plain);
        rc4_init(&rc, k.data(), int(k.size()));
        rc4_crypt(&rc, data.data(), data.size());
        EXPECT_EQ(hex_encode(data.data(), data.size()), row.cipher) << row.key;
    }
}

TEST(Aes, Fips197Blocks)
{
    // FIPS-197 appendix C: plaintext 00112233..ff under keys 000102.. of each size.
    const std::vector<uint8_t> plain = hex_decode("00112233445566778899aabbccddeeff");
    struct {
        const char *key, *cipher;
    } rows[] = {
        {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const auto &row : rows) {
        const std::vector<uint8_t> key = hex_decode(row.key);
        AesKey aes;
        ASSERT_EQ(aes_set_key(&aes, key.data(), int(key.size())), 0);
        uint8_t out[16], back[16];
        aes_encrypt_block(&aes, plain.data(), out);
        EXPECT_EQ(hex_encode(out, 16), row.cipher) << row.key;
        aes_decrypt_block(&aes, out, back);
        EXPECT_EQ(hex_encode(back, 16), hex_encode(plain.data(), 16)) << row.key;
    }
    AesKey aes;
    const uint8_t key[33] = {};
    for (int bad : {0, 5, 15, 17, 33})
        EXPECT_EQ(aes_set_key(&aes, key, bad), -7) << bad;
}

TEST(Aes, Sp800_38aCbc)
{
    // F.2.1/F.2.2 (AES-128) and F.2.5/F.2.6 (AES-256), four blocks each.
    const std::string plain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                              "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
    const std::string iv = "000102030405060708090a0b0c0d0e0f";
    struct {
        const char *key, *cipher;
    } rows[] = {
        {"2b7e151628aed2a6abf7158809cf4f3c",
         "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
         "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
        {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
         "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
         "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
    };
    for (const auto &row : rows) {
        const std::vector<uint8_t> key = hex_decode(row.key);
        AesKey aes;
        ASSERT_EQ(aes_set_key(&aes, key.data(), int(key.size())), 0);
        std::vector<uint8_t> data = hex_decode(row.cipher), chain = hex_decode(iv);
        // Two calls with the IV carried over must equal one call.
        aes_cbc_decrypt(&aes, chain.data(), data.data(), 32);
        aes_cbc_decrypt(&aes, chain.data(), data.data() + 32, 32);
        EXPECT_EQ(hex_encode(data.data(), data.size()), plain) << row.key;
        chain = hex_decode(iv);
        aes_cbc_encrypt(&aes, chain.data(), data.data(), data.size());
        EXPECT_EQ(hex_encode(data.data(), data.size()), row.cipher) << row.key;
    }
}

}  // namespace
