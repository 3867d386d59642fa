// Set-up of the standard security handler from the Encrypt dictionary and the
// hooks through which fetched objects and opened streams are decrypted. The
// key and password algorithms themselves are in crypt.cpp.
#include "pdf/security.h"

#include <cstring>

#include "pdf/arena.h"
#include "pdf/crypt.h"
#include "pdf/document.h"
#include "pdf/object.h"
#include "pdf/password.h"

namespace {

// What the crypt filter named by StmF or StrF asks for (V 4 and 5).
struct FilterChoice {
    int method;      // CryptMethod
    int key_length;  // bytes; 0 = keep the dictionary's
};

// Looks up `which` (StmF or StrF) in CF. The 256-bit AESV3 method belongs to
// revisions 5 and 6, which define no other: any other pairing is -7.
int choose_filter(PdfDoc *doc, PdfObject *encrypt, const char *which, int revision, FilterChoice *out)
{
    out->method = CRYPT_RC4;
    out->key_length = 0;
    PdfObject *name = pdf_dict_get_resolved(doc, encrypt, which);
    // An absent filter defaults to Identity, which means the data are not encrypted.
    if (!pdf_is_type(name, PDF_NAME) || std::strcmp(name->name, "Identity") == 0) {
        out->method = CRYPT_NONE;
        return 0;
    }
    PdfObject *filters = pdf_dict_get_resolved(doc, encrypt, "CF");
    PdfObject *entry = pdf_resolve(doc, pdf_dict_get(filters, name->name));
    PdfObject *cfm = pdf_is_type(entry, PDF_DICT) ? pdf_dict_get_resolved(doc, entry, "CFM") : nullptr;
    if (pdf_is_name(cfm, "AESV3") != (revision >= 5))
        return -7;
    if (revision >= 5) {
        out->method = CRYPT_AES256;
        out->key_length = 32;
        return 0;
    }
    if (!pdf_is_type(entry, PDF_DICT))
        return 0;  // an undefined filter: RC4 with the dictionary's key length
    if (pdf_is_name(cfm, "AESV2")) {
        out->method = CRYPT_AES128;
        out->key_length = 16;
        return 0;
    }
    // Length is in bytes in most writers and in bits in some; never over 16 bytes.
    const int length = pdf_to_int(pdf_dict_get_resolved(doc, entry, "Length"), 0);
    if (length >= 5 && length <= 16)
        out->key_length = length;
    else if (length >= 40)
        out->key_length = length / 8 > 16 ? 16 : length / 8;
    return 0;
}

// P is a signed 32-bit value; its unsigned form (4294967292 for -4) is
// accepted when it reaches us as a number that kept its value.
uint32_t permissions_of(PdfObject *p)
{
    if (!p || (p->type != PDF_INT && p->type != PDF_REAL))
        return 0xFFFFFFFFu;
    const double v = pdf_to_number(p, -1);
    if (v < -2147483648.0 || v > 4294967295.0)
        return 0xFFFFFFFFu;
    return uint32_t(int64_t(v));
}

std::span<const uint8_t> string_bytes(PdfObject *s)
{
    if (!pdf_is_type(s, PDF_STRING) || !s->bytes || s->length <= 0)
        return {};
    return {s->bytes, size_t(s->length)};
}

void decrypt_tree(PdfDoc *doc, PdfObject *obj, int num, int gen, int depth)
{
    if (!obj || depth > PDF_MAX_DEPTH)
        return;
    switch (obj->type) {
    case PDF_STRING:
        if (obj->bytes && obj->length > 0) {
            obj->length = crypt_decrypt_string(doc->crypt, num, gen, obj->bytes, obj->length);
            obj->bytes[obj->length] = 0;
        }
        break;
    case PDF_ARRAY:
        for (int i = 0; i < obj->count; i++)
            decrypt_tree(doc, obj->items[i], num, gen, depth + 1);
        break;
    case PDF_DICT:
        for (int i = 0; i < obj->count; i++)
            decrypt_tree(doc, obj->entries[i].value, num, gen, depth + 1);
        break;
    case PDF_STREAM:
        decrypt_tree(doc, obj->dict, num, gen, depth + 1);
        break;
    default:
        break;
    }
}

// Whether the stream's first filter is Crypt with the Identity crypt filter
// (named, or by default when DecodeParms gives no Name).
bool identity_crypt_filter(PdfDoc *doc, PdfObject *dict)
{
    PdfObject *filter = pdf_dict_get_resolved(doc, dict, "Filter");
    PdfObject *parms = pdf_dict_get_resolved(doc, dict, "DecodeParms");
    if (pdf_is_type(filter, PDF_ARRAY)) {
        filter = pdf_resolve(doc, pdf_array_get(filter, 0));
        parms = pdf_is_type(parms, PDF_ARRAY) ? pdf_resolve(doc, pdf_array_get(parms, 0)) : nullptr;
    }
    if (!pdf_is_name(filter, "Crypt"))
        return false;
    PdfObject *name = pdf_dict_get_resolved(doc, parms, "Name");
    return !name || pdf_is_name(name, "Identity");
}

// Streams the handler leaves alone although the file is encrypted: the
// cross-reference stream, Metadata when EncryptMetadata is false, and streams
// whose own Crypt filter is Identity. The stream being opened is the cached
// object of that number.
bool stream_in_clear(PdfDoc *doc, int num)
{
    const XrefSlot *slot = num > 0 ? pdf_xref_slot(doc, num) : nullptr;
    PdfObject *obj = slot ? slot->obj : nullptr;
    if (!pdf_is_type(obj, PDF_STREAM))
        return false;
    PdfObject *type = pdf_dict_get(obj->dict, "Type");
    return pdf_is_name(type, "XRef") || (!doc->crypt->encrypt_metadata && pdf_is_name(type, "Metadata")) ||
           identity_crypt_filter(doc, obj->dict);
}

// Stores the state of an authenticated document in its arena and sets the
// decryption hooks. 0, or -3 when memory is short.
int install(PdfDoc *doc, int revision, const uint8_t *key, int key_length, const FilterChoice &streams,
            const FilterChoice &strings, int encrypt_num, bool encrypt_metadata, bool perms_valid)
{
    auto *crypt = static_cast<PdfCrypt *>(arena_alloc(doc->arena, sizeof(PdfCrypt)));
    if (!crypt)
        return -3;
    *crypt = PdfCrypt{};
    crypt->revision = revision;
    crypt->key_length = key_length;
    crypt->method = streams.method;
    crypt->string_method = strings.method;
    std::memcpy(crypt->key, key, size_t(key_length));
    crypt->encrypt_num = encrypt_num;
    crypt->encrypt_metadata = encrypt_metadata;
    crypt->perms_valid = perms_valid;
    doc->crypt = crypt;
    doc->encrypt_num = encrypt_num;
    doc->decrypt_object = pdf_decrypt_object;
    doc->decrypt_stream = pdf_decrypt_stream_reader;
    return 0;
}

// Revisions 5 and 6: a 32-byte file key unwrapped from UE or OE, AES-256 for
// strings and streams (or Identity). The password is tried prepared as UTF-8
// and, when that differs, as the bytes given, for files whose writer did not
// normalise it.
int setup_aes256(PdfDoc *doc, PdfObject *encrypt, PdfObject *entry, int r, const char *password)
{
    FilterChoice streams{CRYPT_NONE, 0}, strings{CRYPT_NONE, 0};
    if (choose_filter(doc, encrypt, "StmF", r, &streams) != 0 ||
        choose_filter(doc, encrypt, "StrF", r, &strings) != 0)
        return -7;
    PdfObject *metadata = pdf_dict_get_resolved(doc, encrypt, "EncryptMetadata");
    PdfObject *perms = pdf_dict_get_resolved(doc, encrypt, "Perms");
    const Crypt256Params params{r,
                                string_bytes(pdf_dict_get_resolved(doc, encrypt, "O")),
                                string_bytes(pdf_dict_get_resolved(doc, encrypt, "U")),
                                string_bytes(pdf_dict_get_resolved(doc, encrypt, "OE")),
                                string_bytes(pdf_dict_get_resolved(doc, encrypt, "UE")),
                                string_bytes(perms),
                                permissions_of(pdf_dict_get_resolved(doc, encrypt, "P")),
                                !(pdf_is_type(metadata, PDF_BOOL) && !metadata->boolean)};
    const char *pw = password ? password : "";
    const std::span<const uint8_t> given{reinterpret_cast<const uint8_t *>(pw), std::strlen(pw)};
    uint8_t prepared[CRYPT_PASSWORD_MAX];
    const int prepared_length = crypt_prepare_password(given, prepared);
    uint8_t key[32];
    int status = crypt_authenticate_256(params, {prepared, size_t(prepared_length)}, key);
    const bool same = given.size() == size_t(prepared_length) &&
                      std::memcmp(given.data(), prepared, given.size()) == 0;
    if (status == -6 && !same)
        status = crypt_authenticate_256(
            params, given.size() > CRYPT_PASSWORD_MAX ? given.first(CRYPT_PASSWORD_MAX) : given, key);
    if (status != 0)
        return status;

    // The password was proven by the hashes; a Perms that does not agree with
    // P is remembered for display and does not keep the document closed.
    return install(doc, r, key, 32, streams, strings, entry->type == PDF_REF ? entry->num : 0,
                   params.encrypt_metadata, crypt_perms_valid(params, key));
}

}  // namespace

