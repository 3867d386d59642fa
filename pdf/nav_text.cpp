// Display text of PDF text strings (PDF Reference 1.7, section 3.8.1 and
// appendix D): PDFDocEncoding, UTF-16 and UTF-8 decoded to code page 1252,
// the single-byte code page the interface draws its titles in.
#include "pdf/nav.h"

#include "pdf/object.h"

namespace {

constexpr int kReplacement = 0xFFFD;

// Code page 1252 bytes 80..9F; 0xFFFD where the code page defines none.
const uint16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,  // 88..8F
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,  // 98..9F
};

// PDFDocEncoding where it differs from Latin-1: bytes 18..1F (spacing
// accents) and 7F..A0; 0xFFFD for the undefined 7F and 9F.
const uint16_t kPdfDocAccents[8] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
const uint16_t kPdfDocHigh[34] = {
    0xFFFD,                                                          // 7F
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044,  // 80..87
    0x2039, 0x203A, 0x2212, 0x2030, 0x201E, 0x201C, 0x201D, 0x2018,  // 88..8F
    0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141, 0x0152, 0x0160,  // 90..97
    0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0xFFFD,  // 98..9F
    0x20AC,                                                          // A0
};

int pdfdoc_to_unicode(uint8_t c)
{
    if (c >= 0x18 && c <= 0x1F)
        return kPdfDocAccents[c - 0x18];
    if (c >= 0x7F && c <= 0xA0)
        return kPdfDocHigh[c - 0x7F];
    if (c == 0xAD)  // undefined in PDFDocEncoding
        return kReplacement;
    return c;
}

// Writes display characters into a bounded buffer.
struct TextOut {
    char *out;
    int size;
    int length;
    bool ended;  // a NUL was seen or the buffer is full
};

void put_char(TextOut *t, int u)
{
    if (t->ended)
        return;
    if (u == 0 || t->length >= t->size - 1) {
        t->ended = true;
        return;
    }
    uint8_t byte;
    if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        byte = ' ';  // control characters, including line breaks inside titles
    else
        byte = pdf_unicode_to_cp1252(u);
    t->out[t->length++] = char(byte);
}

void decode_utf16(TextOut *t, const uint8_t *p, int n, bool big_endian)
{
    auto unit = [&](int i) {
        return big_endian ? (p[i] << 8) | p[i + 1] : p[i] | (p[i + 1] << 8);
    };
    for (int i = 0; i + 1 < n && !t->ended; i += 2) {
        int u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n) {
            int low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            u = kReplacement;  // a surrogate without its partner
        put_char(t, u);
    }
}

void decode_utf8(TextOut *t, const uint8_t *p, int n)
{
    for (int i = 0; i < n && !t->ended;) {
        int c = p[i], need, u;
        if (c < 0x80) {
            need = 0;
            u = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            need = 1;
            u = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            need = 2;
            u = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            need = 3;
            u = c & 0x07;
        } else {
            put_char(t, kReplacement);
            i++;
            continue;
        }
        int j = 1;
        for (; j <= need && i + j < n && (p[i + j] & 0xC0) == 0x80; j++)
            u = (u << 6) | (p[i + j] & 0x3F);
        if (j <= need) {
            put_char(t, kReplacement);  // cut short: the bytes read so far stand for one character
            i += j;
            continue;
        }
        put_char(t, u);
        i += need + 1;
    }
}

}  // namespace

int pdf_cp1252_to_unicode(uint8_t c)
{
    return c >= 0x80 && c <= 0x9F ? kCp1252High[c - 0x80] : c;
}

uint8_t pdf_unicode_to_cp1252(int u)
{
    if ((u >= 0 && u < 0x80) || (u >= 0xA0 && u <= 0xFF))
        return uint8_t(u);
    for (int i = 0; i < 32; i++) {
        if (kCp1252High[i] == u && u != kReplacement)
            return uint8_t(0x80 + i);
    }
    return '?';
}

void pdf_text_to_cp1252(const PdfObject *obj, char *out, int size)
{
    if (!out || size <= 0)
        return;
    out[0] = 0;
    if (!pdf_is_type(obj, PDF_STRING) || !obj->bytes)
        return;
    TextOut t = {out, size, 0, false};
    const uint8_t *p = obj->bytes;
    const int n = obj->length;
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
        decode_utf16(&t, p + 2, n - 2, true);
    } else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        decode_utf16(&t, p + 2, n - 2, false);
    } else if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        decode_utf8(&t, p + 3, n - 3);
    } else {
        for (int i = 0; i < n && !t.ended; i++)
            put_char(&t, pdfdoc_to_unicode(p[i]));
    }
    while (t.length > 0 && out[t.length - 1] == ' ')
        t.length--;
    out[t.length] = 0;
}

void pdf_string_to_plain(const PdfObject *obj, char *out, int size)
{
    if (!out || size <= 0)
        return;
    int length = 0;
    if (pdf_is_type(obj, PDF_STRING) && obj->bytes) {
        for (int i = 0; i < obj->length && length < size - 1 && obj->bytes[i] != 0; i++) {
            const uint8_t c = obj->bytes[i];
            out[length++] = c >= 0x20 && c <= 0x7E ? char(c) : ' ';
        }
    }
    out[length] = 0;
}
