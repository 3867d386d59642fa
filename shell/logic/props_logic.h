// Texts of the document properties dialog that need no Win32: dates, file
// size, page size and the encryption method; and the table of document types
// the file-associations dialog registers.
#pragma once
#include <cstddef>
#include <cstdint>

// A PDF date ("D:YYYYMMDDHHmmSS" and a time zone) as "YYYY-MM-DD", with
// " HH:mm" when the hour is given and ":SS" when the minutes are (a missing
// second digit reads as 0). The time zone is not shown. A text that does not
// start with eight digits, or whose fields are out of range, is shown as given.
void props_date_text(const char *raw, char *out, size_t n);
// "%ld Bytes" style text below 1 KB (the format comes from the string table),
// "x.y KB" below 1 MB, else "x.y MB"; the tenth is cut, not rounded. A
// negative size (file not readable) gives "-".
void props_file_size_text(int64_t size, const char *bytes_format, char *out, size_t n);
// The page size in inches with `inch_format` (four %d: whole and tenth of
// width and height) from the size in whole points; tenths are cut. "-" when
// either side rounds to 0.
void props_page_size_text(float width_pt, float height_pt, const char *inch_format, char *out, size_t n);
// "RC4 40-bit", "RC4 128-bit", "AES 128-bit", "AES 256-bit" ... from a
// PdfCipher value and the key length in bits; "None" when not encrypted.
void props_method_text(int cipher, int key_bits, char *out, size_t n);

// One document type of the file-associations dialog.
struct AssocType {
    int box;               // check box id
    const char *prog_id;
    int description;       // string id of the ProgID's description
    const char *extensions;  // ";"-separated, the first decides the check mark
    int icon;              // icon resource id
};
extern const AssocType ASSOC_TYPES[9];
// The n-th extension (0-based) of a ";"-separated list into out; false when
// there is none.
bool assoc_extension(const char *list, int index, char *out, size_t n);
