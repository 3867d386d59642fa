// What an open PDF says about itself for the document properties dialog: the
// entries of the document information dictionary, the security handler's
// method and permissions, and the fonts the pages name in their resources
// (PDF Reference 1.7, sections 10.2.1, 3.5.2 and 5.4-5.6).
#pragma once
#include <cstdint>

struct PdfDoc;

// Display text of entry `key` of the trailer's Info dictionary in code page
// 1252 (as pdf_text_to_cp1252: UTF-16 by its byte-order mark, else
// PDFDocEncoding). "" when there is no Info dictionary, no such entry or the
// value is not a string. At most size - 1 bytes and a terminating zero.
void pdf_info_text(PdfDoc *doc, const char *key, char *out, int size);

enum PdfCipher {
    PDF_CIPHER_NONE = 0,    // not encrypted
    PDF_CIPHER_RC4 = 1,
    PDF_CIPHER_AES = 2,
    PDF_CIPHER_IDENTITY = 3,  // an Encrypt dictionary whose filters decrypt nothing
};

struct PdfSecurityInfo {
    int encrypted;     // the trailer names an Encrypt dictionary
    int cipher;        // PdfCipher
    int key_bits;      // file key length in bits; 0 when not encrypted
    uint32_t permissions;  // P as its 32 bits; all bits set when not encrypted
};

// The security facts of an open document; a null doc reads as not encrypted.
void pdf_security_info(PdfDoc *doc, PdfSecurityInfo *out);

// Permission bits of P that the properties dialog shows.
constexpr uint32_t PDF_PERM_PRINT = 4;
constexpr uint32_t PDF_PERM_MODIFY = 8;
constexpr uint32_t PDF_PERM_COPY = 16;
constexpr uint32_t PDF_PERM_ANNOTATE = 32;

struct PdfFontEntry {
    char name[64];      // BaseFont without a subset prefix
    char type[16];      // the Subtype name
    char encoding[32];  // the Encoding's name, "Custom", "Embedded CMap" or "Built-in"
    int embedded;       // Type 3, or the descriptor holds a font program
};

// The fonts of the pages' Font resources in page order: simple and composite
// fonts and Type 3 fonts, each name once (ASCII case-insensitive), at most max
// entries. Returns the number written.
int pdf_font_list(PdfDoc *doc, PdfFontEntry *out, int max);