int pdf_setup_security(PdfDoc *doc, const char *password)
{
    if (!doc)
        return -1;
    doc->crypt = nullptr;
    doc->encrypt_num = 0;
    PdfObject *entry = pdf_dict_get(doc->trailer, "Encrypt");
    if (!entry || entry->type == PDF_NULL)
        return 0;
    const int encrypt_num = entry->type == PDF_REF ? entry->num : 0;
    PdfObject *encrypt = pdf_resolve(doc, entry);
    if (!pdf_is_type(encrypt, PDF_DICT))
        return -7;
    if (!pdf_is_name(pdf_dict_get_resolved(doc, encrypt, "Filter"), "Standard"))
        return -7;
    const int v = pdf_to_int(pdf_dict_get_resolved(doc, encrypt, "V"), 0);
    const int r = pdf_to_int(pdf_dict_get_resolved(doc, encrypt, "R"), 2);
    if (v < 1 || v > 5 || r < 2 || r > 6 || (v == 5) != (r >= 5))
        return -7;
    PdfObject *o = pdf_dict_get_resolved(doc, encrypt, "O");
    PdfObject *u = pdf_dict_get_resolved(doc, encrypt, "U");
    if (r >= 5)
        return setup_aes256(doc, encrypt, entry, r, password);
    if (string_bytes(o).size() < 32 || string_bytes(u).size() < crypt_user_bytes_needed(r))
        return -7;

    int key_length = pdf_to_int(pdf_dict_get_resolved(doc, encrypt, "Length"), 40) / 8;
    key_length = r == 2 ? 5 : key_length < 5 ? 5 : key_length > 16 ? 16 : key_length;
    FilterChoice streams{CRYPT_RC4, 0}, strings{CRYPT_RC4, 0};
    if (v == 4) {
        if (choose_filter(doc, encrypt, "StmF", r, &streams) != 0 ||
            choose_filter(doc, encrypt, "StrF", r, &strings) != 0)
            return -7;
        // One file key serves both; the stream filter decides its length.
        if (streams.method != CRYPT_NONE && streams.key_length)
            key_length = streams.key_length;
        else if (streams.method == CRYPT_NONE && strings.key_length)
            key_length = strings.key_length;
    }

    PdfObject *metadata = pdf_dict_get_resolved(doc, encrypt, "EncryptMetadata");
    PdfObject *id = pdf_resolve(doc, pdf_array_get(pdf_dict_get_resolved(doc, doc->trailer, "ID"), 0));
    const CryptParams params{r,
                             key_length,
                             permissions_of(pdf_dict_get_resolved(doc, encrypt, "P")),
                             !(pdf_is_type(metadata, PDF_BOOL) && !metadata->boolean),
                             string_bytes(o),
                             string_bytes(u),
                             string_bytes(id)};
    uint8_t key[16];
    const char *pw = password ? password : "";
    const int status = crypt_authenticate(
        params, {reinterpret_cast<const uint8_t *>(pw), std::strlen(pw)}, key);
    if (status != 0)
        return status;

    return install(doc, r, key, key_length, streams, strings, encrypt_num, r < 4 || params.encrypt_metadata,
                   false);
}

