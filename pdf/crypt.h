// The PDF standard security handler (PDF Reference 1.6, section 3.5, revisions
// 2..4, and the 256-bit AES revisions 5 and 6 of ISO 32000-2, 7.6.4.3) over
// plain bytes: password padding and hashing, file keys, password checks,
// object keys, and decryption of strings and streams with RC4 and AES CBC.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

struct ByteReader;

// Ciphers of the security handler; CRYPT_NONE is the Identity crypt filter.
enum CryptMethod { CRYPT_RC4 = 0, CRYPT_AES128 = 1, CRYPT_NONE = 2, CRYPT_AES256 = 3 };

// The state of an authenticated document (lives in the document's arena).
struct PdfCrypt {
    int revision;       // R of the Encrypt dictionary, 2..6
    int key_length;     // file key length in bytes, 5..16, or 32 from R 5 on
    int method;         // CryptMethod used for streams
    uint8_t key[32];    // the file key; the first key_length bytes are used
    int encrypt_num;    // object number of an indirect Encrypt dictionary, else 0
    int string_method;  // CryptMethod used for strings
    int encrypt_metadata;  // 0: Metadata streams are stored in clear (R >= 4)
    int perms_valid;       // R >= 5: Perms decrypted to its marker and agrees with P
};

// The Encrypt dictionary's values that enter the key and password algorithms.
struct CryptParams {
    int revision;                     // 2..4
    int key_length;                   // bytes, 5..16
    uint32_t permissions;             // P, as its 32 bits
    bool encrypt_metadata;            // EncryptMetadata (only R >= 4 uses it)
    std::span<const uint8_t> owner;   // O, at least 32 bytes (the first 32 are used)
    std::span<const uint8_t> user;    // U: R 2 compares 32 bytes, R 3/4 the first 16
    std::span<const uint8_t> doc_id;  // first element of the trailer's ID, may be empty
};

// Bytes of U the password check compares: 32 for R 2, 16 from R 3 on. Some
// writers store only those 16, so a shorter U is not refused for R 3/4.
size_t crypt_user_bytes_needed(int revision);

// The 32-byte padding string of the standard security handler.
extern const uint8_t crypt_padding[32];

// The password's first 32 bytes completed with the padding string.
void crypt_pad_password(std::span<const uint8_t> password, uint8_t padded[32]);
// Algorithm 3.2: the file key (key_length bytes) for a padded user password.
void crypt_file_key(const CryptParams &params, const uint8_t padded[32], uint8_t key[16]);
// Algorithms 3.4/3.5: whether `key` reproduces U.
bool crypt_key_matches_user(const CryptParams &params, const uint8_t key[16]);
// Algorithm 3.7, first half: recovers the padded user password from O with an
// owner password.
void crypt_owner_to_user(const CryptParams &params, std::span<const uint8_t> owner_password,
                         uint8_t padded_user[32]);
// Checks `password` as user password, then as owner password. 0 and the file
// key in `key`, or -6 when neither matches. Parameters out of range give -7.
int crypt_authenticate(const CryptParams &params, std::span<const uint8_t> password,
                       uint8_t key[16]);

// The Encrypt dictionary's values of revisions 5 and 6 (256-bit AES).
struct Crypt256Params {
    int revision;                         // 5 or 6
    std::span<const uint8_t> owner;       // O: 32-byte hash, validation salt, key salt
    std::span<const uint8_t> user;        // U: likewise; the first 48 bytes are used
    std::span<const uint8_t> owner_key;   // OE: the file key encrypted for the owner
    std::span<const uint8_t> user_key;    // UE: the file key encrypted for the user
    std::span<const uint8_t> perms;       // Perms: 16 bytes, or empty
    uint32_t permissions;                 // P, as its 32 bits
    bool encrypt_metadata;                // EncryptMetadata
};

// The password hash of revision 5 (SHA-256 over password, 8-byte salt and
// `user`) or revision 6 (the iterated SHA-256/384/512 and AES-128 hash started
// from it). `password` is prepared UTF-8 of at most 127 bytes; `user` is
// empty for the user password and U's first 48 bytes for the owner password.
void crypt_hash_256(int revision, std::span<const uint8_t> password, const uint8_t salt[8],
                    std::span<const uint8_t> user, uint8_t out[32]);
// Checks a prepared password as user password, then as owner password. 0 and
// the 32-byte file key, -6 when neither matches, -7 when O, U, OE or UE are
// too short or the revision is not 5 or 6.
int crypt_authenticate_256(const Crypt256Params &params, std::span<const uint8_t> password, uint8_t key[32]);
// Whether Perms, decrypted with the file key, carries its "adb" marker and
// repeats P and EncryptMetadata. A mismatch means the dictionary was altered.
bool crypt_perms_valid(const Crypt256Params &params, const uint8_t key[32]);

// Algorithm 3.1: the key of object (num, gen) for the given method; returns its
// length (key_length + 5, at most 16). AES-256 uses the file key itself: 32
// bytes, so `out` has room for 32.
int crypt_object_key(const PdfCrypt *crypt, int method, int num, int gen, uint8_t out[32]);

// Decrypts a string of object (num, gen) in place and returns its new length.
// RC4 keeps the length. AES: under 16 bytes nothing changes; the first 16
// bytes are the IV; the rest is decrypted when it is a positive multiple of 16
// (else left as it is) and a valid-looking padding byte count is removed.
int crypt_decrypt_string(const PdfCrypt *crypt, int num, int gen, uint8_t *bytes, int length);

// A reader that decrypts `source` as the data of stream (num, gen). RC4
// decrypts block by block; AES reads the whole source first, decrypts it as a
// string and serves the result (too short or unusable key: empty stream; a
// length that is no multiple of 16: the bytes after the IV as they are).
// Identity returns `source` itself. Null when memory is short; the caller
// still owns `source` then. The new reader owns its source (reader_close_chain).
ByteReader *crypt_stream_reader(const PdfCrypt *crypt, ByteReader *source, int num, int gen);
