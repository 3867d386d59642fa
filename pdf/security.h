// The standard security handler on an open PdfDoc: reads the Encrypt
// dictionary, authenticates the password, and decrypts strings of fetched
// objects and the data of opened streams (PDF Reference 1.6, section 3.5, and
// the 256-bit AES revisions 5 and 6 of ISO 32000-2).
#pragma once
#include <cstdint>

struct ByteReader;
struct PdfDoc;
struct PdfObject;

// Sets up decryption from the trailer's Encrypt entry. `password` is a
// zero-terminated byte string, null meaning empty (revisions 5 and 6 take it
// as UTF-8, or as Windows-1252 when it is not UTF-8). 0: not encrypted, or the
// password was accepted (doc->crypt and the decryption hooks are set);
// -6: neither the user nor the owner password; -7: a security handler,
// revision or method we do not support, or a broken Encrypt dictionary;
// -3: out of memory.
int pdf_setup_security(PdfDoc *doc, const char *password);

// Decrypts in place every string inside obj (arrays, dictionaries and a
// stream's dictionary, at most 64 levels); names, numbers and stream data are
// left alone. Nothing happens without crypt state or for the Encrypt object.
void pdf_decrypt_object(PdfDoc *doc, PdfObject *obj, int num, int gen);
// Decrypts one string of object (num, gen) in place; returns its new length.
int pdf_decrypt_string(PdfDoc *doc, int num, int gen, uint8_t *bytes, int length);
// The decrypting reader over a raw stream reader (which it then owns), or
// `reader` itself when nothing is to be decrypted (Identity streams, the
// Encrypt object, cross-reference streams, Metadata stored in clear, streams
// whose own Crypt filter is Identity); null when memory is short.
ByteReader *pdf_decrypt_stream_reader(PdfDoc *doc, ByteReader *reader, int num, int gen);
// The permission flags P of the Encrypt dictionary as their 32 bits; all bits
// set when the document has no Encrypt dictionary or P is missing or no number.
uint32_t pdf_encrypt_permissions(PdfDoc *doc);
