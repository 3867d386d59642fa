// Single-byte code pages of RTF text: \ansicpg and \fcharset name them; the
// tables are shared with plain text. Bytes a table leaves undefined keep
// their own value.
#include "formats/code_pages.h"
#include "formats/rtf.h"

#include <cstdint>

uint32_t rtf_code_page_char(int code_page, uint8_t byte)
{
    if (byte < 0x80)
        return byte;
    const uint16_t *upper = code_page_upper(code_page);
    if (!upper)
        upper = code_page_upper(1252);  // unknown code pages read as Windows Latin-1
    const uint16_t c = upper[byte - 0x80];
    return c == 0xFFFD ? byte : c;
}

int rtf_charset_code_page(int charset)
{
    switch (charset) {
    case 77: return 10000;   // Mac Roman
    case 161: return 1253;   // Greek
    case 162: return 1254;   // Turkish
    case 204: return 1251;   // Cyrillic
    case 238: return 1250;   // Central European
    default: return 0;       // ANSI, default, symbol and the rest: the document's code page
    }
}
