// MD5, RC4, AES and SHA-2 against published test vectors: RFC 1321 appendix
// A.5, RFC 6229 and the classic RC4 examples, FIPS-197 appendix C, NIST SP
// 800-38A F.2 (CBC) and the FIPS 180-2 examples of SHA-256/384/512.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/aes.h"
#include "pdf/md5.h"
#include "pdf/rc4.h"
#include "pdf/sha2.h"
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

TEST(Sha2, Fips180Examples)
{
    const std::string two_blocks_256 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string two_blocks_512 = "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmn"
                                       "hijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";
    struct Row {
        std::string message;
        const char *sha256, *sha384, *sha512;
    } rows[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
         "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
         "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b",
         "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
         "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
        // 56 bytes: SHA-256's length field no longer fits the first block.
        {two_blocks_256, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
         "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc4e6f5fe95b1fe3c8452b",
         "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c335"
         "96fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445"},
        // 112 bytes: the same for the 128-byte blocks of SHA-384/512.
        {two_blocks_512, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
         "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039",
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
         "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
         "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985",
         "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
         "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
    };
    for (const Row &row : rows) {
        const auto *data = reinterpret_cast<const uint8_t *>(row.message.data());
        const size_t n = row.message.size();
        const std::string what = row.message.substr(0, 16) + " (" + std::to_string(n) + " bytes)";
        uint8_t digest[64];
        sha256(data, n, digest);
        EXPECT_EQ(hex_encode(digest, 32), row.sha256) << what;
        sha384(data, n, digest);
        EXPECT_EQ(hex_encode(digest, 48), row.sha384) << what;
        sha512(data, n, digest);
        EXPECT_EQ(hex_encode(digest, 64), row.sha512) << what;
        // Fed in uneven pieces around both block sizes the digests must not change.
        for (size_t piece : {1, 63, 64, 65, 127, 129}) {
            if (n > 1000 && piece < 63)
                continue;
            Sha256 s256;
            Sha512 s512;
            sha256_init(&s256);
            sha512_init(&s512);
            for (size_t at = 0; at < n; at += piece) {
                sha256_update(&s256, data + at, std::min(piece, n - at));
                sha512_update(&s512, data + at, std::min(piece, n - at));
            }
            sha256_final(&s256, digest);
            EXPECT_EQ(hex_encode(digest, 32), row.sha256) << what << " piece " << piece;
            sha512_final(&s512, digest);
            EXPECT_EQ(hex_encode(digest, 64), row.sha512) << what << " piece " << piece;
        }
    }
}

}  // namespace