void pdf_decrypt_object(PdfDoc *doc, PdfObject *obj, int num, int gen)
{
    if (!doc || !doc->crypt || (doc->encrypt_num && num == doc->encrypt_num))
        return;
    // The strings of a cross-reference stream's dictionary are never encrypted.
    if (pdf_is_type(obj, PDF_STREAM) && pdf_is_name(pdf_dict_get(obj->dict, "Type"), "XRef"))
        return;
    decrypt_tree(doc, obj, num, gen, 0);
}

int pdf_decrypt_string(PdfDoc *doc, int num, int gen, uint8_t *bytes, int length)
{
    if (!doc || !doc->crypt || length <= 0 || (doc->encrypt_num && num == doc->encrypt_num))
        return length;
    return crypt_decrypt_string(doc->crypt, num, gen, bytes, length);
}

ByteReader *pdf_decrypt_stream_reader(PdfDoc *doc, ByteReader *reader, int num, int gen)
{
    if (!doc || !doc->crypt || (doc->encrypt_num && num == doc->encrypt_num) ||
        stream_in_clear(doc, num))
        return reader;
    return crypt_stream_reader(doc->crypt, reader, num, gen);
}

uint32_t pdf_encrypt_permissions(PdfDoc *doc)
{
    if (!doc)
        return 0xFFFFFFFFu;
    PdfObject *encrypt = pdf_dict_get_resolved(doc, doc->trailer, "Encrypt");
    return permissions_of(pdf_dict_get_resolved(doc, encrypt, "P"));
}
