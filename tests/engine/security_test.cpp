// Opening encrypted documents written by the tests themselves: the password
// checks and error codes of the set-up, and the fallbacks for damaged AES
// strings and streams. The Encrypt values are ones qpdf wrote (see
// crypt_test.cpp), so the file keys are known and the tests can encrypt.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pdf/aes.h"
#include "pdf/arena.h"
#include "pdf/crypt.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/reader.h"
#include "pdf/stream.h"
#include "pdf_builder.h"
#include "test_support.h"

namespace {

using testsupport::pdf_hex_string;

std::string unhex(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        out += char(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

const std::string kId = "<00112233445566778899AABBCCDDEEFF>";
const std::string kOwnerR3 = "0ba3835f88f90388e74e54584125ce142be0de24c6b0d37746e075b891756671";
// R4 AESV2 with EncryptMetadata false, user "user", owner "owner".
const std::string kAesU = "4ce462854e8df78de5f814850ddb996d0122456a91bae5134273a6db134c87c4";
const std::string kAesKey = "d2e7baee41ee7ca3218c13d7d57b328c";
const std::string kAesCf = "/CF << /StdCF << /CFM /AESV2 /Length 16 >> >>";
// R2, 40 bits, user "user", owner "owner".
const std::string kR2O = "94e8094419662a774442fb072e3d9f19e9d130ec09a4d0061e78fe920f7ab62f";
const std::string kR2U = "b1f625689bca1356d125453c43cfa750c0296b5c271c03f1cc359fa658a4fa21";
const std::string kR2Key = "77867d7fae";

std::string aes_encrypt_dict(const std::string &extra)
{
    return "<< /Filter /Standard /V 4 /R 4 /Length 128 /P -4 /EncryptMetadata false " + kAesCf +
           " /StmF /StdCF /StrF /StdCF /O <" + kOwnerR3 + "> /U <" + kAesU + "> " + extra + " >>";
}

// R6 by qpdf, user "Grüße", owner "Ωmega" (UTF-8), P -4 (crypt_test.cpp).
const std::string kAes256Key = "fa2f3cd481b4b071e535884b6dde8ce4e8cc1a46eb232a42cdb06254725de407";
std::string aes256_encrypt_dict(const std::string &cfm, const std::string &extra, const std::string &p = "-4")
{
    return "<< /Filter /Standard /V 5 /R 6 /Length 256 /P " + p + " /CF << /StdCF << " + cfm +
           " /Length 32 >> >> /StmF /StdCF /StrF /StdCF " + extra +
           " /O <e6a05e4b21664c4bf5a13e0b9c43c97705e1b5f0ffba47a7beb855a43f560bf5e3f9fcd86bea7d027fc458248cfd73f8>"
           " /U <728063c1d6b822131173c1be63fd7689a89655e1938716d17ed57cafdc7fd54172e6f74d5355594c6c3345575cbbb76e>"
           " /OE <6b0d09f5f6395087498bc5298ce5f3d621b98b67ebbda62337215ede19088d46>"
           " /UE <4eaecfd318fa86e5b548a2ac203a3e44973c2cf3cad1a24e7fd04886c1937faf>"
           " /Perms <0910dc8b7fd524c126189363b29751de> >>";
}

PdfCrypt crypt_for(int method, const std::string &key_hex)
{
    PdfCrypt c{};
    const std::string key = unhex(key_hex);
    c.revision = 4;
    c.key_length = int(key.size());
    c.method = c.string_method = method;
    std::memcpy(c.key, key.data(), key.size());
    return c;
}

// Encrypts `plain` as object `num` would be: AES with IV and padding, or RC4.
std::string encrypt(const PdfCrypt &c, int num, const std::string &plain)
{
    std::string out = plain;
    if (c.method == CRYPT_RC4) {
        crypt_decrypt_string(&c, num, 0, reinterpret_cast<uint8_t *>(out.data()), int(out.size()));
        return out;
    }
    const size_t pad = 16 - plain.size() % 16;
    out.append(pad, char(pad));
    uint8_t key[32], iv[16];
    const int key_length = crypt_object_key(&c, c.method, num, 0, key);
    AesKey aes;
    aes_set_key(&aes, key, key_length);
    for (int i = 0; i < 16; i++)
        iv[i] = uint8_t(0xA0 + i);
    const std::string iv_text(reinterpret_cast<char *>(iv), 16);
    aes_cbc_encrypt(&aes, iv, reinterpret_cast<uint8_t *>(out.data()), out.size());
    return iv_text + out;
}

const std::string kContent = "0 0 m 100 100 l 50 0 l h f\nBT /F1 12 Tf (Text) Tj ET\n";
const std::string kTitle = "Verschl\xFCsselt";

struct FileParts {
    std::string encrypt;          // object 6, or the direct dictionary
    std::string title_bytes;      // the raw Info Title of object 5
    std::string content_bytes;    // the raw data of stream 4
    bool direct_encrypt = false;  // Encrypt inside the trailer
    std::string content_dict;     // more entries of stream 4
};

std::string make_file(const FileParts &p)
{
    testsupport::PdfBuilder b("%PDF-1.6\n");
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>");
    b.stream(4, p.content_dict, p.content_bytes);
    b.obj(5, "<< /Title " + pdf_hex_string(p.title_bytes) + " >>");
    b.obj(6, p.direct_encrypt ? "null" : p.encrypt);
    const std::string encrypt = p.direct_encrypt ? p.encrypt : "6 0 R";
    b.startxref(b.xref_section("/Size 7 /Root 1 0 R /Info 5 0 R /Encrypt " + encrypt + " /ID [" +
                               kId + kId + "]"));
    return b.str();
}

struct Opened {
    int status = -99;
    std::string title, content;
};

Opened open_and_read(const std::string &bytes, const char *password, const char *name)
{
    Opened out;
    const std::string path = testsupport::scratch_path(name);
    testsupport::write_file(path, bytes);
    PdfDoc *doc = nullptr;
    out.status = pdf_open(&doc, path.c_str(), password);
    if (out.status != 0)
        return out;
    PdfObject *title = pdf_dict_get_resolved(doc, pdf_dict_get_resolved(doc, doc->trailer, "Info"), "Title");
    if (pdf_is_type(title, PDF_STRING))
        out.title.assign(reinterpret_cast<char *>(title->bytes), size_t(title->length));
    PdfObject *pages = pdf_dict_get_resolved(doc, doc->catalog, "Pages");
    PdfObject *page = pdf_resolve(doc, pdf_array_get(pdf_dict_get_resolved(doc, pages, "Kids"), 0));
    // The raw reader: decrypted, but no filters (some rows carry a Crypt filter).
    ByteReader *r = pdf_open_raw_stream(doc, pdf_dict_get_resolved(doc, page, "Contents"));
    if (r)
        out.content = testsupport::read_and_close(r);
    pdf_close(doc);
    return out;
}

TEST(Security, OpensAndDecrypts)
{
    const PdfCrypt aes = crypt_for(CRYPT_AES128, kAesKey);
    const PdfCrypt rc4 = crypt_for(CRYPT_RC4, kR2Key);
    const std::string iv = "0123456789abcdef";
    const std::string raw40(40, 'Z');
    struct Row {
        const char *what;
        FileParts parts;
        const char *password;
        std::string title, content;
    } rows[] = {
        {"AES, user password", {aes_encrypt_dict(""), encrypt(aes, 5, kTitle), encrypt(aes, 4, kContent)},
         "user", kTitle, kContent},
        {"AES, owner password", {aes_encrypt_dict(""), encrypt(aes, 5, kTitle), encrypt(aes, 4, kContent)},
         "owner", kTitle, kContent},
        {"AES, Encrypt inside the trailer",
         {aes_encrypt_dict(""), encrypt(aes, 5, kTitle), encrypt(aes, 4, kContent), true}, "user",
         kTitle, kContent},
        // A 15-byte string stays as it is; a stream whose length after the IV
        // is no multiple of 16 is served as it is.
        {"AES, 15-byte string, 40-byte stream body",
         {aes_encrypt_dict(""), "fifteen bytes!!", iv + raw40}, "user", "fifteen bytes!!", raw40},
        // Streams under 16 bytes or of the IV alone are empty.
        {"AES, 8-byte stream", {aes_encrypt_dict(""), encrypt(aes, 5, kTitle), "12345678"}, "user",
         kTitle, ""},
        {"AES, IV-only stream and string", {aes_encrypt_dict(""), iv, iv}, "user", "", ""},
        // Streams under an Identity filter are not encrypted; strings still are.
        {"StmF Identity",
         {"<< /Filter /Standard /V 4 /R 4 /Length 128 /P -4 /EncryptMetadata false " + kAesCf +
              " /StmF /Identity /StrF /StdCF /O <" + kOwnerR3 + "> /U <" + kAesU + "> >>",
          encrypt(aes, 5, kTitle), kContent},
         "user", kTitle, kContent},
        {"StrF Identity",
         {"<< /Filter /Standard /V 4 /R 4 /Length 128 /P -4 /EncryptMetadata false " + kAesCf +
              " /StmF /StdCF /StrF /Identity /O <" + kOwnerR3 + "> /U <" + kAesU + "> >>",
          kTitle, encrypt(aes, 4, kContent)},
         "user", kTitle, kContent},
        // A stream's own Crypt filter naming Identity (or nothing) keeps it in clear.
        {"Crypt filter Identity on a stream",
         {aes_encrypt_dict(""), encrypt(aes, 5, kTitle), kContent, false,
          "/Filter [/Crypt] /DecodeParms [<< /Name /Identity >>]"},
         "user", kTitle, kContent},
        {"Crypt filter without a name",
         {aes_encrypt_dict(""), encrypt(aes, 5, kTitle), kContent, false, "/Filter /Crypt"}, "user",
         kTitle, kContent},
        {"Crypt filter naming StdCF",
         {aes_encrypt_dict(""), encrypt(aes, 5, kTitle), encrypt(aes, 4, kContent), false,
          "/Filter /Crypt /DecodeParms << /Name /StdCF >>"},
         "user", kTitle, kContent},
        // P in its unsigned form enters the key as the same 32 bits as -4.
        {"R2 with P written unsigned",
         {"<< /Filter /Standard /V 1 /R 2 /P 4294967292 /O <" + kR2O + "> /U <" + kR2U + "> >>",
          encrypt(rc4, 5, kTitle), encrypt(rc4, 4, kContent)},
         "user", kTitle, kContent},
        {"AES with P written unsigned",
         {"<< /Filter /Standard /V 4 /R 4 /Length 128 /P 4294967292 /EncryptMetadata false " + kAesCf +
              " /StmF /StdCF /StrF /StdCF /O <" + kOwnerR3 + "> /U <" + kAesU + "> >>",
          encrypt(aes, 5, kTitle), encrypt(aes, 4, kContent)},
         "user", kTitle, kContent},
        // R 2 always uses 5-byte keys, whatever Length says.
        {"R2 with Length 128",
         {"<< /Filter /Standard /V 1 /R 2 /Length 128 /P -4 /O <" + kR2O + "> /U <" + kR2U + "> >>",
          encrypt(rc4, 5, kTitle), encrypt(rc4, 4, kContent)},
         "owner", kTitle, kContent},
    };
    int n = 0;
    for (const Row &row : rows) {
        const Opened got = open_and_read(make_file(row.parts), row.password,
                                         ("sec" + std::to_string(n++) + ".pdf").c_str());
        ASSERT_EQ(got.status, 0) << row.what;
        EXPECT_EQ(got.title, row.title) << row.what;
        EXPECT_EQ(got.content, row.content) << row.what;
    }
}

TEST(Security, DamagedEncryptedFilesFailSafely)
{
    // Every byte flip or cut of a valid file must open or fail with a known
    // code, never crash (the sanitizer builds run this too).
    const PdfCrypt aes = crypt_for(CRYPT_AES128, kAesKey);
    const PdfCrypt rc4 = crypt_for(CRYPT_RC4, kR2Key);
    const std::string files[] = {
        make_file({aes_encrypt_dict(""), encrypt(aes, 5, kTitle), encrypt(aes, 4, kContent)}),
        make_file({"<< /Filter /Standard /V 1 /R 2 /P -4 /O <" + kR2O + "> /U <" + kR2U + "> >>",
                   encrypt(rc4, 5, kTitle), encrypt(rc4, 4, kContent)}),
    };
    int opened = 0;
    for (const std::string &base : files)
        for (size_t i = 0; i < 400; i++) {
            std::string bytes = base;
            const size_t at = (i * 7919) % bytes.size();
            if (i % 10 == 9)
                bytes.resize(at);
            else
                bytes[at] = char(bytes[at] ^ (1 << (i % 8)));
            const Opened got = open_and_read(bytes, "user", "damaged.pdf");
            EXPECT_TRUE(got.status == 0 || got.status == -1 || got.status == -2 || got.status == -6 ||
                        got.status == -7)
                << "byte " << at << ": " << got.status;
            opened += got.status == 0;
        }
    EXPECT_GT(opened, 100);
}

// Encrypted files whose table is lost (startxref points into the header):
// the repair must find the Encrypt entry wherever the trailers keep it and
// read encrypted object streams, or the document is served as ciphertext.
TEST(Security, RepairedEncryptedFilesDecrypt)
{
    const PdfCrypt aes = crypt_for(CRYPT_AES128, kAesKey);
    const std::string keys = "/Root 1 0 R /Info 5 0 R /Encrypt 6 0 R /ID [" + kId + kId + "]";
    const std::string tree[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>",
    };
    enum Layout { kXrefStream, kObjStm, kLinearized, kUpdate };
    auto build = [&](Layout layout) {
        testsupport::PdfBuilder b("%PDF-1.6\n");
        if (layout == kObjStm) {
            std::string header, body;
            for (int i = 0; i < 3; i++) {
                header += std::to_string(i + 1) + " " + std::to_string(body.size()) + " ";
                body += tree[i] + "\n";
            }
            b.stream(7, "/Type /ObjStm /N 3 /First " + std::to_string(header.size()),
                     encrypt(aes, 7, header + body));
        } else {
            for (int i = 0; i < 3; i++)
                b.obj(i + 1, tree[i]);
        }
        b.stream(4, "", encrypt(aes, 4, kContent));
        b.obj(5, "<< /Title " + pdf_hex_string(encrypt(aes, 5, kTitle)) + " >>");
        b.obj(6, aes_encrypt_dict(""));
        if (layout == kLinearized) {
            // The first-page trailer has everything, the main one only Size.
            b.raw("trailer\n<< /Size 8 " + keys + " >>\n");
            b.raw("trailer\n<< /Size 8 >>\n");
        } else {
            b.xref_stream(8, keys);
        }
        if (layout == kUpdate) {
            b.obj(3, tree[2]);
            b.xref_stream(9, "/Root 1 0 R");  // written without Encrypt and ID
        }
        b.startxref(7);
        return b.str();
    };
    const struct Row {
        const char *what;
        Layout layout;
    } rows[] = {
        {"trailer only in a cross-reference stream", kXrefStream},
        {"page tree in an encrypted object stream", kObjStm},
        {"last trailer without Root or Encrypt", kLinearized},
        {"update whose stream dictionary lacks Encrypt", kUpdate},
    };
    for (const Row &row : rows) {
        const Opened got = open_and_read(build(row.layout), "user", "repaired_enc.pdf");
        ASSERT_EQ(got.status, 0) << row.what;
        EXPECT_EQ(got.title, kTitle) << row.what;
        EXPECT_EQ(got.content, kContent) << row.what;
        EXPECT_EQ(open_and_read(build(row.layout), "wrong", "repaired_enc.pdf").status, -6) << row.what;
    }
}

TEST(Security, RefusedEncryption)
{
    const std::string ou = "/O <" + kOwnerR3 + "> /U <" + kAesU + ">";
    struct Row {
        const char *what;
        std::string encrypt;  // object 6
        const char *password;
        int status;
    } rows[] = {
        {"no password", aes_encrypt_dict(""), nullptr, -6},
        {"wrong password", aes_encrypt_dict(""), "User", -6},
        {"O of 31 bytes",
         "<< /Filter /Standard /V 2 /R 3 /Length 128 /P -4 /O <" + kOwnerR3.substr(0, 62) +
             "> /U <" + kAesU + "> >>",
         "user", -7},
        {"U missing", "<< /Filter /Standard /V 2 /R 3 /Length 128 /P -4 /O <" + kOwnerR3 + "> >>",
         "user", -7},
        {"U not a string", "<< /Filter /Standard /V 2 /R 3 /P -4 /O <" + kOwnerR3 + "> /U 5 >>", "user", -7},
        {"R 5 without OE and UE", "<< /Filter /Standard /V 5 /R 5 /Length 256 /P -4 " + ou + " >>", "user", -7},
        {"R 6 with V 4", "<< /Filter /Standard /V 4 /R 6 /P -4 " + ou + " >>", "user", -7},
        {"V 5 with R 4", "<< /Filter /Standard /V 5 /R 4 /P -4 " + ou + " >>", "user", -7},
        {"R 6 with an AESV2 crypt filter", aes256_encrypt_dict("/CFM /AESV2", ""), "user", -7},
        {"R 6 with an undefined crypt filter", aes256_encrypt_dict("", "/StmF /Other"), "user", -7},
        {"R 6, wrong password", aes256_encrypt_dict("/CFM /AESV3", ""), "Gruesse", -6},
        {"V missing", "<< /Filter /Standard /R 3 /P -4 " + ou + " >>", "user", -7},
        {"another handler", "<< /Filter /PubSec /V 4 /R 4 /P -4 " + ou + " >>", "user", -7},
        {"AESV3 crypt filter",
         "<< /Filter /Standard /V 4 /R 4 /P -4 /CF << /StdCF << /CFM /AESV3 >> >> /StmF /StdCF "
         "/StrF /StdCF " + ou + " >>",
         "user", -7},
        {"Encrypt is not a dictionary", "[1 2 3]", "user", -7},
    };
    int n = 0;
    for (const Row &row : rows) {
        FileParts parts{row.encrypt, "title", kContent};
        const Opened got = open_and_read(make_file(parts), row.password,
                                         ("bad" + std::to_string(n++) + ".pdf").c_str());
        EXPECT_EQ(got.status, row.status) << row.what;
    }
}

TEST(Security, Aes256Passwords)
{
    const PdfCrypt aes = crypt_for(CRYPT_AES256, kAes256Key);
    struct Row {
        const char *what;
        std::string encrypt;  // object 6
        const char *password;
        int status;
        bool strings_encrypted = true;
        int perms_valid = 1;
    } rows[] = {
        {"user password, UTF-8", aes256_encrypt_dict("/CFM /AESV3", ""), "Gr\xC3\xBC\xC3\x9F" "e", 0},
        {"owner password, UTF-8", aes256_encrypt_dict("/CFM /AESV3", ""), "\xCE\xA9mega", 0},
        {"user password, Windows-1252", aes256_encrypt_dict("/CFM /AESV3", ""), "Gr\xFC\xDF" "e", 0},
        {"user password, decomposed", aes256_encrypt_dict("/CFM /AESV3", ""), "Gru\xCC\x88\xC3\x9F" "e", 0},
        {"user password with a soft hyphen", aes256_encrypt_dict("/CFM /AESV3", ""), "Gr\xC3\xBC\xC2\xAD\xC3\x9F" "e", 0},
        {"no password", aes256_encrypt_dict("/CFM /AESV3", ""), nullptr, -6},
        {"Latin-1 owner password that is not Omega", aes256_encrypt_dict("/CFM /AESV3", ""), "\xD9mega", -6},
        {"strings in clear (StrF Identity)", aes256_encrypt_dict("/CFM /AESV3", "/StrF /Identity"),
         "Gr\xC3\xBC\xC3\x9F" "e", 0, false},
        // P no longer what Perms repeats: the file opens, the mismatch is kept.
        {"P altered", aes256_encrypt_dict("/CFM /AESV3", "", "-3904"), "Gr\xC3\xBC\xC3\x9F" "e", 0, true, 0},
    };
    int n = 0;
    for (const Row &row : rows) {
        FileParts parts{row.encrypt, row.strings_encrypted ? encrypt(aes, 5, kTitle) : kTitle, encrypt(aes, 4, kContent)};
        const std::string path = testsupport::scratch_path("aes256_" + std::to_string(n++) + ".pdf");
        testsupport::write_file(path, make_file(parts));
        PdfDoc *doc = nullptr;
        const int status = pdf_open(&doc, path.c_str(), row.password);
        EXPECT_EQ(status, row.status) << row.what;
        if (status == 0) {
            EXPECT_EQ(doc->crypt->perms_valid, row.perms_valid) << row.what;
            pdf_close(doc);
            const Opened got = open_and_read(make_file(parts), row.password, "aes256.pdf");
            EXPECT_EQ(got.title, kTitle) << row.what;
            EXPECT_EQ(got.content, kContent) << row.what;
        }
    }
}

}  // namespace
